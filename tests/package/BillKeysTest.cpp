// Keys as a clerk presses them in a bill window: every key goes to the focused widget through
// Qt's event system (QTest::keyClick), so the form's shortcuts, its key preview, the grid and
// the grid's cell editors all decide as they would on screen.
#include "BillWindowFixture.h"

#include "platform/DBControls.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

int Lines(TGoodsBillForm* f) { return f->cdsDetail->RecordCount(); }

double LineValue(TGoodsBillForm* f, int row, const QString& field)
{
    return f->cdsDetail->RowValue(row, f->cdsDetail->FieldByName(field)->Index()).toDouble();
}

} // namespace

// Ctrl+Insert, Shift+Insert and Ctrl+Delete are the form's, not the text field's copy and
// paste, from a master field and from a cell editor alike; and so is every other shortcut of
// the action table.
TEST_F(TBillWindowTest, ActionShortcutsWinOverTheFocusedControl)
{
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const TDemoGoods g = Goods(0);
    ASSERT_GT(g.GoodsID, 0);

    FocusField(f, QStringLiteral("phone"));
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(Lines(f), 1);
    EXPECT_TRUE(f->ItemDBGrid->hasFocus());
    EXPECT_EQ(CurrentField(f), QStringLiteral("goodsid")) << "a new line starts in the goods column";
    TypeLine(f, g.Code, QStringLiteral("2"));

    // Shift+Insert in a cell editor copies the line instead of pasting into the cell.
    ASSERT_TRUE(f->ItemDBGrid->GotoField(QStringLiteral("memo"), true));
    ASSERT_TRUE(Editing(f));
    QApplication::clipboard()->setText(QStringLiteral("剪贴板"));
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    ASSERT_EQ(Lines(f), 2) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(LineValue(f, 1, QStringLiteral("goodsid")), g.GoodsID);
    EXPECT_EQ(LineValue(f, 1, QStringLiteral("unitqty")), 2.0);

    // Ctrl+Delete from a master field removes the current line.
    FocusField(f, QStringLiteral("phone"));
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Lines(f), 1);
    EXPECT_EQ(qobject_cast<QLineEdit*>(f->FieldEditor(QStringLiteral("phone")))->text(), QString());

    // Every shortcut of the action table is claimed by the form before a text field sees it.
    FocusField(f, QStringLiteral("phone"));
    int checked = 0;
    for (QAction* a : f->alOperation) {
        if (a->shortcut().isEmpty() || !a->isEnabled() || !a->isVisible())
            continue;
        const QKeyCombination k = a->shortcut()[0];
        QKeyEvent override(QEvent::ShortcutOverride, k.key(), k.keyboardModifiers());
        QApplication::sendEvent(Focus(), &override);
        EXPECT_FALSE(override.isAccepted()) << a->objectName().toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

// A value the field refuses keeps the cursor in that field, on the master and in the grid.
TEST_F(TBillWindowTest, RefusedValueKeepsTheFocus)
{
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    FocusField(f, QStringLiteral("termdays"));
    QWidget* days = Focus();
    Key(Qt::Key_A, Qt::ControlModifier);
    Type(QStringLiteral("abc"));
    Enter();
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("不是有效的整数"))) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Focus(), days);
    // Put right, the same Enter moves on.
    Key(Qt::Key_A, Qt::ControlModifier);
    Type(QStringLiteral("30"));
    Enter();
    EXPECT_NE(Focus(), days);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("termdays"))->AsInteger(), 30);

    const TDemoGoods g = Goods(1);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    ASSERT_EQ(CurrentField(f), QStringLiteral("goodsid"));
    Type(g.Code);
    Enter();
    ASSERT_EQ(CurrentField(f), QStringLiteral("unitqty"));
    FMessages->ClearRecords();
    Type(QStringLiteral("x1"));
    Enter();
    EXPECT_EQ(FMessages->Count(), 1);
    EXPECT_EQ(CurrentField(f), QStringLiteral("unitqty"));
    EXPECT_TRUE(Editing(f)) << "the refused cell keeps its editor";
    Type(QStringLiteral("4"));
    Enter();
    EXPECT_EQ(LineValue(f, 0, QStringLiteral("unitqty")), 4.0);
    EXPECT_NE(CurrentField(f), QStringLiteral("unitqty"));
}

// Enter walks the editable cells of a line, skips what the clerk only reads, and opens a new
// line after the last cell; the blank line it leaves is not saved.
TEST_F(TBillWindowTest, EnterWalksTheLineAndOpensTheNext)
{
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const int vendor = Db(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    const TDemoGoods g = Goods(2);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("5"));

    // After the quantity, the next cells are the editable ones, left to right.
    QStringList visited{CurrentField(f)};
    while (Lines(f) == 1 && visited.size() < 30) {
        Enter();
        visited << CurrentField(f);
    }
    ASSERT_EQ(Lines(f), 2) << visited.join(u' ').toStdString();
    EXPECT_EQ(visited.first(), QStringLiteral("nprice"));
    EXPECT_FALSE(visited.contains(QStringLiteral("goodsname")));
    EXPECT_FALSE(visited.contains(QStringLiteral("specs")));
    EXPECT_EQ(visited.at(visited.size() - 2), QStringLiteral("memo"));
    EXPECT_EQ(visited.last(), QStringLiteral("goodsid")) << "the new line starts in the goods column";
    EXPECT_EQ(f->cdsDetail->RecNo(), 2);

    // Enter on the blank line does not pile up more lines.
    Enter();
    Enter();
    EXPECT_EQ(Lines(f), 2);

    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from orderdetail where orderid = :id"), {{QStringLiteral("id"), f->CurrentBillID}}).toInt(), 1);
}

// Esc in a cell editor undoes that cell; Esc outside closes the window after asking about
// the unsaved bill.
TEST_F(TBillWindowTest, EscCancelsTheCellThenClosesTheWindow)
{
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const TDemoGoods g = Goods(3);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("6"));
    ASSERT_TRUE(f->ItemDBGrid->GotoField(QStringLiteral("unitqty"), true));
    Type(QStringLiteral("99"));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(Editing(f));
    EXPECT_EQ(LineValue(f, 0, QStringLiteral("unitqty")), 6.0);

    QPointer<TGoodsBillForm> alive(f);
    FMessages->AnswerCancel();
    Key(Qt::Key_Escape);
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("数据没有保存")));
    ASSERT_TRUE(alive);
    EXPECT_TRUE(f->isVisible()) << "cancel keeps the window";
    FMessages->AnswerNo();
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(!alive || !alive->isVisible());
}

// With "SCANADDQTY" on, scanning goods that are on the bill already adds to that line; off
// (the default), every scan is a line of its own.
TEST_F(TBillWindowTest, ScanningAgainAddsToTheLineWhenTheOptionIsOn)
{
    const TDemoGoods g = Goods(4);
    auto scanTwice = [&](TGoodsBillForm* f) {
        f->ItemDBGrid->setFocus();
        Key(Qt::Key_Insert, Qt::ControlModifier);
        TypeLine(f, g.PackBarCode, QStringLiteral("1"));
        ASSERT_TRUE(f->ItemDBGrid->GotoField(QStringLiteral("goodsid")));
        Key(Qt::Key_Insert, Qt::ControlModifier);
        Type(g.PackBarCode);
        Enter();
    };
    TGoodsBillForm* off = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(off, nullptr);
    scanTwice(off);
    EXPECT_EQ(Lines(off), 2);
    delete off;

    FCon->Execute(QStringLiteral("insert into accoption (optionkey, optionvalue, optionid, memo) values ('SCANADDQTY', '1', 999, 'scan')"));
    ReloadAccOptions();
    TGoodsBillForm* on = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(on, nullptr);
    scanTwice(on);
    ASSERT_EQ(Lines(on), 1);
    EXPECT_EQ(LineValue(on, 0, QStringLiteral("unitqty")), 2.0);
    EXPECT_EQ(LineValue(on, 0, QStringLiteral("unitid")), g.PackUnitID);
    EXPECT_NEAR(LineValue(on, 0, QStringLiteral("quantity")), 2 * g.PackRate, 1e-9);
}
