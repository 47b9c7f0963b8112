#include "ServerScripts.h"

#include <gtest/gtest.h>

void TScriptedServer::Install(const QString& name)
{
    TServerMethod real = TServerRegistry::FindMethod(name);
    ASSERT_TRUE(real) << name.toStdString();
    TServerRegistry::RegisterMethod(name, [this, real](TClientConnection& con, const QString& request) {
        TPacketParams p;
        p.LoadFromString(request);
        CheckSteps << p.GetInt("CheckStep");
        if (!Replies.isEmpty())
            return Replies.takeFirst().ToString();
        return real(con, request);
    });
}

TPacketParams Reply(int errNo, const QString& title, const QString& msg)
{
    TPacketParams p;
    p.Set("ErrNo", errNo);
    p.Set("ErrTitle", title);
    p.Set("ErrMsg", msg);
    return p;
}

void WatchProcedure(const QString& name, QHash<QString, int>& calls, QList<TPacketParams>& requests)
{
    TServerMethod inner = TServerRegistry::FindMethod(name);
    ASSERT_TRUE(inner) << name.toStdString();
    const QString key = name.toUpper();
    TServerRegistry::RegisterMethod(name, [&calls, &requests, inner, key](TClientConnection& con, const QString& request) {
        ++calls[key];
        TPacketParams p;
        p.LoadFromString(request);
        requests.append(p);
        return inner(con, request);
    });
}
