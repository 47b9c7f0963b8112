#include "pickers/PickerForm.h"

#include "host/Messages.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"

#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Ends the frame when the form hides itself (Esc, a button that closes it).
class TFrameCloser : public QObject {
public:
    TFrameCloser(QDialog* frame, TPickerForm* form)
        : QObject(frame)
        , FFrame(frame)
        , FForm(form)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Hide && FFrame && FFrame->isVisible())
            FFrame->done(FForm->ModalResult() == mrNone ? mrCancelled : FForm->ModalResult());
        return QObject::eventFilter(watched, e);
    }

private:
    QPointer<QDialog> FFrame;
    TPickerForm* FForm;
};

QString EscapeLike(const QString& text)
{
    QString s;
    s.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'\\')
            s += u'\\';
        s += c;
    }
    return s;
}
} // namespace

QString LikeContains(const QString& text) { return u'%' + EscapeLike(text) + u'%'; }
QString LikePrefix(const QString& text) { return EscapeLike(text) + u'%'; }

TPickerForm::TPickerForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TBillRootForm(owner)
    , FCon(con)
    , FSession(std::move(session))
    , FDebounce(new QTimer(this))
{
    FDebounce->setSingleShot(true);
    FDebounce->setInterval(kFilterDebounceMs);
    connect(FDebounce, &QTimer::timeout, this, [this] { RefreshList(); });
}

void TPickerForm::RefreshList() {}

bool TPickerForm::FilterPending() const { return FDebounce->isActive(); }

void TPickerForm::FlushFilter()
{
    if (FDebounce->isActive()) {
        FDebounce->stop();
        RefreshList();
    }
}

void TPickerForm::ScheduleRefresh() { FDebounce->start(); }

void TPickerForm::CancelScheduledRefresh() { FDebounce->stop(); }

void TPickerForm::CloseModal(int result)
{
    FModalResult = result;
    if (FFrame)
        FFrame->done(result);
}

int TPickerForm::ShowModal()
{
    FModalResult = mrNone;
    QWidget* oldParent = parentWidget();
    QDialog frame;
    frame.setObjectName(objectName());
    frame.setWindowTitle(windowTitle());
    frame.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    setParent(&frame, Qt::Widget);
    layout->addWidget(this);
    frame.resize(DesignBounds().size());
    show();
    auto* closer = new TFrameCloser(&frame, this);
    installEventFilter(closer);
    FFrame = &frame;
    // the frame must not take the form with it, even when the modal loop throws
    auto release = [&] {
        FFrame = nullptr;
        removeEventFilter(closer);
        hide();
        layout->removeWidget(this);
        setParent(oldParent);
    };
    int shown = 0;
    try {
        shown = ExecModal(&frame);
    } catch (...) {
        release();
        throw;
    }
    release();
    if (FModalResult == mrNone)
        FModalResult = shown == mrOk ? mrOk : mrCancelled;
    return FModalResult;
}

void ApplyListedColumns(TKQDBGridMaster& master)
{
    TClientDataSet* ds = master.DataSource ? master.DataSource->DataSet() : nullptr;
    if (ds)
        for (int i = 0; i < ds->FieldCount(); ++i) {
            TField* f = ds->Fields(i);
            const TDBGridColumnInfo* info = master.FindColumn(f->FieldName());
            f->Visible = info && info->Visible;
        }
    TSetDBGrid::ApplyGrid(master);
}
