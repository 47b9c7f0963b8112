#include "billcore/BillDocument.h"

#include "host/DataServices.h"
#include "host/Messages.h"
#include "host/Privileges.h"
#include "server/BillProfiles.h"
#include "services/BillDB.h"
#include "services/BillServices.h"

#include <QUuid>

#include <cmath>
#include <utility>

namespace {

const QString kCaptionNotice = QStringLiteral("提示");
const QString kCaptionQuestion = QStringLiteral("询问");
const QString kCaptionError = QStringLiteral("错误");
const QString kCaptionWarning = QStringLiteral("警告");

bool InList(const QString& commaList, const QString& name)
{
    for (const QString& part : commaList.split(u',', Qt::SkipEmptyParts))
        if (part.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool EditingState(const TClientDataSet* ds)
{
    return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
}

// Money as whole ten-thousandths, so that a total kept up edit by edit never drifts.
qint64 MoneyUnits(const QVariant& v)
{
    if (v.isNull())
        return 0;
    const double x = v.toDouble();
    return std::isfinite(x) ? std::llround(x * 10000.0) : 0;
}

// Counts a nesting level for as long as it lives.
struct TDepth {
    explicit TDepth(int& depth) : Depth(depth) { ++Depth; }
    ~TDepth() { --Depth; }
    int& Depth;
};

std::unique_ptr<TClientStoredProc> MakeBillCodeProc(TClientConnection* con)
{
    auto sp = std::make_unique<TClientStoredProc>(con, QStringLiteral("getnewbillcodebydate;1"));
    sp->Params.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
    sp->Params.Add(QStringLiteral("@shopid"), TFieldType::ftInteger);
    sp->Params.Add(QStringLiteral("@billdate"), TFieldType::ftString, TParamDirection::pdInput, 10);
    sp->Params.Add(QStringLiteral("@masttablename"), TFieldType::ftString, TParamDirection::pdInput, 30);
    sp->Params.Add(QStringLiteral("@billcode"), TFieldType::ftString, TParamDirection::pdInputOutput, 32);
    return sp;
}

} // namespace

// ====================================================================== prompter

void TBillPrompter::Notice(const QString& text, const QString& caption) { ShowInformation(text, caption); }
void TBillPrompter::Error(const QString& text, const QString& caption) { ShowError(text, caption); }
int TBillPrompter::MsgBox(const QString& text, const QString& caption, int flags) { return ShowMsgBox(text, caption, flags); }
bool TBillPrompter::YesNo(const QString& text, const QString& caption) { return ShowYesNoQuestion(text, caption); }
int TBillPrompter::YesNoCancel(const QString& text, const QString& caption) { return ShowYesNoCancelQuestion(text, caption); }
void TBillPrompter::Plain(const QString& text) { AppShowMessage(text); }
void TBillPrompter::FocusField(TField*) {}

bool TBillPrompter::StockWarning(int, const QString& intro, const TPacketParams& answer)
{
    return YesNo(intro + u'\n' + answer.GetString(QStringLiteral("ErrMsg")) + QStringLiteral("\n\n是否继续保存？"),
                 QStringLiteral("库存检查"));
}

bool TBillPrompter::PriceWarning(int cvFlag, bool allowed, const TPacketParams& answer)
{
    const QString intro = cvFlag == 1 ? QStringLiteral("以下货品的售价低于最低售价:") : QStringLiteral("以下货品的进价高于最高进价:");
    const QString text = intro + u'\n' + answer.GetString(QStringLiteral("ErrMsg"));
    if (!allowed) {
        Error(text + QStringLiteral("\n\n您没有权限保存该单据！"), kCaptionError);
        return false;
    }
    return YesNo(text + QStringLiteral("\n\n是否继续保存？"), QStringLiteral("价格检查"));
}

// ====================================================================== construction

TBillDocument::TBillDocument(TClientConnection* con, const TBillSession& session, QObject* owner)
    : QObject(owner)
    , cdsMaster(new TClientDataSet(this))
    , cdsDetail(new TClientDataSet(this))
    , cdsReport(new TClientQuery(this, con))
    , qryMasterCopy(new TClientQuery(this, con))
    , qryDetailCopy(new TClientQuery(this, con))
    , FCon(con)
    , FSession(session)
    , FHooks(this)
    , FOwnPrompter(std::make_unique<TBillPrompter>())
    , FPrompter(FOwnPrompter.get())
{
    cdsMaster->setObjectName(QStringLiteral("cdsMaster"));
    cdsMaster->ProviderName = QStringLiteral("dspBill");
    cdsDetail->setObjectName(QStringLiteral("cdsDetail"));
    cdsDetail->ProviderName = QStringLiteral("dspBill");
    cdsReport->setObjectName(QStringLiteral("cdsReport"));
    qryMasterCopy->setObjectName(QStringLiteral("qryMasterCopy"));
    qryDetailCopy->setObjectName(QStringLiteral("qryDetailCopy"));
}

TBillDocument::~TBillDocument()
{
    // Dataset events must not reach hooks of a half-destroyed bill.
    for (TClientDataSet* ds : {cdsMaster, cdsDetail}) {
        ds->Silence();
        ds->AfterOpen = ds->BeforePost = ds->AfterPost = ds->OnCalcFields = ds->OnNewRecord = ds->AfterScroll = nullptr;
        ds->AfterDelete = ds->AfterCancel = nullptr;
    }
}

void TBillDocument::SetPrompter(TBillPrompter* prompter)
{
    FPrompter = prompter ? prompter : FOwnPrompter.get();
}

void TBillDocument::ApplyProfile(const TBillProfile& p)
{
    BillType = p.BillType;
    CVFlag = p.CVFlag;
    MasterTable = QString::fromUtf8(p.MasterTable);
    KeyField = QString::fromUtf8(p.KeyField);
    DetailTable = p.DetailTable ? QString::fromUtf8(p.DetailTable) : QString();
    MasterDetailBill = p.MasterDetailBill();
    SaveProcName = p.SaveProcName();
    DeleteProcName = p.DeleteProcName();
    RedProcName = p.RedProcName();
    MasterAmountFieldName = QString::fromUtf8(p.MasterTotalField);
    AmountFieldName = QString::fromUtf8(p.LineAmountField);
    TotalFromLines = p.TotalFromLines;
    NeedsLines = p.NeedsLines;
    AloneField = p.AloneField ? QString::fromLatin1(p.AloneField) : QString();
    AloneValues = p.AloneValues ? QString::fromLatin1(p.AloneValues).split(u',') : QStringList();
    RelevantCredType = p.RelevantCredType;
    DBBillType = p.DBBillType;
    FindCategory = qint8(p.FindCategory());
    FindIndex = qint8(p.FindIndex);
    TradeSide = p.TradeSide;
    PrivilegeID = p.PrivilegeId;
    ReportType = p.ReportType;
    Caption = QString::fromUtf8(p.Caption);
}

void TBillDocument::InitDocument()
{
    // Bills that name only their save procedure get the delete and reverse names from it.
    if (SaveProcName.endsWith(QStringLiteral("_Save"), Qt::CaseInsensitive)) {
        const QString stem = SaveProcName.left(SaveProcName.size() - 5);
        const bool baseSave = SaveProcName == QStringLiteral("Submit_BaseBill_Save");
        if (DeleteProcName.isEmpty() || (!baseSave && DeleteProcName == QStringLiteral("Submit_BaseBill_Del")))
            DeleteProcName = stem + QStringLiteral("_Del");
        if (RedProcName.isEmpty() || (!baseSave && RedProcName == QStringLiteral("Submit_BaseBill_Red")))
            RedProcName = stem + QStringLiteral("_Red");
    }
    spGetNewBillCodeByDate = MakeBillCodeProc(FCon);
    for (TClientQuery* q : {cdsReport, qryMasterCopy, qryDetailCopy})
        q->SetConnection(FCon);
    Rights.New = FSession.Right(PrivilegeID, paNew);
    Rights.Edit = FSession.Right(PrivilegeID, paEdit);
    Rights.Delete = FSession.Right(PrivilegeID, paDelete);
    Rights.Print = FSession.Right(PrivilegeID, paPrint);
    if (!FSession.Right(227, paSpecial)) {
        const QString own = QStringLiteral(" opid =") + QString::number(FSession.OpID);
        if (!NavFilter.trimmed().isEmpty())
            NavFilter += QStringLiteral(" and") + own;
        else
            NavFilter = own;
    }
    RouteDataSetEvents();
}

void TBillDocument::LoadReportTemplates()
{
    cdsReport->SetConnection(FCon);
    cdsReport->SQL = QStringLiteral(" select * from report where rptid > 0 and rpttype = ") + QString::number(ReportType) +
                     QStringLiteral(" order by rptname ");
    try {
        cdsReport->OpenQuery();
    } catch (const Exception& e) {
        // Without templates a bill is still entered; only its print style stays empty.
        WriteLog(QStringLiteral("%1: %2").arg(Caption, e.Message()));
    }
}

void TBillDocument::RouteDataSetEvents()
{
    cdsMaster->AfterOpen = [this](TClientDataSet* ds) { Hooks().MasterAfterOpen(ds); };
    cdsMaster->BeforePost = [this](TClientDataSet* ds) { Hooks().MasterBeforePost(ds); };
    cdsMaster->AfterPost = [this](TClientDataSet* ds) { Hooks().MasterAfterPost(ds); };
    cdsMaster->OnCalcFields = [this](TClientDataSet* ds) { Hooks().MasterCalcFields(ds); };
    cdsMaster->OnNewRecord = [this](TClientDataSet* ds) { Hooks().MasterNewRecord(ds); };
    cdsMaster->AfterScroll = [this](TClientDataSet* ds) { Hooks().MasterAfterScroll(ds); };
    if (!MasterDetailBill)
        return;
    cdsDetail->AfterOpen = [this](TClientDataSet* ds) {
        Hooks().DetailAfterOpen(ds);
        WatchLineFields();
    };
    cdsDetail->BeforePost = [this](TClientDataSet* ds) { Hooks().DetailBeforePost(ds); };
    cdsDetail->AfterPost = [this](TClientDataSet* ds) { Hooks().DetailAfterPost(ds); };
    cdsDetail->OnCalcFields = [this](TClientDataSet* ds) { Hooks().DetailCalcFields(ds); };
    cdsDetail->OnNewRecord = [this](TClientDataSet* ds) {
        {
            TDepth inNew(FNewRecordDepth);
            Hooks().DetailNewRecord(ds);
        }
        // The new line is not in the count yet: its first edit adds its whole amount.
        FTrackedLine = ds->GetBookmark();
        FTrackedUnits = 0;
    };
    cdsDetail->AfterScroll = [this](TClientDataSet* ds) { Hooks().DetailAfterScroll(ds); };
    cdsDetail->AfterDelete = [this](TClientDataSet*) { LinesChanged(); };
    cdsDetail->AfterCancel = [this](TClientDataSet*) { LinesChanged(); };
    // Lines that come back or vanish wholesale (undo, filters, a new load) are counted again.
    connect(cdsDetail, &TClientDataSet::dataReset, this, [this] { FLineTotalValid = false; });
    connect(cdsDetail, &TClientDataSet::rowRemoved, this, [this] { FLineTotalValid = false; });
}

// ====================================================================== helpers

QString TBillDocument::FormatBillSQL(const QString& sql, int id)
{
    QString out = sql;
    const QString idText = QString::number(id);
    int pos = 0;
    while ((pos = out.indexOf(QStringLiteral("%s"), pos)) >= 0) {
        out.replace(pos, 2, idText);
        pos += idText.size();
    }
    return out;
}

QString TBillDocument::BranchCondition(bool deliverySides) const
{
    const int b = FSession.ShopID;
    if (b == 0)
        return QString();
    const QString s = QString::number(b);
    if (deliverySides && BillType == 42)
        return QStringLiteral(" and (shopid = ") + s + QStringLiteral(" or outshopid = ") + s + QStringLiteral(" or inshopid = ") + s +
               QStringLiteral(")");
    return QStringLiteral(" and (shopid = ") + s + QStringLiteral(")");
}

QString TBillDocument::NavCondition() const
{
    return NavFilter.trimmed().isEmpty() ? QString() : QStringLiteral(" and ") + NavFilter;
}

int TBillDocument::MasterKeyValue() const
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty() || KeyField.isEmpty())
        return kNoBillID;
    TField* f = cdsMaster->FindField(KeyField);
    return f && !f->IsNull() ? f->AsInteger() : kNoBillID;
}

QVariant TBillDocument::MasterValue(const QString& field) const
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return QVariant();
    TField* f = cdsMaster->FindField(field);
    return f ? f->Value() : QVariant();
}

void TBillDocument::MakeFieldsWritable(TClientDataSet* ds)
{
    ::MakeFieldsWritable(ds);
}

void TBillDocument::SetFlagValue(TField* f, bool on)
{
    if (!f)
        return;
    switch (f->DataType()) {
    case TFieldType::ftBoolean:
        f->SetValue(on);
        break;
    case TFieldType::ftString:
        f->SetValue(on ? QStringLiteral("T") : QStringLiteral("F"));
        break;
    default:
        f->SetValue(on ? 1 : 0);
        break;
    }
}

std::unique_ptr<TClientQuery> TBillDocument::Query(const QString& sql) const
{
    auto q = std::make_unique<TClientQuery>(nullptr, FCon);
    q->SQL = sql;
    return q;
}

void TBillDocument::SetReadOnly(bool flag)
{
    if (flag == FReadOnly)
        return;
    FReadOnly = flag;
    emit readOnlyChanged(flag);
}

void TBillDocument::SetNavigation(bool prior, bool next)
{
    if (prior == PriorEnabled && next == NextEnabled)
        return;
    PriorEnabled = prior;
    NextEnabled = next;
    emit navigationChanged();
}

// ====================================================================== opening and new bills

bool TBillDocument::OpenBill(int id)
{
    TDepth loading(FLoading);
    cdsMaster->DisableControls();
    cdsDetail->DisableControls();
    struct TEnable {
        TBillDocument* D;
        ~TEnable()
        {
            D->cdsMaster->EnableControls();
            D->cdsDetail->EnableControls();
        }
    } enable{this};
    for (TClientDataSet* ds : {cdsDetail, cdsMaster}) {
        if (ds->Active()) {
            ds->Cancel();
            ds->Close();
        }
    }

    TPacketParams request;
    request.Set(QStringLiteral("Count"), 1);
    request.Set(QStringLiteral("SQL1"), FormatBillSQL(MasterSQL, id));
    if (MasterDetailBill) {
        request.Set(QStringLiteral("Count"), 2);
        request.Set(QStringLiteral("SQL2"), FormatBillSQL(DetailSQL, id));
    }
    TPacketParams answer;
    try {
        answer.LoadFromString(FCon->Proxy()->Invoke(QStringLiteral("GetClientDataSet"), request.ToString(), 30000));
    } catch (const Exception& e) {
        Prompts().Plain(e.Message());
        return false;
    }
    const QString err = answer.GetString(QStringLiteral("ErrMsg"));
    if (!err.isEmpty()) {
        Prompts().Plain(err);
        return false;
    }
    cdsMaster->LoadFromXMLString(answer.GetString(QStringLiteral("ClientDataSet1")));
    MakeFieldsWritable(cdsMaster);
    if (MasterDetailBill) {
        cdsDetail->LoadFromXMLString(answer.GetString(QStringLiteral("ClientDataSet2")));
        MakeFieldsWritable(cdsDetail);
    }
    WireMasterFields();
    FLineTotalValid = false;
    // The highest line number, read once here, so that a new line need not look at the others.
    FMaxItemNo = 0;
    if (TField* item = MasterDetailBill ? cdsDetail->FindField(QStringLiteral("ItemNo")) : nullptr)
        for (int row = 0; row < cdsDetail->RecordCount(); ++row)
            FMaxItemNo = qMax(FMaxItemNo, cdsDetail->RowValue(row, item->Index()).toInt());
    CurrentBillID = id;
    if (id != kNoBillID)
        IsNewBill = false;
    RequestID.clear();
    return true;
}

void TBillDocument::WireMasterFields()
{
    for (int i = 0; i < cdsMaster->FieldCount(); ++i)
        cdsMaster->Fields(i)->OnChange = [this](TField* f) { Hooks().OnMasterFieldChanged(f); };
}

void TBillDocument::NewBill()
{
    if (!Hooks().OpenBill(kNoBillID))
        return;
    Hooks().BeforeOpenBill();
    cdsMaster->Append();
    Hooks().AfterNewBillState();
    Hooks().RefreshFieldState(QString());
}

void TBillDocument::StartNewBill()
{
    if (Hooks().QuerySaveChanges())
        Hooks().NewBill();
}

void TBillDocument::MasterNewRecord(TClientDataSet*)
{
    Hooks().InitNewMaster();
}

void TBillDocument::InitNewMaster()
{
    auto set = [this](const QString& name, const QVariant& v) {
        if (TField* f = cdsMaster->FindField(name))
            f->SetValue(v);
    };
    auto flag = [this](const QString& name, bool on) { SetFlagValue(cdsMaster->FindField(name), on); };
    if (!DateFieldName.isEmpty())
        set(DateFieldName, FSession.NewBillDateTime());
    if (!KeyField.isEmpty())
        set(KeyField, kNoBillID);
    set(QStringLiteral("OPID"), FSession.OpID);
    set(QStringLiteral("OPName"), FSession.OpName);
    set(QStringLiteral("SFlag"), 0);
    flag(QStringLiteral("CLOSED"), false);
    set(QStringLiteral("SHOPID"), FSession.ShopID);
    set(QStringLiteral("SHOPNAME"), FSession.ShopName);
    set(QStringLiteral("Flag"), 0);
    if (cdsReport->Active() && !cdsReport->IsEmpty()) {
        cdsReport->First();
        set(QStringLiteral("RPTID"), cdsReport->FieldByName(QStringLiteral("rptid"))->Value());
    }
    flag(QStringLiteral("printed"), false);
    set(QStringLiteral("refercount"), 0);
    for (const char* name : {"amount", "totalamt", "totalpaid", "totalreturn", "taxrate", "totalrcvd", "checkamt"})
        set(QString::fromLatin1(name), 0);
    flag(QStringLiteral("finished"), false);
}

void TBillDocument::AfterNewBillState()
{
    IsNewBill = true;
    Modified = false;
    SetNavigation(true, false);
    Hooks().UpdateBillState();
}

QString TBillDocument::GetNewBillCode(const QString& dateText)
{
    if (!spGetNewBillCodeByDate)
        spGetNewBillCodeByDate = MakeBillCodeProc(FCon);
    TClientStoredProc& sp = *spGetNewBillCodeByDate;
    sp.Params.ParamByName(QStringLiteral("@shopid")).Value = FSession.ShopID;
    sp.Params.ParamByName(QStringLiteral("@billdate")).Value = dateText;
    sp.Params.ParamByName(QStringLiteral("@masttablename")).Value = MasterTable;
    sp.Params.ParamByName(QStringLiteral("@billcode")).Value = QString();
    sp.ExecProc();
    return sp.Params.Value(QStringLiteral("@billcode")).toString();
}

void TBillDocument::OnMasterFieldChanged(TField* field)
{
    const QString name = field->FieldName().toUpper();
    if (name == QStringLiteral("BILLDATE")) {
        if (field->IsNull())
            return;
        TField* code = cdsMaster->FindField(QStringLiteral("Code"));
        if (!code)
            return;
        try {
            code->SetValue(Hooks().GetNewBillCode(field->AsDateTime().date().toString(QStringLiteral("yyyy-MM-dd"))));
        } catch (const Exception& e) {
            // The server numbers a bill saved without a code, so a failure here only costs the preview.
            WriteLog(QStringLiteral("GetNewBillCode: ") + e.Message());
        }
    } else if (name == QStringLiteral("EMPID") || name == QStringLiteral("EXEMANID")) {
        Hooks().OnEmployeeChanged(field);
    }
}

void TBillDocument::OnEmployeeChanged(TField* field)
{
    if (field->IsNull())
        return;
    std::unique_ptr<TClientQuery> q = Query(QStringLiteral("select Name,Department from Employ where empid = :'EmpID'"));
    q->SetParam(QStringLiteral("EmpID"), field->AsInteger());
    q->OpenQuery();
    if (q->IsEmpty() || q->FieldCount() < 2)
        return;
    if (TField* f = cdsMaster->FindField(QStringLiteral("EmpName")))
        f->SetValue(q->Fields(0)->Value());
    if (TField* f = cdsMaster->FindField(QStringLiteral("Department")))
        f->SetValue(q->Fields(1)->Value());
    else if (TField* f = cdsMaster->FindField(QStringLiteral("DepartmentID")))
        f->SetValue(q->Fields(1)->Value());
}

// ====================================================================== lines

void TBillDocument::MasterAfterOpen(TClientDataSet*)
{
    WireMasterFields();
    if (TField* code = cdsMaster->FindField(QStringLiteral("Code")); code && code->DisplayLabel.isEmpty())
        code->DisplayLabel = QStringLiteral("单据编号");
}

void TBillDocument::DetailAfterOpen(TClientDataSet* ds)
{
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        f->OnChange = [this](TField* field) { Hooks().DetailFieldChangeGuarded(field); };
        f->OnValidate = [this](TField* field) { Hooks().DetailFieldValidate(field); };
    }
    for (const QString& name : RequiredDetailFields.split(u',', Qt::SkipEmptyParts))
        if (TField* f = ds->FindField(name.trimmed()))
            f->Required = true;
}

void TBillDocument::WatchLineFields()
{
    // Whatever the bill's hooks make of a field change, the line numbers and the master total
    // follow once the outermost change is done.
    for (int i = 0; i < cdsDetail->FieldCount(); ++i) {
        TField* f = cdsDetail->Fields(i);
        f->OnChange = [this, inner = std::move(f->OnChange)](TField* field) {
            {
                TDepth depth(FLineChangeDepth);
                if (inner)
                    inner(field);
            }
            LineFieldChanged(field);
        };
    }
}

void TBillDocument::LineFieldChanged(TField* field)
{
    if (field->FieldName().compare(QLatin1String("ItemNo"), Qt::CaseInsensitive) == 0)
        FMaxItemNo = qMax(FMaxItemNo, field->AsInteger());
    // A new line's defaults carry no amount; the line counts once it is edited.
    if (FLineChangeDepth == 0 && FNewRecordDepth == 0 && FLoading == 0)
        FollowLineEdit();
}

void TBillDocument::LinesChanged()
{
    FLineTotalValid = false;
    if (FLoading == 0)
        FollowLineEdit();
}

TField* TBillDocument::MasterTotalField() const
{
    if (!TotalFromLines || !MasterDetailBill || !cdsMaster->Active() || cdsMaster->IsEmpty() || !cdsDetail->Active())
        return nullptr;
    TField* total = cdsMaster->FindField(MasterAmountFieldName.trimmed());
    return total && !total->ReadOnly && cdsDetail->FindField(AmountFieldName.trimmed()) ? total : nullptr;
}

void TBillDocument::FollowLineEdit()
{
    TField* total = MasterTotalField();
    if (!total)
        return;
    TField* amount = cdsDetail->FindField(AmountFieldName.trimmed());
    // Edits happen on the current line: only its own change is added. Every change of a
    // line's amount is seen here (the line is current while it changes), so a line the
    // cursor comes to still holds, as posted, what the total counted for it; lines removed,
    // cancelled or read again make the total count them all again.
    const qint64 row = cdsDetail->IsEmpty() ? -1 : cdsDetail->GetBookmark();
    const qint64 units = row < 0 ? 0 : MoneyUnits(amount->Value());
    // values changed while the lines were silenced were not seen: they are counted again
    const bool counted = FLineTotalValid && cdsDetail->UnseenChanges() == FUnseenCounted;
    if (counted && row == FTrackedLine) {
        if (units == FTrackedUnits)
            return;
        FLineUnits += units - FTrackedUnits;
    } else if (counted && row >= 0) {
        FLineUnits += units - MoneyUnits(cdsDetail->PostedValue(amount->Index()));
    } else {
        FLineUnits = 0;
        const int column = amount->Index();
        for (int i = 0, n = cdsDetail->RecordCount(); i < n; ++i)
            FLineUnits += MoneyUnits(cdsDetail->RowValue(i, column));
        FLineTotalValid = true;
        FUnseenCounted = cdsDetail->UnseenChanges();
    }
    FTrackedLine = row;
    FTrackedUnits = units;
    WriteMasterTotal(total);
}

void TBillDocument::KeepMasterTotal()
{
    FLineTotalValid = false;
    FollowLineEdit();
}

bool TBillDocument::MayStandAlone() const
{
    if (!NeedsLines)
        return true;
    const QVariant kind = AloneField.isEmpty() ? QVariant() : MasterValue(AloneField);
    return !kind.isNull() && AloneValues.contains(kind.toString().trimmed());
}

void TBillDocument::WriteMasterTotal(TField* total)
{
    // A bill that may stand alone keeps a typed total while it has no lines.
    if (cdsDetail->IsEmpty() && MayStandAlone())
        return;
    if (!total->IsNull() && MoneyUnits(total->Value()) == FLineUnits)
        return;
    total->SetValue(double(FLineUnits) / 10000.0);
}

void TBillDocument::DetailNewRecord(TClientDataSet* ds)
{
    if (TField* item = ds->FindField(QStringLiteral("ItemNo")))
        item->SetValue(++FMaxItemNo);
    if (!KeyField.isEmpty() && CurrentBillID != kNoBillID)
        if (TField* key = ds->FindField(KeyField))
            key->SetValue(CurrentBillID);
    SetFlagValue(ds->FindField(QStringLiteral("ispresent")), false);
    for (const char* name : {"returnqty", "refercount", "rcvdqty"})
        if (TField* f = ds->FindField(QString::fromLatin1(name)))
            f->SetValue(0);
}

void TBillDocument::DetailFieldChangeGuarded(TField* field)
{
    if (FInDetailFieldChange)
        return;
    FInDetailFieldChange = true;
    try {
        Hooks().DetailFieldChanged(field);
    } catch (...) {
        FInDetailFieldChange = false;
        throw;
    }
    FInDetailFieldChange = false;
}

bool TBillDocument::AppendLine()
{
    if (!MasterDetailBill || !cdsDetail->Active() || FReadOnly)
        return false;
    cdsDetail->Append();
    return true;
}

bool TBillDocument::DeleteLine()
{
    if (!MasterDetailBill || FReadOnly || !cdsDetail->Active())
        return false;
    if (cdsDetail->State() == TDataSetState::dsInsert) {
        cdsDetail->Cancel();
        return true;
    }
    if (cdsDetail->IsEmpty())
        return false;
    cdsDetail->Delete();
    return true;
}

// ====================================================================== changes

bool TBillDocument::IsBillModified()
{
    if (Modified)
        return true;
    bool answer = false;
    if (cdsMaster->Active()) {
        if (cdsMaster->State() == TDataSetState::dsInsert) {
            answer = cdsMaster->Modified();
        } else {
            if (cdsMaster->State() == TDataSetState::dsEdit)
                cdsMaster->Post();
            answer = cdsMaster->ChangeCount() > 0;
        }
    }
    if (MasterDetailBill && cdsDetail->Active()) {
        if (EditingState(cdsDetail)) {
            // A blank line the user only opened counts for nothing.
            if (cdsDetail->State() == TDataSetState::dsInsert && !cdsDetail->Modified())
                cdsDetail->Cancel();
            else
                cdsDetail->Post();
        }
        answer = answer || cdsDetail->ChangeCount() > 0;
    }
    Modified = answer;
    return answer;
}

void TBillDocument::DiscardChanges()
{
    Hooks().OpenBill(CurrentBillID);
    Modified = false;
}

bool TBillDocument::QuerySaveChanges()
{
    if (!Hooks().IsBillModified())
        return true;
    const int answer = Prompts().YesNoCancel(QStringLiteral("数据没有保存，保存数据？"), kCaptionQuestion);
    if (answer == IDYES)
        return SaveBill();
    if (answer == IDNO) {
        DiscardChanges();
        return true;
    }
    return false;
}

bool TBillDocument::CloseQuery()
{
    if (!Hooks().IsBillModified())
        return true;
    const int answer = Prompts().MsgBox(QStringLiteral("当前单数据没有保存，保存数据？"), kCaptionQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES)
        return SaveBill();
    if (answer == IDNO) {
        TDepth loading(FLoading);
        cdsMaster->Cancel();
        cdsDetail->Cancel();
        cdsMaster->CancelUpdates();
        cdsDetail->CancelUpdates();
        FLineTotalValid = false;
        Modified = false;
        return true;
    }
    return false;
}

// ====================================================================== loading and navigating

int TBillDocument::FindBillByID(int id)
{
    std::unique_ptr<TClientQuery> q = Query(QStringLiteral(" select top 1 ") + KeyField + QStringLiteral(" from ") + MasterTable +
                                            QStringLiteral(" where ") + KeyField + QStringLiteral(" = :'BillID'") +
                                            BranchCondition(true) + NavCondition());
    q->SetParam(QStringLiteral("BillID"), id);
    q->OpenQuery();
    if (q->IsEmpty()) {
        Prompts().Notice(QStringLiteral("该单据已不存在或者您无权查看该单据！"), kCaptionNotice);
        return kNoBillID;
    }
    return q->Fields(0)->AsInteger();
}

void TBillDocument::ShowBill(int id)
{
    Hooks().OpenBill(id);
    Hooks().UpdateBillState();
}

bool TBillDocument::LoadBillByID(int id)
{
    if (!Hooks().QuerySaveChanges())
        return false;
    if (Hooks().FindBillByID(id) != kNoBillID) {
        ShowBill(id);
        SetNavigation(true, NextEnabled);
        return true;
    }
    Hooks().NewBill();
    return false;
}

int TBillDocument::NavigateQuery(const QString& where, const QString& order, const QString& code, const QVariant& billDate)
{
    std::unique_ptr<TClientQuery> q = Query(QStringLiteral(" select top 1 ") + KeyField + QStringLiteral(" from ") + MasterTable + where + order);
    for (const QString& n : q->ParamNames()) {
        if (n.compare(QStringLiteral("OldBillCode"), Qt::CaseInsensitive) == 0)
            q->SetParam(n, code);
        else
            q->SetParam(n, billDate);
    }
    q->OpenQuery();
    return q->IsEmpty() ? kNoBillID : q->Fields(0)->AsInteger();
}

int TBillDocument::GetFirstBillID()
{
    return NavigateQuery(QStringLiteral(" where 1 = 1") + BranchCondition() + NavCondition(), QStringLiteral(" order by BillDate  , Code  "),
                         QString(), QVariant());
}

int TBillDocument::GetPriorBillID(const QString& code, const QVariant& billDate)
{
    return NavigateQuery(QStringLiteral(" where ((BillDate = :'OldBillDate1' and code < :'OldBillCode')   ") +
                             QStringLiteral(" or (BillDate < :'OldBillDate2' )) ") + BranchCondition() + NavCondition(),
                         QStringLiteral(" order by BillDate Desc , Code Desc "), code, billDate);
}

int TBillDocument::GetNextBillID(const QString& code, const QVariant& billDate)
{
    return NavigateQuery(QStringLiteral(" where  ((BillDate = :'OldBillDate1' and code > :'OldBillCode')   ") +
                             QStringLiteral(" or (BillDate > :'OldBillDate2' )) ") + BranchCondition() + NavCondition(),
                         QStringLiteral(" order by BillDate , Code "), code, billDate);
}

int TBillDocument::GetLastBillID()
{
    return NavigateQuery(QStringLiteral(" where 1 = 1") + BranchCondition() + NavCondition(),
                         QStringLiteral(" order by BillDate Desc , Code Desc "), QString(), QVariant());
}

void TBillDocument::GotoFirstBill()
{
    if (!Hooks().QuerySaveChanges())
        return;
    const int id = Hooks().GetFirstBillID();
    if (id == kNoBillID) {
        Hooks().NewBill();
        return;
    }
    ShowBill(id);
    SetNavigation(false, true);
}

void TBillDocument::OpenLastBill()
{
    const int id = Hooks().GetLastBillID();
    if (id == kNoBillID) {
        Hooks().NewBill();
        return;
    }
    ShowBill(id);
    SetNavigation(true, true);
}

void TBillDocument::GotoPriorBill()
{
    if (!Hooks().QuerySaveChanges())
        return;
    if (IsNewBill) {
        OpenLastBill();
        return;
    }
    const int id = Hooks().GetPriorBillID(MasterValue(QStringLiteral("Code")).toString(), MasterValue(QStringLiteral("BillDate")));
    if (id == kNoBillID) {
        ShowBill(CurrentBillID);
        SetNavigation(false, NextEnabled);
        return;
    }
    ShowBill(id);
    SetNavigation(PriorEnabled, true);
}

void TBillDocument::GotoNextBill()
{
    if (!Hooks().QuerySaveChanges())
        return;
    const int id = Hooks().GetNextBillID(MasterValue(QStringLiteral("Code")).toString(), MasterValue(QStringLiteral("BillDate")));
    if (id == kNoBillID) {
        Hooks().NewBill();
        return;
    }
    ShowBill(id);
    SetNavigation(true, NextEnabled);
}

void TBillDocument::GotoLastBill()
{
    if (!Hooks().QuerySaveChanges())
        return;
    OpenLastBill();
}

void TBillDocument::RefreshBill()
{
    if (!IsNewBill)
        ShowBill(CurrentBillID);
}

// ====================================================================== saving

bool TBillDocument::SaveBill()
{
    try {
        if (!Hooks().IsBillModified())
            return true;
        if (FSession.Online && BillType != 29 && BillType != 40) {
            TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("ShopID")) : nullptr;
            if (shop && !shop->IsNull() && shop->AsInteger() != FSession.ShopID) {
                Prompts().MsgBox(QStringLiteral("您不能修改分支机构的单据！"), kCaptionWarning, MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
        }
        if (IsNewBill) {
            if (!Rights.New) {
                Prompts().Error(QStringLiteral("您没有新增操作权限"), kCaptionError);
                return false;
            }
        } else if (!Rights.Edit) {
            // every refusal says why (the server would answer the same)
            Prompts().Error(QStringLiteral("您没有修改该单据的权限！"), kCaptionError);
            return false;
        }
        Hooks().SetMasterSystemFields();
        if (!Hooks().PostAndValidate())
            return false;
        if (!Hooks().ExecuteSaveProc())
            return false;
        Hooks().AfterSaveBill();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& e) {
        Prompts().Error(e.Message(), kCaptionError);
        return false;
    }
}

bool TBillDocument::SaveAndNewBill()
{
    if (SaveBill())
        Hooks().NewBill();
    return true;
}

void TBillDocument::SetMasterSystemFields()
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    if (TField* op = cdsMaster->FindField(QStringLiteral("opid")); op && (op->IsNull() || op->AsInteger() != FSession.OpID))
        op->SetValue(FSession.OpID);
    if (!IsNewBill)
        Hooks().TouchUpdateTime();
}

void TBillDocument::TouchUpdateTime()
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    TField* f = cdsMaster->FindField(QStringLiteral("UpdateTime"));
    if (!f)
        return;
    const bool pending = cdsMaster->UpdateStatus() != TUpdateStatus::usUnmodified ||
                         (cdsMaster->State() == TDataSetState::dsEdit && cdsMaster->Modified()) ||
                         cdsMaster->State() == TDataSetState::dsInsert;
    if (pending)
        return;
    // The master row must travel in the delta so that the server can compare its update
    // time with the stored one. A post that changes nothing is not logged, so the row gets
    // a fresh stamp; the server writes its own time anyway.
    QDateTime stamp = QDateTime::currentDateTime();
    stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
    if (!f->IsNull() && f->AsDateTime() == stamp)
        stamp = stamp.addSecs(1);
    f->SetValue(stamp);
    cdsMaster->Post();
}

void TBillDocument::DiscardPendingTouch()
{
    cdsMaster->Cancel();
    cdsMaster->CancelUpdates();
    Modified = false;
}

namespace {

// The lines walked with their grid asleep while the checks run: following the cursor over
// thousands of lines costs more than checking them. The document speaks through a relay
// meanwhile, and whatever the checks tell the user wakes the grid first, so that it shows the
// line the message is about; the grid wakes at the end in any case.
class TQuietLines {
public:
    TQuietLines(TClientDataSet* lines, TBillPrompter*& slot)
        : FLines(lines), FSlot(slot), FWas(slot), FRelay([this]() -> TBillPrompter& { return *FWas; }, [this] { Wake(); })
    {
        if (FLines) {
            FLines->DisableControls();
            FSlot = &FRelay;
        }
    }
    ~TQuietLines()
    {
        FSlot = FWas;
        Wake();
    }
    TQuietLines(const TQuietLines&) = delete;
    TQuietLines& operator=(const TQuietLines&) = delete;

private:
    TClientDataSet* FLines;
    TBillPrompter*& FSlot;
    TBillPrompter* const FWas;
    TRelayPrompter FRelay;

    void Wake()
    {
        if (TClientDataSet* lines = std::exchange(FLines, nullptr))
            lines->EnableControls();
    }
};

} // namespace

bool TBillDocument::PostAndValidate()
{
    const TQuietLines quiet(MasterDetailBill && cdsDetail->Active() && !cdsDetail->ControlsDisabled() ? cdsDetail : nullptr, FPrompter);
    try {
        SetDataSetPost(cdsMaster);
        if (MasterDetailBill)
            SetDataSetPost(cdsDetail);
    } catch (const Exception& e) {
        // The dataset refuses a required column without a value on posting; the checks
        // name the column the way users know it, so they speak first.
        if (Hooks().ValidateMaster() && Hooks().ValidateSourceLines() && Hooks().ValidateDetail())
            Prompts().Error(e.Message(), kCaptionError);
        return false;
    }
    return Hooks().ValidateMaster() && Hooks().ValidateSourceLines() && Hooks().ValidateDetail();
}

bool TBillDocument::ValidateRequiredFields(TClientDataSet* ds)
{
    if (!ds->Active() || ds->IsEmpty())
        return true;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        if (!f->Required || f->FieldKind() != TFieldKind::fkData)
            continue;
        const bool floating = f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency;
        if (floating && f->AsString().isEmpty()) {
            f->SetValue(0);
            ds->Post();
            continue;
        }
        if (f->IsNull() || (f->DataType() == TFieldType::ftString && f->AsString().isEmpty())) {
            Prompts().Error(QStringLiteral("字段:[") + f->DisplayName() + QStringLiteral("]不能为空."), kCaptionError);
            Prompts().FocusField(f);
            return false;
        }
    }
    return true;
}

bool TBillDocument::ValidateMaster()
{
    if (FReadOnly && !(ClosedByHandOnly && ClosedByHandOnly())) {
        Prompts().Notice(QStringLiteral("该单据状态为只读状态不能保存！"), kCaptionNotice);
        return false;
    }
    return ValidateRequiredFields(cdsMaster);
}

bool TBillDocument::ValidateSourceLines()
{
    if (LinesFromSourceBills && MasterDetailBill && (!cdsDetail->Active() || cdsDetail->IsEmpty())) {
        Prompts().Notice(QStringLiteral("请选择明细单据！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillDocument::ValidateDetail()
{
    if (!MasterDetailBill || !cdsDetail->Active())
        return true;
    // Lines whose required fields are all filled pass as they are: they are read in place, and
    // only a bill with an empty one walks its lines (moving the grid) to fill or show it.
    QVector<TField*> required;
    for (int i = 0; i < cdsDetail->FieldCount(); ++i)
        if (cdsDetail->Fields(i)->Required && cdsDetail->Fields(i)->FieldKind() == TFieldKind::fkData)
            required << cdsDetail->Fields(i);
    bool anyEmpty = false;
    for (int r = 0; r < cdsDetail->RecordCount() && !anyEmpty; ++r)
        for (const TField* f : required) {
            const QVariant v = cdsDetail->RowValue(r, f->Index());
            if (v.isNull() || (f->DataType() == TFieldType::ftString && v.toString().isEmpty())) {
                anyEmpty = true;
                break;
            }
        }
    if (!anyEmpty)
        return true;
    const int keep = cdsDetail->RecNo();
    cdsDetail->First();
    while (!cdsDetail->Eof()) {
        if (!ValidateRequiredFields(cdsDetail))
            return false; // the offending line stays current
        cdsDetail->Next();
    }
    if (keep > 0)
        cdsDetail->SetRecNo(keep);
    return true;
}

void TBillDocument::AddPacketHead(TPacketParams& p) const
{
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("SubmitType"))->SetAsString(QStringLiteral("BillSubmit"));
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("BillCaption"))->SetAsString(Caption);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("Bind"))->SetAsBoolean(FSession.Bind);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("IsAddNew"))->SetAsBoolean(IsNewBill);
}

void TBillDocument::BuildSavePacket(TPacketParams& p)
{
    AddPacketHead(p);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantBillType"))->SetAsInteger(BillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CVFlag"))->SetAsInteger(CVFlag);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("MasterDetailBill"))->SetAsBoolean(MasterDetailBill);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterAmountFieldName"))->SetAsString(MasterAmountFieldName);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("AmountFieldName"))->SetAsString(AmountFieldName);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantCredType"))->SetAsInteger(RelevantCredType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("ShopID"))->SetAsInteger(FSession.ShopID);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterDelta"))->SetAsDelta(GetDelta(cdsMaster));
    if (MasterDetailBill)
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsDelta(GetDelta(cdsDetail));
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(0);
    if (IsNewBill && !RequestID.isEmpty())
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("RequestID"))->SetAsString(RequestID);
}

void TBillDocument::BuildDeletePacket(TPacketParams& p)
{
    AddPacketHead(p);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CurrBillID"))->SetAsInteger(CurrentBillID);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CVFlag"))->SetAsInteger(CVFlag);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantBillType"))->SetAsInteger(BillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("DBBillType"))->SetAsInteger(DBBillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantCredType"))->SetAsInteger(RelevantCredType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("ShopID"))->SetAsInteger(FSession.ShopID);
    // a bill another user deleted reloads without a date: the server then says it is gone
    const QDateTime date = MasterValue(DateFieldName).toDateTime();
    p.CreatePacketParam(TFieldType::ftDateTime, QStringLiteral("BillDate"))->Value = date.isValid() ? QVariant(date) : QVariant();
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterDelta"))->SetAsDelta(GetDelta(cdsMaster));
    if (MasterDetailBill)
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsDelta(GetDelta(cdsDetail));
    else
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsString(QString());
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(0);
}

void TBillDocument::BuildRedPacket(TPacketParams& p)
{
    Hooks().BuildDeletePacket(p);
    QString code;
    try {
        code = Hooks().GetNewBillCode(FSession.NewBillDateTime().date().toString(QStringLiteral("yyyy-MM-dd")));
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("GetNewBillCode: ") + e.Message()); // the server numbers it then
    }
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("NewBillCode"))->SetAsString(code);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("UserID"))->SetAsInteger(FSession.OpID);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("opid"))->SetAsInteger(FSession.OpID);
}

int TBillDocument::SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer)
{
    bool again = true;
    int errNo = -1;
    while (again) {
        again = false;
        QString reply;
        try {
            reply = FCon->Proxy()->Invoke(procName, request, 120000);
        } catch (const Exception& e) {
            Prompts().Error(e.Message(), kCaptionError);
            return -1;
        }
        answer.Clear();
        answer.LoadFromString(reply);
        errNo = answer.GetInt(QStringLiteral("ErrNo"));
        if (errNo > 1000 && Hooks().CheckOnHandDialog(errNo, request, answer))
            again = true;
    }
    return errNo;
}

void TBillDocument::ShowServerError(const TPacketParams& answer)
{
    const QString title = answer.GetString(QStringLiteral("ErrTitle"));
    Prompts().Error(answer.GetString(QStringLiteral("ErrMsg")), title.isEmpty() ? kCaptionError : title);
}

bool TBillDocument::ExecuteSaveProc()
{
    SetDataSetPost(cdsMaster);
    if (MasterDetailBill)
        SetDataSetPost(cdsDetail);
    if (IsNewBill && RequestID.isEmpty())
        RequestID = QUuid::createUuid().toString(QUuid::WithoutBraces);
    TPacketParams request, answer;
    Hooks().BuildSavePacket(request);
    const int errNo = SubmitPacket(SaveProcName, request, answer);
    if (errNo == 0) {
        RequestID.clear();
        if (IsNewBill)
            CurrentBillID = answer.GetInt(QStringLiteral("NewBillID"), kNoBillID);
        const QString tips = answer.GetString(QStringLiteral("BillCodeTips"));
        if (!tips.isEmpty())
            Prompts().Notice(tips, kCaptionNotice);
        return true;
    }
    if (errNo == 1)
        ShowServerError(answer);
    return false;
}

void TBillDocument::AfterSaveBill()
{
    const bool wasNew = IsNewBill;
    // Prices may have moved with this bill (last purchase price, cost): forget the cache.
    BillDBAfterSaveBill();
    Hooks().OpenBill(CurrentBillID);
    Hooks().SendBillMessage();
    SetNavigation(true, true);
    Modified = false;
    if (wasNew && FSession.OptionValue(QStringLiteral("BILLPRINTAFTERSAVE")) == QStringLiteral("1") && Rights.Print)
        Hooks().PrintBill(false);
    IsNewBill = false;
    Hooks().UpdateBillState();
}

// ====================================================================== server checks

QString TBillDocument::StockCheckIntro(int errNo, bool warnZeroOnHand)
{
    switch (errNo) {
    case 1501:
        return warnZeroOnHand ? QStringLiteral("以下货品的库存将为零或负数:") : QStringLiteral("以下货品的库存将为负数:");
    case 1502:
        return QStringLiteral("以下批次的库存将为负数:");
    case 1503:
        return QStringLiteral("以下货品的库存超出库存上限或低于库存下限:");
    default:
        return QString();
    }
}

bool TBillDocument::CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer)
{
    bool accepted = false;
    if (errNo == 1501 || errNo == 1502 || errNo == 1503) {
        const bool warnZero = FSession.OptionValue(QStringLiteral("WARNWHILEZEROONHAND")) == QStringLiteral("1");
        accepted = Prompts().StockWarning(errNo, StockCheckIntro(errNo, warnZero), answer);
    } else if (errNo == 1401) {
        int privilegeId = 0;
        QString option;
        if (CVFlag == 1) {
            privilegeId = 360;
            option = QStringLiteral("CHECKMINSALEPRICE");
        } else if (CVFlag == 2) {
            privilegeId = 359;
            option = QStringLiteral("CHECKMAXBUYPRICE");
        } else {
            return false;
        }
        if (FSession.OptionValue(option) != QStringLiteral("1")) {
            accepted = true; // the check is switched off for this side
        } else {
            const bool allowed = FSession.Right(privilegeId, paSpecial);
            accepted = Prompts().PriceWarning(CVFlag, allowed, answer) && allowed;
        }
    }
    if (accepted)
        request.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(errNo + 1);
    return accepted;
}

// ====================================================================== deleting, reversing, copying

bool TBillDocument::CanDeleteBill()
{
    if (FReadOnly) {
        Prompts().Notice(QStringLiteral("该单据状态为只读状态不能删除！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillDocument::DeleteBill()
{
    if (!Rights.Delete) {
        Prompts().MsgBox(QStringLiteral("您没有删除该单据的权限或者该单不能被删除！"), kCaptionError, MB_OK | MB_ICONERROR);
        return false;
    }
    if (!FSession.Online) {
        TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("ShopID")) : nullptr;
        if (shop && !shop->IsNull() && shop->AsInteger() != FSession.ShopID) {
            Prompts().MsgBox(QStringLiteral("您不能删除别的机构的单据！"), kCaptionWarning, MB_OK | MB_ICONWARNING);
            return false;
        }
    }
    if (!Hooks().CanDeleteBill())
        return false;
    if (!Prompts().YesNo(QStringLiteral("单据被删除后将不能恢复，是否真的删除本单？"), kCaptionNotice))
        return false;
    if (IsNewBill) {
        Hooks().NewBill();
        return true;
    }
    DiscardChanges();
    Hooks().TouchUpdateTime();
    TPacketParams request, answer;
    Hooks().BuildDeletePacket(request);
    const int errNo = SubmitPacket(DeleteProcName, request, answer);
    DiscardPendingTouch();
    if (errNo == 0) {
        GotoNextBill();
        return true;
    }
    if (errNo == 1)
        ShowServerError(answer);
    return false;
}

bool TBillDocument::CanMakeRedBill()
{
    if (!Rights.Edit)
        return false;
    if (IsNewBill || !cdsMaster->Active() || !cdsMaster->FindField(QStringLiteral("ReferBillID")))
        return false;
    const int flag = MasterValue(QStringLiteral("flag")).toInt();
    if (flag == 1) {
        Prompts().Notice(QStringLiteral("此单已冲红，不能再做！"), kCaptionNotice);
        return false;
    }
    if (flag == 2) {
        Prompts().Notice(QStringLiteral("此单不能冲红，除非删除！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillDocument::MakeRedBill()
{
    if (!FSession.Right(PrivilegeID, paRed)) {
        Prompts().Notice(QStringLiteral("您没有该项操作权限！"), kCaptionNotice);
        return false;
    }
    if (!Hooks().QuerySaveChanges())
        return false;
    if (!Hooks().CanMakeRedBill())
        return false;
    if (!Prompts().YesNo(QStringLiteral("本单执行冲红操作后，对应的红单将即时保存，是否继续？"), kCaptionQuestion))
        return false;
    Hooks().TouchUpdateTime();
    TPacketParams request, answer;
    Hooks().BuildRedPacket(request);
    const int errNo = SubmitPacket(RedProcName, request, answer);
    DiscardPendingTouch();
    if (errNo == 1)
        ShowServerError(answer);
    else if (errNo == 0 && !answer.GetString(QStringLiteral("BillCodeTips")).isEmpty())
        Prompts().Notice(answer.GetString(QStringLiteral("BillCodeTips")), kCaptionNotice);
    LoadBillByID(CurrentBillID);
    return errNo == 0;
}

void TBillDocument::CopyBill()
{
    if (IsNewBill || CurrentBillID == kNoBillID) {
        Prompts().Plain(QStringLiteral("新增状态不能进行整单复制!"));
        return;
    }
    const QVariant shop = MasterValue(QStringLiteral("ShopID"));
    if (!shop.isNull() && shop.toInt() != FSession.ShopID) {
        Prompts().Plain(QStringLiteral("不能复制其他分支机构的单据!"));
        return;
    }
    if (!Hooks().QuerySaveChanges())
        return;
    const int source = CurrentBillID;
    qryMasterCopy->SetConnection(FCon);
    qryMasterCopy->SQL = FormatBillSQL(MasterSQL, source);
    qryMasterCopy->OpenQuery();
    if (MasterDetailBill) {
        qryDetailCopy->SetConnection(FCon);
        qryDetailCopy->SQL = FormatBillSQL(DetailSQL, source);
        qryDetailCopy->OpenQuery();
    }
    Hooks().NewBill();
    if (!cdsMaster->Active() || qryMasterCopy->IsEmpty())
        return;
    const QString newCode = MasterValue(QStringLiteral("Code")).toString();
    for (int i = 0; i < qryMasterCopy->FieldCount(); ++i) {
        TField* src = qryMasterCopy->Fields(i);
        // The key stays the new-bill marker whatever the exclusion list says.
        if (src->FieldName().compare(KeyField, Qt::CaseInsensitive) == 0 || InList(CopyExcludedMasterFields, src->FieldName()))
            continue;
        TField* dst = cdsMaster->FindField(src->FieldName());
        if (dst && dst->FieldKind() == TFieldKind::fkData)
            dst->SetValue(src->Value());
    }
    // A copy never keeps the number of the bill it came from.
    if (TField* code = cdsMaster->FindField(QStringLiteral("Code"));
        code && code->AsString() == qryMasterCopy->FindField(QStringLiteral("Code"))->AsString())
        code->SetValue(newCode);
    if (MasterDetailBill && cdsDetail->Active()) {
        for (qryDetailCopy->First(); !qryDetailCopy->Eof(); qryDetailCopy->Next()) {
            cdsDetail->Append();
            for (int i = 0; i < qryDetailCopy->FieldCount(); ++i) {
                TField* src = qryDetailCopy->Fields(i);
                if (src->FieldName().compare(KeyField, Qt::CaseInsensitive) == 0 || InList(CopyExcludedDetailFields, src->FieldName()))
                    continue;
                TField* dst = cdsDetail->FindField(src->FieldName());
                if (dst && dst->FieldKind() == TFieldKind::fkData)
                    dst->SetValue(src->Value());
            }
            cdsDetail->Post();
        }
        cdsDetail->First();
    }
    qryMasterCopy->Close();
    qryDetailCopy->Close();
    Hooks().RefreshFieldState(QString());
}

// ====================================================================== state and read-only rules

bool TBillDocument::IsReadOnlyBill()
{
    if (IsNewBill || !cdsMaster->Active() || cdsMaster->IsEmpty())
        return false;
    if (!Rights.Edit)
        return true;
    if (BillType != 29 && BillType != 40) {
        TField* shop = cdsMaster->FindField(QStringLiteral("ShopID"));
        if (shop && !shop->IsNull() && shop->AsInteger() != FSession.ShopID)
            return true;
    }
    if (!FSession.Right(228, paSpecial)) {
        TField* op = cdsMaster->FindField(QStringLiteral("opid"));
        if (op && !op->IsNull() && op->AsInteger() != FSession.OpID)
            return true;
    }
    return false;
}

void TBillDocument::UpdateBillState()
{
    if (!KeyField.isEmpty() && cdsMaster->Active())
        CurrentBillID = MasterKeyValue();
    SetReadOnly(Hooks().IsReadOnlyBill());
    Hooks().RefreshFieldState(QString());
}

// ====================================================================== hooks without base behaviour

void TBillDocument::SendBillMessage() {}
void TBillDocument::MasterBeforePost(TClientDataSet*) {}
void TBillDocument::MasterAfterPost(TClientDataSet*) {}
void TBillDocument::MasterCalcFields(TClientDataSet*) {}
void TBillDocument::MasterAfterScroll(TClientDataSet*) {}
void TBillDocument::DetailBeforePost(TClientDataSet*) {}
void TBillDocument::DetailAfterPost(TClientDataSet*) {}
void TBillDocument::DetailCalcFields(TClientDataSet*) {}
void TBillDocument::DetailAfterScroll(TClientDataSet*) {}
void TBillDocument::DetailFieldChanged(TField*) {}
void TBillDocument::DetailFieldValidate(TField*) {}
void TBillDocument::PrintBill(bool) {}
void TBillDocument::RefreshFieldState(const QString&) {}
void TBillDocument::BeforeOpenBill() {}
