#include "server/Schema.h"

#include "platform/Exceptions.h"
#include "server/BillProfiles.h"

#include <QDir>
#include <QFile>

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
} // namespace

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
