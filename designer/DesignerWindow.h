#pragma once
// KQDesign's main window: catalogue lists, the page canvas and the property panel over a
// TDesignDocument. Every edit goes to the document; the canvas is rebuilt from it.
#include "platform/report/DesignDocument.h"

#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QListWidget>
#include <QMainWindow>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QLineEdit;
class QLabel;

// Catalogue list whose entries drag out as their variable name.
class TCatalogueList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
};

class TDesignCanvas;

// An item of the template on the canvas; dropping it after a drag moves it in the document.
class TCanvasItem : public QGraphicsRectItem {
public:
    TCanvasItem(TDesignCanvas* canvas, TReportBandKind band, int index, const TReportItem& item, double bandTop);
    TReportBandKind Band;
    int Index;
    void paint(QPainter* p, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* e) override;

private:
    TDesignCanvas* FCanvas;
    TReportItem FItem;
    double FBandTop;
};

class TDesignCanvas : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr double Scale = 3.5; // screen pixels per mm at 100 %
    static constexpr double MinZoom = 0.25, MaxZoom = 4.0, ZoomStep = 1.25;
    explicit TDesignCanvas(TDesignDocument* doc, QWidget* parent = nullptr);
    void Rebuild();
    void Select(TReportBandKind band, int index);
    bool Selected(TReportBandKind& band, int& index) const;
    void ItemDropped(TCanvasItem* item, QPointF bandPos);

    // 1.0 is 100 %; kept between MinZoom and MaxZoom.
    double Zoom() const { return FZoom; }
    void SetZoom(double zoom);
    void ZoomIn() { SetZoom(FZoom * ZoomStep); }
    void ZoomOut() { SetZoom(FZoom / ZoomStep); }
    // The zoom at which the page's printable width fills the view.
    void ZoomToWidth();

signals:
    void SelectionChangedTo(); // the selected item changed (or none is selected)
    void BandClicked(TReportBandKind band);
    void ZoomChanged(double zoom);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override; // Ctrl + wheel zooms

private:
    TDesignDocument* FDoc;
    QGraphicsScene* FScene;
    double FZoom = 1.0;
    bool FRebuilding = false;
};

class TReportPreview;

class TDesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TDesignerWindow(TDesignDocument* doc, QWidget* parent = nullptr);

    TDesignCanvas* Canvas() const { return FCanvas; }
    // Saves; when another program changed the file meanwhile, OnFileChangedElsewhere is
    // asked for another file to save to ("" keeps the edits unsaved). True when saved.
    bool Save();
    std::function<QString(const QString& message)> OnFileChangedElsewhere;
    // Shows a failure to the user (a warning box unless replaced).
    std::function<void(const QString& message)> OnError;
    // The template filled with a sample bill, in a preview window of its own (returned;
    // it deletes itself when closed).
    TReportPreview* PreviewSample();

    QAction* ASave;
    QAction* AUndo;
    QAction* ARedo;
    QAction* AZoomIn;
    QAction* AZoomOut;
    QAction* AZoomReset;
    QAction* AZoomWidth;
    QAction* APreview;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void FillCatalogue();
    void ShowSelection();
    void ApplyProperties();
    void InsertCatalogueEntry(QListWidgetItem* item);
    void UpdateTitle();

    TDesignDocument* FDoc;
    QLabel* FZoomLabel;
    TDesignCanvas* FCanvas;
    TCatalogueList* FVariables;
    TCatalogueList* FFields;
    TReportBandKind FCurrentBand = TReportBandKind::Detail;
    bool FShowing = false;
    QLabel* FBandLabel;
    QDoubleSpinBox* FBandHeight;
    QLineEdit* FText;
    QFontComboBox* FFont;
    QDoubleSpinBox* FFontSize;
    QCheckBox* FBold;
    QComboBox* FAlign;
    QCheckBox* FFrame[4];
    QDoubleSpinBox *FX, *FY, *FW, *FH;
    QWidget* FItemPanel;
};
