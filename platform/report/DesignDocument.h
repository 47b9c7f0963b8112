#pragma once
// The template being edited in the designer. Every editing operation of the designer
// window goes through here; the window only shows the document and forwards gestures.
// Positions and sizes are in mm relative to the band, clamped to the band and the page's
// printable width.
#include "platform/report/ReportTemplate.h"

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QUndoStack>

// A band as drawn on the design canvas: bands stacked in printing order, each under a
// caption strip; the detail band is preceded by the table's header strip.
struct TDesignBandArea {
    TReportBandKind Kind;
    double CaptionTop = 0; // mm from the top of the canvas
    double Top = 0;        // where the band's own coordinates start
    double Height = 0;
};

// Saving over a template file that another program changed since it was loaded or saved
// here; the file is left as the other program wrote it.
class EFileChangedElsewhere : public EReportError {
public:
    using EReportError::EReportError;
};

class TDesignDocument : public QObject {
    Q_OBJECT
public:
    static constexpr double CaptionHeight = 5; // mm, the strip naming a band on the canvas
    static constexpr double MinItemSize = 2;   // mm

    explicit TDesignDocument(QObject* parent = nullptr);

    // ---- file
    void Load(const QString& fileName); // throws EReportError; the document is unchanged then
    // To the file it was loaded from. When another program changed that file in the
    // meantime the save is refused with EFileChangedElsewhere, unless overwrite is set.
    void Save(bool overwrite = false);
    void SaveAs(const QString& fileName);
    // Whether the file on disk still holds what was loaded or last saved here.
    bool FileChangedElsewhere() const;
    QString FileName() const { return FFileName; }
    bool Modified() const { return !FUndo.isClean(); }
    void SetTemplate(const TReportTemplate& t); // a fresh, unnamed document
    const TReportTemplate& Template() const { return FTemplate; }

    // ---- undo: every editing operation below is one step (typing into one item's text
    // or nudging one item is merged into a single step)
    QUndoStack* UndoStack() { return &FUndo; }
    void Undo() { FUndo.undo(); }
    void Redo() { FUndo.redo(); }
    bool CanUndo() const { return FUndo.canUndo(); }
    bool CanRedo() const { return FUndo.canRedo(); }

    // ---- bands
    bool HasBand(TReportBandKind k) const { return FTemplate.Band(k) != nullptr; }
    void AddBand(TReportBandKind k, double height = 10); // EReportError when present
    void DeleteBand(TReportBandKind k);                  // EReportError for the detail band
    void SetBandHeight(TReportBandKind k, double height); // items are pulled inside
    QVector<TDesignBandArea> CanvasLayout() const;
    // The band under a canvas y (caption strips count as their band); false outside.
    bool BandAt(double canvasY, TReportBandKind& kind, double& bandY) const;

    // ---- items (index within the band)
    int ItemCount(TReportBandKind k) const;
    const TReportItem& Item(TReportBandKind k, int index) const; // EReportError when out of range
    int AddItem(TReportBandKind k, const TReportItem& item);
    int AddTextItem(TReportBandKind k, const QString& text, QPointF pos);
    // A catalogue entry dropped on a band: "[name]", or the page phrase of the page variables.
    int AddCatalogueItem(TReportBandKind k, const QString& name, QPointF pos);
    static QString CatalogueItemText(const QString& name);
    void MoveItem(TReportBandKind k, int index, QPointF pos);
    void ResizeItem(TReportBandKind k, int index, QSizeF size);
    void DeleteItem(TReportBandKind k, int index);
    void SetItemText(TReportBandKind k, int index, const QString& text);
    void SetItemFont(TReportBandKind k, int index, const TReportFont& font);
    void SetItemAlign(TReportBandKind k, int index, TReportHAlign align);
    void SetItemFrame(TReportBandKind k, int index, const TReportFrame& frame);
    void SetItemWordWrap(TReportBandKind k, int index, bool wrap);

    // ---- detail columns
    void AddColumn(const QString& field, const QString& caption, double width);
    void DeleteColumn(int index);
    void SetColumnWidth(int index, double width);

signals:
    void Changed();

private:
    friend class TTemplateEdit;
    TReportBand& BandRef(TReportBandKind k);
    TReportItem& ItemRef(TReportBandKind k, int index);
    void Clamp(const TReportBand& band, TReportItem& it) const;
    // Records the change from `before` to the current template as one undo step; steps
    // with the same non-empty mergeKey in a row become one.
    void Commit(const TReportTemplate& before, const QString& text, const QString& mergeKey = QString());
    void Restore(const TReportTemplate& t); // undo and redo
    void StampFile();

    TReportTemplate FTemplate;
    QString FFileName;
    QByteArray FFileHash; // of the file as loaded or last saved here
    QUndoStack FUndo;
};
