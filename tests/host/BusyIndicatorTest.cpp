// A busy database as the user sees it: the wait cursor while the application waits for
// another user's save, a note saying so after a while, and nothing left behind afterwards.
#include "host/BusyIndicator.h"
#include "webrpc/Connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class TBusyIndicatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        const QString file = FDir.filePath(QStringLiteral("busy.db"));
        FOther.Open(file);
        FOther.ExecuteNative(QStringLiteral("create table t (k integer primary key)"));
        FCon.Open(file);
    }
    void TearDown() override
    {
        if (FOther.InTransaction())
            FOther.RollbackTrans();
    }

    struct TSample {
        bool WaitCursor;
        bool Note;
    };
    // Samples what the user sees every 20 ms while the connection waits; the other user
    // commits after releaseAfterMs (never when negative).
    void Probe(QTimer& timer, QVector<TSample>& samples, int releaseAfterMs, TBusyIndicator& busy)
    {
        auto* clock = new QElapsedTimer;
        clock->start();
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&, clock, releaseAfterMs] {
            const QCursor* c = QApplication::overrideCursor();
            samples.append({c && c->shape() == Qt::WaitCursor, busy.NoteVisible()});
            if (releaseAfterMs >= 0 && clock->elapsed() >= releaseAfterMs && FOther.InTransaction())
                FOther.CommitTrans();
        });
        QObject::connect(&timer, &QObject::destroyed, [clock] { delete clock; });
        timer.start();
    }

    QTemporaryDir FDir;
    TClientConnection FOther; // the user who is saving
    TClientConnection FCon;
};

TEST_F(TBusyIndicatorTest, WaitCursorAtOnceTheNoteLaterAndBothGoneAfterTheWait)
{
    TBusyIndicator busy(&FCon, 400);
    FOther.BeginTrans();
    QVector<TSample> samples;
    {
        QTimer timer;
        Probe(timer, samples, 800, busy);
        FCon.Execute(QStringLiteral("insert into t (k) values (1)"));
    }
    ASSERT_GE(samples.size(), 3);
    for (const TSample& s : samples)
        EXPECT_TRUE(s.WaitCursor);
    EXPECT_FALSE(samples.first().Note) << "the note came at once";
    EXPECT_TRUE(samples.last().Note) << "no note after the wait went on";
    EXPECT_EQ(busy.NoteText(), TBusyIndicator::NoteMessage());
    EXPECT_TRUE(busy.NoteText().contains(QStringLiteral("其他用户正在保存数据")));

    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(busy.NoteVisible());
    EXPECT_FALSE(busy.Waiting());
    EXPECT_EQ(FCon.ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 1);
}

} // namespace
