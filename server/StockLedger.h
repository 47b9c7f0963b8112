#pragma once
// Book stock kept by the bill procedures: `onhand` per store and goods, `batchcodeonhand` per
// batch code, and `detailbillflow`, one row per stock movement of a bill line.
//
// A flow row whose inqty is above 0 and whose batchrefid is empty is a stock lot; a row that
// names a lot in batchrefid moves (outqty - inqty) of it, kept on the lot as refqty, so the
// lot still holds inqty - outqty - refqty. Every row changes onhand by inqty - outqty.
//
// One ledger serves one bill inside the caller's transaction. It remembers the stock of every
// store, goods, batch code and lot it touched before the first change, so that the checks after
// the bill was written can report what fell short.
#include "webrpc/Connection.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

// One movement of one bill line, in base units: Qty above 0 takes goods in, below 0 issues them.
struct TStockMove {
    int ItemNo = 0;
    int StoreID = 0;
    int GoodsID = 0;
    QVariant UnitID;
    double Qty = 0;
    double Price = 0;        // cost per base unit of goods taken in (ignored for issues)
    int CostFromMove = -1;   // take the value of that earlier move's issue (transfers)
    QString BatchCode;
    QVariant ProducedDate, ValidDate;
    qint64 LotRef = 0;       // the lot (detailbillflow id) this line names, 0 for none
};

// What a check found for one store and goods (or batch, or lot).
struct TStockIssue {
    int StoreID = 0;
    int GoodsID = 0;
    QString BatchCode;
    double OldOnHand = 0;
    double Qty = 0;          // the change made by this bill
    double NewOnHand = 0;
    double TopQty = 0;
    double DownQty = 0;
};

class TStockLedger {
public:
    TStockLedger(TClientConnection& con, int dbBillType, qint64 billId);

    // Header data written into every new flow row.
    void SetBillHeader(const QString& code, const QVariant& billDate, const QVariant& shopId);

    // Takes back every movement this bill made. Its own lots stay (empty) so that an edit that
    // books the same line again keeps the lot, and the issues of other bills that drew on it;
    // Finish drops the lots nobody took up again.
    void RemoveBillFlow();
    // Books the movements; issues without a lot draw on the oldest lots of the store and goods
    // (of the line's batch code when it has one) and take what no lot covers without one.
    void Apply(const QVector<TStockMove>& moves);
    // Books the exact opposite of another bill's movements (a reversing bill).
    void ApplyMirrorOf(int dbBillType, qint64 billId);
    // The bill's own lots that Finish will drop: no line of the bill takes them up again.
    QList<qint64> LotsToDrop() const { return FKeptLots.values(); }
    void Finish();

    // Checks over what this ledger touched, each against the stock after the bill.
    QVector<TStockIssue> ShortGoods(bool zeroIsShort) const;  // goods whose stock this bill lowered below 0
    QVector<TStockIssue> ShortBatches() const;               // batch codes and lots left negative
    QVector<TStockIssue> GoodsOutsideLimits() const;         // goods pushed past upqty / downqty

    // Goods that keep no stock (services, fees, discount items) are left out of every movement.
    bool KeepsStock(int goodsId);

private:
    struct TFlowRow {
        qint64 Id = 0;
        int ItemNo = 0;
        int StoreID = 0;
        int GoodsID = 0;
        QVariant UnitID;
        double InQty = 0, OutQty = 0, InPrice = 0, OutPrice = 0;
        QString BatchCode;
        QVariant ProducedDate, ValidDate;
        qint64 BatchRefID = 0;
    };
    struct TTouch {
        double Old = 0;
        double Change = 0;
    };

    TClientConnection& FCon;
    int FBillType;
    qint64 FBillId;
    QString FCode;
    QVariant FBillDate, FShopId;
    QMap<QString, qint64> FKeptLots;             // "itemno/store/goods" -> own lot id
    QMap<QPair<int, int>, TTouch> FGoods;         // (store, goods)
    QMap<QString, TTouch> FBatches;               // "store/goods/batchcode"
    QMap<qint64, double> FLotsTouched;            // lot id -> 0
    // goods read once per bill: kind, and stock limits (upqty, downqty)
    mutable QHash<int, int> FGoodsKind;
    mutable QHash<int, QPair<double, double>> FGoodsLimits;

    // Rows and stock changes not yet written: on a database server each statement is a round
    // trip, so the flow rows and stock changes of consecutive lines go in together. Anything
    // that reads or writes otherwise goes through Db(), which writes them first, and every
    // public step ends written.
    QVector<TFlowRow> FPendingFlow;
    struct TOnHandMove {
        int StoreID = 0;
        int GoodsID = 0;
        double Qty = 0, Amount = 0;
    };
    QVector<TOnHandMove> FPendingOnHand;
    TClientConnection& Db();
    void Flush();
    void FlushFlow();
    void FlushOnHand();

    void LoadGoods(const QList<int>& ids) const;
    // The stock before this bill of these (store, goods), for the checks.
    void LoadOldStock(const QList<QPair<int, int>>& storeGoods);
    void LoadGoodsAndStock(const QList<int>& goods, const QList<QPair<int, int>>& storeGoods);

    QVector<TFlowRow> ReadFlow(int billType, qint64 billId) const;
    void WriteRow(TFlowRow row);       // inserts the row and books its effect
    void UndoRow(const TFlowRow& row); // books the opposite effect (row stays)
    void BookOnHand(int store, int goods, double qty, double amount);
    void BookBatch(int store, int goods, const QString& batch, double qty, const QVariant& produced, const QVariant& valid);
    void BookLot(qint64 lot, double refChange);
    struct TStock {
        double Qty = 0, Value = 0, Cost = 0; // cost per base unit of the next issue
    };
    TStock CurrentStock(int store, int goods);
    // The value a flow row moves in (positive) or out (negative): its quantities at their prices,
    // each rounded to money.
    static double RowValue(const TFlowRow& row);
};
