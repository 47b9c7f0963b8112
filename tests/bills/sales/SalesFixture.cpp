#include "SalesFixture.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "platform/DataSet.h"

#include <QApplication>

void TSalesTest::SetOption(const QString& key, const QString& value)
{
    FCon->Execute(QStringLiteral("update accoption set optionvalue = :v where optionkey = :k"), {{QStringLiteral("v"), value}, {QStringLiteral("k"), key}});
    ReloadAccOptions();
}

int TSalesTest::Client(int index, double credit, double balance)
{
    const int id = Db(QStringLiteral("select clientid from client where clientkind = 1 and closed = 'F' and clientid > 1 order by clientid limit 1 offset :n"),
                      {{QStringLiteral("n"), index}})
                       .toInt();
    FCon->Execute(QStringLiteral("update client set credit = :c, balance = :b, suramt = 0 where clientid = :id"),
                  {{QStringLiteral("c"), credit}, {QStringLiteral("b"), balance}, {QStringLiteral("id"), id}});
    return id;
}

TSalesTest::TStock TSalesTest::Stocked(int index)
{
    TClientDataSet rows;
    FCon->OpenDataSet(QStringLiteral("select g.goodsid, g.code, u.unitid from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0"
                                     " where g.kind = 1 and g.closed = 'F' and g.batchctrl = 'F' and"
                                     " (select sum(onhand) from onhand o where o.goodsid = g.goodsid and o.storeid = 1) >= 100"
                                     " order by g.goodsid"),
                      &rows);
    TStock s;
    if (index >= rows.RecordCount())
        return s;
    rows.SetRecNo(index + 1);
    s.GoodsID = rows.Fields(0)->AsInteger();
    s.Code = rows.Fields(1)->AsString();
    s.UnitID = rows.Fields(2)->AsInteger();
    return s;
}

TSalesBillForm* TSalesTest::NewBill(const QString& formName, int client)
{
    TGoodsBillForm* open = nullptr;
    for (TBillBaseForm* f : LiveBillForms())
        if (f->objectName().compare(formName, Qt::CaseInsensitive) == 0)
            open = qobject_cast<TGoodsBillForm*>(f);
    if (open) {
        // what the previous test step left unsaved is dropped
        if (open->IsBillModified())
            FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
        open->NewBill();
    }
    else
        open = Open(formName);
    auto* f = qobject_cast<TSalesBillForm*>(open);
    if (!f)
        return nullptr;
    if (client > 0)
        Set(f, QStringLiteral("clientid"), client);
    for (const char* store : {"storeid", "outstoreid"})
        if (f->cdsMaster->FindField(QString::fromLatin1(store)))
            Set(f, QString::fromLatin1(store), 1);
    if (f->cdsMaster->FindField(QStringLiteral("billtypeid")))
        Set(f, QStringLiteral("billtypeid"), 1);
    return f;
}

void TSalesTest::Set(TGoodsBillForm* f, const QString& field, const QVariant& value)
{
    TField* x = f->cdsMaster->FieldByName(field);
    if (f->cdsMaster->State() == TDataSetState::dsBrowse)
        f->cdsMaster->Edit();
    x->SetValue(value);
    QApplication::processEvents();
}

void TSalesTest::SetLine(TGoodsBillForm* f, const QString& field, const QVariant& value)
{
    if (f->cdsDetail->State() == TDataSetState::dsBrowse)
        f->cdsDetail->Edit();
    f->cdsDetail->FieldByName(field)->SetValue(value);
}

void TSalesTest::AddLine(TGoodsBillForm* f, const TStock& goods, double qty, double price)
{
    SetDataSetPost(f->cdsDetail);
    f->cdsDetail->Append();
    ASSERT_TRUE(f->EnterGoodsText(goods.Code)) << goods.Code.toStdString();
    SetLine(f, QStringLiteral("unitqty"), qty);
    SetLine(f, QStringLiteral("unitprice"), price);
    f->cdsDetail->Post();
}

bool TSalesTest::Save(TGoodsBillForm* f)
{
    const bool ok = f->SaveBill();
    QApplication::processEvents();
    return ok && !f->IsNewBill;
}

double TSalesTest::OnHand(int goods, int store)
{
    return Db(QStringLiteral("select ifnull(sum(onhand), 0) from onhand where goodsid = :g and storeid = :s"), {{QStringLiteral("g"), goods}, {QStringLiteral("s"), store}})
        .toDouble();
}

double TSalesTest::Balance(int client)
{
    return Db(QStringLiteral("select balance from client where clientid = :c"), {{QStringLiteral("c"), client}}).toDouble();
}

double TSalesTest::LineValue(const QString& table, const QString& key, int id, int itemNo, const QString& column)
{
    return Db(QStringLiteral("select ifnull(%1, 0) from %2 where %3 = :id and itemno = :i").arg(column, table, key),
              {{QStringLiteral("id"), id}, {QStringLiteral("i"), itemNo}})
        .toDouble();
}

double TSalesTest::MasterNum(const QString& table, const QString& key, int id, const QString& column)
{
    return Db(QStringLiteral("select ifnull(%1, 0) from %2 where %3 = :id").arg(column, table, key), {{QStringLiteral("id"), id}}).toDouble();
}
