#pragma once
// Lists that selection dialogs read a page at a time: the dataset keeps fixed column types
// whatever a page holds (a page of nulls must not turn a number column into text), and a page
// is appended without a change log, since a picker's list is never saved.
#include "webrpc/Connection.h"

#include <QVector>

#include <functional>

// A column of a list: name and type.
inline TFieldDef ListField(const QString& name, TFieldType type)
{
    TFieldDef d;
    d.Name = name;
    d.DataType = type;
    return d;
}

// Appends " AND column LIKE :name" matching `text` anywhere (taken literally) and binds it;
// nothing for an empty text.
void AppendContains(QString& sql, TSqlParams& params, const QString& column, const QString& name, const QString& text);

// Replaces the fields of `ds` with `defs` and opens it empty.
void DefineListFields(TClientDataSet* ds, const QVector<TFieldDef>& defs);
// Appends the rows of a select to `ds` (values by column position), keeping the current
// record (the first when `ds` was empty). Answers the number of rows appended.
int AppendSelect(TClientConnection* con, const QString& sql, const TSqlParams& params, TClientDataSet* ds);

// Reads a list a page at a time in the order of its key columns: each page starts after the
// keys of the last row read, so a later page costs what the first does.
class TKeysetPager {
public:
    // Builds the statement of a page: after `afterKeys` (empty: from the start), at most
    // `limit` rows, parameters into `params`.
    using TBuild = std::function<QString(TSqlParams& params, const QVariantList& afterKeys, int limit)>;
    TKeysetPager(TClientConnection* con, QStringList keyFields)
        : FCon(con), FKeyFields(std::move(keyFields))
    {
    }
    void OpenFirst(TClientDataSet* ds, const QVector<TFieldDef>& fields, int pageSize, const TBuild& build, bool empty = false);
    // Appends the next page; false at the end, or while a page is being appended (the
    // grid, told of the new rows, may ask for more before this one is done).
    bool FetchMore(TClientDataSet* ds, int pageSize, const TBuild& build);
    bool AtEnd() const { return FAtEnd; }

private:
    TClientConnection* FCon;
    QStringList FKeyFields;
    QVariantList FLastKeys;
    bool FAtEnd = true;
    bool FFetching = false;
};
