// The arithmetic and state rules of the purchase bills that stand without a window: how an
// expense is spread over receipt lines, and what an order's flags make of its window.
#include "bills/purchase/PurchaseRules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

qint64 Cents(double v) { return std::llround(v * 100); }

qint64 SumCents(const QVector<double>& v)
{
    qint64 s = 0;
    for (double x : v)
        s += Cents(x);
    return s;
}

} // namespace

TEST(ExpenseApportioning, TheRestOfAnUnevenSplitGoesToTheLastLine)
{
    EXPECT_EQ(TPurchaseRules::Apportion({1, 1, 1}, 100.00), (QVector<double>{33.33, 33.33, 33.34}));
    // By amount: 10 over 20 / 10 / 10 amounts.
    EXPECT_EQ(TPurchaseRules::Apportion({20, 10, 10}, 10.00), (QVector<double>{5.00, 2.50, 2.50}));
    // Two thirds and a third: 6.67 rounds up, so the last line gives a cent back.
    EXPECT_EQ(TPurchaseRules::Apportion({1, 1, 1}, 20.00), (QVector<double>{6.67, 6.67, 6.66}));
    // A split that comes out even is left as it is.
    EXPECT_EQ(TPurchaseRules::Apportion({1, 3}, 10.00), (QVector<double>{2.50, 7.50}));
}

TEST(ExpenseApportioning, SharesAlwaysAddUpToTheExpense)
{
    const QVector<QVector<double>> bases{{1, 1, 1, 1, 1, 1, 1}, {0.5, 2.25, 7}, {3, 0, 9, 11}, {12.34, 56.78, 0.01}, {1}};
    for (const auto& basis : bases)
        for (double expense : {0.01, 1.00, 99.99, 100.00, 1234.57, 0.07}) {
            const QVector<double> shares = TPurchaseRules::Apportion(basis, expense);
            ASSERT_EQ(shares.size(), basis.size());
            EXPECT_EQ(SumCents(shares), Cents(expense)) << expense;
            for (double s : shares)
                EXPECT_EQ(std::fabs(s * 100 - std::round(s * 100)) < 1e-6, true) << "a share in whole cents";
        }
}

TEST(ExpenseApportioning, NothingToSpreadOver)
{
    EXPECT_TRUE(TPurchaseRules::Apportion({}, 100).isEmpty());
    EXPECT_EQ(TPurchaseRules::Apportion({0, 0}, 100), (QVector<double>{0, 0})) << "a basis of 0 takes no share";
    // Returned receipt lines may weigh negative; the shares follow the weights.
    EXPECT_EQ(TPurchaseRules::Apportion({2, -1}, 10), (QVector<double>{20, -10}));
}

TEST(OrderDisplayState, ClosedAndFinishedOrders)
{
    const auto open = TPurchaseRules::OrderState(false, false, true);
    EXPECT_FALSE(open.ReadOnly);
    EXPECT_FALSE(open.ShowFinished);
    EXPECT_TRUE(open.CloseEnabled);
    EXPECT_TRUE(open.ToSorderEnabled);

    const auto closed = TPurchaseRules::OrderState(true, false, false);
    EXPECT_TRUE(closed.ReadOnly);
    EXPECT_TRUE(closed.CloseEnabled) << "a closed order can be reopened";
    EXPECT_FALSE(closed.ToSorderEnabled);

    const auto finishedFree = TPurchaseRules::OrderState(false, true, false);
    EXPECT_FALSE(finishedFree.ReadOnly) << "without ORDEREXECFINISHED a finished order stays editable";
    EXPECT_TRUE(finishedFree.ShowFinished);
    EXPECT_FALSE(finishedFree.CloseEnabled);

    const auto finishedLocked = TPurchaseRules::OrderState(false, true, true);
    EXPECT_TRUE(finishedLocked.ReadOnly);
    EXPECT_TRUE(finishedLocked.ShowFinished);
}
