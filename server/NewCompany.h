#pragma once
// A new account set: a company's own books in an empty database file, with the schema, the
// rows every account set holds (bill windows, kinds, options) and no demo rows, its first
// working period and its administrator.
#include "webrpc/Connection.h"

#include <QDate>
#include <QString>

// Registers "CreateCompany" with the proxy's registry.
void RegisterNewCompanyMethod();

// "CreateCompany" on a connection to an empty database: "CompanyName", "AccountName"
// (defaults to the company name), "FirstYear", "FirstMonth" (the first working period),
// "AdminName", "AdminCode" and "Password" (the administrator, a system manager) in; "ErrNo"
// (0 done, 1 refused: "ErrMsg" tells why and the file stays empty) and "OpID" out.
// The periods run from the first one to the month of today (the current one), or just the
// first one when it lies ahead.
QString CreateCompanyMethod(TClientConnection& con, const QString& request);
// The same with a fixed today.
QString CreateCompanyMethod(TClientConnection& con, const QString& request, const QDate& today);
