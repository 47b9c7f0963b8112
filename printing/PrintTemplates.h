#pragma once
// Print templates ("打印样式") kept in the table `report`: which ids are standard, the report
// types and the bill type behind each, the variable catalogue a bill offers to its template,
// the template files on disk and the standard template a report type prints with before
// anyone designed one.
#include "platform/report/ReportTemplate.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class TClientConnection;
class TReportControl;

// Report types without a bill catalogue carry this bill type.
constexpr int NoCatalogueBillType = 1607;

// Standard templates cannot be renamed or deleted: ids up to 1007, 1208-1251 and 1500-5000.
bool IsStandardReportID(int rptid);

struct TReportTypeInfo {
    int Type = 0;
    QString Name;
    int BillType = NoCatalogueBillType;
};
// Every report type the system names, in type order.
const QVector<TReportTypeInfo>& ReportTypes();
// "" for a type the system does not name.
QString ReportTypeName(int reportType);
// The bill type whose catalogue a report type gets; NoCatalogueBillType when none.
int ReportTypeBillType(int reportType);

// The side of a bill for its catalogue and print values.
enum class TPrintSide { None, Customer, Vendor, Stock };
TPrintSide PrintBillSide(int billType);

// One visible field of the bill window's style (the window template): head (1), body (2)
// and foot (4) fields become master variables, detail fields (3) detail fields.
struct TPrintStyleField {
    QString DataField;
    QString Caption;
    int Section = 1;
    int SubType = 1;
    QString ListDataSet; // drop-downs: the host lookup behind the list
    QString KeyField;
    QString ListField;
};
// The shown fields of a window template, by section and template order. A field is shown
// when the template displays it or the field must always be displayed.
QVector<TPrintStyleField> LoadPrintStyleFields(int windowId, int templateId = 1, TClientConnection* con = nullptr);

// Clears both lists of the control and builds the catalogue of a bill type: system
// variables, the style fields, the named master variables and totals, the detail fields.
void BuildPrintCatalogue(TReportControl& report, int billType, const QVector<TPrintStyleField>& styleFields);

// ---- template files
// Folder the application runs from (the executable's folder unless set, e.g. by tests).
QString PrintAppDirectory();
void SetPrintAppDirectory(const QString& dir);
// <app folder>/Temp/<rptid>.Zrp; the folder is created when missing.
QString PrintTemplatePath(int rptid);

// The content of a template row; a row whose data is still empty gives the standard
// template of its type. Throws EDatabaseError when there is no such row.
QByteArray PrintTemplateData(int rptid, TClientConnection* con = nullptr);
// Writes the template of rptid to file. No such row: "尚未指定打印模板。" and false.
bool LoadPrintTemplate(int rptid, const QString& fileName);
// Opens the file, clears its catalogue, builds the catalogue of the bill type (none for
// NoCatalogueBillType) and saves it. Throws EReportError on an unreadable file.
void PreparePrintTemplate(const QString& fileName, int billType, const QVector<TPrintStyleField>& styleFields);
// The catalogue that preparing gives without a bill form: the window's standard style.
void PreparePrintTemplateForType(const QString& fileName, int reportType);

// The smallest id of a report type (its system default), 0 when the type has no row.
int SystemDefaultReportID(int reportType, TClientConnection* con = nullptr);
// The smallest positive id of a report type (the style bills use by default), 0 when none.
int StandardReportID(int reportType, TClientConnection* con = nullptr);

// The standard layout of a report type, made from the bill's catalogue: a business form
// with the company, title, partner block, goods table, totals in capitals and signatures.
TReportTemplate StandardPrintTemplate(int reportType);

// Writes the standard layout into every row of `report` whose data is empty. Returns the
// number of rows filled. Meant to run once after the demo data is written.
int FillStandardPrintTemplates(TClientConnection& con);
