#include "server/ServerSql.h"

#include "webrpc/PgEngine.h"
#include "webrpc/Statement.h"

#include <algorithm>
#include <atomic>

QString QuoteIdent(const QString& name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

namespace {
// PostgreSQL answers typed rows through the connection.
void PgSelect(TClientConnection& con, const QString& sql, const TSqlParams& params, QVector<TFieldDef>& fields,
              QVector<QVariantList>& rows)
{
    con.PgSession()->Select(NormaliseParams(sql), params, fields, rows, false);
}
} // namespace

QVector<QVariantList> SelectRows(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    if (con.IsPostgres()) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> rows;
        PgSelect(con, sql, params, fields, rows);
        return rows;
    }
    TStatement st(con, sql);
    st.Bind(params);
    QVector<QVariantList> rows;
    while (st.Step()) {
        QVariantList r;
        for (int i = 0; i < st.ColumnCount(); ++i)
            r << st.Column(i);
        rows << r;
    }
    return rows;
}

QVector<TRowValues> SelectMaps(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    // the rows share their names; a name given twice holds the later column's value
    auto names = std::make_shared<TRowNames>();
    QVector<int> slotOf;
    auto name = [&](const QString& column) { slotOf << names->Add(column.toLower()); };
    QVector<TRowValues> rows;
    if (con.IsPostgres()) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> values;
        PgSelect(con, sql, params, fields, values);
        for (const TFieldDef& f : fields)
            name(f.Name);
        for (const QVariantList& v : values) {
            TRowValues r(names);
            for (int i = 0; i < slotOf.size(); ++i)
                r.Set(slotOf[i], v[i]);
            rows << r;
        }
        return rows;
    }
    TStatement st(con, sql);
    st.Bind(params);
    for (int i = 0; i < st.ColumnCount(); ++i)
        name(st.ColumnName(i));
    while (st.Step()) {
        TRowValues r(names);
        for (int i = 0; i < slotOf.size(); ++i)
            r.Set(slotOf[i], st.Column(i));
        rows << r;
    }
    return rows;
}

QVariant SelectValue(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    if (con.IsPostgres()) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> rows;
        PgSelect(con, sql, params, fields, rows);
        return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
    }
    TStatement st(con, sql);
    st.Bind(params);
    return st.Step() && st.ColumnCount() > 0 ? st.Column(0) : QVariant();
}

QVariant ValueCI(const QVariantMap& row, const QString& column)
{
    auto it = row.constFind(column);
    if (it != row.cend())
        return it.value();
    for (it = row.cbegin(); it != row.cend(); ++it)
        if (it.key().compare(column, Qt::CaseInsensitive) == 0)
            return it.value();
    return QVariant();
}

namespace {
using TOptions = QHash<QString, QString>; // lower-case key -> trimmed value

TOptions ReadOptions(TClientConnection& con)
{
    TOptions options;
    for (const QVariantList& row : SelectRows(con, QStringLiteral("select optionkey, optionvalue from accoption")))
        options.insert(row.value(0).toString().toLower(), row.value(1).toString().trimmed());
    return options;
}

struct TTransactionOptions {
    quint64 Transaction = 0;
    TOptions Values;
};
} // namespace

QString AccountOption(TClientConnection& con, const QString& key)
{
    if (KeepsSettings(con))
        return KeptSetting<TOptions>(con, QStringLiteral("kept options"), [&] { return ReadOptions(con); }).value(key.toLower());
    if (!con.InTransaction())
        return SelectValue(con, QStringLiteral("select optionvalue from accoption where lower(optionkey) = lower(:k)"), {{QStringLiteral("k"), key}})
            .toString()
            .trimmed();
    std::any& memo = con.Memo(QStringLiteral("options"));
    TTransactionOptions* kept = std::any_cast<TTransactionOptions>(&memo);
    if (!kept || kept->Transaction != con.TransactionSerial()) {
        memo = TTransactionOptions{con.TransactionSerial(), ReadOptions(con)};
        kept = std::any_cast<TTransactionOptions>(&memo);
    }
    return kept->Values.value(key.toLower());
}

namespace {
std::atomic<quint64> g_settingsVersion{1};
const QString kKeepsSettings = QStringLiteral("keeps settings");
} // namespace

void KeepSettingsPerSession(TClientConnection& con)
{
    con.Memo(kKeepsSettings) = true;
}

bool KeepsSettings(TClientConnection& con)
{
    return con.Memo(kKeepsSettings).has_value();
}

quint64 SettingsVersion()
{
    return g_settingsVersion.load();
}

void SettingsMayHaveChanged()
{
    ++g_settingsVersion;
}
