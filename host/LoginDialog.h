#pragma once
// Logging in: the server checks the operator's password ("Login") and the host then takes
// the operator as its current user; the login window, and the window in which an operator
// sets a password (at the first start of a new database, or later to change it).
#include <QDialog>
#include <QString>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class TClientConnection;

struct TLoginOperator {
    int OpID = 0;
    QString Code;
    QString Name;
    bool HasPassword = false;
};
// What the login window shows before anyone is logged in ("GetLoginInfo").
struct TLoginInfo {
    QString AccountName;
    QVector<TLoginOperator> Operators;
};
// Throws Exception with the server's message when it cannot be read.
TLoginInfo ReadLoginInfo(TClientConnection* con);

struct TLoginResult {
    bool Ok = false;
    QString Message;              // why not, in words
    bool MustSetPassword = false; // the operator has no password yet
};
// Logs in by operator id, or by name or code when opid is 0. On success the connection's
// session and the host's current values (LoginAs) are the operator's; on refusal nobody is
// logged in.
TLoginResult LoginWithPassword(TClientConnection* con, int opid, const QString& opName, const QString& password);
// Sets a password through "SetPassword" (opid 0: the logged-in operator's own). "" on
// success, else the server's message.
QString ChangePassword(TClientConnection* con, int opid, const QString& oldPassword, const QString& newPassword);

// The login window ("LoginForm"): the account set, a drop-down of the operators and the
// password. 确定 logs in; a refusal is shown in the window, which stays open.
class TLoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit TLoginDialog(TClientConnection* con, QWidget* parent = nullptr);

    void SelectOperator(int opid);
    int SelectedOperator() const;
    QComboBox* OperatorBox() const { return cbOperator; }
    QLineEdit* PasswordEdit() const { return edPassword; }
    QLineEdit* ServerEdit() const { return edServer; }
    QString AccountText() const;
    QString ErrorText() const;
    // After acceptance: whether the operator still has to set a password.
    bool MustSetPassword() const { return FResult.MustSetPassword; }

    // What 确定 does: logs in, accepts on success.
    void TryLogin();

private:
    TClientConnection* FCon;
    TLoginInfo FInfo;
    TLoginResult FResult;
    QLabel* lbAccount;
    QComboBox* cbOperator;
    QLineEdit* edServer;
    QLineEdit* edPassword;
    QLabel* lbHint;
    QLabel* lbError;
    void UpdateHint();
    void FillOperators();
    void SwitchServer();
};

// Setting a password ("SetPasswordForm"): the old one when the operator has one, the new
// one twice. 确定 stores it; a refusal is shown in the window.
class TSetPasswordDialog : public QDialog {
    Q_OBJECT
public:
    // opid 0: the logged-in operator. askOld: the operator must give the current password.
    TSetPasswordDialog(TClientConnection* con, int opid, bool askOld, const QString& intro, QWidget* parent = nullptr);

    QLineEdit* OldPasswordEdit() const { return edOld; }
    QLineEdit* NewPasswordEdit() const { return edNew; }
    QLineEdit* ConfirmEdit() const { return edConfirm; }
    QString ErrorText() const;
    void TrySave();

private:
    TClientConnection* FCon;
    int FOpID;
    QLineEdit* edOld = nullptr;
    QLineEdit* edNew;
    QLineEdit* edConfirm;
    QLabel* lbError;
};

// The login at start: the login window (preselectOpid chosen) until the login succeeds or
// the user cancels, then the new password of an operator who has none yet. False when the
// user cancelled either window; nobody is logged in then.
bool LoginInteractively(TClientConnection* con, int preselectOpid = 0);
// The logged-in operator changes their password (giving the old one when they have one).
// True when it was changed.
bool AskNewPassword(TClientConnection* con);
// Asks the logged-in operator, who has no password yet, to set one. False (and logged out)
// when the user cancels.
bool AskFirstPassword(TClientConnection* con);
