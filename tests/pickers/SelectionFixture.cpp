#include "tests/pickers/SelectionFixture.h"

#include "host/Lookups.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "package/BillPackage.h"
#include "platform/DBControls.h"
#include "server/Procedures.h"
#include "tests/support/DemoDb.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>

void TSelectionTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    const QString file = FDir.filePath(QStringLiteral("bills.db"));
    ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), file));
    RegisterServerProcedures();
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(file);
    g_DefaultCon = FCon.get();
    ResetSession();
    ClearRegistries();
    FMessages = std::make_unique<TScriptedMessages>();
    ASSERT_TRUE(LoginAs(1, FCon.get()));
    BillLoad();
}

void TSelectionTest::TearDown()
{
    // deleting a window deletes its children: the list is taken first, guarded
    QList<QPointer<QWidget>> forms;
    for (QWidget* w : QApplication::allWidgets())
        if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f == w)
            forms.append(w);
    for (const QPointer<QWidget>& w : forms)
        delete w.data();
    BillUnload();
    FMessages.reset();
    ClearRegistries();
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}

TGoodsBillForm* TSelectionTest::Open(const QString& formName)
{
    Bill_Call(QStringLiteral("SHOWBILLFORM"), formName, nullptr);
    for (QWidget* w : QApplication::allWidgets())
        if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f == w && f->objectName().compare(formName, Qt::CaseInsensitive) == 0)
            return qobject_cast<TGoodsBillForm*>(f);
    return nullptr;
}

int TSelectionTest::AddPartner(int kind, const QString& name)
{
    const int id = Db(QStringLiteral("select max(clientid) + 1 from client")).toInt();
    FCon->Execute(QStringLiteral("insert into client (clientid, code, name, shortname, clientkind, closed) values (:id, :code, :name, :name, :kind, 'F')"),
                  {{QStringLiteral("id"), id}, {QStringLiteral("code"), QStringLiteral("SEL%1").arg(id)}, {QStringLiteral("name"), name},
                   {QStringLiteral("kind"), kind}});
    return id;
}

TSelectionTest::TGoods TSelectionTest::AddGoods(const QString& code, const QString& name, double salePrice, double purchasePrice, double stock)
{
    TGoods g;
    g.Code = code;
    g.GoodsID = Db(QStringLiteral("select max(goodsid) + 1 from goods")).toInt();
    FCon->Execute(QStringLiteral("insert into goods (goodsid, code, name, shortname, pyassist, specs, unit, kind, inf_costingtypeid, batchctrl,"
                                 " validdates, closed, aprice) values (:id, :code, :name, :name, 'SEL', '500ml', '瓶', 1, 1, 'F', 0, 'F', :cost)"),
                  {{QStringLiteral("id"), g.GoodsID}, {QStringLiteral("code"), code}, {QStringLiteral("name"), name},
                   {QStringLiteral("cost"), purchasePrice}});
    g.UnitID = Db(QStringLiteral("select max(unitid) + 1 from goodsunit")).toInt();
    g.PackUnitID = g.UnitID + 1;
    FCon->Execute(QStringLiteral("insert into goodsunit (unitid, goodsid, unitname, rate, unittype, barcode, pprice, lastpprice, sprice)"
                                 " values (:u, :g, '瓶', 1, 0, :bar, :pp, 0, :sp)"),
                  {{QStringLiteral("u"), g.UnitID}, {QStringLiteral("g"), g.GoodsID}, {QStringLiteral("bar"), QStringLiteral("69") + code},
                   {QStringLiteral("pp"), purchasePrice}, {QStringLiteral("sp"), salePrice}});
    FCon->Execute(QStringLiteral("insert into goodsunit (unitid, goodsid, unitname, rate, unittype, pprice, lastpprice, sprice)"
                                 " values (:u, :g, '箱', 12, 1, :pp, 0, :sp)"),
                  {{QStringLiteral("u"), g.PackUnitID}, {QStringLiteral("g"), g.GoodsID}, {QStringLiteral("pp"), purchasePrice * 12},
                   {QStringLiteral("sp"), salePrice * 12}});
    if (stock > 0)
        FCon->Execute(QStringLiteral("insert into onhand (storeid, goodsid, onhand, aprice, amount) values (:s, :g, :q, :c, :a)"),
                      {{QStringLiteral("s"), Store}, {QStringLiteral("g"), g.GoodsID}, {QStringLiteral("q"), stock},
                       {QStringLiteral("c"), purchasePrice}, {QStringLiteral("a"), stock * purchasePrice}});
    return g;
}

int TSelectionTest::AddPurchaseOrder(int vendorId, const QString& code, const QVector<TOrderLine>& lines)
{
    // far above the ids the server hands out, so that a bill saved later never takes it
    const int id = Db(QStringLiteral("select ifnull(max(orderid), 0) + 5000 from porder")).toInt();
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 08:00:00");
    FCon->Execute(QStringLiteral("insert into porder (orderid, clientid, code, billdate, shopid, opid, flag, closed, finished, memo, userdef1)"
                                 " values (:id, :v, :code, :d, :shop, 1, 0, 'F', 'F', '订单备注', '订单自定义1')"),
                  {{QStringLiteral("id"), id}, {QStringLiteral("shop"), AccSetData.ShopID}, {QStringLiteral("v"), vendorId}, {QStringLiteral("code"), code}, {QStringLiteral("d"), today}});
    int item = 0;
    for (const TOrderLine& l : lines) {
        ++item;
        FCon->Execute(QStringLiteral("insert into orderdetail (orderid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate,"
                                     " goodsamt, taxamt, amount, rcvdqty, memo) values (:id, :i, :g, :u, :q, :q, :p, :p, 100, 13, :a, :t, :at, :r, :m)"),
                      {{QStringLiteral("id"), id}, {QStringLiteral("i"), item}, {QStringLiteral("g"), l.Goods.GoodsID},
                       {QStringLiteral("u"), l.Goods.UnitID}, {QStringLiteral("q"), l.Qty}, {QStringLiteral("p"), l.Price},
                       {QStringLiteral("a"), l.Qty * l.Price}, {QStringLiteral("t"), l.Qty * l.Price * 0.13},
                       {QStringLiteral("at"), l.Qty * l.Price * 1.13}, {QStringLiteral("r"), l.Received},
                       {QStringLiteral("m"), QStringLiteral("行%1").arg(item)}});
    }
    return id;
}

TGoodsBillForm* TSelectionTest::Invoice(const TGoods& g, double qty, double price)
{
    TGoodsBillForm* f = Open(QStringLiteral("InvoiceForm"));
    EXPECT_NE(f, nullptr);
    if (!f)
        return nullptr;
    SetMaster(f, QStringLiteral("clientid"), AddPartner(1, QStringLiteral("开单客户")));
    SetMaster(f, QStringLiteral("storeid"), Store);
    f->InsertDetailLine();
    EXPECT_TRUE(f->EnterGoodsText(g.Code));
    f->cdsDetail->FieldByName(QStringLiteral("unitqty"))->SetValue(qty);
    f->cdsDetail->FieldByName(QStringLiteral("unitprice"))->SetValue(price);
    f->cdsDetail->Post();
    return f;
}

void TSelectionTest::SetOption(const QString& key, const QString& value)
{
    if (FCon->Execute(QStringLiteral("update accoption set optionvalue = :v where optionkey = :k"), {{QStringLiteral("v"), value}, {QStringLiteral("k"), key}}) == 0)
        FCon->Execute(QStringLiteral("insert into accoption (optionkey, optionvalue) values (:k, :v)"), {{QStringLiteral("k"), key}, {QStringLiteral("v"), value}});
    ReloadAccOptions();
}

void TSelectionTest::SetMaster(TGoodsBillForm* f, const QString& field, const QVariant& value)
{
    TClientDataSet* m = f->cdsMaster;
    if (m->State() != TDataSetState::dsEdit && m->State() != TDataSetState::dsInsert)
        m->Edit();
    m->FieldByName(field)->SetValue(value);
}

void TSelectionTest::ClickTick(TDBGrid* grid, int row)
{
    const int col = grid->Model()->ColumnOfField(QStringLiteral("is_select"));
    ASSERT_GE(col, 0) << "no tick column";
    const QModelIndex index = grid->Model()->index(row, col);
    grid->scrollTo(index);
    const QRect r = grid->visualRect(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QApplication::processEvents();
}

void TSelectionTest::Expose(QDialog* d)
{
    d->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
    QApplication::processEvents();
}

void TSelectionTest::Render(QWidget* w, const QString& name)
{
    const QString dir = QStringLiteral(TB_BINARY_DIR) + QStringLiteral("/pickers-png");
    QDir().mkpath(dir);
    w->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}
