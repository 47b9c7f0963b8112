#include "pickers/PickerData.h"

#include "pickers/PickerForm.h"

void AppendContains(QString& sql, TSqlParams& params, const QString& column, const QString& name, const QString& text)
{
    if (text.isEmpty())
        return;
    sql += QStringLiteral(" AND %1 LIKE :%2 ESCAPE '\\'").arg(column, name);
    params.append({name, LikeContains(text)});
}

void DefineListFields(TClientDataSet* ds, const QVector<TFieldDef>& defs)
{
    ds->Close();
    ds->ClearFields();
    for (const TFieldDef& d : defs)
        ds->AddField(d);
    ds->CreateDataSet();
    ds->LogChanges = false;
}

int AppendSelect(TClientConnection* con, const QString& sql, const TSqlParams& params, TClientDataSet* ds)
{
    TClientDataSet page;
    con->OpenDataSet(sql, &page, params);
    const int n = page.RecordCount();
    if (n == 0)
        return 0;
    const bool wasEmpty = ds->IsEmpty();
    const TClientDataSet::TBookmark here = wasEmpty ? 0 : ds->GetBookmark();
    const int cols = std::min(page.FieldCount(), ds->FieldCount());
    ds->DisableControls();
    ds->Silence();
    const bool logged = ds->LogChanges;
    ds->LogChanges = false;
    try {
        QVariantList values;
        for (int r = 0; r < n; ++r) {
            values.clear();
            for (int c = 0; c < cols; ++c)
                values.append(page.RowValue(r, c));
            ds->AppendRecord(values);
        }
        if (wasEmpty)
            ds->First();
        else
            ds->GotoBookmark(here);
    } catch (...) {
        ds->LogChanges = logged;
        ds->WakeUp();
        ds->EnableControls();
        throw;
    }
    ds->LogChanges = logged;
    ds->WakeUp();
    ds->EnableControls();
    return n;
}

void TKeysetPager::OpenFirst(TClientDataSet* ds, const QVector<TFieldDef>& fields, int pageSize, const TBuild& build, bool empty)
{
    DefineListFields(ds, fields);
    FLastKeys.clear();
    FAtEnd = empty;
    FetchMore(ds, pageSize, build);
}

bool TKeysetPager::FetchMore(TClientDataSet* ds, int pageSize, const TBuild& build)
{
    if (FAtEnd || FFetching)
        return false;
    FFetching = true;
    const struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FFetching};
    TSqlParams params;
    const QString sql = build(params, FLastKeys, pageSize);
    const int n = AppendSelect(FCon, sql, params, ds);
    if (n < pageSize || pageSize < 1)
        FAtEnd = true;
    if (n > 0) {
        const TClientDataSet::TBookmark here = ds->GetBookmark();
        ds->Silence();
        ds->Last();
        FLastKeys.clear();
        for (const QString& k : FKeyFields)
            FLastKeys << ds->FieldByName(k)->Value();
        ds->GotoBookmark(here);
        ds->WakeUp();
    }
    return n > 0;
}
