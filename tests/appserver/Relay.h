#pragma once
// A TCP relay between a client and the server, on a thread of its own, that can lose answers:
// while DropAnswers is set, whatever the server sends back is thrown away and the client's
// connection is cut, as when a network fails after the request went out; while HoldAnswers is
// set, they are thrown away and the connection stays, as behind a server that hangs.
#include <QThread>

#include <atomic>

class QTcpServer;

class TRelay {
public:
    explicit TRelay(quint16 serverPort);
    ~TRelay();
    quint16 Port() const { return FPort; }
    std::atomic<bool> DropAnswers{false};
    std::atomic<bool> HoldAnswers{false}; // answers never come, the connection stays open
    std::atomic<int> Dropped{0}; // answers thrown away

private:
    QThread FThread;
    QObject* FContext = nullptr;
    quint16 FPort = 0;
};
