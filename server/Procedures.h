#pragma once
// The server procedures every bill relies on, run in-process through the proxy.
#include "webrpc/Connection.h"

// Registers every server method and stored procedure with the proxy's registry.
// Safe to call more than once.
void RegisterServerProcedures();

// Creates the schema and fills the demo data when the database is empty; returns true
// when it did. One transaction: a failure leaves the file as it was.
bool InitializeDatabase(TClientConnection& con, bool withDemoData = true);

// "GetClientDataSet" / "GetADODataSet": "Count" and "SQL1".."SQLn" in, "ClientDataSet1".."n"
// (data packets in the compact encoding, which LoadFromXMLString reads) and "ErrMsg" out.
QString GetClientDataSetMethod(TClientConnection& con, const QString& request);

// "ApplyUpdates": "TableName", "KeyFields" ("a;b") and "Delta" (a dataset delta) in;
// writes the delta in one transaction; "ErrNo" 0 with "RowsAffected", or 1 with "ErrMsg".
QString ApplyUpdatesMethod(TClientConnection& con, const QString& request);

// "getnewbillcodebydate": @shopid, @billdate ('yyyy-MM-dd'), @masttablename -> @billcode.
void GetNewBillCodeProc(TClientConnection& con, TProcParams& params, TClientDataSet* rows);
// Code format shared with the save procedures: yyyyMMdd-SS-NNNN (branch, sequence).
QString FormatBillCode(const QDate& date, int shopId, int seq);

// "GETKEYVALUE": @TableName [, @FieldName] -> @R_KeyValue, unique across processes.
void GetKeyValueProc(TClientConnection& con, TProcParams& params, TClientDataSet* rows);
