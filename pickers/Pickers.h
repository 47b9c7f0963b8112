#pragma once
// The pickers' entry points as the rest of the system calls them. Each creates its dialog
// on the host's connection and session, shows it modally and destroys it.
#include <QDate>
#include <QString>

class TClientDataSet;
class TReturnValue;

// The goods picker: the chosen goods go into `target` (left in edit or insert state for the
// caller to post). True when closed with OK.
bool ShowPickGoods(const QString& caption, TClientDataSet* target, bool multiAdd, int storeId, int cvId,
                   const QString& filter, bool withUnitQty);
// The client (kind 1) or vendor (kind 2) picker; on OK the chosen id goes into `clientId`
// (0 when the list was empty).
bool ShowPickClient(int kind, int& clientId, const QString& filter);
// The batch picker in `mode` (1 stock lots, 2 batch stock, 3 consignment deliveries); the
// chosen batch goes into `result`.
bool ShowPickBatchCode(int mode, int clientId, int goodsId, int storeId, TReturnValue* result, const QDate& billDate,
                       double unitRate);
// The follow-up bills of a bill of `referType` and id `referBillId`.
bool ShowProcessSelect(int kind, int referType, int referBillId);
// The batch-copy dialog from `batchCode`; on OK the parts and the count are written back.
bool ShowSelectBatchCodeCopy(QString& prefix, QString& number, QString& suffix, int& count, const QString& batchCode);
