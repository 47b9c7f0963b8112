#include "goodsbill/MasterServices.h"

#include "host/DataServices.h"
#include "host/Rounding.h"
#include "services/MoneyToChinese.h"
#include "webrpc/Connection.h"

#include <cmath>

// Choices the rules leave open, made once here:
// - A bill is fully invoiced when its invoiced amount reaches its total to the cent (in
//   size, so that reversing bills read alike); partly when something but less is invoiced.
// - The partner's print variables are the vendor's on purchase-side bills and the
//   client's elsewhere; address and phone, bank and account are joined by a space.
// - Settlement totals: 本结 is what this bill settles, 总额 the bills' totals, 已结 what was
//   settled before, 未结 what stays open after this bill.
// - Clearing the partner clears the debt and balance and removes the source lines as a
//   change of partner does; the partner's other copied fields stay.

namespace {

const QString kBillDate = QStringLiteral("billdate");
const QString kTermDays = QStringLiteral("termdays");
const QString kDueDate = QStringLiteral("CTermDays");
const QString kPayType = QStringLiteral("paytypeid");
const QString kSendEmail = QStringLiteral("SendEMail");

constexpr int kPurchaseExpenseBill = 43;
constexpr int kStockInOutBill = 15;

bool Named(const TField* f, const QString& name) { return f && f->FieldName().compare(name, Qt::CaseInsensitive) == 0; }

} // namespace

TTaxColumns TaxColumnsFor(int billType, int tradeSide, int k, bool separateTax)
{
    TTaxColumns t;
    if (tradeSide == tsPurchase) {
        t.Applies = true;
        t.TaxPrice = k == 2 && billType != 7 && billType != 26;
        t.GoodsAmt = t.TaxAmt = k == 3;
        t.TaxRate = k == 3 || billType == kSalesOrderBillType;
        t.AmountTitle = k == 3 ? QStringLiteral("价税合计") : QStringLiteral("合计");
    } else if (tradeSide == tsSales) {
        t.Applies = true;
        t.TaxPrice = k == 2;
        const bool separateBill = billType == 2 || billType == 3 || billType == 4 || billType == 28;
        t.GoodsAmt = t.TaxAmt = separateBill ? separateTax && k != 1 : k != 1 || billType == kSalesOrderBillType;
        t.TaxRate = k != 1 || billType == kSalesOrderBillType;
        t.AmountTitle = k == 1 ? QStringLiteral("合计") : QStringLiteral("价税合计");
    }
    return t;
}

QString InvoicedMarkText(double checkAmt, double totalAmt)
{
    if (!std::isfinite(checkAmt) || !std::isfinite(totalAmt))
        return QString();
    const double invoiced = std::abs(Round(checkAmt, 2));
    const double total = std::abs(Round(totalAmt, 2));
    if (invoiced == 0)
        return QString();
    return invoiced >= total ? QStringLiteral("已开票") : QStringLiteral("部分开票");
}

TMasterServices::TMasterServices(TGoodsBillContext* context, TGoodsLines* lines) : TGoodsEngine(context), FLines(lines)
{
    SaleControl = Option(QStringLiteral("SALECONTROL"));
}

TMasterServices::~TMasterServices() = default;

bool TMasterServices::MasterFieldChanged(TField* field)
{
    if (!field || Context().WriteDepth > 0)
        return false;
    if (Named(field, Context().Names.MasterClientID))
        ClientChanged();
    else if (Named(field, kTermDays))
        TermDaysChanged();
    else if (Named(field, kDueDate))
        DueDateChanged();
    else if (Named(field, kPayType))
        PayTypeChanged();
    else if (FLines && TGoodsLines::RememberedKind(field->FieldName(), true) != 0)
        FLines->UserDefChanged(field);
    else
        return false;
    return true;
}

void TMasterServices::ClientChanged()
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    TField* partner = MField(n.MasterClientID);
    if (!partner)
        return;
    TWriting writing(ctx);
    const int id = Int(partner);
    if (FLines && BillType() != kPurchaseExpenseBill && BillType() != kStockInOutBill)
        FLines->DeleteSourceLines();
    ContactFilter = QStringLiteral("closed = 0 and clientid = ") + QString::number(id);
    if (id == 0) {
        PutMaster(QStringLiteral("DebtAmt"), QVariant());
        PutMaster(QStringLiteral("BalAmt"), QVariant());
        return;
    }
    TClientDataSet c;
    // the client's salesman counts only while the employee is active and may operate
    ctx.Con->OpenDataSet(QStringLiteral(" Select c.*, E.EmpID as EmployID, E.DepartmentID as EmployDepartmentID "
                                        " From Client C Left Join Employ e "
                                        "  On c.Empid = e.EmpID and e.Sign='T' and e.IsOperate='T' "
                                        "  where c.ClientID = :id"),
                         &c, {{QStringLiteral("id"), id}});
    if (c.IsEmpty())
        return;
    auto copy = [&](const QString& target, const char* source) {
        if (TField* from = c.FindField(QString::fromLatin1(source)))
            PutMaster(target, from->Value());
    };
    copy(QStringLiteral("clientname"), "shortname");
    copy(QStringLiteral("clientfullname"), "name");
    copy(QStringLiteral("clientaddress"), "address");
    copy(QStringLiteral("clientfax"), "fax");
    copy(QStringLiteral("shipto"), "shipto");
    copy(QStringLiteral("billto"), "shipto");
    copy(QStringLiteral("phone"), "phone");
    copy(QStringLiteral("fax"), "fax");
    copy(QStringLiteral("Credit"), "credit");
    copy(QStringLiteral("suramt"), "suramt");
    copy(QStringLiteral("balance"), "balance");
    copy(QStringLiteral("contator"), "contator");
    copy(n.ExeManID, "EmployID");
    copy(QStringLiteral("EMPID"), "EmployID");
    copy(QStringLiteral("DepartmentID"), "EmployDepartmentID");

    PutMaster(QStringLiteral("linkmanid"),
              ctx.Con->ExecuteScalar(QStringLiteral("select top 1 CL.ID from crm_linkman CL"
                                                    " left join crm_trader CT on CL.traderid = CT.id"
                                                    " left join Client C on CT.traderid = C.ClientID"
                                                    " where C.clientid = :id order by ismaster desc, CL.id"),
                                     {{QStringLiteral("id"), id}}));

    const double owed = TruncateCurrency(Num(c.FindField(QStringLiteral("balance"))) - Num(c.FindField(QStringLiteral("suramt"))));
    const int kind = Int(c.FindField(QStringLiteral("clientkind")));
    if (kind == 1 || kind == 2) {
        PutMaster(QStringLiteral("DebtAmt"), kind == 1 ? owed : -owed);
        PutMaster(QStringLiteral("BalAmt"), kind == 1 ? -owed : owed);
    }
}

TTaxColumns TMasterServices::TaxColumns() const
{
    const TField* kind = MField(Context().Names.MasterBillTypeID);
    if (!kind)
        return {};
    return TaxColumnsFor(BillType(), TradeSide(), Int(kind), SeparateTaxDisplay);
}

void TMasterServices::TermDaysChanged()
{
    TField* date = MField(kBillDate);
    TField* days = MField(kTermDays);
    if (!date || date->IsNull() || !days || !MField(kDueDate))
        return;
    TWriting writing(Context());
    PutMaster(kDueDate, date->AsDateTime().addDays(Int(days)));
}

void TMasterServices::DueDateChanged()
{
    TField* date = MField(kBillDate);
    TField* due = MField(kDueDate);
    if (!date || date->IsNull() || !due || due->IsNull() || !MField(kTermDays))
        return;
    TWriting writing(Context());
    PutMaster(kTermDays, date->AsDateTime().date().daysTo(due->AsDateTime().date()));
}

void TMasterServices::PayTypeChanged()
{
    TGoodsBillContext& ctx = Context();
    const int payType = MasterInt(kPayType);
    TField* bank = MField(QStringLiteral("bankid"));
    if (!bank || payType == 0)
        return;
    TClientDataSet row;
    ctx.Con->OpenDataSet(QStringLiteral("select a.*, b.shopid as bankshopid from Paytype a left outer join bank b"
                                        " on a.bankid = b.bankid where paytypeid = :id"),
                         &row, {{QStringLiteral("id"), payType}});
    if (row.IsEmpty())
        return;
    const TField* payBank = row.FindField(QStringLiteral("bankid"));
    if (!payBank || payBank->IsNull())
        return;
    const int bankShop = Int(row.FindField(QStringLiteral("bankshopid")));
    if (ctx.Session.Online && bankShop != 0 && bankShop != ctx.Session.ShopID)
        return;
    TWriting writing(ctx);
    Put(bank, payBank->Value());
}

double TMasterServices::GetBankBalance(int bankId) const
{
    return Context()
        .Con->ExecuteScalar(QStringLiteral("select balance from bank where bankid = :id"), {{QStringLiteral("id"), bankId}})
        .toDouble();
}

void TMasterServices::MarkEmailSent()
{
    const TGoodsBillContext& ctx = Context();
    const QString code = Text(MField(QStringLiteral("code")));
    if (ctx.MasterTable.isEmpty() || code.isEmpty())
        return;
    ctx.Con->Execute(QStringLiteral(" update ") + ctx.MasterTable + QStringLiteral(" set SendEMail='T' where code = :code"),
                     {{QStringLiteral("code"), code}});
}

bool TMasterServices::ConfirmResendEmail()
{
    if (EmailMarkText().isEmpty())
        return true;
    return Ask(QStringLiteral("该单据已经发送过邮件，是否重新发送邮件？"));
}

QString TMasterServices::EmailMarkText() const
{
    return Text(MField(kSendEmail)).trimmed() == QLatin1String("T") ? QStringLiteral("已发邮件") : QString();
}

QString TMasterServices::InvoicedMark() const
{
    const TField* check = MField(QStringLiteral("checkamt"));
    const TField* total = MField(QStringLiteral("totalamt"));
    return check && total ? InvoicedMarkText(Num(check), Num(total)) : QString();
}

TPrintVariables TMasterServices::PartnerPrintVariables() const
{
    const TGoodsBillContext& ctx = Context();
    TPrintVariables vars;
    const bool vendor = TradeSide() == tsPurchase;
    const QString who = vendor ? QStringLiteral("供应商") : QStringLiteral("客户");
    TClientDataSet c;
    ctx.Con->OpenDataSet(QStringLiteral(" select * from client where clientid = :id"), &c,
                         {{QStringLiteral("id"), MasterInt(ctx.Names.MasterClientID)}});
    if (!c.IsEmpty()) {
        auto text = [&c](const char* name) { return Text(c.FindField(QString::fromLatin1(name))); };
        vars.append({who + QStringLiteral("编码"), text("Code")});
        vars.append({who + QStringLiteral("名称"), text("ShortName")});
        vars.append({who + QStringLiteral("全称"), text("Name")});
        vars.append({who + QStringLiteral("税号"), text("TaxID")});
        vars.append({who + QStringLiteral("地址电话"), (text("Address") + u' ' + text("Phone")).trimmed()});
        vars.append({who + QStringLiteral("地址"), text("Address")});
        vars.append({who + QStringLiteral("电话"), text("Phone")});
        vars.append({who + QStringLiteral("开户银行及帐号"), (text("Bank") + u' ' + text("BankID")).trimmed()});
    }
    const double fact = MasterNum(QStringLiteral("factamount"));
    const QString paid = vendor ? QStringLiteral("实付") : QStringLiteral("实收");
    vars.append({paid + QStringLiteral("大写"), std::isfinite(fact) && std::abs(fact) < 1e12 ? MoneyToChinese(fact) : QString()});
    vars.append({paid + QStringLiteral("小写"), fact});

    TClientDataSet* d = ctx.Detail;
    if (d && d->Active() && d->FindField(QStringLiteral("total")) && d->FindField(QStringLiteral("totalrcvd"))) {
        const double settled = TruncateCurrency(GetDataSetSum(d, ctx.Names.Amount));
        const double total = TruncateCurrency(GetDataSetSum(d, QStringLiteral("total")));
        const double before = TruncateCurrency(GetDataSetSum(d, QStringLiteral("totalrcvd")));
        vars.append({QStringLiteral("本结总计"), settled});
        vars.append({QStringLiteral("总额总计"), total});
        vars.append({QStringLiteral("已结总计"), before});
        vars.append({QStringLiteral("未结总计"), TruncateCurrency(total - before - settled)});
    }
    return vars;
}

bool TMasterServices::HasOverdueBills(int clientId, int billId) const
{
    const TGoodsBillContext& ctx = Context();
    auto ownBillLeftOut = [&ctx](const char* table) {
        return ctx.MasterTable.compare(QString::fromLatin1(table), Qt::CaseInsensitive) == 0 && !ctx.KeyField.isEmpty()
                   ? QStringLiteral(" and ") + ctx.KeyField + QStringLiteral(" <> :bill")
                   : QString();
    };
    const QString sql = QStringLiteral("select code from invoice where billdate+termdays<getdate() and clientid = :client")
                        + ownBillLeftOut("invoice")
                        + QStringLiteral("  union select code from deputesettlement where billdate+termdays<getdate()"
                                         " and clientid = :client")
                        + ownBillLeftOut("deputesettlement");
    TClientDataSet rows;
    ctx.Con->OpenDataSet(sql, &rows, {{QStringLiteral("client"), clientId}, {QStringLiteral("bill"), billId}});
    return !rows.IsEmpty();
}
