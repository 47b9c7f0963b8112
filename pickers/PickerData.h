#pragma once
// Lists that selection dialogs read a page at a time: the dataset keeps fixed column types
// whatever a page holds (a page of nulls must not turn a number column into text), and a page
// is appended without a change log, since a picker's list is never saved.
#include "webrpc/Connection.h"

#include <QVector>

// Replaces the fields of `ds` with `defs` and opens it empty.
void DefineListFields(TClientDataSet* ds, const QVector<TFieldDef>& defs);
// Appends the rows of a select to `ds` (values by column position), keeping the current
// record (the first when `ds` was empty). Answers the number of rows appended.
int AppendSelect(TClientConnection* con, const QString& sql, const TSqlParams& params, TClientDataSet* ds);
