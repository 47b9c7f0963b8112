#include "host/BusyIndicator.h"

#include "webrpc/Connection.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QScreen>

TBusyIndicator::TBusyIndicator(TClientConnection* con, int noteAfterMs, QObject* parent)
    : QObject(parent), FCon(con), FNoteAfterMs(noteAfterMs)
{
    if (FCon)
        FCon->SetBusyObserver({[this](qint64 ms) { OnWaiting(ms); }, [this] { OnEnded(); }});
}

TBusyIndicator::~TBusyIndicator()
{
    OnEnded();
    if (FCon)
        FCon->SetBusyObserver({});
    delete FNote.data();
}

QString TBusyIndicator::NoteMessage() { return QStringLiteral("其他用户正在保存数据，请稍候……"); }

bool TBusyIndicator::NoteVisible() const { return FNote && FNote->isVisible(); }

QString TBusyIndicator::NoteText() const { return FNote ? FNote->text() : QString(); }

void TBusyIndicator::OnWaiting(qint64 waitedMs)
{
    if (!FWaiting) {
        FWaiting = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    if (waitedMs >= FNoteAfterMs && !NoteVisible())
        ShowNote();
    // Paint the cursor and the note; the user's input waits until the database is free, and
    // the connection refuses to be used meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TBusyIndicator::OnEnded()
{
    if (!FWaiting)
        return;
    FWaiting = false;
    QApplication::restoreOverrideCursor();
    if (FNote)
        FNote->hide();
}

void TBusyIndicator::ShowNote()
{
    if (!FNote) {
        FNote = new QLabel(NoteMessage());
        FNote->setObjectName(QStringLiteral("BusyNote"));
        FNote->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        FNote->setAttribute(Qt::WA_ShowWithoutActivating);
        FNote->setStyleSheet(QStringLiteral("QLabel { background: #fff8d0; border: 1px solid #b08000; padding: 14px 24px; }"));
        QFont f = FNote->font();
        f.setPointSizeF(f.pointSizeF() * 1.2);
        FNote->setFont(f);
        FNote->adjustSize();
    }
    const QWidget* over = QApplication::activeWindow();
    const QRect area = over ? over->frameGeometry() : (QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect());
    FNote->move(area.center() - QPoint(FNote->width() / 2, FNote->height() / 2));
    FNote->show();
    FNote->raise();
}
