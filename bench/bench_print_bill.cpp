// A sales invoice of 1,000, 10,000 and 100,000 lines printed to PDF through the template
// store: load the template row, prepare the catalogue, fill the values from the database,
// lay out and write; with the time, the memory printing adds to the bill's own.
#include "host/Host.h"
#include "printing/PrintBill.h"
#include "server/Procedures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

#include <sys/resource.h>

namespace {

struct TBenchDb {
    QTemporaryDir Dir;
    TClientConnection Con;
    TClientDataSet Master, Detail;

    explicit TBenchDb(int lines)
    {
        RegisterServerProcedures();
        Con.Open(Dir.filePath(QStringLiteral("bench.db")));
        InitializeDatabase(Con);
        g_DefaultCon = &Con;
        LoginAs(1);
        SetPrintAppDirectory(Dir.path());

        Con.OpenDataSet(QStringLiteral("select * from invoice where invoiceid = -99999"), &Master);
        Con.OpenDataSet(QStringLiteral("select d.*, g.code as goodscode, g.name as goodsname, g.specs, u.unitname as unit"
                                       " from saledetail d left outer join goods g on d.goodsid = g.goodsid"
                                       " left outer join goodsunit u on d.goodsid = u.goodsid and d.unitid = u.unitid"
                                       " where d.invoiceid = -99999"),
                        &Detail);
        Master.Append();
        Master.FieldByName(QStringLiteral("invoiceid"))->SetValue(1);
        Master.FieldByName(QStringLiteral("code"))->SetValue(QStringLiteral("XK-BENCH-0001"));
        Master.FieldByName(QStringLiteral("billdate"))->SetValue(QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
        Master.FieldByName(QStringLiteral("clientid"))->SetValue(Con.ExecuteScalar(QStringLiteral("select max(clientid) from client where clientkind = 1")));
        Master.Post();
        TClientDataSet goods;
        Con.OpenDataSet(QStringLiteral("select g.goodsid, g.code, g.name, g.specs, u.unitid, u.unitname from goods g"
                                       " join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0"),
                        &goods);
        goods.First();
        for (int i = 0; i < lines; ++i) {
            if (goods.Eof())
                goods.First();
            Detail.Append();
            Detail.FieldByName(QStringLiteral("invoiceid"))->SetValue(1);
            Detail.FieldByName(QStringLiteral("itemno"))->SetValue(i + 1);
            Detail.FieldByName(QStringLiteral("goodsid"))->SetValue(goods.FieldByName(QStringLiteral("goodsid"))->Value());
            Detail.FieldByName(QStringLiteral("goodscode"))->SetValue(goods.FieldByName(QStringLiteral("code"))->Value());
            Detail.FieldByName(QStringLiteral("goodsname"))->SetValue(goods.FieldByName(QStringLiteral("name"))->Value());
            Detail.FieldByName(QStringLiteral("specs"))->SetValue(goods.FieldByName(QStringLiteral("specs"))->Value());
            Detail.FieldByName(QStringLiteral("unit"))->SetValue(goods.FieldByName(QStringLiteral("unitname"))->Value());
            Detail.FieldByName(QStringLiteral("unitqty"))->SetValue(1 + i % 9);
            Detail.FieldByName(QStringLiteral("unitprice"))->SetValue(3.5 + i % 13);
            Detail.FieldByName(QStringLiteral("amount"))->SetValue((1 + i % 9) * (3.5 + i % 13));
            Detail.Post();
            goods.Next();
        }
    }
    ~TBenchDb()
    {
        SetPrintAppDirectory(QString());
        g_DefaultCon = nullptr;
    }
};

// Resident memory of the process from /proc/self/status ("VmRSS", "VmHWM"), in MiB.
double StatusMiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// The peak resident memory starts again from the present one (Linux 4.0 and later); without
// it ru_maxrss, the peak of the whole run, is all there is.
bool ResetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double MaxRssMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// The bill's lines are in memory before printing starts; what printing adds on top of them
// is the figure that must not grow with the number of lines: pages are planned, drawn and
// written one at a time.
void BM_PrintBillToPdf(benchmark::State& state)
{
    TBenchDb db(int(state.range(0)));
    TPrintBillOptions opt;
    opt.Output = TPrintOutput::Pdf;
    opt.PdfFile = db.Dir.filePath(QStringLiteral("bill.pdf"));
    TPrintBillResult result;
    const double before = StatusMiB("VmRSS:");
    const bool reset = ResetPeakMemory();
    for (auto _ : state) {
        if (!PrintBillWithTemplate(6, 6, &db.Master, &db.Detail, opt, &result))
            state.SkipWithError("printing failed");
        benchmark::DoNotOptimize(result.Pages);
    }
    const double peak = reset ? StatusMiB("VmHWM:") : MaxRssMiB();
    state.counters["pages"] = result.Pages;
    state.counters["lines/s"] = benchmark::Counter(double(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["rss_before_MiB"] = before;
    state.counters["peak_MiB"] = peak;
    state.counters["printing_MiB"] = peak - before;
    state.counters["pdf_MiB"] = double(QFileInfo(opt.PdfFile).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PrintBillToPdf)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintBillToPdf)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintBillToPdf)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
