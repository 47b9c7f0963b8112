#include "tests/goodsbill/EngineFixture.h"

#include "server/GoodsInfo.h"
#include "server/Procedures.h"

namespace {

// The fields of a goods bill's master and lines, by type (text fields hold 64 characters).
struct TFieldGroup {
    TFieldType Type;
    const char* Names;
};

const TFieldGroup kMasterFields[] = {
    {TFieldType::ftInteger, "clientid storeid shopid billtypeid termdays exemanid EMPID DepartmentID flag linkmanid"
                            " paytypeid bankid INSHOPID INSTOREID backmanid"},
    {TFieldType::ftCurrency, "amount totalamt checkamt factamount Credit suramt balance DebtAmt BalAmt"},
    {TFieldType::ftFloat, "disc"},
    {TFieldType::ftDateTime, "billdate CTermDays"},
    {TFieldType::ftString, "code memo userdef1 userdef2 userdef3 userdef4 userdef5 clientname clientfullname clientaddress"
                           " clientfax shipto billto phone fax contator SendEMail"},
};

const TFieldGroup kDetailFields[] = {
    {TFieldType::ftInteger, "itemno goodsid unitid refercount refertype referbillid referitemno batchrefid validdates"
                            " inf_costingtypeid goodskind detailbillflowid"},
    {TFieldType::ftFloat, "unitrate unitqty quantity price nprice unitprice taxprice disc taxrate aprice unitaprice rcvdqty"},
    {TFieldType::ftCurrency, "goodsamt taxamt amount"},
    {TFieldType::ftDateTime, "produceddate validdate"},
    {TFieldType::ftString, "goodscode goodsname shortname specs unit baseunit barcode referbillcode batchcode batchctrl"
                           " ispresent memo userdef1 userdef2 userdef3"},
};

void AddFields(TClientDataSet& ds, const TFieldGroup (&groups)[5])
{
    for (const TFieldGroup& g : groups)
        for (const QString& name : QString::fromLatin1(g.Names).split(u' ', Qt::SkipEmptyParts))
            ds.AddField(name, g.Type, g.Type == TFieldType::ftString ? 64 : 0);
}

} // namespace

void TEngineTest::SetUp()
{
    TDemoDbTest::SetUp();
    Msgs = std::make_unique<TScriptedMessages>();
    BillDB = std::make_unique<TBillDB>(nullptr, &Con());
    Con().Execute(QStringLiteral("update accoption set optionvalue = '' where optionkey in ('SELFSTOREGOODS')"));
}

void TEngineTest::TearDown()
{
    Services.reset();
    Checks.reset();
    Lines.reset();
    Pricing.reset();
    BillDB.reset();
    Msgs.reset();
    RegisterGoodsInfoProcedure();
    TDemoDbTest::TearDown();
}

void TEngineTest::MakeBill(int billType, int tradeSide, const QString& keyField, const QString& detailTable, const QString& masterTable)
{
    Services.reset();
    Checks.reset();
    Lines.reset();
    Pricing.reset();
    for (TClientDataSet* ds : {&Master, &Detail}) {
        ds->Close();
        ds->ClearFields();
        ds->AddField(keyField, TFieldType::ftInteger);
    }
    AddFields(Master, kMasterFields);
    AddFields(Detail, kDetailFields);
    Master.CreateDataSet();
    Detail.CreateDataSet();
    Master.Append();
    Master.FieldByName(QStringLiteral("billdate"))->SetValue(QDateTime(QDate::currentDate(), QTime(9, 0)));
    Master.FieldByName(QStringLiteral("code"))->SetValue(QStringLiteral("T-0001"));
    Master.Post();

    Ctx = TGoodsBillContext();
    Ctx.Con = &Con();
    Ctx.Session.OpID = 1;
    Ctx.Session.PeriodStart = QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    TClientConnection* con = &Con();
    Ctx.Session.Option = [this, con](const QString& key) {
        if (Options.contains(key))
            return Options.value(key);
        return con->ExecuteScalar(QStringLiteral("select optionvalue from accoption where optionkey = :k"), {{QStringLiteral("k"), key}})
            .toString();
    };
    Ctx.Master = &Master;
    Ctx.Detail = &Detail;
    Ctx.Settings.BillType = billType;
    Ctx.Settings.TradeSide = tradeSide;
    Ctx.Settings.RefuseKind3Goods = billType == 13;
    Ctx.MasterTable = masterTable;
    Ctx.KeyField = keyField;
    Ctx.DetailTable = detailTable;
    Ctx.BillDB = BillDB.get();

    Pricing = std::make_unique<TLinePricing>(&Detail, Ctx.Names, Ctx.Settings, TPricingOptions::Read(Ctx.Session.Option), &Master);
    Pricing->SetConnection(&Con());
    Lines = std::make_unique<TGoodsLines>(&Ctx, Pricing.get());
    Checks = std::make_unique<TBillChecks>(&Ctx, Lines.get());
    Services = std::make_unique<TMasterServices>(&Ctx, Lines.get());
    for (int i = 0; i < Detail.FieldCount(); ++i)
        Detail.Fields(i)->OnChange = [this](TField* f) { Lines->DetailFieldChanged(f); };
    for (int i = 0; i < Master.FieldCount(); ++i)
        Master.Fields(i)->OnChange = [this](TField* f) { Services->MasterFieldChanged(f); };
    Detail.OnNewRecord = [this, next = 0](TClientDataSet* ds) mutable {
        ds->FieldByName(QStringLiteral("itemno"))->SetValue(++next);
        Pricing->DetailNewRecord();
    };
}

int TEngineTest::AddGoods(const TTestGoods& g)
{
    const int id = Con().ExecuteScalar(QStringLiteral("select max(goodsid) + 1 from goods")).toInt();
    Con().Execute(QStringLiteral("insert into goods (goodsid, code, name, shortname, pyassist, specs, unit, kind, inf_costingtypeid,"
                                 " batchctrl, validdates, closed, aprice) values (:id, :code, :name, :name, :py, '500ml', :unit, :kind,"
                                 " :costing, :batch, :life, 'F', 2.5)"),
                  {{QStringLiteral("id"), id}, {QStringLiteral("code"), g.Code}, {QStringLiteral("name"), g.Name},
                   {QStringLiteral("py"), g.PinYin}, {QStringLiteral("unit"), g.Units.value(0).Name}, {QStringLiteral("kind"), g.Kind},
                   {QStringLiteral("costing"), g.Costing}, {QStringLiteral("batch"), g.Batch ? "T" : "F"},
                   {QStringLiteral("life"), g.ShelfLife}});
    for (int i = 0; i < g.Units.size(); ++i) {
        const TTestUnit& u = g.Units.at(i);
        const int unitId = Con().ExecuteScalar(QStringLiteral("select max(unitid) + 1 from goodsunit")).toInt();
        Con().Execute(QStringLiteral("insert into goodsunit (unitid, goodsid, unitname, rate, unittype, barcode, weightcode, pprice,"
                                     " lastpprice, sprice) values (:u, :g, :n, :r, :t, :b, :w, :pp, 0, :sp)"),
                      {{QStringLiteral("u"), unitId}, {QStringLiteral("g"), id}, {QStringLiteral("n"), u.Name},
                       {QStringLiteral("r"), u.Rate}, {QStringLiteral("t"), i == 0 ? 0 : 1},
                       {QStringLiteral("b"), u.BarCode.isEmpty() ? QVariant() : QVariant(u.BarCode)},
                       {QStringLiteral("w"), u.WeightCode.isEmpty() ? QVariant() : QVariant(u.WeightCode)},
                       {QStringLiteral("pp"), u.PurchasePrice}, {QStringLiteral("sp"), u.SalePrice}});
        UnitIds.insert(g.Code + u'/' + u.Name, unitId);
    }
    return id;
}

int TEngineTest::AddPartner(int kind, const QString& name, int empId, double balance, double surAmt)
{
    const int id = Con().ExecuteScalar(QStringLiteral("select max(clientid) + 1 from client")).toInt();
    Con().Execute(QStringLiteral("insert into client (clientid, code, name, shortname, clientkind, address, phone, fax, shipto, contator,"
                                 " taxid, bank, bankid, credit, suramt, balance, empid) values (:id, :code, :full, :name, :kind,"
                                 " '南京路1号', '021-1234', '021-5678', '仓库门口', '王经理', 'TAX-9', '工行', '6222', 5000, :sur, :bal, :emp)"),
                  {{QStringLiteral("id"), id}, {QStringLiteral("code"), QStringLiteral("P%1").arg(id)}, {QStringLiteral("full"), name + QStringLiteral("有限公司")},
                   {QStringLiteral("name"), name}, {QStringLiteral("kind"), kind}, {QStringLiteral("sur"), surAmt},
                   {QStringLiteral("bal"), balance}, {QStringLiteral("emp"), empId == 0 ? QVariant() : QVariant(empId)}});
    return id;
}

void TEngineTest::CountGoodsInfoCalls()
{
    GoodsInfoCalls = 0;
    TServerRegistry::RegisterProcedure(QStringLiteral("getgoodsinfo"), [this](TClientConnection& con, TProcParams& p, TClientDataSet* rows) {
        ++GoodsInfoCalls;
        GetGoodsInfoProc(con, p, rows);
    });
}
