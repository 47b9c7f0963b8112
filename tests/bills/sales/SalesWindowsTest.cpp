// Every sales window as the clerk first sees it: its caption, the commands it offers, and a
// grid that shows names instead of ids. With TB_RENDER_DIR set, each window is also written
// there as a PNG for a look by eye.
#include "SalesFixture.h"

#include "platform/DBControls.h"

#include <QDir>
#include <QHeaderView>

TEST_F(TSalesTest, EverySalesWindowOpensWithItsCaptionCommandsAndReadableColumns)
{
    const struct {
        const char* Form;
        const char* Caption;
        std::vector<const char*> Commands;
    } windows[] = {
        {"InvoiceForm", "销售开单", {"ASelOrder", "AChargeProcess", "AReturnProcess", "ABatchCodeCopy"}},
        {"CashSaleForm", "现款销售", {"ASelOrder", "AReturnProcess"}},
        {"SReturnForm", "销售退货", {"ASelInvoice", "ASelCashSale", "ASelDeputeSettlement", "AChargeProcess"}},
        {"SOrderForm", "销售订单", {"ASorderToPorder"}},
        {"QuotationForm", "销售报价单", {}},
        {"DeputeSaleForm", "委托代销", {"ASelDeputeSale", "ASelQuotation"}},
        {"DeputeSettlementForm", "代销结算", {"ASelDeputeSale", "AChargeProcess"}},
        {"DeputeSaleInitForm", "委托代销初始化", {}},
        {"AskDelieverForm", "请配单", {}},
        {"DeliverForm", "配送单", {"ASelAskDeliver", "AAllotProcess"}},
    };
    const QString dir = qEnvironmentVariable("TB_RENDER_DIR");
    for (const auto& w : windows) {
        SCOPED_TRACE(w.Form);
        TGoodsBillForm* f = Open(QString::fromLatin1(w.Form));
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->windowTitle().startsWith(QString::fromUtf8(w.Caption))) << f->windowTitle().toStdString();
        for (const char* c : w.Commands) {
            QAction* a = f->ActionByName(QString::fromLatin1(c));
            ASSERT_NE(a, nullptr) << c;
            EXPECT_TRUE(a->isVisible()) << c;
        }
        // no key column is shown under its own name
        QHeaderView* header = f->ItemDBGrid->horizontalHeader();
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c))
                continue;
            const QString title = f->ItemDBGrid->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_FALSE(title.endsWith(QLatin1String("id"), Qt::CaseInsensitive)) << title.toStdString();
        }
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            f->resize(1100, 640);
            f->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(w.Form) + QStringLiteral(".png"));
        }
    }
}
