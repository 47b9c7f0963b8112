#include "pickers/SetPriceForm.h"

#include "host/Messages.h"
#include "platform/DBControls.h"
#include "services/BillDB.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

QVector<TPriceChoice> SetPriceChoices(TClientConnection* con, const TBillSession& session, const TSetPriceRequest& r)
{
    QVector<TPriceChoice> out;
    if (!con || r.GoodsID <= 0)
        return out;
    TClientDataSet unit;
    con->OpenDataSet(QStringLiteral("select pprice, sprice, lprice1, lprice2, lprice3, lprice4, lprice5, lastpprice from goodsunit"
                                    " where goodsid = :goodsid and unitid = :unitid"),
                     &unit, {{QStringLiteral("goodsid"), r.GoodsID}, {QStringLiteral("unitid"), r.UnitID}});
    auto stored = [&unit](const char* field) {
        const TField* f = unit.Active() && !unit.IsEmpty() ? unit.FindField(QString::fromLatin1(field)) : nullptr;
        return f && !f->IsNull() ? f->AsFloat() : 0.0;
    };
    const bool buys = r.CVFlag == 2 || r.CVFlag == 3;
    const bool sells = r.CVFlag == 1 || r.CVFlag == 3;
    const bool seePurchase = session.Right(kPurchasePricesPrivilege, 1);
    const bool seeSale = session.Right(kSalePricesPrivilege, 1);
    // what the partner was charged last, the level price and a discount in force
    TGoodsPrices partner;
    if (r.CVFlag == 1 || r.CVFlag == 2) {
        TBillDB* db = TBillDB::Current();
        std::unique_ptr<TBillDB> own;
        if (!db) {
            own = std::make_unique<TBillDB>(nullptr, con);
            db = own.get();
        }
        partner = db->GetGoodsPrices(r.BillType, r.GoodsID, r.UnitID, r.CVFlag, r.ClientID, 0, r.ShopID, r.StoreID);
    }
    auto add = [&out](const char* name, double price) {
        if (price > 0)
            out.append({QString::fromUtf8(name), price});
    };
    if (buys && seePurchase) {
        add("参考购货价", stored("pprice"));
        add("最近购货价", r.CVFlag == 2 && partner.LastPrice > 0 ? partner.LastPrice : stored("lastpprice"));
    }
    if (sells && seeSale) {
        add("参考零售价", stored("sprice"));
        const char* levels[] = {"一级批发价", "二级批发价", "三级批发价", "四级批发价", "五级批发价"};
        for (int i = 0; i < 5; ++i)
            add(levels[i], stored(QStringLiteral("lprice%1").arg(i + 1).toLatin1().constData()));
        if (r.CVFlag == 1) {
            add("最近销售价", partner.LastPrice);
            add("参考批发价", partner.LevPrice);
            add("限时折扣价", partner.DisPrice);
        }
    }
    return out;
}

namespace {
struct TEditRow {
    QString TGoodsFieldNames::*Name;
    const char* Title;
};
const TEditRow kEditRows[] = {
    {&TGoodsFieldNames::UnitQty, "数量"},       {&TGoodsFieldNames::TaxRate, "税率"},   {&TGoodsFieldNames::TaxPrice, "单价（含税）"},
    {&TGoodsFieldNames::NPrice, "原始单价"},     {&TGoodsFieldNames::Disc, "折扣率"},    {&TGoodsFieldNames::UnitPrice, "单价"},
    {&TGoodsFieldNames::GoodsAmt, "货款"},      {&TGoodsFieldNames::TaxAmt, "税款"},    {&TGoodsFieldNames::Amount, "价税合计"},
};
} // namespace

TSetPriceForm::TSetPriceForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SetPriceForm"));
    setWindowTitle(QStringLiteral("价格录入"));
    FSource = new TDataSource(nullptr, this);
    laGoods = new QLabel(this);
    laGoods->setObjectName(QStringLiteral("laGoods"));
    laSpecs = new QLabel(this);
    laSpecs->setObjectName(QStringLiteral("laSpecs"));
    laUnit = new QLabel(this);
    laUnit->setObjectName(QStringLiteral("laUnit"));
    CBMutliPrice = new QComboBox(this);
    CBMutliPrice->setObjectName(QStringLiteral("CBMutliPrice"));
    connect(CBMutliPrice, &QComboBox::activated, this, [this](int index) { ChoosePrice(index - 1); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("货品名称:"), laGoods);
    form->addRow(QStringLiteral("规格:"), laSpecs);
    form->addRow(QStringLiteral("单位:"), laUnit);
    form->addRow(QStringLiteral("价格选择:"), CBMutliPrice);
    for (const TEditRow& row : kEditRows) {
        auto* e = new TDBEdit(this);
        e->SetDataSource(FSource);
        e->setAlignment(Qt::AlignRight);
        auto* label = new QLabel(QString::fromUtf8(row.Title) + u':', this);
        form->addRow(label, e);
        Edits << e;
        FLabels << label;
    }
    btnOk = new QPushButton(QStringLiteral("确定(&D)"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOk->setAutoDefault(false);
    btnCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* root = new QVBoxLayout(this);
    root->addLayout(form);
    root->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, [this] {
        UpdateRecord();
        CloseModal(mrOk);
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    resize(340, 420);
    CaptureDesignBounds();
}

void TSetPriceForm::SetLine(TClientDataSet* detail, const TGoodsFieldNames& names, const TSetPriceRequest& request)
{
    FNames = names;
    FSource->SetDataSet(detail);
    auto text = [detail](const QString& field) {
        const TField* f = detail->FindField(field);
        return f ? f->AsString() : QString();
    };
    laGoods->setText(text(names.GoodsName));
    laSpecs->setText(text(QStringLiteral("specs")));
    laUnit->setText(text(names.Unit));
    for (int i = 0; i < Edits.size(); ++i) {
        const QString field = names.*kEditRows[i].Name;
        const bool has = !field.isEmpty() && detail->FindField(field);
        Edits[i]->SetDataField(has ? field : QString());
        Edits[i]->setObjectName(QStringLiteral("ed") + field);
        Edits[i]->setVisible(has);
        FLabels[i]->setVisible(has);
    }
    Choices = SetPriceChoices(Connection(), Session(), request);
    CBMutliPrice->clear();
    CBMutliPrice->addItem(QStringLiteral("（选择价格）"));
    for (const TPriceChoice& c : std::as_const(Choices))
        CBMutliPrice->addItem(c.Name + QStringLiteral("：") + QString::number(c.Price, 'f', 2), c.Price);
}

void TSetPriceForm::ChoosePrice(int index)
{
    if (index < 0 || index >= Choices.size())
        return;
    TClientDataSet* ds = FSource->DataSet();
    TField* price = ds ? ds->FindField(FNames.UnitPrice) : nullptr;
    if (!price)
        return;
    // the line's routines see the price as if it were typed
    price->SetValue(Choices.at(index).Price);
}

void TSetPriceForm::UpdateRecord()
{
    for (TDBEdit* e : std::as_const(Edits))
        if (e->isVisible() || e->isVisibleTo(this))
            e->UpdateRecord();
}

int ShowSetPrice(int billType, int cvFlag, int clientId, [[maybe_unused]] const QDate& billDate, TClientDataSet* detail,
                 int storeId, TClientDataSet* master, const TGoodsFieldNames& names)
{
    if (!detail || !detail->Active() || detail->IsEmpty())
        return 0;
    detail->CheckBrowseMode();
    // the line as it is, to put back on cancel whatever the routines posted meanwhile
    const TClientDataSet::TBookmark line = detail->GetBookmark();
    QVariantList before;
    for (int i = 0; i < detail->FieldCount(); ++i)
        before << detail->Fields(i)->Value();

    TSetPriceRequest request;
    auto intOf = [](TClientDataSet* ds, const QString& field) {
        const TField* f = ds && ds->Active() ? ds->FindField(field) : nullptr;
        return f && !f->IsNull() ? f->AsInteger() : 0;
    };
    request.GoodsID = intOf(detail, names.GoodsID);
    request.UnitID = intOf(detail, names.UnitID);
    request.BillType = billType;
    request.CVFlag = cvFlag;
    request.ClientID = clientId;
    request.StoreID = storeId;
    request.ShopID = intOf(master, QStringLiteral("shopid"));
    auto form = std::make_unique<TSetPriceForm>(g_DefaultCon, TBillSession::FromHost());
    form->SetLine(detail, names, request);
    if (form->ShowModal() == mrOk) {
        detail->CheckBrowseMode();
        return 1;
    }
    if (detail->State() == TDataSetState::dsEdit || detail->State() == TDataSetState::dsInsert)
        detail->Cancel();
    if (detail->BookmarkValid(line)) {
        detail->GotoBookmark(line);
        bool changed = false;
        for (int i = 0; i < detail->FieldCount() && !changed; ++i)
            changed = detail->Fields(i)->FieldKind() == TFieldKind::fkData && detail->Fields(i)->Value() != before.at(i);
        if (changed) {
            // posted by a line routine during the dialog: every value back, without routines
            detail->Edit();
            for (int i = 0; i < detail->FieldCount(); ++i) {
                TField* f = detail->Fields(i);
                if (f->FieldKind() != TFieldKind::fkData || f->ReadOnly)
                    continue;
                auto handler = std::exchange(f->OnChange, nullptr);
                f->SetValue(before.at(i));
                f->OnChange = std::move(handler);
            }
            detail->Post();
        }
    }
    return 0;
}
