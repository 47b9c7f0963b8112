#pragma once
// How later bills book themselves on the bills they take over from.
//
// A goods line that names a source line (refertype, referbillid, referitemno) raises the source
// line's follow-up quantity (rcvdqty of an order line, returnqty of a receipt line, ...) by its
// own quantity in the source line's unit. A payment or collection line settles a whole bill: its
// amount goes into the bill's settled total (totalpaid, totalrcvd).
#include <QStringList>

struct TFollowUp {
    int SourceType;
    int ReferringType;        // 0: any bill
    const char* MasterTable;
    const char* DetailTable;
    const char* Key;
    const char* Column;       // the follow-up column of the source line; nullptr: the line only counts
    bool TracksFinished;      // the source master's `finished` follows its lines
    int Sign = 1;             // -1: the referring lines carry the quantity negated
};

struct TSettlement {
    int SourceType;
    const char* MasterTable;
    const char* Key;
    const char* Column;       // the settled total of the source master
    int Sign;                 // returns count the other way round
    int PayingType;           // the bill kind that settles it (payment 9, collection 5)
};

constexpr int kPayBillType = 9;
constexpr int kChargeBillType = 5;

// The follow-up a line of `referringType` books on a line of `sourceType`, or null.
const TFollowUp* FollowUpFor(int sourceType, int referringType);
// Every follow-up column that lines of `sourceType` carry (empty for bills nobody takes over).
QStringList FollowUpColumnsOf(int sourceType);
// The settled total that bills of `payingType` book on a bill of `sourceType`, or null.
const TSettlement* SettlementFor(int sourceType, int payingType);
// The settled total a bill of `sourceType` carries, or null.
const TSettlement* SettlementOf(int sourceType);
