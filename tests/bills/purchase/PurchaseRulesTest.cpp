// The arithmetic and state rules of the purchase bills that stand without a window: how an
// expense is spread over receipt lines, and what an order's flags make of its window.
#include "bills/purchase/PurchaseRules.h"

#include "billcore/BillDocument.h"
#include "goodsbill/BillChecks.h"

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

namespace {

// What the checks said, without a window.
class TRecordingPrompter : public TBillPrompter {
public:
    void Notice(const QString& text, const QString&) override { Said << text; }
    int MsgBox(const QString& text, const QString&, int) override
    {
        Said << text;
        return 1;
    }
    bool YesNo(const QString& text, const QString&) override
    {
        Said << text;
        return Yes;
    }
    QStringList Said;
    bool Yes = false;
};

// An expense bill's master and lines as plain datasets.
class ExpenseChecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (TClientDataSet* ds : {&master, &lines}) {
            ds->Close();
            ds->ClearFields();
        }
        for (const char* f : {"appamt", "totalamt", "taxrate", "taxamt", "paidamt"})
            master.AddField(QString::fromLatin1(f), TFieldType::ftFloat);
        master.AddField(QStringLiteral("bankid"), TFieldType::ftInteger);
        master.AddField(QStringLiteral("paytypeid"), TFieldType::ftInteger);
        master.CreateDataSet();
        master.Append();
        lines.AddField(QStringLiteral("unitqty"), TFieldType::ftFloat);
        lines.AddField(QStringLiteral("goodsamt"), TFieldType::ftFloat);
        lines.AddField(QStringLiteral("appamt"), TFieldType::ftFloat);
        lines.CreateDataSet();
        ctx.Master = &master;
        ctx.Detail = &lines;
        ctx.Prompter = &prompts;
        rules = std::make_unique<TPurchaseRules>(&ctx);
        // A bill that passes: 113 with 13 tax, 100 spread over two lines, nothing paid.
        Master({{"totalamt", 113}, {"taxrate", 13}, {"taxamt", 13}, {"appamt", 100}, {"paidamt", 0}});
        for (double share : {60.0, 40.0}) {
            lines.Append();
            lines.FieldByName(QStringLiteral("unitqty"))->SetValue(share / 10);
            lines.FieldByName(QStringLiteral("goodsamt"))->SetValue(share * 3);
            lines.FieldByName(QStringLiteral("appamt"))->SetValue(share);
            lines.Post();
        }
    }
    void Master(std::initializer_list<std::pair<const char*, QVariant>> values)
    {
        for (const auto& [name, v] : values)
            master.FieldByName(QString::fromLatin1(name))->SetValue(v);
    }
    // The message of the first refusal, "" when the bill passes.
    QString Refusal()
    {
        prompts.Said.clear();
        const bool ok = rules->ValidateExpense();
        EXPECT_EQ(ok, prompts.Said.isEmpty());
        return prompts.Said.value(0);
    }
    double M(const char* name) { return master.FieldByName(QString::fromLatin1(name))->AsFloat(); }

    TClientDataSet master, lines;
    TRecordingPrompter prompts;
    TGoodsBillContext ctx;
    std::unique_ptr<TPurchaseRules> rules;
};

} // namespace

TEST_F(ExpenseChecks, EachRefusalInItsTurn)
{
    EXPECT_EQ(Refusal(), QString());
    EXPECT_EQ(rules->FocusRequest(), QString());
    const struct {
        std::initializer_list<std::pair<const char*, QVariant>> Values;
        const char* Message;
        const char* Field;
    } cases[] = {
        {{{"appamt", 0}}, "费用金额必须大于零！", "appamt"},
        {{{"appamt", 113.01}}, "费用金额不能大于价税合计！", "appamt"},
        {{{"taxrate", -1}}, "税率不能小于零！", "taxrate"},
        {{{"taxamt", -0.01}}, "税额不能小于零！", "taxamt"},
        {{{"paidamt", -5}}, "本次付款不能小于零！", "paidamt"},
        {{{"paidamt", 113.01}}, "本次付款不能大于价税合计！", "paidamt"},
        {{{"paidamt", 0.01}}, "请选择结算账户！", "bankid"},
        {{{"appamt", 99.99}}, "费用金额与本次分摊费用合计必须相等！", "appamt"},
    };
    for (const auto& c : cases) {
        SetUp();
        Master(c.Values);
        EXPECT_EQ(Refusal(), QString::fromUtf8(c.Message));
        EXPECT_EQ(rules->FocusRequest(), QString::fromLatin1(c.Field)) << c.Message;
    }
    // Paid with an account, the whole total: accepted.
    SetUp();
    Master({{"paidamt", 113}, {"bankid", 1}});
    EXPECT_EQ(Refusal(), QString());
}

TEST_F(ExpenseChecks, TheTotalLeadsTaxAndExpense)
{
    Master({{"totalamt", 226.456}});
    rules->ExpenseFieldChanged(QStringLiteral("totalamt"));
    EXPECT_DOUBLE_EQ(M("totalamt"), 226.46);
    EXPECT_DOUBLE_EQ(M("taxamt"), 29.44);
    EXPECT_DOUBLE_EQ(M("appamt"), 197.02);
    Master({{"taxrate", 6.123456}});
    rules->ExpenseFieldChanged(QStringLiteral("taxrate"));
    EXPECT_DOUBLE_EQ(M("taxrate"), 6.1235);
    EXPECT_DOUBLE_EQ(M("taxamt"), 13.87);
    EXPECT_DOUBLE_EQ(M("appamt"), 212.59);
    Master({{"taxamt", 10}});
    rules->ExpenseFieldChanged(QStringLiteral("taxamt"));
    EXPECT_DOUBLE_EQ(M("appamt"), 216.46);
    Master({{"appamt", 200}});
    rules->ExpenseFieldChanged(QStringLiteral("appamt"));
    EXPECT_DOUBLE_EQ(M("taxamt"), 26.46);
    // No payment: no payment type or account either.
    Master({{"paidamt", QVariant()}, {"bankid", 3}, {"paytypeid", 2}});
    rules->ExpenseFieldChanged(QStringLiteral("paidamt"));
    EXPECT_DOUBLE_EQ(M("paidamt"), 0);
    EXPECT_TRUE(master.FieldByName(QStringLiteral("bankid"))->IsNull());
    EXPECT_TRUE(master.FieldByName(QStringLiteral("paytypeid"))->IsNull());
    EXPECT_FALSE(rules->ExpensePaid());
}

TEST_F(ExpenseChecks, ApportioningWritesTheLines)
{
    Master({{"appamt", 100}});
    for (lines.First(); !lines.Eof(); lines.Next()) {
        lines.FieldByName(QStringLiteral("unitqty"))->SetValue(5);
        lines.Post();
    }
    lines.Append();
    lines.FieldByName(QStringLiteral("unitqty"))->SetValue(5);
    lines.FieldByName(QStringLiteral("goodsamt"))->SetValue(0);
    lines.Post();
    ASSERT_TRUE(rules->ApportionExpense(QStringLiteral("UNITQTY")));
    QVector<double> got;
    for (lines.First(); !lines.Eof(); lines.Next())
        got << lines.FieldByName(QStringLiteral("appamt"))->AsFloat();
    EXPECT_EQ(got, (QVector<double>{33.33, 33.33, 33.34}));
    ASSERT_TRUE(rules->ApportionExpense(QStringLiteral("goodsamt")));
    got.clear();
    for (lines.First(); !lines.Eof(); lines.Next())
        got << lines.FieldByName(QStringLiteral("appamt"))->AsFloat();
    EXPECT_EQ(got, (QVector<double>{60, 40, 0}));
    EXPECT_FALSE(rules->ApportionExpense(QStringLiteral("price"))) << "no other basis";
}

TEST_F(ExpenseChecks, OpeningEntriesCloseWithTheFirstPeriods)
{
    TBillPeriodDates p;
    p.OpeningDate = QDate(2025, 12, 1);
    p.InventoryPeriodStart = QDate(2026, 3, 1);
    p.AccountingPeriodStart = QDate(2026, 1, 1);
    EXPECT_TRUE(rules->OpeningPeriodsOpen(p, false)) << "the accounting period counts only when the books are kept";
    p.CheckAccountingPeriod = true;
    prompts.Said.clear();
    EXPECT_FALSE(rules->OpeningPeriodsOpen(p, false));
    EXPECT_EQ(prompts.Said.value(0), QStringLiteral("本单日期在当前会计期间之前，不能保存或删除数据。"));
    prompts.Said.clear();
    EXPECT_FALSE(rules->OpeningPeriodsOpen(p, true));
    EXPECT_EQ(prompts.Said.value(0), QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"));
    p.AccountingPeriodStart = QDate(2025, 12, 1);
    EXPECT_TRUE(rules->OpeningPeriodsOpen(p, false));
}
