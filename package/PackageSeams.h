#pragma once
// Where the dispatcher reaches forms that other parts of the system build: the print
// template editor, the POS batch dialog, the invoicing management list, the distribution
// planning wizard and the goods and client pickers. Each part fills its slot when it is
// linked in; a command whose slot is still empty tells the user that the module is not
// installed instead of failing silently. The pickers' slots start filled, since the package
// links the pickers library (Reset empties them for tests that script their own). The bill
// search is reached through TBillBaseForm::ShowBillSearch (null form: every bill).
#include <QString>

#include <functional>

class QWidget;
class TBillBaseForm;
class TClientDataSet;
class TGoodsBillForm;
class TReturnValue;
class QDate;

struct TPackageSeams {
    // Each creates its form (owner: the application, i.e. no parent); the dispatcher shows it
    // and, for the modal ones, destroys it afterwards.
    using TFormFactory = std::function<QWidget*()>;
    static TFormFactory CreatePrintSamEdit; // TPrintSamEdit, modal
    static TFormFactory CreateSetPosBatch;  // TSetPosBatchIDForm, modal
    static TFormFactory CreateBillManage;   // TBillManageForm, non-modal, named "BillManageForm"
    static TFormFactory CreateDRPForm;      // TDRPForm, modal

    // The goods picker (ShowPickGoods): caption or typed text, the dataset the chosen goods go
    // into, multi-add, store id, client id, extra filter, unit-and-quantity flag; true on OK.
    static std::function<bool(const QString& text, TClientDataSet* target, bool multiAdd, int storeId, int clientId,
                              const QString& filter, bool unitAndQty)>
        PickGoods;
    // The client/vendor picker (ShowPickClient): kind 1 client, 2 vendor; writes the chosen id.
    static std::function<bool(int kind, int& clientId, const QString& filter)> PickClient;
    // The batch picker (ShowPickBatchCode): mode 1 stock lots, 2 batch stock, 3 open
    // consignment deliveries; client, goods and store ids; the record the chosen batch is
    // written to; the bill date; the line's unit rate. True on OK. Inline, like the selection
    // slots below: the goods bill form hands it to its batch checks.
    static inline std::function<bool(int mode, int clientId, int goodsId, int storeId, TReturnValue* result,
                                     const QDate& billDate, double unitRate)>
        PickBatch;
    // The follow-up bills of a bill (ShowProcessSelect): kind 1 payments, 2 purchase returns,
    // 3 charges, 4 sales returns, 5 material returns, 6 transfers. True on OK.
    static inline std::function<bool(int kind, int referType, int referBillId)> ProcessSelect; // inline, as PickBatch
    // The batch-copy dialog (ShowSelectBatchCodeCopy): starts from a batch code and answers its
    // prefix, number and suffix and the count of lines wanted. True on OK. Inline, as PickBatch.
    static inline std::function<bool(QString& prefix, QString& number, QString& suffix, int& count, const QString& batchCode)>
        SelectBatchCodeCopy;

    // The remembered texts of a kind (ShowSelectUserDef): the chosen one is written into the
    // target's field. True on OK. Inline, as PickBatch.
    static inline std::function<bool(int kind, const QString& caption, TClientDataSet* target, const QString& field)>
        SelectUserDef;

    // Whether a bill form is a goods bill form, with its current store and client ids (0 when
    // the bill has no such field or it is null). The goods-bill layer fills it; while it is
    // empty every bill form counts as a goods bill and the master's "storeid" and "clientid"
    // columns are read.
    static std::function<bool(TBillBaseForm* form, int& storeId, int& clientId)> GoodsBillIds;

    // A goods bill's selection actions: the lines of source bills of a type (6 purchase orders,
    // 1 sales orders, 7 receipts, ..., 5 and 9 open bills to collect or pay, 43 receipts for a
    // purchase expense) chosen in the source-bill dialog and taken into the bill; answers the
    // number of lines added. Defined inline: the goods bill form reaches these slots without
    // linking the package, which fills them when it loads.
    static inline std::function<int(TGoodsBillForm* form, int sourceKind)> SelectSourceLines;
    // Shows the selection actions of the sources a goods bill takes lines from.
    static inline std::function<void(TGoodsBillForm* form)> ShowSourceActions;
    // The line-import wizard of a goods bill ("导入明细").
    static inline std::function<void(TGoodsBillForm* form)> ImportDetailLines;
    // The price dialog of the current goods line ("设置价格", the price ellipsis); true on OK.
    static inline std::function<bool(TGoodsBillForm* form)> SetLinePrice;

    // Empties every slot (tests).
    static void Reset();
};

// The notice of a command whose module is not linked in.
void ShowNotInstalled(const QString& what);
