// Kept in its own file: it is the only part of printing that needs the package's seam
// table, so programs that print without the package do not pull the package in.
#include "printing/PrintingSeams.h"

#include "host/KQParams.h"
#include "host/Registry.h"
#include "package/PackageSeams.h"
#include "printing/PrintBill.h"
#include "printing/PrintSamDialogs.h"
#include "templates/StyleDefineForm.h"
#include "templates/SysEditors.h"

void RegisterPrintingSeams()
{
    RegisterPrintMoneyInWords();
    TPackageSeams::CreatePrintSamEdit = [] { return CreatePrintSamEdit(); };
    // "设计打印样式" in the bill template editor opens the manager of the bill's report type.
    g_ShowPrintStyleManager = [](QWidget* parent, int reportType) { ShowStyleBillSam(reportType, parent); };
    RegisterSysEditorFunctions();
    RegistFunction(QStringLiteral("SHOWMODEDESIGNFORM"), [](const QString&, const QString&, KQParams* params) {
        const int type = params ? params->GetValue(QStringLiteral("REPORTTYPE")).toInt() : 0;
        if (type > 0)
            ShowStyleBillSam(type);
        if (params)
            params->AddValue(QStringLiteral("Result"), type > 0);
        return 0;
    });
}
