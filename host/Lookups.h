#pragma once
// The host's cached lookup tables (employees, departments, banks, vendors, ...) that bill
// forms bind their drop-down lists to, and the global functions through which packages
// reach them and the main window.
//
// Each lookup name maps to a select in the system's SQL dialect. A lookup dataset is owned
// by the host, created on first use and kept for the session; names compare without
// regard to case. A data-source name ("Vendor_DS") is the lookup's name with "_DS" in
// place of "_T" (or "_DS" dropped: "GoodsDataSet_DS" -> "GoodsDataSet"). There is no
// separate data-source object in this system: the dataset itself is what a list binds to,
// so "GETLOOKUPDATASOURCE" answers the dataset too.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

class TClientDataSet;
class TClientQuery;

// Adds or replaces a lookup (packages may add their own).
void RegisterLookup(const QString& name, const QString& sql);
QStringList LookupNames();
// The select of a lookup; "" when the name is unknown.
QString LookupSql(const QString& name);
// The name a data-source or lookup name resolves to; "" when unknown.
QString ResolveLookupName(const QString& name);
// The cached dataset, opened from the database when not open yet. nullptr for an unknown
// name. Throws EDatabaseError when the select fails (the dataset stays closed).
TClientDataSet* GetLookupDataSet(const QString& name);
// The cached dataset without opening it.
TClientDataSet* FindLookupDataSet(const QString& name);
// (Re)opens the table from the database; false for an unknown name.
bool OpenLookupTable(const QString& name);
// Closes the table; its next use reads it again.
bool CloseLookupTable(const QString& name);
// Drops every cached dataset (log-in as another user, tests).
void FreeLookupTables();

// Base statements of the bill search ("GetFindDataSet"): the search package registers one
// per data-set name; the host hands back a query holding it (not opened).
void RegisterFindDataSet(const QString& name, const QString& sql);
TClientQuery* GetFindDataSet(const QString& name);

// Registers the host's global functions:
//  "GETLOOKUPDATASET" / "GetLookupDataSet"  subject lookup name -> dataset address (qint64,
//        0 for an unknown name); with a bag, "SQL" receives the lookup's select. A select
//        that fails is written to the log and the closed dataset is answered, so that the
//        caller can load it itself.
//  "GETLOOKUPDATASOURCE"                      the same for data-source names.
//  "OPENLOOKUPTABLE" / "CLOSELOOKUPTABLE"     subject lookup name; "Result" = done.
//  "GETPROPERTYVALUE"                         "ACTIVEMDICHILD" -> the main window's current
//        MDI child (address, 0 when none); "Handle" -> the main window (address).
//  "SETCOMPONENTENABLED"                      subject edit-menu item name, bag "ENABLED"
//        (or "Enabled"): enables/disables that item of the main window's edit menu.
//  "GETPAYTYPEDEFAULTBANK"                    payment type id in the subject or the bag's
//        "PayTypeID"; answers its bankid (0 when none) and writes it to the bag's "BankID".
//  "GetFindDataSet"                           subject data-set name -> query address (or a
//        lookup dataset of that name), 0 when unknown.
//  "GETASSUBID"                               "iSubID" = 0: subject choice belongs to the
//        accounting package, which is not part of this host.
//  "SendKQEmail" / "SENDKQMESSAGE"            no mail or message account is configured:
//        "Result" = false and the user is told so.
//  "FormShowModal" with "ExcelGuide_Frm"      the spreadsheet import guide on the active bill
//        window (ExcelGuide below); any other form, or no guide installed: as the next group.
//  "GOTOSPECIALCRED", "SHOWMODEDESIGNFORM", "SHOWREPORTFORM", "FormShowModal",
//  "REFERARCHIVES", "CREATEARCHIVES", "BillOaForm", "OPENCHATFORM"
//        belong to packages not installed in this host: the user is told the function is
//        not available, "Result" = false.
//  and the master-data and new-company functions (RegisterMasterDataFunctions,
//  RegisterNewCompanyFunction).
// Each registration replaces an earlier one, so a package that implements one of these
// names registers it after this call.
void RegisterHostFunctions();
// The spreadsheet import guide the host runs for "ExcelGuide_Frm" on the window it is given
// (the active bill window); installed by the package that imports lines, empty without it.
void SetExcelGuide(std::function<void(QWidget* form)> guide);
