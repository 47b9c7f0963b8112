// The template manager operations, the designer hand-off and the manager dialogs, driven
// through the scripted message seam.
#include "PrintingFixture.h"

#include "printing/PrintSamDialogs.h"
#include "printing/PrintTemplateStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Answers the name dialog with a name, through its own OK button.
TScriptedMessages::TDialogHandler EnterName(const QString& name)
{
    return [name](QDialog* d) {
        auto* form = qobject_cast<TSamNameForm*>(d);
        if (!form)
            throw std::runtime_error("expected the name dialog");
        form->SamDBEdit->setText(name);
        form->OKBtn->click();
        return d->result();
    };
}

TScriptedMessages::TDialogHandler ChooseFile(const QString& file)
{
    return [file](QDialog* d) {
        auto* fd = qobject_cast<QFileDialog*>(d);
        if (!fd)
            throw std::runtime_error("expected a file dialog");
        fd->selectFile(file);
        return int(QDialog::Accepted);
    };
}

QByteArray ReadAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WaitForFile(const QString& file, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (QFile::exists(file) && QFileInfo(file).size() > 0)
            return true;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return false;
}

class TStoreTest : public TPrintingDbTest {
protected:
    void SetUp() override
    {
        TPrintingDbTest::SetUp();
        List = std::make_unique<TClientQuery>(nullptr, FCon.get());
        List->SQL = QStringLiteral("select * from report where rpttype = 6 order by rptid");
        List->OpenQuery();
        Store = std::make_unique<TPrintTemplateStore>(List.get());
    }
    void TearDown() override
    {
        Store.reset();
        List.reset();
        TPrintingDbTest::TearDown();
    }
    // A fake designer that writes its command line and working folder beside itself.
    QString InstallFakeDesigner()
    {
        const QString path = QDir(AppDir()).filePath(QStringLiteral("KQDesign"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\necho \"$1|$2|$(pwd)\" > \"$(dirname \"$0\")/designer-args.txt.tmp\"\n"
                "mv \"$(dirname \"$0\")/designer-args.txt.tmp\" \"$(dirname \"$0\")/designer-args.txt\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    int AddUserTemplate(const QString& name)
    {
        TScriptedMessages msgs;
        msgs.OnModal(QStringLiteral("TSamNameForm"), EnterName(name));
        EXPECT_TRUE(Store->NewTemplate(6));
        return List->FieldByName(QStringLiteral("rptid"))->AsInteger();
    }

    std::unique_ptr<TClientQuery> List;
    std::unique_ptr<TPrintTemplateStore> Store;
};

} // namespace

TEST_F(TStoreTest, NewTemplateCopiesTheDefaultPreparesItAndTellsWhenTheDesignerIsMissing)
{
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("TSamNameForm"), [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), U("新增 [ 销售出货单 ] 样式名称"));
        return EnterName(U("我的出货单"))(d);
    });
    ASSERT_TRUE(Store->NewTemplate(6));
    const int id = List->FieldByName(QStringLiteral("rptid"))->AsInteger();
    EXPECT_GT(id, 5000); // keys continue after the demo rows
    EXPECT_FALSE(IsStandardReportID(id));
    EXPECT_EQ(StoredName(id), U("我的出货单"));
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select rpttype from report where rptid = ") + QString::number(id)).toInt(), 6);
    const TReportTemplate t = TReportTemplate::FromJson(StoredData(id));
    bool hasCustomer = false;
    for (const auto& v : t.Variables)
        hasCustomer = hasCustomer || v.Name == U("客户名称");
    EXPECT_TRUE(hasCustomer);
    EXPECT_FALSE(t.Columns.isEmpty());
    // the designer is not installed in the test's application folder
    ASSERT_EQ(msgs.Count(TMessageKind::Information), 1);
    EXPECT_EQ(msgs.Last().Text, U("该 [ ") + PrintDesignerPath() + U(" ]\r\n可执行文件已不存在，不能新增和修改样式，\r\n需要重新安装才可以使用！"));
    EXPECT_EQ(msgs.Last().Caption, U("提示"));
    EXPECT_EQ(List->ChangeCount(), 0);
}

TEST_F(TStoreTest, CancellingTheNameAddsNothing)
{
    const int before = RowCount();
    TScriptedMessages msgs;
    msgs.OnModal([](QDialog* d) {
        qobject_cast<TSamNameForm*>(d)->CancelBtn->click();
        return d->result();
    });
    EXPECT_FALSE(Store->NewTemplate(6));
    EXPECT_EQ(RowCount(), before);
    EXPECT_EQ(List->ChangeCount(), 0);
}

TEST_F(TStoreTest, ModifyHandsTheTemplateToTheDesigner)
{
    const int id = AddUserTemplate(U("旧名称"));
    InstallFakeDesigner();
    RegistFunctionEx(QStringLiteral("GETPROPERTYVALUE"), [](const QString&, const QString& subject, KQParams*) {
        return subject == QLatin1String("Handle") ? QVariant(qint64(4242)) : QVariant(qint64(0));
    });
    TScriptedMessages msgs;
    msgs.OnModal([](QDialog* d) {
        auto* form = qobject_cast<TSamNameForm*>(d);
        EXPECT_EQ(d->windowTitle(), U("修改 [ 销售出货单 ] 样式名称"));
        EXPECT_FALSE(form->SamDBEdit->isReadOnly());
        EXPECT_EQ(form->Name(), U("旧名称"));
        return EnterName(U("新名称"))(d);
    });
    ASSERT_TRUE(List->Locate(QStringLiteral("rptid"), id));
    ASSERT_TRUE(Store->ModifyTemplate());
    UnregistFunction(QStringLiteral("GETPROPERTYVALUE"));
    EXPECT_EQ(StoredName(id), U("新名称"));
    EXPECT_EQ(msgs.Count(), 1); // only the name dialog

    const QString args = QDir(AppDir()).filePath(QStringLiteral("designer-args.txt"));
    ASSERT_TRUE(WaitForFile(args));
    const QStringList parts = QString::fromUtf8(ReadAll(args)).trimmed().split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 3);
    const QString handed = QDir(TempDirectory()).filePath(QStringLiteral("%1.Zrp").arg(id));
    EXPECT_EQ(parts[0], handed);
    EXPECT_EQ(parts[1], QStringLiteral("4242"));
    EXPECT_EQ(QDir(parts[2]).canonicalPath(), QDir(AppDir()).canonicalPath());
    EXPECT_EQ(ReadAll(handed), StoredData(id));
    EXPECT_EQ(QString::fromUtf8(ReadAll(QDir(AppDir()).filePath(QStringLiteral("ReportTitle.ini")))).trimmed(), U("新名称"));

    // What the designer saves goes back into the row.
    EXPECT_EQ(Store->StoreDesignedTemplates(), 0);
    TReportTemplate edited = TReportTemplate::FromJson(StoredData(id));
    edited.Page.MarginLeft = 20;
    QThread::msleep(20);
    edited.SaveToFile(handed);
    QFile(handed).setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    EXPECT_EQ(Store->StoreDesignedTemplates(), 1);
    EXPECT_EQ(TReportTemplate::FromJson(StoredData(id)).Page.MarginLeft, 20);
}

TEST_F(TStoreTest, SystemAndStandardTemplatesAreProtected)
{
    TScriptedMessages msgs;
    ASSERT_TRUE(List->Locate(QStringLiteral("rptid"), -6));
    EXPECT_FALSE(Store->ModifyTemplate());
    EXPECT_EQ(msgs.Last().Text, U("系统样式不能修改!"));
    EXPECT_FALSE(Store->DeleteTemplate());
    EXPECT_EQ(msgs.Last().Text, U("标准样式不能删除!"));

    // The standard row keeps its name; OK still prepares its content.
    ASSERT_TRUE(List->Locate(QStringLiteral("rptid"), 6));
    const QString name = StoredName(6);
    ASSERT_TRUE(StoredData(6).isEmpty());
    msgs.OnModal([](QDialog* d) {
        auto* form = qobject_cast<TSamNameForm*>(d);
        EXPECT_TRUE(form->SamDBEdit->isReadOnly());
        EXPECT_EQ(form->NoteLabel->text(), U("标准样式名称不能修改，点确定可修改其报表内容。"));
        form->SamDBEdit->setText(QStringLiteral("ignored"));
        form->OKBtn->click();
        return d->result();
    });
    EXPECT_TRUE(Store->ModifyTemplate());
    EXPECT_EQ(StoredName(6), name);
    EXPECT_FALSE(TReportTemplate::FromJson(StoredData(6)).Variables.isEmpty());
    EXPECT_EQ(RowCount(QStringLiteral("rptid in (6, -6)")), 2);
}

TEST_F(TStoreTest, DeleteAsksAndRemovesRowAndFile)
{
    const int id = AddUserTemplate(U("待删除"));
    const QString file = PrintTemplatePath(id);
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::exists(file));

    TScriptedMessages msgs;
    msgs.AnswerNo();
    EXPECT_FALSE(Store->DeleteTemplate());
    EXPECT_EQ(msgs.Last().Text, U("确实要删除该打印样式?"));
    EXPECT_EQ(msgs.Last().Caption, U("询问"));
    EXPECT_EQ(RowCount(QStringLiteral("rptid = ") + QString::number(id)), 1);

    msgs.AnswerYes();
    EXPECT_TRUE(Store->DeleteTemplate());
    EXPECT_EQ(RowCount(QStringLiteral("rptid = ") + QString::number(id)), 0);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(List->Locate(QStringLiteral("rptid"), id));
}

TEST_F(TStoreTest, RestorePutsTheSystemDefaultBack)
{
    const int id = AddUserTemplate(U("改坏的"));
    TReportTemplate broken = TReportTemplate::FromJson(StoredData(id));
    broken.Bands.removeIf([](const TReportBand& b) { return b.Kind == TReportBandKind::Title; });
    FCon->Execute(QStringLiteral("update report set data = :d where rptid = :id"),
                  {{QStringLiteral("d"), broken.ToJson()}, {QStringLiteral("id"), id}});
    List->OpenQuery();
    ASSERT_TRUE(List->Locate(QStringLiteral("rptid"), id));

    TScriptedMessages msgs;
    const QString question = U("是否确定把[销售出货单]的[改坏的]恢复成系统默认样式？");
    msgs.AnswerWhen(question, IDNO);
    EXPECT_FALSE(Store->RestoreTemplate());
    EXPECT_EQ(StoredData(id), broken.ToJson());

    msgs.AnswerWhen(question, IDYES);
    EXPECT_TRUE(Store->RestoreTemplate());
    // the system default row is still empty, so its standard layout comes back
    EXPECT_EQ(StoredData(id), StandardPrintTemplate(6).ToJson());
    EXPECT_EQ(msgs.Last().Text, U("[销售出货单]的[改坏的]样式恢复成功!"));

    // a system default that someone designed is what restore copies
    FCon->Execute(QStringLiteral("update report set data = :d where rptid = -6"), {{QStringLiteral("d"), broken.ToJson()}});
    msgs.AnswerYes();
    EXPECT_TRUE(Store->RestoreTemplate());
    EXPECT_EQ(StoredData(id), broken.ToJson());
}

TEST_F(TStoreTest, ImportStoresAValidFileUnderTheListType)
{
    const QString file = QDir(AppDir()).filePath(QStringLiteral("in.Zrp"));
    TReportTemplate t = StandardPrintTemplate(6);
    t.Name = U("外来样式");
    t.SaveToFile(file);
    const int before = RowCount();

    TScriptedMessages msgs;
    msgs.AnswerWhen(U("确实要导入新打印样式?"), IDYES);
    msgs.OnModal(QStringLiteral("TSamNameForm"), [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), U("打印样式名称"));
        return EnterName(U("导入的样式"))(d);
    });
    msgs.OnModal(QStringLiteral("OpenZrpDialog"), [file](QDialog* d) {
        EXPECT_EQ(qobject_cast<QFileDialog*>(d)->nameFilters(), QStringList{QStringLiteral("Zrp Files (*.Zrp)")});
        return ChooseFile(file)(d);
    });
    ASSERT_TRUE(Store->ImportTemplate(6));
    EXPECT_EQ(RowCount(), before + 1);
    const int id = List->FieldByName(QStringLiteral("rptid"))->AsInteger();
    EXPECT_EQ(StoredName(id), U("导入的样式"));
    EXPECT_EQ(StoredData(id), ReadAll(file));
}

TEST_F(TStoreTest, DamagedImportIsRefusedAndChangesNothing)
{
    const QString file = QDir(AppDir()).filePath(QStringLiteral("bad.Zrp"));
    QByteArray damaged = StandardPrintTemplate(6).ToJson();
    damaged.truncate(damaged.size() / 2); // cut off half-way, as an interrupted copy would be
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(damaged);
    f.close();
    const int before = RowCount();
    const int listed = List->RecordCount();

    TScriptedMessages msgs;
    msgs.AnswerYes();
    msgs.OnModal(QStringLiteral("TSamNameForm"), EnterName(U("坏文件")));
    msgs.OnModal(QStringLiteral("OpenZrpDialog"), ChooseFile(file));
    EXPECT_FALSE(Store->ImportTemplate(6));
    ASSERT_EQ(msgs.Count(TMessageKind::Error), 1);
    EXPECT_TRUE(msgs.Last().Text.startsWith(U("[ 坏文件 ]报表样式导入不成功!"))) << msgs.Last().Text.toStdString();
    EXPECT_GT(msgs.Last().Text.size(), U("[ 坏文件 ]报表样式导入不成功!").size()); // says why
    EXPECT_EQ(RowCount(), before);
    EXPECT_EQ(List->RecordCount(), listed);
    EXPECT_EQ(List->ChangeCount(), 0);
}

TEST_F(TStoreTest, ExportWritesTheRowOrSaysItFailed)
{
    const QString file = QDir(AppDir()).filePath(QStringLiteral("out.Zrp"));
    ASSERT_TRUE(List->Locate(QStringLiteral("rptid"), 6));
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("SaveZrpDialog"), ChooseFile(file));
    ASSERT_TRUE(Store->ExportTemplate());
    EXPECT_EQ(msgs.Last().Text, U("导出成功!"));
    EXPECT_EQ(msgs.Last().Caption, U("提示信息"));
    // the standard row is still empty in the database; the export is its standard layout
    EXPECT_EQ(ReadAll(file), StandardPrintTemplate(6).ToJson());

    msgs.OnModal(QStringLiteral("SaveZrpDialog"), ChooseFile(QDir(AppDir()).filePath(QStringLiteral("no/such/dir/out.Zrp"))));
    EXPECT_FALSE(Store->ExportTemplate());
    EXPECT_EQ(msgs.Last().Text, U("导出失败!"));
}

TEST_F(TStoreTest, NameDialogInsistsOnAName)
{
    TScriptedMessages msgs;
    TSamNameForm form;
    form.SamDBEdit->setText(QStringLiteral("   "));
    form.OKBtn->click();
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(msgs.Last().Text, U("输入样式名称!"));
    EXPECT_EQ(msgs.Last().Caption, U("提示"));
    form.SamDBEdit->setText(U("样式一"));
    form.OKBtn->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(TStoreTest, AddRunsTheTypeDialogFirst)
{
    TSelectSamfrm probe;
    EXPECT_TRUE(probe.SelectReportType(1751));
    EXPECT_EQ(probe.SelectedReportType(), 1751);
    EXPECT_FALSE(probe.SelectReportType(6789));

    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("TSelectSamfrm"), [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), U("选择新增类型"));
        qobject_cast<TSelectSamfrm*>(d)->SelectReportType(20);
        return int(QDialog::Accepted);
    });
    msgs.OnModal(QStringLiteral("TSamNameForm"), EnterName(U("凭证样式")));
    ASSERT_TRUE(Store->AddTemplate());
    const int id = List->FieldByName(QStringLiteral("rptid"))->AsInteger();
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select rpttype from report where rptid = ") + QString::number(id)).toInt(), 20);
    // vouchers have no bill: the copy keeps the default's catalogue, nothing of a bill's
    for (const auto& v : TReportTemplate::FromJson(StoredData(id)).Variables)
        EXPECT_NE(v.Name, U("客户名称"));
}

TEST_F(TPrintingDbTest, ManagersListTheirRowsAndKeys)
{
    TScriptedMessages msgs;
    TPrintSamEdit all(nullptr, false);
    EXPECT_EQ(all.windowTitle(), U("打印样式设计"));
    const int expected = RowCount(QStringLiteral("rptid > 0 and rpttype < 500 and rpttype not in (13,17,20,21,28,29,30,31) and rptid <> 36"));
    EXPECT_EQ(all.List()->RecordCount(), expected);
    EXPECT_EQ(all.Grid()->rowCount(), expected);
    TPrintSamEdit everything(nullptr, true);
    EXPECT_GT(everything.List()->RecordCount(), expected);

    TStyleBillSamForm one(6);
    EXPECT_EQ(one.windowTitle(), U("打印样式设计 <------> 销售出货单"));
    EXPECT_EQ(one.List()->RecordCount(), RowCount(QStringLiteral("rpttype = 6 and rptid >= 0")));

    // Delete does nothing in the one-type manager ...
    ASSERT_TRUE(one.LocateTemplate(6));
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(&one, &del);
    EXPECT_EQ(msgs.Count(), 0);
    // ... and in the manager of all it deletes after the checks (a standard row here).
    ASSERT_TRUE(all.LocateTemplate(6));
    QCoreApplication::sendEvent(&all, &del);
    EXPECT_EQ(msgs.Last().Text, U("标准样式不能删除!"));

    // the grid shows the type names
    ASSERT_TRUE(all.LocateTemplate(6));
    EXPECT_EQ(all.Grid()->item(all.Grid()->currentRow(), 0)->text(), U("销售出货单"));
}
