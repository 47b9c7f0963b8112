// The server-side functions the system's SQL calls, registered on the embedded engine.
#include "webrpc/SqlDialect.h"

#include "platform/Decimal.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

QString ArgText(sqlite3_value* v)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void ResultText(sqlite3_context* ctx, const QString& s)
{
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

bool IsNull(sqlite3_value* v)
{
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// ---- dates -----------------------------------------------------------------------------
// Dates travel as ISO texts ('2026-12-01' or '2026-12-01 08:30:00'). A number is read the
// way the server reads a number as a date: days since 1900-01-01.

struct TSqlDate {
    QDateTime Value;
    bool HasTime = false;
    bool Valid = false;
};

TSqlDate ParseDate(sqlite3_value* v)
{
    TSqlDate d;
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const double days = sqlite3_value_double(v);
        const QDateTime base(QDate(1900, 1, 1), QTime(0, 0));
        d.Value = base.addMSecs(static_cast<qint64>(std::llround(days * 86400000.0)));
        d.HasTime = days != std::floor(days);
        d.Valid = true;
        return d;
    }
    if (type != SQLITE_TEXT)
        return d;
    const QString s = ArgText(v).trimmed();
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3})\\d*)?)?)?$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch())
        m = compact.match(s);
    if (!m.hasMatch())
        return d;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return d;
    QTime time(0, 0);
    if (m.lastCapturedIndex() >= 4 && !m.captured(4).isEmpty()) {
        QString ms = m.captured(7);
        while (!ms.isEmpty() && ms.size() < 3)
            ms += QLatin1Char('0');
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms.toInt());
        if (!time.isValid())
            return d;
        d.HasTime = true;
    }
    d.Value = QDateTime(date, time);
    d.Valid = true;
    return d;
}

QString FormatDate(const QDateTime& dt, bool withTime)
{
    return dt.toString(withTime ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("yyyy-MM-dd"));
}

enum class TDatePart { Year, Quarter, Month, DayOfYear, Day, Week, Weekday, Hour, Minute, Second, Millisecond, Unknown };

TDatePart ParsePart(sqlite3_value* v)
{
    const QString p = ArgText(v).trimmed().toLower();
    if (p == "year" || p == "yy" || p == "yyyy")
        return TDatePart::Year;
    if (p == "quarter" || p == "qq" || p == "q")
        return TDatePart::Quarter;
    if (p == "month" || p == "mm" || p == "m")
        return TDatePart::Month;
    if (p == "dayofyear" || p == "dy" || p == "y")
        return TDatePart::DayOfYear;
    if (p == "day" || p == "dd" || p == "d")
        return TDatePart::Day;
    if (p == "week" || p == "wk" || p == "ww")
        return TDatePart::Week;
    if (p == "weekday" || p == "dw")
        return TDatePart::Weekday;
    if (p == "hour" || p == "hh")
        return TDatePart::Hour;
    if (p == "minute" || p == "mi" || p == "n")
        return TDatePart::Minute;
    if (p == "second" || p == "ss" || p == "s")
        return TDatePart::Second;
    if (p == "millisecond" || p == "ms")
        return TDatePart::Millisecond;
    return TDatePart::Unknown;
}

void FnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[1]) || IsNull(argv[2])) {
        sqlite3_result_null(ctx);
        return;
    }
    const TSqlDate d = ParseDate(argv[2]);
    if (!d.Valid) {
        sqlite3_result_null(ctx);
        return;
    }
    const double n = sqlite3_value_double(argv[1]);
    const auto whole = static_cast<qint64>(std::trunc(n));
    QDateTime r = d.Value;
    bool withTime = d.HasTime;
    switch (ParsePart(argv[0])) {
    case TDatePart::Year: r = r.addYears(static_cast<int>(whole)); break;
    case TDatePart::Quarter: r = r.addMonths(static_cast<int>(whole * 3)); break;
    case TDatePart::Month: r = r.addMonths(static_cast<int>(whole)); break;
    case TDatePart::Week: r = r.addDays(whole * 7); break;
    case TDatePart::Day:
    case TDatePart::DayOfYear:
    case TDatePart::Weekday:
        // A fractional day count (date + 0.5) moves the time of day, as on the server.
        if (n != std::trunc(n)) {
            r = r.addMSecs(static_cast<qint64>(std::llround(n * 86400000.0)));
            withTime = true;
        } else {
            r = r.addDays(whole);
        }
        break;
    case TDatePart::Hour: r = r.addSecs(whole * 3600); withTime = true; break;
    case TDatePart::Minute: r = r.addSecs(whole * 60); withTime = true; break;
    case TDatePart::Second: r = r.addSecs(whole); withTime = true; break;
    case TDatePart::Millisecond: r = r.addMSecs(whole); withTime = true; break;
    case TDatePart::Unknown:
        sqlite3_result_error(ctx, "dateadd: unknown date part", -1);
        return;
    }
    ResultText(ctx, FormatDate(r, withTime));
}

// Counts the boundaries of the part crossed from a to b, as the server does.
void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const TSqlDate a = ParseDate(argv[1]);
    const TSqlDate b = ParseDate(argv[2]);
    if (!a.Valid || !b.Valid) {
        sqlite3_result_null(ctx);
        return;
    }
    const QDate da = a.Value.date(), db = b.Value.date();
    const qint64 days = da.daysTo(db);
    qint64 r = 0;
    switch (ParsePart(argv[0])) {
    case TDatePart::Year: r = db.year() - da.year(); break;
    case TDatePart::Quarter: r = (db.year() - da.year()) * 4 + ((db.month() - 1) / 3 - (da.month() - 1) / 3); break;
    case TDatePart::Month: r = (db.year() - da.year()) * 12 + (db.month() - da.month()); break;
    case TDatePart::Day:
    case TDatePart::DayOfYear:
    case TDatePart::Weekday: r = days; break;
    case TDatePart::Week: {
        // Weeks start on Sunday.
        const qint64 sa = da.toJulianDay() - (da.dayOfWeek() % 7);
        const qint64 sb = db.toJulianDay() - (db.dayOfWeek() % 7);
        r = (sb - sa) / 7;
        break;
    }
    case TDatePart::Hour: r = days * 24 + (b.Value.time().hour() - a.Value.time().hour()); break;
    case TDatePart::Minute:
        r = days * 1440 + (b.Value.time().hour() * 60 + b.Value.time().minute())
            - (a.Value.time().hour() * 60 + a.Value.time().minute());
        break;
    case TDatePart::Second: r = a.Value.secsTo(b.Value); break;
    case TDatePart::Millisecond: r = a.Value.msecsTo(b.Value); break;
    case TDatePart::Unknown:
        sqlite3_result_error(ctx, "datediff: unknown date part", -1);
        return;
    }
    sqlite3_result_int64(ctx, r);
}

qint64 DatePartOf(TDatePart part, const QDateTime& dt)
{
    const QDate d = dt.date();
    switch (part) {
    case TDatePart::Year: return d.year();
    case TDatePart::Quarter: return (d.month() - 1) / 3 + 1;
    case TDatePart::Month: return d.month();
    case TDatePart::DayOfYear: return d.dayOfYear();
    case TDatePart::Day: return d.day();
    case TDatePart::Week: {
        const QDate jan1(d.year(), 1, 1);
        return (d.dayOfYear() + (jan1.dayOfWeek() % 7) - 1) / 7 + 1;
    }
    case TDatePart::Weekday: return d.dayOfWeek() % 7 + 1; // Sunday = 1
    case TDatePart::Hour: return dt.time().hour();
    case TDatePart::Minute: return dt.time().minute();
    case TDatePart::Second: return dt.time().second();
    case TDatePart::Millisecond: return dt.time().msec();
    case TDatePart::Unknown: break;
    }
    return 0;
}

void FnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const TSqlDate d = ParseDate(argv[1]);
    const TDatePart p = ParsePart(argv[0]);
    if (p == TDatePart::Unknown) {
        sqlite3_result_error(ctx, "datepart: unknown date part", -1);
        return;
    }
    if (!d.Valid) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, DatePartOf(p, d.Value));
}

template <TDatePart P>
void FnDateField(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const TSqlDate d = ParseDate(argv[0]);
    if (!d.Valid) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, DatePartOf(P, d.Value));
}

// ---- convert / cast ------------------------------------------------------------------

QString DateStyle(const QDateTime& dt, int style, bool hasTime)
{
    switch (style) {
    case 120: case 20: return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 121: case 21: return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case 23: return dt.toString(QStringLiteral("yyyy-MM-dd"));
    case 111: return dt.toString(QStringLiteral("yyyy/MM/dd"));
    case 112: return dt.toString(QStringLiteral("yyyyMMdd"));
    case 102: return dt.toString(QStringLiteral("yyyy.MM.dd"));
    case 101: return dt.toString(QStringLiteral("MM/dd/yyyy"));
    case 103: return dt.toString(QStringLiteral("dd/MM/yyyy"));
    case 108: case 8: return dt.toString(QStringLiteral("HH:mm:ss"));
    default: return FormatDate(dt, hasTime);
    }
}

QString NumberText(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        // Enough digits to read back the stored value, without binary noise.
        QString s = QString::number(sqlite3_value_double(v), 'f', 10);
        if (s.contains(QLatin1Char('.'))) {
            while (s.endsWith(QLatin1Char('0')))
                s.chop(1);
            if (s.endsWith(QLatin1Char('.')))
                s.chop(1);
        }
        return s;
    }
    return ArgText(v);
}

// The SQL functions round as the host does (one step, half away from zero, on the value's
// 15 significant digits).
double RoundDecimal(double x, int decimals)
{
    return DecimalRound(x, decimals);
}

void FnConvert(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString type = ArgText(argv[0]).trimmed().toLower();
    static const QRegularExpression re(QStringLiteral("^([a-z0-9_]+)\\s*(?:\\(\\s*(\\w+)\\s*(?:,\\s*(\\d+)\\s*)?\\))?$"));
    const QRegularExpressionMatch m = re.match(type);
    const QString base = m.hasMatch() ? m.captured(1) : type;
    const QString len = m.hasMatch() ? m.captured(2) : QString();
    const QString scale = m.hasMatch() ? m.captured(3) : QString();
    sqlite3_value* v = argv[1];
    const int style = argc > 2 && !IsNull(argv[2]) ? sqlite3_value_int(argv[2]) : -1;

    if (base.contains(QLatin1String("char")) || base == QLatin1String("text") || base == QLatin1String("ntext")
        || base == QLatin1String("sysname")) {
        QString s;
        const TSqlDate d = sqlite3_value_type(v) == SQLITE_TEXT ? ParseDate(v) : TSqlDate();
        if (d.Valid && style >= 0)
            s = DateStyle(d.Value, style, d.HasTime);
        else if (sqlite3_value_type(v) == SQLITE_TEXT || sqlite3_value_type(v) == SQLITE_BLOB)
            s = ArgText(v);
        else
            s = NumberText(v);
        bool ok = false;
        const int n = len.toInt(&ok);
        if (ok && n >= 0 && s.size() > n)
            s.truncate(n);
        else if (!ok && len.isEmpty() && s.size() > 30)
            s.truncate(30);
        ResultText(ctx, s);
        return;
    }
    if (base == QLatin1String("int") || base == QLatin1String("integer") || base == QLatin1String("bigint")
        || base == QLatin1String("smallint") || base == QLatin1String("tinyint")) {
        if (sqlite3_value_type(v) == SQLITE_INTEGER)
            sqlite3_result_int64(ctx, sqlite3_value_int64(v));
        else
            sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(std::trunc(sqlite3_value_double(v))));
        return;
    }
    if (base == QLatin1String("bit")) {
        sqlite3_result_int(ctx, sqlite3_value_double(v) != 0.0 ? 1 : 0);
        return;
    }
    if (base == QLatin1String("decimal") || base == QLatin1String("numeric")) {
        const int dec = scale.isEmpty() ? 0 : scale.toInt();
        sqlite3_result_double(ctx, RoundDecimal(sqlite3_value_double(v), dec));
        return;
    }
    if (base == QLatin1String("money") || base == QLatin1String("smallmoney")) {
        sqlite3_result_double(ctx, RoundDecimal(sqlite3_value_double(v), 4));
        return;
    }
    if (base == QLatin1String("float") || base == QLatin1String("real")) {
        sqlite3_result_double(ctx, sqlite3_value_double(v));
        return;
    }
    if (base.contains(QLatin1String("date")) || base == QLatin1String("time")) {
        const TSqlDate d = ParseDate(v);
        if (!d.Valid) {
            sqlite3_result_value(ctx, v);
            return;
        }
        if (base == QLatin1String("date"))
            ResultText(ctx, FormatDate(d.Value, false));
        else if (base == QLatin1String("time"))
            ResultText(ctx, d.Value.toString(QStringLiteral("HH:mm:ss")));
        else
            ResultText(ctx, FormatDate(d.Value, true));
        return;
    }
    sqlite3_result_value(ctx, v);
}

// ---- text -----------------------------------------------------------------------------

void FnLen(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s = sqlite3_value_type(argv[0]) == SQLITE_FLOAT ? NumberText(argv[0]) : ArgText(argv[0]);
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    sqlite3_result_int(ctx, static_cast<int>(s.size()));
}

void FnCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString needle = ArgText(argv[0]);
    const QString hay = ArgText(argv[1]);
    int from = argc > 2 && !IsNull(argv[2]) ? sqlite3_value_int(argv[2]) - 1 : 0;
    if (from < 0)
        from = 0;
    if (needle.isEmpty()) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const int at = hay.indexOf(needle, from, Qt::CaseInsensitive);
    sqlite3_result_int(ctx, at < 0 ? 0 : at + 1);
}

void FnLeft(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const int n = sqlite3_value_int(argv[1]);
    ResultText(ctx, ArgText(argv[0]).left(n < 0 ? 0 : n));
}

void FnRight(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const int n = sqlite3_value_int(argv[1]);
    ResultText(ctx, ArgText(argv[0]).right(n < 0 ? 0 : n));
}

void FnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const int width = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    const int dec = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    const QString s = QString::number(RoundDecimal(sqlite3_value_double(argv[0]), dec), 'f', dec);
    ResultText(ctx, s.size() > width ? QString(width, QLatin1Char('*')) : s.rightJustified(width));
}

void FnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    else
        sqlite3_result_double(ctx, std::ceil(sqlite3_value_double(argv[0])));
}

// ---- the accounting server's own functions -----------------------------------------

void FnTruncateCurrency(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_double(ctx, RoundDecimal(sqlite3_value_double(argv[0]), 2));
}

// Runs a one-value query on the function's own connection; null when the query fails
// (a table the database does not have) or finds nothing.
void ResultOfQuery(sqlite3_context* ctx, const QString& sql, const QVector<sqlite3_value*>& binds)
{
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), text.size(), &st, nullptr) != SQLITE_OK || !st) {
        sqlite3_finalize(st);
        sqlite3_result_null(ctx);
        return;
    }
    for (int i = 0; i < binds.size(); ++i)
        sqlite3_bind_value(st, i + 1, binds[i]);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

struct TBillTable {
    int BillType;
    const char* Table;
    const char* Key;
};

const TBillTable kBillTables[] = {
    {1, "sorder", "sorderid"},          {2, "invoice", "invoiceid"},
    {3, "csale", "csaleid"},            {4, "sreturn", "returnid"},
    {5, "charge", "chargeid"},          {6, "porder", "orderid"},
    {7, "recieved", "recievedid"},      {8, "preturn", "preturnid"},
    {9, "pay", "payid"},                {10, "drawitem", "drawitemid"},
    {11, "backdraw", "backdrawid"},     {12, "inproduct", "inproductid"},
    {13, "allot", "allotid"},           {14, "balitem", "balitemid"},
    {15, "inout", "inoutid"},           {16, "combin", "combinid"},
    {17, "expense", "expenseid"},       {18, "income", "incomeid"},
    {19, "adjap", "adjapid"},           {20, "movemoney", "moveid"},
    {21, "dislaborage", "id"},          {22, "valuedrcvd", "billid"},
    {23, "posbilldate", "billid"},      {24, "posday", "billid"},
    {25, "inoutcash", "id"},            {26, "crecieved", "crecievedid"},
    {27, "deputesale", "deputesaleid"}, {28, "deputesettlement", "deputesettlementid"},
    {29, "deputesaleinit", "deputesaleinitid"}, {30, "goodsdiscount", "goodsdiscountid"},
    {40, "valuedrcvd", "billid"},       {41, "askdeliver", "askid"},
    {42, "deliver", "deliverid"},       {43, "purchaseapp", "purchaseappid"},
    {44, "quotation", "quotationid"},
};

// Bill type 100 is an accounting voucher.
constexpr int kVoucherBillType = 100;

void FnGetReferCredIdCode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    ResultOfQuery(ctx, QStringLiteral("select code from cred where credid = ?"), {argv[0]});
}

// The code of the bill a line was taken from, found by the source's bill type and id.
void FnGetReferBillCode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const int type = sqlite3_value_int(argv[0]);
    if (type == kVoucherBillType) {
        FnGetReferCredIdCode(ctx, 1, argv + 1);
        return;
    }
    for (const TBillTable& t : kBillTables) {
        if (t.BillType == type) {
            ResultOfQuery(ctx, QStringLiteral("select code from %1 where %2 = ?").arg(QLatin1String(t.Table), QLatin1String(t.Key)),
                          {argv[1]});
            return;
        }
    }
    sqlite3_result_null(ctx);
}

// The stock-flow row of a bill line.
void FnGetDetailBillFlowId(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    ResultOfQuery(ctx,
                  QStringLiteral("select id from detailbillflow where billtype = ? and billid = ? and itemno = ? order by id limit 1"),
                  {argv[0], argv[1], argv[2]});
}

// The special code of the first-level subject above a subject: the subject whose code is
// the shortest prefix of the subject's own code.
void FnGetSc1SpecialCode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    ResultOfQuery(ctx,
                  QStringLiteral("select p.specialcode from subject s join subject p "
                                 "on substr(s.subcode, 1, length(p.subcode)) = p.subcode "
                                 "where s.subid = ? order by length(p.subcode) limit 1"),
                  {argv[0]});
}

// The next free key of a table: one above the largest value of its key column (the named
// column, or the table's primary key).
void FnGetKeyValue(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const QString table = ArgText(argv[0]).trimmed();
    QString field = argc > 1 ? ArgText(argv[1]).trimmed() : QString();
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!name.match(table).hasMatch() || (!field.isEmpty() && !name.match(field).hasMatch())) {
        sqlite3_result_error(ctx, "getkeyvalue: not a table name", -1);
        return;
    }
    sqlite3* db = sqlite3_context_db_handle(ctx);
    if (field.isEmpty()) {
        sqlite3_stmt* st = nullptr;
        const QByteArray q = QStringLiteral("select name from pragma_table_info('%1') where pk = 1").arg(table).toUtf8();
        if (sqlite3_prepare_v2(db, q.constData(), q.size(), &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            field = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    if (field.isEmpty()) {
        sqlite3_result_error(ctx, "getkeyvalue: the table has no key column", -1);
        return;
    }
    sqlite3_stmt* st = nullptr;
    const QByteArray q = QStringLiteral("select coalesce(max(%2), 0) + 1 from %1").arg(table, field).toUtf8();
    if (sqlite3_prepare_v2(db, q.constData(), q.size(), &st, nullptr) != SQLITE_OK) {
        sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
        sqlite3_finalize(st);
        return;
    }
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

struct TFunctionDef {
    const char* Name;
    int Args; // -1: any
    bool Deterministic;
    void (*Fn)(sqlite3_context*, int, sqlite3_value**);
};

const TFunctionDef kFunctions[] = {
    {"dateadd", 3, true, FnDateAdd},
    {"datediff", 3, true, FnDateDiff},
    {"datepart", 2, true, FnDatePart},
    {"year", 1, true, FnDateField<TDatePart::Year>},
    {"month", 1, true, FnDateField<TDatePart::Month>},
    {"day", 1, true, FnDateField<TDatePart::Day>},
    {"tb_convert", 2, true, FnConvert},
    {"tb_convert", 3, true, FnConvert},
    {"len", 1, true, FnLen},
    {"charindex", 2, true, FnCharIndex},
    {"charindex", 3, true, FnCharIndex},
    {"tb_left", 2, true, FnLeft},
    {"tb_right", 2, true, FnRight},
    {"tb_str", 1, true, FnStr},
    {"tb_str", 2, true, FnStr},
    {"tb_str", 3, true, FnStr},
    {"tb_ceiling", 1, true, FnCeiling},
    {"fn_truncatecurrency", 1, true, FnTruncateCurrency},
    // These read tables, so their result may change between statements.
    {"getreferbillcode", 2, false, FnGetReferBillCode},
    {"getrefercredidcode", 1, false, FnGetReferCredIdCode},
    {"getdetailbillflowid", 3, false, FnGetDetailBillFlowId},
    {"fn_getsc1specialcode", 1, false, FnGetSc1SpecialCode},
    {"getkeyvalue", 1, false, FnGetKeyValue},
    {"getkeyvalue", 2, false, FnGetKeyValue},
};

} // namespace

void RegisterSqlFunctions(sqlite3* db)
{
    if (!db)
        return;
    // Registering a name again replaces the earlier definition, so a second call leaves the
    // connection as the first one did.
    for (const TFunctionDef& f : kFunctions) {
        int flags = SQLITE_UTF8;
        if (f.Deterministic)
            flags |= SQLITE_DETERMINISTIC;
        sqlite3_create_function_v2(db, f.Name, f.Args, flags, nullptr, f.Fn, nullptr, nullptr, nullptr);
    }
}
