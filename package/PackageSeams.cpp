#include "package/PackageSeams.h"

#include "host/Messages.h"

TPackageSeams::TFormFactory TPackageSeams::CreatePrintSamEdit;
TPackageSeams::TFormFactory TPackageSeams::CreateSetPosBatch;
TPackageSeams::TFormFactory TPackageSeams::CreateBillManage;
TPackageSeams::TFormFactory TPackageSeams::CreateDRPForm;
std::function<bool(const QString&, TClientDataSet*, bool, int, int, const QString&, bool)> TPackageSeams::PickGoods;
std::function<bool(int, int&, const QString&)> TPackageSeams::PickClient;
std::function<bool(TBillBaseForm*, int&, int&)> TPackageSeams::GoodsBillIds;

void TPackageSeams::Reset()
{
    CreatePrintSamEdit = nullptr;
    CreateSetPosBatch = nullptr;
    CreateBillManage = nullptr;
    CreateDRPForm = nullptr;
    PickGoods = nullptr;
    PickClient = nullptr;
    GoodsBillIds = nullptr;
    PickBatch = nullptr;
    SelectBatchCodeCopy = nullptr;
}

void ShowNotInstalled(const QString& what) { ShowInformation(QStringLiteral("该功能模块没有安装：") + what); }
