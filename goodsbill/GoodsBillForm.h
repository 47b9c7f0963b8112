#pragma once
// The goods bill form: a style form whose lines are goods. It reaches the line fields through
// its field-name table, lets the clerk enter a line from the keyboard (a goods code, bar code
// or scale label and Enter fill the line and go to the quantity; Enter walks the editable
// cells and opens a new line after the last one), applies the column entry rules, and hands
// every edited line field to the pricing engine, which brings the line's prices, tax and
// amounts in line with it. The rules themselves live in the engines without widgets (goods
// lines, checks, master services); the form builds them over its datasets and calls them.
// Every concrete bill derives from it.
#include "goodsbill/BillStyleForm.h"
#include "goodsbill/GoodsFieldNames.h"
#include "goodsbill/GoodsLines.h"

#include <memory>

class TBillChecks;
class TBillDB;
class TLinePricing;
class TMasterServices;
class QLabel;

class TGoodsBillForm : public TBillStyleForm {
    Q_OBJECT
public:
    explicit TGoodsBillForm(QWidget* owner = nullptr);
    ~TGoodsBillForm() override;

    // The line field names; a concrete bill changes them in its constructor.
    TGoodsFieldNames FieldNames;
    TGoodsFormSettings GoodsSettings;
    TLinePricing* Pricing() const { return FPricing.get(); }
    // The engines of this bill, made by InitBillForm (null before).
    TGoodsLines* Lines() const;
    TBillChecks* Checks() const { return FChecks.get(); }
    TMasterServices* Services() const;
    // The goods list's filter of this bill (closed goods and kinds the bill takes no part in).
    QString GoodsFilter() const;
    QLabel* BranchLabel = nullptr; // "分支机构名称：" in multi-branch mode
    QLabel* StockLabel = nullptr;  // "库存：12.5 瓶": the stock of the current line's goods

    // ---- goods entry
    // The Enter of the goods column: fills the current line with what the text names and
    // moves to the quantity: a goods code, a bar code of one of its units (that unit), a scale
    // label ("WEIGHTPRECODE": unit and weight), a name or pinyin initials. With "SCANADDQTY"
    // on, goods scanned on a new line that stand on another line already add their quantity
    // there instead. False when the text names no goods (the line stays as it was).
    bool EnterGoodsText(const QString& text);

    // ---- virtual operations, in slot order
    virtual void ColumnEntered(const QString& fieldName);
    virtual bool IsColumnReadOnly(const QString& fieldName);
    // The goods and unit routines of the line engine; a bill may add to them.
    virtual void GoodsChanged(TField* field);
    virtual void UnitChanged(TField* field);
    virtual void ClientChanged();
    // The ellipsis of the batch cell: the batch picker for the current line.
    virtual void PickLineBatch();

    // ---- taken over from the base and style forms
    void InitBillForm() override;
    void ApplyBillStyle() override;
    void FormatGridColumn(const QString& fieldName) override;
    void DetailFieldChanged(TField* field) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    bool PostAndValidate() override;
    void InsertDetailLine() override;
    void CopyDetailLine() override;
    void DeleteDetailLine() override;
    void SetPrice() override;
    void OnMasterFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    bool CanDeleteBill() override;
    // The tax columns follow the invoice kind (and the amount column's title with them).
    void RefreshFieldState(const QString& fieldName) override;
    void ImportDetailLines() override;
    // The host's line-menu items follow the bill: shown, read-only or not, with lines or not,
    // saved or new, and the operator's rights.
    void OnDetailStateChanged(bool readOnly) override;
    void BuildMasterArea() override;
    // 批号复制: the current line's batch code numbered on over copies of the line.
    void CopyBatchCode() override;
    // The follow-up bills of a saved bill (payments, returns, charges, material returns,
    // transfers) in the process dialog.
    void ShowPayProcess() override { ShowProcess(1); }
    void ShowPurchaseReturnProcess() override { ShowProcess(2); }
    void ShowChargeProcess() override { ShowProcess(3); }
    void ShowSalesReturnProcess() override { ShowProcess(4); }
    void ShowBackDrawProcess() override { ShowProcess(5); }
    void ShowAllotProcess() override { ShowProcess(6); }
    // The selection actions: lines taken from source bills through the package's seam.
    void SelectBillsToPayPurchase() override { TakeSourceLines(9); }
    void SelectPurchaseOrder() override { TakeSourceLines(6); }
    void SelectSalesOrder() override { TakeSourceLines(1); }
    void SelectSalesOrderForPurchase() override { TakeSourceLines(1); }
    void SelectOrderForStock() override { TakeSourceLines(1); }
    void SelectDeliveryRequest() override { TakeSourceLines(41); }
    void SelectDelivery() override { TakeSourceLines(42); }
    void SelectGoodsReceipt() override { TakeSourceLines(7); }
    void SelectCashPurchase() override { TakeSourceLines(26); }
    void SelectValuedReceipt() override { TakeSourceLines(22); }
    void SelectSalesInvoice() override { TakeSourceLines(2); }
    void SelectCashSale() override { TakeSourceLines(3); }
    void SelectConsignmentSale() override { TakeSourceLines(27); }
    void SelectConsignmentSettlement() override { TakeSourceLines(28); }
    void SelectBillsToPaySales() override { TakeSourceLines(5); }
    void SelectMaterialDraw() override { TakeSourceLines(10); }
    void SelectPurchaseApplication() override { TakeSourceLines(43); }
    void SelectSalesReturn() override { TakeSourceLines(4); }
    void SelectQuotation() override { TakeSourceLines(44); }

protected:
    void ShowProcess(int kind);
    // Lines of the source bills of a type; the number added.
    int TakeSourceLines(int sourceKind);
    // The current line is a line the clerk opened and left without goods.
    bool IsBlankLine() const;
    // The line (visible row) that holds this goods in this unit, other than the current one;
    // -1 when none.
    int LineOfGoods(int goodsId, int unitId) const;
    void StartNewLine();
    // The remembered texts of a line's user field, offered by the cell's ellipsis.
    void PickRememberedText(const QString& fieldName, int kind);
    // Tells the host which line-menu items apply now (only while this window is active).
    QString PeriodCaption() const;

private:
    class TFormLines;
    class TFormServices;
    void CreateEngines();
    void ShowTaxColumns();
    // The stock of the current line, read once the cursor has settled on a line.
    void ScheduleOnHand();
    bool CellReadOnly(const QString& fieldName);
    // The cursor to the field a refusing engine named.
    void FollowFocusRequest(const TGoodsEngine& engine);

    std::unique_ptr<TBillDB> FOwnBillDB;
    std::unique_ptr<TBillPrompter> FDocPrompts;
    TGoodsBillContext FContext;
    std::unique_ptr<TLinePricing> FPricing;
    std::unique_ptr<TFormLines> FLines;
    std::unique_ptr<TBillChecks> FChecks;
    std::unique_ptr<TFormServices> FServices;
    QString FBaseCaption;
    bool FOnHandPending = false;
};
