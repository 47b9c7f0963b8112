#include "services/GridSettings.h"

#include "platform/DBControls.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QPointer>
#include <QSet>
#include <QSettings>
#include <QStyledItemDelegate>

namespace {

QColor FromBGR(unsigned c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

bool IsNumeric(const TField* f)
{
    return f->DataType() == TFieldType::ftInteger || f->DataType() == TFieldType::ftFloat
           || f->DataType() == TFieldType::ftCurrency;
}

// Read-only columns of one grid: the field itself stays writable for the form's code, only
// the grid refuses to edit it.
class TGridColumnDelegate : public QStyledItemDelegate {
public:
    TGridColumnDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) { setObjectName(QStringLiteral("GridColumnDelegate")); }
    QSet<QString> ReadOnlyFields; // lower case

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (IsReadOnly(index)) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (IsReadOnly(index)) return false;
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    bool IsReadOnly(const QModelIndex& index) const
    {
        TField* f = FGrid->Model()->FieldOfColumn(index.column());
        return f && ReadOnlyFields.contains(f->FieldName().toLower());
    }

private:
    TDBGrid* FGrid;
};

// Keeps the column order and widths of a grid across model resets (every reload of the
// dataset rebuilds the header) and follows what the user drags and resizes.
class TGridLayoutKeeper : public QObject {
public:
    struct Col {
        QString Field;
        int Width;
        bool Visible;
    };

    explicit TGridLayoutKeeper(TDBGrid* grid) : QObject(grid), FGrid(grid)
    {
        setObjectName(QStringLiteral("GridLayoutKeeper"));
        // Connected after the header's own reset handling, so this runs on the fresh header.
        connect(grid->Model(), &QAbstractItemModel::modelReset, this, &TGridLayoutKeeper::Restore);
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
            if (FApplying || size == 0) return;
            if (TField* f = FGrid->Model()->FieldOfColumn(logical))
                for (Col& c : Cols)
                    if (c.Field.compare(f->FieldName(), Qt::CaseInsensitive) == 0) c.Width = size;
        });
        connect(grid->horizontalHeader(), &QHeaderView::sectionMoved, this, [this] {
            if (!FApplying) Capture();
        });
    }

    static TGridLayoutKeeper* Of(TDBGrid* grid)
    {
        return dynamic_cast<TGridLayoutKeeper*>(
            grid->findChild<QObject*>(QStringLiteral("GridLayoutKeeper"), Qt::FindDirectChildrenOnly));
    }

    std::vector<Col> Cols;

    void Restore()
    {
        QHeaderView* h = FGrid->horizontalHeader();
        TDataSetModel* m = FGrid->Model();
        FApplying = true;
        h->setSectionsMovable(true);
        QSet<int> listed;
        int target = 0;
        for (const Col& c : Cols) {
            const int logical = m->ColumnOfField(c.Field);
            if (logical < 0 || listed.contains(logical)) continue;
            listed.insert(logical);
            const int from = h->visualIndex(logical);
            if (from != target) h->moveSection(from, target);
            ++target;
            h->setSectionHidden(logical, !c.Visible);
            if (c.Visible && c.Width > 0) h->resizeSection(logical, c.Width);
        }
        // Fields outside the list are not columns of this grid.
        for (int logical = 0; logical < m->columnCount(); ++logical)
            if (!listed.contains(logical)) h->setSectionHidden(logical, true);
        FApplying = false;
    }

    void Capture()
    {
        QHeaderView* h = FGrid->horizontalHeader();
        TDataSetModel* m = FGrid->Model();
        std::vector<Col> out;
        QSet<QString> seen;
        for (int v = 0; v < h->count(); ++v) {
            const int logical = h->logicalIndex(v);
            TField* f = m->FieldOfColumn(logical);
            if (!f) continue;
            for (const Col& c : Cols) {
                if (c.Field.compare(f->FieldName(), Qt::CaseInsensitive) != 0) continue;
                const bool hidden = h->isSectionHidden(logical);
                out.push_back(Col{c.Field, hidden ? c.Width : h->sectionSize(logical), !hidden});
                seen.insert(c.Field.toLower());
                break;
            }
        }
        for (const Col& c : Cols) // columns whose field the dataset lacks keep their place at the end
            if (!seen.contains(c.Field.toLower())) out.push_back(c);
        Cols = std::move(out);
    }

private:
    TDBGrid* FGrid;
    bool FApplying = false;
};

TGridLayoutKeeper* KeeperOf(TDBGrid* grid)
{
    TGridLayoutKeeper* k = TGridLayoutKeeper::Of(grid);
    return k ? k : new TGridLayoutKeeper(grid);
}

TGridColumnDelegate* DelegateOf(TDBGrid* grid)
{
    auto* d = dynamic_cast<TGridColumnDelegate*>(
        grid->findChild<QObject*>(QStringLiteral("GridColumnDelegate"), Qt::FindDirectChildrenOnly));
    if (!d) {
        d = new TGridColumnDelegate(grid);
        grid->setItemDelegate(d);
    }
    return d;
}

QString SectionName(const QString& text)
{
    QString s = text.isEmpty() ? QStringLiteral("Default") : text;
    s.replace(u'/', u'_').replace(u'\\', u'_');
    return s;
}

// Field-side settings of one listed column: shown, caption, footer total, read-only.
void ApplyColumnToField(TKQDBGridMaster& master, const TDBGridColumnInfo& info, TClientDataSet* ds)
{
    TField* f = ds ? ds->FindField(info.FieldName) : nullptr;
    if (!f) return;
    if (info.Visible) f->Visible = true;
    QString title = info.Title.isEmpty() ? f->FieldName() : info.Title;
    if (master.MultiTitle) title.replace(u'|', u'\n');
    f->DisplayLabel = title;
    master.Grid->SetColumnTotal(f->FieldName(), info.FooterType == ftSum && info.ShowFooterValue);
    TGridColumnDelegate* d = DelegateOf(master.Grid);
    if (info.ReadOnly) d->ReadOnlyFields.insert(f->FieldName().toLower());
    else d->ReadOnlyFields.remove(f->FieldName().toLower());
}

TClientDataSet* DataSetOf(const TKQDBGridMaster& master)
{
    if (master.DataSource) return master.DataSource->DataSet();
    if (master.Grid && master.Grid->DataSource()) return master.Grid->DataSource()->DataSet();
    return nullptr;
}

} // namespace

TDBGridColumnInfo* TKQDBGridMaster::FindColumn(const QString& fieldName) const
{
    for (const auto& c : Columns)
        if (c->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0) return c.get();
    return nullptr;
}

void TSetDBGrid::ApplyGrid(TKQDBGridMaster& master)
{
    TDBGrid* grid = master.Grid;
    if (!grid) return;
    TDataSource* source = master.DataSource ? master.DataSource : grid->DataSource();
    grid->SetDataSource(nullptr);

    QPalette pal = grid->palette();
    pal.setColor(QPalette::Button, QColor(0xF0, 0xF0, 0xF0)); // button face of the fixed cells
    pal.setColor(QPalette::Window, FromBGR(kFooterColor));   // the footer row paints the window colour
    pal.setColor(QPalette::AlternateBase, FromBGR(kAlternateRowColor));
    grid->setPalette(pal);
    grid->setAlternatingRowColors(true);
    grid->FooterCaption = QStringLiteral("合 计");
    grid->horizontalHeader()->setSectionsMovable(true);

    TClientDataSet* ds = source ? source->DataSet() : nullptr;
    TGridColumnDelegate* delegate = DelegateOf(grid);
    delegate->ReadOnlyFields.clear();
    if (ds)
        for (int i = 0; i < ds->FieldCount(); ++i) grid->SetColumnTotal(ds->Fields(i)->FieldName(), false);
    grid->SetShowFooter(master.ShowFooter);

    TGridLayoutKeeper* keeper = KeeperOf(grid);
    keeper->Cols.clear();
    for (const auto& info : master.Columns) {
        ApplyColumnToField(master, *info, ds);
        keeper->Cols.push_back({info->FieldName, info->Width, info->Visible});
    }
    ApplyDisplayFormats(master);

    grid->SetDataSource(source);
    if (grid->Model()->DataSet()) grid->Model()->RefreshColumns(); // captions and shown fields changed
    keeper->Restore();
}

void TSetDBGrid::AddColumn(TKQDBGridMaster& master, const TDBGridColumnInfo& info)
{
    TDBGrid* grid = master.Grid;
    if (!grid) return;
    TClientDataSet* ds = DataSetOf(master);
    ApplyColumnToField(master, info, ds);
    TGridLayoutKeeper* keeper = KeeperOf(grid);
    keeper->Cols.push_back({info.FieldName, info.Width, info.Visible});
    if (ds && !info.DisplayFormat.isEmpty() && ds->Active())
        if (TField* f = ds->FindField(info.FieldName); f && IsNumeric(f)) f->DisplayFormat = info.DisplayFormat;
    if (grid->Model()->DataSet()) grid->Model()->RefreshColumns();
    keeper->Restore();
}

TDBGridColumnInfo* TSetDBGrid::AddColumnInfo(TKQDBGridMaster& master, const QString& fieldName, const QString& title,
                                             int width, bool visible, bool readOnly, quint8 footerType,
                                             const QString& displayFormat, quint8 displayStyle)
{
    auto info = std::make_unique<TDBGridColumnInfo>();
    info->FieldName = fieldName;
    info->Title = title;
    info->Width = width;
    info->Visible = visible;
    info->ReadOnly = readOnly;
    info->FooterType = footerType > quint8(ftMin) ? quint8(ftNone) : footerType;
    info->DisplayFormat = displayFormat;
    info->DisplayStyle = displayStyle > 10 ? 0 : displayStyle;
    master.Columns.push_back(std::move(info));
    return master.Columns.back().get();
}

void TSetDBGrid::ApplyDisplayFormats(TKQDBGridMaster& master)
{
    TClientDataSet* ds = DataSetOf(master);
    if (!ds || !ds->Active()) return;
    for (const auto& info : master.Columns) {
        if (info->DisplayFormat.isEmpty()) continue;
        TField* f = ds->FindField(info->FieldName);
        if (f && IsNumeric(f)) f->DisplayFormat = info->DisplayFormat;
    }
}

void TSetDBGrid::ReadGrid(TKQDBGridMaster& master)
{
    if (!master.Grid) return;
    TGridLayoutKeeper* keeper = TGridLayoutKeeper::Of(master.Grid);
    if (!keeper) return;
    keeper->Capture();
    std::vector<std::unique_ptr<TDBGridColumnInfo>> ordered;
    for (const auto& c : keeper->Cols) {
        for (auto& info : master.Columns) {
            if (info && info->FieldName.compare(c.Field, Qt::CaseInsensitive) == 0) {
                info->Width = c.Width;
                info->Visible = c.Visible;
                ordered.push_back(std::move(info));
                break;
            }
        }
    }
    for (auto& info : master.Columns)
        if (info) ordered.push_back(std::move(info));
    master.Columns = std::move(ordered);
}

QString TSetDBGrid::DefaultSettingsFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("DBGridSet.ini"));
}

void TSetDBGrid::SaveSettings(const TKQDBGridMaster& master, const QString& iniFile)
{
    QSettings ini(iniFile.isEmpty() ? DefaultSettingsFile() : iniFile, QSettings::IniFormat);
    ini.remove(SectionName(master.Text));
    ini.beginGroup(SectionName(master.Text));
    ini.setValue(QStringLiteral("Count"), int(master.Columns.size()));
    int i = 0;
    for (const auto& c : master.Columns) {
        const QString p = QStringLiteral("Col%1_").arg(i++);
        ini.setValue(p + QStringLiteral("Field"), c->FieldName);
        ini.setValue(p + QStringLiteral("Width"), c->Width);
        ini.setValue(p + QStringLiteral("Visible"), c->Visible);
    }
    ini.endGroup();
    ini.sync();
}

bool TSetDBGrid::LoadSettings(TKQDBGridMaster& master, const QString& iniFile)
{
    QSettings ini(iniFile.isEmpty() ? DefaultSettingsFile() : iniFile, QSettings::IniFormat);
    ini.beginGroup(SectionName(master.Text));
    const int count = ini.value(QStringLiteral("Count"), -1).toInt();
    if (count < 0) return false;
    std::vector<std::unique_ptr<TDBGridColumnInfo>> ordered;
    for (int i = 0; i < count; ++i) {
        const QString p = QStringLiteral("Col%1_").arg(i);
        const QString field = ini.value(p + QStringLiteral("Field")).toString();
        for (auto& info : master.Columns) {
            if (!info || info->FieldName.compare(field, Qt::CaseInsensitive) != 0) continue;
            bool ok = false;
            const int w = ini.value(p + QStringLiteral("Width")).toInt(&ok);
            if (ok && w > 0) info->Width = w;
            info->Visible = ini.value(p + QStringLiteral("Visible"), info->Visible).toBool();
            ordered.push_back(std::move(info));
            break;
        }
    }
    for (auto& info : master.Columns)
        if (info) ordered.push_back(std::move(info));
    master.Columns = std::move(ordered);
    return true;
}
