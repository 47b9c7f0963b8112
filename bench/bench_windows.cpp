// Opening a bill window as the menu does ("SHOWBILLFORM"): the form is made, its template is
// read and its controls and grid columns built, a new bill is started and the window shown;
// then the window is closed. Measured for a few bills of different sizes of template, and for
// reading the template object alone.
#include "bench/BenchSupport.h"
#include "goodsbill/GoodsBillForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"
#include "package/PackageSeams.h"
#include "server/Procedures.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {



// The package loaded over a copy of the demo database, logged in as the manager.
class TWindowBench {
public:
    TWindowBench()
    {
        const QString file = FDir.filePath(QStringLiteral("bench.db"));
        QFile::copy(TemplateDatabase(), file);
        RegisterServerProcedures();
        FCon.Open(file);
        g_DefaultCon = &FCon;
        ResetSession();
        ClearRegistries();
        TPackageSeams::Reset();
        FMessages = std::make_unique<TScriptedMessages>();
        LoginAs(1, &FCon);
        BillLoad();
    }
    ~TWindowBench()
    {
        BillUnload();
        FMessages.reset();
        ClearRegistries();
        TPackageSeams::Reset();
        FreeLookupTables();
        ResetSession();
        g_DefaultCon = nullptr;
    }
    // Opens the window of a form name; nullptr when it did not open.
    static TBillBaseForm* OpenWindow(const QString& formName)
    {
        Bill_Call(QStringLiteral("SHOWBILLFORM"), formName, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (TBillBaseForm* f = TBillBaseForm::AsBillForm(w); f && f->objectName() == formName && f->isVisible())
                return f;
        return nullptr;
    }

private:
    QTemporaryDir FDir;
    TClientConnection FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
};

const char* const kForms[] = {"PorderForm", "InvoiceForm", "AllotForm", "ChargeForm", "MoveMoneyForm"};

void BM_OpenBillWindow(benchmark::State& state)
{
    TWindowBench bench;
    const QString form = QString::fromLatin1(kForms[state.range(0)]);
    state.SetLabel(kForms[state.range(0)]);
    // The first window also fills the host's lookup caches, which later windows share.
    delete TWindowBench::OpenWindow(form);
    for (auto _ : state) {
        TBillBaseForm* f = TWindowBench::OpenWindow(form);
        if (!f) {
            state.SkipWithError("the window did not open");
            return;
        }
        QApplication::processEvents();
        state.PauseTiming();
        delete f;
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenBillWindow)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The template object of the purchase order read on its own.
void BM_LoadTemplate(benchmark::State& state)
{
    TWindowBench bench;
    for (auto _ : state) {
        TStyleInfo style;
        benchmark::DoNotOptimize(style.Load(6, 1));
    }
}
BENCHMARK(BM_LoadTemplate)->Unit(benchmark::kMicrosecond);


} // namespace

