#include "DocumentFixture.h"

#include "server/BillProcedures.h"
#include "server/BillProfiles.h"
#include "server/Procedures.h"
#include "ServerScripts.h"
#include "tests/support/DemoDb.h"

#include <QFile>

void TBillDocTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    const QString file = FDir.filePath(QStringLiteral("doc.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), file));
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(file);
    RegisterServerProcedures();
    Msgs = std::make_unique<TScriptedMessages>();
    Login(1);
}

void TBillDocTest::TearDown()
{
    FDocs.clear();
    Msgs.reset();
    FCon.reset();
    RegisterServerProcedures(); // drops the watched wrappers
}

void TBillDocTest::Login(int opid)
{
    const TBillSession b = SessionOf(opid);
    TServerSession s;
    s.OpID = opid;
    s.OpName = b.OpName;
    s.ShopID = b.ShopID;
    s.SysManager = FCon->ExecuteScalar(QStringLiteral("select issysmanager from operator where opid = :o"), {{QStringLiteral("o"), opid}}).toBool();
    FCon->SetSession(s);
}

TBillSession TBillDocTest::SessionOf(int opid)
{
    TClientConnection* con = FCon.get();
    const TSqlParams op{{QStringLiteral("o"), opid}};
    TBillSession s;
    s.OpID = opid;
    s.OpName = con->ExecuteScalar(QStringLiteral("select opname from operator where opid = :o"), op).toString();
    s.ShopID = con->ExecuteScalar(QStringLiteral("select shopid from operator where opid = :o"), op).toInt();
    s.WorkDate = QDate(2024, 3, 15);
    s.PeriodStart = QDate(2024, 3, 1);
    s.PeriodEnd = QDate(2024, 3, 31);
    s.NewBillTime = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    const bool manager = con->ExecuteScalar(QStringLiteral("select issysmanager from operator where opid = :o"), op).toBool();
    s.HasRight = [con, opid, manager](int privilegeId, int action) {
        return manager || con->ExecuteScalar(QStringLiteral("select count(*) from operatorright where opid = :o and privilegeid = :p and action = :a"),
                                             {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}})
                                  .toInt() > 0;
    };
    s.Option = [con](const QString& key) {
        return con->ExecuteScalar(QStringLiteral("select optionvalue from accoption where upper(optionkey) = upper(:k)"), {{QStringLiteral("k"), key}})
            .toString();
    };
    return s;
}

TBillDocument* TBillDocTest::NewDocumentOf(const QString& formName, const QString& masterSql, const QString& detailSql, int opid)
{
    auto d = std::make_unique<TBillDocument>(FCon.get(), SessionOf(opid));
    d->ApplyProfile(*BillProfileOfForm(formName));
    d->MasterSQL = masterSql;
    d->DetailSQL = detailSql;
    d->InitDocument();
    d->LoadReportTemplates();
    FDocs.push_back(std::move(d));
    return FDocs.back().get();
}

TBillDocument* TBillDocTest::NewDocument(int opid)
{
    TBillDocument* d = NewDocumentOf(QStringLiteral("PorderForm"),
                                     QStringLiteral("select a.*, o.opname from Porder a left join operator o on o.opid = a.opid where a.OrderID = %s"),
                                     QStringLiteral("select d.* from orderdetail d where d.OrderID = %s order by d.itemno"), opid);
    d->CopyExcludedMasterFields = QStringLiteral("billdate,printed,flag,updatetime,referbillid,refercount,finished");
    d->CopyExcludedDetailFields = QStringLiteral("rcvdqty,refercount");
    return d;
}

void TBillDocTest::Grant(int opid, int privilegeId, int action)
{
    FCon->Execute(QStringLiteral("insert or ignore into operatorright (opid, privilegeid, action) values (:o, :p, :a)"),
                  {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}});
}

void TBillDocTest::SetMaster(TBillDocument* d, const QString& field, const QVariant& v)
{
    d->cdsMaster->FieldByName(field)->SetValue(v);
}

void TBillDocTest::AddLine(TBillDocument* d, double qty, double price)
{
    ASSERT_TRUE(d->AppendLine());
    TClientDataSet* l = d->cdsDetail;
    l->FieldByName(QStringLiteral("goodsid"))->SetValue(1);
    for (const char* q : {"quantity", "unitqty"})
        l->FieldByName(QString::fromLatin1(q))->SetValue(qty);
    for (const char* p : {"price", "unitprice"})
        l->FieldByName(QString::fromLatin1(p))->SetValue(price);
    for (const char* a : {"goodsamt", "amount"})
        l->FieldByName(QString::fromLatin1(a))->SetValue(qty * price);
    l->Post();
}

int TBillDocTest::SaveNewBill(TBillDocument* d, const QDate& date, const QString& code, std::initializer_list<double> quantities)
{
    d->NewBill();
    SetMaster(d, QStringLiteral("billdate"), QDateTime(date, QTime(0, 0)));
    if (!code.isEmpty())
        SetMaster(d, QStringLiteral("code"), code);
    SetMaster(d, QStringLiteral("clientid"), 1);
    for (double q : quantities)
        AddLine(d, q, 10);
    EXPECT_TRUE(d->SaveBill()) << Shown().toStdString();
    return d->CurrentBillID;
}

QVariant TBillDocTest::DbValue(const QString& sql)
{
    return FCon->ExecuteScalar(sql);
}

void TBillDocTest::WatchProcedure(const QString& name)
{
    ::WatchProcedure(name, FCalls, FRequests);
}
