#pragma once
// The shared spreadsheet export: a title, a header row, the rows and a totals row written
// as a real .xlsx workbook (one sheet).
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

// Numbers are written as numbers, texts as texts (a code such as "00123" stays a text),
// dates as "yyyy-MM-dd". totalColumns (0-based) get a SUM in the totals row, whose first
// cell reads "合 计" unless that column is totalled itself. Throws EReportError when there
// are no headers or the file cannot be written.
void ExportToXlsx(const QString& file, const QString& title, const QStringList& headers,
                  const QVector<QVariantList>& rows, const QList<int>& totalColumns);
