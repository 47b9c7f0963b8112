#include "pickers/SelectBatchCodeCopyForm.h"

#include "host/Messages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TSelectBatchCodeCopyForm::TSelectBatchCodeCopyForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TPickerForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SelectBatchCodeCopyForm"));
    setWindowTitle(QStringLiteral("批号复制"));
    edBatchCode = new QLineEdit(this);
    edBatchCode->setObjectName(QStringLiteral("edBatchCode"));
    edCount = new QLineEdit(this);
    edCount->setObjectName(QStringLiteral("edCount"));
    btnOK = new QPushButton(QStringLiteral("确定(&A)"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("批号："), edBatchCode);
    fields->addRow(QStringLiteral("数量："), edCount);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* root = new QVBoxLayout(this);
    root->addLayout(fields);
    root->addStretch();
    root->addLayout(buttons);
    connect(edBatchCode, &QLineEdit::textChanged, this, [this](const QString& text) { FParts = SplitBatchCode(text); });
    connect(btnOK, &QPushButton::clicked, this, &TSelectBatchCodeCopyForm::OkClicked);
    connect(btnCancel, &QPushButton::clicked, this, [this] { CloseModal(mrCancelled); });
    resize(300, 140);
    CaptureDesignBounds();
}

void TSelectBatchCodeCopyForm::SetBatchCode(const QString& code)
{
    edBatchCode->setText(code);
    FParts = SplitBatchCode(code);
}

bool TSelectBatchCodeCopyForm::OkClicked()
{
    const int count = ParseCopyCount(edCount->text());
    if (count <= 0) {
        ShowInformation(QStringLiteral("请输入大于零的整型数据！"), QStringLiteral("提示"));
        edCount->setFocus();
        return false;
    }
    FParts = SplitBatchCode(edBatchCode->text());
    if (!FParts.HasDigit) {
        ShowInformation(QStringLiteral("批号必须由字母和数字组成！"), QStringLiteral("提示"));
        edBatchCode->setFocus();
        return false;
    }
    FCount = count;
    CloseModal(mrOk);
    return true;
}
