// The server's price check (reply 1401) and stock checks after a save, as the user meets them
// in the check dialogs, and what accepting or refusing them does to the bill.
#include "tests/pickers/SelectionFixture.h"

#include "host/Privileges.h"
#include "host/Session.h"
#include "pickers/CheckDialogs.h"
#include "server/PriceCheck.h"
#include "webrpc/PacketParams.h"

#include <QLabel>
#include <QPushButton>

namespace {

class CheckDialogsTest : public TSelectionTest {
protected:
    int Invoices() { return Db(QStringLiteral("select count(*) from invoice")).toInt(); }
    // Answers the price warning with one of its buttons after a look at it.
    void AnswerPrice(const char* button, QStringList* seen)
    {
        FMessages->OnModal(QStringLiteral("CheckPriceForm"), [=, this](QDialog* d) {
            auto* f = FormIn<TCheckPriceForm>(d);
            Expose(d);
            Render(d, QStringLiteral("CheckPriceForm"));
            *seen << f->laLimit->text();
            TClientDataSet* rows = f->dgLimit->Model()->DataSet();
            for (int r = 0; rows && r < rows->RecordCount(); ++r)
                *seen << rows->RowValue(r, rows->FieldByName(QStringLiteral("code"))->Index()).toString() + u'@'
                             + rows->RowValue(r, rows->FieldByName(QStringLiteral("unitprice"))->Index()).toString() + u'<'
                             + rows->RowValue(r, rows->FieldByName(QStringLiteral("sprice"))->Index()).toString();
            *seen << (f->btnIgnore->isEnabled() ? QStringLiteral("may ignore") : QStringLiteral("may not ignore"));
            f->findChild<QPushButton*>(QString::fromLatin1(button))->click();
            return int(QDialog::Accepted);
        });
    }
};

TEST_F(CheckDialogsTest, AnInvoiceBelowTheMinimumSalePriceIsWarnedAndIgnoringSavesIt)
{
    SetOption(QStringLiteral("CHECKMINSALEPRICE"), QStringLiteral("1"));
    const TGoods g = AddGoods(QStringLiteral("SEL-MIN"), QStringLiteral("限价货"), 10, 6, 100);
    FCon->Execute(QStringLiteral("update goodsunit set minsprice = 8 where unitid = :u"), {{QStringLiteral("u"), g.UnitID}});
    TGoodsBillForm* f = Invoice(g, 3, 7.5);
    ASSERT_NE(f, nullptr);
    const int before = Invoices();

    // cancelled: nothing saved, the bill stays as entered
    QStringList seen;
    AnswerPrice("btnCancel", &seen);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(seen, (QStringList{QStringLiteral("以下货品的价格低于系统的最低售价:"), QStringLiteral("SEL-MIN@7.5<8"), QStringLiteral("may ignore")}));
    EXPECT_EQ(Invoices(), before);
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_DOUBLE_EQ(f->cdsDetail->FieldByName(QStringLiteral("unitprice"))->AsFloat(), 7.5);
    EXPECT_EQ(FMessages->Count(TMessageKind::Error), 0) << "a refused warning ends the save without a message";

    // "忽略通过(&I)": the next step of the save goes through
    seen.clear();
    AnswerPrice("btnIgnore", &seen);
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
    EXPECT_EQ(seen.value(2), QStringLiteral("may ignore"));
    EXPECT_EQ(Invoices(), before + 1);
    EXPECT_DOUBLE_EQ(Db(QStringLiteral("select unitprice from saledetail where invoiceid = :i"), {{QStringLiteral("i"), f->CurrentBillID}}).toDouble(), 7.5);
}

TEST_F(CheckDialogsTest, ThePriceCheckFollowsItsOptionThePriceAndTheRight)
{
    const TGoods g = AddGoods(QStringLiteral("SEL-MIN"), QStringLiteral("限价货"), 10, 6, 100);
    FCon->Execute(QStringLiteral("update goodsunit set minsprice = 8 where unitid = :u"), {{QStringLiteral("u"), g.UnitID}});
    // the option off: no warning
    SetOption(QStringLiteral("CHECKMINSALEPRICE"), QStringLiteral("0"));
    TGoodsBillForm* f = Invoice(g, 1, 7.5);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
    delete f;

    // on, at the minimum itself: no warning either
    SetOption(QStringLiteral("CHECKMINSALEPRICE"), QStringLiteral("1"));
    f = Invoice(g, 1, 8);
    EXPECT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
    delete f;

    // a clerk without the right to ignore it sees the warning and cannot pass
    FCon->Execute(QStringLiteral("insert or ignore into operatorright (opid, privilegeid, action) select 2, 34, a from"
                                 " (select 1 as a union select 2 union select 3)"));
    ASSERT_TRUE(LoginAs(2, FCon.get()));
    ASSERT_FALSE(GetUPrivilegeItem(360, paSpecial));
    f = Invoice(g, 1, 7);
    QStringList seen;
    AnswerPrice("btnCancel", &seen);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(seen.value(2), QStringLiteral("may not ignore"));
}

TEST_F(CheckDialogsTest, ServerPriceCheckOfBothSides)
{
    const TGoods g = AddGoods(QStringLiteral("SEL-LIM"), QStringLiteral("限价货"), 10, 6);
    FCon->Execute(QStringLiteral("update goodsunit set minsprice = 8, maxpprice = 7 where unitid = :u"), {{QStringLiteral("u"), g.UnitID}});
    auto line = [&](double price, const char* gift = "F") {
        return TRowValues::FromMap({{QStringLiteral("itemno"), 1},
                           {QStringLiteral("goodsid"), g.GoodsID},
                           {QStringLiteral("unitid"), g.UnitID},
                           {QStringLiteral("unitprice"), price},
                           {QStringLiteral("ispresent"), QString::fromLatin1(gift)}});
    };
    SetOption(QStringLiteral("CHECKMINSALEPRICE"), QStringLiteral("1"));
    SetOption(QStringLiteral("CHECKMAXBUYPRICE"), QStringLiteral("1"));
    struct TCase {
        int CVFlag, StockDir;
        double Price;
        const char* Gift;
        bool Warned;
    } cases[] = {
        {1, -1, 7.99, "F", true},  {1, -1, 8, "F", false}, {1, -1, 0, "T", false}, // a gift line is never a sale below the minimum
        {1, 1, 5, "F", false},                                                    // a sales return gives back what was agreed
        {2, 1, 7.01, "F", true},   {2, 1, 7, "F", false},  {2, -1, 9, "F", false}, // nor does a purchase return
        {3, 0, 1, "F", false},                                                    // stock bills have no price check
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(QStringLiteral("side %1 dir %2 price %3").arg(c.CVFlag).arg(c.StockDir).arg(c.Price).toStdString());
        const TPriceCheck check = CheckLinePrices(*FCon, c.CVFlag, c.StockDir, {line(c.Price, c.Gift)});
        EXPECT_EQ(check.Failed(), c.Warned);
        if (!c.Warned)
            continue;
        TClientDataSet rows;
        rows.LoadFromXMLString(check.LimitRows);
        ASSERT_EQ(rows.RecordCount(), 1);
        EXPECT_EQ(rows.FieldByName(QStringLiteral("code"))->AsString(), g.Code);
        EXPECT_DOUBLE_EQ(rows.FieldByName(c.CVFlag == 1 ? QStringLiteral("sprice") : QStringLiteral("pprice"))->AsFloat(), c.CVFlag == 1 ? 8 : 7);
        EXPECT_TRUE(check.Message.contains(g.Code));
        // below the retail price too, above the reference purchase price too
        EXPECT_FALSE(check.ReferenceRows.isEmpty());
    }
    // a limit of 0 is no limit; an option off checks nothing
    FCon->Execute(QStringLiteral("update goodsunit set minsprice = 0 where unitid = :u"), {{QStringLiteral("u"), g.UnitID}});
    EXPECT_FALSE(CheckLinePrices(*FCon, 1, -1, {line(0.01)}).Failed());
    SetOption(QStringLiteral("CHECKMAXBUYPRICE"), QStringLiteral("0"));
    EXPECT_FALSE(CheckLinePrices(*FCon, 2, 1, {line(100)}).Failed());
}

TEST_F(CheckDialogsTest, APriceWarningWithoutLinesIsNeverShown)
{
    TClientDataSet none;
    none.AddField(QStringLiteral("code"), TFieldType::ftString, 20);
    none.CreateDataSet();
    // an unscripted dialog would throw
    EXPECT_TRUE(CheckPriceLimits(2, &none));
    EXPECT_TRUE(CheckReferencePrices(1, nullptr));
    EXPECT_TRUE(ShowPriceCheck(1, true, TPacketParams()));
    EXPECT_EQ(FMessages->Count(TMessageKind::Modal), 0);
}

// ---------------------------------------------------------------- stock

class StockCheckTest : public CheckDialogsTest {
protected:
    static TPacketParams Answer(const QVector<QVariantList>& rows)
    {
        const QVector<TFieldDef> fields{{QStringLiteral("storename"), TFieldType::ftString, 64}, {QStringLiteral("goodscode"), TFieldType::ftString, 32},
                                        {QStringLiteral("goodsname"), TFieldType::ftString, 64}, {QStringLiteral("specs"), TFieldType::ftString, 32},
                                        {QStringLiteral("unit"), TFieldType::ftString, 16},      {QStringLiteral("batchcode"), TFieldType::ftString, 32},
                                        {QStringLiteral("oldonhand"), TFieldType::ftFloat},      {QStringLiteral("qty"), TFieldType::ftFloat},
                                        {QStringLiteral("newonhand"), TFieldType::ftFloat},      {QStringLiteral("topqty"), TFieldType::ftFloat},
                                        {QStringLiteral("downqty"), TFieldType::ftFloat},        {QStringLiteral("ZeroOnhand"), TFieldType::ftFloat}};
        TPacketParams p;
        p.Set(QStringLiteral("ErrMsg"), QStringLiteral("以下记录库存不足"));
        p.Set(QStringLiteral("ds1"), BuildDataPacketXML(fields, rows));
        return p;
    }
    // The codes and column titles the dialog shows, then its answer by the button named.
    QStringList Shown(int errNo, bool bookStock, const char* button, bool* accepted)
    {
        QStringList seen;
        FMessages->OnModal(QStringLiteral("BillCheckOnHandForm"), [&](QDialog* d) {
            auto* f = FormIn<TBillCheckOnHandForm>(d);
            Expose(d);
            Render(d, QStringLiteral("BillCheckOnHandForm-%1").arg(errNo));
            TDBGrid* grid = errNo == 1503 ? f->dgLimits : f->dgShort;
            seen << (errNo == 1503 ? f->laLimits->text() : f->laShort->text());
            for (int c = 0; c < grid->Model()->columnCount(); ++c)
                seen << grid->Model()->headerData(c, Qt::Horizontal).toString();
            TClientDataSet* rows = grid->Model()->DataSet();
            for (int r = 0; r < rows->RecordCount(); ++r)
                seen << rows->RowValue(r, rows->FieldByName(QStringLiteral("goodscode"))->Index()).toString();
            f->findChild<QPushButton*>(QString::fromLatin1(button))->click();
            return int(QDialog::Accepted);
        });
        const QVector<QVariantList> rows{{"总仓", "G1", "甲", "", "瓶", "", 5.0, -6.0, -1.0, 0.0, 0.0, 4.0},
                                         {"总仓", "G2", "乙", "", "瓶", "B-01", 2.0, -3.0, -1.0, 0.0, 0.0, 2.0},
                                         {"总仓", "G3", "丙", "", "瓶", "B-02", 9.0, -3.0, 6.0, 8.0, 7.0, 9.0}};
        *accepted = ShowStockCheck(errNo, QStringLiteral("以下批次的库存将为负数:"), Answer(rows), bookStock);
        return seen;
    }
};

TEST_F(StockCheckTest, EachReplyShowsItsListAndColumns)
{
    bool accepted = false;
    // batches: only batch lines that go below zero
    QStringList seen = Shown(1502, false, "btnIgnore", &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(seen.first(), QStringLiteral("以下批次的库存将为负数:"));
    EXPECT_TRUE(seen.contains(QStringLiteral("批号")));
    EXPECT_TRUE(seen.contains(QStringLiteral("原库存")) && seen.contains(QStringLiteral("变动数量")) && seen.contains(QStringLiteral("新库存")));
    EXPECT_FALSE(seen.contains(QStringLiteral("账面库存")));
    EXPECT_TRUE(seen.contains(QStringLiteral("G2")));
    EXPECT_FALSE(seen.contains(QStringLiteral("G1")));
    EXPECT_FALSE(seen.contains(QStringLiteral("G3")));

    // goods: every row, the book stock with WARNWHILEZEROONHAND; cancel refuses
    seen = Shown(1501, true, "btnCancel", &accepted);
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(seen.contains(QStringLiteral("账面库存")) && seen.contains(QStringLiteral("新库存"))) << "the book stock beside the stock after";
    EXPECT_TRUE(seen.contains(QStringLiteral("G1")) && seen.contains(QStringLiteral("G2")) && seen.contains(QStringLiteral("G3")));

    // limits: the second list with the upper and lower limits
    seen = Shown(1503, false, "btnIgnore", &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(seen.first(), QStringLiteral("以下货品的库存超出库存上限或低于库存下限:"));
    EXPECT_TRUE(seen.contains(QStringLiteral("库存上限")) && seen.contains(QStringLiteral("库存下限")));
}

TEST_F(StockCheckTest, AnInvoiceBeyondTheStockIsSavedWhenTheWarningIsIgnored)
{
    const TGoods g = AddGoods(QStringLiteral("SEL-STK"), QStringLiteral("少货"), 10, 6, 2);
    TGoodsBillForm* f = Invoice(g, 5, 10);
    ASSERT_NE(f, nullptr);
    QStringList codes;
    FMessages->OnModal(QStringLiteral("BillCheckOnHandForm"), [&](QDialog* d) {
        auto* form = FormIn<TBillCheckOnHandForm>(d);
        for (int r = 0; r < form->cdsShort->RecordCount(); ++r)
            codes << form->cdsShort->RowValue(r, form->cdsShort->FieldByName(QStringLiteral("goodscode"))->Index()).toString()
                  << form->cdsShort->RowValue(r, form->cdsShort->FieldByName(QStringLiteral("newonhand"))->Index()).toString();
        form->btnIgnore->click();
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
    EXPECT_EQ(codes, (QStringList{QStringLiteral("SEL-STK"), QStringLiteral("-3")}));
    EXPECT_DOUBLE_EQ(Db(QStringLiteral("select onhand from onhand where goodsid = :g and storeid = :s"),
                        {{QStringLiteral("g"), g.GoodsID}, {QStringLiteral("s"), Store}})
                         .toDouble(),
                     -3);
}

} // namespace
