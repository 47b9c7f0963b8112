// Source bills: every kind's statements on the real schema, what the dialog lists and hands
// back, and a goods receipt that takes purchase order lines through the dialog and is saved.
#include "tests/pickers/SelectionFixture.h"

#include "billcore/BillSession.h"
#include "host/Session.h"
#include "pickers/SelectBillForm.h"
#include "platform/DBControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>

namespace {

class SourceBillsTest : public TSelectionTest {
protected:
    std::unique_ptr<TSelectBillForm> Dialog(int kind, int party)
    {
        auto f = std::make_unique<TSelectBillForm>(FCon.get(), TBillSession::FromHost());
        f->Request.PartyID = party;
        f->SetDates(QDate::currentDate().addYears(-1), QDate::currentDate());
        EXPECT_TRUE(f->PrepareKind(kind));
        return f;
    }
    static QStringList Column(TClientDataSet* ds, const QString& field)
    {
        QStringList v;
        if (!ds->Active())
            return v;
        for (int r = 0; r < ds->RecordCount(); ++r)
            v << ds->RowValue(r, ds->FieldByName(field)->Index()).toString();
        return v;
    }
    static bool Locate(TClientDataSet* ds, const QString& field, const QVariant& v) { return ds->Locate(field, v); }
};

TEST_F(SourceBillsTest, EveryKindListsOnTheSchemaAndFindsItsReturnFields)
{
    const QList<int> kinds = SelectBillKindNumbers();
    EXPECT_EQ(kinds.size(), 17);
    QVector<const TSelectBillKind*> all;
    for (int k : kinds)
        all << SelectBillKind(k);
    all << &PurchaseAppSelectKind();
    for (const TSelectBillKind* kind : std::as_const(all)) {
        SCOPED_TRACE(kind->Kind);
        EXPECT_FALSE(kind->Caption.isEmpty());
        for (bool executed : {false, true}) {
            TSelectBillRequest r;
            r.PartyID = 1;
            r.BeginDate = QDate(2000, 1, 1);
            r.EndDate = QDate::currentDate();
            r.ByShop = true;
            r.ShowExecuted = executed;
            const TSelectStatement master = SelectBillMasterStatement(*kind, r);
            TClientDataSet m;
            ASSERT_NO_THROW(FCon->OpenDataSet(master.Sql, &m, master.Params)) << master.Sql.toStdString();
            QSet<QString> columns;
            for (const QString& f : m.FieldNames())
                columns.insert(f.toLower());
            for (const QString& key : kind->MasterKeys)
                EXPECT_TRUE(columns.contains(key.toLower())) << key.toStdString();
            if (kind->HasDetail()) {
                QVariantList keys;
                for (int i = 0; i < kind->MasterKeys.size(); ++i)
                    keys << 1;
                const TSelectStatement detail = SelectBillDetailStatement(*kind, r, {keys});
                TClientDataSet d;
                ASSERT_NO_THROW(FCon->OpenDataSet(detail.Sql, &d, detail.Params)) << detail.Sql.toStdString();
                for (const QString& f : d.FieldNames())
                    columns.insert(f.toLower());
                for (const QString& key : kind->DetailKeys)
                    EXPECT_TRUE(d.FindField(key)) << key.toStdString();
                EXPECT_TRUE(d.FindField(QStringLiteral("is_select")));
            }
            // what OK hands back is found in the line or its bill
            for (const QString& f : kind->ReturnFields)
                EXPECT_TRUE(columns.contains(f.toLower())) << f.toStdString();
            for (const TSelectBillColumn& c : kind->MasterColumns)
                EXPECT_TRUE(m.FindField(c.Field)) << c.Field.toStdString();
        }
    }
}

TEST_F(SourceBillsTest, OpenLinesOfAPurchaseOrderAndTheExecutedOnesOnRequest)
{
    const int vendor = AddPartner(2, QStringLiteral("选单供应商"));
    const int other = AddPartner(2, QStringLiteral("别家供应商"));
    const TGoods a = AddGoods(QStringLiteral("SEL-A"), QStringLiteral("甲货"), 8, 5);
    const TGoods b = AddGoods(QStringLiteral("SEL-B"), QStringLiteral("乙货"), 20, 12);
    const int order = AddPurchaseOrder(vendor, QStringLiteral("CD-OPEN"), {{a, 10, 5, 10}, {b, 8, 12, 4}});
    AddPurchaseOrder(other, QStringLiteral("CD-OTHER"), {{a, 3, 5, 0}});
    FCon->Execute(QStringLiteral("insert into porder (orderid, clientid, code, billdate, closed, finished) values (:id, :v, 'CD-CLOSED', :d, 'T', 'F')"),
                  {{QStringLiteral("id"), order + 1}, {QStringLiteral("v"), vendor},
                   {QStringLiteral("d"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 09:00:00"))}});

    auto f = Dialog(6, vendor);
    EXPECT_EQ(f->laCaption->text(), QStringLiteral("请选择采购订单"));
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("code")), QStringList{QStringLiteral("CD-OPEN")});
    EXPECT_EQ(f->cdsDetail->RecordCount(), 0) << "no bill ticked, no lines";

    ASSERT_TRUE(Locate(f->cdsMaster, QStringLiteral("orderid"), order));
    f->SetTick(f->cdsMaster, true);
    // the line received in full is left out; the half-received one shows what is still open
    ASSERT_EQ(Column(f->cdsDetail, QStringLiteral("goodscode")), QStringList{QStringLiteral("SEL-B")});
    EXPECT_DOUBLE_EQ(f->cdsDetail->FieldByName(QStringLiteral("exeqty"))->AsFloat(), 4);
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("goodsname"))->AsString(), QStringLiteral("乙货"));

    f->cbExecute->setChecked(true);
    EXPECT_EQ(Column(f->cdsDetail, QStringLiteral("goodscode")), (QStringList{QStringLiteral("SEL-A"), QStringLiteral("SEL-B")}))
        << "the tick of the bill survives reading the lists again";
    f->cbExecute->setChecked(false);

    // a begin date after the end date lists nothing
    f->SetDates(QDate::currentDate().addDays(1), QDate::currentDate());
    EXPECT_TRUE(f->cdsMaster->IsEmpty());
    f->ChoosePeriod(pcToday);
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("code")), QStringList{QStringLiteral("CD-OPEN")});
    EXPECT_EQ(f->BeginDateEdit->date(), QDate::currentDate());
}

TEST_F(SourceBillsTest, OkHandsBackTheTickedLinesWithTheirBillsFields)
{
    const int vendor = AddPartner(2, QStringLiteral("选单供应商"));
    const TGoods a = AddGoods(QStringLiteral("SEL-A"), QStringLiteral("甲货"), 8, 5);
    const TGoods b = AddGoods(QStringLiteral("SEL-B"), QStringLiteral("乙货"), 20, 12);
    const int first = AddPurchaseOrder(vendor, QStringLiteral("CD-1"), {{a, 10, 5, 0}, {b, 8, 12, 0}});
    const int second = AddPurchaseOrder(vendor, QStringLiteral("CD-2"), {{b, 2, 11, 0}});
    TReturnValue result;
    auto f = Dialog(6, vendor);
    f->Result = &result;
    for (int id : {first, second}) {
        ASSERT_TRUE(Locate(f->cdsMaster, QStringLiteral("orderid"), id));
        f->SetTick(f->cdsMaster, true);
    }
    ASSERT_EQ(f->cdsDetail->RecordCount(), 3) << "the lines of both bills together";
    f->TickAll(TSelectBillForm::taSet);
    ASSERT_TRUE(f->cdsDetail->Locate(QStringLiteral("orderid;itemno"), {first, 2}));
    f->SetTick(f->cdsDetail, false);
    f->btnOk->click();
    EXPECT_EQ(f->ModalResult(), mrOk);
    ASSERT_EQ(result.RowCount(), 2);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("orderid")).toInt(), first);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("goodsid")).toInt(), a.GoodsID);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("memo")).toString(), QStringLiteral("行1")) << "the line's own memo";
    EXPECT_EQ(result.GetValue(1, QStringLiteral("mastermemo")).toString(), QStringLiteral("订单备注"));
    EXPECT_EQ(result.GetValue(1, QStringLiteral("masteruserdef1")).toString(), QStringLiteral("订单自定义1"));
    EXPECT_EQ(result.GetValue(1, QStringLiteral("code")).toString(), QStringLiteral("CD-1"));
    EXPECT_EQ(result.GetValue(2, QStringLiteral("orderid")).toInt(), second);
    EXPECT_DOUBLE_EQ(result.GetValue(2, QStringLiteral("unitprice")).toDouble(), 11);
    EXPECT_TRUE(f->MissingFields.isEmpty());

    // "反选" then "全部清除": the inverted ticks, then none
    f->TickAll(TSelectBillForm::taInvert);
    f->CollectResult();
    ASSERT_EQ(result.RowCount(), 1);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("itemno")).toInt(), 2);
    f->TickAll(TSelectBillForm::taClear);
    f->CollectResult();
    EXPECT_EQ(result.RowCount(), 0) << "no tick: an empty result";

    // a return field neither the line nor its bill has is told, not handed back
    TSelectBillKind odd = *SelectBillKind(6);
    odd.ReturnFields << QStringLiteral("nosuchfield");
    f->PrepareKind(odd);
    ASSERT_TRUE(Locate(f->cdsMaster, QStringLiteral("orderid"), second));
    f->SetTick(f->cdsMaster, true);
    f->TickAll(TSelectBillForm::taSet);
    f->btnOk->click();
    ASSERT_EQ(result.RowCount(), 1);
    int at = 0;
    EXPECT_FALSE(result.Row(1)->Find(QStringLiteral("nosuchfield"), at));
    EXPECT_EQ(f->MissingFields, QStringList{QStringLiteral("nosuchfield")});
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("字段没有找到！")));
}

TEST_F(SourceBillsTest, BillsToPayListOnlyWhatIsOwedInShopTypeDateAndCodeOrder)
{
    const int vendor = AddPartner(2, QStringLiteral("应付供应商"));
    const QString d1 = QDate::currentDate().addDays(-3).toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    const QString d0 = QDate::currentDate().addDays(-9).toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    const int base = Db(QStringLiteral("select ifnull(max(recievedid), 0) + 7000 from recieved")).toInt();
    const struct {
        int Id;
        const char* Code;
        QString Date;
        double Total, Paid;
    } bills[] = {{base + 1, "CS-B", d1, 100, 0}, {base + 2, "CS-A", d1, 50, 50}, {base + 3, "CS-Z", d0, 30, 10}, {-5, "QC-1", d1, 70, 0}};
    for (const auto& b : bills)
        FCon->Execute(QStringLiteral("insert into recieved (recievedid, clientid, code, billdate, totalamt, totalpaid, shopid, flag)"
                                     " values (:id, :v, :c, :d, :t, :p, :shop, 0)"),
                      {{QStringLiteral("id"), b.Id}, {QStringLiteral("shop"), AccSetData.ShopID}, {QStringLiteral("v"), vendor}, {QStringLiteral("c"), QString::fromLatin1(b.Code)},
                       {QStringLiteral("d"), b.Date}, {QStringLiteral("t"), b.Total}, {QStringLiteral("p"), b.Paid}});
    TReturnValue result;
    auto f = Dialog(9, vendor);
    f->Result = &result;
    EXPECT_FALSE(f->dgDetail->isVisible());
    // the paid bill is left out; the opening balance comes first on its day
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("billcode")),
              (QStringList{QStringLiteral("CS-Z"), QStringLiteral("QC-1"), QStringLiteral("CS-B")}));
    EXPECT_EQ(f->dgMaster->Model()->headerData(f->dgMaster->Model()->ColumnOfField(QStringLiteral("shouldpayamt")), Qt::Horizontal).toString(),
              QStringLiteral("未付款"));
    f->TickAll(TSelectBillForm::taSet);
    f->btnOk->click();
    ASSERT_EQ(result.RowCount(), 3) << "one result per ticked bill";
    EXPECT_DOUBLE_EQ(result.GetValue(1, QStringLiteral("shouldpayamt")).toDouble(), 20);
    EXPECT_EQ(result.GetValue(2, QStringLiteral("billid")).toInt(), -5);
    EXPECT_EQ(result.GetValue(3, QStringLiteral("code")).toString(), QStringLiteral("CS-B"));
}

TEST_F(SourceBillsTest, QuotationsAreValidOnTheBillDate)
{
    const int client = AddPartner(1, QStringLiteral("报价客户"));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    auto quotation = [&](int id, const char* code, const QVariant& beg, const QVariant& end) {
        FCon->Execute(QStringLiteral("insert into quotation (quotationid, clientid, code, billdate, closed, begdate, enddate, shopid)"
                                     " values (:id, :c, :code, :d, 'F', :b, :e, :shop)"),
                      {{QStringLiteral("id"), id}, {QStringLiteral("shop"), AccSetData.ShopID}, {QStringLiteral("c"), client}, {QStringLiteral("code"), QString::fromLatin1(code)},
                       {QStringLiteral("d"), today}, {QStringLiteral("b"), beg}, {QStringLiteral("e"), end}});
    };
    quotation(9101, "BJ-OPEN", QVariant(), QVariant());
    quotation(9102, "BJ-PAST", QStringLiteral("2001-01-01 00:00:00"), QStringLiteral("2001-12-31 00:00:00"));
    quotation(9103, "BJ-NOW", today, today);
    auto f = Dialog(44, client);
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("code")), (QStringList{QStringLiteral("BJ-NOW"), QStringLiteral("BJ-OPEN")}));
    f->Request.BillDate = QDate(2001, 6, 1);
    f->SetDates(QDate(2000, 1, 1), QDate::currentDate());
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("code")), (QStringList{QStringLiteral("BJ-OPEN"), QStringLiteral("BJ-PAST")}))
        << "a quotation without dates is valid on any bill date";
}

TEST_F(SourceBillsTest, PeriodMenuDates)
{
    const QDate wednesday(2024, 5, 15);
    const QDate start(2024, 5, 1), end(2024, 5, 31);
    using D = std::pair<QDate, QDate>;
    EXPECT_EQ(PeriodChoiceDates(pcToday, wednesday, start, end), D(wednesday, wednesday));
    EXPECT_EQ(PeriodChoiceDates(pcThisWeek, wednesday, start, end), D(QDate(2024, 5, 13), QDate(2024, 5, 19)));
    EXPECT_EQ(PeriodChoiceDates(pcLastWeek, wednesday, start, end), D(QDate(2024, 5, 6), QDate(2024, 5, 12)));
    EXPECT_EQ(PeriodChoiceDates(pcThisPeriod, wednesday, start, end), D(start, end));
    EXPECT_EQ(PeriodChoiceDates(pcPeriodFirst, wednesday, start, end), D(start, QDate(2024, 5, 10)));
    EXPECT_EQ(PeriodChoiceDates(pcPeriodMiddle, wednesday, start, end), D(QDate(2024, 5, 11), QDate(2024, 5, 20)));
    EXPECT_EQ(PeriodChoiceDates(pcPeriodLast, wednesday, start, end), D(QDate(2024, 5, 21), end));
    // without a period the month of the day counts
    EXPECT_EQ(PeriodChoiceDates(pcThisPeriod, QDate(2024, 2, 10), QDate(), QDate()), D(QDate(2024, 2, 1), QDate(2024, 2, 29)));
}

// ---------------------------------------------------------------- end to end

class ReceiptFromOrderTest : public SourceBillsTest {
protected:
    // Answers the next source-bill dialog: the order ticked, then its lines, then OK.
    void ScriptTicks(int orderId, const QList<int>& lineRows, bool* shown)
    {
        FMessages->OnModal(QStringLiteral("SelectBillForm"), [=, this](QDialog* d) {
            *shown = true;
            auto* f = FormIn<TSelectBillForm>(d);
            EXPECT_NE(f, nullptr);
            if (!f)
                return int(QDialog::Rejected);
            Expose(d);
            Render(d, QStringLiteral("SelectBillForm"));
            EXPECT_TRUE(f->cdsMaster->Locate(QStringLiteral("orderid"), orderId));
            ClickTick(f->dgMaster, f->cdsMaster->RecNo() - 1);
            for (int row : lineRows)
                ClickTick(f->dgDetail, row);
            f->btnOk->click();
            return int(QDialog::Accepted);
        });
    }
};

TEST_F(ReceiptFromOrderTest, AReceiptTakesTwoOrderLinesOnceAndSavingLowersWhatIsOpen)
{
    const int vendor = AddPartner(2, QStringLiteral("收货供应商"));
    const TGoods a = AddGoods(QStringLiteral("SEL-A"), QStringLiteral("甲货"), 8, 5);
    const TGoods b = AddGoods(QStringLiteral("SEL-B"), QStringLiteral("乙货"), 20, 12);
    const int order = AddPurchaseOrder(vendor, QStringLiteral("CD-E2E"), {{a, 10, 5, 0}, {b, 6, 12, 2}});

    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr) << FMessages->Texts().join(u'\n').toStdString();
    ASSERT_TRUE(f->ASelOrder->isVisible()) << "a receipt offers its orders";
    ASSERT_TRUE(f->ASelValueRecieved->isVisible());
    EXPECT_FALSE(f->ASelInvoice->isVisible());

    // without a vendor there is nothing to choose from
    bool shown = false;
    f->ASelOrder->trigger();
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("请选择供应商！"));
    EXPECT_EQ(f->cdsDetail->RecordCount(), 0);

    SetMaster(f, QStringLiteral("clientid"), vendor);
    SetMaster(f, QStringLiteral("storeid"), Store);
    ScriptTicks(order, {0, 1}, &shown);
    f->ASelOrder->trigger();
    ASSERT_TRUE(shown);
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2);
    f->cdsDetail->First();
    auto line = [f](const char* field) { return f->cdsDetail->FieldByName(QString::fromLatin1(field)); };
    EXPECT_EQ(line("goodsid")->AsInteger(), a.GoodsID);
    EXPECT_EQ(line("refertype")->AsInteger(), 6);
    EXPECT_EQ(line("referbillid")->AsInteger(), order);
    EXPECT_EQ(line("referitemno")->AsInteger(), 1);
    EXPECT_DOUBLE_EQ(line("unitqty")->AsFloat(), 10);
    EXPECT_DOUBLE_EQ(line("unitprice")->AsFloat(), 5);
    EXPECT_DOUBLE_EQ(line("amount")->AsFloat(), 56.5);
    f->cdsDetail->Next();
    EXPECT_EQ(line("goodsid")->AsInteger(), b.GoodsID);
    EXPECT_DOUBLE_EQ(line("unitqty")->AsFloat(), 4) << "what is still open of the line";
    EXPECT_DOUBLE_EQ(line("goodsamt")->AsFloat(), 48);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("memo"))->AsString(), QStringLiteral("订单备注"));
    EXPECT_NEAR(f->cdsMaster->FieldByName(QStringLiteral("totalamt"))->AsFloat(), 56.5 + 54.24, 0.005) << "the total follows";

    // the same lines chosen again are not added twice
    shown = false;
    ScriptTicks(order, {0, 1}, &shown);
    f->ASelOrder->trigger();
    ASSERT_TRUE(shown);
    EXPECT_EQ(f->cdsDetail->RecordCount(), 2);

    // a receipt names the invoice the vendor sent
    SetMaster(f, QStringLiteral("billtypeid"), Db(QStringLiteral("select min(billtypeid) from billtype")).toInt());
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
    const TSqlParams id{{QStringLiteral("o"), order}};
    EXPECT_DOUBLE_EQ(Db(QStringLiteral("select rcvdqty from orderdetail where orderid = :o and itemno = 1"), id).toDouble(), 10);
    EXPECT_DOUBLE_EQ(Db(QStringLiteral("select rcvdqty from orderdetail where orderid = :o and itemno = 2"), id).toDouble(), 6);
    EXPECT_DOUBLE_EQ(Db(QStringLiteral("select sum(unitqty - rcvdqty) from orderdetail where orderid = :o"), id).toDouble(), 0)
        << "nothing of the order is open any more";
    EXPECT_EQ(Db(QStringLiteral("select finished from porder where orderid = :o"), id).toString(), QStringLiteral("T"));
    EXPECT_EQ(Db(QStringLiteral("select count(*) from rcvddetail where refertype = 6 and referbillid = :o"), id).toInt(), 2);

    // a new receipt finds nothing left to take from that order
    shown = false;
    f->ANew->trigger();
    SetMaster(f, QStringLiteral("clientid"), vendor);
    SetMaster(f, QStringLiteral("storeid"), Store);
    FMessages->OnModal(QStringLiteral("SelectBillForm"), [&](QDialog* d) {
        shown = true;
        EXPECT_FALSE(FormIn<TSelectBillForm>(d)->cdsMaster->Locate(QStringLiteral("orderid"), order)) << "a finished order is not offered";
        return int(QDialog::Rejected);
    });
    f->ASelOrder->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(f->cdsDetail->RecordCount(), 0);
}

} // namespace
