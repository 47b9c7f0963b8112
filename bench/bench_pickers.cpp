// The goods and client pickers on a large catalogue: 100,000 goods and 20,000 clients and
// vendors, made by the generator below on top of the demo company. Each keystroke of a code
// or a name runs the picker's query and shows its first page; measured through the engine
// alone and through the real dialog (list, grid columns, unit list and picture of the first
// row), for a fragment that matches many rows, a few, or none (the whole list is read).
#include "bench/BenchSupport.h"
#include "host/Host.h"
#include "pickers/PickClientForm.h"
#include "pickers/PickGoodsForm.h"
#include "server/Procedures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {


constexpr int kGoods = 100000;
constexpr int kClients = 20000;

// Fills the demo company with kGoods goods (base unit with a bar code, a type, a main
// vendor, stock in a third of them in two stores) and kClients partners (every third a
// vendor) in a few statements.
void GenerateCatalogue(TClientConnection& con)
{
    con.BeginTrans();
    // Numbered lists to spread the rows over the demo's types, vendors and areas.
    con.ExecuteNative(QStringLiteral("CREATE TEMP TABLE tt AS SELECT row_number() OVER (ORDER BY goodstypeid) - 1 AS k, goodstypeid AS id FROM goodstype"));
    con.ExecuteNative(QStringLiteral("CREATE TEMP TABLE tv AS SELECT row_number() OVER (ORDER BY clientid) - 1 AS k, clientid AS id FROM client WHERE clientkind = 2"));
    con.ExecuteNative(QStringLiteral("CREATE TEMP TABLE ta AS SELECT row_number() OVER (ORDER BY areaid) - 1 AS k, areaid AS id FROM area"));
    const QString words1 = QStringLiteral("可口百事雪碧芬达汇源美汁农夫统一康师王老伊利蒙牛光明安慕奥利好丽达利乐事上好德芙金龙福临鲁花海天");
    const QString words2 = QStringLiteral("可乐橙汁绿茶牛奶酸奶饼干薯片面包香油大米面粉生抽醋精纸巾牙膏洗液香皂笔本");
    con.ExecuteNative(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < @COUNT) "
        "INSERT INTO goods (goodsid, code, name, pyassist, specs, unit, goodstypeid, kind, clientid, closed) "
        "SELECT 200000 + i, printf('B%06d', i), "
        "substr('@WORDS1', (i % 40) * 2 + 1, 2) || substr('@WORDS2', ((i / 40) % 26) * 2 + 1, 2) || printf('%d型', i % 997), "
        "printf('P%d', i % 9973), printf('%dml', 100 + i % 50 * 10), '瓶', "
        "(SELECT id FROM tt WHERE k = i % (SELECT count(*) FROM tt)), "
        "CASE WHEN i % 50 = 0 THEN 5 ELSE 1 END, "
        "(SELECT id FROM tv WHERE k = i % (SELECT count(*) FROM tv)), 'F' FROM n")
                          .replace(QStringLiteral("@COUNT"), QString::number(kGoods))
                          .replace(QStringLiteral("@WORDS1"), words1)
                          .replace(QStringLiteral("@WORDS2"), words2));
    con.ExecuteNative(QStringLiteral("INSERT INTO goodsunit (unitid, goodsid, unitname, rate, unittype, barcode, sprice) "
                                     "SELECT goodsid + 300000, goodsid, '瓶', 1, 0, printf('69%011d', goodsid), 5 FROM goods WHERE goodsid > 200000"));
    con.ExecuteNative(QStringLiteral("INSERT INTO onhand (storeid, goodsid, onhand, aprice) "
                                     "SELECT s.storeid, g.goodsid, (g.goodsid % 40) + 1, 2 FROM goods g, store s "
                                     "WHERE g.goodsid > 200000 AND g.goodsid % 3 = 0 AND s.storeid IN (1, 3)"));
    con.ExecuteNative(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < @COUNT) "
        "INSERT INTO client (clientid, code, name, shortname, pyassist, clientkind, areaid, balance, suramt, closed) "
        "SELECT 100000 + i, printf('C%06d', i), "
        "substr('@WORDS1', (i % 40) * 2 + 1, 2) || printf('商贸%d有限公司', i), "
        "substr('@WORDS1', (i % 40) * 2 + 1, 2) || printf('商贸%d', i), printf('SM%d', i), "
        "CASE WHEN i % 3 = 0 THEN 2 ELSE 1 END, (SELECT id FROM ta WHERE k = i % (SELECT count(*) FROM ta)), "
        "(i % 500) * 10, 0, 'F' FROM n")
                          .replace(QStringLiteral("@COUNT"), QString::number(kClients))
                          .replace(QStringLiteral("@WORDS1"), words1));
    con.CommitTrans();
    con.ExecuteNative(QStringLiteral("ANALYZE"));
}

QString CatalogueDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("catalogue.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con, true);
        GenerateCatalogue(con);
        con.Close();
    }
    return file;
}

class TCatalogue {
public:
    TCatalogue()
    {
        RegisterServerProcedures();
        FCon.Open(CatalogueDatabase());
        g_DefaultCon = &FCon;
        ResetSession();
        LoginAs(1, &FCon);
    }
    ~TCatalogue()
    {
        FreeLookupTables();
        g_DefaultCon = nullptr;
    }
    TClientConnection& Con() { return FCon; }

private:
    TClientConnection FCon;
};

// What a user types, one keystroke after the other; the benchmark runs every prefix.
const char* const kGoodsTexts[] = {"B0123", "可乐", "P9971", "B99999", "ZZZZ"};
const char* const kClientTexts[] = {"C0012", "商贸19", "C99999"};

// Reports the mean and the slowest keystroke in milliseconds.
void TypeEachPrefix(benchmark::State& state, const QString& text, const std::function<void(const QString&)>& run)
{
    int keystrokes = 0;
    qint64 totalNs = 0, slowestNs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        for (int n = 1; n <= text.size(); ++n) {
            clock.start();
            run(text.left(n));
            const qint64 ns = clock.nsecsElapsed();
            totalNs += ns;
            slowestNs = std::max(slowestNs, ns);
            ++keystrokes;
        }
    }
    state.counters["key_ms"] = keystrokes ? double(totalNs) / keystrokes / 1e6 : 0;
    state.counters["slowest_key_ms"] = double(slowestNs) / 1e6;
    state.SetLabel(text.toStdString());
}

// A code or a name (text that starts with a Chinese character) into the dialog's filter; the
// dialog reads its first page and shows it.
template <class Form>
void TypeIntoDialog(benchmark::State& state, Form& form, const QString& text)
{
    const bool byName = text.at(0).unicode() > 0x7f;
    TypeEachPrefix(state, text, [&](const QString& typed) {
        (byName ? form.Query().Filter.Name : form.Query().Filter.Code) = typed;
        form.RefreshList();
        QCoreApplication::processEvents();
    });
}

void BM_GoodsQueryPerKeystroke(benchmark::State& state)
{
    TCatalogue cat;
    const QString text = QString::fromUtf8(kGoodsTexts[state.range(0)]);
    TClientDataSet list;
    TGoodsPickQuery q(&cat.Con());
    q.StoreID = 1;
    const bool byName = text.at(0).unicode() > 0x7f;
    TypeEachPrefix(state, text, [&](const QString& typed) {
        (byName ? q.Filter.Name : q.Filter.Code) = typed;
        q.OpenFirst(&list, kGoodsPageSize);
        benchmark::DoNotOptimize(list.RecordCount());
    });
}
BENCHMARK(BM_GoodsQueryPerKeystroke)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_GoodsDialogPerKeystroke(benchmark::State& state)
{
    TCatalogue cat;
    const QString text = QString::fromUtf8(kGoodsTexts[state.range(0)]);
    TPickGoodsForm form(&cat.Con(), TBillSession::FromHost());
    form.AMultiAdd = true;
    form.AStoreID = 1;
    form.InitForm();
    form.show();
    TypeIntoDialog(state, form, text);
}
BENCHMARK(BM_GoodsDialogPerKeystroke)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_ClientDialogPerKeystroke(benchmark::State& state)
{
    TCatalogue cat;
    const QString text = QString::fromUtf8(kClientTexts[state.range(0)]);
    TPickClientForm form(&cat.Con(), TBillSession::FromHost());
    form.SetKind(1);
    form.FillAreas();
    form.RefreshList();
    form.show();
    TypeIntoDialog(state, form, text);
}
BENCHMARK(BM_ClientDialogPerKeystroke)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);


} // namespace

