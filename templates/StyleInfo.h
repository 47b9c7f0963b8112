#pragma once
// Bill window templates: which fields a bill window shows and prints, with which caption,
// in which order and how wide, stored in FIELDINFO (what a field is), TEMPLATE (one row
// per template) and TEMPLATED (one row per field of a template).
#include <QString>

#include <memory>
#include <vector>

class TClientDataSet;

// One field of a template: what FIELDINFO says about it, and the template's settings.
class TStyleFieldInfo {
public:
    int WindowID = 0;
    int ItemID = 0;
    int TableType = 0;          // 1 head, 2 body, 3 detail lines, 4 foot
    bool AlwaysDisplay = false;
    bool AlwaysPrint = false;
    int SubType = 1;            // editor kind
    int Attribe = 0;
    int PBSType = 0;
    int DefaultSequence = 0;
    int DefaultWidth = 0;
    int Tag = 0;
    int HelpID = 0;
    QString DataField;
    QString DefaultName;
    QString ListDataSetName;
    QString ListField;
    QString ListDataField;
    QString KeyField;
    QString DropDownFilter;

    // Template values; each setter marks the field modified only when the value changes.
    bool BDisplay() const { return FBDisplay; }
    bool BPrint() const { return FBPrint; }
    const QString& DisplayName() const { return FDisplayName; }
    int Serial() const { return FSerial; }
    int Width() const { return FWidth; }
    void SetBDisplay(bool v);
    void SetBPrint(bool v);
    void SetDisplayName(const QString& v);
    void SetSerial(int v);
    void SetWidth(int v);

    // Shown on the bill: displayed by the template, or a field that is always displayed.
    bool Shown() const { return FBDisplay || AlwaysDisplay; }
    bool IsDetail() const { return TableType == 3; }

    bool Modified = false;

private:
    friend class TStyleInfo;
    bool FBDisplay = true;
    bool FBPrint = true;
    QString FDisplayName;
    int FSerial = 0;
    int FWidth = 0;
};

class TStyleInfo {
public:
    static constexpr int kNewTemplate = -1;
    static constexpr int kStandardTemplate = 1;

    int WindowID = 0;
    int TemplateID = kNewTemplate;
    QString TemplateName;
    QString WindowName;
    bool IsSystem = false;
    int OPId = 0;
    int BillTypeID = 0;
    int TempColorSetID = 0;
    int RptID = 0;
    int UpFlag = 0; // 1: uploaded, protected

    // Loads a stored template. A new template (id -1) is named "未命名" and starts from the
    // window's standard template, or from the field definitions when the window has none;
    // all its fields count as modified so that saving writes every one of them.
    // Returns false (and leaves the object empty) when a stored template is not there.
    bool Load(int windowId, int templateId);
    // Stores the modified fields (and name and print style) in one batch; a template not
    // stored yet gets the next id of its window. Returns the template id. Throws
    // EDatabaseError when the batch fails; the database and this object are then unchanged.
    int Save();
    // Stores this template under the next free id of its window, whatever id it had.
    int SaveAsNew();
    // Refuses the standard and uploaded templates (the user is told); otherwise removes the
    // template and its fields. True when it is gone.
    bool Delete();

    void SetName(const QString& name);
    void SetRptID(int rptId);
    // Takes over the field settings (shown, printed, caption, order, width) of another
    // template of the same window; fields this one lacks are added.
    void CopyFrom(const TStyleInfo& other);
    void SortByTemplate(); // section, then template order
    void SortByDefault();  // section, then default order

    bool Modified() const;
    void ClearModified();
    int Count() const { return int(FFields.size()); }
    TStyleFieldInfo* Field(int i) const { return FFields[i].get(); }
    TStyleFieldInfo* FindItem(int itemId) const;
    TStyleFieldInfo* FindDataField(const QString& dataField, int tableType = 0) const; // 0: any section
    const std::vector<std::unique_ptr<TStyleFieldInfo>>& Fields() const { return FFields; }

private:
    void ReadFields(TClientDataSet* ds, bool markModified);
    int Store(bool asNew);
    bool FModified = false;
    std::vector<std::unique_ptr<TStyleFieldInfo>> FFields;
};
