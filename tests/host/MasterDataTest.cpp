// The master-data engine on the demo books: what the editors write, what they refuse (and
// that a refusal leaves the books as they were), the rights, stale edits and the lists.
#include "tests/support/DemoDb.h"

#include "host/MasterData.h"

namespace {

class TMasterDataTest : public TDemoDbTest {
protected:
    TMasterEditor Editor(TMasterKind kind) { return TMasterEditor(kind, &Con(), TMasterSession::FromConnection(&Con())); }
    int Count(const QString& sql) { return Scalar(sql).toInt(); }

    // A goods item with a base unit and a box of 24, not saved yet.
    TMasterEditor NewGoods(const QString& code)
    {
        TMasterEditor e = Editor(TMasterKind::Goods);
        e.SetValue(QStringLiteral("code"), code);
        e.SetValue(QStringLiteral("name"), QStringLiteral("可口可乐330ml"));
        e.SetValue(QStringLiteral("specs"), QStringLiteral("330ml"));
        e.Units[0].Name = QStringLiteral("瓶");
        e.Units[0].Barcode = QStringLiteral("6901234500017");
        e.Units[0].PPrice = 1.8;
        e.Units[0].SPrice = 2.5;
        e.Units[0].LPrice[0] = 2.3;
        e.Units[0].MinSPrice = 2.0;
        e.Units[0].MaxPPrice = 2.1;
        TGoodsUnitRow box;
        box.Name = QStringLiteral("箱");
        box.Rate = 24;
        box.Barcode = QStringLiteral("6901234500024");
        box.SPrice = 58;
        e.Units << box;
        return e;
    }
};

TEST_F(TMasterDataTest, ANewGoodsItemIsWrittenWithItsUnitsPricesAndInitials)
{
    const int before = Scalar(QStringLiteral("select max(goodsid) from goods")).toInt();
    TMasterEditor e = NewGoods(QStringLiteral("N0001"));
    EXPECT_EQ(e.Value(QStringLiteral("pyassist")).toString(), QStringLiteral("KKKL330ML"));
    e.SetValue(QStringLiteral("batchctrl"), QStringLiteral("T"));
    e.SetValue(QStringLiteral("validdates"), QStringLiteral("180"));
    e.SetValue(QStringLiteral("inf_costingtypeid"), 3);
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();

    const int id = e.Id();
    EXPECT_GT(id, before) << "keys continue after the rows already there";
    TClientDataSet g;
    Con().OpenDataSet(QStringLiteral("select * from goods where goodsid = :g"), &g, {{QStringLiteral("g"), id}});
    EXPECT_EQ(g.FieldByName(QStringLiteral("code"))->AsString(), QStringLiteral("N0001"));
    EXPECT_EQ(g.FieldByName(QStringLiteral("unit"))->AsString(), QStringLiteral("瓶")) << "the base unit's name";
    EXPECT_EQ(g.FieldByName(QStringLiteral("pyassist"))->AsString(), QStringLiteral("KKKL330ML"));
    EXPECT_EQ(g.FieldByName(QStringLiteral("batchctrl"))->AsString(), QStringLiteral("T"));
    EXPECT_EQ(g.FieldByName(QStringLiteral("validdates"))->AsInteger(), 180);
    EXPECT_EQ(g.FieldByName(QStringLiteral("inf_costingtypeid"))->AsInteger(), 3);
    EXPECT_EQ(g.FieldByName(QStringLiteral("kind"))->AsInteger(), 1);
    EXPECT_DOUBLE_EQ(g.FieldByName(QStringLiteral("taxrate"))->AsFloat(), 17);

    TClientDataSet u;
    Con().OpenDataSet(QStringLiteral("select * from goodsunit where goodsid = :g order by unittype, rate"), &u, {{QStringLiteral("g"), id}});
    ASSERT_EQ(u.RecordCount(), 2);
    EXPECT_EQ(u.FieldByName(QStringLiteral("unittype"))->AsInteger(), 0);
    EXPECT_DOUBLE_EQ(u.FieldByName(QStringLiteral("rate"))->AsFloat(), 1);
    EXPECT_DOUBLE_EQ(u.FieldByName(QStringLiteral("lprice1"))->AsFloat(), 2.3);
    EXPECT_TRUE(u.FieldByName(QStringLiteral("lprice2"))->IsNull()) << "a level without a price stays empty";
    EXPECT_DOUBLE_EQ(u.FieldByName(QStringLiteral("minsprice"))->AsFloat(), 2.0);
    EXPECT_DOUBLE_EQ(u.FieldByName(QStringLiteral("maxpprice"))->AsFloat(), 2.1);
    u.Next();
    EXPECT_EQ(u.FieldByName(QStringLiteral("unittype"))->AsInteger(), 1);
    EXPECT_DOUBLE_EQ(u.FieldByName(QStringLiteral("rate"))->AsFloat(), 24);
    EXPECT_EQ(u.FieldByName(QStringLiteral("barcode"))->AsString(), QStringLiteral("6901234500024"));

    // Read back, the editor holds what it wrote, keys included.
    TMasterEditor again = Editor(TMasterKind::Goods);
    ASSERT_TRUE(again.Load(id));
    ASSERT_EQ(again.Units.size(), 2);
    EXPECT_GT(again.Units[1].UnitID, 0);
    EXPECT_DOUBLE_EQ(again.Units[0].SPrice, 2.5);
    EXPECT_EQ(again.Value(QStringLiteral("specs")).toString(), QStringLiteral("330ml"));
}

TEST_F(TMasterDataTest, PinyinInitialsFollowTheNameUntilTheUserTypesTheirOwn)
{
    TMasterEditor e = Editor(TMasterKind::Client);
    e.SetValue(QStringLiteral("name"), QStringLiteral("重庆银行"));
    EXPECT_EQ(e.Value(QStringLiteral("pyassist")).toString(), QStringLiteral("CQYH"));
    e.SetValue(QStringLiteral("pyassist"), QStringLiteral("CQB"));
    e.SetValue(QStringLiteral("name"), QStringLiteral("重庆银行股份"));
    EXPECT_EQ(e.Value(QStringLiteral("pyassist")).toString(), QStringLiteral("CQB")) << "typed initials stay";
    e.SetValue(QStringLiteral("pyassist"), QString());
    EXPECT_EQ(e.Value(QStringLiteral("pyassist")).toString(), QStringLiteral("CQYHGF")) << "cleared initials follow the name again";

    // A loaded row whose initials are the name's goes on following it.
    TMasterEditor loaded = Editor(TMasterKind::Employee);
    ASSERT_TRUE(loaded.Load(1));
    loaded.SetValue(QStringLiteral("pyassist"), QString());
    loaded.SetValue(QStringLiteral("name"), QStringLiteral("王小明"));
    EXPECT_EQ(loaded.Value(QStringLiteral("pyassist")).toString(), QStringLiteral("WXM"));
}

TEST_F(TMasterDataTest, GoodsRefusalsNameTheProblemAndLeaveTheBooksAlone)
{
    TClientDataSet taken;
    Con().OpenDataSet(QStringLiteral("select top 1 u.barcode, g.code, g.name from goodsunit u join goods g on g.goodsid = u.goodsid "
                                     "where u.barcode is not null order by u.unitid"),
                      &taken);
    const QString usedBarcode = taken.Fields(0)->AsString();
    const QString usedCode = Scalar(QStringLiteral("select min(code) from goods")).toString();
    struct Case {
        const char* What;
        std::function<void(TMasterEditor&)> Change;
        QString Says;
        QString Field;
    };
    const Case cases[] = {
        {"code taken", [&](TMasterEditor& e) { e.SetValue(QStringLiteral("code"), usedCode); }, QStringLiteral("已经存在"), QStringLiteral("code")},
        {"no name", [](TMasterEditor& e) { e.SetValue(QStringLiteral("name"), QStringLiteral("  ")); }, QStringLiteral("货品名称不能为空"), QStringLiteral("name")},
        {"code too long", [](TMasterEditor& e) { e.SetValue(QStringLiteral("code"), QString(33, u'9')); }, QStringLiteral("最多32个字符"), QStringLiteral("code")},
        {"control character", [](TMasterEditor& e) { e.SetValue(QStringLiteral("memo"), QStringLiteral("a\u0007b")); }, QStringLiteral("控制字符"), QStringLiteral("memo")},
        {"bar code of another item", [&](TMasterEditor& e) { e.Units[1].Barcode = usedBarcode; },
         QStringLiteral("已被货品“%1 %2”使用").arg(taken.Fields(1)->AsString(), taken.Fields(2)->AsString()), QStringLiteral("units")},
        {"bar code twice", [](TMasterEditor& e) { e.Units[1].Barcode = e.Units[0].Barcode; }, QStringLiteral("重复"), QStringLiteral("units")},
        {"unit twice", [](TMasterEditor& e) { e.Units[1].Name = QStringLiteral("瓶"); }, QStringLiteral("单位“瓶”重复"), QStringLiteral("units")},
        {"base rate", [](TMasterEditor& e) { e.Units[0].Rate = 6; }, QStringLiteral("换算率必须为1"), QStringLiteral("units")},
        {"zero rate", [](TMasterEditor& e) { e.Units[1].Rate = 0; }, QStringLiteral("换算率必须大于零"), QStringLiteral("units")},
        {"unit without name", [](TMasterEditor& e) { e.Units[1].Name.clear(); }, QStringLiteral("第2个单位的名称不能为空"), QStringLiteral("units")},
        {"no unit", [](TMasterEditor& e) { e.Units.clear(); }, QStringLiteral("至少要有一个基本单位"), QStringLiteral("units")},
        {"negative price", [](TMasterEditor& e) { e.Units[1].LPrice[4] = -1.0; }, QStringLiteral("价格不能为负数"), QStringLiteral("units")},
        {"negative shelf life", [](TMasterEditor& e) { e.SetValue(QStringLiteral("validdates"), -3); }, QStringLiteral("不能为负数"), QStringLiteral("validdates")},
        {"text for a number", [](TMasterEditor& e) { e.SetValue(QStringLiteral("taxrate"), QStringLiteral("abc")); }, QStringLiteral("必须是数字"), QStringLiteral("taxrate")},
        {"tax over 100", [](TMasterEditor& e) { e.SetValue(QStringLiteral("taxrate"), 117); }, QStringLiteral("税率不能大于100"), QStringLiteral("taxrate")},
        {"service with batches", [](TMasterEditor& e) {
             e.SetValue(QStringLiteral("kind"), 5);
             e.SetValue(QStringLiteral("batchctrl"), QStringLiteral("T"));
         }, QStringLiteral("非库存货品不能进行批次管理"), QStringLiteral("batchctrl")},
        {"individual costing without batches", [](TMasterEditor& e) { e.SetValue(QStringLiteral("inf_costingtypeid"), 2); },
         QStringLiteral("个别计价的货品必须进行批次管理"), QStringLiteral("batchctrl")},
        {"limits crossed", [](TMasterEditor& e) {
             e.SetValue(QStringLiteral("downqty"), 50);
             e.SetValue(QStringLiteral("upqty"), 20);
         }, QStringLiteral("库存下限不能大于库存上限"), QStringLiteral("downqty")},
    };
    const int goods = Count(QStringLiteral("select count(*) from goods"));
    const int units = Count(QStringLiteral("select count(*) from goodsunit"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TMasterEditor e = NewGoods(QStringLiteral("N0002"));
        c.Change(e);
        EXPECT_FALSE(e.Save());
        EXPECT_TRUE(e.LastProblem().Message.contains(c.Says)) << e.LastProblem().Message.toStdString();
        EXPECT_EQ(e.LastProblem().Field, c.Field);
        EXPECT_TRUE(e.IsNew());
    }
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goods")), goods);
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goodsunit")), units);
}

TEST_F(TMasterDataTest, AFailureHalfwayThroughTheSaveUndoesEverything)
{
    // The engine's own error in the middle of the writes: the item is already written when a
    // unit fails.
    Con().ExecuteNative(QStringLiteral("create trigger t_fail before insert on goodsunit when new.unitname = '箱' "
                                       "begin select raise(abort, 'disk full'); end"));
    const int goods = Count(QStringLiteral("select count(*) from goods"));
    const QVariant keys = Scalar(QStringLiteral("select keyvalue from sys_keyvalue where tablename = 'goods'"));
    TMasterEditor e = NewGoods(QStringLiteral("N0003"));
    EXPECT_FALSE(e.Save());
    EXPECT_TRUE(e.LastProblem().Message.startsWith(QStringLiteral("保存货品失败"))) << e.LastProblem().Message.toStdString();
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goods")), goods);
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goods where code = 'N0003'")), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select keyvalue from sys_keyvalue where tablename = 'goods'")), keys);
    EXPECT_TRUE(e.IsNew());
    ASSERT_EQ(e.Units.size(), 2) << "the user's units stay as typed";
    EXPECT_EQ(e.Units[1].UnitID, 0);

    Con().ExecuteNative(QStringLiteral("drop trigger t_fail"));
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goodsunit where goodsid = %1").arg(e.Id())), 2);
}

TEST_F(TMasterDataTest, AUnitInUseKeepsItsRateAndCannotBeRemoved)
{
    struct Use {
        const char* What;
        QString Sql;
    };
    const Use uses[] = {
        {"traded price", QStringLiteral("insert into gvcprice (cvid, goodsid, unitid, cvflag, lastprice) values (2, %1, %2, 1, 1)")},
        {"bill line", QStringLiteral("insert into saledetail (invoiceid, itemno, goodsid, unitid, unitqty) values (777, 1, %1, %2, 1)")},
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.What);
        TMasterEditor e = NewGoods(QStringLiteral("U-") + QString::fromLatin1(use.What).left(4));
        for (TGoodsUnitRow& u : e.Units)
            u.Barcode.clear();
        ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
        const int box = e.Units[1].UnitID;
        EXPECT_FALSE(e.UnitInUse(box));

        // Unused, the box's rate may change.
        e.Units[1].Rate = 12;
        ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
        EXPECT_DOUBLE_EQ(Scalar(QStringLiteral("select rate from goodsunit where unitid = %1").arg(box)).toDouble(), 12);

        Con().Execute(use.Sql.arg(e.Id()).arg(box));
        EXPECT_TRUE(e.UnitInUse(box));
        e.Units[1].Rate = 6;
        EXPECT_FALSE(e.Save());
        EXPECT_TRUE(e.LastProblem().Message.contains(QStringLiteral("不能修改换算率")));
        e.Units[1].Rate = 12;
        e.Units.removeLast();
        EXPECT_FALSE(e.Save());
        EXPECT_TRUE(e.LastProblem().Message.contains(QStringLiteral("不能删除")));
        EXPECT_EQ(Count(QStringLiteral("select count(*) from goodsunit where unitid = %1").arg(box)), 1);

        // Prices of a unit in use still change.
        ASSERT_TRUE(e.Load(e.Id()));
        e.Units[1].SPrice = 60;
        EXPECT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    }
    // A unit nobody used goes away with the row.
    TMasterEditor e = NewGoods(QStringLiteral("U-free"));
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    e.Units.removeLast();
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goodsunit where goodsid = %1").arg(e.Id())), 1);
}

TEST_F(TMasterDataTest, RightsDecideWhoAddsAndWhoChanges)
{
    ASSERT_TRUE(LoginAs(2, &Con())); // the clerk: no rights on master data
    TMasterEditor e = Editor(TMasterKind::Store);
    e.SetValue(QStringLiteral("code"), QStringLiteral("09"));
    e.SetValue(QStringLiteral("name"), QStringLiteral("新仓库"));
    EXPECT_FALSE(e.MayAdd());
    EXPECT_FALSE(e.Save());
    EXPECT_EQ(e.LastProblem().Message, QStringLiteral("您没有新增仓库的权限！"));
    EXPECT_EQ(Count(QStringLiteral("select count(*) from store where code = '09'")), 0);

    Con().Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, %1, 2)").arg(kStorePrivilege));
    TMasterEditor granted = Editor(TMasterKind::Store);
    granted.SetValue(QStringLiteral("code"), QStringLiteral("09"));
    granted.SetValue(QStringLiteral("name"), QStringLiteral("新仓库"));
    ASSERT_TRUE(granted.Save()) << granted.LastProblem().Message.toStdString();

    // Adding is not changing.
    granted.SetValue(QStringLiteral("name"), QStringLiteral("改名仓库"));
    EXPECT_FALSE(granted.Save());
    EXPECT_EQ(granted.LastProblem().Message, QStringLiteral("您没有修改仓库的权限！"));
    EXPECT_EQ(Scalar(QStringLiteral("select name from store where code = '09'")).toString(), QStringLiteral("新仓库"));
    // ... nor is it the right of another kind.
    EXPECT_FALSE(Editor(TMasterKind::Goods).MayAdd());
}

TEST_F(TMasterDataTest, PartnersKeepContactsTermsAndTheirSide)
{
    TMasterEditor v = Editor(TMasterKind::Vendor);
    v.SetValue(QStringLiteral("code"), QStringLiteral("G9001"));
    v.SetValue(QStringLiteral("name"), QStringLiteral("杭州新叶茶业有限公司"));
    v.SetValue(QStringLiteral("areaid"), 2);
    v.SetValue(QStringLiteral("credit"), QStringLiteral("50000.456"));
    v.SetValue(QStringLiteral("creditdays"), 45);
    v.SetValue(QStringLiteral("taxid"), QStringLiteral("330100123456789"));
    v.SetValue(QStringLiteral("bank"), QStringLiteral("中国银行杭州分行"));
    v.SetValue(QStringLiteral("bankid"), QStringLiteral("6216600000000001"));
    v.Contacts << TContactRow{0, QStringLiteral("林经理"), QStringLiteral("经理"), QStringLiteral("0571-1"), {}, {}, false}
               << TContactRow{0, QStringLiteral("叶会计"), QStringLiteral("会计"), {}, QStringLiteral("139"), {}, true};
    ASSERT_TRUE(v.Save()) << v.LastProblem().Message.toStdString();
    const int id = v.Id();

    TClientDataSet c;
    Con().OpenDataSet(QStringLiteral("select * from client where clientid = :c"), &c, {{QStringLiteral("c"), id}});
    EXPECT_EQ(c.FieldByName(QStringLiteral("clientkind"))->AsInteger(), 2);
    EXPECT_EQ(c.FieldByName(QStringLiteral("shortname"))->AsString(), QStringLiteral("杭州新叶茶业有限公司")) << "no short name: the full one";
    EXPECT_EQ(c.FieldByName(QStringLiteral("pyassist"))->AsString(), QStringLiteral("HZXYCYYXGS"));
    EXPECT_DOUBLE_EQ(c.FieldByName(QStringLiteral("credit"))->AsFloat(), 50000.46);
    EXPECT_EQ(c.FieldByName(QStringLiteral("creditdays"))->AsInteger(), 45);
    EXPECT_EQ(c.FieldByName(QStringLiteral("contator"))->AsString(), QStringLiteral("叶会计")) << "the master contact";
    EXPECT_EQ(c.FieldByName(QStringLiteral("bankid"))->AsString(), QStringLiteral("6216600000000001"));

    // The contacts hang where the bills look for them: client -> trader -> contact.
    EXPECT_EQ(Scalar(QStringLiteral("select top 1 CL.name from crm_linkman CL left join crm_trader CT on CL.traderid = CT.id "
                                    "left join Client C on CT.traderid = C.ClientID where C.clientid = %1 order by ismaster desc, CL.id")
                         .arg(id))
                  .toString(),
              QStringLiteral("叶会计"));

    TMasterEditor again = Editor(TMasterKind::Vendor);
    ASSERT_TRUE(again.Load(id));
    ASSERT_EQ(again.Contacts.size(), 2);
    EXPECT_EQ(again.Contacts[0].Name, QStringLiteral("叶会计")) << "the master contact first";
    // Taken off the list, a contact is closed: bills that name it keep it.
    again.Contacts.removeFirst();
    ASSERT_TRUE(again.Save()) << again.LastProblem().Message.toStdString();
    EXPECT_EQ(Count(QStringLiteral("select count(*) from crm_linkman where clientid = %1").arg(id)), 2);
    EXPECT_EQ(Count(QStringLiteral("select count(*) from crm_linkman where clientid = %1 and closed = 0").arg(id)), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select contator from client where clientid = %1").arg(id)).toString(), QStringLiteral("林经理"))
        << "the one left leads";

    again.Contacts << TContactRow{0, QStringLiteral("甲"), {}, {}, {}, {}, true} << TContactRow{0, QStringLiteral("乙"), {}, {}, {}, {}, true};
    EXPECT_FALSE(again.Save());
    EXPECT_TRUE(again.LastProblem().Message.contains(QStringLiteral("只能有一个主联系人")));
    again.Contacts.removeLast();
    again.Contacts.last().Name.clear();
    EXPECT_FALSE(again.Save());
    EXPECT_TRUE(again.LastProblem().Message.contains(QStringLiteral("姓名不能为空")));

    // A vendor is listed among vendors only, until it also buys from us.
    TClientDataSet rows;
    SearchMasterRows(&Con(), TMasterKind::Client, QStringLiteral("G9001"), &rows);
    EXPECT_TRUE(rows.IsEmpty());
    SearchMasterRows(&Con(), TMasterKind::Vendor, QStringLiteral("G9001"), &rows);
    EXPECT_EQ(rows.RecordCount(), 1);
    ASSERT_TRUE(v.Load(id));
    v.SetValue(QStringLiteral("isdouble"), true);
    ASSERT_TRUE(v.Save()) << v.LastProblem().Message.toStdString();
    SearchMasterRows(&Con(), TMasterKind::Client, QStringLiteral("G9001"), &rows);
    EXPECT_EQ(rows.RecordCount(), 1);
}

TEST_F(TMasterDataTest, AnEditSavedByAnotherUserMeanwhileIsNotOverwritten)
{
    TMasterEditor first = Editor(TMasterKind::Client);
    TMasterEditor second = Editor(TMasterKind::Client);
    ASSERT_TRUE(first.Load(2));
    ASSERT_TRUE(second.Load(2));
    first.SetValue(QStringLiteral("phone"), QStringLiteral("111"));
    ASSERT_TRUE(first.Save()) << first.LastProblem().Message.toStdString();
    second.SetValue(QStringLiteral("phone"), QStringLiteral("222"));
    EXPECT_FALSE(second.Save());
    EXPECT_TRUE(second.LastProblem().Message.contains(QStringLiteral("已被其他用户修改")));
    EXPECT_EQ(Scalar(QStringLiteral("select phone from client where clientid = 2")).toString(), QStringLiteral("111"));
    // Reopened, it saves.
    ASSERT_TRUE(second.Load(2));
    second.SetValue(QStringLiteral("phone"), QStringLiteral("222"));
    EXPECT_TRUE(second.Save()) << second.LastProblem().Message.toStdString();
}

TEST_F(TMasterDataTest, StoresEmployeesAccountsAndPayTypes)
{
    TMasterEditor s = Editor(TMasterKind::Store);
    s.SetValue(QStringLiteral("code"), QStringLiteral("04"));
    s.SetValue(QStringLiteral("name"), QStringLiteral("总店二号库"));
    s.SetValue(QStringLiteral("shopid"), 1);
    s.SetValue(QStringLiteral("isdefault"), true);
    s.Operators = {1, 2};
    ASSERT_TRUE(s.Save()) << s.LastProblem().Message.toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("select operators from store where storeid = %1").arg(s.Id())).toString(), QStringLiteral("|1|2|"));
    EXPECT_EQ(Count(QStringLiteral("select count(*) from store where shopid = 1 and isdefault = 1")), 1) << "one default store per branch";
    EXPECT_EQ(Count(QStringLiteral("select isdefault from store where storeid = 3")), 1) << "the other branch keeps its default";
    ASSERT_TRUE(s.Load(s.Id()));
    EXPECT_EQ(s.Operators, (QList<int>{1, 2}));

    TMasterEditor e = Editor(TMasterKind::Employee);
    e.SetValue(QStringLiteral("code"), QStringLiteral("E900"));
    e.SetValue(QStringLiteral("name"), QStringLiteral("欧阳明"));
    e.SetValue(QStringLiteral("departmentid"), 3);
    e.SetValue(QStringLiteral("sex"), QStringLiteral("男"));
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    TClientDataSet emp;
    Con().OpenDataSet(QStringLiteral("select * from employ where empid = %1").arg(e.Id()), &emp);
    EXPECT_EQ(emp.FieldByName(QStringLiteral("department"))->AsInteger(), 3) << "both department columns";
    EXPECT_EQ(emp.FieldByName(QStringLiteral("sign"))->AsString(), QStringLiteral("T"));
    EXPECT_EQ(emp.FieldByName(QStringLiteral("isoperate"))->AsString(), QStringLiteral("T"));
    EXPECT_EQ(emp.FieldByName(QStringLiteral("pyassist"))->AsString(), QStringLiteral("OYM"));
    EXPECT_EQ(emp.FieldByName(QStringLiteral("shopid"))->AsInteger(), 0) << "nothing chosen: the head office";

    TMasterEditor b = Editor(TMasterKind::Bank);
    b.SetValue(QStringLiteral("code"), QStringLiteral("09"));
    b.SetValue(QStringLiteral("name"), QStringLiteral("招行一般户"));
    b.SetValue(QStringLiteral("balance"), 1000);
    ASSERT_TRUE(b.Save()) << b.LastProblem().Message.toStdString();
    b.SetValue(QStringLiteral("balance"), 5000);
    b.SetValue(QStringLiteral("accountno"), QStringLiteral("955880001"));
    ASSERT_TRUE(b.Save()) << b.LastProblem().Message.toStdString();
    EXPECT_DOUBLE_EQ(Scalar(QStringLiteral("select balance from bank where bankid = %1").arg(b.Id())).toDouble(), 1000)
        << "the balance is the bills' once the account exists";
    EXPECT_EQ(Scalar(QStringLiteral("select accountno from bank where bankid = %1").arg(b.Id())).toString(), QStringLiteral("955880001"));

    TMasterEditor p = Editor(TMasterKind::PayType);
    p.SetValue(QStringLiteral("code"), QStringLiteral("09"));
    EXPECT_FALSE(p.Save());
    EXPECT_EQ(p.LastProblem().Message, QStringLiteral("结算方式不能为空！"));
    p.SetValue(QStringLiteral("name"), QStringLiteral("微信支付"));
    p.SetValue(QStringLiteral("bankid"), b.Id());
    ASSERT_TRUE(p.Save()) << p.LastProblem().Message.toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("select bankid from paytype where paytypeid = %1").arg(p.Id())).toInt(), b.Id());
}

TEST_F(TMasterDataTest, ListsFindByCodeNameInitialsAndBarCode)
{
    TClientDataSet rows;
    auto codes = [&rows] {
        QStringList l;
        for (rows.First(); !rows.Eof(); rows.Next())
            l << rows.FieldByName(QStringLiteral("code"))->AsString();
        return l;
    };
    const int goods = Count(QStringLiteral("select count(*) from goods where closed = 'F'"));
    SearchMasterRows(&Con(), TMasterKind::Goods, QString(), &rows);
    EXPECT_EQ(rows.RecordCount(), goods);
    EXPECT_FALSE(rows.FieldByName(QStringLiteral("id"))->Visible) << "the key is not shown";
    EXPECT_EQ(rows.FieldByName(QStringLiteral("name"))->DisplayLabel, QStringLiteral("货品名称"));
    SearchMasterRows(&Con(), TMasterKind::Goods, QString(), &rows, 5);
    EXPECT_EQ(rows.RecordCount(), 5);

    TMasterEditor e = NewGoods(QStringLiteral("N_01"));
    e.SetValue(QStringLiteral("name"), QStringLiteral("百分百果汁"));
    ASSERT_TRUE(e.Save()) << e.LastProblem().Message.toStdString();
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("bfbgz"), &rows);
    EXPECT_EQ(codes(), QStringList{QStringLiteral("N_01")}) << "initials typed in lower case";
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("6901234500024"), &rows);
    EXPECT_EQ(codes(), QStringList{QStringLiteral("N_01")}) << "the box's bar code";
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("_"), &rows);
    EXPECT_EQ(codes(), QStringList{QStringLiteral("N_01")}) << "a typed _ is itself, not any character";
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("果汁"), &rows);
    EXPECT_TRUE(codes().contains(QStringLiteral("N_01")));

    e.SetValue(QStringLiteral("closed"), QStringLiteral("T"));
    ASSERT_TRUE(e.Save());
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("bfbgz"), &rows);
    EXPECT_TRUE(rows.IsEmpty()) << "closed rows are left out";
    SearchMasterRows(&Con(), TMasterKind::Goods, QStringLiteral("bfbgz"), &rows, 1000, true);
    EXPECT_EQ(rows.FieldByName(QStringLiteral("state"))->AsString(), QStringLiteral("停用"));

    // A branch sees the head office's rows and its own.
    SearchMasterRows(&Con(), TMasterKind::Store, QString(), &rows, 1000, false, 2);
    EXPECT_EQ(codes(), QStringList{QStringLiteral("03")});
    Con().Execute(QStringLiteral("update store set shopid = 0 where storeid = 1"));
    SearchMasterRows(&Con(), TMasterKind::Store, QString(), &rows, 1000, false, 2);
    EXPECT_EQ(codes(), (QStringList{QStringLiteral("01"), QStringLiteral("03")}));
    rows.First();
    EXPECT_EQ(rows.FieldByName(QStringLiteral("shopname"))->AsString(), QStringLiteral("总部"));
}

} // namespace
