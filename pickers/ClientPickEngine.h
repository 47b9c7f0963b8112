#pragma once
// The client and vendor picker without its window: the conditions typed, the statement they
// become (typed texts bound as parameters) and the list read a page at a time in code order.
#include "pickers/PickerData.h"
#include "webrpc/Connection.h"

#include <QString>

enum TClientPickKind : int { ckClient = 1, ckVendor = 2 };
enum class TOweCompare { AtLeast, AtMost };

struct TClientPickFilter {
    QString Code, Name, PYAssist; // trimmed; "" sets no condition
    QString AreaLCode;            // the area and its sub-areas; "" all
    bool HasOweAmt = false;       // the amount-owed condition is set
    double OweAmt = 0;
    TOweCompare OweCompare = TOweCompare::AtLeast;
};

// The caller's extra condition names the shop column of the view's alias: every "shopid"
// that is not already qualified becomes "a.shopid".
QString QualifyShopId(const QString& filter);

class TClientPickQuery {
public:
    explicit TClientPickQuery(TClientConnection* con);

    int Kind = -1;       // 1 client, 2 vendor; any other kind lists nothing
    QString ExtraFilter; // already qualified (QualifyShopId)
    TClientPickFilter Filter;

    // "v_client", "v_vendor", or "" for another kind.
    QString SourceView() const;
    // The statement after (code, id) when `afterCode` is not null, at most `limit` rows.
    QString Statement(TSqlParams& params, const QString& afterCode = QString(), int afterId = 0, int limit = 0) const;

    void OpenFirst(TClientDataSet* ds, int pageSize);
    bool FetchMore(TClientDataSet* ds, int pageSize);
    bool AtEnd() const { return FPager.AtEnd(); }

private:
    TKeysetPager FPager;
    TKeysetPager::TBuild FBuild;
};
