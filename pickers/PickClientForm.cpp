#include "pickers/PickClientForm.h"

#include "host/Messages.h"
#include "pickers/PickerData.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

TPickClientForm* PickClientForm = nullptr;

namespace {
// The rights under which receivables (clients) and payables (vendors) may be seen.
constexpr int kClientOwedPrivilege = 1801;
constexpr int kVendorOwedPrivilege = 236;
} // namespace

TPickClientForm::TPickClientForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
    , FQuery(con)
{
    setObjectName(QStringLiteral("PickClientForm"));
    setWindowTitle(QStringLiteral("选择客户"));
    cdsClient = new TClientDataSet(this);
    cdsClient->setObjectName(QStringLiteral("cdsClient"));
    dsClient = new TDataSource(cdsClient, this);
    BuildLayout();
    resize(640, 480);
    CaptureDesignBounds();
}

void TPickClientForm::BuildLayout()
{
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    Code_ED = edit("Code_ED");
    Name_ED = edit("Name_ED");
    PYAssistED = edit("PYAssistED");
    OweAmt_ED = edit("OweAmt_ED");
    CodeLabel = new QLabel(QStringLiteral("客户编号:"), this);
    NameLabel = new QLabel(QStringLiteral("客户名称:"), this);
    Area_CB = new QComboBox(this);
    Area_CB->setObjectName(QStringLiteral("Area_CB"));
    GE_RB = new QRadioButton(QStringLiteral(">="), this);
    GE_RB->setObjectName(QStringLiteral("GE_RB"));
    GE_RB->setChecked(true);
    LE_RB = new QRadioButton(QStringLiteral("<="), this);
    LE_RB->setObjectName(QStringLiteral("LE_RB"));
    ClearBtn = new QPushButton(QStringLiteral("清除条件"), this);
    ClearBtn->setObjectName(QStringLiteral("ClearBtn"));

    auto* top = new QGridLayout;
    top->addWidget(CodeLabel, 0, 0);
    top->addWidget(Code_ED, 0, 1);
    top->addWidget(NameLabel, 0, 2);
    top->addWidget(Name_ED, 0, 3);
    top->addWidget(new QLabel(QStringLiteral("助记码:"), this), 1, 0);
    top->addWidget(PYAssistED, 1, 1);
    top->addWidget(new QLabel(QStringLiteral("地区:"), this), 1, 2);
    top->addWidget(Area_CB, 1, 3);
    top->addWidget(new QLabel(QStringLiteral("欠款:"), this), 2, 0);
    auto* owe = new QHBoxLayout;
    owe->addWidget(GE_RB);
    owe->addWidget(LE_RB);
    owe->addWidget(OweAmt_ED, 1);
    top->addLayout(owe, 2, 1);
    top->addWidget(ClearBtn, 2, 3, Qt::AlignRight);

    dg_Client = new TDBGrid(this);
    dg_Client->setObjectName(QStringLiteral("dg_Client"));
    dg_Client->SetDataSource(dsClient);
    dg_Client->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dg_Client->Model()->ReadOnly = true;

    OkBtn = new QPushButton(QStringLiteral("确定"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);

    auto* root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(dg_Client, 1);
    root->addLayout(buttons);

    const std::pair<QLineEdit*, QString TClientPickFilter::*> edits[] = {
        {Code_ED, &TClientPickFilter::Code}, {Name_ED, &TClientPickFilter::Name}, {PYAssistED, &TClientPickFilter::PYAssist}};
    for (const auto& [e, member] : edits)
        connect(e, &QLineEdit::textEdited, this, [this, member](const QString& text) {
            FQuery.Filter.*member = text.trimmed();
            ScheduleRefresh();
        });
    connect(OweAmt_ED, &QLineEdit::textEdited, this, [this] {
        OweAmtChanged();
        ScheduleRefresh();
    });
    // Either comparison recomputes the condition from the amount already typed.
    connect(GE_RB, &QRadioButton::clicked, this, [this] {
        OweAmtChanged();
        RefreshList();
    });
    connect(LE_RB, &QRadioButton::clicked, this, [this] {
        OweAmtChanged();
        RefreshList();
    });
    connect(Area_CB, &QComboBox::activated, this, [this](int index) {
        FQuery.Filter.AreaLCode = index <= 0 ? QString() : Area_CB->itemData(index).toString();
        RefreshList();
    });
    connect(ClearBtn, &QPushButton::clicked, this, &TPickClientForm::ClearConditions);
    connect(dg_Client->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value >= dg_Client->verticalScrollBar()->maximum() - 2)
            FetchMore();
    });
    connect(dg_Client, &QAbstractItemView::doubleClicked, this, [this] {
        if (cdsClient->Active() && !cdsClient->IsEmpty() && !cdsClient->FieldByName(QStringLiteral("clientid"))->IsNull())
            CloseModal(mrOk);
    });
    connect(OkBtn, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });

    FGridMaster.Grid = dg_Client;
    FGridMaster.DataSource = dsClient;
}

void TPickClientForm::SetKind(int kind)
{
    FQuery.Kind = kind;
    if (kind != ckClient && kind != ckVendor)
        return;
    const bool client = kind == ckClient;
    setWindowTitle(client ? QStringLiteral("选择客户") : QStringLiteral("选择供应商"));
    CodeLabel->setText(client ? QStringLiteral("客户编号:") : QStringLiteral("供应商编号:"));
    NameLabel->setText(client ? QStringLiteral("客户名称:") : QStringLiteral("供应商名称:"));
    FShowOweAmt = Session().Right(client ? kClientOwedPrivilege : kVendorOwedPrivilege, 1);
    FGridMaster.Columns.clear();
    using C = TSetDBGrid;
    C::AddColumnInfo(FGridMaster, QStringLiteral("CODE"), client ? QStringLiteral("客户编号") : QStringLiteral("供应商编号"), 90);
    C::AddColumnInfo(FGridMaster, QStringLiteral("Name"), client ? QStringLiteral("客户名称") : QStringLiteral("供应商名称"), 160);
    C::AddColumnInfo(FGridMaster, QStringLiteral("PYASSIST"), QStringLiteral("助记码"), 80);
    C::AddColumnInfo(FGridMaster, QStringLiteral("AREANAME"), QStringLiteral("地区"), 90);
    C::AddColumnInfo(FGridMaster, QStringLiteral("OweAmt"), client ? QStringLiteral("应收欠款") : QStringLiteral("应付欠款"), 90,
                     FShowOweAmt, true, ftNone, QStringLiteral("#,##0.00"));
}

void TPickClientForm::SetFilter(const QString& filter) { FQuery.ExtraFilter = QualifyShopId(filter); }

void TPickClientForm::FillAreas()
{
    Area_CB->clear();
    Area_CB->addItem(QStringLiteral("<全部>"), QStringLiteral("0"));
    TClientDataSet areas;
    Connection()->OpenDataSet(QStringLiteral("SELECT Name, LCode FROM Area ORDER BY LCode"), &areas);
    for (areas.First(); !areas.Eof(); areas.Next())
        Area_CB->addItem(areas.Fields(0)->AsString(), areas.Fields(1)->AsString());
}

void TPickClientForm::OweAmtChanged()
{
    bool ok = false;
    const double amount = OweAmt_ED->text().trimmed().toDouble(&ok);
    FQuery.Filter.HasOweAmt = ok && std::isfinite(amount);
    FQuery.Filter.OweAmt = FQuery.Filter.HasOweAmt ? amount : 0;
    FQuery.Filter.OweCompare = LE_RB->isChecked() ? TOweCompare::AtMost : TOweCompare::AtLeast;
}

void TPickClientForm::RefreshList()
{
    CancelScheduledRefresh();
    try {
        FQuery.OpenFirst(cdsClient, kClientPageSize);
    } catch (const std::exception& e) {
        DefineListFields(cdsClient, {});
        ShowError(QStringLiteral("往来单位列表读取失败：") + QString::fromUtf8(e.what()));
    }
    ApplyListedColumns(FGridMaster);
    dg_Client->scrollToTop();
}

bool TPickClientForm::FetchMore()
{
    if (!cdsClient->Active() || FQuery.AtEnd())
        return false;
    return FQuery.FetchMore(cdsClient, kClientPageSize);
}

void TPickClientForm::ClearConditions()
{
    Code_ED->clear();
    Name_ED->clear();
    PYAssistED->clear();
    OweAmt_ED->clear();
    Area_CB->setCurrentIndex(0);
    FQuery.Filter = TClientPickFilter();
    RefreshList();
}

int TPickClientForm::CurrentClientID() const
{
    if (!cdsClient->Active() || cdsClient->IsEmpty())
        return 0;
    return cdsClient->FieldByName(QStringLiteral("clientid"))->AsInteger();
}
