// The designer's window: zoom, undo and redo from its tool bar, the preview with a sample
// bill, and what it does when another program changed the file it edits.
#include "ReportTestData.h"

#include "designer/DesignerWindow.h"
#include "platform/report/ReportPreview.h"
#include "platform/report/SampleBillData.h"

#include <QAction>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

struct TDesignerWindowTest : ::testing::Test {
    QTemporaryDir Dir;
    QString File;
    TDesignDocument Doc;
    std::unique_ptr<TDesignerWindow> Window;
    void SetUp() override
    {
        SetMoneyInWordsFunction(MoneyToChinese);
        File = Dir.filePath(QStringLiteral("1001.Zrp"));
        TReportTemplate t = PurchaseOrderTemplate();
        t.Variables.append({QStringLiteral("价税合计大写"), QStringLiteral("价税合计大写"), {}});
        t.Variables.append({QStringLiteral("M.Code"), QStringLiteral("单号"), QStringLiteral("CG-0042")});
        t.SaveToFile(File);
        Doc.Load(File);
        Window = std::make_unique<TDesignerWindow>(&Doc);
        Window->OnFileChangedElsewhere = [](const QString&) -> QString {
            ADD_FAILURE() << "unexpected question";
            return {};
        };
        Window->OnError = [this](const QString& m) { Errors << m; };
    }
    QStringList Errors;
    // Screen pixels per mm on the canvas.
    double PixelsPerMm() const { return Window->Canvas()->transform().m11(); }
};

} // namespace

TEST_F(TDesignerWindowTest, ZoomStepsStaysInBoundsAndFollowsTheWheel)
{
    TDesignCanvas* c = Window->Canvas();
    EXPECT_DOUBLE_EQ(PixelsPerMm(), TDesignCanvas::Scale);
    Window->AZoomIn->trigger();
    EXPECT_DOUBLE_EQ(c->Zoom(), TDesignCanvas::ZoomStep);
    EXPECT_DOUBLE_EQ(PixelsPerMm(), TDesignCanvas::Scale * TDesignCanvas::ZoomStep);
    for (int k = 0; k < 20; ++k)
        Window->AZoomIn->trigger();
    EXPECT_DOUBLE_EQ(c->Zoom(), TDesignCanvas::MaxZoom);
    EXPECT_FALSE(Window->AZoomIn->isEnabled());
    Window->AZoomReset->trigger();
    EXPECT_DOUBLE_EQ(c->Zoom(), 1.0);
    for (int k = 0; k < 20; ++k)
        Window->AZoomOut->trigger();
    EXPECT_DOUBLE_EQ(c->Zoom(), TDesignCanvas::MinZoom);
    EXPECT_FALSE(Window->AZoomOut->isEnabled());
    EXPECT_TRUE(Window->AZoomIn->isEnabled());

    // Ctrl + wheel zooms, the wheel alone scrolls.
    Window->AZoomReset->trigger();
    const QPointF at(10, 10);
    QWheelEvent up(at, c->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(c->viewport(), &up);
    EXPECT_DOUBLE_EQ(c->Zoom(), TDesignCanvas::ZoomStep);
    QWheelEvent plain(at, c->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(c->viewport(), &plain);
    EXPECT_DOUBLE_EQ(c->Zoom(), TDesignCanvas::ZoomStep);

    // Fit to width makes the printable width fill the view.
    Window->resize(1400, 900);
    Window->show();
    Window->AZoomWidth->trigger();
    const double shown = (Doc.Template().Page.ContentWidth() + 20) * PixelsPerMm();
    EXPECT_NEAR(shown, c->viewport()->width() - 4, 1.0);
}

TEST_F(TDesignerWindowTest, UndoAndRedoActionsFollowTheDocument)
{
    EXPECT_FALSE(Window->AUndo->isEnabled());
    const TReportTemplate before = Doc.Template();
    Doc.AddTextItem(TReportBandKind::Title, QStringLiteral("新标题"), QPointF(5, 2));
    EXPECT_TRUE(Window->AUndo->isEnabled());
    EXPECT_TRUE(Window->windowTitle().contains(QLatin1Char('*')));
    Window->AUndo->trigger();
    EXPECT_EQ(Doc.Template(), before);
    EXPECT_FALSE(Window->windowTitle().contains(QLatin1Char('*'))) << "back at the saved state";
    EXPECT_TRUE(Window->ARedo->isEnabled());
    Window->ARedo->trigger();
    EXPECT_NE(Doc.Template(), before);
    EXPECT_EQ(Window->AUndo->shortcut(), QKeySequence(QKeySequence::Undo));
}

TEST_F(TDesignerWindowTest, PreviewShowsTheTemplateFilledWithASampleBill)
{
    TReportPreview* preview = Window->PreviewSample();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_GE(preview->PageCount(), 1);
    preview->close(); // deletes itself

    // What the preview shows: every variable has a value, the lines add up.
    TReportControl rc;
    rc.SetTemplate(Doc.Template());
    FillSampleBillData(rc, 12);
    EXPECT_EQ(rc.DetailRowCount(), 12);
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Code]")), QStringLiteral("CG-0042")) << "a value the bill set last time stays";
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[企业名称]")), QStringLiteral("示例商贸有限公司"));
    double sum = 0;
    for (int r = 0; r < 12; ++r) {
        const double qty = rc.Evaluate(QStringLiteral("[D.Quantity]"), 0, r).toDouble();
        const double price = rc.Evaluate(QStringLiteral("[D.Price]"), 0, r).toDouble();
        const double amount = rc.Evaluate(QStringLiteral("[D.Amount]"), 0, r).toDouble();
        EXPECT_GT(qty, 0);
        EXPECT_NEAR(amount, qty * price, 0.005) << r;
        sum += amount;
        EXPECT_FALSE(rc.Evaluate(QStringLiteral("[D.GoodsName]"), 0, r).isEmpty());
    }
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[SUM(D.Amount)|0.00]")), FormatReportValue(sum, QStringLiteral("0.00")));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[价税合计大写]")), MoneyToChinese(sum));

    // A layout the page cannot hold is told at once, and no preview opens.
    Doc.SetBandHeight(TReportBandKind::Summary, Doc.Template().Page.ContentHeight());
    EXPECT_EQ(Window->PreviewSample(), nullptr);
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors.first().contains(QStringLiteral("高度"))) << Errors.first().toStdString();
}

TEST_F(TDesignerWindowTest, SavingOverAnotherProgramsChangeOffersAnotherFile)
{
    Doc.AddTextItem(TReportBandKind::Title, QStringLiteral("我的修改"), QPointF(1, 1));
    TReportTemplate theirs = PurchaseOrderTemplate();
    theirs.Name = QStringLiteral("别人的修改");
    theirs.SaveToFile(File);

    QStringList asked;
    Window->OnFileChangedElsewhere = [&](const QString& message) {
        asked << message;
        return QString(); // the user declines
    };
    EXPECT_FALSE(Window->Save());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.first().contains(QStringLiteral("其他程序修改")));
    EXPECT_EQ(TReportTemplate::LoadFromFile(File).Name, QStringLiteral("别人的修改"));
    EXPECT_TRUE(Doc.Modified());

    const QString other = Dir.filePath(QStringLiteral("另存.Zrp"));
    Window->OnFileChangedElsewhere = [&](const QString&) { return other; };
    EXPECT_TRUE(Window->Save());
    EXPECT_EQ(Doc.FileName(), other);
    EXPECT_EQ(TReportTemplate::LoadFromFile(other), Doc.Template());
    EXPECT_EQ(TReportTemplate::LoadFromFile(File).Name, QStringLiteral("别人的修改"));
    EXPECT_TRUE(Errors.isEmpty());
}
