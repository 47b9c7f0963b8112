#include "PrintingFixture.h"

#include "tests/support/DemoDb.h"

#include "printing/PrintTemplateStore.h"
#include "server/Procedures.h"

#include <QFile>

void TPrintingDbTest::SetUp()
{
    RegisterServerProcedures();
    const QString db = FDir.filePath(QStringLiteral("printing.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), db));
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
