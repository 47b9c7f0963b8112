#pragma once
// The package loaded on a copy of the demo database, with the bill windows, the selection and
// check dialogs it installs, scripted messages and dialogs, and goods, partners and source
// bills of the test's own making.
#include "goodsbill/GoodsBillForm.h"
#include "host/Messages.h"
#include "webrpc/Connection.h"

#include <QDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class TDBGrid;

class TSelectionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A bill window with a new bill, opened as the host opens it.
    TGoodsBillForm* Open(const QString& formName);
    // A client (kind 1) or vendor (kind 2).
    int AddPartner(int kind, const QString& name);
    struct TGoods {
        int GoodsID = 0;
        int UnitID = 0;     // base unit
        int PackUnitID = 0; // a second unit of 12
        QString Code;
    };
    // Goods with a base unit priced as given, a pack of 12 and `stock` in store 1.
    TGoods AddGoods(const QString& code, const QString& name, double salePrice, double purchasePrice, double stock = 0);
    struct TOrderLine {
        TGoods Goods;
        double Qty = 0;
        double Price = 0;
        double Received = 0;
    };
    // An invoice window to a new client from store `Store`, with one posted line of the goods
    // at the price; not yet saved.
    TGoodsBillForm* Invoice(const TGoods& g, double qty, double price);
    // A purchase order of the vendor dated today; its id.
    int AddPurchaseOrder(int vendorId, const QString& code, const QVector<TOrderLine>& lines);

    QVariant Db(const QString& sql, const TSqlParams& params = {}) { return FCon->ExecuteScalar(sql, params); }
    void SetOption(const QString& key, const QString& value);
    // Sets a master field of a bill window as its editor does.
    static void SetMaster(TGoodsBillForm* f, const QString& field, const QVariant& value);

    // Clicks a list's tick box in a row (0-based), as the user does.
    static void ClickTick(TDBGrid* grid, int row);
    // Shows a scripted dialog so that clicks reach its widgets.
    static void Expose(QDialog* d);
    // The form inside a scripted dialog.
    template <class T>
    static T* FormIn(QDialog* d)
    {
        return d->findChild<T*>();
    }
    // Renders a widget to build/pickers-png/<name>.png for a person to look at.
    static void Render(QWidget* w, const QString& name);

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
    int Store = 1;
};
