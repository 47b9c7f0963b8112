#pragma once
// Purchase windows opened on the demo database and filled as the clerk fills them: master
// values into their fields, lines goods by goods (the goods engine fills names, units and
// prices), then saved with the window's own save; options set as the account set keeps them.
#include "BillWindowFixture.h"

#include "host/Session.h"

class TPurchaseWindowTest : public TBillWindowTest {
protected:
    void SetUp() override
    {
        TBillWindowTest::SetUp();
        vendor = Db(QStringLiteral("select min(clientid) from client where clientkind = 2 and closed = 'F'")).toInt();
        store = Db(QStringLiteral("select min(storeid) from store where closed = 'F'")).toInt();
        bank = Db(QStringLiteral("select min(bankid) from bank where closed = 'F'")).toInt();
        ASSERT_GT(vendor, 0);
        ASSERT_GT(store, 0);
        ASSERT_GT(bank, 0);
        goods = Goods(0);
        ASSERT_GT(goods.GoodsID, 0);
    }
    void Option(const QString& key, const QString& value)
    {
        FCon->Execute(QStringLiteral("delete from accoption where upper(optionkey) = upper(:k)"), {{QStringLiteral("k"), key}});
        FCon->Execute(QStringLiteral("insert into accoption (optionkey, optionvalue) values (:k, :v)"),
                      {{QStringLiteral("k"), key}, {QStringLiteral("v"), value}});
        ReloadAccOptions();
    }
    static void Set(TGoodsBillForm* f, const QString& field, const QVariant& v)
    {
        TField* fld = f->cdsMaster->FieldByName(field);
        ASSERT_NE(fld, nullptr) << field.toStdString();
        fld->SetValue(v);
    }
    // A line of goods in its base unit; price 0 keeps the engine's price.
    static void AddLine(TGoodsBillForm* f, int goodsId, int unitId, double qty, double price = 0, const QVariantMap& more = {})
    {
        f->cdsDetail->Append();
        f->cdsDetail->FieldByName(f->FieldNames.GoodsID)->SetValue(goodsId);
        f->cdsDetail->FieldByName(f->FieldNames.UnitID)->SetValue(unitId);
        f->cdsDetail->FieldByName(f->FieldNames.UnitQty)->SetValue(qty);
        if (price != 0)
            f->cdsDetail->FieldByName(f->FieldNames.UnitPrice)->SetValue(price);
        for (auto it = more.cbegin(); it != more.cend(); ++it)
            f->cdsDetail->FieldByName(it.key())->SetValue(it.value());
        f->cdsDetail->Post();
    }
    // A vendor-side goods bill with its vendor, store and plain invoice filled in.
    TGoodsBillForm* OpenFilled(const QString& form)
    {
        TGoodsBillForm* f = Open(form);
        if (!f)
            return nullptr;
        f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
        for (const char* name : {"storeid", "billtypeid"})
            if (TField* fld = f->cdsMaster->FindField(QString::fromLatin1(name)))
                fld->SetValue(name[0] == 's' ? store : 1);
        return f;
    }
    // The new bill's id after a save through the window; 0 when refused.
    int SaveNew(TGoodsBillForm* f, const QString& table, const QString& key)
    {
        const int before = Db(QStringLiteral("select ifnull(max(%1), 0) from %2").arg(key, table)).toInt();
        if (!f->SaveBill())
            return 0;
        const int after = Db(QStringLiteral("select ifnull(max(%1), 0) from %2").arg(key, table)).toInt();
        return after > before ? after : 0;
    }
    bool Shown(const QString& text) const { return FMessages->Contains(text); }

    int vendor = 0, store = 0, bank = 0;
    TDemoGoods goods;
};
