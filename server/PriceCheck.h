#pragma once
// The price check of a saved bill, reply 1401. On a client-side bill (CVFlag 1) with the
// account option CHECKMINSALEPRICE "1", lines sold below their unit's minimum sale price
// (goodsunit.minsprice); on a vendor-side bill (CVFlag 2) with CHECKMAXBUYPRICE "1", lines
// bought above their unit's maximum purchase price (maxpprice). A limit of 0 is no limit, and
// gift lines are never checked. The reply carries those lines in "ds1" and, for the user to
// compare, the lines beyond the unit's reference price (sprice, pprice) in "ds2".
#include "webrpc/Connection.h"

#include <QString>
#include "platform/RowValues.h"
#include <QVector>

struct TPriceCheck {
    QString Message;       // the lines in words, for "ErrMsg"
    QString LimitRows;     // "ds1": data packet of the lines beyond the limit ("" when none)
    QString ReferenceRows; // "ds2": data packet of the lines beyond the reference price
    bool Failed() const { return !LimitRows.isEmpty(); }
};

// Whether the check applies at all: not when the bill's side has its option off, nor on
// returns (a sale's goods coming back, stockDir +1 on the client side; goods going back to a
// vendor, -1 on the vendor side): they give back what was agreed.
bool LinePriceCheckApplies(TClientConnection& con, int cvFlag, int stockDir);
// The lines as stored (column names in any case), when the check applies.
TPriceCheck CheckLinePrices(TClientConnection& con, int cvFlag, int stockDir, const QVector<TRowValues>& lines);
