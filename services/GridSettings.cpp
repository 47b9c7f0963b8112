#include "services/GridSettings.h"

#include "platform/DBControls.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QPointer>
#include <QSet>
#include <QSettings>

namespace {

bool IsNumeric(const TField* f)
{
    return f->DataType() == TFieldType::ftInteger || f->DataType() == TFieldType::ftFloat
           || f->DataType() == TFieldType::ftCurrency;
}

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

QString SectionName(const QString& text)
{
    QString s = text.isEmpty() ? QStringLiteral("Default") : text;
    s.replace(u'/', u'_').replace(u'\\', u'_');
    return s;
}

// Settings of one listed column: shown, caption, footer calculation, display style and
// read-only on the field and the grid.
void ApplyColumnToField(TKQDBGridMaster& master, const TDBGridColumnInfo& info, TClientDataSet* ds)
{
    TField* f = ds ? ds->FindField(info.FieldName) : nullptr;
    TDBGrid* grid = master.Grid;
    grid->SetColumnFooter(info.FieldName, info.ShowFooterValue ? TFooterKind(info.FooterType) : TFooterKind::None);
    grid->SetColumnStyle(info.FieldName, ColumnStyleFromNumber(info.DisplayStyle));
    grid->SetColumnReadOnly(info.FieldName, info.ReadOnly);
    if (!f) return;
    if (info.Visible) f->Visible = true;
    QString title = info.Title.isEmpty() ? f->FieldName() : info.Title;
    if (master.MultiTitle) title.replace(u'|', u'\n');
    f->DisplayLabel = title;
}

TClientDataSet* DataSetOf(const TKQDBGridMaster& master)
{
    if (master.DataSource) return master.DataSource->DataSet();
    if (master.Grid && master.Grid->DataSource()) return master.Grid->DataSource()->DataSet();
    return nullptr;
}

} // namespace

QColor TSetDBGrid::ResolveColor(unsigned color)
{
    if ((color & 0xFF000000u) == 0x80000000u) {
        // The platform's system colours by their index, as the settings name them.
        const QPalette pal = QApplication::palette();
        switch (color & 0xFF) {
        case 0x01: return pal.color(QPalette::Window);          // desktop
        case 0x04: return pal.color(QPalette::Window);          // menu
        case 0x05: return pal.color(QPalette::Base);            // window background
        case 0x06: return pal.color(QPalette::Shadow);          // window frame
        case 0x07: return pal.color(QPalette::WindowText);      // menu text
        case 0x08: return pal.color(QPalette::Text);            // window text
        case 0x0D: return pal.color(QPalette::Highlight);
        case 0x0E: return pal.color(QPalette::HighlightedText);
        case 0x0F: return pal.color(QPalette::Button);          // button face
        case 0x10: return pal.color(QPalette::Dark);            // button shadow
        case 0x11: return pal.color(QPalette::Disabled, QPalette::Text); // grey text
        case 0x12: return pal.color(QPalette::ButtonText);
        case 0x14: return pal.color(QPalette::Light);           // button highlight
        case 0x15: return pal.color(QPalette::Shadow);          // 3D dark shadow
        case 0x16: return pal.color(QPalette::Midlight);        // 3D light
        case 0x17: return pal.color(QPalette::ToolTipText);
        case 0x18: return pal.color(QPalette::ToolTipBase);
        default: return pal.color(QPalette::Button);
        }
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

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
    pal.setColor(QPalette::Button, ResolveColor(master.FixedColor)); // the fixed cells: titles and row numbers
    pal.setColor(QPalette::Window, ResolveColor(master.FooterColor)); // the footer row paints the window colour
    pal.setColor(QPalette::AlternateBase, ResolveColor(master.AlternateRowColor));
    grid->setPalette(pal);
    grid->horizontalHeader()->setPalette(pal);
    grid->verticalHeader()->setPalette(pal);
    grid->setAlternatingRowColors(true);
    grid->SetLineOptions(master.LineOptions);
    grid->SetNavOptions(master.NavOptions);
    grid->FooterCaption = QStringLiteral("合 计");
    QFont caption(QStringLiteral("宋体"));
    caption.setPointSize(11);
    grid->FooterCaptionFont = caption;
    grid->FooterCaptionColor = Qt::black;
    grid->horizontalHeader()->setSectionsMovable(true);

    TClientDataSet* ds = source ? source->DataSet() : nullptr;
    if (ds)
        for (int i = 0; i < ds->FieldCount(); ++i) {
            const QString name = ds->Fields(i)->FieldName();
            grid->SetColumnFooter(name, TFooterKind::None);
            grid->SetColumnStyle(name, TColumnStyle::Text);
            grid->SetColumnReadOnly(name, false);
        }
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
