#pragma once
// A purchase order used across the report tests: standard template, master values and
// generated lines whose amounts are known.
#include "platform/report/ReportControl.h"
#include "services/MoneyToChinese.h"

#include <QDate>
#include <QTemporaryDir>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QString values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }
QT_END_NAMESPACE

inline TReportTemplate PurchaseOrderTemplate()
{
    return MakeStandardBillTemplate(
        QStringLiteral("采购订货单"),
        {{QStringLiteral("M.Code"), QStringLiteral("单号")},
         {QStringLiteral("M.BillDate"), QStringLiteral("日期")},
         {QStringLiteral("M.VendorName"), QStringLiteral("供应商")},
         {QStringLiteral("M.StoreName"), QStringLiteral("仓库")},
         {QStringLiteral("M.Remark"), QStringLiteral("备注")}},
        {{QStringLiteral("D.GoodsCode"), QStringLiteral("商品编码"), 26, {}, false},
         {QStringLiteral("D.GoodsName"), QStringLiteral("商品名称"), 0, {}, false},
         {QStringLiteral("D.Unit"), QStringLiteral("单位"), 12, {}, false},
         {QStringLiteral("D.Quantity"), QStringLiteral("数量"), 18, QStringLiteral("0.##"), true},
         {QStringLiteral("D.Price"), QStringLiteral("单价"), 20, QStringLiteral("#,##0.00"), false},
         {QStringLiteral("D.Amount"), QStringLiteral("金额"), 26, QStringLiteral("#,##0.00"), true}});
}

// Line i (0-based): quantity i+1, price 12.5 + i, amount quantity * price.
inline QVector<QVariantMap> PurchaseOrderLines(int count)
{
    QVector<QVariantMap> rows;
    for (int i = 0; i < count; ++i) {
        const double qty = i + 1, price = 12.5 + i;
        rows.append(QVariantMap{{"GoodsCode", QStringLiteral("G%1").arg(i + 1, 5, 10, QLatin1Char('0'))},
                                {"GoodsName", QStringLiteral("办公用品%1号").arg(i + 1)},
                                {"Unit", QStringLiteral("箱")},
                                {"Quantity", qty},
                                {"Price", price},
                                {"Amount", qty * price}});
    }
    return rows;
}

inline double PurchaseOrderTotal(int count)
{
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += (i + 1) * (12.5 + i);
    return sum;
}

inline void BindPurchaseOrder(TReportControl& rc, int lines)
{
    SetMoneyInWordsFunction(MoneyToChinese);
    rc.SetTemplate(PurchaseOrderTemplate());
    rc.SetVarValue(QStringLiteral("企业名称"), QStringLiteral("北京星辰贸易有限公司"));
    rc.SetVarValue(QStringLiteral("打印人"), QStringLiteral("张三"));
    rc.SetMasterValues({{"Code", QStringLiteral("CG-20240501-0007")},
                        {"BillDate", QDate(2024, 5, 1)},
                        {"VendorName", QStringLiteral("上海华联文具厂")},
                        {"StoreName", QStringLiteral("总仓")},
                        {"Remark", QStringLiteral("月初备货")}});
    rc.SetDetailRows(PurchaseOrderLines(lines));
    rc.SetPrintTime(QDateTime(QDate(2024, 5, 2), QTime(9, 30)));
}
