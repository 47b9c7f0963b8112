#include "webrpc/PgEngine.h"

#include "webrpc/Connection.h"
#include "webrpc/ParamKind.h"
#include "webrpc/Statement.h"

#include <libpq-fe.h>

#include <QDateTime>
#include <QHash>

#include <cstdint>

namespace {

// End (exclusive) of a literal, quoted name, comment or dollar-quoted body starting at i;
// i itself when none starts there.
qsizetype SkipProtected(const QString& s, qsizetype i)
{
    const qsizetype n = s.size();
    const QChar c = s[i];
    auto until = [&](QChar close) {
        qsizetype j = i + 1;
        while (j < n) {
            if (s[j] == close) {
                if (j + 1 < n && s[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    if (c == u'\'')
        return until(u'\'');
    if (c == u'"')
        return until(u'"');
    if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
        const qsizetype j = s.indexOf(u'\n', i);
        return j < 0 ? n : j + 1;
    }
    if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
        const qsizetype j = s.indexOf(QLatin1String("*/"), i + 2);
        return j < 0 ? n : j + 2;
    }
    if (c == u'$' && (i == 0 || !(s[i - 1].isLetterOrNumber() || s[i - 1] == u'_'))) {
        qsizetype j = i + 1;
        while (j < n && (s[j].isLetter() || s[j] == u'_'))
            ++j;
        if (j < n && s[j] == u'$') {
            const QString tag = s.mid(i, j - i + 1);
            const qsizetype close = s.indexOf(tag, j + 1);
            return close < 0 ? n : close + tag.size();
        }
    }
    return i;
}

QVariant PgValue(const PGresult* r, int row, int col, TFieldType t)
{
    if (PQgetisnull(r, row, col))
        return QVariant();
    const char* raw = PQgetvalue(r, row, col);
    switch (t) {
    case TFieldType::ftInteger:
        return QByteArray(raw).toLongLong();
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
        return QByteArray(raw).toDouble();
    case TFieldType::ftBoolean:
        return raw[0] == 't' || raw[0] == '1';
    case TFieldType::ftDateTime: {
        // "2026-12-01 10:20:30[.123456]" or a bare date; fractions beyond milliseconds go
        const QString text = QString::fromLatin1(raw);
        QDateTime dt = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case TFieldType::ftBlob: {
        size_t len = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(raw), &len);
        QByteArray b(reinterpret_cast<const char*>(bytes), qsizetype(len));
        PQfreemem(bytes);
        return b;
    }
    case TFieldType::ftString:
        break;
    }
    return QString::fromUtf8(raw, PQgetlength(r, row, col));
}

// Field types from the server's type oids (pg_type); the schema keeps money in numeric.
TFieldType FieldTypeOfOid(Oid oid)
{
    switch (oid) {
    case 16: // bool
        return TFieldType::ftBoolean;
    case 20: // int8
    case 21: // int2
    case 23: // int4
    case 26: // oid
        return TFieldType::ftInteger;
    case 700: // float4
    case 701: // float8
        return TFieldType::ftFloat;
    case 1700: // numeric
    case 790:  // money
        return TFieldType::ftCurrency;
    case 1082: // date
    case 1114: // timestamp
    case 1184: // timestamptz
        return TFieldType::ftDateTime;
    case 17: // bytea
        return TFieldType::ftBlob;
    default:
        return TFieldType::ftString;
    }
}

struct TResultGuard {
    PGresult* R;
    ~TResultGuard() { PQclear(R); }
};

} // namespace

bool IsPostgresTarget(const QString& target)
{
    return target.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
           || target.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString PgErrorMessage(const QString& state, const QString& constraint)
{
    const QString named = constraint.isEmpty() ? QString() : QStringLiteral("（%1）").arg(constraint);
    if (state == QLatin1String("23505"))
        return QStringLiteral("数据重复%1：已有相同的记录，不能保存。").arg(named);
    if (state == QLatin1String("23502"))
        return QStringLiteral("必填的数据没有值%1，不能保存。").arg(named);
    if (state == QLatin1String("23503"))
        return QStringLiteral("引用的数据不存在或仍被其他数据引用，不能保存。");
    if (state == QLatin1String("23514"))
        return QStringLiteral("数据不符合规则%1，不能保存。").arg(named);
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return QStringLiteral("其他用户同时在修改相同的数据，本次操作没有完成。请再试一次。");
    if (state == QLatin1String("55P03") || state == QLatin1String("57014"))
        return QStringLiteral("其他用户正在保存数据，数据库一直忙，本次操作没有完成。请稍后再试。");
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return QStringLiteral("与数据库服务器的连接已断开，操作没有完成。");
    if (state.startsWith(QLatin1String("53")))
        return QStringLiteral("数据库服务器资源不足，操作没有完成。");
    if (state == QLatin1String("42501"))
        return QStringLiteral("不允许执行该数据库操作。");
    return QStringLiteral("数据库执行出错，操作没有完成（详细信息已写入日志）。");
}

QString PositionalParams(const QString& sql, QStringList* names)
{
    // A statement of many rows carries thousands of names: the text is copied in runs, and
    // names are numbered through an index rather than by searching the list.
    QString out;
    out.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    const QChar* s = sql.constData();
    QHash<QString, qsizetype> numbered; // lower-case name -> its place in `names`
    numbered.reserve(sql.count(u':') + names->size());
    for (qsizetype k = 0; k < names->size(); ++k)
        numbered.insert(names->at(k).toLower(), k);
    auto lowerKey = [](QStringView name) {
        for (QChar ch : name)
            if (ch.unicode() >= 0x80 || (ch >= u'A' && ch <= u'Z'))
                return name.toString().toLower();
        return name.toString();
    };
    qsizetype copied = 0; // sql up to here is in `out`
    for (qsizetype i = 0; i < n;) {
        const char16_t c = s[i].unicode();
        if (c == u'\'' || c == u'"' || c == u'-' || c == u'/' || c == u'$') {
            const qsizetype skip = SkipProtected(sql, i);
            i = skip > i ? skip : i + 1;
            continue;
        }
        if (c != u':') {
            ++i;
            continue;
        }
        if (i + 1 < n && s[i + 1] == u':') { // a cast
            i += 2;
            continue;
        }
        if (i + 1 < n && (s[i + 1].isLetter() || s[i + 1] == u'_')) {
            qsizetype j = i + 1;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == u'_' || s[j] == u'@' || s[j] == u'#'))
                ++j;
            const QStringView name(s + i + 1, j - i - 1);
            const QString key = lowerKey(name);
            qsizetype at = numbered.value(key, -1);
            if (at < 0) {
                names->append(name.toString());
                at = names->size() - 1;
                numbered.insert(key, at);
            }
            out.append(s + copied, i - copied);
            out += u'$';
            out += QString::number(at + 1);
            i = j;
            copied = j;
            continue;
        }
        ++i;
    }
    out.append(s + copied, n - copied);
    return out;
}

QStringList SplitStatements(const QString& sql)
{
    QStringList out;
    qsizetype start = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype skip = SkipProtected(sql, i);
        if (skip > i) {
            i = skip;
            continue;
        }
        if (sql[i] == u';') {
            const QString st = sql.mid(start, i - start);
            if (!st.trimmed().isEmpty())
                out << st;
            start = i + 1;
        }
        ++i;
    }
    const QString last = sql.mid(start);
    if (!last.trimmed().isEmpty())
        out << last;
    return out;
}

TPgSession::TPgSession(const QString& target)
{
    FConn = PQconnectdb(target.toUtf8().constData());
    if (PQstatus(FConn) != CONNECTION_OK) {
        const QString err = QString::fromUtf8(PQerrorMessage(FConn)).trimmed();
        PQfinish(FConn);
        FConn = nullptr;
        WriteDatabaseLog(QStringLiteral("无法连接数据库服务器 %1: %2").arg(target, err));
        throw EDatabaseError(QStringLiteral("无法连接到数据库服务器：%1").arg(err));
    }
    PQsetClientEncoding(FConn, "UTF8");
    // Notices (a "drop ... if exists" that found nothing) are not news to anyone.
    PQsetNoticeProcessor(FConn, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(FConn, "set datestyle to iso, ymd; set intervalstyle to postgres");
    PQclear(r);
}

TPgSession::~TPgSession()
{
    if (FConn)
        PQfinish(FConn);
}

bool TPgSession::InTransactionBlock() const
{
    const PGTransactionStatusType s = PQtransactionStatus(FConn);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

int TPgSession::BackendPid() const { return PQbackendPID(FConn); }

void TPgSession::Listen(const QString& channel)
{
    char* quoted = PQescapeIdentifier(FConn, channel.toUtf8().constData(), size_t(channel.toUtf8().size()));
    if (!quoted)
        throw EDatabaseError(QStringLiteral("通知通道名 %1 不正确").arg(channel));
    const QString name = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    Execute(QStringLiteral("listen ") + name, {});
}

bool TPgSession::TakeNotices()
{
    PQconsumeInput(FConn); // (a broken connection is reported by the next statement)
    bool any = false;
    while (PGnotify* n = PQnotifies(FConn)) {
        any = true;
        PQfreemem(n);
    }
    return any;
}

namespace {

// The schema's names are lower case (unquoted in its scripts), while the system's statements
// quote names as they spell them ("MoveMoney"): quoted names are taken in lower case.
QString LowerQuotedNames(const QString& sql)
{
    if (!sql.contains(u'"'))
        return sql;
    QString out = sql;
    for (qsizetype i = 0; i < out.size();) {
        const qsizetype skip = SkipProtected(out, i);
        if (skip > i && out[i] == u'"')
            for (qsizetype k = i + 1; k < skip; ++k)
                out[k] = out[k].toLower();
        i = skip > i ? skip : i + 1;
    }
    return out;
}

// A statement made ready to send: its text with "$n" parameters, the values as text (or bytes),
// and the name it is prepared under on the server when it runs often.
struct TBound {
    QString Statement;        // as the session runs it (quoted names in lower case)
    bool Simple = false;      // no parameters: sent as it stands
    QByteArray Sql;
    QVector<QByteArray> Values;
    QVector<const char*> Ptrs;
    QVector<int> Lengths;
    QVector<int> Formats;
    QVector<Oid> Types;
    QByteArray Key;           // text and parameter types
    QByteArray Name;          // prepared name ("" when sent with its text)
    bool PrepareFirst = false; // the name is new: the statement is prepared before it runs
    int Count() const { return int(Values.size()); }
};

TBound Bind(const QString& rawStatement, const TPgSession::TParams& params, TPgSession::TPrepared& prepared)
{
    TBound b;
    b.Statement = LowerQuotedNames(rawStatement);
    if (params.isEmpty() && !b.Statement.contains(u':')) {
        b.Simple = true;
        b.Sql = b.Statement.toUtf8();
        return b;
    }
    QStringList names;
    const QString text = PositionalParams(b.Statement, &names);
    b.Values.resize(names.size());
    b.Ptrs.resize(names.size());
    b.Lengths.resize(names.size());
    b.Formats.resize(names.size());
    b.Types.resize(names.size());
    // Many rows in one statement bring thousands of parameters. Most are given in the order
    // they are used; the others are found through an index, not by walking the list.
    auto keyOf = [](const QString& name) { return name.startsWith(u':') ? QStringView(name).mid(1) : QStringView(name); };
    QHash<QString, const QVariant*> byName;
    auto find = [&](const QString& name) -> const QVariant* {
        if (params.size() <= 16) {
            for (const auto& p : params)
                if (keyOf(p.first).compare(name, Qt::CaseInsensitive) == 0)
                    return &p.second;
            return nullptr;
        }
        if (byName.isEmpty()) {
            byName.reserve(params.size());
            for (const auto& p : params)
                byName.insert(keyOf(p.first).toString().toLower(), &p.second);
        }
        return byName.value(name.toLower(), nullptr);
    };
    for (qsizetype k = 0; k < names.size(); ++k) {
        const QVariant* value = nullptr;
        // (a list that names one parameter twice is the caller's mistake: either is bound)
        if (k < params.size() && keyOf(params[k].first).compare(names[k], Qt::CaseInsensitive) == 0)
            value = &params[k].second;
        else
            value = find(names[k]);
        if (!value)
            ThrowUnboundParam(names[k], b.Statement);
        const QVariant& v = *value;
        switch (ParamKindOf(v)) {
        case TParamKind::Null:
            continue;
        case TParamKind::Integer: {
            // Typed, so that a parameter used both as a count and in a sum is one type.
            const qint64 n = v.toLongLong();
            b.Values[k] = QByteArray::number(n);
            b.Types[k] = n >= INT32_MIN && n <= INT32_MAX ? 23 : 20; // int4, int8
            break;
        }
        case TParamKind::DateTime:
            b.Values[k] = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
            break;
        case TParamKind::Date:
            b.Values[k] = v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
            break;
        case TParamKind::Boolean:
            b.Values[k] = v.toBool() ? "1" : "0";
            break;
        case TParamKind::Float:
            b.Values[k] = QByteArray::number(v.toDouble(), 'g', 17);
            b.Types[k] = 701; // float8
            break;
        case TParamKind::Bytes:
            b.Values[k] = v.toByteArray();
            b.Formats[k] = 1;
            b.Types[k] = 17; // bytea
            break;
        case TParamKind::Text:
            b.Values[k] = v.toString().toUtf8();
        }
        b.Ptrs[k] = b.Values[k].constData();
        b.Lengths[k] = int(b.Values[k].size());
    }
    b.Sql = text.toUtf8();
    b.Key = b.Sql;
    b.Key.append('\0').append(reinterpret_cast<const char*>(b.Types.constData()), b.Types.size() * qsizetype(sizeof(Oid)));
    b.Name = prepared.Names.value(b.Key);
    // Statements of many rows are seldom the same twice: only a text seen before is prepared.
    // The names a session gives out are bounded; the server keeps what was prepared until the
    // session ends.
    constexpr int kMostPrepared = 2000;
    if (b.Name.isEmpty() && prepared.Made < kMostPrepared && ++prepared.Runs[b.Key] >= 2) {
        b.Name = "tb_" + QByteArray::number(++prepared.Made);
        b.PrepareFirst = true;
    }
    if (prepared.Runs.size() > 4096)
        prepared.Runs.clear();
    return b;
}

bool Succeeded(const PGresult* r)
{
    const ExecStatusType st = PQresultStatus(r);
    return st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_EMPTY_QUERY;
}

// The failure a result reports, written to the log; the result is cleared.
EPgError Failure(PGconn* conn, PGresult* r, const QString& statement)
{
    const char* stateRaw = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const char* constraintRaw = r ? PQresultErrorField(r, PG_DIAG_CONSTRAINT_NAME) : nullptr;
    const QString state = stateRaw ? QString::fromLatin1(stateRaw)
                                   : (PQstatus(conn) == CONNECTION_BAD ? QStringLiteral("08006") : QString());
    const QString detail = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn)).trimmed();
    const QString constraint = constraintRaw ? QString::fromUtf8(constraintRaw) : QString(); // (the result owns the text)
    PQclear(r);
    WriteDatabaseLog(QStringLiteral("数据库错误 %1: %2\nSQL: %3").arg(state, detail, statement.simplified().left(2000)));
    return EPgError(PgErrorMessage(state, constraint), state);
}

// Runs one statement; the caller owns the result. Throws EPgError on failure.
PGresult* RunOne(PGconn* conn, const QString& rawStatement, const TPgSession::TParams& params, TPgSession::TPrepared& prepared)
{
    TBound b = Bind(rawStatement, params, prepared);
    PGresult* r = nullptr;
    if (b.Simple) {
        r = PQexec(conn, b.Sql.constData());
    } else {
        if (b.PrepareFirst) {
            PGresult* made = PQprepare(conn, b.Name.constData(), b.Sql.constData(), b.Count(), b.Types.constData());
            if (PQresultStatus(made) == PGRES_COMMAND_OK) {
                PQclear(made);
                prepared.Names.insert(b.Key, b.Name);
                prepared.Runs.remove(b.Key);
            } else {
                r = made; // the statement's own failure, reported below
                b.Name.clear();
            }
        }
        if (!r && !b.Name.isEmpty()) {
            r = PQexecPrepared(conn, b.Name.constData(), b.Count(), b.Ptrs.constData(), b.Lengths.constData(), b.Formats.constData(), 0);
            if (!Succeeded(r))
                prepared.Names.remove(b.Key); // (a table changed by another session, say) prepared afresh next time
        } else if (!r) { // (with r set the prepare failed, and its result says why)
            r = PQexecParams(conn, b.Sql.constData(), b.Count(), b.Types.constData(), b.Ptrs.constData(), b.Lengths.constData(),
                             b.Formats.constData(), 0);
        }
    }
    if (Succeeded(r))
        return r;
    throw Failure(conn, r, b.Statement);
}

// Sends the statements one after the other without waiting for each answer, and reads the
// answers once: one round trip for all. Returns the last statement's result (the caller owns
// it); the first failure among them is thrown once every answer is read, and the statements
// after a failure did not run.
// The answers of the statements before the last that have a key in `keepKeys` go to `kept`
// (the caller owns them; null where a statement's answer is not kept).
PGresult* RunPipelined(PGconn* conn, const QVector<QPair<QString, TPgSession::TParams>>& statements, TPgSession::TPrepared& prepared,
                       const QVector<QString>& keepKeys = {}, QVector<PGresult*>* kept = nullptr)
{
    if (kept)
        kept->fill(nullptr, statements.size());
    if (PQenterPipelineMode(conn) != 1)
        throw Failure(conn, nullptr, statements.last().first);
    // what each answer belongs to: a statement (its index) or the preparing of one
    struct TSent {
        int Statement;
        bool Prepare;
    };
    QVector<TBound> bound;
    QVector<TSent> sent;
    bound.reserve(statements.size());
    bool sendFailed = false;
    for (int i = 0; i < statements.size() && !sendFailed; ++i) {
        bound.append(Bind(statements[i].first, statements[i].second, prepared));
        const TBound& b = bound.last();
        int ok = 1;
        if (b.Simple) {
            ok = PQsendQueryParams(conn, b.Sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
        } else {
            if (b.PrepareFirst) {
                ok = PQsendPrepare(conn, b.Name.constData(), b.Sql.constData(), b.Count(), b.Types.constData());
                if (ok)
                    sent.append({i, true});
            }
            if (ok && !b.Name.isEmpty())
                ok = PQsendQueryPrepared(conn, b.Name.constData(), b.Count(), b.Ptrs.constData(), b.Lengths.constData(), b.Formats.constData(), 0);
            else if (ok)
                ok = PQsendQueryParams(conn, b.Sql.constData(), b.Count(), b.Types.constData(), b.Ptrs.constData(), b.Lengths.constData(),
                                       b.Formats.constData(), 0);
        }
        if (ok)
            sent.append({i, false});
        sendFailed = !ok;
    }
    if (!sendFailed)
        sendFailed = PQpipelineSync(conn) != 1;
    PGresult* last = nullptr;
    PGresult* failed = nullptr;
    int failedAt = -1;
    if (!sendFailed) {
        for (const TSent& s : sent) {
            PGresult* r = PQgetResult(conn);
            // each answer is followed by a null that ends it
            while (PGresult* more = PQgetResult(conn))
                PQclear(more);
            if (!r)
                continue;
            const ExecStatusType st = PQresultStatus(r);
            if (st == PGRES_PIPELINE_ABORTED) {
                PQclear(r);
                continue;
            }
            const TBound& b = bound[s.Statement];
            if (s.Prepare && Succeeded(r)) {
                prepared.Names.insert(b.Key, b.Name);
                prepared.Runs.remove(b.Key);
            }
            if (!Succeeded(r)) {
                if (!b.Name.isEmpty())
                    prepared.Names.remove(b.Key);
                if (!failed) {
                    failed = r;
                    failedAt = s.Statement;
                } else {
                    PQclear(r);
                }
                continue;
            }
            if (!s.Prepare && s.Statement == statements.size() - 1) {
                PQclear(last);
                last = r;
            } else if (!s.Prepare && kept && !keepKeys.value(s.Statement).isEmpty()) {
                (*kept)[s.Statement] = r;
            } else {
                PQclear(r);
            }
        }
        // the answer to the sync point
        while (PGresult* r = PQgetResult(conn)) {
            const bool sync = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
            PQclear(r);
            if (sync)
                break;
        }
    }
    PQexitPipelineMode(conn);
    if ((sendFailed || failed) && kept) {
        for (PGresult*& r : *kept)
            PQclear(std::exchange(r, nullptr));
    }
    if (sendFailed) {
        PQclear(last);
        PQclear(failed);
        throw Failure(conn, nullptr, statements.last().first);
    }
    if (failed) {
        PQclear(last);
        throw Failure(conn, failed, bound[failedAt].Statement);
    }
    if (!last) // (every statement ran: the last one's answer cannot be missing)
        throw Failure(conn, nullptr, statements.last().first);
    return last;
}

} // namespace

namespace {

constexpr qint64 kCatalogLifeMs = 30000;

QStringView FirstWord(const QString& statement)
{
    qsizetype b = 0;
    while (b < statement.size() && (statement[b].isSpace() || statement[b] == u'('))
        ++b;
    qsizetype e = b;
    while (e < statement.size() && statement[e].isLetter())
        ++e;
    return QStringView(statement).mid(b, e - b);
}

// Statements that cannot change what the catalogue says. Anything else (create, drop, alter,
// a text of several statements ...) is taken as a schema change.
bool LeavesSchemaAlone(const QString& statement)
{
    static const char* const kWords[] = {"select", "insert", "update", "delete", "with", "values", "begin", "commit", "end",
                                         "rollback", "savepoint", "release", "set", "show", "lock", "listen"};
    const QStringView word = FirstWord(statement);
    for (const char* w : kWords)
        if (word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Selects over the schema's catalogue views (sqlite_master, pragma_table_info, information_schema).
bool AsksTheCatalogue(const QString& sql)
{
    return sql.contains(QLatin1String("sqlite_master"), Qt::CaseInsensitive)
           || sql.contains(QLatin1String("pragma_table_info"), Qt::CaseInsensitive)
           || sql.contains(QLatin1String("information_schema"), Qt::CaseInsensitive);
}

QString CatalogKey(const QString& sql, const TPgSession::TParams& params, bool uniqueNames)
{
    QString key = (uniqueNames ? QLatin1Char('u') : QLatin1Char('n')) + sql;
    for (const auto& p : params)
        key += QLatin1Char('\x1f') + p.first + QLatin1Char('=') + QString::number(p.second.typeId()) + QLatin1Char(':')
               + p.second.toString();
    return key;
}

} // namespace

void TPgSession::NoteStatement(const QString& statement)
{
    if (statement.contains(u';')) {
        const QStringList parts = SplitStatements(statement);
        if (parts.size() > 1) {
            for (const QString& part : parts)
                NoteStatement(part);
            return;
        }
    }
    const QStringView word = FirstWord(statement);
    const bool ends = word.compare(QLatin1String("commit"), Qt::CaseInsensitive) == 0
                      || word.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0;
    const bool rollsBack = word.compare(QLatin1String("rollback"), Qt::CaseInsensitive) == 0;
    if (!LeavesSchemaAlone(statement)) {
        FCatalog.clear();
        // statements prepared before are not used again (one naming a table's columns with *
        // would now fail)
        FPrepared.Names.clear();
        FPrepared.Runs.clear();
        FSchemaChangedInTransaction = true;
    } else if (rollsBack && FSchemaChangedInTransaction) {
        // what was read since the change may describe a schema that is now undone
        FCatalog.clear();
    }
    if (ends || (rollsBack && !statement.contains(QLatin1String("savepoint"), Qt::CaseInsensitive)))
        FSchemaChangedInTransaction = false;
}

PGresult* TPgSession::Run(const QString& statement, const TParams& params, bool reading)
{
    NoteStatement(statement);
    try {
        // answers read ahead hold only until the next statement runs
        FAhead.clear();
        if (FDeferred.isEmpty())
            return RunOne(FConn, statement, params, FPrepared);
        QVector<QPair<QString, TParams>> all;
        all.swap(FDeferred);
        // An answer read ahead is the answer only while nothing written came after it: a
        // write queued after it voids its key, and so does a statement run that is no select.
        QVector<QString> aheadKeys;
        aheadKeys.swap(FAheadKeys);
        if (!reading)
            aheadKeys.clear();
        QVector<PGresult*> kept;
        const QStringList parts = params.isEmpty() && !statement.contains(u':') ? SplitStatements(statement) : QStringList{statement};
        if (parts.size() > 1) {
            // a text of several statements goes as it is, after what waited
            PQclear(RunPipelined(FConn, all, FPrepared));
            return RunOne(FConn, statement, params, FPrepared);
        }
        all.append({statement, params});
        PGresult* last = RunPipelined(FConn, all, FPrepared, aheadKeys, &kept);
        for (int i = 0; i < kept.size(); ++i)
            if (kept[i]) {
                TAnswer& a = FAhead[aheadKeys[i]];
                ReadAnswer(kept[i], aheadKeys[i].startsWith(u'u'), a.Fields, a.Rows);
                PQclear(kept[i]);
            }
        return last;
    } catch (const EPgError& e) {
        FLastState = e.SqlState();
        throw;
    }
}

void TPgSession::Defer(const QString& sql, const TParams& params)
{
    const bool simple = params.isEmpty() && !sql.contains(u':');
    for (const QString& st : SplitStatements(sql)) {
        NoteStatement(st);
        FDeferred.append({st, simple ? TParams() : params});
    }
    for (QString& key : FAheadKeys)
        key.clear();
}

void TPgSession::SelectAhead(const QString& sql, const TParams& params, bool uniqueNames)
{
    if (SplitStatements(sql).size() != 1)
        return; // (read when asked)
    NoteStatement(sql);
    FAheadKeys.resize(FDeferred.size());
    FDeferred.append({sql, params});
    FAheadKeys.append(CatalogKey(sql, params, uniqueNames));
}

void TPgSession::DiscardDeferred()
{
    FDeferred.clear();
    FAheadKeys.clear();
    FAhead.clear();
}

int TPgSession::Execute(const QString& sql, const TParams& params)
{
    int changed = 0;
    // Without parameters the server takes the whole text at once (schema scripts with
    // function bodies need no splitting then).
    if (params.isEmpty() && !sql.contains(u':')) {
        TResultGuard g{Run(sql, params)};
        return QByteArray(PQcmdTuples(g.R)).toInt();
    }
    for (const QString& st : SplitStatements(sql)) {
        TResultGuard g{Run(st, params)};
        changed += QByteArray(PQcmdTuples(g.R)).toInt();
    }
    return changed;
}

void TPgSession::Select(const QString& sql, const TParams& params, QVector<TFieldDef>& fields, QVector<QVariantList>& rows,
                        bool uniqueNames)
{
    const QStringList statements = SplitStatements(sql);
    if (statements.isEmpty())
        throw EDatabaseError(QStringLiteral("没有字段定义，不能生成数据包"));
    QString catalogKey;
    if (statements.size() == 1 && AsksTheCatalogue(sql)) {
        if (!FCatalogAge.isValid() || FCatalogAge.hasExpired(kCatalogLifeMs)) {
            FCatalog.clear();
            FCatalogAge.start();
        }
        catalogKey = CatalogKey(sql, params, uniqueNames);
        const auto known = FCatalog.constFind(catalogKey);
        if (known != FCatalog.cend()) {
            fields = known->Fields;
            rows = known->Rows;
            return;
        }
    }
    if (statements.size() == 1 && !FAhead.isEmpty()) {
        // read ahead with the statements before it, and nothing ran since
        const auto ahead = FAhead.find(CatalogKey(sql, params, uniqueNames));
        if (ahead != FAhead.end()) {
            fields = std::move(ahead->Fields);
            rows = std::move(ahead->Rows);
            FAhead.erase(ahead);
            return;
        }
    }
    // Statements before the last (a temporary table filled first) only prepare the rows.
    for (qsizetype i = 0; i + 1 < statements.size(); ++i)
        TResultGuard{Run(statements[i], params)};
    const bool plainSelect = statements.size() == 1 && FirstWord(statements.last()).compare(QLatin1String("select"), Qt::CaseInsensitive) == 0;
    TResultGuard g{Run(statements.last(), params, plainSelect)};
    ReadAnswer(g.R, uniqueNames, fields, rows);
    if (!catalogKey.isEmpty())
        FCatalog.insert(catalogKey, {fields, rows});
}

void TPgSession::ReadAnswer(const pg_result* r, bool uniqueNames, QVector<TFieldDef>& fields, QVector<QVariantList>& rows)
{
    const int cols = PQnfields(r);
    fields.clear();
    QHash<QString, int> seen;
    for (int c = 0; c < cols; ++c) {
        TFieldDef f;
        f.Name = QString::fromUtf8(PQfname(r, c));
        const QString key = f.Name.toLower();
        if (const int dup = seen.value(key, 0); dup && uniqueNames)
            f.Name += QStringLiteral("_%1").arg(dup);
        seen[key] = seen.value(key, 0) + 1;
        f.DataType = FieldTypeOfOid(PQftype(r, c));
        fields.append(f);
    }
    const int count = PQntuples(r);
    rows.clear();
    rows.reserve(count);
    for (int n = 0; n < count; ++n) {
        QVariantList row;
        row.reserve(cols);
        for (int c = 0; c < cols; ++c)
            row.append(PgValue(r, n, c, fields[c].DataType));
        rows.append(std::move(row));
    }
}
