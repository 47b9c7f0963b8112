// The goods-bill window and its rules as a clerk meets them: what a partner brings with it,
// the tax columns of the invoice kind, and a refused line that leaves the bill on screen and
// the database as it was.
#include "BillWindowFixture.h"

#include "package/PackageSeams.h"
#include "platform/DBControls.h"
#include "host/Registry.h"
#include "services/SelectValues.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool Shown(TGoodsBillForm* f, const QString& field)
{
    const int col = f->ItemDBGrid->Model()->ColumnOfField(field);
    return col >= 0 && !f->ItemDBGrid->isColumnHidden(col);
}

QString Title(TGoodsBillForm* f, const QString& field)
{
    return f->ItemDBGrid->Model()->headerData(f->ItemDBGrid->Model()->ColumnOfField(field), Qt::Horizontal).toString();
}

} // namespace

// The vendor chosen in its drop-down brings its contact, phone and fax; another vendor
// replaces them, and clearing the vendor leaves its figures behind without a trace.
TEST_F(TBillWindowTest, ThePartnerBringsItsContactData)
{
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    // Two vendors that differ in what they bring, one with phone and contact.
    FCon->Execute(QStringLiteral("update client set phone = '0571-1234567', contator = '王经理', fax = '0571-7654321'"
                                 " where clientid = (select min(clientid) from client where clientkind = 2)"));
    FCon->Execute(QStringLiteral("update client set phone = '010-7777', contator = '李会计', fax = null"
                                 " where clientid = (select max(clientid) from client where clientkind = 2)"));
    const int first = Db(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
    const int last = Db(QStringLiteral("select max(clientid) from client where clientkind = 2")).toInt();
    ASSERT_NE(first, last) << "the demo data has one vendor only";

    FocusField(f, QStringLiteral("clientid"));
    auto* combo = qobject_cast<QComboBox*>(Focus());
    ASSERT_NE(combo, nullptr);
    auto choose = [&](int id) {
        const int index = combo->findData(id);
        ASSERT_GE(index, 0);
        while (combo->currentIndex() != index)
            Key(combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    };
    choose(first);
    TClientDataSet* m = f->cdsMaster;
    EXPECT_EQ(m->FieldByName(QStringLiteral("clientid"))->AsInteger(), first);
    EXPECT_EQ(m->FieldByName(QStringLiteral("phone"))->AsString(), QStringLiteral("0571-1234567"));
    EXPECT_EQ(m->FieldByName(QStringLiteral("contator"))->AsString(), QStringLiteral("王经理"));
    EXPECT_EQ(m->FieldByName(QStringLiteral("fax"))->AsString(), QStringLiteral("0571-7654321"));
    choose(last);
    EXPECT_EQ(m->FieldByName(QStringLiteral("phone"))->AsString(), QStringLiteral("010-7777"));
    EXPECT_EQ(m->FieldByName(QStringLiteral("contator"))->AsString(), QStringLiteral("李会计"));
    EXPECT_TRUE(m->FieldByName(QStringLiteral("fax"))->IsNull()) << "the old vendor's fax stays behind";
}

// The invoice kind decides which tax columns the clerk sees: none without an invoice, all of
// them on a VAT invoice, where the amount is the total with tax.
TEST_F(TBillWindowTest, TaxColumnsFollowTheInvoiceKind)
{
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    for (const char* field : {"taxrate", "goodsamt", "taxamt"})
        ASSERT_TRUE(std::any_of(f->ItemDBGrid->ColumnLayout().cbegin(), f->ItemDBGrid->ColumnLayout().cend(),
                                [field](const TGridColumnLayout& c) { return c.Field == QLatin1String(field); }))
            << field << " is not in the standard template";
    TField* kind = f->cdsMaster->FieldByName(QStringLiteral("billtypeid"));
    kind->SetValue(1);
    EXPECT_FALSE(Shown(f, QStringLiteral("taxrate")));
    EXPECT_FALSE(Shown(f, QStringLiteral("goodsamt")));
    EXPECT_FALSE(Shown(f, QStringLiteral("taxamt")));
    EXPECT_FALSE(Shown(f, QStringLiteral("taxprice"))) << "never on goods receipts";
    EXPECT_EQ(Title(f, QStringLiteral("amount")), QStringLiteral("合计"));
    kind->SetValue(3);
    EXPECT_TRUE(Shown(f, QStringLiteral("taxrate")));
    EXPECT_TRUE(Shown(f, QStringLiteral("goodsamt")));
    EXPECT_TRUE(Shown(f, QStringLiteral("taxamt")));
    EXPECT_EQ(Title(f, QStringLiteral("amount")), QStringLiteral("价税合计"));
    // Enter walks only what is shown.
    kind->SetValue(1);
    const TDemoGoods g = Goods(0);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("1"));
    QStringList walked;
    for (int i = 0; i < 15 && f->cdsDetail->RecordCount() == 1; ++i) {
        walked << CurrentField(f);
        Enter();
    }
    EXPECT_FALSE(walked.contains(QStringLiteral("taxrate"))) << walked.join(u',').toStdString();
    EXPECT_FALSE(walked.contains(QStringLiteral("taxamt"))) << walked.join(u',').toStdString();
}

// A line the checks refuse stops the save with its message, the cursor on the refused cell,
// the clerk's lines still on screen and nothing written; put right, the same bill saves.
TEST_F(TBillWindowTest, ARefusedLineKeepsTheBillAndSavesNothing)
{
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    const int vendor = Db(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    f->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(1);
    f->cdsMaster->FieldByName(QStringLiteral("billtypeid"))->SetValue(Db(QStringLiteral("select min(billtypeid) from billtype")).toInt());
    const TDemoGoods a = Goods(0), b = Goods(1);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, a.Code, QStringLiteral("2"));
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, b.Code, QStringLiteral("0"));
    const QString name = Db(QStringLiteral("select name from goods where goodsid = :g"), {{QStringLiteral("g"), b.GoodsID}}).toString();
    const int before = Db(QStringLiteral("select count(*) from recieved")).toInt();

    FMessages->ClearRecords();
    EXPECT_FALSE(f->SaveBill());
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("货品[") + name + QStringLiteral("]:数量不能等于零！")))
        << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from recieved")).toInt(), before);
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2);
    EXPECT_EQ(f->cdsDetail->RecNo(), 2) << "the refused line is current";
    EXPECT_EQ(CurrentField(f), QStringLiteral("unitqty"));
    EXPECT_TRUE(f->ItemDBGrid->hasFocus() || Editing(f));
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("clientid"))->AsInteger(), vendor);

    // Without a vendor the master check speaks first and the vendor's drop-down gets the cursor.
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(QVariant());
    FMessages->ClearRecords();
    EXPECT_FALSE(f->SaveBill());
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("请选择供应商！"))) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Focus(), f->FieldEditor(QStringLiteral("clientid")));

    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    ASSERT_TRUE(f->ItemDBGrid->GotoField(QStringLiteral("unitqty"), true));
    Type(QStringLiteral("5"));
    Enter();
    FMessages->AnswerWhen(QStringLiteral("是否继续保存"), IDYES);
    EXPECT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from recieved")).toInt(), before + 1);
    const int id = Db(QStringLiteral("select max(recievedid) from recieved")).toInt();
    EXPECT_EQ(Db(QStringLiteral("select sum(unitqty) from rcvddetail where recievedid = :id"), {{QStringLiteral("id"), id}}).toDouble(), 7.0);
}

// The foot tells the stock of the line the cursor stands on, in the bill's store, and follows
// the cursor from line to line and the store when it changes.
TEST_F(TBillWindowTest, TheFootTellsTheStockOfTheCurrentLine)
{
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    TClientDataSet stocked;
    FCon->OpenDataSet(QStringLiteral("select o.goodsid, o.storeid, o.onhand from onhand o join goods g on g.goodsid = o.goodsid"
                                     " where o.onhand > 0 and g.closed = 'F' and g.kind = 1 and g.batchctrl = 'F'"
                                     " order by o.goodsid, o.storeid"),
                      &stocked);
    ASSERT_GE(stocked.RecordCount(), 2) << "the demo data keeps too little stock";
    const int goods = stocked.Fields(0)->AsInteger();
    const int store = stocked.Fields(1)->AsInteger();
    auto said = [&](int goodsId, int storeId) {
        const QVariant onhand = Db(QStringLiteral("select onhand from onhand where goodsid = :g and storeid = :s"),
                                   {{QStringLiteral("g"), goodsId}, {QStringLiteral("s"), storeId}});
        const QString unit = Db(QStringLiteral("select unitname from goodsunit where goodsid = :g and unittype = 0"),
                                {{QStringLiteral("g"), goodsId}}).toString();
        return QStringLiteral("库存：") + QString::number(onhand.toDouble(), 'g', 15) + u' ' + unit;
    };
    auto settle = [] { QApplication::processEvents(); };
    f->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(store);
    const QString code = Db(QStringLiteral("select code from goods where goodsid = :g"), {{QStringLiteral("g"), goods}}).toString();
    const TDemoGoods other = Goods(0, QStringLiteral(" and g.goodsid <> %1").arg(goods));
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, code, QStringLiteral("1"));
    settle();
    EXPECT_EQ(f->StockLabel->text(), said(goods, store));
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, other.Code, QStringLiteral("1"));
    settle();
    EXPECT_EQ(f->StockLabel->text(), said(other.GoodsID, store));
    // The clerk clicks the first line.
    ASSERT_TRUE(f->ItemDBGrid->PostEditor());
    f->ItemDBGrid->setCurrentIndex(f->ItemDBGrid->Model()->index(0, f->ItemDBGrid->currentIndex().column()));
    settle();
    ASSERT_EQ(f->cdsDetail->RecNo(), 1);
    EXPECT_EQ(f->StockLabel->text(), said(goods, store));
    // Another store: its own stock of the same goods.
    const int otherStore = Db(QStringLiteral("select min(storeid) from store where storeid <> :s"), {{QStringLiteral("s"), store}}).toInt();
    f->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(otherStore);
    settle();
    EXPECT_EQ(f->StockLabel->text(), said(goods, otherStore));
}

// The "…" of the batch cell opens the batch picker installed in the package's slot, and the
// chosen batch lands on the line; without a picker the clerk is told that it is missing.
TEST_F(TBillWindowTest, TheBatchCellOpensTheBatchPicker)
{
    int pickedGoods = 0, pickedStore = 0;
    TPackageSeams::PickBatch = [&](int, int, int goods, int store, TReturnValue* result, const QDate&, double) {
        pickedGoods = goods;
        pickedStore = store;
        TListValue* row = result->AddRow();
        row->SetValue(QStringLiteral("BatchCode"), QStringLiteral("B-0417"));
        row->SetValue(QStringLiteral("BatchCodeID"), 7);
        return true;
    };
    TGoodsBillForm* f = Open(QStringLiteral("InvoiceForm"));
    ASSERT_NE(f, nullptr);
    const int store = Db(QStringLiteral("select min(storeid) from store")).toInt();
    f->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(store);
    struct {
        int GoodsID;
        QString Code;
    } g{Db(QStringLiteral("select min(goodsid) from goods where batchctrl = 'T' and closed = 'F' and kind = 1")).toInt(), {}};
    ASSERT_GT(g.GoodsID, 0) << "the demo data has no batch goods";
    g.Code = Db(QStringLiteral("select code from goods where goodsid = :g"), {{QStringLiteral("g"), g.GoodsID}}).toString();
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("1"));
    f->cdsDetail->First();
    ASSERT_EQ(f->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), g.GoodsID);
    emit f->ItemDBGrid->EditButtonClicked(QStringLiteral("batchcode"));
    EXPECT_EQ(pickedGoods, g.GoodsID);
    EXPECT_EQ(pickedStore, store);
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("batchcode"))->AsString(), QStringLiteral("B-0417"));

    // a window opened without a picker (a window stays one per bill kind: another kind)
    TPackageSeams::PickBatch = nullptr;
    TGoodsBillForm* bare = Open(QStringLiteral("CashSaleForm"));
    ASSERT_NE(bare, nullptr);
    bare->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(store);
    bare->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(bare, g.Code, QStringLiteral("1"));
    bare->cdsDetail->First();
    emit bare->ItemDBGrid->EditButtonClicked(QStringLiteral("batchcode"));
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("该功能模块没有安装：批次选择"));
}

// 批号复制 numbers the line's batch code on over as many copies of the line as the clerk asks.
TEST_F(TBillWindowTest, BatchCodeCopyNumbersTheCopiedLines)
{
    TPackageSeams::SelectBatchCodeCopy = [](QString& prefix, QString& number, QString& suffix, int& count, const QString& code) {
        EXPECT_EQ(code, QStringLiteral("L098"));
        prefix = QStringLiteral("L");
        number = QStringLiteral("098");
        suffix.clear();
        count = 3;
        return true;
    };
    const int goods = Db(QStringLiteral("select min(goodsid) from goods where batchctrl = 'T' and closed = 'F' and kind = 1")).toInt();
    ASSERT_GT(goods, 0);
    // costed by the average, the batch number only names the lot
    FCon->Execute(QStringLiteral("update goods set inf_costingtypeid = 2 where goodsid = :g"), {{QStringLiteral("g"), goods}});
    const QString code = Db(QStringLiteral("select code from goods where goodsid = :g"), {{QStringLiteral("g"), goods}}).toString();
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    f->cdsMaster->FieldByName(QStringLiteral("storeid"))->SetValue(Db(QStringLiteral("select min(storeid) from store")));
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, code, QStringLiteral("2"));
    f->cdsDetail->First();
    f->cdsDetail->Edit();
    f->cdsDetail->FieldByName(QStringLiteral("batchcode"))->SetValue(QStringLiteral("L098"));
    f->cdsDetail->Post();
    f->CopyBatchCode();
    QStringList codes;
    for (f->cdsDetail->First(); !f->cdsDetail->Eof(); f->cdsDetail->Next())
        if (f->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger() == goods)
            codes << f->cdsDetail->FieldByName(QStringLiteral("batchcode"))->AsString();
    EXPECT_EQ(codes, (QStringList{QStringLiteral("L098"), QStringLiteral("L099"), QStringLiteral("L100")}));
}

// The history actions of a saved bill open the process dialog on its follow-up bills: the kind
// of follow-up, the bill's type as the reference type and its id. A bill not yet saved has none.
TEST_F(TBillWindowTest, HistoryActionsOpenTheProcessDialogOfTheSavedBill)
{
    QList<QList<int>> calls;
    TPackageSeams::ProcessSelect = [&](int kind, int referType, int referBillId) {
        calls << QList<int>{kind, referType, referBillId};
        return true;
    };
    TGoodsBillForm* f = Open(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    f->ShowPayProcess();
    EXPECT_TRUE(calls.isEmpty()) << "a new bill has no follow-up bills";
    f->CurrentBillID = 42;
    f->ShowPayProcess();
    f->ShowPurchaseReturnProcess();
    f->ShowAllotProcess();
    const QList<QList<int>> expected{{1, f->BillType, 42}, {2, f->BillType, 42}, {6, f->BillType, 42}};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(f->BillType, 7);

    TPackageSeams::ProcessSelect = nullptr;
    f->ShowChargeProcess();
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("该功能模块没有安装：过程"));
}

// The host's Edit menu follows the bill in front (lines to delete, a saved bill to delete), a
// line's user field offers its remembered texts, and the bill date reads as a day.
TEST_F(TBillWindowTest, TheEditMenuTheLineTextsAndTheDateFollowTheBill)
{
    QHash<QString, bool> told;
    RegistFunction(QStringLiteral("SETCOMPONENTENABLED"), [&told](const QString&, const QString& subject, KQParams* p) {
        told[subject] = p->GetValue(QStringLiteral("ENABLED")).toBool();
        return 1;
    });
    int askedKind = 0;
    TPackageSeams::SelectUserDef = [&askedKind](int kind, const QString&, TClientDataSet* target, const QString& field) {
        askedKind = kind;
        target->FieldByName(field)->SetValue(QStringLiteral("加急"));
        return true;
    };
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(told.value(QStringLiteral("InsertLineItem")));
    EXPECT_FALSE(told.value(QStringLiteral("DeleteLineItem"), true)) << "a bill without lines has none to delete";
    EXPECT_FALSE(told.value(QStringLiteral("DeleteItem"), true)) << "a new bill is not deleted";
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$")).match(f->DateDBEdit->text()).hasMatch())
        << f->DateDBEdit->text().toStdString();

    const int vendor = Db(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_TRUE(told.value(QStringLiteral("DeleteLineItem"))) << "the new line may be deleted";
    TypeLine(f, Goods(0).Code, QStringLiteral("3"));
    f->cdsDetail->First();
    // the text is not remembered yet (the script chose it): the clerk is asked, and declines
    FMessages->Answer(IDNO);
    emit f->ItemDBGrid->EditButtonClicked(QStringLiteral("userdef1"));
    EXPECT_EQ(askedKind, 10006) << "the first line text keeps its own kind";
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("userdef1"))->AsString(), QStringLiteral("加急"));

    f->SetReadOnly(true);
    EXPECT_FALSE(told.value(QStringLiteral("InsertLineItem"), true)) << "a read-only bill takes no lines";
    EXPECT_FALSE(told.value(QStringLiteral("DeleteLineItem"), true));
}
