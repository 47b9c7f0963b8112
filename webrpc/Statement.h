#pragma once
// Thin RAII layer over sqlite3 statements shared by the connection, the delta writer and
// the server procedures.
#include "platform/DataSet.h"
#include "webrpc/Connection.h"
#include "webrpc/PgEngine.h"

#include <sqlite3.h>

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

#include <unordered_map>

// Rewrites ":'name'" parameters to ":name" (the engine's form) outside string literals
// and bracketed names, and returns the parameter names in order of first use.
QString NormaliseParams(const QString& sql, QStringList* names = nullptr);

// Maps a declared column type (INTEGER, MONEY, FLOAT, VARCHAR(n), CHAR(1), BIT,
// DATETIME, BLOB ...) to a field type; unknown or empty gives ftString with known=false.
TFieldType FieldTypeFromDeclType(const QString& decl, bool* known = nullptr);

// Engine value for a QVariant: dates become 'yyyy-MM-dd hh:mm:ss' text, booleans 0/1.
QVariant ToEngineValue(const QVariant& v);

class TStatement {
public:
    TStatement(sqlite3* db, const QString& engineSql);
    // On either engine. On PostgreSQL the statement runs at the first Step (or ColumnCount)
    // and its rows are held; values come as SQLite gives them (dates as text, bits as integers).
    TStatement(TClientConnection& con, const QString& engineSql);
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    void Bind(const TSqlParams& params); // every parameter must have a value
    // Every parameter by position, in the statement's order (SQLite statements).
    void BindInOrder(const QVector<const QVariant*>& values);
    void Reset();                         // ready to bind and step again
    bool Step();                          // true while a row is available
    int ColumnCount() const;
    QString ColumnName(int i) const;
    QString DeclType(int i) const;
    QVariant Column(int i) const;         // raw engine value (int64, double, text, blob, null)
    int ColumnStorage(int i) const;       // SQLITE_INTEGER ...
    bool Valid() const { return FStmt != nullptr || FPg != nullptr; } // false for an empty statement
    sqlite3_stmt* Handle() const { return FStmt; }
    QString Tail() const { return FTail; }          // text after the first statement

private:
    sqlite3* FDb = nullptr;
    sqlite3_stmt* FStmt = nullptr;
    QString FTail;
    QString FSql;
    TPgSession* FPg = nullptr;
    TSqlParams FParams;
    QVector<TFieldDef> FFields;
    QVector<QVariantList> FRows;
    int FRow = -1;
    bool FRan = false;
    void Prepare(); // SQLite: FSql on FDb
    void BindOne(int i, const QVariant& value);
    void BindConverted(int i, const QVariant& value);
    void RunPg();
    QVector<QString> FParamNames; // without the leading ':'
};

[[noreturn]] void ThrowSqliteError(sqlite3* db, const QString& sql);
// A parameter of the statement that no value was given for: logged with the statement, raised
// without it. Either engine.
[[noreturn]] void ThrowUnboundParam(const QString& name, const QString& sql);

// Runs a select in the engine's dialect and returns typed field definitions plus rows
// whose values are already converted to the field types.
void RunSelect(sqlite3* db, const QString& engineSql, const TSqlParams& params,
               QVector<TFieldDef>& fields, QVector<QVariantList>& rows);

// RunSelect's rows answered straight as a compact data packet (platform/DataSet.h): the same
// fields, each value converted to its field's type as RunSelect and BuildDataPacketXML would
// convert it, without rows of variants in between.
QString SelectDataPacket(sqlite3* db, const QString& engineSql, const TSqlParams& params);

// A value worked out once per field name. The rows of a parsed delta share their names' text
// with the delta's fields, so a name is found by its text's address without hashing it; a
// name with text of its own is looked up by content, as any other.
template <class T>
class TNameMemo {
public:
    template <class F>
    const T& Get(const QString& name, F&& make)
    {
        const auto hit = FByAddress.find(name.constData());
        if (hit != FByAddress.end() && hit->second.first.size() == name.size())
            return hit->second.second;
        auto it = FByName.constFind(name);
        if (it == FByName.cend())
            it = FByName.insert(name, make(name));
        // the entry holds the name, so that its text stays where it is while it is remembered
        return FByAddress.insert_or_assign(name.constData(), std::make_pair(name, *it)).first->second.second;
    }

private:
    std::unordered_map<const QChar*, std::pair<QString, T>> FByAddress;
    QHash<QString, T> FByName;
};

// Writes a dataset delta to a table: inserts, updates (changed columns only, the row
// found by its key's original values) and deletes. Columns the table lacks (display
// columns joined in by the select) are left out. A modify or delete that finds no row
// raises EDatabaseError: another user changed or removed it meanwhile.
struct TApplyDeltaOptions {
    QString Table;
    QStringList KeyFields;          // empty: all original non-null columns identify the row
    QVariantMap InsertOverrides;    // values forced into every inserted row (e.g. a new key)
    // New rows may go to a database server with the next statement (ExecuteLater): for a caller
    // in a transaction that has no use for a failure before its next statement.
    bool InsertsMayWait = false;
};
int ApplyDelta(TClientConnection& con, const TDelta& delta, const TApplyDeltaOptions& opt);

// Columns of a table or view as the engine knows them (lower-cased names, declared types).
QVector<QPair<QString, QString>> TableColumns(sqlite3* db, const QString& table);
// The same on whichever engine the connection runs.
QVector<QPair<QString, QString>> TableColumns(TClientConnection& con, const QString& table);
