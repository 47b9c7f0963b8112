#pragma once
// Prices, discount, tax and amounts of one goods line. When the user edits one numeric field
// of the current line (quantity, list price, unit price, discount, tax rate, goods amount,
// tax amount, amount, price with tax, cost, gift flag), the routine of that field brings the
// other fields of the line in line with it. No widget is involved: the goods-bill form calls
// DetailFieldChanged from its detail dataset's field-change hook, and tests and benchmarks
// call the same routines on a bare dataset.
#include "goodsbill/GoodsFieldNames.h"
#include "platform/DataSet.h"

#include <QString>

#include <functional>

class TClientConnection;

// The account options pricing reads; the caller reads them (GetAccOptionValue) and passes
// them in.
struct TPricingOptions {
    double GoodsAmtLimit = 0;      // "GOODSAMTLIMIT": tolerance of a typed goods amount or amount
    double TaxAmtLimit = 0;        // "TAXAMTLIMIT": tolerance of a typed tax amount
    double SaleIncTaxRate = 0;     // "SALEINCTAXRATE": default tax rate of sales lines
    double PurchaseIncTaxRate = 0; // "PURCHASEINCTAXRATE": default tax rate of the other lines

    // Reads the four options through optionValue (key -> text) as numbers; an empty,
    // unreadable or infinite text counts as 0.
    static TPricingOptions Read(const std::function<QString(const QString&)>& optionValue);
};

// taxamt, goodsamt and amount as they stood after the last field change of the form.
struct TPreviousAmounts {
    double TaxAmt = 0;
    double GoodsAmt = 0;
    double Amount = 0;
};

// One request of the default price: "getgoodsinfo;1" with @GetType 3.
struct TDefaultPriceRequest {
    int GoodsID = 0;
    int UnitID = 0;
    int BatchRefID = 0;
    int BillType = 0;
    int CVFlag = 0; // the bill's trade side
    int CVID = 0;   // client or vendor of the master
    int ShopID = 0;
    int StoreID = 0;
};
struct TDefaultPriceAnswer {
    bool Found = false;     // the procedure answered a row
    double DefaultPrice = 0; // the procedure's choice among list, last, level and agreed price
    double APrice = 0;       // cost per base unit
};
// Asks the procedure on con. Throws EDatabaseError when the call fails.
TDefaultPriceAnswer LookupDefaultPrice(TClientConnection* con, const TDefaultPriceRequest& request);

class TLinePricing {
public:
    // master may be null; it gives the invoice kind, the master discount and, for the
    // default price, partner, store and branch.
    TLinePricing(TClientDataSet* detail, const TGoodsFieldNames& names, const TGoodsFormSettings& settings,
                 const TPricingOptions& options, TClientDataSet* master = nullptr);
    virtual ~TLinePricing();
    TLinePricing(const TLinePricing&) = delete;
    TLinePricing& operator=(const TLinePricing&) = delete;

    TClientDataSet* Detail() const { return FDetail; }
    TClientDataSet* Master() const { return FMaster; }
    void SetMaster(TClientDataSet* master) { FMaster = master; }
    const TGoodsFieldNames& FieldNames() const { return FNames; }
    const TGoodsFormSettings& Settings() const { return FSettings; }
    const TPricingOptions& Options() const { return FOptions; }
    void SetOptions(const TPricingOptions& options) { FOptions = options; }
    // The connection of the default-price look-up (see PresentChanged).
    void SetConnection(TClientConnection* con) { FCon = con; }

    // The previous values are per form, not per line: every field change of whichever line
    // is current overwrites them.
    const TPreviousAmounts& PreviousAmounts() const { return FPrevious; }
    void SetPreviousAmounts(const TPreviousAmounts& previous) { FPrevious = previous; }
    void StorePreviousAmounts(); // from the current line

    // The form's own routines for the fields that are not about prices (goods, unit,
    // produced date, batch code, free texts). PresentChanged asks it to re-read the unit.
    std::function<void(TLineRole role, TField* field)> OnOtherField;

    // The detail dataset's field-change hook: runs the routine of the changed field, then
    // stores the previous values. Fields written by a routine do not come back here while
    // it runs, so one user edit runs exactly one routine. Returns the field's role.
    TLineRole DetailFieldChanged(TField* field);
    bool Busy() const { return FBusyDepth > 0; }

    // Routines of the line fields; a concrete bill may replace any of them.
    virtual void UnitQtyChanged(TField* field);
    virtual void NPriceChanged(TField* field);
    virtual void UnitPriceChanged(TField* field);
    virtual void DiscChanged(TField* field);
    virtual void TaxRateChanged(TField* field);
    virtual void GoodsAmtChanged(TField* field);
    virtual void TaxAmtChanged(TField* field);
    virtual void AmountChanged(TField* field);
    virtual void TaxPriceChanged(TField* field);
    virtual void UnitAPriceChanged(TField* field);
    virtual void PresentChanged(TField* field);
    // Tax rate of a new line, from the trade side, the bill type and the invoice kind.
    virtual double GetDefaultTaxRate();

    // Defaults of a line just appended (after the base form's own, such as the line number).
    void DetailNewRecord();

    // The unit price a goods or unit change proposes, from the procedure's default price
    // and cost; then the unit price routine runs.
    void SetDefaultUnitPrice(double defaultPrice, double aprice);
    // The request for the current line: its goods, unit and batch, the bill type and side,
    // and the master's partner, store and branch.
    TDefaultPriceRequest DefaultPriceRequest() const;
    // Looks the default price up on con and applies it. Throws EDatabaseError (line
    // unchanged) when the call fails.
    void ApplyDefaultPrice(TClientConnection* con);

    // The line is a gift line ("T", true or a non-zero number).
    bool IsGiftLine() const;
    // The line has goods (a goods id other than 0; without that field, a goods code).
    bool LineHasGoods() const;

private:
    class TLine;
    class TBusyScope;
    bool HasCurrentLine() const;
    // Runs body on the current line's pricing fields, with the routines marked as running.
    template <class TBody>
    void OnCurrentLine(TBody body);

    TClientDataSet* FDetail;
    TClientDataSet* FMaster;
    TGoodsFieldNames FNames;
    TGoodsFormSettings FSettings;
    TPricingOptions FOptions;
    TPreviousAmounts FPrevious;
    TClientConnection* FCon = nullptr;
    int FBusyDepth = 0;
};
