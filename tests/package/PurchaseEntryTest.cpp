// A purchase order and a goods receipt typed from the keyboard as a clerk types them - vendor
// (and store, where the bill has one) from their drop-downs, three goods by code, bar code and
// scale label, the quantities, one price typed over and one amount nudged within the
// tolerance - then every line, the footer, the master total and the saved rows checked
// against figures worked out here.
#include "BillWindowFixture.h"

#include "host/Rounding.h"
#include "platform/DBControls.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

struct TExpectedLine {
    int GoodsID;
    QString Code;
    QString Name;
    int UnitID;
    QString UnitName;
    double Rate;
    double Qty;
    double UnitPrice;
    double GoodsAmt;
    double TaxAmt;
    double Amount;
};

// A purchase bill as the database keeps it.
struct TPurchaseBill {
    const char* Form;
    const char* MasterTable;
    const char* Key;
    const char* DetailTable;
    const char* TotalField;
};

const TPurchaseBill kPurchaseBills[] = {
    {"PorderForm", "porder", "orderid", "orderdetail", "amount"},
    {"RecieveForm", "recieved", "recievedid", "rcvddetail", "totalamt"},
};

} // namespace

class TPurchaseEntryTest : public TBillWindowTest, public ::testing::WithParamInterface<TPurchaseBill> {
protected:
    // Enter until the cursor stands in the field (at most one line's worth).
    void MoveTo(TGoodsBillForm* f, const QString& field)
    {
        for (int i = 0; i < 20 && CurrentField(f) != field; ++i)
            Enter();
        ASSERT_EQ(CurrentField(f), field);
    }
    // The vendor's default purchase price of a unit that has no agreed price for anybody.
    double LastPurchasePrice(int unitId)
    {
        const double last = Db(QStringLiteral("select lastpprice from goodsunit where unitid = :u"), {{QStringLiteral("u"), unitId}}).toDouble();
        return last != 0 ? last : Db(QStringLiteral("select pprice from goodsunit where unitid = :u"), {{QStringLiteral("u"), unitId}}).toDouble();
    }
    QString Text(const QString& sql, const TSqlParams& p) { return Db(sql, p).toString(); }
};

TEST_P(TPurchaseEntryTest, ClerkTypesAPurchaseBillAndItIsSavedAsTyped)
{
    const TPurchaseBill bill = GetParam();
    const QString masterTable = QString::fromLatin1(bill.MasterTable), key = QString::fromLatin1(bill.Key);
    TGoodsBillForm* f = Open(QString::fromLatin1(bill.Form));
    ASSERT_NE(f, nullptr);

    // Vendor and store from their drop-downs, by arrow key: names are offered, ids stored.
    FocusField(f, QStringLiteral("clientid"));
    auto* vendorCombo = qobject_cast<QComboBox*>(Focus());
    ASSERT_NE(vendorCombo, nullptr);
    ASSERT_GT(vendorCombo->count(), 1);
    Key(Qt::Key_Down);
    const int vendor = vendorCombo->currentData().toInt();
    ASSERT_GT(vendor, 0);
    EXPECT_EQ(vendorCombo->currentText(), Text(QStringLiteral("select shortname from client where clientid = :c"), {{QStringLiteral("c"), vendor}}));
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("clientid"))->AsInteger(), vendor);
    int store = 0;
    if (f->FieldEditor(QStringLiteral("storeid"))) {
        FocusField(f, QStringLiteral("storeid"));
        auto* storeCombo = qobject_cast<QComboBox*>(Focus());
        ASSERT_NE(storeCombo, nullptr);
        Key(Qt::Key_Down);
        Key(Qt::Key_Down);
        store = storeCombo->currentData().toInt();
        ASSERT_GT(store, 0);
        EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("storeid"))->AsInteger(), store);
        EXPECT_EQ(storeCombo->currentText(), Text(QStringLiteral("select name from store where storeid = :s"), {{QStringLiteral("s"), store}}));
    }

    // A VAT invoice where the bill names its invoice kind: the lines take the purchase tax
    // rate, as they do on a bill without one.
    if (f->FieldEditor(QStringLiteral("billtypeid"))) {
        FocusField(f, QStringLiteral("billtypeid"));
        auto* kindCombo = qobject_cast<QComboBox*>(Focus());
        ASSERT_NE(kindCombo, nullptr);
        for (int i = 0; i < 5 && kindCombo->currentText() != QStringLiteral("增值税发票"); ++i)
            Key(Qt::Key_Down);
        ASSERT_EQ(f->cdsMaster->FieldByName(QStringLiteral("billtypeid"))->AsInteger(), 3);
    }

    // Goods without a price agreed with this vendor: their default is the last purchase price.
    const QString noAgreedPrice =
        QStringLiteral(" and not exists (select 1 from gvcprice v where v.goodsid = g.goodsid and v.cvid = %1)").arg(vendor);
    const TDemoGoods byCode = Goods(0, noAgreedPrice);
    const TDemoGoods byBarCode = Goods(1, noAgreedPrice);
    ASSERT_GT(byCode.GoodsID, 0);
    ASSERT_GT(byBarCode.GoodsID, 0);
    TClientDataSet weighed;
    FCon->OpenDataSet(QStringLiteral("select u.goodsid, u.unitid, u.weightcode, g.code from goodsunit u join goods g on g.goodsid = u.goodsid"
                                     " where u.weightcode is not null and g.closed = 'F' and g.batchctrl = 'F'") +
                          noAgreedPrice + QStringLiteral(" order by u.goodsid"),
                      &weighed);
    ASSERT_FALSE(weighed.IsEmpty());
    const int scaleGoods = weighed.Fields(0)->AsInteger();
    const int scaleUnit = weighed.Fields(1)->AsInteger();
    const QString label = QStringLiteral("22") + weighed.Fields(2)->AsString() + QStringLiteral("01250") + QStringLiteral("7");

    // Line 1: by goods code, 3 of the base unit, at the default price.
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, byCode.Code, QStringLiteral("3"));
    // Line 2: by the bar code of its pack, 2 packs, the price typed over.
    MoveTo(f, QStringLiteral("memo"));
    Enter();
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2);
    TypeLine(f, byBarCode.PackBarCode, QStringLiteral("2"));
    MoveTo(f, QStringLiteral("unitprice"));
    Type(QStringLiteral("36.5"));
    Enter();
    // Line 3: by scale label (1.25 of the weighed goods), its amount nudged by 0.03.
    MoveTo(f, QStringLiteral("memo"));
    Enter();
    ASSERT_EQ(f->cdsDetail->RecordCount(), 3);
    ASSERT_EQ(CurrentField(f), QStringLiteral("goodsid"));
    Type(label);
    Enter();
    ASSERT_EQ(CurrentField(f), QStringLiteral("unitqty"));
    EXPECT_DOUBLE_EQ(f->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 1.25);
    Enter(); // the weight stands
    MoveTo(f, QStringLiteral("amount"));
    const double shownAmount = f->cdsDetail->FieldByName(QStringLiteral("amount"))->AsFloat();
    Type(QString::number(shownAmount + 0.03, 'f', 2));
    Enter();

    // What the lines should hold, worked out from the goods data and the tax rate.
    const double tax = Db(QStringLiteral("select optionvalue from accoption where optionkey = 'PURCHASEINCTAXRATE'")).toDouble();
    ASSERT_GT(tax, 0);
    auto expect = [&](int goods, int unit, double qty, double price) {
        TExpectedLine e{};
        e.GoodsID = goods;
        e.Code = Text(QStringLiteral("select code from goods where goodsid = :g"), {{QStringLiteral("g"), goods}});
        e.Name = Text(QStringLiteral("select name from goods where goodsid = :g"), {{QStringLiteral("g"), goods}});
        e.UnitID = unit;
        e.UnitName = Text(QStringLiteral("select unitname from goodsunit where unitid = :u"), {{QStringLiteral("u"), unit}});
        e.Rate = Db(QStringLiteral("select rate from goodsunit where unitid = :u"), {{QStringLiteral("u"), unit}}).toDouble();
        e.Qty = qty;
        e.UnitPrice = price;
        e.GoodsAmt = Round(qty * price, 2);
        e.TaxAmt = Round(e.GoodsAmt * tax / 100, 2);
        e.Amount = Round(e.GoodsAmt + e.TaxAmt, 2);
        return e;
    };
    QVector<TExpectedLine> lines{expect(byCode.GoodsID, byCode.BaseUnitID, 3, LastPurchasePrice(byCode.BaseUnitID)),
                                 expect(byBarCode.GoodsID, byBarCode.PackUnitID, 2, 36.5),
                                 expect(scaleGoods, scaleUnit, 1.25, LastPurchasePrice(scaleUnit))};
    // Within the tolerance the typed amount stands and only the goods amount gives way.
    lines[2].Amount = Round(lines[2].Amount + 0.03, 2);
    lines[2].GoodsAmt = Round(lines[2].Amount - lines[2].TaxAmt, 2);
    ASSERT_GT(lines[0].UnitPrice, 0);

    // The cursor left the last line on its memo; the lines as the window holds them.
    SetDataSetPost(f->cdsDetail);
    ASSERT_EQ(f->cdsDetail->RecordCount(), 3);
    double total = 0;
    for (int r = 0; r < 3; ++r) {
        const TExpectedLine& e = lines[r];
        auto v = [&](const char* field) { return f->cdsDetail->RowValue(r, f->cdsDetail->FieldByName(QString::fromLatin1(field))->Index()); };
        SCOPED_TRACE(r);
        EXPECT_EQ(v("goodsid").toInt(), e.GoodsID);
        EXPECT_EQ(v("goodscode").toString(), e.Code);
        EXPECT_EQ(v("goodsname").toString(), e.Name);
        EXPECT_EQ(v("unitid").toInt(), e.UnitID);
        EXPECT_EQ(v("unit").toString(), e.UnitName);
        EXPECT_DOUBLE_EQ(v("unitrate").toDouble(), e.Rate);
        EXPECT_DOUBLE_EQ(v("unitqty").toDouble(), e.Qty);
        EXPECT_NEAR(v("quantity").toDouble(), e.Qty * e.Rate, 1e-6);
        EXPECT_NEAR(v("unitprice").toDouble(), e.UnitPrice, 1e-8);
        EXPECT_NEAR(v("nprice").toDouble(), e.UnitPrice, 1e-8) << "no discount: the list price is the price";
        EXPECT_DOUBLE_EQ(v("disc").toDouble(), 100);
        EXPECT_DOUBLE_EQ(v("taxrate").toDouble(), tax);
        EXPECT_NEAR(v("taxprice").toDouble(), e.UnitPrice * (1 + tax / 100), 1e-6);
        EXPECT_NEAR(v("price").toDouble(), e.UnitPrice / e.Rate, 1e-6);
        EXPECT_NEAR(v("goodsamt").toDouble(), e.GoodsAmt, 1e-9);
        EXPECT_NEAR(v("taxamt").toDouble(), e.TaxAmt, 1e-9);
        EXPECT_NEAR(v("amount").toDouble(), e.Amount, 1e-9);
        total += e.Amount;
    }
    // The footer and the master total follow the lines.
    EXPECT_NEAR(f->ItemDBGrid->FooterValue(QStringLiteral("amount")).toDouble(), total, 1e-9);
    EXPECT_NEAR(f->ItemDBGrid->FooterValue(QStringLiteral("unitqty")).toDouble(), 3 + 2 + 1.25, 1e-9);
    EXPECT_NEAR(f->cdsMaster->FieldByName(QString::fromLatin1(bill.TotalField))->AsFloat(), total, 1e-9);

    // Saved with Alt+S from the grid, as the button's mnemonic says.
    const QString countSql = QStringLiteral("select count(*) from ") + masterTable;
    const int before = Db(countSql).toInt();
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_S, Qt::AltModifier);
    // The button answers its mnemonic with an animated click, a moment later.
    for (int i = 0; i < 50 && Db(countSql).toInt() == before; ++i)
        QTest::qWait(20);
    ASSERT_EQ(Db(countSql).toInt(), before + 1) << FMessages->Texts().join(u'|').toStdString();
    const int id = Db(QStringLiteral("select max(%1) from %2").arg(key, masterTable)).toInt();
    const TSqlParams byId{{QStringLiteral("id"), id}};
    const QString where = QStringLiteral(" from %1 where %2 = :id").arg(masterTable, key);
    EXPECT_EQ(Db(QStringLiteral("select clientid") + where, byId).toInt(), vendor);
    if (store != 0) {
        EXPECT_EQ(Db(QStringLiteral("select storeid") + where, byId).toInt(), store);
    }
    EXPECT_NEAR(Db(QStringLiteral("select ") + QString::fromLatin1(bill.TotalField) + where, byId).toDouble(), total, 1e-9);
    TClientDataSet saved;
    FCon->OpenDataSet(QStringLiteral("select goodsid, unitid, unitqty, quantity, unitprice, taxrate, goodsamt, taxamt, amount"
                                     " from %1 where %2 = :id order by itemno").arg(QString::fromLatin1(bill.DetailTable), key),
                      &saved, byId);
    ASSERT_EQ(saved.RecordCount(), 3);
    for (int r = 0; r < 3; ++r) {
        const TExpectedLine& e = lines[r];
        SCOPED_TRACE(r);
        EXPECT_EQ(saved.RowValue(r, 0).toInt(), e.GoodsID);
        EXPECT_EQ(saved.RowValue(r, 1).toInt(), e.UnitID);
        EXPECT_DOUBLE_EQ(saved.RowValue(r, 2).toDouble(), e.Qty);
        EXPECT_NEAR(saved.RowValue(r, 3).toDouble(), e.Qty * e.Rate, 1e-6);
        EXPECT_NEAR(saved.RowValue(r, 4).toDouble(), e.UnitPrice, 1e-8);
        EXPECT_DOUBLE_EQ(saved.RowValue(r, 5).toDouble(), tax);
        EXPECT_NEAR(saved.RowValue(r, 6).toDouble(), e.GoodsAmt, 1e-9);
        EXPECT_NEAR(saved.RowValue(r, 7).toDouble(), e.TaxAmt, 1e-9);
        EXPECT_NEAR(saved.RowValue(r, 8).toDouble(), e.Amount, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(PurchaseBills, TPurchaseEntryTest, ::testing::ValuesIn(kPurchaseBills),
                         [](const ::testing::TestParamInfo<TPurchaseBill>& info) { return std::string(info.param.Form); });
