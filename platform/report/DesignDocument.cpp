#include "platform/report/DesignDocument.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QUndoCommand>

#include <algorithm>

namespace {
QByteArray FileHash(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}
// Steps on the same item of the same kind in a row merge into one.
QString ItemKey(const char* what, TReportBandKind k, int index)
{
    return QStringLiteral("%1:%2:%3").arg(QLatin1String(what)).arg(int(k)).arg(index);
}

} // namespace

// One editing step: the template before and after it.
class TTemplateEdit : public QUndoCommand {
public:
    TTemplateEdit(TDesignDocument* doc, TReportTemplate before, TReportTemplate after, const QString& text, QString mergeKey)
        : QUndoCommand(text), FDoc(doc), FBefore(std::move(before)), FAfter(std::move(after)), FKey(std::move(mergeKey))
    {
    }
    int id() const override { return FKey.isEmpty() ? -1 : 1; }
    // Nudging one item with the arrows of a spin box is one step, not one per click; a
    // pause ends the step.
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* o = static_cast<const TTemplateEdit*>(other);
        if (o->FKey != FKey || o->FAt - FAt > MergeWindowMs)
            return false;
        FAfter = o->FAfter;
        FAt = o->FAt;
        return true;
    }
    void redo() override
    {
        if (FFirst) { // the document made the change already
            FFirst = false;
            return;
        }
        FDoc->Restore(FAfter);
    }
    void undo() override { FDoc->Restore(FBefore); }

private:
    TDesignDocument* FDoc;
    TReportTemplate FBefore, FAfter;
    QString FKey;
    qint64 FAt = QDateTime::currentMSecsSinceEpoch();
    bool FFirst = true;
    static constexpr qint64 MergeWindowMs = 1500;
};

TDesignDocument::TDesignDocument(QObject* parent) : QObject(parent), FTemplate(TReportTemplate::Empty()) {}

void TDesignDocument::Load(const QString& fileName)
{
    FTemplate = TReportTemplate::LoadFromFile(fileName);
    FFileName = fileName;
    FUndo.clear();
    StampFile();
    emit Changed();
}

void TDesignDocument::StampFile() { FFileHash = FileHash(FFileName); }

bool TDesignDocument::FileChangedElsewhere() const
{
    if (FFileName.isEmpty() || !QFile::exists(FFileName))
        return false;
    return FileHash(FFileName) != FFileHash;
}

void TDesignDocument::Save(bool overwrite)
{
    if (FFileName.isEmpty())
        throw EReportError(QStringLiteral("模板还没有文件名"));
    if (!overwrite && FileChangedElsewhere())
        throw EFileChangedElsewhere(QStringLiteral("模板文件 %1 在打开之后已被其他程序修改，为免覆盖别人的修改，没有保存。"
                                                   "请另存为其他文件，或重新打开后再修改。")
                                        .arg(FFileName));
    FTemplate.SaveToFile(FFileName);
    StampFile();
    FUndo.setClean();
    emit Changed();
}

void TDesignDocument::SaveAs(const QString& fileName)
{
    FTemplate.SaveToFile(fileName);
    FFileName = fileName;
    StampFile();
    FUndo.setClean();
    emit Changed();
}

void TDesignDocument::SetTemplate(const TReportTemplate& t)
{
    t.Validate();
    FTemplate = t;
    FFileName.clear();
    FFileHash.clear();
    FUndo.clear();
    emit Changed();
}

void TDesignDocument::Commit(const TReportTemplate& before, const QString& text, const QString& mergeKey)
{
    if (before == FTemplate)
        return;
    FUndo.push(new TTemplateEdit(this, before, FTemplate, text, mergeKey));
    emit Changed();
}

void TDesignDocument::Restore(const TReportTemplate& t)
{
    FTemplate = t;
    emit Changed();
}

TReportBand& TDesignDocument::BandRef(TReportBandKind k)
{
    TReportBand* b = FTemplate.Band(k);
    if (!b)
        throw EReportError(QStringLiteral("模板中没有区域“%1”").arg(ReportBandCaption(k)));
    return *b;
}

TReportItem& TDesignDocument::ItemRef(TReportBandKind k, int index)
{
    TReportBand& b = BandRef(k);
    if (index < 0 || index >= b.Items.size())
        throw EReportError(QStringLiteral("区域“%1”没有第 %2 个项目").arg(ReportBandCaption(k)).arg(index + 1));
    return b.Items[index];
}

const TReportItem& TDesignDocument::Item(TReportBandKind k, int index) const
{
    return const_cast<TDesignDocument*>(this)->ItemRef(k, index);
}

int TDesignDocument::ItemCount(TReportBandKind k) const
{
    const TReportBand* b = FTemplate.Band(k);
    return b ? int(b->Items.size()) : 0;
}

// Keeps an item inside its band and the printable width: size first, then position.
void TDesignDocument::Clamp(const TReportBand& band, TReportItem& it) const
{
    const double maxW = FTemplate.Page.ContentWidth();
    const double maxH = band.Height;
    const double minW = it.Kind == TReportItemKind::Line ? 0 : MinItemSize;
    const double minH = it.Kind == TReportItemKind::Line ? 0 : MinItemSize;
    it.Width = std::clamp(it.Width, std::min(minW, maxW), maxW);
    it.Height = std::clamp(it.Height, std::min(minH, maxH), maxH);
    it.X = std::clamp(it.X, 0.0, std::max(0.0, maxW - it.Width));
    it.Y = std::clamp(it.Y, 0.0, std::max(0.0, maxH - it.Height));
}

void TDesignDocument::AddBand(TReportBandKind k, double height)
{
    const TReportTemplate before = FTemplate;
    if (HasBand(k))
        throw EReportError(QStringLiteral("区域“%1”已经存在").arg(ReportBandCaption(k)));
    TReportBand b;
    b.Kind = k;
    b.Height = std::clamp(height, 0.0, FTemplate.Page.ContentHeight());
    // Keep the bands in printing order so the file reads top to bottom.
    const QList<TReportBandKind> order = AllReportBandKinds();
    int pos = 0;
    while (pos < FTemplate.Bands.size() && order.indexOf(FTemplate.Bands.at(pos).Kind) < order.indexOf(k))
        ++pos;
    FTemplate.Bands.insert(pos, b);
    Commit(before, QStringLiteral("新增区域"));
}

void TDesignDocument::DeleteBand(TReportBandKind k)
{
    const TReportTemplate before = FTemplate;
    if (k == TReportBandKind::Detail)
        throw EReportError(QStringLiteral("明细区域不能删除"));
    BandRef(k);
    FTemplate.Bands.erase(std::remove_if(FTemplate.Bands.begin(), FTemplate.Bands.end(),
                                         [k](const TReportBand& b) { return b.Kind == k; }),
                          FTemplate.Bands.end());
    Commit(before, QStringLiteral("删除区域"));
}

void TDesignDocument::SetBandHeight(TReportBandKind k, double height)
{
    const TReportTemplate before = FTemplate;
    TReportBand& b = BandRef(k);
    const double minH = k == TReportBandKind::Detail ? MinItemSize : 0;
    b.Height = std::clamp(height, minH, FTemplate.Page.ContentHeight());
    for (TReportItem& it : b.Items)
        Clamp(b, it);
    Commit(before, QStringLiteral("区域高度"), QStringLiteral("height:%1").arg(int(k)));
}

QVector<TDesignBandArea> TDesignDocument::CanvasLayout() const
{
    QVector<TDesignBandArea> out;
    double y = 0;
    for (TReportBandKind k : AllReportBandKinds()) {
        const TReportBand* b = FTemplate.Band(k);
        if (!b)
            continue;
        TDesignBandArea a;
        a.Kind = k;
        a.CaptionTop = y;
        y += CaptionHeight;
        if (k == TReportBandKind::Detail && FTemplate.Table.Visible && !FTemplate.Columns.isEmpty())
            y += FTemplate.Table.HeaderHeight;
        a.Top = y;
        a.Height = b->Height;
        y += b->Height;
        out.append(a);
    }
    return out;
}

bool TDesignDocument::BandAt(double canvasY, TReportBandKind& kind, double& bandY) const
{
    for (const TDesignBandArea& a : CanvasLayout()) {
        if (canvasY >= a.CaptionTop && canvasY < a.Top + a.Height) {
            kind = a.Kind;
            bandY = std::max(0.0, canvasY - a.Top);
            return true;
        }
    }
    return false;
}

int TDesignDocument::AddItem(TReportBandKind k, const TReportItem& item)
{
    const TReportTemplate before = FTemplate;
    TReportBand& b = BandRef(k);
    TReportItem it = item;
    Clamp(b, it);
    b.Items.append(it);
    Commit(before, QStringLiteral("新增项目"));
    return int(b.Items.size()) - 1;
}

int TDesignDocument::AddTextItem(TReportBandKind k, const QString& text, QPointF pos)
{
    TReportItem it;
    it.Text = text;
    it.X = pos.x();
    it.Y = pos.y();
    it.Width = 40;
    it.Height = std::min(6.0, std::max(MinItemSize, BandRef(k).Height));
    return AddItem(k, it);
}

QString TDesignDocument::CatalogueItemText(const QString& name)
{
    if (name.compare(QLatin1String("PageNum"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("第[PageNum]页");
    if (name.compare(QLatin1String("PageCount"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("第[PageNum]页，共[PageCount]页");
    return QStringLiteral("[%1]").arg(name);
}

int TDesignDocument::AddCatalogueItem(TReportBandKind k, const QString& name, QPointF pos)
{
    return AddTextItem(k, CatalogueItemText(name), pos);
}

void TDesignDocument::MoveItem(TReportBandKind k, int index, QPointF pos)
{
    const TReportTemplate before = FTemplate;
    TReportItem& it = ItemRef(k, index);
    it.X = pos.x();
    it.Y = pos.y();
    Clamp(BandRef(k), it);
    Commit(before, QStringLiteral("移动"), ItemKey("move", k, index));
}

void TDesignDocument::ResizeItem(TReportBandKind k, int index, QSizeF size)
{
    const TReportTemplate before = FTemplate;
    TReportItem& it = ItemRef(k, index);
    const TReportBand& b = BandRef(k);
    // Growing stops at the band's edge rather than pushing the item back.
    it.Width = std::min(size.width(), FTemplate.Page.ContentWidth() - it.X);
    it.Height = std::min(size.height(), b.Height - it.Y);
    Clamp(b, it);
    Commit(before, QStringLiteral("改变大小"), ItemKey("size", k, index));
}

void TDesignDocument::DeleteItem(TReportBandKind k, int index)
{
    const TReportTemplate before = FTemplate;
    ItemRef(k, index);
    BandRef(k).Items.removeAt(index);
    Commit(before, QStringLiteral("删除项目"));
}

void TDesignDocument::SetItemText(TReportBandKind k, int index, const QString& text)
{
    const TReportTemplate before = FTemplate;
    ItemRef(k, index).Text = text;
    Commit(before, QStringLiteral("修改内容"), ItemKey("text", k, index));
}

void TDesignDocument::SetItemFont(TReportBandKind k, int index, const TReportFont& font)
{
    const TReportTemplate before = FTemplate;
    if (font.Family.trimmed().isEmpty() || !(font.Size > 0))
        throw EReportError(QStringLiteral("字体无效"));
    ItemRef(k, index).Font = font;
    Commit(before, QStringLiteral("字体"));
}

void TDesignDocument::SetItemAlign(TReportBandKind k, int index, TReportHAlign align)
{
    const TReportTemplate before = FTemplate;
    ItemRef(k, index).Align = align;
    Commit(before, QStringLiteral("对齐"));
}

void TDesignDocument::SetItemFrame(TReportBandKind k, int index, const TReportFrame& frame)
{
    const TReportTemplate before = FTemplate;
    ItemRef(k, index).Frame = frame;
    Commit(before, QStringLiteral("边框"));
}

void TDesignDocument::SetItemWordWrap(TReportBandKind k, int index, bool wrap)
{
    const TReportTemplate before = FTemplate;
    ItemRef(k, index).WordWrap = wrap;
    Commit(before, QStringLiteral("换行"));
}

void TDesignDocument::AddColumn(const QString& field, const QString& caption, double width)
{
    const TReportTemplate before = FTemplate;
    if (field.trimmed().isEmpty() || !(width > 0))
        throw EReportError(QStringLiteral("明细列需要字段和正的宽度"));
    TReportColumn c;
    c.Field = field;
    c.Caption = caption;
    c.Width = width;
    FTemplate.Columns.append(c);
    Commit(before, QStringLiteral("新增明细列"));
}

void TDesignDocument::DeleteColumn(int index)
{
    const TReportTemplate before = FTemplate;
    if (index < 0 || index >= FTemplate.Columns.size())
        throw EReportError(QStringLiteral("没有第 %1 列").arg(index + 1));
    FTemplate.Columns.removeAt(index);
    Commit(before, QStringLiteral("删除明细列"));
}

void TDesignDocument::SetColumnWidth(int index, double width)
{
    const TReportTemplate before = FTemplate;
    if (index < 0 || index >= FTemplate.Columns.size())
        throw EReportError(QStringLiteral("没有第 %1 列").arg(index + 1));
    if (!(width > 0))
        throw EReportError(QStringLiteral("列宽必须大于零"));
    FTemplate.Columns[index].Width = width;
    Commit(before, QStringLiteral("列宽"), QStringLiteral("width:%1").arg(index));
}
