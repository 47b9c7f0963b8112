// A busy database and the engine's errors: a connection that waits for another writer says
// so while it waits, gives up in words, and never shows the engine's text or the statement;
// those go to the log.
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>


namespace {

class TBusyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        const QString file = FDir.filePath(QStringLiteral("busy.db"));
        FWriter = std::make_unique<TClientConnection>();
        FWriter->Open(file);
        FWriter->ExecuteNative(QStringLiteral("create table t (k integer primary key, name varchar(20) not null unique)"));
        FCon = std::make_unique<TClientConnection>();
        FCon->Open(file);
        SetDatabaseLog([this](const QString& text) { FLog << text; });
    }
    void TearDown() override
    {
        SetDatabaseLog(nullptr);
        FCon.reset();
        if (FWriter->InTransaction())
            FWriter->RollbackTrans();
        FWriter.reset();
    }

    // Every message users see must be free of the engine's words and of SQL.
    static void ExpectInWords(const QString& message)
    {
        for (const char* raw : {"SQL", "sql", "begin", "insert", "locked", "database is", "constraint", "syntax", "near"})
            EXPECT_FALSE(message.contains(QLatin1String(raw))) << message.toStdString();
    }

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FWriter; // the other user, who is saving
    std::unique_ptr<TClientConnection> FCon;
    QStringList FLog;
};

TEST_F(TBusyTest, TheWaitIsReportedUntilTheOtherWriterCommits)
{
    int waits = 0, ended = 0;
    qint64 lastWaited = -1;
    bool refusedMeanwhile = false;
    FWriter->BeginTrans();
    FWriter->ExecuteNative(QStringLiteral("insert into t (k, name) values (1, 'other')"));
    FCon->SetBusyObserver({[&](qint64 waited) {
                               ++waits;
                               EXPECT_GE(waited, lastWaited);
                               lastWaited = waited;
                               EXPECT_TRUE(FCon->WaitingForWriter());
                               // The waiting connection is not to be used from inside the wait.
                               try {
                                   FCon->ExecuteScalar(QStringLiteral("select count(*) from t"));
                               } catch (const EDatabaseError&) {
                                   refusedMeanwhile = true;
                               }
                               if (waited >= 150 && FWriter->InTransaction())
                                   FWriter->CommitTrans();
                           },
                           [&] { ++ended; }});
    FCon->Execute(QStringLiteral("insert into t (k, name) values (2, 'mine')"));
    EXPECT_GE(waits, 2);
    EXPECT_GE(lastWaited, 150);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(refusedMeanwhile);
    EXPECT_FALSE(FCon->WaitingForWriter());
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 2);

    // a statement that does not wait tells nothing
    FCon->Execute(QStringLiteral("insert into t (k, name) values (3, 'free')"));
    EXPECT_EQ(ended, 1);
}

TEST_F(TBusyTest, GivingUpIsToldInWordsAndTheEngineTextGoesToTheLog)
{
    int ended = 0;
    FCon->SetBusyTimeout(200);
    FCon->SetBusyObserver({[](qint64) {}, [&] { ++ended; }});
    FWriter->BeginTrans();
    for (int attempt = 0; attempt < 2; ++attempt) {
        FLog.clear();
        try {
            if (attempt == 0)
                FCon->BeginTrans();
            else
                FCon->Execute(QStringLiteral("insert into t (k, name) values (9, 'late')"));
            ADD_FAILURE() << "the write went through a held lock";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("其他用户正在保存数据"))) << e.what();
            ExpectInWords(e.Message());
        }
        ASSERT_EQ(FLog.size(), 1);
        EXPECT_TRUE(FLog.first().contains(attempt == 0 ? QStringLiteral("begin immediate") : QStringLiteral("insert into t")))
            << FLog.first().toStdString();
        EXPECT_TRUE(FLog.first().contains(QStringLiteral("locked"))) << FLog.first().toStdString();
    }
    EXPECT_EQ(ended, 2);
    EXPECT_FALSE(FCon->InTransaction());
    FWriter->CommitTrans();
    FCon->Execute(QStringLiteral("insert into t (k, name) values (9, 'late')"));
}

TEST_F(TBusyTest, EngineErrorsReadInWordsWithTheColumnsThatRefused)
{
    FCon->Execute(QStringLiteral("insert into t (k, name) values (1, 'a')"));
    struct Case {
        QString Sql;
        QString Expected;
    };
    const Case cases[] = {
        {QStringLiteral("insert into t (k, name) values (2, 'a')"), QStringLiteral("数据重复（t.name）")},
        {QStringLiteral("insert into t (k, name) values (1, 'b')"), QStringLiteral("数据重复（t.k）")},
        {QStringLiteral("insert into t (k) values (3)"), QStringLiteral("必填的数据没有值（t.name）")},
        {QStringLiteral("select nosuchcolumn from t"), QStringLiteral("数据库执行出错")},
        {QStringLiteral("selec k from t"), QStringLiteral("数据库执行出错")},
        {QStringLiteral("select name from t where k = :k"), QStringLiteral("参数 k 没有赋值")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Sql.toStdString());
        FLog.clear();
        try {
            FCon->ExecuteNative(c.Sql);
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(c.Expected)) << e.what();
            ExpectInWords(e.Message());
        }
        ASSERT_EQ(FLog.size(), 1);
        EXPECT_TRUE(FLog.first().contains(c.Sql)) << FLog.first().toStdString();
    }
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 1);
}

} // namespace
