#pragma once
// Sales bills driven through their windows on a copy of the demo database: options and client
// accounts set per test, bills filled field by field and line by line, saved as the clerk saves
// them, and the books (stock, lots, follow-up quantities, client balances) read back.
#include "BillWindowFixture.h"

#include "bills/sales/SalesBillForm.h"

class TSalesTest : public TBillWindowTest {
protected:
    void SetOption(const QString& key, const QString& value);
    // A client of the demo data (kind 1) with the credit limit, balance and no advance given.
    int Client(int index, double credit = 0, double balance = 0);
    // A goods of kind 1 without batches that store 1 holds at least 100 of: id, code, base unit.
    struct TStock {
        int GoodsID = 0;
        QString Code;
        int UnitID = 0;
    };
    TStock Stocked(int index);
    // The window of a form name with a new bill for the client (and store 1 where it has one).
    TSalesBillForm* NewBill(const QString& formName, int client);
    // A line: goods, quantity in the base unit and unit price.
    void AddLine(TGoodsBillForm* f, const TStock& goods, double qty, double price);
    void Set(TGoodsBillForm* f, const QString& field, const QVariant& value);
    void SetLine(TGoodsBillForm* f, const QString& field, const QVariant& value);
    // Saves as the OK button does; true when the bill was stored.
    bool Save(TGoodsBillForm* f);

    double OnHand(int goods, int store = 1);
    double Balance(int client);
    double LineValue(const QString& table, const QString& key, int id, int itemNo, const QString& column);
    // The saved bill's id and its master value.
    double MasterNum(const QString& table, const QString& key, int id, const QString& column);
    bool Shown(const QString& text) const { return FMessages->Contains(text); }
};
