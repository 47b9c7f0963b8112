#include "pickers/Pickers.h"

#include "pickers/PickBatchCodeForm.h"
#include "pickers/PickClientForm.h"
#include "pickers/PickGoodsForm.h"
#include "pickers/ProcessSelectForm.h"
#include "pickers/SelectBatchCodeCopyForm.h"
#include "webrpc/Connection.h"

#include <memory>

namespace {
// The exported globals name the form of the call in progress.
template <class T>
class TCurrentForm {
public:
    TCurrentForm(T*& global, T* form)
        : FGlobal(global)
    {
        FGlobal = form;
    }
    ~TCurrentForm() { FGlobal = nullptr; }

private:
    T*& FGlobal;
};
} // namespace

bool ShowPickGoods(const QString& caption, TClientDataSet* target, bool multiAdd, int storeId, int cvId,
                   const QString& filter, bool withUnitQty)
{
    auto form = std::make_unique<TPickGoodsForm>(g_DefaultCon, TBillSession::FromHost());
    TCurrentForm current(PickGoodsForm, form.get());
    form->ACaption = caption;
    form->ADataSet = target;
    form->AMultiAdd = multiAdd;
    form->AStoreID = storeId;
    form->ACVID = cvId;
    form->AFilter = filter;
    form->AWithUnitQty = withUnitQty;
    form->InitForm();
    return form->ShowModal() == mrOk;
}

bool ShowPickClient(int kind, int& clientId, const QString& filter)
{
    auto form = std::make_unique<TPickClientForm>(g_DefaultCon, TBillSession::FromHost());
    TCurrentForm current(PickClientForm, form.get());
    form->SetKind(kind);
    form->SetFilter(filter);
    form->FillAreas();
    form->RefreshList();
    if (form->ShowModal() != mrOk)
        return false;
    clientId = form->CurrentClientID();
    return true;
}

bool ShowPickBatchCode(int mode, int clientId, int goodsId, int storeId, TReturnValue* result, const QDate& billDate,
                       double unitRate)
{
    const TBillSession session = TBillSession::FromHost();
    auto form = std::make_unique<TPickBatchCodeForm>(g_DefaultCon, session);
    form->FormPrivilegeID = mode;
    form->Request.Mode = mode;
    form->Request.ClientID = clientId;
    form->Request.GoodsID = goodsId;
    form->Request.StoreID = storeId;
    form->Request.BillDate = billDate;
    form->Request.UnitRate = unitRate;
    form->Request.ShopID = session.ShopID;
    form->Request.ByShop = session.Online;
    form->Result = result;
    form->Execute();
    return form->ShowModal() == mrOk;
}

bool ShowProcessSelect(int kind, int referType, int referBillId)
{
    auto form = std::make_unique<TProcessSelectForm>(g_DefaultCon, TBillSession::FromHost());
    form->Kind = kind;
    form->ReferType = referType;
    form->ReferBillID = referBillId;
    form->Execute();
    return form->ShowModal() == mrOk;
}

bool ShowSelectBatchCodeCopy(QString& prefix, QString& number, QString& suffix, int& count, const QString& batchCode)
{
    auto form = std::make_unique<TSelectBatchCodeCopyForm>(g_DefaultCon, TBillSession::FromHost());
    form->SetBatchCode(batchCode);
    if (form->ShowModal() != mrOk)
        return false;
    prefix = form->Parts().Prefix;
    number = form->Parts().Number;
    suffix = form->Parts().Suffix;
    count = form->Count();
    return true;
}
