#include "tests/goodsbill/EngineFixture.h"

#include "server/GoodsInfo.h"
#include "server/Procedures.h"

namespace {

struct TFieldSpec {
    const char* Name;
    TFieldType Type;
    int Size;
};

const TFieldSpec kMasterFields[] = {
    {"code", TFieldType::ftString, 32},        {"billdate", TFieldType::ftDateTime, 0}, {"clientid", TFieldType::ftInteger, 0},
    {"storeid", TFieldType::ftInteger, 0},     {"shopid", TFieldType::ftInteger, 0},    {"billtypeid", TFieldType::ftInteger, 0},
    {"amount", TFieldType::ftCurrency, 0},     {"totalamt", TFieldType::ftCurrency, 0}, {"checkamt", TFieldType::ftCurrency, 0},
    {"factamount", TFieldType::ftCurrency, 0}, {"disc", TFieldType::ftFloat, 0},        {"termdays", TFieldType::ftInteger, 0},
    {"CTermDays", TFieldType::ftDateTime, 0},  {"exemanid", TFieldType::ftInteger, 0},  {"EMPID", TFieldType::ftInteger, 0},
    {"DepartmentID", TFieldType::ftInteger, 0}, {"memo", TFieldType::ftString, 255},    {"userdef1", TFieldType::ftString, 64},
    {"userdef2", TFieldType::ftString, 64},    {"userdef3", TFieldType::ftString, 64},  {"userdef4", TFieldType::ftString, 64},
    {"userdef5", TFieldType::ftString, 64},    {"flag", TFieldType::ftInteger, 0},      {"clientname", TFieldType::ftString, 64},
    {"clientfullname", TFieldType::ftString, 128}, {"clientaddress", TFieldType::ftString, 128},
    {"clientfax", TFieldType::ftString, 40},   {"shipto", TFieldType::ftString, 128},   {"billto", TFieldType::ftString, 128},
    {"phone", TFieldType::ftString, 40},       {"fax", TFieldType::ftString, 40},       {"Credit", TFieldType::ftCurrency, 0},
    {"suramt", TFieldType::ftCurrency, 0},     {"balance", TFieldType::ftCurrency, 0},  {"DebtAmt", TFieldType::ftCurrency, 0},
    {"BalAmt", TFieldType::ftCurrency, 0},     {"linkmanid", TFieldType::ftInteger, 0}, {"contator", TFieldType::ftString, 32},
    {"paytypeid", TFieldType::ftInteger, 0},   {"bankid", TFieldType::ftInteger, 0},    {"SendEMail", TFieldType::ftString, 1},
    {"INSHOPID", TFieldType::ftInteger, 0},    {"INSTOREID", TFieldType::ftInteger, 0}, {"backmanid", TFieldType::ftInteger, 0},
};

const TFieldSpec kDetailFields[] = {
    {"itemno", TFieldType::ftInteger, 0},      {"goodsid", TFieldType::ftInteger, 0},   {"goodscode", TFieldType::ftString, 32},
    {"goodsname", TFieldType::ftString, 128},  {"shortname", TFieldType::ftString, 64}, {"specs", TFieldType::ftString, 64},
    {"unit", TFieldType::ftString, 16},        {"baseunit", TFieldType::ftString, 16},  {"unitid", TFieldType::ftInteger, 0},
    {"unitrate", TFieldType::ftFloat, 0},      {"barcode", TFieldType::ftString, 32},   {"unitqty", TFieldType::ftFloat, 0},
    {"quantity", TFieldType::ftFloat, 0},      {"price", TFieldType::ftFloat, 0},       {"nprice", TFieldType::ftFloat, 0},
    {"unitprice", TFieldType::ftFloat, 0},     {"taxprice", TFieldType::ftFloat, 0},    {"disc", TFieldType::ftFloat, 0},
    {"taxrate", TFieldType::ftFloat, 0},       {"goodsamt", TFieldType::ftCurrency, 0}, {"taxamt", TFieldType::ftCurrency, 0},
    {"amount", TFieldType::ftCurrency, 0},     {"refercount", TFieldType::ftInteger, 0}, {"refertype", TFieldType::ftInteger, 0},
    {"referbillid", TFieldType::ftInteger, 0}, {"referbillcode", TFieldType::ftString, 32}, {"referitemno", TFieldType::ftInteger, 0},
    {"batchcode", TFieldType::ftString, 32},   {"batchrefid", TFieldType::ftInteger, 0}, {"produceddate", TFieldType::ftDateTime, 0},
    {"validdate", TFieldType::ftDateTime, 0},  {"validdates", TFieldType::ftInteger, 0}, {"batchctrl", TFieldType::ftString, 1},
    {"inf_costingtypeid", TFieldType::ftInteger, 0}, {"goodskind", TFieldType::ftInteger, 0}, {"ispresent", TFieldType::ftString, 1},
    {"memo", TFieldType::ftString, 64},        {"aprice", TFieldType::ftFloat, 0},      {"unitaprice", TFieldType::ftFloat, 0},
    {"userdef1", TFieldType::ftString, 64},    {"userdef2", TFieldType::ftString, 64},  {"userdef3", TFieldType::ftString, 64},
    {"rcvdqty", TFieldType::ftFloat, 0},       {"detailbillflowid", TFieldType::ftInteger, 0},
};

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
    for (const TFieldSpec& f : kMasterFields)
        Master.AddField(QString::fromLatin1(f.Name), f.Type, f.Size);
    for (const TFieldSpec& f : kDetailFields)
        Detail.AddField(QString::fromLatin1(f.Name), f.Type, f.Size);
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
