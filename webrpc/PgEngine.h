#pragma once
// The shared database of a chain: PostgreSQL, reached through libpq.
//
// libpq rather than Qt's QPSQL driver: we need the SQLSTATE of every failure (a procedure
// retries on serialization failures and deadlocks, users read constraint failures in words),
// the result columns' type oids (a packet's field types come from them, also for empty
// results), and parameters that the server types from their context, which QPSQL's own
// placeholder rewriting and value formatting do not give.
#include "platform/DataSet.h"
#include "platform/Exceptions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

struct pg_conn;

// A failure the server reported, with its SQLSTATE ("40001", "23505" ...).
class EPgError : public EDatabaseError {
public:
    EPgError(const QString& message, QString sqlState) : EDatabaseError(message), FState(std::move(sqlState)) {}
    const QString& SqlState() const { return FState; }
    // Serialization failure or deadlock: the transaction may simply be run again.
    bool Retryable() const { return FState == QLatin1String("40001") || FState == QLatin1String("40P01"); }

private:
    QString FState;
};

// True for "postgresql://..." and "postgres://..." connection strings; anything else is a
// SQLite file.
bool IsPostgresTarget(const QString& target);

// The message users see for a SQLSTATE; `detail` is the server's text, from which only a
// constraint's name is taken.
QString PgErrorMessage(const QString& sqlState, const QString& constraint = QString());

class TPgSession {
public:
    using TParams = QList<QPair<QString, QVariant>>;

    explicit TPgSession(const QString& target); // throws EDatabaseError when it cannot connect
    ~TPgSession();
    TPgSession(const TPgSession&) = delete;
    TPgSession& operator=(const TPgSession&) = delete;

    // Runs statements separated by ';' (":name" parameters bound by name, as text the server
    // types from the context). Returns the rows changed.
    int Execute(const QString& sql, const TParams& params);
    // Runs one select and returns typed fields and converted values. A name given twice gets
    // "_1", "_2" ... as in SQLite's packets, unless `uniqueNames` is false.
    void Select(const QString& sql, const TParams& params, QVector<TFieldDef>& fields, QVector<QVariantList>& rows,
                bool uniqueNames = true);
    // Queues a write whose answer nobody reads (statements separated by ';' as Execute takes
    // them). It is sent with the next statement that runs, in one round trip with it; a failure
    // of the write is thrown by that statement, and what came after it in the queue did not run.
    void Defer(const QString& sql, const TParams& params);
    // Queues a select whose answer is asked next: it goes with the next statement that runs, and
    // the same select (same text, parameters and naming) asked before any other statement runs
    // is answered from there, without a round trip of its own.
    void SelectAhead(const QString& sql, const TParams& params, bool uniqueNames = true);
    // Forgets the queued writes unsent (the transaction they belong to is rolled back).
    void DiscardDeferred();
    bool HasDeferred() const { return !FDeferred.isEmpty(); }
    // Asks the server to pass on the notices sent on `channel` (LISTEN).
    void Listen(const QString& channel);
    // Whether notices arrived since the last time asked: read from what the connection already
    // received, without a round trip (a session idle between transactions gets them at once).
    bool TakeNotices();
    // True while a transaction block is open (also a failed one that still needs its rollback).
    bool InTransactionBlock() const;
    int BackendPid() const;
    // The SQLSTATE of the last failure since ClearLastState ("" when none).
    const QString& LastState() const { return FLastState; }
    void ClearLastState() { FLastState.clear(); }

private:
    pg_conn* FConn = nullptr;
    QString FLastState;
    // Answers about the schema itself (which tables there are, their columns), kept for a while:
    // a save asks them again and again, and each is a round trip to the server. Schema changes
    // through this session forget them at once, those of other sessions after kCatalogLifeMs.
    struct TCatalogAnswer {
        QVector<TFieldDef> Fields;
        QVector<QVariantList> Rows;
    };
    QHash<QString, TCatalogAnswer> FCatalog;
    QElapsedTimer FCatalogAge;
    bool FSchemaChangedInTransaction = false;
public:
    // Statements this session runs again and again, prepared on the server once (parsed and
    // planned once rather than on every run). A statement is prepared the second time it runs.
    struct TPrepared {
        QHash<QByteArray, QByteArray> Names; // text and parameter types -> prepared name
        QHash<QByteArray, int> Runs;         // unprepared runs of a text so far
        int Made = 0;                        // names given out in this session
    };

private:
    TPrepared FPrepared;
    QVector<QPair<QString, TParams>> FDeferred;
    QVector<QString> FAheadKeys; // per queued statement: the key of a select read ahead, or ""
    struct TAnswer {
        QVector<TFieldDef> Fields;
        QVector<QVariantList> Rows;
    };
    QHash<QString, TAnswer> FAhead; // answers read ahead, until the next statement runs
    static void ReadAnswer(const struct pg_result* r, bool uniqueNames, QVector<TFieldDef>& fields, QVector<QVariantList>& rows);
    // `reading`: the statement is a plain select, after which answers read ahead with it still hold.
    struct pg_result* Run(const QString& statement, const TParams& params, bool reading = false);
    void NoteStatement(const QString& statement);
};

// ":name" parameters outside literals, quoted names, comments and dollar-quoted bodies become
// "$n"; names are returned in the order of their numbers (a name used twice keeps one number).
QString PositionalParams(const QString& sql, QStringList* names);
// The statements of a text, split at ';' outside literals, quoted names, comments and
// dollar-quoted bodies; empty statements are left out.
QStringList SplitStatements(const QString& sql);
