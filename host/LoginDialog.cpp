#include "host/LoginDialog.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"
#include "webrpc/RemoteLink.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

TPacketParams Call(TClientConnection* con, const QString& method, const TPacketParams& request)
{
    if (!con)
        throw EDatabaseError(QStringLiteral("没有连接到数据库！"));
    TPacketParams reply;
    reply.LoadFromString(con->Proxy()->Invoke(method, request.ToString()));
    return reply;
}

QLabel* ErrorLabel(QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QStringLiteral("lbError"));
    l->setStyleSheet(QStringLiteral("color: #c00000;"));
    l->setWordWrap(true);
    l->hide();
    return l;
}

void SetErrorText(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

QLineEdit* PasswordLine(const QString& name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEchoMode(QLineEdit::Password);
    e->setMinimumWidth(220);
    return e;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

// Nobody is logged in, neither in the host nor on the connection.
void LogOut(TClientConnection* con)
{
    ResetSession();
    if (con)
        con->SetSession(TServerSession());
}

} // namespace

// ---------------------------------------------------------------- services

TLoginInfo ReadLoginInfo(TClientConnection* con)
{
    const TPacketParams reply = Call(con, QStringLiteral("GetLoginInfo"), TPacketParams());
    if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
        throw EDatabaseError(reply.GetString(QStringLiteral("ErrMsg")));
    TLoginInfo info;
    info.AccountName = reply.GetString(QStringLiteral("AccountName"));
    TClientDataSet ops;
    ops.LoadFromXMLString(reply.GetString(QStringLiteral("Operators")));
    for (ops.First(); !ops.Eof(); ops.Next())
        info.Operators.append({ops.FieldByName(QStringLiteral("opid"))->AsInteger(), ops.FieldByName(QStringLiteral("code"))->AsString(),
                               ops.FieldByName(QStringLiteral("opname"))->AsString(),
                               ops.FieldByName(QStringLiteral("haspassword"))->AsInteger() != 0});
    return info;
}

TLoginResult LoginWithPassword(TClientConnection* con, int opid, const QString& opName, const QString& password)
{
    TLoginResult r;
    try {
        TPacketParams request;
        if (opid > 0)
            request.Set(QStringLiteral("OpID"), opid);
        else
            request.Set(QStringLiteral("OpName"), opName);
        request.Set(QStringLiteral("Password"), password);
        const TPacketParams reply = Call(con, QStringLiteral("Login"), request);
        if (reply.GetInt(QStringLiteral("ErrNo")) != 0) {
            r.Message = reply.GetString(QStringLiteral("ErrMsg"));
        } else if (!LoginAs(reply.GetInt(QStringLiteral("OpID")), con)) {
            r.Message = QStringLiteral("操作员不存在或已停用！");
        } else {
            r.Ok = true;
            r.MustSetPassword = reply.GetBool(QStringLiteral("MustSetPassword"));
        }
    } catch (const Exception& e) {
        r.Message = e.Message();
    }
    if (!r.Ok)
        LogOut(con);
    return r;
}

QString ChangePassword(TClientConnection* con, int opid, const QString& oldPassword, const QString& newPassword)
{
    try {
        TPacketParams request;
        if (opid > 0)
            request.Set(QStringLiteral("OpID"), opid);
        request.Set(QStringLiteral("OldPassword"), oldPassword);
        request.Set(QStringLiteral("NewPassword"), newPassword);
        const TPacketParams reply = Call(con, QStringLiteral("SetPassword"), request);
        return reply.GetInt(QStringLiteral("ErrNo")) == 0 ? QString() : reply.GetString(QStringLiteral("ErrMsg"));
    } catch (const Exception& e) {
        return e.Message();
    }
}

// ---------------------------------------------------------------- login window

TLoginDialog::TLoginDialog(TClientConnection* con, QWidget* parent) : QDialog(parent), FCon(con)
{
    setObjectName(QStringLiteral("LoginForm"));
    setWindowTitle(QStringLiteral("登录 Tradebill"));
    setMinimumWidth(360);
    QString loadError;
    try {
        FInfo = ReadLoginInfo(con);
    } catch (const Exception& e) {
        loadError = e.Message();
    }
    QString account = FInfo.AccountName;
    if (account.isEmpty() && con)
        account = QFileInfo(con->DatabaseFile()).completeBaseName();

    auto* layout = new QVBoxLayout(this);
    lbAccount = new QLabel(QStringLiteral("账套：%1").arg(account), this);
    lbAccount->setObjectName(QStringLiteral("lbAccount"));
    QFont big = lbAccount->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    lbAccount->setFont(big);
    layout->addWidget(lbAccount);

    auto* form = new QFormLayout;
    // Where the books are: empty for this computer's database, else https://host:port of the
    // chain's server. Changing it connects there and lists that server's operators.
    edServer = new QLineEdit(con && con->Remote() ? con->Remote()->Server().toString() : QString(), this);
    edServer->setObjectName(QStringLiteral("edServer"));
    edServer->setPlaceholderText(QStringLiteral("本机数据库（或输入 https://服务器:端口）"));
    form->addRow(QStringLiteral("服务器："), edServer);
    cbOperator = new QComboBox(this);
    cbOperator->setObjectName(QStringLiteral("cbOperator"));
    FillOperators();
    edPassword = PasswordLine(QStringLiteral("edPassword"), this);
    form->addRow(QStringLiteral("操作员："), cbOperator);
    form->addRow(QStringLiteral("密码："), edPassword);
    layout->addLayout(form);

    lbHint = new QLabel(this);
    lbHint->setObjectName(QStringLiteral("lbHint"));
    lbHint->setWordWrap(true);
    layout->addWidget(lbHint);
    lbError = ErrorLabel(this);
    layout->addWidget(lbError);
    auto* buttons = OkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TLoginDialog::TryLogin);
    layout->addWidget(buttons);

    connect(edServer, &QLineEdit::editingFinished, this, &TLoginDialog::SwitchServer);
    connect(cbOperator, &QComboBox::currentIndexChanged, this, [this] {
        SetErrorText(lbError, QString());
        UpdateHint();
    });
    UpdateHint();
    if (!loadError.isEmpty())
        SetErrorText(lbError, loadError);
    edPassword->setFocus();
}

void TLoginDialog::FillOperators()
{
    cbOperator->clear();
    for (const TLoginOperator& op : std::as_const(FInfo.Operators))
        cbOperator->addItem(op.Code.isEmpty() ? op.Name : QStringLiteral("%1 (%2)").arg(op.Name, op.Code), op.OpID);
}

void TLoginDialog::SwitchServer()
{
    const QString url = edServer->text().trimmed();
    const QString current = FCon && FCon->Remote() ? FCon->Remote()->Server().toString() : QString();
    if (!FCon || url == current)
        return;
    if (url.isEmpty()) {
        SetErrorText(lbError, QStringLiteral("要改用本机数据库，请不带 --server 重新启动程序。"));
        edServer->setText(current);
        return;
    }
    try {
        const QString cert = FCon->Remote() ? FCon->Remote()->CertFile() : QString();
        FCon->OpenRemote(url, cert);
        FInfo = ReadLoginInfo(FCon);
        lbAccount->setText(QStringLiteral("账套：%1").arg(FInfo.AccountName));
        FillOperators();
        SetErrorText(lbError, QString());
    } catch (const Exception& e) {
        SetErrorText(lbError, e.Message());
    }
    UpdateHint();
}

void TLoginDialog::SelectOperator(int opid)
{
    const int i = cbOperator->findData(opid);
    if (i >= 0)
        cbOperator->setCurrentIndex(i);
}

int TLoginDialog::SelectedOperator() const { return cbOperator->currentData().toInt(); }

QString TLoginDialog::AccountText() const { return lbAccount->text(); }

QString TLoginDialog::ErrorText() const { return lbError->isVisibleTo(this) ? lbError->text() : QString(); }

void TLoginDialog::UpdateHint()
{
    const int i = cbOperator->currentIndex();
    const bool none = i >= 0 && i < FInfo.Operators.size() && !FInfo.Operators[i].HasPassword;
    lbHint->setText(none ? QStringLiteral("该操作员还没有密码：密码留空登录，然后设置新密码。") : QString());
    lbHint->setVisible(none);
}

void TLoginDialog::TryLogin()
{
    if (SelectedOperator() <= 0) {
        SetErrorText(lbError, QStringLiteral("请选择操作员！"));
        return;
    }
    FResult = LoginWithPassword(FCon, SelectedOperator(), QString(), edPassword->text());
    if (FResult.Ok) {
        accept();
        return;
    }
    SetErrorText(lbError, FResult.Message);
    edPassword->clear();
    edPassword->setFocus();
}

// ---------------------------------------------------------------- password window

TSetPasswordDialog::TSetPasswordDialog(TClientConnection* con, int opid, bool askOld, const QString& intro, QWidget* parent)
    : QDialog(parent), FCon(con), FOpID(opid)
{
    setObjectName(QStringLiteral("SetPasswordForm"));
    setWindowTitle(QStringLiteral("设置密码"));
    auto* layout = new QVBoxLayout(this);
    if (!intro.isEmpty()) {
        auto* l = new QLabel(intro, this);
        l->setObjectName(QStringLiteral("lbIntro"));
        l->setWordWrap(true);
        layout->addWidget(l);
    }
    auto* form = new QFormLayout;
    if (askOld) {
        edOld = PasswordLine(QStringLiteral("edOldPassword"), this);
        form->addRow(QStringLiteral("原密码："), edOld);
    }
    edNew = PasswordLine(QStringLiteral("edNewPassword"), this);
    edConfirm = PasswordLine(QStringLiteral("edConfirmPassword"), this);
    form->addRow(QStringLiteral("新密码："), edNew);
    form->addRow(QStringLiteral("确认新密码："), edConfirm);
    layout->addLayout(form);
    lbError = ErrorLabel(this);
    layout->addWidget(lbError);
    auto* buttons = OkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TSetPasswordDialog::TrySave);
    layout->addWidget(buttons);
    (edOld ? edOld : edNew)->setFocus();
}

QString TSetPasswordDialog::ErrorText() const { return lbError->isVisibleTo(this) ? lbError->text() : QString(); }

void TSetPasswordDialog::TrySave()
{
    if (edNew->text() != edConfirm->text()) {
        SetErrorText(lbError, QStringLiteral("两次输入的新密码不一致！"));
        edConfirm->clear();
        edConfirm->setFocus();
        return;
    }
    const QString why = ChangePassword(FCon, FOpID, edOld ? edOld->text() : QString(), edNew->text());
    if (why.isEmpty()) {
        accept();
        return;
    }
    SetErrorText(lbError, why);
}

// ---------------------------------------------------------------- at start

bool AskFirstPassword(TClientConnection* con)
{
    TSetPasswordDialog dialog(con, 0, false,
                              QStringLiteral("操作员“%1”还没有密码。请设置密码，以后登录时使用。").arg(g_asUserName));
    if (ExecModal(&dialog) == QDialog::Accepted)
        return true;
    LogOut(con);
    return false;
}

bool AskNewPassword(TClientConnection* con)
{
    bool hasPassword = true;
    try {
        for (const TLoginOperator& op : ReadLoginInfo(con).Operators)
            if (op.OpID == g_iUserID)
                hasPassword = op.HasPassword;
    } catch (const Exception&) {
        // the server asks for the old password anyway when there is one
    }
    TSetPasswordDialog dialog(con, 0, hasPassword, QStringLiteral("修改操作员“%1”的密码。").arg(g_asUserName));
    if (ExecModal(&dialog) != QDialog::Accepted)
        return false;
    ShowInformation(QStringLiteral("密码已修改，下次登录时请使用新密码。"));
    return true;
}

bool LoginInteractively(TClientConnection* con, int preselectOpid)
{
    TLoginDialog dialog(con);
    if (preselectOpid > 0)
        dialog.SelectOperator(preselectOpid);
    if (ExecModal(&dialog) != QDialog::Accepted) {
        LogOut(con);
        return false;
    }
    return !dialog.MustSetPassword() || AskFirstPassword(con);
}
