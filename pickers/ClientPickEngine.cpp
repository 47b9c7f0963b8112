#include "pickers/ClientPickEngine.h"

#include "pickers/PickerForm.h"

#include <QRegularExpression>

QString QualifyShopId(const QString& filter)
{
    static const QRegularExpression bare(QStringLiteral("(?<![\\w.])shopid\\b"), QRegularExpression::CaseInsensitiveOption);
    QString s = filter;
    s.replace(bare, QStringLiteral("a.shopid"));
    return s;
}

TClientPickQuery::TClientPickQuery(TClientConnection* con)
    : FPager(con, {QStringLiteral("code"), QStringLiteral("clientid")})
    , FBuild([this](TSqlParams& params, const QVariantList& after, int limit) {
        return after.isEmpty() ? Statement(params, QString(), 0, limit) : Statement(params, after[0].toString(), after[1].toInt(), limit);
    })
{
}

QString TClientPickQuery::SourceView() const
{
    if (Kind == ckClient)
        return QStringLiteral("v_client");
    if (Kind == ckVendor)
        return QStringLiteral("v_vendor");
    return QString();
}

QString TClientPickQuery::Statement(TSqlParams& params, const QString& afterCode, int afterId, int limit) const
{
    params.clear();
    QString sql = QStringLiteral("SELECT a.clientid, a.code, a.pyassist, a.shortname AS name, a.oweamt, b.name AS areaname, b.lcode"
                                 " FROM %1 a LEFT OUTER JOIN area b ON a.areaid = b.areaid"
                                 " WHERE 1=1 AND a.clientid > 0 AND a.closed = 'F'")
                      .arg(SourceView());
    if (!ExtraFilter.trimmed().isEmpty())
        sql += QStringLiteral(" AND (") + ExtraFilter + u')';
    auto like = [&](const QString& column, const QString& name, const QString& text) {
        AppendContains(sql, params, column, name, text);
    };
    like(QStringLiteral("a.Code"), QStringLiteral("code"), Filter.Code);
    like(QStringLiteral("a.shortName"), QStringLiteral("name"), Filter.Name);
    like(QStringLiteral("a.PYASSIST"), QStringLiteral("pyassist"), Filter.PYAssist);
    if (!Filter.AreaLCode.isEmpty()) {
        sql += QStringLiteral(" AND b.LCode LIKE :arealcode ESCAPE '\\'");
        params.append({QStringLiteral("arealcode"), LikePrefix(Filter.AreaLCode)});
    }
    if (Filter.HasOweAmt) {
        sql += Filter.OweCompare == TOweCompare::AtLeast ? QStringLiteral(" AND a.oweamt >= :oweamt")
                                                         : QStringLiteral(" AND a.oweamt <= :oweamt");
        params.append({QStringLiteral("oweamt"), Filter.OweAmt});
    }
    if (!afterCode.isNull()) {
        sql += QStringLiteral(" AND (a.code, a.clientid) > (:aftercode, :afterid)");
        params.append({QStringLiteral("aftercode"), afterCode});
        params.append({QStringLiteral("afterid"), afterId});
    }
    sql += QStringLiteral(" ORDER BY a.code, a.clientid");
    if (limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    return sql;
}

void TClientPickQuery::OpenFirst(TClientDataSet* ds, int pageSize)
{
    using T = TFieldType;
    // Another kind has no view to list from: the list stays empty.
    FPager.OpenFirst(ds,
                     {ListField(QStringLiteral("clientid"), T::ftInteger), ListField(QStringLiteral("code"), T::ftString),
                      ListField(QStringLiteral("pyassist"), T::ftString), ListField(QStringLiteral("name"), T::ftString),
                      ListField(QStringLiteral("oweamt"), T::ftCurrency), ListField(QStringLiteral("areaname"), T::ftString),
                      ListField(QStringLiteral("lcode"), T::ftString)},
                     pageSize, FBuild, SourceView().isEmpty());
}

bool TClientPickQuery::FetchMore(TClientDataSet* ds, int pageSize) { return FPager.FetchMore(ds, pageSize, FBuild); }
