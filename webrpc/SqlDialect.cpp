#include "webrpc/SqlDialect.h"

#include "webrpc/SqlTokenizer.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <iterator>

// The statements are rewritten on a tree of tokens in which every parenthesised part is
// one node, so that each rule sees exactly the clause it belongs to: "top N" of a subquery
// becomes a LIMIT at the end of that subquery, a function's arguments stay together, and
// the operands of + and - can be found without a full grammar.
//
// Rules for '+' (the server uses one operator for numbers, text and dates):
//  - a side that is a string literal, a cast/convert to a character type, a text function
//    (substring, left, right, ltrim, rtrim, upper, lower, replace, char, space) or a chain
//    already joined by || makes it text concatenation: ||;
//  - a side that is a date (getdate(), dateadd(), a cast/convert to datetime, or a column
//    whose name ends in "date" or "time") plus or minus a number adds days: dateadd();
//    a date minus a date gives the days between them: datediff();
//  - anything else stays an arithmetic +.

namespace {

// The engine the statement being translated is for (one translation runs at a time per thread).
thread_local TSqlEngine t_Engine = TSqlEngine::SQLite;

bool ForPostgres() { return t_Engine == TSqlEngine::PostgreSQL; }

struct TNode {
    TSqlToken Tok;
    bool Group = false;
    bool Closed = true;
    QVector<TNode> Kids;
    QString ClosePre;
};

TNode MakeTok(TSqlTokenKind k, const QString& text, const QString& pre = QStringLiteral(" "))
{
    TNode n;
    n.Tok.Kind = k;
    n.Tok.Text = text;
    n.Tok.Pre = pre;
    return n;
}

TNode MakeIdent(const QString& text, const QString& pre = QStringLiteral(" "))
{
    return MakeTok(TSqlTokenKind::Ident, text, pre);
}

TNode MakeGroup(const QVector<TNode>& kids, const QString& pre = QString())
{
    TNode n;
    n.Group = true;
    n.Tok.Kind = TSqlTokenKind::OpenParen;
    n.Tok.Text = QStringLiteral("(");
    n.Tok.Pre = pre;
    n.Kids = kids;
    return n;
}

QVector<TNode> BuildTree(const QVector<TSqlToken>& toks)
{
    QVector<QVector<TNode>> stack(1);
    QVector<TNode> open;
    for (const TSqlToken& t : toks) {
        if (t.Kind == TSqlTokenKind::OpenParen) {
            TNode g;
            g.Group = true;
            g.Tok = t;
            open.push_back(g);
            stack.push_back({});
        } else if (t.Kind == TSqlTokenKind::CloseParen && !open.isEmpty()) {
            TNode g = open.takeLast();
            g.Kids = stack.takeLast();
            g.ClosePre = t.Pre;
            stack.last().push_back(g);
        } else {
            TNode n;
            n.Tok = t;
            stack.last().push_back(n);
        }
    }
    while (!open.isEmpty()) {
        TNode g = open.takeLast();
        g.Kids = stack.takeLast();
        g.Closed = false;
        stack.last().push_back(g);
    }
    return stack.first();
}

void Emit(const QVector<TNode>& v, QString& out)
{
    for (const TNode& n : v) {
        out += n.Tok.Pre;
        out += n.Tok.Text;
        if (n.Group) {
            Emit(n.Kids, out);
            if (n.Closed) {
                out += n.ClosePre;
                out += QLatin1Char(')');
            }
        }
    }
}

bool Is(const TNode& n, const char* word)
{
    return !n.Group && SqlTokenIs(n.Tok, word);
}

bool IsOp(const TNode& n, const char* op)
{
    return !n.Group && n.Tok.Kind == TSqlTokenKind::Operator && n.Tok.Text == QLatin1String(op);
}

bool IsKind(const TNode& n, TSqlTokenKind k)
{
    return !n.Group && n.Tok.Kind == k;
}

bool IsKeyword(const TNode& n)
{
    static const QSet<QString> kw = {
        "SELECT", "FROM",   "WHERE", "AND",    "OR",    "NOT",   "IN",     "EXISTS", "AS",     "ON",
        "WHEN",   "THEN",   "ELSE",  "CASE",   "END",   "IS",    "LIKE",   "BETWEEN", "JOIN",  "LEFT",
        "RIGHT",  "INNER",  "OUTER", "UNION",  "ALL",   "DISTINCT", "BY",  "ORDER",  "GROUP",  "HAVING",
        "VALUES", "SET",    "INTO",  "UPDATE", "DELETE", "INSERT", "TOP",  "WITH",   "ESCAPE", "ASC",
        "DESC",   "LIMIT",  "CROSS", "FULL",   "CREATE", "DROP",  "TABLE", "IF",     "COLLATE", "EXCEPT",
        "INTERSECT", "OFFSET", "USING", "NATURAL"};
    return !n.Group && n.Tok.Kind == TSqlTokenKind::Ident && kw.contains(n.Tok.Text.toUpper());
}

bool IsName(const TNode& n)
{
    if (n.Group)
        return false;
    if (n.Tok.Kind == TSqlTokenKind::QuotedIdent || n.Tok.Kind == TSqlTokenKind::TempName)
        return true;
    return n.Tok.Kind == TSqlTokenKind::Ident && !IsKeyword(n);
}

// The arguments of a call, split at its top-level commas.
QVector<QVector<TNode>> SplitArgs(const QVector<TNode>& kids)
{
    QVector<QVector<TNode>> args(1);
    for (const TNode& k : kids) {
        if (IsKind(k, TSqlTokenKind::Comma))
            args.push_back({});
        else
            args.last().push_back(k);
    }
    return args;
}

QVector<TNode> JoinArgs(const QVector<QVector<TNode>>& args)
{
    QVector<TNode> out;
    for (int i = 0; i < args.size(); ++i) {
        if (i > 0)
            out.push_back(MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()));
        out += args[i];
    }
    return out;
}

QString PlainText(const QVector<TNode>& v)
{
    QString s;
    Emit(v, s);
    return s.simplified().remove(QLatin1Char(' '));
}

QString SqlString(const QString& s)
{
    return QuotedStr(s);
}

// ---- operand boundaries -------------------------------------------------------------

int MatchCaseBackward(const QVector<TNode>& v, int endIdx)
{
    int depth = 0;
    for (int i = endIdx; i >= 0; --i) {
        if (Is(v[i], "end"))
            ++depth;
        else if (Is(v[i], "case") && --depth == 0)
            return i;
    }
    return -1;
}

int MatchCaseForward(const QVector<TNode>& v, int caseIdx)
{
    int depth = 0;
    for (int i = caseIdx; i < v.size(); ++i) {
        if (Is(v[i], "case"))
            ++depth;
        else if (Is(v[i], "end") && --depth == 0)
            return i;
    }
    return -1;
}

int ChainBackward(const QVector<TNode>& v, int s)
{
    while (s >= 2 && IsKind(v[s - 1], TSqlTokenKind::Dot) && IsName(v[s - 2]))
        s -= 2;
    return s;
}

// First index of the primary expression that ends at e, or -1.
int PrimaryStart(const QVector<TNode>& v, int e)
{
    if (e < 0 || e >= v.size())
        return -1;
    const TNode& n = v[e];
    if (n.Group) {
        int s = e;
        if (s >= 1 && IsName(v[s - 1]))
            s = ChainBackward(v, s - 1);
        return s;
    }
    if (Is(n, "end"))
        return MatchCaseBackward(v, e);
    if (Is(n, "null"))
        return e;
    if (IsName(n))
        return ChainBackward(v, e);
    switch (n.Tok.Kind) {
    case TSqlTokenKind::String:
    case TSqlTokenKind::Number:
    case TSqlTokenKind::Param:
    case TSqlTokenKind::Variable:
        return e;
    default:
        return -1;
    }
}

// Last index of the primary expression that starts at s, or -1.
int PrimaryEnd(const QVector<TNode>& v, int s)
{
    if (s < 0 || s >= v.size())
        return -1;
    const TNode& n = v[s];
    if (IsOp(n, "-") || IsOp(n, "+") || IsOp(n, "~"))
        return PrimaryEnd(v, s + 1);
    if (n.Group)
        return s;
    if (Is(n, "case"))
        return MatchCaseForward(v, s);
    if (Is(n, "null"))
        return s;
    if (IsName(n)) {
        int e = s;
        while (e + 2 < v.size() && IsKind(v[e + 1], TSqlTokenKind::Dot) && IsName(v[e + 2]))
            e += 2;
        if (e + 1 < v.size() && v[e + 1].Group)
            ++e;
        return e;
    }
    switch (n.Tok.Kind) {
    case TSqlTokenKind::String:
    case TSqlTokenKind::Number:
    case TSqlTokenKind::Param:
    case TSqlTokenKind::Variable:
        return s;
    default:
        return -1;
    }
}

bool IsMulOp(const TNode& n)
{
    return IsOp(n, "*") || IsOp(n, "/") || IsOp(n, "%");
}

int TermEnd(const QVector<TNode>& v, int s)
{
    int e = PrimaryEnd(v, s);
    while (e >= 0 && e + 2 < v.size() && IsMulOp(v[e + 1])) {
        const int next = PrimaryEnd(v, e + 2);
        if (next < 0)
            break;
        e = next;
    }
    return e;
}

int TermStart(const QVector<TNode>& v, int e)
{
    int s = PrimaryStart(v, e);
    while (s >= 2 && IsMulOp(v[s - 1])) {
        const int prev = PrimaryStart(v, s - 2);
        if (prev < 0)
            break;
        s = prev;
    }
    return s;
}

// The function name of a primary [s..e] that is a call, lower-cased; empty otherwise.
QString CallName(const QVector<TNode>& v, int s, int e)
{
    if (e > s && v[e].Group && IsKind(v[e - 1], TSqlTokenKind::Ident))
        return v[e - 1].Tok.Text.toLower();
    return QString();
}

bool IsCharType(const QString& type)
{
    static const QRegularExpression re(QStringLiteral("^(n?varchar|n?char|n?text|sysname)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(type.trimmed()).hasMatch();
}

bool IsDateType(const QString& type)
{
    static const QRegularExpression re(QStringLiteral("^(datetime|datetime2|smalldatetime|date|time|timestamp)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(type.trimmed()).hasMatch();
}

QString ConvertTypeOf(const TNode& group)
{
    // tb_convert('type', ...) after translation: the first argument is the type literal.
    if (!group.Kids.isEmpty() && IsKind(group.Kids.first(), TSqlTokenKind::String)) {
        QString t = group.Kids.first().Tok.Text;
        return t.mid(1, t.size() - 2);
    }
    return QString();
}

QString CastTypeOf(const TNode& group)
{
    for (int i = group.Kids.size() - 1; i >= 0; --i) {
        if (Is(group.Kids[i], "as"))
            return PlainText(group.Kids.mid(i + 1));
    }
    return QString();
}

bool GroupHasConcat(const TNode& g)
{
    for (const TNode& k : g.Kids) {
        if (IsOp(k, "||"))
            return true;
    }
    return false;
}

bool IsStringPrimary(const QVector<TNode>& v, int s, int e)
{
    if (s < 0 || e < s)
        return false;
    if (s == e && IsKind(v[s], TSqlTokenKind::String))
        return true;
    if (s == e && v[s].Group)
        return GroupHasConcat(v[s]) || (v[s].Kids.size() == 1 && IsKind(v[s].Kids[0], TSqlTokenKind::String));
    const QString fn = CallName(v, s, e);
    if (fn.isEmpty())
        return false;
    static const QSet<QString> textFns = {"substr", "tb_left", "tb_right", "left", "right", "ltrim", "rtrim", "trim", "to_char",
                                          "upper", "lower", "replace", "char", "space", "nchar",
                                          "tb_str"};
    if (textFns.contains(fn))
        return true;
    if (fn == QLatin1String("tb_convert"))
        return IsCharType(ConvertTypeOf(v[e]));
    if (fn == QLatin1String("cast"))
        return IsCharType(CastTypeOf(v[e]));
    if (fn == QLatin1String("ifnull") || fn == QLatin1String("coalesce")) {
        for (const auto& arg : SplitArgs(v[e].Kids)) {
            if (arg.size() == 1 && IsKind(arg[0], TSqlTokenKind::String))
                return true;
        }
    }
    return false;
}

bool IsDatePrimary(const QVector<TNode>& v, int s, int e)
{
    if (s < 0 || e < s)
        return false;
    const QString fn = CallName(v, s, e);
    if (!fn.isEmpty()) {
        if (fn == QLatin1String("dateadd"))
            return true;
        if (fn == QLatin1String("datetime") || fn == QLatin1String("date"))
            return true;
        if (fn == QLatin1String("tb_convert"))
            return IsDateType(ConvertTypeOf(v[e]));
        if (fn == QLatin1String("cast") || fn == QLatin1String("localtimestamp"))
            return fn == QLatin1String("localtimestamp") || IsDateType(CastTypeOf(v[e]));
        return false;
    }
    if (s == e && v[s].Group && v[s].Kids.size() >= 1) {
        const int ke = v[s].Kids.size() - 1;
        const int ks = PrimaryStart(v[s].Kids, ke);
        return ks == 0 && IsDatePrimary(v[s].Kids, ks, ke);
    }
    if (IsName(v[e]) && v[e].Tok.Kind == TSqlTokenKind::Ident) {
        static const QRegularExpression re(QStringLiteral("(date|time)$"), QRegularExpression::CaseInsensitiveOption);
        return re.match(v[e].Tok.Text).hasMatch();
    }
    return false;
}

QVector<TNode> Slice(const QVector<TNode>& v, int s, int e)
{
    QVector<TNode> out = v.mid(s, e - s + 1);
    if (!out.isEmpty())
        out.first().Tok.Pre.clear();
    return out;
}

// ---- the rules ----------------------------------------------------------------------

void RewriteNames(QVector<TNode>& v)
{
    for (int i = 0; i < v.size(); ++i) {
        TNode& n = v[i];
        if (n.Group) {
            continue;
        }
        if (Is(n, "dbo") && i + 2 < v.size() && IsKind(v[i + 1], TSqlTokenKind::Dot) && IsName(v[i + 2])) {
            v[i + 2].Tok.Pre = n.Tok.Pre;
            v.remove(i, 2);
            --i;
            continue;
        }
        if (n.Tok.Kind == TSqlTokenKind::QuotedIdent && n.Tok.Text.startsWith(QLatin1Char('['))) {
            QString inner = n.Tok.Text.mid(1, n.Tok.Text.size() - (n.Tok.Text.endsWith(QLatin1Char(']')) ? 2 : 1));
            // PostgreSQL keeps the case of quoted names; the schema's names are lower case.
            if (ForPostgres())
                inner = inner.toLower();
            inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
            n.Tok.Text = QLatin1Char('"') + inner + QLatin1Char('"');
        } else if (n.Tok.Kind == TSqlTokenKind::TempName) {
            n.Tok.Text = QLatin1Char('"') + n.Tok.Text + QLatin1Char('"');
        } else if (ForPostgres() && Is(n, "collate") && i + 1 < v.size() && IsKind(v[i + 1], TSqlTokenKind::Ident)) {
            // the server's collations name nothing PostgreSQL has: the column's own applies
            v.remove(i, 2);
            --i;
        } else if (Is(n, "collate") && i + 1 < v.size() && IsKind(v[i + 1], TSqlTokenKind::Ident)) {
            QString& name = v[i + 1].Tok.Text;
            const QString up = name.toUpper();
            if (up != QLatin1String("BINARY") && up != QLatin1String("NOCASE") && up != QLatin1String("RTRIM"))
                name = up.contains(QLatin1String("_CI")) ? QStringLiteral("NOCASE") : QStringLiteral("BINARY");
        } else if (n.Tok.Kind == TSqlTokenKind::Operator && n.Tok.Text == QLatin1String("!<")) {
            n.Tok.Text = QStringLiteral(">=");
        } else if (n.Tok.Kind == TSqlTokenKind::Operator && n.Tok.Text == QLatin1String("!>")) {
            n.Tok.Text = QStringLiteral("<=");
        }
    }
    // Table hints: "with (nolock)" and the bare "(nolock)" after a table name.
    static const QSet<QString> hints = {"NOLOCK", "READUNCOMMITTED", "ROWLOCK", "UPDLOCK", "HOLDLOCK",
                                        "READPAST", "TABLOCK", "TABLOCKX", "PAGLOCK", "XLOCK", "NOWAIT"};
    auto isHintGroup = [&](const TNode& g) {
        if (!g.Group || g.Kids.isEmpty())
            return false;
        for (const TNode& k : g.Kids) {
            if (IsKind(k, TSqlTokenKind::Comma))
                continue;
            if (!IsKind(k, TSqlTokenKind::Ident) || !hints.contains(k.Tok.Text.toUpper()))
                return false;
        }
        return true;
    };
    for (int i = 0; i < v.size(); ++i) {
        if (!isHintGroup(v[i]))
            continue;
        if (i >= 1 && Is(v[i - 1], "with")) {
            v.remove(i - 1, 2);
            i -= 2;
        } else if (i >= 1 && IsName(v[i - 1])) {
            v.remove(i);
            --i;
        }
    }
}

// The PostgreSQL type for a type of the server's dialect.
QString PgType(const QString& type)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([a-z0-9_]+)\\s*(\\(.*\\))?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(type);
    if (!m.hasMatch())
        return type;
    const QString base = m.captured(1).toLower();
    const QString size = m.captured(2);
    if (base == QLatin1String("datetime") || base == QLatin1String("datetime2") || base == QLatin1String("smalldatetime"))
        return QStringLiteral("timestamp(0)");
    if (base == QLatin1String("money") || base == QLatin1String("smallmoney"))
        return QStringLiteral("numeric(19,4)");
    if (base == QLatin1String("decimal") || base == QLatin1String("numeric"))
        return QStringLiteral("numeric") + size;
    if (base == QLatin1String("int") || base == QLatin1String("integer"))
        return QStringLiteral("integer");
    if (base == QLatin1String("bit") || base == QLatin1String("tinyint"))
        return QStringLiteral("smallint");
    if (base == QLatin1String("float") || base == QLatin1String("real"))
        return QStringLiteral("double precision");
    if (base == QLatin1String("nvarchar") || base == QLatin1String("sysname"))
        return QStringLiteral("varchar") + size;
    if (base == QLatin1String("nchar"))
        return QStringLiteral("char") + size;
    if (base == QLatin1String("ntext"))
        return QStringLiteral("text");
    if (base == QLatin1String("varchar") && size.contains(QLatin1String("max"), Qt::CaseInsensitive))
        return QStringLiteral("text");
    return base + size;
}

// The to_char picture of a convert style on a date (0: not a date style we know).
QString DateStylePicture(int style)
{
    switch (style) {
    case 120:
    case 20:
    case 121:
    case 21:
    case 23:
        return QStringLiteral("YYYY-MM-DD HH24:MI:SS");
    case 112:
        return QStringLiteral("YYYYMMDD");
    case 111:
        return QStringLiteral("YYYY/MM/DD");
    case 102:
        return QStringLiteral("YYYY.MM.DD");
    case 108:
    case 8:
        return QStringLiteral("HH24:MI:SS");
    default:
        return QString();
    }
}

QVector<TNode> CastOf(const QVector<TNode>& expr, const QString& type)
{
    QVector<TNode> kids = expr;
    if (!kids.isEmpty())
        kids.first().Tok.Pre.clear();
    kids.push_back(MakeIdent(QStringLiteral("as")));
    kids.push_back(MakeIdent(type));
    return kids;
}

// PostgreSQL has most of the server's functions under their own names or close ones; true
// when the call was rewritten here.
bool RewritePgFunction(const QString& name, TNode& fn, TNode& args)
{
    if (name == QLatin1String("isnull")) {
        fn.Tok.Text = QStringLiteral("coalesce");
    } else if (name == QLatin1String("getdate") || name == QLatin1String("sysdatetime")
               || name == QLatin1String("current_timestamp")) {
        fn.Tok.Text = QStringLiteral("localtimestamp");
        args.Kids = {MakeTok(TSqlTokenKind::Number, QStringLiteral("0"), QString())};
    } else if (name == QLatin1String("ceiling") || name == QLatin1String("left") || name == QLatin1String("right")) {
        // PostgreSQL's own
    } else if (name == QLatin1String("datalength")) {
        fn.Tok.Text = QStringLiteral("octet_length");
    } else if (name == QLatin1String("convert")) {
        auto parts = SplitArgs(args.Kids);
        if (parts.size() < 2)
            return false;
        const QString type = PlainText(parts[0]);
        const QString picture = parts.size() >= 3 ? DateStylePicture(PlainText(parts[2]).toInt()) : QString();
        if (IsCharType(type) && !picture.isEmpty()) {
            // convert(varchar(10), d, 120): the first characters of the date in that style
            QVector<TNode> date = {MakeIdent(QStringLiteral("cast"), QString()),
                                   MakeGroup(CastOf(parts[1], QStringLiteral("timestamp")))};
            QVector<TNode> toChar = {MakeIdent(QStringLiteral("to_char"), QString()),
                                     MakeGroup(date + QVector<TNode>{MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()),
                                                                     MakeTok(TSqlTokenKind::String, SqlString(picture))})};
            fn.Tok.Text = QStringLiteral("cast");
            args.Kids = CastOf(toChar, PgType(type));
        } else {
            fn.Tok.Text = QStringLiteral("cast");
            args.Kids = CastOf(parts[1], PgType(type));
        }
    } else if (name == QLatin1String("cast")) {
        for (int k = args.Kids.size() - 1; k > 0; --k) {
            if (Is(args.Kids[k], "as")) {
                const QString type = PlainText(args.Kids.mid(k + 1));
                args.Kids = CastOf(args.Kids.mid(0, k), PgType(type));
                break;
            }
        }
    } else {
        return false;
    }
    return true;
}

void RewriteFunctions(QVector<TNode>& v)
{
    for (int i = 0; i + 1 < v.size(); ++i) {
        if (!IsKind(v[i], TSqlTokenKind::Ident) || !v[i + 1].Group)
            continue;
        if (i >= 1 && IsKind(v[i - 1], TSqlTokenKind::Dot))
            continue; // a qualified name is not one of the server's built-ins
        TNode& fn = v[i];
        TNode& args = v[i + 1];
        const QString name = fn.Tok.Text.toLower();
        if (ForPostgres() && RewritePgFunction(name, fn, args)) {
            continue;
        } else if (name == QLatin1String("isnull")) {
            fn.Tok.Text = QStringLiteral("ifnull");
        } else if (name == QLatin1String("getdate") || name == QLatin1String("sysdatetime")
                   || name == QLatin1String("current_timestamp")) {
            fn.Tok.Text = QStringLiteral("datetime");
            args.Kids = {MakeTok(TSqlTokenKind::String, QStringLiteral("'now'"), QString()),
                         MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()),
                         MakeTok(TSqlTokenKind::String, QStringLiteral("'localtime'"), QString())};
        } else if (name == QLatin1String("substring")) {
            fn.Tok.Text = QStringLiteral("substr");
        } else if (name == QLatin1String("left") || name == QLatin1String("right")) {
            // Only a call: "left join" has no parenthesis right after the word.
            fn.Tok.Text = QLatin1String("tb_") + name;
        } else if (name == QLatin1String("str")) {
            fn.Tok.Text = QStringLiteral("tb_str");
        } else if (name == QLatin1String("ceiling")) {
            fn.Tok.Text = QStringLiteral("tb_ceiling");
        } else if (name == QLatin1String("datalength")) {
            fn.Tok.Text = QStringLiteral("length");
        } else if (name == QLatin1String("datediff") || name == QLatin1String("dateadd")
                   || name == QLatin1String("datepart") || name == QLatin1String("datename")) {
            // The date part is a bare word in the server's dialect; here it is a text argument.
            auto parts = SplitArgs(args.Kids);
            if (!parts.isEmpty() && parts[0].size() == 1 && IsKind(parts[0][0], TSqlTokenKind::Ident)) {
                const QString pre = parts[0][0].Tok.Pre;
                parts[0][0] = MakeTok(TSqlTokenKind::String, SqlString(parts[0][0].Tok.Text.toLower()), pre);
                args.Kids = JoinArgs(parts);
            }
            if (name == QLatin1String("datename"))
                fn.Tok.Text = QStringLiteral("datepart");
        } else if (name == QLatin1String("convert")) {
            auto parts = SplitArgs(args.Kids);
            if (parts.size() >= 2) {
                const QString type = PlainText(parts[0]);
                parts[0] = {MakeTok(TSqlTokenKind::String, SqlString(type.toLower()), QString())};
                fn.Tok.Text = QStringLiteral("tb_convert");
                args.Kids = JoinArgs(parts);
            }
        } else if (name == QLatin1String("cast")) {
            int asIdx = -1;
            for (int k = args.Kids.size() - 1; k >= 0; --k) {
                if (Is(args.Kids[k], "as")) {
                    asIdx = k;
                    break;
                }
            }
            if (asIdx > 0) {
                const QString type = PlainText(args.Kids.mid(asIdx + 1));
                if (IsDateType(type)) {
                    // SQLite would turn a date text into a number; keep it as date text.
                    QVector<TNode> expr = args.Kids.mid(0, asIdx);
                    QVector<TNode> kids = {MakeTok(TSqlTokenKind::String, SqlString(type.toLower()), QString()),
                                           MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString())};
                    kids += expr;
                    fn.Tok.Text = QStringLiteral("tb_convert");
                    args.Kids = kids;
                }
            }
        }
    }
}

void RewriteTop(QVector<TNode>& v)
{
    for (int i = 0; i < v.size(); ++i) {
        if (!Is(v[i], "select"))
            continue;
        int j = i + 1;
        if (j < v.size() && (Is(v[j], "distinct") || Is(v[j], "all")))
            ++j;
        if (j + 1 >= v.size() || !Is(v[j], "top"))
            continue;
        const TNode& count = v[j + 1];
        if (!(count.Group || IsKind(count, TSqlTokenKind::Number) || IsKind(count, TSqlTokenKind::Param)
              || IsKind(count, TSqlTokenKind::Variable)))
            continue;
        TNode countNode = count;
        countNode.Tok.Pre = QStringLiteral(" ");
        v.remove(j, 2);
        if (j < v.size() && Is(v[j], "percent"))
            v.remove(j);
        int end = j;
        while (end < v.size() && !IsKind(v[end], TSqlTokenKind::Semicolon))
            ++end;
        v.insert(end, countNode);
        v.insert(end, MakeIdent(QStringLiteral("LIMIT")));
    }
}

void RewriteArithmetic(QVector<TNode>& v)
{
    for (int i = 1; i + 1 < v.size(); ++i) {
        const bool plus = IsOp(v[i], "+");
        const bool minus = IsOp(v[i], "-");
        if (!plus && !minus)
            continue;
        const int ls = PrimaryStart(v, i - 1);
        const int re = PrimaryEnd(v, i + 1);
        if (ls < 0 || re < 0)
            continue; // unary, or an operand this rule cannot see
        const bool leftText = IsStringPrimary(v, ls, i - 1) || (ls >= 1 && IsOp(v[ls - 1], "||"));
        const bool rightText = IsStringPrimary(v, i + 1, re);
        if (plus && (leftText || rightText)) {
            v[i].Tok.Text = QStringLiteral("||");
            continue;
        }
        if (leftText || rightText)
            continue;
        const bool leftDate = IsDatePrimary(v, ls, i - 1) && !(ls >= 1 && IsMulOp(v[ls - 1]));
        const int rt = TermEnd(v, i + 1);
        const bool rightDate = IsDatePrimary(v, i + 1, re) && rt == re;
        if (leftDate && !rightDate) {
            // date +/- days
            QVector<TNode> days = Slice(v, i + 1, rt);
            if (minus) {
                TNode g = MakeGroup(days, QString());
                days = {MakeTok(TSqlTokenKind::Operator, QStringLiteral("-"), QString()), g};
            }
            QVector<TNode> kids = {MakeTok(TSqlTokenKind::String, QStringLiteral("'day'"), QString()),
                                   MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString())};
            kids += days;
            kids.push_back(MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()));
            kids += Slice(v, ls, i - 1);
            const QString pre = v[ls].Tok.Pre;
            v.remove(ls, rt - ls + 1);
            v.insert(ls, MakeGroup(kids));
            v.insert(ls, MakeIdent(QStringLiteral("dateadd"), pre));
            i = ls;
        } else if (leftDate && rightDate && minus) {
            QVector<TNode> kids = {MakeTok(TSqlTokenKind::String, QStringLiteral("'day'"), QString()),
                                   MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString())};
            kids += Slice(v, i + 1, re);
            kids.push_back(MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()));
            kids += Slice(v, ls, i - 1);
            const QString pre = v[ls].Tok.Pre;
            v.remove(ls, re - ls + 1);
            v.insert(ls, MakeGroup(kids));
            v.insert(ls, MakeIdent(QStringLiteral("datediff"), pre));
            i = ls;
        } else if (rightDate && !leftDate && plus) {
            const int lts = TermStart(v, i - 1);
            if (lts < 0 || (lts >= 1 && (IsOp(v[lts - 1], "-") || IsMulOp(v[lts - 1]))))
                continue;
            QVector<TNode> kids = {MakeTok(TSqlTokenKind::String, QStringLiteral("'day'"), QString()),
                                   MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString())};
            kids += Slice(v, lts, i - 1);
            kids.push_back(MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()));
            kids += Slice(v, i + 1, re);
            const QString pre = v[lts].Tok.Pre;
            v.remove(lts, re - lts + 1);
            v.insert(lts, MakeGroup(kids));
            v.insert(lts, MakeIdent(QStringLiteral("dateadd"), pre));
            i = lts;
        }
    }
}

// "from a, b join c on c.x = a.x": PostgreSQL lets a join's condition see only the tables of
// that join, so the listed tables are joined explicitly first.
void RewriteCommaJoins(QVector<TNode>& v)
{
    static const char* const ends[] = {"where", "group", "order", "having", "union", "except", "intersect", "limit"};
    for (int i = 0; i < v.size(); ++i) {
        if (!Is(v[i], "from"))
            continue;
        int end = i + 1;
        bool hasJoin = false;
        QVector<int> commas;
        for (; end < v.size(); ++end) {
            if (IsKind(v[end], TSqlTokenKind::Semicolon)
                || std::any_of(std::begin(ends), std::end(ends), [&](const char* w) { return Is(v[end], w); }))
                break;
            if (Is(v[end], "join"))
                hasJoin = true;
            else if (IsKind(v[end], TSqlTokenKind::Comma))
                commas.push_back(end);
        }
        if (hasJoin)
            for (int c : commas)
                v[c] = MakeIdent(QStringLiteral("cross join"));
        i = end - 1;
    }
}

// "(A = p1 and ...) or (A > p2)", the step to the next row in (A, ...) order: PostgreSQL
// reads it through no index range, so the group gets "and A >= least(p1, p2)" ("<" and
// greatest for the step back), a bound every row of the group meets. The parameters take A's
// type from the comparisons before it.
void AddStepRange(TNode& g)
{
    const QVector<TNode>& k = g.Kids;
    if (k.size() != 3 || !Is(k[1], "or") || !k[0].Group || !k[2].Group)
        return;
    const auto comparison = [](const QVector<TNode>& v, int* opAt) {
        int i = 0;
        while (i < v.size() && (IsName(v[i]) || IsKind(v[i], TSqlTokenKind::Dot)))
            ++i;
        *opAt = i;
        return i > 0 && i + 1 < v.size() && IsKind(v[i], TSqlTokenKind::Operator) && !v[i + 1].Group;
    };
    int firstOp = 0;
    const bool eqFirst = comparison(k[0].Kids, &firstOp) && IsOp(k[0].Kids[firstOp], "=");
    const QVector<TNode>& eq = eqFirst ? k[0].Kids : k[2].Kids;
    const QVector<TNode>& past = eqFirst ? k[2].Kids : k[0].Kids;
    int eqOp = 0, pastOp = 0;
    if (!comparison(eq, &eqOp) || !comparison(past, &pastOp) || !IsOp(eq[eqOp], "=") || eqOp + 2 >= eq.size()
        || !Is(eq[eqOp + 2], "and") || pastOp + 2 != past.size() || !(IsOp(past[pastOp], ">") || IsOp(past[pastOp], "<")))
        return;
    for (const TNode& n : eq)
        if (Is(n, "or"))
            return;
    const QVector<TNode> column = Slice(eq, 0, eqOp - 1);
    if (PlainText(column).compare(PlainText(Slice(past, 0, pastOp - 1)), Qt::CaseInsensitive) != 0)
        return;
    const TNode& p1 = eq[eqOp + 1];
    const TNode& p2 = past[pastOp + 1];
    const bool after = IsOp(past[pastOp], ">");
    QVector<TNode> bound;
    if (p1.Tok.Text == p2.Tok.Text) {
        bound << p1;
        bound.first().Tok.Pre = QStringLiteral(" ");
    } else if (IsKind(p1, TSqlTokenKind::Param) && IsKind(p2, TSqlTokenKind::Param)) {
        TNode a = p1, b = p2;
        a.Tok.Pre.clear();
        b.Tok.Pre = QStringLiteral(" ");
        bound << MakeIdent(after ? QStringLiteral("least") : QStringLiteral("greatest"))
              << MakeGroup({a, MakeTok(TSqlTokenKind::Comma, QStringLiteral(","), QString()), b}, QString());
    } else {
        return;
    }
    QVector<TNode> kids{MakeGroup(k, k[0].Tok.Pre), MakeIdent(QStringLiteral("and"))};
    for (int i = 0; i < column.size(); ++i) {
        kids << column[i];
        if (i == 0)
            kids.last().Tok.Pre = QStringLiteral(" ");
    }
    kids << MakeTok(TSqlTokenKind::Operator, after ? QStringLiteral(">=") : QStringLiteral("<=")) << bound;
    kids.first().Kids.first().Tok.Pre.clear();
    g.Kids = kids;
}

void ProcessLevel(QVector<TNode>& v)
{
    for (TNode& n : v) {
        if (n.Group)
            ProcessLevel(n.Kids);
    }
    RewriteNames(v);
    RewriteFunctions(v);
    RewriteTop(v);
    RewriteArithmetic(v);
    if (ForPostgres()) {
        RewriteCommaJoins(v);
        for (TNode& n : v)
            if (n.Group)
                AddStepRange(n);
    }
}

// ---- statement-level rules (top level only) ----------------------------------------

// The server runs batches whose statements follow each other without ';'.
void SeparateStatements(QVector<TNode>& v)
{
    for (int i = 1; i < v.size(); ++i) {
        if (!(Is(v[i], "create") || Is(v[i], "drop") || Is(v[i], "if")))
            continue;
        if (IsKind(v[i - 1], TSqlTokenKind::Semicolon))
            continue;
        if (Is(v[i], "drop") && i >= 2 && v[i - 1].Group && Is(v[i - 2], "exists") && i >= 3 && Is(v[i - 3], "if"))
            continue; // "if exists (...) drop table": one statement
        v.insert(i, MakeTok(TSqlTokenKind::Semicolon, QStringLiteral(";"), QString()));
        ++i;
    }
}

QString RowIdName()
{
    return ForPostgres() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

void RewriteUpdateFrom(QVector<TNode>& st)
{
    if (st.size() < 4 || !Is(st[0], "update") || !IsName(st[1]))
        return;
    int setIdx = -1, fromIdx = -1, whereIdx = -1;
    for (int i = 2; i < st.size(); ++i) {
        if (setIdx < 0 && Is(st[i], "set"))
            setIdx = i;
        else if (setIdx >= 0 && fromIdx < 0 && Is(st[i], "from"))
            fromIdx = i;
        else if (fromIdx >= 0 && whereIdx < 0 && Is(st[i], "where"))
            whereIdx = i;
    }
    if (setIdx < 0)
        return;
    // Assignment targets cannot be qualified: "set d.x = 1" -> "set x = 1".
    const int setEnd = fromIdx >= 0 ? fromIdx : (whereIdx >= 0 ? whereIdx : st.size());
    for (int i = setIdx + 1; i + 2 < setEnd; ++i) {
        const bool atTarget = Is(st[i - 1], "set") || IsKind(st[i - 1], TSqlTokenKind::Comma);
        if (atTarget && IsName(st[i]) && IsKind(st[i + 1], TSqlTokenKind::Dot) && IsName(st[i + 2])) {
            st[i + 2].Tok.Pre = st[i].Tok.Pre;
            st.remove(i, 2);
        }
    }
    if (fromIdx < 0)
        return;
    // Recompute positions after the removals.
    fromIdx = whereIdx = -1;
    for (int i = setIdx + 1; i < st.size(); ++i) {
        if (fromIdx < 0 && Is(st[i], "from"))
            fromIdx = i;
        else if (fromIdx >= 0 && whereIdx < 0 && Is(st[i], "where"))
            whereIdx = i;
    }
    const QString target = st[1].Tok.Text;
    const int fromEnd = whereIdx >= 0 ? whereIdx : st.size();
    QString alias;
    for (int i = fromIdx + 1; i < fromEnd; ++i) {
        if (!IsName(st[i]) || st[i].Tok.Text.compare(target, Qt::CaseInsensitive) != 0)
            continue;
        if (IsKind(st[i - 1], TSqlTokenKind::Dot) || (i + 1 < fromEnd && IsKind(st[i + 1], TSqlTokenKind::Dot)))
            continue;
        int a = i + 1;
        if (a < fromEnd && Is(st[a], "as"))
            ++a;
        alias = (a < fromEnd && IsName(st[a])) ? st[a].Tok.Text : target;
        break;
    }
    if (alias.isEmpty())
        return; // the engines' own UPDATE ... FROM fits when the target is not listed again
    // The target is listed in FROM under an alias: select the rows to change by rowid.
    for (int i = setIdx + 1; i + 2 < fromIdx; ++i) {
        if (IsName(st[i]) && st[i].Tok.Text.compare(alias, Qt::CaseInsensitive) == 0
            && IsKind(st[i + 1], TSqlTokenKind::Dot))
            st[i].Tok.Text = target;
    }
    QVector<TNode> sub;
    sub.push_back(MakeIdent(QStringLiteral("select"), QString()));
    sub.push_back(MakeIdent(alias));
    sub.push_back(MakeTok(TSqlTokenKind::Dot, QStringLiteral("."), QString()));
    sub.push_back(MakeIdent(RowIdName(), QString()));
    sub += st.mid(fromIdx, st.size() - fromIdx);
    QVector<TNode> out = st.mid(0, fromIdx);
    out.push_back(MakeIdent(QStringLiteral("where")));
    out.push_back(MakeIdent(RowIdName()));
    out.push_back(MakeIdent(QStringLiteral("in")));
    out.push_back(MakeGroup(sub, QStringLiteral(" ")));
    st = out;
}

void RewriteStatement(QVector<TNode>& st)
{
    if (st.isEmpty())
        return;
    // if exists (...) drop table X  ->  drop table if exists X
    if (st.size() >= 5 && Is(st[0], "if") && Is(st[1], "exists") && st[2].Group && Is(st[3], "drop")
        && Is(st[4], "table")) {
        const QString pre = st[0].Tok.Pre;
        st.remove(0, 3);
        st[0].Tok.Pre = pre;
        st.insert(2, MakeIdent(QStringLiteral("exists")));
        st.insert(2, MakeIdent(QStringLiteral("if")));
    }
    if (st.size() >= 3 && Is(st[0], "create") && Is(st[1], "table") && st[2].Tok.Text.startsWith(QLatin1String("\"#")))
        st.insert(1, MakeIdent(QStringLiteral("temp")));
    if (st.size() >= 2 && Is(st[0], "delete") && IsName(st[1]))
        st.insert(1, MakeIdent(QStringLiteral("from")));
    RewriteUpdateFrom(st);
}

} // namespace

QString TranslateSql(const QString& sql, TSqlEngine engine)
{
    t_Engine = engine;
    QString trailing;
    QVector<TNode> tree = BuildTree(TokenizeSql(sql, &trailing));
    ProcessLevel(tree);
    SeparateStatements(tree);
    QVector<TNode> out;
    QVector<TNode> st;
    for (const TNode& n : tree) {
        if (IsKind(n, TSqlTokenKind::Semicolon)) {
            RewriteStatement(st);
            out += st;
            out.push_back(n);
            st.clear();
        } else {
            st.push_back(n);
        }
    }
    RewriteStatement(st);
    out += st;
    QString text;
    Emit(out, text);
    return text + trailing;
}

QString QuotedStr(const QString& s)
{
    QString r = s;
    r.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + r + QLatin1Char('\'');
}
