#pragma once
// The report control: a loaded print template, the bill's variable catalogue and values,
// the master and detail data, and the page layout that prints, previews or exports them.
//
// Print sequence of a bill: load the template file, clear and rebuild the catalogue,
// set variable values, bind the master and detail data, then print or preview.
#include "platform/report/ReportTemplate.h"

#include <QImage>
#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QWidget;
class TClientDataSet;

// Rows of a detail source, read by field name (names without the "D." prefix).
class TReportRowSource {
public:
    virtual ~TReportRowSource() = default;
    virtual int RowCount() const = 0;
    // Prepares reading: resolves field names once per layout.
    virtual void Prepare() {}
    virtual QVariant Value(int row, const QString& field) const = 0;
};

// Formats a value for printing. Formats:
//   ""            numbers without trailing zeros (at most 4 decimals), dates as yyyy-MM-dd
//   "0.00"        fixed decimals: the count of '0' and '#' after the point ('#' drops
//                 trailing zeros); a ',' before the point adds thousands separators,
//                 e.g. "#,##0.00" for money
//   "money"       the same as "#,##0.00"
//   "chinese"     the amount in Chinese capitals (needs SetMoneyInWordsFunction)
//   "date:PATTERN" a date or date-time with a Qt date pattern
// A null value prints as an empty text; a text that is not a number prints as it is.
QString FormatReportValue(const QVariant& value, const QString& format);

// The writer of amounts in Chinese capitals lives with the bill services; the printing
// layer registers it so templates can say "[SUM(D.Amount)|chinese]".
void SetMoneyInWordsFunction(std::function<QString(double)> fn);

// Where each band of one page goes. The page count is known before anything is drawn, so
// "PageCount" is right on every page.
struct TReportPagePlan {
    struct TPlaced {
        enum TWhat { Band, TableHeader, DetailRow, TotalsRow } What = Band;
        TReportBandKind Kind = TReportBandKind::Title; // What == Band
        int Row = -1;                                  // What == DetailRow
        double Top = 0;                                // mm from the top of the paper
    };
    QVector<TPlaced> Items;
    int FirstRow = 0, RowCount = 0;
};

class TReportControl {
public:
    TReportControl();
    ~TReportControl();
    TReportControl(const TReportControl&) = delete;
    TReportControl& operator=(const TReportControl&) = delete;

    // ---- template
    void LoadFromFile(const QString& fileName); // throws EReportError
    void SaveToFile(const QString& fileName) const;
    void SetRptFileName(const QString& fileName) { LoadFromFile(fileName); FFileName = fileName; }
    QString RptFileName() const { return FFileName; }
    void SetTemplate(const TReportTemplate& t);
    const TReportTemplate& Template() const { return FTemplate; }

    // ---- catalogue (names compare without regard to case). Add: a name is listed once;
    // Append: listed as it comes, so one field shown under two captions has two entries.
    void ClearCatalogue();
    void ClearVariables();
    void ClearDetailFields();
    void AddVariable(const QString& name, const QString& caption, const QVariant& value = {});
    void AddDetailField(const QString& name, const QString& caption);
    void AppendVariable(const QString& name, const QString& caption);
    void AppendDetailField(const QString& name, const QString& caption);
    // Sets a variable's value; an unknown name is added to the catalogue captioned by its name.
    void SetVarValue(const QString& name, const QVariant& value);
    QVariant VarValue(const QString& name) const;
    const QVector<TReportCatalogueEntry>& Variables() const { return FTemplate.Variables; }
    const QVector<TReportCatalogueEntry>& DetailFields() const { return FTemplate.DetailFields; }

    // ---- data. "[M.x]" reads variable "M.x" when it has a value, else field x of the
    // master; "[D.x]" reads field x of the detail row being printed.
    void SetMasterValues(const QVariantMap& values);
    void SetDetailRows(const QVector<QVariantMap>& rows);
    void SetDetailSource(std::shared_ptr<TReportRowSource> source);
    // Bind a client dataset: the master's current row and the detail's visible rows are
    // read when printing, without moving either dataset's cursor.
    void SetMasterSource(const TClientDataSet* master);
    void SetDataSource(const TClientDataSet* detail);
    int DetailRowCount() const;

    // Fixed "now" for Date/Time/DateTime (tests and reprints); invalid = the clock.
    void SetPrintTime(const QDateTime& t) { FPrintTime = t; }

    // ---- output
    int PageCount();                                // lays out if needed
    // What goes where on one page (0-based); made on demand, nothing is kept per page.
    TReportPagePlan PagePlan(int pageIndex);
    QImage RenderPage(int pageIndex, double dpi = 96); // 0-based
    void PrintToPdf(const QString& fileName);           // throws EReportError
    // Page setup from the template; the printer's page range and copies are honoured.
    void Print(QPrinter* printer);
    // The 0-based pages printed for a range (1-based, inclusive; 0 = open end) and a number
    // of copies, collated or page by page. EReportError when the range holds no page.
    QVector<int> PrintSequence(int fromPage, int toPage, int copies = 1, bool collate = true);

    // Text of an expression with the values of a page and row (row -1 outside the detail).
    QString Evaluate(const QString& expression, int pageIndex = 0, int row = -1);

private:
    // The page plan in numbers: where rows start and end on the first and on later pages.
    struct TLayoutMetrics {
        double Top = 0, Bottom = 0, RowHeight = 0, TableHeaderHeight = 0, TotalsHeight = 0, SummaryHeight = 0;
        bool HeaderOn[2] = {false, false}, FooterOn[2] = {false, false}; // [0] first page, [1] later pages
        double Start[2] = {0, 0}, Limit[2] = {0, 0};
        int Capacity[2] = {0, 0}; // rows per page
        int Rows = 0;
        int ClosingPage = 0; // the page with the totals row and the summary
    };
    void Layout();
    void Invalidate() { FLaidOut = false; }
    void PaintPage(QPainter& p, double dpi, int pageIndex);
    void PaintDocument(QPainter& p, class QPagedPaintDevice* device, double dpi, const QVector<int>& pages);
    struct TTablePaint;
    void PaintTableRow(QPainter& p, double dpi, double top, int pageIndex, int row, int what, const TTablePaint& tp);
    void PaintTableRules(QPainter& p, double dpi, const QVector<double>& rowTops, double bottom);
    void PaintBand(QPainter& p, double dpi, const TReportBand& band, double top, int pageIndex, int row);
    QVariant Resolve(const QString& name, int pageIndex, int row) const;
    QVariant MasterValue(const QString& field) const;
    double ColumnTotal(const QString& field) const;
    QVector<double> TableColumnWidths() const;

    TReportTemplate FTemplate;
    QString FFileName;
    QHash<QString, QVariant> FValues; // upper-cased variable name -> value
    QVariantMap FMasterValues;        // upper-cased field -> value
    // Reads a field of a bound master dataset; empty when the master is a value map.
    std::function<QVariant(const QString&)> FMasterReader;
    std::shared_ptr<TReportRowSource> FDetail;
    QDateTime FPrintTime;
    TLayoutMetrics FMetrics;
    int FPageCount = 0;
    bool FLaidOut = false;
    mutable QHash<QString, double> FTotals; // upper-cased field -> sum, per layout
};
