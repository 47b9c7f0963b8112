#pragma once
// The accounting database's schema: every script of server/schema, compiled in as
// resources, run in name order (tables before views, core before bills).
#include <QStringList>

struct sqlite3;

// Runs every schema script on db. Throws EDatabaseError naming the script and the
// engine's message when one fails.
void CreateSchema(sqlite3* db);

// The names of the schema scripts, in the order CreateSchema runs them.
QStringList SchemaScriptNames();
