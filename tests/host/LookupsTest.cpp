#include "HostFixture.h"

class LookupsTest : public TSchemaDbTest {
protected:
    void SetUp() override
    {
        TSchemaDbTest::SetUp();
        ClearRegistries();
        RegisterHostFunctions();
    }
    void TearDown() override
    {
        ClearRegistries();
        TSchemaDbTest::TearDown();
    }
};

TEST_F(LookupsTest, EveryLookupOpensOnTheSchema)
{
    QStringList failed;
    for (const QString& name : LookupNames()) {
        try {
            TClientDataSet* ds = GetLookupDataSet(name);
            if (!ds || !ds->Active())
                failed << name;
        } catch (const Exception& e) {
            failed << name + ": " + e.Message();
        }
    }
    EXPECT_TRUE(failed.isEmpty()) << failed.join('\n').toStdString();
}

TEST_F(LookupsTest, NamesAndDataSourceNamesResolve)
{
    EXPECT_EQ(ResolveLookupName(QStringLiteral("employ_t")), QStringLiteral("Employ_T"));
    EXPECT_EQ(ResolveLookupName(QStringLiteral("Vendor_DS")), QStringLiteral("Vendor_T"));
    EXPECT_EQ(ResolveLookupName(QStringLiteral("GoodsDataSet_DS")), QStringLiteral("GoodsDataSet"));
    EXPECT_EQ(ResolveLookupName(QStringLiteral("InIEType_DS")), QStringLiteral("InIEType_T"));
    EXPECT_EQ(ResolveLookupName(QStringLiteral("Nothing_DS")), QString());
    EXPECT_TRUE(LookupSql(QStringLiteral("Vendor_T")).contains(QStringLiteral("clientkind = 2")));
    EXPECT_EQ(GetLookupDataSet(QStringLiteral("Nothing")), nullptr);
}

TEST_F(LookupsTest, TablesAreCachedUntilReopened)
{
    FCon->Execute(QStringLiteral("insert into department (id, departmentid, code, name) values (1, 1, '01', '销售部')"));
    TClientDataSet* ds = GetLookupDataSet(QStringLiteral("Department_T"));
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->RecordCount(), 1);
    EXPECT_EQ(GetLookupDataSet(QStringLiteral("DEPARTMENT_T")), ds); // one dataset per name

    FCon->Execute(QStringLiteral("insert into department (id, departmentid, code, name) values (2, 2, '02', '采购部')"));
    EXPECT_EQ(GetLookupDataSet(QStringLiteral("Department_T"))->RecordCount(), 1);
    KQParams p;
    GlobalCall(QStringLiteral("CLOSELOOKUPTABLE"), QStringLiteral("Department_T"), &p);
    EXPECT_TRUE(p.GetBool(QStringLiteral("Result")));
    EXPECT_FALSE(ds->Active());
    GlobalCall(QStringLiteral("OPENLOOKUPTABLE"), QStringLiteral("Department_T"), &p);
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(ds->RecordCount(), 2);
    GlobalCall(QStringLiteral("OPENLOOKUPTABLE"), QStringLiteral("NoSuchTable"), &p);
    EXPECT_FALSE(p.GetBool(QStringLiteral("Result")));
}

TEST_F(LookupsTest, GlobalFunctionsAnswerDataSetsAsAddresses)
{
    FCon->Execute(QStringLiteral("insert into client (clientid, code, name, shortname, clientkind, isdouble) values"
                                 " (1, 'C1', '甲公司', '甲', 1, 'F'), (2, 'V1', '乙公司', '乙', 2, 'F'),"
                                 " (3, 'B1', '丙公司', '丙', 1, 'T')"));
    KQParams p;
    const QVariant v = GlobalCallEx(QStringLiteral("GetLookupDataSet"), QStringLiteral("Vendor_T"), &p);
    auto* ds = qobject_cast<TClientDataSet*>(VariantToObject(v));
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds, GetLookupDataSet(QStringLiteral("Vendor_T")));
    EXPECT_EQ(ds->RecordCount(), 2); // the vendor and the party that is both
    EXPECT_EQ(p.GetString(QStringLiteral("SQL")), LookupSql(QStringLiteral("Vendor_T")));

    const QVariant src = GlobalCallEx(QStringLiteral("GETLOOKUPDATASOURCE"), QStringLiteral("Vendor_DS"));
    EXPECT_EQ(VariantToObject(src), ds);
    EXPECT_EQ(VariantToObject(GlobalCallEx(QStringLiteral("GETLOOKUPDATASET"), QStringLiteral("Unknown_T"))), nullptr);
}

TEST_F(LookupsTest, AFailingLookupAnswersTheClosedDataSetAndIsLogged)
{
    RegisterLookup(QStringLiteral("Broken_T"), QStringLiteral("select * from no_such_table"));
    EXPECT_THROW(GetLookupDataSet(QStringLiteral("Broken_T")), Exception);
    const QVariant v = GlobalCallEx(QStringLiteral("GETLOOKUPDATASET"), QStringLiteral("Broken_T"));
    auto* ds = qobject_cast<TClientDataSet*>(VariantToObject(v));
    ASSERT_NE(ds, nullptr);
    EXPECT_FALSE(ds->Active());
    QFile log(LogFileName());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Broken_T")));
}

TEST_F(LookupsTest, PaymentTypeDefaultBank)
{
    FCon->Execute(QStringLiteral("insert into bank (bankid, code, name) values (5, '05', '建设银行');"
                                 "insert into paytype (paytypeid, code, name, bankid) values (1, '01', '转帐', 5), (2, '02', '赊帐', null)"));
    KQParams p(QStringLiteral("PayTypeID"), 1);
    EXPECT_EQ(GlobalCallEx(QStringLiteral("GETPAYTYPEDEFAULTBANK"), QString(), &p).toInt(), 5);
    EXPECT_EQ(p.GetInt(QStringLiteral("BankID")), 5);
    EXPECT_EQ(GlobalCallEx(QStringLiteral("GETPAYTYPEDEFAULTBANK"), QStringLiteral("2")).toInt(), 0);
}

TEST_F(LookupsTest, MailAndForeignPackagesSayWhyNothingHappens)
{
    TScriptedMessages msgs;
    KQParams p;
    p.AddValue(QStringLiteral("SendTo"), QStringLiteral("a@b.c"));
    GlobalCall(QStringLiteral("SendKQEmail"), QString(), &p);
    ASSERT_TRUE(p.FindValue(QStringLiteral("Result")));
    EXPECT_FALSE(p.GetBool(QStringLiteral("Result")));
    EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("邮件")));
    KQParams q;
    GlobalCall(QStringLiteral("GOTOSPECIALCRED"), QString(), &q);
    EXPECT_FALSE(q.GetBool(QStringLiteral("Result"), true));
    EXPECT_EQ(msgs.Count(), 2);
}

TEST_F(LookupsTest, FindDataSetsHoldTheirBaseStatement)
{
    RegisterFindDataSet(QStringLiteral("OrdQry"), QStringLiteral("select orderid as BillID from porder"));
    auto* q = qobject_cast<TClientQuery*>(VariantToObject(GlobalCallEx(QStringLiteral("GetFindDataSet"), QStringLiteral("ordqry"))));
    ASSERT_NE(q, nullptr);
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->SQL, QStringLiteral("select orderid as BillID from porder"));
    q->OpenQuery();
    EXPECT_TRUE(q->IsEmpty());
    // A lookup name is answered with the lookup's dataset.
    EXPECT_EQ(VariantToObject(GlobalCallEx(QStringLiteral("GetFindDataSet"), QStringLiteral("Store_T"))),
              GetLookupDataSet(QStringLiteral("Store_T")));
    EXPECT_EQ(VariantToObject(GlobalCallEx(QStringLiteral("GetFindDataSet"), QStringLiteral("NoQry"))), nullptr);
}
