// A new company without SQL: File -> 新建帐套 makes the books, the editors fill them, and the
// first bill is saved with what was entered; and what a new company's entries may not be.
#include "MasterDataDriver.h"
#include "billcore/BillDocument.h"
#include "billcore/BillSession.h"
#include "host/LoginDialog.h"
#include "host/NewCompany.h"
#include "server/BillProfiles.h"
#include "server/NewCompany.h"

#include <QAction>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

// The new books stay with the host until the next ones replace them.
class TNewCompanyTest : public THostWindowsTest {
protected:
    QString NewFile() const { return FDir.filePath(QStringLiteral("新叶茶业.db")); }
    TNewCompany Entries() const
    {
        TNewCompany c;
        c.FileName = NewFile();
        c.CompanyName = QStringLiteral("杭州新叶茶业有限公司");
        c.FirstYear = 2024;
        c.FirstMonth = 3;
        c.AdminName = QStringLiteral("叶老板");
        c.AdminCode = QStringLiteral("boss");
        c.Password = c.Confirm = QStringLiteral("茶香2024");
        return c;
    }
    static int Count(const QString& sql) { return g_DefaultCon->ExecuteScalar(sql).toInt(); }
    // Opens the list of the menu entry and adds a row through its editor.
    void AddThroughMenu(TMainWindow& w, TScriptedMessages& msgs, const QString& menuCaption, const QString& editor,
                        std::function<void(TMasterEditDialog*)> type)
    {
        QAction* a = w.FindMenuAction(QStringLiteral("基础资料"), menuCaption);
        ASSERT_NE(a, nullptr);
        a->trigger();
        auto* list = qobject_cast<TMasterListForm*>(w.ActiveMdiChild());
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->Rows()->RecordCount(), 0) << "a new company starts without " << menuCaption.toStdString();
        msgs.OnModal(editor, [type](QDialog* d) {
            type(static_cast<TMasterEditDialog*>(d));
            Click(d, QStringLiteral("btnSave"));
            return d->result();
        });
        Click(list, QStringLiteral("btnNew"));
        EXPECT_EQ(list->Rows()->RecordCount(), 1) << msgs.Texts().join(u'|').toStdString();
    }
};

TEST_F(TNewCompanyTest, ACompanyMadeFromTheMenuTakesItsMasterDataAndItsFirstBill)
{
    TMainWindow w;
    w.show();
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("NewCompanyForm"), [&](QDialog* d) {
        auto* dialog = static_cast<TNewCompanyDialog*>(d);
        TypeText(dialog->Edit(QStringLiteral("CompanyName")), QStringLiteral("杭州新叶茶业有限公司"));
        // The file follows the name, beside the books open now.
        EXPECT_EQ(dialog->Edit(QStringLiteral("FileName"))->text(), FDir.filePath(QStringLiteral("杭州新叶茶业有限公司.db")));
        dialog->Edit(QStringLiteral("FileName"))->clear();
        TypeText(dialog->Edit(QStringLiteral("FileName")), NewFile());
        dialog->YearBox()->setValue(2024);
        dialog->MonthBox()->setValue(3);
        dialog->Edit(QStringLiteral("AdminName"))->clear();
        TypeText(dialog->Edit(QStringLiteral("AdminName")), QStringLiteral("叶老板"));
        dialog->Edit(QStringLiteral("AdminCode"))->clear();
        TypeText(dialog->Edit(QStringLiteral("AdminCode")), QStringLiteral("boss"));
        TypeText(dialog->Edit(QStringLiteral("Password")), QStringLiteral("茶香2024"));
        TypeText(dialog->Edit(QStringLiteral("Confirm")), QStringLiteral("茶香2023"));
        RenderPng(dialog, QStringLiteral("NewCompanyForm"));
        Click(dialog, QStringLiteral("btnOK"));
        EXPECT_NE(d->result(), QDialog::Accepted);
        EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("两次输入的密码不一致")));
        EXPECT_FALSE(QFile::exists(NewFile()));
        dialog->Edit(QStringLiteral("Confirm"))->clear();
        TypeText(dialog->Edit(QStringLiteral("Confirm")), QStringLiteral("茶香2024"));
        Click(dialog, QStringLiteral("btnOK"));
        return d->result();
    });
    QAction* newSet = w.FindMenuAction(QStringLiteral("文件"), QStringLiteral("新建帐套..."));
    ASSERT_NE(newSet, nullptr);
    newSet->trigger();
    ASSERT_EQ(msgs.PendingDialogs(), 0);

    // The new books are open, with their administrator logged in.
    ASSERT_NE(g_DefaultCon, &Con());
    EXPECT_EQ(g_DefaultCon->DatabaseFile(), NewFile());
    EXPECT_EQ(g_asUserName, QStringLiteral("叶老板"));
    EXPECT_EQ(g_iSysManager, 1);
    EXPECT_EQ(AccSetData.AccountName, QStringLiteral("杭州新叶茶业有限公司"));
    EXPECT_EQ(g_DefaultCon->Session().OpID, g_iUserID);
    EXPECT_TRUE(w.StatusText().contains(QStringLiteral("新叶茶业.db"))) << w.StatusText().toStdString();
    EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("已经建好并打开")));
    // ... holding no demo rows, but the bill windows and kinds every company needs.
    for (const char* table : {"goods", "client", "store", "employ", "bank", "paytype", "goodstype", "area", "subject", "onhand"})
        EXPECT_EQ(Count(QStringLiteral("select count(*) from %1").arg(QString::fromLatin1(table))), 0) << table;
    EXPECT_EQ(Count(QStringLiteral("select count(distinct WINDOWID) from TEMPLATE")), BillProfiles().size());
    EXPECT_EQ(Count(QStringLiteral("select count(*) from goodskind")), 7);
    EXPECT_EQ(Count(QStringLiteral("select count(*) from billkind")), BillProfiles().size());
    EXPECT_EQ(Count(QStringLiteral("select count(*) from operator")), 1);
    EXPECT_EQ(g_DefaultCon->ExecuteScalar(QStringLiteral("select min(startdate) from accperiod")).toString().left(10), QStringLiteral("2024-03-01"));
    const QDate today = QDate::currentDate();
    EXPECT_EQ(Count(QStringLiteral("select count(*) from accperiod")), (today.year() - 2024) * 12 + today.month() - 3 + 1);
    EXPECT_EQ(AccSetData.PeriodStart, QDate(today.year(), today.month(), 1)) << "the month of today is the current period";
    // The administrator's password works as any other.
    EXPECT_FALSE(LoginWithPassword(g_DefaultCon, 0, QStringLiteral("boss"), QStringLiteral("茶香")).Ok);
    EXPECT_TRUE(LoginWithPassword(g_DefaultCon, 0, QStringLiteral("boss"), QStringLiteral("茶香2024")).Ok);

    // Master data through the editors.
    AddThroughMenu(w, msgs, QStringLiteral("仓库"), QStringLiteral("StoreEditForm"), [](TMasterEditDialog* e) {
        TypeField(e, QStringLiteral("code"), QStringLiteral("01"));
        TypeField(e, QStringLiteral("name"), QStringLiteral("主仓库"));
    });
    AddThroughMenu(w, msgs, QStringLiteral("货品"), QStringLiteral("GoodsEditForm"), [&msgs](TMasterEditDialog* e) {
        msgs.OnModal(QStringLiteral("GoodsTypeNameForm"), [](QDialog* d) {
            static_cast<QInputDialog*>(d)->setTextValue(QStringLiteral("绿茶"));
            return int(QDialog::Accepted);
        });
        Click(e, QStringLiteral("btnAddType"));
        EXPECT_EQ(e->TypeTree()->currentItem()->text(0), QStringLiteral("绿茶"));
        TypeField(e, QStringLiteral("code"), QStringLiteral("LJ001"));
        TypeField(e, QStringLiteral("name"), QStringLiteral("西湖龙井250g"));
        TypeCell(e->UnitsTable(), 0, 0, QStringLiteral("罐"));
        TypeCell(e->UnitsTable(), 0, 4, QStringLiteral("120"));
        TypeCell(e->UnitsTable(), 0, 5, QStringLiteral("198"));
    });
    AddThroughMenu(w, msgs, QStringLiteral("客户"), QStringLiteral("ClientEditForm"), [](TMasterEditDialog* e) {
        TypeField(e, QStringLiteral("code"), QStringLiteral("K001"));
        TypeField(e, QStringLiteral("name"), QStringLiteral("上海静安茶楼"));
        Click(e, QStringLiteral("btnAddContact"));
        TypeCell(e->ContactsTable(), 0, 0, QStringLiteral("周经理"));
    });
    const int storeId = g_DefaultCon->ExecuteScalar(QStringLiteral("select storeid from store")).toInt();
    const int goodsId = g_DefaultCon->ExecuteScalar(QStringLiteral("select goodsid from goods")).toInt();
    const int unitId = g_DefaultCon->ExecuteScalar(QStringLiteral("select unitid from goodsunit")).toInt();
    const int clientId = g_DefaultCon->ExecuteScalar(QStringLiteral("select clientid from client")).toInt();
    EXPECT_EQ(g_DefaultCon->ExecuteScalar(QStringLiteral("select t.name from goods g join goodstype t on t.goodstypeid = g.goodstypeid")).toString(),
              QStringLiteral("绿茶"));

    // The first bill: a sales invoice of that goods item to that client from that store.
    TBillDocument bill(g_DefaultCon, TBillSession::FromHost());
    bill.ApplyProfile(*BillProfileOfForm(QStringLiteral("InvoiceForm")));
    bill.MasterSQL = QStringLiteral("select a.* from invoice a where a.invoiceid = %s");
    bill.DetailSQL = QStringLiteral("select d.* from saledetail d where d.invoiceid = %s order by d.itemno");
    bill.InitDocument();
    bill.NewBill();
    bill.cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(clientId);
    bill.cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(storeId);
    ASSERT_TRUE(bill.AppendLine());
    TClientDataSet* line = bill.cdsDetail;
    line->FieldByName(QStringLiteral("goodsid"))->SetValue(goodsId);
    line->FieldByName(QStringLiteral("unitid"))->SetValue(unitId);
    for (const char* q : {"unitqty", "quantity"})
        line->FieldByName(QString::fromLatin1(q))->SetValue(4);
    for (const char* p : {"unitprice", "price"})
        line->FieldByName(QString::fromLatin1(p))->SetValue(198);
    for (const char* a : {"goodsamt", "amount"})
        line->FieldByName(QString::fromLatin1(a))->SetValue(792);
    line->Post();
    // Nothing is in stock yet: the server's stock warning is accepted.
    msgs.AnswerWhen(QStringLiteral("是否继续保存"), IDYES);
    ASSERT_TRUE(bill.SaveBill()) << msgs.Texts().join(u'|').toStdString();
    EXPECT_GT(bill.CurrentBillID, 0);
    TClientDataSet saved;
    g_DefaultCon->OpenDataSet(QStringLiteral("select m.clientid, m.storeid, m.totalamt, m.code, d.goodsid, d.unitid, d.quantity "
                                             "from invoice m join saledetail d on d.invoiceid = m.invoiceid"),
                              &saved);
    ASSERT_EQ(saved.RecordCount(), 1);
    EXPECT_EQ(saved.Fields(0)->AsInteger(), clientId);
    EXPECT_EQ(saved.Fields(1)->AsInteger(), storeId);
    EXPECT_DOUBLE_EQ(saved.Fields(2)->AsFloat(), 792);
    EXPECT_FALSE(saved.Fields(3)->AsString().isEmpty()) << "the bill got a number";
    EXPECT_EQ(saved.Fields(4)->AsInteger(), goodsId);
    EXPECT_EQ(saved.Fields(5)->AsInteger(), unitId);
    EXPECT_DOUBLE_EQ(g_DefaultCon->ExecuteScalar(QStringLiteral("select onhand from onhand where storeid = %1 and goodsid = %2").arg(storeId).arg(goodsId))
                         .toDouble(),
                     -4);
    // The demo books were not touched.
    EXPECT_EQ(Con().ExecuteScalar(QStringLiteral("select count(*) from goods where code = 'LJ001'")).toInt(), 0);
}

TEST_F(TNewCompanyTest, EntriesANewCompanyRefuses)
{
    struct Case {
        const char* What;
        std::function<void(TNewCompany&)> Change;
        QString Says;
        QString Field;
    };
    QFile used(FDir.filePath(QStringLiteral("used.db")));
    ASSERT_TRUE(used.open(QIODevice::WriteOnly));
    used.write("x");
    used.close();
    const Case cases[] = {
        {"no company", [](TNewCompany& c) { c.CompanyName = QStringLiteral(" "); }, QStringLiteral("请输入公司名称"), QStringLiteral("CompanyName")},
        {"passwords differ", [](TNewCompany& c) { c.Confirm += u'x'; }, QStringLiteral("两次输入的密码不一致"), QStringLiteral("Confirm")},
        {"no password", [](TNewCompany& c) { c.Password = c.Confirm = QString(); }, QStringLiteral("密码"), QStringLiteral("Password")},
        {"month 13", [](TNewCompany& c) { c.FirstMonth = 13; }, QStringLiteral("启用期间不正确"), QStringLiteral("FirstYear")},
        {"year 1999", [](TNewCompany& c) { c.FirstYear = 1999; }, QStringLiteral("启用期间不正确"), QStringLiteral("FirstYear")},
        {"no administrator code", [](TNewCompany& c) { c.AdminCode.clear(); }, QStringLiteral("管理员代码"), QStringLiteral("AdminCode")},
        {"file in use", [&](TNewCompany& c) { c.FileName = used.fileName(); }, QStringLiteral("已经存在"), QStringLiteral("FileName")},
        {"no such folder", [&](TNewCompany& c) { c.FileName = FDir.filePath(QStringLiteral("nowhere/a.db")); }, QStringLiteral("不存在"), QStringLiteral("FileName")},
        {"bad file name", [&](TNewCompany& c) { c.FileName = FDir.filePath(QStringLiteral("a*b.db")); }, QStringLiteral("不能有字符“*”"), QStringLiteral("FileName")},
        {"control character", [](TNewCompany& c) { c.CompanyName += QChar(7); }, QStringLiteral("控制字符"), QStringLiteral("CompanyName")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TNewCompany e = Entries();
        c.Change(e);
        const TNewCompanyProblem p = CheckNewCompany(e);
        EXPECT_TRUE(p.Message.contains(c.Says)) << p.Message.toStdString();
        EXPECT_EQ(p.Field, c.Field);
        EXPECT_THROW(CreateCompanyDatabase(e), Exception);
    }
    EXPECT_TRUE(CheckNewCompany(Entries()).IsEmpty());
    EXPECT_EQ(QDir(FDir.path()).entryList({QStringLiteral("*.db")}, QDir::Files).size(), 2) << "no file left behind";
}

TEST_F(TNewCompanyTest, TheServerBuildsOnlyAnEmptyFileAndLeavesAFullOneAlone)
{
    // On the demo books the method refuses and changes nothing.
    const int goods = Con().ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt();
    TPacketParams request;
    request.Set(QStringLiteral("CompanyName"), QStringLiteral("某公司"));
    request.Set(QStringLiteral("FirstYear"), 2025);
    request.Set(QStringLiteral("FirstMonth"), 1);
    request.Set(QStringLiteral("AdminName"), QStringLiteral("管理员"));
    request.Set(QStringLiteral("AdminCode"), QStringLiteral("admin"));
    request.Set(QStringLiteral("Password"), QStringLiteral("pw"));
    TPacketParams reply;
    reply.LoadFromString(Con().Proxy()->Invoke(QStringLiteral("CreateCompany"), request.ToString()));
    EXPECT_EQ(reply.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_TRUE(reply.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("已经有数据")));
    EXPECT_EQ(Con().ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), goods);

    // A first period ahead of today is the current one; the account name defaults to the company.
    TClientConnection fresh;
    fresh.Open(FDir.filePath(QStringLiteral("ahead.db")));
    request.Set(QStringLiteral("FirstYear"), 2031);
    request.Set(QStringLiteral("FirstMonth"), 7);
    reply.LoadFromString(CreateCompanyMethod(fresh, request.ToString(), QDate(2030, 12, 5)));
    ASSERT_EQ(reply.GetInt(QStringLiteral("ErrNo")), 0) << reply.GetString(QStringLiteral("ErrMsg")).toStdString();
    EXPECT_EQ(fresh.ExecuteScalar(QStringLiteral("select count(*) from accperiod")).toInt(), 1);
    EXPECT_EQ(fresh.ExecuteScalar(QStringLiteral("select year * 100 + month from accperiod where iscurrent = 1")).toInt(), 203107);
    EXPECT_EQ(fresh.ExecuteScalar(QStringLiteral("select accname from accinfo")).toString(), QStringLiteral("某公司"));
    EXPECT_TRUE(fresh.ExecuteScalar(QStringLiteral("select pwhash from operator")).toString().startsWith(QStringLiteral("$argon2id$")));

    // A refused request leaves an empty file empty.
    TClientConnection refused;
    refused.Open(FDir.filePath(QStringLiteral("refused.db")));
    request.Set(QStringLiteral("AdminCode"), QString());
    reply.LoadFromString(CreateCompanyMethod(refused, request.ToString(), QDate(2030, 12, 5)));
    EXPECT_EQ(reply.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_EQ(reply.GetString(QStringLiteral("ErrMsg")), QStringLiteral("管理员代码不能为空！"));
    EXPECT_EQ(refused.ExecuteScalar(QStringLiteral("select count(*) from sqlite_master")).toInt(), 0);
}

} // namespace
