#include "package/PackageSeams.h"

#include "host/Messages.h"
#include "pickers/Pickers.h"

TPackageSeams::TFormFactory TPackageSeams::CreatePrintSamEdit;
TPackageSeams::TFormFactory TPackageSeams::CreateSetPosBatch;
TPackageSeams::TFormFactory TPackageSeams::CreateBillManage;
TPackageSeams::TFormFactory TPackageSeams::CreateDRPForm;
std::function<bool(const QString&, TClientDataSet*, bool, int, int, const QString&, bool)> TPackageSeams::PickGoods =
    ShowPickGoods;
std::function<bool(int, int&, const QString&)> TPackageSeams::PickClient = ShowPickClient;
std::function<bool(int, int, int, int, TReturnValue*, const QDate&, double)> TPackageSeams::PickBatch = ShowPickBatchCode;
std::function<bool(int, int, int)> TPackageSeams::ProcessSelect = ShowProcessSelect;
std::function<bool(QString&, QString&, QString&, int&, const QString&)> TPackageSeams::SelectBatchCodeCopy =
    ShowSelectBatchCodeCopy;
std::function<bool(TBillBaseForm*, int&, int&)> TPackageSeams::GoodsBillIds;

void TPackageSeams::Reset()
{
    CreatePrintSamEdit = nullptr;
    CreateSetPosBatch = nullptr;
    CreateBillManage = nullptr;
    CreateDRPForm = nullptr;
    PickGoods = nullptr;
    PickClient = nullptr;
    PickBatch = nullptr;
    ProcessSelect = nullptr;
    SelectBatchCodeCopy = nullptr;
    GoodsBillIds = nullptr;
    SelectSourceLines = nullptr;
    ShowSourceActions = nullptr;
    ImportDetailLines = nullptr;
    SetLinePrice = nullptr;
}

void ShowNotInstalled(const QString& what) { ShowInformation(QStringLiteral("该功能模块没有安装：") + what); }
