#include "printing/PrintSamDialogs.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "printing/PrintTemplateStore.h"
#include "printing/PrintTemplates.h"
#include "webrpc/Connection.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
} // namespace

// ---------------------------------------------------------------------------------------
// Name dialog

TSamNameForm::TSamNameForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSamNameForm"));
    setWindowTitle(U("修改样式名称"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(U("样式名称:"), this);
    SamDBEdit = new QLineEdit(this);
    SamDBEdit->setObjectName(QStringLiteral("SamDBEdit"));
    SamDBEdit->setMaxLength(64);
    SamDBEdit->setMinimumWidth(260);
    label->setBuddy(SamDBEdit);
    row->addWidget(label);
    row->addWidget(SamDBEdit, 1);
    layout->addLayout(row);
    NoteLabel = new QLabel(this);
    NoteLabel->setWordWrap(true);
    NoteLabel->setStyleSheet(QStringLiteral("color: #a04000;"));
    NoteLabel->hide();
    layout->addWidget(NoteLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    OKBtn = new QPushButton(U("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(U("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    connect(OKBtn, &QPushButton::clicked, this, &TSamNameForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

QString TSamNameForm::Name() const { return SamDBEdit->text(); }
void TSamNameForm::SetName(const QString& name) { SamDBEdit->setText(name); }

void TSamNameForm::SetNameReadOnly(bool readOnly, const QString& note)
{
    SamDBEdit->setReadOnly(readOnly);
    NoteLabel->setText(note);
    NoteLabel->setVisible(!note.isEmpty());
}

void TSamNameForm::OKBtnClick()
{
    if (SamDBEdit->text().trimmed().isEmpty()) {
        ShowInformation(U("输入样式名称!"), U("提示"));
        SamDBEdit->setFocus();
        return;
    }
    accept();
}

// ---------------------------------------------------------------------------------------
// Type choice

const QVector<TSelectSamfrm::TGroup>& TSelectSamfrm::Groups()
{
    static const QVector<TGroup> groups = [] {
        struct R {
            const char* Caption;
            int Type;
        };
        auto group = [](const char* caption, std::initializer_list<R> rows) {
            TGroup g{U(caption), {}};
            for (const R& r : rows)
                g.Types.append({U(r.Caption), r.Type});
            return g;
        };
        return QVector<TGroup>{
            group("进货管理", {{"采购订货单", 1}, {"采购收货单", 2}, {"采购退货单", 3}, {"采购付款单", 4}, {"估价入库单", 26},
                               {"现款采购单", 27}, {"采购费用分摊", 34}}),
            group("销售管理", {{"销售订货单", 5}, {"销售出货单", 6}, {"销售收款单", 7}, {"现款销售单", 8}, {"销售退货单", 9},
                               {"委托代销", 1750}, {"代销结算", 1751}}),
            group("仓库管理", {{"仓库领料单", 10}, {"仓库退料单", 11}, {"产品进仓单", 12}, {"存货调价单", 13}, {"库存变动单", 15},
                               {"库存盘点单", 16}, {"仓库调拔单", 17}, {"组装与拆卸单", 14}}),
            group("现金银行及凭证", {{"银行存取款", 22}, {"费用开支单", 18}, {"其它收入单", 19}, {"记帐凭证", 20}}),
            group("配送管理", {{"请配单", 32}, {"配送单", 33}}),
            group("生产管理", {{"加工单", 1747}, {"成品入库单", 1748}, {"费用分摊", 1749}, {"主生产计划", 1773},
                               {"物料需求-查询", 3000}, {"物料需求-采购建议", 3001}, {"物料需求-生产建议", 3002}}),
            group("POS管理", {{"POS销售单", 23}, {"POS出入款单", 24}, {"POS日结单", 25}}),
        };
    }();
    return groups;
}

TSelectSamfrm::TSelectSamfrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSelectSamfrm"));
    setWindowTitle(U("选择新增类型"));
    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    auto* groupBox = new QGroupBox(U("业务类别"), this);
    auto* groupLayout = new QVBoxLayout(groupBox);
    FGroupButtons = new QButtonGroup(this);
    FPages = new QStackedWidget(this);
    const auto& groups = Groups();
    for (int g = 0; g < groups.size(); ++g) {
        auto* rb = new QRadioButton(groups[g].Caption, groupBox);
        FGroupButtons->addButton(rb, g);
        groupLayout->addWidget(rb);

        auto* page = new QGroupBox(groups[g].Caption, FPages);
        auto* pageLayout = new QVBoxLayout(page);
        auto* types = new QButtonGroup(this);
        for (const TChoice& c : groups[g].Types) {
            auto* t = new QRadioButton(c.Caption, page);
            types->addButton(t, c.ReportType);
            pageLayout->addWidget(t);
        }
        pageLayout->addStretch();
        FTypeButtons.append(types);
        FPages->addWidget(page);
    }
    groupLayout->addStretch();
    body->addWidget(groupBox);
    body->addWidget(FPages, 1);
    layout->addLayout(body);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    OKBtn = new QPushButton(U("确 定"), this);
    CancelBtn = new QPushButton(U("取 消"), this);
    OKBtn->setDefault(true);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    connect(FGroupButtons, &QButtonGroup::idClicked, this, &TSelectSamfrm::SelectGroup);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        if (SelectedReportType() > 0)
            accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    SelectGroup(0);
    if (auto* first = FTypeButtons[0]->buttons().value(0))
        first->setChecked(true);
}

void TSelectSamfrm::SelectGroup(int index)
{
    if (index < 0 || index >= FTypeButtons.size())
        return;
    if (auto* b = FGroupButtons->button(index))
        b->setChecked(true);
    FPages->setCurrentIndex(index);
}

bool TSelectSamfrm::SelectReportType(int reportType)
{
    for (int g = 0; g < FTypeButtons.size(); ++g)
        if (auto* b = FTypeButtons[g]->button(reportType)) {
            SelectGroup(g);
            b->setChecked(true);
            return true;
        }
    return false;
}

int TSelectSamfrm::SelectedReportType() const
{
    const int g = FPages->currentIndex();
    if (g < 0 || g >= FTypeButtons.size())
        return 0;
    const int id = FTypeButtons[g]->checkedId();
    return id > 0 ? id : 0;
}

// ---------------------------------------------------------------------------------------
// Managers

TSamListDialog::TSamListDialog(QWidget* parent, const QString& sql, bool showTypeColumn)
    : QDialog(parent), FSql(sql), FShowType(showTypeColumn)
{
    setWindowTitle(U("打印样式设计"));
    resize(showTypeColumn ? 620 : 520, 420);
    FList = new TClientQuery(this);
    FList->setObjectName(QStringLiteral("qryReport_PT"));
    FList->SQL = sql;
    FStore = std::make_unique<TPrintTemplateStore>(FList, this);

    auto* layout = new QHBoxLayout(this);
    FGrid = new QTableWidget(this);
    FGrid->setObjectName(QStringLiteral("PrintDBGrid"));
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FGrid->setAlternatingRowColors(true);
    FGrid->verticalHeader()->setDefaultSectionSize(22);
    FGrid->verticalHeader()->setMinimumWidth(25);
    if (showTypeColumn) {
        FGrid->setColumnCount(2);
        FGrid->setHorizontalHeaderLabels({U("类      型"), U("样  式  名  称")});
        FGrid->setColumnWidth(0, 160);
    } else {
        FGrid->setColumnCount(1);
        FGrid->setHorizontalHeaderLabels({U("样  式  名  称")});
    }
    FGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(FGrid, 1);
    FButtonPanel = new QWidget(this);
    auto* buttons = new QVBoxLayout(FButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FButtonPanel);

    connect(FGrid, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!FFilling && row >= 0 && FList->Active())
            FList->SetRecNo(row + 1);
    });
    connect(FGrid, &QTableWidget::cellDoubleClicked, this, [this](int, int) { EditClick(); });
}

TSamListDialog::~TSamListDialog() = default;

QPushButton* TSamListDialog::AddButton(const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, FButtonPanel);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(90);
    static_cast<QVBoxLayout*>(FButtonPanel->layout())->addWidget(b);
    return b;
}

void TSamListDialog::Reload()
{
    try {
        FList->OpenQuery();
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
    RefreshGrid();
}

void TSamListDialog::RefreshGrid()
{
    FFilling = true;
    const int current = FList->Active() ? FList->RecNo() : 0;
    const int n = FList->Active() ? FList->RecordCount() : 0;
    FGrid->setRowCount(n);
    const TField* type = FList->FindField(QStringLiteral("rpttype"));
    const TField* name = FList->FindField(QStringLiteral("rptname"));
    for (int r = 0; r < n; ++r) {
        int col = 0;
        if (FShowType) {
            const int t = type ? FList->RowValue(r, type->Index()).toInt() : 0;
            FGrid->setItem(r, col++, new QTableWidgetItem(ReportTypeName(t)));
        }
        FGrid->setItem(r, col, new QTableWidgetItem(name ? FList->RowValue(r, name->Index()).toString() : QString()));
    }
    if (current > 0)
        FGrid->setCurrentCell(current - 1, 0);
    FFilling = false;
}

bool TSamListDialog::LocateTemplate(int rptid)
{
    if (!FList->Active() || !FList->Locate(QStringLiteral("rptid"), rptid))
        return false;
    RefreshGrid();
    return true;
}

bool TSamListDialog::event(QEvent* e)
{
    // Back from the designer: what it saved goes into the rows.
    if (e->type() == QEvent::WindowActivate && FStore && FStore->StoreDesignedTemplates() > 0) {
        const int id = FList->Active() && !FList->IsEmpty() ? FList->FieldByName(QStringLiteral("rptid"))->AsInteger() : 0;
        Reload();
        LocateTemplate(id);
    }
    return QDialog::event(e);
}

void TSamListDialog::AddClick()
{
    DoAdd();
    RefreshGrid();
}

void TSamListDialog::EditClick()
{
    FStore->ModifyTemplate();
    RefreshGrid();
}

void TSamListDialog::DelClick()
{
    FStore->DeleteTemplate();
    RefreshGrid();
}

void TSamListDialog::RestoreClick()
{
    FStore->RestoreTemplate();
    RefreshGrid();
}

void TSamListDialog::INBtnClick()
{
    if (FList->IsEmpty())
        return;
    FStore->ImportTemplate(FList->FieldByName(QStringLiteral("rpttype"))->AsInteger());
    RefreshGrid();
}

void TSamListDialog::OUTBtnClick() { FStore->ExportTemplate(); }

// ---- all templates

QString TPrintSamEdit::ListSql(bool showAllTypes)
{
    QString sql = QStringLiteral("select * from report where ") +
                  QStringLiteral(" RPTID>0 and RPTTYPE<500 AND RPTTYPE NOT IN (353,351,352,350)");
    if (!showAllTypes)
        sql += QStringLiteral(" And RPTTYPE <> 13 and  RPTTYPE <> 17  and RPTTYPE <> 20 and RPTTYPE <> 21 and RPTTYPE <> 28  and "
                              "RPTTYPE <> 29 and RPTTYPE <> 30 and RPTTYPE <> 31");
    sql += QStringLiteral(" and RPTID<>36");
    return sql;
}

TPrintSamEdit::TPrintSamEdit(QWidget* parent) : TPrintSamEdit(parent, AccSetData.Bind) {}

TPrintSamEdit::TPrintSamEdit(QWidget* parent, bool showAllTypes) : TSamListDialog(parent, ListSql(showAllTypes), true)
{
    setObjectName(QStringLiteral("TPrintSamEdit"));
    AddBtn = AddButton(QStringLiteral("AddBtn"), U("增加(&A)"));
    EditBut = AddButton(QStringLiteral("EditBut"), U("修改(&E)"));
    DelBut = AddButton(QStringLiteral("DelBut"), U("删除(&D)"));
    RestoreBtn = AddButton(QStringLiteral("RestoreBtn"), U("恢复(&R)"));
    INBtn = AddButton(QStringLiteral("INBtn"), U("导入[&I]"));
    OUTBtn = AddButton(QStringLiteral("OUTBtn"), U("导出[&O]"));
    static_cast<QVBoxLayout*>(FButtonPanel->layout())->addStretch();
    CloseBut = AddButton(QStringLiteral("CloseBut"), U("关闭(&C)"));
    connect(AddBtn, &QPushButton::clicked, this, &TSamListDialog::AddClick);
    connect(EditBut, &QPushButton::clicked, this, &TSamListDialog::EditClick);
    connect(DelBut, &QPushButton::clicked, this, &TSamListDialog::DelClick);
    connect(RestoreBtn, &QPushButton::clicked, this, &TSamListDialog::RestoreClick);
    connect(INBtn, &QPushButton::clicked, this, &TPrintSamEdit::INBtnClick);
    connect(OUTBtn, &QPushButton::clicked, this, &TSamListDialog::OUTBtnClick);
    connect(CloseBut, &QPushButton::clicked, this, &QDialog::reject);
    Reload();
}

void TPrintSamEdit::DoAdd() { FStore->AddTemplate(); }

void TPrintSamEdit::INBtnClick()
{
    if (FList->IsEmpty())
        return;
    int type = FList->FieldByName(QStringLiteral("rpttype"))->AsInteger();
    if (type == 903 || type == 907) {
        // These list rows stand for a family of types: the row of the same name says which.
        TClientDataSet ds;
        try {
            g_DefaultCon->OpenDataSet(
                QStringLiteral("select rpttype from report where rpttype in (903,919,907,2002,1214,1215,1216,1217)"
                               " and rptid <> 1003 and rptid <> -1003 and rptname = :name"),
                &ds, {{QStringLiteral("name"), FList->FieldByName(QStringLiteral("rptname"))->AsString().trimmed()}});
        } catch (const Exception& e) {
            ShowError(e.Message());
            return;
        }
        if (!ds.IsEmpty())
            type = ds.FieldByName(QStringLiteral("rpttype"))->AsInteger();
    }
    FStore->ImportTemplate(type);
    RefreshGrid();
}

void TPrintSamEdit::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Insert: AddClick(); return;
    case Qt::Key_Delete: DelClick(); return;
    default: QDialog::keyPressEvent(e);
    }
}

// ---- one report type

TStyleBillSamForm::TStyleBillSamForm(int reportType, QWidget* parent)
    : TSamListDialog(parent,
                     QStringLiteral("select * from report where ") + QStringLiteral("RPTTYPE=") + QString::number(reportType) +
                         QStringLiteral(" and RPTID>=0"),
                     false),
      FReportType(reportType)
{
    setObjectName(QStringLiteral("TStyleBillSamForm"));
    setWindowTitle(U("打印样式设计 <------> ") + ReportTypeName(reportType));
    AddBtn = AddButton(QStringLiteral("AddBtn"), U("新增(&N)"));
    EditBtn = AddButton(QStringLiteral("EditBtn"), U("修改(&E)"));
    DelBtn = AddButton(QStringLiteral("DelBtn"), U("删除(&D)"));
    RestoreBtn = AddButton(QStringLiteral("RestoreBtn"), U("恢复(&S)"));
    INBtn = AddButton(QStringLiteral("INBtn"), U("导入[&I]"));
    OUTBtn = AddButton(QStringLiteral("OUTBtn"), U("导出[&O]"));
    static_cast<QVBoxLayout*>(FButtonPanel->layout())->addStretch();
    CloseBtn = AddButton(QStringLiteral("CloseBtn"), U("关闭(&C)"));
    connect(AddBtn, &QPushButton::clicked, this, &TSamListDialog::AddClick);
    connect(EditBtn, &QPushButton::clicked, this, &TSamListDialog::EditClick);
    connect(DelBtn, &QPushButton::clicked, this, &TSamListDialog::DelClick);
    connect(RestoreBtn, &QPushButton::clicked, this, &TSamListDialog::RestoreClick);
    connect(INBtn, &QPushButton::clicked, this, [this] {
        FStore->ImportTemplate(FReportType);
        RefreshGrid();
    });
    connect(OUTBtn, &QPushButton::clicked, this, &TSamListDialog::OUTBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
    Reload();
}

void TStyleBillSamForm::DoAdd() { FStore->NewTemplate(FReportType); }

void TStyleBillSamForm::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Insert: AddClick(); return;
    case Qt::Key_Delete: return; // deleting takes the button here
    default: QDialog::keyPressEvent(e);
    }
}

// ---------------------------------------------------------------------------------------

QWidget* CreatePrintSamEdit() { return new TPrintSamEdit(nullptr); }

void RunPrintSamEdit(QWidget* parent)
{
    TPrintSamEdit dlg(parent);
    ExecModal(&dlg);
}

void ShowStyleBillSam(int reportType, QWidget* parent)
{
    TStyleBillSamForm dlg(reportType, parent);
    ExecModal(&dlg);
}
