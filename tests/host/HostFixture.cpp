#include "HostFixture.h"

#include "server/Schema.h"

void THostDbTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(DatabaseFile());
    g_DefaultCon = FCon.get();
    FCon->ExecuteNative(QStringLiteral(
        "create table shop (shopid integer primary key, code varchar(32), name varchar(64));"
        "create table operator (opid integer primary key, code varchar(20), opname varchar(40), pwhash varchar(128),"
        "  issysmanager bit default 0, shopid integer default 0, closed char(1) default 'F', isuse integer default 0,"
        "  empid integer, departmentid integer);"
        "create table operatorright (opid integer, privilegeid integer, action integer,"
        "  primary key (opid, privilegeid, action));"
        "create table accoption (optionkey varchar(60) primary key, optionvalue varchar(255));"
        "create table bank (bankid integer primary key, code varchar(32), name varchar(64));"
        "create table paytype (paytypeid integer primary key, code varchar(32), name varchar(64), bankid integer,"
        "  closed char(1) default 'F');"
        "create table sys_keyvalue (tablename varchar(60), fieldname varchar(60), keyvalue integer,"
        "  primary key (tablename, fieldname));"
        "insert into shop values (1, '01', '总店'), (2, '02', '东区分店');"
        "insert into operator (opid, code, opname, issysmanager, shopid, closed) values"
        "  (1, '001', '管理员', 1, 0, 'F'), (2, '002', '张三', 0, 2, 'F'), (3, '003', '李四', 0, 1, 'T');"
        "insert into accoption values ('BILLPRINTAFTERSAVE', '1'), ('SaleIncTaxRate', '17'), ('EMPTY', null);"
        "insert into bank values (1, '01', '现金'), (2, '02', '工商银行');"
        "insert into paytype (paytypeid, code, name, bankid) values (1, '01', '现金', 1), (2, '02', '转帐', 2),"
        "  (3, '03', '赊帐', null);"));
    Grant(2, 38, paBrowse);
    Grant(2, 38, paNew);
    Grant(2, 21, paBrowse);
    ResetSession();
}

void THostDbTest::TearDown()
{
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}

void THostDbTest::Grant(int opid, int privilegeId, int action)
{
    FCon->Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (:o, :p, :a)"),
                  {{QStringLiteral("o"), opid}, {QStringLiteral("p"), privilegeId}, {QStringLiteral("a"), action}});
}

void TSchemaDbTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    FCon = std::make_unique<TClientConnection>();
    FCon->Open(FDir.filePath(QStringLiteral("schema.db")));
    g_DefaultCon = FCon.get();
    CreateSchema(FCon->Handle());
}

void TSchemaDbTest::TearDown()
{
    FreeLookupTables();
    ResetSession();
    g_DefaultCon = nullptr;
    FCon.reset();
}
