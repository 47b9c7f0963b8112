// Saving, deleting and red-reversing bills.
//
// Which bills move stock, and how: the `billkind` table (schema/25_bill_kinds.sql) is the one
// source of its stockdir; BillStockMoves below turns it into movements and is the only place
// that reads it:
//
//   stockdir  bills (billtype)                          store column      movement of a line
//   --------  ----------------------------------------  ----------------  ------------------------------
//     +1      receipt 7, cash purchase 26, sales         insid, else       +quantity (reversing bills and
//             return 4, valued receipt 22, material      storeid           write-backs carry negative
//             return 11, finished goods 12                                 quantities: they issue)
//     -1      invoice 2, cash sale 3, purchase return    outsid, else      -quantity
//             8, material issue 10, consignment 27,      storeid
//             POS day-close 24
//      2      stocktaking 14                             balsid            +quantity (counted - booked)
//      2      transfer 13                                outsid / insid    -quantity out, +quantity in
//      2      assembly 16 (combinflag 0 / 1)             storeid           lines -q / +q, master goods +q / -q
//      2      other movement 15                          storeid           sat.isin 'T' +q, else -q
//      0      every other bill                           -                 none
//
// Goods whose kind is above 3 (services, fees, discount items) never move.
#include "server/BillProcedures.h"

#include "platform/TextRules.h"
#include "server/BillGuard.h"
#include "server/BillKind.h"
#include "server/BillProfiles.h"
#include "server/FollowUps.h"
#include "server/MoneyLedger.h"
#include "server/PriceCheck.h"
#include "server/Procedures.h"
#include "server/Rights.h"
#include "server/ServerSql.h"
#include "server/StockLedger.h"
#include "server/StoredValues.h"
#include "webrpc/Statement.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace {

constexpr double kEps = 0.0000001;
constexpr int kNoBill = kNoBillId;

constexpr int kPosDayBill = 24;

// Columns a reversing bill starts from zero instead of copying: what later bills did to the original.
const char* const kRedZeroColumns[] = {"rcvdqty", "takeqty", "returnqty", "backqty", "deliqty", "allotqty", "settledqty", "badqty",
                                       "refercount", "returnamt", "purappamt", "totalpaid", "totalrcvd", "totalreturn"};
// Quantity columns a reversing bill negates (besides every MONEY column).
const char* const kRedNegatedFloats[] = {"unitqty", "quantity"};

// ---------------------------------------------------------------- errors

// A stock or price check that the user may accept; carries the reply number and the rows
// (a price check also the rows beyond the reference price).
class EStockCheck : public Exception {
public:
    EStockCheck(int errNo, const QString& msg, QString rows, QString moreRows = QString())
        : Exception(msg), ErrNo(errNo), Rows(std::move(rows)), MoreRows(std::move(moreRows))
    {
    }
    int ErrNo;
    QString Rows;
    QString MoreRows;
};

// ---------------------------------------------------------------- small database helpers

QString DateTimeText(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Dates compared at second precision whatever form they travel in.
QString NormalDateText(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return QString();
    if (v.typeId() == QMetaType::QDateTime)
        return DateTimeText(v.toDateTime());
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    QString s = v.toString().trimmed();
    s.replace(u'T', u' ');
    if (s.size() == 10)
        s += QStringLiteral(" 00:00:00");
    return s.left(19);
}

QDate DateOf(const QVariant& v)
{
    const QDate d = QDate::fromString(NormalDateText(v).left(10), QStringLiteral("yyyy-MM-dd"));
    return d.isValid() ? d : QDate::currentDate();
}

qint64 NewKey(TClientConnection& con, const QString& table, const QString& keyField)
{
    TProcParams p;
    p.Add(QStringLiteral("@TableName"), TFieldType::ftString).Value = table;
    p.Add(QStringLiteral("@FieldName"), TFieldType::ftString).Value = keyField;
    p.Add(QStringLiteral("@R_KeyValue"), TFieldType::ftInteger, TParamDirection::pdOutput);
    GetKeyValueProc(con, p, nullptr);
    return p.Value(QStringLiteral("@R_KeyValue")).toLongLong();
}

QString NewBillCode(TClientConnection& con, const QString& table, int shopId, const QDate& date)
{
    TProcParams p;
    p.Add(QStringLiteral("@shopid"), TFieldType::ftInteger).Value = shopId;
    p.Add(QStringLiteral("@billdate"), TFieldType::ftString, TParamDirection::pdInput, 10).Value = date.toString(QStringLiteral("yyyy-MM-dd"));
    p.Add(QStringLiteral("@masttablename"), TFieldType::ftString, TParamDirection::pdInput, 30).Value = table;
    p.Add(QStringLiteral("@billcode"), TFieldType::ftString, TParamDirection::pdInputOutput, 32);
    GetNewBillCodeProc(con, p, nullptr);
    return p.Value(QStringLiteral("@billcode")).toString();
}

// ---------------------------------------------------------------- the request

// A request as it came: the text of a packet, or the packet itself from a caller in the same
// process. Either way it is read into a packet of its own, which the procedure then checks.
struct TRequest {
    const QString* Text = nullptr;
    const TPacketParams* Packet = nullptr;
    void ReadInto(TPacketParams& p) const
    {
        if (Packet)
            p = *Packet;
        else
            p.LoadFromString(*Text);
    }
};

struct TSubmit {
    TClientConnection& Con;
    TOperatorRights Op; // who is calling: the connection's session, never the packet
    TBillKind Kind;
    TPacketParams Req;
    TPacketParams Reply;
    int CheckStep = 0;

    TSubmit(TClientConnection& con, int billType, const TRequest& request)
        : Con(con), Op(TOperatorRights::Of(con)), Kind(ReadBillKind(con, billType))
    {
        request.ReadInto(Req);
        CheckStep = Req.GetInt(QStringLiteral("CheckStep"));
    }

    QString StoredMasterSql() const { return QStringLiteral("select * from %1 where %2 = :id").arg(QuoteIdent(Kind.Master.Name), QuoteIdent(Kind.Key)); }
    TRowValues StoredMaster(qint64 id) const
    {
        const auto rows = SelectMaps(Con, StoredMasterSql(), {{QStringLiteral("id"), id}});
        return rows.isEmpty() ? TRowValues() : rows.first();
    }
    // The master is asked for right after the lines: both in one round trip to a database server.
    void StoredMasterAhead(qint64 id) const { Con.SelectAhead(StoredMasterSql(), {{QStringLiteral("id"), id}}); }
    QVector<TRowValues> StoredLines(qint64 id) const
    {
        if (Kind.Detail.Name.isEmpty())
            return {};
        return SelectMaps(Con, QStringLiteral("select * from %1 where %2 = :id order by itemno").arg(QuoteIdent(Kind.Detail.Name), QuoteIdent(Kind.Key)),
                          {{QStringLiteral("id"), id}});
    }
    bool CodeTaken(const QString& code, qint64 exceptId) const
    {
        return SelectValue(Con, QStringLiteral("select count(*) from %1 where code = :c and %2 <> :id").arg(QuoteIdent(Kind.Master.Name), QuoteIdent(Kind.Key)),
                      {{QStringLiteral("c"), code}, {QStringLiteral("id"), exceptId}})
                   .toInt()
            > 0;
    }
    bool HasFlag() const { return Kind.HasFlag(); }
    QString NowText() const { return DateTimeText(QDateTime::currentDateTime()); }
    // A new update time that differs from the stored one even within the same second.
    QString NextUpdateTime(const QVariant& stored) const
    {
        QDateTime now = QDateTime::currentDateTime();
        now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
        const QDateTime old = QDateTime::fromString(NormalDateText(stored), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (old.isValid() && now <= old)
            now = old.addSecs(1);
        return DateTimeText(now);
    }
    // The branch whose number sequence a bill's code belongs to.
    int ShopId(const TRowValues& master) const
    {
        const QVariant shop = ValueCI(master, QStringLiteral("shopid"));
        return shop.isNull() ? Op.ShopID() : shop.toInt();
    }
};

[[noreturn]] void Refuse(const QString& msg)
{
    throw EDatabaseError(msg);
}

// The master row of a delta (the client sends it in every save and delete).
const TDeltaRow* MasterRowOf(const TDelta& d)
{
    for (const TDeltaRow& r : d.Rows)
        if (r.Kind != TUpdateStatus::usUnmodified)
            return &r;
    return nullptr;
}

void CheckNotStale(const TRowValues& stored, const TDeltaRow* row)
{
    if (!row || row->Kind != TUpdateStatus::usModified || !row->Old.contains(QStringLiteral("updatetime")))
        return;
    if (NormalDateText(ValueCI(row->Old, QStringLiteral("updatetime"))) != NormalDateText(stored.value(QStringLiteral("updatetime"))))
        Refuse(QStringLiteral("该单据已被其他用户修改，请刷新后重新操作！"));
}

void CheckExists(const TRowValues& stored)
{
    if (stored.isEmpty())
        Refuse(QStringLiteral("该单据已不存在，可能已被其他用户删除！"));
}

// ---------------------------------------------------------------- line quantities

double UnitRate(TClientConnection& con, const QVariant& unitId)
{
    if (unitId.isNull())
        return 1;
    const QVariant r = SelectValue(con, QStringLiteral("select rate from goodsunit where unitid = :u"), {{QStringLiteral("u"), unitId}});
    return r.isNull() || r.toDouble() == 0 ? 1 : r.toDouble();
}

double BaseQty(TClientConnection& con, const TRowValues& line)
{
    const double q = line.value(QStringLiteral("quantity")).toDouble();
    if (std::abs(q) > kEps || !line.contains(QStringLiteral("unitqty")))
        return q;
    return line.value(QStringLiteral("unitqty")).toDouble() * UnitRate(con, line.value(QStringLiteral("unitid")));
}

// Cost per base unit of goods a line takes in: what the vendor charged before tax on purchases,
// the cost price carried by the line elsewhere.
double InCost(const TBillKind& kind, const TRowValues& line, double qty)
{
    auto num = [&](const char* c) { return line.value(QLatin1String(c)).toDouble(); };
    if (std::abs(qty) < kEps)
        return 0;
    if (kind.CVFlag == 2) {
        if (std::abs(num("goodsamt")) > kEps)
            return num("goodsamt") / qty;
        if (std::abs(num("amount")) > kEps)
            return num("amount") / qty;
        return num("price");
    }
    if (num("aprice") > 0)
        return num("aprice");
    if (num("price") > 0)
        return num("price");
    return std::abs(num("amount")) > kEps ? num("amount") / qty : 0;
}

TStockMove LineMove(const TRowValues& line, int store, double signedQty, double price)
{
    TStockMove m;
    m.ItemNo = line.value(QStringLiteral("itemno")).toInt();
    m.StoreID = store;
    m.GoodsID = line.value(QStringLiteral("goodsid")).toInt();
    m.UnitID = line.value(QStringLiteral("unitid"));
    m.Qty = signedQty;
    m.Price = price;
    m.BatchCode = line.value(QStringLiteral("batchcode")).toString().trimmed();
    m.ProducedDate = line.value(QStringLiteral("produceddate"));
    m.ValidDate = line.value(QStringLiteral("validdate"));
    m.LotRef = line.value(QStringLiteral("batchrefid")).toLongLong();
    return m;
}

constexpr int kDeliveryBill = 42;

int StoreOf(const TRowValues& master, const char* preferred)
{
    const QVariant v = master.value(QLatin1String(preferred));
    return !v.isNull() ? v.toInt() : master.value(QStringLiteral("storeid")).toInt();
}

// The stock movements of a stored bill (see the table at the top of this file).
QVector<TStockMove> BillStockMoves(TClientConnection& con, const TBillKind& kind, const TRowValues& master, const QVector<TRowValues>& lines)
{
    QVector<TStockMove> moves;
    switch (kind.StockDir) {
    case 1:
    case -1: {
        const int store = StoreOf(master, kind.StockDir > 0 ? "insid" : "outsid");
        for (const TRowValues& l : lines) {
            const double q = BaseQty(con, l);
            moves << LineMove(l, store, kind.StockDir * q, InCost(kind, l, q));
        }
        break;
    }
    case 2:
        if (kind.BillType == 14) { // stocktaking
            const int store = master.value(QStringLiteral("balsid")).toInt();
            for (const TRowValues& l : lines) {
                const double q = BaseQty(con, l);
                moves << LineMove(l, store, q, InCost(kind, l, q));
            }
        } else if (kind.BillType == 13) { // transfer: out at cost, in at the same cost
            const int out = master.value(QStringLiteral("outsid")).toInt();
            const int in = master.value(QStringLiteral("insid")).toInt();
            for (const TRowValues& l : lines) {
                const double q = BaseQty(con, l);
                TStockMove o = LineMove(l, out, -q, 0);
                TStockMove i = LineMove(l, in, q, InCost(kind, l, q));
                if (q < 0) { // a reversing transfer brings the goods back out of the receiving store first
                    std::swap(o.StoreID, i.StoreID);
                    o.Qty = q;
                    i.Qty = -q;
                }
                i.LotRef = 0;
                i.CostFromMove = int(moves.size());
                moves << o << i;
            }
        } else if (kind.BillType == 16) { // assembly: components against the assembled goods
            const int store = master.value(QStringLiteral("storeid")).toInt();
            const int dir = master.value(QStringLiteral("combinflag")).toInt() == 0 ? 1 : -1;
            for (const TRowValues& l : lines) {
                const double q = BaseQty(con, l);
                moves << LineMove(l, store, -dir * q, InCost(kind, l, q));
            }
            TRowValues head = master;
            head.insert(QStringLiteral("itemno"), 0);
            const double q = BaseQty(con, head);
            double cost = InCost(kind, head, q);
            if (cost <= 0 && std::abs(q) > kEps)
                cost = master.value(QStringLiteral("totalamt")).toDouble() / q;
            moves << LineMove(head, store, dir * q, cost);
        } else if (kind.BillType == 15) { // other movement: the change type says in or out
            const int store = master.value(QStringLiteral("storeid")).toInt();
            const QString isin = SelectValue(con, QStringLiteral("select isin from sat where satid = :s"), {{QStringLiteral("s"), master.value(QStringLiteral("satid"))}})
                                     .toString();
            const int dir = isin.compare(QLatin1String("F"), Qt::CaseInsensitive) == 0 ? -1 : 1;
            for (const TRowValues& l : lines) {
                const double q = BaseQty(con, l);
                moves << LineMove(l, store, dir * q, InCost(kind, l, q));
            }
        }
        break;
    default:
        break;
    }
    return moves;
}

// ---------------------------------------------------------------- follow-ups and settlements

// Books (sign +1) or takes back (sign -1) what the lines of a bill do to the bills they name.
void BookReferences(TClientConnection& con, const TBillKind& kind, const QVector<TRowValues>& lines, int sign)
{
    if (kind.BillType == kPayBillType || kind.BillType == kChargeBillType) {
        for (const TRowValues& l : lines) {
            const int type = l.value(QStringLiteral("refertype")).toInt();
            const QVariant id = l.value(QStringLiteral("referbillid"));
            if (id.isNull())
                continue;
            const TSettlement* s = SettlementFor(type, kind.BillType);
            if (!s)
                continue;
            con.ExecuteNative(QStringLiteral("update %1 set %2 = round(ifnull(%2, 0) + :a, 4), refercount = ifnull(refercount, 0) + :n where %3 = :id")
                                  .arg(QuoteIdent(QLatin1String(s->MasterTable)), QuoteIdent(QLatin1String(s->Column)), QuoteIdent(QLatin1String(s->Key))),
                              {{QStringLiteral("a"), RoundMoney(sign * s->Sign * l.value(QStringLiteral("amount")).toDouble())},
                               {QStringLiteral("n"), sign},
                               {QStringLiteral("id"), id}});
        }
        return;
    }
    QSet<QPair<const TFollowUp*, qint64>> touched;
    for (const TRowValues& l : lines) {
        const QVariant id = l.value(QStringLiteral("referbillid"));
        const QVariant item = l.value(QStringLiteral("referitemno"));
        if (id.isNull() || item.isNull())
            continue;
        const TFollowUp* f = FollowUpFor(l.value(QStringLiteral("refertype")).toInt(), kind.BillType);
        if (!f)
            continue;
        const auto src = SelectMaps(con, QStringLiteral("select unitqty, quantity from %1 where %2 = :id and itemno = :i")
                                             .arg(QuoteIdent(QLatin1String(f->DetailTable)), QuoteIdent(QLatin1String(f->Key))),
                                    {{QStringLiteral("id"), id}, {QStringLiteral("i"), item}});
        if (src.isEmpty())
            continue;
        // the follow-up is kept in the source line's unit
        const double srcUnit = src[0].value(QStringLiteral("unitqty")).toDouble();
        const double srcBase = src[0].value(QStringLiteral("quantity")).toDouble();
        double qty = l.value(QStringLiteral("unitqty")).toDouble();
        const double base = l.value(QStringLiteral("quantity")).toDouble();
        if (std::abs(srcBase) > kEps && std::abs(base) > kEps)
            qty = base * srcUnit / srcBase;
        qty = RoundQuantity(qty);
        // a line that takes no quantity only counts on the source line
        const QString take = f->Column ? QStringLiteral("%1 = round(ifnull(%1, 0) + :q, 6), ").arg(QuoteIdent(QLatin1String(f->Column))) : QString();
        con.ExecuteNative(QStringLiteral("update %1 set %2refercount = ifnull(refercount, 0) + :n where %3 = :id and itemno = :i")
                              .arg(QuoteIdent(QLatin1String(f->DetailTable)), take, QuoteIdent(QLatin1String(f->Key))),
                          {{QStringLiteral("q"), sign * f->Sign * qty}, {QStringLiteral("n"), sign}, {QStringLiteral("id"), id}, {QStringLiteral("i"), item}});
        con.ExecuteNative(QStringLiteral("update %1 set refercount = ifnull(refercount, 0) + :n where %2 = :id")
                              .arg(QuoteIdent(QLatin1String(f->MasterTable)), QuoteIdent(QLatin1String(f->Key))),
                          {{QStringLiteral("n"), sign}, {QStringLiteral("id"), id}});
        touched.insert({f, id.toLongLong()});
    }
    for (const auto& t : touched) {
        if (!t.first->TracksFinished)
            continue;
        con.ExecuteNative(QStringLiteral("update %1 set finished = case when exists (select 1 from %2 d where d.%3 = :id and "
                                         "ifnull(d.%4, 0) < ifnull(d.unitqty, 0) - 0.0000001) then 'F' else 'T' end where %3 = :id")
                              .arg(QuoteIdent(QLatin1String(t.first->MasterTable)), QuoteIdent(QLatin1String(t.first->DetailTable)), QuoteIdent(QLatin1String(t.first->Key)),
                                   QuoteIdent(QLatin1String(t.first->Column))),
                          {{QStringLiteral("id"), t.second}});
    }
}

// The first bill whose lines name this one, as "caption code", or empty.
QString ReferringBill(TClientConnection& con, int billType, qint64 id)
{
    // the line tables that can name a source bill, each once
    const auto kinds = SelectMaps(con, QStringLiteral("select min(caption) as caption, min(mastertable) as mastertable, min(keyfield) as keyfield, min(detailtable) as detailtable "
                                                      "from billkind k where detailtable is not null "
                                                      "and exists (select 1 from pragma_table_info(k.detailtable) where name = 'refertype') "
                                                      "and exists (select 1 from pragma_table_info(k.detailtable) where name = 'referbillid') "
                                                      "group by lower(detailtable)"));
    for (const TRowValues& k : kinds) {
        const QString key = k.value(QStringLiteral("keyfield")).toString();
        const QVariant code = SelectValue(con, QStringLiteral("select m.code from %1 d join %2 m on m.%3 = d.%3 where d.refertype = :t and d.referbillid = :id limit 1")
                                              .arg(QuoteIdent(k.value(QStringLiteral("detailtable")).toString()), QuoteIdent(k.value(QStringLiteral("mastertable")).toString()), QuoteIdent(key)),
                                     {{QStringLiteral("t"), billType}, {QStringLiteral("id"), id}});
        if (code.isValid())
            return k.value(QStringLiteral("caption")).toString() + u' ' + code.toString();
    }
    return QString();
}

// A line of another bill that names the lot (batchrefid), as "caption code", or empty.
QString LineNamingLot(TClientConnection& con, qint64 lot, int exceptType, qint64 exceptId)
{
    const auto kinds = SelectMaps(con, QStringLiteral("select billtype, caption, mastertable, keyfield, detailtable from billkind k where detailtable is not null "
                                                      "and exists (select 1 from pragma_table_info(k.detailtable) where name = 'batchrefid')"));
    for (const TRowValues& k : kinds) {
        const QString key = k.value(QStringLiteral("keyfield")).toString();
        const bool same = k.value(QStringLiteral("billtype")).toInt() == exceptType;
        const QVariant code = SelectValue(con, QStringLiteral("select m.code from %1 d join %2 m on m.%3 = d.%3 where d.batchrefid = :lot %4 limit 1")
                                              .arg(QuoteIdent(k.value(QStringLiteral("detailtable")).toString()), QuoteIdent(k.value(QStringLiteral("mastertable")).toString()), QuoteIdent(key),
                                                   same ? QStringLiteral("and d.%1 <> :id").arg(QuoteIdent(key)) : QString()),
                                     same ? TSqlParams{{QStringLiteral("lot"), lot}, {QStringLiteral("id"), exceptId}} : TSqlParams{{QStringLiteral("lot"), lot}});
        if (code.isValid())
            return k.value(QStringLiteral("caption")).toString() + u' ' + code.toString();
    }
    return QString();
}

// Lots a bill gives up must not be named by the lines of other bills: those lines would draw
// on a lot that is gone.
void CheckDroppedLots(TSubmit& s, const TStockLedger& ledger, qint64 id)
{
    for (qint64 lot : ledger.LotsToDrop()) {
        const QString naming = LineNamingLot(s.Con, lot, s.Kind.BillType, id);
        if (!naming.isEmpty())
            Refuse(QStringLiteral("本单的批次（库存批次 %1）已被 %2 指定，不能删除或改变").arg(lot).arg(naming));
    }
}

// ---------------------------------------------------------------- POS day-close

// A day-close covers the store's POS sales of its day that no day-close covers yet; when it comes
// without lines, the lines are the goods those sales moved (returns negative).
void CoverPosSales(TClientConnection& con, qint64 closeId, const TRowValues& master, bool buildLines)
{
    const QString day = NormalDateText(master.value(QStringLiteral("billdate"))).left(10);
    const TSqlParams p{{QStringLiteral("s"), master.value(QStringLiteral("storeid"))}, {QStringLiteral("d"), day}, {QStringLiteral("c"), closeId}};
    const QString covered = QStringLiteral("select billid from posbilldate where storeid = :s and substr(billdate, 1, 10) = :d and closeid is null");
    if (buildLines) {
        con.ExecuteNative(QStringLiteral("insert into posdaydetail (billid, itemno, goodsid, saledate, quantity, price, amount, aprice, batchrefid, batchcode, produceddate, validdate) "
                                         "select :c, row_number() over (order by d.goodsid, d.batchrefid, d.batchcode), d.goodsid, :t, "
                                         "sum((1.5 - b.returntag) * 2 * d.quantity), "
                                         "case when sum((1.5 - b.returntag) * 2 * d.quantity) = 0 then 0 else sum((1.5 - b.returntag) * 2 * d.amount) / sum((1.5 - b.returntag) * 2 * d.quantity) end, "
                                         "sum((1.5 - b.returntag) * 2 * d.amount), max(d.aprice), d.batchrefid, d.batchcode, max(d.produceddate), max(d.validdate) "
                                         "from posdetail d join posbilldate b on b.billid = d.billid where b.billid in (")
                              + covered + QStringLiteral(") group by d.goodsid, d.batchrefid, d.batchcode"),
                          // the line date is bound whole: a text built in SQL would not go into a date column everywhere
                          p + TSqlParams{{QStringLiteral("t"), day + QStringLiteral(" 00:00:00")}});
        con.ExecuteNative(QStringLiteral("update posday set amount = (select ifnull(sum(amount), 0) from posdaydetail where billid = :c) where billid = :c"),
                          {{QStringLiteral("c"), closeId}});
    }
    con.ExecuteNative(QStringLiteral("update posbilldate set closeid = :c, flag = 'T' where billid in (") + covered + u')', p);
}

void ReleasePosSales(TClientConnection& con, qint64 closeId)
{
    con.ExecuteNative(QStringLiteral("update posbilldate set closeid = null, flag = 'F' where closeid = :c"), {{QStringLiteral("c"), closeId}});
}

// ---------------------------------------------------------------- stock checks

QString IssueRows(TClientConnection& con, const QVector<TStockIssue>& issues, bool limits, QString* text)
{
    const QVector<TFieldDef> fields{{QStringLiteral("storename"), TFieldType::ftString, 64},
                                    {QStringLiteral("goodscode"), TFieldType::ftString, 32},
                                    {QStringLiteral("goodsname"), TFieldType::ftString, 128},
                                    {QStringLiteral("specs"), TFieldType::ftString, 64},
                                    {QStringLiteral("unit"), TFieldType::ftString, 16},
                                    {QStringLiteral("batchcode"), TFieldType::ftString, 64},
                                    {QStringLiteral("oldonhand"), TFieldType::ftFloat},
                                    {QStringLiteral("qty"), TFieldType::ftFloat},
                                    {QStringLiteral("newonhand"), TFieldType::ftFloat},
                                    {QStringLiteral("topqty"), TFieldType::ftFloat},
                                    {QStringLiteral("downqty"), TFieldType::ftFloat}};
    QVector<QVariantList> rows;
    QStringList lines;
    auto num = [](double v) { return QString::number(v, 'g', 12); };
    for (const TStockIssue& i : issues) {
        const auto g = SelectMaps(con, QStringLiteral("select code, name, specs, unit from goods where goodsid = :g"), {{QStringLiteral("g"), i.GoodsID}});
        const TRowValues goods = g.isEmpty() ? TRowValues() : g.first();
        const QString store = SelectValue(con, QStringLiteral("select name from store where storeid = :s"), {{QStringLiteral("s"), i.StoreID}}).toString();
        rows << QVariantList{store, goods.value(QStringLiteral("code")), goods.value(QStringLiteral("name")), goods.value(QStringLiteral("specs")),
                             goods.value(QStringLiteral("unit")), i.BatchCode, i.OldOnHand, i.Qty, i.NewOnHand, i.TopQty, i.DownQty};
        QString line = QStringLiteral("[%1] %2  仓库:%3").arg(goods.value(QStringLiteral("code")).toString(), goods.value(QStringLiteral("name")).toString(), store);
        if (!i.BatchCode.isEmpty())
            line += QStringLiteral("  批号:%1").arg(i.BatchCode);
        line += QStringLiteral("  原库存:%1  变动数量:%2  新库存:%3").arg(num(i.OldOnHand), num(i.Qty), num(i.NewOnHand));
        if (limits)
            line += QStringLiteral("  库存上限:%1  库存下限:%2").arg(num(i.TopQty), num(i.DownQty));
        lines << line;
    }
    *text = lines.join(u'\n');
    return BuildDataPacketXML(fields, rows);
}

// The client answers an accepted warning N with CheckStep N + 1: the checks numbered below the
// step were seen and accepted, those from the step on still run.
void RunStockChecks(TSubmit& s, const TStockLedger& ledger, bool withLimits)
{
    QString text;
    if (s.CheckStep <= 1501) {
        const auto shortGoods = ledger.ShortGoods(AccountOption(s.Con, QStringLiteral("WARNWHILEZEROONHAND")) == QLatin1String("1"));
        if (!shortGoods.isEmpty()) {
            const QString rows = IssueRows(s.Con, shortGoods, false, &text);
            throw EStockCheck(1501, QStringLiteral("以下记录库存不足:\n") + text, rows);
        }
    }
    if (s.CheckStep <= 1502) {
        const auto shortBatches = ledger.ShortBatches();
        if (!shortBatches.isEmpty()) {
            const QString rows = IssueRows(s.Con, shortBatches, false, &text);
            throw EStockCheck(1502, QStringLiteral("以下批次库存不足:\n") + text, rows);
        }
    }
    if (withLimits && s.CheckStep <= 1503) {
        const auto outside = ledger.GoodsOutsideLimits();
        if (!outside.isEmpty()) {
            const QString rows = IssueRows(s.Con, outside, true, &text);
            throw EStockCheck(1503, QStringLiteral("以下货品的库存超出库存上限或低于库存下限:\n") + text, rows);
        }
    }
}

// ---------------------------------------------------------------- one transaction per request

// `early`: the commit does not wait for the disk (RunSubmit waits before it answers).
template <class Body>
QString RunSubmitOnce(TClientConnection& con, int billType, const TRequest& request, const QString& title, Body body, bool early)
{
    TPacketParams reply;
    bool began = false;
    try {
        TSubmit s(con, billType, request);
        con.BeginTrans(early ? QStringLiteral("set local synchronous_commit = off") : QString());
        began = true;
        body(s);
        con.CommitTrans();
        began = false;
        reply = s.Reply;
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
    } catch (const EStockCheck& e) {
        if (began)
            con.RollbackTrans();
        reply.Clear();
        reply.Set(QStringLiteral("ErrNo"), e.ErrNo);
        reply.Set(QStringLiteral("ErrTitle"), e.ErrNo == 1401 ? QStringLiteral("价格检查") : QStringLiteral("库存检查"));
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
        reply.Set(QStringLiteral("ds1"), e.Rows);
        if (!e.MoreRows.isEmpty())
            reply.Set(QStringLiteral("ds2"), e.MoreRows);
    } catch (const Exception& e) {
        if (began)
            con.RollbackTrans();
        reply.Clear();
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrTitle"), title);
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
    } catch (const std::exception& e) {
        if (began)
            con.RollbackTrans();
        reply.Clear();
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrTitle"), title);
        reply.Set(QStringLiteral("ErrMsg"), QString::fromUtf8(e.what()));
    }
    return reply.ToString();
}

// PostgreSQL refuses one of two saves that read what the other wrote (serializable
// transactions); the refused one runs again from the same request.
template <class Body>
QString RunSubmit(TClientConnection& con, int billType, const TRequest& request, const QString& title, Body body)
{
    const bool outermost = !con.InTransaction();
    // Saves of one bill kind take turns there, outside their transactions, so that each reads
    // the codes the one before it wrote.
    const bool takeTurns = outermost && con.IsPostgres();
    const QString turn = QStringLiteral("BILLSAVE_%1").arg(billType);
    if (takeTurns && !con.SessionLock(turn, true, true, 30000)) {
        TPacketParams busy;
        busy.Set(QStringLiteral("ErrNo"), 1);
        busy.Set(QStringLiteral("ErrTitle"), title);
        busy.Set(QStringLiteral("ErrMsg"), QStringLiteral("其他用户一直在保存同类单据，本次保存没有完成。请稍后再试。"));
        return busy.ToString();
    }
    QString reply;
    for (int attempt = 1;; ++attempt) {
        con.ClearLastFailure();
        reply = RunSubmitOnce(con, billType, request, title, body, takeTurns);
        if (!outermost || attempt >= 20 || !con.LastFailureRetryable())
            break;
        TPacketParams r;
        r.LoadFromString(reply);
        if (r.GetInt(QStringLiteral("ErrNo")) == 0)
            break;
        QThread::msleep(static_cast<unsigned long>(QRandomGenerator::global()->bounded(5, 20 + 10 * attempt)));
    }
    if (takeTurns) {
        // The turn passes on as soon as the save is seen, not once it is on disk: the commit did
        // not wait for the log to be written, the answer does. A transaction of its own that
        // commits waiting writes the log up to itself, and so past this save; a save seen but
        // lost in a crash takes every later one with it, since the log is written in order.
        con.ReleaseSessionLockDurably(turn);
    }
    return reply;
}

void RefuseFlagged(const TSubmit& s, const TRowValues& stored, const QString& action, bool reversingAllowed)
{
    if (s.Kind.BillType == kPosSaleBillType) {
        if (stored.value(QStringLiteral("flag")).toString() == QLatin1String("T"))
            Refuse(QStringLiteral("该POS单据已日结，不能%1！").arg(action));
        return;
    }
    if (!s.HasFlag())
        return;
    const int flag = stored.value(QStringLiteral("flag")).toInt();
    if (flag == 1)
        Refuse(QStringLiteral("该单据已冲红，不能%1！").arg(action));
    if (flag == 2 && !reversingAllowed)
        Refuse(QStringLiteral("该单据是冲红单，不能%1！").arg(action));
}

// ---------------------------------------------------------------- save

// ---------------------------------------------------------------- rights

enum class TBillAction { New, Edit, Delete, Red };

// The operator's rights under the bill's privilege id, as the form tests them: a new bill needs
// "new", a change "edit", a deletion "delete", a reversal "red" and "edit". A saved bill of
// another branch (bar the opening entries 29 and 40) or of another operator (without right 228)
// is read-only on the form and cannot be changed here either.
void CheckBillRights(const TSubmit& s, TBillAction action, const TRowValues& stored = {})
{
    const int privilege = s.Kind.PrivilegeID;
    const TOperatorRights& op = s.Op;
    switch (action) {
    case TBillAction::New:
        if (!op.Has(privilege, TRightAction::New))
            Refuse(QStringLiteral("您没有新增操作权限"));
        return;
    case TBillAction::Edit:
        if (!op.Has(privilege, TRightAction::Edit))
            Refuse(QStringLiteral("您没有修改该单据的权限！"));
        break;
    case TBillAction::Delete:
        if (!op.Has(privilege, TRightAction::Delete))
            Refuse(QStringLiteral("您没有删除该单据的权限或者该单不能被删除！"));
        break;
    case TBillAction::Red:
        if (!op.Has(privilege, TRightAction::Red) || !op.Has(privilege, TRightAction::Edit))
            Refuse(QStringLiteral("您没有冲红该单据的权限！"));
        break;
    }
    const QVariant shop = stored.value(QStringLiteral("shopid"));
    if (s.Kind.BillType != 29 && s.Kind.BillType != 40 && !shop.isNull() && shop.toInt() != op.ShopID()) {
        if (action == TBillAction::Edit)
            Refuse(QStringLiteral("您不能修改分支机构的单据！"));
        if (action == TBillAction::Delete)
            Refuse(QStringLiteral("您不能删除别的机构的单据！"));
        Refuse(QStringLiteral("您不能冲红别的机构的单据！"));
    }
    const QVariant owner = stored.value(QStringLiteral("opid"));
    if (!owner.isNull() && owner.toInt() != op.OpID() && !op.Has(kPrivilegeOthersBills, TRightAction::Special)) {
        if (action == TBillAction::Edit)
            Refuse(QStringLiteral("您没有修改其他操作员单据的权限！"));
        if (action == TBillAction::Delete)
            Refuse(QStringLiteral("您没有删除其他操作员单据的权限！"));
        Refuse(QStringLiteral("您没有冲红其他操作员单据的权限！"));
    }
}

// ---------------------------------------------------------------- repeated requests

// The request id of a new-bill packet ("" when the client sent none).
QString RequestIdOf(const TSubmit& s)
{
    const QString id = s.Req.GetString(QStringLiteral("RequestID")).trimmed();
    if (id.size() > 64 || !RefusedTextReason(id).isEmpty())
        Refuse(QStringLiteral("请求号 RequestID 不正确：最多 64 个字符，且只能是可见字符"));
    return id;
}

// A request answered before: the first answer again, without saving a second bill.
bool AnswerRepeatedRequest(TSubmit& s, const QString& requestId)
{
    if (requestId.isEmpty())
        return false;
    const auto rows = SelectMaps(s.Con, QStringLiteral("select billtype, billid, billcode from sys_request where requestid = :r"),
                                 {{QStringLiteral("r"), requestId}});
    if (rows.isEmpty())
        return false;
    if (rows[0].value(QStringLiteral("billtype")).toInt() != s.Kind.BillType)
        Refuse(QStringLiteral("请求号 %1 已用于另一种单据").arg(requestId));
    s.Reply.Set(QStringLiteral("NewBillID"), rows[0].value(QStringLiteral("billid")).toInt());
    s.Reply.Set(QStringLiteral("NewBillCode"), rows[0].value(QStringLiteral("billcode")).toString());
    return true;
}

void RememberRequest(TSubmit& s, const QString& requestId, qint64 id, const QString& code)
{
    if (requestId.isEmpty())
        return;
    // answers older than a quarter are of no use to a client still waiting
    s.Con.ExecuteLater(QStringLiteral("delete from sys_request where createtime < :old"),
                       {{QStringLiteral("old"), DateTimeText(QDateTime::currentDateTime().addDays(-90))}});
    s.Con.ExecuteLater(QStringLiteral("insert into sys_request (requestid, billtype, billid, billcode, opid, createtime) values (:r, :t, :b, :c, :o, :d)"),
                       {{QStringLiteral("r"), requestId},
                        {QStringLiteral("t"), s.Kind.BillType},
                        {QStringLiteral("b"), id},
                        {QStringLiteral("c"), code},
                        {QStringLiteral("o"), s.Op.OpID()},
                        {QStringLiteral("d"), s.NowText()}});
}

// ---------------------------------------------------------------- save

void SaveBill(TSubmit& s)
{
    TClientConnection& con = s.Con;
    const TBillKind& k = s.Kind;
    TDelta masterDelta;
    s.Req.GetDelta(QStringLiteral("MasterDelta"), masterDelta);
    const bool withLines = k.HasLines() && s.Req.GetBool(QStringLiteral("MasterDetailBill"), k.HasLines());
    TDelta detailDelta;
    if (s.Req.GetDelta(QStringLiteral("DetailDelta"), detailDelta)) {
        if (!withLines && !detailDelta.Rows.isEmpty() && k.HasLines())
            Refuse(QStringLiteral("保存的数据中有明细行，却没有说明这是有明细的单据（MasterDetailBill）"));
    }

    const TDeltaRow* mrow = MasterRowOf(masterDelta);
    if (mrow && mrow->Kind == TUpdateStatus::usDeleted)
        Refuse(QStringLiteral("保存的数据中没有单据的主记录"));
    const bool isNew = (mrow && mrow->Kind == TUpdateStatus::usInserted) || (!mrow && s.Req.GetBool(QStringLiteral("IsAddNew")));
    if (isNew && !mrow)
        Refuse(QStringLiteral("保存的数据中没有单据的主记录"));

    qint64 id = 0;
    TRowValues stored;
    QString requestId;
    if (isNew) {
        CheckBillRights(s, TBillAction::New);
        requestId = RequestIdOf(s);
        if (AnswerRepeatedRequest(s, requestId))
            return;
        id = NewKey(con, k.Master.Name, k.Key);
    } else {
        // the master row names the bill: the form sends it with every save
        if (!mrow)
            Refuse(QStringLiteral("保存的数据中没有单据的主记录"));
        id = ValueCI(mrow->Old, k.Key).toLongLong();
        stored = s.StoredMaster(id);
        CheckExists(stored);
        CheckNotStale(stored, mrow);
        RefuseFlagged(s, stored, QStringLiteral("修改"), false);
        CheckBillRights(s, TBillAction::Edit, stored);
    }

    // every check before anything is written
    const QVector<TRowValues> storedLines = isNew ? QVector<TRowValues>() : s.StoredLines(id);
    TBillGuard guard(con, k, s.Op);
    TBillChange change = guard.CheckSave(id, isNew, stored, storedLines, masterDelta, withLines ? std::move(detailDelta) : TDelta(),
                                         k.BillType == kPosDayBill && isNew);
    // a delivery goes from one branch to another
    if (k.BillType == kDeliveryBill) {
        const QVariant in = ValueCI(change.FinalMaster, QStringLiteral("inshopid"));
        const QVariant out = ValueCI(change.FinalMaster, QStringLiteral("outshopid"));
        if (!in.isNull() && !out.isNull() && in.toInt() == out.toInt())
            Refuse(QStringLiteral("调入机构与调出机构不能相同！"));
    }

    // take back what the bill did so far
    const bool stock = k.MovesStock();
    TStockLedger ledger(con, k.DBBillType, id);
    TMoneyLedger money(con, k.BillType, id);
    if (!isNew) {
        BookReferences(con, k, storedLines, -1);
        if (stock)
            ledger.RemoveBillFlow();
        money.RemoveBillFlow();
    }

    // the bill code: kept unless empty or another bill has it
    const TRowValues& finalMaster = change.FinalMaster;
    QString code = finalMaster.value(QStringLiteral("code")).toString().trimmed();
    bool codeChanged = isNew;
    if (const TDeltaRow* m = MasterRowOf(change.Master); m && m->Kind == TUpdateStatus::usModified)
        for (const QString& c : m->Changed)
            codeChanged |= c.compare(QLatin1String("code"), Qt::CaseInsensitive) == 0;
    if (k.Master.Has(QStringLiteral("code")) && codeChanged) {
        const QDate date = DateOf(finalMaster.value(QStringLiteral("billdate")));
        if (code.isEmpty()) {
            code = NewBillCode(con, k.Master.Name, s.ShopId(finalMaster), date);
            s.Reply.Set(QStringLiteral("BillCodeTips"), QStringLiteral("单据编号为空，已自动生成为 %1").arg(code));
        } else if (s.CodeTaken(code, id)) {
            const QString taken = code;
            do
                code = NewBillCode(con, k.Master.Name, s.ShopId(finalMaster), date);
            while (s.CodeTaken(code, id));
            s.Reply.Set(QStringLiteral("BillCodeTips"), QStringLiteral("单据编号 %1 已被其他用户使用，已自动改为 %2").arg(taken, code));
        }
    }
    const QString updateTime = s.NextUpdateTime(stored.value(QStringLiteral("updatetime")));

    // the master row and the lines, as the guard let them through
    TApplyDeltaOptions mo;
    mo.Table = k.Master.Name;
    mo.KeyFields = QStringList{k.Key};
    mo.InsertsMayWait = true;
    if (isNew)
        mo.InsertOverrides.insert(k.Key, id);
    ApplyDelta(con, change.Master, mo);
    if (withLines && !change.Detail.Rows.isEmpty()) {
        TApplyDeltaOptions d;
        d.InsertsMayWait = true;
        d.Table = k.Detail.Name;
        d.KeyFields = QStringList{k.Key, QStringLiteral("itemno")};
        d.InsertOverrides.insert(k.Key, id);
        ApplyDelta(con, change.Detail, d);
    }

    // what the server keeps on the master: update time, code, operator, total
    TRowValues server = change.ServerMaster;
    if (k.Master.Has(QStringLiteral("updatetime")))
        server.insert(QStringLiteral("updatetime"), updateTime);
    if (k.Master.Has(QStringLiteral("code")) && codeChanged)
        server.insert(QStringLiteral("code"), code);
    if (!server.isEmpty()) {
        QStringList sets;
        TSqlParams p{{QStringLiteral("id"), id}};
        int n = 0;
        for (auto it = server.cbegin(); it != server.cend(); ++it, ++n) {
            sets << QStringLiteral("%1 = :v%2").arg(QuoteIdent(it.key())).arg(n);
            p.append({QStringLiteral("v%1").arg(n), it.value()});
        }
        con.ExecuteLater(QStringLiteral("update %1 set %2 where %3 = :id").arg(QuoteIdent(k.Master.Name), sets.join(QStringLiteral(", ")), QuoteIdent(k.Key)), p);
    }

    // The lines as stored are read back only for what works from them: stock, the source lines
    // they refer to, the price check and the day-close. A bill of thousands of lines that needs
    // none of these is not read again.
    const bool refersToSources = std::any_of(change.FinalLines.cbegin(), change.FinalLines.cend(),
                                             [](const TRowValues& l) { return !l.value(QStringLiteral("referbillid")).isNull(); });
    const bool priceChecked = s.CheckStep <= 1401 && LinePriceCheckApplies(con, k.CVFlag, k.StockDir);
    const bool linesNeeded = stock || refersToSources || priceChecked || k.BillType == kPosDayBill;
    if (linesNeeded)
        s.StoredMasterAhead(id);
    QVector<TRowValues> lines = linesNeeded ? s.StoredLines(id) : QVector<TRowValues>();
    TRowValues master = s.StoredMaster(id);
    if (k.BillType == kPosDayBill && isNew) {
        CoverPosSales(con, id, master, lines.isEmpty());
        lines = s.StoredLines(id);
        master = s.StoredMaster(id);
        if (lines.isEmpty())
            Refuse(guard.NoLinesMessage());
    }

    // the price check comes before the stock checks: a step accepted skips the lower numbers
    if (priceChecked)
        if (const TPriceCheck p = CheckLinePrices(con, k.CVFlag, k.StockDir, lines); p.Failed())
            throw EStockCheck(1401, p.Message, p.LimitRows, p.ReferenceRows);

    // what the bill does now
    BookReferences(con, k, lines, 1);
    if (stock) {
        ledger.SetBillHeader(master.value(QStringLiteral("code")).toString(), master.value(QStringLiteral("billdate")), master.value(QStringLiteral("shopid")));
        ledger.Apply(BillStockMoves(con, k, master, lines));
        CheckDroppedLots(s, ledger, id);
        ledger.Finish();
        RunStockChecks(s, ledger, true);
    }
    money.Apply();
    money.RefuseOverdraft();
    if (isNew)
        RememberRequest(s, requestId, id, master.value(QStringLiteral("code")).toString());
    s.Reply.Set(QStringLiteral("NewBillID"), int(id));
    s.Reply.Set(QStringLiteral("NewBillCode"), master.value(QStringLiteral("code")).toString());
}

// ---------------------------------------------------------------- delete

void DeleteBill(TSubmit& s)
{
    TClientConnection& con = s.Con;
    const TBillKind& k = s.Kind;
    const qint64 id = s.Req.GetInt(QStringLiteral("CurrBillID"), kNoBill);
    const TRowValues stored = s.StoredMaster(id);
    CheckExists(stored);
    CheckBillRights(s, TBillAction::Delete, stored);
    if (TDelta d; s.Req.GetDelta(QStringLiteral("MasterDelta"), d))
        CheckNotStale(stored, MasterRowOf(d));
    // deleting a reversing bill is how a reversal is undone
    RefuseFlagged(s, stored, QStringLiteral("删除"), true);
    const QString referring = ReferringBill(con, k.BillType, id);
    if (!referring.isEmpty())
        Refuse(QStringLiteral("该单据已被 %1 引用，不能删除！").arg(referring));

    BookReferences(con, k, s.StoredLines(id), -1);
    if (k.MovesStock()) {
        TStockLedger ledger(con, k.DBBillType, id);
        ledger.RemoveBillFlow();
        CheckDroppedLots(s, ledger, id);
        ledger.Finish();
        RunStockChecks(s, ledger, false);
    }
    TMoneyLedger(con, k.BillType, id).RemoveBillFlow();
    if (k.BillType == kPosDayBill)
        ReleasePosSales(con, id);
    if (s.HasFlag() && stored.value(QStringLiteral("flag")).toInt() == 2 && !stored.value(QStringLiteral("referbillid")).isNull()) {
        // the bill this one reversed may be reversed again, or edited
        con.ExecuteNative(QStringLiteral("update %1 set flag = 0, updatetime = :u where %2 = :id").arg(QuoteIdent(k.Master.Name), QuoteIdent(k.Key)),
                          {{QStringLiteral("u"), s.NowText()}, {QStringLiteral("id"), stored.value(QStringLiteral("referbillid"))}});
    }
    if (!k.Detail.Name.isEmpty())
        con.ExecuteNative(QStringLiteral("delete from %1 where %2 = :id").arg(QuoteIdent(k.Detail.Name), QuoteIdent(k.Key)), {{QStringLiteral("id"), id}});
    con.ExecuteNative(QStringLiteral("delete from %1 where %2 = :id").arg(QuoteIdent(k.Master.Name), QuoteIdent(k.Key)), {{QStringLiteral("id"), id}});
    s.Reply.Set(QStringLiteral("NewBillID"), int(id));
}

// ---------------------------------------------------------------- red reversal

bool InList(const QString& col, const char* const* list, int n)
{
    for (int i = 0; i < n; ++i)
        if (col == QLatin1String(list[i]))
            return true;
    return false;
}

// A copy of a stored row for the reversing bill: amounts and quantities negated, what later bills
// did to the original cleared.
TRowValues Reversed(const TTableInfo& t, const TRowValues& row)
{
    TRowValues out(row.SharedNames());
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        const QString col = it.key();
        QVariant v = it.value();
        if (InList(col, kRedZeroColumns, int(std::size(kRedZeroColumns)))) {
            v = 0;
        } else if (!v.isNull() && (t.IsMoney(col) || InList(col, kRedNegatedFloats, int(std::size(kRedNegatedFloats))))) {
            v = -v.toDouble();
        }
        out.insert(col, v);
    }
    return out;
}

void InsertRow(TClientConnection& con, const TTableInfo& t, const TRowValues& row)
{
    QStringList cols, vals;
    TSqlParams p;
    int n = 0;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        if (!t.Has(it.key()))
            continue;
        cols << QuoteIdent(it.key());
        vals << QStringLiteral(":v%1").arg(n);
        p.append({QStringLiteral("v%1").arg(n), it.value()});
        ++n;
    }
    con.ExecuteNative(QStringLiteral("insert into %1 (%2) values (%3)").arg(QuoteIdent(t.Name), cols.join(u','), vals.join(u',')), p);
}

void RedBill(TSubmit& s)
{
    TClientConnection& con = s.Con;
    const TBillKind& k = s.Kind;
    const qint64 id = s.Req.GetInt(QStringLiteral("CurrBillID"), kNoBill);
    const TRowValues stored = s.StoredMaster(id);
    CheckExists(stored);
    CheckBillRights(s, TBillAction::Red, stored);
    if (!s.HasFlag() || !k.Master.Has(QStringLiteral("referbillid")))
        Refuse(QStringLiteral("该单据不能冲红！"));
    if (TDelta d; s.Req.GetDelta(QStringLiteral("MasterDelta"), d))
        CheckNotStale(stored, MasterRowOf(d));
    const int flag = stored.value(QStringLiteral("flag")).toInt();
    if (flag == 1)
        Refuse(QStringLiteral("此单已冲红，不能再做！"));
    if (flag == 2)
        Refuse(QStringLiteral("此单不能冲红，除非删除！"));
    // later bills stand on this one: reversing it would pull the ground from under them
    const QString referring = ReferringBill(con, k.BillType, id);
    if (!referring.isEmpty())
        Refuse(QStringLiteral("该单据已被 %1 引用，不能冲红！").arg(referring));

    const qint64 redId = NewKey(con, k.Master.Name, k.Key);
    const QDate today = QDate::currentDate();
    QString code = s.Req.GetString(QStringLiteral("NewBillCode")).trimmed();
    if (k.Master.Has(QStringLiteral("code")) && (code.isEmpty() || s.CodeTaken(code, redId))) {
        const QString wanted = code;
        do
            code = NewBillCode(con, k.Master.Name, s.ShopId(stored), today);
        while (s.CodeTaken(code, redId));
        if (!wanted.isEmpty())
            s.Reply.Set(QStringLiteral("BillCodeTips"), QStringLiteral("单据编号 %1 已被使用，已自动改为 %2").arg(wanted, code));
    }

    TRowValues red = Reversed(k.Master, stored);
    red.insert(k.Key, redId);
    red.insert(QStringLiteral("code"), code);
    red.insert(QStringLiteral("flag"), 2);
    red.insert(QStringLiteral("referbillid"), id);
    red.insert(QStringLiteral("billdate"), today.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
    red.insert(QStringLiteral("updatetime"), s.NowText());
    red.insert(QStringLiteral("printed"), 0);
    red.insert(QStringLiteral("credid"), QVariant());
    if (red.contains(QStringLiteral("sendemail")))
        red.insert(QStringLiteral("sendemail"), QStringLiteral("F"));
    if (red.contains(QStringLiteral("opid")))
        red.insert(QStringLiteral("opid"), s.Op.OpID());
    InsertRow(con, k.Master, red);

    QVector<TRowValues> redLines;
    for (const TRowValues& line : s.StoredLines(id)) {
        TRowValues r = Reversed(k.Detail, line);
        r.insert(k.Key, redId);
        InsertRow(con, k.Detail, r);
        redLines << r;
    }

    BookReferences(con, k, redLines, 1);
    if (k.MovesStock()) {
        const TRowValues master = s.StoredMaster(redId);
        TStockLedger ledger(con, k.DBBillType, redId);
        ledger.SetBillHeader(code, master.value(QStringLiteral("billdate")), master.value(QStringLiteral("shopid")));
        ledger.ApplyMirrorOf(k.DBBillType, id);
        RunStockChecks(s, ledger, false);
    }
    TMoneyLedger(con, k.BillType, redId).ApplyMirrorOf(id);
    if (k.BillType == kPosDayBill)
        ReleasePosSales(con, id);
    con.ExecuteNative(QStringLiteral("update %1 set flag = 1, updatetime = :u where %2 = :id").arg(QuoteIdent(k.Master.Name), QuoteIdent(k.Key)),
                      {{QStringLiteral("u"), s.NextUpdateTime(stored.value(QStringLiteral("updatetime")))}, {QStringLiteral("id"), id}});
    s.Reply.Set(QStringLiteral("NewBillID"), int(redId));
    s.Reply.Set(QStringLiteral("NewBillCode"), code);
}

} // namespace

int BillTypeOfProcedure(const QString& procName)
{
    QString n = procName.trimmed();
    const int semi = n.indexOf(u';');
    if (semi >= 0)
        n = n.left(semi);
    const TBillProfile* p = BillProfileOfProcedure(n);
    return p ? p->BillType : -1;
}

QStringList BillProcedureNames()
{
    QStringList out;
    for (const TBillProfile& p : BillProfiles())
        out << p.SaveProcName() << p.DeleteProcName() << p.RedProcName();
    return out;
}

// the titles of the refusals of each procedure
const QString kSaveFailed = QStringLiteral("保存失败");
const QString kDeleteFailed = QStringLiteral("删除失败");
const QString kRedFailed = QStringLiteral("冲红失败");

QString SubmitBillSave(TClientConnection& con, int billType, const QString& request)
{
    return RunSubmit(con, billType, TRequest{&request}, kSaveFailed, SaveBill);
}

QString SubmitBillDelete(TClientConnection& con, int billType, const QString& request)
{
    return RunSubmit(con, billType, TRequest{&request}, kDeleteFailed, DeleteBill);
}

QString SubmitBillRed(TClientConnection& con, int billType, const QString& request)
{
    return RunSubmit(con, billType, TRequest{&request}, kRedFailed, RedBill);
}

void RegisterBillProcedures()
{
    for (const TBillProfile& p : BillProfiles()) {
        const int type = p.BillType;
        // in the same process the bill's change sets come as they are, not as text
        auto both = [type](const QString& name, const QString& title, void (*body)(TSubmit&)) {
            TServerRegistry::RegisterMethod(
                name, [=](TClientConnection& con, const QString& req) { return RunSubmit(con, type, TRequest{&req}, title, body); },
                [=](TClientConnection& con, const TPacketParams& req) { return RunSubmit(con, type, TRequest{nullptr, &req}, title, body); });
        };
        both(p.SaveProcName(), kSaveFailed, SaveBill);
        both(p.DeleteProcName(), kDeleteFailed, DeleteBill);
        both(p.RedProcName(), kRedFailed, RedBill);
    }
}
