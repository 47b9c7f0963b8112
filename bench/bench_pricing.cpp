// One field edit on a goods line of a 2,000-line bill: the user types a quantity, a unit
// price, a discount or an amount, the detail dataset's change event runs the pricing
// routine of that field, and (in the second set) the footer totals are summed again and
// the line is posted, as the bill form does when the user leaves the line.
#include "goodsbill/LinePricing.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kLines = 2000;

struct TEditedField {
    const char* Name;
    double A, B; // the two values typed in turn, so every edit changes the line
};
// quantity, unit price, discount, amount (far enough apart to pass the tolerance)
const TEditedField kFields[] = {{"unitqty", 3, 4}, {"unitprice", 10, 10.5}, {"disc", 90, 80}, {"amount", 35.1, 46.8}};

// The columns of a purchase order line as its form reads them.
void AddLineFields(TClientDataSet& ds)
{
    for (const char* name : {"orderid", "itemno", "goodsid", "unitid", "refertype", "referbillid", "referitemno",
                             "refercount", "batchrefid"})
        ds.AddField(QString::fromLatin1(name), TFieldType::ftInteger);
    for (const char* name : {"unitqty", "quantity", "unitprice", "price", "nprice", "disc", "taxrate", "taxprice",
                             "aprice", "unitaprice", "unitrate", "rcvdqty"})
        ds.AddField(QString::fromLatin1(name), TFieldType::ftFloat);
    for (const char* name : {"goodsamt", "taxamt", "amount", "discamt"})
        ds.AddField(QString::fromLatin1(name), TFieldType::ftCurrency);
    for (const char* name : {"goodscode", "goodsname", "specs", "unit", "baseunit", "barcode", "batchcode", "memo",
                             "userdef1", "userdef2", "userdef3", "referbillcode"})
        ds.AddField(QString::fromLatin1(name), TFieldType::ftString, 64);
    ds.AddField(QStringLiteral("ispresent"), TFieldType::ftString, 1);
    ds.AddField(QStringLiteral("validdate"), TFieldType::ftDateTime);
    ds.AddField(QStringLiteral("produceddate"), TFieldType::ftDateTime);
}

class TBill {
public:
    TBill()
    {
        AddLineFields(Detail);
        Detail.CreateDataSet();
        for (int i = 0; i < kLines; ++i) {
            Detail.Append();
            Set("orderid", 1);
            Set("itemno", i + 1);
            Set("goodsid", 100 + i % 300);
            Set("unitid", 1000 + i % 300);
            Set("goodscode", QStringLiteral("G%1").arg(i % 300, 5, 10, QLatin1Char('0')));
            Set("goodsname", QStringLiteral("货品%1").arg(i % 300));
            Set("ispresent", QStringLiteral("F"));
            for (const auto& [name, value] : {std::pair{"unitqty", 3.0}, {"unitrate", 12.0}, {"quantity", 36.0},
                                              {"nprice", 12.5}, {"disc", 80.0}, {"unitprice", 10.0},
                                              {"price", 0.83333333}, {"taxrate", 17.0}, {"taxprice", 11.7},
                                              {"goodsamt", 30.0}, {"taxamt", 5.1}, {"amount", 35.1}, {"discamt", 7.5}})
                Set(name, value);
            Detail.Post();
        }
        Detail.MergeChangeLog();
        TPricingOptions options;
        options.GoodsAmtLimit = 0.05;
        options.TaxAmtLimit = 0.05;
        TGoodsFormSettings settings;
        settings.BillType = 6;
        settings.TradeSide = tsPurchase;
        Engine = std::make_unique<TLinePricing>(&Detail, TGoodsFieldNames(), settings, options);
        for (int i = 0; i < Detail.FieldCount(); ++i)
            Detail.Fields(i)->OnChange = [this](TField* f) { Engine->DetailFieldChanged(f); };
        Detail.SetRecNo(kLines / 2);
    }
    void Set(const char* name, const QVariant& v) { Detail.FieldByName(QString::fromLatin1(name))->SetValue(v); }

    TClientDataSet Detail;
    std::unique_ptr<TLinePricing> Engine;
};

// The grid's footer: quantity and the three amounts summed over every line.
double FooterTotals(const TClientDataSet& detail)
{
    double sum = 0;
    for (const char* total : {"unitqty", "goodsamt", "taxamt", "amount"})
        sum += detail.Sum(QString::fromLatin1(total));
    return sum;
}

// range(0): the field typed; range(1): 1 when the footer totals are summed again and the
// line posted after the edit.
void BM_FieldEdit(benchmark::State& state)
{
    const TEditedField& edited = kFields[state.range(0)];
    const bool totals = state.range(1) != 0;
    TBill bill;
    TField* field = bill.Detail.FieldByName(QString::fromLatin1(edited.Name));
    bool flip = false;
    for (auto _ : state) {
        field->SetValue((flip = !flip) ? edited.B : edited.A);
        if (totals) {
            bill.Detail.Post();
            benchmark::DoNotOptimize(FooterTotals(bill.Detail));
        }
    }
    state.SetLabel(std::string(edited.Name) + (totals ? " + totals + post" : ""));
}
BENCHMARK(BM_FieldEdit)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The footer totals alone, for comparison: four sums over the 2,000 lines.
void BM_FooterTotals(benchmark::State& state)
{
    TBill bill;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FooterTotals(bill.Detail));
    }
}
BENCHMARK(BM_FooterTotals)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
