#pragma once
// In-memory client dataset with a change log: the data layer every bill form stands on.
// Rows are loaded from data packets (RecordsetFromXMLString / LoadFromXMLString), start
// clean, and every later insert, edit and delete is logged so that the pending changes can
// be sent to the server as a delta (GetDeltaXML, or GetDeltaPacket in the compact encoding).
#include "platform/Exceptions.h"
#include "platform/RowValues.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class TClientDataSet;

enum class TFieldType { ftInteger, ftFloat, ftCurrency, ftString, ftBoolean, ftDateTime, ftBlob };
enum class TFieldKind { fkData, fkCalculated };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };
enum class TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };

QString FieldTypeName(TFieldType t);           // "integer", "float", "currency", ...
TFieldType FieldTypeFromName(const QString& s); // inverse; throws EConvertError on unknown

// Definition of one column, used to create a dataset before it has rows.
struct TDelta;

struct TFieldDef {
    QString Name;
    TFieldType DataType = TFieldType::ftString;
    int Size = 0;          // characters for strings, 0 = unlimited
    bool Required = false;
    TFieldKind Kind = TFieldKind::fkData;
};

class TField {
public:
    TField(TClientDataSet* ds, const TFieldDef& def, int index);

    TClientDataSet* DataSet() const { return FDataSet; }
    int Index() const { return FIndex; }
    const QString& FieldName() const { return FDef.Name; }
    TFieldType DataType() const { return FDef.DataType; }
    TFieldKind FieldKind() const { return FDef.Kind; }
    int Size() const { return FDef.Size; }

    QString DisplayLabel;     // caption; defaults to the field name
    bool ReadOnly = false;    // writes through SetValue throw while set
    bool Required = false;    // Post refuses a null value
    bool Visible = true;
    QString DisplayFormat;    // e.g. "0.00" for numeric display
    QString DisplayName() const { return DisplayLabel.isEmpty() ? FDef.Name : DisplayLabel; }

    // Current value of the current record (record buffer while editing).
    QVariant Value() const;
    bool IsNull() const;
    int AsInteger() const;        // null -> 0
    qint64 AsLargeInt() const;
    double AsFloat() const;       // null -> 0
    double AsCurrency() const;    // rounded to 4 decimals
    QString AsString() const;     // null -> ""; dates "yyyy-MM-dd hh:mm:ss" (time dropped when 0)
    bool AsBoolean() const;       // accepts true/false, 1/0, "T"/"F", "True"/"False"
    QDateTime AsDateTime() const; // null -> invalid QDateTime
    QByteArray AsBytes() const;
    // Value of the current row as loaded or last merged (before any pending change).
    QVariant OldValue() const;

    // Writing puts the dataset into edit state when it is browsing (as a data-aware control
    // would), converts to the field's type (EConvertError on a bad text), runs OnValidate
    // (which may throw to refuse) and then OnChange.
    void SetValue(const QVariant& v);
    void SetAsInteger(int v) { SetValue(v); }
    void SetAsFloat(double v) { SetValue(v); }
    void SetAsString(const QString& v) { SetValue(v); }
    void SetAsBoolean(bool v) { SetValue(v); }
    void SetAsDateTime(const QDateTime& v) { SetValue(v); }
    void Clear() { SetValue(QVariant()); }

    std::function<void(TField*)> OnChange;
    std::function<void(TField*)> OnValidate;

    // Converts v to this field's storage type; null stays null. Throws EConvertError.
    QVariant Coerce(const QVariant& v) const;

    // Text for display: numbers through DisplayFormat ("0.00", "#,##0.00"), booleans as
    // "是"/"否", otherwise AsString.
    QString DisplayText() const;

private:
    friend class TClientDataSet;
    TClientDataSet* FDataSet;
    TFieldDef FDef;
    int FIndex;
};

// Options of Locate.
enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };

class TClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* owner = nullptr);
    ~TClientDataSet() override;

    QString ProviderName; // informational ("dspBill")

    // ---- structure
    void ClearFields();                     // only while inactive
    TField* AddField(const TFieldDef& def); // only while inactive
    TField* AddField(const QString& name, TFieldType t, int size = 0, bool required = false);
    TField* AddCalcField(const QString& name, TFieldType t, int size = 0);
    int FieldCount() const;
    TField* Fields(int i) const;
    TField* FindField(const QString& name) const;  // case-insensitive; nullptr when absent
    TField* FieldByName(const QString& name) const; // throws EDatabaseError "Field 'x' not found"
    QStringList FieldNames() const;
    QVector<TFieldDef> FieldDefs() const;

    // ---- open / close
    void CreateDataSet(); // opens empty with the defined fields
    void Open();          // opens with whatever rows are held (after a load)
    void Close();         // drops rows and change log, keeps field definitions
    bool Active() const;
    TDataSetState State() const;

    // Data packets: the full rows (no change log). Loading replaces fields and rows and
    // leaves the dataset open, positioned on the first row, with no pending change. The
    // loader reads both encodings, XML and compact (see TCompactWriter below).
    QString XMLData() const;
    void LoadFromXMLString(const QString& xml); // throws EDatabaseError on malformed text

    // ---- navigation (over visible rows: deleted and filtered-out rows are skipped)
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;
    int RecordCount() const;
    int RecNo() const;       // 1-based, 0 when empty
    void SetRecNo(int recNo);
    bool Locate(const QString& keyFields, const QVariantList& keyValues, int options = 0);
    bool Locate(const QString& keyField, const QVariant& keyValue, int options = 0);
    QVariant Lookup(const QString& keyFields, const QVariantList& keyValues, const QString& resultField);

    using TBookmark = qint64; // stable row identity
    TBookmark GetBookmark() const;
    bool BookmarkValid(TBookmark b) const;
    void GotoBookmark(TBookmark b);

    // ---- editing
    void Append();
    void Insert(); // before the current row
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode(); // posts a pending edit/insert
    bool Modified() const;  // the record buffer differs from the row
    void AppendRecord(const QVariantList& values);
    TUpdateStatus UpdateStatus() const; // of the current row

    // ---- change log
    int ChangeCount() const; // rows inserted, modified or deleted since load / merge
    void CancelUpdates();    // back to the loaded state
    void MergeChangeLog();   // accept all changes as the new original state
    bool UndoLastChange(bool followChange = true);
    bool LogChanges = true;

    // Delta: every inserted, modified and deleted row with original and new values.
    QString GetDeltaXML() const;
    // The same delta in the compact encoding, refusing the same texts with the same messages.
    QString GetDeltaPacket() const;
    // The delta as a reader of GetDeltaPacket's text would have it, without the text: for a
    // server procedure in the same process. The same texts and numbers are refused.
    TDelta GetDelta() const;

    // ---- filters
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool on);
    // Text filter: comparisons joined by and/or, e.g. "closed='F' and kind<4", "name like '%茶%'".
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& text); // throws EDatabaseError on a filter it cannot read
    std::function<bool(TClientDataSet*)> OnFilterRecord;

    // ---- aggregates
    double Sum(const QString& fieldName) const; // over visible rows, nulls count 0

    // ---- event control
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;
    void Silence();  // suspend every event handler below (nestable)
    void WakeUp();
    bool Silenced() const;
    // How many values were changed while silenced, ever: who follows the values through
    // their change events learns from it that it missed some.
    quint64 UnseenChanges() const;

    std::function<void(TClientDataSet*)> AfterOpen, BeforeClose, AfterClose;
    std::function<void(TClientDataSet*)> BeforeInsert, AfterInsert, OnNewRecord;
    std::function<void(TClientDataSet*)> BeforeEdit, AfterEdit;
    std::function<void(TClientDataSet*)> BeforePost, AfterPost;
    std::function<void(TClientDataSet*)> BeforeCancel, AfterCancel;
    std::function<void(TClientDataSet*)> BeforeDelete, AfterDelete;
    std::function<void(TClientDataSet*)> BeforeScroll, AfterScroll;
    std::function<void(TClientDataSet*)> OnCalcFields;

    // Raw row access for models and bulk work (visible row index, field index).
    QVariant RowValue(int visibleRow, int fieldIndex) const;
    // The current row's value as last posted, whatever an edit under way holds; null for a
    // row not posted yet.
    QVariant PostedValue(int fieldIndex) const;

signals:
    // For views: structure or rows changed wholesale, one row changed, current row moved.
    void dataReset();
    void rowChanged(int visibleRow);
    void rowInserted(int visibleRow);
    void rowRemoved(int visibleRow);
    void currentChanged(int visibleRow);
    void stateChanged();

private:
    friend class TField;
    struct Impl;
    std::unique_ptr<Impl> d;
    bool FFiltered = false;
    QString FFilter;
};

// Display text of a value of field f (any row): DisplayFormat for numbers, "是"/"否" for
// booleans, "yyyy-MM-dd[ hh:mm:ss]" for datetimes.
QString FormatFieldValue(const TField* f, const QVariant& v);

// Free helpers with the host's names.
QString GetDeltaXML(const TClientDataSet* ds);
// Builds an open dataset from a data packet; caller owns it.
TClientDataSet* RecordsetFromXMLString(const QString& xml, QObject* owner = nullptr);

// ---- delta reading, for the server side that applies changes
struct TDeltaRow {
    TUpdateStatus Kind = TUpdateStatus::usUnmodified; // usInserted, usModified or usDeleted
    TRowValues Old; // original values (modified, deleted); names are the field names
    TRowValues New; // new values (inserted: all fields; modified: all fields after the change)
    QStringList Changed; // modified: fields whose value changed
};
struct TDelta {
    QVector<TFieldDef> Fields;
    QVector<TDeltaRow> Rows;
};
// Reads a delta in either encoding (XML or compact); throws EDatabaseError on malformed text.
TDelta ParseDeltaXML(const QString& xml);

// Builds a data packet from field definitions and rows (values in field order), used by
// the server to answer reads without a dataset in between.
QString BuildDataPacketXML(const QVector<TFieldDef>& fields, const QVector<QVariantList>& rows);

// ---- the compact encoding
// Data packets and deltas cross between client and server in a compact text: every value
// tagged with its kind and, where it has no fixed length, prefixed with its length; numbers in
// their shortest exact decimal form; text as it is, nothing escaped. It carries every value
// exactly, like the XML, and is written and read many times faster; the XML stays for files
// and for people. The text holds only what a UTF-8 transport carries unchanged.
//
//   data packet  "#TBDP1;" <field count> ";" <fields> <row count> ";" <values, row by row>
//   delta        "#TBDL1;" <field count> ";" <fields> <row count> ";" <rows>
//   field        <type letter i f c s b d x> <size> "," <flags: 1 required, 2 calculated> "," <name>
//   row (delta)  "D" <old values> <new values> | "M" <old values> <new values> | "I" <new values>
//   value        "~" null | "i" <integer> ";" | "f" <number> ";" | "T" | "F" |
//                "d" <yyyy-MM-ddThh:mm:ss> | "s" <text> | "x" <base64 of the bytes>
//   name, text   <length in UTF-16 units> ":" <characters>
// Calculated fields are listed but carry no values, as in the XML.
class TCompactWriter {
public:
    void Null() { FOut.append(u'~'); }
    void Integer(qint64 v);
    void Float(double v); // finite numbers only (datasets hold no others)
    void Currency(double v); // rounded to 4 decimals, as data packets store money
    void Boolean(bool v) { FOut.append(v ? u'T' : u'F'); }
    void Text(QStringView v);
    // Text of the field `field`, refused as the XML refuses what it cannot carry.
    void FieldText(const QString& v, const QString& field);
    void DateTime(const QDateTime& v); // whole seconds
    // A date-time already in the form "yyyy-MM-ddThh:mm:ss" or "yyyy-MM-dd hh:mm:ss".
    void DateTimeText(QStringView v);
    void Blob(const QByteArray& v);
    // A value of a field of type t (null, or already of the field's storage type), written the
    // way BuildDataPacketXML stores it.
    void Value(TFieldType t, const QVariant& v);

    // The data packet of `rowCount` rows whose values were written, field by field, row by row.
    QString DataPacket(const QVector<TFieldDef>& fields, int rowCount) const;
    // The values written so far (for a delta, the row states among them).
    QString& Body() { return FOut; }
    void Reserve(qsizetype chars) { FOut.reserve(chars); }

private:
    QString FOut;
};
bool IsCompactPacket(QStringView text);
// BuildDataPacketXML in the compact encoding.
QString BuildDataPacket(const QVector<TFieldDef>& fields, const QVector<QVariantList>& rows);
QString GetDeltaPacket(const TClientDataSet* ds);
// The compact text of a delta (as GetDelta gives it, or as read).
QString WriteDeltaPacket(const TDelta& delta);
TDelta GetDelta(const TClientDataSet* ds);
