#pragma once
#include "platform/DataSet.h"

#include <memory>

// A bill-line shaped dataset: id (required), code, name, qty, price, closed flag, date, blob.
inline std::unique_ptr<TClientDataSet> MakeLines()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->AddField("id", TFieldType::ftInteger, 0, true);
    ds->AddField("code", TFieldType::ftString, 10);
    ds->AddField("name", TFieldType::ftString);
    ds->AddField("qty", TFieldType::ftFloat);
    ds->AddField("price", TFieldType::ftCurrency);
    ds->AddField("closed", TFieldType::ftBoolean);
    ds->AddField("billdate", TFieldType::ftDateTime);
    ds->AddField("pic", TFieldType::ftBlob);
    ds->CreateDataSet();
    return ds;
}

// Three loaded rows and a clean change log.
inline std::unique_ptr<TClientDataSet> LoadedLines()
{
    auto src = MakeLines();
    src->AppendRecord({1, "A01", "绿茶", 2.0, 10.5, false, QDateTime(QDate(2024, 3, 1), QTime(9, 30, 15))});
    src->AppendRecord({2, "B02", "红茶", 3.0, 20.0, true, QDateTime(QDate(2024, 3, 2), QTime(0, 0))});
    src->AppendRecord({3, "c03", "Coffee", 1.5, QVariant(), false, QVariant()});
    auto ds = std::make_unique<TClientDataSet>();
    ds->LoadFromXMLString(src->XMLData());
    return ds;
}
