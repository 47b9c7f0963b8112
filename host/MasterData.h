#pragma once
// Master data of the books: goods with their units and prices, clients and vendors with
// their contacts, stores with the operators who may bill for them, employees, money
// accounts and pay types.
//
// This is the engine under the editors and lists of the 基础资料 menu and of the lookups'
// find and add dialogs. It reads, checks and writes the rows without any widget, on the
// connection and for the operator it is given (TMasterSession), never through the host's
// globals. Every write is one transaction with bound parameters: a refused or failed save
// leaves the database as it was and the edited values in the editor.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <functional>

class TClientConnection;
class TClientDataSet;

enum class TMasterKind { Goods, Client, Vendor, Store, Employee, Bank, PayType };

// How an editor shows a column and what it writes.
enum class TMasterFieldType {
    Text,    // one line of text
    Integer, // whole number
    Number,  // quantity, rate, percentage
    Money,   // amount (currency)
    Flag,    // "T"/"F" column shown as a check box
    Bool,    // 0/1 column shown as a check box
    Choice,  // id column chosen from a list of names (ChoiceSql: id, name)
    Memo,    // several lines of text
};

struct TMasterField {
    QString Name;    // column of the kind's table
    QString Caption; // Chinese label
    TMasterFieldType Type = TMasterFieldType::Text;
    int MaxLength = 0;      // characters of a text column (the schema's size)
    bool Required = false;  // a blank value is refused
    bool Unique = false;    // no other row of the table may hold the same value
    QString ChoiceSql;      // Choice: the rows offered, as "select id, name ..."
    QVariant Default;       // value of a new row
    QVariant NoneValue;     // Choice: what "nothing chosen" stores (null, or 0 for the head office)
    QString NoneText;       // Choice: how "nothing chosen" reads
    bool ReadOnly = false;  // shown, never written (balances are kept by the bills)
    bool NewOnly = false;   // written when the row is created, read-only afterwards
};

// One column of a kind's list.
struct TMasterListColumn {
    QString Field;
    QString Caption;
    int Width = 100;
};

struct TMasterKindInfo {
    TMasterKind Kind;
    QString Name;    // "Goods": subject of "SHOWMASTERLIST", object names
    QString Caption; // "货品"
    QString Table;
    QString KeyField;
    // Rights of the editors and lists: browse to list, new to add, edit to change.
    int PrivilegeID = 0;
    // The host lookups that cache rows of this kind; they are read again after a save.
    QStringList LookupNames;
    QVector<TMasterField> Fields;
    // The list: a select over the table with names in place of ids, "id" the key column;
    // SearchMasterRows adds the condition on the typed text.
    QString ListSql;
    QStringList SearchFields; // columns the typed text is looked for in (qualified)
    QString ListOrder;
    QVector<TMasterListColumn> ListColumns;
    // Kinds with a branch column: a find limited to the current branch keeps rows of the
    // head office (0) and of that branch.
    bool HasShop = false;

    const TMasterField* Field(const QString& name) const; // nullptr when the kind has none
};

const TMasterKindInfo& MasterKindInfo(TMasterKind kind);
QList<TMasterKind> MasterKinds();
// The kind named by a kind name ("Goods", "Vendor"), a host lookup or data-source name
// ("Vendor_DS", "GoodsDataSet") or a key column ("goodsid", "storeid", "exemanid").
// A bare "clientid" means clients; vendor-side lookups name their list.
bool MasterKindFromName(const QString& name, TMasterKind* kind);

// Privilege ids of the master data (registered by no bill form).
enum : int {
    kGoodsPrivilege = 2001,
    kClientPrivilege = 2002,
    kVendorPrivilege = 2003,
    kStorePrivilege = 2004,
    kEmployeePrivilege = 2005,
    kBankPrivilege = 2006,
    kPayTypePrivilege = 2007,
};

// Who works on the master data and in which branch.
struct TMasterSession {
    int OpID = 0;
    int ShopID = 0;
    bool Online = false; // the books run several branches
    // Whether the operator may perform the action (TPrivilegeAction) under the privilege id.
    std::function<bool(int privilegeId, int action)> HasRight;
    bool Right(int privilegeId, int action) const { return HasRight && HasRight(privilegeId, action); }

    // The operator the connection's server session carries: a system manager may do
    // everything, others what their operatorright rows grant.
    static TMasterSession FromConnection(TClientConnection* con);
};

// ---------------------------------------------------------------- goods units
struct TGoodsUnitRow {
    int UnitID = 0; // 0 until saved
    QString Name;
    double Rate = 1;   // base units per this unit; the first row is the base unit (rate 1)
    QString Barcode;   // unique over all goods
    QString WeightCode; // code of a scale label
    double PPrice = 0; // reference purchase price
    double SPrice = 0; // retail price
    QVariant LPrice[5]; // wholesale price levels 1..5 (null: none)
    double MinSPrice = 0; // lowest sale price (price check)
    double MaxPPrice = 0; // highest purchase price (price check)
};

// ---------------------------------------------------------------- partner contacts
struct TContactRow {
    int ID = 0; // crm_linkman.id, 0 until saved
    QString Name;
    QString Position;
    QString Phone;
    QString Mobile;
    QString Email;
    bool IsMaster = false; // the contact bills take first
};

// A refusal: the message users read and the column (or part: "units", "contacts") to go to.
struct TMasterProblem {
    QString Message;
    QString Field;
    int Row = -1; // row of the units or contacts, when the problem is there
    bool IsEmpty() const { return Message.isEmpty(); }
};

// The editor of one row of a kind: a new row or one loaded by id.
class TMasterEditor {
public:
    TMasterEditor(TMasterKind kind, TClientConnection* con, TMasterSession session);

    const TMasterKindInfo& Info() const { return *FInfo; }
    TMasterKind Kind() const { return FInfo->Kind; }
    TClientConnection* Connection() const { return FCon; }
    const TMasterSession& Session() const { return FSession; }

    bool MayAdd() const;
    bool MayEdit() const;

    // Starts a new row with the kinds' defaults (a goods item gets one base unit).
    void New();
    // Loads the row; false when there is none.
    bool Load(int id);
    bool IsNew() const { return FId == 0; }
    int Id() const { return FId; }

    QVariant Value(const QString& field) const;
    // Sets a column. Changing the name refills the pinyin initials ("pyassist") from it
    // unless the user typed initials of their own; the initials go on following the name
    // when they are cleared.
    void SetValue(const QString& field, const QVariant& value);
    QVariantMap Values() const { return FValues; }

    // Goods: the units, the first being the base unit.
    QVector<TGoodsUnitRow> Units;
    // Clients and vendors: the contacts.
    QVector<TContactRow> Contacts;
    // Stores: the operators who may bill for the store.
    QList<int> Operators;

    // The first problem that would refuse the save; empty when there is none.
    TMasterProblem Validate() const;
    // Checks the right and the values, then writes the row with its units, contacts or
    // operators in one transaction. False (the problem in LastProblem) leaves the database
    // unchanged and the values as they were.
    bool Save();
    const TMasterProblem& LastProblem() const { return FProblem; }

    // Whether a unit is used by bills or traded prices (its rate may not change then, nor
    // may it be removed).
    bool UnitInUse(int unitId) const;

private:
    const TMasterKindInfo* FInfo;
    TClientConnection* FCon;
    TMasterSession FSession;
    int FId = 0;
    QVariantMap FValues;
    QVariantMap FLoaded;      // the row as loaded (update time, the units' rates)
    QHash<int, double> FLoadedRates; // unit id -> rate as loaded
    QList<int> FLoadedContacts;
    bool FOwnInitials = false; // the user typed the pinyin initials

    TMasterProblem CheckRight() const;
    TMasterProblem CheckFields() const;
    TMasterProblem CheckUnits() const;
    TMasterProblem CheckContacts() const;
    int NewKey(const QString& table) const;
    void WriteRow(int id);
    void WriteUnits(int goodsId);
    void WriteContacts(int clientId);
    void LoadUnits();
    void LoadContacts();
    QVariant Stored(const TMasterField& f) const;
    TMasterProblem FProblem;
};

// The rows of a kind whose code, name, short name or pinyin initials contain the typed text
// (all rows for an empty text), in the kind's list order, at most `limit` of them; closed
// rows only when asked for; shopId >= 0 keeps the rows of the head office and that branch.
// The dataset holds the key as "id" (hidden) and the list columns with their captions.
void SearchMasterRows(TClientConnection* con, TMasterKind kind, const QString& text, TClientDataSet* rows,
                      int limit = 1000, bool withClosed = false, int shopId = -1);

// The goods-type tree, parents before their children (ordered by level code).
struct TGoodsTypeNode {
    int ID = 0;
    int ParentID = 0;
    QString Code;
    QString Name;
};
QVector<TGoodsTypeNode> GoodsTypeTree(TClientConnection* con);
// Adds a goods type under parentId (0: at the top) and answers its id. Its level code is the
// parent's followed by two digits; the code is the level code. Throws Exception with a
// Chinese message when the name is blank or taken among its siblings, the level is full or
// the operator may not add goods.
int AddGoodsType(TClientConnection* con, const TMasterSession& session, int parentId, const QString& name);

// The id/name pairs a Choice column offers.
QVector<QPair<QVariant, QString>> MasterChoices(TClientConnection* con, const TMasterField& field);
