#pragma once
// Sample bill data for looking at a template before any bill prints with it: the designer's
// preview. Every variable of the catalogue and every field the template names gets a value
// that looks like what a bill would put there: numbers where the field holds quantities,
// prices and amounts (the amounts add up), dates for dates, words for the rest.
#include "platform/report/ReportControl.h"

#include <QVariantMap>
#include <QVector>

// The detail rows of a sample bill: one map per row with every detail field the template
// names (columns, expressions and the catalogue), keyed without the "D." prefix.
QVector<QVariantMap> SampleDetailRows(const TReportTemplate& t, int rows);
// The value a sample bill gives a field or variable of that name (the caption helps with
// words); `row` numbers the line for detail fields.
QVariant SampleValue(const QString& name, const QString& caption, int row = 0);

// Binds a sample bill to the report: master variables, detail rows, a fixed print time.
// The report's template stays as it is.
void FillSampleBillData(TReportControl& report, int rows = 12);
