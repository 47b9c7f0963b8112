#pragma once
// The server's warnings after a save, as the user sees them: the price warning (reply 1401)
// lists the lines whose price is beyond the system's limit, or beyond the reference price;
// the stock warning (replies 1501-1503) lists the lines short of stock, or the goods outside
// their stock limits. Both answer true when the user presses "忽略通过(&I)". They fill the
// bill window's check-dialog slots (InstallCheckDialogs).
#include "pickers/PickerForm.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"

#include <functional>

class QLabel;
class QPushButton;
class TPacketParams;
class TBillBaseForm;

// ---- parts the small dialogs share
// A button that is never the default one (Enter stays with the list).
QPushButton* NewButton(QWidget* parent, const char* name, const char* text);
// A read-only list on the source.
TDBGrid* NewListGrid(QWidget* parent, const char* name, TDataSource* source);
// The list's columns: field, title, width and display format, in this order.
void SetListColumns(TKQDBGridMaster& grid, const QVector<std::tuple<const char*, const char*, int, const char*>>& columns);

// ---- price warning
// Mode 1: a purchase (prices above the limit), mode 2: a sale (prices below it). The list
// compares with the system's limit (maxpprice / minsprice) or with the reference price.
struct TPriceCheckText {
    QString Intro;       // the sentence above the list
    QString PriceField;  // pprice or sprice
    QString PriceTitle;  // "最高价", "最低价" or "参考价"
};
TPriceCheckText PriceCheckText(int mode, bool reference);

class TCheckPriceForm : public TPickerForm {
    Q_OBJECT
public:
    TCheckPriceForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    // The lines of the system's limit and, below them when there are any, those of the
    // reference price (either may be null or empty). `allowed`: the user may save anyway.
    void SetLines(int mode, TClientDataSet* limitLines, TClientDataSet* referenceLines, bool allowed);

    QLabel *laLimit, *laReference, *laNoRight;
    TDBGrid *dgLimit, *dgReference;
    QPushButton *btnIgnore, *btnCancel;

private:
    TDataSource *FLimitSource, *FReferenceSource;
    TKQDBGridMaster FLimitGrid, FReferenceGrid;
};

// The two entry points: the lines against the system's limits, the lines against the
// reference prices. A list without lines answers true without showing anything.
bool CheckPriceLimits(int mode, TClientDataSet* lines, bool allowed = true);
bool CheckReferencePrices(int mode, TClientDataSet* lines, bool allowed = true);
// The server's 1401 reply: its "ds1" (limits) and "ds2" (reference) lists in one dialog.
bool ShowPriceCheck(int cvFlag, bool allowed, const TPacketParams& answer);

// ---- stock warning
// Which rows of the server's list a reply shows: 1502 only batch lines going below zero.
bool StockRowShown(int errNo, const QString& batchCode, double newOnHand);

class TBillCheckOnHandForm : public TPickerForm {
    Q_OBJECT
public:
    TBillCheckOnHandForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    // The server's rows for reply errNo (1501 goods, 1502 batches, 1503 stock limits); with
    // `bookStock` (WARNWHILEZEROONHAND) the book stock column is shown.
    void SetRows(int errNo, const QString& intro, TClientDataSet* rows, bool bookStock);
    // Writes the list shown to a workbook.
    void ExportList(const QString& file);

    QLabel *laShort, *laLimits;
    TDBGrid *dgShort, *dgLimits;
    QPushButton *btnExport, *btnIgnore, *btnCancel;
    TClientDataSet *cdsShort, *cdsLimits;

    // Asks where the export goes ("" cancels); tests answer it.
    static std::function<QString(QWidget* parent, const QString& proposed)> AskExportFile;

private:
    TDataSource *FShortSource, *FLimitsSource;
    TKQDBGridMaster FShortGrid, FLimitsGrid;
};

bool ShowStockCheck(int errNo, const QString& intro, const TPacketParams& answer, bool bookStock);

// Fills the bill window's stock and price check slots with these dialogs; Uninstall puts the
// plain questions back.
void InstallCheckDialogs();
void UninstallCheckDialogs();

// Writes the visible columns of a grid over its dataset to a workbook (the shared export).
void ExportGridRows(TDBGrid* grid, TClientDataSet* ds, const QString& file, const QString& title);
