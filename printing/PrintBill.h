#pragma once
// Printing one bill through its print template: template path, load, catalogue, values,
// master and detail sources, then preview, printer or PDF.
//
// The printed mark ("Update <master> Set PRINTED=1 ...") stays with the bill form, which
// knows its master table and key and whether it printed or only previewed: it calls
// MarkBillPrinted after a print that returned true.
#include "printing/PrintTemplates.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

class QPrinter;
class QWidget;
class TClientDataSet;
class TReportControl;

// Preview: the preview window, from which the user may print or save a PDF.
// PrintDialog: the print dialog first (printer, copies, page range); cancelling it prints
// nothing. Printer: straight to the printer, as printing right after saving does.
enum class TPrintOutput { Preview, PrintDialog, Printer, Pdf };

struct TPrintBillOptions {
    TPrintOutput Output = TPrintOutput::Preview;
    QString PdfFile;             // TPrintOutput::Pdf
    QPrinter* Printer = nullptr; // Printer, PrintDialog: nullptr uses the default printer
    QWidget* Parent = nullptr;   // owner of the preview and the dialogs
    // The bill window's style whose shown fields join the catalogue. When StyleFields is
    // empty they are read from WindowID (0: the report type's bill type) and TemplateID.
    int WindowID = 0;
    int TemplateID = 1;
    QVector<TPrintStyleField> StyleFields;
    QVariantMap ExtraVariables;  // bill-specific variables, set after the standard ones
    QDateTime PrintTime;         // fixed print time (reprints, tests); invalid = now
};

struct TPrintBillResult {
    int RptID = 0;   // the template used (the standard one when the bill had none)
    int Pages = 0;
    bool UsedStandard = false; // the user agreed to print with the standard template
    bool Printed = false;      // pages went to a printer (or the PDF standing in for one),
                               // also when printed from the preview: the bill counts as printed
    QStringList SavedPdfFiles; // PDFs the user saved from the preview
};

// Prints the bill in master (its current row) and detail (its visible rows). When rptid has
// no template the user is asked whether to use the standard one of the report type.
// Returns true when the output was produced (a preview counts once it was shown); problems
// are shown to the user and give false.
bool PrintBillWithTemplate(int reportType, int rptid, TClientDataSet* master, TClientDataSet* detail,
                           const TPrintBillOptions& options = {}, TPrintBillResult* result = nullptr);

// The values step of the sequence: style fields (drop-downs as their shown text), company
// data from AccInfo, bill number and date, partner data, totals and amounts in capitals.
void SetBillPrintVariables(TReportControl& report, int billType, const TClientDataSet* master,
                           const TClientDataSet* detail, const QVector<TPrintStyleField>& styleFields);
// One variable; does nothing without a report.
void SetPrintVariable(TReportControl* report, const QString& name, const QVariant& value);

// The print dialog (object name "PrintDialog") through the host's modal seam: the user
// picks the printer, copies and page range on `printer`. False when cancelled.
bool AskPrinter(QPrinter& printer, int pageCount, QWidget* parent = nullptr);
// The file dialog (object name "SavePdfDialog") for a PDF; "" when cancelled.
QString AskSavePdfFile(QWidget* parent, const QString& suggestedName);

// "Update <table> Set PRINTED=1 Where <key>=<id>"; a failure shows "更新打印标志是出现更新错误！".
bool MarkBillPrinted(const QString& masterTable, const QString& keyField, int billId);

// Registers MoneyToChinese as the report engine's writer of amounts in capitals.
void RegisterPrintMoneyInWords();
