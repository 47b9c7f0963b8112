#pragma once
// Driving the master-data windows as a user would: typing into fields and table cells and
// clicking buttons (QTest events on the real widgets).
#include "host/MasterDataForms.h"
#include "tests/support/DemoDb.h"

#include <QString>

class QDialog;
class QTableWidget;
class QWidget;

// Key presses for every character of the text (Chinese characters too, which QTest's own
// keyClicks cannot type).
void TypeText(QWidget* widget, const QString& text);
// Types into the line edit (or picks the item text of the combo) of a column of the editor.
void TypeField(TMasterEditDialog* dialog, const QString& field, const QString& text);
// Opens the cell's editor, types the text and presses Enter.
void TypeCell(QTableWidget* table, int row, int column, const QString& text);
// Clicks the push button of that object name inside the widget (fails the test when absent).
void Click(QWidget* parent, const QString& buttonName);
// Renders the window to build/png/<name>.png and answers the file name.
QString RenderPng(QWidget* window, const QString& name);
// Every visible label, check box and table header of the window, for checking the captions.
QStringList Captions(QWidget* window);

// The demo books with the host's global functions registered, as the application has them.
// Whatever books a test opens from the menu, the fixture's own are the shared ones again
// afterwards.
class THostWindowsTest : public TDemoDbTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
