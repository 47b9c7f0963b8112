#pragma once
// A bill window driven from the keyboard as a clerk drives it: opened through "SHOWBILLFORM",
// shown and active, and every key sent with QTest to the widget that has the focus, so that
// shortcuts, the form's key preview, the grid and its cell editors all take part as they do
// on screen.
#include "PackageFixture.h"

#include "goodsbill/GoodsBillForm.h"

#include <QString>

#include <functional>

class TBillWindowTest : public TPackageTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The window of a form name with a new bill, shown and active; nullptr on failure.
    TGoodsBillForm* Open(const QString& formName);
    QWidget* Focus() const;
    // One key to the focused widget.
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    void Enter() { Key(Qt::Key_Return); }
    // Text typed key by key, each to whatever has the focus at that moment.
    void Type(const QString& text);
    // The field of the grid's current column, "" when none.
    static QString CurrentField(TGoodsBillForm* f);
    // A cell editor of the grid has the focus.
    static bool Editing(TGoodsBillForm* f);
    // Goods text + Enter, then the quantity + Enter, from the goods cell of a line. Leaves
    // the cursor where the grid put it.
    void TypeLine(TGoodsBillForm* f, const QString& goodsText, const QString& quantity);
    // Focus on the master editor of a field.
    void FocusField(TGoodsBillForm* f, const QString& field);
    QVariant Db(const QString& sql, const TSqlParams& params = {});
    // A goods of the demo data for a bill: its code, its base unit's bar code, and a second
    // unit with its own bar code and rate.
    struct TDemoGoods {
        int GoodsID = 0;
        QString Code;
        int BaseUnitID = 0;
        QString PackBarCode;
        int PackUnitID = 0;
        double PackRate = 0;
    };
    TDemoGoods Goods(int index, const QString& extraCondition = QString());

private:
    std::function<void(QWidget*, const QString&)> FOldErrorHandler;
};
