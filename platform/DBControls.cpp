#include "platform/DBControls.h"

#include "platform/ControlHold.h"

#include <QApplication>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <limits>

std::function<void(QWidget*, const QString&)> DBErrorHandler = [](QWidget* control, const QString& message) {
    QMessageBox::warning(control, QStringLiteral("错误"), message);
};

static void ReportError(QWidget* control, const QString& message)
{
    if (DBErrorHandler) DBErrorHandler(control, message);
}

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TClientDataSet* ds, QObject* parent) : QObject(parent) { SetDataSet(ds); }

void TDataSource::SetDataSet(TClientDataSet* ds)
{
    if (FDataSet == ds) return;
    if (FDataSet) disconnect(FDataSet, nullptr, this, nullptr);
    FDataSet = ds;
    if (ds) {
        connect(ds, &TClientDataSet::dataReset, this, [this] {
            emit dataReset();
            emit recordChanged();
        });
        connect(ds, &TClientDataSet::currentChanged, this, &TDataSource::recordChanged);
        connect(ds, &TClientDataSet::stateChanged, this, &TDataSource::recordChanged);
        connect(ds, &TClientDataSet::rowChanged, this, [this](int row) {
            emit rowChanged(row);
            if (FDataSet && row == FDataSet->RecNo() - 1) emit recordChanged();
        });
        connect(ds, &QObject::destroyed, this, [this] {
            emit dataSetChanged();
            emit recordChanged();
        });
    }
    emit dataSetChanged();
    emit recordChanged();
}

// ---------------------------------------------------------------- TFieldDataLink

// The link is the control's child so that a hold let go can find it and show the field again.
TFieldDataLink::TFieldDataLink(QWidget* control) : QObject(control), FControl(control) {}

void TFieldDataLink::SetDataSource(TDataSource* src)
{
    if (FSource) disconnect(FSource, nullptr, this, nullptr);
    FSource = src;
    if (src) connect(src, &TDataSource::recordChanged, this, &TFieldDataLink::Refresh);
    Refresh();
}

void TFieldDataLink::SetDataField(const QString& name)
{
    FFieldName = name;
    Refresh();
}

TField* TFieldDataLink::Field() const
{
    if (!FSource || !FSource->DataSet() || !FSource->DataSet()->Active() || FFieldName.isEmpty()) return nullptr;
    return FSource->DataSet()->FindField(FFieldName);
}

bool TFieldDataLink::CanModify() const
{
    TField* f = Field();
    return f && !f->ReadOnly && f->FieldKind() == TFieldKind::fkData && !(FControl && HeldDisabled(FControl));
}

bool TFieldDataLink::Write(const QVariant& v)
{
    TField* f = Field();
    if (!f) return false;
    bool ok = true;
    FUpdating = true;
    try {
        f->SetValue(v);
    } catch (const EAbort&) {
        ok = false;
    } catch (const Exception& e) {
        ok = false;
        FUpdating = false;
        ReportError(FControl, e.Message());
    }
    FUpdating = false;
    Refresh(); // show the stored value (converted, truncated or refused)
    return ok;
}

void TFieldDataLink::Refresh()
{
    if (OnRefresh) OnRefresh();
}

// ---------------------------------------------------------------- holding controls

namespace {
const QByteArray kHoldPrefix = QByteArrayLiteral("tbHeldBy:");
}

void HoldDisabled(QWidget* control, const QString& holder, bool held)
{
    if (!control)
        return;
    const QByteArray name = kHoldPrefix + holder.toUtf8();
    if (control->property(name.constData()).toBool() == held)
        return;
    control->setProperty(name.constData(), held ? QVariant(true) : QVariant());
    if (held) {
        control->setEnabled(false);
        return;
    }
    if (HeldDisabled(control))
        return;
    control->setEnabled(true);
    // What the field allows decides again.
    if (auto* link = control->findChild<TFieldDataLink*>(QString(), Qt::FindDirectChildrenOnly))
        link->Refresh();
}

bool HeldDisabled(const QWidget* control)
{
    if (!control)
        return false;
    for (const QByteArray& name : control->dynamicPropertyNames())
        if (name.startsWith(kHoldPrefix) && control->property(name.constData()).toBool())
            return true;
    return false;
}

// ---------------------------------------------------------------- TDBEdit

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QLineEdit::editingFinished, this, [this] { UpdateRecord(); });
    ShowField();
}

void TDBEdit::SetShowOnly(bool on)
{
    FShowOnly = on;
    ShowField();
}

void TDBEdit::ShowField()
{
    TField* f = FLink.Field();
    const bool readOnly = FShowOnly || !FLink.CanModify();
    setReadOnly(readOnly);
    // What cannot be edited is shown as the field displays it (a total with its decimals,
    // a date without its time); what can be edited shows the value in full.
    const QString text = f ? (readOnly ? f->DisplayText() : f->AsString()) : QString();
    if (text != this->text()) setText(text);
    setModified(false);
    if (f && f->DataType() == TFieldType::ftString && f->Size() > 0) setMaxLength(f->Size());
}

bool TDBEdit::UpdateRecord()
{
    if (!isModified() || FShowOnly || !FLink.CanModify()) return true;
    setModified(false);
    return FLink.Write(text());
}

// ---------------------------------------------------------------- TDBCheckBox

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QCheckBox::clicked, this, &TDBCheckBox::Toggled);
    ShowField();
}

void TDBCheckBox::ShowField()
{
    TField* f = FLink.Field();
    setEnabled(FLink.CanModify());
    bool on = false;
    if (f && !f->IsNull()) {
        if (f->DataType() == TFieldType::ftBoolean) on = f->AsBoolean();
        else on = f->AsString().compare(ValueChecked, Qt::CaseInsensitive) == 0;
    }
    QSignalBlocker block(this);
    setChecked(on);
}

void TDBCheckBox::Toggled(bool on)
{
    TField* f = FLink.Field();
    if (!f || !FLink.CanModify()) { ShowField(); return; }
    if (f->DataType() == TFieldType::ftBoolean) FLink.Write(on);
    else FLink.Write(on ? ValueChecked : ValueUnchecked);
}

// ---------------------------------------------------------------- TDBDateEdit

TDBDateEdit::TDBDateEdit(QWidget* parent) : QDateTimeEdit(parent), FLink(this)
{
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
    setMinimumDate(QDate(1899, 12, 30));
    setSpecialValueText(QStringLiteral(" ")); // the minimum stands for "no date"
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QDateTimeEdit::editingFinished, this, [this] { UpdateRecord(); });
    ShowField();
}

void TDBDateEdit::ShowField()
{
    TField* f = FLink.Field();
    setReadOnly(!FLink.CanModify());
    QSignalBlocker block(this);
    if (f && !f->IsNull()) setDateTime(f->AsDateTime());
    else setDateTime(QDateTime(minimumDate(), QTime(0, 0)));
}

bool TDBDateEdit::UpdateRecord()
{
    TField* f = FLink.Field();
    if (!f || !FLink.CanModify()) return true;
    const QDate shown = date();
    if (shown == minimumDate()) {
        if (f->IsNull()) return true;
        return FLink.Write(QVariant());
    }
    const QDateTime old = f->AsDateTime();
    if (old.isValid() && old.date() == shown) return true;
    const QTime time = old.isValid() ? old.time() : QTime(0, 0);
    if (f->DataType() == TFieldType::ftString) return FLink.Write(shown.toString(QStringLiteral("yyyy-MM-dd")));
    return FLink.Write(QDateTime(shown, time));
}

// ---------------------------------------------------------------- TDBMemo

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!FLink.Updating()) FDirty = true;
    });
    ShowField();
}

void TDBMemo::ShowField()
{
    if (FDirty && hasFocus()) return; // keep what the user is typing
    TField* f = FLink.Field();
    setReadOnly(!FLink.CanModify());
    const QString text = f ? f->AsString() : QString();
    if (text != toPlainText()) {
        QSignalBlocker block(this);
        setPlainText(text);
    }
    FDirty = false;
}

bool TDBMemo::UpdateRecord()
{
    if (!FDirty || !FLink.CanModify()) return true;
    FDirty = false;
    return FLink.Write(toPlainText());
}

void TDBMemo::focusOutEvent(QFocusEvent* e)
{
    UpdateRecord();
    QPlainTextEdit::focusOutEvent(e);
}

// ---------------------------------------------------------------- TDBLookupCombo

TDBLookupCombo::TDBLookupCombo(QWidget* parent) : QComboBox(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, qOverload<int>(&QComboBox::activated), this, &TDBLookupCombo::Chosen);
}

void TDBLookupCombo::SetListSource(TClientDataSet* list, const QString& keyField, const QString& listField)
{
    if (FList) disconnect(FList, nullptr, this, nullptr);
    FList = list;
    FKeyField = keyField;
    FListField = listField;
    if (list) {
        connect(list, &TClientDataSet::dataReset, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowInserted, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowRemoved, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowChanged, this, [this] {
            if (FList && FList->State() == TDataSetState::dsBrowse) ReloadList();
        });
    }
    ReloadList();
}

void TDBLookupCombo::SetListSource(TDataSource* list, const QString& keyField, const QString& listField)
{
    SetListSource(list ? list->DataSet() : nullptr, keyField, listField);
}

void TDBLookupCombo::ReloadList()
{
    FFilling = true;
    {
        QSignalBlocker block(this);
        clear();
        if (FList && FList->Active()) {
            TField* key = FList->FindField(FKeyField);
            TField* text = FList->FindField(FListField);
            // The list is shared: its own filter is put back once the rows are read, and
            // nobody else hears of the detour.
            const QSignalBlocker quiet(FList.data());
            const QString oldFilter = FList->Filter();
            const bool oldFiltered = FList->Filtered();
            bool filtered = false;
            if (!FListFilter.trimmed().isEmpty()) {
                try {
                    FList->SetFilter(FListFilter);
                    FList->SetFiltered(true);
                    filtered = true;
                } catch (const Exception&) {
                    // a filter the list cannot read offers the whole list
                }
            }
            if (key && text)
                for (int r = 0; r < FList->RecordCount(); ++r)
                    addItem(FormatFieldValue(text, FList->RowValue(r, text->Index())), FList->RowValue(r, key->Index()));
            if (filtered) {
                FList->SetFilter(oldFilter);
                FList->SetFiltered(oldFiltered);
            }
        }
    }
    FFilling = false;
    ShowField();
}

void TDBLookupCombo::ShowField()
{
    if (FFilling) return;
    TField* f = FLink.Field();
    setEnabled(FLink.CanModify());
    int found = -1;
    if (f && !f->IsNull()) {
        const QVariant v = f->Value();
        for (int i = 0; i < count() && found < 0; ++i) {
            const QVariant k = itemData(i);
            if (k == v || (k.isValid() && k.toString() == v.toString())) found = i;
        }
    }
    QSignalBlocker block(this);
    setCurrentIndex(found);
}

void TDBLookupCombo::SetListFilter(const QString& filter)
{
    if (FListFilter == filter) return;
    FListFilter = filter;
    ReloadList();
}

QVariant TDBLookupCombo::KeyValue() const { return currentIndex() < 0 ? QVariant() : itemData(currentIndex()); }

void TDBLookupCombo::Chosen(int index)
{
    if (index < 0 || !FLink.CanModify()) { ShowField(); return; }
    FLink.Write(itemData(index));
}

// ---------------------------------------------------------------- grid columns

TColumnButton ColumnButtonOf(TColumnStyle style)
{
    switch (style) {
    case TColumnStyle::PickList:
    case TColumnStyle::Lookup:
    case TColumnStyle::Date: return TColumnButton::DropDown;
    case TColumnStyle::Ellipsis:
    case TColumnStyle::Memo: return TColumnButton::Ellipsis;
    case TColumnStyle::Spin: return TColumnButton::UpDown;
    case TColumnStyle::Text:
    case TColumnStyle::CheckBox:
    case TColumnStyle::Money:
    case TColumnStyle::ReadOnly:
    case TColumnStyle::Password: return TColumnButton::None;
    }
    return TColumnButton::None;
}

TColumnStyle ColumnStyleFromNumber(int n)
{
    return n >= 0 && n <= int(TColumnStyle::Memo) ? TColumnStyle(n) : TColumnStyle::Text;
}

QString MoneyCellText(double amount, int cells)
{
    const double cents = std::round(std::fabs(amount) * 100.0);
    QString digits = QString::number(cents, 'f', 0);
    while (digits.size() < 3) // at least one yuan digit: 0.05 shows "005"
        digits.prepend(QLatin1Char('0'));
    if (amount < 0 && cents > 0)
        digits.prepend(QLatin1Char('-'));
    if (digits.size() > cells)
        return QString();
    return QString(cells - digits.size(), QLatin1Char(' ')) + digits;
}

namespace {

bool IsCheckedValue(const TField* f, const QVariant& v)
{
    if (v.isNull())
        return false;
    if (f->DataType() == TFieldType::ftBoolean)
        return v.toBool();
    const QString s = v.toString().trimmed();
    return s.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1")
           || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// A line edit with a "…" button; the button asks the grid's owner to do the rest.
class TEllipsisEditor : public QWidget {
public:
    TEllipsisEditor(QWidget* parent, std::function<void()> onButton) : QWidget(parent)
    {
        auto* l = new QHBoxLayout(this);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        Edit = new QLineEdit(this);
        Edit->setFrame(false);
        Button = new QToolButton(this);
        Button->setObjectName(QStringLiteral("EllipsisButton"));
        Button->setText(QStringLiteral("…"));
        Button->setFocusPolicy(Qt::NoFocus);
        l->addWidget(Edit, 1);
        l->addWidget(Button);
        setFocusProxy(Edit);
        QObject::connect(Button, &QToolButton::clicked, this, std::move(onButton));
    }
    QLineEdit* Edit;
    QToolButton* Button;
};

} // namespace

// Draws and edits the cells of a TDBGrid by each column's display style.
class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    TField* FieldAt(const QModelIndex& index) const { return FGrid->FModel->FieldOfColumn(index.column()); }
    TColumnStyle StyleAt(const QModelIndex& index) const
    {
        TField* f = FieldAt(index);
        return f ? FGrid->ColumnStyle(f->FieldName()) : TColumnStyle::Text;
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(FGrid->FNavOptions & gnFocusCell))
            option->state &= ~QStyle::State_HasFocus;
        TField* f = FieldAt(index);
        if (!f)
            return;
        switch (StyleAt(index)) {
        case TColumnStyle::Lookup:
            // the text of the list row, read as text whatever the key is
            option->text = FGrid->LookupText(f->FieldName(), index.data(Qt::EditRole));
            option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            break;
        case TColumnStyle::Password:
            option->text = QString(option->text.size(), QChar(0x25CF));
            break;
        case TColumnStyle::ReadOnly:
            option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
            break;
        case TColumnStyle::CheckBox:
        case TColumnStyle::Money:
            option->text.clear();
            option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
            break;
        default:
            FormatFigureText(option, f, index);
            break;
        }
    }

    // A figure the statement computes comes as text while the bill has no lines (there is
    // no value to tell its type by); a number format given to its column still applies.
    void FormatFigureText(QStyleOptionViewItem* option, TField* f, const QModelIndex& index) const
    {
        if (f->DataType() != TFieldType::ftString)
            return;
        const TDBGrid::TColumnSettings* s = FGrid->Settings(f->FieldName());
        if (!s || s->DisplayFormat.isEmpty())
            return;
        const QVariant v = index.data(Qt::EditRole);
        bool ok = false;
        const double x = v.toString().trimmed().toDouble(&ok);
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
        if (!ok)
            return;
        const int dot = s->DisplayFormat.indexOf(u'.');
        const int decimals = dot < 0 ? 0 : int(s->DisplayFormat.size()) - dot - 1;
        option->text = QString::number(x, 'f', decimals);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);
        TField* f = FieldAt(index);
        const TColumnStyle cs = StyleAt(index);
        if (f && cs == TColumnStyle::CheckBox) {
            QStyleOptionViewItem check = opt;
            const int size = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, w);
            check.rect = QRect(opt.rect.center().x() - size / 2, opt.rect.center().y() - size / 2, size, size);
            check.state = (check.state & ~(QStyle::State_On | QStyle::State_Off))
                          | (IsCheckedValue(f, index.data(Qt::EditRole)) ? QStyle::State_On : QStyle::State_Off);
            style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, p, w);
        } else if (f && cs == TColumnStyle::Money) {
            PaintMoney(p, opt, index.data(Qt::EditRole));
        }
        PaintLines(p, opt.rect, opt.palette);
        if (f && index == FGrid->currentIndex() && FGrid->ColumnEditable(index.column()))
            PaintButton(p, opt, ColumnButtonOf(cs), style, w);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TField* f = FieldAt(index);
        if (!f || !FGrid->ColumnEditable(index.column()))
            return nullptr;
        const QString field = f->FieldName();
        if (const TDBGrid::TColumnSettings* s = FGrid->Settings(field); s && s->Entry) {
            auto* e = new QLineEdit(parent);
            e->setFrame(false);
            return e;
        }
        switch (StyleAt(index)) {
        case TColumnStyle::CheckBox:
        case TColumnStyle::ReadOnly:
            return nullptr;
        case TColumnStyle::PickList: {
            auto* c = new QComboBox(parent);
            c->setEditable(true);
            c->addItems(FGrid->ColumnPickList(field));
            return c;
        }
        case TColumnStyle::Lookup: {
            auto* c = new QComboBox(parent);
            const TDBGrid::TColumnSettings* s = FGrid->Settings(field);
            TClientDataSet* list = s ? s->LookupList.data() : nullptr;
            TField* key = list && list->Active() ? list->FindField(s->LookupKey) : nullptr;
            TField* text = list && list->Active() ? list->FindField(s->LookupField) : nullptr;
            TField* only = list && list->Active() && !s->LookupFilterField.isEmpty() ? list->FindField(s->LookupFilterField) : nullptr;
            const QVariant wanted = only && s->LookupFilterValue ? s->LookupFilterValue() : QVariant();
            if (key && text)
                for (int r = 0; r < list->RecordCount(); ++r) {
                    if (only && list->RowValue(r, only->Index()).toString() != wanted.toString())
                        continue;
                    c->addItem(FormatFieldValue(text, list->RowValue(r, text->Index())), list->RowValue(r, key->Index()));
                }
            return c;
        }
        case TColumnStyle::Date: {
            auto* d = new QDateEdit(parent);
            d->setCalendarPopup(true);
            d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
            return d;
        }
        case TColumnStyle::Ellipsis: {
            QPointer<TDBGrid> grid = FGrid;
            return new TEllipsisEditor(parent, [grid, field] {
                if (grid)
                    emit grid->EditButtonClicked(field);
            });
        }
        case TColumnStyle::Spin:
            if (f->DataType() == TFieldType::ftInteger) {
                auto* sp = new QSpinBox(parent);
                sp->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
                return sp;
            } else {
                auto* sp = new QDoubleSpinBox(parent);
                sp->setRange(-1e12, 1e12);
                sp->setDecimals(f->DataType() == TFieldType::ftCurrency ? 2 : 4);
                return sp;
            }
        case TColumnStyle::Money: {
            auto* sp = new QDoubleSpinBox(parent);
            sp->setRange(-1e9 + 0.01, 1e9 - 0.01); // what 11 cells can show
            sp->setDecimals(2);
            sp->setButtonSymbols(QAbstractSpinBox::NoButtons);
            return sp;
        }
        case TColumnStyle::Password: {
            auto* e = new QLineEdit(parent);
            e->setEchoMode(QLineEdit::Password);
            return e;
        }
        case TColumnStyle::Memo:
            return new QPlainTextEdit(parent);
        case TColumnStyle::Text: {
            // Typed as text whatever the field holds: the field converts it and refuses what
            // is no number, as the master's edits do.
            auto* e = new QLineEdit(parent);
            e->setFrame(false);
            if (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency || f->DataType() == TFieldType::ftInteger)
                e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return e;
        }
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant v = index.data(Qt::EditRole);
        TField* f = FieldAt(index);
        if (const TDBGrid::TColumnSettings* s = f ? FGrid->Settings(f->FieldName()) : nullptr; s && s->Entry) {
            if (auto* le = qobject_cast<QLineEdit*>(editor)) {
                // the text the cell shows (a goods code), not the key behind it
                le->setText(s->LookupList ? (v.isNull() ? QString() : FGrid->LookupText(f->FieldName(), v)) : v.toString());
                le->setModified(false);
            }
            return;
        }
        if (auto* e = dynamic_cast<TEllipsisEditor*>(editor)) {
            e->Edit->setText(v.toString());
        } else if (auto* c = qobject_cast<QComboBox*>(editor)) {
            if (c->isEditable()) {
                c->setEditText(v.toString());
            } else {
                int found = -1;
                for (int i = 0; i < c->count() && found < 0; ++i)
                    if (c->itemData(i) == v || c->itemData(i).toString() == v.toString())
                        found = i;
                c->setCurrentIndex(found);
            }
        } else if (auto* d = qobject_cast<QDateEdit*>(editor)) {
            QDateTime dt = v.toDateTime();
            if (!dt.isValid())
                dt = QDateTime::fromString(v.toString(), Qt::ISODate);
            d->setDate(dt.isValid() ? dt.date() : QDate::currentDate());
        } else if (auto* sp = qobject_cast<QSpinBox*>(editor)) {
            sp->setValue(v.toInt());
        } else if (auto* dsp = qobject_cast<QDoubleSpinBox*>(editor)) {
            dsp->setValue(v.toDouble());
        } else if (auto* m = qobject_cast<QPlainTextEdit*>(editor)) {
            m->setPlainText(v.toString());
        } else if (auto* le = qobject_cast<QLineEdit*>(editor)) {
            le->setText(v.isNull() ? QString() : v.toString());
            le->selectAll();
        } else {
            QStyledItemDelegate::setEditorData(editor, index);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        TField* f = FieldAt(index);
        const TDBGrid::TColumnSettings* s = f ? FGrid->Settings(f->FieldName()) : nullptr;
        if (s && s->Entry) {
            auto* le = qobject_cast<QLineEdit*>(editor);
            const QString text = le ? le->text().trimmed() : QString();
            // Unchanged text (the line's own entry shown again) is no new entry.
            if (le && le->isModified() && !text.isEmpty() && !s->Entry(text))
                ++FGrid->FRefusedEdits;
            return;
        }
        if (auto* e = dynamic_cast<TEllipsisEditor*>(editor)) {
            model->setData(index, e->Edit->text());
        } else if (auto* c = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, c->isEditable() ? QVariant(c->currentText()) : c->currentData());
        } else if (auto* d = qobject_cast<QDateEdit*>(editor)) {
            if (f && f->DataType() == TFieldType::ftString) {
                model->setData(index, d->date().toString(QStringLiteral("yyyy-MM-dd")));
            } else {
                // A new date keeps the time of day the value had (bill dates carry one).
                const QDateTime old = index.data(Qt::EditRole).toDateTime();
                model->setData(index, QDateTime(d->date(), old.isValid() ? old.time() : QTime(0, 0)));
            }
        } else if (auto* sp = qobject_cast<QSpinBox*>(editor)) {
            sp->interpretText();
            model->setData(index, sp->value());
        } else if (auto* dsp = qobject_cast<QDoubleSpinBox*>(editor)) {
            dsp->interpretText();
            model->setData(index, dsp->value());
        } else if (auto* m = qobject_cast<QPlainTextEdit*>(editor)) {
            model->setData(index, m->toPlainText());
        } else if (auto* le = qobject_cast<QLineEdit*>(editor)) {
            const bool text = f && f->DataType() == TFieldType::ftString;
            model->setData(index, le->text().isEmpty() && !text ? QVariant() : QVariant(text ? le->text() : le->text().trimmed()));
        } else {
            QStyledItemDelegate::setModelData(editor, model, index);
        }
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (qobject_cast<QPlainTextEdit*>(editor)) // room for a few lines below the cell
            editor->setGeometry(option.rect.adjusted(0, 0, 0, option.rect.height() * 3));
        else
            QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress && !qobject_cast<QPlainTextEdit*>(editor)) {
            auto* ke = static_cast<QKeyEvent*>(event);
            const bool enter = ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter;
            const bool plain = ke->modifiers() == Qt::NoModifier || ke->modifiers() == Qt::KeypadModifier;
            if (enter && plain && (FGrid->FNavOptions & gnEnterMovesRight)) {
                // An open drop-down takes Enter as its choice first.
                if (auto* c = qobject_cast<QComboBox*>(editor); c && c->view() && c->view()->isVisible())
                    return QStyledItemDelegate::eventFilter(object, event);
                return FGrid->EnterInEditor(editor);
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index) override
    {
        if (!FGrid->ColumnEditable(index.column())) {
            // a read-only column swallows the clicks and keys that would change it
            return event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick
                   || event->type() == QEvent::KeyPress;
        }
        if (StyleAt(index) == TColumnStyle::CheckBox) {
            const bool click = event->type() == QEvent::MouseButtonRelease
                               && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            const bool key = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
            if (click || key) {
                ToggleCheck(model, index);
                return true;
            }
            return event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseButtonPress;
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

    void ToggleCheck(QAbstractItemModel* model, const QModelIndex& index) const
    {
        TField* f = FieldAt(index);
        if (!f)
            return;
        const bool on = !IsCheckedValue(f, index.data(Qt::EditRole));
        if (f->DataType() == TFieldType::ftBoolean)
            model->setData(index, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        else
            model->setData(index, on ? QStringLiteral("T") : QStringLiteral("F"));
    }

private:
    void PaintLines(QPainter* p, const QRect& r, const QPalette& pal) const
    {
        p->save();
        p->setPen(pal.color(QPalette::Mid));
        if (FGrid->FLineOptions & glRowLines)
            p->drawLine(r.bottomLeft(), r.bottomRight());
        if (FGrid->FLineOptions & glColumnLines)
            p->drawLine(r.topRight(), r.bottomRight());
        p->restore();
    }

    void PaintMoney(QPainter* p, const QStyleOptionViewItem& opt, const QVariant& v) const
    {
        constexpr int cells = 11;
        const QRect r = opt.rect.adjusted(1, 0, -1, 0);
        const double w = double(r.width()) / cells;
        const QString text = v.isNull() ? QString() : MoneyCellText(v.toDouble(), cells);
        p->save();
        for (int i = 1; i < cells; ++i) {
            // the line between yuan and jiao is red, every third place a darker one
            const int x = r.left() + int(std::round(i * w));
            p->setPen(i == cells - 2 ? QColor(200, 0, 0) : ((cells - 2 - i) % 3 == 0 ? QColor(120, 120, 200) : QColor(200, 200, 230)));
            p->drawLine(x, r.top(), x, r.bottom());
        }
        const bool selected = opt.state & QStyle::State_Selected;
        p->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        if (text.isEmpty() && !v.isNull()) {
            p->drawText(r, Qt::AlignCenter, QStringLiteral("###"));
        } else {
            for (int i = 0; i < text.size(); ++i)
                if (text.at(i) != QLatin1Char(' '))
                    p->drawText(QRectF(r.left() + i * w, r.top(), w, r.height()), Qt::AlignCenter, QString(text.at(i)));
        }
        p->restore();
    }

    void PaintButton(QPainter* p, const QStyleOptionViewItem& opt, TColumnButton button, QStyle* style, const QWidget* w) const
    {
        if (button == TColumnButton::None)
            return;
        const int side = std::min(16, opt.rect.height() - 2);
        if (side < 6)
            return;
        QStyleOptionButton b;
        b.rect = QRect(opt.rect.right() - side, opt.rect.top() + (opt.rect.height() - side) / 2, side, side);
        b.palette = opt.palette;
        b.state = QStyle::State_Enabled | QStyle::State_Raised;
        style->drawPrimitive(QStyle::PE_PanelButtonTool, &b, p, w);
        QStyleOption arrow;
        arrow.palette = opt.palette;
        arrow.state = QStyle::State_Enabled;
        switch (button) {
        case TColumnButton::DropDown:
            arrow.rect = b.rect.adjusted(3, 3, -3, -3);
            style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, p, w);
            break;
        case TColumnButton::UpDown:
            arrow.rect = QRect(b.rect.left() + 3, b.rect.top() + 1, side - 6, side / 2 - 1);
            style->drawPrimitive(QStyle::PE_IndicatorArrowUp, &arrow, p, w);
            arrow.rect.translate(0, side / 2);
            style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, p, w);
            break;
        case TColumnButton::Ellipsis:
            p->save();
            p->setPen(opt.palette.color(QPalette::ButtonText));
            p->drawText(b.rect, Qt::AlignCenter, QStringLiteral("…"));
            p->restore();
            break;
        case TColumnButton::None:
            break;
        }
    }

    TDBGrid* FGrid;
};

// ---------------------------------------------------------------- TDBGrid

class TDBGridFooter : public QWidget {
public:
    explicit TDBGridFooter(TDBGrid* grid) : QWidget(grid), FGrid(grid) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, width(), 0);
        QHeaderView* h = FGrid->horizontalHeader();
        const int first = FirstShownColumn();
        for (int v = 0; v < h->count(); ++v) {
            const int c = h->logicalIndex(v);
            if (h->isSectionHidden(c))
                continue;
            const QRect cell(h->sectionViewportPosition(c), 1, h->sectionSize(c), height() - 1);
            if (FGrid->FLineOptions & glRaisedFixed) {
                p.setPen(palette().color(QPalette::Light));
                p.drawLine(cell.topLeft(), cell.topRight());
                p.drawLine(cell.topLeft(), cell.bottomLeft());
                p.setPen(palette().color(QPalette::Dark));
                p.drawLine(cell.bottomLeft(), cell.bottomRight());
                p.drawLine(cell.topRight(), cell.bottomRight());
            } else if (FGrid->FLineOptions & glFooterLines) {
                p.setPen(palette().color(QPalette::Mid));
                p.drawLine(cell.topRight(), cell.bottomRight());
            }
            const QString text = FGrid->FooterText(c);
            if (text.isEmpty())
                continue;
            const QRect inner = cell.adjusted(3, 0, -3, 0);
            if (c == first) {
                p.setFont(FGrid->FooterCaptionFont);
                p.setPen(FGrid->FooterCaptionColor);
                p.drawText(inner, Qt::AlignCenter, text);
                continue;
            }
            TField* f = FGrid->FModel->FieldOfColumn(c);
            const bool numeric = f && f->DataType() != TFieldType::ftString;
            p.setFont(font());
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(inner, Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft), text);
        }
    }

public:
    int FirstShownColumn() const
    {
        QHeaderView* h = FGrid->horizontalHeader();
        for (int v = 0; v < h->count(); ++v)
            if (!h->isSectionHidden(h->logicalIndex(v)))
                return h->logicalIndex(v);
        return -1;
    }

private:
    TDBGrid* FGrid;
};

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), FModel(new TDataSetModel(nullptr, this))
{
    setModel(FModel);
    FFooter = new TDBGridFooter(this);
    FFooter->hide();
    FDelegate = new TDBGridDelegate(this);
    setItemDelegate(FDelegate);
    FooterCaptionFont = QFont(QStringLiteral("宋体"));
    FooterCaptionFont.setPointSize(11);
    setShowGrid(false); // the delegate draws the lines the line options ask for
    SetNavOptions(FNavOptions);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TDBGrid::SyncToDataSet);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& now, const QModelIndex& before) {
        // the cell buttons follow the current cell
        viewport()->update(visualRect(before));
        viewport()->update(visualRect(now));
    });
    connect(FModel, &TDataSetModel::currentRowChanged, this, &TDBGrid::SyncFromDataSet);
    connect(FModel, &TDataSetModel::editFailed, this, [this](const QString& m) {
        ++FRefusedEdits;
        ReportError(this, m);
    });
    connect(FModel, &QAbstractItemModel::modelReset, this, &TDBGrid::ApplyColumnLayout);
    connect(FModel, &QAbstractItemModel::modelReset, this, &TDBGrid::BindFooterData);
    connect(horizontalHeader(), &QHeaderView::sectionResized, FFooter, qOverload<>(&QWidget::update));
    connect(horizontalHeader(), &QHeaderView::sectionMoved, FFooter, qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, FFooter, qOverload<>(&QWidget::update));
}

TDBGrid::~TDBGrid() = default;

void TDBGrid::SetDataSource(TDataSource* src)
{
    if (FSource) disconnect(FSource, nullptr, this, nullptr);
    FSource = src;
    FModel->SetDataSet(src ? src->DataSet() : nullptr);
    if (src)
        connect(src, &TDataSource::dataSetChanged, this, [this] { FModel->SetDataSet(FSource ? FSource->DataSet() : nullptr); });
    BindFooterData();
    if (FModel->DataSet()) SyncFromDataSet(FModel->DataSet()->RecNo() - 1);
}

const TDBGrid::TColumnSettings* TDBGrid::Settings(const QString& fieldName) const
{
    auto it = FColumns.constFind(fieldName.toLower());
    return it == FColumns.constEnd() ? nullptr : &it.value();
}

TDBGrid::TColumnSettings& TDBGrid::SettingsRef(const QString& fieldName) { return FColumns[fieldName.toLower()]; }

// ---- footer

void TDBGrid::SetColumnFooter(const QString& fieldName, TFooterKind kind)
{
    const QString key = fieldName.toLower();
    SettingsRef(key).Footer = kind;
    auto it = std::find_if(FCalcs.begin(), FCalcs.end(), [&](const TFooterCalc& c) { return c.Field == key; });
    if (kind == TFooterKind::None) {
        if (it != FCalcs.end()) FCalcs.erase(it);
    } else if (it == FCalcs.end()) {
        FCalcs.push_back(TFooterCalc());
        FCalcs.back().Field = key;
        RebuildFooterCalc(FCalcs.back());
        if (!FShowFooter) SetShowFooter(true);
    } else {
        it->Dirty = true;
    }
    FooterChanged();
}

TFooterKind TDBGrid::ColumnFooter(const QString& fieldName) const
{
    const TColumnSettings* s = Settings(fieldName);
    return s ? s->Footer : TFooterKind::None;
}

void TDBGrid::SetShowFooter(bool on)
{
    FShowFooter = on;
    FFooter->setVisible(on);
    updateGeometries();
}

void TDBGrid::BindFooterData()
{
    TClientDataSet* ds = FModel->DataSet();
    if (FFooterData != ds) {
        if (FFooterData) disconnect(FFooterData, nullptr, this, nullptr);
        FFooterData = ds;
        if (ds) {
            connect(ds, &TClientDataSet::dataReset, this, &TDBGrid::RecalcTotals);
            connect(ds, &TClientDataSet::rowChanged, this, &TDBGrid::FooterRowChanged);
            connect(ds, &TClientDataSet::rowInserted, this, &TDBGrid::FooterRowInserted);
            connect(ds, &TClientDataSet::rowRemoved, this, &TDBGrid::FooterRowRemoved);
        }
    }
    RecalcTotals();
}

void TDBGrid::RecalcTotals()
{
    for (TFooterCalc& c : FCalcs) RebuildFooterCalc(c);
    FooterChanged();
}

void TDBGrid::RebuildFooterCalc(TFooterCalc& c)
{
    c.Values.clear();
    c.Present.clear();
    c.Dirty = true;
    TClientDataSet* ds = FFooterData;
    const TField* f = ds && ds->Active() ? ds->FindField(c.Field) : nullptr;
    c.FieldIndex = f ? f->Index() : -1;
    if (c.FieldIndex < 0) return;
    const int n = ds->RecordCount();
    c.Values.reserve(n);
    c.Present.reserve(n);
    for (int r = 0; r < n; ++r) ReadFooterRow(c, r, true);
}

void TDBGrid::ReadFooterRow(TFooterCalc& c, int row, bool insert)
{
    const QVariant v = FFooterData->RowValue(row, c.FieldIndex);
    bool ok = !v.isNull();
    const double d = ok ? v.toDouble(&ok) : 0.0;
    if (insert) {
        c.Values.insert(c.Values.begin() + row, ok ? d : 0.0);
        c.Present.insert(c.Present.begin() + row, ok ? 1 : 0);
    } else {
        c.Values[row] = ok ? d : 0.0;
        c.Present[row] = ok ? 1 : 0;
    }
    c.Dirty = true;
}

void TDBGrid::FooterRowChanged(int row)
{
    bool any = false;
    for (TFooterCalc& c : FCalcs)
        if (c.FieldIndex >= 0 && row >= 0 && row < int(c.Values.size())) {
            ReadFooterRow(c, row, false);
            any = true;
        }
    if (any) FooterChanged();
}

void TDBGrid::FooterRowInserted(int row)
{
    for (TFooterCalc& c : FCalcs)
        if (c.FieldIndex >= 0) {
            if (row < 0 || row > int(c.Values.size())) RebuildFooterCalc(c);
            else ReadFooterRow(c, row, true);
        }
    if (!FCalcs.empty()) FooterChanged();
}

void TDBGrid::FooterRowRemoved(int row)
{
    for (TFooterCalc& c : FCalcs)
        if (c.FieldIndex >= 0) {
            if (row < 0 || row >= int(c.Values.size())) {
                RebuildFooterCalc(c);
                continue;
            }
            c.Values.erase(c.Values.begin() + row);
            c.Present.erase(c.Present.begin() + row);
            c.Dirty = true;
        }
    if (!FCalcs.empty()) FooterChanged();
}

void TDBGrid::FooterChanged()
{
    if (FShowFooter) FFooter->update();
}

QVariant TDBGrid::Compute(const TFooterCalc& c, TFooterKind kind) const
{
    if (c.FieldIndex < 0) return QVariant();
    const size_t n = c.Values.size();
    switch (kind) {
    case TFooterKind::None: return QVariant();
    case TFooterKind::Count: return int(n);
    case TFooterKind::Sum: {
        // in row order, as the dataset itself sums, so both give the same figure
        double sum = 0;
        for (size_t i = 0; i < n; ++i) sum += c.Values[i];
        return sum;
    }
    case TFooterKind::Average: {
        double sum = 0;
        int count = 0;
        for (size_t i = 0; i < n; ++i)
            if (c.Present[i]) {
                sum += c.Values[i];
                ++count;
            }
        return count ? QVariant(sum / count) : QVariant();
    }
    case TFooterKind::Max:
    case TFooterKind::Min: {
        bool found = false;
        double best = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!c.Present[i]) continue;
            const double v = c.Values[i];
            if (!found || (kind == TFooterKind::Max ? v > best : v < best)) best = v;
            found = true;
        }
        return found ? QVariant(best) : QVariant();
    }
    }
    return QVariant();
}

QVariant TDBGrid::FooterValue(const QString& fieldName) const
{
    const QString key = fieldName.toLower();
    for (const TFooterCalc& c : FCalcs)
        if (c.Field == key) {
            if (c.Dirty) {
                c.Result = Compute(c, ColumnFooter(key));
                c.Dirty = false;
            }
            return c.Result;
        }
    return QVariant();
}

QString TDBGrid::FooterText(int column) const
{
    TField* f = FModel->FieldOfColumn(column);
    if (!f) return QString();
    // "合 计" stands in the first column shown, whatever that column holds.
    if (column == FFooter->FirstShownColumn()) return FooterCaption;
    const TFooterKind kind = ColumnFooter(f->FieldName());
    if (kind == TFooterKind::None) return QString();
    const QVariant v = FooterValue(f->FieldName());
    if (v.isNull()) return QString();
    if (kind == TFooterKind::Count) return QString::number(v.toInt());
    return FormatFieldValue(f, v);
}

// ---- display styles

void TDBGrid::SetColumnStyle(const QString& fieldName, TColumnStyle style)
{
    SettingsRef(fieldName).Style = style;
    viewport()->update();
}

TColumnStyle TDBGrid::ColumnStyle(const QString& fieldName) const
{
    const TColumnSettings* s = Settings(fieldName);
    return s ? s->Style : TColumnStyle::Text;
}

void TDBGrid::SetColumnPickList(const QString& fieldName, const QStringList& items) { SettingsRef(fieldName).PickList = items; }

QStringList TDBGrid::ColumnPickList(const QString& fieldName) const
{
    const TColumnSettings* s = Settings(fieldName);
    return s ? s->PickList : QStringList();
}

void TDBGrid::SetColumnLookup(const QString& fieldName, TClientDataSet* list, const QString& keyField, const QString& listField)
{
    TColumnSettings& s = SettingsRef(fieldName);
    s.LookupList = list;
    s.LookupKey = keyField;
    s.LookupField = listField;
    viewport()->update();
}

QString TDBGrid::LookupText(const QString& fieldName, const QVariant& key) const
{
    const TColumnSettings* s = Settings(fieldName);
    TClientDataSet* list = s ? s->LookupList.data() : nullptr;
    if (key.isNull()) return QString();
    if (list && list->Active()) {
        const TField* k = list->FindField(s->LookupKey);
        const TField* t = list->FindField(s->LookupField);
        if (k && t)
            for (int r = 0; r < list->RecordCount(); ++r) {
                const QVariant rk = list->RowValue(r, k->Index());
                if (rk == key || rk.toString() == key.toString()) return FormatFieldValue(t, list->RowValue(r, t->Index()));
            }
    }
    return key.toString();
}

void TDBGrid::SetColumnReadOnly(const QString& fieldName, bool on) { SettingsRef(fieldName).ReadOnly = on; }

bool TDBGrid::ColumnReadOnly(const QString& fieldName) const
{
    const TColumnSettings* s = Settings(fieldName);
    return s && (s->ReadOnly || s->Style == TColumnStyle::ReadOnly);
}

bool TDBGrid::ColumnEditable(int column) const
{
    TField* f = FModel->FieldOfColumn(column);
    if (!f || FModel->ReadOnly || ColumnReadOnly(f->FieldName())) return false;
    if (f->ReadOnly || f->FieldKind() != TFieldKind::fkData) return false;
    return !(CellReadOnly && CellReadOnly(f->FieldName()));
}

// ---- look and keys

void TDBGrid::SetLineOptions(quint8 options)
{
    FLineOptions = options;
    viewport()->update();
    FFooter->update();
}

void TDBGrid::SetNavOptions(quint8 options)
{
    FNavOptions = options;
    setSelectionBehavior((options & gnRowHighlight) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setTabKeyNavigation(options & gnTabMoves);
    viewport()->update();
}

void TDBGrid::keyPressEvent(QKeyEvent* e)
{
    if ((FNavOptions & gnEnterMovesRight) && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && state() != EditingState
        && (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier)) {
        if (!MoveToPendingCell() && !MoveToNextEditableCell())
            emit LastCellPassed();
        e->accept();
        return;
    }
    if (currentIndex().isValid() && e->key() == Qt::Key_Space && state() != EditingState) {
        const QModelIndex cur = currentIndex();
        if (ColumnEditable(cur.column()) && FDelegate->StyleAt(cur) == TColumnStyle::CheckBox) {
            FDelegate->ToggleCheck(FModel, cur);
            e->accept();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

void TDBGrid::mousePressEvent(QMouseEvent* e)
{
    const int rows = FModel->rowCount();
    const int bottom = rows > 0 ? rowViewportPosition(rows - 1) + rowHeight(rows - 1) : 0;
    if (e->button() == Qt::LeftButton && !indexAt(e->position().toPoint()).isValid() && e->position().y() > bottom && FModel->DataSet()) {
        e->accept();
        emit AppendRequested();
        return;
    }
    QTableView::mousePressEvent(e);
}

// ---- keyboard entry

void TDBGrid::SetColumnEntry(const QString& fieldName, TColumnEntry handler) { SettingsRef(fieldName).Entry = std::move(handler); }

void TDBGrid::SetColumnLookupFilter(const QString& fieldName, const QString& listField, std::function<QVariant()> value)
{
    TColumnSettings& s = SettingsRef(fieldName);
    s.LookupFilterField = listField;
    s.LookupFilterValue = std::move(value);
}

int TDBGrid::FirstEditableColumn() const
{
    QHeaderView* h = horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (!h->isSectionHidden(c) && ColumnEditable(c))
            return c;
    }
    return -1;
}

bool TDBGrid::MoveToNextEditableCell()
{
    const QModelIndex cur = currentIndex();
    QHeaderView* h = horizontalHeader();
    const int rows = FModel->rowCount();
    if (rows == 0)
        return false;
    int row = cur.isValid() ? cur.row() : 0;
    int visual = cur.isValid() ? h->visualIndex(cur.column()) + 1 : 0;
    for (;; ++visual) {
        if (visual >= h->count()) {
            if (row + 1 >= rows)
                return false;
            ++row;
            visual = 0;
        }
        const int logical = h->logicalIndex(visual);
        if (!h->isSectionHidden(logical) && ColumnEditable(logical)) {
            setCurrentIndex(FModel->index(row, logical));
            return true;
        }
    }
}

void TDBGrid::SetNextCell(const QString& fieldName, bool openEditor)
{
    FNextField = fieldName;
    FNextOpensEditor = openEditor;
}

bool TDBGrid::GotoField(const QString& fieldName, bool openEditor)
{
    const int col = FModel->ColumnOfField(fieldName);
    if (col < 0 || isColumnHidden(col))
        return false;
    const int row = currentIndex().isValid() ? currentIndex().row() : std::max(0, FModel->DataSet() ? FModel->DataSet()->RecNo() - 1 : 0);
    if (row >= FModel->rowCount())
        return false;
    const QModelIndex target = FModel->index(row, col);
    setCurrentIndex(target);
    if (openEditor && ColumnEditable(col))
        edit(target);
    return true;
}

bool TDBGrid::MoveToPendingCell()
{
    if (FNextField.isEmpty())
        return false;
    const QString field = FNextField;
    const bool open = FNextOpensEditor;
    FNextField.clear();
    return GotoField(field, open);
}

bool TDBGrid::EnterInEditor(QWidget* editor)
{
    const int refusedBefore = FRefusedEdits;
    emit FDelegate->commitData(editor);
    if (FRefusedEdits != refusedBefore) {
        // The value was refused: the editor keeps the text and the focus.
        if (auto* le = qobject_cast<QLineEdit*>(editor))
            le->selectAll();
        editor->setFocus();
        return true;
    }
    // What the entry did may have closed the editor already (lines added or dropped).
    if (state() == EditingState)
        emit FDelegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (!MoveToPendingCell() && !MoveToNextEditableCell())
        emit LastCellPassed();
    return true;
}

QWidget* TDBGrid::OpenEditor() const
{
    if (state() != EditingState)
        return nullptr;
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (w->parentWidget() == viewport())
            return w;
    return nullptr;
}

bool TDBGrid::PostEditor()
{
    QWidget* editor = OpenEditor();
    if (!editor)
        return true;
    const int refusedBefore = FRefusedEdits;
    commitData(editor);
    if (FRefusedEdits != refusedBefore)
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void TDBGrid::CancelEditor()
{
    if (QWidget* editor = OpenEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

// ---- layout

void TDBGrid::SetColumnLayout(const QVector<TGridColumnLayout>& columns)
{
    FLayout = columns;
    ApplyColumnLayout();
}

void TDBGrid::SetColumnDisplayFormat(const QString& fieldName, const QString& format)
{
    SettingsRef(fieldName).DisplayFormat = format;
    if (TClientDataSet* ds = FModel->DataSet())
        if (TField* f = ds->Active() ? ds->FindField(fieldName) : nullptr)
            f->DisplayFormat = format;
    viewport()->update();
}

void TDBGrid::ApplyColumnLayout()
{
    TClientDataSet* ds = FModel->DataSet();
    if (!ds || !ds->Active())
        return;
    for (auto it = FColumns.cbegin(); it != FColumns.cend(); ++it)
        if (!it->DisplayFormat.isEmpty())
            if (TField* f = ds->FindField(it.key()))
                f->DisplayFormat = it->DisplayFormat;
    if (FLayout.isEmpty())
        return;
    QHeaderView* h = horizontalHeader();
    QVector<int> shown;
    QVector<int> widths;
    for (const TGridColumnLayout& c : std::as_const(FLayout)) {
        const int col = FModel->ColumnOfField(c.Field);
        if (col < 0 || shown.contains(col))
            continue;
        if (TField* f = FModel->FieldOfColumn(col); f && !c.Title.isEmpty())
            f->DisplayLabel = c.Title;
        shown << col;
        widths << std::max(20, c.Width);
    }
    for (int col = 0; col < FModel->columnCount(); ++col)
        setColumnHidden(col, !shown.contains(col));
    for (int i = 0; i < shown.size(); ++i) {
        h->moveSection(h->visualIndex(shown[i]), i);
        setColumnWidth(shown[i], widths[i]);
    }
    FFooter->update();
}

int TDBGrid::FooterHeight() const
{
    return FShowFooter ? std::max(fontMetrics().height(), QFontMetrics(FooterCaptionFont).height()) + 8 : 0;
}

void TDBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    const int h = FooterHeight();
    const QMargins m = viewportMargins();
    if (m.bottom() != h) setViewportMargins(m.left(), m.top(), m.right(), h);
    if (FShowFooter) {
        const QRect vg = viewport()->geometry();
        FFooter->setGeometry(vg.left(), vg.bottom() + 1, vg.width(), h);
        FFooter->raise();
    }
}

void TDBGrid::SyncFromDataSet(int row)
{
    if (FSyncing) return;
    FSyncing = true;
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    if (row >= 0 && row < FModel->rowCount())
        selectionModel()->setCurrentIndex(FModel->index(row, col), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FSyncing = false;
}

void TDBGrid::SyncToDataSet(const QModelIndex& current, const QModelIndex&)
{
    if (FSyncing || !current.isValid()) return;
    TClientDataSet* ds = FModel->DataSet();
    if (!ds || !ds->Active() || ds->RecNo() == current.row() + 1) return;
    try {
        ds->SetRecNo(current.row() + 1);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ReportError(this, e.Message());
    }
    if (ds->RecNo() != current.row() + 1) SyncFromDataSet(ds->RecNo() - 1);
}
