#include "server/BillKind.h"

#include "server/ServerSql.h"
#include "webrpc/Statement.h"

TTableInfo ReadTableInfo(TClientConnection& con, const QString& name)
{
    TTableInfo t;
    if (name.trimmed().isEmpty())
        return t;
    for (const auto& c : TableColumns(con, name.trimmed()))
        t.Types.insert(c.first, c.second);
    if (!t.Types.isEmpty())
        t.Name = name.trimmed().toLower();
    return t;
}

bool TBillKind::StandsAlone(const TRowValues& master) const
{
    if (!NeedLines)
        return true;
    if (AloneField.isEmpty())
        return false;
    const QVariant v = master.value(AloneField);
    return !v.isNull() && AloneValues.contains(v.toString().trimmed());
}

namespace {

TBillKind ReadBillKindRow(TClientConnection& con, int billType)
{
    TStatement st(con, QStringLiteral("select formname, caption, stockdir, cvflag, dbbilltype, privilegeid, keyfield, mastertable, detailtable, "
                                               "needlines, alonefield, alonevalues, totalfield, amountfield from billkind where billtype = :t"));
    st.Bind({{QStringLiteral("t"), billType}});
    if (!st.Step())
        throw EDatabaseError(QStringLiteral("单据类型 %1 没有登记").arg(billType));
    TBillKind k;
    k.BillType = billType;
    k.FormName = st.Column(0).toString();
    k.Caption = st.Column(1).toString();
    k.StockDir = st.Column(2).toInt();
    k.CVFlag = st.Column(3).toInt();
    k.DBBillType = st.Column(4).toInt();
    k.PrivilegeID = st.Column(5).toInt();
    k.Key = st.Column(6).toString().toLower();
    k.Master = ReadTableInfo(con, st.Column(7).toString());
    if (k.Master.Name.isEmpty())
        throw EDatabaseError(QStringLiteral("数据表 %1 不存在").arg(st.Column(7).toString()));
    k.Detail = ReadTableInfo(con, st.Column(8).toString());
    k.NeedLines = st.Column(9).toInt() != 0 && k.HasLines();
    k.AloneField = st.Column(10).toString().trimmed().toLower();
    for (const QString& v : st.Column(11).toString().split(u',', Qt::SkipEmptyParts))
        k.AloneValues << v.trimmed();
    k.TotalField = st.Column(12).toString().trimmed().toLower();
    k.AmountField = st.Column(13).toString().trimmed().toLower();
    if (!k.Master.Has(k.TotalField) || !k.Detail.Has(k.AmountField)) {
        k.TotalField.clear();
        k.AmountField.clear();
    }
    return k;
}

} // namespace

TBillKind ReadBillKind(TClientConnection& con, int billType)
{
    return KeptSetting<TBillKind>(con, QStringLiteral("billkind %1").arg(billType), [&] { return ReadBillKindRow(con, billType); });
}
