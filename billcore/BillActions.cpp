#include "billcore/BillActions.h"

#include "billcore/BillBaseForm.h"
#include "host/KQParams.h"
#include "host/Registry.h"

namespace {

using F = TBillBaseForm;
constexpr QKeyCombination kNone{};

constexpr QKeyCombination Ctrl(Qt::Key key) { return QKeyCombination(Qt::ControlModifier, key); }

// The side decides which selection or history a shared action opens.
void BySide(F& f, void (F::*purchase)(), void (F::*sales)(), void (F::*stock)())
{
    if (f.CVFlag == 2 && purchase)
        (f.*purchase)();
    else if (f.CVFlag == 1 && sales)
        (f.*sales)();
    else if (f.CVFlag == 3 && stock)
        (f.*stock)();
}

void ReturnHistory(F& f)
{
    BySide(f, &F::ShowPurchaseReturnProcess, &F::ShowSalesReturnProcess, &F::ShowBackDrawProcess);
}

const QVector<TBillActionDef> kActions = {
    {"ASaveNew", 1, "保存新增(&S)", kNone, false, false, &F::ASaveNew, [](F& f) { f.SaveAndNewBill(); }},
    {"Aok", 2, "确定(&A)", kNone, false, false, &F::Aok, [](F& f) {
         if (f.SaveBill())
             f.close();
     }},
    {"ACancel", 3, "取消(&C)", kNone, false, false, &F::ACancel, [](F& f) { f.close(); }},
    {"ANew", 4, "新开单据(&N)", Ctrl(Qt::Key_N), false, false, &F::ANew, [](F& f) {
         if (f.QuerySaveChanges())
             f.NewBill();
     }},
    {"ADeleteBill", 5, "删除单据(&D)", Ctrl(Qt::Key_D), false, false, &F::ADeleteBill, [](F& f) { f.DeleteBill(); }},
    {"AFirst", 6, "第一单(&F)", Ctrl(Qt::Key_Home), false, false, &F::AFirst, [](F& f) { f.GotoFirstBill(); }},
    {"APrev", 7, "前单", Ctrl(Qt::Key_Up), false, false, &F::APrev, [](F& f) { f.GotoPriorBill(); }},
    {"ANext", 8, "后单", Ctrl(Qt::Key_Down), false, false, &F::ANext, [](F& f) { f.GotoNextBill(); }},
    {"ALast", 9, "最后单(&L)", Ctrl(Qt::Key_End), false, false, &F::ALast, [](F& f) { f.GotoLastBill(); }},
    {"ARefresh", 10, "刷新(&R)", Ctrl(Qt::Key_R), false, false, &F::ARefresh, [](F& f) { f.RefreshBill(); }},
    {"ABillFind", 11, "业务查找(&F)...", Ctrl(Qt::Key_F), false, false, &F::ABillFind, [](F& f) { f.FindBill(); }},
    {"ALoadCred", 12, "调阅凭证", kNone, false, false, &F::ALoadCred, [](F& f) { f.ViewVoucher(); }},
    {"AMakeRedBill", 13, "单据冲红", kNone, false, false, &F::AMakeRedBill, [](F& f) { f.MakeRedBill(); }},
    {"AReferFile", 14, "引用审批文件", kNone, false, false, &F::AReferFile, [](F& f) { f.ReferOrLaunchApprovalFile(3); }},
    {"ALaunchFile", 15, "发起审批文件", kNone, false, false, &F::ALaunchFile, [](F& f) { f.ReferOrLaunchApprovalFile(4); }},
    {"ALookReferFile", 16, "查看引用文件", kNone, false, false, &F::ALookReferFile, [](F& f) { f.ViewApprovalFile(1); }},
    {"ALookLaunchFile", 17, "查看发起文件", kNone, false, false, &F::ALookLaunchFile, [](F& f) { f.ViewApprovalFile(2); }},
    {"APrint", 18, "打印", Ctrl(Qt::Key_P), false, false, &F::APrint, [](F& f) { f.PrintFromAction(false); }},
    {"APrintView", 19, "打印预览", kNone, false, false, &F::APrintView, [](F& f) { f.PrintFromAction(true); }},
    {"ACopyBill", 20, "整单复制", Ctrl(Qt::Key_L), false, false, &F::ACopyBill, [](F& f) { f.CopyBill(); }},
    {"ASelChance", 21, "机会报价单", kNone, true, false, &F::ASelChance, [](F& f) { f.SelectFromChance(); }},
    {"ASelPay", 22, "选择开单", kNone, true, false, &F::ASelPay,
     [](F& f) { BySide(f, &F::SelectBillsToPayPurchase, &F::SelectBillsToPaySales, nullptr); }},
    {"ASelOrder", 23, "选择订单", kNone, true, false, &F::ASelOrder,
     [](F& f) { BySide(f, &F::SelectPurchaseOrder, &F::SelectSalesOrder, &F::SelectOrderForStock); }},
    {"ASelRecieved", 24, "选择收货单", kNone, true, false, &F::ASelRecieved, [](F& f) { f.SelectGoodsReceipt(); }},
    {"ASelCRecieved", 25, "选择现款采购单", kNone, true, false, &F::ASelCRecieved, [](F& f) { f.SelectCashPurchase(); }},
    {"ASelValueRecieved", 26, "选择估价入库单", kNone, true, false, &F::ASelValueRecieved, [](F& f) { f.SelectValuedReceipt(); }},
    {"ASelInvoice", 27, "选择销售单", kNone, true, false, &F::ASelInvoice, [](F& f) { f.SelectSalesInvoice(); }},
    {"ASelCashSale", 28, "选择现款销售单", kNone, true, false, &F::ASelCashSale, [](F& f) { f.SelectCashSale(); }},
    {"ASelDeputeSale", 29, "选择委托代销单", kNone, true, false, &F::ASelDeputeSale, [](F& f) { f.SelectConsignmentSale(); }},
    {"ASelBtnLoadDetailFromFile", 30, "导入明细(&A)", kNone, false, false, &F::ASelBtnLoadDetailFromFile,
     [](F& f) { f.ImportDetailLines(); }},
    {"APayProcess", 31, "付款过程", kNone, true, false, &F::APayProcess, [](F& f) { f.ShowPayProcess(); }},
    {"AChargeProcess", 32, "收款过程", kNone, true, false, &F::AChargeProcess, [](F& f) { f.ShowChargeProcess(); }},
    {"AReturnProcess", 33, "退货过程", kNone, true, false, &F::AReturnProcess, &ReturnHistory},
    {"ASelDeputeSettlement", 34, "选择委托结算单", kNone, true, false, &F::ASelDeputeSettlement,
     [](F& f) { f.SelectConsignmentSettlement(); }},
    {"AExport", 35, "单据导出", kNone, true, false, &F::AExport, [](F& f) { f.ExportBill(); }},
    {"AInsertLine", 36, "增加明细(&N)", Ctrl(Qt::Key_Insert), false, false, &F::AInsertLine, [](F& f) { f.InsertDetailLine(); }},
    {"ADeleteLine", 37, "删除明细(&D)", Ctrl(Qt::Key_Delete), false, false, &F::ADeleteLine, [](F& f) { f.DeleteDetailLine(); }},
    {"ACopyLine", 38, "复制明细(&C)", QKeyCombination(Qt::ShiftModifier, Qt::Key_Insert), false, false, &F::ACopyLine,
     [](F& f) { f.CopyDetailLine(); }},
    {"ASelGoods", 39, "选择货品(&G)...", kNone, false, false, &F::ASelGoods, [](F& f) { f.SelectGoods(); }},
    {"ASetPrice", 40, "设置价格(&P)...", kNone, false, false, &F::ASetPrice, [](F& f) { f.SetPrice(); }},
    {"ASelReferTypeBill", 41, "查看引用单据(&R)", kNone, true, false, &F::ASelReferTypeBill, [](F& f) { f.ShowReferBill(); }},
    {"ABatchCodeCopy", 42, "批号复制", kNone, true, true, &F::ABatchCodeCopy, [](F& f) { f.CopyBatchCode(); }},
    {"ASelDraw", 43, "选择领料单", kNone, true, false, &F::ASelDraw, [](F& f) { f.SelectMaterialDraw(); }},
    {"ASelAskDeliver", 44, "ASelAskDeliver", kNone, false, false, &F::ASelAskDeliver, [](F& f) { f.SelectDeliveryRequest(); }},
    {"ASelDeliver", 45, "选择配送单", kNone, true, false, &F::ASelDeliver, [](F& f) { f.SelectDelivery(); }},
    {"ABackDrawProcess", 33, "退料过程", kNone, true, false, &F::ABackDrawProcess, &ReturnHistory},
    {"AAllotProcess", 46, "AAllotProcess", kNone, false, false, &F::AAllotProcess, [](F& f) { f.ShowAllotProcess(); }},
    {"ASelPurAppBill", 47, "选择单据", kNone, false, false, &F::ASelPurAppBill, [](F& f) { f.SelectPurchaseApplication(); }},
    {"ASelSReturn", 48, "选择销售退货单", kNone, true, false, &F::ASelSReturn, [](F& f) { f.SelectSalesReturn(); }},
    {"ASelQuotation", 49, "销售报价单", kNone, true, false, &F::ASelQuotation, [](F& f) { f.SelectQuotation(); }},
    {"ASendEMail", 50, "发送邮件", kNone, false, false, &F::ASendEMail, [](F& f) { f.SendBillByEmail(); }},
    {"ASendMsn", 51, "即时沟通", kNone, false, false, &F::ASendMsn, [](F& f) { f.SendInstantMessage(); }},
    {"ASorderToPorder", 52, "转入采购订单", kNone, true, false, &F::ASorderToPorder, [](F& f) { f.MakePOrderFromSOrder(); }},
    {"APorderToSorder", 53, "选择销售订单", kNone, true, false, &F::APorderToSorder,
     [](F& f) { f.SelectSalesOrderForPurchase(); }},
};

} // namespace

const QVector<TBillActionDef>& BillActionTable()
{
    return kActions;
}

const TBillActionDef* BillActionOfTag(int tag)
{
    for (const TBillActionDef& a : kActions)
        if (a.Tag == tag)
            return &a;
    return nullptr;
}

TLineMenuState LineMenuState(bool readOnly, bool hasLines, bool mayEdit, bool mayDelete, bool savedBill)
{
    TLineMenuState s;
    s.InsertLine = !readOnly;
    s.DeleteLine = !readOnly && hasLines;
    s.EditBill = !readOnly && mayEdit;
    s.DeleteBill = savedBill && mayDelete;
    return s;
}

void PublishLineMenuState(const TLineMenuState& state)
{
    const std::pair<const char*, bool> items[] = {
        {"InsertLineItem", state.InsertLine},
        {"DeleteLineItem", state.DeleteLine},
        {"EditItem", state.EditBill},
        {"DeleteItem", state.DeleteBill},
    };
    for (const auto& [name, enabled] : items) {
        KQParams p(QStringLiteral("ENABLED"), enabled);
        GlobalCall(QStringLiteral("SETCOMPONENTENABLED"), QString::fromLatin1(name), &p);
    }
}
