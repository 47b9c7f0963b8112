#pragma once
// The printed mark of a saved bill. Marking is a write like any other: the server checks that
// the table is a bill's master table and that the session's operator may print that bill.
#include "webrpc/Connection.h"

// Registers "MarkBillPrinted" with the proxy's registry.
void RegisterPrintMarkMethod();

// "MarkBillPrinted": "MasterTable", "KeyField" and "BillID" in; "ErrNo" 0 when the bill is
// marked, 1 with "ErrMsg" when the table is no bill's, the operator lacks the print right or
// the bill is gone. Nothing is written on a refusal.
QString MarkBillPrintedMethod(TClientConnection& con, const QString& request);
