#pragma once
// The accounting database's schema: every script of server/schema, compiled in as
// resources, run in name order (tables before views, core before bills).
#include <QStringList>

#include <QString>

struct sqlite3;
class TClientConnection;

// Runs every schema script on db. Throws EDatabaseError naming the script and the
// engine's message when one fails.
void CreateSchema(sqlite3* db);
// The same on whichever engine the connection runs (PostgreSQL gets the scripts' tables and
// views in its own types, the functions and triggers of schema/pg, and serial keys).
void CreateSchema(TClientConnection& con);
// The functions the system's SQL calls (PostgreSQL: created from schema/pg; SQLite: the
// connection registers them, nothing to do).
void CreateSqlFunctions(TClientConnection& con);
// PostgreSQL: every change to the operators, rights, bill kinds or account options is told on
// commit to the sessions listening on "tb_settings" (idempotent; SQLite: nothing to do).
void NoticeSettingChanges(TClientConnection& con);
// After rows were written with their own keys (demo data): serial keys continue after them.
void FinishDemoKeys(TClientConnection& con);
// The SQLite schema text in PostgreSQL's types and functions.
QString PostgresDdl(const QString& sqliteDdl);

// The names of the schema scripts, in the order CreateSchema runs them.
QStringList SchemaScriptNames();
