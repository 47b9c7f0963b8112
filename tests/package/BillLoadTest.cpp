// Loading and unloading the package: what it registers with the host, in which order, and
// that every registered name comes back to the dispatcher.
#include "PackageFixture.h"

#include "server/BillProfiles.h"
#include "server/DemoData.h"
#include "services/BillDB.h"

#include <QSet>

TEST_F(TPackageTest, LoadRegistersEveryProfiledFormInOrderAsItsOwnClass)
{
    const QStringList forms = RegisteredForms();
    const QVector<TBillProfile>& profiles = BillProfiles();
    ASSERT_EQ(forms.size(), profiles.size());
    QSet<QString> classes;
    for (int i = 0; i < profiles.size(); ++i) {
        const TBillProfile& p = profiles[i];
        SCOPED_TRACE(p.FormName);
        EXPECT_EQ(forms[i], QString::fromLatin1(p.FormName));
        EXPECT_EQ(GetFormPrivilegeId(QString::fromLatin1(p.FormName)), p.PrivilegeId);
        // The form the host creates is the profile's class and carries the whole profile.
        std::unique_ptr<QWidget> w(GetPrivilegedForm(QString::fromLatin1(p.FormName).toLower()));
        ASSERT_NE(w, nullptr);
        TBillBaseForm* f = TBillBaseForm::AsBillForm(w.get());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(QString::fromLatin1(f->metaObject()->className()), p.ClassName());
        EXPECT_EQ(f->objectName(), QString::fromLatin1(p.FormName));
        // The caption, then the inventory period the bill is entered in.
        EXPECT_TRUE(f->windowTitle().startsWith(QString::fromUtf8(p.Caption) + QStringLiteral(" [ 进销存期间：")))
            << f->windowTitle().toStdString();
        EXPECT_EQ(f->FormPrivilegeID, p.PrivilegeId);
        EXPECT_EQ(f->BillType, p.BillType);
        EXPECT_EQ(f->ReportType, p.ReportType);
        EXPECT_EQ(f->CVFlag, p.CVFlag);
        EXPECT_EQ(f->DBBillType, p.DBBillType);
        EXPECT_EQ(f->RelevantCredType, p.RelevantCredType);
        EXPECT_EQ(f->MasterTable, QString::fromLatin1(p.MasterTable));
        EXPECT_EQ(f->KeyField, QString::fromLatin1(p.KeyField));
        EXPECT_EQ(f->MasterDetailBill, p.MasterDetailBill());
        EXPECT_EQ(f->SaveProcName, p.SaveProcName());
        EXPECT_EQ(f->DeleteProcName, p.DeleteProcName());
        EXPECT_EQ(f->RedProcName, p.RedProcName());
        EXPECT_EQ(f->MasterAmountFieldName, QString::fromLatin1(p.MasterTotalField));
        EXPECT_EQ(f->FindCategory, p.TradeSide);
        EXPECT_EQ(f->Document()->Caption, QString::fromUtf8(p.Caption)) << "the packets name the bill by its caption";
        classes << QString::fromLatin1(f->metaObject()->className());
    }
    EXPECT_EQ(classes.size(), profiles.size()) << "every form has a class of its own";
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
    for (const TBillProfile& p : BillProfiles())
        EXPECT_EQ(FormNameOfBillType(p.BillType), QString::fromLatin1(p.FormName)) << p.BillType;
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
