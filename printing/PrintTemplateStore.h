#pragma once
// The template manager operations (add, modify, delete, restore, import, export) and the
// hand-off to the external designer. They act on the current row of a template list: a
// query over `report` ("select * from report where ...") that caches its changes and
// writes them with UpdateBatch. Every message and dialog goes through the host's seam.
#include <QDateTime>
#include <QHash>
#include <QString>

class QWidget;
class TClientQuery;

// The designer executable: <app folder>/KQDesign unless set (tests use a fake one).
QString PrintDesignerPath();
void SetPrintDesignerPath(const QString& path);

class TPrintTemplateStore {
public:
    // The list must select every column of `report`; the store sets its update table.
    explicit TPrintTemplateStore(TClientQuery* list, QWidget* parent = nullptr);

    TClientQuery* List() const { return FList; }

    // The type dialog ("选择新增类型"), then a new template of the chosen type.
    bool AddTemplate();
    // New template of a type: copy of the type's system default, catalogue, name, new row,
    // designer.
    bool NewTemplate(int reportType);
    bool ModifyTemplate();
    bool DeleteTemplate();
    bool RestoreTemplate();
    // A new row of reportType from a ".Zrp" file the user picks.
    bool ImportTemplate(int reportType);
    bool ExportTemplate();
    // Writes the current row's template to fileName and starts the designer on it.
    bool DesignTemplate(const QString& fileName);

    // Templates the designer saved since it was started on them are stored back into
    // their rows. Returns how many rows were written. The managers call it when they
    // become active again.
    int StoreDesignedTemplates();

private:
    int CurrentID() const;
    int CurrentType() const;
    QString CurrentName() const;
    bool AskName(const QString& caption, QString& name, bool readOnly, const QString& note);

    TClientQuery* FList;
    QWidget* FParent;
    struct TDesignSession {
        QString File;
        QDateTime Modified;
    };
    QHash<int, TDesignSession> FDesigns; // rptid -> file handed to the designer
};

// File dialogs of the managers, run through the host's seam (object names "OpenZrpDialog"
// and "SaveZrpDialog"); "" when cancelled.
QString AskOpenZrpFile(QWidget* parent);
QString AskSaveZrpFile(QWidget* parent, const QString& suggestedName);
// A save-file dialog through the host's seam, named objectName for scripts; "" when cancelled.
QString AskSaveFile(QWidget* parent, const QString& objectName, const QString& caption, const QString& filter,
                    const QString& suffix, const QString& suggestedName);
