#pragma once
// The small choosers bills open while a bill is entered: how many finished goods the stock
// of their components allows (assembly bill), a remembered free text (user-defined fields),
// the goods categories a low-stock proposal orders (purchase order), an earlier price of a
// finished goods receipt (finished goods bill), and a stock movement to return against
// (stock in/out bill). Each has its reading and its result apart from its window.
#include "pickers/PickerForm.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"
#include "webrpc/Connection.h"

#include <QDate>
#include <QStringList>
#include <QVector>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

// ====================================================================== assembly calculator

struct TCombinPart {
    int GoodsID = 0;
    QString Code, Name, Specs, Unit; // Unit: the base unit, in which stock is counted
    double PerUnit = 0;               // base units per finished unit
    double OnHand = 0;                // in the chosen store, base units
    double NeedQty = 0;               // used by the largest assembly
};
struct TCombinCalc {
    QString GoodsName;
    QVector<TCombinPart> Parts;
    qint64 MaxCanCmb = 0; // "目前最大可组装数量为："
};
// The components of the finished goods (its bill of materials) and the largest number the
// store's stock lets assemble: the smallest, over the components, of floor(stock / quantity
// per finished unit). No components, or a component without stock, allow none.
TCombinCalc CalcCanCombine(TClientConnection* con, int goodsId, int storeId);

class TCanCombinCalForm : public TPickerForm {
    Q_OBJECT
public:
    TCanCombinCalForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    void Calculate(int goodsId, int storeId);
    const TCombinCalc& Result() const { return FCalc; }
    void ExportList(const QString& file);

    QLabel *CmbGoodsName, *MaxCanCmb;
    TDBGrid* dgParts;
    TClientDataSet* cdsParts;
    QPushButton *btnExport, *btnClose;
    static std::function<QString(QWidget* parent, const QString& proposed)> AskExportFile;

private:
    TCombinCalc FCalc;
    TDataSource* FSource;
    TKQDBGridMaster FGrid;
};

void ShowCanCombinCal(int goodsId, int storeId);

// ====================================================================== user-defined values

class TSelectUserDefForm : public TPickerForm {
    Q_OBJECT
public:
    TSelectUserDefForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    // The remembered texts of a kind, newest first, under the caption given.
    void Open(int kind, const QString& caption);
    QString Chosen() const;

    QLabel* laTitle;
    QListWidget* lbNames;
    QPushButton *btnOk, *btnCancel;
};

// Lists the texts of `kind`; on OK writes the chosen one into `field` of `target` (left in
// edit state for the caller). True on OK with a text chosen.
bool ShowSelectUserDef(int kind, const QString& caption, TClientDataSet* target, const QString& field);

// ====================================================================== goods categories

inline const QString kOtherCategories = QStringLiteral("其它未分类商品");

struct TCategoryChoice {
    bool All = false;          // every category was chosen
    QString Condition;         // "And GT.Name in('a','b')" when not all
    QStringList Names;         // the chosen category names (without the unclassified entry)
    bool WithUnclassified = false; // "其它未分类商品" was chosen
};
// What the chosen categories mean to the low-stock proposal.
TCategoryChoice CategoryChoice(const QStringList& offered, const QStringList& chosen);
// The categories of goods short of stock (book stock below the lower limit), then
// "其它未分类商品" when goods without a category are short.
QStringList ShortGoodsCategories(TClientConnection* con);

class TLackGoodsFilterForm : public TPickerForm {
    Q_OBJECT
public:
    TLackGoodsFilterForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    void SetCategories(const QStringList& categories);
    // ">", ">>", "<", "<<".
    void Include();
    void IncludeAll();
    void Exclude();
    void ExcludeAll();
    TCategoryChoice Choice() const;

    QListWidget *lbLack, *lbOrder;
    QPushButton *IncludeBtn, *IncAllBtn, *ExcludeBtn, *ExAllBtn, *btnOk, *btnCancel;

private:
    QStringList FOffered;
};

// True on OK with the choice written; false on cancel (the proposal stops).
bool ShowLackGoodsFilter(TCategoryChoice* choice);

// ====================================================================== earlier prices

class TSelInProductPriceForm : public TPickerForm {
    Q_OBJECT
public:
    TSelInProductPriceForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    // The goods, the unit the price is wanted in, and its earlier finished goods receipts.
    void Open(int goodsId, int unitId);
    // The current receipt's price in the unit asked for (its base-unit price times the rate).
    double ChosenPrice() const;

    QLabel *laGoods, *laUnit;
    TDBGrid* dgPrices;
    TClientDataSet* cdsPrices;
    QPushButton *btnOk, *btnCancel;

private:
    double FRate = 1;
    TDataSource* FSource;
    TKQDBGridMaster FGrid;
};

// True on OK with the price written.
bool ShowSelInProductPrice(int goodsId, int unitId, double* price);

// ====================================================================== stock movements to return

// The out-movements of a store whose type needs a return and whose lines are not all back,
// newest first (all stores when storeId is 0).
TSqlParams InOutSelectorParams(int storeId);
QString InOutSelectorSql(int storeId);

class TInOutSelectorForm : public TPickerForm {
    Q_OBJECT
public:
    TInOutSelectorForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    void Open(int storeId);
    int ChosenInOutID() const;

    TDBGrid* dgBills;
    TClientDataSet* cdsBills;
    QPushButton *btnOk, *btnCancel;

private:
    TDataSource* FSource;
    TKQDBGridMaster FGrid;
};

// True on OK with a movement chosen (its id written).
bool ShowInOutSelector(int storeId, int* inoutId);
