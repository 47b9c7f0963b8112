#include "bills/purchase/PorderForm.h"

#include "bills/common/BillStatements.h"
#include "pickers/SelectBillForm.h"
#include "pickers/SmallDialogs.h"
#include "platform/DBControls.h"
#include "services/SelectValues.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

std::function<bool(TCategoryChoice* choice)> TPorderForm::ChooseShortCategories = ShowLackGoodsFilter;

TPorderForm::TPorderForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    Document()->ClosedByHandOnly = [this] {
        return MasterValue(QStringLiteral("closed")).toString() == QLatin1String("T")
            && !(FReadOnlyWhenFinished && MasterValue(QStringLiteral("finished")).toString() == QLatin1String("T"))
            && !TGoodsBillForm::IsReadOnlyBill();
    };
    MasterSQL = QStringLiteral(
        "Select a.*,b.opname,c.name as shopname from Porder a left outer join OPERATOR b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where orderid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("orderdetail"), QStringLiteral("orderid"));
    CopyExcludedMasterFields = QStringLiteral("orderid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("orderid,itemno,refercount,rcvdqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,disc,UNITPRICE,TAXRATE,taxamt,rcvdqty");
    FReadOnlyWhenFinished = Document()->Session().OptionValue(QStringLiteral("ORDEREXECFINISHED")).trimmed() == QLatin1String("1");
    // The mark stands in the head, in the free stretch between the date and the number (an
    // order is never reversed, so the reversal mark never shares it): the master fields below
    // keep their places whether it shows or not.
    Shape = new QFrame(HeadPanel);
    Shape->setObjectName(QStringLiteral("Shape"));
    Shape->setStyleSheet(QStringLiteral("QFrame#Shape { border: 2px solid #d00000; border-radius: 10px; }"));
    auto* inShape = new QHBoxLayout(Shape);
    inShape->setContentsMargins(14, 1, 14, 1);
    FinishedLabel = new QLabel(QStringLiteral("执行完毕"), Shape);
    FinishedLabel->setObjectName(QStringLiteral("FinishedLabel"));
    FinishedLabel->setAlignment(Qt::AlignCenter);
    FinishedLabel->setStyleSheet(QStringLiteral("color: #d00000; font-size: 16px; font-weight: bold;"));
    inShape->addWidget(FinishedLabel);
    if (auto* head = qobject_cast<QGridLayout*>(HeadPanel->layout()))
        head->addWidget(Shape, 1, 2, Qt::AlignRight | Qt::AlignVCenter);
    Shape->hide();
    for (QAction* a : {ASelChance, AExport, APorderToSorder})
        if (a)
            a->setVisible(true);
    InitBillForm();
    if (ALoadCred)
        ALoadCred->setEnabled(false);
    if (AMakeRedBill) {
        AMakeRedBill->setVisible(false);
        AMakeRedBill->setEnabled(false);
    }
}

TPorderForm::~TPorderForm() = default;

TPurchaseRules& TPorderForm::Rules() { return FRules.Of(this); }

bool TPorderForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateOrder(); }

bool TPorderForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateQuantities(false); }

bool TPorderForm::IsReadOnlyBill()
{
    if (TGoodsBillForm::IsReadOnlyBill())
        return true;
    if (IsNewBill || !cdsMaster->Active() || cdsMaster->IsEmpty())
        return false;
    return TPurchaseRules::OrderState(MasterValue(QStringLiteral("closed")).toString() == QLatin1String("T"),
                                      MasterValue(QStringLiteral("finished")).toString() == QLatin1String("T"),
                                      FReadOnlyWhenFinished).ReadOnly;
}

void TPorderForm::OnDetailStateChanged(bool readOnly)
{
    TGoodsBillForm::OnDetailStateChanged(readOnly);
    RefreshFieldState(QString());
}

void TPorderForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    const auto state = TPurchaseRules::OrderState(MasterValue(QStringLiteral("closed")).toString() == QLatin1String("T"),
                                                  MasterValue(QStringLiteral("finished")).toString() == QLatin1String("T"),
                                                  FReadOnlyWhenFinished);
    Shape->setVisible(state.ShowFinished);
    // A closed order stays open to its closing box and to saving, so it can be reopened.
    QWidget* closing = FieldEditor(QStringLiteral("closed"));
    const bool mayEdit = !TGoodsBillForm::IsReadOnlyBill();
    const bool mayClose = state.CloseEnabled && mayEdit;
    if (closing) {
        closing->setEnabled(mayClose);
        if (!ReadOnlyExempt.contains(closing))
            ReadOnlyExempt << closing;
    }
    if (ASaveNew && ReadOnly() && state.ReadOnly && !state.ShowFinished && mayEdit)
        ASaveNew->setEnabled(true);
    if (APorderToSorder)
        APorderToSorder->setEnabled(state.ToSorderEnabled && !ReadOnly());
    const bool fromOrdersOnly = Document()->Session().OptionValue(QStringLiteral("MUSTREFERPORDER")).trimmed() == QLatin1String("1");
    for (QAction* a : {ACopyBill, ACopyLine})
        if (a)
            a->setEnabled(!fromOrdersOnly && !ReadOnly());
}

void TPorderForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
}

void TPorderForm::OnMasterFieldChanged(TField* field)
{
    TGoodsBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("closed"), Qt::CaseInsensitive) == 0) {
        SetReadOnly(IsReadOnlyBill());
        RefreshFieldState(QString());
    }
}

bool TPorderForm::SaveAndNewBill()
{
    if (!SaveBill())
        return true;
    NewBill();
    if (FProposalPending) {
        FProposalPending = false;
        ProposeShortGoods();
    }
    return true;
}

int TPorderForm::ProposeShortGoods()
{
    if (Rules().ShortGoodsCount() <= 0)
        return 0;
    if (!Document()->Prompts().YesNo(QStringLiteral("部分商品库存量不足,是否自动生成订单?"), QStringLiteral("询问")))
        return 0;
    TCategoryChoice choice;
    if (!ChooseShortCategories || !ChooseShortCategories(&choice))
        return 0;
    const auto lines = Rules().ShortGoods(choice.All ? QString() : choice.Condition, !choice.All && choice.WithUnclassified);
    for (const auto& l : lines)
        AppendGoodsLine(l.GoodsID, l.UnitID, l.UnitQty);
    if (!lines.isEmpty())
        cdsDetail->First();
    return lines.size();
}

void TPorderForm::AppendGoodsLine(int goodsId, int unitId, double unitQty)
{
    // Field by field, as the clerk would enter them: the goods engine fills the rest.
    cdsDetail->Append();
    cdsDetail->FieldByName(FieldNames.GoodsID)->SetValue(goodsId);
    cdsDetail->FieldByName(FieldNames.UnitID)->SetValue(unitId);
    cdsDetail->FieldByName(FieldNames.UnitQty)->SetValue(unitQty);
    cdsDetail->Post();
}

void TPorderForm::TakeSourceOrderLines()
{
    if (!FromSourceOrder || SourceOrderID <= 0)
        return;
    FromSourceOrder = false;
    if (ReadOnly())
        return;
    for (const auto& l : Rules().SalesOrderLines(SourceOrderID))
        AppendGoodsLine(l.GoodsID, l.UnitID, l.UnitQty);
}

void TPorderForm::DoExportBill()
{
    QString file = ExportFile;
    if (file.isEmpty())
        file = QFileDialog::getSaveFileName(this, QStringLiteral("单据导出"), QString(), QStringLiteral("Excel 工作簿 (*.xlsx)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!ExportTo(file, &error))
        Document()->Prompts().Error(error, QStringLiteral("错误"));
}

bool TPorderForm::ExportTo(const QString& file, QString* error)
{
    const QString target = QDir::toNativeSeparators(file);
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("单据导出失败：") + why;
        return false;
    };
    // The workbook is built in a temporary file and only a complete one takes the target's
    // place: a failed export leaves nothing half-written where the clerk looks.
    QTemporaryFile built(QDir::tempPath() + QStringLiteral("/tb_export_XXXXXX.xlsx"));
    if (!built.open())
        return fail(QStringLiteral("不能在临时文件夹中建立工作簿。"));
    built.close();
    const QByteArray path = QFile::encodeName(built.fileName());
    lxw_workbook* book = workbook_new(path.constData());
    if (!book)
        return fail(QStringLiteral("不能在临时文件夹中建立工作簿。"));
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* text = workbook_add_format(book);
    format_set_num_format(text, "@");
    auto put = [&](int row, int col, const QVariant& v, lxw_format* fmt = nullptr) {
        if (v.isNull())
            return;
        const auto type = v.typeId();
        if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Float)
            worksheet_write_number(sheet, row, col, v.toDouble(), fmt);
        else if (type == QMetaType::QDateTime || type == QMetaType::QDate)
            worksheet_write_string(sheet, row, col, v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8().constData(), fmt);
        else
            worksheet_write_string(sheet, row, col, v.toString().toUtf8().constData(), fmt);
    };

    int row = 0;
    TClientDataSet company;
    Document()->Connection()->OpenDataSet(QStringLiteral(" select * from AccInfo "), &company);
    if (company.RecordCount() > 0) {
        int col = 0;
        for (const char* f : {"companyname", "address", "phone", "fax"})
            if (TField* field = company.FindField(QString::fromLatin1(f)); field && !field->AsString().isEmpty())
                put(row, col++, field->AsString(), bold);
        ++row;
    }
    ++row;
    const QString vendor = Document()->Connection()->ExecuteScalar(
        QStringLiteral("select name from client where clientid = :c"), {{QStringLiteral("c"), MasterValue(QStringLiteral("clientid"))}}).toString();
    const std::pair<const char*, QVariant> head[] = {
        {"客户", vendor},
        {"联系人", MasterValue(QStringLiteral("contator"))},
        {"联系电话", MasterValue(QStringLiteral("phone"))},
        {"单据日期", MasterValue(QStringLiteral("BILLDATE"))},
        {"交货日期", MasterValue(QStringLiteral("REVDATE"))},
        {"交货地址", MasterValue(QStringLiteral("BILLTO"))},
        {"备注", MasterValue(QStringLiteral("MEMO"))},
        {"传真号码", MasterValue(QStringLiteral("fax"))},
    };
    for (int i = 0; i < 8; ++i) {
        const int r = row + i / 2, c = (i % 2) * 2;
        put(r, c, QString::fromUtf8(head[i].first), bold);
        put(r, c + 1, head[i].second);
    }
    row += 5;

    // The line table: line number, line id and unit rate, then the grid's visible columns as
    // the grid shows them (names, not ids).
    QList<int> columns;
    QStringList titles{QStringLiteral("序号"), QStringLiteral("明细号"), QStringLiteral("比率")};
    auto* model = ItemDBGrid->Model();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (!model->FieldOfColumn(c) || ItemDBGrid->isColumnHidden(c))
            continue;
        columns << c;
        titles << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    for (int c = 0; c < titles.size(); ++c)
        put(row, c, titles[c], bold);
    ++row;
    const int itemNo = cdsDetail->FieldByName(QStringLiteral("itemno"))->Index();
    TField* rate = cdsDetail->FindField(QStringLiteral("UnitRate"));
    for (int r = 0; r < cdsDetail->RecordCount() && r < model->rowCount(); ++r, ++row) {
        put(row, 0, r + 1);
        put(row, 1, cdsDetail->RowValue(r, itemNo));
        if (rate)
            put(row, 2, cdsDetail->RowValue(r, rate->Index()));
        for (int c = 0; c < columns.size(); ++c) {
            const QString name = model->FieldOfColumn(columns[c])->FieldName().toLower();
            const bool asText = name == QLatin1String("goodscode") || name == QLatin1String("goodsname") ||
                                name == QLatin1String("goodsid");
            const QVariant raw = cdsDetail->RowValue(r, model->FieldOfColumn(columns[c])->Index());
            // The goods column shows the goods by its code.
            TField* code = name == QLatin1String("goodsid") ? cdsDetail->FindField(QStringLiteral("goodscode")) : nullptr;
            const QVariant shown = code ? cdsDetail->RowValue(r, code->Index()) : model->data(model->index(r, columns[c]), Qt::DisplayRole);
            // A number stays a number where the grid shows it as one; a key the grid shows by
            // its name (a unit, a store) goes out as that name.
            bool shownNumber = false;
            shown.toString().remove(u',').toDouble(&shownNumber);
            const bool number = shownNumber && (raw.typeId() == QMetaType::Double || raw.typeId() == QMetaType::Int ||
                                                raw.typeId() == QMetaType::LongLong);
            put(row, c + 3, asText || !number ? QVariant(shown.toString()) : raw, asText ? text : nullptr);
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        return fail(QStringLiteral("不能在临时文件夹中建立工作簿。"));
    QFile done(built.fileName());
    QSaveFile out(file);
    const QString unwritable = QStringLiteral("不能写入文件“%1”，请检查文件夹是否存在、是否允许写入。").arg(target);
    if (!done.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return fail(unwritable);
    if (out.write(done.readAll()) < 0 || !out.commit())
        return fail(unwritable);
    return true;
}

// ====================================================================== expense bill

std::function<bool(int, int, const QDate&, TReturnValue*, const QString&)> TPurchaseAppForm::ChooseReceiptLines =
    ShowSelectPurAppBill;

TPurchaseAppForm::TPurchaseAppForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "Select a.*,b.opname,c.name as shopname,cast(billdate + termdays as datetime) CTermDays,"
        "dbo.getrefercredidcode(a.credid) as credcode from purchaseapp a left outer join OPERATOR b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where purchaseappid = %s");
    // The expense already apportioned to the same receipt line by other expense bills.
    DetailSQL = GoodsDetailSQL(QStringLiteral("purchaseappdetail"), QStringLiteral("purchaseappid"),
                               QStringLiteral("s.purappamt - d.appamt as purappamt"),
                               QStringLiteral("left outer join v_selpurappdetailbill s on d.refertype = s.billtype"
                                              " and d.referbillid = s.billid and d.referitemno = s.itemno"));
    CopyExcludedMasterFields = QStringLiteral(
        "purchaseappid,billdate,code,flag,printed,credid,opid,opname,checkno,checkamt,credcode");
    CopyExcludedDetailFields = QStringLiteral("purchaseappid,itemno,refercount");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,UNITPRICE,appamt,paidamt");
    for (QAction* a : {APayProcess, ASelPurAppBill})
        if (a)
            a->setVisible(true);
    btnAppByQty = new QPushButton(QStringLiteral("按数量分摊"), P_FootForm);
    btnAppByQty->setObjectName(QStringLiteral("btnAppByQty"));
    btnAppByAmt = new QPushButton(QStringLiteral("按金额分摊"), P_FootForm);
    btnAppByAmt->setObjectName(QStringLiteral("btnAppByAmt"));
    if (auto* foot = qobject_cast<QBoxLayout*>(P_FootForm->layout())) {
        foot->insertWidget(0, btnAppByAmt);
        foot->insertWidget(0, btnAppByQty);
    }
    connect(btnAppByQty, &QPushButton::clicked, this, [this] { Rules().ApportionExpense(QStringLiteral("unitqty")); });
    connect(btnAppByAmt, &QPushButton::clicked, this, [this] { Rules().ApportionExpense(QStringLiteral("goodsamt")); });
    InitBillForm();
}

TPurchaseAppForm::~TPurchaseAppForm() = default;

TPurchaseRules& TPurchaseAppForm::Rules() { return FRules.Of(this); }

void TPurchaseAppForm::MasterAfterOpen(TClientDataSet* ds)
{
    TGoodsBillForm::MasterAfterOpen(ds);
    ShowFieldsAs(ds, {"totalamt", "taxamt", "appamt", "paidamt"}, QStringLiteral("#,##0.00"));
}

void TPurchaseAppForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    for (const char* f : {"paidamt", "taxamt", "appamt"})
        if (TField* field = cdsMaster->FindField(QString::fromLatin1(f)))
            field->SetValue(0.0);
}

void TPurchaseAppForm::OnMasterFieldChanged(TField* field)
{
    TGoodsBillForm::OnMasterFieldChanged(field);
    if (!Lines())
        return;
    if (field && Lines()->Context().WriteDepth == 0)
        Rules().ExpenseFieldChanged(field->FieldName());
    RefreshFieldState(QString());
}

void TPurchaseAppForm::OnDetailStateChanged(bool readOnly)
{
    TGoodsBillForm::OnDetailStateChanged(readOnly);
    RefreshFieldState(QString());
}

void TPurchaseAppForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    if (!Lines() || !cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    const bool editable = !ReadOnly();
    HoldEditors(this, {"paytypeid", "bankid"}, QStringLiteral("unpaid"), !Rules().ExpensePaid());
    btnAppByQty->setEnabled(editable);
    btnAppByAmt->setEnabled(editable);
    for (const char* f : {"unit", "goodsamt", "purappamt"})
        ItemDBGrid->SetColumnReadOnly(QString::fromLatin1(f), true);
    ItemDBGrid->SetColumnTotal(QStringLiteral("appamt"));
}

void TPurchaseAppForm::SelectPurchaseApplication()
{
    if (ReadOnly() || !ChooseReceiptLines)
        return;
    TReturnValue chosen;
    const QDate billed = MasterValue(QStringLiteral("billdate")).toDate();
    if (!ChooseReceiptLines(7, MasterValue(QStringLiteral("clientid")).toInt(), billed, &chosen, QStringLiteral(" and a.flag = 0 ")))
        return;
    Rules().TakeReceiptLines(chosen);
}

bool TPurchaseAppForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateExpense(); }

bool TPurchaseAppForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateQuantities(false); }

void TPorderForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "qryLinkMan"});
    TGoodsBillForm::OpenLookupTables();
}

void TPurchaseAppForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Bank_T", "PayType_T"});
    TGoodsBillForm::OpenLookupTables();
}
