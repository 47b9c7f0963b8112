#pragma once
// The goods picker "选择货品": finds goods by code, name, specification, mnemonic code, bar
// code, pinyin initials, type and kind, and writes one or many of them into the caller's
// detail dataset.
#include "pickers/GoodsPickEngine.h"
#include "pickers/PickerForm.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"

#include <QPointer>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TPickGoodsForm : public TPickerForm {
    Q_OBJECT
public:
    TPickGoodsForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // The call's inputs (ShowPickGoods sets them before InitForm).
    QString ACaption;
    QPointer<TClientDataSet> ADataSet;
    bool AMultiAdd = false;
    int AStoreID = -1;
    int ACVID = -1;
    QString AFilter;
    bool AWithUnitQty = false;

    // Fills the lists, sets the labels and panels from the inputs and opens the list.
    void InitForm();
    // Builds the statement from the filter controls and reads the first page.
    void RefreshList() override;
    // Reads the next page (as scrolling to the end of the grid does); false at the end.
    bool FetchMore();

    // The buttons' work. SelBtn: false when the quantity was refused.
    bool SelBtnClick(bool onBehalfOfOk = false);
    void SelAllBtnClick();
    void OkBtnClick();

    TGoodsPickQuery& Query() { return FQuery; }

    // ---- components, named as the form describes them
    QLineEdit *GoodsCodeED, *GoodsNameED, *edtSpecs, *PYAssistED, *edtBarCode, *PYFindGoodsEdit, *UnitQtyEdit;
    QComboBox *GTypeCB, *dlgcUnitName;
    QGroupBox* TypeRadioGroup;
    QButtonGroup* TypeButtons;
    QCheckBox *InStoreCKB, *HistoryGoodsCK;
    QLabel *StoreLabel, *VenderLabel, *Image1;
    QWidget* P_Bottom;
    TDBGrid* GoodsGrid;
    QPushButton *SelBtn, *SelAllBtn, *OkBtn, *CancelBtn;
    TClientDataSet* cdsGoods;
    TClientDataSet* cdsUnitName;
    TClientDataSet* cdsPicture;
    TDataSource* dsGoods;

private:
    void BuildLayout();
    void FillGoodsTypes();
    void SetKindClass(int item);
    void TypeClicked(int item);
    void GoodsAfterScroll();
    void LoadPicture(int goodsId);
    bool QuantityValid(double& qty);
    TGoodsAddition CurrentAddition() const;

    TGoodsPickQuery FQuery;
    TKQDBGridMaster FGridMaster;
    bool FInitialising = false;
};

// The form of the current ShowPickGoods call, nullptr between calls.
extern TPickGoodsForm* PickGoodsForm;

// Rows the picker reads at a time.
inline constexpr int kGoodsPageSize = 100;
