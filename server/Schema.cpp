#include "server/Schema.h"

#include "platform/Exceptions.h"
#include "server/BillProfiles.h"
#include "webrpc/Connection.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sqlite3.h>

namespace {
const char* const kSchemaDir = ":/server/schema";

[[noreturn]] void ThrowEngineError(sqlite3* db, const QString& what)
{
    throw EDatabaseError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))));
}

// The bill kinds are written from the bill profiles, the one place they are kept.
void WriteBillKindRows(sqlite3* db)
{
    const QStringList columns = BillKindColumnNames();
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QByteArray sql = QStringLiteral("INSERT OR REPLACE INTO billkind (%1) VALUES (%2)")
                               .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
        ThrowEngineError(db, QStringLiteral("Bill kinds cannot be written"));
    for (const TBillProfile& p : BillProfiles()) {
        const QVector<TBillKindColumn> row = BillKindRow(p);
        for (int i = 0; i < row.size(); ++i) {
            const QVariant& v = row[i].Value;
            if (v.isNull())
                sqlite3_bind_null(stmt, i + 1);
            else if (v.typeId() == QMetaType::Int)
                sqlite3_bind_int64(stmt, i + 1, v.toInt());
            else
                sqlite3_bind_text(stmt, i + 1, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            throw EDatabaseError(QStringLiteral("Bill kind %1 cannot be written: %2").arg(p.BillType).arg(msg));
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
}
QString ReadScript(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Schema script %1 cannot be read").arg(path));
    return QString::fromUtf8(f.readAll());
}

void WriteBillKindRows(TClientConnection& con)
{
    const QStringList columns = BillKindColumnNames();
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral(":c%1").arg(i);
    const QString sql = QStringLiteral("insert into billkind (%1) values (%2)").arg(columns.join(u','), marks.join(u','));
    for (const TBillProfile& p : BillProfiles()) {
        const QVector<TBillKindColumn> row = BillKindRow(p);
        TSqlParams params;
        for (int i = 0; i < row.size(); ++i)
            params.append({QStringLiteral("c%1").arg(i), row[i].Value});
        con.ExecuteNative(sql, params);
    }
}

// Every serial key continues after the largest key in its table (rows written with their
// keys, as the demo data and the standard rows are, leave the sequences behind).
void CatchUpSequences(TClientConnection& con)
{
    con.ExecuteNative(QStringLiteral(
        "do $$ declare r record; begin "
        "for r in select c.relname as t, a.attname as k, pg_get_serial_sequence(quote_ident(c.relname), a.attname) as s "
        "from pg_class c join pg_attribute a on a.attrelid = c.oid join pg_namespace n on n.oid = c.relnamespace "
        "where c.relkind = 'r' and n.nspname = current_schema() and a.attnum > 0 "
        "and pg_get_serial_sequence(quote_ident(c.relname), a.attname) is not null loop "
        "execute format('select setval(%L, greatest(coalesce((select max(%I) from %I), 0), 1))', r.s, r.k, r.t); "
        "end loop; end $$"));
}

} // namespace

QString PostgresDdl(const QString& sqliteDdl)
{
    QString s = sqliteDdl;
    auto re = [](const char* p) {
        return QRegularExpression(QString::fromLatin1(p), QRegularExpression::MultilineOption);
    };
    auto reCi = [](const char* p) {
        return QRegularExpression(QString::fromLatin1(p), QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    };
    // Triggers have PostgreSQL bodies of their own (schema/pg).
    s.replace(re("^CREATE TRIGGER[\\s\\S]*?^END;"), QString());
    s.replace(reCi("^(\\s+\\w+)\\s+INTEGER\\s+PRIMARY\\s+KEY(\\s+AUTOINCREMENT)?"), QStringLiteral("\\1 serial PRIMARY KEY"));
    s.replace(re("\\bMONEY\\b"), QStringLiteral("numeric(19,4)"));
    s.replace(re("\\bDATETIME\\b(?!\\()"), QStringLiteral("timestamp(0)"));
    s.replace(re("\\b(BIT|TINYINT)\\b"), QStringLiteral("smallint"));
    s.replace(re("\\bBLOB\\b"), QStringLiteral("bytea"));
    s.replace(re("\\b(FLOAT|REAL|DOUBLE)\\b"), QStringLiteral("double precision"));
    // due dates: datetime(d, '+' || n || ' days') is d plus n days
    s.replace(re("datetime\\(([\\w.]+), '\\+' \\|\\| IFNULL\\(([\\w.]+), 0\\) \\|\\| ' days'\\)"),
              QStringLiteral("(\\1 + coalesce(\\2, 0) * interval '1 day')"));
    s.replace(re("\\bIFNULL\\("), QStringLiteral("coalesce("));
    s.replace(re("CREATE VIEW IF NOT EXISTS"), QStringLiteral("CREATE OR REPLACE VIEW"));
    return s;
}

void CreateSchema(TClientConnection& con)
{
    if (!con.IsPostgres()) {
        CreateSchema(con.Handle());
        return;
    }
    const QString pgDir = QString::fromLatin1(kSchemaDir) + QStringLiteral("/pg/");
    auto run = [&](const QString& name, const QString& sql) {
        try {
            con.ExecuteNative(sql);
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(QStringLiteral("Schema script %1 failed: %2").arg(name, e.Message()));
        }
    };
    CreateSqlFunctions(con);
    for (const QString& name : SchemaScriptNames())
        run(name, PostgresDdl(ReadScript(QString::fromLatin1(kSchemaDir) + QLatin1Char('/') + name)));
    run(QStringLiteral("pg/15_triggers.sql"), ReadScript(pgDir + QStringLiteral("15_triggers.sql")));
    NoticeSettingChanges(con);
    WriteBillKindRows(con);
    CatchUpSequences(con);
}

void CreateSqlFunctions(TClientConnection& con)
{
    if (!con.IsPostgres())
        return; // registered by the connection
    try {
        con.ExecuteNative(ReadScript(QString::fromLatin1(kSchemaDir) + QStringLiteral("/pg/00_functions.sql")));
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(QStringLiteral("Schema script pg/00_functions.sql failed: %1").arg(e.Message()));
    }
}

void NoticeSettingChanges(TClientConnection& con)
{
    if (!con.IsPostgres())
        return;
    try {
        con.ExecuteNative(ReadScript(QString::fromLatin1(kSchemaDir) + QStringLiteral("/pg/16_settings_notices.sql")));
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(QStringLiteral("Schema script pg/16_settings_notices.sql failed: %1").arg(e.Message()));
    }
}

void FinishDemoKeys(TClientConnection& con)
{
    if (con.IsPostgres())
        CatchUpSequences(con);
}

QStringList SchemaScriptNames()
{
    QDir dir(QString::fromLatin1(kSchemaDir));
    QStringList names = dir.entryList(QStringList{QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    names.sort(Qt::CaseSensitive);
    return names;
}

void CreateSchema(sqlite3* db)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("CreateSchema: no database"));
    const QStringList names = SchemaScriptNames();
    if (names.isEmpty())
        throw EDatabaseError(QStringLiteral("CreateSchema: no schema scripts found in %1").arg(QString::fromLatin1(kSchemaDir)));
    for (const QString& name : names) {
        QFile f(QString::fromLatin1(kSchemaDir) + QLatin1Char('/') + name);
        if (!f.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("Schema script %1 cannot be read").arg(name));
        const QByteArray sql = f.readAll();
        char* err = nullptr;
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            const QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_free(err);
            throw EDatabaseError(QStringLiteral("Schema script %1 failed: %2").arg(name, msg));
        }
    }
    WriteBillKindRows(db);
}
