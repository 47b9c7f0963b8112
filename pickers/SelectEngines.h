#pragma once
// The statements and checks of the batch picker, the follow-up bill list and the batch-copy
// dialog, without their windows. Every value goes into the statements as a bound parameter.
#include "webrpc/Connection.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// ---- batch picker
enum TBatchPickMode : int { bmStockLots = 1, bmBatchStock = 2, bmConsignment = 3 };

struct TBatchPickRequest {
    int Mode = bmStockLots;
    int ClientID = 0;
    int GoodsID = 0;
    int StoreID = 0;
    QDate BillDate;
    double UnitRate = 1; // quantities are shown divided by it, costs multiplied
    int ShopID = 0;      // the current branch
    bool ByShop = false; // the account set works by branches
};

struct TBatchPickColumn {
    TBatchPickColumn(QString field, QString title, int width, QString format = QString())
        : Field(std::move(field)), Title(std::move(title)), Width(width), Format(std::move(format))
    {
    }
    QString Field, Title;
    int Width = 80;
    QString Format;
};

struct TBatchPickStatement {
    QString Caption;
    QString Sql;
    TSqlParams Params;
    QString ReturnFields; // comma separated
    QVector<TBatchPickColumn> Columns;
};

// The statement, columns and return fields of a mode; the cost column only when
// `showCost` (the account option ISDISPLAYPRICE is "1"). An unknown mode gives an empty
// statement.
TBatchPickStatement BatchPickStatement(const TBatchPickRequest& request, bool showCost);

// The distinct batch codes of a batch statement, after "所有" (all).
QString BatchCodeListSql(const QString& masterSql);

// ---- follow-up bills of a bill
struct TProcessKind {
    int Kind = 0;
    QString Sql;          // ends with the refer type and refer bill conditions (bound)
    QStringList Columns;  // field names shown
    QString BillIdField;  // the id the bill is opened by
};
// Kind 1 payments and receipts, 2 purchase returns, 3 charge invoices, 4 sales returns,
// 5 material returns, 6 transfers; Kind 0 for any other.
TProcessKind ProcessStatement(int kind);
// The bill type a follow-up row opens as: by its pay or charge type for kinds 1 and 3 (9
// and 5 only; -1 for other types, which are not opened), fixed for the others.
int ProcessBillType(int kind, int payOrChargeType);
// Whether the current branch may look at a follow-up bill: always off-line; on-line the
// bill must be the branch's own, a transfer must leave from or go to it.
bool MayViewProcessBill(int kind, bool online, int currentShop, int billShop, int outShop, int inShop);

// ---- batch copy
struct TBatchCodeParts {
    QString Prefix, Number, Suffix;
    bool HasDigit = false;
};
// Splits at the last digit: what follows it is the suffix, and what leads up to it is a
// prefix and the run of digits that ends it.
TBatchCodeParts SplitBatchCode(const QString& code);
// The count typed: an integer above 0 (empty counts as 0); -1 when it is not one.
int ParseCopyCount(const QString& text);
