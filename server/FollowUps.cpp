#include "server/FollowUps.h"

namespace {

const TFollowUp kFollowUps[] = {
    {6, 0, "porder", "orderdetail", "orderid", "rcvdqty", true},
    {1, 0, "sorder", "sorderdetail", "sorderid", "takeqty", true},
    // a purchase expense puts money on receipt lines (purappamt, see MoneyLedger), no quantity
    {7, 43, "recieved", "rcvddetail", "recievedid", nullptr, false},
    {26, 43, "crecieved", "crcvddetail", "crecievedid", nullptr, false},
    {7, 0, "recieved", "rcvddetail", "recievedid", "returnqty", false},
    {26, 0, "crecieved", "crcvddetail", "crecievedid", "returnqty", false},
    {22, 0, "valuedrcvd", "valuedrcvddetail", "billid", "returnqty", false},
    {40, 0, "valuedrcvd", "valuedrcvddetail", "billid", "returnqty", false},
    // the stocktaking bill a return's damaged goods are written off with takes them out again
    {4, 14, "sreturn", "returndetail", "returnid", "badqty", false, -1},
    {2, 0, "invoice", "saledetail", "invoiceid", "returnqty", false},
    {3, 0, "csale", "csaledetail", "csaleid", "returnqty", false},
    {27, 28, "deputesale", "deputesaledetail", "deputesaleid", "settledqty", false},
    // a take-back carries the quantity taken back negated
    {27, 27, "deputesale", "deputesaledetail", "deputesaleid", "returnqty", false, -1},
    {27, 0, "deputesale", "deputesaledetail", "deputesaleid", "returnqty", false},
    {29, 28, "deputesaleinit", "deputesaleinitdetail", "deputesaleinitid", "settledqty", false},
    {29, 27, "deputesaleinit", "deputesaleinitdetail", "deputesaleinitid", "returnqty", false, -1},
    {29, 0, "deputesaleinit", "deputesaleinitdetail", "deputesaleinitid", "returnqty", false},
    {28, 0, "deputesettlement", "deputesettlementdetail", "deputesettlementid", "returnqty", false},
    {10, 0, "drawitem", "drawdetail", "drawitemid", "backqty", false},
    {15, 0, "inout", "dinout", "inoutid", "backqty", false},
    {41, 0, "askdeliver", "askdeliverdetail", "askid", "deliqty", true},
    {42, 0, "deliver", "deliverdetail", "deliverid", "allotqty", true},
};

const TSettlement kSettlements[] = {
    {7, "recieved", "recievedid", "totalpaid", 1, kPayBillType},
    {8, "preturn", "preturnid", "totalpaid", -1, kPayBillType},
    {43, "purchaseapp", "purchaseappid", "totalpaid", 1, kPayBillType},
    {2, "invoice", "invoiceid", "totalrcvd", 1, kChargeBillType},
    {4, "sreturn", "returnid", "totalrcvd", -1, kChargeBillType},
    {28, "deputesettlement", "deputesettlementid", "totalrcvd", 1, kChargeBillType},
};

} // namespace

const TFollowUp* FollowUpFor(int sourceType, int referringType)
{
    const TFollowUp* any = nullptr;
    for (const TFollowUp& f : kFollowUps) {
        if (f.SourceType != sourceType)
            continue;
        if (f.ReferringType == referringType)
            return &f;
        if (f.ReferringType == 0 && !any)
            any = &f;
    }
    return any;
}

QStringList FollowUpColumnsOf(int sourceType)
{
    QStringList out;
    for (const TFollowUp& f : kFollowUps)
        if (f.SourceType == sourceType && f.Column && !out.contains(QLatin1String(f.Column)))
            out << QLatin1String(f.Column);
    return out;
}

const TSettlement* SettlementFor(int sourceType, int payingType)
{
    for (const TSettlement& s : kSettlements)
        if (s.SourceType == sourceType && s.PayingType == payingType)
            return &s;
    return nullptr;
}

const TSettlement* SettlementOf(int sourceType)
{
    for (const TSettlement& s : kSettlements)
        if (s.SourceType == sourceType)
            return &s;
    return nullptr;
}
