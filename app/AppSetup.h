#pragma once
// Start-up of the desktop application, apart from the window, so tests can run it too.
#include <QString>
#include <QStringList>

class TClientConnection;

struct TAppOptions {
    QString DemoDatabase;   // created and filled with demo data when missing
    QString Database;       // another database file; wins over the demo one when set
    QString Server;         // --server https://host:port: work through tradebill-server instead
    QString ServerCert;     // --server-cert: the server's own certificate (a self-signed one)
    int UserID = 0;         // --user as an operator id; 0 when not given as one
    QString UserName;       // --user as an operator's name or code
    bool HasPassword = false;
    QString Password;       // --password, else the environment's TRADEBILL_PASSWORD
    QString Screenshot;     // render the main window (or the login window) to this PNG and exit
    QStringList OpenForms;  // bill forms to open at start ("PorderForm" ...)

    bool HasUser() const { return UserID > 0 || !UserName.isEmpty(); }
};

// Reads the command line; throws Exception with a usage text on a bad option.
TAppOptions ParseAppOptions(const QStringList& args, const QString& appDir);

// With --server, opens a session on tradebill-server instead (no local database at all).
// Opens (creating when needed) the database, registers the server procedures and makes it
// the host's shared connection; nobody is logged in yet. Returns the connection (owned by
// the caller). Throws Exception with a clear message on failure.
TClientConnection* OpenAppDatabase(const TAppOptions& options);

enum class TStartLogin {
    LoggedIn,        // --user and a password were given and accepted
    MustSetPassword, // ... accepted, but the operator has no password yet
    AskUser,         // no user or no password given: the login window decides
};
// Logs in with --user and the password when both were given, without asking. Throws
// Exception with the server's message when they are refused.
TStartLogin LoginFromOptions(const TAppOptions& options, TClientConnection* con);
// The operator the login window starts with: --user by id, name or code; 0 for none.
int PreselectedOperator(const TAppOptions& options, TClientConnection* con);

// Opens the bill windows named by --open. A name that no bill window is registered under
// is told to the user (ShowError) instead of being passed over; returns those names.
QStringList OpenStartForms(const QStringList& forms, bool tellUser = true);
