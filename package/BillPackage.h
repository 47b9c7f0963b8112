#pragma once
// The package's entry points: load (data module, the 35 bill forms, the global function
// names), unload, and the one dispatcher every registered name is routed to.
#include "host/KQParams.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class TBillDB;
class TBillBaseForm;

// ---- package globals
extern TBillDB* BillDB;                      // owned; created by BillLoad
extern QPointer<TBillBaseForm> BillBaseForm; // the bill form the find command last found active
extern QPointer<QWidget> PrintSamEdit;       // the print template editor while it is open

void BillLoad();
void BillUnload();
// Always 0; callers learn results only through keys written into the bag ("Result").
int Bill_Call(const QString& name, const QString& subject, KQParams* params);

// ---- the registries as the package fills them
struct TBillFormEntry {
    const char* FormName;
    int PrivilegeId;
    int BillType;
    QWidget* (*Create)(QWidget* owner); // the form class
};
// The 35 bill forms in registration order, from the bill profiles.
const QVector<TBillFormEntry>& BillFormEntries();
// The 14 global function names in registration order, spelled as registered.
QStringList BillFunctionNames();
// The form name of a bill type ("" when no form of this package carries it).
QString FormNameOfBillType(int billType);
