#include "HostFixture.h"

#include <QAction>
#include <QImage>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSet>

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearRegistries();
        RegisterHostFunctions();
    }
    void TearDown() override { ClearRegistries(); }
};

TEST_F(MainWindowTest, MenusCallTheirGlobalFunctions)
{
    TMainWindow w;
    EXPECT_EQ(MainWindow(), &w);
    EXPECT_EQ(w.MenuTitles(), (QStringList{"文件", "基础资料", "采购", "销售", "仓库", "现金银行", "POS", "编辑", "查询", "系统"}));

    // Every bill form of the package is reachable from exactly one menu entry.
    QStringList forms;
    for (const auto& menu : TMainWindow::BusinessMenus())
        for (const TMenuCommand& c : menu.second)
            if (c.Function == QLatin1String("SHOWBILLFORM"))
                forms << c.Subject.toUpper();
    EXPECT_EQ(forms.size(), 35);
    EXPECT_EQ(QSet<QString>(forms.begin(), forms.end()).size(), 35);

    QStringList calls;
    RegistFunction(QStringLiteral("SHOWBILLFORM"), [&calls](const QString& n, const QString& s, KQParams*) {
        calls << n + ":" + s;
        return 0;
    });
    QAction* porder = w.FindMenuAction(QStringLiteral("采购"), QStringLiteral("采购订单"));
    ASSERT_NE(porder, nullptr);
    porder->trigger();
    EXPECT_EQ(calls, QStringList{"SHOWBILLFORM:PorderForm"});
}

TEST_F(MainWindowTest, AnUnregisteredFunctionIsExplained)
{
    TMainWindow w;
    TScriptedMessages msgs;
    QAction* find = w.FindMenuAction(QStringLiteral("查询"), QStringLiteral("业务查找"));
    ASSERT_NE(find, nullptr);
    find->trigger();
    ASSERT_EQ(msgs.Count(), 1);
    EXPECT_EQ(msgs.Last().Kind, TMessageKind::Information);
    EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("FindBillForm")));
}

TEST_F(MainWindowTest, EditItemsFollowTheBillAndCallBackWithTheActiveChild)
{
    TMainWindow w;
    w.show();
    auto* bill = new QWidget;
    bill->setObjectName(QStringLiteral("SOrderForm"));
    w.AddMdiChild(bill);
    EXPECT_EQ(w.ActiveMdiChild(), bill);
    EXPECT_EQ(VariantToObject(GlobalCallEx(QStringLiteral("GETPROPERTYVALUE"), QStringLiteral("ACTIVEMDICHILD"))), bill);
    EXPECT_EQ(VariantToObject(GlobalCallEx(QStringLiteral("GETPROPERTYVALUE"), QStringLiteral("Handle"))), &w);

    EXPECT_EQ(TMainWindow::EditItemNames().size(), 10);
    for (const QString& item : TMainWindow::EditItemNames())
        EXPECT_FALSE(w.EditItemEnabled(item)) << item.toStdString();
    for (const QString& item : TMainWindow::EditItemNames()) {
        KQParams p(QStringLiteral("ENABLED"), true);
        GlobalCall(QStringLiteral("SetComponentEnabled"), item, &p);
    }
    for (const QString& item : TMainWindow::EditItemNames())
        EXPECT_TRUE(w.EditItemEnabled(item)) << item.toStdString();
    KQParams off(QStringLiteral("ENABLED"), false);
    GlobalCall(QStringLiteral("SETCOMPONENTENABLED"), QStringLiteral("DeleteLineItem"), &off);
    EXPECT_FALSE(w.EditItemEnabled(QStringLiteral("DeleteLineItem")));

    QStringList subjects;
    QObject* sender = nullptr;
    RegistFunction(QStringLiteral("EditMenuClickInBill"), [&](const QString&, const QString& s, KQParams* p) {
        subjects << s;
        sender = p->GetObject(QStringLiteral("Sender"));
        p->AddValue(QStringLiteral("Result"), true);
        return 0;
    });
    w.EditItem(QStringLiteral("NextItem"))->trigger();
    w.EditItem(QStringLiteral("InsertLineItem"))->trigger();
    w.EditItem(QStringLiteral("PreviousItem"))->trigger();
    EXPECT_EQ(subjects, (QStringList{"NEXT", "INSERTLINE", "PRIOR"}));
    EXPECT_EQ(sender, bill);
}

TEST_F(MainWindowTest, StatusBarAndScreenshot)
{
    QTemporaryDir dir;
    TClientConnection con;
    con.Open(dir.filePath(QStringLiteral("status.db")));
    g_DefaultCon = &con;
    g_asUserName = QStringLiteral("张三");
    AccSetData.ShopName = QStringLiteral("东区分店");
    TMainWindow w;
    EXPECT_TRUE(w.StatusText().contains(QStringLiteral("张三")));
    EXPECT_TRUE(w.StatusText().contains(QStringLiteral("东区分店")));
    EXPECT_TRUE(w.StatusText().contains(QStringLiteral("status.db")));
    const QString png = dir.filePath(QStringLiteral("main.png"));
    w.RenderToPng(png);
    QImage img(png);
    EXPECT_FALSE(img.isNull());
    EXPECT_GT(img.width(), 100);
    ResetSession();
    g_DefaultCon = nullptr;
}

namespace {
// Lets deferred deletions and queued calls run, as the event loop would after a click.
void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

class TRefusingForm : public QWidget {
public:
    bool Refuse = true;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (Refuse)
            e->ignore();
        else
            e->accept();
    }
};
} // namespace

TEST_F(MainWindowTest, AFormThatClosesItselfTakesItsFrameAlong)
{
    TMainWindow w;
    w.show();
    auto* first = new QWidget;
    first->setWindowTitle(QStringLiteral("采购订单"));
    w.AddMdiChild(first);
    QPointer<QWidget> form = new QWidget;
    form->setWindowTitle(QStringLiteral("销售开单"));
    w.AddMdiChild(form);
    ASSERT_EQ(w.MdiArea()->subWindowList().size(), 2);
    QPointer<QMdiSubWindow> frame = w.MdiArea()->subWindowList().last();

    form->close();
    Settle();
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(frame.isNull()) << "an empty frame titled " << (frame ? frame->windowTitle().toStdString() : "");
    ASSERT_EQ(w.MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(w.ActiveMdiChild(), first);

    // A form that refuses to close keeps its frame, whichever of the two is asked.
    auto* refusing = new TRefusingForm;
    w.AddMdiChild(refusing);
    w.MdiArea()->subWindowList().last()->close();
    refusing->close();
    Settle();
    EXPECT_EQ(w.MdiArea()->subWindowList().size(), 2);
    refusing->Refuse = false;
    w.MdiArea()->subWindowList().last()->close();
    Settle();
    EXPECT_EQ(w.MdiArea()->subWindowList().size(), 1);
}
