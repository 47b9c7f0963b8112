#pragma once
// Print template: page setup, bands with positioned items, the detail table and the
// variable catalogue of the bill. Stored as a versioned JSON document (FORMAT.md).
// Every length is in millimetres, font sizes in points.
#include "platform/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A template file that cannot be read or a layout that cannot be produced.
class EReportError : public Exception {
public:
    using Exception::Exception;
};

enum class TReportBandKind { Title, PageHeader, MasterHeader, Detail, Summary, PageFooter };
enum class TReportItemKind { Text, Line, Rect };
enum class TReportHAlign { Left, Center, Right };

QString ReportBandKindName(TReportBandKind k);            // "title", "pageHeader", ...
TReportBandKind ReportBandKindFromName(const QString& s); // throws EReportError
QString ReportBandCaption(TReportBandKind k);             // "标题", "页眉", ... for the designer
QList<TReportBandKind> AllReportBandKinds();              // in printing order

struct TReportFont {
    QString Family = QStringLiteral("WenQuanYi Zen Hei");
    double Size = 10; // points
    bool Bold = false;
    bool Italic = false;
    bool operator==(const TReportFont&) const = default;
};

// Which sides of an item's box get a line.
struct TReportFrame {
    bool Left = false, Top = false, Right = false, Bottom = false;
    double Width = 0.2; // mm
    bool Any() const { return Left || Top || Right || Bottom; }
    bool operator==(const TReportFrame&) const = default;
};

struct TReportItem {
    TReportItemKind Kind = TReportItemKind::Text;
    double X = 0, Y = 0, Width = 30, Height = 6; // relative to the band; a line runs
                                                // from (X,Y) to (X+Width, Y+Height)
    QString Text;             // literal text mixed with "[name]" and "[name|format]"
    TReportFont Font;
    TReportHAlign Align = TReportHAlign::Left;
    bool WordWrap = false;
    TReportFrame Frame;
    double LineWidth = 0.3;   // lines and rectangles, mm
    bool operator==(const TReportItem&) const = default;
};

struct TReportBand {
    TReportBandKind Kind = TReportBandKind::Detail;
    double Height = 0;
    bool PrintOnFirstPage = true; // page header and footer may skip the first page
    QVector<TReportItem> Items;
    bool operator==(const TReportBand&) const = default;
};

// One column of the detail table; the detail band's height is the row height.
struct TReportColumn {
    QString Field;   // "D.GoodsName", or "RowNo" for the line number
    QString Caption;
    double Width = 20;
    TReportHAlign Align = TReportHAlign::Left;
    QString Format;  // see FormatReportValue
    bool Total = false; // summed into the totals row
    bool operator==(const TReportColumn&) const = default;
};

struct TReportTable {
    bool Visible = true;
    double HeaderHeight = 8;
    TReportFont HeaderFont{QStringLiteral("WenQuanYi Zen Hei"), 10, true, false};
    TReportFont CellFont{QStringLiteral("WenQuanYi Zen Hei"), 9, false, false};
    double LineWidth = 0.25;
    QString TotalCaption = QStringLiteral("合 计"); // totals row, first column; empty = no totals row
    bool operator==(const TReportTable&) const = default;
};

struct TReportCatalogueEntry {
    QString Name;
    QString Caption;
    QString Value; // variables only: the value last set (kept so the designer can show it)
    bool operator==(const TReportCatalogueEntry&) const = default;
};

struct TReportPage {
    QString Paper = QStringLiteral("A4"); // "A4", "A5", "B5", "Letter" or "Custom"
    bool Landscape = false;
    double Width = 210, Height = 297;      // mm, as printed (after orientation)
    double MarginLeft = 15, MarginTop = 12, MarginRight = 15, MarginBottom = 12;
    double ContentWidth() const { return Width - MarginLeft - MarginRight; }
    double ContentHeight() const { return Height - MarginTop - MarginBottom; }
    bool operator==(const TReportPage&) const = default;
};

class TReportTemplate {
public:
    static constexpr int FormatVersion = 1;

    QString Name;
    TReportPage Page;
    QVector<TReportBand> Bands; // at most one of each kind, the detail band always
    TReportTable Table;
    QVector<TReportColumn> Columns;
    QVector<TReportCatalogueEntry> Variables;
    QVector<TReportCatalogueEntry> DetailFields;

    // A template with the detail band only (row height 7 mm) on A4 portrait.
    static TReportTemplate Empty();

    TReportBand* Band(TReportBandKind k);
    const TReportBand* Band(TReportBandKind k) const;
    double BandHeight(TReportBandKind k) const; // 0 when absent
    double TableWidth() const;

    // Checks sizes and structure; throws EReportError naming the first problem.
    void Validate() const;

    QByteArray ToJson() const;
    static TReportTemplate FromJson(const QByteArray& data); // validates; throws EReportError
    void SaveToFile(const QString& fileName) const;           // throws EReportError
    static TReportTemplate LoadFromFile(const QString& fileName);

    bool operator==(const TReportTemplate&) const = default;
};

// Paper sizes known by name, portrait, in mm; false for an unknown name.
bool ReportPaperSize(const QString& paper, double& width, double& height);

// A business form: company name and title, a block of master variables, a bordered detail
// table with totals and the total in Chinese capitals, signature line, "第x页，共y页".
// masterVars: (name, caption) pairs such as ("M.Code", "单号"); detailColumns give field,
// caption, width (0 = share the rest), format and whether the column is totalled; the
// amount in capitals is taken from the last totalled column with a money format.
struct TStandardColumn {
    QString Field;
    QString Caption;
    double Width = 0;
    QString Format; // "" text, "#,##0.00" money, "0.##" quantity ...
    bool Total = false;
};
TReportTemplate MakeStandardBillTemplate(const QString& title,
                                         const QVector<QPair<QString, QString>>& masterVars,
                                         const QVector<TStandardColumn>& detailColumns);
