#pragma once
// Data-aware controls: Qt widgets bound to a field of a client dataset through a data
// source. A control shows the current record's value, follows the cursor and writes the
// user's input back through the field (so conversion, OnValidate and OnChange run); a
// refused value is reported through DBErrorHandler and the control shows the field again.
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <vector>

// Where controls report a refused edit; the default shows a warning box with caption "错误".
extern std::function<void(QWidget* control, const QString& message)> DBErrorHandler;

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(TClientDataSet* ds = nullptr, QObject* parent = nullptr);
    TClientDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TClientDataSet* ds);

signals:
    void dataSetChanged();          // another dataset was bound
    void recordChanged();           // the current record may show other values
    void dataReset();               // rows or structure changed wholesale
    void rowChanged(int visibleRow);

private:
    QPointer<TClientDataSet> FDataSet;
};

// Shared binding of one control to one field.
class TFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TFieldDataLink(QWidget* control);
    void SetDataSource(TDataSource* src);
    TDataSource* DataSource() const { return FSource; }
    void SetDataField(const QString& name);
    const QString& DataField() const { return FFieldName; }
    TField* Field() const; // nullptr while unbound, closed or the field is missing
    bool CanModify() const;
    // Writes v through the field; false (and the error reported) when refused.
    bool Write(const QVariant& v);
    bool Updating() const { return FUpdating; }

    std::function<void()> OnRefresh; // set by the control: show Field() now

    void Refresh();

private:
    QWidget* FControl;
    QPointer<TDataSource> FSource;
    QString FFieldName;
    bool FUpdating = false;
};

class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src) { FLink.SetDataSource(src); }
    void SetDataField(const QString& name) { FLink.SetDataField(name); }
    TField* Field() const { return FLink.Field(); }
    bool UpdateRecord(); // writes the text when the user changed it
    // Shows the field and never edits it, whatever the field allows (totals, the operator).
    void SetShowOnly(bool on);
    bool ShowOnly() const { return FShowOnly; }
    // Shows the field again (after its display format changed).
    void ShowField();

private:
    TFieldDataLink FLink;
    bool FShowOnly = false;
};

class TDBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src) { FLink.SetDataSource(src); }
    void SetDataField(const QString& name) { FLink.SetDataField(name); }
    TField* Field() const { return FLink.Field(); }
    // Values written to non-boolean fields (flag columns hold "T"/"F").
    QString ValueChecked = QStringLiteral("T");
    QString ValueUnchecked = QStringLiteral("F");

private:
    void ShowField();
    void Toggled(bool on);
    TFieldDataLink FLink;
};

class TDBDateEdit : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit TDBDateEdit(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src) { FLink.SetDataSource(src); }
    void SetDataField(const QString& name) { FLink.SetDataField(name); }
    TField* Field() const { return FLink.Field(); }
    // A new date keeps the time of day the field already had (bill dates carry a time).
    bool UpdateRecord();

private:
    void ShowField();
    TFieldDataLink FLink;
};

class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src) { FLink.SetDataSource(src); }
    void SetDataField(const QString& name) { FLink.SetDataField(name); }
    TField* Field() const { return FLink.Field(); }
    bool UpdateRecord();

protected:
    void focusOutEvent(QFocusEvent* e) override;

private:
    void ShowField();
    TFieldDataLink FLink;
    bool FDirty = false;
};

// Combo whose items come from a lookup dataset (KeyField = value written, ListField = text).
class TDBLookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TDBLookupCombo(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src) { FLink.SetDataSource(src); }
    void SetDataField(const QString& name) { FLink.SetDataField(name); }
    TField* Field() const { return FLink.Field(); }
    void SetListSource(TClientDataSet* list, const QString& keyField, const QString& listField);
    void SetListSource(TDataSource* list, const QString& keyField, const QString& listField);
    QVariant KeyValue() const; // key of the shown item, null when none
    void ReloadList();
    // Only the list rows this filter lets through are offered (the list itself, shared with
    // other controls, keeps its own filter). "" offers every row.
    void SetListFilter(const QString& filter);
    QString ListFilter() const { return FListFilter; }

private:
    void ShowField();
    void Chosen(int index);
    TFieldDataLink FLink;
    QPointer<TClientDataSet> FList;
    QString FKeyField, FListField, FListFilter;
    bool FFilling = false;
};

// One column of a grid laid out by a template: the field, its title and its width.
struct TGridColumnLayout {
    QString Field;
    QString Title;
    int Width = 80;
};

class TDBGridFooter;
class TDBGridDelegate;

// ---- grid columns
// Footer calculation of a column.
enum class TFooterKind : quint8 { None = 0, Sum = 1, Average = 2, Count = 3, Max = 4, Min = 5 };

// How a column shows and edits its values, and the button its current cell carries:
//   0 Text      plain edit                                   no button
//   1 CheckBox  a check mark toggled by click or space;      no button
//               text fields hold "T"/"F"
//   2 PickList  edit with a list of choices                  drop-down
//   3 Lookup    the key shown as the text of a list row      drop-down
//   4 Date      date with a calendar                         drop-down
//   5 Ellipsis  edit whose "…" fires EditButtonClicked       ellipsis
//   6 Spin      number stepped with arrows                   up-down
//   7 Money     amount drawn in 11 digit cells               no button
//   8 ReadOnly  shown, never edited                          no button
//   9 Password  shown as dots                                no button
//  10 Memo      several lines of text                        ellipsis
enum class TColumnStyle : quint8 {
    Text = 0, CheckBox = 1, PickList = 2, Lookup = 3, Date = 4, Ellipsis = 5,
    Spin = 6, Money = 7, ReadOnly = 8, Password = 9, Memo = 10
};
enum class TColumnButton : quint8 { None, DropDown, Ellipsis, UpDown };
TColumnButton ColumnButtonOf(TColumnStyle style);
// A style number as stored in settings; out of range gives Text.
TColumnStyle ColumnStyleFromNumber(int n);

// The characters of an amount in money cells: `cells` of them, the last two for jiao and
// fen, blank before the first digit, "-" before a negative amount. "" when it does not fit.
QString MoneyCellText(double amount, int cells = 11);

// Grid lines (the bills' grids use 0x0B).
enum TGridLineOption : quint8 {
    glRowLines = 0x01,    // a line under every row
    glColumnLines = 0x02, // a line right of every column
    glFooterLines = 0x04, // lines between the cells of the footer row
    glRaisedFixed = 0x08, // footer cells drawn raised like buttons
};
// Moving around the grid (the bills' grids use 0x0F).
enum TGridNavOption : quint8 {
    gnFocusCell = 0x01,       // the current cell is framed
    gnRowHighlight = 0x02,    // the whole current row is highlighted, not only the cell
    gnEnterMovesRight = 0x04, // Enter goes to the next cell, then the next row
    gnTabMoves = 0x08,        // Tab goes from cell to cell instead of leaving the grid
};

// Grid over a data source with an optional footer row. The footer's figures are kept per
// row as they change, so an edit costs the same on a long bill as on a short one.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;
    void SetDataSource(TDataSource* src);
    TDataSource* DataSource() const { return FSource; }
    TDataSetModel* Model() const { return FModel; }

    // ---- footer: a calculation per field; the first shown column shows FooterCaption.
    void SetColumnFooter(const QString& fieldName, TFooterKind kind);
    TFooterKind ColumnFooter(const QString& fieldName) const;
    void SetColumnTotal(const QString& fieldName, bool on = true) { SetColumnFooter(fieldName, on ? TFooterKind::Sum : TFooterKind::None); }
    void SetShowFooter(bool on);
    bool ShowFooter() const { return FShowFooter; }
    // Height of the footer row below the lines; 0 without it.
    int FooterHeight() const;
    // The bills' footer reads "合 计" in 宋体 11, black, centred in the first column.
    QString FooterCaption = QStringLiteral("合 计");
    QFont FooterCaptionFont;
    QColor FooterCaptionColor = Qt::black;
    // The figure of a field's calculation (a count is an integer); null without one or
    // when there is nothing to average, find the largest or smallest of.
    QVariant FooterValue(const QString& fieldName) const;
    QString FooterText(int column) const;
    // Reads every row again (the footer otherwise follows the dataset's row signals).
    void RecalcTotals();

    // ---- display styles
    void SetColumnStyle(const QString& fieldName, TColumnStyle style);
    TColumnStyle ColumnStyle(const QString& fieldName) const;
    TColumnButton ColumnButton(const QString& fieldName) const { return ColumnButtonOf(ColumnStyle(fieldName)); }
    void SetColumnPickList(const QString& fieldName, const QStringList& items);
    QStringList ColumnPickList(const QString& fieldName) const;
    void SetColumnLookup(const QString& fieldName, TClientDataSet* list, const QString& keyField, const QString& listField);
    // The text a lookup column shows for a key; the key itself when the list lacks it.
    QString LookupText(const QString& fieldName, const QVariant& key) const;
    // Refused by the grid only: the form's code may still write the field.
    void SetColumnReadOnly(const QString& fieldName, bool on);
    bool ColumnReadOnly(const QString& fieldName) const;
    bool ColumnEditable(int column) const;
    // The form's rule for a cell of the current row (a price on a gift line, a batch of goods
    // without batches); true refuses the edit.
    std::function<bool(const QString& fieldName)> CellReadOnly;

    // ---- layout: exactly these columns, in this order, with these titles and widths; the
    // dataset's other fields stay hidden. Kept when the dataset is read again.
    void SetColumnLayout(const QVector<TGridColumnLayout>& columns);
    const QVector<TGridColumnLayout>& ColumnLayout() const { return FLayout; }
    // Display format of a column's numbers ("0.00"), kept when the dataset is read again.
    void SetColumnDisplayFormat(const QString& fieldName, const QString& format);

    // ---- keyboard entry
    // Text typed into this column goes to the handler instead of the field (a goods code or
    // bar code that the form turns into a goods line). The handler returns false to refuse
    // the text: the editor then stays open with it.
    using TColumnEntry = std::function<bool(const QString& text)>;
    void SetColumnEntry(const QString& fieldName, TColumnEntry handler);
    // A lookup column offers only the list rows whose listField equals value() at the time the
    // editor opens (the units of the line's goods).
    void SetColumnLookupFilter(const QString& fieldName, const QString& listField, std::function<QVariant()> value);
    // The first column, in shown order, that the user may edit; -1 when none.
    int FirstEditableColumn() const;
    // Moves to the next cell the user may edit, left to right, then on the next row. False
    // (and the cell unchanged) when the current cell is the last editable one of the last row.
    bool MoveToNextEditableCell();
    // Where the next Enter goes instead of the next editable cell, and whether that cell's
    // editor opens there (a goods code entered moves to the quantity).
    void SetNextCell(const QString& fieldName, bool openEditor = true);
    // Makes the cell of fieldName on the current row current; with openEditor its editor opens.
    bool GotoField(const QString& fieldName, bool openEditor = false);
    // The open cell editor's text written to its field and the editor closed, before the
    // form moves or adds lines (a later write would put the cursor back on the edited line).
    // False, with the editor left open, when the field refuses the text.
    bool PostEditor();
    // The open cell editor closed without writing.
    void CancelEditor();
    // Edits the grid refused (conversion, validation, entry handler) since it was made.
    int RefusedEdits() const { return FRefusedEdits; }

    void SetLineOptions(quint8 options);
    quint8 LineOptions() const { return FLineOptions; }
    void SetNavOptions(quint8 options);
    quint8 NavOptions() const { return FNavOptions; }

signals:
    // The "…" of an Ellipsis or Memo column was pressed on the current row.
    void EditButtonClicked(const QString& fieldName);
    // Enter on the last editable cell of the last row (the form starts a new line).
    void LastCellPassed();
    // A click below the last row.
    void AppendRequested();

protected:
    void updateGeometries() override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    struct TColumnSettings {
        TColumnStyle Style = TColumnStyle::Text;
        TFooterKind Footer = TFooterKind::None;
        bool ReadOnly = false;
        QStringList PickList;
        QPointer<TClientDataSet> LookupList;
        QString LookupKey, LookupField;
        QString LookupFilterField;
        std::function<QVariant()> LookupFilterValue;
        QString DisplayFormat;
        TColumnEntry Entry;
    };
    // The footer's figures of one field: its value in each visible row, kept as the rows
    // change; the figure itself is made from these when asked for.
    struct TFooterCalc {
        QString Field; // lower case
        int FieldIndex = -1;
        std::vector<double> Values;
        std::vector<unsigned char> Present; // 0 for a null value
        mutable bool Dirty = true;
        mutable QVariant Result;
    };
    const TColumnSettings* Settings(const QString& fieldName) const;
    TColumnSettings& SettingsRef(const QString& fieldName);
    void BindFooterData();
    void ReadFooterRow(TFooterCalc& c, int row, bool insert);
    void FooterRowChanged(int row);
    void FooterRowInserted(int row);
    void FooterRowRemoved(int row);
    void RebuildFooterCalc(TFooterCalc& c);
    QVariant Compute(const TFooterCalc& c, TFooterKind kind) const;
    void FooterChanged();
    void SyncFromDataSet(int row);
    void SyncToDataSet(const QModelIndex& current, const QModelIndex& previous);
    void ApplyColumnLayout();
    // Enter in a cell editor: the edit is kept (and the cursor moves on) or refused (and the
    // editor stays, with the focus).
    bool EnterInEditor(QWidget* editor);
    bool MoveToPendingCell();
    QWidget* OpenEditor() const;

    QPointer<TDataSource> FSource;
    QPointer<TClientDataSet> FFooterData; // the dataset the footer's figures come from
    TDataSetModel* FModel;
    TDBGridFooter* FFooter;
    TDBGridDelegate* FDelegate;
    QHash<QString, TColumnSettings> FColumns; // lower-case field name
    std::vector<TFooterCalc> FCalcs;
    quint8 FLineOptions = glRowLines | glColumnLines;
    quint8 FNavOptions = gnFocusCell | gnRowHighlight | gnTabMoves;
    bool FShowFooter = false;
    bool FSyncing = false;
    QVector<TGridColumnLayout> FLayout;
    QString FNextField;
    bool FNextOpensEditor = false;
    int FRefusedEdits = 0;
    friend class TDBGridFooter;
    friend class TDBGridDelegate;
};
