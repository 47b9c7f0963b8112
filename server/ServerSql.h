#pragma once
// Small helpers the server procedures share for statements in the engine's own dialect.
#include "platform/RowValues.h"
#include "webrpc/Connection.h"

#include <QString>
#include <QVariant>
#include <QVector>

// A table or column name quoted for the engine ("a""b").
QString QuoteIdent(const QString& name);
// Every row of a select, values as the engine holds them.
QVector<QVariantList> SelectRows(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// Every row of a select by lower-case column name (found in any case).
QVector<TRowValues> SelectMaps(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// The first column of the first row, or null.
QVariant SelectValue(TClientConnection& con, const QString& sql, const TSqlParams& params = {});
// A value of a row under any spelling of its column name (null when absent).
QVariant ValueCI(const QVariantMap& row, const QString& column);
inline QVariant ValueCI(const TRowValues& row, const QString& column) { return row.value(column); }
