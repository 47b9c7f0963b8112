#pragma once
// Data functions that many bill forms share: in-memory datasets from SQL, stock of a goods
// item, bill sides, writable fields, small look-ups by id and a checked input box.
#include <QString>
#include <QVariant>

class QObject;
class QWidget;
class TClientDataSet;
class TClientQuery;

// A dataset holding the rows of `sql` in memory, owned by `owner`. Parameters written
// ":name" in the text are listed in ParamNames() of the returned query; the caller may
// set them and open it (OpenQuery) when `open` is false. Once open, the rows do not
// depend on the database any more.
TClientQuery* CreateClientDataSet(QObject* owner, const QString& sql, bool open = true);

// Book stock of a goods item in a store from a stock dataset with the columns StoreID,
// GoodsID and OnHand. No goods or no store means no limit: 1e12. A row that is not there
// means nothing on hand: 0. The dataset's cursor is left where it was.
double GetGoodsOnHand(TClientDataSet* stock, int goodsId, const QString& storeId);
inline constexpr double kNoStockLimit = 1e12;

// Bill sides by bill type.
bool IsClientSideBill(int billType);
bool IsVendorSideBill(int billType);
bool IsStockSideBill(int billType);

// Opens the dataset when it is closed (a query runs its SQL), then lets every field be
// written: loaded bills arrive with read-only computed columns that the forms fill in.
void MakeFieldsWritable(TClientDataSet* ds);

// A query on the default connection; the caller owns it (through `owner` or by itself).
TClientQuery* CreateQuery(QObject* owner, const QString& sql, bool open = true);

// The named search dataset, asked for through the global call "GetFindDataSet" so that a
// package that registers its own answer is heard (the host's direct GetFindDataSet in
// host/Lookups.h answers only the host's own). nullptr when nobody has one.
TClientDataSet* CallFindDataSet(const QString& name);

// The accounting subject of a bank account; 0 when there is none.
int GetBankSubID(int bankId);
// The short name of a client or vendor; "" when there is none.
QString GetClientShortName(int clientId);
// One column of the first row whose key column equals the key value (a text compared as
// text); "" when no row. Table and column names are the caller's own identifiers.
QString LookupFieldValue(const QString& resultField, const QString& table, const QString& keyField,
                         const QString& keyValue);
// Whether the accounting subject keeps detail accounts.
bool IsDetailSubject(int subId);

// What InputValue accepts.
enum class TInputKind { ikString, ikInteger, ikNumber };

// A modal input box ("资料输入" / "请输入" unless the caller names them). `value` is the text
// shown first; on OK it receives the checked value (QString, int or double by kind).
// Returns false when the user cancels; an empty or ill-formed entry is refused with a
// notice and the box stays open.
bool InputValue(const QString& caption, const QString& prompt, TInputKind kind, QVariant& value,
                QWidget* parent = nullptr);
