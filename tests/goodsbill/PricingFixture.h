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

// Records the routines that run, so that tests see that one edit runs one routine.
class TRecordingPricing : public TLinePricing {
public:
    using TLinePricing::TLinePricing;
    QStringList Calls;

#define TB_RECORD(routine) \
    void routine(TField* f) override { Calls << QStringLiteral(#routine); TLinePricing::routine(f); }
    TB_RECORD(UnitQtyChanged) TB_RECORD(NPriceChanged) TB_RECORD(UnitPriceChanged) TB_RECORD(DiscChanged)
    TB_RECORD(TaxRateChanged) TB_RECORD(GoodsAmtChanged) TB_RECORD(TaxAmtChanged) TB_RECORD(AmountChanged)
    TB_RECORD(TaxPriceChanged) TB_RECORD(UnitAPriceChanged) TB_RECORD(PresentChanged)
#undef TB_RECORD
};

// Every numeric field a fully priced line has.
QStringList AllPricingFields();
// 3 boxes of 12 at a list price of 12.5 less 20 %, 17 % tax, cost 4 a piece; `with`
// replaces some of the values.
TValues BoxLine(const TValues& with = {});

class TPricingTest : public ::testing::Test {
protected:
    // The detail gets the numeric fields named (amounts as currency), an integer goodsid
    // and a one-character ispresent, and one posted line with goods 7 and the values given.
    void MakeLine(const QStringList& fields, const TValues& values);
    // The user types a value into a cell of the current line.
    void Type(const QString& field, const QVariant& value) { Detail.FieldByName(field)->SetValue(value); }
    double Num(const QString& field) const { return Detail.FieldByName(field)->AsFloat(); }
    // Every numeric field holds its value in `before` (0 when not listed) unless `changed`
    // names a new one, and no field holds anything but a finite number.
    void ExpectLine(const TValues& before, const TValues& changed) const;

    TClientDataSet Detail;
    TClientDataSet Master;
    TGoodsFieldNames Names;
    TGoodsFormSettings Settings;
    TPricingOptions Options;
    std::unique_ptr<TRecordingPricing> Engine;
};
