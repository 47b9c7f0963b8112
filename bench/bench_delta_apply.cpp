// The read and write paths through the database seam: a 10,000-row select answered as a
// data packet and loaded into a client dataset, and a 1,000-row delta (edits, inserts and
// deletes) sent in a packet and applied by the server in one transaction.
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

struct TBenchDb {
    QTemporaryDir Dir;
    TClientConnection Con;
    TBenchDb()
    {
        Con.Open(Dir.filePath(QStringLiteral("bench.db")));
        Con.SetSession(TServerSession{1, QStringLiteral("管理员"), 0, true}); // the server answers operators only
        RegisterServerProcedures();
        Con.ExecuteNative(QStringLiteral(
            "create table line (id INTEGER primary key, billid INTEGER, goodsid INTEGER, goodsname VARCHAR(60), unitqty FLOAT,"
            " unitprice FLOAT, amount MONEY, taxrate FLOAT, batchcode VARCHAR(32), validdate DATETIME, closed CHAR(1), memo VARCHAR(255))"));
        Con.BeginTrans();
        for (int i = 1; i <= 10000; ++i)
            Con.ExecuteNative(QStringLiteral("insert into line values (:i, :b, :g, :n, :q, :p, :a, 13, :bc, '2027-06-30 00:00:00', 'F', null)"),
                              {{QStringLiteral("i"), i}, {QStringLiteral("b"), i / 50}, {QStringLiteral("g"), i % 200},
                               {QStringLiteral("n"), QStringLiteral("货品%1").arg(i)}, {QStringLiteral("q"), i % 7 + 1},
                               {QStringLiteral("p"), 2.5 + i % 13}, {QStringLiteral("a"), (i % 7 + 1) * (2.5 + i % 13)},
                               {QStringLiteral("bc"), QStringLiteral("B%1").arg(i % 40)}});
        Con.CommitTrans();
    }
};

QString ReadAll(TClientConnection& con)
{
    TPacketParams req;
    req.Set("Count", 1).Set("SQL1", QStringLiteral("select * from line order by id"));
    TPacketParams reply;
    reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("GetClientDataSet"), req.ToString(), 30000));
    return reply.GetString("ClientDataSet1");
}

void BM_Read10kRowsThroughTheServer(benchmark::State& state)
{
    TBenchDb db;
    for (auto _ : state) {
        TClientDataSet ds;
        ds.LoadFromXMLString(ReadAll(db.Con));
        benchmark::DoNotOptimize(ds.RecordCount());
    }
}
BENCHMARK(BM_Read10kRowsThroughTheServer)->Unit(benchmark::kMillisecond);

// 800 edits, 100 deletes and 100 inserts: a 1,000-row delta.
void BM_Apply1000RowDelta(benchmark::State& state)
{
    TBenchDb db;
    const QString packet = ReadAll(db.Con);
    db.Con.ExecuteNative(QStringLiteral("create table line_start as select * from line"));
    int nextId = 20000;
    for (auto _ : state) {
        state.PauseTiming();
        TClientDataSet ds;
        ds.LoadFromXMLString(packet);
        ds.First();
        for (int i = 0; i < 800; ++i) {
            ds.Edit();
            ds.FieldByName("unitqty")->SetAsFloat(ds.FieldByName("unitqty")->AsFloat() + 1);
            ds.FieldByName("memo")->SetAsString(QStringLiteral("改过"));
            ds.Post();
            ds.MoveBy(10);
        }
        ds.Last();
        for (int i = 0; i < 100; ++i)
            ds.Delete();
        for (int i = 0; i < 100; ++i) {
            ds.Append();
            ds.FieldByName("id")->SetAsInteger(++nextId);
            ds.FieldByName("goodsname")->SetAsString(QStringLiteral("新货品"));
            ds.Post();
        }
        TPacketParams req;
        req.Set("TableName", QStringLiteral("line")).Set("KeyFields", QStringLiteral("id")).Set("Delta", GetDeltaXML(&ds));
        const QString text = req.ToString();
        state.ResumeTiming();

        TPacketParams reply;
        reply.LoadFromString(db.Con.Proxy()->Invoke(QStringLiteral("ApplyUpdates"), text, 120000));
        if (reply.GetInt("ErrNo") != 0)
            state.SkipWithError(reply.GetString("ErrMsg").toUtf8().constData());

        state.PauseTiming();
        // Put the table back so every iteration applies the same delta shape.
        db.Con.ExecuteNative(QStringLiteral("delete from line; insert into line select * from line_start"));
        state.ResumeTiming();
        state.counters["changes"] = ds.ChangeCount();
    }
}
BENCHMARK(BM_Apply1000RowDelta)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
