// Printing a long bill: layout, painting and PDF writing with the embedded CJK font.
#include "platform/DBControls.h"
#include "platform/report/ReportControl.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

TReportTemplate BenchTemplate()
{
    return MakeStandardBillTemplate(QStringLiteral("销售出货单"),
                                    {{"M.Code", "单号"}, {"M.BillDate", "日期"}, {"M.ClientName", "客户"}},
                                    {{"D.GoodsCode", "商品编码", 26, {}, false},
                                     {"D.GoodsName", "商品名称", 0, {}, false},
                                     {"D.Quantity", "数量", 18, "0.##", true},
                                     {"D.Price", "单价", 20, "#,##0.00", false},
                                     {"D.Amount", "金额", 26, "#,##0.00", true}});
}

void BindBill(TReportControl& rc, int lines)
{
    rc.SetTemplate(BenchTemplate());
    rc.SetVarValue(QStringLiteral("企业名称"), QStringLiteral("北京星辰贸易有限公司"));
    rc.SetMasterValues({{"Code", "XS-20240501-0001"}, {"BillDate", QDate(2024, 5, 1)}, {"ClientName", "上海华联超市"}});
    QVector<QVariantMap> rows;
    rows.reserve(lines);
    for (int i = 0; i < lines; ++i)
        rows.append({{"GoodsCode", QStringLiteral("G%1").arg(i, 6, 10, QLatin1Char('0'))},
                     {"GoodsName", QStringLiteral("商品名称%1").arg(i)},
                     {"Quantity", i % 7 + 1},
                     {"Price", 9.9 + i % 13},
                     {"Amount", (i % 7 + 1) * (9.9 + i % 13)}});
    rc.SetDetailRows(rows);
}

void BM_PdfOfThousandLineBill(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bill.pdf"));
    TReportControl rc;
    BindBill(rc, int(state.range(0)));
    for (auto _ : state) {
        rc.SetPrintTime(QDateTime::currentDateTime()); // forces a fresh layout each time
        rc.PrintToPdf(file);
    }
    state.counters["pages"] = rc.PageCount();
    state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK(BM_PdfOfThousandLineBill)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_LayoutOfThousandLineBill(benchmark::State& state)
{
    TReportControl rc;
    BindBill(rc, 1000);
    for (auto _ : state) {
        rc.SetVarValue(QStringLiteral("打印人"), QStringLiteral("张三")); // invalidates the layout
        benchmark::DoNotOptimize(rc.PageCount());
    }
}
BENCHMARK(BM_LayoutOfThousandLineBill)->Unit(benchmark::kMicrosecond);

// One field edit on a long bill shown in a grid whose footer sums, averages and counts:
// the edit, the post and the footer's new figures.
void BM_GridFooterAfterOneEdit(benchmark::State& state)
{
    const int lines = int(state.range(0));
    TClientDataSet ds;
    ds.AddField(QStringLiteral("itemno"), TFieldType::ftInteger);
    ds.AddField(QStringLiteral("goodsname"), TFieldType::ftString, 40);
    ds.AddField(QStringLiteral("unitqty"), TFieldType::ftFloat);
    ds.AddField(QStringLiteral("unitprice"), TFieldType::ftFloat);
    ds.AddField(QStringLiteral("amount"), TFieldType::ftCurrency);
    ds.AddField(QStringLiteral("taxamt"), TFieldType::ftCurrency);
    ds.CreateDataSet();
    for (int i = 0; i < lines; ++i)
        ds.AppendRecord({i + 1, QStringLiteral("商品%1").arg(i), 1.0 + i % 9, 3.5 + i % 13, (1.0 + i % 9) * (3.5 + i % 13), 0.13 * i});
    ds.MergeChangeLog();
    TDataSource src(&ds);
    TDBGrid grid;
    grid.resize(900, 500);
    grid.SetDataSource(&src);
    grid.SetColumnFooter(QStringLiteral("unitqty"), TFooterKind::Sum);
    grid.SetColumnFooter(QStringLiteral("amount"), TFooterKind::Sum);
    grid.SetColumnFooter(QStringLiteral("taxamt"), TFooterKind::Sum);
    grid.SetColumnFooter(QStringLiteral("unitprice"), TFooterKind::Average);
    grid.SetColumnFooter(QStringLiteral("itemno"), TFooterKind::Count);
    const int cols[] = {grid.Model()->ColumnOfField(QStringLiteral("unitqty")), grid.Model()->ColumnOfField(QStringLiteral("amount")),
                        grid.Model()->ColumnOfField(QStringLiteral("taxamt")), grid.Model()->ColumnOfField(QStringLiteral("unitprice"))};
    int n = 0;
    for (auto _ : state) {
        ds.SetRecNo(1 + (n * 7919) % lines);
        ds.FieldByName(QStringLiteral("unitqty"))->SetValue(double(n % 50));
        ds.Post();
        for (int c : cols)
            benchmark::DoNotOptimize(grid.FooterText(c));
        ++n;
    }
}
BENCHMARK(BM_GridFooterAfterOneEdit)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

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
