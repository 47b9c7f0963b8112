#pragma once
// KQDesign's main window: catalogue lists, the page canvas and the property panel over a
// TDesignDocument. Every edit goes to the document; the canvas is rebuilt from it.
#include "platform/report/DesignDocument.h"

#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QListWidget>
#include <QMainWindow>

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
    explicit TDesignCanvas(TDesignDocument* doc, QWidget* parent = nullptr);
    void Rebuild();
    void Select(TReportBandKind band, int index);
    bool Selected(TReportBandKind& band, int& index) const;
    void ItemDropped(TCanvasItem* item, QPointF bandPos);

signals:
    void SelectionChangedTo(); // the selected item changed (or none is selected)
    void BandClicked(TReportBandKind band);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    TDesignDocument* FDoc;
    QGraphicsScene* FScene;
    bool FRebuilding = false;
};

class TDesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TDesignerWindow(TDesignDocument* doc, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void FillCatalogue();
    void ShowSelection();
    void ApplyProperties();
    void InsertCatalogueEntry(QListWidgetItem* item);
    void Save();
    void UpdateTitle();

    TDesignDocument* FDoc;
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
