// The line-import wizard: CSV in UTF-8 and GB18030, an xlsx written here with libxlsxwriter and
// an xls fixture (data/make_import_xls.py), read, matched to goods and imported into a bill.
#include "tests/pickers/SelectionFixture.h"

#include "pickers/ImportWizardForm.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableWidget>

#include <xlsxwriter.h>

namespace {

class ImportWizardTest : public TSelectionTest {
protected:
    void SetUp() override
    {
        TSelectionTest::SetUp();
        for (const char* code : {"IMP-1", "IMP-2", "IMP-XLS-1", "IMP-XLS-2"})
            Goods.insert(QString::fromLatin1(code), AddGoods(QString::fromLatin1(code), QStringLiteral("导入货") + QString::fromLatin1(code), 20, 9));
    }
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = FDir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString Csv(const QString& text, const char* encoding)
    {
        QStringEncoder enc(encoding);
        return Write(QStringLiteral("lines-%1.csv").arg(QString::fromLatin1(encoding)), enc(text));
    }
    QString Xlsx()
    {
        const QString path = FDir.filePath(QStringLiteral("lines.xlsx"));
        lxw_workbook* wb = workbook_new(path.toUtf8().constData());
        lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
        const char* headers[] = {"货品编号", "数量", "单价", "备注"};
        for (int c = 0; c < 4; ++c)
            worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], nullptr);
        worksheet_write_string(ws, 1, 0, "IMP-1", nullptr);
        worksheet_write_number(ws, 1, 1, 6, nullptr);
        worksheet_write_number(ws, 1, 2, 7.25, nullptr);
        worksheet_write_string(ws, 1, 3, "第一行", nullptr);
        worksheet_write_string(ws, 2, 0, "IMP-2", nullptr);
        worksheet_write_number(ws, 2, 1, 1.5, nullptr);
        worksheet_write_number(ws, 2, 2, 30, nullptr);
        EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
        return path;
    }
    static QString Xls() { return QStringLiteral(TB_SOURCE_DIR) + QStringLiteral("/tests/pickers/data/import_lines.xls"); }

    // Runs the wizard on the bill: the file, automatic pairs, then finish. The rows the last
    // step offered and the problems it told.
    int ImportInto(TGoodsBillForm* f, const QString& file, QStringList* problems = nullptr)
    {
        int offered = -1;
        FMessages->OnModal(QStringLiteral("BillLoadDetailForm"), [&](QDialog* d) {
            auto* w = FormIn<TBillLoadDetailForm>(d);
            const bool render = file.endsWith(QLatin1String(".xlsx"));
            if (render)
                Expose(d);
            w->edFileName->setText(file);
            if (render)
                Render(d, QStringLiteral("BillLoadDetailForm-1"));
            w->btnNext->click();
            EXPECT_EQ(w->Step(), 2) << FMessages->Texts().join(u'\n').toStdString();
            w->btnAutoAdd->click();
            if (render)
                Render(d, QStringLiteral("BillLoadDetailForm-2"));
            w->btnNext->click();
            if (render)
                Render(d, QStringLiteral("BillLoadDetailForm-3"));
            EXPECT_EQ(w->Step(), 3);
            EXPECT_EQ(d->windowTitle(), QStringLiteral("导入单据明细向导--3步骤之3"));
            offered = w->tbLines->rowCount();
            if (problems)
                *problems = w->edProblems->toPlainText().split(u'\n', Qt::SkipEmptyParts);
            w->btnFinish->click();
            return int(QDialog::Accepted);
        });
        f->ASelBtnLoadDetailFromFile->trigger();
        return offered;
    }
    struct TLine {
        QString Code;
        double Qty, Price;
    };
    static QVector<TLine> Lines(TGoodsBillForm* f)
    {
        QVector<TLine> out;
        TClientDataSet* d = f->cdsDetail;
        for (d->First(); !d->Eof(); d->Next())
            out.append({d->FieldByName(QStringLiteral("goodscode"))->AsString(), d->FieldByName(QStringLiteral("unitqty"))->AsFloat(),
                        d->FieldByName(QStringLiteral("unitprice"))->AsFloat()});
        return out;
    }
    QHash<QString, TGoods> Goods;
};

TEST_F(ImportWizardTest, TheFourFormatsReadAsTheSameSheet)
{
    const QString text = QStringLiteral("货品编号,数量,单价\r\nIMP-1,3,12.5\r\n\"IMP-2\",\"2,5\",4\r\n\r\n");
    for (const QString& path : {Csv(text, "UTF-8"), Csv(text, "GB18030")}) {
        SCOPED_TRACE(path.toStdString());
        const TImportRead r = ReadImportFile(path);
        ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
        EXPECT_EQ(r.Sheet.Headers, (QStringList{QStringLiteral("货品编号"), QStringLiteral("数量"), QStringLiteral("单价")}));
        ASSERT_EQ(r.Sheet.Rows.size(), 2) << "the empty line is dropped";
        EXPECT_EQ(r.Sheet.Rows[1], (QStringList{QStringLiteral("IMP-2"), QStringLiteral("2,5"), QStringLiteral("4")}));
    }
    // the byte-order mark of UTF-8 is not part of the first name; tabs separate as well
    const TImportRead bom = ReadImportCsv(QByteArray("\xEF\xBB\xBF") + QStringLiteral("数量\t货品编号\n1\tIMP-1\n").toUtf8());
    ASSERT_TRUE(bom.Ok());
    EXPECT_EQ(bom.Sheet.Headers.first(), QStringLiteral("数量"));

    const TImportRead xlsx = ReadImportFile(Xlsx());
    ASSERT_TRUE(xlsx.Ok()) << xlsx.Error.toStdString();
    EXPECT_EQ(xlsx.Sheet.Headers, (QStringList{QStringLiteral("货品编号"), QStringLiteral("数量"), QStringLiteral("单价"), QStringLiteral("备注")}));
    ASSERT_EQ(xlsx.Sheet.Rows.size(), 2);
    EXPECT_EQ(xlsx.Sheet.Rows[0], (QStringList{QStringLiteral("IMP-1"), QStringLiteral("6"), QStringLiteral("7.25"), QStringLiteral("第一行")}));
    EXPECT_EQ(xlsx.Sheet.Rows[1].value(3), QString()) << "a short row is filled up";

    const TImportRead xls = ReadImportFile(Xls());
    ASSERT_TRUE(xls.Ok()) << xls.Error.toStdString();
    EXPECT_EQ(xls.Sheet.Headers, (QStringList{QStringLiteral("货品编号"), QStringLiteral("数量"), QStringLiteral("单价")}));
    ASSERT_EQ(xls.Sheet.Rows.size(), 2);
    EXPECT_EQ(xls.Sheet.Rows[1], (QStringList{QStringLiteral("IMP-XLS-2"), QStringLiteral("2.5"), QStringLiteral("4")}));

    // what cannot be read is told in the wizard's words
    EXPECT_EQ(ReadImportFile(FDir.filePath(QStringLiteral("none.csv"))).Error, QStringLiteral("文件不存在."));
    EXPECT_EQ(ReadImportFile(Write(QStringLiteral("bad.xlsx"), "not a workbook")).Error, QStringLiteral("文件的内容不对."));
    EXPECT_EQ(ReadImportFile(Write(QStringLiteral("bad.xls"), QByteArray(600, 'x'))).Error, QStringLiteral("文件的内容不对."));
    EXPECT_EQ(ReadImportFile(Write(QStringLiteral("one.csv"), "货品编号\nIMP-1\n")).Error, QStringLiteral("文件中的字段太少."));
    EXPECT_EQ(ReadImportFile(Write(QStringLiteral("empty.csv"), "\n\n")).Error, QStringLiteral("文件的内容不对."));
}

TEST_F(ImportWizardTest, PairsAndRowsAreCheckedBeforeAnythingIsAdded)
{
    const QStringList headers{QStringLiteral("数量"), QStringLiteral("单价"), QStringLiteral("条码")};
    EXPECT_EQ(CheckImportPairs({{QStringLiteral("数量"), kImportQuantity}}), QStringLiteral("匹配的字段太少,不能继续."));
    EXPECT_EQ(CheckImportPairs(AutoImportPairs(headers)), QStringLiteral("货品编号或货品条码是必须有匹配的字段."))
        << "matched only on quantity and price";
    const QVector<TImportPair> pairs{{QStringLiteral("条码"), kImportBarCode}, {QStringLiteral("数量"), kImportQuantity},
                                     {QStringLiteral("单价"), kImportPrice}};
    EXPECT_EQ(CheckImportPairs(pairs), QString());

    const TGoods& g = Goods.value(QStringLiteral("IMP-2"));
    const QString packBar = QStringLiteral("69PACK");
    FCon->Execute(QStringLiteral("update goodsunit set barcode = :b where unitid = :u"), {{QStringLiteral("b"), packBar}, {QStringLiteral("u"), g.PackUnitID}});
    TImportSheet sheet;
    sheet.Headers = headers;
    sheet.Rows = {{QStringLiteral("2"), QStringLiteral("15"), packBar},
                  {QStringLiteral("1"), QString(), QStringLiteral("69IMP-1")},
                  {QStringLiteral("x"), QStringLiteral("1"), QStringLiteral("69IMP-1")},
                  {QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("NOSUCH")},
                  {QStringLiteral("1"), QStringLiteral("abc"), QStringLiteral("69IMP-1")}};
    const TImportMatch m = MatchImportRows(FCon.get(), sheet, pairs);
    ASSERT_EQ(m.Lines.size(), 2);
    EXPECT_EQ(m.Lines[0].GoodsID, g.GoodsID);
    EXPECT_EQ(m.Lines[0].UnitID, g.PackUnitID) << "a unit's bar code gives that unit";
    EXPECT_DOUBLE_EQ(m.Lines[0].Price, 15);
    EXPECT_EQ(m.Lines[1].Code, QStringLiteral("IMP-1"));
    EXPECT_FALSE(m.Lines[1].HasPrice);
    EXPECT_EQ(m.Problems, (QStringList{QStringLiteral("数据不完整(第3行)"), QStringLiteral("货品不存在(NOSUCH)"), QStringLiteral("数据不完整(第5行)")}));

    // the wizard stays at step 2 while the pairs are refused
    TBillLoadDetailForm w(FCon.get(), TBillSession::FromHost());
    w.edFileName->setText(Write(QStringLiteral("q.csv"), "数量,单价\n1,2\n"));
    ASSERT_TRUE(w.NextStep());
    w.AutoAddPairs();
    EXPECT_FALSE(w.NextStep());
    EXPECT_EQ(w.Step(), 2);
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("货品编号或货品条码是必须有匹配的字段."));
    EXPECT_EQ(TBillLoadDetailForm::RememberedFile(), w.edFileName->text()) << "the file is remembered for next time";
    w.edFileName->setText(FDir.filePath(QStringLiteral("gone.csv")));
    w.PriorStep();
    EXPECT_FALSE(w.NextStep());
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("文件不存在."));
}

TEST_F(ImportWizardTest, EachFormatIsImportedIntoABill)
{
    const int vendor = AddPartner(2, QStringLiteral("导入供应商"));
    const QString csvText = QStringLiteral("货品编号,数量,单价\nIMP-1,3,12.5\nIMP-2,2,4\nIMP-404,1,1\n");
    const struct {
        QString File;
        QVector<TLine> Expected;
    } files[] = {
        {Csv(csvText, "UTF-8"), {{QStringLiteral("IMP-1"), 3, 12.5}, {QStringLiteral("IMP-2"), 2, 4}}},
        {Csv(csvText, "GB18030"), {{QStringLiteral("IMP-1"), 3, 12.5}, {QStringLiteral("IMP-2"), 2, 4}}},
        {Xlsx(), {{QStringLiteral("IMP-1"), 6, 7.25}, {QStringLiteral("IMP-2"), 1.5, 30}}},
        {Xls(), {{QStringLiteral("IMP-XLS-1"), 3, 12.5}, {QStringLiteral("IMP-XLS-2"), 2.5, 4}}},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.File.toStdString());
        TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
        ASSERT_NE(f, nullptr);
        SetMaster(f, QStringLiteral("clientid"), vendor);
        QStringList problems;
        EXPECT_EQ(ImportInto(f, file.File, &problems), file.Expected.size());
        const QVector<TLine> got = Lines(f);
        ASSERT_EQ(got.size(), file.Expected.size());
        for (int i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].Code, file.Expected[i].Code);
            EXPECT_DOUBLE_EQ(got[i].Qty, file.Expected[i].Qty);
            EXPECT_DOUBLE_EQ(got[i].Price, file.Expected[i].Price);
        }
        // the engine priced the lines: amounts and the master total follow
        double total = 0;
        for (f->cdsDetail->First(); !f->cdsDetail->Eof(); f->cdsDetail->Next()) {
            const double qty = f->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat();
            const double price = f->cdsDetail->FieldByName(QStringLiteral("unitprice"))->AsFloat();
            EXPECT_NEAR(f->cdsDetail->FieldByName(QStringLiteral("goodsamt"))->AsFloat(), qty * price, 0.005);
            EXPECT_FALSE(f->cdsDetail->FieldByName(QStringLiteral("goodsname"))->AsString().isEmpty());
            total += f->cdsDetail->FieldByName(QStringLiteral("amount"))->AsFloat();
        }
        EXPECT_NEAR(f->cdsMaster->FieldByName(QStringLiteral("amount"))->AsFloat(), total, 0.005);
        if (file.File.endsWith(QLatin1String(".csv"))) {
            EXPECT_EQ(problems, QStringList{QStringLiteral("货品不存在(IMP-404)")});
        }
        ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'\n').toStdString();
        EXPECT_EQ(Db(QStringLiteral("select count(*) from orderdetail where orderid = :o"), {{QStringLiteral("o"), f->CurrentBillID}}).toInt(),
                  file.Expected.size());
        delete f;
    }
}

} // namespace
