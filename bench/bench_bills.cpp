// A purchase order through the real bill form, opened by the package's "SHOWBILLFORM" command
// on a copy of the demo database: saving a new bill of 1, 100 and 2,000 lines, reading a
// saved bill back, stepping back and forth across a few saved bills, and the line work of the
// bill document - appending a line and editing a line's amount with the master total kept in
// step - on bills of growing size, with and without the window's grid.
//
// Saving, loading and stepping are measured against the same rows straight through the engine
// in the same run: the bill's master row and lines written in one transaction with one
// prepared statement per table, and the bill's master and line selects (with their joins)
// stepped through column by column. Both sides are timed in this thread's CPU time, which a
// busy machine disturbs far less than the wall clock; the counters give both figures per
// iteration and their ratio ("x_direct").
#include "bench/BenchSupport.h"
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"
#include "package/PackageSeams.h"
#include "server/Procedures.h"
#include "webrpc/SqlDialect.h"

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>

namespace {




double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// A prepared statement of the raw engine, for the direct figures.
class TRawStatement {
public:
    TRawStatement(sqlite3* db, const QString& sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &FStmt, nullptr) != SQLITE_OK)
            FStmt = nullptr;
    }
    ~TRawStatement() { sqlite3_finalize(FStmt); }
    TRawStatement(const TRawStatement&) = delete;
    TRawStatement& operator=(const TRawStatement&) = delete;
    sqlite3_stmt* operator*() const { return FStmt; }
    bool Valid() const { return FStmt != nullptr; }

private:
    sqlite3_stmt* FStmt = nullptr;
};

// Every value of every row, read the cheapest way the engine offers; a sum keeps the reads.
qint64 StepThrough(sqlite3_stmt* st)
{
    qint64 sum = 0;
    const int cols = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                sum += sqlite3_column_int64(st, c);
                break;
            case SQLITE_FLOAT:
                sum += qint64(sqlite3_column_double(st, c));
                break;
            case SQLITE_NULL:
                break;
            default:
                sum += sqlite3_column_bytes(st, c);
                sum += *static_cast<const unsigned char*>(sqlite3_column_blob(st, c));
            }
        }
    }
    return sum;
}

class TPorderBench {
public:
    TPorderBench()
    {
        const QString file = FDir.filePath(QStringLiteral("bench.db"));
        QFile::copy(TemplateDatabase(), file);
        RegisterServerProcedures();
        FCon.Open(file);
        g_DefaultCon = &FCon;
        ResetSession();
        ClearRegistries();
        TPackageSeams::Reset();
        TBillBaseForm::ShowBillSearch = nullptr;
        FMessages = std::make_unique<TScriptedMessages>();
        LoginAs(1, &FCon);
        BillLoad();
        Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("PorderForm"), nullptr);
        for (QWidget* w : QApplication::allWidgets())
            if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f == w && f->objectName() == QLatin1String("PorderForm"))
                Form = f;
        FVendor = FCon.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
        TClientDataSet goods;
        FCon.OpenDataSet(QStringLiteral("select g.goodsid, u.unitid from goods g join goodsunit u on u.goodsid = g.goodsid"
                                        " and u.unittype = 0 where g.kind < 4 and g.closed = 'F' and ifnull(g.batchctrl, 'F') <> 'T' order by g.goodsid"),
                         &goods);
        for (goods.First(); !goods.Eof(); goods.Next())
            FGoods.append({goods.FieldByName(QStringLiteral("goodsid"))->AsInteger(), goods.FieldByName(QStringLiteral("unitid"))->AsInteger()});
        FMasterColumns = Columns(QStringLiteral("porder"));
        FLineColumns = Columns(QStringLiteral("orderdetail"));
    }
    ~TPorderBench()
    {
        delete Form.data();
        BillUnload();
        FMessages.reset();
        ClearRegistries();
        TPackageSeams::Reset();
        FreeLookupTables();
        ResetSession();
        g_DefaultCon = nullptr;
    }

    sqlite3* Handle() { return FCon.Handle(); }

    bool Ready(benchmark::State& state)
    {
        if (!Form) {
            state.SkipWithError("SHOWBILLFORM did not open PorderForm");
            return false;
        }
        if (FGoods.isEmpty()) {
            state.SkipWithError("the demo database has no goods");
            return false;
        }
        return true;
    }

    // A new bill on the form with `lines` goods lines, not yet saved.
    void EnterBill(int lines)
    {
        Form->NewBill();
        TClientDataSet* m = Form->cdsMaster;
        SafeSetFieldValue(m, QStringLiteral("clientid"), FVendor);
        SafeSetFieldValue(m, QStringLiteral("storeid"), 1);
        SafeSetFieldValue(m, QStringLiteral("exemanid"), 7);
        SetDataSetPost(m);
        AppendGoodsLines(Form->cdsDetail, FGoods, lines);
    }

    // Saves the bill on the form; the stock and price warnings a save may raise are accepted.
    bool Save(benchmark::State& state)
    {
        while (FMessages->PendingAnswers() < 3)
            FMessages->Answer(IDYES);
        const int errorsBefore = FMessages->Count(TMessageKind::Error);
        if (!Form->SaveBill() || FMessages->Count(TMessageKind::Error) != errorsBefore || Form->CurrentBillID == kNoBillID) {
            const QString why = FMessages->Texts().join(QLatin1Char('|'));
            state.SkipWithError(("the purchase order was not saved: " + why.toStdString()).c_str());
            return false;
        }
        FMessages->ClearRecords();
        return true;
    }

    // Enters and saves a bill; its id, or kNoBillID.
    int SaveNewBill(benchmark::State& state, int lines)
    {
        EnterBill(lines);
        return Save(state) ? Form->CurrentBillID : kNoBillID;
    }

    // The rows of a new bill of `lines` lines, as EnterBill enters them, written straight into
    // the bill's tables: every column of the master and the lines bound, one transaction.
    // False when the engine refused.
    bool DirectWrite(int lines)
    {
        sqlite3* db = FCon.Handle();
        const qint64 id = FCon.ExecuteScalar(QStringLiteral("select ifnull(max(orderid), 0) + 1 from porder")).toLongLong();
        TRawStatement master(db, InsertStatement(QStringLiteral("porder"), FMasterColumns));
        TRawStatement line(db, InsertStatement(QStringLiteral("orderdetail"), FLineColumns));
        if (!master.Valid() || !line.Valid() || sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        // what each line column holds, worked out before the rows so that the rows only bind
        enum TLineValue { Null, Id, ItemNo, Goods, Unit, Qty, Price, Amount, Hundred, Zero, False };
        QVector<TLineValue> kinds;
        for (const QString& col : FLineColumns) {
            auto is = [&](std::initializer_list<const char*> names) {
                for (const char* n : names)
                    if (col == QLatin1String(n))
                        return true;
                return false;
            };
            kinds << (is({"orderid"}) ? Id : is({"itemno"}) ? ItemNo : is({"goodsid"}) ? Goods : is({"unitid"}) ? Unit
                      : is({"unitqty", "quantity"}) ? Qty : is({"unitprice", "price"}) ? Price : is({"goodsamt", "amount"}) ? Amount
                      : is({"disc"}) ? Hundred : is({"taxrate", "taxamt", "rcvdqty", "aprice", "refercount"}) ? Zero
                      : is({"ispresent"}) ? False : Null);
        }
        double total = 0;
        for (int i = 0; i < lines; ++i) {
            const TGoodsLine& g = FGoods.at(i % FGoods.size());
            const double qty = 1 + i % 9;
            const double price = 3.5 + i % 13;
            total += qty * price;
            sqlite3_stmt* st = *line;
            for (int c = 0; c < kinds.size(); ++c) {
                switch (kinds[c]) {
                case Id: sqlite3_bind_int64(st, c + 1, id); break;
                case ItemNo: sqlite3_bind_int(st, c + 1, i + 1); break;
                case Goods: sqlite3_bind_int(st, c + 1, g.GoodsID); break;
                case Unit: sqlite3_bind_int(st, c + 1, g.UnitID); break;
                case Qty: sqlite3_bind_double(st, c + 1, qty); break;
                case Price: sqlite3_bind_double(st, c + 1, price); break;
                case Amount: sqlite3_bind_double(st, c + 1, qty * price); break;
                case Hundred: sqlite3_bind_double(st, c + 1, 100); break;
                case Zero: sqlite3_bind_double(st, c + 1, 0); break;
                case False: sqlite3_bind_text(st, c + 1, "F", 1, SQLITE_STATIC); break;
                case Null: sqlite3_bind_null(st, c + 1); break;
                }
            }
            if (sqlite3_step(*line) != SQLITE_DONE)
                return Rollback(db);
            sqlite3_reset(*line);
        }
        const QByteArray code = QStringLiteral("D%1").arg(id).toUtf8();
        const QByteArray date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
        for (int c = 0; c < FMasterColumns.size(); ++c) {
            const QString& col = FMasterColumns[c];
            sqlite3_stmt* st = *master;
            if (col == QLatin1String("orderid"))
                sqlite3_bind_int64(st, c + 1, id);
            else if (col == QLatin1String("clientid"))
                sqlite3_bind_int(st, c + 1, FVendor);
            else if (col == QLatin1String("exemanid"))
                sqlite3_bind_int(st, c + 1, 7);
            else if (col == QLatin1String("shopid") || col == QLatin1String("opid"))
                sqlite3_bind_int(st, c + 1, 1);
            else if (col == QLatin1String("amount"))
                sqlite3_bind_double(st, c + 1, total);
            else if (col == QLatin1String("disc"))
                sqlite3_bind_double(st, c + 1, 100);
            else if (col == QLatin1String("code"))
                sqlite3_bind_text(st, c + 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            else if (col == QLatin1String("billdate") || col == QLatin1String("updatetime"))
                sqlite3_bind_text(st, c + 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
            else if (col == QLatin1String("closed") || col == QLatin1String("finished") || col == QLatin1String("sendemail"))
                sqlite3_bind_text(st, c + 1, "F", 1, SQLITE_STATIC);
            else if (col == QLatin1String("flag") || col == QLatin1String("refercount") || col == QLatin1String("sflag")
                     || col == QLatin1String("printed"))
                sqlite3_bind_int(st, c + 1, 0);
            else
                sqlite3_bind_null(st, c + 1);
        }
        if (sqlite3_step(*master) != SQLITE_DONE)
            return Rollback(db);
        return sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // The bill's master and line selects, with their joins, prepared and stepped through.
    qint64 DirectRead(int id)
    {
        sqlite3* db = FCon.Handle();
        qint64 sum = 0;
        for (const QString& sql : {Form->MasterSQL, Form->DetailSQL}) {
            TRawStatement st(db, TranslateSql(TBillDocument::FormatBillSQL(sql, id)));
            if (!st.Valid())
                return -1;
            sum += StepThrough(*st);
        }
        return sum;
    }

    int LineCount(int id)
    {
        return FCon.ExecuteScalar(QStringLiteral("select count(*) from orderdetail where orderid = :id"), {{QStringLiteral("id"), id}}).toInt();
    }

    QPointer<TBillBaseForm> Form;

private:
    QTemporaryDir FDir;
    TClientConnection FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
    int FVendor = 0;
    QVector<TGoodsLine> FGoods;
    QStringList FMasterColumns, FLineColumns;

    QStringList Columns(const QString& table)
    {
        TClientDataSet ds;
        FCon.OpenDataSet(QStringLiteral("select name from pragma_table_info('%1')").arg(table), &ds);
        QStringList out;
        for (ds.First(); !ds.Eof(); ds.Next())
            out << ds.Fields(0)->AsString().toLower();
        return out;
    }
    static QString InsertStatement(const QString& table, const QStringList& columns)
    {
        return QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u','));
    }
    static bool Rollback(sqlite3* db)
    {
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        return false;
    }
};

// Both sides of a comparison, summed over the iterations: the work measured and the same rows
// straight through the engine.
struct TAgainstDirect {
    double Ms = 0;
    double DirectMs = 0;
    void Report(benchmark::State& state, double perIteration = 1) const
    {
        const double n = double(state.iterations()) * perIteration;
        if (n <= 0 || DirectMs <= 0)
            return;
        state.counters["cpu_ms"] = Ms / n;
        state.counters["direct_ms"] = DirectMs / n;
        state.counters["x_direct"] = Ms / DirectMs;
    }
};

// Entering the lines is left out: the time is the save itself (post, checks, delta, the
// server's procedure, and the saved bill opened again). The direct write of the same rows
// runs in the same iteration. The save up to its commit (form, packet, server, commit) is
// counted apart as well, from the engine's commit hook: the reopening after it is a load by
// id, measured on its own below.
void BM_PorderSaveNew(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    TAgainstDirect figures;
    double lastCommit = 0, toCommitMs = 0;
    sqlite3_commit_hook(
        b.Handle(), [](void* at) { *static_cast<double*>(at) = ThreadCpuMs(); return 0; }, &lastCommit);
    for (auto _ : state) {
        state.PauseTiming();
        b.EnterBill(lines);
        const double d0 = ThreadCpuMs();
        const bool direct = b.DirectWrite(lines);
        figures.DirectMs += ThreadCpuMs() - d0;
        if (!direct) {
            state.SkipWithError("the engine refused the direct write");
            break;
        }
        state.ResumeTiming();
        const double t0 = ThreadCpuMs();
        if (!b.Save(state))
            break;
        figures.Ms += ThreadCpuMs() - t0;
        toCommitMs += lastCommit - t0;
    }
    sqlite3_commit_hook(b.Handle(), nullptr, nullptr);
    figures.Report(state);
    if (state.iterations() > 0 && figures.DirectMs > 0) {
        state.counters["commit_ms"] = toCommitMs / double(state.iterations());
        state.counters["commit_x_direct"] = toCommitMs / figures.DirectMs;
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["lines"] = lines;
}
BENCHMARK(BM_PorderSaveNew)->Arg(1)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// A saved bill read back by id (the id check, master and lines through GetClientDataSet),
// against its selects stepped through directly.
void BM_PorderLoadByID(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    const int id = b.SaveNewBill(state, lines);
    if (id == kNoBillID)
        return;
    if (b.LineCount(id) != lines) {
        state.SkipWithError("the saved purchase order does not have its lines");
        return;
    }
    TAgainstDirect figures;
    for (auto _ : state) {
        state.PauseTiming();
        const double d0 = ThreadCpuMs();
        benchmark::DoNotOptimize(b.DirectRead(id));
        figures.DirectMs += ThreadCpuMs() - d0;
        state.ResumeTiming();
        const double t0 = ThreadCpuMs();
        if (!b.Form->LoadBillByID(id) || b.Form->cdsDetail->RecordCount() != lines) {
            state.SkipWithError("the saved purchase order did not load");
            break;
        }
        figures.Ms += ThreadCpuMs() - t0;
    }
    figures.Report(state);
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_PorderLoadByID)->Arg(1)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// The refresh button on a saved bill: the bill again and the form's lookup tables.
void BM_PorderRefresh(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    if (b.SaveNewBill(state, lines) == kNoBillID)
        return;
    for (auto _ : state)
        b.Form->RefreshBill();
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_PorderRefresh)->Arg(1)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// Four bills of `lines` lines saved one after another; one iteration walks back from the
// last to the first and forward again (six steps, each opening a bill). The counters are per
// step, against a direct read of the bill each step opens.
void BM_PorderNavigate(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    QVector<int> ids;
    for (int i = 0; i < 4; ++i) {
        const int id = b.SaveNewBill(state, lines);
        if (id == kNoBillID)
            return;
        ids << id;
    }
    TAgainstDirect figures;
    for (auto _ : state) {
        state.PauseTiming();
        const double d0 = ThreadCpuMs();
        for (int id : {ids[2], ids[1], ids[0], ids[1], ids[2], ids[3]})
            benchmark::DoNotOptimize(b.DirectRead(id));
        figures.DirectMs += ThreadCpuMs() - d0;
        state.ResumeTiming();
        const double t0 = ThreadCpuMs();
        for (int i = 0; i < 3; ++i)
            b.Form->GotoPriorBill();
        if (b.Form->CurrentBillID != ids.first()) {
            state.SkipWithError("GotoPriorBill did not reach the first saved bill");
            break;
        }
        for (int i = 0; i < 3; ++i)
            b.Form->GotoNextBill();
        if (b.Form->CurrentBillID != ids.last()) {
            state.SkipWithError("GotoNextBill did not come back to the last saved bill");
            break;
        }
        figures.Ms += ThreadCpuMs() - t0;
    }
    figures.Report(state, 6);
    state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK(BM_PorderNavigate)->Arg(1)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// The document alone: its datasets' views (grid, footer, editors) do not follow meanwhile.
struct TWithoutViews {
    explicit TWithoutViews(TBillDocument* d, bool on = true) : D(on ? d : nullptr)
    {
        if (D) {
            D->cdsMaster->DisableControls();
            D->cdsDetail->DisableControls();
        }
    }
    ~TWithoutViews()
    {
        if (D) {
            D->cdsMaster->EnableControls();
            D->cdsDetail->EnableControls();
        }
    }
    TBillDocument* D;
};

// Appending one line to a bill that has `lines` lines already: the new line's number and
// defaults, and the events it raises. The time should not grow with the bill.
void BM_DocumentAppendLine(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    b.EnterBill(lines);
    TBillDocument* d = b.Form->Document();
    TWithoutViews quiet(d);
    for (auto _ : state) {
        d->AppendLine();
        state.PauseTiming();
        d->cdsDetail->Cancel();
        state.ResumeTiming();
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_DocumentAppendLine)->Arg(100)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// One edit of a line's amount on a bill of `lines` lines, the master total following it.
// `range(1)` 1: through the window, whose grid and footer follow as well.
void BM_LineAmountEdit(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    const bool window = state.range(1) != 0;
    b.EnterBill(lines);
    TBillDocument* d = b.Form->Document();
    TWithoutViews quiet(d, !window);
    d->cdsDetail->SetRecNo(lines / 2);
    TField* amount = d->cdsDetail->FieldByName(QStringLiteral("amount"));
    TField* total = d->cdsMaster->FieldByName(QStringLiteral("amount"));
    double value = 1;
    for (auto _ : state) {
        value += 0.01;
        amount->SetValue(value);
    }
    d->cdsDetail->Post();
    if (std::abs(total->AsFloat() - d->cdsDetail->Sum(QStringLiteral("amount"))) > 0.005)
        state.SkipWithError("the master total did not follow the lines");
    state.counters["lines"] = lines;
}
BENCHMARK(BM_LineAmountEdit)->Args({100, 0})->Args({2000, 0})->Args({20000, 0})->Args({2000, 1})->Unit(benchmark::kMicrosecond);

// The first edit after moving to another line: the lines are counted once more.
void BM_LineAmountEditAfterMove(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    b.EnterBill(lines);
    TBillDocument* d = b.Form->Document();
    TWithoutViews quiet(d);
    TField* amount = d->cdsDetail->FieldByName(QStringLiteral("amount"));
    int row = 1;
    for (auto _ : state) {
        state.PauseTiming();
        d->cdsDetail->SetRecNo(row);
        row = row % lines + 1;
        state.ResumeTiming();
        amount->SetValue(2.5 + row);
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_LineAmountEditAfterMove)->Arg(100)->Arg(2000)->Unit(benchmark::kMicrosecond);


} // namespace

