// The books' invariant under a long run of random operations on the demo database: new bills of
// several kinds with random lines, bills taken over from other bills, edits, deletions, red
// reversals, warnings declined, and now and then a forged or absurd change set. After every step
// the books must add up:
//   - the stock of each store and goods is its opening stock plus the movements the saved bills
//     imply, and its value the opening value plus the values of the stock flow;
//   - what is left of each lot is its quantity less what later bills took from it;
//   - each follow-up quantity is the sum of the lines that refer to the source line;
//   - each master total is the sum of its lines;
//   - each partner's balance and advance is its opening figure plus what the saved bills imply,
//     and so is each money account's balance; settled totals and returned amounts are the sums
//     of the lines that settle or return;
//   - a refused operation changed nothing at all.
//
// The run is seeded and reproducible: a failure prints the seed and the step. The default is
// 500 operations (200 through the application server, tests/appserver), enough for every kind of bill and operation: until each kind of bill has been
// saved once, new bills take the kinds still missing in turn (each a few tries), then kinds are
// drawn by weight. A long run: --books-ops=N (or TB_BOOKS_OPS=N, e.g. 5000); another seed with
// --books-seed=S (or TB_BOOKS_SEED=S).
#include "server/ServerSql.h"
#include "server/StoredValues.h"
#include "tests/server/BillClient.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <functional>
#include <optional>
#include <random>
#include <unordered_map>

namespace {

// ---------------------------------------------------------------- the run's settings

qint64 Setting(const char* option, const char* env, qint64 dflt)
{
    const QString prefix = QStringLiteral("--%1=").arg(QLatin1String(option));
    for (const QString& a : QCoreApplication::arguments())
        if (a.startsWith(prefix))
            return a.mid(prefix.size()).toLongLong();
    const QByteArray v = qgetenv(env);
    return v.isEmpty() ? dflt : v.toLongLong();
}

// The rows of a query. A SQLite file opened here is read through statements prepared once for
// the run (the checks run after every step); a connection through the application server asks the
// server, whatever its engine.
class TReader {
public:
    explicit TReader(TClientConnection& con) : FCon(con) {}
    bool Local() const { return !FCon.Remote() && !FCon.IsPostgres(); }
    QVector<QVariantList> operator()(const QString& sql)
    {
        QVector<QVariantList> rows;
        if (!Local()) {
            TClientDataSet ds;
            FCon.OpenNative(sql, &ds);
            for (ds.First(); !ds.Eof(); ds.Next()) {
                QVariantList r;
                for (int i = 0; i < ds.FieldCount(); ++i)
                    r << ds.Fields(i)->Value();
                rows << r;
            }
            return rows;
        }
        std::unique_ptr<TStatement>& st = FPrepared[sql];
        if (!st)
            st = std::make_unique<TStatement>(FCon.Handle(), sql);
        st->Reset();
        while (st->Step()) {
            QVariantList r;
            for (int i = 0; i < st->ColumnCount(); ++i)
                r << st->Column(i);
            rows << r;
        }
        return rows;
    }

private:
    TClientConnection& FCon;
    std::unordered_map<QString, std::unique_ptr<TStatement>> FPrepared;
};

class TBooks;

// One kind of bill the run creates: how a new one is filled (false when there is nothing to
// base it on), the stock movements of every saved bill of the kind as (store, goods, qty) rows,
// what it does to partners as (client, balance, advance) rows and to money accounts as
// (account, amount) rows, all read from the bill tables.
struct TKindGenerator {
    int BillType;
    const char* Name;
    int Weight;
    bool (*Fill)(TBooks& run, TBillClient& bill);
    const char* Moves;
    const char* Partners = "";
    const char* Banks = "";
};

// Balances keep the meaning of the partner's own kind: a client owes (vendor bills count the other
// way round for it), a vendor is owed (client bills count the other way round).
#define TB_VENDOR_SIDE "(case c.clientkind when 1 then -1 else 1 end)"
#define TB_CLIENT_SIDE "(case c.clientkind when 2 then -1 else 1 end)"

// A source line some later bills take over from: its follow-up column and the lines that refer.
struct TFollowUpCheck {
    const char* Source;   // detail table of the source
    const char* Key;
    const char* Column;   // follow-up column
    int SourceType;
    const char* Referring; // detail table whose lines name the source line
};
const TFollowUpCheck kFollowUpChecks[] = {
    {"orderdetail", "orderid", "rcvdqty", 6, "rcvddetail"},
    {"sorderdetail", "sorderid", "takeqty", 1, "saledetail"},
    {"rcvddetail", "recievedid", "returnqty", 7, "prdetail"},
    {"saledetail", "invoiceid", "returnqty", 2, "returndetail"},
    {"crcvddetail", "crecievedid", "returnqty", 26, "prdetail"},
    {"deputesaledetail", "deputesaleid", "settledqty", 27, "deputesettlementdetail"},
};

// Money later bills put on a bill or its lines: the sum of the amounts of the lines that name it.
const struct {
    const char* Source;
    const char* Key;
    const char* Column;
    const char* Referring; // the referring lines and their amount, (billid, itemno or null, amount) rows
} kMoneyFollowUpChecks[] = {
    {"rcvddetail", "recievedid", "returnamt", "select referbillid, referitemno, amount from prdetail where refertype = 7"},
    {"crcvddetail", "crecievedid", "returnamt", "select referbillid, referitemno, amount from prdetail where refertype = 26"},
    {"saledetail", "invoiceid", "returnamt", "select referbillid, referitemno, amount from returndetail where refertype = 2"},
    {"recieved", "recievedid", "totalpaid", "select referbillid, null, amount from paydetail where refertype = 7"},
    {"preturn", "preturnid", "totalpaid", "select referbillid, null, -amount from paydetail where refertype = 8"},
    {"crecieved", "crecievedid", "totalreturn", "select referbillid, null, amount from prdetail where refertype = 26"},
};

// Master tables whose total is the sum of its lines' amounts.
const struct {
    const char* Master;
    const char* Key;
    const char* Total;
    const char* Lines;
} kTotalChecks[] = {
    {"porder", "orderid", "amount", "orderdetail"},    {"sorder", "sorderid", "amount", "sorderdetail"}, {"recieved", "recievedid", "totalamt", "rcvddetail"},
    {"invoice", "invoiceid", "totalamt", "saledetail"}, {"preturn", "preturnid", "totalamt", "prdetail"},  {"sreturn", "returnid", "totalamt", "returndetail"},
    {"allot", "allotid", "totalamt", "dallot"},        {"balitem", "balitemid", "totalamt", "baldetail"},
    {"crecieved", "crecievedid", "totalamt", "crcvddetail"}, {"csale", "csaleid", "totalamt", "csaledetail"},
    {"deputesale", "deputesaleid", "totalamt", "deputesaledetail"}, {"deputesettlement", "deputesettlementid", "totalamt", "deputesettlementdetail"},
};

struct TSavedBill {
    int Type;
    qint64 Id;
};

class TBooks {
public:
    TBooks(TClientConnection& con, quint64 seed) : Con(con), Rows(con), Rng(seed) {}

    TClientConnection& Con;
    TReader Rows;
    std::mt19937_64 Rng;
    QVector<QPair<int, int>> Goods; // goods, base unit
    QVector<TSavedBill> Bills;
    QHash<QPair<int, int>, double> OpeningQty, OpeningValue;
    QHash<int, QPair<double, double>> OpeningPartner; // balance, advance
    QHash<int, double> OpeningBank;
    QVector<int> Partners;
    QVector<TPacketParams> SavedPackets; // new-bill packets already answered, for repeats

    int Pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(Rng)); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(Rng) < p; }
    int Store() { return 1 + Pick(2); }
    int Partner() { return Partners[Pick(int(Partners.size()))]; }
    int Bank() { return 1 + Pick(3); }
    double Money(double max) { return std::round(std::uniform_real_distribution<double>(0, max)(Rng) * 100) / 100; }
    // quantities with up to three decimals, prices with two: what people type
    double Qty(double max) { return std::max(0.001, std::round(std::uniform_real_distribution<double>(0.001, max)(Rng) * (Chance(0.5) ? 1 : 1000)) / (Chance(0.5) ? 1 : 1000)); }
    double Price() { return std::round(std::uniform_real_distribution<double>(0.1, 60)(Rng) * 100) / 100; }

    QVariantMap LineFor(int goodsIndex, double qty, double price)
    {
        const double amount = RoundMoney(qty * price);
        return {{"goodsid", Goods[goodsIndex].first}, {"unitid", Goods[goodsIndex].second}, {"unitqty", qty},       {"quantity", qty},
                {"unitprice", price},                {"price", price},                    {"goodsamt", amount}, {"amount", amount},
                {"aprice", price},                   {"disc", 100},                       {"taxrate", 0}};
    }
    void AddRandomLines(TBillClient& b, int most, double maxQty)
    {
        const int n = 1 + Pick(most);
        for (int i = 0; i < n; ++i)
            b.AddLine(LineFor(Pick(int(Goods.size())), Qty(maxQty), Price()));
    }
    // A random row of a query, or an empty list.
    QVariantList RandomRow(const QString& sql)
    {
        const QVector<QVariantList> rows = Rows(sql);
        return rows.isEmpty() ? QVariantList() : rows[Pick(int(rows.size()))];
    }
    // A line that takes over part of a source line still open: same goods, unit and price.
    bool AddTakenLine(TBillClient& b, int sourceType, const QString& sourceLines, const QString& key, const QString& column, const QString& where)
    {
        const QVariantList src = RandomRow(QStringLiteral("select d.%1, d.itemno, d.goodsid, d.unitid, d.unitprice, d.unitqty - d.%2 from %3 d where d.unitqty - d.%2 > 0.001 %4")
                                               .arg(key, column, sourceLines, where));
        if (src.isEmpty())
            return false;
        const double qty = std::min(src[5].toDouble(), Qty(src[5].toDouble()));
        const double price = src[4].toDouble();
        const double amount = RoundMoney(qty * price);
        b.AddLine({{"goodsid", src[2]}, {"unitid", src[3]}, {"unitqty", qty}, {"quantity", qty}, {"unitprice", price}, {"price", price},
                   {"goodsamt", amount}, {"amount", amount}, {"refertype", sourceType}, {"referbillid", src[0]}, {"referitemno", src[1]}});
        return true;
    }
};

// ---------------------------------------------------------------- the kinds of bill

bool FillOrder(TBooks& run, TBillClient& b)
{
    b.SetMaster("clientid", 1);
    run.AddRandomLines(b, 3, 30);
    return true;
}

bool FillSalesOrder(TBooks& run, TBillClient& b)
{
    b.SetMaster("clientid", 1);
    run.AddRandomLines(b, 3, 10);
    return true;
}

bool FillReceipt(TBooks& run, TBillClient& b)
{
    b.SetMaster("storeid", run.Store());
    b.SetMaster("clientid", run.Partner());
    if (run.Chance(0.5) && run.AddTakenLine(b, 6, QStringLiteral("orderdetail"), QStringLiteral("orderid"), QStringLiteral("rcvdqty"), QString()))
        return true;
    run.AddRandomLines(b, 4, 40);
    return true;
}

bool FillInvoice(TBooks& run, TBillClient& b)
{
    const int store = run.Store();
    b.SetMaster("storeid", store);
    b.SetMaster("clientid", 1);
    if (run.Chance(0.3) && run.AddTakenLine(b, 1, QStringLiteral("sorderdetail"), QStringLiteral("sorderid"), QStringLiteral("takeqty"), QString()))
        return true;
    run.AddRandomLines(b, 3, 8);
    if (run.Chance(0.15)) { // the first line names a lot of its goods in the store
        b.D.First();
        const QVariantList lot = run.RandomRow(QStringLiteral("select id from v_DetailBillFlow where storeid = %1 and goodsid = %2 and leftqty > 0")
                                                   .arg(store)
                                                   .arg(b.D.FieldByName("goodsid")->AsInteger()));
        if (!lot.isEmpty())
            b.SetLine(1, "batchrefid", lot[0]);
    }
    return true;
}

// Returns go back from the store the source bill used.
bool FillReturnOf(TBooks& run, TBillClient& b, int sourceType, const char* master, const char* lines, const char* key, const char* column)
{
    const QVariantList src = run.RandomRow(QStringLiteral("select m.%1, m.storeid, m.clientid from %2 m join %3 d on d.%1 = m.%1 where m.flag = 0 and d.unitqty - d.%4 > 0.001")
                                               .arg(QLatin1String(key), QLatin1String(master), QLatin1String(lines), QLatin1String(column)));
    if (src.isEmpty())
        return false;
    b.SetMaster("storeid", src[1]);
    b.SetMaster("clientid", src[2]);
    return run.AddTakenLine(b, sourceType, QLatin1String(lines), QLatin1String(key), QLatin1String(column), QStringLiteral("and d.%1 = %2").arg(QLatin1String(key)).arg(src[0].toLongLong()));
}

bool FillCashPurchase(TBooks& run, TBillClient& b)
{
    b.SetMaster("storeid", run.Store());
    b.SetMaster("clientid", run.Partner());
    b.SetMaster("bankid", run.Bank());
    run.AddRandomLines(b, 3, 20);
    return true;
}

// Back to the vendor out of receipts or cash purchases; refunded at once now and then.
bool FillPurchaseReturn(TBooks& run, TBillClient& b)
{
    const bool filled = run.Chance(0.7) ? FillReturnOf(run, b, 7, "recieved", "rcvddetail", "recievedid", "returnqty")
                                         : FillReturnOf(run, b, 26, "crecieved", "crcvddetail", "crecievedid", "returnqty");
    if (filled && run.Chance(0.4)) {
        b.SetMaster("backmoney", "T");
        b.SetMaster("bankid", run.Bank());
    }
    return filled;
}

// A payment of one of the four kinds: settling receipts and returns of a vendor with money
// (paying more or less than they come to), an advance, settling out of the advance, or an
// advance changed without money.
bool FillPayment(TBooks& run, TBillClient& b)
{
    b.MasterAmount = QStringLiteral("amount");
    const int kind = run.Pick(4);
    b.SetMaster("ispp", kind);
    if (kind == 1 || kind == 3) {
        const double amount = run.Money(300) - (run.Chance(0.2) ? 300 : 0);
        b.SetMaster("clientid", run.Partner());
        b.SetMaster("amount", amount);
        if (kind == 1) {
            b.SetMaster("factamount", amount);
            b.SetMaster("bankid", run.Bank());
        }
        return true;
    }
    const QVariantList partner = run.RandomRow(QStringLiteral("select clientid from recieved where flag = 0 and totalamt - totalpaid > 0.01"));
    if (partner.isEmpty())
        return false;
    b.SetMaster("clientid", partner[0]);
    double total = 0;
    for (const QVariantList& bill : run.Rows(QStringLiteral("select 7, recievedid, totalamt - totalpaid from recieved where flag = 0 and clientid = %1 "
                                                                       "and totalamt - totalpaid > 0.01 union all select 8, preturnid, -(totalamt - totalpaid) "
                                                                       "from preturn where flag = 0 and ifnull(backmoney, 'F') <> 'T' and clientid = %1 and totalamt - totalpaid > 0.01")
                                                            .arg(partner[0].toInt()))) {
        if (!run.Chance(0.6))
            continue;
        const double open = bill[2].toDouble();
        const double amount = run.Chance(0.5) ? open : RoundMoney(open * run.Money(1));
        b.AddLine({{"refertype", bill[0]}, {"referbillid", bill[1]}, {"amount", amount}});
        total = RoundMoney(total + amount);
    }
    b.SetMaster("amount", total);
    if (kind == 0) {
        b.SetMaster("factamount", RoundMoney(total + run.Money(50) - 25));
        b.SetMaster("discamount", run.Chance(0.3) ? 1.5 : 0.0);
        b.SetMaster("bankid", run.Bank());
    }
    return true;
}

// Back from the customer; refunded at once now and then.
bool FillSalesReturn(TBooks& run, TBillClient& b)
{
    const bool filled = FillReturnOf(run, b, 2, "invoice", "saledetail", "invoiceid", "returnqty");
    if (filled && run.Chance(0.3)) {
        b.SetMaster("backmoney", "T");
        b.SetMaster("bankid", run.Bank());
    }
    return filled;
}

bool FillCashSale(TBooks& run, TBillClient& b)
{
    b.SetMaster("storeid", run.Store());
    b.SetMaster("clientid", 1);
    b.SetMaster("bankid", run.Bank());
    run.AddRandomLines(b, 3, 6);
    return true;
}

// Goods handed to a consignee of either kind.
bool FillConsignment(TBooks& run, TBillClient& b)
{
    b.SetMaster("storeid", run.Store());
    b.SetMaster("clientid", run.Partner());
    b.SetMaster("billtype", 1);
    run.AddRandomLines(b, 2, 8);
    return true;
}

// Part of what a consignee holds, settled on credit or for cash.
bool FillSettlement(TBooks& run, TBillClient& b)
{
    const QVariantList src = run.RandomRow(QStringLiteral("select m.deputesaleid, m.storeid, m.clientid from deputesale m join deputesaledetail d on d.deputesaleid = m.deputesaleid"
                                                          " where m.flag = 0 and d.unitqty - d.settledqty > 0.001"));
    if (src.isEmpty())
        return false;
    b.SetMaster("storeid", src[1]);
    b.SetMaster("clientid", src[2]);
    const bool cash = run.Chance(0.4);
    b.SetMaster("settlementtype", cash ? 1 : 0);
    if (cash)
        b.SetMaster("bankid", run.Bank());
    return run.AddTakenLine(b, 27, QStringLiteral("deputesaledetail"), QStringLiteral("deputesaleid"), QStringLiteral("settledqty"),
                            QStringLiteral("and d.deputesaleid = %1").arg(src[0].toLongLong()));
}

bool FillTransfer(TBooks& run, TBillClient& b)
{
    const int out = run.Store();
    b.SetMaster("outsid", out);
    b.SetMaster("insid", 3 - out);
    run.AddRandomLines(b, 3, 8);
    return true;
}

bool FillStocktaking(TBooks& run, TBillClient& b)
{
    b.SetMaster("balsid", run.Store());
    const int n = 1 + run.Pick(2);
    for (int i = 0; i < n; ++i) // counted minus booked, either way
        b.AddLine(run.LineFor(run.Pick(int(run.Goods.size())), (run.Chance(0.5) ? 1 : -1) * run.Qty(5), run.Price()));
    return true;
}

const TKindGenerator kKinds[] = {
    {6, "采购订单", 6, FillOrder, ""},
    {1, "销售订单", 3, FillSalesOrder, ""},
    {7, "采购收货单", 14, FillReceipt, "select m.storeid, d.goodsid, d.quantity from recieved m join rcvddetail d on d.recievedid = m.recievedid",
     "select m.clientid, m.totalamt * " TB_VENDOR_SIDE ", 0 from recieved m join client c on c.clientid = m.clientid"},
    {26, "现款采购单", 5, FillCashPurchase, "select m.storeid, d.goodsid, d.quantity from crecieved m join crcvddetail d on d.crecievedid = m.crecievedid", "",
     "select bankid, -totalamt from crecieved"},
    {2, "销售开单", 12, FillInvoice, "select m.storeid, d.goodsid, -d.quantity from invoice m join saledetail d on d.invoiceid = m.invoiceid",
     "select m.clientid, m.totalamt * " TB_CLIENT_SIDE ", 0 from invoice m join client c on c.clientid = m.clientid"},
    {8, "采购退货单", 6, FillPurchaseReturn, "select m.storeid, d.goodsid, -d.quantity from preturn m join prdetail d on d.preturnid = m.preturnid",
     "select m.clientid, -m.totalamt * " TB_VENDOR_SIDE ", 0 from preturn m join client c on c.clientid = m.clientid where ifnull(m.backmoney, 'F') <> 'T'",
     "select bankid, totalamt from preturn where backmoney = 'T'"},
    {4, "销售退货", 4, FillSalesReturn, "select m.storeid, d.goodsid, d.quantity from sreturn m join returndetail d on d.returnid = m.returnid",
     "select m.clientid, -m.totalamt * " TB_CLIENT_SIDE ", 0 from sreturn m join client c on c.clientid = m.clientid where ifnull(m.backmoney, 'F') <> 'T'",
     "select bankid, -totalamt from sreturn where backmoney = 'T'"},
    {3, "现款销售", 4, FillCashSale, "select m.storeid, d.goodsid, -d.quantity from csale m join csaledetail d on d.csaleid = m.csaleid", "",
     "select bankid, totalamt from csale"},
    {27, "委托代销", 4, FillConsignment, "select m.storeid, d.goodsid, -d.quantity from deputesale m join deputesaledetail d on d.deputesaleid = m.deputesaleid"},
    {28, "代销结算", 3, FillSettlement, "",
     "select m.clientid, case when ifnull(m.settlementtype, 0) = 0 then m.totalamt else 0 end * " TB_CLIENT_SIDE ", 0 "
     "from deputesettlement m join client c on c.clientid = m.clientid",
     "select bankid, totalamt from deputesettlement where ifnull(settlementtype, 0) <> 0"},
    {9, "采购付款", 6, FillPayment, "",
     "select m.clientid, case when m.ispp in (0, 2) then -m.amount else 0 end * " TB_VENDOR_SIDE ", "
     "case m.ispp when 0 then m.factamount + m.discamount - m.amount when 2 then -m.amount else m.amount end * " TB_VENDOR_SIDE " "
     "from pay m join client c on c.clientid = m.clientid",
     "select bankid, case when ispp in (0, 1) then -factamount else 0 end from pay"},
    {13, "调拨单", 5, FillTransfer,
     "select m.outsid, d.goodsid, -d.quantity from allot m join dallot d on d.allotid = m.allotid "
     "union all select m.insid, d.goodsid, d.quantity from allot m join dallot d on d.allotid = m.allotid"},
    {14, "盘点单", 3, FillStocktaking, "select m.balsid, d.goodsid, d.quantity from balitem m join baldetail d on d.balitemid = m.balitemid"},
};

const TKindGenerator& KindOf(int billType)
{
    for (const TKindGenerator& k : kKinds)
        if (k.BillType == billType)
            return k;
    return kKinds[0];
}

// ---------------------------------------------------------------- what a step changed

// Keeps the fingerprint of every row of every table as of the end of the last step, and the rows
// each step wrote (the engine reports every row written, committed or rolled back). A step that
// was refused must leave every row it wrote as it was: no row changed, none came, none went; the
// schema and the row count of every table are compared as well, in case a table was emptied in
// one go (the engine does not report that). A step that went through updates the rows it touched.
class TWatch {
public:
    virtual ~TWatch() = default;
    virtual void BeginStep() {}
    virtual QStringList Changed() = 0; // the tables whose rows differ from the end of the last step
    virtual void Accept() = 0;         // what the step did is what the next one starts from
    virtual QStringList Drifted() = 0; // tables whose rows read afresh differ from what was kept
};

class TChangeWatch : public TWatch {
public:
    explicit TChangeWatch(TClientConnection& con) : FDb(con.Handle())
    {
        for (const QVariantList& t : SelectRows(con, QStringLiteral("select name from sqlite_master where type = 'table' order by name"))) {
            const QString name = t[0].toString().toLower();
            FRowOf.insert(name, Prepare(QStringLiteral("select * from \"%1\" where rowid = ?").arg(name)));
            FCount.insert(name, Prepare(QStringLiteral("select count(*) from \"%1\"").arg(name)));
        }
        FKept = ReadAll();
        FSchema = Schema();
        sqlite3_update_hook(FDb, &TChangeWatch::Written, this);
    }
    ~TChangeWatch() override
    {
        sqlite3_update_hook(FDb, nullptr, nullptr);
        for (sqlite3_stmt* st : FStatements)
            sqlite3_finalize(st);
    }
    TChangeWatch(const TChangeWatch&) = delete;
    TChangeWatch& operator=(const TChangeWatch&) = delete;

    void BeginStep() override { FTouched.clear(); }
    QStringList Changed() override
    {
        QSet<QString> out;
        for (const auto& [table, rowid] : FTouched) {
            const std::optional<quint64> now = RowNow(table, rowid);
            const auto kept = FKept[table].constFind(rowid);
            if (now.has_value() != (kept != FKept[table].cend()) || (now && *now != kept.value()))
                out.insert(table);
        }
        for (auto it = FCount.cbegin(); it != FCount.cend(); ++it) {
            sqlite3_step(it.value());
            if (sqlite3_column_int64(it.value(), 0) != FKept.value(it.key()).size())
                out.insert(it.key());
            sqlite3_reset(it.value());
        }
        if (Schema() != FSchema)
            out.insert(QStringLiteral("sqlite_master"));
        QStringList list = out.values();
        list.sort();
        return list;
    }
    void Accept() override
    {
        for (const auto& [table, rowid] : FTouched) {
            if (const std::optional<quint64> now = RowNow(table, rowid))
                FKept[table].insert(rowid, *now);
            else
                FKept[table].remove(rowid);
        }
        FSchema = Schema();
    }
    // Every row read again from scratch matches what the watch kept step by step.
    QStringList Drifted() override
    {
        const auto now = ReadAll();
        QStringList out;
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (it.value() != FKept.value(it.key()))
                out << it.key();
        return out;
    }

private:
    using TRows = QHash<qint64, quint64>; // rowid -> fingerprint

    static void Written(void* self, int, const char*, const char* table, sqlite3_int64 rowid)
    {
        static_cast<TChangeWatch*>(self)->FTouched.insert({QString::fromUtf8(table).toLower(), rowid});
    }
    sqlite3_stmt* Prepare(const QString& sql)
    {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(FDb, text.constData(), int(text.size()), &st, nullptr);
        FStatements << st;
        return st;
    }
    std::optional<quint64> RowNow(const QString& table, qint64 rowid)
    {
        sqlite3_stmt* st = FRowOf.value(table);
        if (!st)
            return std::nullopt;
        sqlite3_bind_int64(st, 1, rowid);
        std::optional<quint64> h;
        if (sqlite3_step(st) == SQLITE_ROW)
            h = TDatabaseChecksum::Row(st, 0);
        sqlite3_reset(st);
        return h;
    }
    QHash<QString, TRows> ReadAll()
    {
        QHash<QString, TRows> all;
        for (auto it = FRowOf.cbegin(); it != FRowOf.cend(); ++it) {
            TRows& rows = all[it.key()];
            sqlite3_stmt* st = nullptr;
            const QByteArray sql = QStringLiteral("select rowid, * from \"%1\"").arg(it.key()).toUtf8();
            sqlite3_prepare_v2(FDb, sql.constData(), int(sql.size()), &st, nullptr);
            while (st && sqlite3_step(st) == SQLITE_ROW)
                rows.insert(sqlite3_column_int64(st, 0), TDatabaseChecksum::Row(st, 1));
            sqlite3_finalize(st);
        }
        return all;
    }
    quint64 Schema()
    {
        quint64 h = 0;
        for (const QVariantList& r : SelectRowsOf(QStringLiteral("select type, name, sql from sqlite_master order by name")))
            h = qHashMulti(h, r.value(0).toString(), r.value(1).toString(), r.value(2).toString());
        return h;
    }
    QVector<QVariantList> SelectRowsOf(const QString& sql)
    {
        TStatement st(FDb, sql);
        QVector<QVariantList> rows;
        while (st.Step())
            rows << QVariantList{st.Column(0), st.Column(1), st.Column(2)};
        return rows;
    }

    sqlite3* FDb;
    QVector<sqlite3_stmt*> FStatements;
    QMap<QString, sqlite3_stmt*> FRowOf, FCount;
    QHash<QString, TRows> FKept;
    quint64 FSchema = 0;
    QSet<QPair<QString, qint64>> FTouched;
};

// Through the application server there is no hook on the engine's writes. On PostgreSQL every row
// carries the transaction that wrote it (xmin): the row count and those transactions, per table,
// change with whatever a committed transaction inserted, updated or deleted, and never with what
// was rolled back, whatever the values written. The columns of the schema are hashed as well.
// Still slower than the hook, which is why the run through the server is shorter by default.
class TWriterWatch : public TWatch {
public:
    explicit TWriterWatch(TClientConnection& con) : FRows(con)
    {
        QStringList parts{QStringLiteral("select '(schema)', md5(string_agg(c.relname || '.' || a.attname || ' ' || a.atttypid::text, ',' "
                                         "order by c.relname, a.attnum)) from pg_attribute a join pg_class c on c.oid = a.attrelid "
                                         "join pg_namespace n on n.oid = c.relnamespace where n.nspname = current_schema() "
                                         "and c.relkind in ('r', 'v') and a.attnum > 0 and not a.attisdropped")};
        for (const QVariantList& t : FRows(QStringLiteral("select name from sqlite_master where type = 'table' order by name")))
            parts << QStringLiteral("select '%1', count(*) || ':' || coalesce(sum(xmin::text::bigint), 0) from \"%1\"").arg(t[0].toString().toLower());
        FSql = parts.join(QStringLiteral(" union all "));
        FKept = Read();
    }
    QStringList Changed() override
    {
        QStringList out;
        const QHash<QString, QString> now = Read();
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (FKept.value(it.key()) != it.value())
                out << (it.key() == QLatin1String("(schema)") ? QStringLiteral("sqlite_master") : it.key());
        out.sort();
        return out;
    }
    void Accept() override { FKept = Read(); }
    QStringList Drifted() override { return Changed(); }

private:
    QHash<QString, QString> Read()
    {
        QHash<QString, QString> out;
        for (const QVariantList& r : FRows(FSql))
            out.insert(r[0].toString(), r[1].toString());
        return out;
    }
    TReader FRows;
    QString FSql;
    QHash<QString, QString> FKept;
};

std::unique_ptr<TWatch> WatchOf(TClientConnection& con)
{
    if (TReader(con).Local())
        return std::make_unique<TChangeWatch>(con);
    return std::make_unique<TWriterWatch>(con);
}

// ---------------------------------------------------------------- the test

class BooksInvariant : public TBillsTest {
protected:
    void SetUp() override
    {
        TBillsTest::SetUp();
        // the books start from the demo data's opening stock: no stock limits in the way
        con.ExecuteNative(QStringLiteral("update goods set upqty = 0, downqty = 0"));
        PrepareChecks();
    }
    void TearDown() override
    {
        FRows.reset();
        TBillsTest::TearDown();
    }

    // Answers a server call as the form would: accepts stock warnings, except now and then.
    template <class Call>
    TPacketParams Accepting(TBooks& run, Call call)
    {
        TPacketParams r = call(0);
        while (r.GetInt("ErrNo") > 1000 && !run.Chance(0.08))
            r = call(r.GetInt("ErrNo") + 1);
        return r;
    }

    // The books' checks, prepared once: statements that count what is wrong.
    void PrepareChecks();
    void CheckBooks(TBooks& run);
    void NewBill(TBooks& run, QString* what, bool* refused);
    void EditBill(TBooks& run, QString* what, bool* refused);
    void DeleteBill(TBooks& run, QString* what, bool* refused);
    void ReverseBill(TBooks& run, QString* what, bool* refused);
    void Forge(TBooks& run, QString* what, bool* refused);

    QMap<QString, int> Tally;
    // new bills tried and saved per bill type
    QMap<int, int> Tried, Saved;
    QString FMoves, FFlowValues, FStock, FPartnerMoney, FBankMoney, FPartners, FBanks;
    std::vector<std::string> FWrongNames;
    QString FWrongCounts; // one row (index, count) per name: one query, not one a check
    std::unique_ptr<TReader> FRows;
};

void BooksInvariant::PrepareChecks()
{
    FRows = std::make_unique<TReader>(con);
    QStringList moves;
    for (const TKindGenerator& k : kKinds)
        if (*k.Moves)
            moves << QLatin1String(k.Moves);
    FMoves = QStringLiteral("with m(s, g, q) as (%1) select s, g, sum(q) from m group by s, g").arg(moves.join(QStringLiteral(" union all ")));
    FFlowValues = QStringLiteral("select storeid, goodsid, sum(round(round(inqty * inprice, 4) - round(outqty * outprice, 4), 4)) "
                                 "from detailbillflow group by storeid, goodsid");
    FStock = QStringLiteral("select storeid, goodsid, onhand, ifnull(amount, 0) from onhand");
    QStringList partners, banks;
    for (const TKindGenerator& k : kKinds) {
        if (*k.Partners)
            partners << QLatin1String(k.Partners);
        if (*k.Banks)
            banks << QLatin1String(k.Banks);
    }
    FPartnerMoney = QStringLiteral("with m(c, b, s) as (%1) select c, sum(b), sum(s) from m group by c").arg(partners.join(QStringLiteral(" union all ")));
    FBankMoney = QStringLiteral("with m(k, a) as (%1) select k, sum(a) from m group by k").arg(banks.join(QStringLiteral(" union all ")));
    FPartners = QStringLiteral("select clientid, ifnull(balance, 0), ifnull(suramt, 0) from client");
    FBanks = QStringLiteral("select bankid, ifnull(balance, 0) from bank");
    QStringList wrongSql;
    auto wrong = [&](const std::string& what, const QString& sql) {
        wrongSql << QStringLiteral("select %1, (%2)").arg(FWrongNames.size()).arg(sql);
        FWrongNames.push_back(what);
    };

    // goods received are valued at what the vendor charged for them
    wrong("a receipt's stock value differs from its goods amount",
          QStringLiteral("select count(*) from recieved m "
                         "left join (select recievedid, sum(goodsamt) a from rcvddetail group by recievedid) d on d.recievedid = m.recievedid "
                         "left join (select billid, sum(round(inqty * inprice, 4)) v from detailbillflow where billtype = 1 group by billid) f "
                         "on f.billid = m.recievedid where m.flag <> 2 and abs(ifnull(d.a, 0) - ifnull(f.v, 0)) > 0.00001"));
    // lots: what is left is the quantity less what later bills took
    wrong("a lot's taken quantity differs from the issues that name it",
          QStringLiteral("select count(*) from detailbillflow l left join (select batchrefid, sum(outqty - inqty) q from detailbillflow "
                         "where batchrefid is not null group by batchrefid) r on r.batchrefid = l.id "
                         "where l.batchrefid is null and l.inqty > 0 and abs(l.refqty - ifnull(r.q, 0)) > 0.0000001"));
    wrong("issues name lots that are gone",
          QStringLiteral("select count(*) from detailbillflow r where r.batchrefid is not null and not exists (select 1 from detailbillflow l where l.id = r.batchrefid)"));
    // follow-up quantities: the sum of the lines that refer to the source line
    for (const TFollowUpCheck& f : kFollowUpChecks)
        wrong(std::string(f.Source) + "." + f.Column + " differs from the lines of " + f.Referring,
              QStringLiteral("select count(*) from %1 s left join (select referbillid, referitemno, sum(unitqty) q from %4 "
                             "where refertype = %5 group by referbillid, referitemno) d on d.referbillid = s.%2 and d.referitemno = s.itemno "
                             "where abs(ifnull(s.%3, 0) - ifnull(d.q, 0)) > 0.0000001")
                  .arg(QLatin1String(f.Source), QLatin1String(f.Key), QLatin1String(f.Column), QLatin1String(f.Referring))
                  .arg(f.SourceType));
    // money on the bills and lines later bills name
    for (const auto& f : kMoneyFollowUpChecks) {
        const bool lines = QLatin1String(f.Source).endsWith(QLatin1String("detail"));
        wrong(std::string(f.Source) + "." + f.Column + " differs from the amounts of the lines that name it",
              QStringLiteral("with r(b, i, a) as (%4) select count(*) from %1 s left join (select b, i, sum(a) a from r group by b, i) d on d.b = s.%2 %5 "
                             "where abs(ifnull(s.%3, 0) - ifnull(d.a, 0)) > 0.00001")
                  .arg(QLatin1String(f.Source), QLatin1String(f.Key), QLatin1String(f.Column), QLatin1String(f.Referring),
                       lines ? QStringLiteral("and d.i = s.itemno") : QString()));
    }
    // master totals: the sum of the lines
    for (const auto& t : kTotalChecks)
        wrong(std::string(t.Master) + "." + t.Total + " is not the sum of its lines",
              QStringLiteral("select count(*) from %1 m left join (select %2, sum(amount) a from %4 group by %2) d on d.%2 = m.%2 "
                             "where abs(ifnull(m.%3, 0) - ifnull(d.a, 0)) > 0.00001")
                  .arg(QLatin1String(t.Master), QLatin1String(t.Key), QLatin1String(t.Total), QLatin1String(t.Lines)));
    FWrongCounts = wrongSql.join(QStringLiteral(" union all "));
}

void BooksInvariant::CheckBooks(TBooks& run)
{
    TReader& rows = *FRows;
    // stock: opening plus what the saved bills move; its value: opening plus the flow's values
    QHash<QPair<int, int>, double> expected = run.OpeningQty;
    for (const QVariantList& r : rows(FMoves))
        expected[{r[0].toInt(), r[1].toInt()}] += r[2].toDouble();
    QHash<QPair<int, int>, double> value = run.OpeningValue;
    for (const QVariantList& r : rows(FFlowValues))
        value[{r[0].toInt(), r[1].toInt()}] += r[2].toDouble();
    QSet<QPair<int, int>> seen;
    for (const QVariantList& r : rows(FStock)) {
        const QPair<int, int> key(r[0].toInt(), r[1].toInt());
        seen.insert(key);
        // equal to the last decimal place: quantities have six, money four
        ASSERT_NEAR(r[2].toDouble(), expected.value(key), 0.0000005) << "stock of goods " << key.second << " in store " << key.first;
        ASSERT_NEAR(r[3].toDouble(), value.value(key), 0.00005) << "stock value of goods " << key.second << " in store " << key.first;
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        ASSERT_TRUE(seen.contains(it.key()) || std::abs(it.value()) < 1e-9) << "no stock row for goods " << it.key().second << " in store " << it.key().first;
    // partners and money accounts: opening plus what the saved bills imply
    QHash<int, QPair<double, double>> partner = run.OpeningPartner;
    for (const QVariantList& r : rows(FPartnerMoney)) {
        auto& p = partner[r[0].toInt()];
        p.first += r[1].toDouble();
        p.second += r[2].toDouble();
    }
    for (const QVariantList& r : rows(FPartners)) {
        const int id = r[0].toInt();
        ASSERT_NEAR(r[1].toDouble(), partner.value(id).first, 0.00005) << "balance of partner " << id;
        ASSERT_NEAR(r[2].toDouble(), partner.value(id).second, 0.00005) << "advance of partner " << id;
    }
    QHash<int, double> bank = run.OpeningBank;
    for (const QVariantList& r : rows(FBankMoney))
        bank[r[0].toInt()] += r[1].toDouble();
    for (const QVariantList& r : rows(FBanks))
        ASSERT_NEAR(r[1].toDouble(), bank.value(r[0].toInt()), 0.00005) << "balance of account " << r[0].toInt();
    const QVector<QVariantList> wrong = rows(FWrongCounts);
    ASSERT_EQ(wrong.size(), qsizetype(FWrongNames.size()));
    for (const QVariantList& r : wrong)
        ASSERT_EQ(r[1].toInt(), 0) << FWrongNames.at(r[0].toUInt());
}

void BooksInvariant::NewBill(TBooks& run, QString* what, bool* refused)
{
    // a short run still saves every kind: the kinds not saved yet come first, a few tries each
    const TKindGenerator* kind = nullptr;
    for (const TKindGenerator& k : kKinds)
        if (Saved.value(k.BillType) == 0 && Tried.value(k.BillType) < 4) {
            kind = &k;
            break;
        }
    if (!kind) {
        int total = 0;
        for (const TKindGenerator& k : kKinds)
            total += k.Weight;
        int roll = run.Pick(total);
        kind = &kKinds[0];
        for (const TKindGenerator& k : kKinds) {
            if (roll < k.Weight) {
                kind = &k;
                break;
            }
            roll -= k.Weight;
        }
    }
    ++Tried[kind->BillType];
    TBillClient b(con, kind->BillType);
    b.HandOver = Tried[kind->BillType] % 2 == 0; // every other bill of a kind as a window sends it
    b.RequestId = QStringLiteral("books-%1").arg(run.Rng());
    b.NewBill();
    *what = QStringLiteral("新%1").arg(QString::fromUtf8(kind->Name));
    if (!kind->Fill(run, b)) {
        *what += QStringLiteral("（无可引用的单据，跳过）");
        return;
    }
    const TPacketParams r = Accepting(run, [&](int step) { return b.Save(step); });
    *refused = r.GetInt("ErrNo") != 0;
    if (*refused) {
        *what += QStringLiteral("，被拒绝：") + r.GetString("ErrMsg");
        return;
    }
    run.Bills.append({kind->BillType, r.GetInt("NewBillID")});
    run.SavedPackets.append(b.SavePacket());
    run.SavedPackets.last().Set("RelevantBillType", kind->BillType);
    ++Tally[QStringLiteral("new")];
    ++Saved[kind->BillType];
}

void BooksInvariant::EditBill(TBooks& run, QString* what, bool* refused)
{
    if (run.Bills.isEmpty())
        return;
    const TSavedBill bill = run.Bills[run.Pick(int(run.Bills.size()))];
    TBillClient b(con, bill.Type);
    b.HandOver = bill.Id % 2 == 0;
    b.OpenBill(bill.Id);
    if (bill.Type == 9) { // a payment pays another sum, and changes its account
        const double paid = run.Money(400);
        b.SetMaster("factamount", paid);
        b.SetMaster("bankid", run.Bank());
        *what = QStringLiteral("改付款 %1 实付 %2").arg(bill.Id).arg(paid);
        const TPacketParams r = b.Save();
        *refused = r.GetInt("ErrNo") != 0;
        if (*refused)
            *what += QStringLiteral("，被拒绝：") + r.GetString("ErrMsg");
        else
            ++Tally[QStringLiteral("edit")];
        return;
    }
    if (b.D.IsEmpty())
        return;
    b.D.First();
    b.D.MoveBy(run.Pick(b.D.RecordCount()));
    const int item = b.D.FieldByName("itemno")->AsInteger();
    switch (run.Pick(4)) {
    case 0: { // another quantity, its amount with it
        const double qty = (bill.Type == 14 && run.Chance(0.5) ? -1 : 1) * run.Qty(12);
        const double price = b.D.FieldByName("unitprice")->AsFloat();
        b.SetLine(item, "unitqty", qty);
        b.SetLine(item, "quantity", qty);
        b.SetLine(item, "amount", RoundMoney(qty * price));
        b.SetLine(item, "goodsamt", RoundMoney(qty * price));
        *what = QStringLiteral("改数量 %1 行号 %2 为 %3").arg(bill.Id).arg(item).arg(qty);
        break;
    }
    case 1: { // another price
        const double price = run.Price();
        const double qty = b.D.FieldByName("unitqty")->AsFloat();
        b.SetLine(item, "unitprice", price);
        b.SetLine(item, "price", price);
        b.SetLine(item, "amount", RoundMoney(qty * price));
        b.SetLine(item, "goodsamt", RoundMoney(qty * price));
        *what = QStringLiteral("改单价 %1 行号 %2 为 %3").arg(bill.Id).arg(item).arg(price);
        break;
    }
    case 2: // a line more
        run.AddRandomLines(b, 1, 6);
        *what = QStringLiteral("加一行 %1").arg(bill.Id);
        break;
    default: // a line less
        b.D.Delete();
        *what = QStringLiteral("删行 %1 行号 %2").arg(bill.Id).arg(item);
        break;
    }
    *what = QStringLiteral("%1（%2）").arg(*what, QString::fromUtf8(KindOf(bill.Type).Name));
    const TPacketParams r = Accepting(run, [&](int step) { return b.Save(step); });
    *refused = r.GetInt("ErrNo") != 0;
    if (*refused)
        *what += QStringLiteral("，被拒绝：") + r.GetString("ErrMsg");
    else
        ++Tally[QStringLiteral("edit")];
}

void BooksInvariant::DeleteBill(TBooks& run, QString* what, bool* refused)
{
    if (run.Bills.isEmpty())
        return;
    const int index = run.Pick(int(run.Bills.size()));
    const TSavedBill bill = run.Bills[index];
    TBillClient b(con, bill.Type);
    b.HandOver = bill.Id % 2 == 0;
    b.OpenBill(bill.Id);
    *what = QStringLiteral("删除%1 %2").arg(QString::fromUtf8(KindOf(bill.Type).Name)).arg(bill.Id);
    const TPacketParams r = Accepting(run, [&](int step) { return b.Delete(step); });
    *refused = r.GetInt("ErrNo") != 0;
    if (*refused) {
        *what += QStringLiteral("，被拒绝：") + r.GetString("ErrMsg");
        return;
    }
    run.Bills.remove(index);
    ++Tally[QStringLiteral("delete")];
}

void BooksInvariant::ReverseBill(TBooks& run, QString* what, bool* refused)
{
    if (run.Bills.isEmpty())
        return;
    const TSavedBill bill = run.Bills[run.Pick(int(run.Bills.size()))];
    TBillClient b(con, bill.Type);
    b.OpenBill(bill.Id);
    *what = QStringLiteral("冲红%1 %2").arg(QString::fromUtf8(KindOf(bill.Type).Name)).arg(bill.Id);
    const TPacketParams r = Accepting(run, [&](int step) { return b.Red(QString(), step); });
    *refused = r.GetInt("ErrNo") != 0;
    if (*refused) {
        *what += QStringLiteral("，被拒绝：") + r.GetString("ErrMsg");
        return;
    }
    run.Bills.append({bill.Type, r.GetInt("NewBillID")});
    ++Tally[QStringLiteral("red")];
}

// A change set no honest form sends. Everything but a repeated request must be refused; a
// repeat is answered with the first bill and changes nothing either.
void BooksInvariant::Forge(TBooks& run, QString* what, bool* refused)
{
    *refused = true;
    ++Tally[QStringLiteral("forged")];
    const int kind = run.Pick(9);
    if (kind == 0 && !run.SavedPackets.isEmpty()) {
        const TPacketParams p = run.SavedPackets[run.Pick(int(run.SavedPackets.size()))];
        TBillClient b(con, p.GetInt("RelevantBillType"));
        const TPacketParams r = b.Call("_Save", p);
        *what = QStringLiteral("重复提交请求 %1").arg(p.GetString("RequestID"));
        EXPECT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        return;
    }
    if (kind == 1) { // a clerk without rights to receipts, or to delete and reverse invoices
        LoginAs(2);
        TBillClient b(con, 7);
        b.NewBill();
        FillReceipt(run, b);
        TPacketParams r = b.Save();
        *what = QStringLiteral("店员新增收货单");
        for (const TSavedBill& bill : run.Bills)
            if (bill.Type == 2) {
                TBillClient inv(con, 2);
                inv.OpenBill(bill.Id);
                EXPECT_NE(inv.Delete().GetInt("ErrNo"), 0);
                EXPECT_NE(inv.Red().GetInt("ErrNo"), 0);
                *what += QStringLiteral("、删除和冲红销售开单 %1").arg(bill.Id);
                break;
            }
        LoginAs(1);
        EXPECT_EQ(r.GetInt("ErrNo"), 1) << r.GetString("ErrMsg").toStdString();
        return;
    }
    TBillClient b(con, 7);
    b.NewBill();
    FillReceipt(run, b);
    TPacketParams p = b.SavePacket();
    // a value written over by hand, where no form would let it through
    auto forge = [&](const char* param, const char* field, const QString& value) {
        QString xml = p.GetString(QLatin1String(param));
        const QRegularExpression attr(QStringLiteral(" %1=\"[^\"]*\"").arg(QLatin1String(field)));
        EXPECT_TRUE(xml.contains(attr)) << field;
        xml.replace(attr, QStringLiteral(" %1=\"%2\"").arg(QLatin1String(field), value));
        p.Set(QLatin1String(param), xml);
    };
    switch (kind) {
    case 2:
        forge("DetailDelta", "unitqty", QStringLiteral("inf"));
        *what = QStringLiteral("数量 inf");
        break;
    case 3:
        forge("DetailDelta", "unitprice", QStringLiteral("nan"));
        *what = QStringLiteral("单价 nan");
        break;
    case 4:
        forge("DetailDelta", "amount", QStringLiteral("1e300"));
        *what = QStringLiteral("金额 1e300");
        break;
    case 5:
        forge("DetailDelta", "goodsid", QStringLiteral("987654"));
        *what = QStringLiteral("不存在的货品");
        break;
    case 6:
        forge("MasterDelta", "storeid", QStringLiteral("77"));
        *what = QStringLiteral("不存在的仓库");
        break;
    case 7: { // another receipt's line, edited under this receipt's name
        QVector<qint64> receipts;
        for (const TSavedBill& bill : run.Bills)
            if (bill.Type == 7 && con.ExecuteScalar(QStringLiteral("select flag from recieved where recievedid = %1").arg(bill.Id)).toInt() == 0)
                receipts << bill.Id;
        if (receipts.size() < 2) {
            *what = QStringLiteral("（没有两张收货单，跳过）");
            *refused = false;
            return;
        }
        const qint64 mineId = receipts[run.Pick(int(receipts.size()))];
        qint64 otherId = mineId;
        while (otherId == mineId)
            otherId = receipts[run.Pick(int(receipts.size()))];
        TBillClient other(con, 7), mine(con, 7);
        other.OpenBill(otherId);
        mine.OpenBill(mineId);
        other.D.First();
        other.SetLine(other.D.FieldByName("itemno")->AsInteger(), "unitqty", 9999);
        p = mine.SavePacket();
        p.Set("DetailDelta", other.D.GetDeltaXML());
        *what = QStringLiteral("在收货单 %1 中改收货单 %2 的明细").arg(mineId).arg(otherId);
        break;
    }
    default: // no lines
        b.D.First();
        while (!b.D.IsEmpty())
            b.D.Delete();
        p = b.SavePacket();
        *what = QStringLiteral("没有明细的收货单");
        break;
    }
    const TPacketParams r = b.Call("_Save", p);
    EXPECT_EQ(r.GetInt("ErrNo"), 1) << what->toStdString() << ": " << r.GetString("ErrMsg").toStdString();
}

TEST_F(BooksInvariant, RandomOperationsKeepTheBooksBalanced)
{
    const quint64 seed = quint64(Setting("books-seed", "TB_BOOKS_SEED", 20240611));
    // through the server each step reads the whole database back: a shorter run by default
    const int ops = int(Setting("books-ops", "TB_BOOKS_OPS", TReader(con).Local() ? 500 : 200));
    SCOPED_TRACE(QStringLiteral("seed %1 (run again with --books-seed=%1 or TB_BOOKS_SEED=%1)").arg(seed).toStdString());
    TBooks run(con, seed);
    {
        for (const QVariantList& r : run.Rows(QStringLiteral("select g.goodsid, u.unitid from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0 "
                                                             "where g.kind = 1 and g.batchctrl = 'F' and g.closed = 'F' and exists "
                                                             "(select 1 from onhand o where o.goodsid = g.goodsid and o.storeid in (1, 2)) order by g.goodsid limit 10")))
            run.Goods.append({r[0].toInt(), r[1].toInt()});
    }
    ASSERT_GE(run.Goods.size(), 5);
    {
        for (const QVariantList& r : run.Rows(FStock)) {
            run.OpeningQty.insert({r[0].toInt(), r[1].toInt()}, r[2].toDouble());
            run.OpeningValue.insert({r[0].toInt(), r[1].toInt()}, r[3].toDouble());
        }
        for (const QVariantList& r : run.Rows(FPartners))
            run.OpeningPartner.insert(r[0].toInt(), {r[1].toDouble(), r[2].toDouble()});
        for (const QVariantList& r : run.Rows(FBanks))
            run.OpeningBank.insert(r[0].toInt(), r[1].toDouble());
        // the walk-in customer and two vendors: bills of either side reach partners of both kinds
        run.Partners = {1};
        for (const QVariantList& r : run.Rows(QStringLiteral("select clientid from client where clientkind = 2 order by clientid limit 2")))
            run.Partners << r[0].toInt();
    }
    int refusals = 0;
    const std::unique_ptr<TWatch> watchOwner = WatchOf(con);
    TWatch& watch = *watchOwner;
    for (int step = 1; step <= ops; ++step) {
        watch.BeginStep();
        QString what;
        bool refused = false;
        const int roll = run.Pick(100);
        if (roll < 50)
            NewBill(run, &what, &refused);
        else if (roll < 68)
            EditBill(run, &what, &refused);
        else if (roll < 78)
            DeleteBill(run, &what, &refused);
        else if (roll < 86)
            ReverseBill(run, &what, &refused);
        else
            Forge(run, &what, &refused);
        SCOPED_TRACE(QStringLiteral("step %1: %2").arg(step).arg(what).toStdString());
        if (refused) {
            ++refusals;
            ASSERT_EQ(watch.Changed(), QStringList()) << "a refused operation changed these tables";
        } else {
            watch.Accept();
        }
        ASSERT_NO_FATAL_FAILURE(CheckBooks(run));
        if (HasFailure())
            return;
    }
    ASSERT_EQ(watch.Drifted(), QStringList()) << "tables changed behind the step-by-step fingerprints";
    qInfo().noquote() << QStringLiteral("books: seed %1, %2 steps: %3 new, %4 edits, %5 deletions, %6 reversals, %7 forged, %8 refused")
                             .arg(seed)
                             .arg(ops)
                             .arg(Tally.value(QStringLiteral("new")))
                             .arg(Tally.value(QStringLiteral("edit")))
                             .arg(Tally.value(QStringLiteral("delete")))
                             .arg(Tally.value(QStringLiteral("red")))
                             .arg(Tally.value(QStringLiteral("forged")))
                             .arg(refusals);
    // the run did what it was meant to: every kind of operation, and refusals (reversals need a
    // saved bill that can be reversed: a short run of another seed may see few of them)
    EXPECT_GT(Tally.value(QStringLiteral("new")), ops / 5);
    EXPECT_GT(Tally.value(QStringLiteral("edit")), ops / 40);
    EXPECT_GT(Tally.value(QStringLiteral("delete")), ops / 40);
    EXPECT_GT(Tally.value(QStringLiteral("red")), ops / 80);
    EXPECT_GT(Tally.value(QStringLiteral("forged")), ops / 20);
    EXPECT_GT(refusals, ops / 10);
    // no kind of bill was left out, however short the run
    for (const TKindGenerator& k : kKinds)
        EXPECT_GT(Saved.value(k.BillType), 0) << k.Name << " never saved in " << Tried.value(k.BillType) << " tries";
    // and every bill it kept track of is there
    for (const TSavedBill& bill : run.Bills) {
        TBillClient b(con, bill.Type);
        b.OpenBill(bill.Id);
        EXPECT_EQ(b.M.RecordCount(), 1) << KindOf(bill.Type).Name << " " << bill.Id;
    }
}

// The watch itself: what a step wrote and kept is seen, even a table emptied in one go.
TEST_F(BooksInvariant, TheWatchSeesEveryRowAStepChanged)
{
    const std::unique_ptr<TWatch> watchOwner = WatchOf(con);
    TWatch& watch = *watchOwner;
    watch.BeginStep();
    EXPECT_EQ(watch.Changed(), QStringList());
    con.ExecuteNative(QStringLiteral("update goods set memo = 'x' where goodsid = %1").arg(goods));
    con.ExecuteNative(QStringLiteral("insert into area (areaid, code, name, lcode) values (999, '99', '外地', '99')"));
    EXPECT_EQ(watch.Changed(), (QStringList{QStringLiteral("area"), QStringLiteral("goods")}));
    watch.Accept();
    watch.BeginStep();
    con.ExecuteNative(QStringLiteral("delete from gvcprice"));
    EXPECT_EQ(watch.Changed(), QStringList{QStringLiteral("gvcprice")});
    watch.Accept();
    if (TReader(con).Local())
        EXPECT_NE(watch.Drifted(), QStringList()) << "the emptied table was not reported row by row";
    else // read afresh at every step: nothing to drift from
        EXPECT_EQ(watch.Drifted(), QStringList());
}

} // namespace
