#pragma once
// A bill kind as the server procedures see it: its `billkind` row (schema/25_bill_kinds.sql)
// and the columns of its master and line tables.
#include "server/StoredValues.h"
#include "webrpc/Connection.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct TTableInfo {
    QString Name;                  // lower case; empty when the table does not exist
    QHash<QString, QString> Types; // lower-case column -> declared type
    bool Has(const QString& col) const { return !Name.isEmpty() && Types.contains(LowerName(col)); }
    QString Type(const QString& col) const { return Types.value(LowerName(col)); }
    bool IsMoney(const QString& col) const { return Type(col).toUpper().startsWith(QLatin1String("MONEY")); }
};
TTableInfo ReadTableInfo(TClientConnection& con, const QString& name);

constexpr int kPosSaleBillType = 23;

struct TBillKind {
    int BillType = 0;
    QString FormName, Caption;
    int StockDir = 0, CVFlag = -1, DBBillType = -999, PrivilegeID = 0;
    TTableInfo Master, Detail;
    QString Key; // lower-case key column, shared by master and lines
    bool NeedLines = false;
    QString AloneField;      // lower case; empty when every bill of the kind needs lines
    QStringList AloneValues;
    QString TotalField, AmountField; // lower case; empty when the kind keeps no such total

    bool MovesStock() const { return StockDir != 0 && DBBillType != -999; }
    // Masters with the red-reversal flag 0/1/2 (the POS sale's flag means something else).
    bool HasFlag() const { return Master.Has(QStringLiteral("flag")) && BillType != kPosSaleBillType; }
    bool HasLines() const { return !Detail.Name.isEmpty(); }
    // A bill whose master says it may stand alone (a prepayment): no lines needed, and its
    // total is its own figure.
    bool StandsAlone(const TRowValues& master) const;
};
// Throws EDatabaseError when the kind is not registered. Kept by the app server's sessions
// (KeptSetting, ServerSql.h).
TBillKind ReadBillKind(TClientConnection& con, int billType);
