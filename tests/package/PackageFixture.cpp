#include "PackageFixture.h"

#include "tests/support/DemoDb.h"

#include "package/PackageSeams.h"
#include "server/Procedures.h"

#include <QApplication>
#include <QFile>

void TPackageTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    const QString file = FDir.filePath(QStringLiteral("bills.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), file));
    RegisterServerProcedures();
    FCon = std::make_unique<TClientConnection>();
    if (TestDatabaseRoute().Open) {
        TestDatabaseRoute().Open(*FCon, file);
        TestDatabaseRoute().LoginAs(*FCon, 1);
    } else {
        FCon->Open(file);
    }
    g_DefaultCon = FCon.get();
    ResetSession();
    ClearRegistries();
    TPackageSeams::Reset();
    TBillBaseForm::ShowBillSearch = nullptr;
    FMessages = std::make_unique<TScriptedMessages>();
    Login(1);
    BillLoad();
}

void TPackageTest::TearDown()
{
    for (TBillBaseForm* f : LiveBillForms())
        delete f;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("BillManageForm"))
            delete w;
    BillUnload();
    FMessages.reset();
    ClearRegistries();
    TPackageSeams::Reset();
    TBillBaseForm::ShowBillSearch = nullptr;
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}

QList<TBillBaseForm*> TPackageTest::LiveBillForms()
{
    QList<TBillBaseForm*> out;
    for (QWidget* w : QApplication::allWidgets())
        if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f == w)
            out << f;
    return out;
}

void TPackageTest::Grant(int opid, int privilegeId, int action)
{
    FCon->Execute(QStringLiteral("insert or ignore into operatorright (opid, privilegeid, action) values (:o, :p, :a)"),
                  {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}});
    ReloadPrivileges();
}

void TPackageTest::Login(int opid) { ASSERT_TRUE(LoginAs(opid, FCon.get())); }
