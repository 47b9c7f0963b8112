// Loading and unloading the package: what it registers with the host, in which order, and
// that every registered name comes back to the dispatcher.
#include "PackageFixture.h"

#include "services/BillDB.h"
#include "server/DemoData.h"

#include <QSet>

namespace {

struct TExpectedForm {
    const char* Name;
    int PrivilegeId;
    int BillType;
};

// The registry in the order the host must see it.
const TExpectedForm kForms[] = {
    {"QuotationForm", 376, 44},      {"SOrderForm", 33, 1},          {"InvoiceForm", 34, 2},
    {"ChargeForm", 35, 5},           {"CashSaleForm", 36, 3},        {"SReturnForm", 37, 4},
    {"PorderForm", 38, 6},           {"RecieveForm", 39, 7},         {"PayForm", 40, 9},
    {"PReturnForm", 41, 8},          {"AskDelieverForm", 361, 41},   {"DeliverForm", 362, 42},
    {"ValuedRecieveForm", 42, 22},   {"ValuedRecieveInitForm", 42, 40}, {"PurchaseAppForm", 377, 43},
    {"CashRecieveForm", 208, 26},    {"DrawItemForm", 43, 10},       {"BackDrawForm", 44, 11},
    {"InProductForm", 45, 12},       {"BalItemForm", 46, 14},        {"AdjApForm", 47, 19},
    {"AllotForm", 48, 13},           {"CombinForm", 49, 16},         {"InOutForm", 50, 15},
    {"ExpenseForm", 51, 17},         {"IncomeForm", 52, 18},         {"MoveMoneyForm", 53, 20},
    {"POSBillForm", 175, 23},        {"DeputeSaleForm", 1751, 27},   {"DeputeSettlementForm", 1752, 28},
    {"DeputeSaleInitForm", 1753, 29}, {"SetGoodsDiscountForm", 1760, 30}, {"OperatorTurninForm", 176, 25},
    {"POSCloseBillForm", 178, 24},   {"DisLaborageForm", 96, 21},
};

} // namespace

TEST_F(TPackageTest, LoadRegistersTheBillFormsInOrderUnderTheirPrivilegeIds)
{
    const QStringList forms = RegisteredForms();
    ASSERT_EQ(forms.size(), 35);
    QSet<QString> classes;
    for (int i = 0; i < 35; ++i) {
        const TExpectedForm& e = kForms[i];
        SCOPED_TRACE(e.Name);
        EXPECT_EQ(forms[i], QString::fromLatin1(e.Name));
        EXPECT_EQ(GetFormPrivilegeId(QString::fromLatin1(e.Name)), e.PrivilegeId);
        // The form the host creates carries the id it is registered under and its bill type.
        std::unique_ptr<QWidget> w(GetPrivilegedForm(QString::fromLatin1(e.Name).toLower()));
        ASSERT_NE(w, nullptr);
        TBillBaseForm* f = TBillBaseForm::AsBillForm(w.get());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->FormPrivilegeID, e.PrivilegeId);
        EXPECT_EQ(f->BillType, e.BillType);
        EXPECT_EQ(f->objectName(), QString::fromLatin1(e.Name));
        classes << QString::fromLatin1(f->metaObject()->className());
    }
    EXPECT_EQ(classes.size(), 35) << "every form has a class of its own";
}

TEST_F(TPackageTest, ValuedReceiptsShareOnePrivilegeIdAcrossTwoClasses)
{
    std::unique_ptr<QWidget> a(GetPrivilegedForm(QStringLiteral("ValuedRecieveForm")));
    std::unique_ptr<QWidget> b(GetPrivilegedForm(QStringLiteral("ValuedRecieveInitForm")));
    ASSERT_TRUE(a && b);
    EXPECT_STRNE(a->metaObject()->className(), b->metaObject()->className());
    EXPECT_EQ(TBillBaseForm::AsBillForm(a.get())->FormPrivilegeID, 42);
    EXPECT_EQ(TBillBaseForm::AsBillForm(b.get())->FormPrivilegeID, 42);
    EXPECT_EQ(TBillBaseForm::AsBillForm(a.get())->BillType, 22);
    EXPECT_EQ(TBillBaseForm::AsBillForm(b.get())->BillType, 40);
}

TEST_F(TPackageTest, LoadRegistersTheFourteenFunctionNames)
{
    const QStringList expected = {"SHOWBILLFORM",   "SHOWBILLFORMFROMCRED", "GetPCForm",       "GOTOONEBILLBYTYPE",
                                  "Pick",           "PrintSamEdit",         "GetGoodsSubID",   "FindBillForm",
                                  "EditMenuClickInBill", "EnterBillBase",   "SELECTGOODSUNIT", "SetPosBatch",
                                  "BillManageForm", "DRPForm"};
    // The host keeps no order of its own; names compare without regard to case.
    QStringList registered = RegisteredFunctions();
    for (QString& n : registered)
        n = n.toUpper();
    registered.sort();
    QStringList wanted;
    for (const QString& n : expected)
        wanted << n.toUpper();
    wanted.sort();
    EXPECT_EQ(registered, wanted);
    EXPECT_EQ(BillFunctionNames(), expected) << "the order and spelling the package registers in";
}

TEST_F(TPackageTest, EveryRegisteredNameReachesTheDispatcherInAnyCase)
{
    // The edit-menu command answers in the bag whatever its sender, so it proves the route.
    for (const QString& spelling : {QStringLiteral("EditMenuClickInBill"), QStringLiteral("editmenuclickinbill"),
                                    QStringLiteral("EDITMENUCLICKINBILL")}) {
        KQParams bag;
        EXPECT_EQ(GlobalCall(spelling, QStringLiteral("refresh"), &bag), 0);
        EXPECT_TRUE(bag.GetBool(QStringLiteral("Result"))) << spelling.toStdString();
    }
    // The commands that do nothing are routed too and answer 0 (an unknown name answers -1).
    for (const char* n : {"getpcform", "GETGOODSSUBID", "SelectGoodsUnit", "pick"})
        EXPECT_EQ(GlobalCall(QString::fromLatin1(n), QStringLiteral("GSPGOODS"), nullptr), 0) << n;
    EXPECT_EQ(GlobalCall(QStringLiteral("NoSuchBillCommand")), -1);
}

TEST_F(TPackageTest, LoadCreatesTheDataModuleAndUnloadFreesIt)
{
    ASSERT_NE(BillDB, nullptr);
    QPointer<QObject> db(BillDB);
    BillUnload();
    EXPECT_EQ(BillDB, nullptr);
    EXPECT_TRUE(db.isNull());
    // A second unload, as without a load, does nothing.
    BillUnload();
    EXPECT_EQ(BillDB, nullptr);
}

TEST_F(TPackageTest, BillTypesMapToTheFormsThatCarryThem)
{
    for (const TExpectedForm& e : kForms)
        EXPECT_EQ(FormNameOfBillType(e.BillType), QString::fromLatin1(e.Name)) << e.BillType;
    for (int unused : {0, 31, 35, 39, 45, -1})
        EXPECT_TRUE(FormNameOfBillType(unused).isEmpty()) << unused;
}

// The demo data's bill windows are keyed by bill type and carry the print template type:
// both must agree with the forms.
TEST_F(TPackageTest, FormsAgreeWithTheDemoBillWindows)
{
    int count = 0;
    const TDemoBillWindow* windows = DemoBillWindows(&count);
    ASSERT_EQ(count, 35);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(windows[i].FormName);
        std::unique_ptr<QWidget> w(GetPrivilegedForm(QString::fromLatin1(windows[i].FormName)));
        ASSERT_NE(w, nullptr);
        TBillBaseForm* f = TBillBaseForm::AsBillForm(w.get());
        EXPECT_EQ(f->BillType, windows[i].WindowID);
        EXPECT_EQ(f->ReportType, windows[i].ReportType);
    }
}
