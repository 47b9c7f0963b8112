#include "host/NewCompany.h"

#include "host/Lookups.h"
#include "host/MainWindow.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "platform/TextRules.h"
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The books opened from the menu; the application keeps the one it started with.
std::unique_ptr<TClientConnection>& CompanyConnection()
{
    static std::unique_ptr<TClientConnection> con;
    return con;
}

TPacketParams Call(TClientConnection& con, const QString& method, const TPacketParams& request)
{
    TPacketParams reply;
    reply.LoadFromString(con.Proxy()->Invoke(method, request.ToString()));
    return reply;
}

// Characters a file name cannot hold on the systems the books travel to.
bool BadFileChar(QChar c) { return QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 32; }

} // namespace

TNewCompanyProblem CheckNewCompany(const TNewCompany& c)
{
    auto text = [](const QString& value, const QString& caption, int maxLength, const char* field) -> TNewCompanyProblem {
        const QString t = value.trimmed();
        if (t.size() > maxLength)
            return {QStringLiteral("%1最多%2个字符！").arg(caption).arg(maxLength), QString::fromLatin1(field)};
        const QString refused = RefusedTextReason(t);
        if (!refused.isEmpty())
            return {QStringLiteral("%1：%2").arg(caption, refused), QString::fromLatin1(field)};
        return {};
    };
    if (c.CompanyName.trimmed().isEmpty())
        return {QStringLiteral("请输入公司名称！"), QStringLiteral("CompanyName")};
    for (const TNewCompanyProblem& p : {text(c.CompanyName, QStringLiteral("公司名称"), 128, "CompanyName"),
                                        text(c.AccountName, QStringLiteral("帐套名称"), 64, "AccountName"),
                                        text(c.AdminName, QStringLiteral("管理员名称"), 40, "AdminName"),
                                        text(c.AdminCode, QStringLiteral("管理员代码"), 20, "AdminCode")})
        if (!p.IsEmpty())
            return p;
    if (!QDate(c.FirstYear, c.FirstMonth, 1).isValid() || c.FirstYear < 2000 || c.FirstYear > 2099)
        return {QStringLiteral("启用期间不正确，请输入2000年到2099年之间的年份和1到12月！"), QStringLiteral("FirstYear")};
    if (c.AdminName.trimmed().isEmpty())
        return {QStringLiteral("请输入管理员名称！"), QStringLiteral("AdminName")};
    if (c.AdminCode.trimmed().isEmpty())
        return {QStringLiteral("请输入管理员代码，登录时使用！"), QStringLiteral("AdminCode")};
    if (c.Password.isEmpty())
        return {QStringLiteral("请输入管理员的密码！"), QStringLiteral("Password")};
    if (c.Password != c.Confirm)
        return {QStringLiteral("两次输入的密码不一致，请重新输入！"), QStringLiteral("Confirm")};
    const QString file = c.FileName.trimmed();
    if (file.isEmpty())
        return {QStringLiteral("请输入帐套文件的名称！"), QStringLiteral("FileName")};
    const QFileInfo info(file);
    for (QChar ch : info.fileName())
        if (BadFileChar(ch))
            return {QStringLiteral("帐套文件名中不能有字符“%1”！").arg(ch.unicode() < 32 ? QStringLiteral("控制字符") : QString(ch)),
                    QStringLiteral("FileName")};
    if (info.exists() && (info.isDir() || info.size() > 0))
        return {QStringLiteral("文件“%1”已经存在，请换一个文件名！").arg(file), QStringLiteral("FileName")};
    if (!info.absoluteDir().exists())
        return {QStringLiteral("文件夹“%1”不存在！").arg(info.absolutePath()), QStringLiteral("FileName")};
    return {};
}

std::unique_ptr<TClientConnection> CreateCompanyDatabase(const TNewCompany& c)
{
    const TNewCompanyProblem p = CheckNewCompany(c);
    if (!p.IsEmpty())
        throw Exception(p.Message);
    const QString file = QFileInfo(c.FileName.trimmed()).absoluteFilePath();
    const bool existed = QFileInfo::exists(file);
    auto con = std::make_unique<TClientConnection>();
    try {
        con->Open(file);
        TPacketParams request;
        request.Set(QStringLiteral("CompanyName"), c.CompanyName.trimmed());
        request.Set(QStringLiteral("AccountName"), c.AccountName.trimmed());
        request.Set(QStringLiteral("FirstYear"), c.FirstYear);
        request.Set(QStringLiteral("FirstMonth"), c.FirstMonth);
        request.Set(QStringLiteral("AdminName"), c.AdminName.trimmed());
        request.Set(QStringLiteral("AdminCode"), c.AdminCode.trimmed());
        request.Set(QStringLiteral("Password"), c.Password);
        TPacketParams reply = Call(*con, QStringLiteral("CreateCompany"), request);
        if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
            throw Exception(reply.GetString(QStringLiteral("ErrMsg")));
        // The administrator logs in as anyone would, which proves the password took.
        TPacketParams login;
        login.Set(QStringLiteral("OpID"), reply.GetInt(QStringLiteral("OpID")));
        login.Set(QStringLiteral("Password"), c.Password);
        reply = Call(*con, QStringLiteral("Login"), login);
        if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
            throw Exception(reply.GetString(QStringLiteral("ErrMsg")));
    } catch (const Exception&) {
        con.reset();
        if (!existed)
            QFile::remove(file);
        throw;
    }
    return con;
}

bool SwitchToCompany(std::unique_ptr<TClientConnection> con, int opid)
{
    if (!con)
        return false;
    if (TMainWindow* w = MainWindow()) {
        w->MdiArea()->closeAllSubWindows();
        if (!w->MdiArea()->subWindowList().isEmpty())
            return false;
    }
    FreeLookupTables();
    ResetSession();
    TClientConnection* previous = g_DefaultCon;
    g_DefaultCon = con.get();
    if (!LoginAs(opid, con.get())) {
        g_DefaultCon = previous;
        return false;
    }
    // The books opened before from the menu are no longer anyone's.
    CompanyConnection() = std::move(con);
    if (TMainWindow* w = MainWindow()) {
        w->UpdateStatusBar();
        w->setWindowTitle(QStringLiteral("Tradebill 单据 - %1").arg(AccSetData.AccountName));
    }
    return true;
}

// ---------------------------------------------------------------- the window

TNewCompanyDialog::TNewCompanyDialog(const QString& folder, QWidget* parent) : QDialog(parent), FFolder(folder)
{
    setObjectName(QStringLiteral("NewCompanyForm"));
    setWindowTitle(QStringLiteral("新建帐套"));
    auto line = [this](const char* name, bool password = false) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMinimumWidth(300);
        if (password)
            e->setEchoMode(QLineEdit::Password);
        return e;
    };
    edCompany = line("CompanyName");
    edCompany->setMaxLength(128);
    edAccount = line("AccountName");
    edAccount->setMaxLength(64);
    edAccount->setPlaceholderText(QStringLiteral("不填则与公司名称相同"));
    edFile = line("FileName");
    spYear = new QSpinBox(this);
    spYear->setObjectName(QStringLiteral("FirstYear"));
    spYear->setRange(2000, 2099);
    spYear->setSuffix(QStringLiteral(" 年"));
    spMonth = new QSpinBox(this);
    spMonth->setObjectName(QStringLiteral("FirstMonth"));
    spMonth->setRange(1, 12);
    spMonth->setSuffix(QStringLiteral(" 月"));
    const QDate today = QDate::currentDate();
    spYear->setValue(today.year());
    spMonth->setValue(today.month());
    edAdminName = line("AdminName");
    edAdminName->setText(QStringLiteral("系统管理员"));
    edAdminCode = line("AdminCode");
    edAdminCode->setText(QStringLiteral("admin"));
    edPassword = line("Password", true);
    edConfirm = line("Confirm", true);

    auto* period = new QHBoxLayout;
    period->addWidget(spYear);
    period->addWidget(spMonth);
    period->addStretch();
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(edFile, 1);
    auto* browse = new QPushButton(QStringLiteral("浏览..."), this);
    browse->setObjectName(QStringLiteral("btnBrowse"));
    browse->setAutoDefault(false);
    fileRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("公司名称 *"), edCompany);
    form->addRow(QStringLiteral("帐套名称"), edAccount);
    form->addRow(QStringLiteral("启用期间 *"), period);
    form->addRow(QStringLiteral("帐套文件 *"), fileRow);
    form->addRow(QStringLiteral("管理员名称 *"), edAdminName);
    form->addRow(QStringLiteral("管理员代码 *"), edAdminCode);
    form->addRow(QStringLiteral("管理员密码 *"), edPassword);
    form->addRow(QStringLiteral("确认密码 *"), edConfirm);

    auto* note = new QLabel(QStringLiteral("新帐套只有标准的单据模板和系统设置，没有演示数据。建好后即以管理员身份打开新帐套，"
                                           "请先在“基础资料”中录入仓库、货品、客户和供应商。"),
                            this);
    note->setWordWrap(true);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(box, &QDialogButtonBox::accepted, this, &TNewCompanyDialog::TryCreate);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* root = new QVBoxLayout(this);
    root->addLayout(form);
    root->addWidget(note);
    root->addWidget(box);

    // The file follows the names until the user picks one.
    connect(edCompany, &QLineEdit::textEdited, this, &TNewCompanyDialog::FollowName);
    connect(edAccount, &QLineEdit::textEdited, this, &TNewCompanyDialog::FollowName);
    connect(edFile, &QLineEdit::textEdited, this, [this] { FFileTyped = true; });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("帐套文件"), edFile->text(), QStringLiteral("帐套文件 (*.db)"));
        if (!file.isEmpty()) {
            edFile->setText(file);
            FFileTyped = true;
        }
    });
}

TNewCompanyDialog::~TNewCompanyDialog() = default;

void TNewCompanyDialog::FollowName()
{
    if (FFileTyped)
        return;
    QString name = edAccount->text().trimmed().isEmpty() ? edCompany->text().trimmed() : edAccount->text().trimmed();
    for (QChar& c : name)
        if (BadFileChar(c))
            c = u'_';
    edFile->setText(name.isEmpty() ? QString() : QDir(FFolder).filePath(name + QStringLiteral(".db")));
}

QLineEdit* TNewCompanyDialog::Edit(const QString& field) const { return findChild<QLineEdit*>(field); }

TNewCompany TNewCompanyDialog::Entries() const
{
    TNewCompany c;
    c.FileName = edFile->text();
    c.CompanyName = edCompany->text();
    c.AccountName = edAccount->text();
    c.FirstYear = spYear->value();
    c.FirstMonth = spMonth->value();
    c.AdminName = edAdminName->text();
    c.AdminCode = edAdminCode->text();
    c.Password = edPassword->text();
    c.Confirm = edConfirm->text();
    return c;
}

std::unique_ptr<TClientConnection> TNewCompanyDialog::TakeConnection() { return std::move(FCon); }

void TNewCompanyDialog::TryCreate()
{
    const TNewCompany entries = Entries();
    const TNewCompanyProblem p = CheckNewCompany(entries);
    if (!p.IsEmpty()) {
        ShowInformation(p.Message);
        if (QWidget* w = findChild<QWidget*>(p.Field))
            w->setFocus();
        return;
    }
    try {
        FCon = CreateCompanyDatabase(entries);
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    accept();
}

namespace {

int NewAccountSetFunction(const QString&, const QString&, KQParams*)
{
    if (TMainWindow* w = MainWindow(); w && !w->MdiArea()->subWindowList().isEmpty()) {
        if (!ShowYesNoQuestion(QStringLiteral("新建帐套后将打开新的帐套，现在打开的窗口都要关闭。是否继续？")))
            return 0;
        w->MdiArea()->closeAllSubWindows();
        if (!w->MdiArea()->subWindowList().isEmpty())
            return 0;
    }
    const QString current = g_DefaultCon ? g_DefaultCon->DatabaseFile() : QString();
    TNewCompanyDialog dialog(current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath(), MainWindow());
    if (ExecModal(&dialog) != QDialog::Accepted)
        return 0;
    std::unique_ptr<TClientConnection> con = dialog.TakeConnection();
    const int opid = con ? con->Session().OpID : 0;
    if (!SwitchToCompany(std::move(con), opid)) {
        ShowError(QStringLiteral("帐套已经建好，但不能打开它，请关闭所有窗口后重新登录。"));
        return -1;
    }
    ShowInformation(QStringLiteral("帐套“%1”已经建好并打开。").arg(AccSetData.AccountName));
    return 0;
}

} // namespace

void RegisterNewCompanyFunction() { RegistFunction(QStringLiteral("NEWACCOUNTSET"), NewAccountSetFunction); }
