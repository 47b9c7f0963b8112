// Spreadsheet export, read back with Python's zipfile: real .xlsx, numbers as numbers.
#include "platform/report/XlsxExport.h"
#include "platform/report/ReportTemplate.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The XML of one part of the workbook.
QString ReadPart(const QString& xlsx, const QString& part)
{
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode('utf-8'))"),
             xlsx, part});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<error>") + QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(XlsxExport, TitleHeadersNumbersAndTotals)
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 is not installed; cannot open the workbook";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lines.xlsx"));
    ExportToXlsx(file, QStringLiteral("采购订货单明细"), {QStringLiteral("商品编码"), QStringLiteral("商品名称"), QStringLiteral("数量"), QStringLiteral("金额")},
                 {{QStringLiteral("00123"), QStringLiteral("铅笔"), 3, 37.5},
                  {QStringLiteral("00124"), QStringLiteral("橡皮"), 2.5, 12.25},
                  {QStringLiteral("00125"), QVariant(), 1, QDate(2024, 5, 1)}},
                 {2, 3});

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), QByteArray("PK"));
    f.close();

    const QString strings = ReadPart(file, QStringLiteral("xl/sharedStrings.xml"));
    const QString sheet = ReadPart(file, QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_FALSE(strings.startsWith(QStringLiteral("<error>"))) << strings.toStdString();
    ASSERT_FALSE(sheet.startsWith(QStringLiteral("<error>"))) << sheet.toStdString();
    for (const char* s : {"采购订货单明细", "商品编码", "金额", "00123", "铅笔", "合 计", "2024-05-01"})
        EXPECT_TRUE(strings.contains(QString::fromUtf8(s))) << s;

    // Quantities and amounts are numeric cells (no t="s"), the code column stays text.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"C4\" s=\"")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<v>37.5</v>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<v>2.5</v>")));
    EXPECT_TRUE(sheet.contains(QRegularExpression(QStringLiteral("<c r=\"A4\"[^>]*t=\"s\""))));
    EXPECT_FALSE(sheet.contains(QRegularExpression(QStringLiteral("<c r=\"D4\"[^>]*t=\"s\""))));
    // Totals row (row 7): formulas with their values; the date is text and not summed.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<f>SUM(C4:C6)</f><v>6.5</v>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<f>SUM(D4:D6)</f><v>49.75</v>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<mergeCell ref=\"A1:D1\"/>")));
}

TEST(XlsxExport, RefusesWhatItCannotWrite)
{
    EXPECT_THROW(ExportToXlsx(QStringLiteral("/nonexistent/dir/a.xlsx"), QStringLiteral("t"), {QStringLiteral("a")}, {}, {}),
                 EReportError);
    QTemporaryDir dir;
    EXPECT_THROW(ExportToXlsx(dir.filePath(QStringLiteral("b.xlsx")), QStringLiteral("t"), {}, {}, {}), EReportError);
}
