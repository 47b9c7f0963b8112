#pragma once
// A goods bill without a window on a copy of the demo database: master and detail datasets
// with the fields goods bills carry, the pricing, line, check and master engines wired to
// their change events the way the bill window wires them, scripted messages, and goods,
// partners and batches of the test's own making.
#include "goodsbill/BillChecks.h"
#include "goodsbill/GoodsLines.h"
#include "goodsbill/LinePricing.h"
#include "goodsbill/MasterServices.h"
#include "host/Messages.h"
#include "services/BillDB.h"
#include "tests/support/DemoDb.h"

#include <QHash>

#include <memory>

struct TTestUnit {
    QString Name;
    double Rate = 1;
    QString BarCode;
    QString WeightCode;
    double SalePrice = 0;
    double PurchasePrice = 0;
};

struct TTestGoods {
    QString Code;
    QString Name;
    QString PinYin;
    int Kind = 1;
    int Costing = 1;
    bool Batch = false;
    int ShelfLife = 0;
    QList<TTestUnit> Units; // the first is the base unit
};

class TEngineTest : public TDemoDbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new bill of this type and side with an empty master row and no lines; the engines
    // are made for it. The key field names the master key in both datasets.
    void MakeBill(int billType, int tradeSide, const QString& keyField = QStringLiteral("orderid"),
                  const QString& detailTable = QStringLiteral("orderdetail"), const QString& masterTable = QStringLiteral("porder"));
    // Goods of the test with units; returns the goods id (unit ids follow in UnitIds).
    int AddGoods(const TTestGoods& goods);
    QHash<QString, int> UnitIds; // by goods code + "/" + unit name
    // A client or vendor; returns its id.
    int AddPartner(int kind, const QString& name, int empId = 0, double balance = 0, double surAmt = 0);

public: // for the case tables of the tests
    TField* D(const QString& name) const { return Detail.FieldByName(name); }
    TField* M(const QString& name) const { return Master.FieldByName(name); }
    void NewLine() { Detail.Append(); }
    // The user types a value into a cell or a master field.
    void Type(const QString& field, const QVariant& v) { D(field)->SetValue(v); }
    void TypeMaster(const QString& field, const QVariant& v) { M(field)->SetValue(v); }
    QString Shown() const { return Msgs->Texts().join(u'|'); }
    // Counts the calls of the goods-info procedure from now on.
    void CountGoodsInfoCalls();
    int GoodsInfoCalls = 0;

    QHash<QString, QString> Options; // account options that win over the database's
    std::unique_ptr<TScriptedMessages> Msgs;
    std::unique_ptr<TBillDB> BillDB;
    TClientDataSet Master;
    TClientDataSet Detail;
    TGoodsBillContext Ctx;
    std::unique_ptr<TLinePricing> Pricing;
    std::unique_ptr<TGoodsLines> Lines;
    std::unique_ptr<TBillChecks> Checks;
    std::unique_ptr<TMasterServices> Services;
};
