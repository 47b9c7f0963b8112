#include "server/BillProfiles.h"

namespace {

// Stock direction: +1 the lines take goods into a store, -1 they issue goods from a store, 0 the
// bill moves no stock, 2 the direction is decided per bill or per line. Quantities of reversing
// bills, valued-receipt write-backs and consignment take-backs are negative, so they move stock
// the opposite way with the same direction.
//
// Bills that may stand without lines: payments and collections of the kinds that settle no bill
// (a prepayment, a payment without money) and the bills that have no lines.
//
// The window keeps the master total at the sum of the line amounts everywhere except on the
// purchase expense, whose total with tax is typed and then spread over the receipt lines; there
// the server keeps the expense part (appamt) at the sum of what the lines took of it.
const QVector<TBillProfile> kProfiles = {
    // quotation: prices offered to a customer; nothing moves.
    {44, "QuotationForm", "销售报价单", 376, 36, 1, 36, 41, "quotation", "quotationid", "quotationdetail", "Quotation",
     "", "amount", true, "", 0, true, 1, -1},
    // sales order: goods promised; invoices and cash sales deliver them.
    {1, "SOrderForm", "销售订单", 33, 5, 1, 21, -999, "sorder", "sorderid", "sorderdetail", "Sorder",
     "amount", "amount", true, "XD", 0, true, 1, 0},
    // sales invoice: the goods sold leave storeid.
    {2, "InvoiceForm", "销售开单", 34, 6, 1, 3, 11, "invoice", "invoiceid", "saledetail", "Invoice",
     "totalamt", "amount", true, "XK", -1, true, 1, 1},
    // collection: money only; its lines are receivable bills, not goods.
    {5, "ChargeForm", "销售收款", 35, 7, 1, -999, 12, "charge", "chargeid", "chargedetail", "Charge",
     "amount", "amount", true, "XS", 0, true, 1, 2, "ispc", "1,3"},
    // cash sale: the goods sold leave storeid.
    {3, "CashSaleForm", "现款销售", 36, 8, 1, 4, 13, "csale", "csaleid", "csaledetail", "Csale",
     "totalamt", "amount", true, "XX", -1, true, 1, 3},
    // sales return: the goods taken back enter storeid (damaged ones leave again through the
    // stocktaking bill generated for them).
    {4, "SReturnForm", "销售退货", 37, 9, 1, 5, 22, "sreturn", "returnid", "returndetail", "SReturn",
     "totalamt", "amount", true, "XT", 1, true, 1, 4},
    // purchase order: goods ordered; receipts bring them in.
    {6, "PorderForm", "采购订单", 38, 1, 2, 22, -999, "Porder", "OrderID", "orderdetail", "POrder",
     "amount", "amount", true, "CD", 0, true, 2, 7},
    // goods receipt: the goods received enter storeid.
    {7, "RecieveForm", "采购收货单", 39, 2, 2, 1, 15, "recieved", "recievedid", "rcvddetail", "Recieved",
     "totalamt", "amount", true, "CS", 1, true, 2, 8},
    // payment: money only; its lines are payable bills.
    {9, "PayForm", "采购付款", 40, 4, 2, -999, 16, "pay", "payid", "paydetail", "Pay",
     "amount", "amount", true, "CF", 0, true, 2, 9, "ispp", "1,3"},
    // purchase return: the goods sent back leave storeid.
    {8, "PReturnForm", "采购退货单", 41, 3, 2, 2, 21, "preturn", "preturnid", "prdetail", "Preturn",
     "totalamt", "amount", true, "CT", -1, true, 2, 10},
    // delivery request: a wish list of a branch; nothing moves.
    {41, "AskDelieverForm", "请配单", 361, 32, 3, 33, 0, "askdeliver", "askid", "askdeliverdetail", "Askdeliver",
     "", "amount", true, "QP", 0, true, 8, 25},
    // delivery between branches: a plan; the stock moves with the transfers that refer to it.
    {42, "DeliverForm", "配送单", 362, 33, -1, -999, 0, "deliver", "deliverid", "deliverdetail", "Deliver",
     "", "amount", true, "PS", 0, true, 8, 26},
    // valued receipt: goods enter storeid at an estimated price.
    {22, "ValuedRecieveForm", "估价入库单", 42, 26, 2, 15, 35, "valuedrcvd", "billid", "valuedrcvddetail", "Valuedrcvd",
     "totalamt", "amount", true, "GR", 1, true, 2, 12},
    // valued receipt opening entry: the goods are already in the opening stock; nothing moves.
    {40, "ValuedRecieveInitForm", "估价入库初始化", 42, 26, 2, -999, 0, "valuedrcvd", "billid", "valuedrcvddetail",
     "Valuedrcvdinit", "totalamt", "amount", true, "GR", 0, true, 2, -1},
    // purchase expense: adds cost to earlier receipt lines; no quantity moves.
    {43, "PurchaseAppForm", "采购费用单", 377, 34, 2, 35, 40, "purchaseapp", "purchaseappid", "purchaseappdetail",
     "PurchaseApp", "totalamt", "goodsamt", false, "", 0, true, 2, 13, nullptr, nullptr, "appamt", "appamt"},
    // cash purchase: the goods bought enter storeid.
    {26, "CashRecieveForm", "现款采购单", 208, 27, 2, 17, 36, "crecieved", "crecievedid", "crcvddetail", "Crecieved",
     "totalamt", "amount", true, "XC", 1, true, 2, 11},
    // material requisition: materials leave outsid for production.
    {10, "DrawItemForm", "领料单", 43, 10, 3, 6, 18, "DRAWITEM", "DRAWITEMID", "drawdetail", "DrawItem",
     "TotalAmt", "amount", true, "NL", -1, true, 3, 15},
    // material return: leftover materials come back into insid.
    {11, "BackDrawForm", "退料单", 44, 11, 3, 7, 19, "BACKDRAW", "BACKDRAWID", "Backdetail", "BackDraw",
     "TotalAmt", "amount", true, "TL", 1, true, 3, 16},
    // finished goods receipt: produced goods enter insid.
    {12, "InProductForm", "产品进仓单", 45, 12, 3, 8, 17, "INPRODUCT", "INPRODUCTID", "Indetail", "Inproduct",
     "TotalAmt", "amount", true, "CJ", 1, true, 3, 14},
    // stocktaking: each line's difference (counted minus booked) enters balsid when positive and
    // leaves it when negative.
    {14, "BalItemForm", "盘点单", 46, 16, 3, 11, 20, "BalItem", "BALITEMID", "BalDetail", "BalItem",
     "TotalAmt", "amount", true, "CP", 2, true, 3, 17},
    // cost adjustment: revalues stock; no quantity moves.
    {19, "AdjApForm", "存货调价单", 47, 13, 3, 9, 28, "Adjap", "AdjapID", "DAdjap", "adjap",
     "TotalAmt", "amount", true, "TJ", 0, true, 3, 21},
    // transfer: every line leaves outsid and enters insid.
    {13, "AllotForm", "调拨单", 48, 17, 3, 13, 25, "Allot", "AllotID", "DAllot", "Allot",
     "TotalAmt", "amount", true, "DB", 2, true, 3, 18},
    // assembly issues the component lines and takes the master goods in; disassembly the other
    // way round.
    {16, "CombinForm", "组装/拆卸单", 49, 14, 3, 10, 29, "combin", "combinid", "combind", "combin",
     "totalamt", "amount", true, "ZZ", 2, true, 3, 20},
    // other stock movement: in or out as the stock-change type says. The bill has always named its
    // total with a trailing blank.
    {15, "InOutForm", "库存变动单", 50, 15, 3, 12, 26, "Inout", "INOUTID", "DINOUT", "InOut",
     "TotalAmt ", "amount", true, "RC", 2, true, 3, 19},
    // expense, income, fund transfer: money only.
    {17, "ExpenseForm", "费用开支", 51, 18, -1, 24, 30, "Expense", "ExpenseID", "ExpenseD", "Expense",
     "AMOUNT", "amount", true, "KZ", 0, true, 4, 23},
    {18, "IncomeForm", "其它收入", 52, 19, -1, 25, 31, "Income", "IncomeID", "IncomeD", "Income",
     "AMOUNT", "amount", true, "SR", 0, true, 4, 22},
    {20, "MoveMoneyForm", "银行存取款单", 53, 22, -1, 26, 32, "MoveMoney", "MoveID", nullptr, "MoveMoney",
     "", "", false, "MV", 0, false, 4, 24},
    // POS sale: recorded by the terminals; the stock leaves when the day close books it.
    {23, "POSBillForm", "POS销售单", 175, 23, -1, -999, 0, "POSBILLDATE", "BillID", "posdetail", "Posbilldate",
     "Amount", "amount", true, "", 0, true, 5, 27},
    // consignment delivery: goods leave storeid for the consignee.
    {27, "DeputeSaleForm", "委托代销", 1751, 1750, 1, 19, 37, "deputesale", "deputesaleid", "deputesaledetail",
     "Deputesale", "totalamt", "amount", true, "WT", -1, true, 1, 5},
    // consignment settlement: the goods already left with the delivery.
    {28, "DeputeSettlementForm", "代销结算", 1752, 1751, 1, -999, 39, "deputesettlement", "deputesettlementid",
     "deputesettlementdetail", "Deputesettlement", "totalamt", "amount", true, "TX", 0, true, 1, 6},
    // consignment opening entry: goods at consignees at the start; nothing moves.
    {29, "DeputeSaleInitForm", "委托代销初始化", 1753, 1752, 1, -999, 0, "deputesaleinit", "deputesaleinitid",
     "deputesaleinitdetail", "Deputesaleinit", "totalamt", "amount", true, "QC", 0, true, 1, -1},
    // goods discount: prices for the terminals; nothing moves.
    {30, "SetGoodsDiscountForm", "商品限时打折", 1760, 1754, -1, 30, 0, "goodsdiscount", "goodsdiscountid",
     "goodsdiscountdetail", "Goodsdiscount", "", "", false, "SZ", 0, true, 5, -1},
    // cashier hand-in: money only.
    {25, "OperatorTurninForm", "POS收银员出入款单", 176, 24, -1, 29, 0, "InoutCash", "ID", nullptr, "inoutcash",
     "AMOUNT", "", false, "JK", 0, false, 5, 28},
    // POS day close: the day's POS sales leave storeid.
    {24, "POSCloseBillForm", "POS日结单", 178, 25, -1, 14, 34, "POSDAY", "BillID", "POSDAYDETAIL", "Posday",
     "amount", "amount", true, "RJ", -1, true, 5, 29},
    // wage payment: money only.
    {21, "DisLaborageForm", "支付工资", 96, 6, -1, 23, 33, "DisLaborage", "ID", nullptr, "Dislaborage",
     "", "", false, "DL", 0, false, 4, -1},
};

// Money. Purchasing and sales bills on credit run up the partner's account; cash bills, refunds
// taken at once and payments move a money account; payments and collections settle the account
// and keep what was paid beyond the bills as an advance. The cases the forms leave open are
// decided so:
//   - a return refunded at once (backmoney 'T') leaves the partner's account alone and puts the
//     refund through the account it names; otherwise it lowers what is owed;
//   - a purchase expense is owed to its vendor in full less what is paid with it at once
//     (paidamt, out of bankid);
//   - payment kinds (ispp, ispc for collections): 0 settles `amount` of bills, pays factamount, and
//     keeps factamount + discamount - amount as advance (negative: the advance is used up); 1 is
//     an advance of `amount` paid with factamount; 2 settles `amount` out of the advance, no money
//     moves; 3 changes the advance by `amount` without money;
//   - a consignment settlement of type 0 is on credit, any other type is cash into bankid;
//   - valued receipts (estimates until the vendor's invoice), orders, quotations, deliveries and
//     the POS bills move no partner account here; POS money is booked by the till, not the bills.
const TMoneyEffect kMoneyEffects[] = {
    {7, 1, "totalamt", 0, nullptr, 0, nullptr, nullptr},
    {26, 0, nullptr, 0, nullptr, -1, "bankid", "totalamt"},
    {8, -1, "case when backmoney = 'T' then 0 else totalamt end", 0, nullptr, 1, "bankid", "case when backmoney = 'T' then totalamt else 0 end"},
    {43, 1, "totalamt - ifnull(paidamt, 0)", 0, nullptr, -1, "bankid", "ifnull(paidamt, 0)"},
    {9, -1, "case when ifnull(ispp, 0) in (0, 2) then amount else 0 end", 1,
     "case ifnull(ispp, 0) when 0 then ifnull(factamount, 0) + ifnull(discamount, 0) - amount when 2 then -amount else amount end", -1, "bankid",
     "case when ifnull(ispp, 0) in (0, 1) then ifnull(factamount, 0) else 0 end"},
    {2, 1, "totalamt", 0, nullptr, 0, nullptr, nullptr},
    {3, 0, nullptr, 0, nullptr, 1, "bankid", "totalamt"},
    {4, -1, "case when backmoney = 'T' then 0 else totalamt end", 0, nullptr, -1, "bankid", "case when backmoney = 'T' then totalamt else 0 end"},
    {5, -1, "case when ifnull(ispc, 0) in (0, 2) then amount else 0 end", 1,
     "case ifnull(ispc, 0) when 0 then ifnull(factamount, 0) + ifnull(discamount, 0) - amount when 2 then -amount else amount end", 1, "bankid",
     "case when ifnull(ispc, 0) in (0, 1) then ifnull(factamount, 0) else 0 end"},
    {28, 1, "case when ifnull(settlementtype, 0) = 0 then totalamt else 0 end", 0, nullptr, 1, "bankid",
     "case when ifnull(settlementtype, 0) = 0 then 0 else totalamt end"},
    {17, 0, nullptr, 0, nullptr, -1, "bankid", "amount"},
    {18, 0, nullptr, 0, nullptr, 1, "bankid", "amount"},
    {20, 0, nullptr, 0, nullptr, -1, "outbankid", "amount", "inbankid"},
    {21, 0, nullptr, 0, nullptr, -1, "bankid", "amount"},
};

QString Text(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

} // namespace

QString TBillProfile::SaveProcName() const
{
    return QStringLiteral("Submit_") + QLatin1String(ProcStem) + QStringLiteral("_Save");
}

QString TBillProfile::DeleteProcName() const
{
    return QStringLiteral("Submit_") + QLatin1String(ProcStem) + QStringLiteral("_Del");
}

QString TBillProfile::RedProcName() const
{
    return QStringLiteral("Submit_") + QLatin1String(ProcStem) + QStringLiteral("_Red");
}

QString TBillProfile::ClassName() const
{
    return QLatin1Char('T') + QLatin1String(FormName);
}

bool TBillProfile::StandsAloneWith(const QVariant& aloneValue) const
{
    if (!NeedsLines)
        return true;
    if (!AloneValues || aloneValue.isNull())
        return false;
    const QString value = aloneValue.toString().trimmed();
    for (const QString& v : QString::fromLatin1(AloneValues).split(QLatin1Char(',')))
        if (v.trimmed() == value)
            return true;
    return false;
}

const TMoneyEffect* MoneyEffectOf(int billType)
{
    for (const TMoneyEffect& e : kMoneyEffects)
        if (e.BillType == billType)
            return &e;
    return nullptr;
}

const QVector<TBillProfile>& BillProfiles()
{
    return kProfiles;
}

const TBillProfile* BillProfileOfType(int billType)
{
    for (const TBillProfile& p : kProfiles)
        if (p.BillType == billType)
            return &p;
    return nullptr;
}

const TBillProfile* BillProfileOfForm(const QString& formName)
{
    for (const TBillProfile& p : kProfiles)
        if (formName.compare(QLatin1String(p.FormName), Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const TBillProfile* BillProfileOfProcedure(const QString& procName)
{
    for (const TBillProfile& p : kProfiles)
        for (const QString& name : {p.SaveProcName(), p.DeleteProcName(), p.RedProcName()})
            if (procName.compare(name, Qt::CaseInsensitive) == 0)
                return &p;
    return nullptr;
}

QVector<TBillKindColumn> BillKindRow(const TBillProfile& p)
{
    // Column names go to the server as it spells its columns: trimmed, lower case; none is null.
    const auto column = [](const char* s) {
        const QString name = Text(s).trimmed().toLower();
        return name.isEmpty() ? QVariant() : QVariant(name);
    };
    // A total the server keeps needs both columns.
    const char* sumTotal = p.SumTotalField ? p.SumTotalField : p.MasterTotalField;
    const char* sumAmount = p.SumTotalField ? p.SumAmountField : p.LineAmountField;
    const bool summed = !column(sumTotal).isNull() && !column(sumAmount).isNull();
    const TMoneyEffect none{p.BillType, 0, nullptr, 0, nullptr, 0, nullptr, nullptr};
    const TMoneyEffect* money = MoneyEffectOf(p.BillType);
    if (!money)
        money = &none;
    const auto expr = [](const char* s) { return s ? QVariant(Text(s)) : QVariant(); };
    return {
        {"billtype", p.BillType},
        {"formname", Text(p.FormName)},
        {"mastertable", Text(p.MasterTable)},
        {"keyfield", Text(p.KeyField)},
        {"detailtable", p.DetailTable ? QVariant(Text(p.DetailTable)) : QVariant()},
        {"stockdir", p.StockDirection},
        {"cvflag", p.CVFlag},
        {"caption", Text(p.Caption)},
        {"dbbilltype", p.DBBillType},
        {"privilegeid", p.PrivilegeId},
        {"codeprefix", Text(p.CodePrefix)},
        {"needlines", p.NeedsLines ? 1 : 0},
        {"alonefield", column(p.AloneField)},
        {"alonevalues", p.AloneValues ? QVariant(Text(p.AloneValues)) : QVariant()},
        {"totalfield", summed ? column(sumTotal) : QVariant()},
        {"amountfield", summed ? column(sumAmount) : QVariant()},
        {"reporttype", p.ReportType},
        {"credtype", p.RelevantCredType},
        {"procstem", Text(p.ProcStem)},
        {"totalfromlines", p.TotalFromLines ? 1 : 0},
        {"tradeside", p.TradeSide},
        {"balsign", money->BalanceSign},
        {"balamount", expr(money->BalanceAmount)},
        {"sursign", money->PrepaidSign},
        {"suramount", expr(money->PrepaidAmount)},
        {"banksign", money->BankSign},
        {"bankfield", expr(money->BankField)},
        {"bankamount", expr(money->BankAmount)},
        {"bankinfield", expr(money->CounterBankField)},
    };
}

QStringList BillKindColumnNames()
{
    QStringList names;
    for (const TBillKindColumn& c : BillKindRow(kProfiles.first()))
        names << QLatin1String(c.Name);
    return names;
}
