#include "templates/SysEditors.h"

#include "host/KQParams.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "webrpc/Connection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString TF(bool v) { return v ? QStringLiteral("T") : QStringLiteral("F"); }
bool IsT(TClientDataSet* ds, const char* field)
{
    return ds->FieldByName(QString::fromLatin1(field))->AsString().trimmed().compare(QLatin1String("T"), Qt::CaseInsensitive) == 0;
}
template <class T> T* Named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
// The dialog's buttons, right-aligned under the rest.
void AddButtonRow(QBoxLayout* root, std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    root->addLayout(row);
}
} // namespace

// ---------------------------------------------------------------- system field

TSysFieldInfoForm::TSysFieldInfoForm(int windowId, int itemId, QWidget* parent)
    : QDialog(parent), FWindowID(windowId), FItemID(itemId)
{
    setObjectName(QStringLiteral("SysFieldInfoForm"));
    setWindowTitle(QStringLiteral("系统字段"));
    const QString win = QString::number(windowId);

    qryField = new TClientQuery(this, g_DefaultCon);
    qryField->UpdateTable = QStringLiteral("FIELDINFO");
    qryField->KeyFields = QStringList{QStringLiteral("WINDOWID"), QStringLiteral("ITEMID")};
    qryField->SQL = QStringLiteral(" select * from fieldinfo where windowid = ") + win + QStringLiteral(" and itemid =") + QString::number(itemId);
    qryField->OpenQuery();
    qryTemplated = new TClientQuery(this, g_DefaultCon);
    qryTemplated->UpdateTable = QStringLiteral("TEMPLATED");
    qryTemplated->KeyFields = QStringList{QStringLiteral("WINDOWID"), QStringLiteral("TEMPLATEID"), QStringLiteral("ITEMID")};
    qryTemplated->SQL = QStringLiteral(" select * from templated where windowid = ") + win + QStringLiteral(" and itemid =")
                        + QString::number(itemId) + QStringLiteral(" and templateid = 1");
    qryTemplated->OpenQuery();
    FNew = qryField->IsEmpty();

    auto* root = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cbTableType = Named(new QComboBox(this), "cbTableType");
    cbTableType->addItems({QStringLiteral("单据标题"), QStringLiteral("单据体"), QStringLiteral("单据明细"), QStringLiteral("单据尾")});
    form->addRow(QStringLiteral("所在位置"), cbTableType);
    edtDataField = Named(new QLineEdit(this), "edtDataField");
    form->addRow(QStringLiteral("数据字段"), edtDataField);
    edtDefaultName = Named(new QLineEdit(this), "edtDefaultName");
    form->addRow(QStringLiteral("缺省标题"), edtDefaultName);
    chkAlwaysDisplay = Named(new QCheckBox(QStringLiteral("一定显示"), this), "chkAlwaysDisplay");
    chkAlwaysPrint = Named(new QCheckBox(QStringLiteral("一定打印"), this), "chkAlwaysPrint");
    chkVisible = Named(new QCheckBox(QStringLiteral("可见"), this), "chkVisible");
    auto* flags = new QHBoxLayout;
    flags->addWidget(chkAlwaysDisplay);
    flags->addWidget(chkAlwaysPrint);
    flags->addWidget(chkVisible);
    form->addRow(QString(), flags);
    spnWidth = Named(new QSpinBox(this), "spnWidth");
    spnWidth->setRange(0, 2000);
    form->addRow(QStringLiteral("宽度"), spnWidth);
    cbSubType = Named(new QComboBox(this), "cbSubType");
    cbSubType->addItems({QStringLiteral("编辑框"), QStringLiteral("复选框"), QStringLiteral("日期"), QStringLiteral("下拉框"),
                         QStringLiteral("显示标签"), QStringLiteral("凭证科目下拉框"), QStringLiteral("带按钮的编辑框")});
    form->addRow(QStringLiteral("编辑类型"), cbSubType);
    spnTag = Named(new QSpinBox(this), "spnTag");
    spnTag->setRange(-1000000, 1000000);
    form->addRow(QStringLiteral("Tag"), spnTag);
    root->addLayout(form);

    grpList = Named(new QGroupBox(QStringLiteral("下拉列表"), this), "grpList");
    auto* listForm = new QFormLayout(grpList);
    edtListDataSetName = Named(new QLineEdit(grpList), "edtListDataSetName");
    listForm->addRow(QStringLiteral("下拉列表对象名"), edtListDataSetName);
    edtListField = Named(new QLineEdit(grpList), "edtListField");
    listForm->addRow(QStringLiteral("显示字段"), edtListField);
    edtListDataField = Named(new QLineEdit(grpList), "edtListDataField");
    listForm->addRow(QStringLiteral("下拉显示字段"), edtListDataField);
    edtDropDownFilter = Named(new QLineEdit(grpList), "edtDropDownFilter");
    listForm->addRow(QStringLiteral("下拉过滤条件"), edtDropDownFilter);
    edtKeyField = Named(new QLineEdit(grpList), "edtKeyField");
    listForm->addRow(QStringLiteral("下拉表键值名"), edtKeyField);
    root->addWidget(grpList);

    auto* box = new QDialogButtonBox(this);
    btnOK = Named(box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole), "btnOK");
    btnCancel = Named(box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole), "btnCancel");
    root->addWidget(box);
    connect(btnOK, &QPushButton::clicked, this, &TSysFieldInfoForm::OKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbSubType, &QComboBox::currentIndexChanged, this, &TSysFieldInfoForm::SubTypeChanged);

    if (FNew) {
        cbTableType->setCurrentIndex(1);
        chkVisible->setChecked(true);
        spnWidth->setValue(80);
        cbSubType->setCurrentIndex(0);
    } else {
        TClientQuery* q = qryField;
        cbTableType->setCurrentIndex(qBound(0, q->FieldByName(QStringLiteral("TABLETYPE"))->AsInteger() - 1, 3));
        edtDataField->setText(q->FieldByName(QStringLiteral("DATAFIELD"))->AsString());
        edtDefaultName->setText(q->FieldByName(QStringLiteral("DEFAULTNAME"))->AsString());
        chkAlwaysDisplay->setChecked(IsT(q, "ALWAYSDISPLAY"));
        chkAlwaysPrint->setChecked(IsT(q, "ALWAYSPRINT"));
        chkVisible->setChecked(IsT(q, "VISIBLE"));
        spnWidth->setValue(q->FieldByName(QStringLiteral("WIDTH"))->AsInteger());
        cbSubType->setCurrentIndex(qBound(0, q->FieldByName(QStringLiteral("SUBTYPE"))->AsInteger() - 1, 6));
        spnTag->setValue(q->FieldByName(QStringLiteral("TAG"))->AsInteger());
        edtListDataSetName->setText(q->FieldByName(QStringLiteral("LISTDATASETNAME"))->AsString());
        edtListField->setText(q->FieldByName(QStringLiteral("LISTFIELD"))->AsString());
        edtListDataField->setText(q->FieldByName(QStringLiteral("LISTDATAFIELD"))->AsString());
        edtDropDownFilter->setText(q->FieldByName(QStringLiteral("DROPDOWNFILTER"))->AsString());
        edtKeyField->setText(q->FieldByName(QStringLiteral("KEYFIELD"))->AsString());
    }
    SubTypeChanged();
}

TSysFieldInfoForm::~TSysFieldInfoForm() = default;

void TSysFieldInfoForm::SubTypeChanged()
{
    const int subType = cbSubType->currentIndex() + 1;
    grpList->setVisible(subType == 4 || subType == 6);
}

void TSysFieldInfoForm::OKClick()
{
    if (edtDataField->text().trimmed().isEmpty()) {
        ShowInformation(QStringLiteral("请输入数据字段！"));
        edtDataField->setFocus();
        return;
    }
    try {
        const int subType = cbSubType->currentIndex() + 1;
        const bool list = subType == 4 || subType == 6;
        auto text = [list](QLineEdit* e) { return list && !e->text().trimmed().isEmpty() ? QVariant(e->text().trimmed()) : QVariant(); };
        int item = FItemID;
        if (FNew) {
            item = g_DefaultCon->ExecuteScalar(QStringLiteral(" select isnull(max(itemid),0)+1 as itemid from fieldinfo where windowid = ")
                                               + QString::number(FWindowID)).toInt();
            qryField->Append();
            qryField->FieldByName(QStringLiteral("languageid"))->SetValue(1);
            qryField->FieldByName(QStringLiteral("windowid"))->SetValue(FWindowID);
            qryField->FieldByName(QStringLiteral("itemid"))->SetValue(item);
            qryField->FieldByName(QStringLiteral("serial"))->SetValue(item);
        } else {
            qryField->Edit();
        }
        qryField->FieldByName(QStringLiteral("TABLETYPE"))->SetValue(cbTableType->currentIndex() + 1);
        qryField->FieldByName(QStringLiteral("DATAFIELD"))->SetValue(edtDataField->text().trimmed());
        qryField->FieldByName(QStringLiteral("DEFAULTNAME"))->SetValue(edtDefaultName->text().trimmed());
        qryField->FieldByName(QStringLiteral("ALWAYSDISPLAY"))->SetValue(TF(chkAlwaysDisplay->isChecked()));
        qryField->FieldByName(QStringLiteral("ALWAYSPRINT"))->SetValue(TF(chkAlwaysPrint->isChecked()));
        qryField->FieldByName(QStringLiteral("VISIBLE"))->SetValue(TF(chkVisible->isChecked()));
        qryField->FieldByName(QStringLiteral("WIDTH"))->SetValue(spnWidth->value());
        qryField->FieldByName(QStringLiteral("SUBTYPE"))->SetValue(subType);
        qryField->FieldByName(QStringLiteral("Tag"))->SetValue(spnTag->value());
        qryField->FieldByName(QStringLiteral("LISTDATASETNAME"))->SetValue(text(edtListDataSetName));
        qryField->FieldByName(QStringLiteral("LISTFIELD"))->SetValue(text(edtListField));
        qryField->FieldByName(QStringLiteral("LISTDATAFIELD"))->SetValue(text(edtListDataField));
        qryField->FieldByName(QStringLiteral("DROPDOWNFILTER"))->SetValue(text(edtDropDownFilter));
        qryField->FieldByName(QStringLiteral("KEYFIELD"))->SetValue(text(edtKeyField));
        qryField->Post();

        // Every defined field has its row in the standard template.
        if (qryTemplated->IsEmpty()) {
            qryTemplated->Append();
            qryTemplated->FieldByName(QStringLiteral("windowid"))->SetValue(FWindowID);
            qryTemplated->FieldByName(QStringLiteral("templateid"))->SetValue(1);
            qryTemplated->FieldByName(QStringLiteral("itemid"))->SetValue(item);
            qryTemplated->FieldByName(QStringLiteral("bdisplay"))->SetValue(QStringLiteral("T"));
            qryTemplated->FieldByName(QStringLiteral("bprint"))->SetValue(QStringLiteral("T"));
            qryTemplated->FieldByName(QStringLiteral("displayname"))->SetValue(edtDefaultName->text().trimmed());
            qryTemplated->FieldByName(QStringLiteral("serial"))->SetValue(item);
            qryTemplated->FieldByName(QStringLiteral("width"))->SetValue(spnWidth->value());
            qryTemplated->Post();
        }

        TBatchSQL batch(g_DefaultCon);
        batch.Add(qryField);
        batch.Add(qryTemplated);
        batch.Update();
        FItemID = item;
        FNew = false;
        accept();
    } catch (const Exception& e) {
        qryField->Cancel();
        qryField->CancelUpdates();
        qryTemplated->Cancel();
        qryTemplated->CancelUpdates();
        ShowError(e.Message());
    }
}

bool ShowSysFieldInfoEdit(int windowId, int itemId, int* savedItemId)
{
    TSysFieldInfoForm form(windowId, itemId);
    if (ExecModal(&form) != QDialog::Accepted || form.IsNew()) return false;
    if (savedItemId) *savedItemId = form.ItemID();
    return true;
}

// ---------------------------------------------------------------- template field

TSysTemplatedForm::TSysTemplatedForm(int windowId, int templateId, QWidget* parent)
    : QDialog(parent), FWindowID(windowId), FTemplateID(templateId)
{
    setObjectName(QStringLiteral("SysTemplatedForm"));
    setWindowTitle(QStringLiteral("增加模板字段"));
    auto* root = new QVBoxLayout(this);
    lstFields = Named(new QListWidget(this), "lstFields");
    root->addWidget(lstFields, 1);
    TClientQuery q(nullptr, g_DefaultCon);
    q.SQL = QStringLiteral(" select * from fieldinfo where windowid = ") + QString::number(windowId);
    q.OpenQuery();
    for (q.First(); !q.Eof(); q.Next()) {
        auto* item = new QListWidgetItem(q.FieldByName(QStringLiteral("defaultname"))->AsString(), lstFields);
        item->setData(Qt::UserRole, q.FieldByName(QStringLiteral("itemid"))->AsInteger());
        item->setToolTip(q.FieldByName(QStringLiteral("datafield"))->AsString());
    }
    if (lstFields->count() > 0) lstFields->setCurrentRow(0);
    btnAdd = Named(new QPushButton(QStringLiteral("增加(&A)"), this), "btnAdd");
    btnClose = Named(new QPushButton(QStringLiteral("关闭(&C)"), this), "btnClose");
    AddButtonRow(root, {btnAdd, btnClose});
    connect(btnAdd, &QPushButton::clicked, this, [this] { AddClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { done(FAdded > 0 ? QDialog::Accepted : QDialog::Rejected); });
}

bool TSysTemplatedForm::AddClick()
{
    QListWidgetItem* item = lstFields->currentItem();
    if (!item) return false;
    const int itemId = item->data(Qt::UserRole).toInt();
    try {
        const QVariant there = g_DefaultCon->ExecuteScalar(
            QString::asprintf("select count(*) from templated where windowid = %d and templateid = %d and itemid = %d", FWindowID,
                              FTemplateID, itemId));
        if (there.toInt() > 0) {
            ShowInformation(QStringLiteral("该字段已经在模板中。"));
            return false;
        }
        g_DefaultCon->Execute(QString::asprintf(
            " insert into templated  (windowid,templateid,itemid,bdisplay,bprint, displayname,serial,width)  select windowid,%d,itemid, "
            "visible,alwaysprint,  defaultname,serial,width  from fieldinfo  where windowid = %d and itemid = %d ",
            FTemplateID, FWindowID, itemId));
    } catch (const Exception& e) {
        ShowError(e.Message());
        return false;
    }
    ++FAdded;
    return true;
}

int ShowSysTemplatedEdit(int windowId, int templateId)
{
    TSysTemplatedForm form(windowId, templateId);
    ExecModal(&form);
    return form.AddedCount();
}

// ---------------------------------------------------------------- choosing what to edit

TSysEditorChooser::TSysEditorChooser(TKind kind, TClientConnection* con, QWidget* parent)
    : QDialog(parent), FKind(kind), FCon(con)
{
    setObjectName(QStringLiteral("SysEditorChooser"));
    setWindowTitle(kind == ckField ? QStringLiteral("系统字段定义") : QStringLiteral("模板字段定义"));
    resize(420, 460);
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("单据窗口:"), this));
    cbWindow = Named(new QComboBox(this), "cbWindow");
    top->addWidget(cbWindow, 1);
    root->addLayout(top);
    root->addWidget(new QLabel(kind == ckField ? QStringLiteral("字段:") : QStringLiteral("模板:"), this));
    lstItems = Named(new QListWidget(this), "lstItems");
    root->addWidget(lstItems, 1);
    btnOK = Named(new QPushButton(QStringLiteral("确定"), this), "btnOK");
    btnCancel = Named(new QPushButton(QStringLiteral("取消"), this), "btnCancel");
    AddButtonRow(root, {btnOK, btnCancel});

    // A window's title is the read-only label of the head that opens its field list.
    TClientDataSet windows, titles;
    con->OpenDataSet(QStringLiteral("select windowid, windowname from template where templateid = 1 order by windowid"), &windows);
    con->OpenDataSet(QStringLiteral("select windowid, itemid, defaultname from fieldinfo where tabletype = 1 and subtype = 5"
                                    " order by windowid, itemid"),
                     &titles);
    QHash<int, QString> title;
    for (titles.First(); !titles.Eof(); titles.Next()) {
        const int win = titles.FieldByName(QStringLiteral("windowid"))->AsInteger();
        if (!title.contains(win))
            title.insert(win, titles.FieldByName(QStringLiteral("defaultname"))->AsString().trimmed());
    }
    for (windows.First(); !windows.Eof(); windows.Next()) {
        const int win = windows.FieldByName(QStringLiteral("windowid"))->AsInteger();
        const QString name = windows.FieldByName(QStringLiteral("windowname"))->AsString().trimmed();
        const QString caption = title.value(win);
        cbWindow->addItem(caption.isEmpty() ? name : QStringLiteral("%1（%2）").arg(caption, name), win);
    }
    connect(cbWindow, &QComboBox::currentIndexChanged, this, &TSysEditorChooser::FillItems);
    connect(lstItems, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        if (cbWindow->currentIndex() < 0 || !lstItems->currentItem()) {
            ShowInformation(QStringLiteral("请选择单据窗口和要编辑的项目。"));
            return;
        }
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FillItems();
}

void TSysEditorChooser::FillItems()
{
    lstItems->clear();
    if (cbWindow->currentIndex() < 0)
        return;
    const TSqlParams params{{QStringLiteral("win"), WindowID()}};
    TClientDataSet ds;
    if (FKind == ckField) {
        auto* fresh = new QListWidgetItem(QStringLiteral("（新字段）"), lstItems);
        fresh->setData(Qt::UserRole, -1);
        FCon->OpenDataSet(QStringLiteral("select itemid, defaultname, datafield from fieldinfo where windowid = :win order by tabletype, serial"),
                          &ds, params);
        for (ds.First(); !ds.Eof(); ds.Next()) {
            auto* item = new QListWidgetItem(QStringLiteral("%1  [%2]").arg(ds.FieldByName(QStringLiteral("defaultname"))->AsString(),
                                                                            ds.FieldByName(QStringLiteral("datafield"))->AsString()),
                                             lstItems);
            item->setData(Qt::UserRole, ds.FieldByName(QStringLiteral("itemid"))->AsInteger());
        }
    } else {
        FCon->OpenDataSet(QStringLiteral("select templateid, templatename from template where windowid = :win order by templateid"), &ds,
                          params);
        for (ds.First(); !ds.Eof(); ds.Next()) {
            auto* item = new QListWidgetItem(ds.FieldByName(QStringLiteral("templatename"))->AsString(), lstItems);
            item->setData(Qt::UserRole, ds.FieldByName(QStringLiteral("templateid"))->AsInteger());
        }
    }
    if (lstItems->count() > 0)
        lstItems->setCurrentRow(0);
}

int TSysEditorChooser::WindowID() const { return cbWindow->currentData().toInt(); }

int TSysEditorChooser::ItemID() const
{
    return lstItems->currentItem() ? lstItems->currentItem()->data(Qt::UserRole).toInt() : -1;
}

namespace {

// The window and item (or template) a maintenance editor opens on: from the bag when the
// caller names them, otherwise from the chooser. False when the user cancelled.
bool ChooseTarget(TSysEditorChooser::TKind kind, KQParams* params, const QString& itemKey, int& windowId, int& id)
{
    if (params && params->FindValue(QStringLiteral("WINDOWID")) && params->FindValue(itemKey)) {
        windowId = params->GetValue(QStringLiteral("WINDOWID")).toInt();
        id = params->GetValue(itemKey).toInt();
        return true;
    }
    TSysEditorChooser chooser(kind, g_DefaultCon);
    if (ExecModal(&chooser) != QDialog::Accepted)
        return false;
    windowId = chooser.WindowID();
    id = chooser.ItemID();
    return true;
}

bool RefusedToNonManagers(KQParams* params)
{
    if (g_iSysManager)
        return false;
    ShowInformation(QStringLiteral("您没有该项操作权限！"));
    if (params)
        params->AddValue(QStringLiteral("Result"), false);
    return true;
}

} // namespace

void RegisterSysEditorFunctions()
{
    RegistFunction(QStringLiteral("ShowSysFieldInfoEdit"), [](const QString&, const QString&, KQParams* params) {
        if (RefusedToNonManagers(params) || !g_DefaultCon)
            return 0;
        int windowId = 0, itemId = -1;
        const bool stored = ChooseTarget(TSysEditorChooser::ckField, params, QStringLiteral("ITEMID"), windowId, itemId) &&
                            ShowSysFieldInfoEdit(windowId, itemId);
        if (params)
            params->AddValue(QStringLiteral("Result"), stored);
        return 0;
    });
    RegistFunction(QStringLiteral("ShowSysTemplatedEdit"), [](const QString&, const QString&, KQParams* params) {
        if (RefusedToNonManagers(params) || !g_DefaultCon)
            return 0;
        int windowId = 0, templateId = 0;
        const bool added = ChooseTarget(TSysEditorChooser::ckTemplate, params, QStringLiteral("TEMPLATEID"), windowId, templateId) &&
                           ShowSysTemplatedEdit(windowId, templateId) > 0;
        if (params)
            params->AddValue(QStringLiteral("Result"), added);
        return 0;
    });
}
