#include "package/ModalForm.h"

#include "host/Messages.h"

#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QVBoxLayout>

namespace {
// Ends the frame when the framed form hides itself (closed from inside: Esc, ACancel, Aok).
class TFrameCloser : public QObject {
public:
    TFrameCloser(QDialog* frame, QObject* parent)
        : QObject(parent)
        , FFrame(frame)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Hide && FFrame && FFrame->isVisible() && !FFrame->isHidden())
            FFrame->done(QDialog::Rejected);
        return QObject::eventFilter(watched, e);
    }

private:
    QPointer<QDialog> FFrame;
};
} // namespace

int ShowFormModal(QWidget* form, bool destroy)
{
    if (!form)
        return QDialog::Rejected;
    QPointer<QWidget> guard(form);
    int result;
    if (auto* dialog = qobject_cast<QDialog*>(form)) {
        result = ExecModal(dialog);
    } else {
        QWidget* oldParent = form->parentWidget();
        const Qt::WindowFlags oldFlags = form->windowFlags();
        QDialog frame;
        frame.setObjectName(form->objectName());
        frame.setWindowTitle(form->windowTitle());
        frame.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::MSWindowsFixedSizeDialogHint);
        auto* layout = new QVBoxLayout(&frame);
        layout->setContentsMargins(0, 0, 0, 0);
        form->setParent(&frame, Qt::Widget);
        layout->addWidget(form);
        form->show();
        auto* closer = new TFrameCloser(&frame, &frame);
        form->installEventFilter(closer);
        QObject::connect(form, &QObject::destroyed, &frame, [&frame] { frame.done(QDialog::Rejected); });
        result = ExecModal(&frame);
        if (guard) {
            form->removeEventFilter(closer);
            QObject::disconnect(form, &QObject::destroyed, &frame, nullptr);
            form->hide();
            layout->removeWidget(form);
            // Back to where it came from before the frame takes its children with it.
            form->setParent(oldParent, oldFlags);
        }
    }
    if (destroy && guard)
        delete guard.data();
    return result;
}
