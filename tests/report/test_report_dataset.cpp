// Printing straight from client datasets: the master's current row and the detail rows,
// read without moving the caller's cursor.
#include "ReportTestData.h"
#include "platform/DataSet.h"

#include <gtest/gtest.h>

TEST(ReportDataSet, MasterRowAndDetailRowsPrintWithoutMovingCursors)
{
    TClientDataSet master;
    master.AddField(QStringLiteral("Code"), TFieldType::ftString, 20);
    master.AddField(QStringLiteral("Amount"), TFieldType::ftCurrency);
    master.CreateDataSet();
    master.AppendRecord({QStringLiteral("A-1"), 1.0});
    master.AppendRecord({QStringLiteral("A-2"), 2.0});
    master.First();
    master.Next(); // the bill on screen is the second row

    TClientDataSet detail;
    detail.AddField(QStringLiteral("GoodsName"), TFieldType::ftString, 40);
    detail.AddField(QStringLiteral("Amount"), TFieldType::ftCurrency);
    detail.CreateDataSet();
    for (int i = 0; i < 25; ++i)
        detail.AppendRecord({QStringLiteral("货品%1").arg(i + 1), 10.0 * (i + 1)});
    detail.First();
    detail.MoveBy(7);
    const int recNo = detail.RecNo();

    TReportControl rc;
    rc.SetTemplate(MakeStandardBillTemplate(QStringLiteral("测试单"), {{"M.Code", "单号"}},
                                            {{"D.GoodsName", "名称", 0, {}, false}, {"D.Amount", "金额", 30, "#,##0.00", true}}));
    rc.SetMasterSource(&master);
    rc.SetDataSource(&detail);

    EXPECT_EQ(rc.DetailRowCount(), 25);
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Code]")), QStringLiteral("A-2"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[D.GoodsName]"), 0, 24), QStringLiteral("货品25"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[SUM(D.Amount)|0.00]")), QStringLiteral("3250.00"));
    EXPECT_GE(rc.PageCount(), 1);
    EXPECT_FALSE(rc.RenderPage(0, 50).isNull());
    EXPECT_EQ(detail.RecNo(), recNo);
    EXPECT_EQ(master.FieldByName(QStringLiteral("Code"))->AsString(), QStringLiteral("A-2"));

    // The master is read when printing: an edit after binding is what prints.
    master.Edit();
    master.FieldByName(QStringLiteral("Code"))->SetAsString(QStringLiteral("A-2b"));
    master.Post();
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Code]")), QStringLiteral("A-2b"));
}

TEST(ReportDataSet, AFreedDataSetPrintsAsEmpty)
{
    TReportControl rc;
    {
        TClientDataSet detail;
        detail.AddField(QStringLiteral("Name"), TFieldType::ftString, 10);
        detail.CreateDataSet();
        detail.AppendRecord({QStringLiteral("x")});
        rc.SetDataSource(&detail);
        rc.SetMasterSource(&detail);
        EXPECT_EQ(rc.DetailRowCount(), 1);
    }
    EXPECT_EQ(rc.DetailRowCount(), 0);
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Name]")), QString());
}
