#pragma once
// Small helpers the server procedures share for statements in the engine's own dialect.
#include "platform/RowValues.h"
#include "webrpc/Connection.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <any>

// A table or column name quoted for the engine ("a""b").
QString QuoteIdent(const QString& name);
// Every row of a select, values as the engine holds them.
QVector<QVariantList> SelectRows(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// Every row of a select by lower-case column name (found in any case).
QVector<TRowValues> SelectMaps(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// The first column of the first row, or null.
QVariant SelectValue(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// The account option `key` ("accoption"), trimmed; empty when not set. A session of the app
// server keeps the options (KeptSetting below); elsewhere, inside a transaction they are read
// once, all together, and answered from there until it ends: a save asks for several.
QString AccountOption(TClientConnection& con, const QString& key);
// A value of a row under any spelling of its column name (null when absent).
QVariant ValueCI(const QVariantMap& row, const QString& column);
inline QVariant ValueCI(const TRowValues& row, const QString& column) { return row.value(column); }

// Settings a session of the app server keeps between its calls (the operator's rights, the bill
// kinds, the account options): read once, and again after anything that may have changed them
// ran through any session of the server, or, on PostgreSQL, after the database told of a change
// committed around it (SettingsMayHaveChanged). Other connections read them every time.
void KeepSettingsPerSession(TClientConnection& con);
bool KeepsSettings(TClientConnection& con);
quint64 SettingsVersion();
// Called after a call that may have written the operator, rights, bill kind or option tables or
// the schema, and again once a transaction that may hold such a change has ended.
void SettingsMayHaveChanged();

// `read()` on a connection that does not keep settings; else what it gave under the current
// version, kept as `name`.
template <class T, class F>
T KeptSetting(TClientConnection& con, const QString& name, F&& read)
{
    if (!KeepsSettings(con))
        return read();
    struct TKept {
        quint64 Version;
        T Value;
    };
    // The version is taken before reading: a change committed meanwhile moves it past this one.
    const quint64 version = SettingsVersion();
    std::any& memo = con.Memo(name);
    if (const TKept* kept = std::any_cast<TKept>(&memo); kept && kept->Version == version)
        return kept->Value;
    T value = read();
    memo = TKept{version, value};
    return value;
}
