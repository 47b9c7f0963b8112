#include "tests/appserver/Relay.h"

#include <QTcpServer>
#include <QTcpSocket>

TRelay::TRelay(quint16 serverPort)
{
    FContext = new QObject;
    FContext->moveToThread(&FThread);
    FThread.start();
    QMetaObject::invokeMethod(FContext, [this, serverPort] {
        auto* listener = new QTcpServer(FContext);
        listener->listen(QHostAddress::LocalHost, 0);
        FPort = listener->serverPort();
        QObject::connect(listener, &QTcpServer::newConnection, FContext, [this, listener, serverPort] {
            while (QTcpSocket* client = listener->nextPendingConnection()) {
                auto* upstream = new QTcpSocket(client);
                upstream->connectToHost(QHostAddress::LocalHost, serverPort);
                QObject::connect(client, &QTcpSocket::readyRead, upstream, [client, upstream] {
                    if (upstream->state() == QAbstractSocket::ConnectedState)
                        upstream->write(client->readAll());
                });
                QObject::connect(upstream, &QTcpSocket::connected, client, [client, upstream] { upstream->write(client->readAll()); });
                QObject::connect(upstream, &QTcpSocket::readyRead, client, [this, client, upstream] {
                    const QByteArray answer = upstream->readAll();
                    if (HoldAnswers) {
                        ++Dropped;
                        return;
                    }
                    if (!DropAnswers) {
                        client->write(answer);
                        return;
                    }
                    ++Dropped;
                    client->abort();
                    client->deleteLater();
                });
                QObject::connect(upstream, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
                QObject::connect(client, &QTcpSocket::disconnected, client, [client] { client->deleteLater(); });
            }
        });
    }, Qt::BlockingQueuedConnection);
}

TRelay::~TRelay()
{
    QMetaObject::invokeMethod(FContext, [this] { delete FContext; }, Qt::BlockingQueuedConnection);
    FThread.quit();
    FThread.wait();
}
