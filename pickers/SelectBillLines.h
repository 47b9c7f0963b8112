#pragma once
// A goods bill taking lines from its source bills: which partner and condition each selection
// lists bills for, the source-bill dialog, and the goods-line engine's receiving end that
// turns the chosen lines into the bill's own. The goods bill window reaches this through the
// package seam TPackageSeams::SelectSourceLines (see SelectBillSeams).
#include "goodsbill/GoodsLines.h"
#include "goodsbill/LinePricing.h"
#include "pickers/SelectBillSetup.h"

#include <functional>
#include <memory>

// The goods-line engine on a bill window's datasets, for the time of one operation.
class TFormLineEngine {
public:
    explicit TFormLineEngine(const TBillLinesSetup& bill);
    TFormLineEngine(const TFormLineEngine&) = delete;
    TFormLineEngine& operator=(const TFormLineEngine&) = delete;
    TGoodsLines& Lines() { return *FLines; }
    TGoodsBillContext& Context() { return FCtx; }

private:
    TGoodsBillContext FCtx;
    std::unique_ptr<TLinePricing> FPricing;
    std::unique_ptr<TGoodsLines> FLines;
};

// While alive, the changes of a dataset's fields go to `handler` instead of to the window
// (nullptr: to nobody), so that lines an engine fills do not run the window's own routines a
// second time.
class TFieldChangesTakenOver {
public:
    TFieldChangesTakenOver(TClientDataSet* ds, std::function<void(TField*)> handler);
    ~TFieldChangesTakenOver();
    TFieldChangesTakenOver(const TFieldChangesTakenOver&) = delete;
    TFieldChangesTakenOver& operator=(const TFieldChangesTakenOver&) = delete;

private:
    TClientDataSet* FDataSet;
    QVector<std::function<void(TField*)>> FHandlers;
};
