#pragma once
// Start-up of the desktop application, apart from the window, so tests can run it too.
#include <QString>
#include <QStringList>

class TClientConnection;

struct TAppOptions {
    QString DemoDatabase;   // created and filled with demo data when missing
    QString Database;       // another database file; wins over the demo one when set
    int UserID = 1;
    QString Screenshot;     // render the main window to this PNG and exit
    QStringList OpenForms;  // bill forms to open at start ("PorderForm" ...)
};

// Reads the command line; throws Exception with a usage text on a bad option.
TAppOptions ParseAppOptions(const QStringList& args, const QString& appDir);

// Opens (creating when needed) the database, registers the server procedures, makes it
// the host's shared connection and logs the user in. Returns the connection (owned by
// the caller). Throws Exception with a clear message on failure.
TClientConnection* StartSession(const TAppOptions& options);
