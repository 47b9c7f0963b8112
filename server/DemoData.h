#pragma once
// Demo data of a small trading company: two shops, three stores, about two hundred goods
// in a three-level goods-type tree, clients and vendors with contacts, employees, money
// accounts, opening stock, account options, operators and rights, the standard window
// template of every bill window and the standard print style rows. Deterministic.
//
// Expects an empty database on which CreateSchema has run; the caller brackets it in a
// transaction.
#include <QDate>
#include <QString>

struct sqlite3;
class TClientConnection;

void FillDemoData(sqlite3* db);
// What a new account set holds besides the schema and is no demo: invoice, bill, delivery,
// payment, goods and costing kinds, price levels, account options with their defaults, the
// bill windows with their standard templates and the print style rows. FillDemoData writes
// them too.
void FillStandardRows(sqlite3* db);
// The same with a fixed "today" (periods, batch dates and discount windows follow it).
void FillDemoData(sqlite3* db, const QDate& today);
// The same on whichever engine the connection runs.
void FillDemoData(TClientConnection& con, const QDate& today);
void FillStandardRows(TClientConnection& con);
void FillStandardWindows(TClientConnection& con);

// What a new database needs for its bill windows even without the demo company: the field
// definitions and the standard template (id 1) of every bill window, and the standard print
// style rows. FillDemoData writes them too.
void FillStandardWindows(sqlite3* db);

// Bill windows: the window id of a bill form is its bill type.
struct TDemoBillWindow {
    int WindowID;          // = bill type
    const char* FormName;  // "PorderForm"
    const char* Title;     // window title, the caption of the key field
    int ReportType;        // print template type of the bill
};
// The 35 bill windows in registration order.
const TDemoBillWindow* DemoBillWindows(int* count);

// Whether a goods-unit bar code is a valid EAN-13 (13 digits, check digit right).
bool IsValidEan13(const QString& code);
// The EAN-13 check digit of 12 digits.
int Ean13CheckDigit(const QString& twelveDigits);
