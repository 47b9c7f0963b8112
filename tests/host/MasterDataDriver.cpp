#include "MasterDataDriver.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

void TypeText(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void TypeField(TMasterEditDialog* dialog, const QString& field, const QString& text)
{
    QWidget* w = dialog->FieldControl(field);
    ASSERT_NE(w, nullptr) << field.toStdString();
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        TypeText(e, text);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        c->setCurrentIndex(i);
        emit c->activated(i);
    } else {
        FAIL() << "no text control for " << field.toStdString();
    }
}

void TypeCell(QTableWidget* table, int row, int column, const QString& text)
{
    if (!table->item(row, column))
        table->setItem(row, column, new QTableWidgetItem);
    // A modal dialog run by the test seam is not shown on its own; cells edit only on screen.
    if (!table->isVisible())
        table->window()->show();
    table->setCurrentCell(row, column);
    table->editItem(table->item(row, column));
    // Editors closed before wait for their deletion: the open one is the one not hidden.
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : table->viewport()->findChildren<QLineEdit*>())
        if (!e->isHidden())
            editor = e;
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    TypeText(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits and closes the editor from the event loop.
    QCoreApplication::processEvents();
    ASSERT_EQ(table->item(row, column)->text(), text);
}

void Click(QWidget* parent, const QString& buttonName)
{
    auto* b = parent->findChild<QAbstractButton*>(buttonName);
    ASSERT_NE(b, nullptr) << buttonName.toStdString();
    ASSERT_TRUE(b->isEnabled()) << buttonName.toStdString();
    QTest::mouseClick(b, Qt::LeftButton);
}

QString RenderPng(QWidget* window, const QString& name)
{
    const QString dir = QStringLiteral(TB_BINARY_DIR "/png");
    QDir().mkpath(dir);
    const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    window->show();
    window->grab().save(file, "PNG");
    return file;
}

QStringList Captions(QWidget* window)
{
    QStringList l;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            l << label->text();
    for (QCheckBox* c : window->findChildren<QCheckBox*>())
        l << c->text();
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        l << g->title();
    for (QPushButton* b : window->findChildren<QPushButton*>())
        l << b->text();
    for (QHeaderView* h : window->findChildren<QHeaderView*>()) {
        if (h->orientation() != Qt::Horizontal || !h->model() || h->isHidden())
            continue;
        for (int i = 0; i < h->count(); ++i)
            if (!h->isSectionHidden(i))
                l << h->model()->headerData(i, Qt::Horizontal).toString();
    }
    return l;
}

void THostWindowsTest::SetUp()
{
    TDemoDbTest::SetUp();
    ClearRegistries();
    RegisterHostFunctions();
}

void THostWindowsTest::TearDown()
{
    ClearRegistries();
    g_DefaultCon = FCon.get();
    TDemoDbTest::TearDown();
}
