#include "templates/StyleDefineForm.h"

#include "host/Messages.h"
#include "platform/DBControls.h"
#include "services/BillServices.h"
#include "services/GridSettings.h"
#include "webrpc/Connection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

std::function<void(QWidget* parent, int reportType)> g_ShowPrintStyleManager;

namespace {
QPushButton* Button(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
} // namespace

TStyleDefineForm::TStyleDefineForm(int windowId, int templateId, QWidget* billForm, int reportType, QWidget* parent)
    : QDialog(parent), FBillForm(billForm)
{
    setObjectName(QStringLiteral("StyleDefineForm"));
    setWindowTitle(QStringLiteral("单据模板设置"));
    resize(760, 520);

    if (!FStyle.Load(windowId, templateId)) FStyle.Load(windowId, TStyleInfo::kNewTemplate);
    FResultTemplateID = FStyle.TemplateID;

    if (reportType >= 0) {
        FReportType = reportType;
    } else if (billForm && billForm->property("ReportType").isValid()) {
        FReportType = billForm->property("ReportType").toInt();
    } else if (FStyle.RptID > 0 && g_DefaultCon) {
        FReportType = g_DefaultCon->ExecuteScalar(QStringLiteral("select rpttype from report where rptid = ") + QString::number(FStyle.RptID)).toInt();
    }

    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("模板名称:"), this));
    edtTempName = new QLineEdit(FStyle.TemplateName, this);
    edtTempName->setObjectName(QStringLiteral("edtTempName"));
    top->addWidget(edtTempName, 1);
    top->addWidget(new QLabel(QStringLiteral("打印样式"), this));
    RptStyleCB = new QComboBox(this);
    RptStyleCB->setObjectName(QStringLiteral("RptStyleCB"));
    RptStyleCB->setMinimumWidth(160);
    top->addWidget(RptStyleCB, 1);
    btnDesignRpt = Button(this, QStringLiteral("btnDesignRpt"), QStringLiteral("设计打印样式"));
    top->addWidget(btnDesignRpt);
    root->addLayout(top);

    auto* middle = new QHBoxLayout;
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    cdsMasterHead = MakeSectionDataSet(QStringLiteral("cdsMasterHead"));
    cdsMasterBody = MakeSectionDataSet(QStringLiteral("cdsMasterBody"));
    cdsDetailItem = MakeSectionDataSet(QStringLiteral("cdsDetailItem"));
    cdsMasterFoot = MakeSectionDataSet(QStringLiteral("cdsMasterFoot"));
    FillGrids();
    TDataSource* src = nullptr;
    grdMasterHead = MakeGrid(cdsMasterHead, src, false, QStringLiteral("grdMasterHead"));
    PageControl->addTab(grdMasterHead, QStringLiteral("单据头"));
    grdMasterBody = MakeGrid(cdsMasterBody, src, false, QStringLiteral("grdMasterBody"));
    PageControl->addTab(grdMasterBody, QStringLiteral("单据体"));
    grdDetailItem = MakeGrid(cdsDetailItem, src, true, QStringLiteral("grdDetailItem"));
    PageControl->addTab(grdDetailItem, QStringLiteral("单据明细"));
    grdMasterFoot = MakeGrid(cdsMasterFoot, src, false, QStringLiteral("grdMasterFoot"));
    PageControl->addTab(grdMasterFoot, QStringLiteral("单据尾"));
    // Colour schemes are stored with the template but not edited here.
    const int colourPage = PageControl->addTab(new QWidget(this), QStringLiteral("颜色方案"));
    PageControl->setTabVisible(colourPage, false);
    middle->addWidget(PageControl, 1);

    auto* buttons = new QVBoxLayout;
    btnUp = Button(this, QStringLiteral("btnUp"), QStringLiteral("上移数据"));
    btnDown = Button(this, QStringLiteral("btnDown"), QStringLiteral("下移数据"));
    btnOK = Button(this, QStringLiteral("btnOK"), QStringLiteral("确定"));
    btnCancel = Button(this, QStringLiteral("btnCancel"), QStringLiteral("取消"));
    btnSaveAs = Button(this, QStringLiteral("btnSaveAs"), QStringLiteral("另存为"));
    btnDefault = Button(this, QStringLiteral("btnDefault"), QStringLiteral("缺省值"));
    btnDelete = Button(this, QStringLiteral("btnDelete"), QStringLiteral("删除"));
    btnAddSysField = Button(this, QStringLiteral("btnAddSysField"), QStringLiteral("增加系统字段"));
    btnAddTemplateField = Button(this, QStringLiteral("btnAddTemplateField"), QStringLiteral("增加模板字段"));
    for (QPushButton* b : {btnUp, btnDown, btnOK, btnCancel, btnSaveAs, btnDefault, btnDelete, btnAddSysField, btnAddTemplateField})
        buttons->addWidget(b);
    buttons->addStretch(1);
    // Maintenance of the field definitions is done with the system editors, not here.
    btnAddSysField->setVisible(false);
    btnAddTemplateField->setVisible(false);
    middle->addLayout(buttons);
    root->addLayout(middle, 1);

    connect(btnUp, &QPushButton::clicked, this, &TStyleDefineForm::MoveUpClick);
    connect(btnDown, &QPushButton::clicked, this, &TStyleDefineForm::MoveDownClick);
    connect(btnOK, &QPushButton::clicked, this, &TStyleDefineForm::OKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSaveAs, &QPushButton::clicked, this, &TStyleDefineForm::SaveAsClick);
    connect(btnDefault, &QPushButton::clicked, this, &TStyleDefineForm::DefaultClick);
    connect(btnDelete, &QPushButton::clicked, this, &TStyleDefineForm::DeleteClick);
    connect(btnDesignRpt, &QPushButton::clicked, this, [this] {
        if (!g_ShowPrintStyleManager) return;
        g_ShowPrintStyleManager(this, FReportType);
        LoadReportList();
    });
    btnDesignRpt->setEnabled(bool(g_ShowPrintStyleManager));
    LoadReportList();
}

TStyleDefineForm::~TStyleDefineForm() = default;

TClientDataSet* TStyleDefineForm::MakeSectionDataSet(const QString& name)
{
    auto* ds = new TClientDataSet(this);
    ds->setObjectName(name);
    ds->AddField(QStringLiteral("ItemID"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("Name"), TFieldType::ftString, 40);
    ds->AddField(QStringLiteral("DisplayName"), TFieldType::ftString, 40);
    ds->AddField(QStringLiteral("SEQUENCE"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("BDISPLAY"), TFieldType::ftBoolean);
    ds->AddField(QStringLiteral("BPRINT"), TFieldType::ftBoolean);
    ds->AddField(QStringLiteral("TabType"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("AllwaysPrint"), TFieldType::ftBoolean);
    ds->AddField(QStringLiteral("AllwaysDisplay"), TFieldType::ftBoolean);
    ds->AddField(QStringLiteral("Width"), TFieldType::ftInteger);
    ds->CreateDataSet();
    // A field that is always shown (printed) keeps its check mark: the cell is read-only.
    auto guard = [this, ds](const char* flag) {
        return [this, ds, flag](TField*) {
            if (!FFilling && ds->FieldByName(QString::fromLatin1(flag))->AsBoolean()) throw EAbort();
        };
    };
    ds->FieldByName(QStringLiteral("BDISPLAY"))->OnValidate = guard("AllwaysDisplay");
    ds->FieldByName(QStringLiteral("BPRINT"))->OnValidate = guard("AllwaysPrint");
    return ds;
}

TDBGrid* TStyleDefineForm::MakeGrid(TClientDataSet* ds, TDataSource*& src, bool withWidth, const QString& name)
{
    auto* grid = new TDBGrid(this);
    grid->setObjectName(name);
    src = new TDataSource(ds, grid);
    grid->SetDataSource(src);
    TKQDBGridMaster m(grid, src);
    m.Text = QStringLiteral("StyleDefine_") + name;
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("SEQUENCE"), QStringLiteral("次序"), 40, true, true);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("Name"), QStringLiteral("名称"), 110, true, true);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("DisplayName"), QStringLiteral("标题"), 130);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("BDISPLAY"), QStringLiteral("显示"), 45);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("BPRINT"), QStringLiteral("打印"), 45);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("AllwaysDisplay"), QStringLiteral("一定显示"), 60, true, true);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("AllwaysPrint"), QStringLiteral("一定打印"), 60, true, true);
    if (withWidth) TSetDBGrid::AddColumnInfo(m, QStringLiteral("Width"), QStringLiteral("列宽"), 50);
    TSetDBGrid::ApplyGrid(m);
    return grid;
}

TClientDataSet* TStyleDefineForm::SectionDataSet(int tableType) const
{
    switch (tableType) {
    case 1: return cdsMasterHead;
    case 2: return cdsMasterBody;
    case 3: return cdsDetailItem;
    case 4: return cdsMasterFoot;
    default: return nullptr;
    }
}

TClientDataSet* TStyleDefineForm::CurrentDataSet() const { return SectionDataSet(PageControl->currentIndex() + 1); }

void TStyleDefineForm::FillGrids()
{
    FFilling = true;
    for (int t = 1; t <= 4; ++t) {
        TClientDataSet* ds = SectionDataSet(t);
        ds->Close();
        ds->CreateDataSet();
    }
    FStyle.SortByTemplate();
    for (const auto& f : FStyle.Fields()) {
        TClientDataSet* ds = SectionDataSet(f->TableType);
        if (!ds) continue;
        ds->AppendRecord({f->ItemID, f->DefaultName, f->DisplayName(), f->Serial(), f->BDisplay(), f->BPrint(), f->TableType,
                          f->AlwaysPrint, f->AlwaysDisplay, f->Width()});
    }
    for (int t = 1; t <= 4; ++t) {
        SectionDataSet(t)->MergeChangeLog();
        SectionDataSet(t)->First();
    }
    FFilling = false;
}

void TStyleDefineForm::WriteBack()
{
    for (int t = 1; t <= 4; ++t) {
        TClientDataSet* ds = SectionDataSet(t);
        ds->CheckBrowseMode();
        for (ds->First(); !ds->Eof(); ds->Next()) {
            TStyleFieldInfo* f = FStyle.FindItem(ds->FieldByName(QStringLiteral("ItemID"))->AsInteger());
            if (!f) continue;
            f->SetSerial(ds->FieldByName(QStringLiteral("SEQUENCE"))->AsInteger());
            f->SetDisplayName(ds->FieldByName(QStringLiteral("DisplayName"))->AsString());
            f->SetBDisplay(ds->FieldByName(QStringLiteral("BDISPLAY"))->AsBoolean());
            f->SetBPrint(ds->FieldByName(QStringLiteral("BPRINT"))->AsBoolean());
            f->AlwaysDisplay = ds->FieldByName(QStringLiteral("AllwaysDisplay"))->AsBoolean();
            f->AlwaysPrint = ds->FieldByName(QStringLiteral("AllwaysPrint"))->AsBoolean();
            if (t == 3) f->SetWidth(ds->FieldByName(QStringLiteral("Width"))->AsInteger());
        }
        ds->First();
    }
    FStyle.SortByTemplate();
    const QString name = edtTempName->text().trimmed();
    if (!name.isEmpty()) FStyle.SetName(name);
    FStyle.SetRptID(RptStyleCB->currentData().toInt());
}

void TStyleDefineForm::LoadReportList()
{
    const int keep = RptStyleCB->count() > 0 ? RptStyleCB->currentData().toInt() : FStyle.RptID;
    RptStyleCB->clear();
    RptStyleCB->addItem(QString(), 0);
    if (g_DefaultCon) {
        TClientQuery q(nullptr, g_DefaultCon);
        q.SQL = QStringLiteral("select rptid, rptname from report where RPTID>0 and RptType=") + QString::number(FReportType)
                + QStringLiteral(" order by rptid");
        q.OpenQuery();
        for (q.First(); !q.Eof(); q.Next())
            RptStyleCB->addItem(q.FieldByName(QStringLiteral("rptname"))->AsString(), q.FieldByName(QStringLiteral("rptid"))->AsInteger());
    }
    const int i = RptStyleCB->findData(keep);
    RptStyleCB->setCurrentIndex(i >= 0 ? i : 0);
}

void TStyleDefineForm::SwapWithNeighbour(int distance)
{
    TClientDataSet* ds = CurrentDataSet();
    if (!ds || ds->IsEmpty()) return;
    ds->CheckBrowseMode();
    const int rec = ds->RecNo();
    const int other = rec + distance;
    if (other < 1 || other > ds->RecordCount()) return;
    // The rows trade places and keep their order numbers, so the list stays sorted by order
    // and the moved field takes its neighbour's number.
    const int seq = ds->FieldByName(QStringLiteral("SEQUENCE"))->Index();
    QVariantList here, there;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        here << ds->RowValue(rec - 1, i);
        there << ds->RowValue(other - 1, i);
    }
    FFilling = true;
    auto write = [&](int recNo, const QVariantList& values) {
        ds->SetRecNo(recNo);
        ds->Edit();
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (i != seq) ds->Fields(i)->SetValue(values[i]);
        ds->Post();
    };
    try {
        write(rec, there);
        write(other, here);
    } catch (...) {
        FFilling = false;
        throw;
    }
    FFilling = false;
    ds->SetRecNo(other);
}

void TStyleDefineForm::MoveUpClick() { SwapWithNeighbour(-1); }
void TStyleDefineForm::MoveDownClick() { SwapWithNeighbour(1); }

void TStyleDefineForm::OKClick()
{
    try {
        WriteBack();
        const int id = FStyle.Save();
        if (id > 0) {
            FResultTemplateID = id;
            accept();
        }
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
}

void TStyleDefineForm::SaveAsClick()
{
    QVariant name = FStyle.TemplateName;
    if (!InputValue(QString(), QStringLiteral("请输入名称:  "), TInputKind::ikString, name, this)) return;
    try {
        WriteBack();
        TStyleInfo copy;
        copy.Load(FStyle.WindowID, TStyleInfo::kNewTemplate);
        copy.CopyFrom(FStyle);
        copy.SetName(name.toString());
        copy.SetRptID(FStyle.RptID);
        copy.TempColorSetID = FStyle.TempColorSetID;
        if (copy.WindowName.isEmpty()) copy.WindowName = FStyle.WindowName;
        if (copy.BillTypeID == 0) copy.BillTypeID = FStyle.BillTypeID;
        const int id = copy.SaveAsNew();
        // The editor stays open on the new template; the one it was opened on keeps what
        // was stored before.
        FStyle.Load(FStyle.WindowID, id);
        FResultTemplateID = id;
        edtTempName->setText(FStyle.TemplateName);
        FillGrids();
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
}

void TStyleDefineForm::DefaultClick()
{
    TStyleInfo standard;
    if (!standard.Load(FStyle.WindowID, TStyleInfo::kStandardTemplate)) return;
    FStyle.CopyFrom(standard);
    FillGrids();
}

void TStyleDefineForm::DeleteClick()
{
    if (FStyle.TemplateID == TStyleInfo::kStandardTemplate) {
        ShowInformation(QStringLiteral("标准模板不能删除。"));
        return;
    }
    if (!ShowYesNoQuestion(QStringLiteral("请确定是否真的要删除当前的模板。"), QStringLiteral("询问"))) return;
    const bool stored = FStyle.TemplateID != TStyleInfo::kNewTemplate;
    try {
        if (!FStyle.Delete()) return;
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    if (!stored) {
        reject();
        return;
    }
    // The bill falls back on the standard template.
    FResultTemplateID = TStyleInfo::kStandardTemplate;
    accept();
}

bool ShowStyleDefine(int windowId, int& templateId, QWidget* billForm, int reportType)
{
    TStyleDefineForm form(windowId, templateId, billForm, reportType, billForm);
    if (ExecModal(&form) != QDialog::Accepted) return false;
    if (form.ResultTemplateID() <= 0) return false;
    templateId = form.ResultTemplateID();
    return true;
}
