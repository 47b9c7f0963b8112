#include "bills/sales/DeliverForm.h"

#include "bills/common/BillStatements.h"
#include "platform/DBControls.h"
#include "platform/DataSet.h"
#include "webrpc/Connection.h"

TAskDelieverForm::TAskDelieverForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from askdeliver a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.askid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("askdeliverdetail"), QStringLiteral("askid"));
    CopyExcludedMasterFields = QStringLiteral("askid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("askid,itemno,refercount,deliqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,deliqty");
    InitBillForm();
}

TDeliverForm::TDeliverForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from deliver a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.deliverid  = %s");
    // Lines show the number of the request they were taken from.
    DetailSQL = QStringLiteral(
        "select d.*,a.code as referbillcode,g.name as goodsname,g.specs,g.code as goodscode,u.unitname as unit,"
        "u.rate as unitrate,bu.unitname as baseunit,u.barcode from deliverdetail d left outer join askdeliver a on"
        " d.referbillid = a.askid left outer join goods g on d.goodsid=g.goodsid left outer join goodsunit u on"
        " d.goodsid=u.goodsid and d.unitid=u.unitid left outer join goodsunit bu on d.goodsid=bu.goodsid and"
        " bu.unittype=0 where d.deliverid = %s order by d.itemno");
    CopyExcludedMasterFields = QStringLiteral("deliverid,billdate,code,refercount,printed,opid,opname,finished,closed,printed");
    CopyExcludedDetailFields = QStringLiteral(
        "deliverid,itemno,refercount,refertype,referbillid,referitemno,referbillcode,allotqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,UNITID,ALLOTQTY");
    InitBillForm();
    ShowActions({ASelAskDeliver, AAllotProcess});
    ASelAskDeliver->setText(QStringLiteral("选择请配单"));
    AAllotProcess->setText(QStringLiteral("调拨过程"));
}

// ---------------------------------------------------------------------- request

bool TAskDelieverForm::ValidateMaster()
{
    TSalesRules& r = Rules();
    return TSalesBillForm::ValidateMaster() && r.RequireMaster(QStringLiteral("shopid"), QStringLiteral("请输入请调机构！")) && r.RequireStore() &&
           r.CheckDateOrder(QStringLiteral("billdate"), QStringLiteral("delidate"), QStringLiteral("到货日期不能小于开单日期！"));
}

bool TAskDelieverForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove(); });
}

// ---------------------------------------------------------------------- delivery

void TDeliverForm::InitNewMaster()
{
    TSalesBillForm::InitNewMaster();
    // the delivering branch is the one the bill is written in
    const TField* shop = cdsMaster->FindField(QStringLiteral("shopid"));
    if (TField* out = cdsMaster->FindField(QStringLiteral("outshopid")); out && shop && !shop->IsNull() && out->IsNull())
        out->SetValue(shop->Value());
}

void TDeliverForm::FilterList(const QString& field, const QString& filter)
{
    if (auto* combo = qobject_cast<TDBLookupCombo*>(FieldEditor(field)))
        combo->SetListFilter(filter);
}

void TDeliverForm::MasterAfterOpen(TClientDataSet* ds)
{
    TSalesBillForm::MasterAfterOpen(ds);
    BranchLists();
}

void TDeliverForm::RefreshFieldState(const QString& fieldName)
{
    TSalesBillForm::RefreshFieldState(fieldName);
    // the editors may be built after the bill was read
    BranchLists();
}

void TDeliverForm::BranchLists()
{
    const TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("shopid")) : nullptr;
    const int own = shop && !shop->IsNull() ? shop->AsInteger() : Lines()->Context().Session.ShopID;
    FilterList(QStringLiteral("inshopid"), QStringLiteral("shopid <> ") + QString::number(own));
    FilterList(QStringLiteral("outshopid"), QStringLiteral("shopid = ") + QString::number(own));
}

void TDeliverForm::OnMasterFieldChanged(TField* field)
{
    TSalesBillForm::OnMasterFieldChanged(field);
    if (!field)
        return;
    const QString name = field->FieldName().toLower();
    if (name != QLatin1String("inshopid") && name != QLatin1String("outshopid"))
        return;
    const QString branch = QStringLiteral("shopid = ") + QString::number(field->AsInteger());
    if (name == QLatin1String("inshopid"))
        FilterList(QStringLiteral("instoreid"), branch);
    else if (name == QLatin1String("outshopid"))
        FilterList(QStringLiteral("outstoreid"), branch + QStringLiteral(" and operators like '%|") +
                                                     QString::number(Lines()->Context().Session.OpID) + QStringLiteral("|%'"));
}

bool TDeliverForm::ValidateMaster()
{
    if (!TSalesBillForm::ValidateMaster())
        return false;
    TSalesRules& r = Rules();
    if (!r.RequireMaster(QStringLiteral("outshopid"), QStringLiteral("请输入调出机构！")) ||
        !r.RequireMaster(QStringLiteral("inshopid"), QStringLiteral("请输入调入机构！")))
        return false;
    if (cdsMaster->FieldByName(QStringLiteral("outshopid"))->AsInteger() == cdsMaster->FieldByName(QStringLiteral("inshopid"))->AsInteger())
        return r.RefuseSameBranch();
    return r.RequireMaster(QStringLiteral("outstoreid"), QStringLiteral("请输入调出仓库！")) &&
           r.RequireMaster(QStringLiteral("instoreid"), QStringLiteral("请输入调入仓库！")) &&
           r.CheckDateOrder(QStringLiteral("billdate"), QStringLiteral("delidate"), QStringLiteral("到货日期不能小于业务日期！"));
}

bool TDeliverForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove(QStringLiteral("数量必须大于零！")); });
}

namespace {
// Bills of one day are ordered by number: dates compare without their time.
QString Day(const QVariant& billDate) { return billDate.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd")); }
} // namespace

int TDeliverForm::Step(const QString& where, const QString& order, const QString& code, const QVariant& billDate)
{
    const int shop = Lines()->Context().Session.ShopID;
    QString sides;
    TSqlParams p;
    if (!code.isNull())
        p = {{QStringLiteral("code"), code}, {QStringLiteral("d1"), Day(billDate)}, {QStringLiteral("d2"), Day(billDate)}};
    if (shop != 0) {
        sides = QStringLiteral(" and (INSHOPID = :shop or OUTSHOPID = :shop)");
        p.append({QStringLiteral("shop"), shop});
    }
    const QVariant id = Lines()->Context().Con->ExecuteScalar(
        QStringLiteral("select deliverid from deliver") + where + sides + NavCondition() + order + QStringLiteral(" limit 1"), p);
    return id.isValid() && !id.isNull() ? id.toInt() : kNoBillID;
}

int TDeliverForm::GetFirstBillID() { return Step(QStringLiteral(" where 1 = 1"), QStringLiteral(" order by BillDate  , Code  "), QString(), QVariant()); }

int TDeliverForm::GetLastBillID()
{
    return Step(QStringLiteral(" where 1 = 1"), QStringLiteral(" order by BillDate Desc , Code Desc "), QString(), QVariant());
}

int TDeliverForm::GetPriorBillID(const QString& code, const QVariant& billDate)
{
    return Step(QStringLiteral(" where ((date(BillDate) = :d1 and code < :code) or (date(BillDate) < :d2))"), QStringLiteral(" order by BillDate Desc , Code Desc "),
                code, billDate);
}

int TDeliverForm::GetNextBillID(const QString& code, const QVariant& billDate)
{
    return Step(QStringLiteral(" where ((date(BillDate) = :d1 and code > :code) or (date(BillDate) > :d2))"), QStringLiteral(" order by BillDate  , Code  "), code,
                billDate);
}
