// A purchase order through the real bill form, opened by the package's "SHOWBILLFORM" command
// on a copy of the demo database: saving a new bill of 1, 100 and 2,000 lines, reading a
// saved bill back, stepping back and forth across a few saved bills, and the line work of the
// bill document - appending a line and editing a line's amount with the master total kept in
// step - on bills of growing size, with and without the window's grid.
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"
#include "package/PackageSeams.h"
#include "server/Procedures.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

QtMessageHandler FDefaultHandler = nullptr;

// The demo database is built once per run; each benchmark works on its own copy.
QString TemplateDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con, true);
        con.Close();
    }
    return file;
}

struct TGoodsLine {
    int GoodsID = 0;
    int UnitID = 0;
};

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
                                        " and u.unittype = 0 where g.kind < 4 and g.closed = 'F' order by g.goodsid"),
                         &goods);
        for (goods.First(); !goods.Eof(); goods.Next())
            FGoods.append({goods.FieldByName(QStringLiteral("goodsid"))->AsInteger(), goods.FieldByName(QStringLiteral("unitid"))->AsInteger()});
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
        TClientDataSet* d = Form->cdsDetail;
        d->DisableControls();
        for (int i = 0; i < lines; ++i) {
            const TGoodsLine& g = FGoods.at(i % FGoods.size());
            const double qty = 1 + i % 9;
            const double price = 3.5 + i % 13;
            d->Append();
            d->FieldByName(QStringLiteral("goodsid"))->SetValue(g.GoodsID);
            d->FieldByName(QStringLiteral("unitid"))->SetValue(g.UnitID);
            for (const char* q : {"unitqty", "quantity"})
                d->FieldByName(QString::fromLatin1(q))->SetValue(qty);
            for (const char* p : {"unitprice", "price"})
                d->FieldByName(QString::fromLatin1(p))->SetValue(price);
            for (const char* a : {"goodsamt", "amount"})
                d->FieldByName(QString::fromLatin1(a))->SetValue(qty * price);
            d->FieldByName(QStringLiteral("disc"))->SetValue(100);
            d->FieldByName(QStringLiteral("taxrate"))->SetValue(0);
            d->FieldByName(QStringLiteral("taxamt"))->SetValue(0);
            d->Post();
        }
        d->EnableControls();
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

    QPointer<TBillBaseForm> Form;

private:
    QTemporaryDir FDir;
    TClientConnection FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
    int FVendor = 0;
    QVector<TGoodsLine> FGoods;
};

// Entering the lines is left out: the time is the save itself (post, checks, delta, the
// server's procedure, and the saved bill opened again).
void BM_PorderSaveNew(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        b.EnterBill(lines);
        state.ResumeTiming();
        if (!b.Save(state))
            break;
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["lines"] = lines;
}
BENCHMARK(BM_PorderSaveNew)->Arg(1)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// A saved bill read back by id (the id check, master and lines through GetClientDataSet).
void BM_PorderLoadByID(benchmark::State& state)
{
    TPorderBench b;
    if (!b.Ready(state))
        return;
    const int lines = int(state.range(0));
    const int id = b.SaveNewBill(state, lines);
    if (id == kNoBillID)
        return;
    for (auto _ : state) {
        if (!b.Form->LoadBillByID(id) || b.Form->cdsDetail->RecordCount() != lines) {
            state.SkipWithError("the saved purchase order did not load");
            break;
        }
    }
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
// last to the first and forward again (six steps, each opening a bill).
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
    for (auto _ : state) {
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
    }
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

// The offscreen platform complains about every form shown; the report stays readable without it.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (FDefaultHandler)
        FDefaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    FDefaultHandler = qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
