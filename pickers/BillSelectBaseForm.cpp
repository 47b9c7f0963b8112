#include "pickers/BillSelectBaseForm.h"

#include "host/Messages.h"
#include "pickers/PickerData.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

TBillSelectBaseForm::TBillSelectBaseForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("BillSelectBaseForm"));
    setWindowTitle(QStringLiteral("选择单据"));
    cdsMaster = new TClientDataSet(this);
    cdsMaster->setObjectName(QStringLiteral("cdsMaster"));
    cdsDetail = new TClientDataSet(this);
    cdsDetail->setObjectName(QStringLiteral("cdsDetail"));
    dsMaster = new TDataSource(cdsMaster, this);
    dsDetail = new TDataSource(cdsDetail, this);

    plTop = new QWidget(this);
    plTop->setObjectName(QStringLiteral("plTop"));
    auto* topLayout = new QHBoxLayout(plTop);
    laCaption = new QLabel(QStringLiteral("选择单据"), plTop);
    laCaption->setObjectName(QStringLiteral("laCaption"));
    QFont big = laCaption->font();
    big.setPixelSize(16);
    big.setBold(true);
    laCaption->setFont(big);
    topLayout->addWidget(laCaption);
    topLayout->addStretch();

    plClient = new QWidget(this);
    plClient->setObjectName(QStringLiteral("plClient"));
    Splitter1 = new QSplitter(Qt::Vertical, plClient);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    dgMaster = new TDBGrid(Splitter1);
    dgMaster->setObjectName(QStringLiteral("dgMaster"));
    dgDetail = new TDBGrid(Splitter1);
    dgDetail->setObjectName(QStringLiteral("dgDetail"));
    for (TDBGrid* g : {dgMaster, dgDetail}) {
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
        g->Model()->ReadOnly = true;
        g->horizontalHeader()->setSectionsClickable(true);
        connect(g->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, g](int column) { SortGrid(g, column); });
    }
    dgMaster->SetDataSource(dsMaster);
    dgDetail->SetDataSource(dsDetail);
    auto* clientLayout = new QVBoxLayout(plClient);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(Splitter1);

    plBottom = new QWidget(this);
    plBottom->setObjectName(QStringLiteral("plBottom"));
    auto* bottom = new QHBoxLayout(plBottom);
    btnOk = new QPushButton(QStringLiteral("确定(&D)"), plBottom);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), plBottom);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    bottom->addStretch();
    bottom->addWidget(btnOk);
    bottom->addWidget(btnCancel);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    root->addWidget(plTop);
    root->addWidget(plClient, 1);
    root->addWidget(plBottom);

    MasterGrid.Grid = dgMaster;
    MasterGrid.DataSource = dsMaster;
    DetailGrid.Grid = dgDetail;
    DetailGrid.DataSource = dsDetail;
    connect(btnOk, &QPushButton::clicked, this, &TBillSelectBaseForm::OkClicked);
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    resize(760, 480);
    CaptureDesignBounds();
}

void TBillSelectBaseForm::AddColumn(TKQDBGridMaster& grid, const QString& field, const QString& title, int width,
                                    const QString& format)
{
    TSetDBGrid::AddColumnInfo(grid, field, title, width, true, true, ftNone, format);
}

void TBillSelectBaseForm::OpenSorted(TClientDataSet* ds, const QString& sql, const TSqlParams& params, const QString& order)
{
    // A title click orders the rows by that column over the dialog's own statement.
    const QString text = order.isEmpty() ? sql : QStringLiteral("SELECT * FROM (") + sql + QStringLiteral(") ORDER BY ") + order;
    Connection()->OpenDataSet(text, ds, params);
}

void TBillSelectBaseForm::OpenMaster()
{
    cdsDetail->Close();
    cdsMaster->AfterScroll = nullptr;
    cdsMaster->Close();
    try {
        OpenSorted(cdsMaster, GetMasterSQL(), MasterParams, FMasterOrder);
    } catch (const std::exception& e) {
        DefineListFields(cdsMaster, {});
        ShowError(QStringLiteral("数据读取失败：") + QString::fromUtf8(e.what()));
    }
    ApplyListedColumns(MasterGrid);
    if (!DetailSQL.isEmpty()) {
        cdsMaster->AfterScroll = [this](TClientDataSet*) { MasterAfterScroll(); };
        OpenDetail();
    }
    dgDetail->setVisible(!DetailSQL.isEmpty());
}

void TBillSelectBaseForm::OpenDetail()
{
    cdsDetail->Close();
    if (DetailSQL.isEmpty() || cdsMaster->IsEmpty())
        return;
    try {
        OpenSorted(cdsDetail, GetDetailSQL(), DetailParams, FDetailOrder);
    } catch (const std::exception& e) {
        DefineListFields(cdsDetail, {});
        ShowError(QStringLiteral("数据读取失败：") + QString::fromUtf8(e.what()));
    }
    ApplyListedColumns(DetailGrid);
}

void TBillSelectBaseForm::MasterAfterScroll() { OpenDetail(); }

void TBillSelectBaseForm::PrepareSelect() {}

QString TBillSelectBaseForm::GetMasterSQL() { return MasterSQL; }

QString TBillSelectBaseForm::GetDetailSQL()
{
    // The key field is the dialog's own column name; its value goes in bound.
    DetailParams.removeIf([](const auto& p) { return p.first == QLatin1String("masterkey"); });
    TField* key = cdsMaster->FindField(MasterKeyField);
    DetailParams.append({QStringLiteral("masterkey"), key ? key->Value() : QVariant()});
    return DetailSQL + QStringLiteral(" AND d.") + MasterKeyField + QStringLiteral(" = :masterkey");
}

void TBillSelectBaseForm::AddResultLine(bool withDetail)
{
    TListValue* line = Result->AddRow();
    for (const QString& name : ReturnFields) {
        if (TField* f = cdsMaster->Active() ? cdsMaster->FindField(name) : nullptr)
            line->SetValue(name, f->Value());
        else if (TField* d = withDetail && cdsDetail->Active() ? cdsDetail->FindField(name) : nullptr)
            line->SetValue(name, d->Value());
    }
}

void TBillSelectBaseForm::CollectResult()
{
    if (!Result)
        return;
    Result->Clear();
    if (MultiSelect) {
        if (!cdsDetail->Active())
            return;
        for (cdsDetail->First(); !cdsDetail->Eof(); cdsDetail->Next())
            AddResultLine(true);
    } else if (cdsMaster->Active() && !cdsMaster->IsEmpty()) {
        AddResultLine(false);
    }
}

void TBillSelectBaseForm::Execute()
{
    if (Result)
        Result->Clear();
    PrepareSelect();
}

void TBillSelectBaseForm::OkClicked()
{
    CollectResult();
    CloseModal(mrOk);
}

void TBillSelectBaseForm::SortGrid(TDBGrid* grid, int column)
{
    TField* f = grid->Model()->FieldOfColumn(column);
    if (!f)
        return;
    const bool master = grid == dgMaster;
    QString& order = master ? FMasterOrder : FDetailOrder;
    // Field names come from the dataset, never from the user; quoted all the same.
    const QString by = u'"' + QString(f->FieldName()).replace(u'"', QStringLiteral("\"\"")) + u'"';
    order = order == by ? by + QStringLiteral(" DESC") : by;
    if (master)
        OpenMaster();
    else
        OpenDetail();
}
