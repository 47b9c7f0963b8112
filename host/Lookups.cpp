#include "host/Lookups.h"

#include "host/DataServices.h"
#include "host/KQParams.h"
#include "host/MainWindow.h"
#include "host/MasterDataForms.h"
#include "host/Messages.h"
#include "host/NewCompany.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QApplication>
#include <QHash>
#include <QMdiSubWindow>

namespace {
struct LookupEntry {
    QString Name; // as registered
    QString Sql;
    TClientQuery* DataSet = nullptr;
};

QHash<QString, LookupEntry>& Lookups();

void AddDefaults(QHash<QString, LookupEntry>& m)
{
    auto add = [&m](const char* name, const char* sql) {
        const QString n = QString::fromLatin1(name);
        m.insert(n.toUpper(), LookupEntry{n, QString::fromLatin1(sql), nullptr});
    };
    add("Employ_T", "select * from employ order by code");
    add("Department_T", "select * from department order by code");
    add("Bank_T", "select * from bank order by code");
    add("PayType_T", "select * from paytype order by paytypeid");
    add("Client_T", "select * from client where clientkind = 1 or isdouble = 'T' order by code");
    add("Vendor_T", "select * from client where clientkind = 2 or isdouble = 'T' order by code");
    add("Store_T", "select * from store order by code");
    add("Shop_T", "select * from shop order by code");
    add("Area_T", "select * from area order by lcode");
    add("BillType_T", "select * from billtype order by billtypeid");
    add("BillName_T", "select * from billname order by billtypeid");
    add("Subject_T", "select * from subject order by subcode");
    add("InIEType_T", "select * from ietype where iekind = 1 order by lcode");
    add("IEType_T", "select * from ietype where iekind = 2 order by lcode");
    add("DeliverType_T", "select * from delivertype order by delivertypeid");
    add("DeputeSettlementType", "select * from deputesettlementtype order by settlementtype");
    add("PAYKIND_T", "select id, name from paykind order by id");
    add("CHARGEKIND_T", "select id, isnull(cname, name) as name from paykind order by id");
    add("Operator", "select opid, code, opname, opname as name, shopid, closed, isuse, empid, departmentid "
                    "from operator order by code");
    add("GoodsDataSet", "select g.*, g.code as goodscode, g.name as goodsname from goods g order by g.code");
    add("GoodsUnit", "select * from goodsunit order by goodsid, unittype");
    add("GoodsType_T", "select * from goodstype order by lcode");
    add("PriceLevel_T", "select * from pricelevel");
    add("qryLinkMan", "select * from crm_linkman");
    add("LinkMan_T", "select * from crm_linkman");
    add("Sat_T", "select * from sat");
    add("qrycrmtrader", "select * from crm_trader");
    add("qryChance", "select * from crm_chance");
    add("Machine_T", "select * from machine");
    add("Class_T", "select * from class");
    add("Vip_T", "select * from vip");
    m.insert(QStringLiteral("YESNO"), LookupEntry{QStringLiteral("YesNo"),
                                                  QStringLiteral("select 0 as id, '否' as name union all select 1 as id, '是' as name"),
                                                  nullptr});
}

QHash<QString, LookupEntry>& Lookups()
{
    static QHash<QString, LookupEntry> m = [] {
        QHash<QString, LookupEntry> d;
        AddDefaults(d);
        return d;
    }();
    return m;
}

QHash<QString, QString>& FindSql()
{
    static QHash<QString, QString> m;
    return m;
}
QHash<QString, TClientQuery*>& FindQueries()
{
    static QHash<QString, TClientQuery*> m;
    return m;
}

LookupEntry* Entry(const QString& name)
{
    const QString resolved = ResolveLookupName(name);
    if (resolved.isEmpty())
        return nullptr;
    auto it = Lookups().find(resolved.toUpper());
    return it == Lookups().end() ? nullptr : &it.value();
}

TClientQuery* EnsureDataSet(LookupEntry& e)
{
    if (!e.DataSet) {
        e.DataSet = new TClientQuery(nullptr, g_DefaultCon);
        e.DataSet->setObjectName(e.Name);
    }
    e.DataSet->SetConnection(g_DefaultCon);
    e.DataSet->SQL = e.Sql;
    return e.DataSet;
}
} // namespace

void RegisterLookup(const QString& name, const QString& sql)
{
    auto it = Lookups().find(name.toUpper());
    if (it != Lookups().end()) {
        it->Sql = sql;
        if (it->DataSet)
            it->DataSet->Close();
        return;
    }
    Lookups().insert(name.toUpper(), LookupEntry{name, sql, nullptr});
}

QStringList LookupNames()
{
    QStringList l;
    for (const LookupEntry& e : Lookups())
        l << e.Name;
    l.sort(Qt::CaseInsensitive);
    return l;
}

QString ResolveLookupName(const QString& name)
{
    const QString n = name.trimmed();
    auto has = [](const QString& k) { return Lookups().contains(k.toUpper()); };
    if (has(n))
        return Lookups().value(n.toUpper()).Name;
    if (n.endsWith(QLatin1String("_DS"), Qt::CaseInsensitive)) {
        const QString base = n.left(n.size() - 3);
        if (has(base + QStringLiteral("_T")))
            return Lookups().value((base + QStringLiteral("_T")).toUpper()).Name;
        if (has(base))
            return Lookups().value(base.toUpper()).Name;
    }
    return QString();
}

QString LookupSql(const QString& name)
{
    const LookupEntry* e = Entry(name);
    return e ? e->Sql : QString();
}

TClientDataSet* FindLookupDataSet(const QString& name)
{
    LookupEntry* e = Entry(name);
    return e ? EnsureDataSet(*e) : nullptr;
}

TClientDataSet* GetLookupDataSet(const QString& name)
{
    LookupEntry* e = Entry(name);
    if (!e)
        return nullptr;
    TClientQuery* q = EnsureDataSet(*e);
    if (!q->Active())
        q->OpenQuery();
    return q;
}

bool OpenLookupTable(const QString& name)
{
    LookupEntry* e = Entry(name);
    if (!e)
        return false;
    TClientQuery* q = EnsureDataSet(*e);
    if (q->Active())
        q->Close();
    q->OpenQuery();
    return true;
}

bool CloseLookupTable(const QString& name)
{
    LookupEntry* e = Entry(name);
    if (!e)
        return false;
    if (e->DataSet)
        e->DataSet->Close();
    return true;
}

void FreeLookupTables()
{
    for (LookupEntry& e : Lookups()) {
        delete e.DataSet;
        e.DataSet = nullptr;
    }
    qDeleteAll(FindQueries());
    FindQueries().clear();
}

void RegisterFindDataSet(const QString& name, const QString& sql)
{
    FindSql().insert(name.toUpper(), sql);
}

TClientQuery* GetFindDataSet(const QString& name)
{
    const QString k = name.trimmed().toUpper();
    auto sql = FindSql().constFind(k);
    if (sql == FindSql().constEnd())
        return nullptr;
    TClientQuery*& q = FindQueries()[k];
    if (!q) {
        q = new TClientQuery(nullptr, g_DefaultCon);
        q->setObjectName(name);
    }
    if (q->Active())
        q->Close();
    q->SetConnection(g_DefaultCon);
    q->SQL = sql.value();
    return q;
}

// ---------------------------------------------------------------- global functions

namespace {
QVariant Address(const QObject* o) { return ObjectToVariant(o); }

QVariant LookupDataSetFunction(const QString& name, const QString& subject, KQParams* params)
{
    LookupEntry* e = Entry(subject);
    if (!e)
        return Address(nullptr);
    if (params)
        params->AddValue(QStringLiteral("SQL"), e->Sql);
    TClientQuery* q = EnsureDataSet(*e);
    if (!q->Active()) {
        try {
            q->OpenQuery();
        } catch (const Exception& ex) {
            WriteLog(QStringLiteral("%1 %2: %3").arg(name, subject, ex.Message()));
        }
    }
    return Address(q);
}

int OpenCloseFunction(const QString& name, const QString& subject, KQParams* params)
{
    bool done = false;
    if (name.compare(QLatin1String("OPENLOOKUPTABLE"), Qt::CaseInsensitive) == 0)
        done = OpenLookupTable(subject);
    else
        done = CloseLookupTable(subject);
    if (params)
        params->AddValue(QStringLiteral("Result"), done);
    return done ? 0 : -1;
}

QVariant PropertyValueFunction(const QString&, const QString& subject, KQParams*)
{
    TMainWindow* w = MainWindow();
    if (subject.compare(QLatin1String("ACTIVEMDICHILD"), Qt::CaseInsensitive) == 0)
        return Address(w ? w->ActiveMdiChild() : nullptr);
    if (subject.compare(QLatin1String("Handle"), Qt::CaseInsensitive) == 0)
        return Address(w);
    return QVariant();
}

int SetComponentEnabledFunction(const QString&, const QString& subject, KQParams* params)
{
    bool enabled = false;
    if (params) {
        if (params->FindValue(QStringLiteral("ENABLED")))
            enabled = params->GetBool(QStringLiteral("ENABLED"));
        else
            enabled = params->GetBool(QStringLiteral("Enabled"));
    }
    if (TMainWindow* w = MainWindow())
        w->SetEditItemEnabled(subject, enabled);
    return 0;
}

QVariant PayTypeBankFunction(const QString&, const QString& subject, KQParams* params)
{
    bool ok = false;
    int payTypeId = subject.trimmed().toInt(&ok);
    if (!ok && params) {
        const QString key = params->FindValue(QStringLiteral("PayTypeID")) ? QStringLiteral("PayTypeID")
                                                                             : QStringLiteral("PAYTYPEID");
        payTypeId = params->GetInt(key, 0);
        ok = params->FindValue(key);
    }
    int bankId = 0;
    if (ok && g_DefaultCon) {
        const QVariant v = g_DefaultCon->ExecuteScalar(
            QStringLiteral("select bankid from paytype where paytypeid = :id"), {{QStringLiteral("id"), payTypeId}});
        bankId = v.isNull() ? 0 : v.toInt();
    }
    if (params)
        params->AddValue(QStringLiteral("BankID"), bankId);
    return bankId;
}

QVariant FindDataSetFunction(const QString&, const QString& subject, KQParams*)
{
    if (TClientQuery* q = GetFindDataSet(subject))
        return Address(q);
    if (LookupEntry* e = Entry(subject)) {
        TClientQuery* q = EnsureDataSet(*e);
        if (!q->Active())
            q->OpenQuery();
        return Address(q);
    }
    return Address(nullptr);
}

int SubjectIdFunction(const QString&, const QString&, KQParams* params)
{
    if (params)
        params->AddValue(QStringLiteral("iSubID"), 0);
    return 0;
}

int NoMailFunction(const QString& name, const QString&, KQParams* params)
{
    if (params)
        params->AddValue(QStringLiteral("Result"), false);
    if (name.compare(QLatin1String("SendKQEmail"), Qt::CaseInsensitive) == 0)
        ShowInformation(QStringLiteral("没有设置邮件帐户，不能发送邮件！"));
    else
        ShowInformation(QStringLiteral("没有设置即时通讯帐户，不能发送消息！"));
    return 0;
}

int NotInstalledFunction(const QString& name, const QString&, KQParams* params)
{
    if (params)
        params->AddValue(QStringLiteral("Result"), false);
    ShowInformation(QStringLiteral("该功能模块没有安装：%1").arg(name));
    return 0;
}

std::function<void(QWidget*)>& ExcelGuide()
{
    static std::function<void(QWidget*)> guide;
    return guide;
}

int FormShowModalFunction(const QString& name, const QString& subject, KQParams* params)
{
    if (subject.compare(QLatin1String("ExcelGuide_Frm"), Qt::CaseInsensitive) != 0 || !ExcelGuide())
        return NotInstalledFunction(name, subject, params);
    // the guide fills the bill the user works in: the main window's active child, else the
    // active top-level window (a bill opened on its own)
    TMainWindow* w = MainWindow();
    QWidget* target = w ? w->ActiveMdiChild() : nullptr;
    if (!target)
        target = QApplication::activeWindow();
    ExcelGuide()(target);
    return 0;
}
} // namespace

void SetExcelGuide(std::function<void(QWidget* form)> guide) { ExcelGuide() = std::move(guide); }

void RegisterHostFunctions()
{
    RegistFunctionEx(QStringLiteral("GETLOOKUPDATASET"), LookupDataSetFunction);
    RegistFunctionEx(QStringLiteral("GETLOOKUPDATASOURCE"), LookupDataSetFunction);
    RegistFunction(QStringLiteral("OPENLOOKUPTABLE"), OpenCloseFunction);
    RegistFunction(QStringLiteral("CLOSELOOKUPTABLE"), OpenCloseFunction);
    RegistFunctionEx(QStringLiteral("GETPROPERTYVALUE"), PropertyValueFunction);
    RegistFunction(QStringLiteral("SETCOMPONENTENABLED"), SetComponentEnabledFunction);
    RegistFunctionEx(QStringLiteral("GETPAYTYPEDEFAULTBANK"), PayTypeBankFunction);
    RegistFunctionEx(QStringLiteral("GetFindDataSet"), FindDataSetFunction);
    RegistFunction(QStringLiteral("GETASSUBID"), SubjectIdFunction);
    RegistFunction(QStringLiteral("SendKQEmail"), NoMailFunction);
    RegistFunction(QStringLiteral("SENDKQMESSAGE"), NoMailFunction);
    for (const char* n : {"GOTOSPECIALCRED", "SHOWMODEDESIGNFORM", "SHOWREPORTFORM", "REFERARCHIVES",
                          "CREATEARCHIVES", "BillOaForm", "OPENCHATFORM"})
        RegistFunction(QString::fromLatin1(n), NotInstalledFunction);
    RegistFunction(QStringLiteral("FormShowModal"), FormShowModalFunction);
    RegisterMasterDataFunctions();
    RegisterNewCompanyFunction();
}
