// The batch picker's three modes, the follow-up bill list and the batch-copy dialog, on
// rows written into the demo database for each case.
#include "tests/pickers/PickerFixture.h"

#include "host/KQParams.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "pickers/PickBatchCodeForm.h"
#include "pickers/Pickers.h"
#include "pickers/ProcessSelectForm.h"
#include "pickers/SelectBatchCodeCopyForm.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class SelectDialogsTest : public TPickerTest {
protected:
    static constexpr int kGoods = 95001;
    void SetUp() override
    {
        TPickerTest::SetUp();
        // The demo company runs two branches; the cases that need the on-line mode say so.
        AccSetData.Online = false;
        Con().Execute(QStringLiteral("insert into goods (goodsid, code, name, kind, batchctrl) values (95001, 'BT01', '批次货品', 1, 'T')"));
    }
    std::unique_ptr<TPickBatchCodeForm> Batch(int mode, int storeId, int clientId = 0, double rate = 1,
                                              TReturnValue* result = nullptr)
    {
        auto f = std::make_unique<TPickBatchCodeForm>(&Con(), Session());
        f->Request = {mode, clientId, kGoods, storeId, QDate(2024, 5, 10), rate, AccSetData.ShopID, AccSetData.Online};
        f->Result = result;
        f->Execute();
        return f;
    }
    static QStringList Column(TClientDataSet* ds, const QString& field)
    {
        QStringList v;
        for (ds->First(); !ds->Eof(); ds->Next())
            v << ds->FieldByName(field)->AsString();
        return v;
    }
    static bool Shown(TBillSelectBaseForm* f, const QString& field)
    {
        return f->dgMaster->Model()->ColumnOfField(field) >= 0;
    }
};

TEST_F(SelectDialogsTest, BatchStockByStoreWithTheCodeFilter)
{
    Con().Execute(QStringLiteral(
        "insert into batchcodeonhand (storeid, goodsid, batchcode, produceddate, validdate, onhand) values "
        "(1, 95001, 'L01', '2024-01-01 00:00:00', '2025-01-01 00:00:00', 24), (3, 95001, 'L02', null, null, 12), "
        "(2, 95001, 'L03', null, null, 0), (1, 95001, 'L04', null, null, 6)"));
    TReturnValue result;
    auto all = Batch(bmBatchStock, 0, 0, 12, &result);
    EXPECT_EQ(all->laCaption->text(), QStringLiteral("请选择批号"));
    // Every store with stock above 0; quantities in the line's unit.
    EXPECT_EQ(Column(all->cdsMaster, QStringLiteral("batchcode")), (QStringList{"L01", "L02", "L04"}));
    all->cdsMaster->First();
    EXPECT_DOUBLE_EQ(all->cdsMaster->FieldByName(QStringLiteral("LeftQty"))->AsFloat(), 2.0);
    EXPECT_EQ(all->cdsMaster->FieldByName(QStringLiteral("LeftQty"))->DisplayName(), QStringLiteral("可用数量"));
    EXPECT_TRUE(Shown(all.get(), QStringLiteral("produceddate")));
    EXPECT_FALSE(Shown(all.get(), QStringLiteral("storeid")));
    // A title click orders the rows by its column, a second one the other way.
    const int qtyColumn = all->dgMaster->Model()->ColumnOfField(QStringLiteral("LeftQty"));
    all->SortGrid(all->dgMaster, qtyColumn);
    EXPECT_EQ(Column(all->cdsMaster, QStringLiteral("batchcode")), (QStringList{"L04", "L02", "L01"}));
    all->SortGrid(all->dgMaster, qtyColumn);
    EXPECT_EQ(Column(all->cdsMaster, QStringLiteral("batchcode")), (QStringList{"L01", "L02", "L04"}));

    auto store1 = Batch(bmBatchStock, 1, 0, 1, &result);
    EXPECT_EQ(Column(store1->cdsMaster, QStringLiteral("batchcode")), (QStringList{"L01", "L04"}));
    QStringList codes;
    for (int i = 0; i < store1->dlgcBatchCode->count(); ++i)
        codes << store1->dlgcBatchCode->itemText(i);
    EXPECT_EQ(codes, (QStringList{"所有", "L01", "L04"}));
    EXPECT_EQ(store1->dlgcBatchCode->currentText(), QStringLiteral("所有"));
    store1->ChooseBatchCode(QStringLiteral("L04"));
    EXPECT_EQ(Column(store1->cdsMaster, QStringLiteral("batchcode")), QStringList{"L04"});

    // OK returns the current row's listed fields, one line.
    store1->btnOk->click();
    EXPECT_EQ(store1->ModalResult(), mrOk);
    ASSERT_EQ(result.RowCount(), 1);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("batchcode")).toString(), QStringLiteral("L04"));
    EXPECT_DOUBLE_EQ(result.GetValue(1, QStringLiteral("LeftQty")).toDouble(), 6.0);
    EXPECT_EQ(result.Row(1)->Count(), 4);
    store1->ChooseBatchCode(QStringLiteral("所有"));
    EXPECT_EQ(store1->cdsMaster->RecordCount(), 2);

    // On-line, only the stores of the current branch.
    AccSetData.Online = true;
    AccSetData.ShopID = 2;
    EXPECT_EQ(Column(Batch(bmBatchStock, 0)->cdsMaster, QStringLiteral("batchcode")), QStringList{"L02"});
}

TEST_F(SelectDialogsTest, StockLotsUpToTheBillDateAndTheCostColumn)
{
    Con().Execute(QStringLiteral(
        "insert into detailbillflow (id, billtype, billid, itemno, billcode, billdate, shopid, storeid, goodsid, inqty, outqty, refqty, "
        "inprice, batchcode, validdate) values "
        "(70001, 1, 1, 1, 'SH-1', '2024-05-01 00:00:00', 1, 1, 95001, 10, 0, 4, 2.5, 'A1', '2025-05-01 00:00:00'), "
        "(70002, 1, 2, 1, 'SH-2', '2024-05-10 00:00:00', 1, 1, 95001, 6, 0, 0, 3, 'A2', null), "
        "(70003, 1, 3, 1, 'SH-3', '2024-05-11 00:00:00', 1, 1, 95001, 6, 0, 0, 3, 'A3', null), "
        "(70004, 1, 4, 1, 'SH-4', '2024-05-01 00:00:00', 1, 3, 95001, 8, 0, 0, 3, 'A4', null)"));
    TReturnValue result;
    auto f = Batch(bmStockLots, 1, 0, 2, &result);
    EXPECT_EQ(f->laCaption->text(), QStringLiteral("请选择批次"));
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("billcode")), (QStringList{"SH-1", "SH-2"}));
    f->cdsMaster->First();
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("LeftQty"))->AsFloat(), 3.0);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("UnitRefQty"))->AsFloat(), 2.0);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("unitaprice"))->AsFloat(), 5.0);
    EXPECT_TRUE(Shown(f.get(), QStringLiteral("unitaprice")));
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("unitaprice"))->DisplayName(), QStringLiteral("成本单价"));
    // A double click takes the row under the cursor.
    emit f->dgMaster->doubleClicked(f->dgMaster->model()->index(0, 0));
    ASSERT_EQ(result.RowCount(), 1);
    EXPECT_EQ(result.GetValue(1, QStringLiteral("batchcodeid")).toInt(), 70001);
    EXPECT_DOUBLE_EQ(result.GetValue(1, QStringLiteral("aprice")).toDouble(), 2.5);

    Con().Execute(QStringLiteral("update accoption set optionvalue = '0' where optionkey = 'ISDISPLAYPRICE'"));
    ReloadAccOptions();
    EXPECT_FALSE(Shown(Batch(bmStockLots, 1).get(), QStringLiteral("unitaprice")));
}

TEST_F(SelectDialogsTest, ConsignmentLinesStillOpen)
{
    AccSetData.ShopID = 1;
    const QString master = QStringLiteral("insert into deputesale (deputesaleid, clientid, billtype, storeid, code, billdate, shopid, flag) "
                                          "values (%1, %2, %3, 1, '%4', '2024-05-02 00:00:00', 1, %5)");
    Con().Execute(master.arg(81).arg(7).arg(1).arg(QStringLiteral("WT-1")).arg(0));
    Con().Execute(master.arg(82).arg(7).arg(2).arg(QStringLiteral("WT-2")).arg(0));
    Con().Execute(master.arg(83).arg(7).arg(1).arg(QStringLiteral("WT-3")).arg(2));
    Con().Execute(master.arg(84).arg(8).arg(1).arg(QStringLiteral("WT-4")).arg(0));
    const QString line = QStringLiteral("insert into deputesaledetail (deputesaleid, itemno, goodsid, unitid, unitqty, quantity, unitprice, "
                                        "taxrate, aprice, batchcode, settledqty, returnqty) values (%1, %2, 95001, null, 10, 10, 4, 17, 2, %3, %4, %5)");
    Con().Execute(line.arg(81).arg(1).arg(QStringLiteral("'C1'")).arg(3).arg(2));  // 5 left
    Con().Execute(line.arg(81).arg(2).arg(QStringLiteral("'C2'")).arg(6).arg(4));  // settled in full
    Con().Execute(line.arg(81).arg(3).arg(QStringLiteral("null")).arg(0).arg(0));  // no batch
    Con().Execute(line.arg(82).arg(1).arg(QStringLiteral("'C4'")).arg(0).arg(0));  // a return bill
    Con().Execute(line.arg(83).arg(1).arg(QStringLiteral("'C5'")).arg(0).arg(0));  // cancelled
    Con().Execute(line.arg(84).arg(1).arg(QStringLiteral("'C6'")).arg(0).arg(0));  // another client
    TReturnValue result;
    auto f = Batch(bmConsignment, 0, 7, 1, &result);
    EXPECT_EQ(Column(f->cdsMaster, QStringLiteral("batchcode")), QStringList{"C1"});
    f->cdsMaster->First();
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("leftqty"))->AsFloat(), 5.0);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("leftqty"))->DisplayName(), QStringLiteral("出仓数量"));
    f->btnOk->click();
    EXPECT_EQ(result.GetValue(1, QStringLiteral("billcode")).toString(), QStringLiteral("WT-1"));
    EXPECT_NEAR(result.GetValue(1, QStringLiteral("taxprice")).toDouble(), 4.68, 1e-9);
    EXPECT_EQ(result.Row(1)->Count(), 13);
    // Every client: the other client's open line too.
    EXPECT_EQ(Column(Batch(bmConsignment, 0, 0)->cdsMaster, QStringLiteral("batchcode")), (QStringList{"C1", "C6"}));
}

TEST_F(SelectDialogsTest, ShowPickBatchCodeWithNothingToPick)
{
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("PickBatchCodeForm"), [](QDialog* d) {
        auto* f = d->findChild<TPickBatchCodeForm*>();
        EXPECT_EQ(f->FormPrivilegeID, 2);
        EXPECT_TRUE(f->cdsMaster->IsEmpty());
        f->btnOk->click();
        return -1;
    });
    TReturnValue result;
    result.SetValue(1, QStringLiteral("batchcode"), QStringLiteral("old"));
    EXPECT_TRUE(ShowPickBatchCode(2, 0, kGoods, 0, &result, QDate(2024, 5, 1), 1));
    EXPECT_EQ(result.RowCount(), 0);
    msgs.OnModal(QStringLiteral("PickBatchCodeForm"), [](QDialog* d) {
        d->findChild<TPickBatchCodeForm*>()->btnCancel->click();
        return -1;
    });
    EXPECT_FALSE(ShowPickBatchCode(1, 0, kGoods, 0, &result, QDate(2024, 5, 1), 1));
}

TEST_F(SelectDialogsTest, FollowUpBillsOpenWithinTheBranch)
{
    Con().Execute(QStringLiteral("insert into preturn (preturnid, code, billdate, shopid, clientid) values (61, 'PR-61', '2024-05-03 00:00:00', 2, 1)"));
    Con().Execute(QStringLiteral("insert into prdetail (preturnid, itemno, goodsid, unitqty, unitprice, amount, refertype, referbillid) "
                                 "values (61, 1, 95001, 2, 3.5, 7, 7, 500), (61, 2, 95001, 1, 3.5, 3.5, 7, 501)"));
    Con().Execute(QStringLiteral("insert into pay (payid, code, billdate, shopid, paytypeid, amount) values (62, 'FK-62', '2024-05-04 00:00:00', 1, 1, 100)"));
    Con().Execute(QStringLiteral("insert into paydetail (payid, itemno, refertype, referbillid, amount) values (62, 1, 7, 500, 40)"));
    Con().Execute(QStringLiteral("insert into allot (allotid, code, billdate, shopid, outshopid, inshopid) values (63, 'DB-63', '2024-05-05 00:00:00', 1, 1, 2)"));
    Con().Execute(QStringLiteral("insert into dallot (allotid, itemno, goodsid, unitqty, refertype, referbillid) values (63, 1, 95001, 1, 7, 500)"));
    QList<QPair<int, int>> opened;
    RegistFunction(QStringLiteral("GOTOONEBILLBYTYPE"), [&](const QString&, const QString&, KQParams* p) {
        opened.append({p->GetValue(QStringLiteral("BillType")).toInt(), p->GetValue(QStringLiteral("BillID")).toInt()});
        return 0;
    });
    TScriptedMessages msgs;
    auto open = [&](int kind) {
        auto f = std::make_unique<TProcessSelectForm>(&Con(), Session());
        f->Kind = kind;
        f->ReferType = 7;
        f->ReferBillID = 500;
        f->Execute();
        return f;
    };
    auto returns = open(2);
    EXPECT_EQ(returns->laCaption->text(), QStringLiteral("过程"));
    EXPECT_EQ(Column(returns->cdsMaster, QStringLiteral("code")), QStringList{"PR-61"});
    EXPECT_EQ(returns->cdsMaster->FieldByName(QStringLiteral("goodsname"))->AsString(), QStringLiteral("批次货品"));
    EXPECT_TRUE(returns->GoToBill());
    EXPECT_EQ(opened.last(), qMakePair(8, 61));

    auto payments = open(1);
    ASSERT_EQ(payments->cdsMaster->RecordCount(), 1);
    EXPECT_DOUBLE_EQ(payments->cdsMaster->FieldByName(QStringLiteral("amount"))->AsFloat(), 40.0);
    payments->btnGoTo->click();
    EXPECT_EQ(opened.last(), qMakePair(9, 62));

    // On-line: another branch's bill is refused and the dialog stays open.
    AccSetData.Online = true;
    AccSetData.ShopID = 1;
    const int before = opened.size();
    EXPECT_FALSE(open(2)->GoToBill());
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("您无权查看该单据！"));
    EXPECT_EQ(msgs.Last().Caption, QStringLiteral("错误"));
    EXPECT_EQ(opened.size(), before);
    EXPECT_TRUE(open(1)->GoToBill());
    // A transfer may be seen by the branch it leaves from and the one it goes to.
    EXPECT_TRUE(open(6)->GoToBill());
    EXPECT_EQ(opened.last(), qMakePair(13, 63));
    AccSetData.ShopID = 2;
    EXPECT_TRUE(open(6)->GoToBill());
    AccSetData.ShopID = 3;
    EXPECT_FALSE(open(6)->GoToBill());
    UnregistFunction(QStringLiteral("GOTOONEBILLBYTYPE"));
}

TEST_F(SelectDialogsTest, BatchCopyChecksAndAnswers)
{
    TScriptedMessages msgs;
    TSelectBatchCodeCopyForm f(&Con(), Session());
    f.SetBatchCode(QStringLiteral("AB12C"));
    EXPECT_EQ(f.Parts().Prefix, QStringLiteral("AB"));
    EXPECT_EQ(f.Parts().Number, QStringLiteral("12"));
    EXPECT_EQ(f.Parts().Suffix, QStringLiteral("C"));
    for (const QString& count : {QString(), QStringLiteral("0"), QStringLiteral("-2"), QStringLiteral("1.5"), QStringLiteral("x")}) {
        f.edCount->setText(count);
        EXPECT_FALSE(f.OkClicked()) << count.toStdString();
        EXPECT_EQ(msgs.Last().Text, QStringLiteral("请输入大于零的整型数据！"));
    }
    f.edCount->setText(QStringLiteral("3"));
    f.edBatchCode->setText(QStringLiteral("ABC"));
    EXPECT_FALSE(f.OkClicked());
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("批号必须由字母和数字组成！"));
    EXPECT_EQ(f.ModalResult(), mrNone);

    msgs.OnModal(QStringLiteral("SelectBatchCodeCopyForm"), [](QDialog* d) {
        auto* form = d->findChild<TSelectBatchCodeCopyForm*>();
        EXPECT_EQ(form->edBatchCode->text(), QStringLiteral("P2024-007x"));
        form->edCount->setText(QStringLiteral("4"));
        form->btnOK->click();
        return -1;
    });
    QString prefix, number, suffix;
    int count = 0;
    EXPECT_TRUE(ShowSelectBatchCodeCopy(prefix, number, suffix, count, QStringLiteral("P2024-007x")));
    EXPECT_EQ(prefix, QStringLiteral("P2024-"));
    EXPECT_EQ(number, QStringLiteral("007"));
    EXPECT_EQ(suffix, QStringLiteral("x"));
    EXPECT_EQ(count, 4);
}

} // namespace
