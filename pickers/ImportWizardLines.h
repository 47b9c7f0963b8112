#pragma once
// The import wizard on a goods bill: the rows the wizard matched become the bill's lines,
// each appended through the goods-line engine as if the goods, unit, quantity and price had
// been typed.
#include "pickers/ImportWizardFiles.h"

#include <functional>

class TGoodsLines;
struct TBillLinesSetup;

// Appends one line per row to the engine's detail; answers the number appended. `progress`
// hears the count after each line.
int AppendImportLines(TGoodsLines& lines, const QVector<TImportLine>& rows, const std::function<void(int done)>& progress = {});

// The wizard for a goods bill; answers the number of lines added (0 when cancelled).
int ImportLinesInto(const TBillLinesSetup& bill);
