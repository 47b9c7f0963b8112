// The command dispatcher: each command, its modal and non-modal display, the keys it reads
// and the forms of other modules it reaches through the package seams.
#include "PackageFixture.h"

#include "bills/BillForms.h"
#include "package/PackageSeams.h"
#include "platform/DBControls.h"

#include <QApplication>
#include <QDialog>
#include <QToolButton>

namespace {

// A purchase order stored directly, so that commands have a bill to open.
void InsertOrder(TClientConnection& con, int id, const QString& code, const QString& date, int opid = 1)
{
    con.Execute(QStringLiteral("insert into porder (orderid, code, billdate, shopid, opid, clientid, closed, finished,"
                               " refercount, printed, amount) values (:id, :code, :d, 1, :op, 1, 'F', 'F', 0, 0, 0)"),
                {{QStringLiteral("id"), id}, {QStringLiteral("code"), code},
                 {QStringLiteral("d"), date + QStringLiteral(" 00:00:00")}, {QStringLiteral("op"), opid}});
}

// What a scripted modal handler saw of the bill form framed in the dialog.
struct TSeen {
    bool Shown = false;
    QString DialogName;
    QPointer<TBillBaseForm> Form;
    int CurrentBillID = 0;
    bool LoadCredEnabled = true;
    bool ArchEnabled = true;
    int SourceOrderID = 0;
    bool FromSourceOrder = false;
};

TScriptedMessages::TDialogHandler Record(TSeen& seen)
{
    return [&seen](QDialog* d) {
        seen.Shown = true;
        seen.DialogName = d->objectName();
        seen.Form = d->findChild<TBillBaseForm*>();
        if (seen.Form) {
            seen.CurrentBillID = seen.Form->CurrentBillID;
            seen.LoadCredEnabled = seen.Form->ALoadCred->isEnabled();
            seen.ArchEnabled = seen.Form->btnArch ? seen.Form->btnArch->isEnabled() : true;
            seen.SourceOrderID = seen.Form->SourceOrderID;
            seen.FromSourceOrder = seen.Form->FromSourceOrder;
        }
        return int(QDialog::Accepted);
    };
}

} // namespace

// ---- opening bill forms

TEST_F(TPackageTest, ShowBillFormIsCaseInsensitiveAndStartsANewBill)
{
    EXPECT_EQ(Bill_Call(QStringLiteral("showbillform"), QStringLiteral("sorderform"), nullptr), 0);
    TSOrderForm* form = OnlyForm<TSOrderForm>();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->IsNewBill);
    EXPECT_EQ(FMessages->Count(TMessageKind::Modal), 0);
}

TEST_F(TPackageTest, ShowBillFormWithoutTheNewRightShowsTheFirstBill)
{
    // The clerk's own orders: without the right to see other operators' bills, only those count.
    InsertOrder(*FCon, 501, QStringLiteral("CD-2"), QStringLiteral("2024-03-02"), 2);
    InsertOrder(*FCon, 502, QStringLiteral("CD-1"), QStringLiteral("2024-03-01"), 2);
    InsertOrder(*FCon, 503, QStringLiteral("CD-0"), QStringLiteral("2024-02-01"), 1);
    Grant(2, 33, paBrowse); // the clerk may add purchase orders but not sales orders
    Login(2);
    // The clerk works in branch 1, where the orders are.
    Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("SOrderForm"), nullptr);
    TSOrderForm* so = OnlyForm<TSOrderForm>();
    ASSERT_NE(so, nullptr);
    EXPECT_TRUE(so->IsNewBill) << "no sales order stored: the first bill is a new one";

    Grant(2, 38, paBrowse);
    FCon->Execute(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 2"));
    ReloadPrivileges();
    Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("PorderForm"), nullptr);
    TPorderForm* po = OnlyForm<TPorderForm>();
    ASSERT_NE(po, nullptr);
    EXPECT_FALSE(po->IsNewBill);
    EXPECT_EQ(po->CurrentBillID, 502) << "the oldest order comes first";
}

TEST_F(TPackageTest, ShowBillFormOfAnUnknownOrRefusedFormDoesNothing)
{
    EXPECT_EQ(Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("NoSuchForm"), nullptr), 0);
    Login(2); // no right on sales orders
    EXPECT_EQ(Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("SOrderForm"), nullptr), 0);
    EXPECT_TRUE(LiveBillForms().isEmpty());
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("您没有该功能的操作权限！")));
}

TEST_F(TPackageTest, ShowBillFormFromCredLoadsTheBillModallyAndDestroysTheForm)
{
    InsertOrder(*FCon, 601, QStringLiteral("CD-601"), QStringLiteral("2024-04-01"));
    TSeen seen;
    FMessages->OnModal(Record(seen));
    KQParams bag(QStringLiteral("BILLID"), 601);
    Bill_Call(QStringLiteral("ShowBillFormFromCred"), QStringLiteral("porderform"), &bag);
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.DialogName, QStringLiteral("PorderForm"));
    EXPECT_EQ(seen.CurrentBillID, 601);
    EXPECT_FALSE(seen.LoadCredEnabled) << "the voucher cannot be opened again from inside";
    EXPECT_TRUE(seen.Form.isNull()) << "destroyed after the dialog";
    EXPECT_TRUE(LiveBillForms().isEmpty());

    // Without a bag the form is still shown, with no bill loaded.
    TSeen bare;
    FMessages->OnModal(Record(bare));
    Bill_Call(QStringLiteral("SHOWBILLFORMFROMCRED"), QStringLiteral("PorderForm"), nullptr);
    EXPECT_TRUE(bare.Shown);
    EXPECT_EQ(bare.CurrentBillID, kNoBillID);
}

TEST_F(TPackageTest, EnterBillBaseShowsModallyAndLeavesTheFormAlive)
{
    TSeen seen;
    FMessages->OnModal(QStringLiteral("InvoiceForm"), Record(seen));
    Bill_Call(QStringLiteral("enterbillbase"), QStringLiteral("InvoiceForm"), nullptr);
    ASSERT_TRUE(seen.Shown);
    ASSERT_FALSE(seen.Form.isNull()) << "not destroyed by the command";
    EXPECT_TRUE(seen.Form->IsNewBill);
    EXPECT_FALSE(seen.Form->isVisible());
    EXPECT_EQ(OnlyForm<TInvoiceForm>(), seen.Form.data());
}

TEST_F(TPackageTest, GotoOneBillByTypeMapsTypesToForms)
{
    KQParams none;
    none.AddValue(QStringLiteral("BillType"), 35);
    none.AddValue(QStringLiteral("BillID"), 1);
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &none);
    for (int unused : {0, 31, 39, 45}) {
        KQParams bag(QStringLiteral("BillType"), unused);
        Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &bag);
    }
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), nullptr);
    EXPECT_TRUE(LiveBillForms().isEmpty());

    KQParams init;
    init.AddValue(QStringLiteral("BillType"), 40);
    init.AddValue(QStringLiteral("BillID"), 77777); // no such bill: a new one is started
    Bill_Call(QStringLiteral("GotoOneBillByType"), QString(), &init);
    TValuedRecieveInitForm* form = OnlyForm<TValuedRecieveInitForm>();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(OnlyForm<TValuedRecieveForm>(), nullptr);
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("该单据已不存在或者您无权查看该单据！")));
}

TEST_F(TPackageTest, GotoOneBillByTypeIsModalOnlyWhenMODALIsPresent)
{
    InsertOrder(*FCon, 701, QStringLiteral("CD-701"), QStringLiteral("2024-05-01"));
    KQParams onlyModal;
    onlyModal.AddValue(QStringLiteral("BillType"), 6);
    onlyModal.AddValue(QStringLiteral("BillID"), 701);
    onlyModal.AddValue(QStringLiteral("Modal"), true);
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &onlyModal);
    EXPECT_EQ(FMessages->Count(TMessageKind::Modal), 0);
    TPorderForm* shown = OnlyForm<TPorderForm>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->CurrentBillID, 701);
    delete shown;

    TSeen seen;
    FMessages->OnModal(Record(seen));
    KQParams modal = onlyModal;
    modal.AddValue(QStringLiteral("MODAL"), true);
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &modal);
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.CurrentBillID, 701);
    EXPECT_FALSE(seen.ArchEnabled) << "no approval files from a modal view";

    // "MODAL" present but "Modal" false: not modal.
    KQParams off = onlyModal;
    off.AddValue(QStringLiteral("MODAL"), true);
    off.AddValue(QStringLiteral("Modal"), false);
    const int before = FMessages->Count(TMessageKind::Modal);
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &off);
    EXPECT_EQ(FMessages->Count(TMessageKind::Modal), before);
}

TEST_F(TPackageTest, GotoPorderFormHandsTheSalesOrderToAModalPurchaseOrder)
{
    TSeen seen;
    FMessages->OnModal(Record(seen));
    KQParams bag(QStringLiteral("BILLID"), 42);
    Bill_Call(QStringLiteral("gotoporderform"), QStringLiteral("porderform"), &bag);
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.SourceOrderID, 42);
    EXPECT_TRUE(seen.FromSourceOrder);
    EXPECT_FALSE(seen.LoadCredEnabled);
    EXPECT_TRUE(seen.Form.isNull());

    // Any other subject does nothing.
    Bill_Call(QStringLiteral("GOTOPORDERFORM"), QStringLiteral("SOrderForm"), &bag);
    EXPECT_EQ(FMessages->PendingDialogs(), 0);
    EXPECT_TRUE(LiveBillForms().isEmpty());
}

// ---- the Edit menu

TEST_F(TPackageTest, EditMenuDrivesTheSenderBill)
{
    InsertOrder(*FCon, 801, QStringLiteral("CD-801"), QStringLiteral("2024-06-01"));
    InsertOrder(*FCon, 802, QStringLiteral("CD-802"), QStringLiteral("2024-06-02"));
    InsertOrder(*FCon, 803, QStringLiteral("CD-803"), QStringLiteral("2024-06-03"));
    Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("PorderForm"), nullptr);
    TPorderForm* form = OnlyForm<TPorderForm>();
    ASSERT_NE(form, nullptr);
    auto menu = [&](const char* word) {
        KQParams bag;
        bag.AddValue(QStringLiteral("Sender"), form);
        Bill_Call(QStringLiteral("EditMenuClickInBill"), QString::fromLatin1(word), &bag);
        EXPECT_TRUE(bag.GetBool(QStringLiteral("Result"))) << word;
    };
    menu("first");
    EXPECT_EQ(form->CurrentBillID, 801);
    menu("NEXT");
    EXPECT_EQ(form->CurrentBillID, 802);
    menu("Last");
    EXPECT_EQ(form->CurrentBillID, 803);
    menu("PRIOR");
    EXPECT_EQ(form->CurrentBillID, 802);
    menu("EDIT");
    EXPECT_EQ(form->cdsMaster->State(), TDataSetState::dsEdit);
    form->cdsMaster->Cancel();
    const int lines = form->cdsDetail->RecordCount();
    menu("INSERTLINE");
    EXPECT_EQ(form->cdsDetail->State(), TDataSetState::dsInsert);
    form->cdsDetail->Cancel();
    EXPECT_EQ(form->cdsDetail->RecordCount(), lines);
    menu("REFRESH");
    EXPECT_EQ(form->CurrentBillID, 802);
    menu("NEW");
    EXPECT_TRUE(form->IsNewBill);
}

TEST_F(TPackageTest, EditMenuPrintChangesNothingAndStillAnswers)
{
    InsertOrder(*FCon, 901, QStringLiteral("CD-901"), QStringLiteral("2024-07-01"));
    KQParams open;
    open.AddValue(QStringLiteral("BillType"), 6);
    open.AddValue(QStringLiteral("BillID"), 901);
    Bill_Call(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &open);
    TPorderForm* form = OnlyForm<TPorderForm>();
    ASSERT_NE(form, nullptr);
    const int shown = FMessages->Count();
    KQParams bag;
    bag.AddValue(QStringLiteral("Sender"), form);
    Bill_Call(QStringLiteral("EDITMENUCLICKINBILL"), QStringLiteral("PRINT"), &bag);
    EXPECT_TRUE(bag.GetBool(QStringLiteral("Result")));
    EXPECT_EQ(form->CurrentBillID, 901);
    EXPECT_FALSE(form->IsNewBill);
    EXPECT_EQ(form->cdsMaster->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(FMessages->Count(), shown) << "nothing printed, nothing asked";

    // A sender that is not a bill form: nothing happens, the answer is still given.
    QWidget plain;
    KQParams other;
    other.AddValue(QStringLiteral("Sender"), &plain);
    Bill_Call(QStringLiteral("EDITMENUCLICKINBILL"), QStringLiteral("NEW"), &other);
    EXPECT_TRUE(other.GetBool(QStringLiteral("Result")));
    EXPECT_EQ(Bill_Call(QStringLiteral("EDITMENUCLICKINBILL"), QStringLiteral("NEW"), nullptr), 0);
}

// ---- the bill search

TEST_F(TPackageTest, FindBillFormSearchesTheActiveBillOrEveryBill)
{
    struct TSearch {
        TBillBaseForm* Form;
        int Category, Index;
    };
    QList<TSearch> searches;
    TBillBaseForm::ShowBillSearch = [&](TBillBaseForm* f, int c, int i) { searches << TSearch{f, c, i}; };
    QObject* active = nullptr;
    RegistFunctionEx(QStringLiteral("GETPROPERTYVALUE"),
                     [&](const QString&, const QString& subject, KQParams*) {
                         return subject == QLatin1String("ACTIVEMDICHILD") ? ObjectToVariant(active) : QVariant();
                     });

    Bill_Call(QStringLiteral("FindBillForm"), QString(), nullptr);
    ASSERT_EQ(searches.size(), 1);
    EXPECT_EQ(searches[0].Form, nullptr);
    EXPECT_EQ(searches[0].Category, 0);
    EXPECT_EQ(searches[0].Index, -1);
    EXPECT_TRUE(BillBaseForm.isNull());

    Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("AllotForm"), nullptr);
    TAllotForm* allot = OnlyForm<TAllotForm>();
    ASSERT_NE(allot, nullptr);
    active = allot;
    Bill_Call(QStringLiteral("FINDBILLFORM"), QString(), nullptr);
    EXPECT_EQ(BillBaseForm.data(), allot);
    ASSERT_EQ(searches.size(), 2);
    EXPECT_EQ(searches[1].Form, allot);

    // Without the search right nothing is opened.
    Login(2);
    Bill_Call(QStringLiteral("FINDBILLFORM"), QString(), nullptr);
    EXPECT_EQ(searches.size(), 2);
}

// ---- pickers

TEST_F(TPackageTest, PickGoodsFiltersByTheBillType)
{
    struct TCall {
        QString Text, Filter;
        TClientDataSet* Target;
        bool Multi, UnitAndQty;
        int Store, Client;
    };
    QList<TCall> calls;
    TPackageSeams::PickGoods = [&](const QString& text, TClientDataSet* ds, bool multi, int store, int client,
                                   const QString& filter, bool uq) {
        calls << TCall{text, filter, ds, multi, uq, store, client};
        return true;
    };
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("AllotForm"), QStringLiteral(" g.closed='F' and g.kind<4 ")},
        {QStringLiteral("PurchaseAppForm"), QStringLiteral(" g.closed='F' and (g.inf_costingtypeid=1 or g.inf_costingtypeid=3)")},
        {QStringLiteral("InOutForm"), QStringLiteral(" g.closed='F' and g.inf_costingtypeid<>2")},
        {QStringLiteral("AdjApForm"), QStringLiteral(" g.closed='F' and g.inf_costingtypeid<>2 and g.inf_costingtypeid<>4")},
        {QStringLiteral("DeputeSaleForm"), QStringLiteral(" g.closed='F' and g.kind<=4")},
        {QStringLiteral("InvoiceForm"), QStringLiteral(" g.closed='F' ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        Bill_Call(QStringLiteral("SHOWBILLFORM"), c.first, nullptr);
        QList<TBillBaseForm*> forms = LiveBillForms();
        ASSERT_EQ(forms.size(), 1);
        TBillBaseForm* bill = forms.first();
        auto* combo = new TDBLookupCombo(bill);
        combo->setProperty("Filter", QStringLiteral("closed='F'"));
        KQParams bag;
        bag.AddValue(QStringLiteral("AProDBLookupGridCombo"), combo);
        calls.clear();
        Bill_Call(QStringLiteral("pick"), QStringLiteral("goods"), &bag);
        ASSERT_EQ(calls.size(), 1);
        EXPECT_EQ(calls[0].Filter, c.second);
        EXPECT_TRUE(calls[0].Multi);
        EXPECT_TRUE(calls[0].UnitAndQty);
        EXPECT_EQ(calls[0].Target, bill->cdsDetail);
        delete bill;
    }
}

TEST_F(TPackageTest, PickGoodsOffersStoreAndClientOfTheBill)
{
    int calledStore = -7, calledClient = -7;
    TPackageSeams::PickGoods = [&](const QString&, TClientDataSet*, bool, int store, int client, const QString&, bool) {
        calledStore = store;
        calledClient = client;
        return false;
    };
    Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("InvoiceForm"), nullptr);
    TInvoiceForm* bill = OnlyForm<TInvoiceForm>();
    ASSERT_NE(bill, nullptr);
    auto* combo = new TDBLookupCombo(bill);
    KQParams bag;
    bag.AddValue(QStringLiteral("AProDBLookupGridCombo"), combo);
    Bill_Call(QStringLiteral("PICK"), QStringLiteral("GOODS"), &bag);
    EXPECT_EQ(calledStore, 0) << "a new invoice has no store yet";
    EXPECT_EQ(calledClient, 0);

    SafeSetFieldValue(bill->cdsMaster, QStringLiteral("storeid"), 2);
    SafeSetFieldValue(bill->cdsMaster, QStringLiteral("clientid"), 5);
    Bill_Call(QStringLiteral("PICK"), QStringLiteral("GOODS"), &bag);
    EXPECT_EQ(calledStore, 2);
    EXPECT_EQ(calledClient, 5);
}

TEST_F(TPackageTest, PickGoodsFromTheOpportunityFormKeepsTheComboFilter)
{
    QString caption, filter;
    int store = 0, client = 0;
    TPackageSeams::PickGoods = [&](const QString& text, TClientDataSet*, bool, int s, int c, const QString& f, bool) {
        caption = text;
        filter = f;
        store = s;
        client = c;
        return true;
    };
    QWidget crm;
    crm.setObjectName(QStringLiteral("CRMChanceEditForm"));
    auto* combo = new TDBLookupCombo(&crm);
    combo->setProperty("Filter", QStringLiteral("kind=1"));
    KQParams bag;
    bag.AddValue(QStringLiteral("AProDBLookupGridCombo"), combo);
    Bill_Call(QStringLiteral("PICK"), QStringLiteral("GOODS"), &bag);
    EXPECT_EQ(caption, QStringLiteral("请选择货品"));
    EXPECT_EQ(filter, QStringLiteral("kind=1"));
    EXPECT_EQ(store, -1);
    EXPECT_EQ(client, -1);

    // Any other owner: nothing.
    QWidget other;
    auto* lone = new TDBLookupCombo(&other);
    KQParams bag2;
    bag2.AddValue(QStringLiteral("AProDBLookupGridCombo"), lone);
    caption.clear();
    Bill_Call(QStringLiteral("PICK"), QStringLiteral("GOODS"), &bag2);
    EXPECT_TRUE(caption.isEmpty());
}

TEST_F(TPackageTest, PickClientAndVendorWriteTheChosenId)
{
    TClientDataSet ds;
    ds.AddField(QStringLiteral("clientid"), TFieldType::ftInteger);
    ds.CreateDataSet();
    ds.Append();
    ds.FieldByName(QStringLiteral("clientid"))->SetAsInteger(3);
    ds.Post();
    TField* field = ds.FieldByName(QStringLiteral("clientid"));

    int kind = 0, answer = 9;
    bool accept = true;
    QString seenFilter;
    TPackageSeams::PickClient = [&](int k, int& id, const QString& f) {
        kind = k;
        seenFilter = f;
        if (accept)
            id = answer;
        return accept;
    };
    auto pick = [&](const char* subject) {
        KQParams bag;
        bag.AddValue(QStringLiteral("Field"), static_cast<qint64>(reinterpret_cast<quintptr>(field)));
        bag.AddValue(QStringLiteral("DropDownFilter"), QStringLiteral("shopid=1"));
        Bill_Call(QStringLiteral("PICK"), QString::fromLatin1(subject), &bag);
    };
    pick("client");
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(seenFilter, QStringLiteral("shopid=1"));
    EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
    EXPECT_EQ(field->AsInteger(), 9);
    ds.Post();

    answer = 0; // chosen "nothing": edit mode, value kept
    pick("VENDOR");
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
    EXPECT_EQ(field->AsInteger(), 9);
    ds.Post();

    accept = false;
    answer = 4;
    pick("Vendor");
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(field->AsInteger(), 9);
}

// ---- forms of other modules

TEST_F(TPackageTest, BillManageFormIsReusedWhenOpen)
{
    Bill_Call(QStringLiteral("BILLMANAGEFORM"), QString(), nullptr);
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("该功能模块没有安装")));

    int created = 0;
    TPackageSeams::CreateBillManage = [&]() {
        ++created;
        auto* w = new QWidget;
        w->setObjectName(QStringLiteral("BillManageForm"));
        return w;
    };
    Bill_Call(QStringLiteral("BillManageForm"), QString(), nullptr);
    Bill_Call(QStringLiteral("billmanageform"), QString(), nullptr);
    EXPECT_EQ(created, 1);
    int open = 0;
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String("BillManageForm")) {
            ++open;
            EXPECT_TRUE(w->isVisible());
        }
    EXPECT_EQ(open, 1);
}

TEST_F(TPackageTest, ModalFormsOfOtherModulesAreShownAndDestroyed)
{
    struct TCase {
        const char* Command;
        TPackageSeams::TFormFactory* Slot;
    };
    const TCase cases[] = {{"PRINTSAMEDIT", &TPackageSeams::CreatePrintSamEdit},
                           {"SetPosBatch", &TPackageSeams::CreateSetPosBatch},
                           {"drpform", &TPackageSeams::CreateDRPForm}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Command);
        FMessages->ClearRecords();
        Bill_Call(QString::fromLatin1(c.Command), QString(), nullptr);
        EXPECT_TRUE(FMessages->Contains(QStringLiteral("该功能模块没有安装")));

        QPointer<QWidget> made;
        *c.Slot = [&made]() {
            auto* w = new QWidget; // a plain form: the dispatcher frames it in a dialog
            w->setObjectName(QStringLiteral("OtherModuleForm"));
            made = w;
            return w;
        };
        bool shown = false;
        bool editorKept = false;
        FMessages->OnModal(QStringLiteral("OtherModuleForm"), [&](QDialog* d) {
            shown = d->findChild<QWidget*>(QStringLiteral("OtherModuleForm")) != nullptr;
            editorKept = !PrintSamEdit.isNull() && PrintSamEdit.data() == made.data();
            return int(QDialog::Accepted);
        });
        Bill_Call(QString::fromLatin1(c.Command), QString(), nullptr);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(made.isNull()) << "destroyed after the dialog";
        EXPECT_EQ(editorKept, QByteArray(c.Command) == "PRINTSAMEDIT");
        EXPECT_TRUE(PrintSamEdit.isNull());
        *c.Slot = nullptr;
    }
}
