#pragma once
// The goods picker without its window: the filter the user has typed, the statement it
// becomes (every typed text bound as a parameter, never spliced into the SQL), the list read
// page by page in code order, and writing chosen goods into the caller's detail dataset.
//
// The list is read a page at a time because a catalogue may hold a hundred thousand goods:
// the first page of a typed filter comes straight off the goods code index, and further pages
// are read as the user scrolls (keyed on the last code read, so a later page costs the same
// as the first).
#include "pickers/PickerData.h"
#include "webrpc/Connection.h"

#include <QString>

// The kind classes of the radio group: 0 all, 1 stock goods (kind 1..3), 2 non-stock goods
// and services (4..6), 3 discount items (7).
enum TGoodsKindClass : int { gkAll = 0, gkStock = 1, gkNonStock = 2, gkDiscount = 3 };

struct TGoodsPickFilter {
    // Trimmed texts; an empty one sets no condition. Each matches anywhere in its column.
    QString Code, Specs, Name, PYAssist, BarCode;
    QString TypeLCode;        // level code of the goods type (and its sub-types); "" all
    int KindClass = gkAll;
    bool InStoreOnly = false; // only goods with stock above 0 (in the store, when it counts)
    bool HistoryOnly = false; // only goods traded with the client or vendor before
    // Pinyin initials of the name's first characters; "" none.
    QString NameInitials;
};

// Whether the first characters of `name` have the pinyin initials `typed` (case ignored).
//
// The rule was written for two-byte Chinese text: position i of the typed text is compared
// with the initial of the i-th two-byte character, and a name with fewer than 2·i bytes
// fails. In a Qt string a Chinese character is one character (one code point; surrogate
// pairs are read as one), so position i is compared with the initial of the name's i-th
// character and a name with fewer than i characters fails. A Latin letter or digit is its own
// initial (GetPYIndexChar keeps them); a character without one (a space, a symbol) matches
// nothing. An empty typed text lets every name pass.
bool NameHasInitials(const QString& name, const QString& typed);

class TGoodsPickQuery {
public:
    explicit TGoodsPickQuery(TClientConnection* con);

    // The caller's inputs.
    QString ExtraFilter; // the caller's own SQL condition (trusted code, not user text)
    int StoreID = -1;    // below 1: all stores
    int CVID = -1;       // below 1: no client or vendor
    TGoodsPickFilter Filter;

    // The on-hand figure is that of the caller's store only for stock kinds (all or stock
    // goods) with a store; otherwise it is summed over every store.
    bool StoreOnHand() const;

    // The statement of the list after `afterCode` (all when empty), at most `limit` rows
    // (no limit when below 1), with its parameters.
    QString Statement(TSqlParams& params, const QString& afterCode = QString(), int limit = 0) const;

    // Reads the first page into `ds` (fields replaced). Remembers where the list stands.
    void OpenFirst(TClientDataSet* ds, int pageSize);
    // Appends the next page; false when the list was read to its end already.
    bool FetchMore(TClientDataSet* ds, int pageSize);
    // Reads the rest of the list, but stop once more than `maxRows` rows are held.
    void FetchUpTo(TClientDataSet* ds, int maxRows);
    bool AtEnd() const { return FPager.AtEnd(); }

private:
    TClientConnection* FCon;
    TKeysetPager FPager;
    TKeysetPager::TBuild FBuild;
};

// Writes one goods item into the caller's detail dataset: a new record when `append`, else
// the current record put into edit (an empty dataset gets its first record). When `unitQty`
// applies the chosen unit and quantity go with it (each only when the dataset has the field).
// The dataset is left in edit or insert state: the caller posts it.
struct TGoodsAddition {
    int GoodsID = 0;
    bool WithUnitQty = false;
    QVariant UnitID;
    double UnitQty = 1;
};
bool AddGoodsToTarget(TClientDataSet* target, const TGoodsAddition& add, bool append);

// The most goods "add all" writes at once.
inline constexpr int kMaxAddAll = 500;
