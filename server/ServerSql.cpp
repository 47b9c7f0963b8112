#include "server/ServerSql.h"

#include "webrpc/Statement.h"

QString QuoteIdent(const QString& name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

QVector<QVariantList> SelectRows(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    TStatement st(con.Handle(), sql);
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
    TStatement st(con.Handle(), sql);
    st.Bind(params);
    QVector<QVariantMap> rows;
    while (st.Step()) {
        QVariantMap r;
        for (int i = 0; i < st.ColumnCount(); ++i)
            r.insert(st.ColumnName(i).toLower(), st.Column(i));
        rows << r;
    }
    return rows;
}

QVariant SelectValue(TClientConnection& con, const QString& sql, const TSqlParams& params)
{
    TStatement st(con.Handle(), sql);
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
