#include "pickers/ImportWizardForm.h"

#include "host/Messages.h"
#include "pickers/CheckDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* NewTable(QWidget* parent, const char* name, const QStringList& titles)
{
    auto* t = new QTableWidget(0, int(titles.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(titles);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QString SettingsFile() { return QCoreApplication::applicationDirPath() + QStringLiteral("/System.ini"); }

QString Number(double v) { return QString::number(v, 'f', 4).remove(QRegularExpression(QStringLiteral("\\.?0+$"))); }

} // namespace

std::function<QString(QWidget*, const QString&)> TBillLoadDetailForm::AskFile = [](QWidget* parent, const QString& current) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("选择文件"), current,
                                        QStringLiteral("明细文件 (*.csv *.txt *.xlsx *.xls);;所有文件 (*)"));
};

TBillLoadDetailForm::TBillLoadDetailForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("BillLoadDetailForm"));
    laCaption = new QLabel(this);
    laCaption->setObjectName(QStringLiteral("laCaption"));
    QFont big = laCaption->font();
    big.setBold(true);
    laCaption->setFont(big);
    Pages = new QStackedWidget(this);

    // step 1: the file
    auto* p1 = new QWidget(Pages);
    auto* l1 = new QGridLayout(p1);
    edFileName = new QLineEdit(p1);
    edFileName->setObjectName(QStringLiteral("edFileName"));
    btnBrowse = NewButton(p1, "btnBrowse", "浏览...");
    l1->addWidget(new QLabel(QStringLiteral("请选择要导入的文件:"), p1), 0, 0, 1, 2);
    l1->addWidget(edFileName, 1, 0);
    l1->addWidget(btnBrowse, 1, 1);
    auto* hint = new QLabel(QStringLiteral("文件的第一行是字段名，以下每行一条明细。可以是逗号分隔的文本文件（UTF-8 或 GB18030 编码，"
                                           "*.csv、*.txt）或 Excel 工作簿（*.xlsx、*.xls，读第一个工作表）。"),
                            p1);
    hint->setWordWrap(true);
    l1->addWidget(hint, 2, 0, 1, 2);
    l1->setRowStretch(3, 1);
    Pages->addWidget(p1);

    // step 2: the pairs
    auto* p2 = new QWidget(Pages);
    auto* l2 = new QGridLayout(p2);
    l2->addWidget(new QLabel(QStringLiteral("请选择系统的字段和来自文件的字段进行匹配"), p2), 0, 0, 1, 3);
    l2->addWidget(new QLabel(QStringLiteral("系统字段:"), p2), 1, 0);
    l2->addWidget(new QLabel(QStringLiteral("文件字段:"), p2), 1, 1);
    lbSystemFields = new QListWidget(p2);
    lbSystemFields->setObjectName(QStringLiteral("lbSystemFields"));
    lbSystemFields->addItems(ImportSystemFields());
    lbFileFields = new QListWidget(p2);
    lbFileFields->setObjectName(QStringLiteral("lbFileFields"));
    l2->addWidget(lbSystemFields, 2, 0);
    l2->addWidget(lbFileFields, 2, 1);
    auto* pairButtons = new QVBoxLayout;
    btnAdd = NewButton(p2, "btnAdd", "增加");
    btnRemove = NewButton(p2, "btnRemove", "删除");
    btnAutoAdd = NewButton(p2, "btnAutoAdd", "自动增加");
    pairButtons->addWidget(btnAdd);
    pairButtons->addWidget(btnRemove);
    pairButtons->addWidget(btnAutoAdd);
    pairButtons->addStretch(1);
    l2->addLayout(pairButtons, 2, 2);
    tbPairs = NewTable(p2, "tbPairs", {QStringLiteral("文件字段"), QStringLiteral("系统字段")});
    l2->addWidget(tbPairs, 3, 0, 1, 3);
    Pages->addWidget(p2);

    // step 3: the rows
    auto* p3 = new QWidget(Pages);
    auto* l3 = new QVBoxLayout(p3);
    l3->addWidget(new QLabel(QStringLiteral("以下是可以成功添加的记录:"), p3));
    tbLines = NewTable(p3, "tbLines",
                       {QStringLiteral("行"), QStringLiteral("货品编码"), QStringLiteral("货品名称"), QStringLiteral("单位"),
                        QStringLiteral("数量"), QStringLiteral("单价")});
    l3->addWidget(tbLines, 3);
    l3->addWidget(new QLabel(QStringLiteral("以下记录不能添加:"), p3));
    edProblems = new QPlainTextEdit(p3);
    edProblems->setObjectName(QStringLiteral("edProblems"));
    edProblems->setReadOnly(true);
    l3->addWidget(edProblems, 1);
    laWait = new QLabel(QStringLiteral("请稍候..."), p3);
    laProgress = new QLabel(QStringLiteral("正在往单据中增加记录..."), p3);
    pbProgress = new QProgressBar(p3);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    for (QWidget* w : {static_cast<QWidget*>(laWait), static_cast<QWidget*>(laProgress), static_cast<QWidget*>(pbProgress)}) {
        l3->addWidget(w);
        w->setVisible(false);
    }
    Pages->addWidget(p3);

    btnPrior = NewButton(this, "btnPrior", "< 上一步");
    btnNext = NewButton(this, "btnNext", "下一步 >");
    btnFinish = NewButton(this, "btnFinish", "完成");
    btnCancel = NewButton(this, "btnCancel", "取消");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {btnPrior, btnNext, btnFinish, btnCancel})
        buttons->addWidget(b);
    auto* root = new QVBoxLayout(this);
    root->addWidget(laCaption);
    root->addWidget(Pages, 1);
    root->addLayout(buttons);

    connect(btnBrowse, &QPushButton::clicked, this, [this] {
        const QString file = AskFile ? AskFile(this, edFileName->text()) : QString();
        if (!file.isEmpty())
            edFileName->setText(file);
    });
    connect(btnAdd, &QPushButton::clicked, this, &TBillLoadDetailForm::AddPair);
    connect(btnRemove, &QPushButton::clicked, this, &TBillLoadDetailForm::RemovePair);
    connect(btnAutoAdd, &QPushButton::clicked, this, &TBillLoadDetailForm::AutoAddPairs);
    connect(btnPrior, &QPushButton::clicked, this, &TBillLoadDetailForm::PriorStep);
    connect(btnNext, &QPushButton::clicked, this, &TBillLoadDetailForm::NextStep);
    connect(btnFinish, &QPushButton::clicked, this, &TBillLoadDetailForm::Finish);
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });

    edFileName->setText(RememberedFile());
    ShowStep(1);
    resize(560, 420);
    CaptureDesignBounds();
}

QString TBillLoadDetailForm::RememberedFile()
{
    return QSettings(SettingsFile(), QSettings::IniFormat).value(QStringLiteral("LoadDetail/FileName")).toString();
}

void TBillLoadDetailForm::RememberFile(const QString& file)
{
    QSettings(SettingsFile(), QSettings::IniFormat).setValue(QStringLiteral("LoadDetail/FileName"), file);
}

void TBillLoadDetailForm::ShowStep(int step)
{
    FStep = step;
    Pages->setCurrentIndex(step - 1);
    const QString caption = QStringLiteral("导入单据明细向导--3步骤之") + QString::number(step);
    setWindowTitle(caption);
    if (window() != this)
        window()->setWindowTitle(caption);
    laCaption->setText(caption);
    btnPrior->setEnabled(step > 1);
    btnNext->setEnabled(step < 3);
    btnFinish->setEnabled(step == 3 && !FMatch.Lines.isEmpty());
}

bool TBillLoadDetailForm::NextStep()
{
    if (FStep == 1) {
        const QString file = edFileName->text().trimmed();
        const TImportRead read = ReadImportFile(file);
        if (!read.Ok()) {
            ShowInformation(read.Error);
            return false;
        }
        RememberFile(file);
        FSheet = read.Sheet;
        lbFileFields->clear();
        lbFileFields->addItems(FSheet.Headers);
        // pairs that no longer name a column of the file go
        FPairs.removeIf([this](const TImportPair& p) { return !FSheet.Headers.contains(p.FileField); });
        FillPairs();
        ShowStep(2);
        return true;
    }
    if (FStep == 2) {
        const QString refused = CheckImportPairs(FPairs);
        if (!refused.isEmpty()) {
            ShowInformation(refused);
            return false;
        }
        FMatch = MatchImportRows(Connection(), FSheet, FPairs);
        FillLines();
        ShowStep(3);
        return true;
    }
    return false;
}

void TBillLoadDetailForm::PriorStep()
{
    if (FStep > 1)
        ShowStep(FStep - 1);
}

void TBillLoadDetailForm::AddPair()
{
    const QListWidgetItem* system = lbSystemFields->currentItem();
    const QListWidgetItem* file = lbFileFields->currentItem();
    if (!system || !file)
        return;
    // a system field takes one column
    FPairs.removeIf([system](const TImportPair& p) { return p.SystemField == system->text(); });
    FPairs.append({file->text(), system->text()});
    FillPairs();
}

void TBillLoadDetailForm::RemovePair()
{
    const int row = tbPairs->currentRow();
    if (row < 0 || row >= FPairs.size())
        return;
    FPairs.removeAt(row);
    FillPairs();
}

void TBillLoadDetailForm::AutoAddPairs()
{
    for (const TImportPair& p : AutoImportPairs(FSheet.Headers)) {
        FPairs.removeIf([&p](const TImportPair& q) { return q.SystemField == p.SystemField; });
        FPairs.append(p);
    }
    FillPairs();
}

void TBillLoadDetailForm::FillPairs()
{
    tbPairs->setRowCount(int(FPairs.size()));
    for (int i = 0; i < FPairs.size(); ++i) {
        tbPairs->setItem(i, 0, new QTableWidgetItem(FPairs.at(i).FileField));
        tbPairs->setItem(i, 1, new QTableWidgetItem(FPairs.at(i).SystemField));
    }
}

void TBillLoadDetailForm::FillLines()
{
    tbLines->setRowCount(int(FMatch.Lines.size()));
    for (int i = 0; i < FMatch.Lines.size(); ++i) {
        const TImportLine& l = FMatch.Lines.at(i);
        const QStringList cells{QString::number(l.Row), l.Code, l.Name, l.UnitName, Number(l.Quantity),
                                l.HasPrice ? Number(l.Price) : QString()};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (c == 0 || c >= 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tbLines->setItem(i, c, item);
        }
    }
    tbLines->resizeColumnsToContents();
    edProblems->setPlainText(FMatch.Problems.join(u'\n'));
}

bool TBillLoadDetailForm::Finish()
{
    if (FStep != 3 || FMatch.Lines.isEmpty() || !AppendLines)
        return false;
    for (QWidget* w : {static_cast<QWidget*>(laWait), static_cast<QWidget*>(laProgress), static_cast<QWidget*>(pbProgress)})
        w->setVisible(true);
    pbProgress->setRange(0, int(FMatch.Lines.size()));
    pbProgress->setValue(0);
    for (QPushButton* b : {btnPrior, btnNext, btnFinish, btnCancel})
        b->setEnabled(false);
    FAdded = AppendLines(FMatch.Lines, [this](int done) {
        pbProgress->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    CloseModal(mrOk);
    return true;
}
