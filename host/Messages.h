#pragma once
// Every message box and every modal dialog of the application goes through this seam.
// The application runs with the real seam (QMessageBox, QDialog::exec); tests install
// TScriptedMessages, which answers from a script and records what was shown, so that no
// test ever blocks on a dialog.
#include <QString>
#include <QStringList>
#include <QVector>

#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>

class QDialog;

// Windows message-box flags and answers: the system's code speaks in these numbers.
enum : int {
    MB_OK = 0x00, MB_OKCANCEL = 0x01, MB_ABORTRETRYIGNORE = 0x02, MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04, MB_RETRYCANCEL = 0x05,
    MB_ICONERROR = 0x10, MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10, MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40, MB_ICONASTERISK = 0x40,
    MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
enum TYesNoCancel : int { mrYes = IDYES, mrNo = IDNO, mrCancel = IDCANCEL };

enum class TMessageKind { Information, Error, Warning, YesNo, YesNoCancel, MsgBox, AppMessage, Modal };
QString MessageKindName(TMessageKind k);

// One message or dialog as it was shown.
struct TMessageRecord {
    TMessageKind Kind = TMessageKind::Information;
    QString Text;
    QString Caption;
    int Flags = 0;  // the MB_* flags that the box was shown with
    int Answer = 0; // IDOK/IDYES/IDNO/IDCANCEL, or the dialog's result for Modal
};

// The seam. Show returns one of the ID* answers; ExecModal the dialog's result code.
class TMessageSeam {
public:
    virtual ~TMessageSeam() = default;
    virtual int Show(TMessageKind kind, const QString& text, const QString& caption, int flags) = 0;
    virtual int ExecModal(QDialog* dialog) = 0;
};

// The seam that talks to the user.
class TRealMessages : public TMessageSeam {
public:
    int Show(TMessageKind kind, const QString& text, const QString& caption, int flags) override;
    int ExecModal(QDialog* dialog) override;
};

// Installs a seam; nullptr restores the real one. Returns the previous seam.
TMessageSeam* SetMessageSeam(TMessageSeam* seam);
TMessageSeam* CurrentMessageSeam();

// ---- the host's message services
void ShowInformation(const QString& text, const QString& caption = QStringLiteral("提示"));
void ShowError(const QString& text, const QString& caption = QStringLiteral("错误"));
void ShowWarning(const QString& text, const QString& caption = QStringLiteral("警告"));
bool ShowYesNoQuestion(const QString& text, const QString& caption = QStringLiteral("询问"));
int ShowYesNoCancelQuestion(const QString& text, const QString& caption = QStringLiteral("询问")); // IDYES/IDNO/IDCANCEL
int ShowMsgBox(const QString& text, const QString& caption, int flags);                            // ID* answer
void AppShowMessage(const QString& text);
// Every modal dialog is run through here; returns QDialog::Accepted / Rejected (or the
// value the dialog was done() with).
int ExecModal(QDialog* dialog);

// Raised by the scripted seam when a question arrives that the test did not script.
class EUnscriptedMessage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Scripted seam for tests. Construct it on the stack: it installs itself and restores the
// previous seam when destroyed.
//
// Questions (YesNo, YesNoCancel, MsgBox with buttons other than OK) take the next scripted
// answer: first an answer whose text pattern is contained in the question's text, else the
// first answer queued without a pattern. With no answer left it throws EUnscriptedMessage,
// so a test that forgets a question fails loudly instead of hanging. Plain notices
// (information, error, warning, OK-only boxes, AppShowMessage) need no script: they are
// answered IDOK and recorded.
//
// Modal dialogs run the next scripted dialog handler (or the one whose object name / class
// name matches); the handler fills the dialog and returns the result code (it may also call
// accept()/reject() itself: the result is then taken from the dialog). A modal dialog with
// no handler throws EUnscriptedMessage.
class TScriptedMessages : public TMessageSeam {
public:
    TScriptedMessages();
    ~TScriptedMessages() override;
    TScriptedMessages(const TScriptedMessages&) = delete;
    TScriptedMessages& operator=(const TScriptedMessages&) = delete;

    // Queue answers. `answer` is IDYES/IDNO/IDCANCEL/IDOK (or true/false for yes/no).
    TScriptedMessages& Answer(int answer);
    TScriptedMessages& AnswerYes() { return Answer(IDYES); }
    TScriptedMessages& AnswerNo() { return Answer(IDNO); }
    TScriptedMessages& AnswerCancel() { return Answer(IDCANCEL); }
    // Answers only a question whose text contains `textPart`.
    TScriptedMessages& AnswerWhen(const QString& textPart, int answer);

    using TDialogHandler = std::function<int(QDialog*)>;
    // The next modal dialog; or only a dialog whose objectName() or class name equals `name`.
    TScriptedMessages& OnModal(TDialogHandler handler);
    TScriptedMessages& OnModal(const QString& name, TDialogHandler handler);

    const QVector<TMessageRecord>& Records() const { return FRecords; }
    int Count() const { return FRecords.size(); }
    int Count(TMessageKind kind) const;
    const TMessageRecord& Last() const; // throws std::out_of_range when nothing was shown
    bool Contains(const QString& textPart) const;
    QStringList Texts() const;
    void ClearRecords() { FRecords.clear(); }
    int PendingAnswers() const { return static_cast<int>(FAnswers.size()); }
    int PendingDialogs() const { return static_cast<int>(FDialogs.size()); }

    int Show(TMessageKind kind, const QString& text, const QString& caption, int flags) override;
    int ExecModal(QDialog* dialog) override;

private:
    struct ScriptedAnswer {
        QString Pattern;
        int Answer;
    };
    struct ScriptedDialog {
        QString Name;
        TDialogHandler Handler;
    };
    std::deque<ScriptedAnswer> FAnswers;
    std::deque<ScriptedDialog> FDialogs;
    QVector<TMessageRecord> FRecords;
    TMessageSeam* FPrevious = nullptr;
};
