#pragma once
// The host's main window: an MDI area for bill windows, the business menus that call the
// packages' global functions by name, the Edit menu driven by the active bill, and a
// status bar with the user, branch and database.
#include <QHash>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;

// One entry of a business menu: caption, global function name and subject.
struct TMenuCommand {
    QString Caption;
    QString Function;
    QString Subject;
};

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainWindow(QWidget* parent = nullptr);
    ~TMainWindow() override;

    QMdiArea* MdiArea() const { return FMdiArea; }
    // Adds a form as an MDI child and shows it; the form is destroyed when its window closes.
    void AddMdiChild(QWidget* form);
    // The widget of the current MDI child, or nullptr.
    QWidget* ActiveMdiChild() const;

    // The ten edit items, by the names the bill forms use ("InsertLineItem", ...).
    static QStringList EditItemNames();
    QAction* EditItem(const QString& name) const; // name without regard to case
    void SetEditItemEnabled(const QString& name, bool enabled);
    bool EditItemEnabled(const QString& name) const;

    // Menu actions by their menu title and caption (for tests and scripting).
    QAction* FindMenuAction(const QString& menuTitle, const QString& caption) const;
    QStringList MenuTitles() const; // the menus the current user sees
    // The business menu table (menu title -> entries).
    static QVector<QPair<QString, QVector<TMenuCommand>>> BusinessMenus();

    // Refreshes the status bar from the session (user, branch, database file); the system
    // menu shows for system managers only.
    void UpdateStatusBar();
    QString StatusText() const;

    void RenderToPng(const QString& file);

    // Runs a global function by name; when nothing is registered under it the user is told
    // so instead of nothing happening. Returns whether a function ran.
    static bool RunCommand(const QString& function, const QString& subject, class KQParams* params = nullptr);

private:
    QMdiArea* FMdiArea;
    QHash<QString, QAction*> FEditItems; // upper-cased names
    QLabel* FUserLabel;
    QLabel* FShopLabel;
    QLabel* FDatabaseLabel;
    QMenu* FSystemMenu = nullptr;
    void BuildMenus();
    void BuildSystemMenu(); // the operator's own things: the password
    void EditItemTriggered(const QString& subject);
};

// The main window when one exists (the first constructed that is still alive).
TMainWindow* MainWindow();
// Shows a form as an MDI child of the main window; without a main window the form is
// shown as a top-level window.
void ShowMdiChild(QWidget* form);
