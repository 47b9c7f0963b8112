// Partner data, tax columns, payment terms, banks, marks, print variables and overdue bills
// of a goods bill's master record, without a window over the demo database.
#include "tests/goodsbill/EngineFixture.h"

namespace {

class MasterServicesTest : public TEngineTest {
protected:
    void SetUp() override
    {
        TEngineTest::SetUp();
        Con().Execute(QStringLiteral("insert into employ (empid, code, name, departmentid, sign, isoperate) values"
                                     " (9001, 'E1', '在职业务员', 4, 'T', 'T'), (9002, 'E2', '离职业务员', 5, 'F', 'T'),"
                                     " (9003, 'E3', '不开单业务员', 6, 'T', 'F')"));
        MakeBill(2, tsSales, QStringLiteral("invoiceid"), QStringLiteral("saledetail"), QStringLiteral("invoice"));
    }
    // A contact of the client; the client's trader row is made with the first one.
    void Contact(int clientId, int id, bool master)
    {
        Con().Execute(QStringLiteral("insert or ignore into crm_trader (id, traderid, name) values (:c, :c, 'T')"), {{"c", clientId}});
        Con().Execute(QStringLiteral("insert into crm_linkman (id, traderid, clientid, name, ismaster) values (:id, :c, :c, 'L', :m)"),
                      {{"id", id}, {"c", clientId}, {"m", master ? 1 : 0}});
    }
};

TEST_F(MasterServicesTest, PartnerChangeFillsTheMaster)
{
    const int client = AddPartner(1, QStringLiteral("客户乙"), 9001, 1200.456, 200);
    Contact(client, 9100, false);
    Contact(client, 9102, true);
    Contact(client, 9101, false);
    TypeMaster("clientid", client);
    EXPECT_EQ(M("clientname")->AsString(), "客户乙");
    EXPECT_EQ(M("clientfullname")->AsString(), "客户乙有限公司");
    EXPECT_EQ(M("clientaddress")->AsString(), "南京路1号");
    EXPECT_EQ(M("shipto")->AsString(), "仓库门口");
    EXPECT_EQ(M("billto")->AsString(), "仓库门口");
    EXPECT_EQ(M("phone")->AsString(), "021-1234");
    EXPECT_EQ(M("clientfax")->AsString(), "021-5678");
    EXPECT_EQ(M("contator")->AsString(), "王经理");
    EXPECT_DOUBLE_EQ(M("Credit")->AsFloat(), 5000);
    EXPECT_EQ(M("exemanid")->AsInteger(), 9001);
    EXPECT_EQ(M("EMPID")->AsInteger(), 9001);
    EXPECT_EQ(M("DepartmentID")->AsInteger(), 4);
    EXPECT_EQ(M("linkmanid")->AsInteger(), 9102); // the master contact first
    EXPECT_EQ(Services->ContactFilter, QStringLiteral("closed = 0 and clientid = %1").arg(client));
    EXPECT_DOUBLE_EQ(M("DebtAmt")->AsFloat(), 1000.46);
    EXPECT_DOUBLE_EQ(M("BalAmt")->AsFloat(), -1000.46);

    // a vendor's balance reads the other way; salesmen who left or may not operate count not
    for (int emp : {9002, 9003}) {
        const int vendor = AddPartner(2, QStringLiteral("供应商戊"), emp, 300, 500);
        TypeMaster("clientid", vendor);
        EXPECT_TRUE(M("exemanid")->IsNull()) << emp;
        EXPECT_TRUE(M("EMPID")->IsNull()) << emp;
        EXPECT_TRUE(M("linkmanid")->IsNull());
        EXPECT_DOUBLE_EQ(M("DebtAmt")->AsFloat(), 200);
        EXPECT_DOUBLE_EQ(M("BalAmt")->AsFloat(), -200);
    }
    // an unknown partner leaves the copied fields; no partner clears the balances
    TypeMaster("clientid", 987654);
    EXPECT_EQ(M("clientname")->AsString(), "供应商戊");
    TypeMaster("clientid", QVariant());
    EXPECT_TRUE(M("DebtAmt")->IsNull());
    EXPECT_TRUE(M("BalAmt")->IsNull());
}

TEST_F(MasterServicesTest, PartnerChangeRemovesCopiedLinesOnly)
{
    const int goods = AddGoods({"TB-RICE", "测试大米", "CSDM", 1, 1, false, 0, {{"袋", 1, "", "", 50, 40}}});
    auto fill = [&] {
        TypeMaster("clientid", AddPartner(1, QStringLiteral("客户丙")));
        for (int referBill : {0, 31, 0, 32}) {
            NewLine();
            Type("goodsid", goods);
            if (referBill != 0) {
                Type("refertype", 1);
                Type("referbillid", referBill);
            }
            Detail.Post();
        }
    };
    fill();
    TypeMaster("clientid", AddPartner(1, QStringLiteral("客户丁")));
    ASSERT_EQ(Detail.RecordCount(), 2);
    for (Detail.First(); !Detail.Eof(); Detail.Next())
        EXPECT_TRUE(D("referbillid")->IsNull());
    // stock in/out and the purchase expense keep their lines
    MakeBill(15, tsStock, QStringLiteral("inoutid"), QStringLiteral("dinout"), QStringLiteral("inout"));
    fill();
    TypeMaster("clientid", AddPartner(1, QStringLiteral("客户戊")));
    EXPECT_EQ(Detail.RecordCount(), 4);
}

TEST(MasterRules, TaxColumnsByInvoiceKind)
{
    struct TCase {
        int BillType, Side, Kind;
        bool Separate;
        bool TaxPrice, Amounts, TaxRate;
        const char* Title;
    };
    const TCase cases[] = {
        {6, tsPurchase, 2, false, true, false, false, "合计"},  // price with tax, no tax amount
        {6, tsPurchase, 3, false, false, true, true, "价税合计"},
        {6, tsPurchase, 1, false, false, false, false, "合计"},
        {7, tsPurchase, 2, false, false, false, false, "合计"}, // receipts show no price with tax
        {26, tsPurchase, 2, false, false, false, false, "合计"},
        {1, tsSales, 1, false, false, true, true, "合计"},      // the sales order always shows tax
        {1, tsSales, 2, false, true, true, true, "价税合计"},
        {44, tsSales, 1, false, false, false, false, "合计"},
        {44, tsSales, 3, false, false, true, true, "价税合计"},
        {2, tsSales, 3, false, false, false, true, "价税合计"}, // invoices: amounts only when separated
        {2, tsSales, 3, true, false, true, true, "价税合计"},
        {28, tsSales, 1, true, false, false, false, "合计"},
    };
    for (const TCase& c : cases) {
        const TTaxColumns t = TaxColumnsFor(c.BillType, c.Side, c.Kind, c.Separate);
        const QString what = QStringLiteral("bill %1 kind %2 separate %3").arg(c.BillType).arg(c.Kind).arg(c.Separate);
        EXPECT_TRUE(t.Applies) << qPrintable(what);
        EXPECT_EQ(t.TaxPrice, c.TaxPrice) << qPrintable(what);
        EXPECT_EQ(t.GoodsAmt, c.Amounts) << qPrintable(what);
        EXPECT_EQ(t.TaxAmt, c.Amounts) << qPrintable(what);
        EXPECT_EQ(t.TaxRate, c.TaxRate) << qPrintable(what);
        EXPECT_EQ(t.AmountTitle, QString::fromUtf8(c.Title)) << qPrintable(what);
    }
    EXPECT_FALSE(TaxColumnsFor(13, tsStock, 3, false).Applies);
}

TEST_F(MasterServicesTest, TaxColumnsFollowTheMastersInvoiceKind)
{
    MakeBill(6, tsPurchase);
    TypeMaster("billtypeid", 2);
    EXPECT_TRUE(Services->TaxColumns().TaxPrice);
    EXPECT_FALSE(Services->TaxColumns().TaxAmt);
    TypeMaster("billtypeid", 3);
    EXPECT_EQ(Services->TaxColumns().AmountTitle, "价税合计");
}

TEST_F(MasterServicesTest, DueDateAndTermDaysFollowEachOther)
{
    TypeMaster("billdate", QDateTime(QDate(2024, 3, 1), QTime(14, 30)));
    TypeMaster("termdays", 30);
    EXPECT_EQ(M("CTermDays")->AsDateTime().date(), QDate(2024, 3, 31));
    TypeMaster("termdays", 0);
    EXPECT_EQ(M("CTermDays")->AsDateTime().date(), QDate(2024, 3, 1));
    TypeMaster("CTermDays", QDateTime(QDate(2024, 3, 31), QTime()));
    EXPECT_EQ(M("termdays")->AsInteger(), 30);
    TypeMaster("CTermDays", QDateTime(QDate(2025, 3, 1), QTime()));
    EXPECT_EQ(M("termdays")->AsInteger(), 365);
}

TEST_F(MasterServicesTest, PayTypeTakesItsBankWithinTheBranch)
{
    Con().Execute(QStringLiteral("insert into bank (bankid, code, name, shopid, balance) values (9001, 'B1', '总部户', 0, 1234.5),"
                                 " (9002, 'B2', '分店户', 5, 10), (9003, 'B3', '本店户', 7, 0)"));
    Con().Execute(QStringLiteral("insert into paytype (paytypeid, code, name, bankid) values (9001, 'P1', '转账', 9001),"
                                 " (9002, 'P2', '分店转账', 9002), (9003, 'P3', '现金', null), (9004, 'P4', '本店转账', 9003)"));
    TypeMaster("paytypeid", 9001);
    EXPECT_EQ(M("bankid")->AsInteger(), 9001);
    TypeMaster("paytypeid", 9003); // no bank: the bank stays
    EXPECT_EQ(M("bankid")->AsInteger(), 9001);
    TypeMaster("paytypeid", 9002);
    EXPECT_EQ(M("bankid")->AsInteger(), 9002);
    // in multi-branch mode another branch's bank is not taken
    Ctx.Session.Online = true;
    Ctx.Session.ShopID = 7;
    TypeMaster("paytypeid", 9001);
    EXPECT_EQ(M("bankid")->AsInteger(), 9001);
    TypeMaster("paytypeid", 9002);
    EXPECT_EQ(M("bankid")->AsInteger(), 9001);
    TypeMaster("paytypeid", 9004);
    EXPECT_EQ(M("bankid")->AsInteger(), 9003);
    EXPECT_DOUBLE_EQ(Services->GetBankBalance(9001), 1234.5);
    EXPECT_DOUBLE_EQ(Services->GetBankBalance(424242), 0);
}

TEST_F(MasterServicesTest, EmailAndInvoicingMarks)
{
    const QString code = QStringLiteral("XK'01");
    Con().Execute(QStringLiteral("insert into invoice (invoiceid, code, billdate, sendemail) values (801, :c, '2024-03-01', 'F'),"
                                 " (802, 'XK02', '2024-03-01', 'F')"),
                  {{"c", code}});
    TypeMaster("code", code);
    EXPECT_TRUE(Services->ConfirmResendEmail()); // never sent: no question
    EXPECT_EQ(Services->EmailMarkText(), "");
    Services->MarkEmailSent();
    EXPECT_EQ(Scalar(QStringLiteral("select sendemail from invoice where invoiceid = 801")).toString(), "T");
    EXPECT_EQ(Scalar(QStringLiteral("select sendemail from invoice where invoiceid = 802")).toString(), "F");
    TypeMaster("SendEMail", QStringLiteral("T"));
    EXPECT_EQ(Services->EmailMarkText(), "已发邮件");
    Msgs->AnswerNo();
    EXPECT_FALSE(Services->ConfirmResendEmail());
    EXPECT_EQ(Msgs->Last().Text, "该单据已经发送过邮件，是否重新发送邮件？");
    EXPECT_EQ(Msgs->Last().Caption, "询问");

    EXPECT_EQ(InvoicedMarkText(0, 100), "");
    EXPECT_EQ(InvoicedMarkText(99.99, 100), "部分开票");
    EXPECT_EQ(InvoicedMarkText(100, 100), "已开票");
    EXPECT_EQ(InvoicedMarkText(100.004, 100), "已开票");
    EXPECT_EQ(InvoicedMarkText(-50, -100), "部分开票");
    EXPECT_EQ(InvoicedMarkText(std::nan(""), 100), "");
    TypeMaster("totalamt", 300);
    TypeMaster("checkamt", 120);
    EXPECT_EQ(Services->InvoicedMark(), "部分开票");
}

TEST_F(MasterServicesTest, PartnerPrintVariables)
{
    auto value = [](const TPrintVariables& vars, const QString& name) {
        for (const auto& [key, v] : vars)
            if (key == name)
                return v;
        return QVariant(QStringLiteral("<none>"));
    };
    TypeMaster("clientid", AddPartner(1, QStringLiteral("客户己")));
    TypeMaster("factamount", 1001.5);
    TPrintVariables vars = Services->PartnerPrintVariables();
    EXPECT_EQ(value(vars, "客户名称").toString(), "客户己");
    EXPECT_EQ(value(vars, "客户全称").toString(), "客户己有限公司");
    EXPECT_EQ(value(vars, "客户税号").toString(), "TAX-9");
    EXPECT_EQ(value(vars, "客户地址电话").toString(), "南京路1号 021-1234");
    EXPECT_EQ(value(vars, "客户开户银行及帐号").toString(), "工行 6222");
    EXPECT_EQ(value(vars, "实收大写").toString(), "壹仟零壹元伍角整");
    EXPECT_DOUBLE_EQ(value(vars, "实收小写").toDouble(), 1001.5);
    EXPECT_EQ(value(vars, "供应商名称").toString(), "<none>");
    MakeBill(8, tsPurchase, QStringLiteral("preturnid"), QStringLiteral("prdetail"), QStringLiteral("preturn"));
    TypeMaster("clientid", AddPartner(2, QStringLiteral("供应商庚")));
    vars = Services->PartnerPrintVariables();
    EXPECT_EQ(value(vars, "供应商名称").toString(), "供应商庚");
    EXPECT_NE(value(vars, "实付大写").toString(), "<none>");
    EXPECT_DOUBLE_EQ(value(vars, "实付小写").toDouble(), 0);
}

TEST_F(MasterServicesTest, OverdueBillsOfAClient)
{
    const int client = AddPartner(1, QStringLiteral("客户庚"));
    const QString old = QDate::currentDate().addDays(-40).toString(Qt::ISODate);
    Con().Execute(QStringLiteral("insert into invoice (invoiceid, code, billdate, clientid, termdays) values"
                                 " (901, 'A', :d, :c, 60), (902, 'B', :d, :c, 30)"),
                  {{"d", old}, {"c", client}});
    EXPECT_TRUE(Services->HasOverdueBills(client, 0));
    EXPECT_FALSE(Services->HasOverdueBills(client, 902)); // the invoice itself is left out
    EXPECT_FALSE(Services->HasOverdueBills(client + 1, 0));
    // a settlement past its terms counts for an invoice too
    Con().Execute(QStringLiteral("insert into deputesettlement (deputesettlementid, code, billdate, clientid, termdays)"
                                 " values (902, 'S', :d, :c, 10)"),
                  {{"d", old}, {"c", client}});
    EXPECT_TRUE(Services->HasOverdueBills(client, 902));
}

} // namespace
