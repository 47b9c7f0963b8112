#include "server/ServerSql.h"

#include "webrpc/PgEngine.h"
#include "webrpc/Statement.h"

#include <algorithm>

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

QVector<QVariantMap> SelectMaps(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    if (con.IsPostgres()) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> values;
        PgSelect(con, sql, params, fields, values);
        QVector<QVariantMap> rows;
        for (const QVariantList& v : values) {
            QVariantMap r;
            for (int i = 0; i < fields.size(); ++i)
                r.insert(fields[i].Name.toLower(), v[i]); // a name given twice holds the later column's value
            rows << r;
        }
        return rows;
    }
    TStatement st(con, sql);
    st.Bind(params);
    QVector<QVariantMap> rows;
    // names once per statement; each row's map filled in key order without a search
    QVector<QPair<QString, int>> columns;
    for (int i = 0; i < st.ColumnCount(); ++i)
        columns.append({st.ColumnName(i).toLower(), i});
    // a name given twice holds the later column's value
    std::sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first || (a.first == b.first && a.second > b.second); });
    columns.erase(std::unique(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first == b.first; }), columns.end());
    while (st.Step()) {
        QVariantMap r;
        for (const auto& [name, i] : columns)
            r.insert(r.cend(), name, st.Column(i));
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
