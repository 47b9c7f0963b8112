#pragma once
// The master/detail selection dialog the bill pickers are built on: a master list, an
// optional detail list of the current master record, and OK/cancel. A dialog sets its
// statements, columns and return fields in PrepareSelect; OK collects the chosen records
// into the caller's TReturnValue, one line of named values per record.
#include "pickers/PickerForm.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"
#include "services/SelectValues.h"
#include "webrpc/Connection.h"

class QLabel;
class QPushButton;
class QSplitter;

class TBillSelectBaseForm : public TPickerForm {
    Q_OBJECT
public:
    TBillSelectBaseForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // ---- state a dialog sets
    QString MasterSQL;
    TSqlParams MasterParams;
    QString DetailSQL; // "" when the dialog has no detail
    TSqlParams DetailParams;
    QString MasterKeyField;
    QStringList ReturnFields;
    bool MultiSelect = false; // collect every detail record instead of the current master
    TReturnValue* Result = nullptr;
    TKQDBGridMaster MasterGrid, DetailGrid;

    // ---- virtual operations, in slot order
    virtual void OpenMaster();
    virtual void OpenDetail();
    virtual void MasterAfterScroll();
    virtual void PrepareSelect();
    virtual QString GetMasterSQL();
    virtual QString GetDetailSQL();
    virtual void CollectResult();
    virtual void Execute();

    // Sorts a grid's rows by the field of a column (a second click reverses the order).
    void SortGrid(TDBGrid* grid, int column);
    // Adds one result line from the current records.
    void AddResultLine(bool withDetail);

    // ---- components
    QWidget *plTop, *plClient, *plBottom;
    QLabel* laCaption;
    QSplitter* Splitter1;
    TDBGrid *dgMaster, *dgDetail;
    QPushButton *btnOk, *btnCancel;
    TClientDataSet *cdsMaster, *cdsDetail;
    TDataSource *dsMaster, *dsDetail;

protected:
    // Adds a column to a grid's list.
    static void AddColumn(TKQDBGridMaster& grid, const QString& field, const QString& title, int width,
                          const QString& format = QString());
    virtual void OkClicked();

private:
    void OpenSorted(TClientDataSet* ds, const QString& sql, const TSqlParams& params, const QString& order);
    QString FMasterOrder, FDetailOrder;
};
