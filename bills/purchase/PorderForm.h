#pragma once
// Purchase orders and purchase expense bills.
#include "bills/purchase/PurchaseRules.h"
#include "goodsbill/GoodsBillForm.h"

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
struct TCategoryChoice;
class TReturnValue;

class TPorderForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPorderForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    ~TPorderForm() override;

    TPurchaseRules& Rules();
    // The ellipse and its "执行完毕" shown on a finished order.
    QFrame* Shape = nullptr;
    QLabel* FinishedLabel = nullptr;
    // The category chooser of the low-stock proposal; false on cancel.
    static std::function<bool(TCategoryChoice* choice)> ChooseShortCategories;
    // The workbook the export writes; empty asks for a file.
    QString ExportFile;

    bool ValidateMaster() override;
    bool ValidateDetail() override;
    bool IsReadOnlyBill() override;
    void InitNewMaster() override;
    // The read-only walk enables every control: the bill's own states are laid over it again.
    void OnDetailStateChanged(bool readOnly) override;
    void RefreshFieldState(const QString& fieldName) override;
    void OnMasterFieldChanged(TField* field) override;
    bool SaveAndNewBill() override;
    void DoExportBill() override;
    // Writes the bill to a workbook; false (and why) when the file cannot be written.
    bool ExportTo(const QString& file, QString* error = nullptr);
    // The goods short of stock proposed as lines, after asking; the number of lines added.
    int ProposeShortGoods();

public slots:
    // Takes the lines of the sales order SourceOrderID; a sales order's "转入采购订单" queues it
    // on the order window it opened.
    void TakeSourceOrderLines();

private:
    void AppendGoodsLine(int goodsId, int unitId, double unitQty);
    TPurchaseRulesOf FRules;
    bool FReadOnlyWhenFinished = false;
    bool FProposalPending = true;
};

class TPurchaseAppForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPurchaseAppForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    ~TPurchaseAppForm() override;

    TPurchaseRules& Rules();
    QPushButton* btnAppByQty = nullptr; // "按数量分摊"
    QPushButton* btnAppByAmt = nullptr; // "按金额分摊"

    void MasterAfterOpen(TClientDataSet* ds) override;
    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    // The read-only walk enables every control: the bill's own states are laid over it again.
    void OnDetailStateChanged(bool readOnly) override;
    void RefreshFieldState(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // "选择单据": lines of the vendor's receipts and cash purchases to apportion over.
    void SelectPurchaseApplication() override;
    // The receipt-line dialog; false on cancel.
    static std::function<bool(int kind, int vendorId, const QDate& date, TReturnValue* result, const QString& condition)>
        ChooseReceiptLines;

private:
    TPurchaseRulesOf FRules;
};
