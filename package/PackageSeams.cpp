#include "package/PackageSeams.h"

#include "host/Messages.h"
#include "pickers/Pickers.h"
#include "pickers/SmallDialogs.h"

TPackageSeams::TFormFactory TPackageSeams::CreatePrintSamEdit;
TPackageSeams::TFormFactory TPackageSeams::CreateSetPosBatch;
TPackageSeams::TFormFactory TPackageSeams::CreateBillManage;
TPackageSeams::TFormFactory TPackageSeams::CreateDRPForm;
std::function<bool(const QString&, TClientDataSet*, bool, int, int, const QString&, bool)> TPackageSeams::PickGoods =
    ShowPickGoods;
std::function<bool(int, int&, const QString&)> TPackageSeams::PickClient = ShowPickClient;
std::function<bool(TBillBaseForm*, int&, int&)> TPackageSeams::GoodsBillIds;

namespace {
// The inline slots are defined (and empty) before this runs: they come first in this file.
const bool kInlineSlotsFilled = [] {
    TPackageSeams::PickBatch = ShowPickBatchCode;
    TPackageSeams::SelectBatchCodeCopy = ShowSelectBatchCodeCopy;
    TPackageSeams::ProcessSelect = ShowProcessSelect;
    TPackageSeams::SelectUserDef = ShowSelectUserDef;
    return true;
}();
} // namespace

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
    SelectUserDef = nullptr;
    GoodsBillIds = nullptr;
    SelectSourceLines = nullptr;
    ShowSourceActions = nullptr;
    ImportDetailLines = nullptr;
    SetLinePrice = nullptr;
}

void ShowNotInstalled(const QString& what) { ShowInformation(QStringLiteral("该功能模块没有安装：") + what); }
