#include "webrpc/SqlTokenizer.h"

namespace {

bool IsIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c.unicode() > 0x7f;
}

bool IsIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() > 0x7f;
}

// Index just past a quoted run that starts at i with quote q; a doubled quote is an escape.
int SkipQuoted(const QString& s, int i, QChar q)
{
    const int n = s.size();
    ++i;
    while (i < n) {
        if (s[i] == q) {
            if (i + 1 < n && s[i + 1] == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

} // namespace

QVector<TSqlToken> TokenizeSql(const QString& sql, QString* trailing)
{
    QVector<TSqlToken> out;
    const int n = sql.size();
    int i = 0;
    QString pre;
    auto push = [&](TSqlTokenKind k, int from, int to) {
        TSqlToken t;
        t.Kind = k;
        t.Text = sql.mid(from, to - from);
        t.Pre = pre;
        pre.clear();
        out.push_back(t);
    };
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c.isSpace()) {
            pre += c;
            ++i;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
            pre += QLatin1Char(' ');
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const int end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            pre += QLatin1Char(' ');
        } else if (c == QLatin1Char('\'')) {
            const int e = SkipQuoted(sql, i, c);
            push(TSqlTokenKind::String, i, e);
            i = e;
        } else if ((c == QLatin1Char('N') || c == QLatin1Char('n')) && next == QLatin1Char('\'')) {
            const int e = SkipQuoted(sql, i + 1, next);
            push(TSqlTokenKind::String, i + 1, e);
            out.back().WasNational = true;
            i = e;
        } else if (c == QLatin1Char('"')) {
            const int e = SkipQuoted(sql, i, c);
            push(TSqlTokenKind::QuotedIdent, i, e);
            i = e;
        } else if (c == QLatin1Char('[')) {
            int e = sql.indexOf(QLatin1Char(']'), i + 1);
            e = e < 0 ? n : e + 1;
            push(TSqlTokenKind::QuotedIdent, i, e);
            i = e;
        } else if (c == QLatin1Char(':') && next == QLatin1Char('\'')) {
            const int e = SkipQuoted(sql, i + 1, next);
            push(TSqlTokenKind::Param, i, e);
            i = e;
        } else if (c == QLatin1Char(':') && i + 1 < n && IsIdentStart(next)) {
            int e = i + 1;
            while (e < n && IsIdentPart(sql[e]))
                ++e;
            push(TSqlTokenKind::Param, i, e);
            i = e;
        } else if ((c == QLatin1Char('@') || c == QLatin1Char('#')) && i + 1 < n
                   && (IsIdentPart(next) || next == c)) {
            int e = i + 1;
            while (e < n && (IsIdentPart(sql[e]) || sql[e] == c))
                ++e;
            push(c == QLatin1Char('@') ? TSqlTokenKind::Variable : TSqlTokenKind::TempName, i, e);
            i = e;
        } else if (c.isDigit() || (c == QLatin1Char('.') && next.isDigit())) {
            int e = i;
            while (e < n && sql[e].isDigit())
                ++e;
            if (e < n && sql[e] == QLatin1Char('.')) {
                ++e;
                while (e < n && sql[e].isDigit())
                    ++e;
            }
            if (e < n && (sql[e] == QLatin1Char('e') || sql[e] == QLatin1Char('E'))) {
                int f = e + 1;
                if (f < n && (sql[f] == QLatin1Char('+') || sql[f] == QLatin1Char('-')))
                    ++f;
                if (f < n && sql[f].isDigit()) {
                    while (f < n && sql[f].isDigit())
                        ++f;
                    e = f;
                }
            }
            push(TSqlTokenKind::Number, i, e);
            i = e;
        } else if (IsIdentStart(c)) {
            int e = i + 1;
            while (e < n && IsIdentPart(sql[e]))
                ++e;
            push(TSqlTokenKind::Ident, i, e);
            i = e;
        } else if (c == QLatin1Char(',')) {
            push(TSqlTokenKind::Comma, i, i + 1);
            ++i;
        } else if (c == QLatin1Char('.')) {
            push(TSqlTokenKind::Dot, i, i + 1);
            ++i;
        } else if (c == QLatin1Char(';')) {
            push(TSqlTokenKind::Semicolon, i, i + 1);
            ++i;
        } else if (c == QLatin1Char('(')) {
            push(TSqlTokenKind::OpenParen, i, i + 1);
            ++i;
        } else if (c == QLatin1Char(')')) {
            push(TSqlTokenKind::CloseParen, i, i + 1);
            ++i;
        } else if (c == QLatin1Char('?')) {
            push(TSqlTokenKind::Variable, i, i + 1);
            ++i;
        } else {
            static const char* const two[] = {"<>", "!=", "<=", ">=", "||", "!<", "!>", "==", "<<", ">>"};
            int len = 1;
            for (const char* op : two) {
                if (sql.mid(i, 2) == QLatin1String(op)) {
                    len = 2;
                    break;
                }
            }
            const bool isOp = QStringLiteral("+-*/%=<>!|&^~").contains(c);
            push(isOp ? TSqlTokenKind::Operator : TSqlTokenKind::Other, i, i + len);
            i += len;
        }
    }
    if (trailing)
        *trailing = pre;
    return out;
}
