// The records selection dialogs hand back.
#include "services/SelectValues.h"

#include "host/Messages.h"

#include <gtest/gtest.h>

namespace {

TEST(ListValue, NamesFromCommaTextStartEmptyAndUnknownNamesGiveZero)
{
    TScriptedMessages script;
    TListValue list;
    list.SetCommaText(QStringLiteral("goodsid,unitqty"));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetNameAt(0), QStringLiteral("goodsid"));
    EXPECT_EQ(list.GetNameAt(1), QStringLiteral("unitqty"));
    EXPECT_FALSE(list.GetValueAt(0).isValid());
    EXPECT_EQ(list.CommaText(), QStringLiteral("goodsid,unitqty"));

    EXPECT_EQ(list.GetValue(QStringLiteral("price")), QVariant(0));
    EXPECT_EQ(script.Count(), 0); // no message for a list

    int i = -1;
    EXPECT_TRUE(list.Find(QStringLiteral("UNITQTY"), i));
    EXPECT_EQ(i, 1);
    list.SetValue(QStringLiteral("UnitQty"), 3.5);
    EXPECT_EQ(list.Count(), 2); // an existing name is replaced, not added
    EXPECT_EQ(list.GetValue(QStringLiteral("unitqty")).toDouble(), 3.5);
    list.SetValue(QStringLiteral("price"), 9);
    EXPECT_EQ(list.Count(), 3);
    list.SetValueAt(0, 77);
    EXPECT_EQ(list.GetValue(QStringLiteral("goodsid")).toInt(), 77);

    list.SetCommaText(QStringLiteral("a"));
    EXPECT_EQ(list.Names(), QStringList{QStringLiteral("a")});
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.CommaText().isEmpty());
}

TEST(ReturnValue, RowsCountFromOneAndAFarRowIsAppendedNext)
{
    TScriptedMessages script;
    TReturnValue r;
    r.SetValue(1, QStringLiteral("goodsid"), 1);
    r.SetValue(2, QStringLiteral("goodsid"), 2);
    ASSERT_EQ(r.RowCount(), 2);
    r.SetValue(5, QStringLiteral("goodsid"), 7);
    ASSERT_EQ(r.RowCount(), 3);
    EXPECT_EQ(r.GetValue(3, QStringLiteral("goodsid")).toInt(), 7);
    r.SetValue(2, QStringLiteral("unitqty"), 4);
    EXPECT_EQ(r.RowCount(), 3);
    EXPECT_EQ(r.GetValue(2, QStringLiteral("goodsid")).toInt(), 2);
    EXPECT_EQ(r.GetValue(2, QStringLiteral("unitqty")).toInt(), 4);
    EXPECT_EQ(script.Count(), 0);
}

TEST(ReturnValue, AMissingNameIsToldAndGivesZero)
{
    TScriptedMessages script;
    TReturnValue r;
    r.SetValue(1, QStringLiteral("goodsid"), 1);
    EXPECT_EQ(r.GetValue(1, QStringLiteral("batchcode")), QVariant(0));
    ASSERT_EQ(script.Count(), 1);
    EXPECT_EQ(script.Last().Text, QStringLiteral("值没有找到batchcode"));
    EXPECT_EQ(r.GetValue(9, QStringLiteral("goodsid")), QVariant(0)); // no such row: told as well
    EXPECT_EQ(script.Count(), 2);
    r.Clear();
    EXPECT_EQ(r.RowCount(), 0);
}

} // namespace
