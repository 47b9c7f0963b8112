#include "platform/report/ReportPreview.h"

#include "platform/report/ReportControl.h"

#include <QAction>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

TReportPreview::TReportPreview(TReportControl* report, QWidget* parent)
    : QDialog(parent), FReport(report), FPrinter(new QPrinter(QPrinter::ScreenResolution))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("打印预览 - %1").arg(report->Template().Name));
    resize(900, 1000);
    FPrinter->setFullPage(true);
    FPreview = new QPrintPreviewWidget(FPrinter, this);
    FPreview->setObjectName(QStringLiteral("PreviewWidget"));
    connect(FPreview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        try {
            FReport->Print(printer);
        } catch (const EReportError&) {
            // the caller laid the report out before showing it; nothing new can fail here
        }
    });

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto action = [&](const char* name, const QString& text, const QKeySequence& key) {
        QAction* a = bar->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    APrint = action("APrint", QStringLiteral("打印..."), QKeySequence::Print);
    ASavePdf = action("ASavePdf", QStringLiteral("保存PDF..."), QKeySequence::Save);
    bar->addSeparator();
    AFirstPage = action("AFirstPage", QStringLiteral("首页"), QKeySequence(Qt::Key_Home));
    APrevPage = action("APrevPage", QStringLiteral("上页"), QKeySequence(Qt::Key_PageUp));
    FPageLabel = new QLabel(bar);
    bar->addWidget(FPageLabel);
    ANextPage = action("ANextPage", QStringLiteral("下页"), QKeySequence(Qt::Key_PageDown));
    ALastPage = action("ALastPage", QStringLiteral("末页"), QKeySequence(Qt::Key_End));
    bar->addSeparator();
    AZoomIn = action("AZoomIn", QStringLiteral("放大"), QKeySequence::ZoomIn);
    AZoomOut = action("AZoomOut", QStringLiteral("缩小"), QKeySequence::ZoomOut);
    AFitWidth = action("AFitWidth", QStringLiteral("适合宽度"), QKeySequence());
    bar->addSeparator();
    AClose = action("AClose", QStringLiteral("关闭"), QKeySequence(Qt::Key_Escape));

    connect(APrint, &QAction::triggered, this, [this] {
        if (OnPrint)
            OnPrint();
    });
    connect(ASavePdf, &QAction::triggered, this, [this] {
        if (OnSavePdf)
            OnSavePdf();
    });
    connect(AFirstPage, &QAction::triggered, this, [this] { FPreview->setCurrentPage(1); });
    connect(APrevPage, &QAction::triggered, this, [this] { FPreview->setCurrentPage(std::max(1, CurrentPage() - 1)); });
    connect(ANextPage, &QAction::triggered, this, [this] { FPreview->setCurrentPage(std::min(PageCount(), CurrentPage() + 1)); });
    connect(ALastPage, &QAction::triggered, this, [this] { FPreview->setCurrentPage(PageCount()); });
    connect(AZoomIn, &QAction::triggered, FPreview, [this] { FPreview->zoomIn(); });
    connect(AZoomOut, &QAction::triggered, FPreview, [this] { FPreview->zoomOut(); });
    connect(AFitWidth, &QAction::triggered, FPreview, &QPrintPreviewWidget::fitToWidth);
    connect(AClose, &QAction::triggered, this, &QDialog::reject);
    connect(FPreview, &QPrintPreviewWidget::previewChanged, this, &TReportPreview::UpdatePageLabel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(FPreview, 1);
    FPreview->updatePreview();
    UpdatePageLabel();
}

TReportPreview::~TReportPreview()
{
    delete FPreview;
    delete FPrinter;
}

int TReportPreview::CurrentPage() const { return FPreview->currentPage(); }
int TReportPreview::PageCount() const { return FPreview->pageCount(); }

void TReportPreview::UpdatePageLabel()
{
    FPageLabel->setText(QStringLiteral(" 第 %1 页，共 %2 页 ").arg(CurrentPage()).arg(PageCount()));
}
