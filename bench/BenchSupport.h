#pragma once
// What the window and bill benchmarks share: their main() (in BenchMain.cpp: an offscreen
// application with the platform's per-form chatter silenced) and the demo database they copy.
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <QString>
#include <QTemporaryDir>

// The demo database, built once per run; each benchmark works on its own copy of it.
inline QString TemplateDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con, true);
        con.Close();
    }
    return file;
}
