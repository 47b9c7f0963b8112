#include "tests/support/DemoDb.h"

#include "server/Procedures.h"

#include <QFile>

QString DemoDatabaseTemplate()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        const QString path = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(path);
        InitializeDatabase(con);
        con.Close();
        file = path;
    }
    return file;
}

TTestDatabaseRoute& TestDatabaseRoute()
{
    static TTestDatabaseRoute route;
    return route;
}

void TDemoDbTest::SetUp()
{
    RegisterServerProcedures();
    ASSERT_TRUE(FDir.isValid());
    const QString path = FDir.filePath(QStringLiteral("test.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), path));
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(path);
    g_DefaultCon = FCon.get();
    ResetSession();
    ASSERT_TRUE(LoginAs(1, FCon.get()));
}

void TDemoDbTest::TearDown()
{
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}
