#include "pickers/ProcessSelectForm.h"

#include "host/KQParams.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "pickers/SelectEngines.h"

#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPushButton>

TProcessSelectForm::TProcessSelectForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TBillSelectBaseForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("ProcessSelectForm"));
    setWindowTitle(QStringLiteral("过程"));
    btnGoTo = new QPushButton(QStringLiteral("调出单据(&G)"), plBottom);
    btnGoTo->setObjectName(QStringLiteral("btnGoTo"));
    static_cast<QHBoxLayout*>(plBottom->layout())->insertWidget(1, btnGoTo);
    connect(btnGoTo, &QPushButton::clicked, this, [this] { GoToBill(); });
    // The list is one grid of rows; a double click on a row opens its bill.
    connect(dgMaster, &QAbstractItemView::doubleClicked, this, [this] { GoToBill(); });
    connect(dgDetail, &QAbstractItemView::doubleClicked, this, [this] { GoToBill(); });
}

void TProcessSelectForm::PrepareSelect()
{
    laCaption->setText(QStringLiteral("过程"));
    const TProcessKind p = ProcessStatement(Kind);
    MasterSQL = p.Sql;
    MasterParams = {{QStringLiteral("refertype"), ReferType}, {QStringLiteral("referbillid"), ReferBillID}};
    DetailSQL.clear();
    MasterGrid.Columns.clear();
    // Quantities and prices show as many decimals as they have.
    const QString money = QStringLiteral("#,##0.00");
    for (const QString& c : p.Columns) {
        static const QHash<QString, QPair<QString, int>> titles{
            {QStringLiteral("code"), {QStringLiteral("单据号"), 110}},       {QStringLiteral("billdate"), {QStringLiteral("单据日期"), 90}},
            {QStringLiteral("paytypename"), {QStringLiteral("结算方式"), 90}}, {QStringLiteral("amount"), {QStringLiteral("金额"), 90}},
            {QStringLiteral("goodscode"), {QStringLiteral("货品编码"), 90}},  {QStringLiteral("goodsname"), {QStringLiteral("货品名称"), 140}},
            {QStringLiteral("specs"), {QStringLiteral("规格"), 70}},         {QStringLiteral("unit"), {QStringLiteral("单位"), 50}},
            {QStringLiteral("unitqty"), {QStringLiteral("数量"), 70}},       {QStringLiteral("unitprice"), {QStringLiteral("单价"), 70}}};
        const auto t = titles.value(c);
        const QString format = c == QLatin1String("amount") ? money : QString();
        AddColumn(MasterGrid, c, t.first, t.second, format);
    }
    if (MasterSQL.isEmpty()) {
        cdsMaster->Close();
        return;
    }
    OpenMaster();
}

bool TProcessSelectForm::GoToBill()
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return false;
    auto value = [this](const char* name) {
        TField* f = cdsMaster->FindField(QString::fromLatin1(name));
        return f ? f->AsInteger() : 0;
    };
    if (!MayViewProcessBill(Kind, Session().Online, Session().ShopID, value("shopid"), value("outshopid"), value("inshopid"))) {
        ShowError(QStringLiteral("您无权查看该单据！"), QStringLiteral("错误"));
        return false;
    }
    const TProcessKind p = ProcessStatement(Kind);
    const int payType = Kind == 1 ? value("paytype") : Kind == 3 ? value("chargetype") : 0;
    const int billType = ProcessBillType(Kind, payType);
    if (billType < 0)
        return false;
    KQParams bag;
    bag.AddValue(QStringLiteral("BillType"), billType);
    bag.AddValue(QStringLiteral("BillID"), value(p.BillIdField.toLatin1().constData()));
    GlobalCall(QStringLiteral("GOTOONEBILLBYTYPE"), QString(), &bag);
    return true;
}
