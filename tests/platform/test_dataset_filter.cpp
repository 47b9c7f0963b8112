// Record filters: the text filter language and OnFilterRecord.
#include "DataSetFixtures.h"

#include <gtest/gtest.h>

namespace {
QList<int> VisibleIds(TClientDataSet* ds)
{
    QList<int> ids;
    for (int r = 0; r < ds->RecordCount(); ++r) ids << ds->RowValue(r, ds->FieldByName("id")->Index()).toInt();
    return ids;
}

std::unique_ptr<TClientDataSet> Goods()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->AddField("id", TFieldType::ftInteger);
    ds->AddField("name", TFieldType::ftString);
    ds->AddField("closed", TFieldType::ftString, 1);
    ds->AddField("kind", TFieldType::ftInteger);
    ds->AddField("price", TFieldType::ftFloat);
    ds->AddField("inuse", TFieldType::ftBoolean);
    ds->AddField("added", TFieldType::ftDateTime);
    ds->CreateDataSet();
    ds->AppendRecord({1, "西湖龙井", "F", 1, 10.5, true, QDateTime(QDate(2024, 1, 1), QTime(8, 0))});
    ds->AppendRecord({2, "Green Tea", "T", 3, 2, false, QDateTime(QDate(2024, 2, 1), QTime(8, 0))});
    ds->AppendRecord({3, "green's", "F", 4, QVariant(), true, QVariant()});
    ds->AppendRecord({4, QVariant(), "F", 5, 100, QVariant(), QDateTime(QDate(2023, 12, 31), QTime(23, 0))});
    return ds;
}
} // namespace

TEST(DataSetFilter, TextFilterLanguage)
{
    auto ds = Goods();
    ds->SetFiltered(true);
    const std::vector<std::pair<QString, QList<int>>> cases = {
        {"closed='F' and kind<4", {1}},
        {" closed='F' and  kind <= 4 ", {1, 3}},
        {"CLOSED = 'f'", {1, 3, 4}}, // text compares without case, names too
        {"kind <> 3", {1, 3, 4}},
        {"kind != 3 and not (id = 1)", {3, 4}},
        {"kind >= 4 or id = 1", {1, 3, 4}},
        {"(kind > 1 and kind < 5) or price > 50", {2, 3, 4}},
        {"price > 5", {1, 4}}, // null never compares
        {"price is null", {3}},
        {"price is not null and name is null", {4}},
        {"name like '%tea%'", {2}},
        {"name like 'green%'", {2, 3}},
        {"name like '%龙%'", {1}},
        {"name not like 'g%'", {1}},
        {"name like 'gree_ Tea'", {2}},
        {"name = 'green''s'", {3}},
        {"name = \"Green Tea\"", {2}},
        {"kind = '3'", {2}},            // literal takes the field's type
        {"kind in (1, 4, 9)", {1, 3}},
        {"kind not in (1,4)", {2, 4}},
        {"inuse = true", {1, 3}},
        {"inuse = 'F'", {2}},
        {"added >= '2024-01-01'", {1, 2}},
        {"added < '2024-01-01 08:00:00'", {4}},
        {"g.kind < 2", {1}},            // a table prefix from SQL is ignored
        {"[price] = 2", {2}},
        {"price = -1 or price < 2.5e0", {2}},
        {"name = null", {4}},
        {"name <> null", {1, 2, 3}},
    };
    for (const auto& [text, expected] : cases) {
        ds->SetFilter(text);
        EXPECT_EQ(VisibleIds(ds.get()), expected) << text.toStdString();
    }
    ds->SetFiltered(false);
    EXPECT_EQ(ds->RecordCount(), 4);
}

TEST(DataSetFilter, UnreadableFiltersAreRefusedAndTheOldOneKept)
{
    auto ds = Goods();
    ds->SetFilter("kind < 4");
    ds->SetFiltered(true);
    const QStringList bad = {
        "kind <",
        "kind < 4 and",
        "name = 'open",
        "(kind < 4",
        "kind < 4)",
        "kind 4",
        "nosuch = 1",
        "name is 'x'",
        "kind @ 4",
        "kind not = 4",
        "kind in 1,2",
        "and kind < 4",
    };
    for (const QString& f : bad) {
        EXPECT_THROW(ds->SetFilter(f), EDatabaseError) << f.toStdString();
        EXPECT_EQ(ds->Filter(), QString("kind < 4"));
        EXPECT_EQ(ds->RecordCount(), 2);
    }
    ds->SetFilter("");
    EXPECT_EQ(ds->RecordCount(), 4);
}

TEST(DataSetFilter, FilterRecordEventEditsAndAggregates)
{
    auto ds = Goods();
    ds->OnFilterRecord = [](TClientDataSet* d) { return d->FieldByName("id")->AsInteger() % 2 == 0; };
    EXPECT_EQ(ds->RecordCount(), 4); // not filtered yet
    ds->SetFiltered(true);
    EXPECT_EQ(VisibleIds(ds.get()), QList<int>({2, 4}));
    ds->SetFilter("kind > 3"); // both apply
    EXPECT_EQ(VisibleIds(ds.get()), QList<int>({4}));
    EXPECT_DOUBLE_EQ(ds->Sum("price"), 100);

    // A new row stays visible while it is being entered and leaves once posted if it fails.
    ds->Append();
    ds->FieldByName("id")->SetValue(7);
    ds->FieldByName("kind")->SetValue(9);
    ds->FieldByName("price")->SetValue(1);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_DOUBLE_EQ(ds->Sum("price"), 101); // the record being edited counts
    ds->Post();
    EXPECT_EQ(VisibleIds(ds.get()), QList<int>({4}));
    ds->OnFilterRecord = nullptr;
    ds->SetFiltered(false);
    ds->SetFiltered(true);
    EXPECT_EQ(VisibleIds(ds.get()), QList<int>({3, 4, 7}));
    EXPECT_DOUBLE_EQ(ds->Sum("price"), 101);

    // Navigation and Locate see only visible rows; the cursor keeps its row across a change.
    ds->Locate("id", 4);
    ds->SetFilter("kind >= 5");
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 4);
    EXPECT_FALSE(ds->Locate("id", 3));
    ds->SetFiltered(false);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 4);
    EXPECT_DOUBLE_EQ(ds->Sum("price"), 113.5);
}
