#include "pickers/SmallDialogs.h"

#include "host/Messages.h"
#include "pickers/CheckDialogs.h"
#include "pickers/PickerData.h"
#include "webrpc/SqlDialect.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace {

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    return row;
}

TBillSession HostSession() { return TBillSession::FromHost(); }

} // namespace

// ====================================================================== assembly calculator

TCombinCalc CalcCanCombine(TClientConnection* con, int goodsId, int storeId)
{
    TCombinCalc calc;
    calc.GoodsName = con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = :g"), {{QStringLiteral("g"), goodsId}}).toString();
    TClientDataSet parts;
    con->OpenDataSet(QStringLiteral("select c.cmbgoodsid, g.code, g.name, g.specs, bu.unitname, c.quantity * isnull(u.rate, 1) as perunit,"
                                    " (select o.onhand from onhand o where o.goodsid = c.cmbgoodsid and o.storeid = :s) as onhandqty"
                                    " from gcmb c join goods g on g.goodsid = c.cmbgoodsid"
                                    " left outer join goodsunit u on u.unitid = c.cmbunitid"
                                    " left outer join goodsunit bu on bu.goodsid = c.cmbgoodsid and bu.unittype = 0"
                                    " where c.goodsid = :g order by c.itemno"),
                     &parts, {{QStringLiteral("s"), storeId}, {QStringLiteral("g"), goodsId}});
    qint64 most = 999999999;
    for (parts.First(); !parts.Eof(); parts.Next()) {
        TCombinPart p;
        p.GoodsID = parts.Fields(0)->AsInteger();
        p.Code = parts.Fields(1)->AsString();
        p.Name = parts.Fields(2)->AsString();
        p.Specs = parts.Fields(3)->AsString();
        p.Unit = parts.Fields(4)->AsString();
        p.PerUnit = parts.Fields(5)->AsFloat();
        p.OnHand = parts.Fields(6)->IsNull() ? 0 : parts.Fields(6)->AsFloat();
        // a little slack so that 6.9999999 of stored stock counts as the 7 it stands for
        const qint64 can = p.PerUnit > 0 ? qint64(std::floor(std::max(0.0, p.OnHand) / p.PerUnit + 1e-9)) : most;
        most = std::min(most, can);
        calc.Parts << p;
    }
    calc.MaxCanCmb = calc.Parts.isEmpty() ? 0 : most;
    for (TCombinPart& p : calc.Parts)
        p.NeedQty = p.PerUnit * double(calc.MaxCanCmb);
    return calc;
}

std::function<QString(QWidget*, const QString&)> TCanCombinCalForm::AskExportFile = [](QWidget* parent, const QString& proposed) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出Excel"), proposed, QStringLiteral("Excel 工作簿 (*.xlsx)"));
};

TCanCombinCalForm::TCanCombinCalForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("CanCombinCalForm"));
    setWindowTitle(QStringLiteral("提示"));
    cdsParts = new TClientDataSet(this);
    FSource = new TDataSource(cdsParts, this);
    CmbGoodsName = new QLabel(this);
    CmbGoodsName->setObjectName(QStringLiteral("CmbGoodsName"));
    MaxCanCmb = new QLabel(this);
    MaxCanCmb->setObjectName(QStringLiteral("MaxCanCmb"));
    QFont bold = MaxCanCmb->font();
    bold.setBold(true);
    MaxCanCmb->setFont(bold);
    dgParts = NewListGrid(this, "dgParts", FSource);
    btnExport = NewButton(this, "btnExport", "导出Excel");
    btnClose = NewButton(this, "btnClose", "关闭");
    auto* root = new QVBoxLayout(this);
    root->addWidget(CmbGoodsName);
    root->addWidget(new QLabel(QStringLiteral("组成原素结存情况:"), this));
    root->addWidget(dgParts, 1);
    root->addWidget(MaxCanCmb);
    root->addLayout(ButtonRow({btnExport, btnClose}));
    FGrid.Grid = dgParts;
    FGrid.DataSource = FSource;
    connect(btnClose, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnExport, &QPushButton::clicked, this, [this] {
        const QString file = AskExportFile ? AskExportFile(this, QDir::home().filePath(QStringLiteral("可组装数量.xlsx"))) : QString();
        if (!file.isEmpty())
            ExportList(file);
    });
    resize(640, 360);
    CaptureDesignBounds();
}

void TCanCombinCalForm::Calculate(int goodsId, int storeId)
{
    FCalc = CalcCanCombine(Connection(), goodsId, storeId);
    DefineListFields(cdsParts, {ListField(QStringLiteral("GoodsCode"), TFieldType::ftString),
                                ListField(QStringLiteral("GoodsName"), TFieldType::ftString),
                                ListField(QStringLiteral("GoodsSpecs"), TFieldType::ftString),
                                ListField(QStringLiteral("GoodsUnit"), TFieldType::ftString),
                                ListField(QStringLiteral("CurrOnHandQty"), TFieldType::ftFloat),
                                ListField(QStringLiteral("NeedQty"), TFieldType::ftFloat)});
    for (const TCombinPart& p : std::as_const(FCalc.Parts))
        cdsParts->AppendRecord({p.Code, p.Name, p.Specs, p.Unit, p.OnHand, p.NeedQty});
    cdsParts->First();
    SetListColumns(FGrid, {{"GoodsCode", "货品编码", 90, ""},
                        {"GoodsName", "货品名称", 150, ""},
                        {"GoodsSpecs", "规格", 80, ""},
                        {"GoodsUnit", "单位", 50, ""},
                        {"CurrOnHandQty", "当前结存", 80, "0.####"},
                        {"NeedQty", "最大可组装数量需用数量", 140, "0.####"}});
    CmbGoodsName->setText(QStringLiteral("成品:") + FCalc.GoodsName);
    MaxCanCmb->setText(QStringLiteral("目前最大可组装数量为：") + QString::number(FCalc.MaxCanCmb));
}

void TCanCombinCalForm::ExportList(const QString& file)
{
    ExportGridRows(dgParts, cdsParts, file, QStringLiteral("成品:") + FCalc.GoodsName);
}

void ShowCanCombinCal(int goodsId, int storeId)
{
    auto form = std::make_unique<TCanCombinCalForm>(g_DefaultCon, HostSession());
    form->Calculate(goodsId, storeId);
    form->ShowModal();
}

// ====================================================================== user-defined values

TSelectUserDefForm::TSelectUserDefForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SelectUserDefForm"));
    setWindowTitle(QStringLiteral("选择自定义值"));
    laTitle = new QLabel(QStringLiteral("用户自定义字段"), this);
    laTitle->setObjectName(QStringLiteral("laTitle"));
    lbNames = new QListWidget(this);
    lbNames->setObjectName(QStringLiteral("lbNames"));
    btnOk = NewButton(this, "btnOk", "确定(&O)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    auto* root = new QVBoxLayout(this);
    root->addWidget(laTitle);
    root->addWidget(lbNames, 1);
    root->addLayout(ButtonRow({btnOk, btnCancel}));
    connect(btnOk, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    connect(lbNames, &QListWidget::itemDoubleClicked, this, [this] { CloseModal(mrOk); });
    resize(300, 360);
    CaptureDesignBounds();
}

void TSelectUserDefForm::Open(int kind, const QString& caption)
{
    laTitle->setText(caption.isEmpty() ? QStringLiteral("用户自定义字段") : caption);
    lbNames->clear();
    TClientDataSet names;
    Connection()->OpenDataSet(QStringLiteral("select name from am_kind where kind = :kind order by id desc"), &names,
                              {{QStringLiteral("kind"), kind}});
    for (names.First(); !names.Eof(); names.Next())
        lbNames->addItem(names.Fields(0)->AsString());
    if (lbNames->count() > 0)
        lbNames->setCurrentRow(0);
}

QString TSelectUserDefForm::Chosen() const
{
    const QListWidgetItem* item = lbNames->currentItem();
    return item ? item->text() : QString();
}

bool ShowSelectUserDef(int kind, const QString& caption, TClientDataSet* target, const QString& field)
{
    auto form = std::make_unique<TSelectUserDefForm>(g_DefaultCon, HostSession());
    form->Open(kind, caption);
    if (form->ShowModal() != mrOk || form->Chosen().isEmpty())
        return false;
    TField* f = target && target->Active() ? target->FindField(field) : nullptr;
    if (!f)
        return false;
    if (target->State() != TDataSetState::dsEdit && target->State() != TDataSetState::dsInsert)
        target->Edit();
    f->SetValue(form->Chosen());
    return true;
}

// ====================================================================== goods categories

TCategoryChoice CategoryChoice(const QStringList& offered, const QStringList& chosen)
{
    TCategoryChoice c;
    bool all = !offered.isEmpty();
    for (const QString& name : offered)
        all = all && chosen.contains(name);
    c.All = all;
    for (const QString& name : chosen) {
        if (name == kOtherCategories)
            c.WithUnclassified = true;
        else
            c.Names << name;
    }
    if (!c.All) {
        // category names come from the database: quoted, never taken as they are
        QStringList quoted;
        for (const QString& name : std::as_const(c.Names))
            quoted << QuotedStr(name);
        c.Condition = quoted.isEmpty() ? QString() : QStringLiteral("And GT.Name in(") + quoted.join(u',') + u')';
    }
    return c;
}

QStringList ShortGoodsCategories(TClientConnection* con)
{
    QStringList names;
    TClientDataSet ds;
    con->OpenDataSet(QStringLiteral("select distinct gt.name from goods g join goodstype gt on gt.goodstypeid = g.goodstypeid"
                                    " where g.closed = 'F' and g.kind <= 3 and isnull(g.onhand, 0) < isnull(g.downqty, 0) order by gt.name"),
                     &ds);
    for (ds.First(); !ds.Eof(); ds.Next())
        names << ds.Fields(0)->AsString();
    const int unclassified = con->ExecuteScalar(QStringLiteral(
                                                    "select count(*) from goods g where g.closed = 'F' and g.kind <= 3"
                                                    " and isnull(g.onhand, 0) < isnull(g.downqty, 0)"
                                                    " and (g.goodstypeid is null or not exists (select 1 from goodstype t where t.goodstypeid = g.goodstypeid))"))
                                 .toInt();
    if (unclassified > 0)
        names << kOtherCategories;
    return names;
}

TLackGoodsFilterForm::TLackGoodsFilterForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("LackGoodsFilterForm"));
    setWindowTitle(QStringLiteral("选择商品类别"));
    lbLack = new QListWidget(this);
    lbLack->setObjectName(QStringLiteral("lbLack"));
    lbOrder = new QListWidget(this);
    lbOrder->setObjectName(QStringLiteral("lbOrder"));
    for (QListWidget* l : {lbLack, lbOrder})
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    IncludeBtn = NewButton(this, "IncludeBtn", ">");
    IncAllBtn = NewButton(this, "IncAllBtn", ">>");
    ExcludeBtn = NewButton(this, "ExcludeBtn", "<");
    ExAllBtn = NewButton(this, "ExAllBtn", "<<");
    btnOk = NewButton(this, "btnOk", "确定(&O)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("缺货商品类别"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("订单商品类别"), this), 0, 2);
    grid->addWidget(lbLack, 1, 0);
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* b : {IncludeBtn, IncAllBtn, ExcludeBtn, ExAllBtn})
        middle->addWidget(b);
    middle->addStretch(1);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(lbOrder, 1, 2);
    auto* root = new QVBoxLayout(this);
    root->addLayout(grid, 1);
    root->addLayout(ButtonRow({btnOk, btnCancel}));
    connect(IncludeBtn, &QPushButton::clicked, this, &TLackGoodsFilterForm::Include);
    connect(IncAllBtn, &QPushButton::clicked, this, &TLackGoodsFilterForm::IncludeAll);
    connect(ExcludeBtn, &QPushButton::clicked, this, &TLackGoodsFilterForm::Exclude);
    connect(ExAllBtn, &QPushButton::clicked, this, &TLackGoodsFilterForm::ExcludeAll);
    connect(btnOk, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    resize(460, 340);
    CaptureDesignBounds();
}

void TLackGoodsFilterForm::SetCategories(const QStringList& categories)
{
    FOffered = categories;
    lbLack->clear();
    lbOrder->clear();
    lbLack->addItems(categories);
}

namespace {
void MoveItems(QListWidget* from, QListWidget* to, bool all)
{
    for (int i = from->count() - 1; i >= 0; --i)
        if (all || from->item(i)->isSelected())
            to->addItem(from->takeItem(i)->text());
    to->sortItems();
}
} // namespace

void TLackGoodsFilterForm::Include() { MoveItems(lbLack, lbOrder, false); }
void TLackGoodsFilterForm::IncludeAll() { MoveItems(lbLack, lbOrder, true); }
void TLackGoodsFilterForm::Exclude() { MoveItems(lbOrder, lbLack, false); }
void TLackGoodsFilterForm::ExcludeAll() { MoveItems(lbOrder, lbLack, true); }

TCategoryChoice TLackGoodsFilterForm::Choice() const
{
    QStringList chosen;
    for (int i = 0; i < lbOrder->count(); ++i)
        chosen << lbOrder->item(i)->text();
    return CategoryChoice(FOffered, chosen);
}

bool ShowLackGoodsFilter(TCategoryChoice* choice)
{
    auto form = std::make_unique<TLackGoodsFilterForm>(g_DefaultCon, HostSession());
    form->SetCategories(ShortGoodsCategories(g_DefaultCon));
    if (form->ShowModal() != mrOk)
        return false;
    if (choice)
        *choice = form->Choice();
    return true;
}

// ====================================================================== earlier prices

TSelInProductPriceForm::TSelInProductPriceForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SelInProductPriceForm"));
    setWindowTitle(QStringLiteral("选择历史价格"));
    cdsPrices = new TClientDataSet(this);
    FSource = new TDataSource(cdsPrices, this);
    laGoods = new QLabel(this);
    laGoods->setObjectName(QStringLiteral("laGoods"));
    laUnit = new QLabel(this);
    laUnit->setObjectName(QStringLiteral("laUnit"));
    dgPrices = NewListGrid(this, "dgPrices", FSource);
    btnOk = NewButton(this, "btnOk", "确定(&O)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    auto* root = new QVBoxLayout(this);
    root->addWidget(laGoods);
    root->addWidget(laUnit);
    root->addWidget(dgPrices, 1);
    root->addLayout(ButtonRow({btnOk, btnCancel}));
    FGrid.Grid = dgPrices;
    FGrid.DataSource = FSource;
    connect(btnOk, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    connect(dgPrices, &QAbstractItemView::doubleClicked, this, [this] { CloseModal(mrOk); });
    connect(dgPrices, &QAbstractItemView::activated, this, [this] { CloseModal(mrOk); });
    resize(480, 340);
    CaptureDesignBounds();
}

void TSelInProductPriceForm::Open(int goodsId, int unitId)
{
    TClientDataSet goods, unit;
    Connection()->OpenDataSet(QStringLiteral("select Code,Name from Goods Where GoodsID = :GoodsID "), &goods,
                              {{QStringLiteral("GoodsID"), goodsId}});
    Connection()->OpenDataSet(QStringLiteral("select UnitName,Rate From GoodsUnit Where UnitID = :UnitID"), &unit,
                              {{QStringLiteral("UnitID"), unitId}});
    const bool hasGoods = goods.Active() && !goods.IsEmpty();
    const bool hasUnit = unit.Active() && !unit.IsEmpty();
    laGoods->setText(QStringLiteral("货品：") + (hasGoods ? goods.Fields(0)->AsString() + u' ' + goods.Fields(1)->AsString() : QString()));
    FRate = hasUnit && unit.Fields(1)->AsFloat() > 0 ? unit.Fields(1)->AsFloat() : 1;
    laUnit->setText(QStringLiteral("单位：") + (hasUnit ? unit.Fields(0)->AsString() : QString()));
    Connection()->OpenDataSet(QStringLiteral("select m.billdate as BillDate, m.code, d.batchcode as BatchCode, d.price as Price"
                                             " from indetail d join inproduct m on m.inproductid = d.inproductid"
                                             " where d.goodsid = :GoodsID order by m.billdate desc, m.inproductid desc"),
                              cdsPrices, {{QStringLiteral("GoodsID"), goodsId}});
    SetListColumns(FGrid, {{"BillDate", "入库日期", 100, ""}, {"code", "单号", 120, ""}, {"BatchCode", "批号", 90, ""}, {"Price", "价格", 80, "0.00##"}});
}

double TSelInProductPriceForm::ChosenPrice() const
{
    if (!cdsPrices->Active() || cdsPrices->IsEmpty())
        return 0;
    return cdsPrices->FieldByName(QStringLiteral("Price"))->AsFloat() * FRate;
}

bool ShowSelInProductPrice(int goodsId, int unitId, double* price)
{
    auto form = std::make_unique<TSelInProductPriceForm>(g_DefaultCon, HostSession());
    form->Open(goodsId, unitId);
    if (form->ShowModal() != mrOk || form->cdsPrices->IsEmpty())
        return false;
    if (price)
        *price = form->ChosenPrice();
    return true;
}

// ====================================================================== stock movements to return

QString InOutSelectorSql(int storeId)
{
    return QStringLiteral("select m.inoutid, m.code, m.billdate, m.people, st.name, s.name as satname from inout m"
                          " join sat s on s.satid = m.satid left outer join store st on st.storeid = m.storeid"
                          " where s.isin = 'F' and s.needback = 'T' and isnull(m.flag, 0) = 0")
           + (storeId != 0 ? QStringLiteral(" and m.storeid = :storeid") : QString())
           + QStringLiteral(" and exists (select 1 from dinout d where d.inoutid = m.inoutid and isnull(d.backqty, 0) < d.unitqty)"
                            " order by m.billdate desc, m.code desc");
}

TSqlParams InOutSelectorParams(int storeId)
{
    return storeId != 0 ? TSqlParams{{QStringLiteral("storeid"), storeId}} : TSqlParams{};
}

TInOutSelectorForm::TInOutSelectorForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("InOutSelectorForm"));
    setWindowTitle(QStringLiteral("选择单据"));
    cdsBills = new TClientDataSet(this);
    FSource = new TDataSource(cdsBills, this);
    dgBills = NewListGrid(this, "dgBills", FSource);
    btnOk = NewButton(this, "btnOk", "确定(&O)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    auto* root = new QVBoxLayout(this);
    root->addWidget(dgBills, 1);
    root->addLayout(ButtonRow({btnOk, btnCancel}));
    FGrid.Grid = dgBills;
    FGrid.DataSource = FSource;
    connect(btnOk, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    connect(dgBills, &QAbstractItemView::doubleClicked, this, [this] { CloseModal(mrOk); });
    resize(560, 340);
    CaptureDesignBounds();
}

void TInOutSelectorForm::Open(int storeId)
{
    Connection()->OpenDataSet(InOutSelectorSql(storeId), cdsBills, InOutSelectorParams(storeId));
    SetListColumns(FGrid, {{"code", "单号", 120, ""}, {"billdate", "日期", 100, ""}, {"satname", "变动类型", 90, ""},
                        {"people", "经办人", 80, ""}, {"name", "变动仓库", 100, ""}});
}

int TInOutSelectorForm::ChosenInOutID() const
{
    return cdsBills->Active() && !cdsBills->IsEmpty() ? cdsBills->FieldByName(QStringLiteral("inoutid"))->AsInteger() : 0;
}

bool ShowInOutSelector(int storeId, int* inoutId)
{
    auto form = std::make_unique<TInOutSelectorForm>(g_DefaultCon, HostSession());
    form->Open(storeId);
    if (form->ShowModal() != mrOk || form->ChosenInOutID() == 0)
        return false;
    if (inoutId)
        *inoutId = form->ChosenInOutID();
    return true;
}
