#include "HostFixture.h"

#include <QLineEdit>

using DataServicesTest = THostDbTest;

namespace {
std::unique_ptr<TClientDataSet> Lines()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->AddField(QStringLiteral("itemno"), TFieldType::ftInteger);
    ds->AddField(QStringLiteral("quantity"), TFieldType::ftFloat);
    ds->AddField(QStringLiteral("amount"), TFieldType::ftCurrency);
    ds->AddField(QStringLiteral("taxprice"), TFieldType::ftFloat);
    ds->AddField(QStringLiteral("memo"), TFieldType::ftString, 40);
    ds->CreateDataSet();
    ds->AppendRecord({1, 2.5, 10.0, 4.0, QStringLiteral("a")});
    ds->AppendRecord({2, 1.0, 3.5, 3.5, QVariant()});
    ds->AppendRecord({3, 4.0, 0.25, 0.0625, QStringLiteral("c")});
    return ds;
}
} // namespace

TEST_F(DataServicesTest, QueriesAndFirstRows)
{
    QObject owner;
    TClientQuery* q = CreateAutoQuery(&owner, QStringLiteral("select * from paytype order by paytypeid"));
    EXPECT_EQ(q->parent(), &owner);
    EXPECT_TRUE(q->Active());
    EXPECT_EQ(q->RecordCount(), 3);
    TClientQuery* closed = CreateAutoQuery(&owner, QStringLiteral("select * from bank"), false);
    EXPECT_FALSE(closed->Active());
    EXPECT_THROW(CreateAutoQuery(&owner, QStringLiteral("select * from nothing_here")), Exception);

    const QVariantList row = GetValuesOfSql(QStringLiteral("select name, bankid from paytype where paytypeid = 2"));
    ASSERT_EQ(row.size(), 2);
    EXPECT_EQ(row[0].toString(), QStringLiteral("转帐"));
    EXPECT_EQ(row[1].toInt(), 2);
    EXPECT_TRUE(GetValuesOfSql(QStringLiteral("select name from paytype where paytypeid = 99")).isEmpty());
}

TEST_F(DataServicesTest, FieldWritesSumsAndDeletes)
{
    auto ds = Lines();
    ds->First();
    EXPECT_TRUE(SafeSetFieldValue(ds.get(), QStringLiteral("MEMO"), QStringLiteral("x")));
    EXPECT_FALSE(SafeSetFieldValue(ds.get(), QStringLiteral("nosuchfield"), 1));
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    SetDataSetPost(ds.get());
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    SetDataSetPost(ds.get()); // nothing pending: no effect

    EXPECT_DOUBLE_EQ(GetDataSetSum(ds.get(), QStringLiteral("amount")), 13.75);
    EXPECT_DOUBLE_EQ(GetDataSetSum(ds.get(), QStringLiteral("nosuchfield")), 0.0);

    ds->SetRecNo(2);
    SetDataSetAllValue(ds.get(), QStringLiteral("quantity"), 1.5);
    EXPECT_EQ(ds->RecNo(), 2); // position kept
    EXPECT_DOUBLE_EQ(GetDataSetSum(ds.get(), QStringLiteral("quantity")), 4.5);

    SilenceDataSet(ds.get());
    EXPECT_TRUE(ds->Silenced());
    WakeUpDataSet(ds.get());
    EXPECT_FALSE(ds->Silenced());

    DeleteItems(ds.get());
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_DOUBLE_EQ(GetDataSetSum(ds.get(), QStringLiteral("amount")), 0.0);
}

TEST_F(DataServicesTest, DisplayFormatsTellMoneyFromQuantities)
{
    auto ds = Lines();
    SetDataSetFormat(ds.get());
    EXPECT_EQ(ds->FieldByName(QStringLiteral("amount"))->DisplayFormat, QStringLiteral("0.00"));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("taxprice"))->DisplayFormat, QStringLiteral("0.00"));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("quantity"))->DisplayFormat, QStringLiteral("0.######"));
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("itemno"))->DisplayFormat.isEmpty());
}

TEST_F(DataServicesTest, NotNullCheckTellsTheUserAndFocuses)
{
    auto ds = Lines();
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* other = new QLineEdit(&window);
    window.show();
    other->setFocus();
    TScriptedMessages msgs;
    ds->SetRecNo(1);
    EXPECT_TRUE(NotNullCheck(ds->FieldByName(QStringLiteral("memo")), edit, QStringLiteral("请输入备注！")));
    EXPECT_EQ(msgs.Count(), 0);
    ds->SetRecNo(2);
    EXPECT_FALSE(NotNullCheck(ds->FieldByName(QStringLiteral("memo")), edit, QStringLiteral("请输入备注！")));
    ASSERT_EQ(msgs.Count(), 1);
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("请输入备注！"));
    EXPECT_EQ(msgs.Last().Caption, QStringLiteral("提示"));
    EXPECT_EQ(window.focusWidget(), edit);
    ds->FieldByName(QStringLiteral("memo"))->SetValue(QStringLiteral("   "));
    EXPECT_FALSE(NotNullCheck(ds->FieldByName(QStringLiteral("memo")), nullptr, QStringLiteral("空")));
}

TEST_F(DataServicesTest, ComparisonsAndLog)
{
    EXPECT_TRUE(CompareStrEqual(QStringLiteral("BillDate"), QStringLiteral(" BILLDATE ")));
    EXPECT_FALSE(CompareStrEqual(QStringLiteral("BillDate"), QStringLiteral("BillDat")));
    g_asTempDirectory = FDir.filePath(QStringLiteral("tmp"));
    WriteLog(QStringLiteral("第一行"));
    WriteLog(QStringLiteral("second"));
    QFile f(LogFileName());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(LogFileName().startsWith(g_asTempDirectory));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("第一行")));
    g_asTempDirectory.clear();
}
