#include "services/BillDB.h"

#include "host/Session.h"

namespace {
TBillDB* g_CurrentBillDB = nullptr;

bool SameInt(TClientDataSet* rows, const char* field, int value)
{
    TField* f = rows->FindField(QString::fromLatin1(field));
    return f && !f->IsNull() && f->AsInteger() == value;
}
} // namespace

TBillDB::TBillDB(QObject* owner, TClientConnection* con)
    : QObject(owner), spGetGoodsInfo(con, QStringLiteral("getgoodsinfo;1"))
{
    setObjectName(QStringLiteral("BillDB"));
    TProcParams& p = spGetGoodsInfo.Params;
    p.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
    p.Add(QStringLiteral("@gettype"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@goodsid"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@unitid"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@BillType"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@CVFlag"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@CVID"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@BATCHREFID"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@DefaultPrice"), TFieldType::ftFloat, TParamDirection::pdInputOutput, 8);
    p.Add(QStringLiteral("@Filter"), TFieldType::ftString, TParamDirection::pdInput, 255);
    p.Add(QStringLiteral("@shopid"), TFieldType::ftInteger);
    p.Add(QStringLiteral("@storeid"), TFieldType::ftInteger);
    g_CurrentBillDB = this;
}

TBillDB::~TBillDB()
{
    if (g_CurrentBillDB == this) g_CurrentBillDB = nullptr;
}

TBillDB* TBillDB::Current() { return g_CurrentBillDB; }

bool TBillDB::CacheMatches(int goodsId, int unitId, int billType, int cvFlag, int cvId, int batchId, int shopId,
                           int storeId)
{
    TClientDataSet* rows = spGetGoodsInfo.Rows();
    if (!spGetGoodsInfo.Active() || rows->IsEmpty() || FAccountID != g_iAccountID) return false;
    rows->First();
    // Unit ids are unique over all goods, so the unit already names the goods; the goods id
    // is compared as well because a goods-only request (unit 0) answers with its base unit.
    return SameInt(rows, "GoodsID", goodsId) && SameInt(rows, "UnitID", unitId) && SameInt(rows, "BillType", billType)
           && SameInt(rows, "CVFlag", cvFlag) && SameInt(rows, "CVID", cvId) && SameInt(rows, "BATCHREFID", batchId)
           && SameInt(rows, "storeid", storeId) && SameInt(rows, "shopid", shopId);
}

TGoodsPrices TBillDB::GetGoodsPrices(int billType, int goodsId, int unitId, int cvFlag, int cvId, int batchId,
                                     int shopId, int storeId, int getType, const QString& filter)
{
    if (!CacheMatches(goodsId, unitId, billType, cvFlag, cvId, batchId, shopId, storeId)) {
        spGetGoodsInfo.Close();
        FAccountID = g_iAccountID;
        TProcParams& p = spGetGoodsInfo.Params;
        p.ParamByName(QStringLiteral("@goodsid")).Value = goodsId;
        p.ParamByName(QStringLiteral("@unitid")).Value = unitId;
        p.ParamByName(QStringLiteral("@BATCHREFID")).Value = batchId;
        p.ParamByName(QStringLiteral("@BillType")).Value = billType;
        p.ParamByName(QStringLiteral("@CVFlag")).Value = cvFlag;
        p.ParamByName(QStringLiteral("@CVID")).Value = cvId;
        p.ParamByName(QStringLiteral("@shopid")).Value = shopId;
        p.ParamByName(QStringLiteral("@storeid")).Value = storeId;
        p.ParamByName(QStringLiteral("@gettype")).Value = getType;
        p.ParamByName(QStringLiteral("@Filter")).Value = filter;
        p.ParamByName(QStringLiteral("@DefaultPrice")).Value = 0.0;
        try {
            spGetGoodsInfo.Open();
        } catch (...) {
            spGetGoodsInfo.Close();
            FAccountID = -1;
            throw;
        }
    }
    TGoodsPrices out;
    TClientDataSet* rows = spGetGoodsInfo.Rows();
    if (!rows->Active() || rows->IsEmpty()) return out;
    rows->First();
    auto price = [rows](const char* name) {
        TField* f = rows->FindField(QString::fromLatin1(name));
        return f ? f->AsFloat() : 0.0;
    };
    out.Found = true;
    out.SPPrice = price("SPPrice");
    out.DefaultPrice = price("DefaultPrice");
    out.DisPrice = price("DisPrice");
    out.LastPrice = price("LastPrice");
    out.LevPrice = price("LevPrice");
    return out;
}

void TBillDB::AfterSaveBill()
{
    spGetGoodsInfo.Close();
    FAccountID = -1;
}

void BillDBAfterSaveBill()
{
    if (TBillDB* db = TBillDB::Current()) db->AfterSaveBill();
}
