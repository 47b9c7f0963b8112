#pragma once
// Common ancestor of every form that works on bills (bill forms, pickers, planning forms).
// It binds the form's data components to the shared connection, gives Enter the meaning
// of "next field" and Esc the meaning of "close", remembers the window placement of MDI
// children between runs in SystemForm.ini, forwards lookup popup-menu clicks to the host
// and declares the post-construction hook that each bill overrides.
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class QAction;

class QKeyEvent;

class TBillRootForm : public QWidget {
    Q_OBJECT
public:
    explicit TBillRootForm(QWidget* owner = nullptr);
    ~TBillRootForm() override;

    int FormPrivilegeID = -1;
    int ReportType = 0; // print template type (report.rpttype)
    int InstanceNumber = 1;

    // ---- virtual operations, in slot order
    // Post-construction initialisation; each concrete bill's constructor calls it last.
    virtual void InitBillForm();
    // Routes a lookup combo's popup-menu clicks to OnLookupMenuClick.
    virtual void AttachLookupMenu(QObject* component);
    // Forwards the click to the host's find-or-add dialog of the lookup.
    virtual void OnLookupMenuClick(QWidget* combo, int itemType, const QString& itemCaption);

    // Activation of the form's window (first activation restores the placement).
    virtual void FormActivate();
    virtual void FormDeactivate();
    // Enter moves to the next control (not in memos and grids), Esc closes the form.
    // Returns whether the key was swallowed.
    bool FormKeyPress(QKeyEvent* event);

    // ---- window placement
    // "<directory of the executable>/SystemForm.ini".
    static QString SettingsFileName();
    // "TSORDERFORM_1::LEFT" for suffix "::LEFT".
    QString SettingsKey(const QString& suffix) const;
    void SaveWindowPlacement();
    void RestoreWindowPlacement();
    bool IsMdiChild() const;
    // The window that carries the form on screen: its MDI frame, or the form itself.
    QWidget* FrameWidget() const;
    QRect DesignBounds() const { return FDesignBounds; }
    // Records the current geometry as the designed one (concrete forms size themselves
    // after the root constructor has run).
    void CaptureDesignBounds();
    bool FirstActivationPending() const { return FFirstActivation; }
    bool IsFormActive() const { return FActive; }

    // Binds every query, stored procedure and batch held by the form to g_DefaultCon.
    void BindDataComponents();

    // The form's action whose shortcut is this key, when it is enabled: such a key belongs to
    // the form, not to the control that has the focus (a text field would take Ctrl+Insert as
    // copy and Shift+Insert as paste).
    QAction* ActionOfShortcut(const QKeyEvent* key) const;

    // What OnLookupMenuClick passes on: the item type after the "查找" rule.
    static int LookupItemType(int itemType, const QString& itemCaption);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void InstallKeyPreview();
    // Keeps the class part of the settings key while the object is whole (see the destructor).
    void RememberSettingsClass();

private:
    class TShortcutPreview;
    void WatchMdiFrame();
    TShortcutPreview* FShortcutPreview = nullptr;

    QString FSettingsClass;
    bool FFirstActivation = true;
    bool FPlacementSaved = false;
    QRect FDesignBounds;
    int FMinTrackWidth = 0;
    int FMinTrackHeight = 0;
    QPointer<QWidget> FMdiFrame;
    bool FActive = false;
};
