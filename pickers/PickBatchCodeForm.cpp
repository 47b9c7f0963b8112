#include "pickers/PickBatchCodeForm.h"

#include "host/Messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

TPickBatchCodeForm::TPickBatchCodeForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TBillSelectBaseForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("PickBatchCodeForm"));
    setWindowTitle(QStringLiteral("选择批次"));
    cdsBatchCode = new TClientDataSet(this);
    cdsBatchCode->setObjectName(QStringLiteral("cdsBatchCode"));
    laSelect = new QLabel(QStringLiteral("查找"), plTop);
    laSelect->setObjectName(QStringLiteral("laSelect"));
    dlgcBatchCode = new QComboBox(plTop);
    dlgcBatchCode->setObjectName(QStringLiteral("dlgcBatchCode"));
    dlgcBatchCode->setMinimumWidth(140);
    auto* top = static_cast<QHBoxLayout*>(plTop->layout());
    top->addWidget(laSelect);
    top->addWidget(dlgcBatchCode);
    connect(dlgcBatchCode, &QComboBox::activated, this, [this](int index) { ChooseBatchCode(dlgcBatchCode->itemText(index)); });
    connect(dgMaster, &QAbstractItemView::doubleClicked, this, [this] { OkClicked(); });
    cdsMaster->OnFilterRecord = [this](TClientDataSet* ds) {
        return FBatchCode.isEmpty() || ds->FieldByName(QStringLiteral("batchcode"))->AsString() == FBatchCode;
    };
}

void TPickBatchCodeForm::PrepareSelect()
{
    const TBatchPickStatement s = BatchPickStatement(Request, Session().OptionValue(QStringLiteral("ISDISPLAYPRICE")) == u'1');
    laCaption->setText(s.Caption);
    MasterSQL = s.Sql;
    MasterParams = s.Params;
    DetailSQL.clear();
    ReturnFields = s.ReturnFields.split(u',', Qt::SkipEmptyParts);
    MasterGrid.Columns.clear();
    for (const TBatchPickColumn& c : s.Columns)
        AddColumn(MasterGrid, c.Field, c.Title, c.Width, c.Format);
    OpenMaster();
}

void TPickBatchCodeForm::OpenMaster()
{
    if (MasterSQL.isEmpty()) {
        cdsMaster->Close();
        return;
    }
    TBillSelectBaseForm::OpenMaster();
    // A re-read (a title click) keeps the chosen batch code.
    cdsMaster->SetFiltered(!FBatchCode.isEmpty());
    OpenBatchCodeList();
}

void TPickBatchCodeForm::OpenBatchCodeList()
{
    const QString keep = FBatchCode;
    dlgcBatchCode->clear();
    try {
        Connection()->OpenDataSet(BatchCodeListSql(GetMasterSQL()), cdsBatchCode, MasterParams);
        for (cdsBatchCode->First(); !cdsBatchCode->Eof(); cdsBatchCode->Next())
            dlgcBatchCode->addItem(cdsBatchCode->FieldByName(QStringLiteral("batchcode"))->AsString());
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("批号列表读取失败：") + QString::fromUtf8(e.what()));
    }
    const int at = keep.isEmpty() ? -1 : dlgcBatchCode->findText(keep);
    dlgcBatchCode->setCurrentIndex(at >= 0 ? at : 0);
    if (at < 0)
        ChooseBatchCode(QStringLiteral("所有"));
}

void TPickBatchCodeForm::ChooseBatchCode(const QString& code)
{
    FBatchCode = code == QStringLiteral("所有") ? QString() : code;
    if (!cdsMaster->Active())
        return;
    cdsMaster->SetFiltered(false);
    cdsMaster->SetFiltered(!FBatchCode.isEmpty());
    cdsMaster->First();
}
