// Client dataset: loading data packets, producing deltas and reading them on the server side.
#include "platform/DataSet.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

namespace {

// 20 columns of every kind a bill line carries.
QVector<TFieldDef> LineFields()
{
    QVector<TFieldDef> f;
    for (int i = 0; i < 4; ++i) f << TFieldDef{QStringLiteral("id%1").arg(i), TFieldType::ftInteger};
    for (int i = 0; i < 6; ++i) f << TFieldDef{QStringLiteral("text%1").arg(i), TFieldType::ftString, 40};
    for (int i = 0; i < 4; ++i) f << TFieldDef{QStringLiteral("qty%1").arg(i), TFieldType::ftFloat};
    for (int i = 0; i < 3; ++i) f << TFieldDef{QStringLiteral("amt%1").arg(i), TFieldType::ftCurrency};
    f << TFieldDef{QStringLiteral("closed"), TFieldType::ftBoolean};
    f << TFieldDef{QStringLiteral("billdate"), TFieldType::ftDateTime};
    f << TFieldDef{QStringLiteral("memo"), TFieldType::ftString};
    return f;
}

QString MakePacket(int rows)
{
    const QVector<TFieldDef> fields = LineFields();
    QVector<QVariantList> data;
    data.reserve(rows);
    const QDateTime base(QDate(2024, 1, 1), QTime(8, 0));
    for (int r = 0; r < rows; ++r) {
        QVariantList row;
        for (int i = 0; i < 4; ++i) row << r * 4 + i;
        for (int i = 0; i < 6; ++i) row << QStringLiteral("货品名称%1-%2").arg(r).arg(i);
        for (int i = 0; i < 4; ++i) row << r * 0.25 + i;
        for (int i = 0; i < 3; ++i) row << r * 1.1 + i;
        row << (r % 2 == 0) << base.addSecs(r * 61) << (r % 3 ? QVariant(QStringLiteral("备注")) : QVariant());
        data << row;
    }
    return BuildDataPacketXML(fields, data);
}

void BM_LoadDataPacket10k(benchmark::State& state)
{
    const QString xml = MakePacket(10000);
    for (auto _ : state) {
        TClientDataSet ds;
        ds.LoadFromXMLString(xml);
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    state.counters["bytes"] = double(xml.size() * 2);
}
BENCHMARK(BM_LoadDataPacket10k)->Unit(benchmark::kMillisecond);

void BM_Edit1000AndDelta(benchmark::State& state)
{
    const QString xml = MakePacket(10000);
    for (auto _ : state) {
        state.PauseTiming();
        TClientDataSet ds;
        ds.LoadFromXMLString(xml);
        state.ResumeTiming();
        TField* qty = ds.FieldByName("qty1");
        TField* text = ds.FieldByName("text2");
        ds.First();
        for (int i = 0; i < 1000; ++i) {
            qty->SetValue(i * 0.5);
            text->SetValue(QStringLiteral("改%1").arg(i));
            ds.Post();
            ds.MoveBy(7);
        }
        const QString delta = ds.GetDeltaXML();
        benchmark::DoNotOptimize(delta.size());
    }
}
BENCHMARK(BM_Edit1000AndDelta)->Unit(benchmark::kMillisecond);

void BM_ParseDelta1000(benchmark::State& state)
{
    TClientDataSet ds;
    ds.LoadFromXMLString(MakePacket(1000));
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ds.FieldByName("qty0")->SetValue(ds.RecNo() * 2);
        ds.Post();
    }
    const QString delta = ds.GetDeltaXML();
    for (auto _ : state) {
        const TDelta d = ParseDeltaXML(delta);
        benchmark::DoNotOptimize(d.Rows.size());
    }
}
BENCHMARK(BM_ParseDelta1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
