#include "designer/DesignerWindow.h"

#include "platform/report/ReportPreview.h"
#include "platform/report/SampleBillData.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGraphicsSceneMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <memory>

namespace {

constexpr int RoleName = Qt::UserRole + 1;
constexpr int RoleBand = Qt::UserRole + 2;

QString AlignCaption(TReportHAlign a)
{
    switch (a) {
    case TReportHAlign::Left: return QStringLiteral("左对齐");
    case TReportHAlign::Center: return QStringLiteral("居中");
    case TReportHAlign::Right: return QStringLiteral("右对齐");
    }
    return {};
}

QDoubleSpinBox* MmSpin(double max)
{
    auto* s = new QDoubleSpinBox;
    s->setRange(0, max);
    s->setDecimals(1);
    s->setSingleStep(0.5);
    s->setSuffix(QStringLiteral(" mm"));
    s->setKeyboardTracking(false);
    return s;
}

} // namespace

QMimeData* TCatalogueList::mimeData(const QList<QListWidgetItem*>& items) const
{
    auto* m = new QMimeData;
    if (!items.isEmpty())
        m->setText(items.first()->data(RoleName).toString());
    return m;
}

// ---------------------------------------------------------------------------------------

TCanvasItem::TCanvasItem(TDesignCanvas* canvas, TReportBandKind band, int index, const TReportItem& item, double bandTop)
    : QGraphicsRectItem(0, 0, std::max(item.Width, 0.8), std::max(item.Height, 0.8)), Band(band), Index(index),
      FCanvas(canvas), FItem(item), FBandTop(bandTop)
{
    setPos(item.X, bandTop + item.Y);
    setFlags(ItemIsMovable | ItemIsSelectable);
    setToolTip(item.Text);
}

void TCanvasItem::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF r = rect();
    QPen pen(isSelected() ? QColor(0, 120, 215) : QColor(160, 160, 200));
    pen.setCosmetic(true);
    pen.setStyle(isSelected() ? Qt::SolidLine : Qt::DotLine);
    if (FItem.Kind == TReportItemKind::Line) {
        QPen line(Qt::black, std::max(FItem.LineWidth, 0.1));
        p->setPen(line);
        p->drawLine(QPointF(0, 0), QPointF(FItem.Width, FItem.Height));
        if (isSelected()) {
            p->setPen(pen);
            p->drawRect(r);
        }
        return;
    }
    if (FItem.Kind == TReportItemKind::Rect) {
        p->setPen(QPen(Qt::black, std::max(FItem.LineWidth, 0.1)));
        p->drawRect(r);
        return;
    }
    p->setPen(pen);
    p->drawRect(r);
    QFont f(FItem.Font.Family);
    f.setPixelSize(1); // scaled below: font size in mm
    f.setBold(FItem.Font.Bold);
    f.setItalic(FItem.Font.Italic);
    const double mm = FItem.Font.Size * 25.4 / 72.0;
    p->save();
    p->scale(mm / 10.0, mm / 10.0);
    f.setPixelSize(10);
    p->setFont(f);
    p->setPen(FItem.Text.contains(QLatin1Char('[')) ? QColor(0, 70, 160) : Qt::black);
    const double k = 10.0 / mm;
    const QRectF tr(r.left() * k + 3, r.top() * k, r.width() * k - 6, r.height() * k);
    const Qt::Alignment h = FItem.Align == TReportHAlign::Center ? Qt::AlignHCenter
                            : FItem.Align == TReportHAlign::Right ? Qt::AlignRight
                                                                   : Qt::AlignLeft;
    p->drawText(tr, int(h | Qt::AlignVCenter | (FItem.WordWrap ? Qt::TextWordWrap : 0)), FItem.Text);
    p->restore();
    if (FItem.Frame.Any()) {
        p->setPen(QPen(Qt::black, std::max(FItem.Frame.Width, 0.1)));
        if (FItem.Frame.Left) p->drawLine(r.topLeft(), r.bottomLeft());
        if (FItem.Frame.Top) p->drawLine(r.topLeft(), r.topRight());
        if (FItem.Frame.Right) p->drawLine(r.topRight(), r.bottomRight());
        if (FItem.Frame.Bottom) p->drawLine(r.bottomLeft(), r.bottomRight());
    }
}

void TCanvasItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* e)
{
    QGraphicsRectItem::mouseReleaseEvent(e);
    const QPointF bandPos(pos().x(), pos().y() - FBandTop);
    if (std::abs(bandPos.x() - FItem.X) > 0.05 || std::abs(bandPos.y() - FItem.Y) > 0.05)
        FCanvas->ItemDropped(this, bandPos);
}

// ---------------------------------------------------------------------------------------

TDesignCanvas::TDesignCanvas(TDesignDocument* doc, QWidget* parent) : QGraphicsView(parent), FDoc(doc), FScene(new QGraphicsScene(this))
{
    setScene(FScene);
    setAcceptDrops(true);
    setRenderHint(QPainter::Antialiasing);
    setRenderHint(QPainter::TextAntialiasing);
    setBackgroundBrush(QColor(200, 200, 200));
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setTransform(QTransform::fromScale(Scale, Scale));
    connect(FScene, &QGraphicsScene::selectionChanged, this, [this] {
        if (!FRebuilding)
            emit SelectionChangedTo();
    });
}

void TDesignCanvas::Rebuild()
{
    TReportBandKind selBand{};
    int selIndex = -1;
    const bool hadSelection = Selected(selBand, selIndex);
    FRebuilding = true;
    FScene->clear();
    const TReportTemplate& t = FDoc->Template();
    const double w = t.Page.ContentWidth();
    const QFont captionFont(QStringLiteral("WenQuanYi Zen Hei"), 3);
    for (const TDesignBandArea& a : FDoc->CanvasLayout()) {
        auto* cap = FScene->addRect(0, a.CaptionTop, w, TDesignDocument::CaptionHeight, QPen(Qt::NoPen), QColor(225, 228, 238));
        cap->setData(0, int(a.Kind));
        auto* label = FScene->addSimpleText(QStringLiteral("%1  (%2 mm)").arg(ReportBandCaption(a.Kind)).arg(a.Height), captionFont);
        label->setPos(1, a.CaptionTop + 0.6);
        label->setScale(0.9);
        if (a.Kind == TReportBandKind::Detail && t.Table.Visible && !t.Columns.isEmpty()) {
            double x = 0;
            const double top = a.CaptionTop + TDesignDocument::CaptionHeight;
            for (const auto& c : t.Columns) {
                FScene->addRect(x, top, c.Width, t.Table.HeaderHeight, QPen(Qt::black, 0.2), QColor(236, 236, 236));
                auto* h = FScene->addSimpleText(c.Caption, captionFont);
                h->setPos(x + 1, top + 1.5);
                FScene->addRect(x, a.Top, c.Width, a.Height, QPen(QColor(120, 120, 120), 0.2), Qt::white);
                auto* f = FScene->addSimpleText(QStringLiteral("[%1]").arg(c.Field), captionFont);
                f->setBrush(QColor(0, 70, 160));
                f->setPos(x + 1, a.Top + 1);
                x += c.Width;
            }
        }
        auto* body = FScene->addRect(0, a.Top, w, a.Height, QPen(QColor(150, 150, 150), 0.15, Qt::DashLine), Qt::NoBrush);
        body->setData(0, int(a.Kind));
        if (const TReportBand* band = t.Band(a.Kind))
            for (int i = 0; i < band->Items.size(); ++i) {
                auto* item = new TCanvasItem(this, a.Kind, i, band->Items.at(i), a.Top);
                FScene->addItem(item);
            }
    }
    const auto areas = FDoc->CanvasLayout();
    const double h = areas.isEmpty() ? 10 : areas.last().Top + areas.last().Height;
    auto* page = FScene->addRect(-4, -4, w + 8, h + 8, QPen(Qt::NoPen), Qt::white);
    page->setZValue(-10);
    FScene->setSceneRect(-10, -10, w + 20, h + 20);
    FRebuilding = false;
    if (hadSelection)
        Select(selBand, selIndex);
    emit SelectionChangedTo();
}

void TDesignCanvas::Select(TReportBandKind band, int index)
{
    FRebuilding = true;
    FScene->clearSelection();
    for (QGraphicsItem* gi : FScene->items())
        if (auto* ci = dynamic_cast<TCanvasItem*>(gi))
            if (ci->Band == band && ci->Index == index)
                ci->setSelected(true);
    FRebuilding = false;
}

bool TDesignCanvas::Selected(TReportBandKind& band, int& index) const
{
    for (QGraphicsItem* gi : FScene->selectedItems())
        if (auto* ci = dynamic_cast<TCanvasItem*>(gi)) {
            band = ci->Band;
            index = ci->Index;
            return true;
        }
    return false;
}

void TDesignCanvas::ItemDropped(TCanvasItem* item, QPointF bandPos)
{
    const TReportBandKind band = item->Band;
    const int index = item->Index;
    // Rebuilding deletes the item that called us: leave its event handler first.
    QMetaObject::invokeMethod(this, [this, band, index, bandPos] {
        FDoc->MoveItem(band, index, bandPos);
        Select(band, index);
        emit SelectionChangedTo();
    }, Qt::QueuedConnection);
}

void TDesignCanvas::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasText())
        e->acceptProposedAction();
}

void TDesignCanvas::dragMoveEvent(QDragMoveEvent* e)
{
    if (e->mimeData()->hasText())
        e->acceptProposedAction();
}

void TDesignCanvas::dropEvent(QDropEvent* e)
{
    const QPointF at = mapToScene(e->position().toPoint());
    TReportBandKind band{};
    double y = 0;
    if (!e->mimeData()->hasText() || !FDoc->BandAt(at.y(), band, y))
        return;
    const int index = FDoc->AddCatalogueItem(band, e->mimeData()->text(), QPointF(at.x(), y));
    e->acceptProposedAction();
    Select(band, index);
    emit SelectionChangedTo();
}

void TDesignCanvas::SetZoom(double zoom)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (std::abs(zoom - FZoom) < 1e-9)
        return;
    FZoom = zoom;
    setTransform(QTransform::fromScale(Scale * zoom, Scale * zoom));
    emit ZoomChanged(zoom);
}

void TDesignCanvas::ZoomToWidth()
{
    const double pageW = FDoc->Template().Page.ContentWidth() + 20; // the scene's margins
    SetZoom((viewport()->width() - 4) / (pageW * Scale));
}

void TDesignCanvas::wheelEvent(QWheelEvent* e)
{
    if (e->modifiers() & Qt::ControlModifier) {
        if (e->angleDelta().y() > 0)
            ZoomIn();
        else if (e->angleDelta().y() < 0)
            ZoomOut();
        e->accept();
        return;
    }
    QGraphicsView::wheelEvent(e);
}

void TDesignCanvas::mousePressEvent(QMouseEvent* e)
{
    QGraphicsView::mousePressEvent(e);
    TReportBandKind band{};
    double y = 0;
    if (FDoc->BandAt(mapToScene(e->pos()).y(), band, y))
        emit BandClicked(band);
}

// ---------------------------------------------------------------------------------------

TDesignerWindow::TDesignerWindow(TDesignDocument* doc, QWidget* parent) : QMainWindow(parent), FDoc(doc)
{
    resize(1280, 860);
    FCanvas = new TDesignCanvas(doc, this);
    OnError = [this](const QString& message) { QMessageBox::warning(this, QStringLiteral("错误"), message); };
    OnFileChangedElsewhere = [this](const QString& message) {
        if (QMessageBox::warning(this, QStringLiteral("提示"), message + QStringLiteral("\n\n是否另存为其他文件？"),
                                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return QString();
        return QFileDialog::getSaveFileName(this, QStringLiteral("另存为"), FDoc->FileName(), QStringLiteral("Zrp Files (*.Zrp)"));
    };

    // ---- catalogue
    auto* left = new QWidget;
    auto* ll = new QVBoxLayout(left);
    ll->addWidget(new QLabel(QStringLiteral("变量（拖到页面上）")));
    FVariables = new TCatalogueList;
    ll->addWidget(FVariables, 3);
    ll->addWidget(new QLabel(QStringLiteral("明细字段")));
    FFields = new TCatalogueList;
    ll->addWidget(FFields, 2);
    for (TCatalogueList* l : {FVariables, FFields}) {
        l->setDragEnabled(true);
        l->setDragDropMode(QAbstractItemView::DragOnly);
        connect(l, &QListWidget::itemDoubleClicked, this, &TDesignerWindow::InsertCatalogueEntry);
    }

    // ---- properties
    auto* right = new QWidget;
    auto* rl = new QVBoxLayout(right);
    auto* bandBox = new QWidget;
    auto* bf = new QFormLayout(bandBox);
    FBandLabel = new QLabel;
    FBandHeight = MmSpin(500);
    bf->addRow(QStringLiteral("区域"), FBandLabel);
    bf->addRow(QStringLiteral("高度"), FBandHeight);
    rl->addWidget(bandBox);
    FItemPanel = new QWidget;
    auto* form = new QFormLayout(FItemPanel);
    FText = new QLineEdit;
    FFont = new QFontComboBox;
    FFontSize = new QDoubleSpinBox;
    FFontSize->setRange(4, 72);
    FFontSize->setDecimals(1);
    FFontSize->setKeyboardTracking(false);
    FBold = new QCheckBox(QStringLiteral("粗体"));
    FAlign = new QComboBox;
    for (TReportHAlign a : {TReportHAlign::Left, TReportHAlign::Center, TReportHAlign::Right})
        FAlign->addItem(AlignCaption(a), int(a));
    auto* frames = new QWidget;
    auto* fl = new QHBoxLayout(frames);
    fl->setContentsMargins(0, 0, 0, 0);
    const char* const sides[] = {"左", "上", "右", "下"};
    for (int i = 0; i < 4; ++i) {
        FFrame[i] = new QCheckBox(QString::fromUtf8(sides[i]));
        fl->addWidget(FFrame[i]);
    }
    FX = MmSpin(2000);
    FY = MmSpin(2000);
    FW = MmSpin(2000);
    FH = MmSpin(2000);
    form->addRow(QStringLiteral("内容"), FText);
    form->addRow(QStringLiteral("字体"), FFont);
    form->addRow(QStringLiteral("字号"), FFontSize);
    form->addRow(QString(), FBold);
    form->addRow(QStringLiteral("对齐"), FAlign);
    form->addRow(QStringLiteral("边框"), frames);
    form->addRow(QStringLiteral("左"), FX);
    form->addRow(QStringLiteral("上"), FY);
    form->addRow(QStringLiteral("宽"), FW);
    form->addRow(QStringLiteral("高"), FH);
    rl->addWidget(FItemPanel);
    rl->addStretch();

    auto* split = new QSplitter;
    split->addWidget(left);
    split->addWidget(FCanvas);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 800, 260});
    setCentralWidget(split);

    // ---- actions
    auto* tb = addToolBar(QStringLiteral("设计"));
    ASave = tb->addAction(QStringLiteral("保存"), this, [this] { Save(); });
    ASave->setShortcut(QKeySequence::Save);
    APreview = tb->addAction(QStringLiteral("预览"), this, [this] { PreviewSample(); });
    APreview->setToolTip(QStringLiteral("用示例单据数据预览打印效果"));
    tb->addSeparator();
    AUndo = FDoc->UndoStack()->createUndoAction(this, QStringLiteral("撤销"));
    AUndo->setShortcut(QKeySequence::Undo);
    ARedo = FDoc->UndoStack()->createRedoAction(this, QStringLiteral("重做"));
    ARedo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)});
    tb->addAction(AUndo);
    tb->addAction(ARedo);
    tb->addSeparator();
    AZoomIn = tb->addAction(QStringLiteral("放大"), FCanvas, &TDesignCanvas::ZoomIn);
    AZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    AZoomOut = tb->addAction(QStringLiteral("缩小"), FCanvas, &TDesignCanvas::ZoomOut);
    AZoomOut->setShortcut(QKeySequence::ZoomOut);
    AZoomReset = tb->addAction(QStringLiteral("100%"), FCanvas, [this] { FCanvas->SetZoom(1.0); });
    AZoomReset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    AZoomWidth = tb->addAction(QStringLiteral("适合宽度"), FCanvas, &TDesignCanvas::ZoomToWidth);
    FZoomLabel = new QLabel(QStringLiteral("缩放 100%"));
    statusBar()->addPermanentWidget(FZoomLabel);
    connect(FCanvas, &TDesignCanvas::ZoomChanged, this, [this](double z) {
        FZoomLabel->setText(QStringLiteral("缩放 %1%").arg(qRound(z * 100)));
        AZoomIn->setEnabled(z < TDesignCanvas::MaxZoom - 1e-9);
        AZoomOut->setEnabled(z > TDesignCanvas::MinZoom + 1e-9);
    });
    tb->addSeparator();
    auto addItem = [this](TReportItemKind kind) {
        TReportItem it;
        it.Kind = kind;
        it.X = 2;
        it.Y = 1;
        it.Width = kind == TReportItemKind::Line ? 40 : 40;
        it.Height = kind == TReportItemKind::Line ? 0 : 6;
        if (kind == TReportItemKind::Text)
            it.Text = QStringLiteral("文本");
        const int i = FDoc->AddItem(FCurrentBand, it);
        FCanvas->Select(FCurrentBand, i);
        ShowSelection();
    };
    tb->addAction(QStringLiteral("新增文本"), this, [=] { addItem(TReportItemKind::Text); });
    tb->addAction(QStringLiteral("新增线条"), this, [=] { addItem(TReportItemKind::Line); });
    tb->addAction(QStringLiteral("新增矩形"), this, [=] { addItem(TReportItemKind::Rect); });
    QAction* del = tb->addAction(QStringLiteral("删除项目"), this, [this] {
        TReportBandKind band{};
        int index = -1;
        if (FCanvas->Selected(band, index))
            FDoc->DeleteItem(band, index);
    });
    del->setShortcut(QKeySequence::Delete);
    tb->addSeparator();
    auto* bandMenu = new QMenu(this);
    for (TReportBandKind k : AllReportBandKinds()) {
        QAction* a = bandMenu->addAction(ReportBandCaption(k), this, [this, k] {
            try {
                FDoc->AddBand(k, 10);
                FCurrentBand = k;
            } catch (const EReportError& e) {
                QMessageBox::information(this, QStringLiteral("提示"), e.Message());
            }
        });
        a->setData(int(k));
    }
    auto* addBand = new QToolButton;
    addBand->setText(QStringLiteral("新增区域"));
    addBand->setMenu(bandMenu);
    addBand->setPopupMode(QToolButton::InstantPopup);
    tb->addWidget(addBand);
    tb->addAction(QStringLiteral("删除区域"), this, [this] {
        try {
            FDoc->DeleteBand(FCurrentBand);
            FCurrentBand = TReportBandKind::Detail;
        } catch (const EReportError& e) {
            QMessageBox::information(this, QStringLiteral("提示"), e.Message());
        }
    });

    // ---- wiring
    connect(FDoc, &TDesignDocument::Changed, this, [this] {
        FCanvas->Rebuild();
        UpdateTitle();
    });
    connect(FDoc->UndoStack(), &QUndoStack::cleanChanged, this, &TDesignerWindow::UpdateTitle);
    connect(FCanvas, &TDesignCanvas::SelectionChangedTo, this, &TDesignerWindow::ShowSelection);
    connect(FCanvas, &TDesignCanvas::BandClicked, this, [this](TReportBandKind k) {
        FCurrentBand = k;
        ShowSelection();
    });
    connect(FBandHeight, &QDoubleSpinBox::valueChanged, this, [this](double h) {
        if (!FShowing && FDoc->HasBand(FCurrentBand))
            FDoc->SetBandHeight(FCurrentBand, h);
    });
    connect(FText, &QLineEdit::editingFinished, this, &TDesignerWindow::ApplyProperties);
    connect(FFont, &QFontComboBox::currentFontChanged, this, &TDesignerWindow::ApplyProperties);
    connect(FFontSize, &QDoubleSpinBox::valueChanged, this, &TDesignerWindow::ApplyProperties);
    connect(FBold, &QCheckBox::toggled, this, &TDesignerWindow::ApplyProperties);
    connect(FAlign, &QComboBox::currentIndexChanged, this, &TDesignerWindow::ApplyProperties);
    for (QCheckBox* c : FFrame)
        connect(c, &QCheckBox::toggled, this, &TDesignerWindow::ApplyProperties);
    for (QDoubleSpinBox* s : {FX, FY, FW, FH})
        connect(s, &QDoubleSpinBox::valueChanged, this, &TDesignerWindow::ApplyProperties);

    FillCatalogue();
    FCanvas->Rebuild();
    UpdateTitle();
}

void TDesignerWindow::FillCatalogue()
{
    FVariables->clear();
    FFields->clear();
    for (const auto& v : FDoc->Template().Variables) {
        auto* it = new QListWidgetItem(v.Caption == v.Name || v.Caption.isEmpty() ? v.Name : QStringLiteral("%1  (%2)").arg(v.Caption, v.Name));
        it->setData(RoleName, v.Name);
        FVariables->addItem(it);
    }
    for (const auto& f : FDoc->Template().DetailFields) {
        auto* it = new QListWidgetItem(QStringLiteral("%1  (%2)").arg(f.Caption, f.Name));
        it->setData(RoleName, f.Name);
        FFields->addItem(it);
    }
}

void TDesignerWindow::InsertCatalogueEntry(QListWidgetItem* item)
{
    const TReportBandKind band = FDoc->HasBand(FCurrentBand) ? FCurrentBand : TReportBandKind::Detail;
    const int i = FDoc->AddCatalogueItem(band, item->data(RoleName).toString(), QPointF(2, 1));
    FCanvas->Select(band, i);
    ShowSelection();
}

void TDesignerWindow::ShowSelection()
{
    FShowing = true;
    TReportBandKind band{};
    int index = -1;
    const bool has = FCanvas->Selected(band, index);
    if (has)
        FCurrentBand = band;
    if (!FDoc->HasBand(FCurrentBand))
        FCurrentBand = TReportBandKind::Detail;
    FBandLabel->setText(ReportBandCaption(FCurrentBand));
    FBandHeight->setValue(FDoc->Template().BandHeight(FCurrentBand));
    FItemPanel->setEnabled(has);
    if (has) {
        const TReportItem& it = FDoc->Item(band, index);
        FText->setText(it.Text);
        FFont->setCurrentFont(QFont(it.Font.Family));
        FFontSize->setValue(it.Font.Size);
        FBold->setChecked(it.Font.Bold);
        FAlign->setCurrentIndex(FAlign->findData(int(it.Align)));
        const bool sides[] = {it.Frame.Left, it.Frame.Top, it.Frame.Right, it.Frame.Bottom};
        for (int i = 0; i < 4; ++i)
            FFrame[i]->setChecked(sides[i]);
        FX->setValue(it.X);
        FY->setValue(it.Y);
        FW->setValue(it.Width);
        FH->setValue(it.Height);
    }
    FShowing = false;
}

void TDesignerWindow::ApplyProperties()
{
    if (FShowing)
        return;
    TReportBandKind band{};
    int index = -1;
    if (!FCanvas->Selected(band, index))
        return;
    const TReportItem it = FDoc->Item(band, index);
    // Each change goes through the operation that owns it, so clamping rules apply.
    FShowing = true;
    if (FText->text() != it.Text)
        FDoc->SetItemText(band, index, FText->text());
    TReportFont font = it.Font;
    font.Family = FFont->currentFont().family();
    font.Size = FFontSize->value();
    font.Bold = FBold->isChecked();
    if (!(font == it.Font))
        FDoc->SetItemFont(band, index, font);
    const auto align = TReportHAlign(FAlign->currentData().toInt());
    if (align != it.Align)
        FDoc->SetItemAlign(band, index, align);
    TReportFrame frame = it.Frame;
    frame.Left = FFrame[0]->isChecked();
    frame.Top = FFrame[1]->isChecked();
    frame.Right = FFrame[2]->isChecked();
    frame.Bottom = FFrame[3]->isChecked();
    if (!(frame == it.Frame))
        FDoc->SetItemFrame(band, index, frame);
    if (FX->value() != it.X || FY->value() != it.Y)
        FDoc->MoveItem(band, index, QPointF(FX->value(), FY->value()));
    if (FW->value() != it.Width || FH->value() != it.Height)
        FDoc->ResizeItem(band, index, QSizeF(FW->value(), FH->value()));
    FShowing = false;
    FCanvas->Select(band, index);
    ShowSelection();
}

bool TDesignerWindow::Save()
{
    try {
        FDoc->Save();
    } catch (const EFileChangedElsewhere& e) {
        const QString other = OnFileChangedElsewhere ? OnFileChangedElsewhere(e.Message()) : QString();
        if (other.isEmpty())
            return false;
        try {
            FDoc->SaveAs(other);
        } catch (const EReportError& again) {
            OnError(again.Message());
            return false;
        }
    } catch (const EReportError& e) {
        OnError(e.Message());
        return false;
    }
    statusBar()->showMessage(QStringLiteral("已保存 %1").arg(FDoc->FileName()), 3000);
    return true;
}

TReportPreview* TDesignerWindow::PreviewSample()
{
    auto report = std::make_shared<TReportControl>();
    try {
        report->SetTemplate(FDoc->Template());
        FillSampleBillData(*report);
        report->PageCount(); // a layout the page cannot hold is said here, not in the preview
    } catch (const EReportError& e) {
        OnError(e.Message());
        return nullptr;
    }
    auto* preview = new TReportPreview(report.get(), this);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowTitle(QStringLiteral("预览（示例数据） - %1").arg(FDoc->Template().Name));
    // The report lives as long as its preview: both handlers hold it.
    preview->OnSavePdf = [this, preview, report] {
        const QString file = QFileDialog::getSaveFileName(preview, QStringLiteral("保存PDF"), QString(), QStringLiteral("PDF 文件 (*.pdf)"));
        if (file.isEmpty())
            return;
        try {
            report->PrintToPdf(file);
        } catch (const EReportError& e) {
            QMessageBox::warning(preview, QStringLiteral("错误"), e.Message());
        }
    };
    preview->OnPrint = [preview, report] {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dlg(&printer, preview);
        dlg.setMinMax(1, report->PageCount());
        if (dlg.exec() != QDialog::Accepted)
            return;
        try {
            report->Print(&printer);
        } catch (const EReportError& e) {
            QMessageBox::warning(preview, QStringLiteral("错误"), e.Message());
        }
    };
    preview->show();
    return preview;
}

void TDesignerWindow::UpdateTitle()
{
    const QString name = FDoc->Template().Name.isEmpty() ? FDoc->FileName() : FDoc->Template().Name;
    setWindowTitle(QStringLiteral("%1%2 - 打印样式设计").arg(name, FDoc->Modified() ? QStringLiteral(" *") : QString()));
}

void TDesignerWindow::closeEvent(QCloseEvent* e)
{
    if (FDoc->Modified()) {
        const auto answer = QMessageBox::question(this, QStringLiteral("询问"), QStringLiteral("样式已修改，是否保存？"),
                                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            e->ignore();
            return;
        }
        if (answer == QMessageBox::Yes && !Save()) {
            e->ignore();
            return;
        }
    }
    e->accept();
}
