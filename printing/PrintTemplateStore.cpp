#include "printing/PrintTemplateStore.h"

#include "host/Registry.h"
#include "host/Messages.h"
#include "host/Session.h"
#include "printing/PrintSamDialogs.h"
#include "printing/PrintTemplates.h"
#include "webrpc/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

QString& DesignerOverride()
{
    static QString path;
    return path;
}

QByteArray ReadFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EReportError(U("无法读取文件 %1").arg(fileName));
    return f.readAll();
}

void WriteFile(const QString& fileName, const QByteArray& data)
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        throw EReportError(U("无法写入文件 %1").arg(fileName));
}

// The data of a row as the designer and the export read it; an empty row gives the
// standard layout of its type.
QByteArray RowData(int rptid, int reportType)
{
    TClientDataSet ds;
    g_DefaultCon->OpenDataSet(QStringLiteral(" select rptid,data from report where rptid=") + QString::number(rptid), &ds);
    if (ds.IsEmpty())
        throw EDatabaseError(U("打印样式 %1 不存在").arg(rptid));
    const QByteArray data = ds.FieldByName(QStringLiteral("data"))->AsBytes();
    return data.trimmed().isEmpty() ? StandardPrintTemplate(reportType).ToJson() : data;
}

void CancelPending(TClientQuery* list)
{
    if (list->State() == TDataSetState::dsEdit || list->State() == TDataSetState::dsInsert)
        list->Cancel();
    if (list->ChangeCount() > 0)
        list->CancelUpdates();
}

} // namespace

QString PrintDesignerPath()
{
    if (!DesignerOverride().isEmpty())
        return DesignerOverride();
    return QDir(PrintAppDirectory()).filePath(QStringLiteral("KQDesign"));
}

void SetPrintDesignerPath(const QString& path) { DesignerOverride() = path; }

QString AskOpenZrpFile(QWidget* parent)
{
    QFileDialog dlg(parent, QString(), QString(), QStringLiteral("Zrp Files (*.Zrp)"));
    dlg.setObjectName(QStringLiteral("OpenZrpDialog"));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (ExecModal(&dlg) != QDialog::Accepted)
        return {};
    return dlg.selectedFiles().value(0);
}

QString AskSaveFile(QWidget* parent, const QString& objectName, const QString& caption, const QString& filter,
                    const QString& suffix, const QString& suggestedName)
{
    QFileDialog dlg(parent, caption, QString(), filter);
    dlg.setObjectName(objectName);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(suffix);
    if (!suggestedName.isEmpty())
        dlg.selectFile(suggestedName);
    if (ExecModal(&dlg) != QDialog::Accepted)
        return {};
    return dlg.selectedFiles().value(0);
}

QString AskSaveZrpFile(QWidget* parent, const QString& suggestedName)
{
    return AskSaveFile(parent, QStringLiteral("SaveZrpDialog"), QString(), QStringLiteral("Zrp Files (*.Zrp)"), QStringLiteral("Zrp"),
                       suggestedName);
}

TPrintTemplateStore::TPrintTemplateStore(TClientQuery* list, QWidget* parent) : FList(list), FParent(parent)
{
    FList->UpdateTable = QStringLiteral("report");
    FList->KeyFields = QStringList{QStringLiteral("rptid")};
}

int TPrintTemplateStore::CurrentID() const
{
    const TField* f = FList->FindField(QStringLiteral("rptid"));
    return (f && !FList->IsEmpty()) ? f->AsInteger() : 0;
}

int TPrintTemplateStore::CurrentType() const
{
    const TField* f = FList->FindField(QStringLiteral("rpttype"));
    return (f && !FList->IsEmpty()) ? f->AsInteger() : 0;
}

QString TPrintTemplateStore::CurrentName() const
{
    const TField* f = FList->FindField(QStringLiteral("rptname"));
    return (f && !FList->IsEmpty()) ? f->AsString() : QString();
}

bool TPrintTemplateStore::AskName(const QString& caption, QString& name, bool readOnly, const QString& note)
{
    TSamNameForm dlg(FParent);
    dlg.setWindowTitle(caption);
    dlg.SetName(name);
    dlg.SetNameReadOnly(readOnly, note);
    if (ExecModal(&dlg) != QDialog::Accepted)
        return false;
    name = dlg.Name().trimmed();
    return true;
}

bool TPrintTemplateStore::AddTemplate()
{
    TSelectSamfrm dlg(FParent);
    if (ExecModal(&dlg) != QDialog::Accepted || dlg.SelectedReportType() <= 0)
        return false;
    return NewTemplate(dlg.SelectedReportType());
}

bool TPrintTemplateStore::NewTemplate(int reportType)
{
    const QString typeName = ReportTypeName(reportType);
    QString name;
    try {
        // The type's system default is the starting point.
        const int source = SystemDefaultReportID(reportType);
        const QString path = PrintTemplatePath(source);
        WriteFile(path, source == 0 ? StandardPrintTemplate(reportType).ToJson() : RowData(source, reportType));
        if (ReportTypeBillType(reportType) != NoCatalogueBillType)
            PreparePrintTemplateForType(path, reportType);
        if (!AskName(U("新增 [ ") + typeName + U(" ] 样式名称"), name, false, QString()))
            return false;
        const QByteArray data = ReadFile(path);
        const int id = GetNewKeyValue(QStringLiteral("report"), QStringLiteral("rptid"));
        FList->Append();
        FList->FieldByName(QStringLiteral("rptid"))->SetValue(id);
        FList->FieldByName(QStringLiteral("rpttype"))->SetValue(reportType);
        FList->FieldByName(QStringLiteral("rptname"))->SetValue(name);
        FList->FieldByName(QStringLiteral("data"))->SetValue(data);
        if (TField* f = FList->FindField(QStringLiteral("reportname")))
            f->SetValue(typeName);
        if (TField* f = FList->FindField(QStringLiteral("languageid")))
            f->SetValue(1);
        FList->Post();
        FList->UpdateBatch();
    } catch (const Exception& e) {
        CancelPending(FList);
        ShowError(U("[ ") + name + U(" ]报表样式增加不成功!") + QStringLiteral("\r\n") + e.Message());
        return false;
    }
    DesignTemplate(QDir(TempDirectory()).filePath(QStringLiteral("%1.Zrp").arg(CurrentID())));
    return true;
}

bool TPrintTemplateStore::ModifyTemplate()
{
    if (FList->IsEmpty())
        return false;
    const int id = CurrentID();
    if (id <= 0) {
        ShowInformation(U("系统样式不能修改!"), U("提示"));
        return false;
    }
    const int type = CurrentType();
    const QString typeName = ReportTypeName(type);
    QString name = CurrentName();
    const bool standard = IsStandardReportID(id);
    if (!AskName(U("修改 [ ") + typeName + U(" ] 样式名称"), name, standard,
                 standard ? U("标准样式名称不能修改，点确定可修改其报表内容。") : QString()))
        return false;
    try {
        FList->Edit();
        if (ReportTypeBillType(type) != NoCatalogueBillType) {
            const QString path = PrintTemplatePath(id);
            if (!LoadPrintTemplate(id, path))
                throw EAbort();
            PreparePrintTemplateForType(path, type);
            FList->FieldByName(QStringLiteral("data"))->SetValue(ReadFile(path));
        }
        if (!standard)
            FList->FieldByName(QStringLiteral("rptname"))->SetValue(name);
        FList->Post();
        FList->UpdateBatch();
    } catch (const EAbort&) {
        CancelPending(FList);
        return false;
    } catch (const Exception& e) {
        CancelPending(FList);
        ShowError(U("[") + typeName + U("]的[") + name + U("]样式修改不成功!") + QStringLiteral("\r\n") + e.Message());
        return false;
    }
    DesignTemplate(QDir(TempDirectory()).filePath(QStringLiteral("%1.Zrp").arg(id)));
    return true;
}

bool TPrintTemplateStore::DeleteTemplate()
{
    if (FList->IsEmpty())
        return false;
    const int id = CurrentID();
    if (IsStandardReportID(id)) {
        ShowInformation(U("标准样式不能删除!"), U("提示"));
        return false;
    }
    if (!ShowYesNoQuestion(U("确实要删除该打印样式?"), U("询问")))
        return false;
    try {
        FList->Delete();
        FList->UpdateBatch();
    } catch (const Exception& e) {
        CancelPending(FList);
        ShowError(e.Message());
        return false;
    }
    const QString path = PrintTemplatePath(id);
    if (QFile::exists(path))
        QFile::remove(path);
    return true;
}

bool TPrintTemplateStore::RestoreTemplate()
{
    if (FList->IsEmpty())
        return false;
    const int type = CurrentType();
    const QString typeName = ReportTypeName(type);
    const QString name = CurrentName();
    const QString what = U("[") + typeName + U("]的[") + name + U("]");
    if (!ShowYesNoQuestion(U("是否确定把") + what + U("恢复成系统默认样式？"), U("询问")))
        return false;
    try {
        const int source = SystemDefaultReportID(type);
        const QByteArray data = source == 0 ? StandardPrintTemplate(type).ToJson() : RowData(source, type);
        FList->Edit();
        FList->FieldByName(QStringLiteral("data"))->SetValue(data);
        FList->Post();
        FList->UpdateBatch();
    } catch (const Exception&) {
        CancelPending(FList);
        ShowError(what + U("样式恢复不成功!"));
        return false;
    }
    ShowInformation(what + U("样式恢复成功!"));
    return true;
}

bool TPrintTemplateStore::ImportTemplate(int reportType)
{
    if (!ShowYesNoQuestion(U("确实要导入新打印样式?"), U("询问")))
        return false;
    QString name;
    if (!AskName(U("打印样式名称"), name, false, QString()))
        return false;
    const QString file = AskOpenZrpFile(FParent);
    if (file.isEmpty())
        return false;
    try {
        const QByteArray data = ReadFile(file);
        TReportTemplate::FromJson(data); // a damaged file is refused before anything changes
        const int id = GetNewKeyValue(QStringLiteral("report"), QStringLiteral("rptid"));
        FList->Append();
        FList->FieldByName(QStringLiteral("rptid"))->SetValue(id);
        FList->FieldByName(QStringLiteral("rpttype"))->SetValue(reportType);
        FList->FieldByName(QStringLiteral("rptname"))->SetValue(name);
        FList->FieldByName(QStringLiteral("data"))->SetValue(data);
        if (TField* f = FList->FindField(QStringLiteral("reportname")))
            f->SetValue(ReportTypeName(reportType));
        if (TField* f = FList->FindField(QStringLiteral("languageid")))
            f->SetValue(1);
        FList->Post();
        FList->UpdateBatch();
    } catch (const Exception& e) {
        CancelPending(FList);
        ShowError(U("[ ") + name + U(" ]报表样式导入不成功!") + QStringLiteral("\r\n") + e.Message());
        return false;
    }
    return true;
}

bool TPrintTemplateStore::ExportTemplate()
{
    if (FList->IsEmpty())
        return false;
    const QString file = AskSaveZrpFile(FParent, CurrentName() + QStringLiteral(".Zrp"));
    if (file.isEmpty())
        return false;
    try {
        WriteFile(file, RowData(CurrentID(), CurrentType()));
    } catch (const Exception&) {
        ShowMsgBox(U("导出失败!"), U("提示信息"), MB_OK | MB_ICONERROR);
        return false;
    }
    ShowMsgBox(U("导出成功!"), U("提示信息"), MB_OK | MB_ICONINFORMATION);
    return true;
}

bool TPrintTemplateStore::DesignTemplate(const QString& fileName)
{
    const QString designer = PrintDesignerPath();
    if (!QFileInfo(designer).isExecutable()) {
        ShowInformation(U("该 [ ") + designer + U(" ]\r\n可执行文件已不存在，不能新增和修改样式，\r\n需要重新安装才可以使用！"), U("提示"));
        CancelPending(FList);
        return false;
    }
    const int id = CurrentID();
    if (FList->IsEmpty() || !FList->Locate(QStringLiteral("RPTID"), id)) {
        ShowInformation(U("操作严重失误，需退出应用程序后重新进入系统再操作 ！"), U("提示"));
        CancelPending(FList);
        return false;
    }
    try {
        WriteFile(fileName, RowData(id, CurrentType()));
        // The designer titles its window with the name written beside the executables.
        WriteFile(QDir(PrintAppDirectory()).filePath(QStringLiteral("ReportTitle.ini")), (CurrentName() + QStringLiteral("\r\n")).toUtf8());
    } catch (const Exception& e) {
        ShowError(e.Message());
        return false;
    }
    const qint64 handle = GlobalCallEx(QStringLiteral("GETPROPERTYVALUE"), QStringLiteral("Handle")).toLongLong();
    if (!QProcess::startDetached(designer, {fileName, QString::number(handle)}, PrintAppDirectory())) {
        ShowError(U("无法启动打印样式设计程序 %1").arg(designer));
        return false;
    }
    FDesigns.insert(id, {fileName, QFileInfo(fileName).lastModified()});
    return true;
}

int TPrintTemplateStore::StoreDesignedTemplates()
{
    int stored = 0;
    for (auto it = FDesigns.begin(); it != FDesigns.end(); ++it) {
        const QFileInfo info(it.value().File);
        if (!info.exists() || info.lastModified() <= it.value().Modified)
            continue;
        try {
            const QByteArray data = ReadFile(it.value().File);
            TReportTemplate::FromJson(data); // half-written files wait for the next save
            g_DefaultCon->Execute(QStringLiteral("update report set data = :data where rptid = :id"),
                                  {{QStringLiteral("data"), data}, {QStringLiteral("id"), it.key()}});
            it.value().Modified = info.lastModified();
            ++stored;
        } catch (const Exception&) {
        }
    }
    return stored;
}
