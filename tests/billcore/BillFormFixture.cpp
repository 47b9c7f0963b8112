#include "BillFormFixture.h"

#include "ServerScripts.h"
#include "tests/support/DemoDb.h"

#include <QCoreApplication>
#include <QFile>

TTestPorderForm::TTestPorderForm(QWidget* owner) : TBillBaseForm(owner)
{
    FormPrivilegeID = 38;
    BillType = 6;
    CVFlag = 2;
    MasterTable = QStringLiteral("Porder");
    KeyField = QStringLiteral("OrderID");
    DetailTable = QStringLiteral("orderdetail");
    MasterSQL = QStringLiteral("select a.*, o.opname from Porder a left join operator o on o.opid = a.opid where a.OrderID = %s");
    DetailSQL = QStringLiteral("select d.* from orderdetail d where d.OrderID = %s order by d.itemno");
    SaveProcName = QStringLiteral("Submit_POrder_Save");
    DeleteProcName.clear();
    RedProcName.clear();
    MasterDetailBill = true;
    MasterAmountFieldName = QStringLiteral("amount");
    AmountFieldName = QStringLiteral("amount");
    DBBillType = 22;
    RelevantCredType = -999;
    ReportType = 1;
    CopyExcludedMasterFields = QStringLiteral("billdate,printed,flag,updatetime,referbillid,refercount,finished");
    CopyExcludedDetailFields = QStringLiteral("rcvdqty,refercount");
    setWindowTitle(QStringLiteral("采购订单"));
    InitBillForm();
}

void TBillFormTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    const QString file = FDir.filePath(QStringLiteral("bill.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), file));
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(file);
    g_DefaultCon = FCon.get();
    RegisterServerProcedures();
    RegisterHostFunctions();
    Msgs = std::make_unique<TScriptedMessages>();
    Login(1);
}

void TBillFormTest::TearDown()
{
    // Closing asks nothing: whatever a test left unsaved is dropped.
    for (const QPointer<TTestPorderForm>& f : FForms)
        delete f.data();
    FForms.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Msgs.reset();
    ClearRegistries();
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
    RegisterServerProcedures(); // drops the watched wrappers
}

void TBillFormTest::Login(int opid)
{
    ASSERT_TRUE(LoginAs(opid, FCon.get()));
    AccSetData.WorkDate = QDate(2024, 3, 15);
    AccSetData.PeriodStart = QDate(2024, 3, 1);
    AccSetData.PeriodEnd = QDate(2024, 3, 31);
    g_dtNewBillTime = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
}

void TBillFormTest::Grant(int opid, int privilegeId, int action)
{
    FCon->Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (:o, :p, :a)"),
                  {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}});
    ReloadPrivileges();
}

TTestPorderForm* TBillFormTest::NewForm()
{
    auto* f = new TTestPorderForm();
    FForms.append(f);
    return f;
}

void TBillFormTest::SetMaster(TTestPorderForm* f, const QString& field, const QVariant& v)
{
    f->cdsMaster->FieldByName(field)->SetValue(v);
}

void TBillFormTest::AddLine(TTestPorderForm* f, int goodsId, double qty, double price)
{
    f->InsertDetailLine();
    TClientDataSet* d = f->cdsDetail;
    d->FieldByName(QStringLiteral("goodsid"))->SetValue(goodsId);
    d->FieldByName(QStringLiteral("quantity"))->SetValue(qty);
    d->FieldByName(QStringLiteral("unitqty"))->SetValue(qty);
    d->FieldByName(QStringLiteral("price"))->SetValue(price);
    d->FieldByName(QStringLiteral("unitprice"))->SetValue(price);
    d->FieldByName(QStringLiteral("goodsamt"))->SetValue(qty * price);
    d->FieldByName(QStringLiteral("amount"))->SetValue(qty * price);
    d->Post();
}

int TBillFormTest::SaveNewBill(TTestPorderForm* f, const QDate& date, const QString& code, std::initializer_list<double> quantities)
{
    f->NewBill();
    SetMaster(f, QStringLiteral("billdate"), QDateTime(date, QTime(0, 0)));
    if (!code.isEmpty())
        SetMaster(f, QStringLiteral("code"), code);
    SetMaster(f, QStringLiteral("clientid"), 1);
    for (double q : quantities)
        AddLine(f, 1, q, 10);
    EXPECT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    return f->CurrentBillID;
}

QVariant TBillFormTest::DbValue(const QString& sql)
{
    return FCon->ExecuteScalar(sql);
}

void TBillFormTest::WatchProcedure(const QString& name)
{
    ::WatchProcedure(name, FCalls, FRequests);
}
