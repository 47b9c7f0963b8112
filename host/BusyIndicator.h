#pragma once
// Shows that the application waits for another user who is saving: the wait cursor at once,
// and after about two seconds a note saying so, both gone when the wait is over. Without it
// the window would simply freeze until the engine gives up.
#include <QObject>
#include <QPointer>

class QLabel;
class TClientConnection;

class TBusyIndicator : public QObject {
    Q_OBJECT
public:
    // Watches the connection until destroyed (the indicator must not outlive it).
    explicit TBusyIndicator(TClientConnection* con, int noteAfterMs = 2000, QObject* parent = nullptr);
    ~TBusyIndicator() override;

    bool Waiting() const { return FWaiting; }
    bool NoteVisible() const;
    QString NoteText() const;

    static QString NoteMessage();

private:
    TClientConnection* FCon;
    int FNoteAfterMs;
    bool FWaiting = false;
    QPointer<QLabel> FNote;
    void OnWaiting(qint64 waitedMs);
    void OnEnded();
    void ShowNote();
};
