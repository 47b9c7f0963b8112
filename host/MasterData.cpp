#include "host/MasterData.h"

#include "host/Pinyin.h"
#include "host/Privileges.h"
#include "platform/Exceptions.h"
#include "platform/TextRules.h"
#include "webrpc/Connection.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <cmath>

namespace {

using F = TMasterFieldType;

TMasterField Text(const char* name, const char* caption, int size, bool required = false, bool unique = false)
{
    TMasterField f;
    f.Name = QString::fromLatin1(name);
    f.Caption = QString::fromUtf8(caption);
    f.MaxLength = size;
    f.Required = required;
    f.Unique = unique;
    return f;
}

TMasterField Typed(const char* name, const char* caption, F type, const QVariant& dflt = QVariant())
{
    TMasterField f;
    f.Name = QString::fromLatin1(name);
    f.Caption = QString::fromUtf8(caption);
    f.Type = type;
    f.Default = dflt;
    if (type == F::Memo)
        f.MaxLength = 255;
    return f;
}

TMasterField Choice(const char* name, const char* caption, const char* sql, const QVariant& dflt = QVariant(), bool required = false)
{
    TMasterField f = Typed(name, caption, F::Choice, dflt);
    f.ChoiceSql = QString::fromUtf8(sql);
    f.Required = required;
    return f;
}

// The branch a row belongs to: 0 is the head office, which the shop table does not list.
TMasterField ShopChoice()
{
    TMasterField f = Choice("shopid", "所属机构", "select shopid, name from shop order by code", 0);
    f.NoneValue = 0;
    f.NoneText = QStringLiteral("总部");
    return f;
}

TMasterField ReadOnlyMoney(const char* name, const char* caption)
{
    TMasterField f = Typed(name, caption, F::Money, 0.0);
    f.ReadOnly = true;
    return f;
}

const char* kEmployeeChoice = "select empid, name from employ where sign = 'T' order by code";
const char* kVendorChoice = "select clientid, shortname from client where (clientkind = 2 or isdouble = 'T') and closed = 'F' order by code";

QString Closed(const char* alias)
{
    return QStringLiteral("case when %1.closed = 'T' then '停用' else '' end as state").arg(QString::fromLatin1(alias));
}

TMasterKindInfo GoodsInfo()
{
    TMasterKindInfo k{TMasterKind::Goods, QStringLiteral("Goods"), QStringLiteral("货品"), QStringLiteral("goods"), QStringLiteral("goodsid"),
                      kGoodsPrivilege, {QStringLiteral("GoodsDataSet"), QStringLiteral("GoodsUnit")}, {}, {}, {}, {}, {}, false};
    k.Fields = {
        Text("code", "货品编码", 32, true, true),
        Text("name", "货品名称", 128, true),
        Text("shortname", "简称", 64),
        Text("pyassist", "拼音码", 32),
        Text("specs", "规格", 64),
        Choice("goodstypeid", "货品类别", "select goodstypeid, name from goodstype order by lcode"),
        Choice("kind", "货品性质", "select kind, name from goodskind order by kind", 1, true),
        Choice("inf_costingtypeid", "成本计算方法", "select inf_costingtypeid, name from costingtype order by inf_costingtypeid", 1, true),
        Typed("batchctrl", "批次管理", F::Flag, QStringLiteral("F")),
        Typed("validdates", "保质期(天)", F::Integer, 0),
        Typed("taxrate", "税率%", F::Number, 17.0),
        Choice("clientid", "主供应商", kVendorChoice),
        Text("producer", "产地", 64),
        Typed("downqty", "库存下限", F::Number, 0.0),
        Typed("upqty", "库存上限", F::Number, 0.0),
        Typed("closed", "停用", F::Flag, QStringLiteral("F")),
        Typed("memo", "备注", F::Memo),
    };
    k.ListSql = QStringLiteral("select g.goodsid as id, g.code, g.name, g.specs, g.unit, t.name as typename, k.name as kindname, %1 "
                               "from goods g left join goodstype t on t.goodstypeid = g.goodstypeid left join goodskind k on k.kind = g.kind")
                    .arg(Closed("g"));
    k.SearchFields = {QStringLiteral("g.code"), QStringLiteral("g.name"), QStringLiteral("g.shortname"), QStringLiteral("g.pyassist")};
    k.ListOrder = QStringLiteral("g.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("货品编码"), 100}, {QStringLiteral("name"), QStringLiteral("货品名称"), 200},
                     {QStringLiteral("specs"), QStringLiteral("规格"), 90},     {QStringLiteral("unit"), QStringLiteral("基本单位"), 70},
                     {QStringLiteral("typename"), QStringLiteral("类别"), 100}, {QStringLiteral("kindname"), QStringLiteral("性质"), 80},
                     {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

TMasterKindInfo PartnerInfo(bool vendor)
{
    TMasterKindInfo k{vendor ? TMasterKind::Vendor : TMasterKind::Client,
                      vendor ? QStringLiteral("Vendor") : QStringLiteral("Client"),
                      vendor ? QStringLiteral("供应商") : QStringLiteral("客户"),
                      QStringLiteral("client"),
                      QStringLiteral("clientid"),
                      vendor ? kVendorPrivilege : kClientPrivilege,
                      {QStringLiteral("Client_T"), QStringLiteral("Vendor_T"), QStringLiteral("qryLinkMan"), QStringLiteral("LinkMan_T"),
                       QStringLiteral("qrycrmtrader")},
                      {}, {}, {}, {}, {}, false};
    k.Fields = {
        Text(vendor ? "code" : "code", vendor ? "供应商编码" : "客户编码", 32, true, true),
        Text("name", "全称", 128, true),
        Text("shortname", "简称", 64),
        Text("pyassist", "拼音码", 32),
        Typed("isdouble", vendor ? "同时是客户" : "同时是供应商", F::Flag, QStringLiteral("F")),
        Choice("areaid", "地区", "select areaid, name from area order by lcode"),
        Text("address", "地址", 128),
        Text("zip", "邮编", 10),
        Text("phone", "电话", 40),
        Text("fax", "传真", 40),
        Text("email", "电子邮件", 64),
        Text("shipto", vendor ? "发货地址" : "送货地址", 128),
        Text("taxid", "税号", 32),
        Text("bank", "开户银行", 64),
        Text("bankid", "银行帐号", 40),
        Typed("credit", "信用额度", F::Money, 0.0),
        Typed("creditdays", "付款期限(天)", F::Integer, 0),
    };
    if (!vendor)
        k.Fields << Choice("pricelevel", "价格等级", "select levelid, name from pricelevel order by levelid", 0);
    k.Fields << Choice("empid", vendor ? "采购员" : "业务员", kEmployeeChoice) << Typed("closed", "停用", F::Flag, QStringLiteral("F"))
             << Typed("memo", "备注", F::Memo) << ReadOnlyMoney("balance", vendor ? "应付余额" : "应收余额")
             << ReadOnlyMoney("suramt", vendor ? "预付款" : "预收款");
    k.ListSql = QStringLiteral("select c.clientid as id, c.code, c.shortname, c.name, a.name as areaname, c.phone, c.contator, c.credit, "
                               "c.balance, %1 from client c left join area a on a.areaid = c.areaid where (c.clientkind = %2 or c.isdouble = 'T')")
                    .arg(Closed("c"))
                    .arg(vendor ? 2 : 1);
    k.SearchFields = {QStringLiteral("c.code"), QStringLiteral("c.name"), QStringLiteral("c.shortname"), QStringLiteral("c.pyassist")};
    k.ListOrder = QStringLiteral("c.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("编码"), 80},      {QStringLiteral("shortname"), QStringLiteral("简称"), 120},
                     {QStringLiteral("name"), QStringLiteral("全称"), 200},     {QStringLiteral("areaname"), QStringLiteral("地区"), 70},
                     {QStringLiteral("phone"), QStringLiteral("电话"), 100},    {QStringLiteral("contator"), QStringLiteral("联系人"), 70},
                     {QStringLiteral("credit"), QStringLiteral("信用额度"), 80}, {QStringLiteral("balance"), vendor ? QStringLiteral("应付余额") : QStringLiteral("应收余额"), 90},
                     {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

TMasterKindInfo StoreInfo()
{
    TMasterKindInfo k{TMasterKind::Store, QStringLiteral("Store"), QStringLiteral("仓库"), QStringLiteral("store"), QStringLiteral("storeid"),
                      kStorePrivilege, {QStringLiteral("Store_T")}, {}, {}, {}, {}, {}, true};
    TMasterField isDefault = Typed("isdefault", "默认仓库", F::Bool, 0);
    k.Fields = {
        Text("code", "仓库编码", 32, true, true),
        Text("name", "仓库名称", 64, true),
        ShopChoice(),
        Text("address", "地址", 128),
        Choice("empid", "保管员", kEmployeeChoice),
        isDefault,
        Typed("closed", "停用", F::Flag, QStringLiteral("F")),
        Typed("memo", "备注", F::Memo),
    };
    k.ListSql = QStringLiteral("select s.storeid as id, s.code, s.name, ifnull(h.name, '总部') as shopname, e.name as keeper, s.address, %1 "
                               "from store s left join shop h on h.shopid = s.shopid left join employ e on e.empid = s.empid")
                    .arg(Closed("s"));
    k.SearchFields = {QStringLiteral("s.code"), QStringLiteral("s.name")};
    k.ListOrder = QStringLiteral("s.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("仓库编码"), 80}, {QStringLiteral("name"), QStringLiteral("仓库名称"), 140},
                     {QStringLiteral("shopname"), QStringLiteral("所属机构"), 100}, {QStringLiteral("keeper"), QStringLiteral("保管员"), 80},
                     {QStringLiteral("address"), QStringLiteral("地址"), 200}, {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

TMasterKindInfo EmployeeInfo()
{
    TMasterKindInfo k{TMasterKind::Employee, QStringLiteral("Employee"), QStringLiteral("职员"), QStringLiteral("employ"), QStringLiteral("empid"),
                      kEmployeePrivilege, {QStringLiteral("Employ_T")}, {}, {}, {}, {}, {}, true};
    TMasterField sex = Choice("sex", "性别", "select '男', '男' union all select '女', '女'");
    k.Fields = {
        Text("code", "职员编码", 32, true, true),
        Text("name", "姓名", 32, true),
        Text("pyassist", "拼音码", 32),
        Choice("departmentid", "部门", "select departmentid, name from department order by code"),
        ShopChoice(),
        sex,
        Text("phone", "电话", 40),
        Text("mobile", "手机", 40),
        Text("email", "电子邮件", 64),
        Typed("sign", "在职", F::Flag, QStringLiteral("T")),
        Typed("isoperate", "业务员", F::Flag, QStringLiteral("T")),
        Typed("memo", "备注", F::Memo),
    };
    k.ListSql = QStringLiteral("select e.empid as id, e.code, e.name, d.name as deptname, e.phone, e.mobile, "
                               "case when e.sign = 'T' then '在职' else '离职' end as state "
                               "from employ e left join department d on d.departmentid = e.departmentid");
    k.SearchFields = {QStringLiteral("e.code"), QStringLiteral("e.name"), QStringLiteral("e.pyassist")};
    k.ListOrder = QStringLiteral("e.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("职员编码"), 80}, {QStringLiteral("name"), QStringLiteral("姓名"), 90},
                     {QStringLiteral("deptname"), QStringLiteral("部门"), 100}, {QStringLiteral("phone"), QStringLiteral("电话"), 110},
                     {QStringLiteral("mobile"), QStringLiteral("手机"), 110},   {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

TMasterKindInfo BankInfo()
{
    TMasterKindInfo k{TMasterKind::Bank, QStringLiteral("Bank"), QStringLiteral("银行帐户"), QStringLiteral("bank"), QStringLiteral("bankid"),
                      kBankPrivilege, {QStringLiteral("Bank_T")}, {}, {}, {}, {}, {}, true};
    TMasterField balance = Typed("balance", "期初余额", F::Money, 0.0);
    balance.NewOnly = true;
    k.Fields = {
        Text("code", "帐户编码", 32, true, true),
        Text("name", "帐户名称", 64, true),
        Text("bankname", "开户银行", 64),
        Text("accountno", "银行帐号", 40),
        ShopChoice(),
        Choice("subid", "会计科目", "select subid, name from subject where detailflag = 'T' order by subcode"),
        balance,
        Typed("closed", "停用", F::Flag, QStringLiteral("F")),
    };
    k.ListSql = QStringLiteral("select b.bankid as id, b.code, b.name, b.bankname, b.accountno, ifnull(h.name, '总部') as shopname, b.balance, %1 "
                               "from bank b left join shop h on h.shopid = b.shopid")
                    .arg(Closed("b"));
    k.SearchFields = {QStringLiteral("b.code"), QStringLiteral("b.name"), QStringLiteral("b.bankname"), QStringLiteral("b.accountno")};
    k.ListOrder = QStringLiteral("b.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("帐户编码"), 80},  {QStringLiteral("name"), QStringLiteral("帐户名称"), 120},
                     {QStringLiteral("bankname"), QStringLiteral("开户银行"), 180}, {QStringLiteral("accountno"), QStringLiteral("银行帐号"), 150},
                     {QStringLiteral("shopname"), QStringLiteral("所属机构"), 80}, {QStringLiteral("balance"), QStringLiteral("余额"), 90},
                     {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

TMasterKindInfo PayTypeInfo()
{
    TMasterKindInfo k{TMasterKind::PayType, QStringLiteral("PayType"), QStringLiteral("结算方式"), QStringLiteral("paytype"), QStringLiteral("paytypeid"),
                      kPayTypePrivilege, {QStringLiteral("PayType_T")}, {}, {}, {}, {}, {}, false};
    k.Fields = {
        Text("code", "编码", 32, true, true),
        Text("name", "结算方式", 64, true),
        Choice("bankid", "默认帐户", "select bankid, name from bank where closed = 'F' order by code"),
        Typed("closed", "停用", F::Flag, QStringLiteral("F")),
    };
    k.ListSql = QStringLiteral("select p.paytypeid as id, p.code, p.name, b.name as bankname, %1 from paytype p left join bank b on b.bankid = p.bankid")
                    .arg(Closed("p"));
    k.SearchFields = {QStringLiteral("p.code"), QStringLiteral("p.name")};
    k.ListOrder = QStringLiteral("p.code");
    k.ListColumns = {{QStringLiteral("code"), QStringLiteral("编码"), 80},
                     {QStringLiteral("name"), QStringLiteral("结算方式"), 140},
                     {QStringLiteral("bankname"), QStringLiteral("默认帐户"), 140},
                     {QStringLiteral("state"), QStringLiteral("状态"), 50}};
    return k;
}

const QVector<TMasterKindInfo>& AllKinds()
{
    static const QVector<TMasterKindInfo> kinds{GoodsInfo(), PartnerInfo(false), PartnerInfo(true), StoreInfo(),
                                                EmployeeInfo(), BankInfo(),      PayTypeInfo()};
    return kinds;
}

bool Blank(const QVariant& v) { return v.isNull() || v.toString().trimmed().isEmpty(); }

bool IsTrueFlag(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString s = v.toString().trimmed().toUpper();
    return s == QLatin1String("T") || s == QLatin1String("1") || s == QLatin1String("TRUE");
}

double Money(double v) { return std::round(v * 100.0) / 100.0; }

QString Now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }

// A refusal raised inside the save's transaction.
class ERefusal : public Exception {
public:
    ERefusal(const TMasterProblem& p) : Exception(p.Message), Problem(p) {}
    TMasterProblem Problem;
};

// A new key of the table from the key generator on the given connection.
int NewTableKey(TClientConnection* con, const QString& table)
{
    TClientStoredProc proc(con, QStringLiteral("GETKEYVALUE"));
    proc.Params.Add(QStringLiteral("@TableName"), TFieldType::ftString, TParamDirection::pdInput, 50).Value = table;
    proc.Params.Add(QStringLiteral("@R_KeyValue"), TFieldType::ftInteger, TParamDirection::pdOutput);
    proc.ExecProc();
    bool ok = false;
    const int key = proc.Params.Value(QStringLiteral("@R_KeyValue")).toInt(&ok);
    if (!ok || key <= 0)
        throw EDatabaseError(QStringLiteral("取新编号失败：%1").arg(table));
    return key;
}

QString OperatorsText(const QList<int>& ops)
{
    if (ops.isEmpty())
        return QString();
    QStringList parts;
    for (int op : ops)
        parts << QString::number(op);
    return u'|' + parts.join(u'|') + u'|';
}

} // namespace

// ---------------------------------------------------------------- kinds

const TMasterField* TMasterKindInfo::Field(const QString& name) const
{
    for (const TMasterField& f : Fields)
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const TMasterKindInfo& MasterKindInfo(TMasterKind kind) { return AllKinds().at(static_cast<int>(kind)); }

QList<TMasterKind> MasterKinds()
{
    QList<TMasterKind> l;
    for (const TMasterKindInfo& k : AllKinds())
        l << k.Kind;
    return l;
}

bool MasterKindFromName(const QString& name, TMasterKind* kind)
{
    QString n = name.trimmed().toLower();
    for (const char* suffix : {"_ds", "_t", "dataset"})
        if (n.endsWith(QLatin1String(suffix)) && n.size() > int(qstrlen(suffix)))
            n.chop(int(qstrlen(suffix)));
    static const QHash<QString, TMasterKind> names{
        {QStringLiteral("goods"), TMasterKind::Goods},       {QStringLiteral("goodsid"), TMasterKind::Goods},
        {QStringLiteral("client"), TMasterKind::Client},     {QStringLiteral("clientid"), TMasterKind::Client},
        {QStringLiteral("vendor"), TMasterKind::Vendor},     {QStringLiteral("vendorid"), TMasterKind::Vendor},
        {QStringLiteral("store"), TMasterKind::Store},       {QStringLiteral("storeid"), TMasterKind::Store},
        {QStringLiteral("instoreid"), TMasterKind::Store},   {QStringLiteral("outstoreid"), TMasterKind::Store},
        {QStringLiteral("employee"), TMasterKind::Employee}, {QStringLiteral("employ"), TMasterKind::Employee},
        {QStringLiteral("empid"), TMasterKind::Employee},    {QStringLiteral("exemanid"), TMasterKind::Employee},
        {QStringLiteral("bank"), TMasterKind::Bank},         {QStringLiteral("bankid"), TMasterKind::Bank},
        {QStringLiteral("inbankid"), TMasterKind::Bank},     {QStringLiteral("outbankid"), TMasterKind::Bank},
        {QStringLiteral("paytype"), TMasterKind::PayType},   {QStringLiteral("paytypeid"), TMasterKind::PayType},
    };
    auto it = names.constFind(n);
    if (it == names.constEnd())
        return false;
    if (kind)
        *kind = it.value();
    return true;
}

TMasterSession TMasterSession::FromConnection(TClientConnection* con)
{
    TMasterSession s;
    if (!con)
        return s;
    const TServerSession& server = con->Session();
    s.OpID = server.OpID;
    s.ShopID = server.ShopID;
    if (server.SysManager) {
        s.HasRight = [](int, int) { return true; };
        return s;
    }
    const int opid = server.OpID;
    s.HasRight = [con, opid](int privilegeId, int action) {
        return opid > 0 && con->ExecuteScalar(QStringLiteral("select count(*) from operatorright where opid = :o and privilegeid = :p and action = :a"),
                                              {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}})
                                   .toInt() > 0;
    };
    return s;
}

// ---------------------------------------------------------------- the editor

TMasterEditor::TMasterEditor(TMasterKind kind, TClientConnection* con, TMasterSession session)
    : FInfo(&MasterKindInfo(kind)), FCon(con), FSession(std::move(session))
{
    New();
}

bool TMasterEditor::MayAdd() const { return FSession.Right(FInfo->PrivilegeID, paNew); }
bool TMasterEditor::MayEdit() const { return FSession.Right(FInfo->PrivilegeID, paEdit); }

void TMasterEditor::New()
{
    FId = 0;
    FValues.clear();
    FLoaded.clear();
    FLoadedRates.clear();
    FLoadedContacts.clear();
    FOwnInitials = false;
    for (const TMasterField& f : FInfo->Fields)
        FValues.insert(f.Name, f.Default);
    Units.clear();
    Contacts.clear();
    Operators.clear();
    if (Kind() == TMasterKind::Goods)
        Units << TGoodsUnitRow{};
    if (FInfo->HasShop && FSession.Online)
        FValues.insert(QStringLiteral("shopid"), FSession.ShopID);
}

bool TMasterEditor::Load(int id)
{
    TClientDataSet row;
    FCon->OpenDataSet(QStringLiteral("select * from %1 where %2 = :id").arg(FInfo->Table, FInfo->KeyField), &row, {{QStringLiteral("id"), id}});
    if (row.IsEmpty())
        return false;
    New();
    FId = id;
    for (int i = 0; i < row.FieldCount(); ++i) {
        TField* f = row.Fields(i);
        FLoaded.insert(f->FieldName().toLower(), f->Value());
    }
    for (const TMasterField& f : FInfo->Fields)
        FValues.insert(f.Name, FLoaded.value(f.Name));
    const QString initials = FValues.value(QStringLiteral("pyassist")).toString();
    FOwnInitials = !initials.isEmpty() && initials != GetPYIndexChar(FValues.value(QStringLiteral("name")).toString()).left(32);
    if (Kind() == TMasterKind::Goods)
        LoadUnits();
    if (Kind() == TMasterKind::Client || Kind() == TMasterKind::Vendor)
        LoadContacts();
    if (Kind() == TMasterKind::Store)
        for (const QString& op : FLoaded.value(QStringLiteral("operators")).toString().split(u'|', Qt::SkipEmptyParts))
            Operators << op.toInt();
    return true;
}

void TMasterEditor::LoadUnits()
{
    Units.clear();
    TClientDataSet rows;
    FCon->OpenDataSet(QStringLiteral("select * from goodsunit where goodsid = :g order by unittype, unitid"), &rows, {{QStringLiteral("g"), FId}});
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TGoodsUnitRow u;
        auto v = [&rows](const char* name) { return rows.FieldByName(QString::fromLatin1(name)); };
        u.UnitID = v("unitid")->AsInteger();
        u.Name = v("unitname")->AsString();
        u.Rate = v("rate")->AsFloat();
        u.Barcode = v("barcode")->AsString();
        u.WeightCode = v("weightcode")->AsString();
        u.PPrice = v("pprice")->AsFloat();
        u.SPrice = v("sprice")->AsFloat();
        for (int i = 0; i < 5; ++i)
            u.LPrice[i] = v(QStringLiteral("lprice%1").arg(i + 1).toLatin1().constData())->Value();
        u.MinSPrice = v("minsprice")->AsFloat();
        u.MaxPPrice = v("maxpprice")->AsFloat();
        FLoadedRates.insert(u.UnitID, u.Rate);
        Units << u;
    }
}

void TMasterEditor::LoadContacts()
{
    Contacts.clear();
    TClientDataSet rows;
    FCon->OpenDataSet(QStringLiteral("select * from crm_linkman where clientid = :c and closed = 0 order by ismaster desc, id"), &rows,
                      {{QStringLiteral("c"), FId}});
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TContactRow c;
        c.ID = rows.FieldByName(QStringLiteral("id"))->AsInteger();
        c.Name = rows.FieldByName(QStringLiteral("name"))->AsString();
        c.Position = rows.FieldByName(QStringLiteral("position"))->AsString();
        c.Phone = rows.FieldByName(QStringLiteral("phone"))->AsString();
        c.Mobile = rows.FieldByName(QStringLiteral("mobile"))->AsString();
        c.Email = rows.FieldByName(QStringLiteral("email"))->AsString();
        c.IsMaster = rows.FieldByName(QStringLiteral("ismaster"))->AsBoolean();
        FLoadedContacts << c.ID;
        Contacts << c;
    }
}

QVariant TMasterEditor::Value(const QString& field) const
{
    for (auto it = FValues.constBegin(); it != FValues.constEnd(); ++it)
        if (it.key().compare(field, Qt::CaseInsensitive) == 0)
            return it.value();
    return QVariant();
}

void TMasterEditor::SetValue(const QString& field, const QVariant& value)
{
    const TMasterField* f = FInfo->Field(field);
    if (!f)
        return;
    FValues.insert(f->Name, value);
    if (!FInfo->Field(QStringLiteral("pyassist")))
        return;
    if (f->Name == QLatin1String("pyassist")) {
        // Initials the user typed stay; clearing them lets them follow the name again.
        FOwnInitials = !Blank(value) && value.toString() != GetPYIndexChar(Value(QStringLiteral("name")).toString()).left(32);
        if (Blank(value))
            FValues.insert(QStringLiteral("pyassist"), GetPYIndexChar(Value(QStringLiteral("name")).toString()).left(32));
    } else if (f->Name == QLatin1String("name") && !FOwnInitials) {
        FValues.insert(QStringLiteral("pyassist"), GetPYIndexChar(value.toString()).left(32));
    }
}

QVariant TMasterEditor::Stored(const TMasterField& f) const
{
    const QVariant v = FValues.value(f.Name);
    switch (f.Type) {
    case F::Text:
    case F::Memo: {
        const QString s = f.Type == F::Text ? v.toString().trimmed() : v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case F::Integer:
        return Blank(v) ? QVariant(0) : QVariant(v.toInt());
    case F::Number:
        return Blank(v) ? QVariant(0.0) : QVariant(v.toDouble());
    case F::Money:
        return Blank(v) ? QVariant(0.0) : QVariant(Money(v.toDouble()));
    case F::Flag:
        return IsTrueFlag(v) ? QStringLiteral("T") : QStringLiteral("F");
    case F::Bool:
        return IsTrueFlag(v) ? 1 : 0;
    case F::Choice:
        return Blank(v) ? f.NoneValue : v;
    }
    return v;
}

TMasterProblem TMasterEditor::CheckRight() const
{
    if (IsNew() && !MayAdd())
        return {QStringLiteral("您没有新增%1的权限！").arg(FInfo->Caption), QString()};
    if (!IsNew() && !MayEdit())
        return {QStringLiteral("您没有修改%1的权限！").arg(FInfo->Caption), QString()};
    return {};
}

TMasterProblem TMasterEditor::CheckFields() const
{
    for (const TMasterField& f : FInfo->Fields) {
        if (f.ReadOnly || (f.NewOnly && !IsNew()))
            continue;
        const QVariant v = FValues.value(f.Name);
        if (f.Required && Blank(v))
            return {QStringLiteral("%1不能为空！").arg(f.Caption), f.Name};
        if (f.Type == F::Text || f.Type == F::Memo) {
            const QString s = f.Type == F::Text ? v.toString().trimmed() : v.toString();
            const QString refused = RefusedTextReason(s);
            if (!refused.isEmpty())
                return {QStringLiteral("%1：%2").arg(f.Caption, refused), f.Name};
            if (f.MaxLength > 0 && s.size() > f.MaxLength)
                return {QStringLiteral("%1最多%2个字符！").arg(f.Caption).arg(f.MaxLength), f.Name};
        }
        if ((f.Type == F::Integer || f.Type == F::Number || f.Type == F::Money) && !Blank(v)) {
            bool ok = false;
            const double d = v.toString().toDouble(&ok);
            if (!ok)
                return {QStringLiteral("%1必须是数字！").arg(f.Caption), f.Name};
            if (d < 0)
                return {QStringLiteral("%1不能为负数！").arg(f.Caption), f.Name};
        }
        if (f.Unique && !Blank(v)) {
            const int others = FCon->ExecuteScalar(QStringLiteral("select count(*) from %1 where %2 = :v and %3 <> :id")
                                                       .arg(FInfo->Table, f.Name, FInfo->KeyField),
                                                   {{QStringLiteral("v"), v.toString().trimmed()}, {QStringLiteral("id"), FId}})
                                   .toInt();
            if (others > 0)
                return {QStringLiteral("%1“%2”已经存在，请换一个！").arg(f.Caption, v.toString().trimmed()), f.Name};
        }
    }
    if (Kind() == TMasterKind::Goods) {
        const int kind = Stored(*FInfo->Field(QStringLiteral("kind"))).toInt();
        const bool batch = IsTrueFlag(FValues.value(QStringLiteral("batchctrl")));
        if (Stored(*FInfo->Field(QStringLiteral("taxrate"))).toDouble() > 100)
            return {QStringLiteral("税率不能大于100！"), QStringLiteral("taxrate")};
        if (kind >= 4 && batch)
            return {QStringLiteral("非库存货品不能进行批次管理！"), QStringLiteral("batchctrl")};
        if (Stored(*FInfo->Field(QStringLiteral("inf_costingtypeid"))).toInt() == 2 && !batch)
            return {QStringLiteral("个别计价的货品必须进行批次管理！"), QStringLiteral("batchctrl")};
        const double up = Stored(*FInfo->Field(QStringLiteral("upqty"))).toDouble();
        if (up > 0 && Stored(*FInfo->Field(QStringLiteral("downqty"))).toDouble() > up)
            return {QStringLiteral("库存下限不能大于库存上限！"), QStringLiteral("downqty")};
    }
    return {};
}

bool TMasterEditor::UnitInUse(int unitId) const
{
    if (unitId <= 0)
        return false;
    const TSqlParams unit{{QStringLiteral("u"), unitId}};
    if (FCon->ExecuteScalar(QStringLiteral("select count(*) from gvcprice where unitid = :u"), unit).toInt() > 0)
        return true;
    TClientDataSet tables;
    FCon->OpenDataSet(QStringLiteral("select distinct detailtable from billkind where detailtable is not null"), &tables);
    for (tables.First(); !tables.Eof(); tables.Next()) {
        const QString table = tables.Fields(0)->AsString();
        TClientDataSet columns;
        FCon->OpenNative(QStringLiteral("select name from pragma_table_info(:t) where lower(name) = 'unitid'"), &columns,
                         {{QStringLiteral("t"), table}});
        if (columns.IsEmpty())
            continue;
        if (!FCon->ExecuteScalar(QStringLiteral("select top 1 1 from %1 where unitid = :u").arg(table), unit).isNull())
            return true;
    }
    return false;
}

TMasterProblem TMasterEditor::CheckUnits() const
{
    const QString part = QStringLiteral("units");
    if (Units.isEmpty())
        return {QStringLiteral("货品至少要有一个基本单位！"), part, 0};
    QSet<QString> names, codes;
    QSet<int> kept;
    for (int i = 0; i < Units.size(); ++i) {
        const TGoodsUnitRow& u = Units.at(i);
        const QString name = u.Name.trimmed();
        if (name.isEmpty())
            return {QStringLiteral("第%1个单位的名称不能为空！").arg(i + 1), part, i};
        if (name.size() > 16)
            return {QStringLiteral("单位“%1”的名称最多16个字符！").arg(name), part, i};
        if (names.contains(name))
            return {QStringLiteral("单位“%1”重复！").arg(name), part, i};
        names.insert(name);
        if (i == 0 && !qFuzzyCompare(u.Rate, 1.0))
            return {QStringLiteral("基本单位“%1”的换算率必须为1！").arg(name), part, i};
        if (!(u.Rate > 0))
            return {QStringLiteral("单位“%1”的换算率必须大于零！").arg(name), part, i};
        bool negative = u.PPrice < 0 || u.SPrice < 0 || u.MinSPrice < 0 || u.MaxPPrice < 0;
        for (const QVariant& p : u.LPrice)
            negative = negative || (!p.isNull() && p.toDouble() < 0);
        if (negative)
            return {QStringLiteral("单位“%1”的价格不能为负数！").arg(name), part, i};
        if (u.UnitID > 0) {
            kept.insert(u.UnitID);
            auto loaded = FLoadedRates.constFind(u.UnitID);
            if (loaded != FLoadedRates.constEnd() && !qFuzzyCompare(loaded.value(), u.Rate) && UnitInUse(u.UnitID))
                return {QStringLiteral("单位“%1”已有业务发生，不能修改换算率！").arg(name), part, i};
        }
        for (const QString& code : {u.Barcode.trimmed(), u.WeightCode.trimmed()}) {
            if (code.isEmpty())
                continue;
            const QString refused = RefusedTextReason(code);
            if (!refused.isEmpty())
                return {QStringLiteral("单位“%1”的条码：%2").arg(name, refused), part, i};
            if (codes.contains(code))
                return {QStringLiteral("条码“%1”重复！").arg(code), part, i};
            codes.insert(code);
            TClientDataSet other;
            FCon->OpenDataSet(QStringLiteral("select top 1 g.code, g.name from goodsunit u join goods g on g.goodsid = u.goodsid "
                                             "where (u.barcode = :c or u.weightcode = :c) and u.goodsid <> :g"),
                              &other, {{QStringLiteral("c"), code}, {QStringLiteral("g"), FId}});
            if (!other.IsEmpty())
                return {QStringLiteral("条码“%1”已被货品“%2 %3”使用！")
                            .arg(code, other.Fields(0)->AsString(), other.Fields(1)->AsString()),
                        part, i};
        }
        if (u.Barcode.trimmed().size() > 32 || u.WeightCode.trimmed().size() > 8)
            return {QStringLiteral("单位“%1”的条码太长！").arg(name), part, i};
    }
    for (auto it = FLoadedRates.constBegin(); it != FLoadedRates.constEnd(); ++it)
        if (!kept.contains(it.key()) && UnitInUse(it.key()))
            return {QStringLiteral("单位已有业务发生，不能删除！"), part, -1};
    return {};
}

TMasterProblem TMasterEditor::CheckContacts() const
{
    int masters = 0;
    for (int i = 0; i < Contacts.size(); ++i) {
        const TContactRow& c = Contacts.at(i);
        if (c.Name.trimmed().isEmpty())
            return {QStringLiteral("第%1个联系人的姓名不能为空！").arg(i + 1), QStringLiteral("contacts"), i};
        if (c.Name.trimmed().size() > 32)
            return {QStringLiteral("联系人“%1”的姓名最多32个字符！").arg(c.Name.trimmed()), QStringLiteral("contacts"), i};
        for (const QString& s : {c.Name, c.Position, c.Phone, c.Mobile, c.Email}) {
            const QString refused = RefusedTextReason(s);
            if (!refused.isEmpty())
                return {QStringLiteral("联系人“%1”：%2").arg(c.Name.trimmed(), refused), QStringLiteral("contacts"), i};
        }
        masters += c.IsMaster ? 1 : 0;
    }
    if (masters > 1)
        return {QStringLiteral("只能有一个主联系人！"), QStringLiteral("contacts"), -1};
    return {};
}

TMasterProblem TMasterEditor::Validate() const
{
    TMasterProblem p = CheckRight();
    if (p.IsEmpty())
        p = CheckFields();
    if (p.IsEmpty() && Kind() == TMasterKind::Goods)
        p = CheckUnits();
    if (p.IsEmpty() && (Kind() == TMasterKind::Client || Kind() == TMasterKind::Vendor))
        p = CheckContacts();
    return p;
}

int TMasterEditor::NewKey(const QString& table) const { return NewTableKey(FCon, table); }

void TMasterEditor::WriteRow(int id)
{
    QStringList columns;
    TSqlParams params;
    for (const TMasterField& f : FInfo->Fields) {
        if (f.ReadOnly || (f.NewOnly && !IsNew()))
            continue;
        columns << f.Name;
        params.append({f.Name, Stored(f)});
    }
    auto extra = [&](const QString& column, const QVariant& v) {
        columns << column;
        params.append({column, v});
    };
    switch (Kind()) {
    case TMasterKind::Goods:
        extra(QStringLiteral("unit"), Units.first().Name.trimmed());
        extra(QStringLiteral("updatetime"), Now());
        break;
    case TMasterKind::Client:
    case TMasterKind::Vendor: {
        QString contact;
        for (const TContactRow& c : std::as_const(Contacts))
            if (c.IsMaster)
                contact = c.Name.trimmed();
        extra(QStringLiteral("contator"), contact.isEmpty() ? QVariant() : QVariant(contact));
        if (IsNew())
            extra(QStringLiteral("clientkind"), Kind() == TMasterKind::Vendor ? 2 : 1);
        extra(QStringLiteral("updatetime"), Now());
        break;
    }
    case TMasterKind::Store:
        extra(QStringLiteral("operators"), OperatorsText(Operators));
        break;
    case TMasterKind::Employee:
        extra(QStringLiteral("department"), Stored(*FInfo->Field(QStringLiteral("departmentid"))));
        break;
    default:
        break;
    }
    params.append({QStringLiteral("id"), id});
    if (IsNew()) {
        QStringList marks;
        for (const QString& c : std::as_const(columns))
            marks << u':' + c;
        FCon->Execute(QStringLiteral("insert into %1 (%2, %3) values (:id, %4)")
                          .arg(FInfo->Table, FInfo->KeyField, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                      params);
        return;
    }
    if (FLoaded.contains(QStringLiteral("updatetime"))) {
        // Someone else saved the row since it was opened: their change must not be lost.
        TClientDataSet current;
        FCon->OpenDataSet(QStringLiteral("select updatetime from %1 where %2 = :id").arg(FInfo->Table, FInfo->KeyField), &current,
                          {{QStringLiteral("id"), id}});
        if (current.IsEmpty() || current.Fields(0)->Value() != FLoaded.value(QStringLiteral("updatetime")))
            throw ERefusal({QStringLiteral("该%1已被其他用户修改，请关闭后重新打开再修改！").arg(FInfo->Caption), QString()});
    }
    QStringList sets;
    for (const QString& c : std::as_const(columns))
        sets << c + QStringLiteral(" = :") + c;
    if (FCon->Execute(QStringLiteral("update %1 set %2 where %3 = :id").arg(FInfo->Table, sets.join(QStringLiteral(", ")), FInfo->KeyField), params) != 1)
        throw ERefusal({QStringLiteral("该%1已被其他用户删除！").arg(FInfo->Caption), QString()});
}

void TMasterEditor::WriteUnits(int goodsId)
{
    QSet<int> kept;
    for (int i = 0; i < Units.size(); ++i) {
        TGoodsUnitRow& u = Units[i];
        const int unitId = u.UnitID > 0 ? u.UnitID : NewKey(QStringLiteral("goodsunit"));
        TSqlParams p{{QStringLiteral("u"), unitId},
                     {QStringLiteral("g"), goodsId},
                     {QStringLiteral("n"), u.Name.trimmed()},
                     {QStringLiteral("r"), i == 0 ? 1.0 : u.Rate},
                     {QStringLiteral("t"), i == 0 ? 0 : 1},
                     {QStringLiteral("b"), u.Barcode.trimmed().isEmpty() ? QVariant() : QVariant(u.Barcode.trimmed())},
                     {QStringLiteral("w"), u.WeightCode.trimmed().isEmpty() ? QVariant() : QVariant(u.WeightCode.trimmed())},
                     {QStringLiteral("pp"), u.PPrice},
                     {QStringLiteral("sp"), u.SPrice},
                     {QStringLiteral("minp"), u.MinSPrice},
                     {QStringLiteral("maxp"), u.MaxPPrice}};
        for (int l = 0; l < 5; ++l)
            p.append({QStringLiteral("l%1").arg(l + 1), u.LPrice[l]});
        if (u.UnitID > 0)
            FCon->Execute(QStringLiteral("update goodsunit set unitname = :n, rate = :r, unittype = :t, barcode = :b, weightcode = :w, pprice = :pp, "
                                         "sprice = :sp, lprice1 = :l1, lprice2 = :l2, lprice3 = :l3, lprice4 = :l4, lprice5 = :l5, "
                                         "minsprice = :minp, maxpprice = :maxp where unitid = :u and goodsid = :g"),
                          p);
        else
            FCon->Execute(QStringLiteral("insert into goodsunit (unitid, goodsid, unitname, rate, unittype, barcode, weightcode, pprice, lastpprice, "
                                         "sprice, lprice1, lprice2, lprice3, lprice4, lprice5, minsprice, maxpprice) values (:u, :g, :n, :r, :t, "
                                         ":b, :w, :pp, 0, :sp, :l1, :l2, :l3, :l4, :l5, :minp, :maxp)"),
                          p);
        kept.insert(unitId);
    }
    for (auto it = FLoadedRates.constBegin(); it != FLoadedRates.constEnd(); ++it)
        if (!kept.contains(it.key()))
            FCon->Execute(QStringLiteral("delete from goodsunit where unitid = :u"), {{QStringLiteral("u"), it.key()}});
}

void TMasterEditor::WriteContacts(int clientId)
{
    QVariant trader = FCon->ExecuteScalar(QStringLiteral("select top 1 id from crm_trader where traderid = :c order by id"), {{QStringLiteral("c"), clientId}});
    if (trader.isNull() && !Contacts.isEmpty()) {
        trader = NewKey(QStringLiteral("crm_trader"));
        FCon->Execute(QStringLiteral("insert into crm_trader (id, traderid, name, tradertype) values (:t, :c, :n, 1)"),
                      {{QStringLiteral("t"), trader}, {QStringLiteral("c"), clientId}, {QStringLiteral("n"), Stored(*FInfo->Field(QStringLiteral("name")))}});
    }
    QSet<int> kept;
    for (const TContactRow& c : std::as_const(Contacts)) {
        const int id = c.ID > 0 ? c.ID : NewKey(QStringLiteral("crm_linkman"));
        auto text = [](const QString& s) { return s.trimmed().isEmpty() ? QVariant() : QVariant(s.trimmed()); };
        const TSqlParams p{{QStringLiteral("id"), id},           {QStringLiteral("t"), trader},         {QStringLiteral("c"), clientId},
                           {QStringLiteral("n"), c.Name.trimmed()}, {QStringLiteral("pos"), text(c.Position)}, {QStringLiteral("ph"), text(c.Phone)},
                           {QStringLiteral("m"), text(c.Mobile)},  {QStringLiteral("e"), text(c.Email)},    {QStringLiteral("ms"), c.IsMaster ? 1 : 0}};
        if (c.ID > 0)
            FCon->Execute(QStringLiteral("update crm_linkman set name = :n, position = :pos, phone = :ph, mobile = :m, email = :e, ismaster = :ms "
                                         "where id = :id and clientid = :c and traderid = :t"),
                          p);
        else
            FCon->Execute(QStringLiteral("insert into crm_linkman (id, traderid, clientid, name, position, phone, mobile, email, ismaster, closed) "
                                         "values (:id, :t, :c, :n, :pos, :ph, :m, :e, :ms, 0)"),
                          p);
        kept.insert(id);
    }
    // Bills may name a contact that is taken off the list: it is closed, not deleted.
    for (int id : std::as_const(FLoadedContacts))
        if (!kept.contains(id))
            FCon->Execute(QStringLiteral("update crm_linkman set closed = 1, ismaster = 0 where id = :id"), {{QStringLiteral("id"), id}});
}

bool TMasterEditor::Save()
{
    FProblem = {};
    // A partner without a short name goes by its full name; the first contact leads.
    if (FInfo->Field(QStringLiteral("shortname")) && Blank(FValues.value(QStringLiteral("shortname"))) && Kind() != TMasterKind::Goods)
        FValues.insert(QStringLiteral("shortname"), FValues.value(QStringLiteral("name")).toString().trimmed().left(64));
    bool hasMaster = false;
    for (const TContactRow& c : std::as_const(Contacts))
        hasMaster = hasMaster || c.IsMaster;
    if (!hasMaster && !Contacts.isEmpty())
        Contacts.first().IsMaster = true;
    try {
        FProblem = Validate();
    } catch (const Exception& e) {
        FProblem = {QStringLiteral("检查资料时出错：%1").arg(e.Message()), QString()};
    }
    if (!FProblem.IsEmpty())
        return false;

    const QVector<TGoodsUnitRow> unitsBefore = Units;
    FCon->BeginTrans();
    try {
        const int id = IsNew() ? NewKey(FInfo->Table) : FId;
        WriteRow(id);
        if (Kind() == TMasterKind::Goods)
            WriteUnits(id);
        if (Kind() == TMasterKind::Client || Kind() == TMasterKind::Vendor)
            WriteContacts(id);
        if (Kind() == TMasterKind::Store && IsTrueFlag(FValues.value(QStringLiteral("isdefault"))))
            // One default store per branch.
            FCon->Execute(QStringLiteral("update store set isdefault = 0 where shopid = :s and storeid <> :id"),
                          {{QStringLiteral("s"), Stored(*FInfo->Field(QStringLiteral("shopid")))}, {QStringLiteral("id"), id}});
        FCon->CommitTrans();
        // What was written is now what the editor holds, with the new keys.
        Load(id);
        return true;
    } catch (const ERefusal& e) {
        FCon->RollbackTrans();
        FProblem = e.Problem;
    } catch (const Exception& e) {
        FCon->RollbackTrans();
        FProblem = {QStringLiteral("保存%1失败：%2").arg(FInfo->Caption, e.Message()), QString()};
    }
    Units = unitsBefore;
    return false;
}

// ---------------------------------------------------------------- lists

void SearchMasterRows(TClientConnection* con, TMasterKind kind, const QString& text, TClientDataSet* rows, int limit, bool withClosed,
                      int shopId)
{
    const TMasterKindInfo& k = MasterKindInfo(kind);
    const QString alias = k.SearchFields.first().section(u'.', 0, 0);
    QStringList where;
    TSqlParams params;
    const QString typed = text.trimmed();
    if (!typed.isEmpty()) {
        QString pattern = typed;
        // "%" and "_" typed are meant as themselves.
        pattern.replace(u'!', QStringLiteral("!!")).replace(u'%', QStringLiteral("!%")).replace(u'_', QStringLiteral("!_"));
        QStringList any;
        for (const QString& f : k.SearchFields)
            any << f + QStringLiteral(" like :p escape '!'");
        if (kind == TMasterKind::Goods)
            any << QStringLiteral("exists (select 1 from goodsunit u where u.goodsid = g.goodsid and u.barcode = :t)");
        where << u'(' + any.join(QStringLiteral(" or ")) + u')';
        params.append({QStringLiteral("p"), u'%' + pattern + u'%'});
        if (kind == TMasterKind::Goods)
            params.append({QStringLiteral("t"), typed});
    }
    if (!withClosed)
        where << (kind == TMasterKind::Employee ? QStringLiteral("e.sign = 'T'") : alias + QStringLiteral(".closed = 'F'"));
    if (shopId >= 0 && k.HasShop) {
        where << alias + QStringLiteral(".shopid in (0, :shop)");
        params.append({QStringLiteral("shop"), shopId});
    }
    QString sql = k.ListSql;
    sql.insert(6, QStringLiteral(" top %1").arg(qMax(1, limit)));
    if (!where.isEmpty())
        sql += (k.ListSql.contains(QLatin1String(" where ")) ? QStringLiteral(" and ") : QStringLiteral(" where ")) + where.join(QStringLiteral(" and "));
    sql += QStringLiteral(" order by ") + k.ListOrder;
    con->OpenDataSet(sql, rows, params);
    for (int i = 0; i < rows->FieldCount(); ++i)
        rows->Fields(i)->Visible = false;
    for (const TMasterListColumn& c : k.ListColumns)
        if (TField* f = rows->FindField(c.Field)) {
            f->Visible = true;
            f->DisplayLabel = c.Caption;
            if (f->DataType() == TFieldType::ftCurrency || f->DataType() == TFieldType::ftFloat)
                f->DisplayFormat = QStringLiteral("#,##0.00");
        }
}

QVector<QPair<QVariant, QString>> MasterChoices(TClientConnection* con, const TMasterField& field)
{
    QVector<QPair<QVariant, QString>> l;
    if (field.ChoiceSql.isEmpty() || !con)
        return l;
    TClientDataSet rows;
    con->OpenDataSet(field.ChoiceSql, &rows);
    for (rows.First(); !rows.Eof(); rows.Next())
        l.append({rows.Fields(0)->Value(), rows.Fields(1)->AsString()});
    return l;
}

// ---------------------------------------------------------------- goods types

QVector<TGoodsTypeNode> GoodsTypeTree(TClientConnection* con)
{
    QVector<TGoodsTypeNode> l;
    TClientDataSet rows;
    con->OpenDataSet(QStringLiteral("select goodstypeid, parentid, code, name from goodstype order by lcode"), &rows);
    for (rows.First(); !rows.Eof(); rows.Next())
        l.append({rows.Fields(0)->AsInteger(), rows.Fields(1)->AsInteger(), rows.Fields(2)->AsString(), rows.Fields(3)->AsString()});
    return l;
}

int AddGoodsType(TClientConnection* con, const TMasterSession& session, int parentId, const QString& name)
{
    const QString n = name.trimmed();
    if (!session.Right(kGoodsPrivilege, paNew))
        throw Exception(QStringLiteral("您没有新增货品的权限！"));
    if (n.isEmpty())
        throw Exception(QStringLiteral("类别名称不能为空！"));
    if (n.size() > 64 || !RefusedTextReason(n).isEmpty())
        throw Exception(QStringLiteral("类别名称不能保存：%1").arg(n.size() > 64 ? QStringLiteral("最多64个字符") : RefusedTextReason(n)));
    con->BeginTrans();
    try {
        QString parentCode;
        int level = 1;
        if (parentId > 0) {
            TClientDataSet parent;
            con->OpenDataSet(QStringLiteral("select lcode, levelno from goodstype where goodstypeid = :p"), &parent, {{QStringLiteral("p"), parentId}});
            if (parent.IsEmpty())
                throw Exception(QStringLiteral("上级类别不存在！"));
            parentCode = parent.Fields(0)->AsString();
            level = parent.Fields(1)->AsInteger() + 1;
        }
        const TSqlParams siblings{{QStringLiteral("p"), parentId}, {QStringLiteral("n"), n}};
        if (con->ExecuteScalar(QStringLiteral("select count(*) from goodstype where ifnull(parentid, 0) = :p and name = :n"), siblings).toInt() > 0)
            throw Exception(QStringLiteral("类别“%1”已经存在！").arg(n));
        // The next free two-digit step under the parent.
        int next = 1;
        TClientDataSet codes;
        con->OpenDataSet(QStringLiteral("select lcode from goodstype where ifnull(parentid, 0) = :p"), &codes, {{QStringLiteral("p"), parentId}});
        for (codes.First(); !codes.Eof(); codes.Next())
            next = qMax(next, codes.Fields(0)->AsString().mid(parentCode.size()).toInt() + 1);
        if (next > 99)
            throw Exception(QStringLiteral("该类别下最多只能有99个下级类别！"));
        const QString lcode = parentCode + QStringLiteral("%1").arg(next, 2, 10, QLatin1Char('0'));
        const int id = NewTableKey(con, QStringLiteral("goodstype"));
        con->Execute(QStringLiteral("insert into goodstype (goodstypeid, code, name, lcode, parentid, levelno) values (:id, :c, :n, :c, :p, :l)"),
                     {{QStringLiteral("id"), id}, {QStringLiteral("c"), lcode}, {QStringLiteral("n"), n}, {QStringLiteral("p"), parentId}, {QStringLiteral("l"), level}});
        con->CommitTrans();
        return id;
    } catch (...) {
        con->RollbackTrans();
        throw;
    }
}
