// The price dialog of a goods line (reached from the bill, OK keeps and cancel puts back) and
// the small choosers: assembly calculator, user-defined values, goods categories, earlier
// prices and stock movements, each read from the database and rendered.
#include "tests/pickers/SelectionFixture.h"

#include "billcore/BillSession.h"
#include "pickers/SetPriceForm.h"
#include "pickers/SmallDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

class SmallDialogsTest : public TSelectionTest {
protected:
    static double Line(TGoodsBillForm* f, const char* field) { return f->cdsDetail->FieldByName(QString::fromLatin1(field))->AsFloat(); }
    // The line's amount the bill totals, and the bill's total.
    static double LineAmount(TGoodsBillForm* f) { return f->cdsDetail->FieldByName(f->Document()->AmountFieldName)->AsFloat(); }
    static double Total(TGoodsBillForm* f) { return f->cdsMaster->FieldByName(f->Document()->MasterAmountFieldName)->AsFloat(); }
    // Answers the price dialog: the price named is chosen from the list, then the button.
    void AnswerPrice(const QString& choice, const char* button, QStringList* offered)
    {
        FMessages->OnModal(QStringLiteral("SetPriceForm"), [=, this](QDialog* d) {
            auto* f = FormIn<TSetPriceForm>(d);
            Expose(d);
            for (const TPriceChoice& c : f->Choices)
                *offered << c.Name;
            for (int i = 0; i < f->Choices.size(); ++i)
                if (f->Choices[i].Name == choice)
                    f->ChoosePrice(i);
            Render(d, QStringLiteral("SetPriceForm"));
            f->findChild<QPushButton*>(QString::fromLatin1(button))->click();
            return int(QDialog::Accepted);
        });
    }
};

TEST_F(SmallDialogsTest, ThePriceDialogKeepsAChosenPriceAndCancelPutsTheLineBack)
{
    const TGoods g = AddGoods(QStringLiteral("SEL-PRC"), QStringLiteral("定价货"), 10, 6, 100);
    FCon->Execute(QStringLiteral("update goodsunit set lprice1 = 9, lprice2 = 8.5 where unitid = :u"), {{QStringLiteral("u"), g.UnitID}});
    TGoodsBillForm* f = Invoice(g, 4, 7);
    ASSERT_NE(f, nullptr);

    QStringList offered;
    AnswerPrice(QStringLiteral("一级批发价"), "btnOk", &offered);
    f->SetPrice();
    // a selling bill offers sale prices only, those never set left out
    // (the client's level price is the first wholesale level)
    EXPECT_EQ(offered, (QStringList{QStringLiteral("参考零售价"), QStringLiteral("一级批发价"), QStringLiteral("二级批发价"), QStringLiteral("参考批发价")}));
    EXPECT_DOUBLE_EQ(Line(f, "unitprice"), 9);
    EXPECT_NEAR(Line(f, "goodsamt"), 36, 0.005) << "the line routines priced the amount";
    const double amount = LineAmount(f);
    EXPECT_GT(amount, 0);
    EXPECT_NEAR(Total(f), amount, 0.005) << "the bill's total follows";

    offered.clear();
    AnswerPrice(QStringLiteral("参考零售价"), "btnCancel", &offered);
    f->SetPrice();
    EXPECT_DOUBLE_EQ(Line(f, "unitprice"), 9) << "cancel restores the line as it was";
    EXPECT_NEAR(Line(f, "goodsamt"), 36, 0.005);
    EXPECT_NEAR(LineAmount(f), amount, 0.005);
    EXPECT_NEAR(Total(f), amount, 0.005);

    // a buying bill sees the purchase prices instead
    TSetPriceRequest r;
    r.GoodsID = g.GoodsID;
    r.UnitID = g.UnitID;
    r.CVFlag = 2;
    QStringList names;
    for (const TPriceChoice& c : SetPriceChoices(FCon.get(), TBillSession::FromHost(), r))
        names << c.Name;
    EXPECT_EQ(names, QStringList{QStringLiteral("参考购货价")});
}

TEST_F(SmallDialogsTest, TheAssemblyCalculatorTakesTheScarcestComponent)
{
    const TGoods kit = AddGoods(QStringLiteral("SEL-KIT"), QStringLiteral("组合货"), 50, 30);
    const TGoods a = AddGoods(QStringLiteral("SEL-P1"), QStringLiteral("部件一"), 5, 3, 10);
    const TGoods b = AddGoods(QStringLiteral("SEL-P2"), QStringLiteral("部件二"), 5, 3, 7);
    auto part = [&](int item, const TGoods& p, int unit, double qty) {
        FCon->Execute(QStringLiteral("insert into gcmb (goodsid, itemno, cmbgoodsid, cmbunitid, quantity) values (:k, :i, :g, :u, :q)"),
                      {{QStringLiteral("k"), kit.GoodsID}, {QStringLiteral("i"), item}, {QStringLiteral("g"), p.GoodsID},
                       {QStringLiteral("u"), unit}, {QStringLiteral("q"), qty}});
    };
    part(1, a, a.UnitID, 2);
    part(2, b, b.UnitID, 1);
    TCombinCalc c = CalcCanCombine(FCon.get(), kit.GoodsID, Store);
    EXPECT_EQ(c.MaxCanCmb, 5);
    ASSERT_EQ(c.Parts.size(), 2);
    EXPECT_DOUBLE_EQ(c.Parts[0].NeedQty, 10);
    EXPECT_DOUBLE_EQ(c.Parts[1].NeedQty, 5);

    // a component counted in packs of 12 needs 12 base units per finished goods
    FCon->Execute(QStringLiteral("update gcmb set cmbunitid = :u where goodsid = :k and itemno = 2"),
                  {{QStringLiteral("u"), b.PackUnitID}, {QStringLiteral("k"), kit.GoodsID}});
    EXPECT_EQ(CalcCanCombine(FCon.get(), kit.GoodsID, Store).MaxCanCmb, 0);
    EXPECT_EQ(CalcCanCombine(FCon.get(), a.GoodsID, Store).MaxCanCmb, 0) << "goods without components";

    TCanCombinCalForm form(FCon.get(), TBillSession::FromHost());
    FCon->Execute(QStringLiteral("update gcmb set cmbunitid = :u where goodsid = :k and itemno = 2"),
                  {{QStringLiteral("u"), b.UnitID}, {QStringLiteral("k"), kit.GoodsID}});
    form.Calculate(kit.GoodsID, Store);
    EXPECT_TRUE(form.MaxCanCmb->text().contains(u'5'));
    EXPECT_EQ(form.cdsParts->RecordCount(), 2);
    form.show();
    Render(&form, QStringLiteral("CanCombinCalForm"));
}

TEST_F(SmallDialogsTest, ChoosersReadTheirListsAndAnswerWhatWasChosen)
{
    // user-defined values, newest first, written into the target field
    FCon->Execute(QStringLiteral("insert into am_kind (id, kind, name) values (9001, 77, '旧说明'), (9002, 77, '新说明'), (9003, 78, '别类')"));
    TSelectUserDefForm userDef(FCon.get(), TBillSession::FromHost());
    userDef.Open(77, QString());
    EXPECT_EQ(userDef.laTitle->text(), QStringLiteral("用户自定义字段"));
    ASSERT_EQ(userDef.lbNames->count(), 2);
    EXPECT_EQ(userDef.lbNames->item(0)->text(), QStringLiteral("新说明"));
    userDef.show();
    Render(&userDef, QStringLiteral("SelectUserDefForm"));
    TClientDataSet target;
    target.AddField({QStringLiteral("memo"), TFieldType::ftString, 255});
    target.CreateDataSet();
    target.Append();
    FMessages->OnModal(QStringLiteral("SelectUserDefForm"), [&](QDialog* d) {
        auto* f = FormIn<TSelectUserDefForm>(d);
        f->lbNames->setCurrentRow(1);
        f->btnOk->click();
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(ShowSelectUserDef(77, QStringLiteral("备注"), &target, QStringLiteral("memo")));
    EXPECT_EQ(target.FieldByName(QStringLiteral("memo"))->AsString(), QStringLiteral("旧说明"));

    // categories: all, some (quoted), the unclassified entry as a flag
    const QStringList offered{QStringLiteral("饮料"), QStringLiteral("O'Brien"), kOtherCategories};
    EXPECT_TRUE(CategoryChoice(offered, offered).All);
    const TCategoryChoice some = CategoryChoice(offered, {QStringLiteral("O'Brien"), kOtherCategories});
    EXPECT_FALSE(some.All);
    EXPECT_TRUE(some.WithUnclassified);
    EXPECT_EQ(some.Condition, QStringLiteral("And GT.Name in('O''Brien')"));
    TLackGoodsFilterForm lack(FCon.get(), TBillSession::FromHost());
    lack.SetCategories(offered);
    lack.lbLack->setCurrentRow(0);
    lack.Include();
    EXPECT_EQ(lack.Choice().Names, QStringList{QStringLiteral("饮料")});
    lack.IncludeAll();
    EXPECT_TRUE(lack.Choice().All);
    lack.ExcludeAll();
    lack.lbLack->setCurrentItem(lack.lbLack->findItems(kOtherCategories, Qt::MatchExactly).value(0));
    lack.Include();
    lack.show();
    Render(&lack, QStringLiteral("LackGoodsFilterForm"));
    EXPECT_TRUE(lack.Choice().WithUnclassified);

    // earlier prices and stock movements open on the demo data without a message
    const int goods = Db(QStringLiteral("select min(goodsid) from goods")).toInt();
    const int unit = Db(QStringLiteral("select unitid from goodsunit where goodsid = :g and unittype = 0"), {{QStringLiteral("g"), goods}}).toInt();
    TSelInProductPriceForm prices(FCon.get(), TBillSession::FromHost());
    prices.Open(goods, unit);
    EXPECT_FALSE(prices.laGoods->text().isEmpty());
    prices.show();
    Render(&prices, QStringLiteral("SelInProductPriceForm"));
    TInOutSelectorForm inOut(FCon.get(), TBillSession::FromHost());
    inOut.Open(0);
    EXPECT_TRUE(inOut.cdsBills->Active());
    inOut.show();
    Render(&inOut, QStringLiteral("InOutSelectorForm"));
    EXPECT_EQ(FMessages->Count(TMessageKind::Error), 0) << FMessages->Texts().join(u'\n').toStdString();
}

} // namespace
