#pragma once
// A goods line in a bare detail dataset, priced by the engine hooked into the dataset's
// field-change event the way the goods-bill form hooks it.
#include "goodsbill/LinePricing.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using TValues = std::vector<std::pair<QString, double>>;

// Records every routine that runs, so that tests see that one edit runs one routine.
class TRecordingPricing : public TLinePricing {
public:
    using TLinePricing::TLinePricing;
    QStringList Calls;

    void UnitQtyChanged(TField* f) override { Record("UnitQtyChanged"); TLinePricing::UnitQtyChanged(f); }
    void NPriceChanged(TField* f) override { Record("NPriceChanged"); TLinePricing::NPriceChanged(f); }
    void UnitPriceChanged(TField* f) override { Record("UnitPriceChanged"); TLinePricing::UnitPriceChanged(f); }
    void DiscChanged(TField* f) override { Record("DiscChanged"); TLinePricing::DiscChanged(f); }
    void TaxRateChanged(TField* f) override { Record("TaxRateChanged"); TLinePricing::TaxRateChanged(f); }
    void GoodsAmtChanged(TField* f) override { Record("GoodsAmtChanged"); TLinePricing::GoodsAmtChanged(f); }
    void TaxAmtChanged(TField* f) override { Record("TaxAmtChanged"); TLinePricing::TaxAmtChanged(f); }
    void AmountChanged(TField* f) override { Record("AmountChanged"); TLinePricing::AmountChanged(f); }
    void TaxPriceChanged(TField* f) override { Record("TaxPriceChanged"); TLinePricing::TaxPriceChanged(f); }
    void UnitAPriceChanged(TField* f) override { Record("UnitAPriceChanged"); TLinePricing::UnitAPriceChanged(f); }
    void PresentChanged(TField* f) override { Record("PresentChanged"); TLinePricing::PresentChanged(f); }

private:
    void Record(const char* name) { Calls << QString::fromLatin1(name); }
};

// Every numeric field a fully priced line has.
QStringList AllPricingFields();

// 3 boxes of 12 at a list price of 12.5 less 20 %, 17 % tax, cost 4 a piece.
TValues BoxLine();

class TPricingTest : public ::testing::Test {
protected:
    // The detail gets the numeric fields named (amounts as currency), an integer goodsid
    // and a one-character ispresent, and one posted line with goods 7 and the values given.
    void MakeLine(const QStringList& fields, const TValues& values);
    // The user types a value into a cell of the current line.
    void Type(const QString& field, const QVariant& value) { Detail.FieldByName(field)->SetValue(value); }
    double Num(const QString& field) const { return Detail.FieldByName(field)->AsFloat(); }
    // Every field of `before` holds its old value unless `changed` names a new one.
    void ExpectLine(const TValues& before, const TValues& changed) const;
    // No numeric field of the line holds anything but a finite number.
    void ExpectAllFinite() const;

    TClientDataSet Detail;
    TClientDataSet Master;
    TGoodsFieldNames Names;
    TGoodsFormSettings Settings;
    TPricingOptions Options;
    std::unique_ptr<TRecordingPricing> Engine;
};
