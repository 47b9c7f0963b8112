#include "server/Schema.h"

#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace {
const char* const kSchemaDir = ":/server/schema";
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
}
