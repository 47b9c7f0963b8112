#include "platform/DataSetModel.h"

TDataSetModel::TDataSetModel(TClientDataSet* ds, QObject* parent) : QAbstractTableModel(parent)
{
    SetDataSet(ds);
}

void TDataSetModel::SetDataSet(TClientDataSet* ds)
{
    if (FDataSet == ds) return;
    beginResetModel();
    if (FDataSet) disconnect(FDataSet, nullptr, this, nullptr);
    FDataSet = ds;
    if (ds) {
        connect(ds, &TClientDataSet::dataReset, this, &TDataSetModel::OnReset);
        connect(ds, &TClientDataSet::rowChanged, this, &TDataSetModel::OnRowChanged);
        connect(ds, &TClientDataSet::rowInserted, this, &TDataSetModel::OnRowInserted);
        connect(ds, &TClientDataSet::rowRemoved, this, &TDataSetModel::OnRowRemoved);
        connect(ds, &TClientDataSet::currentChanged, this, &TDataSetModel::currentRowChanged);
    }
    FColumns.clear();
    if (ds)
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible) FColumns << i;
    FRows = ds ? ds->RecordCount() : 0;
    endResetModel();
}

void TDataSetModel::RefreshColumns() { OnReset(); }

TField* TDataSetModel::FieldOfColumn(int column) const
{
    if (!FDataSet || column < 0 || column >= FColumns.size() || FColumns[column] >= FDataSet->FieldCount())
        return nullptr;
    return FDataSet->Fields(FColumns[column]);
}

int TDataSetModel::ColumnOfField(const QString& fieldName) const
{
    if (!FDataSet) return -1;
    TField* f = FDataSet->FindField(fieldName);
    return f ? int(FColumns.indexOf(f->Index())) : -1;
}

int TDataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TDataSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(FColumns.size()); }

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    TField* f = FieldOfColumn(index.column());
    if (!f || index.row() >= FRows) return QVariant();
    const QVariant v = FDataSet->RowValue(index.row(), f->Index());
    switch (role) {
    case Qt::DisplayRole:
        return f->DataType() == TFieldType::ftBoolean ? QVariant() : QVariant(FormatFieldValue(f, v));
    case Qt::EditRole:
        return v;
    case Qt::CheckStateRole:
        if (f->DataType() != TFieldType::ftBoolean) return QVariant();
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        if (f->DataType() == TFieldType::ftInteger || f->DataType() == TFieldType::ftFloat
            || f->DataType() == TFieldType::ftCurrency)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TField* f = FieldOfColumn(index.column());
    if (!f || index.row() >= FRows || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable))) return false;
    QVariant v = value;
    if (role == Qt::CheckStateRole) {
        if (f->DataType() != TFieldType::ftBoolean) return false;
        v = value.toInt() == Qt::Checked;
    } else if (role != Qt::EditRole) {
        return false;
    }
    FLastError.clear();
    try {
        // moving to another row posts the row left behind, as a grid does
        if (FDataSet->RecNo() != index.row() + 1) FDataSet->SetRecNo(index.row() + 1);
        f->SetValue(v);
        if (AutoPost) FDataSet->Post();
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& e) {
        FLastError = e.Message();
        emit editFailed(FLastError);
        return false;
    }
    return true;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    TField* f = FieldOfColumn(section);
    return f ? QVariant(f->DisplayName()) : QVariant();
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const
{
    TField* f = FieldOfColumn(index.column());
    if (!f) return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool writable = !ReadOnly && !f->ReadOnly && f->FieldKind() == TFieldKind::fkData;
    if (writable) fl |= f->DataType() == TFieldType::ftBoolean ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return fl;
}

void TDataSetModel::OnReset()
{
    beginResetModel();
    FColumns.clear();
    if (FDataSet)
        for (int i = 0; i < FDataSet->FieldCount(); ++i)
            if (FDataSet->Fields(i)->Visible) FColumns << i;
    FRows = FDataSet ? FDataSet->RecordCount() : 0;
    endResetModel();
}

void TDataSetModel::OnRowChanged(int row)
{
    if (row < 0 || row >= FRows || FColumns.isEmpty()) return;
    emit dataChanged(index(row, 0), index(row, int(FColumns.size()) - 1));
}

void TDataSetModel::OnRowInserted(int row)
{
    if (row < 0 || row > FRows) { OnReset(); return; }
    beginInsertRows(QModelIndex(), row, row);
    ++FRows;
    endInsertRows();
}

void TDataSetModel::OnRowRemoved(int row)
{
    if (row < 0 || row >= FRows) { OnReset(); return; }
    beginRemoveRows(QModelIndex(), row, row);
    --FRows;
    endRemoveRows();
}
