#pragma once
// Table model over a client dataset, as a data grid sees it: one row per visible record,
// one column per visible field. Edits go through the fields (conversion, OnValidate,
// OnChange all run) and a row is posted when the grid moves to another row, or at once
// when AutoPost is set.
#include "platform/DataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

class TDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDataSetModel(TClientDataSet* ds = nullptr, QObject* parent = nullptr);

    void SetDataSet(TClientDataSet* ds);
    TClientDataSet* DataSet() const { return FDataSet; }

    // Column <-> field mapping (columns are the fields with Visible set, in field order).
    TField* FieldOfColumn(int column) const;
    int ColumnOfField(const QString& fieldName) const; // -1 when not shown
    // Re-reads the field list (after Visible or DisplayLabel changes).
    void RefreshColumns();

    bool AutoPost = false; // post after every cell edit instead of on row change
    bool ReadOnly = false;
    QString LastError() const { return FLastError; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The dataset cursor moved (0-based visible row, -1 when empty).
    void currentRowChanged(int row);
    // An edit was refused (conversion, validation, required field); the text is user-facing.
    void editFailed(const QString& message);

private:
    QString CellText(int row, TField* f) const;
    void OnReset();
    void OnRowChanged(int row);
    void OnRowInserted(int row);
    void OnRowRemoved(int row);

    QPointer<TClientDataSet> FDataSet;
    QVector<int> FColumns; // field index per column
    int FRows = 0;         // row count the views know about
    QString FLastError;
};
