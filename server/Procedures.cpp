#include "server/Procedures.h"

#include "server/BillGuard.h"
#include "server/BillKind.h"
#include "server/BillProcedures.h"
#include "server/DemoData.h"
#include "server/GoodsInfo.h"
#include "server/Login.h"
#include "server/NewCompany.h"
#include "server/PrintMark.h"
#include "server/Rights.h"
#include "webrpc/PgEngine.h"
#include "server/Schema.h"
#include "server/ServerSql.h"
#include "webrpc/SqlDialect.h"
#include "webrpc/Statement.h"

#include <QDate>

#include <sqlite3.h>

namespace {

// The real name of a table or view as the schema spells it, or empty when absent; names
// arriving in packets are checked here before they go anywhere near SQL text.
QString ExistingTable(TClientConnection& con, const QString& name)
{
    const QVariant v = con.ExecuteScalar(
        QStringLiteral("select name from sqlite_master where type in ('table','view') and lower(name) = lower(:n)"),
        {{QStringLiteral("n"), name.trimmed()}});
    return v.toString();
}

bool HasColumn(TClientConnection& con, const QString& table, const QString& column)
{
    for (const auto& c : TableColumns(con, table))
        if (c.first.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString PrimaryKeyColumn(TClientConnection& con, const QString& table)
{
    TStatement st(con, QStringLiteral("select name from pragma_table_info(:t) where pk = 1"));
    st.Bind({{QStringLiteral("t"), table}});
    return st.Step() ? st.Column(0).toString() : QString();
}

} // namespace

QString GetClientDataSetMethod(TClientConnection& con, const QString& request)
{
    TPacketParams reply;
    reply.Set(QStringLiteral("ErrMsg"), QString());
    try {
        TOperatorRights::Of(con);
        TPacketParams req;
        req.LoadFromString(request);
        const int count = req.GetInt(QStringLiteral("Count"));
        // A deferred transaction gives every select of one request the same snapshot.
        const bool own = !con.InTransaction();
        // PostgreSQL refuses writes in a read-only transaction; SQLite's guard is below.
        if (own)
            con.ExecuteNative(con.IsPostgres() ? QStringLiteral("begin transaction read only") : QStringLiteral("begin"));
        try {
            for (int i = 1; i <= count; ++i) {
                const QString sql = req.GetString(QStringLiteral("SQL%1").arg(i));
                if (sql.trimmed().isEmpty())
                    throw EDatabaseError(QStringLiteral("第 %1 个查询语句为空").arg(i));
                const QString engineSql = NormaliseParams(TranslateSql(sql, con.Engine()));
                QString packet;
                if (con.IsPostgres()) {
                    if (SplitStatements(engineSql).size() > 1)
                        throw EDatabaseError(QStringLiteral("第 %1 个查询中有多个语句：一次只能执行一个查询").arg(i));
                    if (engineSql.contains(QLatin1String("pwhash"), Qt::CaseInsensitive))
                        throw EDatabaseError(QStringLiteral("第 %1 个查询读取操作员密码：不能执行").arg(i));
                    QVector<TFieldDef> fields;
                    QVector<QVariantList> rows;
                    try {
                        con.PgSession()->Select(engineSql, {}, fields, rows);
                    } catch (const EPgError& e) {
                        if (e.SqlState() == QLatin1String("25006"))
                            throw EDatabaseError(TReadOnlyStatements::RefusedMessage(i));
                        throw;
                    }
                    // password hashes never leave the server: such columns travel empty
                    for (int c = 0; c < fields.size(); ++c)
                        if (fields[c].Name.startsWith(QLatin1String("pwhash"), Qt::CaseInsensitive))
                            for (QVariantList& row : rows)
                                row[c] = QVariant();
                    packet = BuildDataPacket(fields, rows);
                } else {
                    // Only reading statements prepare while the guard lives; one statement per text.
                    TReadOnlyStatements readOnly(con);
                    try {
                        {
                            TStatement first(con.Handle(), engineSql);
                            if (!first.Tail().trimmed().isEmpty() && first.Tail().trimmed() != QLatin1String(";"))
                                throw EDatabaseError(QStringLiteral("第 %1 个查询中有多个语句：一次只能执行一个查询").arg(i));
                        }
                        packet = SelectDataPacket(con.Handle(), engineSql, {});
                    } catch (const EDatabaseError&) {
                        if (sqlite3_errcode(con.Handle()) == SQLITE_AUTH)
                            throw EDatabaseError(TReadOnlyStatements::RefusedMessage(i));
                        throw;
                    }
                }
                reply.Set(QStringLiteral("ClientDataSet%1").arg(i), packet);
            }
        } catch (...) {
            if (own)
                con.ExecuteNative(QStringLiteral("rollback"));
            throw;
        }
        if (own)
            con.ExecuteNative(QStringLiteral("commit"));
        reply.Set(QStringLiteral("ErrNo"), 0);
    } catch (const Exception& e) {
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
    }
    return reply.ToString();
}

QString FormatBillCode(const QDate& date, int shopId, int seq)
{
    return QStringLiteral("%1-%2-%3")
        .arg(date.toString(QStringLiteral("yyyyMMdd")))
        .arg(shopId, 2, 10, QLatin1Char('0'))
        .arg(seq, 4, 10, QLatin1Char('0'));
}

void GetNewBillCodeProc(TClientConnection& con, TProcParams& params, TClientDataSet*)
{
    const int shopId = params.Value(QStringLiteral("@shopid")).toInt();
    const QString dateText = params.Value(QStringLiteral("@billdate")).toString().left(10);
    QDate date = QDate::fromString(dateText, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw EDatabaseError(QStringLiteral("单据日期 %1 不正确").arg(dateText));
    const QString wanted = params.Value(QStringLiteral("@masttablename")).toString();
    const QString table = ExistingTable(con, wanted);
    if (table.isEmpty())
        throw EDatabaseError(QStringLiteral("数据表 %1 不存在").arg(wanted));

    // The next code after the saved ones. Proposing it uses nothing up: a window that is closed
    // without saving leaves no gap, and when two windows propose the same code the second save
    // gets the next free one (the save procedure says so).
    const QString prefix = FormatBillCode(date, shopId, 0).chopped(4);
    int last = 0;
    if (HasColumn(con, table, QStringLiteral("code"))) {
        // Walked down the code index from the top of the day's range: the first code of the
        // right length is the highest. (max() with the length test read the whole day's codes.)
        const QVariant maxCode = con.ExecuteScalar(
            QStringLiteral("select code from %1 where code like :p and length(code) = :len order by code desc limit 1").arg(QuoteIdent(table)),
            {{QStringLiteral("p"), prefix + u'%'}, {QStringLiteral("len"), int(prefix.size() + 4)}});
        if (!maxCode.isNull())
            last = maxCode.toString().right(4).toInt();
    }
    TProcParam* out = params.Find(QStringLiteral("@billcode"));
    if (!out)
        out = &params.Add(QStringLiteral("@billcode"), TFieldType::ftString, TParamDirection::pdInputOutput, 32);
    out->Value = FormatBillCode(date, shopId, last + 1);
    if (TProcParam* rv = params.Find(QStringLiteral("@RETURN_VALUE")))
        rv->Value = 0;
}

void GetKeyValueProc(TClientConnection& con, TProcParams& params, TClientDataSet*)
{
    const QString wanted = params.Value(QStringLiteral("@TableName")).toString().trimmed();
    if (wanted.isEmpty())
        throw EDatabaseError(QStringLiteral("没有指定取号的数据表"));
    QString field = params.Value(QStringLiteral("@FieldName")).toString().trimmed();
    const QString table = ExistingTable(con, wanted);
    if (!table.isEmpty() && field.isEmpty())
        field = PrimaryKeyColumn(con, table);

    // Rows written without the generator (demo data, imports) must not collide: the key stays
    // above the table's highest. One statement raises the key row, which locks it, so sessions
    // asking at the same time (PostgreSQL's concurrent writers) each get a key of their own.
    const QString highest = !table.isEmpty() && !field.isEmpty() && HasColumn(con, table, field)
        ? QStringLiteral("coalesce((select max(%1) from %2), 0)").arg(QuoteIdent(field), QuoteIdent(table))
        : QStringLiteral("0");
    const qint64 next = SelectValue(con,
        QStringLiteral("insert into sys_keyvalue (tablename, fieldname, keyvalue) values (:t, :f, %2 + 1) "
                       "on conflict (tablename, fieldname) do update set keyvalue = %1(sys_keyvalue.keyvalue, %2) + 1 "
                       "returning keyvalue").arg(con.IsPostgres() ? QStringLiteral("greatest") : QStringLiteral("max"), highest),
        {{QStringLiteral("t"), wanted.toLower()}, {QStringLiteral("f"), field.toLower()}}).toLongLong();
    TProcParam* out = params.Find(QStringLiteral("@R_KeyValue"));
    if (!out)
        out = &params.Add(QStringLiteral("@R_KeyValue"), TFieldType::ftInteger, TParamDirection::pdOutput);
    out->Value = next;
}

QString ApplyUpdatesMethod(TClientConnection& con, const QString& request)
{
    TPacketParams reply;
    try {
        const TOperatorRights op = TOperatorRights::Of(con);
        TPacketParams req;
        req.LoadFromString(request);
        const QString wanted = req.GetString(QStringLiteral("TableName"));
        const QString table = ExistingTable(con, wanted);
        if (table.isEmpty())
            throw EDatabaseError(QStringLiteral("数据表 %1 不存在").arg(wanted));
        TApplyDeltaOptions opt;
        opt.Table = table;
        opt.KeyFields = req.GetString(QStringLiteral("KeyFields")).split(u';', Qt::SkipEmptyParts);
        TDelta delta = ParseDeltaXML(req.GetString(QStringLiteral("Delta")));
        con.BeginTrans();
        try {
            CheckTableWrite(con, op, table, delta);
            CheckDeltaValues(ReadTableInfo(con, table), delta);
            reply.Set(QStringLiteral("RowsAffected"), ApplyDelta(con, delta, opt));
            con.CommitTrans();
        } catch (...) {
            con.RollbackTrans();
            throw;
        }
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
    } catch (const Exception& e) {
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrTitle"), QStringLiteral("保存失败"));
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
    }
    return reply.ToString();
}

void RegisterServerProcedures()
{
    TServerRegistry::RegisterMethod(QStringLiteral("ApplyUpdates"), ApplyUpdatesMethod);
    TServerRegistry::RegisterMethod(QStringLiteral("GetClientDataSet"), GetClientDataSetMethod);
    TServerRegistry::RegisterMethod(QStringLiteral("GetADODataSet"), GetClientDataSetMethod);
    TServerRegistry::RegisterProcedure(QStringLiteral("getnewbillcodebydate"), GetNewBillCodeProc);
    TServerRegistry::RegisterProcedure(QStringLiteral("GETKEYVALUE"), GetKeyValueProc);
    RegisterGoodsInfoProcedure();
    RegisterBillProcedures();
    RegisterLoginMethods();
    RegisterNewCompanyMethod();
    RegisterPrintMarkMethod();
}

bool InitializeDatabase(TClientConnection& con, bool withDemoData)
{
    const bool empty = con.ExecuteScalar(con.IsPostgres() ? QStringLiteral("select count(*) from information_schema.tables where table_schema = current_schema()")
                                                          : QStringLiteral("select count(*) from sqlite_master where type = 'table'"))
                           .toInt() == 0;
    if (!empty)
        return false;
    con.BeginTrans();
    try {
        CreateSchema(con);
        if (withDemoData)
            FillDemoData(con, QDate::currentDate());
        else
            FillStandardWindows(con);
        FinishDemoKeys(con);
        con.CommitTrans();
    } catch (...) {
        con.RollbackTrans();
        throw;
    }
    return true;
}
