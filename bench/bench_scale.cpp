// A chain's database at full size on PostgreSQL, reached as the desktops reach it: through a
// tradebill-server. The database holds the schema, the demo data and, written server-side in
// bulk (bench/scale_fill.sql), 200,000 goods, 20,000 partners and 1,000,000 bills with about
// 5,000,000 lines. It is filled once and kept: the cluster lives in TB_SCALE_DIR (default
// /var/tmp/tradebill-scale, started by bench/scale-cluster.sh), or TB_SCALE_DATABASE names a
// database of a server of your own (postgresql://user@host:port/name). TB_SCALE_BILLS asks for
// a smaller fill (a database of its own).
//
// Measured through the server, as the bill windows do it: the receipt window loading a
// 2,000-line receipt by id and stepping to the next or previous receipt; the purchase order
// window saving a new 100-line order (its checks, the Submit procedure, the saved bill read
// back); the receipt's Submit procedure alone with 100 lines; and one client process, then
// eight together, saving five-line bills (bills per second over all).
// Times are wall-clock: the work is mostly the server's and the database's.
#include "bench/BenchSupport.h"
#include "bench/ScaleFill.h"
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "host/LoginDialog.h"
#include "package/BillPackage.h"
#include "package/PackageSeams.h"
#include "platform/Exceptions.h"
#include "server/DemoData.h"
#include "server/Schema.h"
#include "tests/appserver/ServerProcess.h"
#include "tests/server/BillClient.h"
#include "webrpc/RemoteLink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

void Say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

QString Run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw Exception(QStringLiteral("%1 %2 failed: %3").arg(program, args.join(u' '), QString::fromUtf8(p.readAllStandardError())));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString ClusterScript() { return QStringLiteral(TB_SOURCE_DIR "/bench/scale-cluster.sh"); }
QString ClusterDir() { return qEnvironmentVariable("TB_SCALE_DIR", QStringLiteral("/var/tmp/tradebill-scale")); }

// The database of the given size, filled when it is not yet; its connection string. The fill
// leaves a comment on the database when complete, so that a fill cut short starts over.
QString ScaleDatabase(const TScaleSize& size)
{
    QString target = qEnvironmentVariable("TB_SCALE_DATABASE");
    if (target.isEmpty()) {
        const QString port = Run(QStringLiteral("bash"), {ClusterScript(), QStringLiteral("start"), ClusterDir()});
        target = QStringLiteral("postgresql://tradebill@127.0.0.1:%1/tradebill_scale_%2").arg(port).arg(size.Bills);
    }
    const QString name = target.section(u'/', -1);
    TClientConnection admin;
    admin.Open(target.section(u'/', 0, -2) + QStringLiteral("/postgres"));
    const QString done = admin.ExecuteScalar(QStringLiteral("select shobj_description(oid, 'pg_database') from pg_database where datname = :d"),
                                             {{QStringLiteral("d"), name}})
                             .toString();
    if (done.startsWith(QLatin1String("filled"))) {
        Say(QStringLiteral("%1: %2").arg(name, done));
        return target;
    }
    Say(QStringLiteral("filling %1 (%2 bills) ...").arg(name).arg(size.Bills));
    admin.ExecuteNative(QStringLiteral("drop database if exists \"%1\"").arg(name));
    admin.ExecuteNative(QStringLiteral("create database \"%1\"").arg(name));
    QElapsedTimer all;
    all.start();
    {
        TClientConnection con;
        con.Open(target);
        QElapsedTimer t;
        t.start();
        con.BeginTrans();
        CreateSchema(con);
        FillDemoData(con, QDate(2026, 12, 1));
        FinishDemoKeys(con);
        con.CommitTrans();
        Say(QStringLiteral("  %1 s  schema and demo data").arg(t.elapsed() / 1000.0, 0, 'f', 1));
        FillScaleData(con, size, Say);
    }
    const qint64 bytes = admin.ExecuteScalar(QStringLiteral("select pg_database_size(:d)"), {{QStringLiteral("d"), name}}).toLongLong();
    const QString note = QStringLiteral("filled in %1 s, %2 MB").arg(all.elapsed() / 1000).arg(bytes >> 20);
    admin.ExecuteNative(QStringLiteral("comment on database \"%1\" is '%2'").arg(name, note));
    Say(QStringLiteral("%1: %2").arg(name, note));
    return target;
}

// What every benchmark shares: the server over the scale database, and a desktop logged in to
// it with the receipt window open.
struct TScaleRun {
    std::unique_ptr<TServerProcess> Server;
    std::unique_ptr<TClientConnection> Con;
    std::unique_ptr<TScriptedMessages> Messages;
    QPointer<TBillBaseForm> Form;      // the receipt window
    QPointer<TBillBaseForm> OrderForm; // the purchase order window
    int Vendor = 0;
    int BigBill = 0;    // a receipt of 2,000 lines
    int MiddleBill = 0; // a receipt halfway through the dates
    QVector<TGoodsLine> Goods; // goods id and base unit, for new bills
    QString Error;
};

TScaleRun& Scale()
{
    static TScaleRun run;
    return run;
}

TBillBaseForm* ShowBillForm(const QString& name)
{
    Bill_Call(QStringLiteral("SHOWBILLFORM"), name, nullptr);
    for (QWidget* w : QApplication::allWidgets())
        if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f == w && f->objectName() == name)
            return f;
    throw Exception(QStringLiteral("SHOWBILLFORM did not open %1").arg(name));
}

void OpenScaleRun(const QString& database)
{
    TScaleRun& s = Scale();
    s.Server = std::make_unique<TServerProcess>(database);
    if (!s.Server->Running())
        throw Exception(QStringLiteral("tradebill-server did not start on %1").arg(database));
    s.Con = std::make_unique<TClientConnection>();
    s.Con->OpenRemote(s.Server->Url(), TServerProcess::CertFile());
    g_DefaultCon = s.Con.get();
    ResetSession();
    ClearRegistries();
    TPackageSeams::Reset();
    TBillBaseForm::ShowBillSearch = nullptr;
    s.Messages = std::make_unique<TScriptedMessages>();
    const TLoginResult login = LoginWithPassword(s.Con.get(), 1, QStringLiteral("admin"), QStringLiteral("manager"));
    if (!login.Ok)
        throw Exception(QStringLiteral("login refused: %1").arg(login.Message));
    BillLoad();
    s.Form = ShowBillForm(QStringLiteral("RecieveForm"));
    // the order window offers orders for the goods short of stock: not now
    s.Messages->AnswerWhen(QStringLiteral("自动生成订单"), IDNO);
    s.OrderForm = ShowBillForm(QStringLiteral("PorderForm"));
    TClientConnection& con = *s.Con;
    s.Vendor = con.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
    s.BigBill = con.ExecuteScalar(QStringLiteral("select recievedid from rcvddetail where itemno = 2000 order by recievedid limit 1")).toInt();
    s.MiddleBill = con.ExecuteScalar(QStringLiteral("select recievedid from recieved where shopid = 1 and billdate >= :d order by billdate, code limit 1"),
                                     {{QStringLiteral("d"), QDateTime(QDate(2024, 6, 1), QTime(0, 0))}})
                       .toInt();
    TClientDataSet goods;
    con.OpenDataSet(QStringLiteral("select goodsid, unitid from goodsunit where unittype = 0 and goodsid between 100000 and 101999 order by goodsid"),
                    &goods);
    for (goods.First(); !goods.Eof(); goods.Next())
        s.Goods.append({goods.FieldByName(QStringLiteral("goodsid"))->AsInteger(), goods.FieldByName(QStringLiteral("unitid"))->AsInteger()});
}

void CloseScaleRun()
{
    TScaleRun& s = Scale();
    delete s.Form.data();
    delete s.OrderForm.data();
    BillUnload();
    s.Messages.reset();
    ClearRegistries();
    TPackageSeams::Reset();
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    s.Con.reset();
    s.Server.reset();
}

bool Ready(benchmark::State& state)
{
    if (!Scale().Error.isEmpty()) {
        state.SkipWithError(Scale().Error.toStdString().c_str());
        return false;
    }
    return true;
}

// A new purchase order on the window, `lines` lines on the goods from `first` on, not yet saved.
void EnterOrder(TBillBaseForm* form, int lines, int first)
{
    form->NewBill();
    TClientDataSet* m = form->cdsMaster;
    SafeSetFieldValue(m, QStringLiteral("clientid"), Scale().Vendor);
    SafeSetFieldValue(m, QStringLiteral("exemanid"), 7);
    // No contact: the guard's check of a contact id does not run on PostgreSQL yet.
    SafeSetFieldValue(m, QStringLiteral("linkmanid"), QVariant());
    SetDataSetPost(m);
    AppendGoodsLines(form->cdsDetail, Scale().Goods, lines, first);
}

// A bill of the given type (7 receipt, 2 invoice, 6 purchase order, 1 sales order) as its
// window would send it to the Submit procedure: `lines` lines from goods `first` on, to a
// vendor or customer of the demo data.
std::unique_ptr<TBillClient> EnterBill(TClientConnection& con, int billType, const QVector<TGoodsLine>& goods, int lines, int first)
{
    const bool sale = billType == 2 || billType == 1;
    static QHash<bool, int> partner;
    if (!partner.contains(sale))
        partner[sale] = con.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = %1").arg(sale ? 1 : 2)).toInt();
    auto bill = std::make_unique<TBillClient>(con, billType);
    bill->NewBill();
    bill->SetMaster("storeid", 1);
    bill->SetMaster("clientid", partner[sale]);
    for (int i = 0; i < lines; ++i) {
        const auto& g = goods.at((first + i) % goods.size());
        const int qty = 1 + i % 9;
        bill->AddLine({{"goodsid", g.GoodsID}, {"unitid", g.UnitID}, {"unitqty", qty}, {"quantity", qty}, {"unitprice", 2}, {"price", 2},
                       {"goodsamt", 2 * qty}, {"amount", 2 * qty}, {"disc", 100}, {"taxrate", 0}});
    }
    return bill;
}

// Sends the bill to its Submit procedure, accepting its warnings (each one more call, counted
// in `warnings`); the new bill's id, or 0 with the server's message in `why`.
int SubmitBill(TBillClient& bill, QString* why, int* warnings = nullptr)
{
    QList<int> seen;
    const TPacketParams r = bill.SaveAccepting(&seen);
    if (warnings)
        *warnings += int(seen.size());
    if (r.GetInt("ErrNo") != 0) {
        if (why)
            *why = r.GetString("ErrMsg");
        return 0;
    }
    return r.GetInt("NewBillID");
}

void BM_LoadBill(benchmark::State& state)
{
    if (!Ready(state))
        return;
    TBillBaseForm* form = Scale().Form;
    if (Scale().BigBill == 0) {
        state.SkipWithError("the database has no 2,000-line receipt");
        return;
    }
    for (auto _ : state) {
        if (!form->LoadBillByID(Scale().BigBill) || form->cdsDetail->RecordCount() != 2000) {
            state.SkipWithError("the 2,000-line receipt did not load");
            break;
        }
    }
    state.counters["lines"] = 2000;
}
BENCHMARK(BM_LoadBill)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Arg 1 steps forward, arg 0 back, from the middle of three years of receipts.
void BM_NavigateStep(benchmark::State& state)
{
    if (!Ready(state))
        return;
    TBillBaseForm* form = Scale().Form;
    const bool forward = state.range(0) != 0;
    if (!form->LoadBillByID(Scale().MiddleBill)) {
        state.SkipWithError("the middle receipt did not load");
        return;
    }
    for (auto _ : state) {
        const int before = form->CurrentBillID;
        if (forward)
            form->GotoNextBill();
        else
            form->GotoPriorBill();
        if (form->CurrentBillID == before || form->CurrentBillID == kNoBillID) {
            state.SkipWithError("the step did not reach another receipt");
            break;
        }
    }
}
BENCHMARK(BM_NavigateStep)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The window's save: entering the lines is left out of the time.
void BM_SaveBill(benchmark::State& state)
{
    if (!Ready(state))
        return;
    TBillBaseForm* form = Scale().OrderForm;
    TScriptedMessages& messages = *Scale().Messages;
    const int lines = int(state.range(0));
    int first = 0;
    for (auto _ : state) {
        state.PauseTiming();
        EnterOrder(form, lines, first += lines);
        while (messages.PendingAnswers() < 3)
            messages.Answer(IDYES);
        const int errors = messages.Count(TMessageKind::Error);
        state.ResumeTiming();
        if (!form->SaveBill() || messages.Count(TMessageKind::Error) != errors || form->CurrentBillID == kNoBillID) {
            state.SkipWithError(("the purchase order was not saved: " + messages.Texts().join(u'|').toStdString()).c_str());
            break;
        }
        messages.ClearRecords();
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_SaveBill)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The Submit procedure alone (the bill entered outside the time).
void BM_SubmitBill(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const int lines = int(state.range(0));
    int first = 0;
    for (auto _ : state) {
        QString why;
        state.PauseTiming();
        const std::unique_ptr<TBillClient> bill = EnterBill(*Scale().Con, 7, Scale().Goods, lines, first += lines);
        state.ResumeTiming();
        if (SubmitBill(*bill, &why) == 0) {
            state.SkipWithError(("the receipt was not saved: " + why.toStdString()).c_str());
            break;
        }
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_SubmitBill)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Client processes (this program again, with --client), logged in and ready before the clock
// starts, each saving `bills` five-line bills on goods of its own range; the figure is the bills
// saved by all over the time from "go" to the last one done. Arg 2: 0 all save receipts (saves
// of one kind take turns on the server), 1 the clients save receipts, invoices, purchase and
// sales orders, two of each.
constexpr int kClientKinds[] = {7, 2, 6, 1};

void BM_ClientsSaving(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const int clients = int(state.range(0));
    const int bills = int(state.range(1));
    const bool mixed = state.range(2) != 0;
    double billsPerSecond = 0;
    int failed = 0;
    int warnings = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int c = 0; c < clients; ++c) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--client"), Scale().Server->Url(), TServerProcess::CertFile(), QString::number(bills),
                      QString::number(20000 + 10000 * c), QString::number(mixed ? kClientKinds[c % 4] : 7)});
            procs.push_back(std::move(p));
        }
        bool ready = true;
        for (auto& p : procs) {
            QByteArray out;
            while (!out.contains('\n') && p->waitForReadyRead(60000))
                out += p->readAllStandardOutput();
            ready = ready && out.startsWith("ready");
        }
        if (!ready) {
            state.SkipWithError("a client process did not log in");
            break;
        }
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        // written out now: a QProcess otherwise passes its buffer on only while someone waits
        // on that process, and the clients would start one after the other
        for (auto& p : procs) {
            p->write("go\n");
            p->waitForBytesWritten(10000);
            p->closeWriteChannel();
        }
        int saved = 0;
        for (auto& p : procs) {
            p->waitForFinished(600000);
            for (const QByteArray& line : p->readAllStandardOutput().split('\n'))
                if (line.startsWith("done ")) {
                    saved += line.split(' ').value(1).toInt();
                    failed += line.split(' ').value(2).toInt();
                    warnings += line.split(' ').value(3).toInt();
                }
        }
        billsPerSecond = saved / (t.nsecsElapsed() / 1e9);
    }
    if (failed > 0)
        state.SkipWithError(QStringLiteral("%1 saves failed").arg(failed).toStdString().c_str());
    state.counters["bills_per_s"] = billsPerSecond;
    state.counters["clients"] = clients;
    state.counters["warnings"] = warnings; // stock warnings accepted, each a second call
}
BENCHMARK(BM_ClientsSaving)->Args({1, 100, 0})->Args({8, 100, 0})->Args({8, 100, 1})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The goods of a client's range (5,000 from `first` on). A client whose bills issue goods
// takes only goods with stock for a day's selling in store 1, and first receives goods into
// the range when fewer than 1,000 have it (earlier runs sold them): a bill short of stock is
// a warning and a second call, which would measure how empty the range has become.
QVector<TGoodsLine> ClientGoods(TClientConnection& con, int first, bool issues)
{
    const QString range = QStringLiteral("u.unittype = 0 and u.goodsid between %1 and %2").arg(first).arg(first + 4999);
    const QString inStock = QStringLiteral("select u.goodsid, u.unitid from goodsunit u join onhand o on o.goodsid = u.goodsid and o.storeid = 1 "
                                           "where %1 and o.onhand >= 50 order by u.goodsid")
                                .arg(range);
    auto read = [&](const QString& sql) {
        TClientDataSet ds;
        con.OpenDataSet(sql, &ds);
        QVector<TGoodsLine> goods;
        for (ds.First(); !ds.Eof(); ds.Next())
            goods.append({ds.FieldByName(QStringLiteral("goodsid"))->AsInteger(), ds.FieldByName(QStringLiteral("unitid"))->AsInteger()});
        return goods;
    };
    if (!issues)
        return read(QStringLiteral("select u.goodsid, u.unitid from goodsunit u where %1 order by u.goodsid").arg(range));
    QVector<TGoodsLine> goods = read(inStock);
    if (goods.size() >= 1000)
        return goods;
    const QVector<TGoodsLine> all = read(QStringLiteral("select u.goodsid, u.unitid from goodsunit u where %1 order by u.goodsid").arg(range));
    for (qsizetype from = 0; from < all.size(); from += 1000) {
        TBillClient receipt(con, 7);
        receipt.NewBill();
        receipt.SetMaster("storeid", 1);
        receipt.SetMaster("clientid", con.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt());
        for (qsizetype i = from; i < std::min<qsizetype>(all.size(), from + 1000); ++i)
            receipt.AddLine({{"goodsid", all[i].GoodsID}, {"unitid", all[i].UnitID}, {"unitqty", 100}, {"quantity", 100}, {"unitprice", 1.5},
                             {"price", 1.5}, {"goodsamt", 150}, {"amount", 150}, {"disc", 100}, {"taxrate", 0}});
        QString why;
        if (SubmitBill(receipt, &why) == 0)
            throw Exception(QStringLiteral("the goods from %1 on could not be received: %2").arg(first).arg(why));
    }
    return read(inStock);
}

// One client process: logs in, says "ready", waits for a line, saves its bills of the type
// given, and says "done SAVED FAILED WARNINGS" (the messages of failed saves go to standard
// error).
int ClientMain(const QStringList& args)
{
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: bench_scale --client URL CERT BILLS FIRSTGOODS BILLTYPE\n");
        return 2;
    }
    try {
        TClientConnection con;
        con.OpenRemote(args[2], args[3]);
        RemoteLogin(con, args[2], QStringLiteral("admin"), QStringLiteral("manager"));
        const int bills = args[4].toInt();
        const int billType = args[6].toInt();
        const QVector<TGoodsLine> goods = ClientGoods(con, args[5].toInt(), billType == 2);
        if (goods.isEmpty())
            throw Exception(QStringLiteral("no goods from %1 on").arg(args[5]));
        std::printf("ready\n");
        std::fflush(stdout);
        QTextStream in(stdin);
        in.readLine();
        int saved = 0, failed = 0, warnings = 0;
        QRandomGenerator rnd(args[5].toUInt());
        for (int b = 0; b < bills; ++b) {
            QString why;
            if (SubmitBill(*EnterBill(con, billType, goods, 5, int(rnd.bounded(goods.size()))), &why, &warnings) != 0) {
                ++saved;
            } else {
                ++failed;
                std::fprintf(stderr, "save failed: %s\n", qUtf8Printable(why.simplified()));
            }
        }
        std::printf("done %d %d %d\n", saved, failed, warnings);
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "client: %s\n", qUtf8Printable(e.Message()));
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--client") == 0) {
        QCoreApplication app(argc, argv);
        return ClientMain(QCoreApplication::arguments());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TScaleSize size;
    size.Bills = qEnvironmentVariableIntValue("TB_SCALE_BILLS") > 0 ? qEnvironmentVariableIntValue("TB_SCALE_BILLS") : size.Bills;
    try {
        OpenScaleRun(ScaleDatabase(size));
    } catch (const Exception& e) {
        Scale().Error = e.Message();
        Say(e.Message());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseScaleRun();
    return 0;
}
