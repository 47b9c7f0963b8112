#include "goodsbill/BillStyleForm.h"

#include "host/Host.h"
#include "platform/DBControls.h"
#include "platform/report/XlsxExport.h"
#include "printing/PrintBill.h"
#include "templates/StyleDefineForm.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScopedValueRollback>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kDyn = QStringLiteral("Dyn_");
const QString kCaptionNotice = QStringLiteral("提示");
// A bill window opens no wider than an ordinary screen; its grid scrolls beyond that.
constexpr int kWidestDefaultWindow = 1260;
constexpr int kFormMargin = 12;

// Section codes of a template field.
enum { kHead = 1, kBody = 2, kDetail = 3, kFoot = 4 };

// The red ellipse around "已冲红".
class TRedMark : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QLabel::paintEvent(e);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::red, 2));
        p.drawEllipse(rect().adjusted(2, 2, -2, -2));
    }
};

QString FieldKey(const QString& name) { return name.toLower(); }

} // namespace

std::function<QString(QWidget*, const QString&)> TBillStyleForm::AskExportFile = [](QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出Excel"), suggested, QStringLiteral("Excel 工作簿 (*.xlsx)"));
};

std::function<bool(int, int&, QWidget*, int)> TBillStyleForm::EditTemplate = [](int windowId, int& templateId, QWidget* form,
                                                                               int reportType) {
    return ShowStyleDefine(windowId, templateId, form, reportType);
};

TBillStyleForm::TBillStyleForm(QWidget* owner) : TBillBaseForm(owner)
{
    CreateStyleParts();
    resize(1000, 700);
}

TBillStyleForm::~TBillStyleForm() = default;

void TBillStyleForm::CreateStyleParts()
{
    // The body is paper white: the bill as it will be printed.
    BodyPanel->setAutoFillBackground(true);
    QPalette pal = BodyPanel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    BodyPanel->setPalette(pal);
    auto* body = qobject_cast<QVBoxLayout*>(BodyPanel->layout());

    HeadPanel = new QWidget(BodyPanel);
    HeadPanel->setObjectName(QStringLiteral("HeadPanel"));
    auto* head = new QGridLayout(HeadPanel);
    head->setContentsMargins(6, 4, 6, 0);
    head->setVerticalSpacing(2);
    BNLabel = new QLabel(windowTitle(), HeadPanel);
    BNLabel->setObjectName(QStringLiteral("BNLabel"));
    QFont titleFont = font();
    titleFont.setPixelSize(21);
    titleFont.setBold(true);
    BNLabel->setFont(titleFont);
    BNLabel->setAlignment(Qt::AlignCenter);
    head->addWidget(BNLabel, 0, 0, 1, 7);

    DateLabel = new QLabel(QStringLiteral("日  期"), HeadPanel);
    DateLabel->setObjectName(QStringLiteral("DateLabel"));
    DateDBEdit = new TDBEdit(HeadPanel);
    DateDBEdit->setObjectName(QStringLiteral("DateDBEdit"));
    DateDBEdit->SetShowOnly(true);
    DateDBEdit->setFocusPolicy(Qt::NoFocus);
    DateDBEdit->setMinimumWidth(150);
    NoLabel = new QLabel(QStringLiteral("单  号"), HeadPanel);
    NoLabel->setObjectName(QStringLiteral("NoLabel"));
    NoDBEdit = new TDBEdit(HeadPanel);
    NoDBEdit->setObjectName(QStringLiteral("NoDBEdit"));
    NoDBEdit->SetShowOnly(true);
    NoDBEdit->setFocusPolicy(Qt::NoFocus);
    NoDBEdit->setMaximumWidth(170);

    FlagLabel = new TRedMark(QStringLiteral("已冲红"), HeadPanel);
    FlagLabel->setObjectName(QStringLiteral("FlagLabel"));
    FlagLabel->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    FlagLabel->setAlignment(Qt::AlignCenter);
    FlagLabel->setMinimumSize(76, 26);
    FlagLabel->hide();
    stxt_Printed = new QLabel(QStringLiteral("已打印"), HeadPanel);
    stxt_Printed->setObjectName(QStringLiteral("stxt_Printed"));
    stxt_Printed->setStyleSheet(QStringLiteral("color: red; border: 1px solid red; padding: 1px 4px;"));
    stxt_Printed->hide();

    head->addWidget(DateLabel, 1, 0);
    head->addWidget(DateDBEdit, 1, 1);
    head->setColumnStretch(2, 1);
    head->addWidget(FlagLabel, 1, 3);
    head->addWidget(stxt_Printed, 1, 4);
    head->addWidget(NoLabel, 1, 5);
    head->addWidget(NoDBEdit, 1, 6);
    body->insertWidget(0, HeadPanel);

    FootPanel = new QWidget(BodyPanel);
    FootPanel->setObjectName(QStringLiteral("FootPanel"));
    auto* foot = new QGridLayout(FootPanel);
    foot->setContentsMargins(4, 2, 4, 2);
    body->addWidget(FootPanel);

    // The template combo stands in the tool bar beside the print style.
    ToolBar->addWidget(new QLabel(QStringLiteral(" 单据模板"), ToolBar));
    StyledCombo = new TDBLookupCombo(ToolBar);
    StyledCombo->setObjectName(QStringLiteral("StyledCombo"));
    StyledCombo->setMinimumWidth(110);
    StyledCombo->setFocusPolicy(Qt::ClickFocus);
    ToolBar->addWidget(StyledCombo);
    btnStyleNew = new QToolButton(ToolBar);
    btnStyleNew->setObjectName(QStringLiteral("btnStyleNew"));
    btnStyleNew->setText(QStringLiteral("新增"));
    btnStyleNew->setFocusPolicy(Qt::NoFocus);
    ToolBar->addWidget(btnStyleNew);
    btnStyleEdit = new QToolButton(ToolBar);
    btnStyleEdit->setObjectName(QStringLiteral("btnStyleEdit"));
    btnStyleEdit->setText(QStringLiteral("编辑"));
    btnStyleEdit->setFocusPolicy(Qt::NoFocus);
    ToolBar->addWidget(btnStyleEdit);
    connect(btnStyleNew, &QToolButton::clicked, this, [this] { StyledComboPBClick(0); });
    connect(btnStyleEdit, &QToolButton::clicked, this, [this] { StyledComboPBClick(1); });
    // The template in use is the template object's, whatever the bill's row holds: the
    // combo shows it and a choice goes through the master field.
    ReadOnlyExempt << StyledCombo << btnStyleNew << btnStyleEdit;

    qryTemplate = new TClientQuery(this, Document()->Connection());
    qryTemplate->setObjectName(QStringLiteral("qryTemplate"));
    qryTemplate->SQL = QStringLiteral("select windowid, templateid, TEMPLATENAME\nfrom TEMPLATE where windowid=:winid");

    OutToExcel = new QAction(QStringLiteral("导出Excel(&E)"), this);
    OutToExcel->setObjectName(QStringLiteral("OutToExcel"));
    connect(OutToExcel, &QAction::triggered, this, &TBillStyleForm::OutToExcelClick);
    menuBillPupup->addSeparator();
    menuBillPupup->addAction(OutToExcel);

    // The grid as the bills want it: serial numbers, alternate rows, the footer row.
    ItemDBGrid->setAlternatingRowColors(true);
    ItemDBGrid->verticalHeader()->setVisible(true);
    ItemDBGrid->verticalHeader()->setDefaultSectionSize(22);
    ItemDBGrid->verticalHeader()->setFixedWidth(25);
    ItemDBGrid->SetShowFooter(true);
    ItemDBGrid->SetNavOptions(ItemDBGrid->NavOptions() | gnEnterMovesRight);
    // Typing in a cell starts its edit, as in any spreadsheet.
    ItemDBGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
}

// ====================================================================== templates

void TBillStyleForm::InitBillForm()
{
    TBillBaseForm::InitBillForm();
    qryTemplate->SetConnection(Document()->Connection());
    ReopenTemplateList();
    StyledCombo->SetDataSource(dsMaster);
    StyledCombo->SetDataField(QStringLiteral("TEMPLATEID"));
    DateDBEdit->SetDataSource(dsMaster);
    DateDBEdit->SetDataField(DateFieldName);
    NoDBEdit->SetDataSource(dsMaster);
    NoDBEdit->SetDataField(QStringLiteral("Code"));
    FStyleLoaded = FStyle.Load(WindowID(), TStyleInfo::kStandardTemplate);
    BNLabel->setText(windowTitle());
    if (!MasterDetailBill) {
        // A bill without lines is its head and foot: they stand together, in a smaller window.
        qobject_cast<QVBoxLayout*>(BodyPanel->layout())->addStretch(1);
        resize(width(), 460);
        CaptureDesignBounds();
    }
}

void TBillStyleForm::ReopenTemplateList()
{
    qryTemplate->Close();
    qryTemplate->SetParam(QStringLiteral("winid"), WindowID());
    try {
        qryTemplate->OpenQuery();
    } catch (const Exception& e) {
        WriteLog(windowTitle() + QStringLiteral(": ") + e.Message());
    }
    StyledCombo->SetListSource(qryTemplate, QStringLiteral("templateid"), QStringLiteral("TEMPLATENAME"));
}

bool TBillStyleForm::UseTemplate(int templateId, bool force)
{
    if (!force && FStyleLoaded && templateId == FStyle.TemplateID)
        return true;
    TStyleInfo next;
    if (!next.Load(WindowID(), templateId))
        return false;
    FStyle = std::move(next);
    FStyleLoaded = true;
    ApplyBillStyle();
    return true;
}

void TBillStyleForm::BuildMasterArea()
{
    // Runs after every bill shown: the bill's own template, then the marks.
    const TField* t = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("TEMPLATEID")) : nullptr;
    const int wanted = t && !t->IsNull() && t->AsInteger() > 0 ? t->AsInteger() : FStyle.TemplateID;
    const bool built = FApplications > 0;
    if (wanted != FStyle.TemplateID && UseTemplate(wanted, false)) {
        // applied by UseTemplate
    } else if (!built) {
        ApplyBillStyle();
    } else {
        SetupGridColumns({}); // the lines were read again
    }
    FormatMasterFigures();
    ShowMarks();
}

void TBillStyleForm::FormatMasterFigures()
{
    // Totals and balances the clerk reads are money: two decimals. Bill and due dates are
    // days: the time of day a bill was entered at only orders bills of one day.
    QList<QWidget*> shown = FDynEditors;
    shown << DateDBEdit;
    for (QWidget* w : std::as_const(shown)) {
        auto* e = qobject_cast<TDBEdit*>(w);
        TField* f = e ? e->Field() : nullptr;
        if (!f || !e->isReadOnly() || !f->DisplayFormat.isEmpty())
            continue;
        if (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency)
            f->DisplayFormat = QStringLiteral("0.00");
        else if (f->DataType() == TFieldType::ftDateTime)
            f->DisplayFormat = QStringLiteral("yyyy-MM-dd");
        else
            continue;
        e->ShowField();
    }
}

void TBillStyleForm::ShowMarks()
{
    const TField* printed = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("PRINTED")) : nullptr;
    stxt_Printed->setVisible(printed && !IsNewBill && printed->AsBoolean());
    // A bill reversed by a red bill carries flag 1 (the red bill itself 2).
    const TField* flag = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("flag")) : nullptr;
    FlagLabel->setVisible(flag && !IsNewBill && flag->AsInteger() == 1);
}

void TBillStyleForm::DestroyDynamicControls()
{
    for (QWidget* w : findChildren<QWidget*>())
        if (w->objectName().startsWith(kDyn))
            delete w;
    FDynEditors.clear();
}

void TBillStyleForm::ApplyBillStyle()
{
    if (FApplying)
        return;
    const QScopedValueRollback<bool> guard(FApplying, true);
    setUpdatesEnabled(false);
    ++FApplications;
    DestroyDynamicControls();

    QList<const TStyleFieldInfo*> master[5];
    QList<const TStyleFieldInfo*> detail;
    for (const auto& f : FStyle.Fields()) {
        if (!f->Shown())
            continue;
        if (f->TableType == kDetail) {
            detail << f.get();
            continue;
        }
        if (f->DataField.compare(KeyField, Qt::CaseInsensitive) == 0) {
            // The key's row carries the bill's title.
            if (!f->DisplayName().isEmpty())
                BNLabel->setText(f->DisplayName());
            continue;
        }
        if (cdsMaster->Active() && !cdsMaster->FindField(f->DataField))
            continue; // a field this bill's statement does not read
        if (f->TableType >= kHead && f->TableType <= kFoot)
            master[f->TableType] << f.get();
    }
    QList<const TStyleFieldInfo*> upper = master[kHead] + master[kBody];
    LayoutMasterFields(upper, MasterPanel, 4);
    LayoutMasterFields(master[kFoot], FootPanel, 4);
    FootPanel->setVisible(!master[kFoot].isEmpty());
    SetupGridColumns(detail);

    // Reading order: the head and body fields, the grid, then the foot fields.
    QList<QWidget*> order;
    for (QWidget* w : std::as_const(FDynEditors))
        if (w->focusPolicy() != Qt::NoFocus && w->parentWidget() == MasterPanel)
            order << w;
    if (MasterDetailBill)
        order << ItemDBGrid;
    for (QWidget* w : std::as_const(FDynEditors))
        if (w->focusPolicy() != Qt::NoFocus && w->parentWidget() == FootPanel)
            order << w;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    InstallKeyPreview();
    if (ReadOnly())
        SetReadOnlyWalk(BodyPanel, true);
    FitToTemplate();
    setUpdatesEnabled(true);
}

void TBillStyleForm::FitToTemplate()
{
    // The grid shows at least twelve lines with its titles and footer; the window grows to
    // hold the template at its designed size, never shrinks under the user.
    if (MasterDetailBill) {
        const int rowHeight = ItemDBGrid->verticalHeader()->defaultSectionSize();
        const int header = ItemDBGrid->horizontalHeader()->sizeHint().height();
        const int footer = ItemDBGrid->FooterHeight();
        ItemDBGrid->setMinimumHeight(header + 12 * rowHeight + footer + ItemDBGrid->horizontalScrollBar()->sizeHint().height() +
                                     2 * ItemDBGrid->frameWidth());
    }
    QSize need = layout()->totalMinimumSize().expandedTo(minimumSizeHint());
    if (isVisible())
        return;
    // Wide enough for the template's columns, as far as an ordinary screen allows.
    if (MasterDetailBill) {
        int columns = ItemDBGrid->verticalHeader()->sizeHint().width() + ItemDBGrid->verticalScrollBar()->sizeHint().width() +
                      2 * ItemDBGrid->frameWidth() + 8;
        for (const TGridColumnLayout& c : ItemDBGrid->ColumnLayout())
            if (const int col = ItemDBGrid->Model()->ColumnOfField(c.Field); col >= 0 && !ItemDBGrid->isColumnHidden(col))
                columns += ItemDBGrid->columnWidth(col);
        need.setWidth(std::max(need.width(), std::min(columns + 2 * kFormMargin, kWidestDefaultWindow)));
    }
    const QSize now = size();
    if (now.width() < need.width() || now.height() < need.height()) {
        resize(now.expandedTo(need));
        CaptureDesignBounds();
    }
}

void TBillStyleForm::LayoutMasterFields(const QList<const TStyleFieldInfo*>& fields, QWidget* panel, int columns)
{
    auto* grid = qobject_cast<QGridLayout*>(panel->layout());
    int n = 0;
    for (const TStyleFieldInfo* f : fields) {
        QWidget* editor = CreateMasterFieldControls(*f, panel);
        if (!editor)
            continue;
        auto* label = panel->findChild<QLabel*>(kDyn + f->DataField + QStringLiteral("_Label"), Qt::FindDirectChildrenOnly);
        const int row = n / columns;
        const int col = (n % columns) * 2;
        if (label && label != editor)
            grid->addWidget(label, row, col, Qt::AlignRight);
        grid->addWidget(editor, row, col + 1);
        ++n;
    }
    for (int c = 0; c < columns; ++c) {
        grid->setColumnStretch(c * 2, 0);
        grid->setColumnStretch(c * 2 + 1, 1);
    }
}

QWidget* TBillStyleForm::CreateMasterFieldControls(const TStyleFieldInfo& field, QWidget* parent)
{
    const QString name = field.DataField;
    auto* label = new QLabel(field.DisplayName().isEmpty() ? field.DefaultName : field.DisplayName(), parent);
    label->setObjectName(kDyn + name + QStringLiteral("_Label"));
    QWidget* editor = nullptr;
    switch (field.SubType) {
    case 0:
        return label;
    case 2: {
        auto* e = new TDBCheckBox(parent);
        e->ValueChecked = QStringLiteral("T");
        e->ValueUnchecked = QStringLiteral("F");
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        editor = e;
        break;
    }
    case 3: {
        auto* e = new TDBDateEdit(parent);
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        editor = e;
        break;
    }
    case 4:
    case 6: {
        auto* e = new TDBLookupCombo(parent);
        KQParams bag;
        auto* list = qobject_cast<TClientDataSet*>(
            VariantToObject(GlobalCallEx(QStringLiteral("GETLOOKUPDATASOURCE"), field.ListDataSetName, &bag)));
        QString filter = field.DropDownFilter;
        if (name.compare(QLatin1String("clientid"), Qt::CaseInsensitive) == 0)
            filter = filter.isEmpty() ? QStringLiteral("pyassist=0") : filter;
        e->SetListFilter(filter);
        e->SetListSource(list, field.KeyField, field.ListField);
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        e->setProperty("lookupMenu", true);
        e->setMinimumWidth(110);
        editor = e;
        break;
    }
    case 5: {
        auto* e = new TDBEdit(parent);
        e->SetShowOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setFrame(false);
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        const TField* f = cdsMaster->Active() ? cdsMaster->FindField(name) : nullptr;
        if (f && (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency))
            e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // read-only figures stand out from what the clerk fills in
        e->setStyleSheet(QStringLiteral("background: #f2f2f2;"));
        ReadOnlyExempt << e;
        editor = e;
        break;
    }
    case 7: {
        auto* box = new QWidget(parent);
        auto* l = new QHBoxLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        auto* e = new TDBEdit(box);
        e->setObjectName(kDyn + name + QStringLiteral("_Edit"));
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        auto* b = new QToolButton(box);
        b->setObjectName(kDyn + name + QStringLiteral("_Btn"));
        b->setText(QStringLiteral("…"));
        b->setFocusPolicy(Qt::NoFocus);
        l->addWidget(e, 1);
        l->addWidget(b);
        box->setObjectName(kDyn + name + QStringLiteral("_Box"));
        box->setFocusProxy(e);
        label->setBuddy(e);
        FDynEditors << e;
        return box;
    }
    default: {
        auto* e = new TDBEdit(parent);
        e->SetDataSource(dsMaster);
        e->SetDataField(name);
        editor = e;
        break;
    }
    }
    editor->setObjectName(kDyn + name + QStringLiteral("_Edit"));
    label->setBuddy(editor);
    FDynEditors << editor;
    return editor;
}

void TBillStyleForm::SetupGridColumns(const QList<const TStyleFieldInfo*>& detailFields)
{
    if (!MasterDetailBill)
        return;
    if (!detailFields.isEmpty() || FApplications > 0) {
        QList<const TStyleFieldInfo*> detail = detailFields;
        if (detail.isEmpty())
            for (const auto& f : FStyle.Fields())
                if (f->Shown() && f->TableType == kDetail)
                    detail << f.get();
        QVector<TGridColumnLayout> layout;
        for (const TStyleFieldInfo* f : std::as_const(detail)) {
            TGridColumnLayout c;
            c.Field = f->DataField;
            c.Title = f->DisplayName().isEmpty() ? f->DefaultName : f->DisplayName();
            c.Width = f->Width() > 0 ? f->Width() : 80;
            layout << c;
        }
        ItemDBGrid->SetColumnLayout(layout);
        for (const TStyleFieldInfo* f : std::as_const(detail)) {
            // The column's editor follows the field's editor kind, as on the master.
            switch (f->SubType) {
            case 2: ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::CheckBox); break;
            case 3: ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::Date); break;
            case 5: ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::ReadOnly); break;
            case 7: ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::Ellipsis); break;
            case 4:
            case 6: {
                KQParams bag;
                auto* list = qobject_cast<TClientDataSet*>(
                    VariantToObject(GlobalCallEx(QStringLiteral("GETLOOKUPDATASOURCE"), f->ListDataSetName, &bag)));
                ItemDBGrid->SetColumnLookup(f->DataField, list, f->KeyField, f->ListField);
                ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::Lookup);
                break;
            }
            default: ItemDBGrid->SetColumnStyle(f->DataField, TColumnStyle::Text); break;
            }
            FormatGridColumn(f->DataField);
        }
    }
}

void TBillStyleForm::FormatGridColumn(const QString& fieldName)
{
    const QString key = FieldKey(fieldName);
    if (key == QLatin1String("amount") || key == QLatin1String("unitqty") || key == QLatin1String("goodsamt") ||
        key == QLatin1String("taxamt"))
        ItemDBGrid->SetColumnTotal(fieldName);
    if (key == QLatin1String("ispresent") || key == QLatin1String("closed"))
        ItemDBGrid->SetColumnStyle(fieldName, TColumnStyle::CheckBox);
}

QWidget* TBillStyleForm::FieldEditor(const QString& fieldName) const
{
    for (QWidget* w : FDynEditors)
        if (w->objectName().compare(kDyn + fieldName + QStringLiteral("_Edit"), Qt::CaseInsensitive) == 0)
            return w;
    return nullptr;
}

QWidget* TBillStyleForm::FindDynamicEdit(const QString& fieldName) { return FieldEditor(fieldName); }

// ====================================================================== the template combo

void TBillStyleForm::StyledComboPBClick(int index)
{
    if (index != 0 && index != 1)
        return;
    if (!HasNewPrivilege2(FormPrivilegeID, 7, false))
        return;
    int templateId = index == 0 ? TStyleInfo::kNewTemplate : StyledCombo->KeyValue().isNull() ? FStyle.TemplateID
                                                                                               : StyledCombo->KeyValue().toInt();
    if (!EditTemplate || !EditTemplate(WindowID(), templateId, this, ReportType))
        return;
    ReopenTemplateList();
    bool listed = false;
    if (templateId != TStyleInfo::kNewTemplate && qryTemplate->Active())
        for (int r = 0; r < qryTemplate->RecordCount() && !listed; ++r)
            listed = qryTemplate->RowValue(r, qryTemplate->FieldByName(QStringLiteral("templateid"))->Index()).toInt() == templateId;
    if (listed) {
        TField* t = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("TEMPLATEID")) : nullptr;
        if (t && t->AsInteger() != templateId) {
            const QScopedValueRollback<bool> guard(FApplying, true); // applied once, below
            if (cdsMaster->State() == TDataSetState::dsBrowse)
                cdsMaster->Edit();
            t->SetValue(templateId);
        }
    }
    // The edited template may be the one in use: load it again whatever its id.
    UseTemplate(listed ? templateId : FStyle.TemplateID, true);
    ShowMarks();
}

void TBillStyleForm::InitNewMaster()
{
    TBillBaseForm::InitNewMaster();
    if (TField* t = cdsMaster->FindField(QStringLiteral("TEMPLATEID")))
        t->SetValue(FStyle.TemplateID > 0 ? FStyle.TemplateID : TStyleInfo::kStandardTemplate);
}

void TBillStyleForm::OnMasterFieldChanged(TField* field)
{
    TBillBaseForm::OnMasterFieldChanged(field);
    if (FApplying || field->FieldName().compare(QLatin1String("TEMPLATEID"), Qt::CaseInsensitive) != 0 || field->IsNull())
        return;
    const int id = field->AsInteger();
    if (FStyleLoaded && id == FStyle.TemplateID)
        return;
    TStyleInfo next;
    if (!next.Load(WindowID(), id))
        return;
    FStyle = std::move(next);
    FStyleLoaded = true;
    if (TField* rpt = cdsMaster->FindField(QStringLiteral("RPTID")))
        rpt->SetValue(FStyle.RptID);
    // Rebuilding destroys the combo's neighbours, not the combo, but the change arrives
    // while a control is writing: build once the write is over.
    QMetaObject::invokeMethod(this, [this] { ApplyBillStyle(); }, Qt::QueuedConnection);
}

// ====================================================================== checks

bool TBillStyleForm::ValidateMaster()
{
    auto refuse = [this](const QString& field, const QString& text) {
        Document()->Prompts().Notice(text, kCaptionNotice);
        if (QWidget* w = FieldEditor(field))
            w->setFocus();
        return false;
    };
    if (cdsMaster->Active()) {
        const TField* date = cdsMaster->FindField(DateFieldName);
        if (date && date->IsNull())
            return refuse(DateFieldName, QStringLiteral("请输入单据日期！"));
        const TField* code = cdsMaster->FindField(QStringLiteral("code"));
        if (code && code->AsString().trimmed().isEmpty())
            return refuse(QStringLiteral("code"), QStringLiteral("请输入单号！"));
    }
    return TBillBaseForm::ValidateMaster();
}

// ====================================================================== export

void TBillStyleForm::OutToExcelClick()
{
    if (!HasNewPrivilege2(FormPrivilegeID, 6, false))
        return;
    if (!cdsDetail->Active() || cdsDetail->IsEmpty()) {
        ShowWarning(QStringLiteral("子表内容为空值，没有记录！"), QStringLiteral("数据错误"));
        return;
    }
    QStringList headers;
    QList<TField*> fields;
    QHeaderView* h = ItemDBGrid->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (h->isSectionHidden(c))
            continue;
        if (TField* f = ItemDBGrid->Model()->FieldOfColumn(c)) {
            fields << f;
            headers << ItemDBGrid->Model()->headerData(c, Qt::Horizontal).toString();
        }
    }
    QVector<QVariantList> rows;
    QList<int> totals;
    for (int i = 0; i < fields.size(); ++i) {
        const TFieldType t = fields[i]->DataType();
        if (t == TFieldType::ftFloat || t == TFieldType::ftCurrency || t == TFieldType::ftInteger)
            if (ItemDBGrid->ColumnFooter(fields[i]->FieldName()) != TFooterKind::None)
                totals << i;
    }
    // Every line visited once, with the controls still.
    const TClientDataSet::TBookmark mark = cdsDetail->GetBookmark();
    cdsDetail->DisableControls();
    for (int r = 0; r < cdsDetail->RecordCount(); ++r) {
        QVariantList row;
        for (TField* f : std::as_const(fields)) {
            const QVariant v = cdsDetail->RowValue(r, f->Index());
            const TColumnStyle style = ItemDBGrid->ColumnStyle(f->FieldName());
            row << (style == TColumnStyle::Lookup ? QVariant(ItemDBGrid->LookupText(f->FieldName(), v)) : v);
        }
        rows << row;
    }
    cdsDetail->GotoBookmark(mark);
    cdsDetail->EnableControls();
    const QString code = MasterValue(QStringLiteral("Code")).toString();
    const QString file = AskExportFile ? AskExportFile(this, QDir::home().filePath(windowTitle() + code + QStringLiteral(".xlsx"))) : QString();
    if (file.isEmpty())
        return;
    try {
        ExportToXlsx(file, windowTitle() + (code.isEmpty() ? QString() : QStringLiteral(" ") + code), headers, rows, totals);
    } catch (const Exception& e) {
        ShowError(e.Message(), QStringLiteral("错误"));
    }
}

// ====================================================================== printing

void TBillStyleForm::SetPrintVariables(QVariantMap& v)
{
    v.insert(QStringLiteral("单号"), MasterValue(QStringLiteral("Code")));
    v.insert(QStringLiteral("分支机构"), MasterValue(QStringLiteral("shopname")));
    v.insert(QStringLiteral("开单日期"), MasterValue(DateFieldName));
    v.insert(QStringLiteral("打印人"), Document()->Session().OpName);
}

void TBillStyleForm::DoPrintBill(bool preview)
{
    const TField* rpt = cdsMaster->FindField(QStringLiteral("RPTID"));
    TPrintBillOptions options = PrintOptions(preview);
    options.WindowID = WindowID();
    options.TemplateID = FStyle.TemplateID > 0 ? FStyle.TemplateID : TStyleInfo::kStandardTemplate;
    SetPrintVariables(options.ExtraVariables);
    TPrintBillResult result;
    if (!PrintBillWithTemplate(ReportType, rpt ? rpt->AsInteger() : FStyle.RptID, cdsMaster, MasterDetailBill ? cdsDetail : nullptr,
                               options, &result))
        return;
    if (result.UsedStandard)
        FStyle.SetRptID(result.RptID);
    if (result.Printed && !IsNewBill && CurrentBillID != kNoBillID && cdsMaster->FindField(QStringLiteral("PRINTED"))) {
        if (MarkBillPrinted(MasterTable, KeyField, CurrentBillID))
            stxt_Printed->show();
    }
}

// ====================================================================== message to the client

void TBillStyleForm::SendBillMessage()
{
    if (Document()->Session().OptionValue(QStringLiteral("SUPPORTMSN")) != QLatin1String("1"))
        return;
    const QVariant client = MasterValue(QStringLiteral("clientid"));
    if (client.isNull() || client.toInt() <= 0)
        return;
    TBillBaseForm::SendBillMessage();
}
