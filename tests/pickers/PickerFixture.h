#pragma once
// The demo database with the helpers the picker tests share: typing into a dialog's edits
// as a user would, waiting for the list to follow, and reading ids from the list and from
// the database to compare them.
#include "billcore/BillSession.h"
#include "tests/support/DemoDb.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QList>
#include <QTest>

class TPickerTest : public TDemoDbTest {
protected:
    TBillSession Session() const { return TBillSession::FromHost(); }

    // The first column of every row of a select.
    QList<int> DbIds(const QString& sql, const TSqlParams& params = {})
    {
        TClientDataSet ds;
        Con().OpenDataSet(sql, &ds, params);
        QList<int> ids;
        for (ds.First(); !ds.Eof(); ds.Next())
            ids << ds.Fields(0)->AsInteger();
        return ids;
    }

    // Every id a list holds, in list order (the caller reads all pages first).
    static QList<int> ListIds(TClientDataSet* ds, const QString& field)
    {
        QList<int> ids;
        const auto here = ds->IsEmpty() ? 0 : ds->GetBookmark();
        ds->Silence();
        for (ds->First(); !ds->Eof(); ds->Next())
            ids << ds->FieldByName(field)->AsInteger();
        if (!ds->IsEmpty())
            ds->GotoBookmark(here);
        ds->WakeUp();
        return ids;
    }

    // Keys as a keyboard sends them; Chinese text as an input method commits it.
    static void Keys(QLineEdit* edit, const QString& text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, c.toLatin1());
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QCoreApplication::sendEvent(edit, &commit);
            }
        }
    }
    // Types as the user does, then waits until the form has read the list again.
    template <class Form>
    static void TypeInto(Form* form, QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        Keys(edit, text);
        ASSERT_TRUE(QTest::qWaitFor([form] { return !form->FilterPending(); }, 3000));
    }
    template <class Form>
    static void Retype(Form* form, QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        Keys(edit, text);
        ASSERT_TRUE(QTest::qWaitFor([form] { return !form->FilterPending(); }, 3000));
    }
    // Reads every page of a form's list.
    template <class Form>
    static void ReadAll(Form* form)
    {
        while (form->FetchMore()) {
        }
    }
};
