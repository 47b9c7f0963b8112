#include "tests/goodsbill/PricingFixture.h"

#include <cmath>

QStringList AllPricingFields()
{
    return {"unitqty", "unitrate", "quantity", "nprice", "disc", "unitprice", "price", "taxrate",
            "taxprice", "goodsamt", "taxamt", "amount", "discamt", "UnitAprice", "aprice"};
}

TValues BoxLine(const TValues& with)
{
    TValues line{{"unitqty", 3},      {"unitrate", 12},   {"quantity", 36},    {"nprice", 12.5},   {"disc", 80},
                 {"unitprice", 10},   {"price", 0.83333333}, {"taxrate", 17},  {"taxprice", 11.7}, {"goodsamt", 30},
                 {"taxamt", 5.1},     {"amount", 35.1},   {"discamt", 7.5},    {"UnitAprice", 48}, {"aprice", 4}};
    for (const auto& [name, value] : with)
        for (auto& field : line)
            if (field.first == name)
                field.second = value;
    return line;
}

void TPricingTest::MakeLine(const QStringList& fields, const TValues& values)
{
    Engine.reset();
    Detail.Close();
    Detail.ClearFields();
    Detail.AddField(QStringLiteral("goodsid"), TFieldType::ftInteger);
    Detail.AddField(QStringLiteral("ispresent"), TFieldType::ftString, 1);
    for (const QString& name : fields) {
        const bool money = QStringList{"goodsamt", "taxamt", "amount", "discamt"}.contains(name);
        Detail.AddField(name, money ? TFieldType::ftCurrency : TFieldType::ftFloat);
    }
    Detail.CreateDataSet();
    Detail.Append();
    Detail.FieldByName(QStringLiteral("goodsid"))->SetValue(7);
    Detail.FieldByName(QStringLiteral("ispresent"))->SetValue(QStringLiteral("F"));
    for (const auto& [name, value] : values)
        if (TField* f = Detail.FindField(name))
            f->SetValue(value);
    Detail.Post();

    Engine = std::make_unique<TRecordingPricing>(&Detail, Names, Settings, Options, &Master);
    for (int i = 0; i < Detail.FieldCount(); ++i)
        Detail.Fields(i)->OnChange = [this](TField* f) { Engine->DetailFieldChanged(f); };
}

void TPricingTest::ExpectLine(const TValues& before, const TValues& changed) const
{
    for (int i = 0; i < Detail.FieldCount(); ++i) {
        const TField* f = Detail.Fields(i);
        if (f->DataType() != TFieldType::ftFloat && f->DataType() != TFieldType::ftCurrency)
            continue;
        double want = 0;
        for (const TValues* values : {&before, &changed})
            for (const auto& [name, value] : *values)
                if (name == f->FieldName())
                    want = value;
        EXPECT_TRUE(std::isfinite(f->AsFloat())) << qPrintable(f->FieldName());
        EXPECT_DOUBLE_EQ(f->AsFloat(), want) << qPrintable(f->FieldName());
    }
}
