// Shared data functions: in-memory datasets, stock look-up, bill sides, writable fields,
// small look-ups and the checked input box.
#include "tests/support/DemoDb.h"

#include "services/BillServices.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <set>

namespace {

// ---------------------------------------------------------------- in-memory datasets

TEST_F(TDemoDbTest, ClientDataSetListsItsParametersAndKeepsRowsAfterTheTableChanges)
{
    std::unique_ptr<TClientQuery> withParam(
        CreateClientDataSet(nullptr, QStringLiteral("select * from bank where bankid = :bankid and shopid = :shop"), false));
    EXPECT_FALSE(withParam->Active());
    EXPECT_EQ(withParam->ParamNames(), (QStringList{QStringLiteral("bankid"), QStringLiteral("shop")}));
    withParam->SetParam(QStringLiteral("bankid"), 2);
    withParam->SetParam(QStringLiteral("shop"), 1);
    withParam->OpenQuery();
    EXPECT_EQ(withParam->RecordCount(), 1);

    QObject owner;
    TClientQuery* banks = CreateClientDataSet(&owner, QStringLiteral("select bankid, name from bank order by bankid"));
    EXPECT_EQ(banks->parent(), &owner);
    const int before = banks->RecordCount();
    ASSERT_GT(before, 1);
    Con().Execute(QStringLiteral("delete from bank"));
    EXPECT_EQ(banks->RecordCount(), before);
    banks->First();
    EXPECT_EQ(banks->FieldByName(QStringLiteral("bankid"))->AsInteger(), 1);
}

TEST_F(TDemoDbTest, ClientDataSetWithBadSqlRaisesAndLeavesNothingBehind)
{
    QObject owner;
    EXPECT_THROW(CreateClientDataSet(&owner, QStringLiteral("select * from no_such_table")), EDatabaseError);
    EXPECT_TRUE(owner.children().isEmpty());
}

// ---------------------------------------------------------------- stock on hand

TClientDataSet* StockDataSet(QObject* owner)
{
    auto* ds = new TClientDataSet(owner);
    ds->AddField(QStringLiteral("StoreID"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("GoodsID"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("OnHand"), TFieldType::ftFloat);
    ds->CreateDataSet();
    ds->AppendRecord({1, 10, 5.5});
    ds->AppendRecord({2, 10, 7.0});
    ds->AppendRecord({2, 11, -3.0});
    ds->First();
    return ds;
}

TEST(GoodsOnHand, NoGoodsOrNoStoreMeansNoLimitAndAMissingRowMeansNothing)
{
    QObject owner;
    TClientDataSet* ds = StockDataSet(&owner);
    EXPECT_EQ(GetGoodsOnHand(ds, 0, QStringLiteral("1")), 1e12);
    EXPECT_EQ(GetGoodsOnHand(ds, -5, QStringLiteral("1")), 1e12);
    EXPECT_EQ(GetGoodsOnHand(ds, 10, QString()), 1e12);
    EXPECT_EQ(GetGoodsOnHand(ds, 10, QStringLiteral("1")), 5.5);
    EXPECT_EQ(GetGoodsOnHand(ds, 10, QStringLiteral("2")), 7.0); // the store decides, not the first goods row
    EXPECT_EQ(GetGoodsOnHand(ds, 11, QStringLiteral("2")), -3.0);
    EXPECT_EQ(GetGoodsOnHand(ds, 11, QStringLiteral("1")), 0.0);
    EXPECT_EQ(GetGoodsOnHand(ds, 12, QStringLiteral("9")), 0.0);
    EXPECT_EQ(GetGoodsOnHand(ds, 10, QStringLiteral("x")), 0.0);
    EXPECT_EQ(ds->RecNo(), 1); // a grid over the stock does not jump
}

// ---------------------------------------------------------------- bill sides

TEST(BillSides, EachTypeBelongsToOneSideAtMostAndCashBillsToNone)
{
    const std::set<int> client{1, 2, 3, 4, 5, 27, 28, 29, 44};
    const std::set<int> vendor{6, 7, 8, 9, 22, 26, 43};
    const std::set<int> stock{10, 11, 12, 13, 14, 15, 16, 19};
    for (int t = -1; t <= 60; ++t) {
        EXPECT_EQ(IsClientSideBill(t), client.count(t) == 1) << t;
        EXPECT_EQ(IsVendorSideBill(t), vendor.count(t) == 1) << t;
        EXPECT_EQ(IsStockSideBill(t), stock.count(t) == 1) << t;
    }
    for (int cash : {17, 18, 20, 21})
        EXPECT_FALSE(IsClientSideBill(cash) || IsVendorSideBill(cash) || IsStockSideBill(cash)) << cash;
}

// ---------------------------------------------------------------- writable fields

TEST_F(TDemoDbTest, MakeFieldsWritableOpensAClosedQueryAndClearsEveryReadOnlyFlag)
{
    std::unique_ptr<TClientQuery> q(CreateQuery(nullptr, QStringLiteral("select bankid, name from bank order by bankid"), false));
    ASSERT_FALSE(q->Active());
    MakeFieldsWritable(q.get());
    ASSERT_TRUE(q->Active());
    EXPECT_GT(q->RecordCount(), 0);

    for (int i = 0; i < q->FieldCount(); ++i) q->Fields(i)->ReadOnly = true;
    EXPECT_THROW(q->FieldByName(QStringLiteral("name"))->SetValue(QStringLiteral("x")), Exception);
    q->Cancel();
    MakeFieldsWritable(q.get());
    for (int i = 0; i < q->FieldCount(); ++i) EXPECT_FALSE(q->Fields(i)->ReadOnly) << i;
    q->FieldByName(QStringLiteral("name"))->SetValue(QStringLiteral("改名"));
    q->Post();
    EXPECT_EQ(q->FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("改名"));

    TClientDataSet plain;
    plain.AddField(QStringLiteral("a"), TFieldType::ftInteger);
    plain.Fields(0)->ReadOnly = true;
    MakeFieldsWritable(&plain); // a plain dataset opens empty with its fields
    EXPECT_TRUE(plain.Active());
    EXPECT_FALSE(plain.Fields(0)->ReadOnly);
    MakeFieldsWritable(nullptr);
}

// ---------------------------------------------------------------- look-ups

TEST_F(TDemoDbTest, LookupsAnswerTheRowOrAnEmptyValue)
{
    Con().Execute(QStringLiteral("insert into bank (bankid, code, name, shopid, subid) values (91, '91', '测试户', 1, 77)"));
    Con().Execute(QStringLiteral("insert into client (clientid, code, name, shortname, clientkind) values (901, 'T901', 'O''Brien 公司', 'O''Brien', 1)"));
    EXPECT_EQ(GetBankSubID(91), 77);
    EXPECT_EQ(GetBankSubID(-12345), 0);
    EXPECT_EQ(GetClientShortName(901), QStringLiteral("O'Brien"));
    EXPECT_EQ(GetClientShortName(-12345), QString());

    // The key value goes in as a literal: a quote in it is data, not SQL.
    EXPECT_EQ(LookupFieldValue(QStringLiteral("clientid"), QStringLiteral("client"), QStringLiteral("shortname"), QStringLiteral("O'Brien")),
              QStringLiteral("901"));
    EXPECT_EQ(LookupFieldValue(QStringLiteral("clientid"), QStringLiteral("client"), QStringLiteral("shortname"),
                               QStringLiteral("x' or '1'='1")),
              QString());
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from client where clientid = 901")).toInt(), 1);

    Con().Execute(QStringLiteral("insert into subject (subid, subcode, name, detailflag) values (9001, '9001', '明细科目', 'T'), "
                                 "(9002, '9002', '汇总科目', 'F')"));
    EXPECT_TRUE(IsDetailSubject(9001));
    EXPECT_FALSE(IsDetailSubject(9002));
    EXPECT_FALSE(IsDetailSubject(-1));
}

TEST_F(TDemoDbTest, FindDataSetIsWhateverTheHostAnswers)
{
    TClientDataSet found;
    RegistFunctionEx(QStringLiteral("GetFindDataSet"), [&found](const QString&, const QString& subject, KQParams*) {
        return subject == QLatin1String("PorderFind") ? ObjectToVariant(&found) : QVariant(qint64(0));
    });
    EXPECT_EQ(CallFindDataSet(QStringLiteral("PorderFind")), &found);
    EXPECT_EQ(CallFindDataSet(QStringLiteral("Nothing")), nullptr);
    UnregistFunction(QStringLiteral("GetFindDataSet"));
    EXPECT_EQ(CallFindDataSet(QStringLiteral("PorderFind")), nullptr);
}

// ---------------------------------------------------------------- input box

QLineEdit* Edit(QDialog* d) { return d->findChild<QLineEdit*>(QStringLiteral("edtValue")); }
QPushButton* Ok(QDialog* d) { return d->findChild<QPushButton*>(QStringLiteral("btnOK")); }

TEST(InputValueBox, RefusesEmptyAndIllFormedEntriesAndKeepsTheBoxOpen)
{
    TScriptedMessages script;
    bool stillOpenAfterRefusals = false;
    script.OnModal(QStringLiteral("InputValueForm"), [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("资料输入"));
        Edit(d)->setText(QStringLiteral("   "));
        Ok(d)->click();
        Edit(d)->setText(QStringLiteral("12a"));
        Ok(d)->click();
        Edit(d)->setText(QStringLiteral("1.5"));
        Ok(d)->click();
        stillOpenAfterRefusals = d->result() == 0;
        Edit(d)->setText(QStringLiteral(" 42 "));
        Ok(d)->click();
        return d->result();
    });
    QVariant v = 7;
    ASSERT_TRUE(InputValue(QString(), QString(), TInputKind::ikInteger, v));
    EXPECT_TRUE(stillOpenAfterRefusals);
    EXPECT_EQ(v.typeId(), QMetaType::Int);
    EXPECT_EQ(v.toInt(), 42);
    EXPECT_EQ(script.Texts().mid(0, 3), (QStringList{QStringLiteral("不能输入空值,请重新输入."), QStringLiteral("不是有效的整数,请重新输入."),
                                                 QStringLiteral("不是有效的整数,请重新输入.")}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(script.Records()[i].Caption, QStringLiteral("资料输入"));
}

TEST(InputValueBox, NumbersAndTextAreCheckedByKind)
{
    TScriptedMessages script;
    script.OnModal(QStringLiteral("InputValueForm"), [](QDialog* d) {
        EXPECT_EQ(Edit(d)->text(), QStringLiteral("初值"));
        Edit(d)->setText(QStringLiteral("1,5"));
        Ok(d)->click();
        Edit(d)->setText(QStringLiteral("-2.25"));
        Ok(d)->click();
        return d->result();
    });
    QVariant n = QStringLiteral("初值");
    ASSERT_TRUE(InputValue(QStringLiteral("数量"), QStringLiteral("请输入数量"), TInputKind::ikNumber, n));
    EXPECT_DOUBLE_EQ(n.toDouble(), -2.25);
    EXPECT_TRUE(script.Contains(QStringLiteral("不是有效的数值,请重新输入.")));

    script.OnModal(QStringLiteral("InputValueForm"), [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("名称"));
        Edit(d)->setText(QStringLiteral("abc"));
        Ok(d)->click();
        return d->result();
    });
    QVariant s;
    ASSERT_TRUE(InputValue(QStringLiteral("名称"), QString(), TInputKind::ikString, s));
    EXPECT_EQ(s.toString(), QStringLiteral("abc"));
}

TEST(InputValueBox, CancelReturnsFalseAndLeavesTheValue)
{
    TScriptedMessages script;
    script.OnModal(QStringLiteral("InputValueForm"), [](QDialog* d) {
        Edit(d)->setText(QStringLiteral("99"));
        d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        return d->result();
    });
    QVariant v = 5;
    EXPECT_FALSE(InputValue(QString(), QString(), TInputKind::ikInteger, v));
    EXPECT_EQ(v.toInt(), 5);

    // Closing the box without OK never hands back an unchecked text.
    script.OnModal(QStringLiteral("InputValueForm"), [](QDialog* d) {
        Edit(d)->setText(QStringLiteral("not a number"));
        return int(QDialog::Accepted);
    });
    EXPECT_FALSE(InputValue(QString(), QString(), TInputKind::ikInteger, v));
    EXPECT_EQ(v.toInt(), 5);
}

} // namespace
