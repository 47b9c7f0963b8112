// The goods picker typed into as a user does, its lists checked against the database.
#include "tests/pickers/PickerFixture.h"

#include "host/Messages.h"
#include "host/Pinyin.h"
#include "pickers/PickGoodsForm.h"
#include "pickers/Pickers.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

class GoodsPickerTest : public TPickerTest {
protected:
    std::unique_ptr<TPickGoodsForm> Open(bool multiAdd, int storeId, int cvId = -1, TClientDataSet* target = nullptr,
                                         bool withUnitQty = true, const QString& filter = QString())
    {
        auto f = std::make_unique<TPickGoodsForm>(&Con(), Session());
        f->ACaption = QStringLiteral("测试");
        f->ADataSet = target;
        f->AMultiAdd = multiAdd;
        f->AStoreID = storeId;
        f->ACVID = cvId;
        f->AFilter = filter;
        f->AWithUnitQty = withUnitQty;
        f->InitForm();
        f->show();
        return f;
    }
    QList<int> Listed(TPickGoodsForm* f)
    {
        ReadAll(f);
        return ListIds(f->cdsGoods, QStringLiteral("GoodsID"));
    }
    // A target like a goods bill's detail lines.
    static std::unique_ptr<TClientDataSet> Lines()
    {
        auto t = std::make_unique<TClientDataSet>();
        t->AddField(QStringLiteral("goodsid"), TFieldType::ftInteger);
        t->AddField(QStringLiteral("unitid"), TFieldType::ftInteger);
        t->AddField(QStringLiteral("unitqty"), TFieldType::ftFloat);
        t->CreateDataSet();
        return t;
    }
    void AddGoods(int id, const QString& code, const QString& name, const QString& specs = QString(), int kind = 1)
    {
        Con().Execute(QStringLiteral("insert into goods (goodsid, code, name, specs, kind) values (:id, :code, :name, :specs, :kind)"),
                      {{QStringLiteral("id"), id}, {QStringLiteral("code"), code}, {QStringLiteral("name"), name},
                       {QStringLiteral("specs"), specs}, {QStringLiteral("kind"), kind}});
    }
};

TEST_F(GoodsPickerTest, TypedFiltersCombineAndMatchTheDatabase)
{
    auto f = Open(true, 1);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("选择货品--测试"));
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select goodsid from goods order by code")));

    TypeInto(f.get(), f->edtSpecs, QStringLiteral("ml"));
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select goodsid from goods where specs like '%ml%' order by code")));
    // The code typed next narrows the list the specs filter left instead of replacing it.
    TypeInto(f.get(), f->GoodsCodeED, QStringLiteral("0101"));
    const QList<int> both = DbIds(QStringLiteral("select goodsid from goods where specs like '%ml%' and code like '%0101%' order by code"));
    ASSERT_FALSE(both.isEmpty());
    EXPECT_EQ(Listed(f.get()), both);

    Retype(f.get(), f->edtSpecs, QString());
    Retype(f.get(), f->GoodsCodeED, QString());
    TypeInto(f.get(), f->GoodsNameED, QStringLiteral("牛奶"));
    TypeInto(f.get(), f->PYAssistED, QStringLiteral("cnn"));
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select goodsid from goods where name like '%牛奶%' and pyassist like '%CNN%' "
                                                    "order by code")));
    Retype(f.get(), f->GoodsNameED, QString());
    Retype(f.get(), f->PYAssistED, QString());
    TypeInto(f.get(), f->edtBarCode, QStringLiteral("011"));
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select g.goodsid from goods g join goodsunit u on u.goodsid = g.goodsid "
                                                    "and u.unittype = 0 where u.barcode like '%011%' order by g.code")));
    // Spaces around a text count for nothing; an edit set by code does not filter.
    Retype(f.get(), f->edtBarCode, QStringLiteral("   "));
    f->GoodsCodeED->setText(QStringLiteral("no such code"));
    EXPECT_FALSE(f->FilterPending());
    EXPECT_EQ(Listed(f.get()).size(), Scalar(QStringLiteral("select count(*) from goods")).toInt());
}

TEST_F(GoodsPickerTest, TypesKindsAndStoreStock)
{
    // A non-stock item with stock records in two stores shows their sum whatever the store.
    const int service = Scalar(QStringLiteral("select min(goodsid) from goods where kind between 4 and 6")).toInt();
    ASSERT_GT(service, 0);
    Con().Execute(QStringLiteral("insert into onhand (storeid, goodsid, onhand) values (1, :g, 2), (3, :g, 5)"),
                  {{QStringLiteral("g"), service}});

    auto f = Open(true, 3);
    // A type lists its own goods and those of its sub-types.
    const int food = f->GTypeCB->findText(QStringLiteral("食品饮料"));
    ASSERT_GT(food, 0);
    f->GTypeCB->setCurrentIndex(food);
    const QString lcode = f->GTypeCB->itemData(food).toString();
    const QList<int> typed = DbIds(QStringLiteral("select g.goodsid from goods g join goodstype t on t.goodstypeid = g.goodstypeid "
                                                  "where t.lcode like :l || '%' order by g.code"),
                                   {{QStringLiteral("l"), lcode}});
    EXPECT_GT(typed.size(), 8);
    EXPECT_EQ(Listed(f.get()), typed);
    f->GTypeCB->setCurrentIndex(0);

    // In stock now, in store 3: the figures are store 3's.
    f->InStoreCKB->click();
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select g.goodsid from goods g where (select sum(onhand) from onhand o "
                                                    "where o.goodsid = g.goodsid and o.storeid = 3) > 0 order by g.code")));
    for (f->cdsGoods->First(); !f->cdsGoods->Eof(); f->cdsGoods->Next()) {
        const int id = f->cdsGoods->FieldByName(QStringLiteral("GoodsID"))->AsInteger();
        EXPECT_DOUBLE_EQ(f->cdsGoods->FieldByName(QStringLiteral("OnHand"))->AsFloat(),
                         Scalar(QStringLiteral("select onhand from onhand where storeid = 3 and goodsid = %1").arg(id)).toDouble());
    }
    // Non-stock goods: the stock box is cleared and the figures are summed over all stores.
    f->TypeButtons->button(gkNonStock)->click();
    EXPECT_FALSE(f->InStoreCKB->isChecked());
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select goodsid from goods where kind > 3 and kind < 7 order by code")));
    ASSERT_TRUE(f->cdsGoods->Locate(QStringLiteral("GoodsID"), service));
    EXPECT_DOUBLE_EQ(f->cdsGoods->FieldByName(QStringLiteral("OnHand"))->AsFloat(), 7.0);
    f->TypeButtons->button(gkDiscount)->click();
    EXPECT_EQ(Listed(f.get()), DbIds(QStringLiteral("select goodsid from goods where kind = 7 order by code")));

    // A caller that adds one goods item starts on stock goods, over all stores.
    auto single = Open(false, 3);
    EXPECT_TRUE(single->TypeButtons->button(gkStock)->isChecked());
    EXPECT_EQ(Listed(single.get()), DbIds(QStringLiteral("select goodsid from goods where kind <= 3 order by code")));
    EXPECT_EQ(single->StoreLabel->text(), QStringLiteral("当前仓库:所有仓库"));
    EXPECT_FALSE(single->InStoreCKB->isEnabled());
    EXPECT_FALSE(single->SelAllBtn->isVisibleTo(single.get()));
    EXPECT_EQ(f->StoreLabel->text(), QStringLiteral("当前仓库:分店仓库"));
    EXPECT_TRUE(f->InStoreCKB->isEnabled());
}

TEST_F(GoodsPickerTest, HistoryListsWhatThePartnerTradedBefore)
{
    const int vendor = Scalar(QStringLiteral("select cvid from gvcprice group by cvid order by count(*) desc limit 1")).toInt();
    auto none = Open(true, 1, -1);
    EXPECT_FALSE(none->HistoryGoodsCK->isEnabled());
    auto f = Open(true, 1, vendor);
    EXPECT_TRUE(f->HistoryGoodsCK->isEnabled());
    EXPECT_FALSE(f->HistoryGoodsCK->isChecked());
    f->HistoryGoodsCK->click();
    const QList<int> had = DbIds(QStringLiteral("select distinct g.goodsid, g.code from goods g join gvcprice h on h.goodsid = g.goodsid "
                                                "where h.cvid = :v order by g.code"),
                                 {{QStringLiteral("v"), vendor}});
    ASSERT_FALSE(had.isEmpty());
    EXPECT_EQ(Listed(f.get()), had);
}

TEST_F(GoodsPickerTest, PinyinInitialsAndLiteralText)
{
    AddGoods(90001, QStringLiteral("PYT1"), QStringLiteral("中板测试"));
    AddGoods(90002, QStringLiteral("PYT2"), QStringLiteral("纸杯"));
    AddGoods(90003, QStringLiteral("PYT3"), QStringLiteral("中"));
    AddGoods(90004, QStringLiteral("PYT4"), QStringLiteral("A中板"));
    AddGoods(90005, QStringLiteral("Q%1"), QStringLiteral("百分"));
    AddGoods(90006, QStringLiteral("Q'2"), QStringLiteral("引号"));
    AddGoods(90007, QStringLiteral("Q_3"), QStringLiteral("下划"));
    auto f = Open(true, 1);
    TypeInto(f.get(), f->GoodsCodeED, QStringLiteral("PYT"));
    TypeInto(f.get(), f->PYFindGoodsEdit, QStringLiteral("zb"));
    // Both first characters must have the initials: a one-character name is too short, and
    // a name that starts with a Latin letter has that letter as its first initial.
    EXPECT_EQ(Listed(f.get()), (QList<int>{90001, 90002}));
    Retype(f.get(), f->PYFindGoodsEdit, QStringLiteral("azb"));
    EXPECT_EQ(Listed(f.get()), QList<int>{90004});
    Retype(f.get(), f->PYFindGoodsEdit, QString());
    EXPECT_EQ(Listed(f.get()).size(), 4);

    // Over the whole catalogue the rule agrees with the host's initials of each name.
    Retype(f.get(), f->GoodsCodeED, QString());
    TypeInto(f.get(), f->PYFindGoodsEdit, QStringLiteral("KS"));
    QList<int> expected;
    TClientDataSet all;
    Con().OpenDataSet(QStringLiteral("select goodsid, name from goods order by code"), &all);
    for (all.First(); !all.Eof(); all.Next()) {
        const QString name = all.Fields(1)->AsString();
        if (name.size() >= 2 && GetPYIndexChar(name.left(2)) == QStringLiteral("KS"))
            expected << all.Fields(0)->AsInteger();
    }
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(Listed(f.get()), expected);
    Retype(f.get(), f->PYFindGoodsEdit, QString());

    // What the user types is text, never SQL or a wildcard.
    for (const auto& [typed, id] : {std::pair{QStringLiteral("%"), 90005}, {QStringLiteral("'"), 90006}, {QStringLiteral("_"), 90007}}) {
        Retype(f.get(), f->GoodsCodeED, typed);
        EXPECT_EQ(Listed(f.get()), QList<int>{id}) << typed.toStdString();
    }
}

TEST_F(GoodsPickerTest, PagesFollowTheScrollAndReadEveryRowOnce)
{
    Con().BeginTrans();
    for (int i = 0; i < 350; ++i)
        AddGoods(91000 + i, QStringLiteral("PG%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("分页货品"));
    Con().CommitTrans();
    auto f = Open(true, 1);
    TypeInto(f.get(), f->GoodsCodeED, QStringLiteral("PG"));
    EXPECT_EQ(f->cdsGoods->RecordCount(), kGoodsPageSize);
    EXPECT_FALSE(f->Query().AtEnd());
    // Scrolling to the bottom of the grid reads the next page.
    f->GoodsGrid->scrollToBottom();
    EXPECT_EQ(f->cdsGoods->RecordCount(), 2 * kGoodsPageSize);
    const QList<int> all = Listed(f.get());
    EXPECT_TRUE(f->Query().AtEnd());
    EXPECT_EQ(all, DbIds(QStringLiteral("select goodsid from goods where code like 'PG%' order by code")));
    EXPECT_EQ(all.size(), 350);
}

TEST_F(GoodsPickerTest, AddingGoodsWithUnitAndQuantity)
{
    TScriptedMessages msgs;
    auto lines = Lines();
    auto f = Open(true, 1, -1, lines.get());
    ASSERT_TRUE(f->P_Bottom->isVisibleTo(f.get()));
    TypeInto(f.get(), f->GoodsCodeED, QStringLiteral("0101"));
    const QList<int> listed = Listed(f.get());
    ASSERT_GE(listed.size(), 2);
    f->cdsGoods->First();
    // The unit list holds the units of the goods under the cursor, its base unit chosen.
    const int first = listed[0];
    ASSERT_EQ(f->dlgcUnitName->count(), Scalar(QStringLiteral("select count(*) from goodsunit where goodsid = %1").arg(first)).toInt());
    EXPECT_EQ(f->dlgcUnitName->currentData().toInt(),
              Scalar(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(first)).toInt());
    f->dlgcUnitName->setCurrentIndex(1);
    const int packUnit = f->dlgcUnitName->currentData().toInt();
    f->UnitQtyEdit->setText(QStringLiteral("3"));

    f->SelBtn->click();
    ASSERT_EQ(lines->RecordCount(), 1);
    EXPECT_EQ(lines->State(), TDataSetState::dsInsert); // the caller posts
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), first);
    EXPECT_EQ(lines->FieldByName(QStringLiteral("unitid"))->AsInteger(), packUnit);
    EXPECT_DOUBLE_EQ(lines->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 3.0);
    EXPECT_EQ(f->OkBtn->text(), QStringLiteral("完成"));
    // The cursor moved on: the next click adds the next goods as a new line.
    f->SelBtn->click();
    ASSERT_EQ(lines->RecordCount(), 2);
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), listed[1]);

    f->UnitQtyEdit->setText(QStringLiteral("三"));
    f->SelBtn->click();
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("请输入正确的数量！"));
    EXPECT_EQ(msgs.Last().Caption, QStringLiteral("提示"));
    EXPECT_EQ(lines->RecordCount(), 2);
    // Done: OK now closes as not OK, so the caller adds nothing more.
    f->OkBtn->click();
    EXPECT_EQ(f->ModalResult(), mrCancelled);
}

TEST_F(GoodsPickerTest, OkWritesTheCurrentLineAndShowPickGoodsAnswers)
{
    auto lines = Lines();
    lines->AppendRecord({1, QVariant(), 4.0});
    // Without the quantity field the unit panel stays hidden whatever the caller asks.
    TClientDataSet bare;
    bare.AddField(QStringLiteral("goodsid"), TFieldType::ftInteger);
    bare.AddField(QStringLiteral("unitid"), TFieldType::ftInteger);
    bare.CreateDataSet();
    EXPECT_FALSE(Open(false, -1, -1, &bare)->P_Bottom->isVisibleTo(nullptr));
    auto f = Open(false, -1, -1, lines.get());
    EXPECT_TRUE(f->P_Bottom->isVisibleTo(f.get()));
    EXPECT_EQ(f->UnitQtyEdit->text(), QStringLiteral("4")); // the line's quantity
    f.reset();

    const int wanted = Scalar(QStringLiteral("select goodsid from goods where kind <= 3 and name like '%雪碧%' order by code")).toInt();
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("PickGoodsForm"), [&](QDialog*) {
        EXPECT_EQ(PickGoodsForm->windowTitle(), QStringLiteral("选择货品--货品"));
        TypeInto(PickGoodsForm, PickGoodsForm->GoodsNameED, QStringLiteral("雪碧"));
        PickGoodsForm->OkBtn->click();
        return -1;
    });
    EXPECT_TRUE(ShowPickGoods(QStringLiteral("货品"), lines.get(), false, -1, -1, QString(), true));
    EXPECT_EQ(PickGoodsForm, nullptr);
    // Edit mode: the current line is changed, no line is added.
    ASSERT_EQ(lines->RecordCount(), 1);
    EXPECT_EQ(lines->State(), TDataSetState::dsEdit);
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), wanted);
    EXPECT_DOUBLE_EQ(lines->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 4.0);
    lines->Cancel();

    msgs.OnModal(QStringLiteral("PickGoodsForm"), [&](QDialog*) {
        PickGoodsForm->CancelBtn->click();
        return -1;
    });
    EXPECT_FALSE(ShowPickGoods(QString(), lines.get(), false, -1, -1, QString(), true));
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), 1);
}

TEST_F(GoodsPickerTest, AddAllStopsAboveFiveHundred)
{
    Con().BeginTrans();
    for (int i = 0; i < 501; ++i)
        AddGoods(92000 + i, QStringLiteral("AA%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("整批货品"));
    Con().CommitTrans();
    TScriptedMessages msgs;
    auto lines = Lines();
    auto f = Open(true, 1, -1, lines.get(), false);
    ASSERT_TRUE(f->SelAllBtn->isVisibleTo(f.get()));
    TypeInto(f.get(), f->GoodsCodeED, QStringLiteral("AA"));
    f->SelAllBtn->click();
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("商品数量超过 500 条，不能进行全部添加操作。"));
    EXPECT_TRUE(lines->IsEmpty());

    Con().Execute(QStringLiteral("delete from goods where goodsid = 92500"));
    f->RefreshList();
    msgs.ClearRecords();
    f->SelAllBtn->click();
    EXPECT_EQ(msgs.Count(), 0);
    lines->CheckBrowseMode();
    EXPECT_EQ(lines->RecordCount(), 500);
    lines->First();
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), 92000);
    lines->Last();
    EXPECT_EQ(lines->FieldByName(QStringLiteral("goodsid"))->AsInteger(), 92499);
}

} // namespace
