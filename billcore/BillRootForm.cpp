#include "billcore/BillRootForm.h"

#include "host/Host.h"
#include "platform/DBControls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTextEdit>

// Sees every key before the focused control does, so that a key the form has an action for
// wins over the control's own use of it (QShortcut then runs the action).
class TBillRootForm::TShortcutPreview : public QObject {
public:
    explicit TShortcutPreview(TBillRootForm* form) : QObject(form), FForm(form) { qApp->installEventFilter(this); }
    ~TShortcutPreview() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (w != FForm && !FForm->isAncestorOf(w))
            return false;
        if (!FForm->ActionOfShortcut(static_cast<QKeyEvent*>(e)))
            return false;
        e->ignore(); // not overridden: the shortcut goes to the form's action
        return true;
    }

private:
    TBillRootForm* FForm;
};

TBillRootForm::TBillRootForm(QWidget* owner) : QWidget(owner)
{
    setWindowTitle(QStringLiteral("BillRootForm"));
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    FormPrivilegeID = -1;
    BindDataComponents();
    InstanceNumber = 1;
    resize(900, 600);
    CaptureDesignBounds();
    FFirstActivation = true;
    FShortcutPreview = new TShortcutPreview(this);
}

TBillRootForm::~TBillRootForm()
{
    // By now the object is only a TBillRootForm: the key of the concrete class was taken while
    // it was whole. A form that never got that far was never placed by the user either.
    if (!FSettingsClass.isEmpty())
        SaveWindowPlacement();
}

void TBillRootForm::InitBillForm()
{
    RememberSettingsClass();
}

void TBillRootForm::RememberSettingsClass()
{
    FSettingsClass = QString::fromLatin1(metaObject()->className()).toUpper();
}

void TBillRootForm::BindDataComponents()
{
    for (TClientQuery* q : findChildren<TClientQuery*>())
        q->SetConnection(g_DefaultCon);
    for (QObject* o : findChildren<QObject*>())
        AttachLookupMenu(o);
}

void TBillRootForm::AttachLookupMenu(QObject* component)
{
    // Lookup combos tell their popup-menu item through a dynamic property handler: a combo
    // that carries "lookupMenu" gets its items routed here.
    auto* combo = qobject_cast<QComboBox*>(component);
    if (!combo || !combo->property("lookupMenu").toBool() || combo->property("lookupMenuAttached").toBool())
        return;
    combo->setProperty("lookupMenuAttached", true);
    combo->setContextMenuPolicy(Qt::ActionsContextMenu);
    const QStringList captions{QStringLiteral("查找"), QStringLiteral("新增"), QStringLiteral("置空")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* a = new QAction(captions[i], combo);
        const int type = i + 1;
        const QString caption = captions[i];
        connect(a, &QAction::triggered, this, [this, combo, type, caption] { OnLookupMenuClick(combo, type, caption); });
        combo->addAction(a);
    }
}

int TBillRootForm::LookupItemType(int itemType, const QString& itemCaption)
{
    // Without the account set's on-line flag a find always means the plain find dialog.
    if (!AccSetData.Online && itemCaption == QStringLiteral("查找"))
        return 2;
    return itemType;
}

void TBillRootForm::OnLookupMenuClick(QWidget* combo, int itemType, const QString& itemCaption)
{
    KQParams bag;
    bag.AddValue(QStringLiteral("Combo"), static_cast<const QObject*>(combo));
    bag.AddValue(QStringLiteral("ItemType"), LookupItemType(itemType, itemCaption));
    bag.AddValue(QStringLiteral("Caption"), itemCaption);
    bag.AddValue(QStringLiteral("PrivilegeID"), FormPrivilegeID);
    GlobalCall(QStringLiteral("ProShowAddNewDlgByType"), itemCaption, &bag);
}

void TBillRootForm::FormActivate()
{
    if (FFirstActivation) {
        FFirstActivation = false;
        RestoreWindowPlacement();
    }
}

void TBillRootForm::FormDeactivate() {}

QAction* TBillRootForm::ActionOfShortcut(const QKeyEvent* key) const
{
    Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == 0 || key->key() == Qt::Key_unknown)
        return nullptr;
    const QKeySequence pressed(QKeyCombination(mods, Qt::Key(key->key())));
    for (QAction* a : actions())
        if (a->isEnabled() && a->isVisible() && !a->shortcut().isEmpty() && a->shortcut().matches(pressed) == QKeySequence::ExactMatch)
            return a;
    return nullptr;
}

bool TBillRootForm::FormKeyPress(QKeyEvent* event)
{
    const int key = event->key();
    QWidget* w = QApplication::focusWidget();
    // A cell editor of a grid keeps Enter and Esc: the grid moves on or cancels the edit.
    bool inEditor = false;
    for (QWidget* p = w; p && p != this; p = p->parentWidget())
        if (auto* view = qobject_cast<QAbstractItemView*>(p)) {
            inEditor = w != view && w != view->viewport();
            break;
        }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        for (QWidget* p = w; p && p != this; p = p->parentWidget())
            if (qobject_cast<QPlainTextEdit*>(p) || qobject_cast<QTextEdit*>(p) || qobject_cast<QAbstractItemView*>(p))
                return false;
        // The value is written before the cursor moves; a refused one keeps it where it is.
        if (auto* edit = qobject_cast<TDBEdit*>(w); edit && !edit->UpdateRecord()) {
            edit->selectAll();
            return true;
        }
        if (auto* date = qobject_cast<TDBDateEdit*>(w); date && !date->UpdateRecord())
            return true;
        if (w && isAncestorOf(w))
            focusNextChild();
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (inEditor)
            return false;
        close();
        return true;
    }
    return false;
}

QString TBillRootForm::SettingsFileName()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("SystemForm.ini"));
}

QString TBillRootForm::SettingsKey(const QString& suffix) const
{
    const QString cls = FSettingsClass.isEmpty() ? QString::fromLatin1(metaObject()->className()).toUpper() : FSettingsClass;
    return cls + u'_' + QString::number(InstanceNumber) + suffix;
}

bool TBillRootForm::IsMdiChild() const
{
    return FMdiFrame || qobject_cast<QMdiSubWindow*>(parentWidget());
}

QWidget* TBillRootForm::FrameWidget() const
{
    if (FMdiFrame)
        return FMdiFrame.data();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return const_cast<TBillRootForm*>(this);
}

void TBillRootForm::CaptureDesignBounds()
{
    FDesignBounds = geometry();
    FMinTrackWidth = FDesignBounds.width();
    FMinTrackHeight = FDesignBounds.height();
}

void TBillRootForm::SaveWindowPlacement()
{
    if (FPlacementSaved)
        return;
    QWidget* frame = FrameWidget();
    // During the frame's own destruction only QWidget's part is left, which is all we read.
    if (frame->windowState() & Qt::WindowMinimized)
        return;
    FPlacementSaved = true;
    QSettings ini(SettingsFileName(), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("FORMSIZE"));
    ini.setValue(SettingsKey(QStringLiteral("::WindowState")), (frame->windowState() & Qt::WindowMaximized) ? 2 : 0);
    const QRect g = (frame->windowState() & Qt::WindowMaximized) ? frame->normalGeometry() : frame->geometry();
    const QRect r = g.isValid() ? g : frame->geometry();
    ini.setValue(SettingsKey(QStringLiteral("::LEFT")), r.left());
    ini.setValue(SettingsKey(QStringLiteral("::TOP")), r.top());
    ini.setValue(SettingsKey(QStringLiteral("::WIDTH")), r.width());
    ini.setValue(SettingsKey(QStringLiteral("::HEIGHT")), r.height());
    ini.endGroup();
    ini.sync();
}

void TBillRootForm::RestoreWindowPlacement()
{
    if (!IsMdiChild()) {
        resize(FDesignBounds.width(), FDesignBounds.height());
        return;
    }
    QWidget* frame = FrameWidget();
    QSettings ini(SettingsFileName(), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("FORMSIZE"));
    const int state = ini.value(SettingsKey(QStringLiteral("::WindowState")), 0).toInt();
    if (state == 0) {
        const int l = ini.value(SettingsKey(QStringLiteral("::LEFT")), FDesignBounds.left()).toInt();
        const int t = ini.value(SettingsKey(QStringLiteral("::TOP")), FDesignBounds.top()).toInt();
        const int w = ini.value(SettingsKey(QStringLiteral("::WIDTH")), FDesignBounds.width()).toInt();
        const int h = ini.value(SettingsKey(QStringLiteral("::HEIGHT")), FDesignBounds.height()).toInt();
        frame->setGeometry(l, t, w, h);
    } else {
        frame->setGeometry(FDesignBounds);
    }
    ini.endGroup();
    if (state == 2)
        frame->setWindowState(frame->windowState() | Qt::WindowMaximized);
    else
        frame->setWindowState(frame->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
}

void TBillRootForm::WatchMdiFrame()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub || FMdiFrame == sub)
        return;
    FMdiFrame = sub;
    sub->setMinimumSize(FMinTrackWidth / 2, FMinTrackHeight / 2);
    connect(sub, &QMdiSubWindow::windowStateChanged, this, [this, sub](Qt::WindowStates oldState, Qt::WindowStates newState) {
        const bool was = oldState & Qt::WindowActive;
        const bool is = newState & Qt::WindowActive;
        if (is && !was && !FActive) {
            FActive = true;
            FormActivate();
        } else if (!is && was && FActive) {
            FActive = false;
            // The main window closing with its children has no menu left to be told about.
            if (!sub->window()->isHidden())
                FormDeactivate();
        }
    });
    // The area may have made the frame active while it was being shown, before this form
    // listened: that is the first activation all the same.
    if ((sub->windowState() & Qt::WindowActive) && !FActive) {
        FActive = true;
        FormActivate();
    }
}

void TBillRootForm::InstallKeyPreview()
{
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("keyPreviewBy").value<QObject*>() == this)
            continue;
        w->setProperty("keyPreviewBy", QVariant::fromValue<QObject*>(this));
        w->installEventFilter(this);
    }
}

void TBillRootForm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    RememberSettingsClass();
    WatchMdiFrame();
    InstallKeyPreview();
    if (!FMdiFrame && !FActive && isActiveWindow()) {
        FActive = true;
        FormActivate();
    }
}

bool TBillRootForm::event(QEvent* e)
{
    if (!FMdiFrame) {
        if (e->type() == QEvent::WindowActivate && !FActive) {
            FActive = true;
            FormActivate();
        } else if (e->type() == QEvent::WindowDeactivate && FActive) {
            FActive = false;
            FormDeactivate();
        }
    }
    if (e->type() == QEvent::ChildPolished)
        InstallKeyPreview();
    return QWidget::event(e);
}

bool TBillRootForm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->modifiers() == Qt::NoModifier || ke->modifiers() == Qt::KeypadModifier) {
            if (FormKeyPress(ke))
                return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TBillRootForm::keyPressEvent(QKeyEvent* e)
{
    if ((e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) && FormKeyPress(e))
        return;
    QWidget::keyPressEvent(e);
}
