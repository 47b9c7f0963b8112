// A desktop process for the server tests; logs in to the server given as the manager.
//   client_helper URL CERT half CODE
//     takes BILLLOCK, starts a transaction, writes the master row of a receipt without its lines,
//     says "half" and waits to be killed.
//   client_helper URL CERT save BILLS SEED GOODSID:UNITID,...
//     saves BILLS receipts of one to three random lines on the goods given, every third under
//     BILLLOCK, and reports on standard output, a line each:
//       "bill CODE GOODSID:QTY ..."   a saved bill, with what it added
//       "lock FROM TO"                while it held BILLLOCK (monotonic clock, ns)
//       "error MESSAGE"               a save that failed
#include "platform/Exceptions.h"
#include "tests/appserver/ServerProcess.h"
#include "tests/server/BillClient.h"
#include "webrpc/RemoteLink.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <ctime>

namespace {

qint64 MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

[[noreturn]] void HalfSave(TClientConnection& con, const QString& code)
{
    if (!con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), true))
        std::exit(3);
    con.BeginTrans();
    con.Execute(QStringLiteral("insert into recieved (storeid, clientid, code, billdate, shopid, opid) values (1, 1, :c, getdate(), 1, 1)"),
                {{QStringLiteral("c"), code}});
    std::printf("half\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

void SaveBills(TClientConnection& con, int bills, quint32 seed, const QString& goodsList)
{
    QVector<QPair<int, int>> goods;
    for (const QString& g : goodsList.split(u',', Qt::SkipEmptyParts))
        goods.append({g.section(u':', 0, 0).toInt(), g.section(u':', 1, 1).toInt()});
    if (goods.isEmpty())
        throw Exception(QStringLiteral("no goods given"));
    QRandomGenerator rnd(seed);
    for (int b = 0; b < bills; ++b) {
        const bool locked = b % 3 == 0;
        qint64 from = 0;
        if (locked) {
            if (!con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), true))
                throw Exception(QStringLiteral("BILLLOCK not taken"));
            from = MonotonicNs();
        }
        TBillClient bill(con, 7);
        bill.NewBill();
        bill.SetMaster("storeid", 1);
        bill.SetMaster("clientid", 1);
        QString added;
        for (int l = 0, n = 1 + rnd.bounded(3); l < n; ++l) {
            const auto& g = goods[rnd.bounded(goods.size())];
            const int qty = 1 + rnd.bounded(9);
            bill.AddLine({{"goodsid", g.first}, {"unitid", g.second}, {"unitqty", qty}, {"quantity", qty}, {"unitprice", 2}, {"price", 2},
                          {"goodsamt", 2 * qty}, {"amount", 2 * qty}});
            added += QStringLiteral(" %1:%2").arg(g.first).arg(qty);
        }
        const TPacketParams r = bill.SaveAccepting();
        if (locked) {
            const qint64 to = MonotonicNs();
            con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("release"), false);
            std::printf("lock %lld %lld\n", static_cast<long long>(from), static_cast<long long>(to));
        }
        if (r.GetInt("ErrNo") != 0) {
            std::printf("error %s\n", qUtf8Printable(r.GetString("ErrMsg").simplified()));
        } else {
            const QString code = con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(r.GetInt("NewBillID"))).toString();
            std::printf("bill %s%s\n", qUtf8Printable(code), qUtf8Printable(added));
        }
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool half = args.size() == 5 && args[3] == QLatin1String("half");
    const bool save = args.size() == 7 && args[3] == QLatin1String("save");
    if (!half && !save) {
        std::fprintf(stderr, "usage: client_helper URL CERT half CODE | client_helper URL CERT save BILLS SEED GOODSID:UNITID,...\n");
        return 2;
    }
    try {
        TClientConnection con;
        con.OpenRemote(args[1], args[2]);
        RemoteLogin(con, args[1], QStringLiteral("admin"), QStringLiteral("manager"));
        if (half)
            HalfSave(con, args[4]);
        SaveBills(con, args[4].toInt(), args[5].toUInt(), args[6]);
        return 0;
    } catch (const Exception& e) {
        std::printf("error %s\n", qUtf8Printable(e.Message().simplified()));
        return 1;
    }
}
