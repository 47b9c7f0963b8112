// Rows by column name as the server handles change sets: names found in any case, one name
// index shared by the rows of a packet, values held or not, and a delta naming a column twice
// refused rather than read with its values under the wrong names.
#include "DataSetFixtures.h"
#include "platform/RowValues.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<TRowNames> Names(std::initializer_list<const char*> names)
{
    auto n = std::make_shared<TRowNames>();
    for (const char* s : names)
        n->Add(QString::fromLatin1(s));
    return n;
}

TEST(RowValues, NamesAreFoundInAnyCaseAndKeepTheirFirstSpelling)
{
    TRowValues row(Names({"GoodsID", "unitqty"}));
    row.Set(0, 7);
    EXPECT_EQ(row.value(QStringLiteral("goodsid")).toInt(), 7);
    EXPECT_EQ(row.value(QStringLiteral("GOODSID")).toInt(), 7);
    row.insert(QStringLiteral("goodsId"), 8); // the same column, not a second one
    EXPECT_EQ(row.size(), 1);
    EXPECT_EQ(row.keys(), QStringList{QStringLiteral("GoodsID")});
    EXPECT_EQ(row.value(QStringLiteral("GoodsID")).toInt(), 8);
    EXPECT_FALSE(row.contains(QStringLiteral("unitqty"))); // named, but no value yet
    EXPECT_EQ(row.value(QStringLiteral("unitqty"), 5).toInt(), 5);
    row.Set(1, QVariant());
    EXPECT_TRUE(row.contains(QStringLiteral("UnitQty"))); // a null value is a value
    EXPECT_EQ(row.remove(QStringLiteral("UNITQTY")), 1);
    EXPECT_FALSE(row.contains(QStringLiteral("unitqty")));
    EXPECT_EQ(row.remove(QStringLiteral("unitqty")), 0);
}

TEST(RowValues, RowsShareTheirNamesButNotTheirValues)
{
    const auto names = Names({"a", "b"});
    TRowValues first(names), second(names);
    first.Set(0, 1);
    second.Set(0, 2);
    first[QStringLiteral("c")] = 3; // a name one row adds is absent from the others
    EXPECT_EQ(names->Count(), 3);
    EXPECT_FALSE(second.contains(QStringLiteral("c")));
    EXPECT_EQ(first.value(QStringLiteral("c")).toInt(), 3);
    EXPECT_EQ(second.value(QStringLiteral("a")).toInt(), 2);

    TRowValues copy = first; // a copy written to leaves the original as it was
    copy.insert(QStringLiteral("a"), 10);
    EXPECT_EQ(first.value(QStringLiteral("a")).toInt(), 1);
    EXPECT_EQ(copy.value(QStringLiteral("a")).toInt(), 10);

    QStringList walked;
    for (auto it = first.cbegin(); it != first.cend(); ++it)
        walked << it.key() + u'=' + it.value().toString();
    EXPECT_EQ(walked, (QStringList{QStringLiteral("a=1"), QStringLiteral("c=3")}));
    for (auto it = first.begin(); it != first.end(); ++it)
        it.value() = it.value().toInt() * 2;
    EXPECT_EQ(first.ToMap(), (QVariantMap{{QStringLiteral("a"), 2}, {QStringLiteral("c"), 6}}));
}

TEST(RowValues, EqualityIgnoresTheCaseOfNamesAndTheOrderOfColumns)
{
    const TRowValues a = TRowValues::FromMap({{QStringLiteral("Qty"), 1.5}, {QStringLiteral("code"), QStringLiteral("A")}});
    TRowValues b(Names({"CODE", "qty"}));
    b.Set(0, QStringLiteral("A"));
    b.Set(1, 1.5);
    EXPECT_EQ(a, b);
    b.Set(1, 1.25);
    EXPECT_NE(a, b);
    b.Set(1, 1.5);
    b.insert(QStringLiteral("extra"), QVariant());
    EXPECT_NE(a, b); // a null value more is a difference
}

// A name asked for again is found by its text's address; that must never answer for another
// text, nor keep answering "absent" once the name was added.
TEST(RowValues, RememberedLookupsStayTrue)
{
    const auto names = Names({"goodsid", "goods"});
    TRowValues row(names);
    row.Set(0, 1);
    row.Set(1, 2);
    const QString longer = QStringLiteral("goodsid");
    const QString shorter = QString::fromRawData(longer.constData(), 5); // same address, "goods"
    EXPECT_EQ(row.value(longer).toInt(), 1);
    EXPECT_EQ(row.value(shorter).toInt(), 2);
    EXPECT_EQ(row.value(longer).toInt(), 1);

    const QString later = QStringLiteral("batchrefid");
    EXPECT_FALSE(row.contains(later));
    row.insert(QStringLiteral("BatchRefID"), 9);
    EXPECT_TRUE(row.contains(later));
    EXPECT_EQ(row.value(later).toInt(), 9);

    // a heap string freed and another made: whatever the address, the answer is the text's
    for (int i = 0; i < 200; ++i) {
        const QString name = i % 2 ? QStringLiteral("goods") + QStringLiteral("id") : QStringLiteral("go") + QStringLiteral("ods");
        EXPECT_EQ(row.value(name).toInt(), i % 2 ? 1 : 2) << i;
    }
}

// Both encodings: a second spelling of a column would leave its values under the other's name.
TEST(RowValues, ADeltaNamingAColumnTwiceIsRefused)
{
    auto ds = LoadedLines();
    ds->First();
    ds->FieldByName("name")->SetValue(QStringLiteral("新名"));
    ds->Post();
    QString xml = ds->GetDeltaXML(), compact = ds->GetDeltaPacket();
    ASSERT_NO_THROW(ParseDeltaXML(xml));
    ASSERT_NO_THROW(ParseDeltaXML(compact));
    ASSERT_TRUE(xml.contains(QStringLiteral("attrname=\"name\"")));
    ASSERT_TRUE(compact.contains(QStringLiteral("4:name")));
    xml.replace(QStringLiteral("attrname=\"name\""), QStringLiteral("attrname=\"CODE\""));
    compact.replace(QStringLiteral("4:name"), QStringLiteral("4:CODE"));
    for (const QString& delta : {xml, compact}) {
        try {
            ParseDeltaXML(delta);
            ADD_FAILURE() << "a delta with a column named twice was read: " << delta.left(60).toStdString();
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("CODE")) && e.Message().contains(QStringLiteral("重复"))) << e.Message().toStdString();
        }
    }
}

} // namespace
