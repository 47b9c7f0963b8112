#pragma once
// File -> 新建帐套: a user starts the books of their own company without SQL. The window
// asks for the company, the first working period, the administrator and the file; the
// server method "CreateCompany" builds the database (schema, standard rows, no demo rows);
// the administrator is then logged in through the ordinary login and the new books become
// the ones the application works on.
#include <QDialog>
#include <QString>

#include <memory>

class QLineEdit;
class QSpinBox;
class TClientConnection;

struct TNewCompany {
    QString FileName;    // the new database file; must not exist yet (or be empty)
    QString CompanyName;
    QString AccountName; // the name of the books shown at login; the company's when blank
    int FirstYear = 0;   // the first working period
    int FirstMonth = 0;
    QString AdminName;
    QString AdminCode;   // what the administrator types to log in
    QString Password;
    QString Confirm;     // the password again
};

// The first thing wrong with the entries, in words, and the entry it is about ("FileName",
// "CompanyName", ...); empty when nothing is.
struct TNewCompanyProblem {
    QString Message;
    QString Field;
    bool IsEmpty() const { return Message.isEmpty(); }
};
TNewCompanyProblem CheckNewCompany(const TNewCompany& c);

// Creates the company's database file and logs its administrator in on the returned
// connection (server session only; the host's current values stay as they are). Throws
// Exception with the reason; a refused or failed creation removes the file it made.
std::unique_ptr<TClientConnection> CreateCompanyDatabase(const TNewCompany& c);

// Makes the connection the application's: the bill windows still open are closed first
// (false, and nothing changed, when one of them stays open), the cached lookups are dropped,
// the host's session is the administrator's and the main window shows the new books. The
// host keeps the connection until another one replaces it.
bool SwitchToCompany(std::unique_ptr<TClientConnection> con, int opid);

// The window of 新建帐套 ("NewCompanyForm"). 确定 ("btnOK") checks, creates the database
// and accepts; a refusal is told and the entries stay.
class TNewCompanyDialog : public QDialog {
    Q_OBJECT
public:
    explicit TNewCompanyDialog(const QString& folder, QWidget* parent = nullptr);
    ~TNewCompanyDialog() override;

    TNewCompany Entries() const;
    QLineEdit* Edit(const QString& field) const; // "CompanyName", "FileName", "Password", ...
    QSpinBox* YearBox() const { return spYear; }
    QSpinBox* MonthBox() const { return spMonth; }
    // The connection made by 确定 (logged in as the administrator); null before.
    std::unique_ptr<TClientConnection> TakeConnection();
    void TryCreate();

private:
    QString FFolder;
    bool FFileTyped = false;
    QLineEdit* edCompany;
    QLineEdit* edAccount;
    QLineEdit* edFile;
    QSpinBox* spYear;
    QSpinBox* spMonth;
    QLineEdit* edAdminName;
    QLineEdit* edAdminCode;
    QLineEdit* edPassword;
    QLineEdit* edConfirm;
    std::unique_ptr<TClientConnection> FCon;
    void FollowName();
};

// Registers "NEWACCOUNTSET" (File -> 新建帐套): the window, then the switch to the new books.
void RegisterNewCompanyFunction();
