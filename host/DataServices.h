#pragma once
// Dataset helpers of the host that every form uses.
#include <QString>
#include <QVariant>
#include <QVariantList>

class QObject;
class QWidget;
class TClientDataSet;
class TClientQuery;
class TField;

// A query on the default connection, owned by `owner`; opened at once when `open`.
TClientQuery* CreateAutoQuery(QObject* owner, const QString& sql, bool open = true);
// The first row of a select as a list of values (empty when no row).
QVariantList GetValuesOfSql(const QString& sql);
// Writes the field only when the dataset has it (the dataset is put into edit mode by the
// write as a data-aware control would). Returns whether the field exists.
bool SafeSetFieldValue(TClientDataSet* ds, const QString& fieldName, const QVariant& value);
// Writes value into the field of every visible row (posting each), keeping the position.
void SetDataSetAllValue(TClientDataSet* ds, const QString& fieldName, const QVariant& value);
// Sum of the field over the visible rows; 0 when the dataset is closed or lacks the field.
double GetDataSetSum(TClientDataSet* ds, const QString& fieldName);
// Display formats: currency fields and fields whose name tells an amount or price get
// "0.00"; other floating fields (quantities, rates) "0.######".
void SetDataSetFormat(TClientDataSet* ds);
// Posts a pending edit or insert; nothing otherwise.
void SetDataSetPost(TClientDataSet* ds);
// Deletes every visible row.
void DeleteItems(TClientDataSet* ds);
// Suspend and resume the dataset's events (nestable).
void SilenceDataSet(TClientDataSet* ds);
void WakeUpDataSet(TClientDataSet* ds);
// When the field is null or its text empty (blank), shows `message` ("提示"), puts the
// focus on `control` (when given) and returns false.
bool NotNullCheck(TField* field, QWidget* control, const QString& message);
// Text equality without regard to case (surrounding blanks ignored).
bool CompareStrEqual(const QString& a, const QString& b);
// Appends a time-stamped line to <temp directory>/tradebill.log.
void WriteLog(const QString& text);
QString LogFileName();
