// The purchase windows' own checks and states, each shown as the clerk meets it: a refused
// save tells why and leaves the bill unsaved and editable; an accepted one is in the database.
#include "PurchaseFixture.h"

#include "bills/purchase/PorderForm.h"
#include "bills/purchase/RecieveForm.h"
#include "bills/purchase/ValuedRecieveForm.h"
#include "pickers/SelectBillForm.h"
#include "pickers/SmallDialogs.h"
#include "services/SelectValues.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QXmlStreamReader>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <unzip.h>

#include <optional>

namespace {

// One cell of an exported workbook as its XML holds it.
struct TSheetCell {
    QString Text;
    bool Shared = false; // a (shared) string, not a number
    bool Bold = false;
};
using TSheetCells = QMap<std::pair<int, int>, TSheetCell>;

QByteArray ZipEntry(unzFile zip, const char* name)
{
    QByteArray out;
    if (unzLocateFile(zip, name, 0) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
        return out;
    char buf[8192];
    for (int n; (n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    unzCloseCurrentFile(zip);
    return out;
}

// The cells of the first worksheet by (row, column) from 0, strings resolved, bold marked.
TSheetCells ReadSheetCells(const QString& path)
{
    TSheetCells cells;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return cells;
    const QByteArray sharedXml = ZipEntry(zip, "xl/sharedStrings.xml");
    const QByteArray stylesXml = ZipEntry(zip, "xl/styles.xml");
    const QByteArray sheetXml = ZipEntry(zip, "xl/worksheets/sheet1.xml");
    unzClose(zip);
    QStringList shared;
    for (QXmlStreamReader r(sharedXml); !r.atEnd();) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("si"))
            shared << QString();
        else if (r.isStartElement() && r.name() == QLatin1String("t") && !shared.isEmpty())
            shared.last() += r.readElementText();
    }
    // Which cell formats are bold: fonts in order, then the cellXfs that use them.
    QVector<bool> boldFont, boldXf;
    bool inFonts = false, inXfs = false;
    for (QXmlStreamReader r(stylesXml); !r.atEnd();) {
        r.readNext();
        const auto n = r.name();
        if (r.isStartElement()) {
            if (n == QLatin1String("fonts")) inFonts = true;
            else if (n == QLatin1String("cellXfs")) inXfs = true;
            else if (inFonts && n == QLatin1String("font")) boldFont << false;
            else if (inFonts && n == QLatin1String("b") && !boldFont.isEmpty()) boldFont.last() = true;
            else if (inXfs && n == QLatin1String("xf")) boldXf << boldFont.value(r.attributes().value(QLatin1String("fontId")).toInt());
        } else if (r.isEndElement()) {
            if (n == QLatin1String("fonts")) inFonts = false;
            else if (n == QLatin1String("cellXfs")) inXfs = false;
        }
    }
    for (QXmlStreamReader r(sheetXml); !r.atEnd();) {
        r.readNext();
        if (!r.isStartElement() || r.name() != QLatin1String("c"))
            continue;
        const QString ref = r.attributes().value(QLatin1String("r")).toString();
        const QString type = r.attributes().value(QLatin1String("t")).toString();
        const int style = r.attributes().value(QLatin1String("s")).toInt();
        int col = 0, i = 0;
        for (; i < ref.size() && ref[i].isLetter(); ++i)
            col = col * 26 + (ref[i].unicode() - 'A' + 1);
        const int row = ref.mid(i).toInt() - 1;
        TSheetCell cell;
        cell.Bold = boldXf.value(style);
        while (!(r.isEndElement() && r.name() == QLatin1String("c")) && !r.atEnd()) {
            r.readNext();
            if (r.isStartElement() && (r.name() == QLatin1String("v") || r.name() == QLatin1String("t")))
                cell.Text += r.readElementText();
        }
        cell.Shared = type == QLatin1String("s") || type == QLatin1String("str") || type == QLatin1String("inlineStr");
        if (type == QLatin1String("s"))
            cell.Text = shared.value(cell.Text.toInt());
        cells.insert({row, col - 1}, cell);
    }
    return cells;
}

std::optional<std::pair<int, int>> FindCell(const TSheetCells& cells, const QString& text)
{
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        if (it.value().Text == text)
            return it.key();
    return std::nullopt;
}

class PurchaseForms : public TPurchaseWindowTest {
protected:
    // Refused with the message, nothing saved, the bill still new and editable.
    void ExpectRefused(TGoodsBillForm* f, const QString& table, const QString& key, const QString& message)
    {
        FMessages->ClearRecords();
        EXPECT_EQ(SaveNew(f, table, key), 0) << message.toStdString();
        EXPECT_TRUE(Shown(message)) << message.toStdString() << " | " << FMessages->Texts().join(u'|').toStdString();
        EXPECT_TRUE(f->IsNewBill);
        EXPECT_FALSE(f->ReadOnly());
    }
    void ExpectSaved(TGoodsBillForm* f, const QString& table, const QString& key)
    {
        FMessages->ClearRecords();
        EXPECT_GT(SaveNew(f, table, key), 0) << FMessages->Texts().join(u'|').toStdString();
    }
    // With TB_SHOTS naming a folder, the window as it stands is kept there for a look.
    static void Shot(QWidget* f, const QString& name)
    {
        if (!qEnvironmentVariableIsEmpty("TB_SHOTS"))
            f->grab().save(qEnvironmentVariable("TB_SHOTS") + u'/' + name + QStringLiteral(".png"));
    }
    // The master editors of the fields (those the window's template shows).
    static QList<QWidget*> Editors(TGoodsBillForm* f, std::initializer_list<const char*> fields)
    {
        QList<QWidget*> out;
        for (const char* name : fields)
            if (QWidget* w = f->FieldEditor(QString::fromLatin1(name)))
                out << w;
        return out;
    }
    // How many of them the clerk can type or choose in.
    static int Usable(const QList<QWidget*>& editors)
    {
        int n = 0;
        for (QWidget* w : editors) {
            auto* edit = qobject_cast<QLineEdit*>(w);
            n += w->isEnabled() && !(edit && edit->isReadOnly()) ? 1 : 0;
        }
        return n;
    }
    void SetLine(TGoodsBillForm* f, const QString& field, const QVariant& v)
    {
        f->cdsDetail->FieldByName(field)->SetValue(v);
        f->cdsDetail->Post();
    }
};

} // namespace

TEST_F(PurchaseForms, OrderChecksAmountDeliveryDateAndQuantity)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const QString t = QStringLiteral("porder"), k = QStringLiteral("orderid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 5, 2);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -1, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须大于零！"));
    SetLine(f, f->FieldNames.UnitQty, -6);
    ExpectRefused(f, t, k, QStringLiteral("本次订单金额不能小于零！"));
    f->cdsDetail->Delete();
    const QDateTime billed = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("revdate"), billed.addDays(-1));
    ExpectRefused(f, t, k, QStringLiteral("交货日期不能小于开单日期！"));
    Set(f, QStringLiteral("revdate"), billed);
    ExpectSaved(f, t, k);
}

TEST_F(PurchaseForms, ReceiptChecksStoreInvoiceTermAndOrderReference)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    const QString t = QStringLiteral("recieved"), k = QStringLiteral("recievedid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 3);
    Set(f, QStringLiteral("storeid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入仓库！"));
    Set(f, QStringLiteral("storeid"), store);
    Set(f, QStringLiteral("billtypeid"), 0);
    ExpectRefused(f, t, k, QStringLiteral("请输入发票类型！"));
    Set(f, QStringLiteral("billtypeid"), 1);
    for (int term : {1000, -1}) {
        Set(f, QStringLiteral("termdays"), term);
        ExpectRefused(f, t, k, QStringLiteral("付款期限必须大于等于零小于1000！"));
    }
    Set(f, QStringLiteral("termdays"), 999);
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("1"));
    ExpectRefused(f, t, k, QStringLiteral("必须引用采购订单生成明细！"));
    EXPECT_TRUE(static_cast<TRecieveForm*>(f)->IsColumnReadOnly(QStringLiteral("goodsname")));
    EXPECT_TRUE(static_cast<TRecieveForm*>(f)->IsColumnReadOnly(QStringLiteral("purappamt")));
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("0"));
    ExpectSaved(f, t, k);
}

TEST_F(PurchaseForms, CashPurchaseNeedsAnAccountAndMindsItsBalance)
{
    const QString t = QStringLiteral("crecieved"), k = QStringLiteral("crecievedid");
    FCon->Execute(QStringLiteral("update bank set balance = 5 where bankid = :b"), {{QStringLiteral("b"), bank}});
    TGoodsBillForm* f = OpenFilled(QStringLiteral("CashRecieveForm"));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 3);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入付款帐户！"));
    Set(f, QStringLiteral("bankid"), bank);

    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("1"));
    FMessages->AnswerWhen(QStringLiteral("帐户余额为负"), IDNO);
    ExpectRefused(f, t, k, QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？"));
    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("2"));
    ExpectRefused(f, t, k, QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"));
    EXPECT_EQ(Db(QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}).toDouble(), 5);

    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("1"));
    FMessages->AnswerWhen(QStringLiteral("帐户余额为负"), IDYES);
    ExpectSaved(f, t, k);
    EXPECT_TRUE(Shown(QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？")));
    EXPECT_NEAR(Db(QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}).toDouble(),
                5 - Db(QStringLiteral("select max(totalamt) from crecieved")).toDouble(), 1e-9);
}

TEST_F(PurchaseForms, ACashPurchaseOfNothingNeedsNoAccount)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("CashRecieveForm"));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2);
    SetLine(f, f->FieldNames.UnitPrice, 0);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectSaved(f, QStringLiteral("crecieved"), QStringLiteral("crecievedid"));
}

TEST_F(PurchaseForms, DiscountGoodsAloneAreRefusedOnCashPurchasesAndReturns)
{
    const int discount = Db(QStringLiteral("select min(goodsid) from goods where kind = 7 and closed = 'F'")).toInt();
    ASSERT_GT(discount, 0);
    const int discountUnit = Db(QStringLiteral("select min(unitid) from goodsunit where goodsid = :g"), {{QStringLiteral("g"), discount}}).toInt();
    for (const char* form : {"CashRecieveForm", "PReturnForm"}) {
        SCOPED_TRACE(form);
        TGoodsBillForm* f = OpenFilled(QString::fromLatin1(form));
        ASSERT_NE(f, nullptr);
        if (f->cdsMaster->FindField(QStringLiteral("backmoney")))
            Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
        Set(f, QStringLiteral("bankid"), bank);
        AddLine(f, discount, discountUnit, 1, 1);
        FMessages->ClearRecords();
        EXPECT_FALSE(f->ValidateSourceLines());
        EXPECT_TRUE(Shown(QStringLiteral("明细表不能只有折扣类货品！")));
        AddLine(f, goods.GoodsID, goods.BaseUnitID, 1, 1);
        EXPECT_TRUE(f->ValidateSourceLines()) << "one ordinary line is enough";
        FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
        f->close();
        delete f;
    }
}

// The refund fields of a return that takes no refund stay disabled whatever shows the record
// anew: an edit elsewhere on the bill, a save, a new bill, a bill loaded.
TEST_F(PurchaseForms, ReturnRefundFieldsFollowBackMoneyAndStaySo)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("PReturnForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("backmoney"))->AsString(), QStringLiteral("F"));
    const QList<QWidget*> refund = Editors(f, {"paytypeid", "bankid", "checkno"});
    ASSERT_EQ(refund.size(), 3);
    EXPECT_EQ(Usable(refund), 0);
    Set(f, QStringLiteral("memo"), QStringLiteral("破损"));
    EXPECT_EQ(Usable(refund), 0) << "an edit elsewhere shows the record anew";

    Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
    EXPECT_EQ(Usable(refund), 3);
    EXPECT_EQ(Usable(Editors(f, {"clientid", "backmoney"})), 2);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 1, 1);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectRefused(f, QStringLiteral("preturn"), QStringLiteral("preturnid"), QStringLiteral("请输入收款帐户！"));
    EXPECT_FALSE(f->AMakeRedBill->isEnabled());
    Set(f, QStringLiteral("bankid"), bank);
    const int refunded = SaveNew(f, QStringLiteral("preturn"), QStringLiteral("preturnid"));
    ASSERT_GT(refunded, 0) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(Usable(refund), 3) << "the saved return takes its refund";

    f->NewBill();
    EXPECT_EQ(Usable(refund), 0);
    Set(f, QStringLiteral("clientid"), vendor);
    EXPECT_EQ(Usable(refund), 0) << "the vendor's data filled in";

    FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
    ASSERT_TRUE(f->LoadBillByID(refunded));
    EXPECT_EQ(Usable(refund), 3);
    Set(f, QStringLiteral("backmoney"), QStringLiteral("F"));
    Set(f, QStringLiteral("memo"), QStringLiteral("不退款"));
    EXPECT_EQ(Usable(refund), 0);
    Shot(f, QStringLiteral("preturn_norefund"));
}

TEST_F(PurchaseForms, RedReceiptsKeepTheirNegativeQuantities)
{
    auto* f = static_cast<TRecieveForm*>(OpenFilled(QStringLiteral("RecieveForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -2, 3);
    EXPECT_FALSE(f->Rules().ValidateQuantities(true));
    Set(f, QStringLiteral("flag"), 1);
    EXPECT_TRUE(f->Rules().ValidateQuantities(true)) << "a red bill takes back what its original brought";
}

TEST_F(PurchaseForms, ExpenseBillRecalculatesChecksAndApportions)
{
    auto* f = static_cast<TPurchaseAppForm*>(Open(QStringLiteral("PurchaseAppForm")));
    ASSERT_NE(f, nullptr);
    Set(f, QStringLiteral("clientid"), vendor);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("paidamt"))->AsFloat(), 0);
    Set(f, QStringLiteral("taxrate"), 13);
    Set(f, QStringLiteral("totalamt"), 113);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("taxamt"))->AsFloat(), 14.69);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("appamt"))->AsFloat(), 98.31);
    Set(f, QStringLiteral("taxamt"), 13);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("appamt"))->AsFloat(), 100);
    Set(f, QStringLiteral("appamt"), 100);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("taxamt"))->AsFloat(), 13);

    // Three receipt lines of equal quantity and amount.
    for (int i = 0; i < 3; ++i)
        AddLine(f, goods.GoodsID, goods.BaseUnitID, 4, 0, {{QStringLiteral("goodsamt"), 10.0}});
    f->btnAppByQty->click();
    auto shares = [&] {
        QVector<double> out;
        const int col = f->cdsDetail->FieldByName(QStringLiteral("appamt"))->Index();
        for (int r = 0; r < f->cdsDetail->RecordCount(); ++r)
            out << f->cdsDetail->RowValue(r, col).toDouble();
        return out;
    };
    EXPECT_EQ(shares(), (QVector<double>{33.33, 33.33, 33.34}));
    f->cdsDetail->First();
    SetLine(f, QStringLiteral("goodsamt"), 20.0);
    f->btnAppByAmt->click();
    EXPECT_EQ(shares(), (QVector<double>{50, 25, 25}));

    // A payment needs an account; without one the account is cleared and closed.
    const QString t = QStringLiteral("purchaseapp"), k = QStringLiteral("purchaseappid");
    f->cdsDetail->Last();
    SetLine(f, QStringLiteral("appamt"), 24.0);
    ExpectRefused(f, t, k, QStringLiteral("费用金额与本次分摊费用合计必须相等！"));
    SetLine(f, QStringLiteral("appamt"), 25.0);
    Set(f, QStringLiteral("paidamt"), 50);
    ExpectRefused(f, t, k, QStringLiteral("请选择结算账户！"));
    const QList<QWidget*> payment = Editors(f, {"paytypeid", "bankid"});
    ASSERT_EQ(payment.size(), 2);
    EXPECT_EQ(Usable(payment), 2);
    Set(f, QStringLiteral("bankid"), bank);
    Set(f, QStringLiteral("paidamt"), 0);
    EXPECT_TRUE(f->cdsMaster->FieldByName(QStringLiteral("bankid"))->IsNull()) << "nothing paid: no account";
    EXPECT_EQ(Usable(payment), 0);
    Set(f, QStringLiteral("memo"), QStringLiteral("运费"));
    EXPECT_EQ(Usable(payment), 0) << "an edit elsewhere shows the record anew";

    Set(f, QStringLiteral("totalamt"), 113);
    Set(f, QStringLiteral("taxamt"), 13);
    ExpectSaved(f, t, k);
    EXPECT_EQ(Usable(payment), 0) << "the saved bill paid nothing";
    f->NewBill();
    Set(f, QStringLiteral("clientid"), vendor);
    EXPECT_EQ(Usable(payment), 0);
    Shot(f, QStringLiteral("purchaseapp_unpaid"));
}

// "选择单据" on an expense bill takes the chosen receipt lines once each, with the receipt's
// memo and employee where the bill has none.
TEST_F(PurchaseForms, ExpenseBillTakesReceiptLinesOnce)
{
    TGoodsBillForm* r = OpenFilled(QStringLiteral("RecieveForm"));
    ASSERT_NE(r, nullptr);
    Set(r, QStringLiteral("memo"), QStringLiteral("首批到货"));
    AddLine(r, goods.GoodsID, goods.BaseUnitID, 4, 2.5);
    AddLine(r, goods.GoodsID, goods.PackUnitID, 2, 9);
    const int receipt = SaveNew(r, QStringLiteral("recieved"), QStringLiteral("recievedid"));
    ASSERT_GT(receipt, 0) << FMessages->Texts().join(u'|').toStdString();
    const QString code = Db(QStringLiteral("select code from recieved where recievedid = :r"), {{QStringLiteral("r"), receipt}}).toString();

    auto* f = static_cast<TPurchaseAppForm*>(Open(QStringLiteral("PurchaseAppForm")));
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->ASelPurAppBill->isVisible());
    Set(f, QStringLiteral("clientid"), vendor);
    QString condition;
    int kind = 0, askedVendor = 0;
    TPurchaseAppForm::ChooseReceiptLines = [&](int k, int v, const QDate&, TReturnValue* out, const QString& c) {
        kind = k;
        askedVendor = v;
        condition = c;
        TClientDataSet rows;
        FCon->OpenDataSet(QStringLiteral("select itemno, goodsid, unitid, unitprice, unitqty from rcvddetail where recievedid = :r order by itemno"),
                          &rows, {{QStringLiteral("r"), receipt}});
        for (rows.First(); !rows.Eof(); rows.Next()) {
            TListValue* rec = out->AddRow();
            rec->SetValue(QStringLiteral("billtype"), 7);
            rec->SetValue(QStringLiteral("billid"), receipt);
            rec->SetValue(QStringLiteral("code"), code);
            rec->SetValue(QStringLiteral("mastermemo"), QStringLiteral("首批到货"));
            rec->SetValue(QStringLiteral("purappamt"), 1.5);
            for (const char* name : {"itemno", "goodsid", "unitid", "unitprice", "unitqty"})
                rec->SetValue(QString::fromLatin1(name), rows.FieldByName(QString::fromLatin1(name))->Value());
        }
        return true;
    };
    f->SelectPurchaseApplication();
    f->SelectPurchaseApplication();
    TPurchaseAppForm::ChooseReceiptLines = ShowSelectPurAppBill;
    EXPECT_EQ(kind, 7);
    EXPECT_EQ(askedVendor, vendor);
    EXPECT_EQ(condition.simplified(), QStringLiteral("and a.flag = 0"));
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2) << "each receipt line once";
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("memo"))->AsString(), QStringLiteral("首批到货"));
    const double qty[] = {4, 2}, price[] = {2.5, 9};
    int line = 0;
    for (f->cdsDetail->First(); !f->cdsDetail->Eof(); f->cdsDetail->Next(), ++line) {
        auto v = [&](const char* name) { return f->cdsDetail->FieldByName(QString::fromLatin1(name))->Value(); };
        EXPECT_EQ(v("refertype").toInt(), 7);
        EXPECT_EQ(v("referbillid").toInt(), receipt);
        EXPECT_EQ(v("referitemno").toInt(), line + 1);
        EXPECT_EQ(v("referbillcode").toString(), code);
        EXPECT_EQ(v("unitqty").toDouble(), qty[line]);
        EXPECT_EQ(v("unitprice").toDouble(), price[line]);
        EXPECT_EQ(v("purappamt").toDouble(), 1.5);
        EXPECT_FALSE(v("goodsname").toString().isEmpty()) << "the goods engine filled the line";
    }
}

TEST_F(PurchaseForms, ValuedReceiptsAndWriteBacks)
{
    const QString t = QStringLiteral("valuedrcvd"), k = QStringLiteral("billid");
    TGoodsBillForm* f = OpenFilled(QStringLiteral("ValuedRecieveForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("billtype"))->AsInteger(), 0);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -1, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须大于零！"));
    SetLine(f, f->FieldNames.UnitQty, 5);
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("1"));
    ExpectRefused(f, t, k, QStringLiteral("明细必须是引用采购订单！"));
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("0"));
    Set(f, QStringLiteral("storeid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入仓库！"));
    Set(f, QStringLiteral("storeid"), store);
    const int valued = SaveNew(f, t, k);
    ASSERT_GT(valued, 0) << FMessages->Texts().join(u'|').toStdString();

    // The write-back takes 2 back out of it.
    f->NewBill();
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    Set(f, QStringLiteral("storeid"), store);
    Set(f, QStringLiteral("billtype"), 1);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须小于零！"));
    SetLine(f, f->FieldNames.UnitQty, -2);
    ExpectRefused(f, t, k, QStringLiteral("明细必须是引用估价入库单！"));
    f->cdsDetail->FieldByName(QStringLiteral("refertype"))->SetValue(22);
    f->cdsDetail->FieldByName(QStringLiteral("referbillid"))->SetValue(valued);
    SetLine(f, QStringLiteral("referitemno"), 1);
    ExpectSaved(f, t, k);

    // A valued receipt owned by a goods receipt is shown, never edited here.
    FCon->Execute(QStringLiteral("update valuedrcvd set ownerbilltype = 7, ownerbillid = 1 where billid = :id"), {{QStringLiteral("id"), valued}});
    ASSERT_TRUE(f->LoadBillByID(valued));
    EXPECT_TRUE(f->ReadOnly());
    FMessages->ClearRecords();
    EXPECT_FALSE(static_cast<TValuedRecieveForm*>(f)->Rules().ValidateValuedReceipt());
    EXPECT_TRUE(Shown(QStringLiteral("冲红单据不能修改！"))) << FMessages->Texts().join(u'|').toStdString();
}

TEST_F(PurchaseForms, OpeningValuedReceiptsStandBeforeTheStart)
{
    const QDate start = Db(QStringLiteral("select startdate from accinfo")).toDateTime().date();
    ASSERT_TRUE(start.isValid());
    TGoodsBillForm* f = OpenFilled(QStringLiteral("ValuedRecieveInitForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_LT(f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime().date(), start) << "dated before the start by default";
    const QString t = QStringLiteral("valuedrcvd"), k = QStringLiteral("billid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 3, 2);
    Set(f, QStringLiteral("billdate"), QDateTime(start, QTime(0, 0)));
    ExpectRefused(f, t, k, QStringLiteral("初始化单据的日期必须在启用帐套日期前面！"));
    Set(f, QStringLiteral("billdate"), QDateTime(start.addDays(-3), QTime(0, 0)));
    // A supplier of every branch: the store is judged against the bill's branch on saving.
    FCon->Execute(QStringLiteral("update client set shopid = 0 where clientid = :c"), {{QStringLiteral("c"), vendor}});
    const int otherShopStore = Db(QStringLiteral("select min(storeid) from store where shopid <> (select shopid from store where storeid = :s)"),
                                  {{QStringLiteral("s"), store}}).toInt();
    if (otherShopStore > 0) {
        Set(f, QStringLiteral("storeid"), otherShopStore);
        ExpectRefused(f, t, k, QStringLiteral("当前仓库不是当前分支机构的仓库，不能保存！"));
        Set(f, QStringLiteral("storeid"), store);
    }
    Set(f, QStringLiteral("shopid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("分支机构不能为空！"));
    Set(f, QStringLiteral("shopid"), Db(QStringLiteral("select shopid from store where storeid = :s"), {{QStringLiteral("s"), store}}));
    ExpectSaved(f, t, k);
    const int opening = Db(QStringLiteral("select max(billid) from valuedrcvd")).toInt();

    // Once the account set's first period is closed, opening entries are history.
    FCon->Execute(QStringLiteral("delete from accperiod where date(startdate) <= :d and date(enddate) >= :d"), {{QStringLiteral("d"), start.toString(Qt::ISODate)}});
    FCon->Execute(QStringLiteral("insert into accperiod (periodid, year, month, startdate, enddate, iscurrent, acccurrent, closed)"
                                 " values (9901, :y, :m, :s, :e, 0, 0, 'T')"),
                  {{QStringLiteral("y"), start.year()}, {QStringLiteral("m"), start.month()},
                   {QStringLiteral("s"), start.toString(Qt::ISODate)}, {QStringLiteral("e"), start.addMonths(1).addDays(-1).toString(Qt::ISODate)}});
    ASSERT_TRUE(f->LoadBillByID(opening));
    FMessages->ClearRecords();
    EXPECT_FALSE(f->CanDeleteBill());
    EXPECT_TRUE(Shown(QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"))) << FMessages->Texts().join(u'|').toStdString();
}

// An opening entry's supplier, store and employee stay of one branch, and its pick lists
// offer the stores and employees of the bill's branch only.
TEST_F(PurchaseForms, OpeningEntriesKeepSupplierStoreAndEmployeeOfOneBranch)
{
    const int home = Db(QStringLiteral("select shopid from store where storeid = :s"), {{QStringLiteral("s"), store}}).toInt();
    const int vendor2 = Db(QStringLiteral("select min(clientid) from client where clientkind = 2 and clientid <> :c"),
                           {{QStringLiteral("c"), vendor}}).toInt();
    ASSERT_GT(vendor2, 0);
    FCon->Execute(QStringLiteral("insert into shop (shopid, code, name) values (9901, 'B9', '九号分店')"));
    FCon->Execute(QStringLiteral("insert into store (storeid, code, name, shopid) values (9901, 'S9', '九号仓', 9901)"));
    FCon->Execute(QStringLiteral("insert into employ (empid, code, name, shopid) values (9901, 'E9', '九号员工', 9901)"));
    FCon->Execute(QStringLiteral("insert into employ (empid, code, name, shopid) values (9902, 'E8', '本店员工', :h)"), {{QStringLiteral("h"), home}});
    FCon->Execute(QStringLiteral("update client set shopid = :h where clientid = :c"), {{QStringLiteral("h"), home}, {QStringLiteral("c"), vendor}});
    FCon->Execute(QStringLiteral("update client set shopid = 9901 where clientid = :c"), {{QStringLiteral("c"), vendor2}});

    TGoodsBillForm* f = OpenFilled(QStringLiteral("ValuedRecieveInitForm"));
    ASSERT_NE(f, nullptr);
    auto value = [&](const char* field) { return f->cdsMaster->FieldByName(QString::fromLatin1(field))->AsInteger(); };
    const QString storeMessage = QStringLiteral("所选仓库与供应商不属于同一分支机构，请重新选择仓库！");
    const QString employeeMessage = QStringLiteral("所选业务员与供应商不属于同一分支机构，请重新选择业务员！");
    FMessages->ClearRecords();
    Set(f, QStringLiteral("exemanid"), 9902);
    EXPECT_EQ(value("exemanid"), 9902);
    EXPECT_EQ(value("storeid"), store);
    EXPECT_TRUE(FMessages->Texts().isEmpty()) << FMessages->Texts().join(u'|').toStdString();

    Set(f, QStringLiteral("storeid"), 9901);
    EXPECT_TRUE(Shown(storeMessage));
    EXPECT_EQ(value("storeid"), 0) << "a store of another branch is taken back";
    Set(f, QStringLiteral("storeid"), store);
    Set(f, QStringLiteral("exemanid"), 9901);
    EXPECT_TRUE(Shown(employeeMessage));
    EXPECT_EQ(value("exemanid"), 0);
    Set(f, QStringLiteral("exemanid"), 9902);

    // A supplier of the other branch: the store and employee chosen no longer fit.
    FMessages->ClearRecords();
    Set(f, QStringLiteral("clientid"), vendor2);
    EXPECT_TRUE(Shown(storeMessage));
    EXPECT_EQ(value("storeid"), 0);
    EXPECT_NE(value("exemanid"), 9902);
    Set(f, QStringLiteral("storeid"), 9901);
    EXPECT_EQ(value("storeid"), 9901);

    // A supplier of no branch fits every store.
    FCon->Execute(QStringLiteral("update client set shopid = 0 where clientid = :c"), {{QStringLiteral("c"), vendor2}});
    FMessages->ClearRecords();
    Set(f, QStringLiteral("storeid"), store);
    EXPECT_EQ(value("storeid"), store);
    EXPECT_FALSE(Shown(storeMessage));

    Shot(f, QStringLiteral("valuedinit"));
    // The stores offered are the bill's branch's.
    Set(f, QStringLiteral("shopid"), home);
    auto* stores = qobject_cast<QComboBox*>(f->FieldEditor(QStringLiteral("storeid")));
    ASSERT_NE(stores, nullptr);
    ASSERT_GT(stores->count(), 0);
    for (int i = 0; i < stores->count(); ++i)
        EXPECT_EQ(Db(QStringLiteral("select shopid from store where storeid = :s"), {{QStringLiteral("s"), stores->itemData(i)}}).toInt(), home)
            << stores->itemText(i).toStdString();
}

TEST_F(PurchaseForms, LowStockProposalIsAskedOnceAfterTheFirstSaveAndNew)
{
    // No goods short: no question when the window starts its first bill.
    FCon->Execute(QStringLiteral("update goods set downqty = null"));
    TGoodsBillForm* quiet = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(quiet, nullptr);
    EXPECT_FALSE(Shown(QStringLiteral("库存量不足")));
    delete quiet;

    FCon->Execute(QStringLiteral("update goods set downqty = onhand + 5 where goodsid = :g"), {{QStringLiteral("g"), goods.GoodsID}});
    int chooserCalls = 0;
    TPorderForm::ChooseShortCategories = [&](TCategoryChoice* c) {
        ++chooserCalls;
        c->All = true;
        return true;
    };
    // The window starts its first bill with a save-and-new: that is when it proposes.
    FMessages->AnswerWhen(QStringLiteral("库存量不足"), IDYES);
    auto* f = static_cast<TPorderForm*>(Open(QStringLiteral("PorderForm")));
    TPorderForm::ChooseShortCategories = ShowLackGoodsFilter;
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(Shown(QStringLiteral("部分商品库存量不足,是否自动生成订单?")));
    EXPECT_EQ(chooserCalls, 1);
    ASSERT_EQ(f->cdsDetail->RecordCount(), 1);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.GoodsID)->AsInteger(), goods.GoodsID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitID)->AsInteger(), goods.BaseUnitID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitQty)->AsFloat(), 1);
    EXPECT_FALSE(f->cdsDetail->FieldByName(QStringLiteral("goodsname"))->AsString().isEmpty()) << "the goods engine filled the line";

    // The proposal saved; the next save-and-new asks nothing.
    Set(f, QStringLiteral("clientid"), vendor);
    FMessages->ClearRecords();
    const int before = Db(QStringLiteral("select count(*) from porder")).toInt();
    f->SaveAndNewBill();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from porder")).toInt(), before + 1) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_FALSE(Shown(QStringLiteral("库存量不足")));
    EXPECT_TRUE(f->IsNewBill);
}

TEST_F(PurchaseForms, ClosedAndFinishedOrdersInTheirWindow)
{
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    const int order = SaveNew(f, QStringLiteral("porder"), QStringLiteral("orderid"));
    ASSERT_GT(order, 0);
    EXPECT_FALSE(f->ReadOnly());
    EXPECT_FALSE(f->FinishedLabel->isVisible());

    // Closed by hand through its box, and opened again the same way.
    auto* closing = qobject_cast<QAbstractButton*>(f->FieldEditor(QStringLiteral("closed")));
    ASSERT_NE(closing, nullptr) << "the order's window has its closing box";
    auto closedInDb = [&] {
        return FCon->ExecuteScalar(QStringLiteral("select closed from porder where orderid = %1").arg(order)).toString();
    };
    ASSERT_TRUE(closing->isEnabled());
    closing->click();
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(closedInDb(), QStringLiteral("T"));
    EXPECT_TRUE(f->ReadOnly());
    ASSERT_TRUE(closing->isEnabled()) << "a closed order can be opened again";
    closing->click();
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_EQ(closedInDb(), QStringLiteral("F"));
    EXPECT_FALSE(f->ReadOnly());

    FCon->Execute(QStringLiteral("update porder set closed = 'T' where orderid = :o"), {{QStringLiteral("o"), order}});
    ASSERT_TRUE(f->LoadBillByID(order));
    EXPECT_TRUE(f->ReadOnly());
    EXPECT_TRUE(f->ASaveNew->isEnabled()) << "a closed order can be reopened and saved";
    EXPECT_FALSE(f->APorderToSorder->isEnabled());

    FCon->Execute(QStringLiteral("update porder set closed = 'F', finished = 'T' where orderid = :o"), {{QStringLiteral("o"), order}});
    ASSERT_TRUE(f->LoadBillByID(order));
    EXPECT_TRUE(f->FinishedLabel->isVisible());
    EXPECT_EQ(f->FinishedLabel->text(), QStringLiteral("执行完毕"));
    EXPECT_TRUE(f->Shape->isVisible());
    EXPECT_TRUE(f->ReadOnly()) << "ORDEREXECFINISHED of the demo account set is 1";
    // Shown anew, a read-only bill keeps its choosers closed.
    const QList<QWidget*> choosers = Editors(f, {"clientid", "exemanid"});
    ASSERT_FALSE(choosers.isEmpty());
    EXPECT_EQ(Usable(choosers), 0);
    ASSERT_TRUE(f->LoadBillByID(order));
    EXPECT_EQ(Usable(choosers), 0);
    if (QWidget* closing = f->FieldEditor(QStringLiteral("closed"))) {
        EXPECT_FALSE(closing->isEnabled()) << "a finished order cannot be closed";
    }

    // The mark stands clear of every field of the bill's head and master and their captions.
    auto onForm = [&](QWidget* w) { return QRect(w->mapTo(f, QPoint(0, 0)), w->size()); };
    const QRect mark = onForm(f->FinishedLabel).united(onForm(f->Shape));
    int checked = 0;
    for (QWidget* panel : {f->HeadPanel, f->MasterPanel})
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            const bool field = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                               qobject_cast<QAbstractButton*>(w) || qobject_cast<QDateTimeEdit*>(w);
            if (!field || w == f->FinishedLabel || w == f->Shape || f->Shape->isAncestorOf(w) || !w->isVisible())
                continue;
            ++checked;
            EXPECT_FALSE(mark.intersects(onForm(w))) << w->objectName().toStdString();
        }
    EXPECT_GT(checked, 10);
    Shot(f, QStringLiteral("porder_finished"));
}

// Every column of the exported order read back from the workbook's own XML: the supplier
// block by its labels, the line table by its titles against the grid, cell by cell.
TEST_F(PurchaseForms, AnOrderExportsEveryColumnToAWorkbook)
{
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2.5);
    AddLine(f, goods.GoodsID, goods.PackUnitID, 3, 7);
    const QDateTime billed = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    const std::pair<const char*, QVariant> master[] = {
        {"contator", QStringLiteral("王经理")}, {"phone", QStringLiteral("0571-8888")}, {"fax", QStringLiteral("0571-9999")},
        {"revdate", billed.addDays(5)},          {"billto", QStringLiteral("三号库房")}, {"memo", QStringLiteral("急件")}};
    for (const auto& [field, v] : master)
        Set(f, QString::fromLatin1(field), v);
    ASSERT_GT(SaveNew(f, QStringLiteral("porder"), QStringLiteral("orderid")), 0) << FMessages->Texts().join(u'|').toStdString();
    f->ExportFile = FDir.filePath(QStringLiteral("order.xlsx"));
    FMessages->ClearRecords();
    f->ExportBill();
    EXPECT_TRUE(FMessages->Texts().isEmpty()) << FMessages->Texts().join(u'|').toStdString();
    const TSheetCells cells = ReadSheetCells(f->ExportFile);
    ASSERT_FALSE(cells.isEmpty());

    EXPECT_EQ(cells.value({0, 0}).Text, Db(QStringLiteral("select companyname from accinfo")).toString());
    const std::pair<const char*, QString> labels[] = {
        {"客户", Db(QStringLiteral("select name from client where clientid = :c"), {{QStringLiteral("c"), vendor}}).toString()},
        {"联系人", QStringLiteral("王经理")},
        {"联系电话", QStringLiteral("0571-8888")},
        {"单据日期", billed.date().toString(Qt::ISODate)},
        {"交货日期", billed.addDays(5).date().toString(Qt::ISODate)},
        {"交货地址", QStringLiteral("三号库房")},
        {"备注", QStringLiteral("急件")},
        {"传真号码", QStringLiteral("0571-9999")}};
    for (const auto& [label, expected] : labels) {
        const auto at = FindCell(cells, QString::fromUtf8(label));
        ASSERT_TRUE(at.has_value()) << label;
        EXPECT_TRUE(cells.value(*at).Bold) << label;
        EXPECT_EQ(cells.value({at->first, at->second + 1}).Text, expected) << label;
    }

    // The line table: its titles are the fixed three and then the grid's visible columns.
    const auto head = FindCell(cells, QStringLiteral("序号"));
    ASSERT_TRUE(head.has_value());
    const int top = head->first;
    QStringList gridTitles, gridFields;
    auto* model = f->ItemDBGrid->Model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->FieldOfColumn(c) && !f->ItemDBGrid->isColumnHidden(c)) {
            gridTitles << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            gridFields << model->FieldOfColumn(c)->FieldName().toLower();
        }
    ASSERT_GE(gridFields.size(), 5);
    QStringList titles;
    for (int c = 0; cells.contains({top, c}); ++c)
        titles << cells.value({top, c}).Text;
    EXPECT_EQ(titles, QStringList({QStringLiteral("序号"), QStringLiteral("明细号"), QStringLiteral("比率")}) + gridTitles);
    EXPECT_FALSE(cells.contains({top + 3, 0})) << "one row per line";

    for (int line = 0; line < 2; ++line) {
        const int row = top + 1 + line;
        f->cdsDetail->SetRecNo(line + 1);
        EXPECT_EQ(cells.value({row, 0}).Text, QString::number(line + 1));
        EXPECT_EQ(cells.value({row, 1}).Text.toInt(), f->cdsDetail->FieldByName(QStringLiteral("itemno"))->AsInteger());
        EXPECT_DOUBLE_EQ(cells.value({row, 2}).Text.toDouble(), line == 0 ? 1.0 : goods.PackRate);
        for (int c = 0; c < gridFields.size(); ++c) {
            const QString& name = gridFields[c];
            const TSheetCell cell = cells.value({row, c + 3});
            TField* field = f->cdsDetail->FieldByName(name);
            SCOPED_TRACE(name.toStdString() + " line " + std::to_string(line + 1));
            if (name == QLatin1String("goodsid") || name == QLatin1String("goodscode")) {
                EXPECT_EQ(cell.Text, goods.Code);
                EXPECT_TRUE(cell.Shared) << "codes stay text";
            } else if (name == QLatin1String("goodsname")) {
                EXPECT_EQ(cell.Text, f->cdsDetail->FieldByName(QStringLiteral("goodsname"))->AsString());
                EXPECT_TRUE(cell.Shared);
            } else if (!field->IsNull()) {
                // A number the grid shows as a number stays a number; a chosen item (a unit,
                // a store) shows its name as the grid does.
                const QString shown = model->data(model->index(line, model->ColumnOfField(name)), Qt::DisplayRole).toString();
                bool shownNumber = false;
                QString(shown).remove(u',').toDouble(&shownNumber);
                if (field->DataType() != TFieldType::ftString && shownNumber) {
                    bool number = false;
                    EXPECT_NEAR(cell.Text.toDouble(&number), field->AsFloat(), 1e-9);
                    EXPECT_TRUE(number && !cell.Shared) << cell.Text.toStdString();
                } else {
                    EXPECT_EQ(cell.Text, shown);
                }
            }
        }
        const int qty = gridFields.indexOf(f->FieldNames.UnitQty.toLower());
        ASSERT_GE(qty, 0);
        EXPECT_EQ(cells.value({row, qty + 3}).Text.toDouble(), line == 0 ? 2 : 3);
    }
}

// An export to where nothing can be written says so in Chinese and leaves no file behind.
TEST_F(PurchaseForms, AnExportThatCannotBeWrittenLeavesNothing)
{
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    ASSERT_GT(SaveNew(f, QStringLiteral("porder"), QStringLiteral("orderid")), 0);
    QFile blocker(FDir.filePath(QStringLiteral("notadir")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QStringList before = QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    // the workbook is built aside in the temporary folder: a folder of this test's own, since
    // other tests running meanwhile build theirs in the shared one
    QTemporaryDir aside;
    const QByteArray tmpWas = qgetenv("TMPDIR");
    qputenv("TMPDIR", aside.path().toLocal8Bit());
    for (const QString& bad : {FDir.filePath(QStringLiteral("missing/order.xlsx")), FDir.filePath(QStringLiteral("notadir/order.xlsx"))}) {
        FMessages->ClearRecords();
        f->ExportFile = bad;
        f->ExportBill();
        EXPECT_TRUE(Shown(QStringLiteral("单据导出失败：不能写入文件“%1”，请检查文件夹是否存在、是否允许写入。").arg(QDir::toNativeSeparators(bad))))
            << FMessages->Texts().join(u'|').toStdString();
        EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        EXPECT_FALSE(QFile::exists(bad));
    }
    EXPECT_EQ(QDir::tempPath(), aside.path());
    EXPECT_TRUE(QDir(aside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty()) << "the workbook built aside is gone";
    if (tmpWas.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmpWas);
    EXPECT_FALSE(f->ReadOnly() && f->IsNewBill);
}

TEST_F(PurchaseForms, SalesOrderLinesComeOverIntoAnOrder)
{
    const int sorder = 9901;
    FCon->Execute(QStringLiteral("insert into sorderdetail (sorderid, itemno, goodsid, unitid, unitqty) values (:s, 1, :g, :u, 7)"),
                  {{QStringLiteral("s"), sorder}, {QStringLiteral("g"), goods.GoodsID}, {QStringLiteral("u"), goods.PackUnitID}});
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    f->SourceOrderID = sorder;
    f->FromSourceOrder = true;
    QMetaObject::invokeMethod(f, "TakeSourceOrderLines", Qt::QueuedConnection);
    QApplication::processEvents();
    ASSERT_EQ(f->cdsDetail->RecordCount(), 1);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitID)->AsInteger(), goods.PackUnitID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitQty)->AsFloat(), 7);
    EXPECT_NEAR(f->cdsDetail->FieldByName(f->FieldNames.Quantity)->AsFloat(), 7 * goods.PackRate, 1e-9);
    EXPECT_FALSE(f->FromSourceOrder) << "taken once";
}
