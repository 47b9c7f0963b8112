// What the application's start-up wiring makes reachable: the print style manager from the
// bill template editor, and the maintenance editors of the bill windows from the system
// menu, for system managers only.
#include "PrintingFixture.h"

#include "host/MainWindow.h"
#include "printing/PrintSamDialogs.h"
#include "printing/PrintingSeams.h"
#include "templates/StyleDefineForm.h"
#include "templates/SysEditors.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class TSeamsTest : public TPrintingDbTest {
protected:
    void SetUp() override
    {
        TPrintingDbTest::SetUp();
        ClearRegistries();
        RegisterHostFunctions();
        RegisterPrintingSeams();
    }
    void TearDown() override
    {
        g_ShowPrintStyleManager = nullptr;
        ClearRegistries();
        TPrintingDbTest::TearDown();
    }
    // Picks a window by its id and an entry of the list by its item data.
    static int Choose(QDialog* d, int windowId, int itemData)
    {
        auto* c = qobject_cast<TSysEditorChooser*>(d);
        if (!c)
            throw std::runtime_error("expected the chooser");
        c->cbWindow->setCurrentIndex(c->cbWindow->findData(windowId));
        for (int i = 0; i < c->lstItems->count(); ++i)
            if (c->lstItems->item(i)->data(Qt::UserRole).toInt() == itemData)
                c->lstItems->setCurrentRow(i);
        c->btnOK->click();
        return c->result();
    }
};

} // namespace

TEST_F(TSeamsTest, DesignPrintStyleOpensTheManagerOfTheBillsReportType)
{
    TStyleDefineForm form(2, 1, nullptr, 6);
    ASSERT_TRUE(form.btnDesignRpt->isEnabled()) << "the hook to the print style manager is not installed";
    TScriptedMessages msgs;
    QString caption;
    int listed = -1;
    msgs.OnModal(QStringLiteral("TStyleBillSamForm"), [&](QDialog* d) {
        caption = d->windowTitle();
        listed = static_cast<TStyleBillSamForm*>(d)->Grid()->rowCount();
        return int(QDialog::Rejected);
    });
    form.btnDesignRpt->click();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_EQ(caption, U("打印样式设计 <------> 销售出货单"));
    EXPECT_EQ(listed, FCon->ExecuteScalar(QStringLiteral("select count(*) from report where rpttype = 6 and rptid >= 0")).toInt());
}

TEST_F(TSeamsTest, SystemManagersReachTheFieldEditorsFromTheSystemMenu)
{
    TMainWindow w;
    QAction* fields = w.FindMenuAction(U("系统管理"), U("系统字段定义"));
    QAction* templated = w.FindMenuAction(U("系统管理"), U("模板字段定义"));
    ASSERT_NE(fields, nullptr);
    ASSERT_NE(templated, nullptr);
    EXPECT_TRUE(w.MenuTitles().contains(U("系统管理")));

    // A field of the invoice window, chosen in the chooser, opens in the field editor.
    const int item = FCon->ExecuteScalar(QStringLiteral("select itemid from fieldinfo where windowid = 2 and datafield = 'memo'")).toInt();
    ASSERT_GT(item, 0);
    TScriptedMessages msgs;
    QStringList windows;
    QString editing;
    msgs.OnModal(QStringLiteral("SysEditorChooser"), [&](QDialog* d) {
        auto* c = qobject_cast<TSysEditorChooser*>(d);
        for (int i = 0; i < c->cbWindow->count(); ++i)
            windows << c->cbWindow->itemText(i);
        return Choose(d, 2, item);
    });
    msgs.OnModal(QStringLiteral("SysFieldInfoForm"), [&](QDialog* d) {
        auto* f = qobject_cast<TSysFieldInfoForm*>(d);
        editing = f->edtDataField->text();
        EXPECT_FALSE(f->IsNew());
        return int(QDialog::Rejected);
    });
    fields->trigger();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_EQ(editing, QStringLiteral("memo"));
    // Windows are listed by their titles.
    EXPECT_TRUE(windows.contains(U("销售开单（InvoiceForm）"))) << windows.join(QLatin1Char(',')).toStdString();

    // Adding a field to a template of the window.
    FCon->Execute(QStringLiteral("delete from templated where windowid = 2 and templateid = 1 and itemid = %1").arg(item));
    msgs.OnModal(QStringLiteral("SysEditorChooser"), [&](QDialog* d) { return Choose(d, 2, 1); });
    msgs.OnModal(QStringLiteral("SysTemplatedForm"), [&](QDialog* d) {
        auto* f = qobject_cast<TSysTemplatedForm*>(d);
        for (int i = 0; i < f->lstFields->count(); ++i)
            if (f->lstFields->item(i)->data(Qt::UserRole).toInt() == item)
                f->lstFields->setCurrentRow(i);
        f->btnAdd->click();
        f->btnClose->click();
        return f->result();
    });
    templated->trigger();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select count(*) from templated where windowid = 2 and templateid = 1 and itemid = %1").arg(item))
                  .toInt(),
              1);
}

TEST_F(TSeamsTest, OthersDoNotSeeTheSystemMenuAndAreRefusedByTheFunctions)
{
    ASSERT_TRUE(LoginAs(2));
    ASSERT_EQ(g_iSysManager, 0);
    TMainWindow w;
    EXPECT_FALSE(w.MenuTitles().contains(U("系统管理")));
    TScriptedMessages msgs;
    KQParams params;
    params.AddValue(QStringLiteral("WINDOWID"), 2);
    params.AddValue(QStringLiteral("ITEMID"), 1);
    GlobalCall(QStringLiteral("ShowSysFieldInfoEdit"), QString(), &params);
    GlobalCall(QStringLiteral("ShowSysTemplatedEdit"), QString(), nullptr);
    ASSERT_EQ(msgs.Count(), 2);
    EXPECT_EQ(msgs.Last().Text, U("您没有该项操作权限！"));
    EXPECT_EQ(msgs.Count(TMessageKind::Modal), 0);
    EXPECT_FALSE(params.GetBool(QStringLiteral("Result"), true));

    // Logged in as the manager again, the menu shows once the window refreshes.
    ASSERT_TRUE(LoginAs(1));
    w.UpdateStatusBar();
    EXPECT_TRUE(w.MenuTitles().contains(U("系统管理")));
}
