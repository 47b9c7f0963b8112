#include "host/MasterDataForms.h"

#include "host/KQParams.h"
#include "host/Lookups.h"
#include "host/MainWindow.h"
#include "host/Messages.h"
#include "host/Privileges.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "platform/DBControls.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

using F = TMasterFieldType;

QString NumberText(const QVariant& v, bool money)
{
    if (v.isNull() || v.toString().isEmpty())
        return QString();
    const double d = v.toDouble();
    return money ? QString::number(d, 'f', 2) : QString::number(d, 'g', 12);
}

// A number typed into a table cell: empty is `empty`, anything else must read as a number.
bool CellNumber(const QTableWidget* t, int row, int column, QVariant* out, const QVariant& empty = 0.0)
{
    const QTableWidgetItem* item = t->item(row, column);
    const QString text = item ? item->text().trimmed() : QString();
    if (text.isEmpty()) {
        *out = empty;
        return true;
    }
    bool ok = false;
    const double d = text.toDouble(&ok);
    *out = d;
    return ok;
}

QString CellText(const QTableWidget* t, int row, int column)
{
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

void SetCell(QTableWidget* t, int row, int column, const QString& text, bool editable = true, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    t->setItem(row, column, item);
}

const char* const kUnitColumns[] = {"单位", "换算率", "条码", "称重码", "参考进价", "零售价", "一级批发价", "二级批发价",
                                    "三级批发价", "四级批发价", "五级批发价", "最低售价", "最高进价"};
enum { kUnitName, kUnitRate, kUnitBarcode, kUnitWeight, kUnitPPrice, kUnitSPrice, kUnitL1, kUnitMinS = kUnitL1 + 5, kUnitMaxP, kUnitColumnCount };

const char* const kContactColumns[] = {"姓名", "职务", "电话", "手机", "电子邮件", "主联系人"};
enum { kContactName, kContactPosition, kContactPhone, kContactMobile, kContactEmail, kContactMaster, kContactColumnCount };

QPushButton* Button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// A table of rows under a caption, with its add and remove buttons below it.
struct TTableBox {
    QGroupBox* Box;
    QTableWidget* Table;
    QPushButton* Add;
    QPushButton* Remove;
};
template <size_t N>
TTableBox TableBox(QWidget* parent, const QString& title, const char* name, const char* const (&headers)[N], const int (&widths)[N],
                   const QString& addText, const char* addName, const QString& removeText, const char* removeName)
{
    auto* box = new QGroupBox(title, parent);
    auto* v = new QVBoxLayout(box);
    auto* table = new QTableWidget(0, int(N), box);
    table->setObjectName(QString::fromLatin1(name));
    QStringList labels;
    for (const char* h : headers)
        labels << QString::fromUtf8(h);
    table->setHorizontalHeaderLabels(labels);
    table->verticalHeader()->setDefaultSectionSize(22);
    for (size_t c = 0; c < N; ++c)
        table->setColumnWidth(int(c), widths[c]);
    auto* buttons = new QHBoxLayout;
    QPushButton* add = Button(addText, addName, box);
    QPushButton* remove = Button(removeText, removeName, box);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    v->addWidget(table, 1);
    v->addLayout(buttons);
    return {box, table, add, remove};
}

// The check box of a contact's "master" column.
QTableWidgetItem* MasterItem(bool checked)
{
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace

// ---------------------------------------------------------------- the editor

TMasterEditDialog::TMasterEditDialog(TMasterKind kind, int id, TClientConnection* con, const TMasterSession& session, QWidget* parent)
    : QDialog(parent), FEditor(kind, con, session)
{
    const TMasterKindInfo& info = FEditor.Info();
    setObjectName(info.Name + QStringLiteral("EditForm"));
    if (id > 0 && !FEditor.Load(id))
        throw Exception(QStringLiteral("该%1已被删除！").arg(info.Caption));
    setWindowTitle(QStringLiteral("%1资料 - %2").arg(info.Caption, FEditor.IsNew() ? QStringLiteral("新增") : QStringLiteral("修改")));

    auto* root = new QVBoxLayout(this);
    QWidget* fields = BuildFields();
    if (kind == TMasterKind::Goods) {
        auto* top = new QHBoxLayout;
        top->addWidget(BuildTypeTree());
        top->addWidget(fields, 1);
        root->addLayout(top);
        root->addWidget(BuildUnits(), 1);
    } else {
        root->addWidget(fields);
        if (kind == TMasterKind::Client || kind == TMasterKind::Vendor)
            root->addWidget(BuildContacts(), 1);
        if (kind == TMasterKind::Store)
            root->addWidget(BuildOperators(), 1);
        else if (kind != TMasterKind::Client && kind != TMasterKind::Vendor)
            root->addStretch();
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnSave = Button(QStringLiteral("保存(&S)"), "btnSave", this);
    QPushButton* cancel = Button(QStringLiteral("取消"), "btnCancel", this);
    buttons->addWidget(btnSave);
    buttons->addWidget(cancel);
    root->addLayout(buttons);
    connect(btnSave, &QPushButton::clicked, this, [this] { TrySave(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    const bool mayWrite = FEditor.IsNew() ? FEditor.MayAdd() : FEditor.MayEdit();
    btnSave->setEnabled(mayWrite);

    ShowValues();
    if (kind == TMasterKind::Goods)
        resize(980, 640);
    else if (kind == TMasterKind::Client || kind == TMasterKind::Vendor)
        resize(760, 600);
    else
        resize(620, kind == TMasterKind::Store ? 480 : 320);
}

QWidget* TMasterEditDialog::BuildFields()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* flags = new QHBoxLayout;
    int cell = 0;
    QList<QPair<QLabel*, QWidget*>> memos;
    for (const TMasterField& f : FEditor.Info().Fields) {
        if (FEditor.Kind() == TMasterKind::Goods && f.Name == QLatin1String("goodstypeid"))
            continue; // chosen in the type tree
        const QString name = f.Name;
        QWidget* control = nullptr;
        const bool readOnly = f.ReadOnly || (f.NewOnly && !FEditor.IsNew());
        switch (f.Type) {
        case F::Text:
        case F::Integer:
        case F::Number:
        case F::Money: {
            auto* e = new QLineEdit(box);
            if (f.Type == F::Text && f.MaxLength > 0)
                e->setMaxLength(f.MaxLength);
            if (f.Type != F::Text)
                e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            e->setReadOnly(readOnly);
            if (readOnly) {
                // What the user cannot change does not look like an entry field.
                QPalette p = e->palette();
                p.setColor(QPalette::Base, p.color(QPalette::Window));
                e->setPalette(p);
                e->setFocusPolicy(Qt::ClickFocus);
            }
            connect(e, &QLineEdit::textEdited, this, [this, name](const QString& t) { FieldEdited(name, t); });
            control = e;
            break;
        }
        case F::Flag:
        case F::Bool: {
            auto* c = new QCheckBox(f.Caption, box);
            const bool flag = f.Type == F::Flag;
            connect(c, &QCheckBox::toggled, this, [this, name, flag](bool on) {
                FieldEdited(name, flag ? QVariant(on ? QStringLiteral("T") : QStringLiteral("F")) : QVariant(on ? 1 : 0));
            });
            c->setObjectName(name);
            c->setEnabled(!readOnly);
            flags->addWidget(c);
            FControls.insert(name.toLower(), c);
            continue;
        }
        case F::Choice: {
            auto* c = new QComboBox(box);
            if (!f.Required)
                c->addItem(f.NoneText, f.NoneValue);
            for (const auto& choice : MasterChoices(FEditor.Connection(), f))
                c->addItem(choice.second, choice.first);
            c->setEnabled(!readOnly);
            connect(c, qOverload<int>(&QComboBox::activated), this, [this, name, c](int i) { FieldEdited(name, c->itemData(i)); });
            control = c;
            break;
        }
        case F::Memo: {
            auto* m = new QPlainTextEdit(box);
            m->setTabChangesFocus(true);
            m->setFixedHeight(46);
            m->setReadOnly(readOnly);
            connect(m, &QPlainTextEdit::textChanged, this, [this, name, m] { FieldEdited(name, m->toPlainText()); });
            auto* label = new QLabel(f.Caption, box);
            label->setBuddy(m);
            m->setObjectName(name);
            FControls.insert(name.toLower(), m);
            memos.append({label, m});
            continue;
        }
        }
        control->setObjectName(name);
        FControls.insert(name.toLower(), control);
        // An opening figure is the bills' to change once the row exists.
        QString caption = f.NewOnly && !FEditor.IsNew() && f.Caption.startsWith(QStringLiteral("期初")) ? f.Caption.mid(2) : f.Caption;
        auto* label = new QLabel(f.Required ? caption + QStringLiteral(" *") : caption, box);
        label->setBuddy(control);
        const int row = cell / 2;
        const int col = (cell % 2) * 2;
        grid->addWidget(label, row, col);
        grid->addWidget(control, row, col + 1);
        ++cell;
    }
    int row = (cell + 1) / 2;
    if (flags->count() > 0) {
        flags->addStretch();
        grid->addLayout(flags, row++, 1, 1, 3);
    } else {
        delete flags;
    }
    for (const auto& memo : memos) {
        grid->addWidget(memo.first, row, 0);
        grid->addWidget(memo.second, row++, 1, 1, 3);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* TMasterEditDialog::BuildTypeTree()
{
    auto* box = new QGroupBox(QStringLiteral("货品类别"), this);
    auto* v = new QVBoxLayout(box);
    tvGoodsType = new QTreeWidget(box);
    tvGoodsType->setObjectName(QStringLiteral("tvGoodsType"));
    tvGoodsType->setHeaderHidden(true);
    tvGoodsType->setFixedWidth(190);
    connect(tvGoodsType, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item || FLoading)
            return;
        const int id = item->data(0, Qt::UserRole).toInt();
        FieldEdited(QStringLiteral("goodstypeid"), id > 0 ? QVariant(id) : QVariant());
    });
    QPushButton* add = Button(QStringLiteral("新增类别"), "btnAddType", box);
    connect(add, &QPushButton::clicked, this, &TMasterEditDialog::AddType);
    add->setEnabled(FEditor.MayAdd());
    v->addWidget(tvGoodsType, 1);
    v->addWidget(add);
    return box;
}

void TMasterEditDialog::FillTypeTree(int selectId)
{
    FLoading = true;
    tvGoodsType->clear();
    auto* none = new QTreeWidgetItem(tvGoodsType, QStringList{QStringLiteral("（不分类）")});
    none->setData(0, Qt::UserRole, 0);
    QHash<int, QTreeWidgetItem*> items;
    QTreeWidgetItem* chosen = none;
    for (const TGoodsTypeNode& n : GoodsTypeTree(FEditor.Connection())) {
        QTreeWidgetItem* parent = items.value(n.ParentID);
        auto* item = parent ? new QTreeWidgetItem(parent, QStringList{n.Name}) : new QTreeWidgetItem(tvGoodsType, QStringList{n.Name});
        item->setData(0, Qt::UserRole, n.ID);
        items.insert(n.ID, item);
        if (n.ID == selectId)
            chosen = item;
    }
    tvGoodsType->expandAll();
    tvGoodsType->setCurrentItem(chosen);
    FLoading = false;
}

void TMasterEditDialog::AddType()
{
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("GoodsTypeNameForm"));
    ask.setWindowTitle(QStringLiteral("新增货品类别"));
    QTreeWidgetItem* current = tvGoodsType->currentItem();
    const int parentId = current ? current->data(0, Qt::UserRole).toInt() : 0;
    ask.setLabelText(parentId > 0 ? QStringLiteral("在“%1”下新增类别，名称：").arg(current->text(0)) : QStringLiteral("新增一级类别，名称："));
    ask.setOkButtonText(QStringLiteral("确定"));
    ask.setCancelButtonText(QStringLiteral("取消"));
    if (ExecModal(&ask) != QDialog::Accepted)
        return;
    try {
        const int id = AddGoodsType(FEditor.Connection(), FEditor.Session(), parentId, ask.textValue());
        FillTypeTree(id);
        FieldEdited(QStringLiteral("goodstypeid"), id);
        OpenLookupTable(QStringLiteral("GoodsType_T"));
    } catch (const Exception& e) {
        ShowInformation(e.Message());
    }
}

QWidget* TMasterEditDialog::BuildUnits()
{
    const int widths[] = {56, 56, 110, 56, 68, 68, 68, 68, 68, 68, 68, 68, 68};
    const TTableBox t = TableBox(this, QStringLiteral("单位与价格（第一行为基本单位）"), "tblUnits", kUnitColumns, widths,
                                 QStringLiteral("增加单位"), "btnAddUnit", QStringLiteral("删除单位"), "btnDeleteUnit");
    tblUnits = t.Table;
    connect(t.Add, &QPushButton::clicked, this, [this] {
        const int row = tblUnits->rowCount();
        tblUnits->insertRow(row);
        for (int c = kUnitRate; c < kUnitColumnCount; ++c)
            SetCell(tblUnits, row, c, QString(), true, c != kUnitBarcode && c != kUnitWeight);
        tblUnits->setCurrentCell(row, kUnitName);
    });
    connect(t.Remove, &QPushButton::clicked, this, [this] {
        const int row = tblUnits->currentRow();
        if (row <= 0) {
            ShowInformation(row == 0 ? QStringLiteral("基本单位不能删除！") : QStringLiteral("请先选择要删除的单位！"));
            return;
        }
        tblUnits->removeRow(row);
    });
    return t.Box;
}

void TMasterEditDialog::ShowUnits()
{
    tblUnits->setRowCount(FEditor.Units.size());
    for (int r = 0; r < FEditor.Units.size(); ++r) {
        const TGoodsUnitRow& u = FEditor.Units.at(r);
        SetCell(tblUnits, r, kUnitName, u.Name);
        tblUnits->item(r, kUnitName)->setData(Qt::UserRole, u.UnitID);
        SetCell(tblUnits, r, kUnitRate, r == 0 ? QStringLiteral("1") : NumberText(u.Rate, false), r != 0, true);
        SetCell(tblUnits, r, kUnitBarcode, u.Barcode);
        SetCell(tblUnits, r, kUnitWeight, u.WeightCode);
        SetCell(tblUnits, r, kUnitPPrice, NumberText(u.PPrice, true), true, true);
        SetCell(tblUnits, r, kUnitSPrice, NumberText(u.SPrice, true), true, true);
        for (int l = 0; l < 5; ++l)
            SetCell(tblUnits, r, kUnitL1 + l, NumberText(u.LPrice[l], true), true, true);
        SetCell(tblUnits, r, kUnitMinS, NumberText(u.MinSPrice, true), true, true);
        SetCell(tblUnits, r, kUnitMaxP, NumberText(u.MaxPPrice, true), true, true);
    }
}

QWidget* TMasterEditDialog::BuildContacts()
{
    const int widths[] = {90, 80, 120, 120, 160, 70};
    const TTableBox t = TableBox(this, QStringLiteral("联系人"), "tblContacts", kContactColumns, widths, QStringLiteral("增加联系人"),
                                 "btnAddContact", QStringLiteral("删除联系人"), "btnDeleteContact");
    tblContacts = t.Table;
    connect(t.Add, &QPushButton::clicked, this, [this] {
        const int row = tblContacts->rowCount();
        tblContacts->insertRow(row);
        tblContacts->setItem(row, kContactMaster, MasterItem(row == 0));
        tblContacts->setCurrentCell(row, kContactName);
    });
    connect(t.Remove, &QPushButton::clicked, this, [this] {
        if (tblContacts->currentRow() >= 0)
            tblContacts->removeRow(tblContacts->currentRow());
    });
    return t.Box;
}

void TMasterEditDialog::ShowContacts()
{
    tblContacts->setRowCount(FEditor.Contacts.size());
    for (int r = 0; r < FEditor.Contacts.size(); ++r) {
        const TContactRow& c = FEditor.Contacts.at(r);
        SetCell(tblContacts, r, kContactName, c.Name);
        tblContacts->item(r, kContactName)->setData(Qt::UserRole, c.ID);
        SetCell(tblContacts, r, kContactPosition, c.Position);
        SetCell(tblContacts, r, kContactPhone, c.Phone);
        SetCell(tblContacts, r, kContactMobile, c.Mobile);
        SetCell(tblContacts, r, kContactEmail, c.Email);
        tblContacts->setItem(r, kContactMaster, MasterItem(c.IsMaster));
    }
}

QWidget* TMasterEditDialog::BuildOperators()
{
    auto* box = new QGroupBox(QStringLiteral("可以用该仓库开单的操作员（选项“只能对有权限的仓库开单”打开时起作用）"), this);
    auto* v = new QVBoxLayout(box);
    lstOperators = new QListWidget(box);
    lstOperators->setObjectName(QStringLiteral("lstOperators"));
    TClientDataSet ops;
    FEditor.Connection()->OpenDataSet(QStringLiteral("select opid, opname, code from operator where closed = 'F' order by code"), &ops);
    for (ops.First(); !ops.Eof(); ops.Next()) {
        auto* item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(ops.Fields(1)->AsString(), ops.Fields(2)->AsString()), lstOperators);
        item->setData(Qt::UserRole, ops.Fields(0)->AsInteger());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    v->addWidget(lstOperators);
    return box;
}

void TMasterEditDialog::ShowValues()
{
    FLoading = true;
    for (const TMasterField& f : FEditor.Info().Fields) {
        QWidget* w = FieldControl(f.Name);
        const QVariant v = FEditor.Value(f.Name);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(f.Type == F::Money || f.Type == F::Number ? NumberText(v, f.Type == F::Money) : v.toString());
        else if (auto* c = qobject_cast<QCheckBox*>(w))
            c->setChecked(v.toString() == QLatin1String("T") || v.toInt() == 1);
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
            m->setPlainText(v.toString());
        else if (auto* c = qobject_cast<QComboBox*>(w)) {
            int index = 0;
            for (int i = 0; i < c->count(); ++i)
                if (c->itemData(i).toString() == (v.isNull() ? f.NoneValue : v).toString())
                    index = i;
            c->setCurrentIndex(index);
        }
    }
    FLoading = false;
    if (tvGoodsType)
        FillTypeTree(FEditor.Value(QStringLiteral("goodstypeid")).toInt());
    if (tblUnits)
        ShowUnits();
    if (tblContacts)
        ShowContacts();
    if (lstOperators)
        for (int i = 0; i < lstOperators->count(); ++i) {
            QListWidgetItem* item = lstOperators->item(i);
            item->setCheckState(FEditor.Operators.contains(item->data(Qt::UserRole).toInt()) ? Qt::Checked : Qt::Unchecked);
        }
}

void TMasterEditDialog::FieldEdited(const QString& field, const QVariant& value)
{
    if (FLoading)
        return;
    FEditor.SetValue(field, value);
    // The pinyin initials follow the name unless the user typed their own.
    if (field == QLatin1String("name"))
        if (auto* py = qobject_cast<QLineEdit*>(FieldControl(QStringLiteral("pyassist"))))
            py->setText(FEditor.Value(QStringLiteral("pyassist")).toString());
}

void TMasterEditDialog::TakeTables()
{
    if (lstOperators) {
        FEditor.Operators.clear();
        for (int i = 0; i < lstOperators->count(); ++i)
            if (lstOperators->item(i)->checkState() == Qt::Checked)
                FEditor.Operators << lstOperators->item(i)->data(Qt::UserRole).toInt();
    }
    if (tblContacts) {
        FEditor.Contacts.clear();
        for (int r = 0; r < tblContacts->rowCount(); ++r) {
            TContactRow c;
            const QTableWidgetItem* name = tblContacts->item(r, kContactName);
            c.ID = name ? name->data(Qt::UserRole).toInt() : 0;
            c.Name = CellText(tblContacts, r, kContactName);
            c.Position = CellText(tblContacts, r, kContactPosition);
            c.Phone = CellText(tblContacts, r, kContactPhone);
            c.Mobile = CellText(tblContacts, r, kContactMobile);
            c.Email = CellText(tblContacts, r, kContactEmail);
            const QTableWidgetItem* master = tblContacts->item(r, kContactMaster);
            c.IsMaster = master && master->checkState() == Qt::Checked;
            FEditor.Contacts << c;
        }
    }
}

void TMasterEditDialog::GoTo(const TMasterProblem& p)
{
    QTableWidget* table = p.Field == QLatin1String("units") ? tblUnits : p.Field == QLatin1String("contacts") ? tblContacts : nullptr;
    if (table) {
        if (p.Row >= 0 && p.Row < table->rowCount())
            table->setCurrentCell(p.Row, 0);
        table->setFocus();
    } else if (QWidget* w = FieldControl(p.Field)) {
        w->setFocus();
    } else if (p.Field == QLatin1String("goodstypeid") && tvGoodsType) {
        tvGoodsType->setFocus();
    }
}

bool TMasterEditDialog::TrySave()
{
    TakeTables();
    TMasterProblem p;
    if (tblUnits) {
        // The table's numbers are read here; what they mean is the engine's to check.
        QVector<TGoodsUnitRow> units;
        for (int r = 0; r < tblUnits->rowCount() && p.IsEmpty(); ++r) {
            TGoodsUnitRow u;
            const QTableWidgetItem* name = tblUnits->item(r, kUnitName);
            u.UnitID = name ? name->data(Qt::UserRole).toInt() : 0;
            u.Name = CellText(tblUnits, r, kUnitName);
            u.Barcode = CellText(tblUnits, r, kUnitBarcode);
            u.WeightCode = CellText(tblUnits, r, kUnitWeight);
            QVariant n;
            auto number = [&](int column, double* out) {
                if (!p.IsEmpty())
                    return;
                if (!CellNumber(tblUnits, r, column, &n))
                    p = {QStringLiteral("第%1行的%2必须是数字！").arg(r + 1).arg(QString::fromUtf8(kUnitColumns[column])), QStringLiteral("units"), r};
                *out = n.toDouble();
            };
            number(kUnitRate, &u.Rate);
            if (r == 0)
                u.Rate = 1;
            number(kUnitPPrice, &u.PPrice);
            number(kUnitSPrice, &u.SPrice);
            number(kUnitMinS, &u.MinSPrice);
            number(kUnitMaxP, &u.MaxPPrice);
            for (int l = 0; l < 5 && p.IsEmpty(); ++l)
                if (!CellNumber(tblUnits, r, kUnitL1 + l, &u.LPrice[l], QVariant()))
                    p = {QStringLiteral("第%1行的%2必须是数字！").arg(r + 1).arg(QString::fromUtf8(kUnitColumns[kUnitL1 + l])), QStringLiteral("units"), r};
            units << u;
        }
        if (p.IsEmpty())
            FEditor.Units = units;
    }
    if (p.IsEmpty() && !FEditor.Save())
        p = FEditor.LastProblem();
    if (!p.IsEmpty()) {
        ShowInformation(p.Message);
        GoTo(p);
        return false;
    }
    accept();
    return true;
}

// ---------------------------------------------------------------- the list

TMasterListForm::TMasterListForm(TMasterKind kind, TClientConnection* con, const TMasterSession& session, bool findMode, QWidget* parent)
    : QWidget(parent), FKind(kind), FCon(con), FSession(session), FFindMode(findMode)
{
    const TMasterKindInfo& info = MasterKindInfo(kind);
    setObjectName(info.Name + QStringLiteral("ListForm"));
    setWindowTitle(QStringLiteral("%1资料").arg(info.Caption));
    FRows = new TClientDataSet(this);
    FSource = new TDataSource(FRows, this);

    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查找："), this));
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(kind == TMasterKind::Goods ? QStringLiteral("编码、名称、拼音码或条码") : QStringLiteral("编码、名称或拼音码"));
    top->addWidget(edtFind, 1);
    chkClosed = new QCheckBox(kind == TMasterKind::Employee ? QStringLiteral("显示离职") : QStringLiteral("显示停用"), this);
    chkClosed->setObjectName(QStringLiteral("chkClosed"));
    top->addWidget(chkClosed);
    root->addLayout(top);

    grdList = new TDBGrid(this);
    grdList->setObjectName(QStringLiteral("grdList"));
    grdList->SetDataSource(FSource);
    grdList->Model()->ReadOnly = true;
    grdList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdList->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdList->verticalHeader()->setDefaultSectionSize(22);
    root->addWidget(grdList, 1);

    auto* bottom = new QHBoxLayout;
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    bottom->addWidget(lblCount, 1);
    btnNew = Button(QStringLiteral("新增(&N)"), "btnNew", this);
    btnEdit = Button(QStringLiteral("修改(&E)"), "btnEdit", this);
    bottom->addWidget(btnNew);
    bottom->addWidget(btnEdit);
    if (findMode) {
        btnChoose = Button(QStringLiteral("选择(&O)"), "btnChoose", this);
        bottom->addWidget(btnChoose);
        connect(btnChoose, &QPushButton::clicked, this, &TMasterListForm::Choose);
    }
    btnClose = Button(findMode ? QStringLiteral("取消") : QStringLiteral("关闭(&C)"), "btnClose", this);
    bottom->addWidget(btnClose);
    root->addLayout(bottom);

    btnNew->setEnabled(FSession.Right(info.PrivilegeID, paNew));
    connect(btnNew, &QPushButton::clicked, this, [this] {
        const int id = AddNew();
        if (id > 0 && FFindMode)
            emit chosen(id);
    });
    connect(btnEdit, &QPushButton::clicked, this, &TMasterListForm::EditCurrent);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(edtFind, &QLineEdit::textChanged, this, &TMasterListForm::Refresh);
    connect(edtFind, &QLineEdit::returnPressed, this, [this] {
        if (FFindMode)
            Choose();
    });
    connect(chkClosed, &QCheckBox::toggled, this, &TMasterListForm::Refresh);
    connect(grdList, &QAbstractItemView::doubleClicked, this, [this] {
        if (FFindMode)
            Choose();
        else if (btnEdit->isEnabled())
            EditCurrent();
    });
    edtFind->installEventFilter(this);
    grdList->installEventFilter(this);
    resize(findMode ? 720 : 860, 480);
    Refresh();
}

bool TMasterListForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    // From the find line the arrows go on into the list, as they would in a drop-down; in
    // the list Enter takes the row when a row is wanted.
    if (watched == edtFind && (key == Qt::Key_Down || key == Qt::Key_PageDown) && FRows->RecordCount() > 0) {
        grdList->setFocus();
        return true;
    }
    if (watched == grdList && FFindMode && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        Choose();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

TMasterListForm::~TMasterListForm()
{
    // The grid goes before the rows it shows.
    delete grdList;
}

void TMasterListForm::SetShopFilter(int shopId)
{
    FShopFilter = shopId;
    Refresh();
}

int TMasterListForm::CurrentId() const
{
    if (!FRows->Active() || FRows->IsEmpty())
        return 0;
    return FRows->FieldByName(QStringLiteral("id"))->AsInteger();
}

bool TMasterListForm::SelectId(int id)
{
    return FRows->Active() && FRows->Locate(QStringLiteral("id"), id);
}

void TMasterListForm::Refresh()
{
    constexpr int kLimit = 1000;
    const int keep = CurrentId();
    try {
        SearchMasterRows(FCon, FKind, edtFind->text(), FRows, kLimit, chkClosed->isChecked(), FShopFilter);
    } catch (const Exception& e) {
        ShowError(QStringLiteral("读取%1资料失败：%2").arg(MasterKindInfo(FKind).Caption, e.Message()));
        return;
    }
    grdList->Model()->RefreshColumns();
    for (const TMasterListColumn& c : MasterKindInfo(FKind).ListColumns) {
        const int column = grdList->Model()->ColumnOfField(c.Field);
        if (column >= 0)
            grdList->setColumnWidth(column, c.Width);
    }
    if (keep > 0)
        SelectId(keep);
    const int count = FRows->RecordCount();
    lblCount->setText(count >= kLimit ? QStringLiteral("只显示前%1条，请输入更多的查找条件").arg(kLimit) : QStringLiteral("共%1条").arg(count));
    btnEdit->setEnabled(count > 0 && FSession.Right(MasterKindInfo(FKind).PrivilegeID, paEdit));
    if (btnChoose)
        btnChoose->setEnabled(count > 0);
}

int TMasterListForm::AddNew()
{
    const int id = ShowMasterEditor(FKind, 0, FCon, this);
    if (id > 0) {
        // The new row shows even when it does not match what was typed.
        edtFind->blockSignals(true);
        edtFind->clear();
        edtFind->blockSignals(false);
        Refresh();
        SelectId(id);
    }
    return id;
}

int TMasterListForm::EditCurrent()
{
    const int current = CurrentId();
    if (current <= 0)
        return 0;
    const int id = ShowMasterEditor(FKind, current, FCon, this);
    if (id > 0) {
        Refresh();
        SelectId(id);
    }
    return id;
}

void TMasterListForm::Choose()
{
    if (const int id = CurrentId(); id > 0)
        emit chosen(id);
}

TMasterFindDialog::TMasterFindDialog(TMasterKind kind, TClientConnection* con, const TMasterSession& session, QWidget* parent)
    : QDialog(parent)
{
    const TMasterKindInfo& info = MasterKindInfo(kind);
    setObjectName(info.Name + QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("查找%1").arg(info.Caption));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    FList = new TMasterListForm(kind, con, session, true, this);
    root->addWidget(FList);
    connect(FList, &TMasterListForm::chosen, this, [this](int id) {
        FChosen = id;
        accept();
    });
    // The list's 取消 closes the list widget only: the dialog goes with it.
    connect(FList->findChild<QPushButton*>(QStringLiteral("btnClose")), &QPushButton::clicked, this, &QDialog::reject);
    resize(FList->size());
}

// ---------------------------------------------------------------- entry points

TMasterSession HostMasterSession(TClientConnection* con)
{
    TMasterSession s = TMasterSession::FromConnection(con);
    s.Online = IsOnline();
    return s;
}

int ShowMasterEditor(TMasterKind kind, int id, TClientConnection* con, QWidget* parent)
{
    const TMasterSession session = HostMasterSession(con);
    const TMasterKindInfo& info = MasterKindInfo(kind);
    if (!session.Right(info.PrivilegeID, id > 0 ? paBrowse : paNew)) {
        ShowInformation(id > 0 ? QStringLiteral("您没有查看%1的权限！").arg(info.Caption) : QStringLiteral("您没有新增%1的权限！").arg(info.Caption));
        return 0;
    }
    try {
        TMasterEditDialog dialog(kind, id, con, session, parent);
        if (ExecModal(&dialog) != QDialog::Accepted || dialog.Editor().IsNew())
            return 0;
        for (const QString& lookup : info.LookupNames)
            if (TClientDataSet* ds = FindLookupDataSet(lookup); ds && ds->Active())
                OpenLookupTable(lookup);
        return dialog.Editor().Id();
    } catch (const Exception& e) {
        ShowError(e.Message());
        return 0;
    }
}

int FindMasterRow(TMasterKind kind, const QString& text, TClientConnection* con, int shopId, QWidget* parent)
{
    TMasterFindDialog dialog(kind, con, HostMasterSession(con), parent);
    if (shopId >= 0)
        dialog.List()->SetShopFilter(shopId);
    dialog.List()->FindEdit()->setText(text);
    if (ExecModal(&dialog) != QDialog::Accepted)
        return 0;
    return dialog.ChosenId();
}

TMasterListForm* ShowMasterList(TMasterKind kind, TClientConnection* con)
{
    const TMasterSession session = HostMasterSession(con);
    if (!session.Right(MasterKindInfo(kind).PrivilegeID, paBrowse)) {
        ShowInformation(QStringLiteral("您没有该功能的操作权限！"));
        return nullptr;
    }
    auto* form = new TMasterListForm(kind, con, session);
    ShowMdiChild(form);
    return form;
}

namespace {

int ShowMasterListFunction(const QString&, const QString& subject, KQParams* params)
{
    TMasterKind kind;
    if (!MasterKindFromName(subject, &kind)) {
        ShowInformation(QStringLiteral("没有名为“%1”的基础资料！").arg(subject));
        return -1;
    }
    TMasterListForm* form = ShowMasterList(kind, g_DefaultCon);
    if (params)
        params->AddValue(QStringLiteral("Form"), static_cast<const QObject*>(form));
    return form ? 0 : -1;
}

// The key a lookup control shows now (null when none).
QVariant ControlKey(QWidget* control)
{
    if (auto* combo = qobject_cast<TDBLookupCombo*>(control)) {
        if (TField* f = combo->Field())
            return f->Value();
        return combo->KeyValue();
    }
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentData();
    return QVariant();
}

// Puts a key into the control: into its field when it edits one, else as its current item.
bool SetControlKey(QWidget* control, const QVariant& key, TMasterKind kind)
{
    if (auto* combo = qobject_cast<TDBLookupCombo*>(control); combo && combo->Field()) {
        TField* f = combo->Field();
        if (f->DataSet()->State() == TDataSetState::dsBrowse)
            f->DataSet()->Edit();
        f->SetValue(key);
        combo->ReloadList();
        return true;
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    if (!combo)
        return false;
    if (key.isNull()) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->clearEditText();
        return true;
    }
    int index = combo->findData(key);
    if (index < 0) {
        TMasterEditor row(kind, g_DefaultCon, HostMasterSession(g_DefaultCon));
        const bool found = row.Load(key.toInt());
        const QString name = found ? row.Value(row.Info().Field(QStringLiteral("shortname")) ? QStringLiteral("shortname") : QStringLiteral("name")).toString()
                                   : key.toString();
        combo->addItem(name, key);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
    return true;
}

int AddNewDlgFunction(const QString&, const QString& subject, KQParams* params)
{
    if (!params)
        return -1;
    auto* control = qobject_cast<QWidget*>(params->GetObject(QStringLiteral("Combo")));
    QString caption = params->GetString(QStringLiteral("Caption"), subject).trimmed();
    caption.remove(u'#').remove(u'&');
    params->AddValue(QStringLiteral("Result"), false);
    QString list = params->GetString(QStringLiteral("ListDataSetName"));
    if (list.isEmpty() && control)
        list = control->property("ListDataSetName").toString();
    auto* dbCombo = qobject_cast<TDBLookupCombo*>(control);
    if (list.isEmpty() && dbCombo && dbCombo->Field())
        list = dbCombo->Field()->FieldName();
    TMasterKind kind;
    if (caption == QStringLiteral("置空")) {
        if (control && SetControlKey(control, QVariant(), TMasterKind::Goods))
            params->AddValue(QStringLiteral("Result"), true);
        return 0;
    }
    if (!MasterKindFromName(list, &kind)) {
        ShowInformation(QStringLiteral("该下拉列表没有对应的基础资料，不能%1！").arg(caption));
        return -1;
    }
    TClientConnection* con = g_DefaultCon;
    int id = 0;
    if (caption == QStringLiteral("新增")) {
        id = ShowMasterEditor(kind, 0, con, control);
    } else if (caption == QStringLiteral("编辑") || caption == QStringLiteral("修改")) {
        const QVariant key = control ? ControlKey(control) : QVariant();
        if (key.isNull() || key.toInt() <= 0) {
            ShowInformation(QStringLiteral("请先选择要修改的%1！").arg(MasterKindInfo(kind).Caption));
            return 0;
        }
        id = ShowMasterEditor(kind, key.toInt(), con, control);
    } else if (caption == QStringLiteral("查找")) {
        QString typed;
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->isEditable() && combo->findText(combo->currentText()) < 0)
            typed = combo->currentText();
        const bool ownBranch = params->GetInt(QStringLiteral("ItemType")) == 1 && IsOnline();
        id = FindMasterRow(kind, typed, con, ownBranch ? AccSetData.ShopID : -1, control);
    } else {
        ShowInformation(QStringLiteral("不认识的下拉菜单项“%1”！").arg(caption));
        return -1;
    }
    params->AddValue(QStringLiteral("ID"), id);
    if (id > 0 && control && SetControlKey(control, id, kind))
        params->AddValue(QStringLiteral("Result"), true);
    return 0;
}

} // namespace

void RegisterMasterDataFunctions()
{
    RegistFunction(QStringLiteral("SHOWMASTERLIST"), ShowMasterListFunction);
    RegistFunction(QStringLiteral("ProShowAddNewDlgByType"), AddNewDlgFunction);
}
