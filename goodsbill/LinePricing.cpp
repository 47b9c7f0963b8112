#include "goodsbill/LinePricing.h"

#include "host/Rounding.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <algorithm>
#include <cmath>
#include <utility>

// How the line arithmetic decides where the rules leave room:
//
// - A step computes its value even when the line lacks the target field; it writes only
//   when the field is there, and later steps of the same routine use the computed value.
//   So a line without a tax amount field still puts the tax into the amount that the
//   quantity routine adds up. A field the line lacks and no step has computed counts as
//   "no discount" (disc 100), "one base unit per unit" (unitrate 1), or 0. The one step
//   the rules make conditional on its own field, the unit price of the discount routine,
//   is left out whole on a line without a unit price field.
// - The previous amounts of a line without a tax amount, goods amount or amount field
//   are 0 for that field.
// - A field that holds no value (null) or text that is not a number counts as 0.
// - Where a division's divisor is 0 and the rule names no other value, the step writes
//   nothing and its target keeps its value:
//     * list price from unit price with a discount of 0 in the unit price and
//       price-with-tax routines (the amount rules name this case themselves);
//     * price per base unit with a unit rate of 0 in the discount, price-with-tax and
//       goods-amount routines;
//     * unit price from the price with tax when 1 + tax rate % is 0 (tax rate -100), in the
//       price-with-tax and amount routines;
//     * unit price from amount / quantity in the price-with-tax routine of a line without a
//       tax amount field, when the quantity is 0.
// - A typed amount is compared with the previous one in the decimals both stand for, so
//   a difference of exactly the tolerance (30.05 against 30, limit 0.05) is within it,
//   whichever side of it the binary values fall.
// - A result that is not a finite number (an overflow of huge inputs, or a NaN that came
//   in through the previous values or options) is never written; the field keeps its
//   value. A NaN previous value is never "within the tolerance", so the prices follow.
// - A line is a gift line when its flag reads "T" or "True" (any case), true, or a
//   non-zero number; it has goods when its goods id is not 0 (without a goods id field:
//   when its goods code is not empty).
// - A new line takes the master's discount only when the master's "Disc" holds a value; a
//   master discount that was never entered gives 100.
// - Taking the gift flag off a line re-reads the unit through the form's routine
//   (OnOtherField with the unit role); without one, and with a connection, the default
//   price is looked up and applied again, which is what re-reading the unit restores.
// - When the default-price procedure answers no row, the price and the cost are 0 (the
//   procedure's @DefaultPrice is 0 then).

namespace {

double ReadNumber(const TField* f)
{
    if (!f)
        return 0;
    try {
        return f->AsFloat();
    } catch (const EConvertError&) {
        return 0;
    }
}

int ReadId(const TField* f)
{
    const double v = ReadNumber(f);
    return std::abs(v) < 2e9 ? int(v) : 0;
}

// |a - b| as the decimals the two values stand for give it: 30.05 - 30 is 0.05, not the
// 0.0500000000000007 of their binary neighbours, so a typed difference of exactly the
// tolerance is within it.
double DecimalDistance(double a, double b)
{
    const double d = std::abs(a - b);
    const double magnitude = std::max(std::abs(a), std::abs(b));
    if (!std::isfinite(d) || magnitude == 0)
        return d;
    return Round(d, 14 - int(std::floor(std::log10(magnitude))));
}

TField* FindIn(const TClientDataSet* ds, const QString& name)
{
    return ds && !name.isEmpty() ? ds->FindField(name) : nullptr;
}

// Zero rules of the price per base unit.
enum class TZeroRate {
    Leave,     // a unit rate of 0 leaves the price as it is
    Zero,      // a unit rate of 0 gives price 0
    UnitPrice, // a unit rate below 1e-7 in size gives the unit price
};

} // namespace

// ====================================================================== the line

// The pricing fields of the current line: each with its field (null when the line lacks
// it) and the value the routine works with.
class TLinePricing::TLine {
public:
    struct TSlot {
        TField* F = nullptr;
        double V = 0;
    };
    TSlot UnitQty, UnitRate, Quantity, NPrice, Disc, UnitPrice, Price, TaxRate, TaxPrice, GoodsAmt, TaxAmt, Amount,
        DiscAmt, UnitAPrice, APrice;

    TLine(const TClientDataSet* ds, const TGoodsFieldNames& n)
    {
        Bind(UnitQty, ds, n.UnitQty, 0);
        Bind(UnitRate, ds, n.UnitRate, 1);
        Bind(Quantity, ds, n.Quantity, 0);
        Bind(NPrice, ds, n.NPrice, 0);
        Bind(Disc, ds, n.Disc, 100);
        Bind(UnitPrice, ds, n.UnitPrice, 0);
        Bind(Price, ds, n.Price, 0);
        Bind(TaxRate, ds, n.TaxRate, 0);
        Bind(TaxPrice, ds, n.TaxPrice, 0);
        Bind(GoodsAmt, ds, n.GoodsAmt, 0);
        Bind(TaxAmt, ds, n.TaxAmt, 0);
        Bind(Amount, ds, n.Amount, 0);
        Bind(DiscAmt, ds, QStringLiteral("discamt"), 0);
        Bind(UnitAPrice, ds, QStringLiteral("UnitAprice"), 0);
        Bind(APrice, ds, QStringLiteral("aprice"), 0);
    }

    void Set(TSlot& s, double value)
    {
        if (!std::isfinite(value))
            return;
        if (s.F) {
            s.F->SetValue(value);
            s.V = ReadNumber(s.F); // as stored: a currency or integer field keeps fewer digits
        } else {
            s.V = value;
        }
    }

    void ListPriceFromUnitPrice()
    {
        const double d = Disc.V * 0.01;
        if (d != 0)
            Set(NPrice, Round(UnitPrice.V / d, 8));
    }
    void UnitPriceFromListPrice() { Set(UnitPrice, Round(NPrice.V * Disc.V * 0.01, 8)); }
    void PriceWithTax() { Set(TaxPrice, Round(UnitPrice.V * (1 + TaxRate.V * 0.01), 8)); }
    void GoodsAmount() { Set(GoodsAmt, TruncateCurrency(UnitQty.V * UnitPrice.V)); }
    // from the goods amount as just computed (and, in a currency field, stored)
    void TaxAmount() { Set(TaxAmt, TruncateCurrency(GoodsAmt.V * TaxRate.V * 0.01)); }
    void LineAmount()
    {
        if (GoodsAmt.F && TaxAmt.F)
            Set(Amount, GoodsAmt.V + TaxAmt.V);
        else if (TaxRate.F)
            Set(Amount, TruncateCurrency(UnitQty.V * UnitPrice.V * (1 + TaxRate.V * 0.01)));
        else
            Set(Amount, TruncateCurrency(UnitQty.V * UnitPrice.V));
    }
    void BasePrice(TZeroRate zero)
    {
        if (!Price.F || !UnitRate.F)
            return;
        switch (zero) {
        case TZeroRate::Leave:
            if (UnitRate.V == 0)
                return;
            break;
        case TZeroRate::Zero:
            if (UnitRate.V == 0)
                return Set(Price, 0);
            break;
        case TZeroRate::UnitPrice:
            if (std::abs(UnitRate.V) < 0.0000001)
                return Set(Price, Round(UnitPrice.V, 8));
            break;
        }
        Set(Price, Round(UnitPrice.V / UnitRate.V, 8));
    }
    void DiscountAmount()
    {
        if (DiscAmt.F)
            Set(DiscAmt, TruncateCurrency(NPrice.V * (1 - Disc.V * 0.01) * UnitQty.V));
    }
    void BaseQuantity() { Set(Quantity, Round(UnitRate.V * UnitQty.V, 6)); }

    void UnitPriceFromTaxPrice()
    {
        const double d = 1 + TaxRate.V * 0.01;
        if (d != 0)
            Set(UnitPrice, Round(TaxPrice.V / d, 8));
    }

    // The prices follow a typed goods amount: shared by the goods and tax amount rules.
    void UnitPriceFromGoodsAmt()
    {
        if (UnitQty.V != 0)
            Set(UnitPrice, Round(GoodsAmt.V / UnitQty.V, 8));
        PriceWithTax();
        ListPriceFromUnitPrice();
    }

private:
    static void Bind(TSlot& s, const TClientDataSet* ds, const QString& name, double missing)
    {
        s.F = FindIn(ds, name);
        s.V = s.F ? ReadNumber(s.F) : missing;
    }
};

// Marks the routines as running, so that the fields they write are not dispatched again.
class TLinePricing::TBusyScope {
public:
    explicit TBusyScope(TLinePricing& owner) : FOwner(owner) { ++FOwner.FBusyDepth; }
    ~TBusyScope() { --FOwner.FBusyDepth; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TLinePricing& FOwner;
};

// ====================================================================== options

TPricingOptions TPricingOptions::Read(const std::function<QString(const QString&)>& optionValue)
{
    auto number = [&optionValue](const char* key) {
        bool ok = false;
        const double v = optionValue(QString::fromLatin1(key)).trimmed().toDouble(&ok);
        return ok && std::isfinite(v) ? v : 0.0;
    };
    TPricingOptions o;
    o.GoodsAmtLimit = number("GOODSAMTLIMIT");
    o.TaxAmtLimit = number("TAXAMTLIMIT");
    o.SaleIncTaxRate = number("SALEINCTAXRATE");
    o.PurchaseIncTaxRate = number("PURCHASEINCTAXRATE");
    return o;
}

// ====================================================================== engine

TLinePricing::TLinePricing(TClientDataSet* detail, const TGoodsFieldNames& names, const TGoodsFormSettings& settings,
                           const TPricingOptions& options, TClientDataSet* master)
    : FDetail(detail), FMaster(master), FNames(names), FSettings(settings), FOptions(options)
{
}

TLinePricing::~TLinePricing() = default;

template <class TBody>
void TLinePricing::OnCurrentLine(TBody body)
{
    if (!HasCurrentLine())
        return;
    TBusyScope busy(*this);
    TLine line(FDetail, FNames);
    body(line);
}

bool TLinePricing::HasCurrentLine() const
{
    if (!FDetail || !FDetail->Active())
        return false;
    const TDataSetState state = FDetail->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert || !FDetail->IsEmpty();
}

void TLinePricing::StorePreviousAmounts()
{
    if (!HasCurrentLine())
        return;
    FPrevious.TaxAmt = ReadNumber(FindIn(FDetail, FNames.TaxAmt));
    FPrevious.GoodsAmt = ReadNumber(FindIn(FDetail, FNames.GoodsAmt));
    FPrevious.Amount = ReadNumber(FindIn(FDetail, FNames.Amount));
}

TLineRole TLinePricing::DetailFieldChanged(TField* field)
{
    if (!field || Busy())
        return TLineRole::None;
    TBusyScope busy(*this);
    const TLineRole role = FNames.RoleOf(field->FieldName());
    switch (role) {
    case TLineRole::UnitQty: UnitQtyChanged(field); break;
    case TLineRole::NPrice: NPriceChanged(field); break;
    case TLineRole::UnitPrice: UnitPriceChanged(field); break;
    case TLineRole::Disc: DiscChanged(field); break;
    case TLineRole::TaxRate: TaxRateChanged(field); break;
    case TLineRole::GoodsAmt: GoodsAmtChanged(field); break;
    case TLineRole::TaxAmt: TaxAmtChanged(field); break;
    case TLineRole::Amount: AmountChanged(field); break;
    case TLineRole::TaxPrice: TaxPriceChanged(field); break;
    case TLineRole::UnitAPrice: UnitAPriceChanged(field); break;
    case TLineRole::IsPresent: PresentChanged(field); break;
    case TLineRole::Goods:
    case TLineRole::Unit:
    case TLineRole::ProducedDate:
    case TLineRole::BatchCode:
    case TLineRole::UserDef:
        if (OnOtherField)
            OnOtherField(role, field);
        break;
    case TLineRole::None: break;
    }
    StorePreviousAmounts();
    return role;
}

void TLinePricing::UnitQtyChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (l.UnitPrice.F && l.UnitPrice.F->IsNull())
            l.Set(l.UnitPrice, 0);
        l.BaseQuantity();
        if (l.TaxRate.F) {
            l.GoodsAmount();
            l.TaxAmount();
            l.Set(l.Amount, l.GoodsAmt.V + l.TaxAmt.V);
        } else {
            l.Set(l.Amount, TruncateCurrency(l.UnitQty.V * l.UnitPrice.V));
        }
        l.DiscountAmount();
    });
}

void TLinePricing::NPriceChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        l.UnitPriceFromListPrice();
        l.PriceWithTax();
        l.GoodsAmount();
        l.TaxAmount();
        l.LineAmount();
        l.BasePrice(TZeroRate::UnitPrice);
        l.DiscountAmount();
    });
}

void TLinePricing::UnitPriceChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        l.ListPriceFromUnitPrice();
        l.PriceWithTax();
        l.GoodsAmount();
        l.TaxAmount();
        l.LineAmount();
        l.BasePrice(TZeroRate::Zero);
        l.DiscountAmount();
    });
}

void TLinePricing::DiscChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (l.UnitPrice.F)
            l.UnitPriceFromListPrice();
        l.PriceWithTax();
        l.GoodsAmount();
        l.TaxAmount();
        l.LineAmount();
        l.BasePrice(TZeroRate::Leave);
        l.DiscountAmount();
    });
}

void TLinePricing::TaxRateChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        l.PriceWithTax();
        l.GoodsAmount();
        l.TaxAmount();
        l.LineAmount();
    });
}

void TLinePricing::GoodsAmtChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (DecimalDistance(l.GoodsAmt.V, FPrevious.GoodsAmt) <= FOptions.GoodsAmtLimit) {
            // a rounding correction: the typed amount stays, the prices do not move
            if (l.Amount.F && l.GoodsAmt.F && l.TaxAmt.F)
                l.Set(l.Amount, l.GoodsAmt.V + l.TaxAmt.V);
            return;
        }
        l.UnitPriceFromGoodsAmt();
        l.GoodsAmount();
        l.TaxAmount();
        l.LineAmount();
        l.BasePrice(TZeroRate::Leave);
        l.DiscountAmount();
    });
}

void TLinePricing::TaxAmtChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (DecimalDistance(l.TaxAmt.V, FPrevious.TaxAmt) <= FOptions.TaxAmtLimit) {
            l.Set(l.Amount, l.GoodsAmt.V + l.TaxAmt.V);
            return;
        }
        const double rate = l.TaxRate.V * 0.01;
        if (rate != 0)
            l.Set(l.GoodsAmt, Round(l.TaxAmt.V / rate, 2));
        l.UnitPriceFromGoodsAmt();
        l.Set(l.Amount, l.GoodsAmt.V + l.TaxAmt.V);
        l.BasePrice(TZeroRate::Leave);
        l.DiscountAmount();
    });
}

void TLinePricing::AmountChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (DecimalDistance(l.Amount.V, FPrevious.Amount) <= FOptions.GoodsAmtLimit) {
            l.Set(l.GoodsAmt, l.Amount.V - l.TaxAmt.V);
            return;
        }
        const bool noQty = l.UnitQty.V == 0;
        if (!noQty)
            l.Set(l.TaxPrice, Round(l.Amount.V / l.UnitQty.V, 8));
        if (l.TaxAmt.F)
            l.UnitPriceFromTaxPrice();
        else
            l.Set(l.UnitPrice, noQty ? 0 : Round(l.Amount.V / l.UnitQty.V, 8));
        l.ListPriceFromUnitPrice();
        l.Set(l.GoodsAmt, noQty ? 0 : Round(l.UnitPrice.V * l.UnitQty.V, 2));
        l.Set(l.TaxAmt, l.Amount.V - l.GoodsAmt.V);
        l.Set(l.Price, l.UnitRate.V == 0 ? 0 : Round(l.UnitPrice.V / l.UnitRate.V, 8));
        l.DiscountAmount();
    });
}

void TLinePricing::TaxPriceChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (l.TaxAmt.F)
            l.UnitPriceFromTaxPrice();
        else if (l.UnitQty.V != 0)
            l.Set(l.UnitPrice, Round(l.Amount.V / l.UnitQty.V, 8));
        l.ListPriceFromUnitPrice();
        l.GoodsAmount();
        l.Set(l.Amount, TruncateCurrency(l.UnitQty.V * l.TaxPrice.V));
        l.Set(l.TaxAmt, TruncateCurrency(l.Amount.V - l.GoodsAmt.V));
        l.BasePrice(TZeroRate::Leave);
        l.DiscountAmount();
    });
}

void TLinePricing::UnitAPriceChanged(TField*)
{
    OnCurrentLine([&](TLine& l) {
        if (l.UnitRate.V != 0)
            l.Set(l.APrice, Round(l.UnitAPrice.V / l.UnitRate.V, 8));
    });
}

void TLinePricing::PresentChanged(TField*)
{
    if (!HasCurrentLine() || !LineHasGoods())
        return;
    TBusyScope busy(*this);
    if (IsGiftLine()) {
        TLine l(FDetail, FNames);
        l.Set(l.UnitPrice, 0);
        UnitPriceChanged(l.UnitPrice.F);
    } else if (OnOtherField) {
        OnOtherField(TLineRole::Unit, FindIn(FDetail, FNames.UnitID));
    } else if (FCon) {
        ApplyDefaultPrice(FCon);
    }
}

double TLinePricing::GetDefaultTaxRate()
{
    const double option = FSettings.TradeSide == tsSales ? FOptions.SaleIncTaxRate : FOptions.PurchaseIncTaxRate;
    const TField* kind = FindIn(FMaster, FNames.MasterBillTypeID);
    if (!kind || FSettings.BillType == kSalesOrderBillType)
        return option;
    const double invoiceKind = ReadNumber(kind);
    if (invoiceKind == 3)
        return option;
    if (invoiceKind == 2)
        return FSettings.TradeSide == tsSales ? option : 0;
    return 0;
}

void TLinePricing::DetailNewRecord()
{
    if (!HasCurrentLine())
        return;
    TBusyScope busy(*this);
    auto put = [this](const QString& name, double value) {
        if (TField* f = FindIn(FDetail, name); f && std::isfinite(value))
            f->SetValue(value);
    };
    put(FNames.UnitQty, 1);
    put(FNames.FollowUpQty, 0);
    const TField* masterDisc = FindIn(FMaster, QStringLiteral("Disc"));
    put(FNames.Disc, masterDisc && !masterDisc->IsNull() ? ReadNumber(masterDisc) : 100);
    put(FNames.TaxRate, GetDefaultTaxRate());
    put(FNames.ReferCount, 0);
    // the cost a save would write as 0 anyway: written now, a long bill's save does not
    // edit every line again
    put(QStringLiteral("aprice"), 0);
}

void TLinePricing::SetDefaultUnitPrice(double defaultPrice, double aprice)
{
    if (!HasCurrentLine())
        return;
    TBusyScope busy(*this);
    TLine l(FDetail, FNames);
    double price = defaultPrice;
    if (IsGiftLine())
        price = 0;
    else if (l.Disc.F)
        price = Round(defaultPrice * l.Disc.V * 0.01, 8);
    l.Set(l.UnitPrice, Round(price, 6));
    UnitPriceChanged(l.UnitPrice.F);
    if (TField* unitAPrice = FindIn(FDetail, QStringLiteral("unitaprice"))) {
        const double value = Round(aprice * ReadNumber(FindIn(FDetail, FNames.UnitRate)), 8);
        if (std::isfinite(value))
            unitAPrice->SetValue(value);
    }
}

TDefaultPriceRequest TLinePricing::DefaultPriceRequest() const
{
    TDefaultPriceRequest r;
    if (HasCurrentLine()) {
        r.GoodsID = ReadId(FindIn(FDetail, FNames.GoodsID));
        r.UnitID = ReadId(FindIn(FDetail, FNames.UnitID));
        r.BatchRefID = ReadId(FindIn(FDetail, FNames.BatchRefID));
    }
    r.BillType = FSettings.BillType;
    r.CVFlag = FSettings.TradeSide;
    if (FMaster && FMaster->Active()) {
        r.CVID = ReadId(FindIn(FMaster, FNames.MasterClientID));
        r.ShopID = ReadId(FindIn(FMaster, QStringLiteral("shopid")));
        r.StoreID = ReadId(FindIn(FMaster, FNames.MasterStoreID));
    }
    return r;
}

void TLinePricing::ApplyDefaultPrice(TClientConnection* con)
{
    if (!HasCurrentLine())
        return;
    const TDefaultPriceAnswer answer = LookupDefaultPrice(con, DefaultPriceRequest());
    SetDefaultUnitPrice(answer.DefaultPrice, answer.APrice);
}

bool TLinePricing::IsGiftLine() const
{
    const TField* f = HasCurrentLine() ? FindIn(FDetail, FNames.IsPresent) : nullptr;
    if (!f || f->IsNull())
        return false;
    switch (f->DataType()) {
    case TFieldType::ftBoolean: return f->AsBoolean();
    case TFieldType::ftString: {
        const QString s = f->AsString().trimmed();
        return s.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0
               || s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    }
    default: return ReadNumber(f) != 0;
    }
}

bool TLinePricing::LineHasGoods() const
{
    if (!HasCurrentLine())
        return false;
    if (const TField* goods = FindIn(FDetail, FNames.GoodsID))
        return ReadNumber(goods) != 0;
    const TField* code = FindIn(FDetail, FNames.GoodsCode);
    return code && !code->AsString().trimmed().isEmpty();
}

// ====================================================================== default price

TDefaultPriceAnswer LookupDefaultPrice(TClientConnection* con, const TDefaultPriceRequest& request)
{
    if (!con)
        throw EDatabaseError(QStringLiteral("没有数据库连接，不能读取货品的默认价格。"));
    TClientStoredProc proc(con, QStringLiteral("getgoodsinfo;1"));
    TProcParams& p = proc.Params;
    p.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
    const std::pair<const char*, int> keys[] = {
        {"@gettype", 3},
        {"@goodsid", request.GoodsID},
        {"@unitid", request.UnitID},
        {"@BillType", request.BillType},
        {"@CVFlag", request.CVFlag},
        {"@CVID", request.CVID},
        {"@BATCHREFID", request.BatchRefID},
    };
    for (const auto& [name, value] : keys)
        p.Add(QString::fromLatin1(name), TFieldType::ftInteger).Value = value;
    p.Add(QStringLiteral("@DefaultPrice"), TFieldType::ftFloat, TParamDirection::pdInputOutput, 8).Value = 0.0;
    p.Add(QStringLiteral("@Filter"), TFieldType::ftString, TParamDirection::pdInput, 255).Value = QString();
    p.Add(QStringLiteral("@shopid"), TFieldType::ftInteger).Value = request.ShopID;
    p.Add(QStringLiteral("@storeid"), TFieldType::ftInteger).Value = request.StoreID;
    proc.Open();

    TDefaultPriceAnswer answer;
    TClientDataSet* rows = proc.Rows();
    if (!rows->Active() || rows->IsEmpty())
        return answer;
    rows->First();
    answer.Found = true;
    answer.DefaultPrice = ReadNumber(rows->FindField(QStringLiteral("DefaultPrice")));
    answer.APrice = ReadNumber(rows->FindField(QStringLiteral("aprice")));
    return answer;
}
