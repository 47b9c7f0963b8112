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

private:
    void ShowField();
    TFieldDataLink FLink;
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

private:
    void ShowField();
    void Chosen(int index);
    TFieldDataLink FLink;
    QPointer<TClientDataSet> FList;
    QString FKeyField, FListField;
    bool FFilling = false;
};

class TDBGridFooter;

// Grid over a data source with an optional footer row of column totals.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    void SetDataSource(TDataSource* src);
    TDataSource* DataSource() const { return FSource; }
    TDataSetModel* Model() const { return FModel; }

    // Footer: the named columns show the Sum of their field; the first column without a
    // total shows FooterCaption.
    void SetColumnTotal(const QString& fieldName, bool on = true);
    void SetShowFooter(bool on);
    bool ShowFooter() const { return FShowFooter; }
    QString FooterCaption = QStringLiteral("合计");
    QString FooterText(int column) const;
    void RecalcTotals();

protected:
    void updateGeometries() override;

private:
    void SyncFromDataSet(int row);
    void SyncToDataSet(const QModelIndex& current, const QModelIndex& previous);

    QPointer<TDataSource> FSource;
    TDataSetModel* FModel;
    TDBGridFooter* FFooter;
    QStringList FTotalFields; // lower-case names
    QHash<QString, QString> FTotals; // lower-case field name -> formatted sum
    bool FShowFooter = false;
    bool FSyncing = false;
    friend class TDBGridFooter;
};
