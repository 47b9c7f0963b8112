// The lines of a bill document: the master total kept in step while lines are typed, changed,
// removed and recomputed by a bill's own hooks; line numbers; writable fields; and hooks a
// headless bill engine overrides.
#include "DocumentFixture.h"

#include "server/BillProfiles.h"

namespace {

double Total(TBillDocument* d) { return d->cdsMaster->FieldByName(d->MasterAmountFieldName.trimmed())->AsFloat(); }

// A bill engine without a window: a quantity edit prices the line the way a pricing step does,
// writing with the dataset's events silenced.
class TPricingDocument : public TBillDocument {
public:
    using TBillDocument::TBillDocument;
    int ValidateCalls = 0;
    bool RefuseMaster = false;
    void DetailFieldChanged(TField* field) override
    {
        if (field->FieldName() != QLatin1String("unitqty"))
            return;
        TClientDataSet* d = field->DataSet();
        const double amount = field->AsFloat() * d->FieldByName("unitprice")->AsFloat();
        d->Silence();
        d->FieldByName("goodsamt")->SetValue(amount);
        d->FieldByName("amount")->SetValue(amount);
        d->WakeUp();
    }
    bool ValidateMaster() override
    {
        ++ValidateCalls;
        return !RefuseMaster && TBillDocument::ValidateMaster();
    }
};

} // namespace

TEST_F(TBillDocTest, TheMasterTotalFollowsEveryLineEditBeforeAnythingIsPosted)
{
    TBillDocument* d = NewDocument();
    d->NewBill();
    AddLine(d, 2, 10);
    AddLine(d, 3, 1.25);
    EXPECT_DOUBLE_EQ(Total(d), 23.75);

    // Typing into the current line moves the total at once, without a post.
    d->cdsDetail->First();
    d->cdsDetail->FieldByName("amount")->SetValue(100.5);
    EXPECT_EQ(d->cdsDetail->State(), TDataSetState::dsEdit);
    EXPECT_DOUBLE_EQ(Total(d), 104.25);
    d->cdsDetail->FieldByName("amount")->SetValue(0.1);
    d->cdsDetail->FieldByName("amount")->SetValue(0.2);
    EXPECT_DOUBLE_EQ(Total(d), 3.95) << "no drift across many small edits";
    d->cdsDetail->Cancel();
    EXPECT_DOUBLE_EQ(Total(d), 23.75) << "a cancelled edit takes its amount back";

    // Another line, a removed line, a new line left empty.
    d->cdsDetail->Last();
    d->cdsDetail->FieldByName("amount")->SetValue(-3.75);
    EXPECT_DOUBLE_EQ(Total(d), 16.25);
    d->cdsDetail->Post();
    d->cdsDetail->First();
    ASSERT_TRUE(d->DeleteLine());
    EXPECT_DOUBLE_EQ(Total(d), -3.75);
    ASSERT_TRUE(d->AppendLine());
    EXPECT_TRUE(d->DeleteLine()) << "an empty new line is just dropped";
    EXPECT_DOUBLE_EQ(Total(d), -3.75);
    d->cdsDetail->First();
    ASSERT_TRUE(d->DeleteLine());
    EXPECT_DOUBLE_EQ(Total(d), 0) << "a bill of goods without lines totals nothing";

    // Saved, the stored total is the lines' sum.
    AddLine(d, 4, 2.5);
    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    EXPECT_DOUBLE_EQ(DbValue(QStringLiteral("select amount from porder where orderid = %1").arg(d->CurrentBillID)).toDouble(), 10);
    EXPECT_FALSE(d->IsBillModified()) << "opening a saved bill writes nothing into it";
}

// Edits that hop from line to line (the checks of a save walk every line) keep the total
// exact without counting the lines again; values changed silently make it count them again.
TEST_F(TBillDocTest, TheTotalFollowsEditsThatMoveFromLineToLine)
{
    TBillDocument* d = NewDocument();
    d->NewBill();
    for (int i = 0; i < 5; ++i)
        AddLine(d, 1, 1.5 + i);
    const auto sum = [d] {
        double s = 0;
        const int col = d->cdsDetail->FieldByName("amount")->Index();
        for (int r = 0; r < d->cdsDetail->RecordCount(); ++r)
            s += d->cdsDetail->RowValue(r, col).toDouble();
        return s;
    };
    EXPECT_DOUBLE_EQ(Total(d), sum());
    const double amounts[] = {7.25, 0.01, 123456789.12, -2, 0, 1e-4};
    int k = 0;
    for (int pass = 0; pass < 3; ++pass)
        for (d->cdsDetail->First(); !d->cdsDetail->Eof(); d->cdsDetail->Next()) {
            d->cdsDetail->FieldByName("amount")->SetValue(amounts[k++ % 6] + pass);
            EXPECT_NEAR(Total(d), sum(), 1e-6) << "pass " << pass << " line " << d->cdsDetail->RecNo();
        }
    d->cdsDetail->CheckBrowseMode();

    d->cdsDetail->First();
    d->cdsDetail->Silence();
    d->cdsDetail->FieldByName("amount")->SetValue(1000);
    d->cdsDetail->Post();
    d->cdsDetail->WakeUp();
    d->cdsDetail->Last();
    d->cdsDetail->FieldByName("amount")->SetValue(3);
    EXPECT_NEAR(Total(d), sum(), 1e-6) << "the silent 1000 is counted once another line is edited";
}

TEST_F(TBillDocTest, AmountsABillsOwnHookWritesSilentlyAreCountedOnce)
{
    auto d = std::make_unique<TPricingDocument>(FCon.get(), SessionOf(1));
    d->ApplyProfile(*BillProfileOfForm(QStringLiteral("PorderForm")));
    d->MasterSQL = QStringLiteral("select a.* from Porder a where a.OrderID = %s");
    d->DetailSQL = QStringLiteral("select d.* from orderdetail d where d.OrderID = %s order by d.itemno");
    d->InitDocument();
    d->NewBill();
    ASSERT_TRUE(d->AppendLine());
    d->cdsDetail->FieldByName("unitprice")->SetValue(2.5);
    d->cdsDetail->FieldByName("unitqty")->SetValue(4);
    EXPECT_DOUBLE_EQ(d->cdsDetail->FieldByName("amount")->AsFloat(), 10);
    EXPECT_DOUBLE_EQ(Total(d.get()), 10);
    d->cdsDetail->FieldByName("unitqty")->SetValue(6);
    EXPECT_DOUBLE_EQ(Total(d.get()), 15);
    d->cdsDetail->Post();

    // Code that changes many lines with events off asks for a recount.
    d->cdsDetail->Silence();
    for (d->cdsDetail->First(); !d->cdsDetail->Eof(); d->cdsDetail->Next())
        d->cdsDetail->FieldByName("amount")->SetValue(1);
    d->cdsDetail->CheckBrowseMode();
    d->cdsDetail->WakeUp();
    EXPECT_DOUBLE_EQ(Total(d.get()), 15);
    d->KeepMasterTotal();
    EXPECT_DOUBLE_EQ(Total(d.get()), 1);

    // The engine's own check runs inside the save.
    d->RefuseMaster = true;
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(d->ValidateCalls, 1);
}

TEST_F(TBillDocTest, BillsThatMayStandAloneKeepATypedTotalAndALeadingTotalIsLeftAlone)
{
    // A prepayment has no lines: its typed amount stays.
    TBillDocument* pay = NewDocumentOf(QStringLiteral("PayForm"), QStringLiteral("select a.* from pay a where a.payid = %s"),
                                       QStringLiteral("select d.* from paydetail d where d.payid = %s order by d.itemno"));
    pay->NewBill();
    SetMaster(pay, QStringLiteral("ispp"), 1);
    SetMaster(pay, QStringLiteral("amount"), 500);
    EXPECT_TRUE(pay->MayStandAlone());
    ASSERT_TRUE(pay->AppendLine());
    EXPECT_TRUE(pay->DeleteLine());
    EXPECT_DOUBLE_EQ(Total(pay), 500);
    ASSERT_TRUE(pay->AppendLine());
    pay->cdsDetail->FieldByName("amount")->SetValue(120);
    EXPECT_DOUBLE_EQ(Total(pay), 120) << "once bills are settled, they make the amount";
    // A payment that settles bills settles nothing without them.
    SetMaster(pay, QStringLiteral("ispp"), 0);
    EXPECT_FALSE(pay->MayStandAlone());
    ASSERT_TRUE(pay->DeleteLine());
    EXPECT_DOUBLE_EQ(Total(pay), 0);

    // The purchase expense types its total and spreads it over the lines.
    TBillDocument* expense =
        NewDocumentOf(QStringLiteral("PurchaseAppForm"), QStringLiteral("select a.* from purchaseapp a where a.purchaseappid = %s"),
                      QStringLiteral("select d.* from purchaseappdetail d where d.purchaseappid = %s order by d.itemno"));
    expense->NewBill();
    SetMaster(expense, QStringLiteral("totalamt"), 80);
    ASSERT_TRUE(expense->AppendLine());
    expense->cdsDetail->FieldByName("goodsamt")->SetValue(3000);
    EXPECT_DOUBLE_EQ(Total(expense), 80);
}

TEST_F(TBillDocTest, NewLinesNumberOnFromTheHighestWithoutReusingANumber)
{
    TBillDocument* d = NewDocument();
    const int id = SaveNewBill(d, QDate(2024, 3, 1), QString(), {1, 2, 3});
    FCon->Execute(QStringLiteral("update orderdetail set itemno = 9 where orderid = %1 and itemno = 2").arg(id));
    ASSERT_TRUE(d->LoadBillByID(id));
    EXPECT_EQ(d->MaxItemNo(), 9);
    ASSERT_TRUE(d->AppendLine());
    EXPECT_EQ(d->cdsDetail->FieldByName("itemno")->AsInteger(), 10);
    d->cdsDetail->FieldByName("itemno")->SetValue(20);
    d->cdsDetail->FieldByName("goodsid")->SetValue(1);
    d->cdsDetail->Post();
    ASSERT_TRUE(d->DeleteLine());
    ASSERT_TRUE(d->AppendLine());
    EXPECT_EQ(d->cdsDetail->FieldByName("itemno")->AsInteger(), 21) << "a removed line's number is not given again";
    EXPECT_EQ(d->cdsDetail->FieldByName("orderid")->AsInteger(), id);
    EXPECT_EQ(d->cdsDetail->FieldByName("rcvdqty")->AsFloat(), 0);
    EXPECT_EQ(d->cdsDetail->FieldByName("ispresent")->AsString(), QStringLiteral("F"));
}

TEST_F(TBillDocTest, OpenedBillsAreWritableAndAClosedDatasetIsOpenedFirst)
{
    TBillDocument* d = NewDocument();
    const int id = SaveNewBill(d, QDate(2024, 3, 1));
    d->cdsMaster->FieldByName("memo")->ReadOnly = true;
    ASSERT_TRUE(d->LoadBillByID(id));
    for (TClientDataSet* ds : {d->cdsMaster, d->cdsDetail})
        for (int i = 0; i < ds->FieldCount(); ++i)
            EXPECT_FALSE(ds->Fields(i)->ReadOnly) << ds->Fields(i)->FieldName().toStdString();

    TClientDataSet closed;
    closed.AddField(QStringLiteral("name"), TFieldType::ftString, 20)->ReadOnly = true;
    TBillDocument::MakeFieldsWritable(&closed);
    ASSERT_TRUE(closed.Active());
    closed.Append();
    closed.FieldByName("name")->SetValue(QStringLiteral("可写"));
    closed.Post();
    EXPECT_EQ(closed.RecordCount(), 1);
}

namespace {

// A bill whose line check walks every line and refuses the one with the given amount.
class TLineCheckingDocument : public TBillDocument {
public:
    using TBillDocument::TBillDocument;
    double Refused = -1;
    bool QuietDuringWalk = true;
    bool ValidateDetail() override
    {
        for (cdsDetail->First(); !cdsDetail->Eof(); cdsDetail->Next()) {
            QuietDuringWalk = QuietDuringWalk && cdsDetail->ControlsDisabled();
            if (cdsDetail->FieldByName("amount")->AsFloat() == Refused) {
                Prompts().Error(QStringLiteral("第 %1 行不对").arg(cdsDetail->RecNo()), QStringLiteral("错误"));
                return false;
            }
        }
        return TBillDocument::ValidateDetail();
    }
};

// What the dataset looked like when the user was told.
class TWatchingPrompter : public TBillPrompter {
public:
    explicit TWatchingPrompter(TClientDataSet* lines) : FLines(lines) {}
    void Error(const QString& text, const QString&) override
    {
        Text = text;
        ShownQuiet = FLines->ControlsDisabled();
        ShownAt = FLines->RecNo();
    }
    QString Text;
    bool ShownQuiet = true;
    int ShownAt = 0;

private:
    TClientDataSet* FLines;
};

} // namespace

// The save's checks walk the lines without the grid following; a refusal wakes the grid on the
// line it names before the user reads it, and the grid is awake again whatever the outcome.
TEST_F(TBillDocTest, TheChecksWalkTheLinesQuietlyAndWakeTheGridToTell)
{
    auto d = std::make_unique<TLineCheckingDocument>(FCon.get(), SessionOf(1));
    d->ApplyProfile(*BillProfileOfForm(QStringLiteral("PorderForm")));
    d->MasterSQL = QStringLiteral("select a.* from Porder a where a.OrderID = %s");
    d->DetailSQL = QStringLiteral("select d.* from orderdetail d where d.OrderID = %s order by d.itemno");
    d->InitDocument();
    TWatchingPrompter prompts(d->cdsDetail);
    d->SetPrompter(&prompts);
    d->NewBill();
    for (int i = 1; i <= 4; ++i)
        AddLine(d.get(), 1, i);

    d->Refused = 3;
    EXPECT_FALSE(d->SaveBill());
    EXPECT_TRUE(d->QuietDuringWalk);
    EXPECT_EQ(prompts.Text, QStringLiteral("第 3 行不对"));
    EXPECT_FALSE(prompts.ShownQuiet) << "the grid is woken before the message";
    EXPECT_EQ(prompts.ShownAt, 3);
    EXPECT_FALSE(d->cdsDetail->ControlsDisabled());
    EXPECT_EQ(d->cdsDetail->RecordCount(), 4) << "a refused save keeps the lines";

    d->Refused = -1;
    d->QuietDuringWalk = true;
    ASSERT_TRUE(d->SaveBill());
    EXPECT_TRUE(d->QuietDuringWalk);
    EXPECT_FALSE(d->cdsDetail->ControlsDisabled()) << "awake again after a save";

    // A caller that silenced the grid itself keeps it silenced.
    d->cdsDetail->First();
    d->cdsDetail->FieldByName("amount")->SetValue(9);
    d->cdsDetail->Post();
    d->cdsDetail->DisableControls();
    d->Refused = 2;
    EXPECT_FALSE(d->SaveBill());
    EXPECT_TRUE(d->cdsDetail->ControlsDisabled());
    d->cdsDetail->EnableControls();
    d->SetPrompter(nullptr);
}
