#pragma once
// What every selection dialog shares: the connection and session it works with, the modal
// result its buttons set (1 OK, 2 cancel) and its modal run through the host's dialog seam,
// framed in a dialog that carries the form's object name so that a scripted test finds it.
#include "billcore/BillRootForm.h"
#include "billcore/BillSession.h"

#include <QPointer>

class QDialog;
class QTimer;
class TClientConnection;

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancelled = 2 };

class TPickerForm : public TBillRootForm {
    Q_OBJECT
public:
    TPickerForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    TClientConnection* Connection() const { return FCon; }
    const TBillSession& Session() const { return FSession; }

    int ModalResult() const { return FModalResult; }
    // Ends the modal run with `result` (a form that is not running modally only keeps it).
    void CloseModal(int result);

    // Shows the form modally and answers its modal result; closing the frame or Esc counts
    // as cancel.
    int ShowModal();

    // Reads the form's list again from its filter (nothing here).
    virtual void RefreshList();
    // Whether typed filter text waits for its refresh (typing has not paused yet).
    bool FilterPending() const;
    // Runs a waiting refresh now.
    void FlushFilter();

protected:
    // Refreshes once typing has paused for a moment: each keystroke restarts the wait, so a
    // fast typist costs one query, not one per letter.
    void ScheduleRefresh();
    // Drops a waiting refresh (the list is being read anyway).
    void CancelScheduledRefresh();

private:
    TClientConnection* FCon;
    TBillSession FSession;
    QTimer* FDebounce;
    int FModalResult = mrNone;
    QPointer<QDialog> FFrame;
};

class TKQDBGridMaster;

// Shows only the listed columns of the grid's dataset, with their titles, widths and
// formats, in list order (the dataset's other fields are hidden). Run after every reload
// that replaced the fields.
void ApplyListedColumns(TKQDBGridMaster& master);

// The pause after the last keystroke before a filter runs, in milliseconds.
inline constexpr int kFilterDebounceMs = 15;

// Text of a LIKE pattern that matches `text` anywhere, with the pattern's own wildcards in
// the text taken literally (the statements say ESCAPE '\').
QString LikeContains(const QString& text);
QString LikePrefix(const QString& text);
