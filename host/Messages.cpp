#include "host/Messages.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>

namespace {
TRealMessages g_RealMessages;
TMessageSeam* g_Seam = nullptr;

bool IsQuestion(TMessageKind kind, int flags)
{
    switch (kind) {
    case TMessageKind::YesNo:
    case TMessageKind::YesNoCancel:
        return true;
    case TMessageKind::MsgBox:
        return (flags & 0x0F) != MB_OK;
    default:
        return false;
    }
}

QMessageBox::Icon IconOf(TMessageKind kind, int flags)
{
    switch (kind) {
    case TMessageKind::Information:
    case TMessageKind::AppMessage:
        return QMessageBox::Information;
    case TMessageKind::Error:
        return QMessageBox::Critical;
    case TMessageKind::Warning:
        return QMessageBox::Warning;
    case TMessageKind::YesNo:
    case TMessageKind::YesNoCancel:
        return QMessageBox::Question;
    default:
        break;
    }
    switch (flags & 0xF0) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}
} // namespace

QString MessageKindName(TMessageKind k)
{
    switch (k) {
    case TMessageKind::Information: return QStringLiteral("Information");
    case TMessageKind::Error: return QStringLiteral("Error");
    case TMessageKind::Warning: return QStringLiteral("Warning");
    case TMessageKind::YesNo: return QStringLiteral("YesNo");
    case TMessageKind::YesNoCancel: return QStringLiteral("YesNoCancel");
    case TMessageKind::MsgBox: return QStringLiteral("MsgBox");
    case TMessageKind::AppMessage: return QStringLiteral("AppMessage");
    case TMessageKind::Modal: return QStringLiteral("Modal");
    }
    return QString();
}

// ---------------------------------------------------------------- real seam

int TRealMessages::Show(TMessageKind kind, const QString& text, const QString& caption, int flags)
{
    int buttons = flags & 0x0F;
    if (kind == TMessageKind::YesNo)
        buttons = MB_YESNO;
    else if (kind == TMessageKind::YesNoCancel)
        buttons = MB_YESNOCANCEL;
    else if (kind != TMessageKind::MsgBox)
        buttons = MB_OK;

    QMessageBox box(IconOf(kind, flags), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    struct B { QMessageBox::StandardButton Button; int Id; };
    QVector<B> list;
    switch (buttons) {
    case MB_OKCANCEL: list = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE: list = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}}; break;
    case MB_YESNOCANCEL: list = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNO: list = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_RETRYCANCEL: list = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
    default: list = {{QMessageBox::Ok, IDOK}}; break;
    }
    for (const B& b : list)
        box.addButton(b.Button);
    int def = 0;
    if (flags & MB_DEFBUTTON2) def = 1;
    if (flags & MB_DEFBUTTON3) def = 2;
    if (def < list.size())
        box.setDefaultButton(list[def].Button);
    const int r = box.exec();
    for (const B& b : list)
        if (b.Button == r)
            return b.Id;
    // Closed with the window's close button: the escape answer.
    return list.size() == 1 ? list[0].Id : (buttons == MB_YESNO ? IDNO : IDCANCEL);
}

int TRealMessages::ExecModal(QDialog* dialog) { return dialog ? dialog->exec() : QDialog::Rejected; }

// ---------------------------------------------------------------- services

TMessageSeam* SetMessageSeam(TMessageSeam* seam)
{
    TMessageSeam* prev = g_Seam;
    g_Seam = seam;
    return prev;
}

TMessageSeam* CurrentMessageSeam() { return g_Seam ? g_Seam : &g_RealMessages; }

void ShowInformation(const QString& text, const QString& caption)
{
    CurrentMessageSeam()->Show(TMessageKind::Information, text, caption, MB_OK | MB_ICONINFORMATION);
}

void ShowError(const QString& text, const QString& caption)
{
    CurrentMessageSeam()->Show(TMessageKind::Error, text, caption, MB_OK | MB_ICONERROR);
}

void ShowWarning(const QString& text, const QString& caption)
{
    CurrentMessageSeam()->Show(TMessageKind::Warning, text, caption, MB_OK | MB_ICONWARNING);
}

bool ShowYesNoQuestion(const QString& text, const QString& caption)
{
    return CurrentMessageSeam()->Show(TMessageKind::YesNo, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int ShowYesNoCancelQuestion(const QString& text, const QString& caption)
{
    return CurrentMessageSeam()->Show(TMessageKind::YesNoCancel, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
}

int ShowMsgBox(const QString& text, const QString& caption, int flags)
{
    return CurrentMessageSeam()->Show(TMessageKind::MsgBox, text, caption, flags);
}

void AppShowMessage(const QString& text)
{
    CurrentMessageSeam()->Show(TMessageKind::AppMessage, text, QApplication::applicationName(), MB_OK);
}

int ExecModal(QDialog* dialog) { return CurrentMessageSeam()->ExecModal(dialog); }

// ---------------------------------------------------------------- scripted seam

TScriptedMessages::TScriptedMessages() { FPrevious = SetMessageSeam(this); }

TScriptedMessages::~TScriptedMessages() { SetMessageSeam(FPrevious); }

TScriptedMessages& TScriptedMessages::Answer(int answer)
{
    FAnswers.push_back({QString(), answer});
    return *this;
}

TScriptedMessages& TScriptedMessages::AnswerWhen(const QString& textPart, int answer)
{
    FAnswers.push_back({textPart, answer});
    return *this;
}

TScriptedMessages& TScriptedMessages::OnModal(TDialogHandler handler)
{
    FDialogs.push_back({QString(), std::move(handler)});
    return *this;
}

TScriptedMessages& TScriptedMessages::OnModal(const QString& name, TDialogHandler handler)
{
    FDialogs.push_back({name, std::move(handler)});
    return *this;
}

int TScriptedMessages::Count(TMessageKind kind) const
{
    int n = 0;
    for (const TMessageRecord& r : FRecords)
        n += r.Kind == kind;
    return n;
}

const TMessageRecord& TScriptedMessages::Last() const
{
    if (FRecords.isEmpty())
        throw std::out_of_range("no message was shown");
    return FRecords.last();
}

bool TScriptedMessages::Contains(const QString& textPart) const
{
    for (const TMessageRecord& r : FRecords)
        if (r.Text.contains(textPart))
            return true;
    return false;
}

QStringList TScriptedMessages::Texts() const
{
    QStringList r;
    for (const TMessageRecord& m : FRecords)
        r << m.Text;
    return r;
}

int TScriptedMessages::Show(TMessageKind kind, const QString& text, const QString& caption, int flags)
{
    TMessageRecord rec{kind, text, caption, flags, IDOK};
    if (IsQuestion(kind, flags)) {
        auto it = FAnswers.end();
        for (auto a = FAnswers.begin(); a != FAnswers.end(); ++a)
            if (!a->Pattern.isEmpty() && text.contains(a->Pattern)) {
                it = a;
                break;
            }
        if (it == FAnswers.end())
            for (auto a = FAnswers.begin(); a != FAnswers.end(); ++a)
                if (a->Pattern.isEmpty()) {
                    it = a;
                    break;
                }
        if (it == FAnswers.end()) {
            rec.Answer = 0;
            FRecords.append(rec);
            throw EUnscriptedMessage(QStringLiteral("unscripted question [%1] %2: %3")
                                         .arg(MessageKindName(kind), caption, text).toStdString());
        }
        rec.Answer = it->Answer;
        FAnswers.erase(it);
    }
    FRecords.append(rec);
    return rec.Answer;
}

int TScriptedMessages::ExecModal(QDialog* dialog)
{
    const QString objName = dialog ? dialog->objectName() : QString();
    const QString className = dialog ? QString::fromLatin1(dialog->metaObject()->className()) : QString();
    const QString title = dialog ? dialog->windowTitle() : QString();
    auto it = FDialogs.end();
    for (auto d = FDialogs.begin(); d != FDialogs.end(); ++d)
        if (!d->Name.isEmpty() && (d->Name == objName || d->Name == className)) {
            it = d;
            break;
        }
    if (it == FDialogs.end())
        for (auto d = FDialogs.begin(); d != FDialogs.end(); ++d)
            if (d->Name.isEmpty()) {
                it = d;
                break;
            }
    TMessageRecord rec{TMessageKind::Modal, className + (objName.isEmpty() ? QString() : ":" + objName), title, 0, 0};
    if (it == FDialogs.end()) {
        FRecords.append(rec);
        throw EUnscriptedMessage(QStringLiteral("unscripted modal dialog %1 \"%2\"").arg(rec.Text, title).toStdString());
    }
    TDialogHandler handler = std::move(it->Handler);
    FDialogs.erase(it);
    if (dialog)
        dialog->setResult(0);
    int r = handler(dialog);
    // A handler that closed the dialog itself (accept()/reject()/done()) decides the result.
    if (dialog && dialog->result() != 0)
        r = dialog->result();
    rec.Answer = r;
    FRecords.append(rec);
    return r;
}
