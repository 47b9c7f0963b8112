#pragma once
// The goods bill form: a style form whose lines are goods. It reaches the line fields through
// its field-name table, lets the clerk enter a line from the keyboard (a goods code, bar code
// or scale label and Enter fill the line and go to the quantity; Enter walks the editable
// cells and opens a new line after the last one), applies the column entry rules, and hands
// every edited line field to the pricing engine, which brings the line's prices, tax and
// amounts in line with it. Every concrete bill derives from it.
#include "goodsbill/BillStyleForm.h"
#include "goodsbill/GoodsFieldNames.h"

#include <memory>

class TLinePricing;
class QLabel;

// How a typed text was found as goods.
struct TGoodsEntry {
    int GoodsID = 0;
    int UnitID = 0;      // 0: the goods' base unit
    double Quantity = 0; // a scale label's weight; 0 otherwise
    bool Found() const { return GoodsID > 0; }
};

class TGoodsBillForm : public TBillStyleForm {
    Q_OBJECT
public:
    explicit TGoodsBillForm(QWidget* owner = nullptr);
    ~TGoodsBillForm() override;

    // The line field names; a concrete bill changes them in its constructor.
    TGoodsFieldNames FieldNames;
    TGoodsFormSettings GoodsSettings;
    TLinePricing* Pricing() const { return FPricing.get(); }
    // The goods list's filter of this bill (closed goods and kinds the bill takes no part in).
    QString GoodsFilter() const;
    QLabel* BranchLabel = nullptr; // "分支机构名称：" in multi-branch mode

    // ---- goods entry
    // Finds typed text as a goods code, a bar code of one of its units, a scale label
    // ("WEIGHTPRECODE") or a unique name or pinyin initials. Nothing found: GoodsID 0.
    TGoodsEntry FindGoods(const QString& text) const;
    // The Enter of the goods column: fills the current line with what the text names and
    // moves to the quantity. With "SCANADDQTY" on, goods already on another line add their
    // quantity there instead. False when the text names no goods (the line stays as it was).
    bool EnterGoodsText(const QString& text);

    // ---- virtual operations, in slot order
    virtual void ColumnEntered(const QString& fieldName);
    virtual bool IsColumnReadOnly(const QString& fieldName);
    virtual void GoodsChanged(TField* field);
    virtual void UnitChanged(TField* field);

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
    void ImportDetailLines() override;
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
    // Lines of the source bills of a type; the number added.
    int TakeSourceLines(int sourceKind);
    // The current line is a line the clerk opened and left without goods.
    bool IsBlankLine() const;
    // The line (visible row) that holds this goods in this unit, other than the current one;
    // -1 when none.
    int LineOfGoods(int goodsId, int unitId) const;
    void StartNewLine();
    QString PeriodCaption() const;

private:
    void FillFromGoodsInfo(int getType);
    bool CellReadOnly(const QString& fieldName);

    std::unique_ptr<TLinePricing> FPricing;
    QString FBaseCaption;
    bool FFilling = false;
};
