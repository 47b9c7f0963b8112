#include "server/MoneyLedger.h"

#include "platform/Exceptions.h"
#include "server/ServerSql.h"
#include "server/StoredValues.h"
#include "webrpc/Statement.h"

#include <cmath>

namespace {

constexpr double kCent = 0.00005; // below the last stored decimal of money

// The money a line of a later bill adds to the line it names: what a return gives back, what a
// purchase expense puts on a receipt line. Cash bills keep the returned amount on the master too.
struct TMoneyFollowUp {
    int SourceType;
    int ReferringType;
    const char* DetailTable;
    const char* MasterTable;
    const char* Key;
    const char* LineColumn;
    const char* MasterColumn; // nullptr: none
    const char* Amount;       // the referring line's column
};
const TMoneyFollowUp kMoneyFollowUps[] = {
    {7, 8, "rcvddetail", "recieved", "recievedid", "returnamt", nullptr, "amount"},
    {26, 8, "crcvddetail", "crecieved", "crecievedid", "returnamt", "totalreturn", "amount"},
    {7, 43, "rcvddetail", "recieved", "recievedid", "purappamt", nullptr, "appamt"},
    {26, 43, "crcvddetail", "crecieved", "crecievedid", "purappamt", nullptr, "appamt"},
    {2, 4, "saledetail", "invoice", "invoiceid", "returnamt", nullptr, "amount"},
    {3, 4, "csaledetail", "csale", "csaleid", "returnamt", "totalreturn", "amount"},
};

const TMoneyFollowUp* MoneyFollowUp(int sourceType, int referringType)
{
    for (const TMoneyFollowUp& f : kMoneyFollowUps)
        if (f.SourceType == sourceType && f.ReferringType == referringType)
            return &f;
    return nullptr;
}

const char* AmountOfReferring(int referringType)
{
    for (const TMoneyFollowUp& f : kMoneyFollowUps)
        if (f.ReferringType == referringType)
            return f.Amount;
    return nullptr;
}

bool IsNone(const QVariant& id)
{
    return id.isNull() || id.toLongLong() == 0;
}

} // namespace

TMoneyLedger::TMoneyLedger(TClientConnection& con, int billType, qint64 billId) : FCon(con), FBillType(billType), FBillId(billId)
{
    FKind = KeptSetting<TRowValues>(con, QStringLiteral("billkind money %1").arg(billType), [&] {
        const auto rows = SelectMaps(con,
                                     QStringLiteral("select mastertable, keyfield, detailtable, cvflag, balsign, balamount, sursign, suramount, "
                                                    "banksign, bankfield, bankamount, bankinfield from billkind where billtype = :t"),
                                     {{QStringLiteral("t"), billType}});
        return rows.isEmpty() ? TRowValues() : rows.first();
    });
}

int TMoneyLedger::PartnerSign(const QVariant& clientKind) const
{
    const int side = FKind.value(QStringLiteral("cvflag")).toInt();
    const int kind = clientKind.toInt();
    const bool known = (side == 1 || side == 2) && (kind == 1 || kind == 2);
    return known && kind != side ? -1 : 1;
}

QVector<TMoneyLedger::TPosting> TMoneyLedger::ReadFlow(qint64 billId) const
{
    QVector<TPosting> out;
    const auto rows = SelectRows(FCon, QStringLiteral("select clientid, bankid, balance, suramt, bankamt from moneyflow where billtype = :t and billid = :b order by id"),
                                 {{QStringLiteral("t"), FBillType}, {QStringLiteral("b"), billId}});
    for (const QVariantList& r : rows)
        out << TPosting{r[0], r[1], r[2].toDouble(), r[3].toDouble(), r[4].toDouble()};
    return out;
}

void TMoneyLedger::Book(const TPosting& p, double sign)
{
    if (!IsNone(p.ClientID))
        FCon.ExecuteLater(QStringLiteral("update client set balance = round(ifnull(balance, 0) + :b, 4), suramt = round(ifnull(suramt, 0) + :s, 4) where clientid = :c"),
                          {{QStringLiteral("b"), RoundMoney(sign * p.Balance)}, {QStringLiteral("s"), RoundMoney(sign * p.Prepaid)}, {QStringLiteral("c"), p.ClientID}});
    if (!IsNone(p.BankID)) {
        const int bank = p.BankID.toInt();
        if (!FBanks.contains(bank))
            FBanks.insert(bank, {SelectValue(FCon, QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}).toDouble(), 0});
        const double change = RoundMoney(sign * p.Bank);
        FBanks[bank].Change = RoundMoney(FBanks[bank].Change + change);
        FCon.ExecuteLater(QStringLiteral("update bank set balance = round(ifnull(balance, 0) + :a, 4) where bankid = :b"),
                          {{QStringLiteral("a"), change}, {QStringLiteral("b"), bank}});
    }
}

void TMoneyLedger::Post(const TPosting& p, const QString& code, const QVariant& billDate)
{
    if (std::abs(p.Balance) < kCent && std::abs(p.Prepaid) < kCent && std::abs(p.Bank) < kCent)
        return;
    FCon.ExecuteLater(QStringLiteral("insert into moneyflow (billtype, billid, billcode, billdate, clientid, bankid, balance, suramt, bankamt) "
                                     "values (:t, :b, :c, :d, :cl, :bk, :bal, :sur, :amt)"),
                      {{QStringLiteral("t"), FBillType},
                       {QStringLiteral("b"), FBillId},
                       {QStringLiteral("c"), code},
                       {QStringLiteral("d"), ToEngineValue(billDate)},
                       {QStringLiteral("cl"), IsNone(p.ClientID) ? QVariant() : p.ClientID},
                       {QStringLiteral("bk"), IsNone(p.BankID) ? QVariant() : p.BankID},
                       {QStringLiteral("bal"), p.Balance},
                       {QStringLiteral("sur"), p.Prepaid},
                       {QStringLiteral("amt"), p.Bank}});
    Book(p, 1);
}

void TMoneyLedger::BookReferences(int sign)
{
    const char* amount = AmountOfReferring(FBillType);
    const QString detail = FKind.value(QStringLiteral("detailtable")).toString();
    if (!amount || detail.isEmpty())
        return;
    const auto lines = SelectRows(FCon, QStringLiteral("select refertype, referbillid, referitemno, %1 from %2 where %3 = :id and referbillid is not null")
                                            .arg(QuoteIdent(QLatin1String(amount)), QuoteIdent(detail), QuoteIdent(FKind.value(QStringLiteral("keyfield")).toString())),
                                  {{QStringLiteral("id"), FBillId}});
    for (const QVariantList& l : lines) {
        const TMoneyFollowUp* f = MoneyFollowUp(l[0].toInt(), FBillType);
        const double a = RoundMoney(sign * l[3].toDouble());
        if (!f || std::abs(a) < kCent)
            continue;
        FCon.ExecuteNative(QStringLiteral("update %1 set %2 = round(ifnull(%2, 0) + :a, 4) where %3 = :id and itemno = :i")
                               .arg(QuoteIdent(QLatin1String(f->DetailTable)), QuoteIdent(QLatin1String(f->LineColumn)), QuoteIdent(QLatin1String(f->Key))),
                           {{QStringLiteral("a"), a}, {QStringLiteral("id"), l[1]}, {QStringLiteral("i"), l[2]}});
        if (f->MasterColumn)
            FCon.ExecuteNative(QStringLiteral("update %1 set %2 = round(ifnull(%2, 0) + :a, 4) where %3 = :id")
                                   .arg(QuoteIdent(QLatin1String(f->MasterTable)), QuoteIdent(QLatin1String(f->MasterColumn)), QuoteIdent(QLatin1String(f->Key))),
                               {{QStringLiteral("a"), a}, {QStringLiteral("id"), l[1]}});
    }
}

void TMoneyLedger::RemoveBillFlow()
{
    BookReferences(-1);
    for (const TPosting& p : ReadFlow(FBillId))
        Book(p, -1);
    FCon.ExecuteNative(QStringLiteral("delete from moneyflow where billtype = :t and billid = :b"), {{QStringLiteral("t"), FBillType}, {QStringLiteral("b"), FBillId}});
}

void TMoneyLedger::Apply()
{
    BookReferences(1);
    const int balSign = FKind.value(QStringLiteral("balsign")).toInt();
    const int surSign = FKind.value(QStringLiteral("sursign")).toInt();
    const int bankSign = FKind.value(QStringLiteral("banksign")).toInt();
    if (balSign == 0 && surSign == 0 && bankSign == 0)
        return;
    // the expressions are the profiles' own text, never a client's
    const auto expr = [&](const char* column, int sign) {
        const QString e = FKind.value(QLatin1String(column)).toString();
        return sign == 0 || e.isEmpty() ? QStringLiteral("0") : QStringLiteral("(%1)").arg(e);
    };
    const auto field = [&](const char* column) {
        const QString f = FKind.value(QLatin1String(column)).toString();
        return f.isEmpty() ? QStringLiteral("null") : QuoteIdent(f);
    };
    // the partner's kind comes with the bill
    const bool partner = balSign || surSign;
    const QString sql = QStringLiteral("select code, billdate, %1, %2, %3, %4, %5, %6, %9 from %7 m where %8 = :id")
                            .arg(partner ? QStringLiteral("m.clientid") : QStringLiteral("null"), expr("balamount", balSign), expr("suramount", surSign),
                                 field("bankfield"), expr("bankamount", bankSign), field("bankinfield"),
                                 QuoteIdent(FKind.value(QStringLiteral("mastertable")).toString()), QuoteIdent(FKind.value(QStringLiteral("keyfield")).toString()))
                            .arg(partner ? QStringLiteral("(select clientkind from client where clientid = m.clientid)") : QStringLiteral("null"));
    const auto rows = SelectRows(FCon, sql, {{QStringLiteral("id"), FBillId}});
    if (rows.isEmpty())
        return;
    const QVariantList& m = rows.first();
    const QString code = m[0].toString();
    if (!IsNone(m[2])) {
        const int sign = PartnerSign(m[8]);
        Post({m[2], QVariant(), RoundMoney(sign * balSign * m[3].toDouble()), RoundMoney(sign * surSign * m[4].toDouble()), 0}, code, m[1]);
    }
    const double bank = RoundMoney(bankSign * m[6].toDouble());
    if (std::abs(bank) < kCent)
        return;
    const bool transfer = !FKind.value(QStringLiteral("bankinfield")).toString().isEmpty();
    if (IsNone(m[5]) || (transfer && IsNone(m[7])))
        throw EDatabaseError(QStringLiteral("本单金额 %1 要记入现金银行账户，请输入账户！").arg(QString::number(std::abs(bank), 'f', 2)));
    Post({QVariant(), m[5], 0, 0, bank}, code, m[1]);
    if (transfer)
        Post({QVariant(), m[7], 0, 0, -bank}, code, m[1]);
}

void TMoneyLedger::ApplyMirrorOf(qint64 billId)
{
    BookReferences(1);
    const QVector<TPosting> original = ReadFlow(billId);
    if (original.isEmpty())
        return;
    const auto head = SelectRows(FCon, QStringLiteral("select code, billdate from %1 where %2 = :id")
                                           .arg(QuoteIdent(FKind.value(QStringLiteral("mastertable")).toString()), QuoteIdent(FKind.value(QStringLiteral("keyfield")).toString())),
                                 {{QStringLiteral("id"), FBillId}});
    const QString code = head.isEmpty() ? QString() : head[0][0].toString();
    const QVariant date = head.isEmpty() ? QVariant() : head[0][1];
    for (const TPosting& p : original)
        Post({p.ClientID, p.BankID, -p.Balance, -p.Prepaid, -p.Bank}, code, date);
}

QList<int> TMoneyLedger::OverdrawnBanks() const
{
    QList<int> out;
    for (auto it = FBanks.cbegin(); it != FBanks.cend(); ++it)
        if (it->Change < -kCent && RoundMoney(it->Old + it->Change) < -kCent)
            out << it.key();
    return out;
}

void TMoneyLedger::RefuseOverdraft() const
{
    const QString option = AccountOption(FCon, QStringLiteral("BANKNEGATIVE"));
    if (option == QLatin1String("2") && !OverdrawnBanks().isEmpty())
        throw EDatabaseError(QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"));
}
