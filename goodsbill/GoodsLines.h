#pragma once
// The lines of a goods bill without a window: goods entry by code, name, pinyin initials,
// bar code or scale label, what a goods or unit change fills in, which cells may be edited,
// remembered free texts, copied lines, lines taken from source bills, and the texts the
// window shows about them. The bill window owns the datasets and calls in here; every
// message goes through the bill's prompter, and where a check wants the cursor it names
// the field (FocusRequest) besides telling the prompter.
//
// Wiring: the window sends every detail field change to TGoodsLines::DetailFieldChanged.
// It runs the pricing routine of a price field, or the goods, unit, batch and free-text
// routines below. Fields that these routines write themselves do not come back: one user
// edit runs one routine, and the routines call each other where the rules say so.
#include "billcore/BillSession.h"
#include "goodsbill/GoodsFieldNames.h"
#include "platform/DataSet.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class TBillDB;
class TBillPrompter;
class TClientConnection;
class TLinePricing;

// What the engines of one goods bill share: given by the window, outliving the engines.
struct TGoodsBillContext {
    TClientConnection* Con = nullptr;
    TBillSession Session;
    TClientDataSet* Master = nullptr;
    TClientDataSet* Detail = nullptr;
    TGoodsFieldNames Names;
    TGoodsFormSettings Settings;
    // From the bill's profile: master table and key (the saved quantities of a batch line,
    // the e-mail mark, the overdue test leave the bill itself out) and the detail table.
    QString MasterTable, KeyField, DetailTable;
    // The package's data module; its goods-info answer is the cache of goods and unit look-ups.
    TBillDB* BillDB = nullptr;
    // Messages and focus; null speaks through the host's message boxes.
    TBillPrompter* Prompter = nullptr;
    // Whether the bill is read-only as a whole (the window's state); null: never.
    std::function<bool()> BillReadOnly;

    // Set while an engine writes fields itself: the change hooks ignore those writes.
    int WriteDepth = 0;
};

// Where the engines meet their context: field look-ups that tolerate missing fields,
// messages through the prompter, and the focus a failed check asks for.
class TGoodsEngine {
public:
    explicit TGoodsEngine(TGoodsBillContext* context);
    virtual ~TGoodsEngine();
    TGoodsEngine(const TGoodsEngine&) = delete;
    TGoodsEngine& operator=(const TGoodsEngine&) = delete;

    TGoodsBillContext& Context() const { return *FCtx; }
    // The field the last refused operation wants the cursor in ("" when none), and
    // whether it is a master field.
    QString FocusRequest() const { return FFocusField; }
    bool FocusOnMaster() const { return FFocusMaster; }
    void ClearFocusRequest() { FFocusField.clear(); }

protected:
    // Marks the context as written by an engine for its lifetime.
    class TWriting {
    public:
        explicit TWriting(TGoodsBillContext& ctx) : FCtx(ctx) { ++FCtx.WriteDepth; }
        ~TWriting() { --FCtx.WriteDepth; }
        TWriting(const TWriting&) = delete;
        TWriting& operator=(const TWriting&) = delete;

    private:
        TGoodsBillContext& FCtx;
    };

    TField* MField(const QString& name) const;
    TField* DField(const QString& name) const;
    bool HasCurrentLine() const;
    // Values read leniently: a missing field, null or unreadable text counts as 0 / "".
    static double Num(const TField* f);
    static int Int(const TField* f);
    static QString Text(const TField* f);
    double MasterNum(const QString& name) const { return Num(MField(name)); }
    int MasterInt(const QString& name) const { return Int(MField(name)); }
    double LineNum(const QString& name) const { return Num(DField(name)); }
    int LineInt(const QString& name) const { return Int(DField(name)); }
    QString LineText(const QString& name) const { return Text(DField(name)); }
    // Writes a field only when the dataset has it; the detail or master goes into edit.
    static bool Put(TField* f, const QVariant& value);
    bool PutLine(const QString& name, const QVariant& value) { return Put(DField(name), value); }
    bool PutMaster(const QString& name, const QVariant& value) { return Put(MField(name), value); }

    TBillPrompter& Prompts() const;
    void Notice(const QString& text, const QString& caption = QStringLiteral("提示"));
    bool Ask(const QString& text, const QString& caption = QStringLiteral("询问"));
    // Records the focus request and hands the field to the prompter when it exists.
    void FocusMaster(const QString& name);
    void FocusLine(const QString& name);
    // Notice + focus: the shape of every refusal; returns false for the caller to return.
    bool RefuseAtMaster(const QString& text, const QString& field, const QString& caption = QStringLiteral("提示"));
    bool RefuseAtLine(const QString& text, const QString& field, const QString& caption = QStringLiteral("提示"));

    int TradeSide() const { return FCtx->Settings.TradeSide; }
    int BillType() const { return FCtx->Settings.BillType; }
    QString Option(const QString& key) const { return FCtx->Session.OptionValue(key); }
    // The partner's name on this side, for "请选择客户！" and the like.
    QString PartnerMessage() const;

private:
    TGoodsBillContext* FCtx;
    std::unique_ptr<TBillPrompter> FOwnPrompter;
    QString FFocusField;
    bool FFocusMaster = false;
};

// The state of one cell the user is about to edit.
struct TColumnState {
    QString Column;            // field name of the column
    bool BillReadOnly = false; // the bill as a whole
    bool ColumnRuleReadOnly = false; // the concrete bill's IsColumnReadOnly for this column
    bool LinesCarrySource = false;   // the lines have a referbillid field...
    bool MasterFlagSet = false;      // ...and the master's flag is not 0
    bool GiftLine = false;
    bool HasGoods = false;
    bool BatchControlled = false;    // the line's batchctrl is "T"
};
enum class TCellButton { None, SetPrice, PickBatch, RememberedTexts };
struct TColumnEntry {
    bool ReadOnly = false;
    TCellButton Button = TCellButton::None;
};
// The column entry rules: a pure function of the cell's state and the field-name table.
TColumnEntry ColumnEntryRule(const TColumnState& state, const TGoodsFieldNames& names);

// The goods list filter of a bill (closed goods never; some bills no services or no goods
// of certain costing methods).
QString GoodsListFilter(int billType, int tradeSide);
// The order of the lines in the detail query: goods code when "BILLSORT" is "1".
QString DetailOrderClause(const QString& billSortOption);
// " [ 进销存期间：2024年3月 ]" for the window's caption.
QString InventoryPeriodCaption(int year, int month);
// The foot text of a multi-branch bill.
QString BranchFootText(const QString& shopName);


// How a typed goods text was understood.
enum class TGoodsEntry {
    Unchanged, // the line's own goods code: nothing to do
    NotFound,  // nothing matched; the line is as it was
    Goods,     // goods by code, name or pinyin initials
    BarCode,   // goods and unit by a unit's bar code
    ScaleLabel // goods, unit and quantity by a scale label
};

// A bill whose lines are taken from another bill: what the receiving end needs to know.
enum class TSourceKind {
    PurchaseOrder,
    SalesOrder,
    GoodsReceipt,
    CashPurchase,
    ValuedReceipt,
    Invoice,
    CashSale,
    ConsignmentSale,
    ConsignmentSettlement,
    MaterialDraw,
    SalesReturn,
    Quotation,
    DeliveryRequest,
    DeliveryOrder,
    BillsToSettle, // payable or receivable bills taken by a payment or collection
};
struct TSourceKindInfo {
    TSourceKind Kind;
    int BillType;           // refertype of the lines taken (0: the row's own billtypeid)
    const char* KeyField;   // the source's key column
    QStringList FollowUp;   // quantities already carried on; the rest remains
    const char* Condition;  // what the selection dialog adds to its statement
};
const TSourceKindInfo& SourceKindInfo(TSourceKind kind);

class TGoodsLines : public TGoodsEngine {
public:
    // pricing may be null (no price fields are recomputed then); not owned.
    TGoodsLines(TGoodsBillContext* context, TLinePricing* pricing);
    ~TGoodsLines() override;

    TLinePricing* Pricing() const { return FPricing; }
    // "BILLSORT" as it stood when the bill was opened, and the order of the detail query.
    QString BillSort;
    QString DetailOrder() const { return DetailOrderClause(BillSort); }

    // The detail's field-change hook (see the top of this file). Returns the field's role.
    TLineRole DetailFieldChanged(TField* field);

    // ------------------------------------------------------------ goods entry
    // A text typed into the goods cell of the current line and confirmed with Enter:
    // the line's own code changes nothing; then a unit's bar code (goods and unit), a scale
    // label ("WEIGHTPRECODE" + 5-digit weight code + 5-digit grams + check digit: goods,
    // unit and quantity), a goods code, a goods name, pinyin initials. After a hit the
    // focus request names the quantity column.
    TGoodsEntry EnterGoodsText(const QString& text);
    // The goods ids whose code, name or pinyin initials begin with the text (case does not
    // matter), in goods code order, for the drop-down's typed search; at most `limit`.
    QList<int> SearchGoods(const QString& text, int limit = 50) const;

    // Routines of the line fields, as a concrete bill may replace them.
    virtual void GoodsChanged();
    virtual void UnitChanged();
    virtual void ProducedDateChanged(); // expiry date from production date and shelf life
    virtual void BatchCodeChanged() {}  // stock counts and transfers give it a meaning
    virtual void UserDefChanged(TField* field);

    // The unit drop-down offers only the units of the line's goods.
    QString UnitListFilter() const;

    // ------------------------------------------------------------ cells
    // The concrete bill's column rule; none read-only by default.
    std::function<bool(const QString& column)> IsColumnReadOnly;
    // The rules for the cell of `column` on the current line; entering the unit column
    // also sets UnitFilter.
    TColumnEntry ColumnEntered(const QString& column);
    QString UnitFilter; // the unit drop-down's filter as last set
    // Before the price dialog of a price cell's button: the line must have goods.
    bool CanSetPrice();

    // ------------------------------------------------------------ remembered texts
    // Free texts are remembered per kind: master userdef1-5 are kinds 10001-10005, line
    // userdef1-3 kinds 10006-10008. 0 for any other field.
    static int RememberedKind(const QString& fieldName, bool masterField);
    bool RememberTexts = true;
    // The texts of a kind, newest first.
    QStringList RememberedTexts(int kind) const;
    // A text the user left in a free-text field: remembered after the user agrees, unless
    // it is remembered already. Returns whether a row was added.
    bool RememberText(int kind, const QString& text, const QString& kindName);

    // ------------------------------------------------------------ lines
    // Posts a pending edit and appends a copy of the current line; a line without goods or
    // without a unit price is not copied. Returns whether a line was added (the copy is
    // then the current line). Fields that identify a line are not copied.
    bool CopyLine();
    QStringList NotCopiedFields; // besides the detail key and the line number

    // ------------------------------------------------------------ source bills
    // Before the selection dialog opens: the partner (and, for some kinds, the store or
    // the receiving branch) must be there. Shows the message and asks for the focus.
    bool CanSelectSource(TSourceKind kind);
    // The chosen source rows (one per source line, or per bill for BillsToSettle), taken
    // into the bill: duplicates and lines with nothing left are skipped, master texts and
    // the salesman copied, one line appended per row. Returns the number of lines added.
    int AddSourceLines(TSourceKind kind, TClientDataSet* chosen);
    // Lines whose source is a bill (a referbillid) removed, e.g. when the partner changes.
    int DeleteSourceLines();

protected:
    void OtherFieldChanged(TLineRole role, TField* field);
    // Sets goods (and unit, when given) on the current line and runs the routines.
    void SetLineGoods(int goodsId, int unitId);
    bool FindGoodsRow(const QString& sql, const QString& text, int& goodsId, int& unitId) const;
    void ApplyUnitRow(bool found);
    void AddSourceLine(TSourceKind kind, TClientDataSet* row, double remaining);

private:
    TLinePricing* FPricing;
};
