#include "pickers/SelectBillLines.h"

#include "billcore/BillBaseForm.h"
#include "host/Messages.h"
#include "pickers/SelectBillForm.h"
#include "services/BillDB.h"

#include <QAction>
#include <QHash>

#include <optional>
#include <utility>

namespace {

// How a bill takes the lines of one kind of source bill.
struct TSourcePlan {
    TSourceKind Kind;
    int DialogKind;     // the dialog's kind (the source bill type)
    QString Condition;  // the calling bill's own condition on the source bills
    TSqlParams Params;
    int PartyID = 0;
};

std::optional<TSourceKind> ReceivingKind(int sourceKind)
{
    static const QHash<int, TSourceKind> kinds{
        {6, TSourceKind::PurchaseOrder},   {1, TSourceKind::SalesOrder},      {7, TSourceKind::GoodsReceipt},
        {26, TSourceKind::CashPurchase},   {22, TSourceKind::ValuedReceipt},  {2, TSourceKind::Invoice},
        {3, TSourceKind::CashSale},        {27, TSourceKind::ConsignmentSale}, {28, TSourceKind::ConsignmentSettlement},
        {10, TSourceKind::MaterialDraw},   {4, TSourceKind::SalesReturn},     {44, TSourceKind::Quotation},
        {41, TSourceKind::DeliveryRequest}, {42, TSourceKind::DeliveryOrder},  {5, TSourceKind::BillsToSettle},
        {9, TSourceKind::BillsToSettle},
    };
    const auto it = kinds.constFind(sourceKind);
    return it == kinds.cend() ? std::nullopt : std::optional<TSourceKind>(it.value());
}

TSourcePlan PlanOf(const TBillLinesSetup& bill, TSourceKind kind, int sourceKind)
{
    TSourcePlan p{kind, sourceKind, QString::fromLatin1(SourceKindInfo(kind).Condition), {}, 0};
    const TGoodsFieldNames& n = bill.Names;
    auto MasterInt = [&bill](const QString& field) { return bill.MasterInt(field); };
    switch (kind) {
    case TSourceKind::DeliveryRequest:
        p.PartyID = MasterInt(QStringLiteral("INSHOPID"));
        break;
    case TSourceKind::DeliveryOrder:
        // the receiving store: a distribution bill's INSTOREID, a transfer's insid
        p.PartyID = MasterInt(QStringLiteral("INSTOREID"));
        if (p.PartyID == 0)
            p.PartyID = MasterInt(QStringLiteral("insid"));
        break;
    case TSourceKind::MaterialDraw:
        break; // issues belong to no partner
    case TSourceKind::SalesOrder:
        // a purchase order takes the sales orders of any client
        if (bill.CVFlag != 2)
            p.PartyID = MasterInt(n.MasterClientID);
        break;
    case TSourceKind::ValuedReceipt:
        p.Condition = QStringLiteral(" and a.storeid = :storeid") + p.Condition;
        p.Params << qMakePair(QStringLiteral("storeid"), QVariant(MasterInt(n.MasterStoreID)));
        p.PartyID = MasterInt(n.MasterClientID);
        break;
    default:
        p.PartyID = MasterInt(n.MasterClientID);
        break;
    }
    return p;
}

// A purchase expense apportions over receipts and cash purchases alike: each chosen line is
// handed to the receiving end of its own kind, named by that kind's key.
int AddPurchaseAppLines(TGoodsLines& lines, const TReturnValue& chosen)
{
    int added = 0;
    for (const auto& [type, kind, key] : {std::tuple{7, TSourceKind::GoodsReceipt, "recievedid"},
                                         std::tuple{26, TSourceKind::CashPurchase, "crecievedid"}}) {
        TReturnValue part;
        for (int r = 1; r <= chosen.RowCount(); ++r) {
            const TListValue* row = chosen.Row(r);
            if (row->GetValue(QStringLiteral("billtype")).toInt() != type)
                continue;
            TListValue* out = part.AddRow();
            for (int i = 0; i < row->Count(); ++i)
                out->SetValue(row->GetNameAt(i), row->GetValueAt(i));
            out->SetValue(QString::fromLatin1(key), row->GetValue(QStringLiteral("billid")));
        }
        if (part.RowCount() == 0)
            continue;
        TClientDataSet ds;
        ReturnValueToDataSet(part, &ds);
        added += lines.AddSourceLines(kind, &ds);
    }
    return added;
}

} // namespace

int TBillLinesSetup::MasterInt(const QString& field) const
{
    const TField* f = field.isEmpty() || !Master || !Master->Active() ? nullptr : Master->FindField(field);
    return f && !f->IsNull() ? f->AsInteger() : 0;
}

TFormLineEngine::TFormLineEngine(const TBillLinesSetup& bill)
{
    FCtx.Con = bill.Con;
    FCtx.Session = bill.Session;
    FCtx.Master = bill.Master;
    FCtx.Detail = bill.Detail;
    FCtx.Names = bill.Names;
    FCtx.Settings = bill.Settings;
    FCtx.MasterTable = bill.MasterTable;
    FCtx.KeyField = bill.KeyField;
    FCtx.DetailTable = bill.DetailTable;
    FCtx.BillDB = TBillDB::Current();
    FCtx.BillReadOnly = bill.ReadOnly;
    const TBillSession session = FCtx.Session;
    FPricing = std::make_unique<TLinePricing>(bill.Detail, FCtx.Names, FCtx.Settings,
                                              TPricingOptions::Read([session](const QString& k) { return session.OptionValue(k); }),
                                              bill.Master);
    FPricing->SetConnection(FCtx.Con);
    FLines = std::make_unique<TGoodsLines>(&FCtx, FPricing.get());
}

TFieldChangesTakenOver::TFieldChangesTakenOver(TClientDataSet* ds, std::function<void(TField*)> handler) : FDataSet(ds)
{
    for (int i = 0; i < ds->FieldCount(); ++i)
        FHandlers << std::exchange(ds->Fields(i)->OnChange, handler);
}

TFieldChangesTakenOver::~TFieldChangesTakenOver()
{
    for (int i = 0; i < FDataSet->FieldCount() && i < FHandlers.size(); ++i)
        FDataSet->Fields(i)->OnChange = std::move(FHandlers[i]);
}

int TakeSourceLines(const TBillLinesSetup& bill, int sourceKind)
{
    if (!bill.Master || !bill.Detail || !bill.Master->Active() || !bill.Detail->Active() || (bill.ReadOnly && bill.ReadOnly()))
        return 0;
    const bool purchaseApp = sourceKind == 43;
    const std::optional<TSourceKind> kind = purchaseApp ? TSourceKind::GoodsReceipt : ReceivingKind(sourceKind);
    if (!kind)
        return 0;
    bill.Master->CheckBrowseMode();
    bill.Detail->CheckBrowseMode();

    TFormLineEngine engine(bill);
    TGoodsLines& lines = engine.Lines();
    if (!lines.CanSelectSource(*kind)) {
        if (lines.FocusOnMaster() && bill.FocusMasterField)
            bill.FocusMasterField(lines.FocusRequest());
        return 0;
    }
    const TSourcePlan plan = PlanOf(bill, *kind, sourceKind);
    const TField* date = bill.Master->FindField(bill.DateFieldName);
    const QDate billDate = date && !date->IsNull() ? date->AsDateTime().date() : QDate();
    TReturnValue chosen;
    const bool ok = purchaseApp ? ShowSelectPurAppBill(sourceKind, plan.PartyID, billDate, &chosen, QString())
                                : ShowSelectBill(plan.DialogKind, plan.PartyID, &chosen, plan.Condition, plan.Params, billDate);
    if (!ok || chosen.RowCount() == 0)
        return 0;

    int added = 0;
    {
        // the engine writes the lines and the source's memo and user fields itself: the
        // window's routines (asking to remember a text, say) stay out of it
        const TFieldChangesTakenOver quiet(bill.Detail, nullptr);
        const TFieldChangesTakenOver quietMaster(bill.Master, nullptr);
        if (purchaseApp) {
            added = AddPurchaseAppLines(lines, chosen);
        } else {
            TClientDataSet rows;
            ReturnValueToDataSet(chosen, &rows);
            added = lines.AddSourceLines(*kind, &rows);
        }
    }
    if (bill.LinesChanged)
        bill.LinesChanged();
    return added;
}

void ShowSourceActions(TBillBaseForm* form)
{
    // bill type -> the selection actions it offers
    static const QHash<int, QStringList> shown{
        {6, {QStringLiteral("APorderToSorder")}},
        {7, {QStringLiteral("ASelOrder"), QStringLiteral("ASelValueRecieved")}},
        {26, {QStringLiteral("ASelOrder"), QStringLiteral("ASelValueRecieved")}},
        {22, {QStringLiteral("ASelOrder"), QStringLiteral("ASelValueRecieved")}},
        {8, {QStringLiteral("ASelRecieved"), QStringLiteral("ASelCRecieved")}},
        {2, {QStringLiteral("ASelOrder")}},
        {3, {QStringLiteral("ASelOrder")}},
        {4, {QStringLiteral("ASelInvoice"), QStringLiteral("ASelCashSale"), QStringLiteral("ASelDeputeSettlement")}},
        {27, {QStringLiteral("ASelOrder"), QStringLiteral("ASelDeputeSale"), QStringLiteral("ASelQuotation")}},
        {28, {QStringLiteral("ASelDeputeSale")}},
        {13, {QStringLiteral("ASelDeliver")}},
        {11, {QStringLiteral("ASelDraw")}},
        {14, {QStringLiteral("ASelSReturn")}},
        {9, {QStringLiteral("ASelPay")}},
        {5, {QStringLiteral("ASelPay")}},
    };
    if (!form)
        return;
    for (const QString& name : shown.value(form->BillType))
        if (QAction* a = form->ActionByName(name))
            a->setVisible(true);
}
