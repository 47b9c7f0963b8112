#include "pickers/GoodsPickEngine.h"

#include "host/Pinyin.h"
#include "pickers/PickerForm.h"

#include <sqlite3.h>

namespace {

// The columns of the list, in the order the statement selects them.
QVector<TFieldDef> GoodsListFields()
{
    using T = TFieldType;
    return {ListField(QStringLiteral("GoodsID"), T::ftInteger),  ListField(QStringLiteral("Code"), T::ftString),
            ListField(QStringLiteral("Name"), T::ftString),      ListField(QStringLiteral("vender"), T::ftString),
            ListField(QStringLiteral("SPECS"), T::ftString),     ListField(QStringLiteral("PYASSIST"), T::ftString),
            ListField(QStringLiteral("Unit"), T::ftString),      ListField(QStringLiteral("OnHand"), T::ftFloat),
            ListField(QStringLiteral("UnitID"), T::ftInteger),   ListField(QStringLiteral("barcode"), T::ftString),
            ListField(QStringLiteral("GoodsType"), T::ftString)};
}

void NameInitialsFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const auto* name = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* typed = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    sqlite3_result_int(ctx, NameHasInitials(QString::fromUtf8(name), QString::fromUtf8(typed ? typed : "")) ? 1 : 0);
}

} // namespace

bool NameHasInitials(const QString& name, const QString& typed)
{
    if (typed.isEmpty())
        return true;
    const QList<uint> chars = name.toUcs4();
    const QList<uint> wanted = typed.toUpper().toUcs4();
    if (chars.size() < wanted.size())
        return false;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const QChar initial = PinyinInitial(char32_t(chars[i]));
        if (initial.isNull() || initial.unicode() != wanted[i])
            return false;
    }
    return true;
}

TGoodsPickQuery::TGoodsPickQuery(TClientConnection* con)
    : FCon(con)
    , FPager(con, {QStringLiteral("Code")})
    , FBuild([this](TSqlParams& params, const QVariantList& after, int limit) {
        return Statement(params, after.isEmpty() ? QString() : after[0].toString(), limit);
    })
{
    // The pinyin filter runs inside the statement, so that it sees the whole list and not
    // only the pages read so far.
    if (FCon && FCon->Connected() && !FCon->Remote())
        sqlite3_create_function_v2(FCon->Handle(), "tb_nameinitials", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   NameInitialsFunction, nullptr, nullptr, nullptr);
}

bool TGoodsPickQuery::StoreOnHand() const
{
    return (Filter.KindClass == gkAll || Filter.KindClass == gkStock) && StoreID >= 1;
}

QString TGoodsPickQuery::Statement(TSqlParams& params, const QString& afterCode, int limit) const
{
    params.clear();
    const QString onHand = StoreOnHand()
        ? QStringLiteral("(SELECT SUM(COALESCE(o.onhand, 0)) FROM onhand o WHERE o.goodsid = G.goodsid AND o.storeid = :storeid)")
        : QStringLiteral("(SELECT SUM(COALESCE(o.onhand, 0)) FROM onhand o WHERE o.goodsid = G.goodsid)");
    if (StoreOnHand())
        params.append({QStringLiteral("storeid"), StoreID});
    QString sql = QStringLiteral("SELECT G.GoodsID, G.Code, G.Name, c.shortname AS vender, G.SPECS, G.PYASSIST, G.Unit, ") +
                  onHand +
                  QStringLiteral(" AS OnHand, GU.UnitID, GU.barcode, GT.name AS GoodsType FROM Goods G"
                                 " LEFT JOIN Client c ON G.clientid = c.clientid"
                                 " LEFT JOIN GoodsUnit GU ON G.GoodsID = GU.GoodsID AND GU.UnitType = 0"
                                 " LEFT OUTER JOIN GoodsType GT ON G.GoodsTypeID = GT.GoodsTypeID WHERE 1=1");
    // The goods a client or vendor had before: those with a price record for it.
    if (Filter.HistoryOnly) {
        sql += QStringLiteral(" AND G.GoodsID IN (SELECT H.goodsid FROM GVCPrice H WHERE H.CVid = :cvid)");
        params.append({QStringLiteral("cvid"), CVID});
    }
    if (!ExtraFilter.trimmed().isEmpty())
        sql += QStringLiteral(" AND (") + ExtraFilter + u')';
    auto like = [&](const QString& column, const QString& name, const QString& text) {
        AppendContains(sql, params, column, name, text);
    };
    like(QStringLiteral("G.Code"), QStringLiteral("code"), Filter.Code);
    like(QStringLiteral("G.Specs"), QStringLiteral("specs"), Filter.Specs);
    if (!Filter.TypeLCode.isEmpty()) {
        sql += QStringLiteral(" AND GT.LCode LIKE :typelcode ESCAPE '\\'");
        params.append({QStringLiteral("typelcode"), LikePrefix(Filter.TypeLCode)});
    }
    like(QStringLiteral("G.Name"), QStringLiteral("name"), Filter.Name);
    like(QStringLiteral("G.PYASSIST"), QStringLiteral("pyassist"), Filter.PYAssist);
    switch (Filter.KindClass) {
    case gkStock:
        sql += QStringLiteral(" AND G.Kind <= 3");
        break;
    case gkNonStock:
        sql += QStringLiteral(" AND G.Kind > 3 AND G.Kind < 7");
        break;
    case gkDiscount:
        sql += QStringLiteral(" AND G.Kind = 7");
        break;
    default:
        break;
    }
    like(QStringLiteral("GU.barcode"), QStringLiteral("barcode"), Filter.BarCode);
    if (Filter.InStoreOnly)
        sql += QStringLiteral(" AND ") + onHand + QStringLiteral(" > 0");
    if (!Filter.NameInitials.isEmpty()) {
        sql += QStringLiteral(" AND tb_nameinitials(G.Name, :initials) = 1");
        params.append({QStringLiteral("initials"), Filter.NameInitials});
    }
    if (!afterCode.isNull()) {
        sql += QStringLiteral(" AND G.Code > :aftercode");
        params.append({QStringLiteral("aftercode"), afterCode});
    }
    sql += QStringLiteral(" ORDER BY G.Code");
    if (limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    return sql;
}

void TGoodsPickQuery::OpenFirst(TClientDataSet* ds, int pageSize)
{
    FPager.OpenFirst(ds, GoodsListFields(), pageSize, FBuild);
}

bool TGoodsPickQuery::FetchMore(TClientDataSet* ds, int pageSize) { return FPager.FetchMore(ds, pageSize, FBuild); }

void TGoodsPickQuery::FetchUpTo(TClientDataSet* ds, int maxRows)
{
    while (!AtEnd() && ds->RecordCount() <= maxRows)
        FetchMore(ds, maxRows + 1 - ds->RecordCount());
}

bool AddGoodsToTarget(TClientDataSet* target, const TGoodsAddition& add, bool append)
{
    if (add.GoodsID == 0 || !target)
        return false;
    if (append) {
        target->Append();
    } else if (target->State() != TDataSetState::dsEdit && target->State() != TDataSetState::dsInsert) {
        if (target->IsEmpty())
            target->Append();
        else
            target->Edit();
    }
    target->FieldByName(QStringLiteral("GoodsID"))->SetValue(add.GoodsID);
    if (add.WithUnitQty) {
        if (TField* f = target->FindField(QStringLiteral("unitid")))
            f->SetValue(add.UnitID);
        if (TField* f = target->FindField(QStringLiteral("unitqty")))
            f->SetValue(add.UnitQty);
    }
    return true;
}
