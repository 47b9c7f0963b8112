#include "pickers/PickGoodsForm.h"

#include "host/Messages.h"
#include "pickers/PickerData.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

TPickGoodsForm* PickGoodsForm = nullptr;

namespace {
QLineEdit* NamedEdit(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}
} // namespace

TPickGoodsForm::TPickGoodsForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
    , FQuery(con)
{
    setObjectName(QStringLiteral("PickGoodsForm"));
    setWindowTitle(QStringLiteral("选择货品"));
    cdsGoods = new TClientDataSet(this);
    cdsGoods->setObjectName(QStringLiteral("cdsGoods"));
    cdsUnitName = new TClientDataSet(this);
    cdsUnitName->setObjectName(QStringLiteral("cdsUnitName"));
    cdsPicture = new TClientDataSet(this);
    cdsPicture->setObjectName(QStringLiteral("cdsPicture"));
    dsGoods = new TDataSource(cdsGoods, this);
    BuildLayout();
    resize(960, 580);
    CaptureDesignBounds();
    cdsGoods->AfterScroll = [this](TClientDataSet*) { GoodsAfterScroll(); };
}

void TPickGoodsForm::BuildLayout()
{
    auto* top = new QGridLayout;
    GoodsCodeED = NamedEdit("GoodsCodeED", this);
    GoodsNameED = NamedEdit("GoodsNameED", this);
    edtSpecs = NamedEdit("edtSpecs", this);
    PYAssistED = NamedEdit("PYAssistED", this);
    edtBarCode = NamedEdit("edtBarCode", this);
    PYFindGoodsEdit = NamedEdit("PYFindGoodsEdit", this);
    GTypeCB = new QComboBox(this);
    GTypeCB->setObjectName(QStringLiteral("GTypeCB"));
    GTypeCB->setMinimumWidth(140);
    InStoreCKB = new QCheckBox(QStringLiteral("当前有库存商品"), this);
    InStoreCKB->setObjectName(QStringLiteral("InStoreCKB"));
    HistoryGoodsCK = new QCheckBox(QStringLiteral("只显示最近货品"), this);
    HistoryGoodsCK->setObjectName(QStringLiteral("HistoryGoodsCK"));
    StoreLabel = new QLabel(this);
    StoreLabel->setObjectName(QStringLiteral("StoreLabel"));

    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    top->addWidget(label("货品编码"), 0, 0);
    top->addWidget(GoodsCodeED, 0, 1);
    top->addWidget(label("货品名称"), 0, 2);
    top->addWidget(GoodsNameED, 0, 3);
    top->addWidget(label("规格"), 0, 4);
    top->addWidget(edtSpecs, 0, 5);
    top->addWidget(label("助记码"), 1, 0);
    top->addWidget(PYAssistED, 1, 1);
    top->addWidget(label("条形码"), 1, 2);
    top->addWidget(edtBarCode, 1, 3);
    top->addWidget(label("货品首拼"), 1, 4);
    top->addWidget(PYFindGoodsEdit, 1, 5);
    top->addWidget(label("货品类别"), 2, 0);
    top->addWidget(GTypeCB, 2, 1);
    top->addWidget(InStoreCKB, 2, 3);
    top->addWidget(HistoryGoodsCK, 2, 5);

    TypeRadioGroup = new QGroupBox(QStringLiteral("货品性质"), this);
    TypeRadioGroup->setObjectName(QStringLiteral("TypeRadioGroup"));
    TypeButtons = new QButtonGroup(this);
    auto* radios = new QHBoxLayout(TypeRadioGroup);
    const char* items[] = {"全部", "存货", "非存货/服务", "折扣项目"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromUtf8(items[i]), TypeRadioGroup);
        TypeButtons->addButton(r, i);
        radios->addWidget(r);
    }
    radios->addStretch();
    radios->addWidget(StoreLabel);

    GoodsGrid = new TDBGrid(this);
    GoodsGrid->setObjectName(QStringLiteral("GoodsGrid"));
    GoodsGrid->SetDataSource(dsGoods);
    GoodsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GoodsGrid->Model()->ReadOnly = true;
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(150, 150);
    Image1->setFrameShape(QFrame::StyledPanel);
    Image1->setAlignment(Qt::AlignCenter);
    VenderLabel = new QLabel(QStringLiteral("主供应商:"), this);
    VenderLabel->setObjectName(QStringLiteral("VenderLabel"));
    VenderLabel->setWordWrap(true);
    VenderLabel->setFixedWidth(150);
    auto* side = new QVBoxLayout;
    side->addWidget(Image1);
    side->addWidget(VenderLabel);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(GoodsGrid, 1);
    middle->addLayout(side);

    P_Bottom = new QWidget(this);
    P_Bottom->setObjectName(QStringLiteral("P_Bottom"));
    auto* bottom = new QHBoxLayout(P_Bottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    dlgcUnitName = new QComboBox(P_Bottom);
    dlgcUnitName->setObjectName(QStringLiteral("dlgcUnitName"));
    dlgcUnitName->setMinimumWidth(100);
    UnitQtyEdit = NamedEdit("UnitQtyEdit", P_Bottom);
    UnitQtyEdit->setText(QStringLiteral("1"));
    UnitQtyEdit->setMaximumWidth(120);
    bottom->addWidget(new QLabel(QStringLiteral("单位"), P_Bottom));
    bottom->addWidget(dlgcUnitName);
    bottom->addWidget(new QLabel(QStringLiteral("数量"), P_Bottom));
    bottom->addWidget(UnitQtyEdit);
    bottom->addStretch();

    SelBtn = new QPushButton(QStringLiteral("添加到单据"), this);
    SelBtn->setObjectName(QStringLiteral("SelBtn"));
    SelAllBtn = new QPushButton(QStringLiteral("全添到单据"), this);
    SelAllBtn->setObjectName(QStringLiteral("SelAllBtn"));
    OkBtn = new QPushButton(QStringLiteral("确定"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(P_Bottom);
    buttons->addStretch();
    buttons->addWidget(SelBtn);
    buttons->addWidget(SelAllBtn);
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);

    auto* root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(TypeRadioGroup);
    root->addLayout(middle, 1);
    root->addLayout(buttons);

    // Filter edits act only on what the user typed (textEdited is not sent for text set by
    // code); a pause in the typing runs the query.
    const std::pair<QLineEdit*, QString TGoodsPickFilter::*> edits[] = {
        {GoodsCodeED, &TGoodsPickFilter::Code},     {GoodsNameED, &TGoodsPickFilter::Name},
        {PYAssistED, &TGoodsPickFilter::PYAssist}, {edtSpecs, &TGoodsPickFilter::Specs},
        {edtBarCode, &TGoodsPickFilter::BarCode}};
    for (const auto& [edit, member] : edits) {
        connect(edit, &QLineEdit::textEdited, this, [this, member](const QString& text) {
            FQuery.Filter.*member = text.trimmed();
            ScheduleRefresh();
        });
    }
    connect(PYFindGoodsEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        FQuery.Filter.NameInitials = text.trimmed();
        ScheduleRefresh();
    });
    connect(GTypeCB, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (FInitialising)
            return;
        // A type matches its sub-types too: their level codes start with its own.
        FQuery.Filter.TypeLCode = index <= 0 ? QString() : GTypeCB->itemData(index).toString();
        RefreshList();
    });
    connect(TypeButtons, &QButtonGroup::idClicked, this, &TPickGoodsForm::TypeClicked);
    connect(InStoreCKB, &QCheckBox::clicked, this, [this](bool on) {
        FQuery.Filter.InStoreOnly = on;
        RefreshList();
    });
    connect(HistoryGoodsCK, &QCheckBox::clicked, this, [this](bool on) {
        FQuery.Filter.HistoryOnly = on;
        RefreshList();
    });
    connect(GoodsGrid->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value >= GoodsGrid->verticalScrollBar()->maximum() - 2)
            FetchMore();
    });
    connect(GoodsGrid, &QAbstractItemView::doubleClicked, this, [this] { OkBtnClick(); });
    connect(SelBtn, &QPushButton::clicked, this, [this] { SelBtnClick(false); });
    connect(SelAllBtn, &QPushButton::clicked, this, &TPickGoodsForm::SelAllBtnClick);
    connect(OkBtn, &QPushButton::clicked, this, &TPickGoodsForm::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });

    using C = TSetDBGrid;
    FGridMaster.Grid = GoodsGrid;
    FGridMaster.DataSource = dsGoods;
    C::AddColumnInfo(FGridMaster, QStringLiteral("Code"), QStringLiteral("货品编码"), 90);
    C::AddColumnInfo(FGridMaster, QStringLiteral("Name"), QStringLiteral("货品名称"), 150);
    C::AddColumnInfo(FGridMaster, QStringLiteral("SPECS"), QStringLiteral("规格"), 80);
    C::AddColumnInfo(FGridMaster, QStringLiteral("Unit"), QStringLiteral("基本单位"), 60);
    C::AddColumnInfo(FGridMaster, QStringLiteral("barcode"), QStringLiteral("条形码"), 110);
    C::AddColumnInfo(FGridMaster, QStringLiteral("OnHand"), QStringLiteral("库存量"), 70);
    C::AddColumnInfo(FGridMaster, QStringLiteral("PYASSIST"), QStringLiteral("助记码"), 70);
    C::AddColumnInfo(FGridMaster, QStringLiteral("GoodsType"), QStringLiteral("货品类别"), 80);
    C::AddColumnInfo(FGridMaster, QStringLiteral("vender"), QStringLiteral(" 主供应商"), 90);
}

void TPickGoodsForm::FillGoodsTypes()
{
    GTypeCB->clear();
    GTypeCB->addItem(QStringLiteral("<全部>"), QStringLiteral("0"));
    TClientDataSet types;
    Connection()->OpenDataSet(QStringLiteral("SELECT Name, LCode FROM GoodsType ORDER BY LCode"), &types);
    for (types.First(); !types.Eof(); types.Next())
        GTypeCB->addItem(types.Fields(0)->AsString(), types.Fields(1)->AsString());
}

void TPickGoodsForm::InitForm()
{
    FInitialising = true;
    SelAllBtn->setVisible(AMultiAdd);
    setWindowTitle(QStringLiteral("选择货品--") + ACaption);
    FillGoodsTypes();
    cdsUnitName->Close();
    dlgcUnitName->clear();

    if (!AMultiAdd || AStoreID < 1) {
        StoreLabel->setText(QStringLiteral("当前仓库:所有仓库"));
        InStoreCKB->setEnabled(false);
    } else {
        const QVariant name =
            Connection()->ExecuteScalar(QStringLiteral("select name from store where storeid = :id"), {{QStringLiteral("id"), AStoreID}});
        StoreLabel->setText(QStringLiteral("当前仓库:") + name.toString());
        InStoreCKB->setEnabled(true);
    }

    const bool unitPanel = AWithUnitQty && ADataSet && ADataSet->FindField(QStringLiteral("unitqty")) &&
                           ADataSet->FindField(QStringLiteral("unitid"));
    P_Bottom->setVisible(unitPanel);
    if (unitPanel && ADataSet->Active() && !ADataSet->IsEmpty()) {
        const TField* qty = ADataSet->FindField(QStringLiteral("unitqty"));
        if (!qty->IsNull())
            UnitQtyEdit->setText(qty->AsString());
    }

    HistoryGoodsCK->setChecked(false);
    HistoryGoodsCK->setEnabled(ACVID >= 1);
    GTypeCB->setCurrentIndex(0);
    TypeButtons->button(AMultiAdd ? gkAll : gkStock)->setChecked(true);

    FQuery.ExtraFilter = AFilter;
    FQuery.StoreID = AStoreID;
    FQuery.CVID = ACVID;
    FQuery.Filter = TGoodsPickFilter();
    SetKindClass(AMultiAdd ? gkAll : gkStock);
    FInitialising = false;
    RefreshList();
}

void TPickGoodsForm::SetKindClass(int item) { FQuery.Filter.KindClass = item; }

void TPickGoodsForm::TypeClicked(int item)
{
    SetKindClass(item);
    // Goods that keep no stock cannot be asked for stock on hand.
    if (InStoreCKB->isChecked() && (item == gkNonStock || item == gkDiscount)) {
        const QSignalBlocker quiet(InStoreCKB);
        InStoreCKB->setChecked(false);
        FQuery.Filter.InStoreOnly = false;
    }
    RefreshList();
}

void TPickGoodsForm::RefreshList()
{
    CancelScheduledRefresh();
    try {
        FQuery.OpenFirst(cdsGoods, kGoodsPageSize);
    } catch (const std::exception& e) {
        DefineListFields(cdsGoods, {});
        ShowError(QStringLiteral("货品列表读取失败：") + QString::fromUtf8(e.what()));
    }
    ApplyListedColumns(FGridMaster);
    GoodsGrid->scrollToTop();
    GoodsAfterScroll();
}

bool TPickGoodsForm::FetchMore()
{
    if (!cdsGoods->Active() || FQuery.AtEnd())
        return false;
    return FQuery.FetchMore(cdsGoods, kGoodsPageSize);
}

void TPickGoodsForm::GoodsAfterScroll()
{
    const bool has = cdsGoods->Active() && !cdsGoods->IsEmpty();
    const int goodsId = has ? cdsGoods->FieldByName(QStringLiteral("GoodsID"))->AsInteger() : -1;
    // The units of the goods under the cursor, its base unit chosen. They are read for that
    // goods item alone rather than filtered out of the host's shared unit table, which would
    // hold every unit of a catalogue of a hundred thousand goods.
    dlgcUnitName->clear();
    Connection()->OpenDataSet(QStringLiteral("SELECT unitid, unitname, rate FROM goodsunit WHERE goodsid = :goodsid "
                                             "ORDER BY unittype, unitid"),
                              cdsUnitName, {{QStringLiteral("goodsid"), goodsId}});
    for (cdsUnitName->First(); !cdsUnitName->Eof(); cdsUnitName->Next())
        dlgcUnitName->addItem(cdsUnitName->Fields(1)->AsString(), cdsUnitName->Fields(0)->Value());
    if (has) {
        const int at = dlgcUnitName->findData(cdsGoods->FieldByName(QStringLiteral("UnitID"))->Value());
        dlgcUnitName->setCurrentIndex(at);
    }
    VenderLabel->setText(QStringLiteral("主供应商:") + (has ? cdsGoods->FieldByName(QStringLiteral("vender"))->AsString() : QString()));
    LoadPicture(goodsId);
}

void TPickGoodsForm::LoadPicture(int goodsId)
{
    cdsPicture->Close();
    Image1->clear();
    if (goodsId <= 0)
        return;
    Connection()->OpenDataSet(QStringLiteral("SELECT a.* FROM goods g, crm_affixinfo a WHERE g.affixinfoid = a.id AND g.goodsid = :goodsid"),
                              cdsPicture, {{QStringLiteral("goodsid"), goodsId}});
    if (cdsPicture->IsEmpty())
        return;
    // The picture is shown straight from its bytes; the extension only names its format.
    QPixmap pm;
    const QByteArray ext = cdsPicture->FieldByName(QStringLiteral("pictureext"))->AsString().remove(u'.').toLatin1();
    if (pm.loadFromData(cdsPicture->FieldByName(QStringLiteral("picture"))->AsBytes(), ext.isEmpty() ? nullptr : ext.constData()) ||
        pm.loadFromData(cdsPicture->FieldByName(QStringLiteral("picture"))->AsBytes()))
        Image1->setPixmap(pm.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

bool TPickGoodsForm::QuantityValid(double& qty)
{
    bool ok = false;
    qty = UnitQtyEdit->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(qty))
        return true;
    ShowInformation(QStringLiteral("请输入正确的数量！"), QStringLiteral("提示"));
    UnitQtyEdit->setFocus();
    return false;
}

TGoodsAddition TPickGoodsForm::CurrentAddition() const
{
    TGoodsAddition a;
    if (cdsGoods->Active() && !cdsGoods->IsEmpty())
        a.GoodsID = cdsGoods->FieldByName(QStringLiteral("GoodsID"))->AsInteger();
    a.WithUnitQty = P_Bottom->isVisibleTo(const_cast<TPickGoodsForm*>(this));
    a.UnitID = dlgcUnitName->currentData();
    return a;
}

bool TPickGoodsForm::SelBtnClick(bool onBehalfOfOk)
{
    double qty = 1;
    if (!QuantityValid(qty))
        return false;
    TGoodsAddition add = CurrentAddition();
    add.UnitQty = qty;
    AddGoodsToTarget(ADataSet, add, !onBehalfOfOk && AMultiAdd);
    cdsGoods->Next();
    if (cdsGoods->Eof() && FetchMore())
        cdsGoods->Next();
    // Goods already went into the bill: OK now only closes, as not OK, so that the caller
    // does not add the current goods a second time.
    OkBtn->setText(QStringLiteral("完成"));
    return true;
}

void TPickGoodsForm::SelAllBtnClick()
{
    FQuery.FetchUpTo(cdsGoods, kMaxAddAll);
    if (cdsGoods->RecordCount() > kMaxAddAll) {
        ShowInformation(QStringLiteral("商品数量超过 500 条，不能进行全部添加操作。"), QStringLiteral("提示"));
        return;
    }
    double qty = 1;
    if (!QuantityValid(qty))
        return;
    const bool unitQty = P_Bottom->isVisibleTo(this);
    cdsGoods->DisableControls();
    cdsGoods->Silence();
    try {
        for (cdsGoods->First(); !cdsGoods->Eof(); cdsGoods->Next()) {
            TGoodsAddition add;
            add.GoodsID = cdsGoods->FieldByName(QStringLiteral("GoodsID"))->AsInteger();
            add.WithUnitQty = unitQty;
            add.UnitID = cdsGoods->FieldByName(QStringLiteral("UnitID"))->Value();
            add.UnitQty = qty;
            AddGoodsToTarget(ADataSet, add, true);
        }
    } catch (...) {
        cdsGoods->WakeUp();
        cdsGoods->EnableControls();
        throw;
    }
    cdsGoods->WakeUp();
    cdsGoods->EnableControls();
    GoodsAfterScroll();
    if (cdsGoods->RecordCount() > 0)
        OkBtn->setText(QStringLiteral("完成"));
}

void TPickGoodsForm::OkBtnClick()
{
    if (OkBtn->text() == QStringLiteral("完成")) {
        CloseModal(mrCancelled);
        return;
    }
    const bool hasGoods = cdsGoods->Active() && !cdsGoods->IsEmpty() &&
                          !cdsGoods->FieldByName(QStringLiteral("GoodsID"))->IsNull();
    if (hasGoods && !SelBtnClick(true))
        return;
    CloseModal(mrOk);
}
