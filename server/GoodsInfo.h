#pragma once
// The stored procedure "getgoodsinfo": goods, unit and default-price data of one goods
// item for a goods line.
//
// Parameters (names compare without regard to case): @gettype (1 goods with its base
// unit, 2 one unit, 3 one unit with its default price), @goodsid, @unitid, @BillType,
// @CVFlag (trade side: 1 client, 2 vendor, 3 stock, 5 point of sale, 8 distribution),
// @CVID (client or vendor), @BATCHREFID, @Filter (goods list condition, applied by
// gettype 1 only), @shopid, @storeid; output @DefaultPrice and @RETURN_VALUE (rows).
//
// One row or none. Columns: GoodsID, Code, Name, ShortName, specs, baseunit, batchctrl,
// kind, inf_costingtypeid, ValidDates, goodsuserdef1..10, UnitID, unitname, unitrate,
// barcode, aprice (cost per base unit), unitaprice (per unit), SPPrice (agreed partner
// price), DisPrice (time-limited discount price in force), LastPrice (last price with the
// partner; for vendors the goods' last purchase price otherwise), LevPrice (price of the
// client's price level), SalePrice, PurchasePrice, DefaultPrice, and the echoes GetType,
// BillType, CVFlag, CVID, BATCHREFID, shopid, storeid.
//
// DefaultPrice by side: client side the agreed price, else the level price; vendor side
// the last purchase price, else the reference purchase price; stock and distribution the
// cost of the unit; point of sale the discount price in force, else retail; otherwise
// retail.
#include <QString>

class TClientConnection;
class TProcParams;
class TClientDataSet;

// The statement the procedure runs on the connection's engine, with parameters :gettype, :goodsid, :unitid,
// :billtype, :cvflag, :cvid, :batchrefid, :shopid, :storeid. Optional sources (discount
// bills, batch flow) are used only when the database has them.
QString GoodsInfoSql(TClientConnection& con, int getType, const QString& filter);

void GetGoodsInfoProc(TClientConnection& con, TProcParams& params, TClientDataSet* rows);
void RegisterGoodsInfoProcedure();
