#pragma once
// What the window and bill benchmarks share: their main() (in BenchMain.cpp: an offscreen
// application with the platform's per-form chatter silenced), the demo database they copy, and
// the goods lines they enter.
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <QString>
#include <QTemporaryDir>
#include <QVector>

// The demo database, built once per run; each benchmark works on its own copy of it.
inline QString TemplateDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con, true);
        con.Close();
    }
    return file;
}

// A goods item and its unit, for the lines a benchmark enters.
struct TGoodsLine {
    int GoodsID = 0;
    int UnitID = 0;
};

// `lines` lines appended to a bill window's lines as a clerk enters them: the goods in turn from
// `first` on, quantities 1 to 9, prices 3.50 to 15.50, no discount and no tax.
inline void AppendGoodsLines(TClientDataSet* d, const QVector<TGoodsLine>& goods, int lines, int first = 0)
{
    d->DisableControls();
    for (int i = 0; i < lines; ++i) {
        const TGoodsLine& g = goods.at((first + i) % goods.size());
        const double qty = 1 + i % 9;
        const double price = 3.5 + i % 13;
        d->Append();
        d->FieldByName(QStringLiteral("goodsid"))->SetValue(g.GoodsID);
        d->FieldByName(QStringLiteral("unitid"))->SetValue(g.UnitID);
        for (const char* q : {"unitqty", "quantity"})
            d->FieldByName(QString::fromLatin1(q))->SetValue(qty);
        for (const char* p : {"unitprice", "price"})
            d->FieldByName(QString::fromLatin1(p))->SetValue(price);
        for (const char* a : {"goodsamt", "amount"})
            d->FieldByName(QString::fromLatin1(a))->SetValue(qty * price);
        d->FieldByName(QStringLiteral("disc"))->SetValue(100);
        d->FieldByName(QStringLiteral("taxrate"))->SetValue(0);
        d->FieldByName(QStringLiteral("taxamt"))->SetValue(0);
        d->Post();
    }
    d->EnableControls();
}
