#include "goodsbill/PartnerBranch.h"

#include "platform/DataSet.h"
#include "webrpc/Connection.h"

QVector<const TBranchSide*> SidesOutsideBranch(TClientConnection& con, int client, const QVector<TBranchSide>& sides,
                                               const std::function<int(const QString&)>& valueOf, const QString& only)
{
    QVector<const TBranchSide*> outside;
    if (client == 0)
        return outside;
    for (const TBranchSide& side : sides) {
        const QString field = QString::fromLatin1(side.Field);
        if (!only.isEmpty() && field.compare(only, Qt::CaseInsensitive) != 0)
            continue;
        const int other = valueOf(field);
        if (other == 0)
            continue;
        TClientDataSet row;
        con.OpenDataSet(QString::fromLatin1(side.Sql), &row, {{QStringLiteral("other"), other}, {QStringLiteral("client"), client}});
        if (row.IsEmpty() || row.FieldCount() < 2)
            continue;
        const bool partnerOfNoBranch = row.Fields(0)->IsNull() || row.Fields(0)->AsInteger() == 0;
        if (!partnerOfNoBranch && row.Fields(1)->IsNull())
            outside << &side;
    }
    return outside;
}
