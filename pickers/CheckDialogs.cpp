#include "pickers/CheckDialogs.h"

#include "billcore/BillBaseForm.h"
#include "host/Messages.h"
#include "platform/Exceptions.h"
#include "platform/report/XlsxExport.h"
#include "webrpc/PacketParams.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

QPushButton* NewButton(QWidget* parent, const char* name, const char* text)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

TDBGrid* NewListGrid(QWidget* parent, const char* name, TDataSource* source)
{
    auto* g = new TDBGrid(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->Model()->ReadOnly = true;
    g->SetDataSource(source);
    return g;
}

void SetListColumns(TKQDBGridMaster& grid, const QVector<std::tuple<const char*, const char*, int, const char*>>& columns)
{
    grid.Columns.clear();
    for (const auto& [field, title, width, format] : columns)
        TSetDBGrid::AddColumnInfo(grid, QString::fromLatin1(field), QString::fromUtf8(title), width, true, true, ftNone,
                                  QString::fromLatin1(format));
    ApplyListedColumns(grid);
}

namespace {

bool HasRows(TClientDataSet* ds) { return ds && ds->Active() && !ds->IsEmpty(); }

// A list the server sent as a data packet ("" gives an empty, closed list).
std::unique_ptr<TClientDataSet> PacketList(const TPacketParams& answer, const QString& name)
{
    auto ds = std::make_unique<TClientDataSet>();
    const QString xml = answer.GetString(name);
    if (!xml.trimmed().isEmpty())
        ds->LoadFromXMLString(xml);
    return ds;
}

} // namespace

// ====================================================================== price warning

TPriceCheckText PriceCheckText(int mode, bool reference)
{
    if (mode == 1)
        return {reference ? QStringLiteral("以下货品的价格高于购货参考价") : QStringLiteral("以下货品的价格高于系统的最高进价"),
                QStringLiteral("pprice"), reference ? QStringLiteral("参考价") : QStringLiteral("最高价")};
    return {reference ? QStringLiteral("以下货品的价格低于售货参考价") : QStringLiteral("以下货品的价格低于系统的最低售价"),
            QStringLiteral("sprice"), reference ? QStringLiteral("参考价") : QStringLiteral("最低价")};
}

TCheckPriceForm::TCheckPriceForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("CheckPriceForm"));
    setWindowTitle(QStringLiteral("警告"));
    FLimitSource = new TDataSource(nullptr, this);
    FReferenceSource = new TDataSource(nullptr, this);
    laLimit = new QLabel(this);
    laLimit->setObjectName(QStringLiteral("laLimit"));
    dgLimit = NewListGrid(this, "dgLimit", FLimitSource);
    laReference = new QLabel(this);
    laReference->setObjectName(QStringLiteral("laReference"));
    dgReference = NewListGrid(this, "dgReference", FReferenceSource);
    laNoRight = new QLabel(QStringLiteral("您没有权限忽略价格检查，请修改价格后再保存。"), this);
    laNoRight->setObjectName(QStringLiteral("laNoRight"));
    laNoRight->setStyleSheet(QStringLiteral("color: #b00000"));
    btnIgnore = NewButton(this, "btnIgnore", "忽略通过(&I)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    btnCancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(laNoRight, 1);
    buttons->addWidget(btnIgnore);
    buttons->addWidget(btnCancel);
    auto* root = new QVBoxLayout(this);
    root->addWidget(laLimit);
    root->addWidget(dgLimit, 1);
    root->addWidget(laReference);
    root->addWidget(dgReference, 1);
    root->addLayout(buttons);
    FLimitGrid.Grid = dgLimit;
    FLimitGrid.DataSource = FLimitSource;
    FReferenceGrid.Grid = dgReference;
    FReferenceGrid.DataSource = FReferenceSource;
    connect(btnIgnore, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    resize(620, 360);
    CaptureDesignBounds();
}

void TCheckPriceForm::SetLines(int mode, TClientDataSet* limitLines, TClientDataSet* referenceLines, bool allowed)
{
    auto fill = [mode](bool reference, TClientDataSet* lines, QLabel* label, TDBGrid* grid, TDataSource* source,
                       TKQDBGridMaster& master) {
        const bool shown = HasRows(lines);
        label->setVisible(shown);
        grid->setVisible(shown);
        source->SetDataSet(shown ? lines : nullptr);
        if (!shown)
            return;
        const TPriceCheckText t = PriceCheckText(mode, reference);
        label->setText(t.Intro + u':');
        const QByteArray price = t.PriceField.toLatin1();
        const QByteArray title = t.PriceTitle.toUtf8();
        SetListColumns(master, {{"code", "货品编码", 90, ""},
                            {"name", "货品名称", 160, ""},
                            {"specs", "规格", 80, ""},
                            {"unitname", "单位", 50, ""},
                            {"unitprice", "价格", 80, "0.00##"},
                            {price.constData(), title.constData(), 80, "0.00##"}});
    };
    fill(false, limitLines, laLimit, dgLimit, FLimitSource, FLimitGrid);
    fill(true, referenceLines, laReference, dgReference, FReferenceSource, FReferenceGrid);
    laNoRight->setVisible(!allowed);
    btnIgnore->setEnabled(allowed);
}

namespace {
bool RunPriceForm(int mode, TClientDataSet* limits, TClientDataSet* references, bool allowed)
{
    if (!HasRows(limits) && !HasRows(references))
        return true;
    auto form = std::make_unique<TCheckPriceForm>(g_DefaultCon, TBillSession::FromHost());
    form->SetLines(mode, limits, references, allowed);
    return form->ShowModal() == mrOk && allowed;
}
} // namespace

bool CheckPriceLimits(int mode, TClientDataSet* lines, bool allowed) { return RunPriceForm(mode, lines, nullptr, allowed); }

bool CheckReferencePrices(int mode, TClientDataSet* lines, bool allowed) { return RunPriceForm(mode, nullptr, lines, allowed); }

bool ShowPriceCheck(int cvFlag, bool allowed, const TPacketParams& answer)
{
    const auto limits = PacketList(answer, QStringLiteral("ds1"));
    const auto references = PacketList(answer, QStringLiteral("ds2"));
    return RunPriceForm(cvFlag == 2 ? 1 : 2, limits.get(), references.get(), allowed);
}

// ====================================================================== stock warning

bool StockRowShown(int errNo, const QString& batchCode, double newOnHand)
{
    if (errNo == 1502)
        return !batchCode.trimmed().isEmpty() && newOnHand < 0;
    return true;
}

std::function<QString(QWidget*, const QString&)> TBillCheckOnHandForm::AskExportFile = [](QWidget* parent, const QString& proposed) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出Excel"), proposed, QStringLiteral("Excel 工作簿 (*.xlsx)"));
};

TBillCheckOnHandForm::TBillCheckOnHandForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("BillCheckOnHandForm"));
    setWindowTitle(QStringLiteral("警告"));
    cdsShort = new TClientDataSet(this);
    cdsLimits = new TClientDataSet(this);
    FShortSource = new TDataSource(cdsShort, this);
    FLimitsSource = new TDataSource(cdsLimits, this);
    laShort = new QLabel(QStringLiteral("以下记录库存不足:"), this);
    laShort->setObjectName(QStringLiteral("laShort"));
    dgShort = NewListGrid(this, "dgShort", FShortSource);
    laLimits = new QLabel(QStringLiteral("以下货品的库存超出库存上限或低于库存下限:"), this);
    laLimits->setObjectName(QStringLiteral("laLimits"));
    dgLimits = NewListGrid(this, "dgLimits", FLimitsSource);
    btnExport = NewButton(this, "btnExport", "导出Excel");
    btnIgnore = NewButton(this, "btnIgnore", "忽略通过(&I)");
    btnCancel = NewButton(this, "btnCancel", "取消(&C)");
    btnCancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnExport);
    buttons->addStretch(1);
    buttons->addWidget(btnIgnore);
    buttons->addWidget(btnCancel);
    auto* root = new QVBoxLayout(this);
    root->addWidget(laShort);
    root->addWidget(dgShort, 1);
    root->addWidget(laLimits);
    root->addWidget(dgLimits, 1);
    root->addLayout(buttons);
    FShortGrid.Grid = dgShort;
    FShortGrid.DataSource = FShortSource;
    FLimitsGrid.Grid = dgLimits;
    FLimitsGrid.DataSource = FLimitsSource;
    connect(btnIgnore, &QPushButton::clicked, this, [this] { CloseModal(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    connect(btnExport, &QPushButton::clicked, this, [this] {
        const QString file = AskExportFile ? AskExportFile(this, QDir::home().filePath(QStringLiteral("库存检查.xlsx"))) : QString();
        if (!file.isEmpty())
            ExportList(file);
    });
    resize(820, 380);
    CaptureDesignBounds();
}

void TBillCheckOnHandForm::SetRows(int errNo, const QString& intro, TClientDataSet* rows, bool bookStock)
{
    const bool limits = errNo == 1503;
    TClientDataSet* target = limits ? cdsLimits : cdsShort;
    for (TClientDataSet* ds : {cdsShort, cdsLimits}) {
        ds->Close();
        ds->ClearFields();
    }
    if (rows && rows->Active()) {
        // the server's rows, those this reply is about
        for (const TFieldDef& d : rows->FieldDefs())
            target->AddField(d);
        target->CreateDataSet();
        target->LogChanges = false;
        const TField* batch = rows->FindField(QStringLiteral("batchcode"));
        const TField* after = rows->FindField(QStringLiteral("newonhand"));
        for (int r = 0; r < rows->RecordCount(); ++r) {
            const QString code = batch ? rows->RowValue(r, batch->Index()).toString() : QString();
            const double onHand = after ? rows->RowValue(r, after->Index()).toDouble() : 0;
            if (!StockRowShown(errNo, code, onHand))
                continue;
            QVariantList values;
            for (int c = 0; c < rows->FieldCount(); ++c)
                values << rows->RowValue(r, c);
            target->AppendRecord(values);
        }
        target->First();
    }
    QVector<std::tuple<const char*, const char*, int, const char*>> columns{
        {"storename", "仓库", 80, ""},   {"goodscode", "货品编码", 90, ""}, {"goodsname", "货品名称", 140, ""},
        {"specs", "规格", 70, ""},       {"unit", "单位", 45, ""}};
    if (errNo == 1502 || (target->Active() && target->FindField(QStringLiteral("batchcode"))))
        columns.append({"batchcode", "批号", 80, ""});
    columns.append({{"oldonhand", "原库存", 70, "0.####"}, {"qty", "变动数量", 70, "0.####"}, {"newonhand", "新库存", 70, "0.####"}});
    // the book stock, when the reply carries it beside the stock after the bill
    if (bookStock && !limits && target->Active() && target->FindField(QStringLiteral("ZeroOnhand")))
        columns.append({"ZeroOnhand", "账面库存", 70, "0.####"});
    if (limits)
        columns.append({{"topqty", "库存上限", 70, "0.####"}, {"downqty", "库存下限", 70, "0.####"}});
    SetListColumns(limits ? FLimitsGrid : FShortGrid, columns);
    laShort->setVisible(!limits);
    dgShort->setVisible(!limits);
    laLimits->setVisible(limits);
    dgLimits->setVisible(limits);
    if (!limits && !intro.isEmpty())
        laShort->setText(intro);
}

void TBillCheckOnHandForm::ExportList(const QString& file)
{
    const bool limits = dgLimits->isVisible() || !dgShort->isVisibleTo(this);
    ExportGridRows(limits ? dgLimits : dgShort, limits ? cdsLimits : cdsShort, file, windowTitle());
}

bool ShowStockCheck(int errNo, const QString& intro, const TPacketParams& answer, bool bookStock)
{
    const auto rows = PacketList(answer, QStringLiteral("ds1"));
    auto form = std::make_unique<TBillCheckOnHandForm>(g_DefaultCon, TBillSession::FromHost());
    form->SetRows(errNo, intro, rows.get(), bookStock);
    if (!rows->Active()) {
        // a reply without its list: the text is all there is to show
        form->laShort->setText(intro + u'\n' + answer.GetString(QStringLiteral("ErrMsg")));
    }
    return form->ShowModal() == mrOk;
}

// ====================================================================== the slots

void InstallCheckDialogs()
{
    TBillBaseForm::StockCheckDialog = [](TBillBaseForm* form, int errNo, const QString& intro, const TPacketParams& answer) {
        const bool bookStock = form && form->Document()->Session().OptionValue(QStringLiteral("WARNWHILEZEROONHAND")) == QLatin1String("1");
        return ShowStockCheck(errNo, intro, answer, bookStock);
    };
    TBillBaseForm::PriceCheckDialog = [](TBillBaseForm* form, bool allowed, const TPacketParams& answer) {
        return ShowPriceCheck(form ? form->CVFlag : 1, allowed, answer);
    };
}

void UninstallCheckDialogs()
{
    TBillBaseForm::StockCheckDialog = &TBillBaseForm::DefaultStockCheckDialog;
    TBillBaseForm::PriceCheckDialog = &TBillBaseForm::DefaultPriceCheckDialog;
}

// ====================================================================== export

void ExportGridRows(TDBGrid* grid, TClientDataSet* ds, const QString& file, const QString& title)
{
    QStringList headers;
    QList<TField*> fields;
    QHeaderView* h = grid->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (h->isSectionHidden(c))
            continue;
        if (TField* f = grid->Model()->FieldOfColumn(c)) {
            fields << f;
            headers << grid->Model()->headerData(c, Qt::Horizontal).toString();
        }
    }
    QVector<QVariantList> rows;
    for (int r = 0; ds->Active() && r < ds->RecordCount(); ++r) {
        QVariantList row;
        for (TField* f : std::as_const(fields))
            row << ds->RowValue(r, f->Index());
        rows << row;
    }
    try {
        ExportToXlsx(file, title, headers, rows, {});
    } catch (const Exception& e) {
        ShowError(e.Message(), QStringLiteral("错误"));
    }
}
