#include "server/StockLedger.h"

#include "server/ServerSql.h"
#include "server/StoredValues.h"
#include "webrpc/Statement.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace {

constexpr double kEps = 0.0000001;

QVariant NullIfEmpty(const QVariant& v)
{
    return v.isNull() || v.toString().isEmpty() ? QVariant() : v;
}

// The values of row n of a statement that writes many rows: each named as its placeholder
// is, by the name's stem and the row's number.
void BindRow(TSqlParams& p, const QString& n, std::initializer_list<std::pair<const char*, QVariant>> values)
{
    for (const auto& [stem, value] : values)
        p.append({QLatin1String(stem) + n, value});
}

QString BatchKey(int store, int goods, const QString& batch)
{
    return QStringLiteral("%1/%2/%3").arg(store).arg(goods).arg(batch);
}

QString LotKey(int item, int store, int goods)
{
    return QStringLiteral("%1/%2/%3").arg(item).arg(store).arg(goods);
}

// The rows of a select over many keys, asked a few hundred keys per statement rather than one
// statement per key (each a round trip to a database server). `sql` holds %1 where the
// parameter list goes; `params` are bound besides the keys.
template <class Key>
QVector<QVariantList> SelectForKeys(TClientConnection& con, const QString& sql, const QList<Key>& keys, const TSqlParams& params = {})
{
    constexpr int kChunk = 500;
    QVector<QVariantList> out;
    for (qsizetype from = 0; from < keys.size(); from += kChunk) {
        TSqlParams p = params;
        QStringList names;
        for (qsizetype i = from; i < std::min<qsizetype>(keys.size(), from + kChunk); ++i) {
            const QString name = QStringLiteral("k%1").arg(i - from);
            names << QLatin1Char(':') + name;
            p.append({name, keys[i]});
        }
        out += SelectRows(con, sql.arg(names.join(u',')), p);
    }
    return out;
}

} // namespace

TStockLedger::TStockLedger(TClientConnection& con, int dbBillType, qint64 billId)
    : FCon(con), FBillType(dbBillType), FBillId(billId)
{
}

TClientConnection& TStockLedger::Db()
{
    Flush();
    return FCon;
}

void TStockLedger::Flush()
{
    FlushFlow();
    FlushOnHand();
}

void TStockLedger::FlushFlow()
{
    constexpr int kRowsPerStatement = 300;
    for (qsizetype from = 0; from < FPendingFlow.size(); from += kRowsPerStatement) {
        const qsizetype to = std::min<qsizetype>(FPendingFlow.size(), from + kRowsPerStatement);
        QString sql = QStringLiteral("insert into detailbillflow (billtype, billid, itemno, billcode, billdate, shopid, storeid, goodsid, unitid, "
                                     "inqty, outqty, refqty, inprice, outprice, batchcode, produceddate, validdate, batchrefid) values ");
        TSqlParams p{{QStringLiteral("t"), FBillType},
                     {QStringLiteral("b"), FBillId},
                     {QStringLiteral("c"), FCode},
                     {QStringLiteral("d"), ToEngineValue(FBillDate)},
                     {QStringLiteral("sh"), FShopId}};
        for (qsizetype i = from; i < to; ++i) {
            const TFlowRow& row = FPendingFlow[i];
            const QString n = QString::number(i - from);
            if (i > from)
                sql += u',';
            sql += QStringLiteral("(:t, :b, :i%1, :c, :d, :sh, :s%1, :g%1, :u%1, :iq%1, :oq%1, 0, :ip%1, :op%1, :bc%1, :pd%1, :vd%1, :br%1)").arg(n);
            BindRow(p, n,
                    {{"i", row.ItemNo}, {"s", row.StoreID}, {"g", row.GoodsID}, {"u", row.UnitID}, {"iq", row.InQty}, {"oq", row.OutQty},
                     {"ip", row.InPrice}, {"op", row.OutPrice}, {"bc", NullIfEmpty(row.BatchCode)},
                     {"pd", NullIfEmpty(ToEngineValue(row.ProducedDate))}, {"vd", NullIfEmpty(ToEngineValue(row.ValidDate))},
                     {"br", row.BatchRefID > 0 ? QVariant(row.BatchRefID) : QVariant()}});
        }
        // A new lot of its own has what it took in left, unless the same row gives out more:
        // only then is it checked with the lots this bill touched, and its id read back (told
        // apart by what was stored, not by the order the rows come back in). Otherwise the rows
        // go with the next statement.
        const bool mayBeShort = std::any_of(FPendingFlow.cbegin() + from, FPendingFlow.cbegin() + to, [](const TFlowRow& row) {
            return row.BatchRefID <= 0 && row.InQty > 0 && row.InQty - row.OutQty < -kEps;
        });
        if (!mayBeShort) {
            FCon.ExecuteLater(sql, p);
            continue;
        }
        sql += QStringLiteral(" returning id, inqty, batchrefid");
        for (const auto& r : SelectRows(FCon, sql, p))
            if (r[2].isNull() && r[1].toDouble() > 0)
                FLotsTouched.insert(r[0].toLongLong(), 0);
    }
    FPendingFlow.clear();
}

void TStockLedger::FlushOnHand()
{
    // Stock and value are sums of rounded movements, rounded again after each one: every value
    // stays within 15 significant digits, so the sums are exact and a movement taken back
    // leaves the store as it was. aprice follows the moving average while stock is left and
    // keeps the last cost otherwise. One statement touches a store's goods once, so that the
    // movements of one goods follow each other as the lines do.
    constexpr int kRowsPerStatement = 300;
    qsizetype from = 0;
    while (from < FPendingOnHand.size()) {
        QSet<QPair<int, int>> inStatement;
        QString sql = QStringLiteral("insert into onhand (storeid, goodsid, onhand, aprice, amount) values ");
        TSqlParams p;
        qsizetype i = from;
        for (; i < FPendingOnHand.size() && i - from < kRowsPerStatement; ++i) {
            const TOnHandMove& m = FPendingOnHand[i];
            if (inStatement.contains({m.StoreID, m.GoodsID}))
                break;
            inStatement.insert({m.StoreID, m.GoodsID});
            const QString n = QString::number(i - from);
            if (i > from)
                sql += u',';
            sql += QStringLiteral("(:s%1, :g%1, :q%1, case when :q%1 > 0 then :a%1 / :q%1 else 0 end, :a%1)").arg(n);
            BindRow(p, n, {{"s", m.StoreID}, {"g", m.GoodsID}, {"q", m.Qty}, {"a", m.Amount}});
        }
        // excluded.amount is taken back as the double it was sent as, so that the sums are
        // worked out as they were with the values themselves
        sql += QStringLiteral(" on conflict (storeid, goodsid) do update set onhand = round(onhand.onhand + excluded.onhand, 6), "
                              "amount = round(ifnull(onhand.amount, 0) + cast(excluded.amount as double precision), 4), "
                              "aprice = case when round(onhand.onhand + excluded.onhand, 6) > 0 "
                              "then (ifnull(onhand.amount, 0) + cast(excluded.amount as double precision)) / round(onhand.onhand + excluded.onhand, 6) "
                              "else onhand.aprice end");
        FCon.ExecuteLater(sql, p);
        from = i;
    }
    FPendingOnHand.clear();
}

void TStockLedger::SetBillHeader(const QString& code, const QVariant& billDate, const QVariant& shopId)
{
    FCode = code;
    FBillDate = billDate;
    FShopId = shopId;
}

bool TStockLedger::KeepsStock(int goodsId)
{
    if (!FGoodsKind.contains(goodsId))
        LoadGoods({goodsId});
    return FGoodsKind.value(goodsId) <= 3;
}

void TStockLedger::LoadGoods(const QList<int>& ids) const
{
    QList<int> missing;
    for (int id : ids)
        if (!FGoodsKind.contains(id) && !missing.contains(id))
            missing << id;
    if (missing.isEmpty())
        return;
    // unknown goods are booked (a line that names goods must move them) and have no limits
    for (int id : missing)
        FGoodsKind.insert(id, 1);
    const auto rows = SelectForKeys(FCon, QStringLiteral("select goodsid, kind, ifnull(upqty, 0), ifnull(downqty, 0) from goods where goodsid in (%1)"), missing);
    for (const auto& r : rows) {
        const int id = r[0].toInt();
        FGoodsKind.insert(id, r[1].isNull() ? 1 : r[1].toInt());
        FGoodsLimits.insert(id, {r[2].toDouble(), r[3].toDouble()});
    }
}

void TStockLedger::LoadOldStock(const QList<QPair<int, int>>& storeGoods)
{
    QMap<int, QList<int>> goodsByStore;
    for (const QPair<int, int>& key : storeGoods) {
        if (key.second > 0 && !FGoods.contains(key)) {
            FGoods.insert(key, TTouch{});
            goodsByStore[key.first] << key.second;
        }
    }
    for (auto it = goodsByStore.cbegin(); it != goodsByStore.cend(); ++it) {
        const auto rows = SelectForKeys(Db(), QStringLiteral("select goodsid, onhand from onhand where storeid = :s and goodsid in (%1)"), it.value(),
                                        {{QStringLiteral("s"), it.key()}});
        for (const auto& r : rows)
            FGoods[{it.key(), r[0].toInt()}].Old = r[1].toDouble();
    }
}

void TStockLedger::LoadGoodsAndStock(const QList<int>& goods, const QList<QPair<int, int>>& storeGoods)
{
    // A bill of one store and not too many goods asks for both in one statement: each is a round
    // trip to a database server. Anything else asks as the two parts do.
    QList<int> missing;
    for (int id : goods)
        if (!FGoodsKind.contains(id) && !missing.contains(id))
            missing << id;
    QList<int> stockGoods;
    int store = 0;
    bool oneStore = true;
    for (const QPair<int, int>& key : storeGoods) {
        if (key.second <= 0 || FGoods.contains(key) || stockGoods.contains(key.second))
            continue;
        oneStore = oneStore && (stockGoods.isEmpty() || key.first == store);
        store = key.first;
        stockGoods << key.second;
    }
    constexpr int kMostKeys = 500;
    if (missing.isEmpty() || stockGoods.isEmpty() || !oneStore || missing.size() > kMostKeys || stockGoods.size() > kMostKeys) {
        LoadGoods(goods);
        LoadOldStock(storeGoods);
        return;
    }
    TSqlParams p{{QStringLiteral("s"), store}};
    auto keys = [&](const QList<int>& ids, const char* stem) {
        QStringList names;
        for (int i = 0; i < ids.size(); ++i) {
            const QString name = QLatin1String(stem) + QString::number(i);
            names << QLatin1Char(':') + name;
            p.append({name, ids[i]});
        }
        return names.join(u',');
    };
    const QString sql = QStringLiteral("select 0, goodsid, kind, ifnull(upqty, 0), ifnull(downqty, 0) from goods where goodsid in (%1) "
                                       "union all select 1, goodsid, null, null, onhand from onhand where storeid = :s and goodsid in (%2)")
                            .arg(keys(missing, "g"), keys(stockGoods, "k"));
    // unknown goods are booked (a line that names goods must move them) and have no limits
    for (int id : missing)
        FGoodsKind.insert(id, 1);
    for (int id : stockGoods)
        FGoods.insert({store, id}, TTouch{});
    for (const auto& r : SelectRows(Db(), sql, p)) {
        const int id = r[1].toInt();
        if (r[0].toInt() == 0) {
            FGoodsKind.insert(id, r[2].isNull() ? 1 : r[2].toInt());
            FGoodsLimits.insert(id, {r[3].toDouble(), r[4].toDouble()});
        } else {
            FGoods[{store, id}].Old = r[4].toDouble();
        }
    }
}

QVector<TStockLedger::TFlowRow> TStockLedger::ReadFlow(int billType, qint64 billId) const
{
    QVector<TFlowRow> out;
    const auto rows = SelectRows(FCon,
                             QStringLiteral("select id, itemno, storeid, goodsid, unitid, inqty, outqty, inprice, outprice, batchcode, "
                                            "produceddate, validdate, batchrefid from detailbillflow where billtype = :t and billid = :b order by id"),
                             {{QStringLiteral("t"), billType}, {QStringLiteral("b"), billId}});
    for (const auto& r : rows) {
        TFlowRow f;
        f.Id = r[0].toLongLong();
        f.ItemNo = r[1].toInt();
        f.StoreID = r[2].toInt();
        f.GoodsID = r[3].toInt();
        f.UnitID = r[4];
        f.InQty = r[5].toDouble();
        f.OutQty = r[6].toDouble();
        f.InPrice = r[7].toDouble();
        f.OutPrice = r[8].toDouble();
        f.BatchCode = r[9].toString();
        f.ProducedDate = r[10];
        f.ValidDate = r[11];
        f.BatchRefID = r[12].toLongLong();
        out << f;
    }
    return out;
}

void TStockLedger::BookOnHand(int store, int goods, double qty, double amount)
{
    const QPair<int, int> key(store, goods);
    if (!FGoods.contains(key)) {
        TTouch t;
        t.Old = SelectValue(Db(), QStringLiteral("select onhand from onhand where storeid = :s and goodsid = :g"),
                       {{QStringLiteral("s"), store}, {QStringLiteral("g"), goods}})
                    .toDouble();
        FGoods.insert(key, t);
    }
    qty = RoundQuantity(qty);
    amount = RoundMoney(amount);
    FGoods[key].Change = RoundQuantity(FGoods[key].Change + qty);
    FPendingOnHand.append({store, goods, qty, amount}); // written by FlushOnHand
}

void TStockLedger::BookBatch(int store, int goods, const QString& batch, double qty, const QVariant& produced, const QVariant& valid)
{
    if (batch.trimmed().isEmpty())
        return;
    const QString key = BatchKey(store, goods, batch);
    if (!FBatches.contains(key)) {
        TTouch t;
        t.Old = SelectValue(Db(), QStringLiteral("select onhand from batchcodeonhand where storeid = :s and goodsid = :g and batchcode = :b"),
                       {{QStringLiteral("s"), store}, {QStringLiteral("g"), goods}, {QStringLiteral("b"), batch}})
                    .toDouble();
        FBatches.insert(key, t);
    }
    qty = RoundQuantity(qty);
    FBatches[key].Change = RoundQuantity(FBatches[key].Change + qty);
    Db().ExecuteLater(QStringLiteral("insert into batchcodeonhand (storeid, goodsid, batchcode, produceddate, validdate, onhand) "
                                     "values (:s, :g, :b, :p, :v, :q) "
                                     "on conflict (storeid, goodsid, batchcode) do update set onhand = round(batchcodeonhand.onhand + :q, 6), "
                                     "produceddate = ifnull(batchcodeonhand.produceddate, :p), validdate = ifnull(batchcodeonhand.validdate, :v)"),
                      {{QStringLiteral("s"), store},
                       {QStringLiteral("g"), goods},
                       {QStringLiteral("b"), batch},
                       {QStringLiteral("p"), NullIfEmpty(ToEngineValue(produced))},
                       {QStringLiteral("v"), NullIfEmpty(ToEngineValue(valid))},
                       {QStringLiteral("q"), qty}});
}

void TStockLedger::BookLot(qint64 lot, double refChange)
{
    if (lot <= 0)
        return;
    FLotsTouched.insert(lot, 0);
    Db().ExecuteLater(QStringLiteral("update detailbillflow set refqty = round(ifnull(refqty, 0) + :r, 6) where id = :id"),
                      {{QStringLiteral("r"), RoundQuantity(refChange)}, {QStringLiteral("id"), lot}});
}

TStockLedger::TStock TStockLedger::CurrentStock(int store, int goods)
{
    TStock st;
    const auto rows = SelectRows(Db(), QStringLiteral("select onhand, amount, aprice from onhand where storeid = :s and goodsid = :g"),
                             {{QStringLiteral("s"), store}, {QStringLiteral("g"), goods}});
    if (!rows.isEmpty()) {
        st.Qty = rows[0][0].toDouble();
        st.Value = rows[0][1].toDouble();
        if (st.Qty > kEps) {
            st.Cost = st.Value / st.Qty;
            return st;
        }
        if (rows[0][2].toDouble() > 0) {
            st.Cost = rows[0][2].toDouble();
            return st;
        }
    }
    st.Cost = SelectValue(Db(), QStringLiteral("select aprice from goods where goodsid = :g"), {{QStringLiteral("g"), goods}}).toDouble();
    return st;
}

double TStockLedger::RowValue(const TFlowRow& row)
{
    return RoundMoney(RoundMoney(row.InQty * row.InPrice) - RoundMoney(row.OutQty * row.OutPrice));
}

void TStockLedger::WriteRow(TFlowRow row)
{
    row.InQty = RoundQuantity(row.InQty);
    row.OutQty = RoundQuantity(row.OutQty);
    FPendingFlow.append(row);
    BookOnHand(row.StoreID, row.GoodsID, row.InQty - row.OutQty, RowValue(row));
    BookBatch(row.StoreID, row.GoodsID, row.BatchCode, row.InQty - row.OutQty, row.ProducedDate, row.ValidDate);
    if (row.BatchRefID > 0)
        BookLot(row.BatchRefID, row.OutQty - row.InQty);
    // a new own lot is touched too: FlushFlow notes it with the id it gets
}

void TStockLedger::UndoRow(const TFlowRow& row)
{
    BookOnHand(row.StoreID, row.GoodsID, row.OutQty - row.InQty, -RowValue(row));
    BookBatch(row.StoreID, row.GoodsID, row.BatchCode, row.OutQty - row.InQty, row.ProducedDate, row.ValidDate);
    if (row.BatchRefID > 0)
        BookLot(row.BatchRefID, row.InQty - row.OutQty);
}

void TStockLedger::RemoveBillFlow()
{
    const QVector<TFlowRow> flow = ReadFlow(FBillType, FBillId);
    QList<QPair<int, int>> storeGoods;
    for (const TFlowRow& row : flow)
        storeGoods.append({row.StoreID, row.GoodsID});
    LoadOldStock(storeGoods);
    for (const TFlowRow& row : flow) {
        UndoRow(row);
        if (row.BatchRefID == 0 && row.InQty > 0) {
            // an own lot: emptied, kept for the line that may book it again
            Db().ExecuteLater(QStringLiteral("update detailbillflow set inqty = 0, outqty = 0 where id = :id"), {{QStringLiteral("id"), row.Id}});
            FKeptLots.insert(LotKey(row.ItemNo, row.StoreID, row.GoodsID), row.Id);
            FLotsTouched.insert(row.Id, 0);
        } else {
            Db().ExecuteLater(QStringLiteral("delete from detailbillflow where id = :id"), {{QStringLiteral("id"), row.Id}});
        }
    }
    Flush();
}

void TStockLedger::Apply(const QVector<TStockMove>& moves)
{
    QList<int> goods;
    QList<QPair<int, int>> storeGoods;
    for (const TStockMove& m : moves) {
        if (m.GoodsID > 0)
            goods << m.GoodsID;
        storeGoods.append({m.StoreID, m.GoodsID});
    }
    LoadGoodsAndStock(goods, storeGoods);
    QVector<double> issueValue(moves.size(), 0.0);
    for (int i = 0; i < moves.size(); ++i) {
        const TStockMove& m = moves[i];
        const double qty = RoundQuantity(m.Qty);
        if (std::abs(qty) < kEps || m.GoodsID <= 0 || !KeepsStock(m.GoodsID))
            continue;
        TFlowRow row;
        row.ItemNo = m.ItemNo;
        row.StoreID = m.StoreID;
        row.GoodsID = m.GoodsID;
        row.UnitID = m.UnitID;
        row.BatchCode = m.BatchCode;
        row.ProducedDate = m.ProducedDate;
        row.ValidDate = m.ValidDate;
        if (qty > 0) {
            row.InQty = qty;
            // goods moved on from another store keep the value they left it with
            row.InPrice = m.CostFromMove >= 0 && m.CostFromMove < i ? issueValue[m.CostFromMove] / qty : m.Price;
            if (m.LotRef > 0) {
                // goods coming back into the lot they were issued from
                row.BatchRefID = m.LotRef;
                WriteRow(row);
                continue;
            }
            const QString key = LotKey(m.ItemNo, m.StoreID, m.GoodsID);
            const qint64 kept = FKeptLots.take(key);
            if (kept > 0) {
                Db().ExecuteLater(QStringLiteral("update detailbillflow set inqty = :q, inprice = :p, unitid = :u, billcode = :c, billdate = :d, "
                                                 "shopid = :sh, batchcode = :bc, produceddate = :pd, validdate = :vd where id = :id"),
                                  {{QStringLiteral("q"), row.InQty},
                                   {QStringLiteral("p"), row.InPrice},
                                   {QStringLiteral("u"), row.UnitID},
                                   {QStringLiteral("c"), FCode},
                                   {QStringLiteral("d"), ToEngineValue(FBillDate)},
                                   {QStringLiteral("sh"), FShopId},
                                   {QStringLiteral("bc"), NullIfEmpty(row.BatchCode)},
                                   {QStringLiteral("pd"), NullIfEmpty(ToEngineValue(row.ProducedDate))},
                                   {QStringLiteral("vd"), NullIfEmpty(ToEngineValue(row.ValidDate))},
                                   {QStringLiteral("id"), kept}});
                BookOnHand(row.StoreID, row.GoodsID, row.InQty, RowValue(row));
                BookBatch(row.StoreID, row.GoodsID, row.BatchCode, row.InQty, row.ProducedDate, row.ValidDate);
                FLotsTouched.insert(kept, 0);
            } else {
                WriteRow(row);
            }
            continue;
        }
        // An issue, in parts: from the lot the line names, else from the oldest lots (of its
        // batch code), and what no lot covers at the store's cost. The issue that empties the
        // store takes all of its value with it.
        const double need = -qty;
        const TStock stock = CurrentStock(m.StoreID, m.GoodsID);
        const bool drains = stock.Qty > kEps && std::abs(RoundQuantity(stock.Qty - need)) < kEps;
        QVector<TFlowRow> parts;
        if (m.LotRef > 0) {
            row.OutQty = need;
            row.OutPrice = stock.Cost;
            row.BatchRefID = m.LotRef;
            parts << row;
        } else {
            QString lotSql = QStringLiteral("select id, inqty - ifnull(outqty, 0) - ifnull(refqty, 0), inprice from detailbillflow "
                                            "where storeid = :s and goodsid = :g and batchrefid is null and inqty > 0 "
                                            "and inqty - ifnull(outqty, 0) - ifnull(refqty, 0) > 0.0000001");
            TSqlParams lotParams{{QStringLiteral("s"), m.StoreID}, {QStringLiteral("g"), m.GoodsID}};
            if (!m.BatchCode.isEmpty()) {
                lotSql += QStringLiteral(" and batchcode = :bc");
                lotParams.append({QStringLiteral("bc"), m.BatchCode});
            }
            lotSql += QStringLiteral(" order by billdate, id");
            double left = need;
            for (const auto& lot : SelectRows(Db(), lotSql, lotParams)) {
                if (left < kEps)
                    break;
                const double take = RoundQuantity(std::min(left, lot[1].toDouble()));
                TFlowRow part = row;
                part.OutQty = take;
                part.OutPrice = lot[2].toDouble() > 0 ? lot[2].toDouble() : stock.Cost;
                part.BatchRefID = lot[0].toLongLong();
                parts << part;
                left = RoundQuantity(left - take);
            }
            if (left > kEps) {
                row.OutQty = left;
                row.OutPrice = stock.Cost;
                parts << row;
            }
        }
        if (drains && !parts.isEmpty()) {
            double others = 0;
            for (int p = 0; p + 1 < parts.size(); ++p)
                others += RoundMoney(parts[p].OutQty * parts[p].OutPrice);
            TFlowRow& last = parts.last();
            last.OutPrice = (RoundMoney(stock.Value - others)) / last.OutQty;
        }
        for (const TFlowRow& part : parts) {
            issueValue[i] += RoundMoney(part.OutQty * part.OutPrice);
            WriteRow(part);
        }
        issueValue[i] = RoundMoney(issueValue[i]);
    }
    Flush();
}

void TStockLedger::ApplyMirrorOf(int dbBillType, qint64 billId)
{
    for (const TFlowRow& orig : ReadFlow(dbBillType, billId)) {
        TFlowRow row = orig;
        row.InQty = orig.OutQty;
        row.OutQty = orig.InQty;
        row.InPrice = orig.OutPrice;
        row.OutPrice = orig.InPrice;
        // taking back a lot issues it again from the lot itself
        row.BatchRefID = orig.BatchRefID > 0 ? orig.BatchRefID : (orig.InQty > 0 ? orig.Id : 0);
        WriteRow(row);
    }
    Flush();
}

void TStockLedger::Finish()
{
    for (auto it = FKeptLots.cbegin(); it != FKeptLots.cend(); ++it) {
        // issues of other bills that drew on a lot that is gone keep their quantity without a lot
        Db().ExecuteLater(QStringLiteral("update detailbillflow set batchrefid = null where batchrefid = :id"), {{QStringLiteral("id"), it.value()}});
        Db().ExecuteLater(QStringLiteral("delete from detailbillflow where id = :id"), {{QStringLiteral("id"), it.value()}});
        FLotsTouched.remove(it.value());
    }
    FKeptLots.clear();
    Flush();
}

QVector<TStockIssue> TStockLedger::ShortGoods(bool zeroIsShort) const
{
    QVector<TStockIssue> out;
    for (auto it = FGoods.cbegin(); it != FGoods.cend(); ++it) {
        const TTouch& t = it.value();
        if (t.Change > -kEps)
            continue;
        const double now = t.Old + t.Change;
        if (now < -kEps || (zeroIsShort && now < kEps))
            out << TStockIssue{it.key().first, it.key().second, QString(), t.Old, t.Change, now, 0, 0};
    }
    return out;
}

QVector<TStockIssue> TStockLedger::ShortBatches() const
{
    QVector<TStockIssue> out;
    for (auto it = FBatches.cbegin(); it != FBatches.cend(); ++it) {
        const TTouch& t = it.value();
        const double now = t.Old + t.Change;
        if (t.Change < -kEps && now < -kEps) {
            const QStringList parts = it.key().split(u'/');
            out << TStockIssue{parts.value(0).toInt(), parts.value(1).toInt(), parts.mid(2).join(u'/'), t.Old, t.Change, now, 0, 0};
        }
    }
    const auto lots = SelectForKeys(FCon,
                                    QStringLiteral("select storeid, goodsid, ifnull(batchcode, ''), inqty - ifnull(outqty, 0) - ifnull(refqty, 0), "
                                                   "billcode, id from detailbillflow where id in (%1) order by id"),
                                    FLotsTouched.keys());
    for (const auto& r : lots) {
        const double left = r[3].toDouble();
        if (left > -kEps)
            continue;
        const QString name = r[2].toString().isEmpty() ? QStringLiteral("%1 (%2)").arg(r[4].toString()).arg(r[5].toLongLong()) : r[2].toString();
        out << TStockIssue{r[0].toInt(), r[1].toInt(), name, 0, left, left, 0, 0};
    }
    return out;
}

QVector<TStockIssue> TStockLedger::GoodsOutsideLimits() const
{
    QVector<TStockIssue> out;
    QList<int> changed;
    for (auto it = FGoods.cbegin(); it != FGoods.cend(); ++it)
        if (std::abs(it.value().Change) >= kEps)
            changed << it.key().second;
    LoadGoods(changed);
    for (auto it = FGoods.cbegin(); it != FGoods.cend(); ++it) {
        const TTouch& t = it.value();
        const auto limits = FGoodsLimits.constFind(it.key().second);
        if (std::abs(t.Change) < kEps || limits == FGoodsLimits.cend())
            continue;
        const double top = limits->first;
        const double down = limits->second;
        const double now = t.Old + t.Change;
        const bool over = top > 0 && t.Change > 0 && now > top + kEps;
        const bool under = down > 0 && t.Change < 0 && now < down - kEps;
        if (over || under)
            out << TStockIssue{it.key().first, it.key().second, QString(), t.Old, t.Change, now, top, down};
    }
    return out;
}
