#pragma once
// The server procedures that store, delete and red-reverse bills: "Submit_<bill>_Save",
// "Submit_<bill>_Del" and "Submit_<bill>_Red" for all thirty-five bill forms, one engine driven
// by the bill's `billkind` row.
//
// Replies: "ErrNo" 0 with "NewBillID" (and "NewBillCode", "BillCodeTips" when the code was
// replaced); 1 with "ErrTitle" and "ErrMsg" for a refusal or a failure (nothing is written);
// 1501 goods short of stock, 1502 batches or lots short, 1503 goods outside their stock limits,
// each with "ErrMsg" and the offending rows as the data packet "ds1". The request's "CheckStep"
// skips every check numbered below it (the client sends N + 1 after the user accepted N).
#include "webrpc/Connection.h"

#include <QStringList>

// Registers the 105 procedures with the server registry. Safe to call more than once.
void RegisterBillProcedures();

// The bill type served by a procedure name ("Submit_POrder_Save", "submit_porder_red", ...),
// -1 when the name is none of ours.
int BillTypeOfProcedure(const QString& procName);
// Every procedure name, in the order of the bill forms.
QStringList BillProcedureNames();

QString SubmitBillSave(TClientConnection& con, int billType, const QString& request);
QString SubmitBillDelete(TClientConnection& con, int billType, const QString& request);
QString SubmitBillRed(TClientConnection& con, int billType, const QString& request);
