#pragma once
// The price dialog of one goods line ("价格录入"): quantity, prices, discount, tax and amounts
// of the bill's current line, edited in place (the bill's line routines recompute the rest
// after each edit), and a list of the goods' stored prices to choose from. OK keeps the line,
// cancel puts it back as it was before the dialog.
#include "goodsbill/GoodsFieldNames.h"
#include "pickers/PickerForm.h"

#include <QDate>
#include <QVector>

class QComboBox;
class QLabel;
class QPushButton;
class TClientDataSet;
class TDataSource;
class TDBEdit;

// A stored price the line may take.
struct TPriceChoice {
    QString Name; // "参考购货价", "一级批发价", ...
    double Price = 0;
};

struct TSetPriceRequest {
    int GoodsID = 0;
    int UnitID = 0;
    int BillType = 0;
    int CVFlag = 0;   // 1 sells, 2 buys, 3 stock
    int ClientID = 0; // the bill's partner
    int ShopID = 0;
    int StoreID = 0;
};

// The prices offered, in this order: on a buying bill the reference and last purchase
// prices; on a selling bill the reference retail price, the five wholesale levels, the
// partner's last price, the price of the partner's level and a discount price in force; a
// stock bill both the reference purchase and retail prices. Purchase prices only for a user
// who may look at goods receipts, sale prices only for one who may look at sales invoices;
// prices never set (0) are left out.
QVector<TPriceChoice> SetPriceChoices(TClientConnection* con, const TBillSession& session, const TSetPriceRequest& request);

// Privilege ids whose browse right lets a user see purchase and sale prices.
inline constexpr int kPurchasePricesPrivilege = 39; // goods receipts
inline constexpr int kSalePricesPrivilege = 34;     // sales invoices

class TSetPriceForm : public TPickerForm {
    Q_OBJECT
public:
    TSetPriceForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // The line to edit: the detail's current record, its field names, and what the price
    // list is read for.
    void SetLine(TClientDataSet* detail, const TGoodsFieldNames& names, const TSetPriceRequest& request);
    // Puts a price of the list into the line's unit price.
    void ChoosePrice(int index);
    // Writes what was typed in the edits into the line.
    void UpdateRecord();

    QLabel *laGoods, *laSpecs, *laUnit;
    QComboBox* CBMutliPrice;
    QVector<TDBEdit*> Edits; // in the order of the fields below
    QPushButton *btnOk, *btnCancel;
    QVector<TPriceChoice> Choices;

private:
    TDataSource* FSource;
    TGoodsFieldNames FNames;
    QVector<QLabel*> FLabels;
};

// The dialog for the current line of `detail` (posted first when in edit or insert state).
// 1 on OK; on cancel the line is put back as it was and 0 is returned.
int ShowSetPrice(int billType, int cvFlag, int clientId, const QDate& billDate, TClientDataSet* detail, int storeId,
                 TClientDataSet* master, const TGoodsFieldNames& names = TGoodsFieldNames());
