#pragma once
// Server procedures under test control: one that answers from a list before handing over to the
// real procedure, and one that counts the calls and keeps the requests.
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

#include <QHash>
#include <QList>

// Replaces a save procedure by one that answers from Replies, then hands over to the real one;
// the CheckStep of every request is kept.
struct TScriptedServer {
    QList<TPacketParams> Replies;
    QList<int> CheckSteps;
    void Install(const QString& name);
};

// An answer of a server procedure.
TPacketParams Reply(int errNo, const QString& title, const QString& msg);

// Replaces a server procedure by a wrapper that counts calls (by upper-case name) and keeps the
// requests, then runs it.
void WatchProcedure(const QString& name, QHash<QString, int>& calls, QList<TPacketParams>& requests);
