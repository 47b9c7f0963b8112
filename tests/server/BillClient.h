#pragma once
// The bill procedures as the forms reach them: a bill's master and lines loaded from its own
// tables into datasets, edited, and sent as deltas in the packets the forms send; and a fixture
// on a fresh copy of the demo database with the server procedures, logged in as the manager.
#include "server/BillProcedures.h"
#include "server/Procedures.h"
#include "tests/support/DemoDb.h"
#include "tests/support/PgCluster.h"
#include "webrpc/Connection.h"
#include "webrpc/Statement.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

constexpr int kNoBill = -99999;

inline QString ProcName(int billType, const char* suffix)
{
    for (const QString& n : BillProcedureNames())
        if (BillTypeOfProcedure(n) == billType && n.endsWith(QLatin1String(suffix)))
            return n;
    return QString();
}

inline void SetField(TClientDataSet& ds, const QString& name, const QVariant& v)
{
    if (TField* f = ds.FindField(name))
        f->SetValue(v);
}

// One bill form's view of a bill: its master and detail datasets and the packets it sends.
class TBillClient {
public:
    TBillClient(TClientConnection& con, int billType) : FCon(con), FBillType(billType)
    {
        TClientDataSet k;
        con.OpenNative(QStringLiteral("select mastertable, keyfield, ifnull(detailtable, '') as detailtable from billkind where billtype = :t"), &k,
                       {{QStringLiteral("t"), billType}});
        if (!k.IsEmpty()) {
            Master = k.FieldByName("mastertable")->AsString();
            Key = k.FieldByName("keyfield")->AsString();
            Detail = k.FieldByName("detailtable")->AsString();
        }
    }

    void OpenBill(qint64 id)
    {
        Id = id;
        IsNew = false;
        FCon.OpenNative(QStringLiteral("select * from %1 where %2 = :id").arg(Master, Key), &M, {{QStringLiteral("id"), id}});
        if (!Detail.isEmpty()) {
            FCon.OpenNative(QStringLiteral("select * from %1 where %2 = :id order by itemno").arg(Detail, Key), &D, {{QStringLiteral("id"), id}});
            NextItem = FCon.ExecuteScalar(QStringLiteral("select ifnull(max(itemno), 0) + 1 from %1 where %2 = :id").arg(Detail, Key), {{QStringLiteral("id"), id}}).toInt();
        }
    }
    void NewBill()
    {
        OpenBill(kNoBill);
        IsNew = true;
        M.Append();
        SetField(M, Key, kNoBill);
        SetField(M, "billdate", QDateTime(QDate::currentDate(), QTime(0, 0)));
        SetField(M, "shopid", 1);
        SetField(M, "opid", FCon.Session().OpID);
        SetField(M, "flag", 0);
        M.Post();
    }
    void SetMaster(const QString& field, const QVariant& v)
    {
        if (M.State() == TDataSetState::dsBrowse)
            M.Edit();
        SetField(M, field, v);
        M.CheckBrowseMode();
    }
    // A new line numbered after every line the bill had, as the form numbers them.
    void AddLine(const QVariantMap& values)
    {
        const int itemNo = NextItem++;
        D.Append();
        SetField(D, Key, Id);
        SetField(D, "itemno", itemNo);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            SetField(D, it.key(), it.value());
        D.Post();
    }
    // Sets a field of the line with that item number.
    void SetLine(int itemNo, const QString& field, const QVariant& v)
    {
        ASSERT_TRUE(D.Locate(QStringLiteral("itemno"), itemNo)) << itemNo;
        D.Edit();
        SetField(D, field, v);
        D.Post();
    }
    // As the form does: the master row travels in every save and deletion, with a fresh stamp
    // (a post that changes nothing is not logged); the server compares the original stamp.
    void TouchUpdateTime()
    {
        if (M.ChangeCount() == 0 && !M.IsEmpty()) {
            TField* f = M.FieldByName("updatetime");
            QDateTime stamp = QDateTime::currentDateTime();
            stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
            if (!f->IsNull() && f->AsDateTime() == stamp)
                stamp = stamp.addSecs(1);
            M.Edit();
            f->SetValue(stamp);
            M.Post();
        }
    }

    TPacketParams SavePacket(int checkStep = 0)
    {
        if (!IsNew)
            TouchUpdateTime();
        TPacketParams p;
        p.Set("SubmitType", "BillSubmit").Set("IsAddNew", IsNew).Set("RelevantBillType", FBillType).Set("CVFlag", 0);
        p.Set("MasterDetailBill", !Detail.isEmpty()).Set("MasterAmountFieldName", MasterAmount).Set("AmountFieldName", LineAmount);
        p.Set("ShopID", 1);
        PutDelta(p, "MasterDelta", M);
        if (!Detail.isEmpty())
            PutDelta(p, "DetailDelta", D);
        if (!RequestId.isEmpty())
            p.Set("RequestID", RequestId);
        p.Set("CheckStep", checkStep);
        return p;
    }
    TPacketParams Save(int checkStep = 0) { return Call("_Save", SavePacket(checkStep)); }
    // Saves like the form: every stock warning is accepted and the call repeated.
    TPacketParams SaveAccepting(QList<int>* warnings = nullptr)
    {
        TPacketParams r = Save(0);
        while (r.GetInt("ErrNo") > 1000) {
            if (warnings)
                *warnings << r.GetInt("ErrNo");
            r = Save(r.GetInt("ErrNo") + 1);
        }
        return r;
    }
    TPacketParams Delete(int checkStep = 0)
    {
        TouchUpdateTime();
        TPacketParams p;
        p.Set("SubmitType", "BillSubmit").Set("IsAddNew", false).Set("CurrBillID", int(Id)).Set("RelevantBillType", FBillType);
        p.Set("ShopID", 1).Set("CheckStep", checkStep);
        PutDelta(p, "MasterDelta", M);
        return Call("_Del", p);
    }
    TPacketParams DeleteAccepting()
    {
        TPacketParams r = Delete(0);
        while (r.GetInt("ErrNo") > 1000)
            r = Delete(r.GetInt("ErrNo") + 1);
        return r;
    }
    TPacketParams Red(const QString& newCode = QString(), int checkStep = 0)
    {
        TPacketParams p;
        p.Set("SubmitType", "BillSubmit").Set("IsAddNew", false).Set("CurrBillID", int(Id)).Set("RelevantBillType", FBillType);
        p.Set("ShopID", 1).Set("NewBillCode", newCode).Set("UserID", 2).Set("opid", 2).Set("CheckStep", checkStep);
        return Call("_Red", p);
    }
    TPacketParams RedAccepting()
    {
        TPacketParams r = Red();
        while (r.GetInt("ErrNo") > 1000)
            r = Red(QString(), r.GetInt("ErrNo") + 1);
        return r;
    }
    TPacketParams Call(const char* suffix, const TPacketParams& p)
    {
        if (!HandOver)
            return CallText(suffix, p.ToString());
        TPacketParams r;
        r.LoadFromString(FCon.Proxy()->Invoke(ProcName(FBillType, suffix), p, 120000));
        return r;
    }
    // Hands the change sets over as they are, as a bill window in the same process does,
    // instead of as the XML a hand-written client sends.
    bool HandOver = false;
    void PutDelta(TPacketParams& p, const char* name, const TClientDataSet& ds) const
    {
        if (HandOver)
            p.CreatePacketParam(TFieldType::ftString, QString::fromLatin1(name))->SetAsDelta(ds.GetDelta());
        else
            p.Set(name, ds.GetDeltaXML());
    }
    // A packet as text, as a client that writes its packets by hand sends it.
    TPacketParams CallText(const char* suffix, const QString& packet)
    {
        TPacketParams r;
        r.LoadFromString(FCon.Proxy()->Invoke(ProcName(FBillType, suffix), packet, 120000));
        return r;
    }

    QString Master, Key, Detail;
    QString MasterAmount = QStringLiteral("totalamt"), LineAmount = QStringLiteral("amount");
    QString RequestId;
    TClientDataSet M, D;
    qint64 Id = kNoBill;
    bool IsNew = false;
    int NextItem = 1;

private:
    TClientConnection& FCon;
    int FBillType;
};

// A fingerprint of every row of every table (and of the schema): equal fingerprints, equal
// databases. The raw engine values are hashed and the statements kept, so that checking often
// stays cheap; Table() fingerprints one table.
class TDatabaseChecksum {
public:
    explicit TDatabaseChecksum(TClientConnection& con) : FDb(con.Handle())
    {
        QStringList names{QStringLiteral("sqlite_master")};
        {
            TStatement st(FDb, QStringLiteral("select name from sqlite_master where type = 'table' order by name"));
            while (st.Step())
                names << st.Column(0).toString();
        }
        for (const QString& name : names) {
            const QByteArray sql = QStringLiteral("select * from \"%1\"").arg(name).toUtf8();
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(FDb, sql.constData(), int(sql.size()), &s, nullptr) == SQLITE_OK)
                FTables.insert(name.toLower(), s);
        }
    }
    ~TDatabaseChecksum()
    {
        for (sqlite3_stmt* s : FTables)
            sqlite3_finalize(s);
    }
    TDatabaseChecksum(const TDatabaseChecksum&) = delete;
    TDatabaseChecksum& operator=(const TDatabaseChecksum&) = delete;

    QStringList Tables() const { return FTables.keys(); }
    quint64 Table(const QString& name)
    {
        sqlite3_stmt* st = FTables.value(name.toLower());
        if (!st)
            return 0;
        quint64 h = Bytes(0, sqlite3_sql(st), int(strlen(sqlite3_sql(st))));
        while (sqlite3_step(st) == SQLITE_ROW)
            h = Mix(h, Row(st, 0));
        sqlite3_reset(st);
        return h;
    }
    // The fingerprint of the statement's current row, from column `first` on.
    static quint64 Row(sqlite3_stmt* st, int first)
    {
        quint64 h = 0x5eed;
        for (int i = first; i < sqlite3_column_count(st); ++i) {
            const int type = sqlite3_column_type(st, i);
            h = Mix(h, quint64(type));
            if (type == SQLITE_INTEGER) {
                h = Mix(h, quint64(sqlite3_column_int64(st, i)));
            } else if (type == SQLITE_FLOAT) {
                const double v = sqlite3_column_double(st, i);
                quint64 bits = 0;
                memcpy(&bits, &v, sizeof bits);
                h = Mix(h, bits);
            } else if (type != SQLITE_NULL) {
                h = Bytes(h, sqlite3_column_blob(st, i), sqlite3_column_bytes(st, i));
            }
        }
        return h;
    }
    QByteArray operator()()
    {
        quint64 h = 0;
        for (const QString& name : Tables())
            h = Mix(h, Table(name));
        return QByteArray::number(h, 16);
    }

private:
    static quint64 Mix(quint64 h, quint64 v)
    {
        h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        return h * 0xff51afd7ed558ccdULL;
    }
    // eight bytes at a time: the print styles hold large blobs
    static quint64 Bytes(quint64 h, const void* data, int n)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        h = Mix(h, quint64(n));
        for (; n >= 8; n -= 8, p += 8) {
            quint64 w = 0;
            memcpy(&w, p, 8);
            h = Mix(h, w);
        }
        quint64 tail = 0;
        if (n > 0)
            memcpy(&tail, p, size_t(n));
        return Mix(h, tail);
    }

    sqlite3* FDb;
    QMap<QString, sqlite3_stmt*> FTables;
};

inline QByteArray DatabaseChecksum(TClientConnection& con)
{
    return TDatabaseChecksum(con)();
}

class TBillsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterServerProcedures();
        OpenDatabase();
        if (HasFatalFailure())
            return;
        LoginAs(1);
        // goods kept in stock in store 1 with a base unit, no batches, no limits in the way
        goods = Int("select o.goodsid from onhand o join goods g on g.goodsid = o.goodsid "
                    "where o.storeid = 1 and o.onhand between 50 and 5000 and g.kind = 1 and g.batchctrl = 'F' order by o.goodsid limit 1");
        ASSERT_GT(goods, 0);
        unit = Int(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(goods));
        con.ExecuteNative(QStringLiteral("update goods set upqty = 0, downqty = 0 where goodsid = %1").arg(goods));
    }

    // A fresh copy of the demo database: a SQLite file (reached through the route when a suite
    // sets one), or (OnPostgres) a database of the test cluster.
    virtual void OpenDatabase()
    {
        ASSERT_TRUE(QFile::copy(DemoDatabaseTemplate(), dir.filePath(QStringLiteral("bills.db"))));
        if (TestDatabaseRoute().Open)
            TestDatabaseRoute().Open(con, dir.filePath(QStringLiteral("bills.db")));
        else
            con.Open(dir.filePath(QStringLiteral("bills.db")));
    }

    // The server session of an operator of the demo data (1 manager, 2 clerk of branch 1).
    void LoginAs(int opid)
    {
        if (TestDatabaseRoute().LoginAs)
            return TestDatabaseRoute().LoginAs(con, opid);
        TServerSession s;
        s.OpID = opid;
        s.OpName = con.ExecuteScalar(QStringLiteral("select opname from operator where opid = %1").arg(opid)).toString();
        s.ShopID = con.ExecuteScalar(QStringLiteral("select shopid from operator where opid = %1").arg(opid)).toInt();
        s.SysManager = con.ExecuteScalar(QStringLiteral("select issysmanager from operator where opid = %1").arg(opid)).toInt() != 0;
        con.SetSession(s);
    }
    void Grant(int opid, int privilegeId, int action)
    {
        con.ExecuteNative(QStringLiteral("insert or ignore into operatorright (opid, privilegeid, action) values (%1, %2, %3)").arg(opid).arg(privilegeId).arg(action));
    }

    int Int(const QString& sql) { return con.ExecuteScalar(sql).toInt(); }
    double Num(const QString& sql) { return con.ExecuteScalar(sql).toDouble(); }
    double OnHand(int store, int g) { return Num(QStringLiteral("select ifnull(sum(onhand), 0) from onhand where storeid = %1 and goodsid = %2").arg(store).arg(g)); }
    double OnHand(int store = 1) { return OnHand(store, goods); }
    double Value(int store, int g) { return Num(QStringLiteral("select ifnull(sum(amount), 0) from onhand where storeid = %1 and goodsid = %2").arg(store).arg(g)); }

    QVariantMap Line(double qty, double price)
    {
        return {{"goodsid", goods}, {"unitid", unit}, {"unitqty", qty}, {"quantity", qty}, {"unitprice", price}, {"price", price},
                {"goodsamt", qty * price}, {"amount", qty * price}, {"aprice", price}, {"disc", 100}, {"taxrate", 0}};
    }
    // A saved receipt (7) into store 1 of one line, master values as given.
    qint64 ReceiveLine(const QVariantMap& line, const QVariantMap& master = {})
    {
        TBillClient b(con, 7);
        b.NewBill();
        b.SetMaster("storeid", 1);
        b.SetMaster("clientid", 1);
        for (auto it = master.cbegin(); it != master.cend(); ++it)
            b.SetMaster(it.key(), it.value());
        b.AddLine(line);
        const TPacketParams r = b.SaveAccepting();
        EXPECT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        return r.GetInt("NewBillID");
    }
    qint64 Receive(double qty, double price, const QString& code = QString())
    {
        return ReceiveLine(Line(qty, price), {{"code", code}});
    }
    // A saved purchase order (6) with one line per quantity at 2.00.
    qint64 Order(std::initializer_list<double> quantities)
    {
        TBillClient order(con, 6);
        order.NewBill();
        order.SetMaster("clientid", 1);
        for (double q : quantities)
            order.AddLine(Line(q, 2));
        const TPacketParams r = order.Save();
        EXPECT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        return r.GetInt("NewBillID");
    }
    // A receipt line that takes `qty` over from line `item` of an order.
    QVariantMap LineFromOrder(qint64 orderId, int item, double qty)
    {
        QVariantMap l = Line(qty, 2);
        l.insert("refertype", 6);
        l.insert("referbillid", orderId);
        l.insert("referitemno", item);
        return l;
    }
    // An invoice (2) out of store 1, not yet saved.
    std::unique_ptr<TBillClient> Invoice(double qty, double price = 20)
    {
        auto b = std::make_unique<TBillClient>(con, 2);
        b->NewBill();
        b->SetMaster("storeid", 1);
        b->SetMaster("clientid", 1);
        b->AddLine(Line(qty, price));
        return b;
    }
    double LotLeft(qint64 receiptId)
    {
        return Num(QStringLiteral("select sum(leftqty) from v_DetailBillFlow where billtype = 1 and billid = %1").arg(receiptId));
    }

    QTemporaryDir dir;
    TClientConnection con;
    int goods = 0;
    int unit = 0;
};
