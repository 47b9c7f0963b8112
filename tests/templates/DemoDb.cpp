#include "DemoDb.h"

#include "server/Procedures.h"

#include <QFile>

namespace {
QString DemoTemplateFile()
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
} // namespace

void TDemoDbTest::SetUp()
{
    RegisterServerProcedures();
    ASSERT_TRUE(FDir.isValid());
    const QString path = FDir.filePath(QStringLiteral("test.db"));
    ASSERT_TRUE(QFile::copy(DemoTemplateFile(), path));
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
