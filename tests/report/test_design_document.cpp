// The designer's document model: the editing operations behind the window.
#include "ReportTestData.h"
#include "platform/report/DesignDocument.h"


#include <gtest/gtest.h>

namespace {

struct TDesignFixture : ::testing::Test {
    QTemporaryDir Dir;
    QString File;
    TDesignDocument Doc;
    void SetUp() override
    {
        File = Dir.filePath(QStringLiteral("1001.Zrp"));
        PurchaseOrderTemplate().SaveToFile(File);
        Doc.Load(File);
    }
};

} // namespace

TEST_F(TDesignFixture, AddMoveResizeDeleteSaveAndReload)
{
    int changed = 0;
    QObject::connect(&Doc, &TDesignDocument::Changed, [&changed] { ++changed; });
    EXPECT_FALSE(Doc.Modified());
    const auto band = TReportBandKind::MasterHeader;
    const int before = Doc.ItemCount(band);

    const int i = Doc.AddTextItem(band, QStringLiteral("交货地点：[M.Address]"), QPointF(10, 2));
    EXPECT_EQ(i, before);
    EXPECT_TRUE(Doc.Modified());
    Doc.MoveItem(band, i, QPointF(100, 3));
    Doc.ResizeItem(band, i, QSizeF(50, 5));
    Doc.SetItemFont(band, i, TReportFont{QStringLiteral("WenQuanYi Zen Hei"), 12, true, false});
    Doc.SetItemAlign(band, i, TReportHAlign::Right);
    Doc.SetItemFrame(band, i, TReportFrame{false, false, false, true, 0.3});
    const int gone = Doc.AddTextItem(band, QStringLiteral("临时"), QPointF(0, 0));
    Doc.DeleteItem(band, gone);
    EXPECT_EQ(changed, 8);

    Doc.Save();
    EXPECT_FALSE(Doc.Modified());

    TDesignDocument again;
    again.Load(File);
    ASSERT_EQ(again.ItemCount(band), before + 1);
    const TReportItem& it = again.Item(band, i);
    EXPECT_EQ(it.Text, QStringLiteral("交货地点：[M.Address]"));
    EXPECT_DOUBLE_EQ(it.X, 100);
    EXPECT_DOUBLE_EQ(it.Y, 3);
    EXPECT_DOUBLE_EQ(it.Width, 50);
    EXPECT_DOUBLE_EQ(it.Height, 5);
    EXPECT_TRUE(it.Font.Bold);
    EXPECT_DOUBLE_EQ(it.Font.Size, 12);
    EXPECT_EQ(it.Align, TReportHAlign::Right);
    EXPECT_TRUE(it.Frame.Bottom);
    EXPECT_FALSE(it.Frame.Top);
    EXPECT_EQ(again.Template(), Doc.Template());
}

TEST_F(TDesignFixture, ItemsAreKeptInsideTheirBand)
{
    const auto band = TReportBandKind::Title;
    const double bandH = Doc.Template().BandHeight(band);
    const double pageW = Doc.Template().Page.ContentWidth();
    const int i = Doc.AddTextItem(band, QStringLiteral("x"), QPointF(0, 0));
    Doc.MoveItem(band, i, QPointF(-20, 1000));
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).X, 0);
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).Y + Doc.Item(band, i).Height, bandH);
    Doc.MoveItem(band, i, QPointF(pageW, 0));
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).X + Doc.Item(band, i).Width, pageW);

    // Growing stops at the edge; shrinking stops at the minimum size.
    Doc.MoveItem(band, i, QPointF(pageW - 60, 0));
    Doc.ResizeItem(band, i, QSizeF(500, 500));
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).X, pageW - 60);
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).Width, 60);
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).Height, bandH);
    Doc.ResizeItem(band, i, QSizeF(0, -3));
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).Width, TDesignDocument::MinItemSize);
    EXPECT_DOUBLE_EQ(Doc.Item(band, i).Height, TDesignDocument::MinItemSize);

    // Lowering the band pulls its items up.
    Doc.MoveItem(band, i, QPointF(0, bandH));
    Doc.SetBandHeight(band, 4);
    EXPECT_LE(Doc.Item(band, i).Y + Doc.Item(band, i).Height, 4 + 1e-9);

    EXPECT_THROW(Doc.MoveItem(band, 999, QPointF()), EReportError);
    EXPECT_THROW(Doc.DeleteItem(band, -1), EReportError);
}

TEST_F(TDesignFixture, BandsAreAddedOnceInPrintingOrderAndDetailStays)
{
    Doc.DeleteBand(TReportBandKind::PageHeader);
    EXPECT_FALSE(Doc.HasBand(TReportBandKind::PageHeader));
    EXPECT_THROW(Doc.DeleteBand(TReportBandKind::PageHeader), EReportError);
    EXPECT_THROW(Doc.DeleteBand(TReportBandKind::Detail), EReportError);
    EXPECT_THROW(Doc.AddBand(TReportBandKind::Title), EReportError);
    EXPECT_THROW(Doc.AddTextItem(TReportBandKind::PageHeader, QStringLiteral("x"), QPointF()), EReportError);

    Doc.AddBand(TReportBandKind::PageHeader, 12);
    QList<TReportBandKind> order;
    for (const auto& b : Doc.Template().Bands)
        order.append(b.Kind);
    EXPECT_EQ(order, AllReportBandKinds());
    Doc.SaveAs(File);
    EXPECT_EQ(TReportTemplate::LoadFromFile(File).BandHeight(TReportBandKind::PageHeader), 12);
}

TEST_F(TDesignFixture, CanvasHitTestingFindsTheBandUnderThePointer)
{
    const auto areas = Doc.CanvasLayout();
    ASSERT_EQ(areas.size(), Doc.Template().Bands.size());
    for (int k = 1; k < areas.size(); ++k)
        EXPECT_NEAR(areas[k].CaptionTop, areas[k - 1].Top + areas[k - 1].Height, 1e-9);
    for (const auto& a : areas) {
        TReportBandKind kind{};
        double y = -1;
        ASSERT_TRUE(Doc.BandAt(a.Top + a.Height / 2, kind, y));
        EXPECT_EQ(kind, a.Kind);
        EXPECT_NEAR(y, a.Height / 2, 1e-9);
        ASSERT_TRUE(Doc.BandAt(a.CaptionTop + 0.1, kind, y)); // the caption strip belongs to its band
        EXPECT_EQ(kind, a.Kind);
        EXPECT_DOUBLE_EQ(y, 0);
    }
    TReportBandKind kind{};
    double y = 0;
    EXPECT_FALSE(Doc.BandAt(areas.last().Top + areas.last().Height + 1, kind, y));
}

TEST_F(TDesignFixture, CatalogueEntriesBecomeExpressions)
{
    const auto band = TReportBandKind::PageFooter;
    const int a = Doc.AddCatalogueItem(band, QStringLiteral("PageCount"), QPointF(1, 1));
    const int b = Doc.AddCatalogueItem(band, QStringLiteral("M.Code"), QPointF(1, 1));
    EXPECT_EQ(Doc.Item(band, a).Text, QStringLiteral("第[PageNum]页，共[PageCount]页"));
    EXPECT_EQ(Doc.Item(band, b).Text, QStringLiteral("[M.Code]"));

    // What the designer writes is what the control prints.
    TReportControl rc;
    rc.SetTemplate(Doc.Template());
    rc.SetDetailRows(PurchaseOrderLines(1));
    EXPECT_EQ(rc.Evaluate(Doc.Item(band, a).Text, 0), QStringLiteral("第1页，共1页"));
}

TEST_F(TDesignFixture, LoadingADamagedFileKeepsTheDocument)
{
    const TReportTemplate before = Doc.Template();
    const QString bad = Dir.filePath(QStringLiteral("bad.Zrp"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(PurchaseOrderTemplate().ToJson().left(100));
    f.close();
    EXPECT_THROW(Doc.Load(bad), EReportError);
    EXPECT_EQ(Doc.Template(), before);
    EXPECT_EQ(Doc.FileName(), File);
}

TEST_F(TDesignFixture, ColumnsCanBeAddedResizedAndRemoved)
{
    const int n = int(Doc.Template().Columns.size());
    Doc.AddColumn(QStringLiteral("D.Remark"), QStringLiteral("备注"), 20);
    ASSERT_EQ(Doc.Template().Columns.size(), n + 1);
    Doc.SetColumnWidth(n, 25);
    EXPECT_DOUBLE_EQ(Doc.Template().Columns.at(n).Width, 25);
    EXPECT_THROW(Doc.SetColumnWidth(n, 0), EReportError);
    EXPECT_THROW(Doc.AddColumn(QString(), QStringLiteral("x"), 10), EReportError);
    Doc.DeleteColumn(n);
    EXPECT_EQ(Doc.Template().Columns.size(), n);
    EXPECT_THROW(Doc.DeleteColumn(n), EReportError);
}

TEST_F(TDesignFixture, EveryEditCanBeUndoneAndRedoneBackToTheSavedState)
{
    const TReportTemplate saved = Doc.Template();
    EXPECT_FALSE(Doc.CanUndo());
    const auto band = TReportBandKind::MasterHeader;
    QVector<TReportTemplate> states{Doc.Template()};
    const int i = Doc.AddTextItem(band, QStringLiteral("备注：[M.Remark]"), QPointF(5, 1));
    states << Doc.Template();
    Doc.SetItemFont(band, i, TReportFont{QStringLiteral("WenQuanYi Zen Hei"), 14, true, false});
    states << Doc.Template();
    Doc.SetBandHeight(TReportBandKind::Summary, 30);
    states << Doc.Template();
    Doc.DeleteBand(TReportBandKind::PageHeader);
    states << Doc.Template();
    Doc.AddColumn(QStringLiteral("D.Remark"), QStringLiteral("备注"), 15);
    states << Doc.Template();
    Doc.DeleteItem(band, 0);
    states << Doc.Template();
    ASSERT_EQ(Doc.UndoStack()->count(), states.size() - 1);

    for (int k = states.size() - 2; k >= 0; --k) {
        Doc.Undo();
        EXPECT_EQ(Doc.Template(), states[k]) << "undo to state " << k;
    }
    EXPECT_FALSE(Doc.Modified()) << "undone back to what was loaded";
    EXPECT_EQ(Doc.Template(), saved);
    for (int k = 1; k < states.size(); ++k) {
        Doc.Redo();
        EXPECT_EQ(Doc.Template(), states[k]) << "redo to state " << k;
    }
    EXPECT_TRUE(Doc.Modified());

    // A new edit after undoing drops what could have been redone.
    Doc.Undo();
    Doc.Undo();
    Doc.MoveItem(band, 0, QPointF(30, 1));
    EXPECT_FALSE(Doc.CanRedo());

    // Saving marks the state clean; undoing past it makes the document modified again.
    Doc.Save();
    EXPECT_FALSE(Doc.Modified());
    Doc.Undo();
    EXPECT_TRUE(Doc.Modified());
    // Refused edits leave no step behind.
    const int steps = Doc.UndoStack()->count();
    EXPECT_THROW(Doc.AddBand(TReportBandKind::Title), EReportError);
    Doc.MoveItem(band, 0, QPointF(Doc.Item(band, 0).X, Doc.Item(band, 0).Y)); // nowhere
    EXPECT_EQ(Doc.UndoStack()->count(), steps);
}

TEST_F(TDesignFixture, NudgingOneItemIsOneStepButTwoItemsAreTwo)
{
    const auto band = TReportBandKind::MasterHeader;
    const int a = Doc.AddTextItem(band, QStringLiteral("甲"), QPointF(10, 1));
    const int b = Doc.AddTextItem(band, QStringLiteral("乙"), QPointF(60, 1));
    EXPECT_EQ(Doc.UndoStack()->count(), 2);
    for (int k = 1; k <= 5; ++k)
        Doc.MoveItem(band, a, QPointF(10 + k, 1));
    EXPECT_EQ(Doc.UndoStack()->count(), 3);
    Doc.MoveItem(band, b, QPointF(70, 1));
    Doc.MoveItem(band, a, QPointF(20, 1)); // back to the first item: a step of its own
    Doc.SetItemText(band, a, QStringLiteral("甲1"));
    Doc.SetItemText(band, a, QStringLiteral("甲12"));
    EXPECT_EQ(Doc.UndoStack()->count(), 6);
    Doc.Undo(); // the text
    EXPECT_EQ(Doc.Item(band, a).Text, QStringLiteral("甲"));
    Doc.Undo();
    Doc.Undo();
    EXPECT_DOUBLE_EQ(Doc.Item(band, b).X, 60);
    Doc.Undo(); // the five nudges
    EXPECT_DOUBLE_EQ(Doc.Item(band, a).X, 10);
}

TEST_F(TDesignFixture, SavingRefusesToOverwriteAFileChangedByAnotherProgram)
{
    Doc.AddTextItem(TReportBandKind::Title, QStringLiteral("我的修改"), QPointF(1, 1));
    // Another program (another designer, the template manager) writes the file meanwhile.
    TReportTemplate theirs = PurchaseOrderTemplate();
    theirs.Name = QStringLiteral("别人的修改");
    theirs.SaveToFile(File);
    EXPECT_TRUE(Doc.FileChangedElsewhere());
    EXPECT_THROW(Doc.Save(), EFileChangedElsewhere);
    EXPECT_EQ(TReportTemplate::LoadFromFile(File).Name, QStringLiteral("别人的修改")) << "their file is kept";
    EXPECT_TRUE(Doc.Modified()) << "our edits are kept too";

    // Saved elsewhere, and from then on that file is ours.
    const QString other = Dir.filePath(QStringLiteral("mine.Zrp"));
    Doc.SaveAs(other);
    EXPECT_FALSE(Doc.Modified());
    Doc.AddTextItem(TReportBandKind::Title, QStringLiteral("再改"), QPointF(1, 1));
    EXPECT_NO_THROW(Doc.Save());

    // Writing the same bytes again is no change; overwriting on purpose is allowed.
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    EXPECT_FALSE(Doc.FileChangedElsewhere());
    theirs.SaveToFile(other);
    Doc.SetItemText(TReportBandKind::Title, 0, QStringLiteral("强制"));
    EXPECT_THROW(Doc.Save(), EFileChangedElsewhere);
    EXPECT_NO_THROW(Doc.Save(true));
    EXPECT_EQ(TReportTemplate::LoadFromFile(other), Doc.Template());
    // A file removed meanwhile is simply written again.
    QFile::remove(other);
    Doc.SetItemText(TReportBandKind::Title, 0, QStringLiteral("重写"));
    EXPECT_NO_THROW(Doc.Save());
    EXPECT_TRUE(QFile::exists(other));
}
