#include "templates/StyleInfo.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "webrpc/Connection.h"

#include <algorithm>

namespace {
const char kFieldListSql[] =
    "SELECT F.WINDOWID ,F.ITEMID ,F.TABLETYPE ,F.DATAFIELD ,F.DEFAULTNAME ,F.PBSTYPE , F.ATTRIBE ,F.ALWAYSDISPLAY ,"
    "F.ALWAYSPRINT ,F.Serial AS DEFAULTSEQUENCE,F.WIDTH AS DEFAULTWIDTH, F.LISTDATASETNAME ,F.LISTFIELD ,"
    "F.LISTDATAFIELD ,F.DROPDOWNFILTER ,F.SUBTYPE , F.KEYFIELD ,F.TAG ,F.HELPID, T.BPRINT, T.BDISPLAY, "
    "T.DISPLAYNAME, T.Serial, T.WIDTH FROM FIELDINFO F, TEMPLATED T WHERE F.WINDOWID=T.WINDOWID AND "
    "F.ITEMID=T.ITEMID AND F.WINDOWID=:WINDOWID AND T.TEMPLATEID=:TEMPLATEID AND F.VISIBLE='T'";
const char kFieldListOrder[] = " ORDER BY TABLETYPE, T.Serial";

// A window without any template: the field definitions themselves, all shown.
const char kDefaultFieldSql[] =
    "SELECT F.WINDOWID ,F.ITEMID ,F.TABLETYPE ,F.DATAFIELD ,F.DEFAULTNAME ,F.PBSTYPE , F.ATTRIBE ,F.ALWAYSDISPLAY ,"
    "F.ALWAYSPRINT ,F.Serial AS DEFAULTSEQUENCE,F.WIDTH AS DEFAULTWIDTH, F.LISTDATASETNAME ,F.LISTFIELD ,"
    "F.LISTDATAFIELD ,F.DROPDOWNFILTER ,F.SUBTYPE , F.KEYFIELD ,F.TAG ,F.HELPID, 'T' AS BPRINT, 'T' AS BDISPLAY, "
    "F.DEFAULTNAME AS DISPLAYNAME, F.Serial AS Serial, F.WIDTH AS WIDTH FROM FIELDINFO F "
    "WHERE F.WINDOWID=:WINDOWID AND F.VISIBLE='T' ORDER BY F.TABLETYPE, F.Serial";

QString Str(TClientDataSet* ds, const char* name)
{
    TField* f = ds->FindField(QString::fromLatin1(name));
    return f ? f->AsString() : QString();
}
int Int(TClientDataSet* ds, const char* name)
{
    TField* f = ds->FindField(QString::fromLatin1(name));
    return f ? f->AsInteger() : 0;
}
bool Flag(TClientDataSet* ds, const char* name)
{
    TField* f = ds->FindField(QString::fromLatin1(name));
    return f && f->AsString().trimmed().compare(QLatin1String("T"), Qt::CaseInsensitive) == 0;
}
QString TF(bool v) { return v ? QStringLiteral("T") : QStringLiteral("F"); }
} // namespace

// ---------------------------------------------------------------- field

void TStyleFieldInfo::SetBDisplay(bool v)
{
    if (FBDisplay == v) return;
    FBDisplay = v;
    Modified = true;
}
void TStyleFieldInfo::SetBPrint(bool v)
{
    if (FBPrint == v) return;
    FBPrint = v;
    Modified = true;
}
void TStyleFieldInfo::SetDisplayName(const QString& v)
{
    if (FDisplayName == v) return;
    FDisplayName = v;
    Modified = true;
}
void TStyleFieldInfo::SetSerial(int v)
{
    if (FSerial == v) return;
    FSerial = v;
    Modified = true;
}
void TStyleFieldInfo::SetWidth(int v)
{
    if (FWidth == v) return;
    FWidth = v;
    Modified = true;
}

// ---------------------------------------------------------------- template

void TStyleInfo::ReadFields(TClientDataSet* ds, bool markModified)
{
    for (ds->First(); !ds->Eof(); ds->Next()) {
        auto f = std::make_unique<TStyleFieldInfo>();
        f->WindowID = Int(ds, "WINDOWID");
        f->ItemID = Int(ds, "ITEMID");
        f->TableType = Int(ds, "TABLETYPE");
        f->DataField = Str(ds, "DATAFIELD");
        f->DefaultName = Str(ds, "DEFAULTNAME");
        f->PBSType = Int(ds, "PBSTYPE");
        f->Attribe = Int(ds, "ATTRIBE");
        f->AlwaysDisplay = Flag(ds, "ALWAYSDISPLAY");
        f->AlwaysPrint = Flag(ds, "ALWAYSPRINT");
        f->DefaultSequence = Int(ds, "DEFAULTSEQUENCE");
        f->DefaultWidth = Int(ds, "DEFAULTWIDTH");
        f->ListDataSetName = Str(ds, "LISTDATASETNAME");
        f->ListField = Str(ds, "LISTFIELD");
        f->ListDataField = Str(ds, "LISTDATAFIELD");
        f->DropDownFilter = Str(ds, "DROPDOWNFILTER");
        f->SubType = Int(ds, "SUBTYPE");
        f->KeyField = Str(ds, "KEYFIELD");
        f->Tag = Int(ds, "TAG");
        f->HelpID = Int(ds, "HELPID");
        f->FBPrint = Flag(ds, "BPRINT");
        f->FBDisplay = Flag(ds, "BDISPLAY");
        f->FDisplayName = Str(ds, "DISPLAYNAME");
        f->FSerial = Int(ds, "Serial");
        f->FWidth = Int(ds, "WIDTH");
        f->Modified = markModified;
        FFields.push_back(std::move(f));
    }
}

bool TStyleInfo::Load(int windowId, int templateId)
{
    FFields.clear();
    FModified = false;
    WindowID = windowId;
    TemplateID = templateId;
    TemplateName.clear();
    WindowName.clear();
    IsSystem = false;
    OPId = 0;
    BillTypeID = 0;
    TempColorSetID = 0;
    RptID = 0;
    UpFlag = 0;

    const bool isNew = templateId == kNewTemplate;
    const int source = isNew ? kStandardTemplate : templateId;
    TClientQuery head(nullptr, g_DefaultCon);
    head.SQL = QStringLiteral("select * from TEMPLATE where WINDOWID=:windowid and TEMPLATEID=:templateid");
    head.SetParam(QStringLiteral("windowid"), windowId);
    head.SetParam(QStringLiteral("templateid"), source);
    head.OpenQuery();
    const bool found = !head.IsEmpty();
    if (found) {
        TemplateName = Str(&head, "TEMPLATENAME");
        WindowName = Str(&head, "WindowName");
        IsSystem = head.FieldByName(QStringLiteral("IsSystem"))->AsBoolean();
        OPId = Int(&head, "OPId");
        BillTypeID = Int(&head, "BillTypeID");
        TempColorSetID = Int(&head, "TempColorSetID");
        RptID = Int(&head, "RptID");
        UpFlag = Int(&head, "UPFLAG");
    }
    if (isNew) {
        // A new template belongs to whoever makes it and is neither a system nor an uploaded one.
        TemplateName = QStringLiteral("未命名");
        IsSystem = false;
        UpFlag = 0;
        OPId = g_iUserID;
    } else if (!found) {
        return false;
    }

    TClientQuery fields(nullptr, g_DefaultCon);
    if (isNew && !found) {
        fields.SQL = QString::fromLatin1(kDefaultFieldSql);
    } else {
        fields.SQL = QString::fromLatin1(kFieldListSql) + QString::fromLatin1(kFieldListOrder);
        fields.SetParam(QStringLiteral("TEMPLATEID"), source);
    }
    fields.SetParam(QStringLiteral("WINDOWID"), windowId);
    fields.OpenQuery();
    ReadFields(&fields, isNew);
    FModified = isNew;
    return true;
}

int TStyleInfo::Save() { return Store(TemplateID == kNewTemplate); }
int TStyleInfo::SaveAsNew() { return Store(true); }

int TStyleInfo::Store(bool asNew)
{
    const QString win = QString::number(WindowID);
    TClientConnection* con = g_DefaultCon;
    if (!con) throw EDatabaseError(QStringLiteral("没有连接到数据库"));

    int id = TemplateID;
    if (asNew) {
        const QVariant maxId = con->ExecuteScalar(QStringLiteral("Select Max(TemplateID) from TEMPLATE where WINDOWID=") + win);
        id = maxId.isNull() ? 1 : maxId.toInt() + 1;
    }
    const QString tid = QString::number(id);

    TClientQuery head(nullptr, con);
    head.UpdateTable = QStringLiteral("TEMPLATE");
    head.KeyFields = QStringList{QStringLiteral("WINDOWID"), QStringLiteral("TEMPLATEID")};
    head.SQL = asNew ? QStringLiteral(" select * from template where windowid = -9999 and templateid = -9999 ")
                     : QStringLiteral(" select * from template where windowid = ") + win + QStringLiteral(" and templateid = ") + tid;
    head.OpenQuery();
    if (asNew || head.IsEmpty()) {
        head.Append();
        head.FieldByName(QStringLiteral("WindowID"))->SetValue(WindowID);
        head.FieldByName(QStringLiteral("TemplateID"))->SetValue(id);
        head.FieldByName(QStringLiteral("WindowName"))->SetValue(WindowName);
        head.FieldByName(QStringLiteral("IsSystem"))->SetValue(IsSystem);
        head.FieldByName(QStringLiteral("OPId"))->SetValue(OPId);
        head.FieldByName(QStringLiteral("BillTypeID"))->SetValue(BillTypeID);
        head.FieldByName(QStringLiteral("UPFLAG"))->SetValue(0);
    } else {
        head.Edit();
    }
    head.FieldByName(QStringLiteral("TemplateName"))->SetValue(TemplateName);
    head.FieldByName(QStringLiteral("TempColorSetID"))->SetValue(TempColorSetID);
    head.FieldByName(QStringLiteral("RptID"))->SetValue(RptID > 0 ? QVariant(RptID) : QVariant());
    head.Post();

    // The rows of the template being written: a new id may still have rows left over from
    // a template removed outside this program, which are then overwritten, not duplicated.
    TClientQuery items(nullptr, con);
    items.UpdateTable = QStringLiteral("TEMPLATED");
    items.KeyFields = QStringList{QStringLiteral("WINDOWID"), QStringLiteral("TEMPLATEID"), QStringLiteral("ITEMID")};
    items.SQL = QStringLiteral(" select * from templated  where windowid = ") + win + QStringLiteral(" and templateid = ") + tid;
    items.OpenQuery();
    for (const auto& f : FFields) {
        if (!asNew && !f->Modified) continue;
        if (items.Locate(QStringLiteral("TEMPLATEID;WindowID;ItemID"), QVariantList{id, WindowID, f->ItemID})) {
            items.Edit();
        } else {
            items.Append();
            items.FieldByName(QStringLiteral("TEMPLATEID"))->SetValue(id);
            items.FieldByName(QStringLiteral("WindowID"))->SetValue(WindowID);
            items.FieldByName(QStringLiteral("ItemID"))->SetValue(f->ItemID);
        }
        items.FieldByName(QStringLiteral("BPrint"))->SetValue(TF(f->BPrint()));
        items.FieldByName(QStringLiteral("BDisplay"))->SetValue(TF(f->BDisplay()));
        items.FieldByName(QStringLiteral("DisplayName"))->SetValue(f->DisplayName());
        items.FieldByName(QStringLiteral("Serial"))->SetValue(f->Serial());
        items.FieldByName(QStringLiteral("WIDTH"))->SetValue(f->Width());
        items.Post();
    }

    TBatchSQL batch(con);
    batch.Add(&head);
    batch.Add(&items);
    batch.Update();

    TemplateID = id;
    for (const auto& f : FFields) f->WindowID = WindowID;
    ClearModified();
    return id;
}

bool TStyleInfo::Delete()
{
    if (TemplateID == kStandardTemplate) {
        ShowInformation(QStringLiteral("标准模板不能删除。"));
        return false;
    }
    if (UpFlag == 1) {
        ShowInformation(QStringLiteral("模板已经上传，不能删除。"));
        return false;
    }
    if (TemplateID == kNewTemplate) return true; // never stored
    const QString where = QString::number(WindowID) + QStringLiteral(" and templateid =") + QString::number(TemplateID);
    TBatchSQL batch(g_DefaultCon);
    batch.Add(QStringLiteral(" delete template where windowid =") + where);
    // Its field rows go with it: a later template given the same id starts clean.
    batch.Add(QStringLiteral(" delete templated where windowid =") + where);
    batch.Update();
    TemplateID = kNewTemplate;
    return true;
}

void TStyleInfo::SetName(const QString& name)
{
    if (TemplateName == name) return;
    TemplateName = name;
    FModified = true;
}

void TStyleInfo::SetRptID(int rptId)
{
    if (RptID == rptId) return;
    RptID = rptId;
    FModified = true;
}

void TStyleInfo::CopyFrom(const TStyleInfo& other)
{
    for (const auto& src : other.FFields) {
        TStyleFieldInfo* dst = FindItem(src->ItemID);
        if (!dst) {
            auto copy = std::make_unique<TStyleFieldInfo>(*src);
            copy->WindowID = WindowID;
            copy->Modified = true;
            FFields.push_back(std::move(copy));
            continue;
        }
        dst->SetBDisplay(src->BDisplay());
        dst->SetBPrint(src->BPrint());
        dst->SetDisplayName(src->DisplayName());
        dst->SetSerial(src->Serial());
        dst->SetWidth(src->Width());
    }
    SortByTemplate();
}

void TStyleInfo::SortByTemplate()
{
    std::stable_sort(FFields.begin(), FFields.end(), [](const auto& a, const auto& b) {
        return a->TableType != b->TableType ? a->TableType < b->TableType : a->Serial() < b->Serial();
    });
}

void TStyleInfo::SortByDefault()
{
    std::stable_sort(FFields.begin(), FFields.end(), [](const auto& a, const auto& b) {
        return a->TableType != b->TableType ? a->TableType < b->TableType : a->DefaultSequence < b->DefaultSequence;
    });
}

bool TStyleInfo::Modified() const
{
    if (FModified) return true;
    return std::any_of(FFields.begin(), FFields.end(), [](const auto& f) { return f->Modified; });
}

void TStyleInfo::ClearModified()
{
    FModified = false;
    for (const auto& f : FFields) f->Modified = false;
}

TStyleFieldInfo* TStyleInfo::FindItem(int itemId) const
{
    for (const auto& f : FFields)
        if (f->ItemID == itemId) return f.get();
    return nullptr;
}

TStyleFieldInfo* TStyleInfo::FindDataField(const QString& dataField, int tableType) const
{
    for (const auto& f : FFields)
        if ((tableType == 0 || f->TableType == tableType) && f->DataField.compare(dataField, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}
