#pragma once
// The names under which a goods bill keeps the fields of its lines, and the few settings
// every goods bill fills in its constructor. Routines reach line fields only through this
// table: a stock count calls its unit price ANPRICE, a transfer its store OUTSID, and the
// same arithmetic runs on them. A field a bill's lines do not have is simply not there;
// each routine then skips the step that would write it.
#include <QString>

// What a line field is for. The detail dataset's field-change hook maps the changed
// field's name to one of these and runs the routine that belongs to it.
enum class TLineRole {
    None,
    Goods,
    Unit,
    UnitQty,
    NPrice,
    UnitPrice,
    Disc,
    TaxRate,
    GoodsAmt,
    TaxAmt,
    Amount,
    ProducedDate,
    BatchCode,
    TaxPrice,
    UnitAPrice,
    IsPresent,
    UserDef, // userdef1 to userdef3: remembered free texts
};

struct TGoodsFieldNames {
    // goods
    QString GoodsID = QStringLiteral("goodsid");
    QString GoodsCode = QStringLiteral("goodscode");
    QString GoodsName = QStringLiteral("goodsname");
    QString ShortName = QStringLiteral("shortname");
    // units
    QString Unit = QStringLiteral("unit");         // unit name of the line
    QString BaseUnit = QStringLiteral("baseunit"); // name of the base unit
    QString UnitID = QStringLiteral("unitid");
    QString UnitRate = QStringLiteral("unitrate"); // base units per line unit
    QString BarCode = QStringLiteral("barcode");
    // quantities
    QString UnitQty = QStringLiteral("unitqty");   // in the line's unit
    QString Quantity = QStringLiteral("quantity"); // in base units
    // Quantity already carried into later bills (returnqty, rcvdqty, takeqty, backqty,
    // deliqty...); empty on bills that are nobody's source.
    QString FollowUpQty;
    // prices and amounts
    QString Price = QStringLiteral("price");         // per base unit, without tax
    QString NPrice = QStringLiteral("nprice");       // list price before discount
    QString UnitPrice = QStringLiteral("unitprice"); // per line unit after discount, without tax
    QString TaxPrice = QStringLiteral("taxprice");   // per line unit with tax
    QString Disc = QStringLiteral("disc");           // percent, 100 = no discount
    QString TaxRate = QStringLiteral("taxrate");     // percent
    QString GoodsAmt = QStringLiteral("goodsamt");
    QString TaxAmt = QStringLiteral("taxamt");
    QString Amount = QStringLiteral("amount");
    // source lines
    QString ReferCount = QStringLiteral("refercount");
    QString ReferBillID = QStringLiteral("referbillid");
    QString ReferBillCode = QStringLiteral("referbillcode");
    QString ReferItemNo = QStringLiteral("referitemno");
    // batches
    QString BatchCode = QStringLiteral("batchcode");
    QString BatchRefID = QStringLiteral("batchrefid"); // the stock batch row
    QString ValidDate = QStringLiteral("validdate");
    QString ValidDates = QStringLiteral("validdates"); // shelf life in days
    // other line fields
    QString IsPresent = QStringLiteral("ispresent"); // "T" = free (gift) line
    QString ExeManID = QStringLiteral("exemanid");   // salesman
    // master record
    QString MasterClientID = QStringLiteral("clientid"); // client or vendor
    QString MasterStoreID = QStringLiteral("storeid");
    QString MasterBillTypeID = QStringLiteral("billtypeid"); // invoice kind
    QString MasterAmount = QStringLiteral("amount");         // bills name their own total, e.g. TotalAmt

    // The role of a detail field, by the names above (letter case does not matter);
    // None for a field no routine reacts to.
    TLineRole RoleOf(const QString& fieldName) const;
};

// The trade side of a goods bill; it is also the partner kind the goods-info procedure
// is asked for (@CVFlag).
enum TTradeSide : int {
    tsNone = 0,
    tsSales = 1,    // client
    tsPurchase = 2, // vendor
    tsStock = 3,
    tsCash = 4,
    tsPointOfSale = 5,
    tsDistribution = 8,
};

// The bill type of the sales order, whose lines always take the sales tax rate.
constexpr int kSalesOrderBillType = 1;

// Settings each concrete goods bill fills in its constructor. The follow-up quantity field
// is a name like the others and lives in TGoodsFieldNames::FollowUpQty.
struct TGoodsFormSettings {
    int BillType = 0;
    int TradeSide = tsNone;
    bool RefuseKind3Goods = false; // stock bills that take no goods of kind 3
};
