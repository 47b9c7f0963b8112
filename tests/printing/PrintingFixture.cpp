#include "PrintingFixture.h"

#include "printing/PrintTemplateStore.h"
#include "server/Procedures.h"

#include <QFile>

namespace {
// The demo database is built once per run; each test copies the file.
QString DemoDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con);
        con.Close();
    }
    return file;
}
} // namespace

void TPrintingDbTest::SetUp()
{
    RegisterServerProcedures();
    const QString db = FDir.filePath(QStringLiteral("printing.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabase(), db));
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(db);
    g_DefaultCon = FCon.get();
    ASSERT_TRUE(LoginAs(1));
    SetPrintAppDirectory(FAppDir.path());
    SetPrintDesignerPath(QString());
}

void TPrintingDbTest::TearDown()
{
    SetPrintAppDirectory(QString());
    SetPrintDesignerPath(QString());
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}

QByteArray TPrintingDbTest::StoredData(int rptid) const
{
    return FCon->ExecuteScalar(QStringLiteral("select data from report where rptid = :id"), {{QStringLiteral("id"), rptid}}).toByteArray();
}

QString TPrintingDbTest::StoredName(int rptid) const
{
    return FCon->ExecuteScalar(QStringLiteral("select rptname from report where rptid = :id"), {{QStringLiteral("id"), rptid}}).toString();
}

int TPrintingDbTest::RowCount(const QString& where) const
{
    return FCon->ExecuteScalar(QStringLiteral("select count(*) from report where ") + where).toInt();
}
