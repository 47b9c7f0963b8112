#pragma once
// Column settings of a data grid and the uniform look of the bills' grids.
//
// Our grid shows the visible fields of its dataset; a column's title, visibility and
// read-only state therefore live on the field, while order and width live on the grid's
// header. Applying settings also keeps order and widths across reloads of the dataset
// (a reload resets the header), and what the user drags or resizes afterwards is kept
// and can be read back and stored.
#include <QColor>
#include <QString>
#include <Qt>

#include <memory>
#include <vector>

class TDBGrid;
class TDataSource;

// Footer calculation of a column, as the grid's TFooterKind numbers them.
enum TFooterType : quint8 { ftNone = 0, ftSum = 1, ftAverage = 2, ftCount = 3, ftMax = 4, ftMin = 5 };

struct TDBGridColumnInfo {
    QString Title;
    QString FieldName;
    int Width = 64;
    quint8 FooterType = ftNone;   // 0..5
    bool ReadOnly = false;
    bool Visible = true;
    quint8 DisplayStyle = 0;      // 0..10, the grid's TColumnStyle, each with its button style
    Qt::Alignment TitleAlignment = Qt::AlignCenter;
    bool ShowFooterValue = true;
    QString DisplayFormat;        // numeric fields only, e.g. "0.00"
};

class TKQDBGridMaster {
public:
    TKQDBGridMaster(TDBGrid* grid = nullptr, TDataSource* source = nullptr) : Grid(grid), DataSource(source) {}
    TDBGrid* Grid = nullptr;
    TDataSource* DataSource = nullptr;
    bool Flag = false;
    bool MultiTitle = false;   // "a|b" titles are shown on two lines
    bool ShowFooter = false;
    QString Text;              // the key the settings are stored under
    // The look. Colours are 0xBBGGRR, or 0x800000nn for the platform's system colour nn
    // (0x0F: the face of buttons).
    unsigned FixedColor = 0x8000000F;
    unsigned FooterColor = 0xE7E3E7;
    unsigned AlternateRowColor = 0xE7EFE7;
    quint8 LineOptions = 0x0B; // TGridLineOption: row and column lines, raised footer cells
    quint8 NavOptions = 0x0F;  // TGridNavOption: framed cell, row highlight, Enter and Tab move
    std::vector<std::unique_ptr<TDBGridColumnInfo>> Columns; // owned, in display order

    TDBGridColumnInfo* FindColumn(const QString& fieldName) const;
};

class TSetDBGrid {
public:
    // Detach the data source, apply the look, rebuild the columns from the list, apply the
    // display formats, reattach.
    static void ApplyGrid(TKQDBGridMaster& master);
    // Shows one more column (after ApplyGrid, or in place of it for a single column).
    static void AddColumn(TKQDBGridMaster& master, const TDBGridColumnInfo& info);
    static TDBGridColumnInfo* AddColumnInfo(TKQDBGridMaster& master, const QString& fieldName, const QString& title,
                                           int width = 64, bool visible = true, bool readOnly = false,
                                           quint8 footerType = ftNone, const QString& displayFormat = QString(),
                                           quint8 displayStyle = 0);
    static void ApplyDisplayFormats(TKQDBGridMaster& master);

    // Reads order, widths and visibility as the grid shows them now back into the list.
    static void ReadGrid(TKQDBGridMaster& master);
    // Stores and restores the list in an INI file under section master.Text. Load keeps
    // the list as it is when nothing was stored and answers false; stored columns whose
    // field is not in the list any more are dropped, new columns of the list are kept at
    // the end.
    static void SaveSettings(const TKQDBGridMaster& master, const QString& iniFile = QString());
    static bool LoadSettings(TKQDBGridMaster& master, const QString& iniFile = QString());
    // "DBGridSet.ini" beside the executable.
    static QString DefaultSettingsFile();

    // A colour of the settings as the screen shows it.
    static QColor ResolveColor(unsigned color);
};
