#pragma once
// The package's data module: created once when the package loads and shared by every
// bill form. It keeps the last answer of the goods-info procedure so that a form that
// asks again for the same unit, partner, batch, store and branch does not go back to
// the database; a saved bill may change last prices and agreed prices, so every save
// drops that answer.
#include "webrpc/Connection.h"

#include <QObject>
#include <QString>

// The prices one goods-info answer proposes; which one a line takes is the goods bill's
// choice (it depends on the bill's side and the account's pricing options).
struct TGoodsPrices {
    bool Found = false;     // the procedure answered a row
    double SPPrice = 0;     // agreed price with the partner
    double DefaultPrice = 0;
    double DisPrice = 0;    // time-limited discount price in force
    double LastPrice = 0;   // last price with the partner
    double LevPrice = 0;    // price of the client's price level
};

class TBillDB : public QObject {
    Q_OBJECT
public:
    explicit TBillDB(QObject* owner = nullptr, TClientConnection* con = nullptr);
    ~TBillDB() override;

    // The module created last and still alive (the package's BillDB), or nullptr.
    static TBillDB* Current();

    // "getgoodsinfo;1" with its parameters; its open rows are the cache.
    TClientStoredProc spGetGoodsInfo;

    // getType: 1 goods with its base unit, 2 one unit, 3 one unit with its default price.
    // The row stays available in GoodsInfo() for the other goods columns.
    TGoodsPrices GetGoodsPrices(int billType, int goodsId, int unitId, int cvFlag, int cvId, int batchId, int shopId,
                                int storeId, int getType = 3, const QString& filter = QString());
    TClientDataSet* GoodsInfo() { return spGetGoodsInfo.Rows(); }

    // Drops the cached answer; run after every saved bill.
    void AfterSaveBill();
    // Account set the cache was filled for (-1 while empty).
    int CachedAccountID() const { return FAccountID; }

private:
    bool CacheMatches(int goodsId, int unitId, int billType, int cvFlag, int cvId, int batchId, int shopId, int storeId);
    int FAccountID = -1;
};

// Closes the goods-info cache of the current data module, if there is one. For the save
// path of the bill forms, which do not hold the module themselves.
void BillDBAfterSaveBill();
