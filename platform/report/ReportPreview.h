#pragma once
// The print preview of a report: the pages as they will print, zoom and page buttons, and
// the two ways out that users expect, printing and saving a PDF. What printing and saving
// ask the user (printer, file name) is the caller's business: it installs OnPrint and
// OnSavePdf, which run when the buttons are pressed.
#include <QDialog>

#include <functional>

class QAction;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class TReportControl;

class TReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit TReportPreview(TReportControl* report, QWidget* parent = nullptr);
    ~TReportPreview() override;

    std::function<void()> OnPrint;
    std::function<void()> OnSavePdf;

    QPrintPreviewWidget* PreviewWidget() const { return FPreview; }
    int CurrentPage() const; // 1-based
    int PageCount() const;

    QAction* APrint;
    QAction* ASavePdf;
    QAction* AZoomIn;
    QAction* AZoomOut;
    QAction* AFitWidth;
    QAction* AFirstPage;
    QAction* APrevPage;
    QAction* ANextPage;
    QAction* ALastPage;
    QAction* AClose;

private:
    void UpdatePageLabel();
    TReportControl* FReport;
    QPrinter* FPrinter;
    QPrintPreviewWidget* FPreview;
    QLabel* FPageLabel;
};
