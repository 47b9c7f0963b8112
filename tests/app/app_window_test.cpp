// Bill windows in the application's main window, driven the way a clerk drives them: opening
// them from the command line, closing them by key or button, and text that a bill can or
// cannot carry through a save.
#include "app/AppSetup.h"
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"
#include "tests/support/DemoDb.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>
#include <QPushButton>

namespace {

class TAppWindowTest : public TDemoDbTest {
protected:
    void SetUp() override
    {
        TDemoDbTest::SetUp();
        ClearRegistries();
        FMessages = std::make_unique<TScriptedMessages>();
        FWindow = std::make_unique<TMainWindow>();
        RegisterHostFunctions();
        BillLoad();
        FWindow->show();
    }
    void TearDown() override
    {
        FWindow.reset();
        Settle();
        BillUnload();
        ClearRegistries();
        FMessages.reset();
        TDemoDbTest::TearDown();
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    int SubWindows() const { return int(FWindow->MdiArea()->subWindowList().size()); }
    TBillBaseForm* OpenBill(const QString& form)
    {
        EXPECT_TRUE(OpenStartForms({form}).isEmpty());
        Settle();
        return TBillBaseForm::AsBillForm(FWindow->ActiveMdiChild());
    }
    int Count(const QString& sql) { return Scalar(sql).toInt(); }

    // A purchase order a clerk could save: a vendor and one line of goods.
    void FillOrder(TBillBaseForm* f)
    {
        TClientDataSet* m = f->cdsMaster;
        SafeSetFieldValue(m, QStringLiteral("clientid"), Count(QStringLiteral("select min(clientid) from client where clientkind = 2")));
        SafeSetFieldValue(m, QStringLiteral("exemanid"), 7);
        SetDataSetPost(m);
        TClientDataSet* d = f->cdsDetail;
        const int goods = Count(QStringLiteral("select min(goodsid) from goods where kind < 4 and closed = 'F' and batchctrl = 'F'"));
        d->Append();
        SafeSetFieldValue(d, QStringLiteral("goodsid"), goods);
        SafeSetFieldValue(d, QStringLiteral("unitid"), Count(QStringLiteral("select unitid from goodsunit where unittype = 0 and goodsid = %1").arg(goods)));
        for (const char* field : {"unitqty", "quantity"})
            SafeSetFieldValue(d, QString::fromLatin1(field), 2);
        for (const char* field : {"unitprice", "price", "aprice"})
            SafeSetFieldValue(d, QString::fromLatin1(field), 10);
        for (const char* field : {"goodsamt", "amount"})
            SafeSetFieldValue(d, QString::fromLatin1(field), 20);
        SafeSetFieldValue(d, QStringLiteral("disc"), 100);
        SafeSetFieldValue(d, QStringLiteral("taxrate"), 0);
        for (const QString& r : f->RequiredDetailFields.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (TField* fld = d->FindField(r); fld && fld->IsNull())
                fld->SetValue(0);
        SetDataSetPost(d);
    }
    static void SetText(TClientDataSet* ds, const QString& field, const QString& text)
    {
        ds->Edit();
        ds->FieldByName(field)->SetValue(text);
        ds->Post();
    }

    std::unique_ptr<TScriptedMessages> FMessages;
    std::unique_ptr<TMainWindow> FWindow;
};

TEST_F(TAppWindowTest, UnknownFormNamesAreToldAndKnownOnesOpen)
{
    const QStringList unknown = OpenStartForms({QStringLiteral("PorderForm"), QStringLiteral("NoSuchForm")});
    EXPECT_EQ(unknown, QStringList{QStringLiteral("NoSuchForm")});
    ASSERT_EQ(FMessages->Count(TMessageKind::Error), 1);
    EXPECT_TRUE(FMessages->Last().Text.contains(QStringLiteral("NoSuchForm")));
    EXPECT_FALSE(FMessages->Last().Text.contains(QStringLiteral("PorderForm")));
    EXPECT_EQ(SubWindows(), 1);
}

TEST_F(TAppWindowTest, ClosingABillWindowByKeyOrButtonLeavesNoEmptyFrame)
{
    enum class How { EscapeInAField, OkButton, CancelButton };
    for (How how : {How::EscapeInAField, How::OkButton, How::CancelButton}) {
        SCOPED_TRACE(int(how));
        QPointer<TBillBaseForm> f = OpenBill(QStringLiteral("PorderForm"));
        ASSERT_TRUE(f);
        ASSERT_EQ(SubWindows(), 1);
        const QString title = FWindow->MdiArea()->subWindowList().first()->windowTitle();
        EXPECT_FALSE(title.isEmpty());
        if (how == How::EscapeInAField) {
            auto* field = f->findChild<QLineEdit*>();
            ASSERT_NE(field, nullptr);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Escape);
        } else {
            auto* button = f->findChild<QPushButton*>(how == How::OkButton ? QStringLiteral("btnOk") : QStringLiteral("btnCancel"));
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->text().startsWith(how == How::OkButton ? QStringLiteral("确定") : QStringLiteral("取消")));
            QTest::mouseClick(button, Qt::LeftButton);
        }
        Settle();
        EXPECT_TRUE(f.isNull());
        EXPECT_EQ(SubWindows(), 0) << "an empty frame titled " << title.toStdString() << " is left";
    }
    EXPECT_EQ(FMessages->Count(), 0) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(TAppWindowTest, TextABillCannotCarryIsRefusedByNameAndTheEditsStay)
{
    TBillBaseForm* f = OpenBill(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    FillOrder(f);
    const int orders = Count(QStringLiteral("select count(*) from porder"));
    struct Bad {
        QString Field;
        QString Text;
        const char* Code;
    };
    const Bad cases[] = {
        {QStringLiteral("memo"), QStringLiteral("电话") + QChar(0x07), "U+0007"},
        {QStringLiteral("memo"), QStringLiteral("NUL") + QChar(0x00) + QStringLiteral("x"), "U+0000"},
        {QStringLiteral("memo"), QString(QChar(0xFFFE)), "U+FFFE"},
        {QStringLiteral("memo"), QStringLiteral("半个") + QChar(0xD83D), "U+D83D"},
        {QStringLiteral("code"), QStringLiteral("PO") + QChar(0x1B), "U+001B"},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.Code);
        FMessages->ClearRecords();
        SetText(f->cdsMaster, bad.Field, bad.Text);
        EXPECT_FALSE(f->SaveBill());
        ASSERT_EQ(FMessages->Count(TMessageKind::Error), 1) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
        const QString said = FMessages->Last().Text;
        EXPECT_TRUE(said.contains(f->cdsMaster->FieldByName(bad.Field)->DisplayName())) << said.toStdString();
        EXPECT_TRUE(said.contains(QString::fromLatin1(bad.Code))) << said.toStdString();
        // the bill stays on screen as the user left it, and nothing was written
        EXPECT_TRUE(f->IsNewBill);
        EXPECT_EQ(f->cdsMaster->FieldByName(bad.Field)->AsString(), bad.Text);
        EXPECT_EQ(f->cdsDetail->RecordCount(), 1);
        EXPECT_EQ(Count(QStringLiteral("select count(*) from porder")), orders);
        SetText(f->cdsMaster, bad.Field, QStringLiteral("ok"));
    }
    // a line's text is checked as well
    FMessages->ClearRecords();
    SetText(f->cdsDetail, QStringLiteral("memo"), QStringLiteral("行") + QChar(0x08));
    EXPECT_FALSE(f->SaveBill());
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("U+0008")));
    EXPECT_EQ(Count(QStringLiteral("select count(*) from porder")), orders);
}

TEST_F(TAppWindowTest, TextAUserTypesComesBackExactlyAfterSaveAndReload)
{
    TBillBaseForm* f = OpenBill(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    FillOrder(f);
    const QString memo = QString::fromUtf8("到货请电话😀 联系\t王经理\n第二行\r\n第三行\r末尾  ");
    const QString lineMemo = QString::fromUtf8("🧾 包装：纸箱\t×2\r\n易碎");
    const QString userdef = QStringLiteral("<规格> & \"型号\" 'A'");
    SetText(f->cdsMaster, QStringLiteral("memo"), memo);
    // a free text is offered for remembering; this one is not kept
    FMessages->AnswerWhen(QStringLiteral("以便下次使用"), IDNO);
    SetText(f->cdsMaster, QStringLiteral("userdef1"), userdef);
    SetText(f->cdsDetail, QStringLiteral("memo"), lineMemo);
    FMessages->Answer(IDYES).Answer(IDYES);
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    const int id = f->CurrentBillID;
    ASSERT_GT(id, 0);
    EXPECT_EQ(Scalar(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), memo);

    ASSERT_TRUE(f->LoadBillByID(id));
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("memo"))->AsString(), memo);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("userdef1"))->AsString(), userdef);
    f->cdsDetail->First();
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("memo"))->AsString(), lineMemo);
}

} // namespace
