// In-memory client dataset.
//
// XML formats
// ===========
// Data packet (XMLData, LoadFromXMLString, BuildDataPacketXML, RecordsetFromXMLString):
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <DATAPACKET Version="2.0">
//     <METADATA><FIELDS>
//       <FIELD attrname="goodsname" fieldtype="string" WIDTH="40" required="true"/>
//       <FIELD attrname="qty x" fieldtype="float" tag="_f1"/>
//       <FIELD attrname="total" fieldtype="currency" calculated="true"/>
//     </FIELDS></METADATA>
//     <ROWDATA>
//       <ROW goodsname="绿茶" _f1="2.5"/>
//     </ROWDATA>
//   </DATAPACKET>
//
//   - fieldtype is one of integer, float, currency, string, boolean, datetime, blob.
//   - WIDTH (string size) and required/calculated ("true") are written only when set.
//   - A row stores each value in an attribute named after its field. A field name that is
//     not a valid XML name gets a generated attribute name, given in the FIELD's "tag".
//   - An absent attribute is NULL; an attribute present with "" is the empty string.
//   - Values: integers in decimal; float and currency in the shortest exact decimal form
//     with "." as separator; booleans "true"/"false"; datetimes "yyyy-MM-ddThh:mm:ss"
//     (local time, whole seconds); blobs in base64; strings as they are (UTF-8 document).
//   - Calculated fields appear in METADATA only; their values are never stored.
//
// Delta packet (GetDeltaXML, ParseDeltaXML): pending changes of a dataset.
//
//   <DELTAPACKET Version="2.0">
//     <METADATA><FIELDS> ...data fields only, as above... </FIELDS></METADATA>
//     <ROWDATA>
//       <ROW RowState="deleted"><OLD id="3" name="旧"/><NEW id="3" name="旧"/></ROW>
//       <ROW RowState="modified"><OLD id="4" name="a"/><NEW id="4" name=""/></ROW>
//       <ROW RowState="inserted"><NEW id="9" name="新"/></ROW>
//     </ROWDATA>
//   </DELTAPACKET>
//
//   - OLD holds the values as loaded (or last merged); NEW the values now (for a deleted
//     row: its values when it was deleted). Inserted rows have no OLD.
//   - Deleted rows come first so that a server applying the delta in order frees unique
//     keys before inserts reuse them; modified and inserted rows follow in row order.
//   - NULL and empty string are told apart exactly as in the data packet.
//
// Compact encoding: the same packets and deltas in the length-prefixed text described in
// DataSet.h (TCompactWriter). Readers tell the encodings apart by their first characters.
#include "platform/DataSet.h"

#include "platform/TextRules.h"

#include <QByteArray>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <cmath>
#include <mutex>

// ---------------------------------------------------------------- small helpers

static inline bool IsNullV(const QVariant& v) { return !v.isValid() || v.isNull(); }

static const char* const kTypeNames[] = {"integer", "float", "currency", "string", "boolean", "datetime", "blob"};

QString FieldTypeName(TFieldType t) { return QString::fromLatin1(kTypeNames[int(t)]); }

TFieldType FieldTypeFromName(const QString& s)
{
    const QString l = s.trimmed().toLower();
    for (int i = 0; i < 7; ++i)
        if (l == QLatin1String(kTypeNames[i])) return TFieldType(i);
    throw EConvertError(QStringLiteral("未知的字段类型 '%1'").arg(s));
}

static double RoundCurrency(double v)
{
    const double r = v * 10000.0;
    return std::round(r + (r >= 0 ? 1e-7 : -1e-7)) / 10000.0;
}

static QString FloatText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

static QString DateTimeText(const QDateTime& dt)
{
    if (dt.time() == QTime(0, 0)) return dt.toString(QStringLiteral("yyyy-MM-dd"));
    return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

static QDateTime TruncSeconds(const QDateTime& dt)
{
    if (!dt.isValid()) return dt;
    const QTime t = dt.time();
    if (t.msec() == 0) return dt;
    return QDateTime(dt.date(), QTime(t.hour(), t.minute(), t.second()));
}

static inline int Digit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9' ? c.unicode() - '0' : -1; }

// Fast path for "yyyy-MM-ddThh:mm:ss" / "yyyy-MM-dd hh:mm:ss" / "yyyy-MM-dd".
static QDateTime ParseDateTimeText(QStringView s)
{
    auto num = [&](int from, int len, bool& ok) {
        int v = 0;
        for (int i = from; i < from + len; ++i) {
            const int d = Digit(s[i]);
            if (d < 0) { ok = false; return 0; }
            v = v * 10 + d;
        }
        return v;
    };
    const int n = int(s.size());
    if ((n == 10 || n == 19) && (s[4] == u'-' || s[4] == u'/') && s[7] == s[4]) {
        bool ok = true;
        const int y = num(0, 4, ok), m = num(5, 2, ok), d = num(8, 2, ok);
        int h = 0, mi = 0, se = 0;
        if (n == 19) {
            if ((s[10] != u'T' && s[10] != u' ') || s[13] != u':' || s[16] != u':') ok = false;
            h = num(11, 2, ok); mi = num(14, 2, ok); se = num(17, 2, ok);
        }
        if (ok) {
            const QDate date(y, m, d);
            const QTime time(h, mi, se);
            if (date.isValid() && time.isValid()) return QDateTime(date, time);
        }
        return QDateTime();
    }
    const QString str = s.toString();
    static const char* const formats[] = {"yyyy-MM-dd hh:mm", "yyyy/MM/dd hh:mm", "yyyy-MM-ddThh:mm:ss.zzz",
                                          "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-M-d", "yyyy/M/d", "yyyy-M-d h:m:s"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(str, QLatin1String(f));
        if (dt.isValid()) return TruncSeconds(dt);
    }
    const QDateTime iso = QDateTime::fromString(str, Qt::ISODate);
    return iso.isValid() ? TruncSeconds(iso.toLocalTime()) : QDateTime();
}

static bool ParseBool(QStringView s, bool& ok)
{
    ok = true;
    const QString l = s.trimmed().toString().toLower();
    if (l == u"true" || l == u"t" || l == u"1" || l == u"y" || l == u"yes" || l == u"是") return true;
    if (l == u"false" || l == u"f" || l == u"0" || l == u"n" || l == u"no" || l == u"否") return false;
    ok = false;
    return false;
}

static bool IsNumericType(int id)
{
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char: case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// Converts v to the storage type of t. Null stays null; for non-string types an empty
// (or blank) text is null as well, as an emptied edit control means "no value".
static QVariant CoerceTo(TFieldType t, int size, const QVariant& v)
{
    if (IsNullV(v)) return QVariant();
    const int id = v.typeId();
    switch (t) {
    case TFieldType::ftInteger: {
        if (id == QMetaType::Bool) return qlonglong(v.toBool() ? 1 : 0);
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = v.toDouble();
            if (!std::isfinite(d)) throw EConvertError(QStringLiteral("'%1' 不是有效的整数").arg(v.toString()));
            return qlonglong(std::llround(d));
        }
        if (IsNumericType(id)) return v.toLongLong();
        const QString s = v.toString().trimmed();
        if (s.isEmpty()) return QVariant();
        bool ok = false;
        const qlonglong i = s.toLongLong(&ok);
        if (ok) return i;
        const double d = s.toDouble(&ok);
        if (ok && std::isfinite(d) && d == std::floor(d)) return qlonglong(d);
        throw EConvertError(QStringLiteral("'%1' 不是有效的整数").arg(s));
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: {
        double d = 0;
        if (id == QMetaType::Bool) d = v.toBool() ? 1 : 0;
        else if (IsNumericType(id)) d = v.toDouble();
        else {
            const QString s = v.toString().trimmed();
            if (s.isEmpty()) return QVariant();
            bool ok = false;
            d = s.toDouble(&ok);
            if (!ok) throw EConvertError(QStringLiteral("'%1' 不是有效的数值").arg(s));
        }
        if (!std::isfinite(d)) throw EConvertError(QStringLiteral("'%1' 不是有效的数值").arg(v.toString()));
        return t == TFieldType::ftCurrency ? RoundCurrency(d) : d;
    }
    case TFieldType::ftString: {
        QString s;
        if (id == QMetaType::QDateTime) s = DateTimeText(v.toDateTime());
        else if (id == QMetaType::QDate) s = v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        else if (id == QMetaType::Double || id == QMetaType::Float) s = FloatText(v.toDouble());
        else if (id == QMetaType::Bool) s = v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        else if (id == QMetaType::QByteArray) s = QString::fromUtf8(v.toByteArray());
        else s = v.toString();
        if (size > 0 && s.size() > size) s.truncate(size);
        return s;
    }
    case TFieldType::ftBoolean: {
        if (id == QMetaType::Bool) return v.toBool();
        if (IsNumericType(id)) return v.toDouble() != 0;
        const QString s = v.toString().trimmed();
        if (s.isEmpty()) return QVariant();
        bool ok = false;
        const bool b = ParseBool(s, ok);
        if (!ok) throw EConvertError(QStringLiteral("'%1' 不是有效的布尔值").arg(s));
        return b;
    }
    case TFieldType::ftDateTime: {
        if (id == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            return dt.isValid() ? QVariant(TruncSeconds(dt)) : QVariant();
        }
        if (id == QMetaType::QDate) {
            const QDate d = v.toDate();
            return d.isValid() ? QVariant(QDateTime(d, QTime(0, 0))) : QVariant();
        }
        const QString s = v.toString().trimmed();
        if (s.isEmpty()) return QVariant();
        const QDateTime dt = ParseDateTimeText(s);
        if (!dt.isValid()) throw EConvertError(QStringLiteral("'%1' 不是有效的日期时间").arg(s));
        return dt;
    }
    case TFieldType::ftBlob:
        if (id == QMetaType::QByteArray) return v.toByteArray();
        return v.toString().toUtf8();
    }
    return v;
}

// ---------------------------------------------------------------- filter expressions

namespace {

struct FOperand {
    bool IsField = false;
    QString Name;
    int Index = -1; // resolved field index
    QVariant Literal;
};

struct FNode {
    enum Kind { And, Or, Not, Cmp, IsNull, Like, In } K = Cmp;
    enum Op { Eq, Ne, Lt, Gt, Le, Ge } O = Eq;
    bool Negate = false; // is not null / not like / not in
    std::unique_ptr<FNode> L, R;
    FOperand A, B;
    QVector<FOperand> List;
};

class FilterParser {
public:
    explicit FilterParser(const QString& text) : S(text) {}

    std::unique_ptr<FNode> Parse()
    {
        Next();
        auto n = ParseOr();
        if (Tok != tEnd) Fail(QStringLiteral("多余的内容"));
        return n;
    }

private:
    enum TokKind { tEnd, tIdent, tString, tNumber, tOp, tLParen, tRParen, tComma };
    QString S;
    int P = 0;
    TokKind Tok = tEnd;
    QString Text;
    int TokPos = 0;

    [[noreturn]] void Fail(const QString& why)
    {
        throw EDatabaseError(QStringLiteral("过滤条件错误（位置 %1）：%2：%3").arg(TokPos + 1).arg(why, S));
    }

    void Next()
    {
        while (P < S.size() && S[P].isSpace()) ++P;
        TokPos = P;
        Text.clear();
        if (P >= S.size()) { Tok = tEnd; return; }
        const QChar c = S[P];
        if (c == u'\'' || c == u'"') {
            const QChar q = c;
            ++P;
            for (;;) {
                if (P >= S.size()) Fail(QStringLiteral("字符串没有结束"));
                if (S[P] == q) {
                    if (P + 1 < S.size() && S[P + 1] == q) { Text += q; P += 2; continue; }
                    ++P;
                    break;
                }
                Text += S[P++];
            }
            Tok = tString;
            return;
        }
        if (c == u'[') {
            const int end = S.indexOf(u']', P);
            if (end < 0) Fail(QStringLiteral("字段名没有结束"));
            Text = S.mid(P + 1, end - P - 1).trimmed();
            P = end + 1;
            Tok = tIdent;
            return;
        }
        if (c.isDigit() || (c == u'.' && P + 1 < S.size() && S[P + 1].isDigit())) {
            const int start = P;
            while (P < S.size() && (S[P].isDigit() || S[P] == u'.')) ++P;
            if (P < S.size() && (S[P] == u'e' || S[P] == u'E')) {
                int q = P + 1;
                if (q < S.size() && (S[q] == u'+' || S[q] == u'-')) ++q;
                if (q < S.size() && S[q].isDigit()) {
                    P = q;
                    while (P < S.size() && S[P].isDigit()) ++P;
                }
            }
            Text = S.mid(start, P - start);
            Tok = tNumber;
            return;
        }
        if (c.isLetter() || c == u'_' || c.unicode() > 127) {
            const int start = P;
            while (P < S.size() && (S[P].isLetterOrNumber() || S[P] == u'_' || S[P] == u'.' || S[P].unicode() > 127)
                   && !S[P].isSpace())
                ++P;
            Text = S.mid(start, P - start);
            Tok = tIdent;
            return;
        }
        if (c == u'(') { ++P; Tok = tLParen; return; }
        if (c == u')') { ++P; Tok = tRParen; return; }
        if (c == u',') { ++P; Tok = tComma; return; }
        const QStringView rest = QStringView(S).mid(P);
        for (const char* op : {"<>", "!=", "<=", ">=", "=", "<", ">", "-"}) {
            if (rest.startsWith(QLatin1String(op))) {
                Text = QLatin1String(op);
                P += int(qstrlen(op));
                Tok = tOp;
                return;
            }
        }
        Fail(QStringLiteral("无法识别的字符 '%1'").arg(c));
    }

    bool IsKeyword(const char* kw) const { return Tok == tIdent && Text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0; }

    std::unique_ptr<FNode> ParseOr()
    {
        auto l = ParseAnd();
        while (IsKeyword("or")) {
            Next();
            auto n = std::make_unique<FNode>();
            n->K = FNode::Or;
            n->L = std::move(l);
            n->R = ParseAnd();
            l = std::move(n);
        }
        return l;
    }

    std::unique_ptr<FNode> ParseAnd()
    {
        auto l = ParseNot();
        while (IsKeyword("and")) {
            Next();
            auto n = std::make_unique<FNode>();
            n->K = FNode::And;
            n->L = std::move(l);
            n->R = ParseNot();
            l = std::move(n);
        }
        return l;
    }

    std::unique_ptr<FNode> ParseNot()
    {
        if (IsKeyword("not")) {
            Next();
            auto n = std::make_unique<FNode>();
            n->K = FNode::Not;
            n->L = ParseNot();
            return n;
        }
        if (Tok == tLParen) {
            Next();
            auto n = ParseOr();
            if (Tok != tRParen) Fail(QStringLiteral("缺少右括号"));
            Next();
            return n;
        }
        return ParseComparison();
    }

    FOperand ParseOperand()
    {
        FOperand o;
        bool negative = false;
        if (Tok == tOp && Text == u"-") { negative = true; Next(); }
        if (Tok == tOp || Tok == tEnd || Tok == tRParen || Tok == tComma || Tok == tLParen)
            Fail(Tok == tEnd ? QStringLiteral("条件不完整") : QStringLiteral("缺少比较的值"));
        if (Tok == tString) {
            o.Literal = Text;
        } else if (Tok == tNumber) {
            bool ok = false;
            const qlonglong i = Text.toLongLong(&ok);
            if (ok) o.Literal = negative ? -i : i;
            else {
                const double d = Text.toDouble(&ok);
                if (!ok) Fail(QStringLiteral("无效的数字 '%1'").arg(Text));
                o.Literal = negative ? -d : d;
            }
        } else if (IsKeyword("null")) {
            o.Literal = QVariant();
        } else if (IsKeyword("true") || IsKeyword("false")) {
            o.Literal = IsKeyword("true");
        } else if (IsKeyword("and") || IsKeyword("or") || IsKeyword("not") || IsKeyword("like") || IsKeyword("is")) {
            Fail(QStringLiteral("缺少比较的值"));
        } else {
            o.IsField = true;
            o.Name = Text;
        }
        Next();
        return o;
    }

    std::unique_ptr<FNode> ParseComparison()
    {
        auto n = std::make_unique<FNode>();
        n->A = ParseOperand();
        if (IsKeyword("is")) {
            Next();
            n->K = FNode::IsNull;
            if (IsKeyword("not")) { n->Negate = true; Next(); }
            if (!IsKeyword("null")) Fail(QStringLiteral("is 之后应为 null"));
            Next();
            return n;
        }
        bool neg = false;
        if (IsKeyword("not")) { neg = true; Next(); }
        if (IsKeyword("like")) {
            Next();
            n->K = FNode::Like;
            n->Negate = neg;
            n->B = ParseOperand();
            return n;
        }
        if (IsKeyword("in")) {
            Next();
            n->K = FNode::In;
            n->Negate = neg;
            if (Tok != tLParen) Fail(QStringLiteral("in 之后应为括号"));
            Next();
            for (;;) {
                n->List.append(ParseOperand());
                if (Tok == tComma) { Next(); continue; }
                if (Tok == tRParen) { Next(); break; }
                Fail(QStringLiteral("缺少右括号"));
            }
            return n;
        }
        if (neg) Fail(QStringLiteral("not 之后应为 like 或 in"));
        if (Tok != tOp) Fail(Tok == tEnd ? QStringLiteral("条件不完整") : QStringLiteral("缺少比较运算符"));
        n->K = FNode::Cmp;
        if (Text == u"=") n->O = FNode::Eq;
        else if (Text == u"<>" || Text == u"!=") n->O = FNode::Ne;
        else if (Text == u"<") n->O = FNode::Lt;
        else if (Text == u">") n->O = FNode::Gt;
        else if (Text == u"<=") n->O = FNode::Le;
        else if (Text == u">=") n->O = FNode::Ge;
        else Fail(QStringLiteral("缺少比较运算符"));
        Next();
        n->B = ParseOperand();
        return n;
    }
};

// SQL-style LIKE: % any run, _ one character; case-insensitive.
bool LikeMatch(QStringView s, QStringView p)
{
    int si = 0, pi = 0, star = -1, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && p[pi].toCaseFolded() == s[si].toCaseFolded()))) {
            ++si; ++pi;
        } else if (pi < p.size() && p[pi] == u'%') {
            star = pi++;
            mark = si;
        } else if (star >= 0) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%') ++pi;
    return pi == p.size();
}

// Compares two non-null values; numbers numerically, dates by instant, everything else
// as text without regard to case. Returns false in ok when they cannot be compared.
int CompareValues(const QVariant& a, const QVariant& b, bool& ok)
{
    ok = true;
    const int ta = a.typeId(), tb = b.typeId();
    const bool na = IsNumericType(ta) || ta == QMetaType::Bool, nb = IsNumericType(tb) || tb == QMetaType::Bool;
    if (na && nb) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ta == QMetaType::QDateTime && tb == QMetaType::QDateTime) {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (na != nb) {
        // number against text: compare as numbers when the text is one
        bool good = false;
        const double x = na ? a.toDouble() : a.toString().trimmed().toDouble(&good);
        const double y = nb ? b.toDouble() : b.toString().trimmed().toDouble(&good);
        if (!good) { ok = false; return 0; }
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const QString x = ta == QMetaType::QDateTime ? DateTimeText(a.toDateTime()) : a.toString();
    const QString y = tb == QMetaType::QDateTime ? DateTimeText(b.toDateTime()) : b.toString();
    const int c = x.compare(y, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

// ---------------------------------------------------------------- dataset internals

struct TRow {
    qint64 Id = 0;
    TUpdateStatus Status = TUpdateStatus::usUnmodified; // unmodified, modified or inserted
    bool Deleted = false;
    bool Pending = false;     // appended or inserted, not posted yet
    QVector<QVariant> Values; // one entry per field (calculated ones included)
    QVector<QVariant> Orig;   // values as loaded/merged; kept only while modified or deleted
};

struct TUndo {
    qint64 RowId = 0;
    int Pos = 0;          // index in Rows when the change was made
    bool Existed = false; // false: the change created the row
    TRow Before;
};

struct TClientDataSet::Impl {
    TClientDataSet* Q;
    std::vector<std::unique_ptr<TField>> Fields;
    // The fields a delta carries (the data fields, required as the user's field says), their
    // indexes and captions.
    void DeltaFields(QVector<TFieldDef>& defs, QVector<int>& idx, QStringList& labels) const
    {
        for (const auto& f : Fields) {
            if (f->FieldKind() != TFieldKind::fkData) continue;
            TFieldDef def = f->FDef;
            def.Required = f->Required;
            defs << def;
            idx << f->Index();
            labels << f->DisplayName();
        }
    }
    QHash<QString, int> NameIndex; // lower-case name -> index
    mutable QHash<QString, int> SpelledIndex; // a name as asked for -> index, -1 when absent
    mutable TNamesByAddress RecentNames;
    std::vector<TRow> Rows;
    QVector<int> Vis; // visible row -> index in Rows
    int Cur = -1;
    bool Bof = true, Eof = true;
    bool Active = false;
    TDataSetState State = TDataSetState::dsInactive;
    QVector<QVariant> Buffer;
    bool BufModified = false;
    qint64 NextId = 1;
    std::vector<TUndo> Undo;
    int DisableCount = 0;
    int SilenceCount = 0;
    quint64 UnseenChanges = 0; // values changed while silenced
    std::unique_ptr<FNode> FilterExpr;
    const QVector<QVariant>* Override = nullptr; // row read by fields during calc/filter
    QVector<QVariant>* CalcTarget = nullptr;      // row written by calc fields during OnCalcFields
    bool InNewRecord = false;

    explicit Impl(TClientDataSet* q) : Q(q) {}

    bool Signals() const { return DisableCount == 0; }
    bool Events() const { return SilenceCount == 0; }
    void Fire(const std::function<void(TClientDataSet*)>& h)
    {
        if (h && Events()) h(Q);
    }
    bool Editing() const { return State == TDataSetState::dsEdit || State == TDataSetState::dsInsert; }

    void CheckActive() const
    {
        if (!Active) throw EDatabaseError(QStringLiteral("数据集没有打开"));
    }

    int FieldCount() const { return int(Fields.size()); }

    void Reindex()
    {
        NameIndex.clear();
        ForgetSpellings();
        for (int i = 0; i < FieldCount(); ++i) {
            Fields[i]->FIndex = i;
            NameIndex.insert(Fields[i]->FieldName().toLower(), i);
            SpelledIndex.insert(Fields[i]->FieldName(), i);
        }
    }

    void ForgetSpellings()
    {
        SpelledIndex.clear();
        RecentNames.Clear();
    }

    int IndexOf(const QString& name) const
    {
        if (const int* known = RecentNames.Find(name))
            return *known;
        int i;
        // Names are mostly asked for as the fields spell them: found without a copy.
        if (auto spelled = SpelledIndex.constFind(name); spelled != SpelledIndex.constEnd()) {
            i = spelled.value();
        } else {
            auto it = NameIndex.constFind(name.trimmed().toLower());
            i = it == NameIndex.constEnd() ? -1 : it.value();
            // other spellings, and names the dataset lacks, are remembered as they were asked for
            SpelledIndex.insert(name, i);
        }
        RecentNames.Remember(name, i);
        return i;
    }

    bool HasCalcFields() const
    {
        for (const auto& f : Fields)
            if (f->FieldKind() == TFieldKind::fkCalculated) return true;
        return false;
    }

    void SetState(TDataSetState s)
    {
        if (State == s) return;
        State = s;
        if (Signals()) emit Q->stateChanged();
    }

    // Runs OnCalcFields for one row's values (calculated entries are cleared first).
    void CalcRow(QVector<QVariant>& vals)
    {
        bool any = false;
        for (const auto& f : Fields)
            if (f->FieldKind() == TFieldKind::fkCalculated) { vals[f->Index()] = QVariant(); any = true; }
        if (!any || !Q->OnCalcFields || !Events()) return;
        const auto* oldOverride = Override;
        auto* oldTarget = CalcTarget;
        const TDataSetState oldState = State;
        Override = &vals;
        CalcTarget = &vals;
        State = TDataSetState::dsCalcFields;
        try {
            Q->OnCalcFields(Q);
        } catch (...) {
            Override = oldOverride; CalcTarget = oldTarget; State = oldState;
            throw;
        }
        Override = oldOverride; CalcTarget = oldTarget; State = oldState;
    }

    void RecalcAll()
    {
        if (!HasCalcFields() || !Q->OnCalcFields || !Events()) return;
        for (auto& r : Rows)
            if (!r.Pending) CalcRow(r.Values);
    }

    // ---- filter
    bool ResolveOperand(FOperand& o) const
    {
        if (!o.IsField) return true;
        o.Index = IndexOf(o.Name);
        if (o.Index < 0) {
            const int dot = o.Name.lastIndexOf(u'.');
            if (dot >= 0) o.Index = IndexOf(o.Name.mid(dot + 1));
        }
        return o.Index >= 0;
    }

    // Returns the first unknown field name, or an empty text when all resolve.
    QString Resolve(FNode* n) const
    {
        if (!n) return QString();
        if (n->L) { const QString s = Resolve(n->L.get()); if (!s.isEmpty()) return s; }
        if (n->R) { const QString s = Resolve(n->R.get()); if (!s.isEmpty()) return s; }
        if (!ResolveOperand(n->A)) return n->A.Name;
        if (!ResolveOperand(n->B)) return n->B.Name;
        for (auto& o : n->List)
            if (!ResolveOperand(o)) return o.Name;
        return QString();
    }

    QVariant OperandValue(const FOperand& o, const QVector<QVariant>& vals) const
    {
        if (!o.IsField) return o.Literal;
        return o.Index >= 0 ? vals[o.Index] : QVariant();
    }

    // A literal compared with a field takes the field's type, so "closed='F'" on a boolean
    // column and "kind<'4'" on an integer one compare as the user means.
    static QVariant Align(const FOperand& lit, const FOperand& field, const std::vector<std::unique_ptr<TField>>& fields, const QVariant& v)
    {
        if (lit.IsField || !field.IsField || field.Index < 0 || IsNullV(v)) return v;
        try {
            return CoerceTo(fields[field.Index]->DataType(), 0, v);
        } catch (const EConvertError&) {
            return v;
        }
    }

    bool Eval(const FNode* n, const QVector<QVariant>& vals) const
    {
        switch (n->K) {
        case FNode::And: return Eval(n->L.get(), vals) && Eval(n->R.get(), vals);
        case FNode::Or: return Eval(n->L.get(), vals) || Eval(n->R.get(), vals);
        case FNode::Not: return !Eval(n->L.get(), vals);
        case FNode::IsNull: return IsNullV(OperandValue(n->A, vals)) != n->Negate;
        case FNode::Like: {
            const QVariant a = OperandValue(n->A, vals), b = OperandValue(n->B, vals);
            if (IsNullV(a) || IsNullV(b)) return false;
            return LikeMatch(a.toString(), b.toString()) != n->Negate;
        }
        case FNode::In: {
            const QVariant a = OperandValue(n->A, vals);
            if (IsNullV(a)) return false;
            bool hit = false;
            for (const auto& o : n->List) {
                const QVariant b = Align(o, n->A, Fields, OperandValue(o, vals));
                if (IsNullV(b)) continue;
                bool ok = false;
                if (CompareValues(a, b, ok) == 0 && ok) { hit = true; break; }
            }
            return hit != n->Negate;
        }
        case FNode::Cmp: {
            QVariant a = OperandValue(n->A, vals), b = OperandValue(n->B, vals);
            const bool nullLiteral = (!n->B.IsField && IsNullV(n->B.Literal)) || (!n->A.IsField && IsNullV(n->A.Literal));
            if (nullLiteral && (n->O == FNode::Eq || n->O == FNode::Ne)) // "x = null" reads as "x is null"
                return (IsNullV(n->A.IsField ? a : b)) == (n->O == FNode::Eq);
            if (IsNullV(a) || IsNullV(b)) return false;
            a = Align(n->A, n->B, Fields, a);
            b = Align(n->B, n->A, Fields, b);
            bool ok = false;
            const int c = CompareValues(a, b, ok);
            if (!ok) return n->O == FNode::Ne;
            switch (n->O) {
            case FNode::Eq: return c == 0;
            case FNode::Ne: return c != 0;
            case FNode::Lt: return c < 0;
            case FNode::Gt: return c > 0;
            case FNode::Le: return c <= 0;
            case FNode::Ge: return c >= 0;
            }
        }
        }
        return false;
    }

    bool Passes(const TRow& r)
    {
        if (r.Deleted) return false;
        if (r.Pending || !Q->FFiltered) return true;
        if (FilterExpr && !Eval(FilterExpr.get(), r.Values)) return false;
        if (Q->OnFilterRecord && Events()) {
            const auto* old = Override;
            Override = &r.Values;
            bool ok = false;
            try {
                ok = Q->OnFilterRecord(Q);
            } catch (...) {
                Override = old;
                throw;
            }
            Override = old;
            return ok;
        }
        return true;
    }

    // Rebuilds the visible rows; the cursor stays on row keepId when it is still visible,
    // otherwise on the same position (clamped).
    void RebuildVis(qint64 keepId)
    {
        if (FilterExpr) Resolve(FilterExpr.get());
        const int oldCur = Cur;
        Vis.clear();
        Vis.reserve(int(Rows.size()));
        int found = -1;
        for (int i = 0; i < int(Rows.size()); ++i) {
            if (!Passes(Rows[i])) continue;
            if (Rows[i].Id == keepId) found = int(Vis.size());
            Vis.append(i);
        }
        if (Vis.isEmpty()) Cur = -1;
        else if (found >= 0) Cur = found;
        else Cur = std::clamp(oldCur, 0, int(Vis.size()) - 1);
        Bof = Vis.isEmpty();
        Eof = Vis.isEmpty();
    }

    qint64 CurrentId() const { return Cur >= 0 && Cur < Vis.size() ? Rows[Vis[Cur]].Id : -1; }

    int RowIndexOfId(qint64 id) const
    {
        for (int i = 0; i < int(Rows.size()); ++i)
            if (Rows[i].Id == id) return i;
        return -1;
    }

    void ShiftVisAfterInsert(int rowIndex)
    {
        for (int& v : Vis)
            if (v >= rowIndex) ++v;
    }
    void ShiftVisAfterErase(int rowIndex)
    {
        for (int& v : Vis)
            if (v > rowIndex) --v;
    }

    void PushUndo(const TRow& r, int pos, bool existed)
    {
        if (!Q->LogChanges) return;
        TUndo u;
        u.RowId = r.Id;
        u.Pos = pos;
        u.Existed = existed;
        if (existed) u.Before = r;
        Undo.push_back(std::move(u));
    }

    const QVector<QVariant>* CurrentValues() const
    {
        if (Override) return Override;
        if (!Active || Cur < 0) return nullptr;
        if (Editing()) return &Buffer;
        return &Rows[Vis[Cur]].Values;
    }

    // Scrolls to visible index idx, firing the scroll events.
    void MoveTo(int idx, bool force = false)
    {
        if (idx == Cur && !force) return;
        Fire(Q->BeforeScroll);
        Cur = idx;
        if (Signals()) emit Q->currentChanged(Cur);
        Fire(Q->AfterScroll);
    }

    void ResetViews()
    {
        if (Signals()) {
            emit Q->dataReset();
            emit Q->currentChanged(Cur);
        }
    }

    void BeginInsert(bool append);

    bool DataEqual(const QVector<QVariant>& a, const QVector<QVariant>& b) const
    {
        for (int i = 0; i < FieldCount(); ++i) {
            if (Fields[i]->FieldKind() != TFieldKind::fkData) continue;
            if (a.value(i) != b.value(i)) return false;
        }
        return true;
    }
};

// ---------------------------------------------------------------- TField

TField::TField(TClientDataSet* ds, const TFieldDef& def, int index) : FDataSet(ds), FDef(def), FIndex(index)
{
    Required = def.Required;
}

QVariant TField::Value() const
{
    const auto* vals = FDataSet->d->CurrentValues();
    return vals ? vals->value(FIndex) : QVariant();
}

// A field's current value where it lies, or nullptr: for readers that need no copy of it.
static const QVariant* ValueAt(const QVector<QVariant>* vals, int index)
{
    return vals && index >= 0 && index < vals->size() ? &vals->at(index) : nullptr;
}

bool TField::IsNull() const
{
    const QVariant* v = ValueAt(FDataSet->d->CurrentValues(), FIndex);
    return !v || IsNullV(*v);
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (IsNullV(v)) return 0;
    const QVariant c = CoerceTo(TFieldType::ftInteger, 0, v);
    return IsNullV(c) ? 0 : c.toLongLong();
}

int TField::AsInteger() const { return int(AsLargeInt()); }

double TField::AsFloat() const
{
    if (const QVariant* x = ValueAt(FDataSet->d->CurrentValues(), FIndex); x && x->typeId() == QMetaType::Double)
        return *static_cast<const double*>(x->constData());
    const QVariant v = Value();
    if (IsNullV(v)) return 0;
    if (v.typeId() == QMetaType::QDateTime) { // days since 1899-12-30, as the host's date arithmetic expects
        const QDateTime dt = v.toDateTime();
        return double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    }
    const QVariant c = CoerceTo(TFieldType::ftFloat, 0, v);
    return IsNullV(c) ? 0 : c.toDouble();
}

double TField::AsCurrency() const { return RoundCurrency(AsFloat()); }

QString TField::AsString() const
{
    if (const QVariant* text = ValueAt(FDataSet->d->CurrentValues(), FIndex); text && text->typeId() == QMetaType::QString)
        return *static_cast<const QString*>(text->constData());
    const QVariant v = Value();
    if (IsNullV(v)) return QString();
    return CoerceTo(TFieldType::ftString, 0, v).toString();
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (IsNullV(v)) return false;
    const QVariant c = CoerceTo(TFieldType::ftBoolean, 0, v);
    return !IsNullV(c) && c.toBool();
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (IsNullV(v)) return QDateTime();
    return CoerceTo(TFieldType::ftDateTime, 0, v).toDateTime();
}

QByteArray TField::AsBytes() const
{
    const QVariant v = Value();
    if (IsNullV(v)) return QByteArray();
    return CoerceTo(TFieldType::ftBlob, 0, v).toByteArray();
}

QVariant TField::OldValue() const
{
    auto* d = FDataSet->d.get();
    if (!d->Active || d->Cur < 0) return QVariant();
    const TRow& r = d->Rows[d->Vis[d->Cur]];
    if (r.Pending || r.Status == TUpdateStatus::usInserted) return QVariant();
    if (!r.Orig.isEmpty()) return r.Orig.value(FIndex);
    return r.Values.value(FIndex);
}

QVariant TField::Coerce(const QVariant& v) const { return CoerceTo(FDef.DataType, FDef.Size, v); }

QString FormatFieldValue(const TField* f, const QVariant& v)
{
    if (IsNullV(v)) return QString();
    switch (f->DataType()) {
    case TFieldType::ftBoolean: {
        QVariant b;
        try { b = CoerceTo(TFieldType::ftBoolean, 0, v); } catch (const EConvertError&) { return v.toString(); }
        return b.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    }
    case TFieldType::ftInteger:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: {
        QVariant n;
        try { n = CoerceTo(TFieldType::ftFloat, 0, v); } catch (const EConvertError&) { return v.toString(); }
        const QString& fmt = f->DisplayFormat;
        if (fmt.isEmpty())
            return f->DataType() == TFieldType::ftInteger ? QString::number(std::llround(n.toDouble())) : FloatText(n.toDouble());
        const int dot = fmt.indexOf(u'.');
        int decimals = 0;
        if (dot >= 0)
            for (int i = dot + 1; i < fmt.size() && (fmt[i] == u'0' || fmt[i] == u'#'); ++i) ++decimals;
        // round half away from zero on the decimal value, not on its binary neighbour
        const double scale = std::pow(10.0, decimals);
        double x = n.toDouble() * scale;
        x = std::round(x + (x >= 0 ? 1e-7 : -1e-7)) / scale;
        QString s = QString::number(x, 'f', decimals);
        if (fmt.contains(u',')) {
            const int sign = s.startsWith(u'-') ? 1 : 0;
            int intEnd = s.indexOf(u'.');
            if (intEnd < 0) intEnd = int(s.size());
            for (int i = intEnd - 3; i > sign; i -= 3) s.insert(i, u',');
        }
        return s;
    }
    case TFieldType::ftDateTime: {
        QDateTime dt;
        try { dt = CoerceTo(TFieldType::ftDateTime, 0, v).toDateTime(); } catch (const EConvertError&) { return v.toString(); }
        if (!f->DisplayFormat.isEmpty())
            return dt.toString(f->DisplayFormat);
        // A date without a time of day reads as a date, as bill and due dates are.
        return dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    default:
        try {
            return CoerceTo(TFieldType::ftString, 0, v).toString();
        } catch (const EConvertError&) {
            return v.toString();
        }
    }
}

QString TField::DisplayText() const { return FormatFieldValue(this, Value()); }

void TField::SetValue(const QVariant& v)
{
    auto* d = FDataSet->d.get();
    d->CheckActive();
    if (ReadOnly)
        throw EDatabaseError(QStringLiteral("字段 '%1' 是只读的，不能修改").arg(DisplayName()));
    const QVariant nv = Coerce(v);

    if (FDef.Kind == TFieldKind::fkCalculated) {
        if (d->State == TDataSetState::dsCalcFields && d->CalcTarget) { (*d->CalcTarget)[FIndex] = nv; return; }
        if (d->Editing()) {
            d->Buffer[FIndex] = nv;
        } else if (d->Cur >= 0) {
            d->Rows[d->Vis[d->Cur]].Values[FIndex] = nv;
        } else {
            return;
        }
        if (d->Signals() && d->Cur >= 0) emit FDataSet->rowChanged(d->Cur);
        return;
    }
    if (d->State == TDataSetState::dsCalcFields)
        throw EDatabaseError(QStringLiteral("计算字段事件中不能修改数据字段 '%1'").arg(DisplayName()));
    if (!d->Editing()) FDataSet->Edit();

    QVariant& slot = d->Buffer[FIndex];
    const QVariant old = slot;
    slot = nv;
    if (OnValidate && d->Events()) {
        try {
            OnValidate(this);
        } catch (...) {
            d->Buffer[FIndex] = old;
            throw;
        }
    }
    if (!d->InNewRecord) d->BufModified = true;
    if (!d->Events()) ++d->UnseenChanges;
    if (OnChange && d->Events()) OnChange(this);
    if (d->Editing()) d->CalcRow(d->Buffer);
    if (d->Signals() && d->Cur >= 0) emit FDataSet->rowChanged(d->Cur);
}

// ---------------------------------------------------------------- TClientDataSet: structure

// glibc re-reads the zone file (a stat per call) on every local-time conversion while TZ
// is unset, which made loading packets with datetime columns several times slower. Naming
// the same default zone explicitly keeps the behaviour and drops the per-call stat.
static void EnsureFastLocalTime()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (qEnvironmentVariableIsSet("TZ")) return;
        if (QFileInfo::exists(QStringLiteral("/etc/localtime"))) qputenv("TZ", ":/etc/localtime");
    });
}

TClientDataSet::TClientDataSet(QObject* owner) : QObject(owner), d(std::make_unique<Impl>(this))
{
    EnsureFastLocalTime();
}

TClientDataSet::~TClientDataSet() = default;

void TClientDataSet::ClearFields()
{
    if (d->Active) throw EDatabaseError(QStringLiteral("数据集打开时不能修改字段定义"));
    d->Fields.clear();
    d->NameIndex.clear();
    d->ForgetSpellings();
    d->Rows.clear();
}

TField* TClientDataSet::AddField(const TFieldDef& def)
{
    if (d->Active) throw EDatabaseError(QStringLiteral("数据集打开时不能修改字段定义"));
    if (def.Name.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("字段名不能为空"));
    if (d->IndexOf(def.Name) >= 0) throw EDatabaseError(QStringLiteral("字段 '%1' 重复").arg(def.Name));
    d->Rows.clear();
    d->Fields.push_back(std::make_unique<TField>(this, def, d->FieldCount()));
    d->NameIndex.insert(def.Name.trimmed().toLower(), d->FieldCount() - 1);
    d->SpelledIndex.removeIf([](const QHash<QString, int>::iterator& it) { return it.value() < 0; });
    d->RecentNames.Clear();
    d->SpelledIndex.insert(d->Fields.back()->FieldName(), d->FieldCount() - 1);
    return d->Fields.back().get();
}

TField* TClientDataSet::AddField(const QString& name, TFieldType t, int size, bool required)
{
    TFieldDef def;
    def.Name = name;
    def.DataType = t;
    def.Size = size;
    def.Required = required;
    return AddField(def);
}

TField* TClientDataSet::AddCalcField(const QString& name, TFieldType t, int size)
{
    TFieldDef def;
    def.Name = name;
    def.DataType = t;
    def.Size = size;
    def.Kind = TFieldKind::fkCalculated;
    return AddField(def);
}

int TClientDataSet::FieldCount() const { return d->FieldCount(); }

TField* TClientDataSet::Fields(int i) const
{
    if (i < 0 || i >= d->FieldCount()) throw EDatabaseError(QStringLiteral("字段序号 %1 超出范围").arg(i));
    return d->Fields[i].get();
}

TField* TClientDataSet::FindField(const QString& name) const
{
    const int i = d->IndexOf(name);
    return i < 0 ? nullptr : d->Fields[i].get();
}

TField* TClientDataSet::FieldByName(const QString& name) const
{
    TField* f = FindField(name);
    if (!f) throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

QStringList TClientDataSet::FieldNames() const
{
    QStringList l;
    for (const auto& f : d->Fields) l << f->FieldName();
    return l;
}

QVector<TFieldDef> TClientDataSet::FieldDefs() const
{
    QVector<TFieldDef> l;
    for (const auto& f : d->Fields) {
        TFieldDef def = f->FDef;
        def.Required = f->Required;
        l << def;
    }
    return l;
}

// ---------------------------------------------------------------- open / close

void TClientDataSet::CreateDataSet()
{
    if (d->FieldCount() == 0) throw EDatabaseError(QStringLiteral("没有定义字段，不能创建数据集"));
    if (d->Active) Close();
    d->Rows.clear();
    Open();
}

void TClientDataSet::Open()
{
    if (d->Active) return;
    if (d->FieldCount() == 0) throw EDatabaseError(QStringLiteral("没有定义字段，不能打开数据集"));
    d->Active = true;
    d->Undo.clear();
    d->Buffer.clear();
    d->RecalcAll();
    d->Cur = -1;
    d->RebuildVis(-1);
    d->Cur = d->Vis.isEmpty() ? -1 : 0;
    d->Bof = true;
    d->Eof = d->Vis.isEmpty();
    d->SetState(TDataSetState::dsBrowse);
    d->ResetViews();
    d->Fire(AfterOpen);
    d->Fire(AfterScroll);
}

void TClientDataSet::Close()
{
    if (!d->Active) return;
    d->Fire(BeforeClose);
    d->Active = false;
    d->Rows.clear();
    d->Vis.clear();
    d->Undo.clear();
    d->Buffer.clear();
    d->BufModified = false;
    d->Cur = -1;
    d->Bof = d->Eof = true;
    d->SetState(TDataSetState::dsInactive);
    if (d->Signals()) emit dataReset();
    d->Fire(AfterClose);
}

bool TClientDataSet::Active() const { return d->Active; }

TDataSetState TClientDataSet::State() const { return d->State; }

// ---------------------------------------------------------------- XML

namespace {

bool IsXmlName(const QString& s)
{
    if (s.isEmpty()) return false;
    const QChar c0 = s[0];
    if (!(c0.isLetter() || c0 == u'_')) return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.')) return false;
    if (s.startsWith(QLatin1String("xml"), Qt::CaseInsensitive)) return false;
    return true;
}

// Attribute names of the fields in a row element.
QStringList AttributeKeys(const QVector<TFieldDef>& fields)
{
    QStringList keys;
    QSet<QString> used;
    for (const auto& f : fields) used.insert(f.Name);
    for (int i = 0; i < fields.size(); ++i) {
        QString k = fields[i].Name;
        if (!IsXmlName(k)) {
            k = QStringLiteral("_f%1").arg(i);
            while (used.contains(k)) k += u'_';
            used.insert(k);
        }
        keys << k;
    }
    return keys;
}

QString ValueText(TFieldType t, const QVariant& v)
{
    switch (t) {
    case TFieldType::ftInteger: return QString::number(v.toLongLong());
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: return FloatText(v.toDouble());
    case TFieldType::ftBoolean: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case TFieldType::ftDateTime: return v.toDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"));
    case TFieldType::ftBlob: return QString::fromLatin1(v.toByteArray().toBase64());
    case TFieldType::ftString: return v.toString();
    }
    return v.toString();
}

[[noreturn]] void BadValue(const QString& field, QStringView text)
{
    throw EDatabaseError(QStringLiteral("XML 数据包中字段 '%1' 的值 '%2' 无效").arg(field, text.toString()));
}

QVariant ValueFromText(const TFieldDef& f, QStringView s)
{
    bool ok = true;
    switch (f.DataType) {
    case TFieldType::ftInteger: {
        const qlonglong i = s.toLongLong(&ok);
        if (!ok) BadValue(f.Name, s);
        return i;
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: {
        const double x = s.toDouble(&ok);
        if (!ok) BadValue(f.Name, s);
        return x;
    }
    case TFieldType::ftBoolean: {
        const bool b = ParseBool(s, ok);
        if (!ok) BadValue(f.Name, s);
        return b;
    }
    case TFieldType::ftDateTime: {
        const QDateTime dt = ParseDateTimeText(s);
        if (!dt.isValid()) BadValue(f.Name, s);
        return dt;
    }
    case TFieldType::ftBlob: {
        const QByteArray raw = s.toLatin1();
        auto r = QByteArray::fromBase64Encoding(raw, QByteArray::AbortOnBase64DecodingErrors);
        if (!r) BadValue(f.Name, s);
        return *r;
    }
    case TFieldType::ftString:
        return s.toString();
    }
    return s.toString();
}

void WriteFields(QXmlStreamWriter& w, const QVector<TFieldDef>& fields, const QStringList& keys)
{
    w.writeStartElement(QStringLiteral("METADATA"));
    w.writeStartElement(QStringLiteral("FIELDS"));
    for (int i = 0; i < fields.size(); ++i) {
        const TFieldDef& f = fields[i];
        w.writeEmptyElement(QStringLiteral("FIELD"));
        w.writeAttribute(QStringLiteral("attrname"), f.Name);
        w.writeAttribute(QStringLiteral("fieldtype"), FieldTypeName(f.DataType));
        if (f.Size > 0) w.writeAttribute(QStringLiteral("WIDTH"), QString::number(f.Size));
        if (f.Required) w.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
        if (f.Kind == TFieldKind::fkCalculated) w.writeAttribute(QStringLiteral("calculated"), QStringLiteral("true"));
        if (keys[i] != f.Name) w.writeAttribute(QStringLiteral("tag"), keys[i]);
    }
    w.writeEndElement();
    w.writeEndElement();
}

// Writes the non-null data values of one row as attributes of the current element. A text
// that XML cannot carry exactly (control characters, noncharacters, lone surrogates) is
// refused with a message naming the field by `labels` (captions users know), or by its name:
// the writer would otherwise drop or replace the character without a word.
void WriteValues(QXmlStreamWriter& w, const QVector<TFieldDef>& fields, const QStringList& keys, const QVariant* vals,
                 int count, const QStringList& labels = {})
{
    for (int i = 0; i < fields.size() && i < count; ++i) {
        if (fields[i].Kind != TFieldKind::fkData) continue;
        const QVariant& v = vals[i];
        if (IsNullV(v)) continue;
        const QString text = ValueText(fields[i].DataType, v);
        if (fields[i].DataType == TFieldType::ftString && FirstRefusedChar(text) >= 0)
            throw EDatabaseError(QStringLiteral("“%1”中的%2").arg(i < labels.size() ? labels[i] : fields[i].Name, RefusedTextReason(text)));
        w.writeAttribute(keys[i], text);
    }
}

// The writer's own verdict, for whatever the checks above do not cover (names of fields).
void CheckWriter(const QXmlStreamWriter& w)
{
    if (w.hasError())
        throw EDatabaseError(QStringLiteral("数据中有不能写入数据包的字符，数据没有保存"));
}

class PacketReader {
public:
    QXmlStreamReader X;
    QVector<TFieldDef> Fields;
    QStringList Keys;
    QHash<QString, int> KeyIndex;

    explicit PacketReader(const QString& xml) : X(xml) {}

    [[noreturn]] void Fail(const QString& why)
    {
        throw EDatabaseError(QStringLiteral("XML 数据包格式错误（第 %1 行，第 %2 列）：%3")
                                 .arg(X.lineNumber())
                                 .arg(X.columnNumber())
                                 .arg(why));
    }

    void CheckError()
    {
        if (X.hasError()) Fail(X.errorString());
    }

    // Advances to the next start element inside the current one; false at its end.
    bool NextChild()
    {
        for (;;) {
            const auto t = X.readNext();
            if (t == QXmlStreamReader::StartElement) return true;
            if (t == QXmlStreamReader::EndElement) return false;
            if (t == QXmlStreamReader::Invalid) { CheckError(); Fail(QStringLiteral("数据不完整")); }
            if (t == QXmlStreamReader::EndDocument) Fail(QStringLiteral("数据不完整"));
        }
    }

    void ReadRoot(const QString& root)
    {
        for (;;) {
            const auto t = X.readNext();
            if (t == QXmlStreamReader::StartElement) break;
            if (t == QXmlStreamReader::Invalid) {
                CheckError();
                Fail(QStringLiteral("不是 XML 文本"));
            }
            if (t == QXmlStreamReader::EndDocument) Fail(QStringLiteral("文本为空"));
        }
        if (X.name() != root) Fail(QStringLiteral("根元素应为 %1，实为 %2").arg(root, X.name().toString()));
    }

    void ReadMetadata()
    {
        if (!NextChild() || X.name() != u"METADATA") Fail(QStringLiteral("缺少 METADATA"));
        if (!NextChild() || X.name() != u"FIELDS") Fail(QStringLiteral("缺少 FIELDS"));
        while (NextChild()) {
            if (X.name() != u"FIELD") Fail(QStringLiteral("FIELDS 中出现未知元素 %1").arg(X.name().toString()));
            const auto a = X.attributes();
            TFieldDef f;
            f.Name = a.value(QLatin1String("attrname")).toString();
            if (f.Name.trimmed().isEmpty()) Fail(QStringLiteral("FIELD 缺少 attrname"));
            try {
                f.DataType = FieldTypeFromName(a.value(QLatin1String("fieldtype")).toString());
            } catch (const EConvertError& e) {
                Fail(e.Message());
            }
            if (a.hasAttribute(QLatin1String("WIDTH"))) {
                bool ok = false;
                f.Size = a.value(QLatin1String("WIDTH")).toInt(&ok);
                if (!ok || f.Size < 0) Fail(QStringLiteral("字段 '%1' 的 WIDTH 无效").arg(f.Name));
            }
            f.Required = a.value(QLatin1String("required")) == u"true";
            if (a.value(QLatin1String("calculated")) == u"true") f.Kind = TFieldKind::fkCalculated;
            QString key = a.hasAttribute(QLatin1String("tag")) ? a.value(QLatin1String("tag")).toString() : f.Name;
            for (const auto& g : Fields)
                if (g.Name.compare(f.Name, Qt::CaseInsensitive) == 0) Fail(QStringLiteral("字段 '%1' 重复").arg(f.Name));
            if (KeyIndex.contains(key)) Fail(QStringLiteral("字段 '%1' 重复").arg(f.Name));
            KeyIndex.insert(key, int(Fields.size()));
            Fields << f;
            Keys << key;
            if (NextChild()) Fail(QStringLiteral("FIELD 不应有子元素"));
        }
        if (Fields.isEmpty()) Fail(QStringLiteral("没有字段定义"));
        if (NextChild()) Fail(QStringLiteral("METADATA 中出现未知元素 %1").arg(X.name().toString()));
    }

    int FieldOfKey(QStringView name, int expected)
    {
        if (expected >= 0 && expected < Keys.size() && Keys[expected] == name) return expected;
        auto it = KeyIndex.constFind(name.toString());
        if (it == KeyIndex.constEnd()) Fail(QStringLiteral("行中出现未定义的字段 '%1'").arg(name.toString()));
        return it.value();
    }

    // Reads the attributes of the current element into vals (sized to the field count).
    void ReadValues(QVariant* vals)
    {
        const QXmlStreamAttributes attrs = X.attributes();
        int expected = 0;
        for (const QXmlStreamAttribute& a : attrs) {
            const int fi = FieldOfKey(a.name(), expected);
            const TFieldDef& f = Fields[fi];
            if (f.Kind != TFieldKind::fkData) Fail(QStringLiteral("计算字段 '%1' 不应有值").arg(f.Name));
            vals[fi] = ValueFromText(f, a.value());
            expected = fi + 1;
            while (expected < Fields.size() && Fields[expected].Kind != TFieldKind::fkData) ++expected;
        }
    }

    void ExpectEnd()
    {
        if (NextChild()) Fail(QStringLiteral("出现多余的元素 %1").arg(X.name().toString()));
        // after the root closes only whitespace/comments may follow
        while (!X.atEnd()) {
            const auto t = X.readNext();
            if (t == QXmlStreamReader::StartElement) Fail(QStringLiteral("根元素之后有多余内容"));
        }
        CheckError();
    }
};

struct TParsedPacket {
    QVector<TFieldDef> Fields;
    std::vector<QVector<QVariant>> Rows;
};

TParsedPacket ParseCompactDataPacket(QStringView text);

TParsedPacket ParseDataPacket(const QString& xml)
{
    if (IsCompactPacket(xml)) return ParseCompactDataPacket(xml);
    PacketReader r(xml);
    r.ReadRoot(QStringLiteral("DATAPACKET"));
    r.ReadMetadata();
    TParsedPacket p;
    if (r.NextChild()) {
        if (r.X.name() != u"ROWDATA") r.Fail(QStringLiteral("缺少 ROWDATA"));
        const int n = int(r.Fields.size());
        while (r.NextChild()) {
            if (r.X.name() != u"ROW") r.Fail(QStringLiteral("ROWDATA 中出现未知元素 %1").arg(r.X.name().toString()));
            QVector<QVariant> vals(n);
            r.ReadValues(vals.data());
            p.Rows.push_back(std::move(vals));
            if (r.NextChild()) r.Fail(QStringLiteral("ROW 不应有子元素"));
        }
    }
    r.ExpectEnd();
    p.Fields = r.Fields;
    return p;
}

QString WriteDataPacket(const QVector<TFieldDef>& fields, const std::function<const QVariant*(int, int&)>& row, int rowCount)
{
    QString out;
    out.reserve(64 + rowCount * fields.size() * 12);
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("DATAPACKET"));
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    const QStringList keys = AttributeKeys(fields);
    WriteFields(w, fields, keys);
    w.writeStartElement(QStringLiteral("ROWDATA"));
    const QString rowTag = QStringLiteral("ROW");
    for (int i = 0; i < rowCount; ++i) {
        int count = 0;
        const QVariant* vals = row(i, count);
        w.writeEmptyElement(rowTag);
        WriteValues(w, fields, keys, vals, count);
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    CheckWriter(w);
    return out;
}

} // namespace

QString TClientDataSet::XMLData() const
{
    const QVector<TFieldDef> defs = FieldDefs();
    std::vector<int> live;
    live.reserve(d->Rows.size());
    for (int i = 0; i < int(d->Rows.size()); ++i)
        if (!d->Rows[i].Deleted && !d->Rows[i].Pending) live.push_back(i);
    return WriteDataPacket(
        defs,
        [&](int i, int& count) {
            const TRow& r = d->Rows[live[i]];
            count = int(r.Values.size());
            return r.Values.constData();
        },
        int(live.size()));
}

QString BuildDataPacketXML(const QVector<TFieldDef>& fields, const QVector<QVariantList>& rows)
{
    if (fields.isEmpty()) throw EDatabaseError(QStringLiteral("没有字段定义，不能生成数据包"));
    // values are stored in their field's type so that readers get what they expect
    std::vector<QVector<QVariant>> typed;
    typed.reserve(rows.size());
    for (const auto& r : rows) {
        QVector<QVariant> vals(fields.size());
        for (int i = 0; i < fields.size() && i < r.size(); ++i)
            if (fields[i].Kind == TFieldKind::fkData) vals[i] = CoerceTo(fields[i].DataType, 0, r[i]);
        typed.push_back(std::move(vals));
    }
    return WriteDataPacket(
        fields,
        [&](int i, int& count) {
            count = int(typed[i].size());
            return typed[i].constData();
        },
        int(typed.size()));
}

void TClientDataSet::LoadFromXMLString(const QString& xml)
{
    TParsedPacket p = ParseDataPacket(xml); // throws before anything changes

    if (d->Active) {
        d->Fire(BeforeClose);
        d->Active = false;
        d->State = TDataSetState::dsInactive;
        d->Fire(AfterClose);
    }
    // Fields whose names the packet repeats are kept (with their handlers and captions);
    // calculated fields the packet lacks stay after the data fields.
    std::vector<std::unique_ptr<TField>> old = std::move(d->Fields);
    std::vector<std::unique_ptr<TField>> fresh;
    for (const TFieldDef& def : p.Fields) {
        std::unique_ptr<TField> f;
        for (auto& o : old) {
            if (o && o->FieldName().compare(def.Name, Qt::CaseInsensitive) == 0) {
                f = std::move(o);
                break;
            }
        }
        if (f) {
            const bool wasRequired = f->FDef.Required;
            f->FDef = def;
            if (def.Required && !wasRequired) f->Required = true;
        } else {
            f = std::make_unique<TField>(this, def, 0);
        }
        fresh.push_back(std::move(f));
    }
    for (auto& o : old)
        if (o && o->FieldKind() == TFieldKind::fkCalculated) fresh.push_back(std::move(o));
    d->Fields = std::move(fresh);
    d->Reindex();

    const int n = d->FieldCount();
    d->Rows.clear();
    d->Rows.resize(p.Rows.size());
    for (size_t i = 0; i < p.Rows.size(); ++i) {
        TRow& r = d->Rows[i];
        r.Id = d->NextId++;
        r.Values = std::move(p.Rows[i]);
        if (r.Values.size() != n) r.Values.resize(n);
    }
    d->Undo.clear();
    d->Buffer.clear();
    d->BufModified = false;
    d->Active = true;
    d->State = TDataSetState::dsBrowse;
    d->RecalcAll();
    d->RebuildVis(-1);
    d->Cur = d->Vis.isEmpty() ? -1 : 0;
    d->Bof = true;
    d->Eof = d->Vis.isEmpty();
    if (d->Signals()) emit stateChanged();
    d->ResetViews();
    d->Fire(AfterOpen);
    d->Fire(AfterScroll);
}

TClientDataSet* RecordsetFromXMLString(const QString& xml, QObject* owner)
{
    auto ds = std::make_unique<TClientDataSet>(owner);
    ds->LoadFromXMLString(xml);
    return ds.release();
}

// ---------------------------------------------------------------- navigation

void TClientDataSet::First()
{
    d->CheckActive();
    CheckBrowseMode();
    if (d->Vis.isEmpty()) { d->Bof = d->Eof = true; return; }
    d->MoveTo(0, true);
    d->Bof = true;
    d->Eof = false;
}

void TClientDataSet::Last()
{
    d->CheckActive();
    CheckBrowseMode();
    if (d->Vis.isEmpty()) { d->Bof = d->Eof = true; return; }
    d->MoveTo(int(d->Vis.size()) - 1, true);
    d->Eof = true;
    d->Bof = false;
}

int TClientDataSet::MoveBy(int distance)
{
    d->CheckActive();
    CheckBrowseMode();
    if (d->Vis.isEmpty()) { d->Bof = d->Eof = true; return 0; }
    const int target = std::clamp(d->Cur + distance, 0, int(d->Vis.size()) - 1);
    const int moved = target - d->Cur;
    if (moved != 0) d->MoveTo(target);
    d->Bof = distance < 0 && moved != distance;
    d->Eof = distance > 0 && moved != distance;
    return moved;
}

void TClientDataSet::Next() { MoveBy(1); }
void TClientDataSet::Prior() { MoveBy(-1); }
bool TClientDataSet::Eof() const { return !d->Active || d->Eof; }
bool TClientDataSet::Bof() const { return !d->Active || d->Bof; }
bool TClientDataSet::IsEmpty() const { return d->Vis.isEmpty(); }
int TClientDataSet::RecordCount() const { return d->Active ? int(d->Vis.size()) : 0; }
int TClientDataSet::RecNo() const { return d->Active && d->Cur >= 0 ? d->Cur + 1 : 0; }

void TClientDataSet::SetRecNo(int recNo)
{
    d->CheckActive();
    if (recNo - 1 == d->Cur) return;
    CheckBrowseMode();
    if (d->Vis.isEmpty()) return;
    d->MoveTo(std::clamp(recNo - 1, 0, int(d->Vis.size()) - 1));
    d->Bof = d->Eof = false;
}

namespace {
struct LocateKey {
    TField* Field;
    QVariant Value;
};
} // namespace

static bool PrepareKeys(TClientDataSet* ds, const QString& keyFields, const QVariantList& keyValues, int options,
                        QVector<LocateKey>& keys)
{
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    if (names.isEmpty()) throw EDatabaseError(QStringLiteral("没有指定查找字段"));
    if (names.size() != keyValues.size())
        throw EDatabaseError(QStringLiteral("查找字段数 %1 与查找值数 %2 不符").arg(names.size()).arg(keyValues.size()));
    for (int i = 0; i < names.size(); ++i) {
        TField* f = ds->FieldByName(names[i].trimmed());
        QVariant v;
        try {
            v = (f->DataType() == TFieldType::ftString && (options & (loPartialKey | loCaseInsensitive)))
                    ? (IsNullV(keyValues[i]) ? QVariant() : QVariant(keyValues[i].toString()))
                    : f->Coerce(keyValues[i]);
        } catch (const EConvertError&) {
            return false; // a value the field cannot hold matches nothing
        }
        if (f->DataType() == TFieldType::ftString && (options & loCaseInsensitive) && !IsNullV(v))
            v = v.toString().toCaseFolded();
        keys.append({f, v});
    }
    return true;
}

static bool RowMatches(const QVector<QVariant>& vals, const QVector<LocateKey>& keys, int options)
{
    for (const auto& k : keys) {
        const QVariant& v = vals[k.Field->Index()];
        if (IsNullV(k.Value) || IsNullV(v)) {
            if (IsNullV(k.Value) != IsNullV(v)) return false;
            continue;
        }
        if (k.Field->DataType() == TFieldType::ftString) {
            QString s = v.toString();
            if (options & loCaseInsensitive) s = s.toCaseFolded();
            const QString key = k.Value.toString();
            if (options & loPartialKey) {
                if (!s.startsWith(key)) return false;
            } else if (s != key) {
                return false;
            }
        } else if (v != k.Value) {
            return false;
        }
    }
    return true;
}

bool TClientDataSet::Locate(const QString& keyFields, const QVariantList& keyValues, int options)
{
    d->CheckActive();
    CheckBrowseMode();
    QVector<LocateKey> keys;
    if (!PrepareKeys(this, keyFields, keyValues, options, keys)) return false;
    for (int i = 0; i < d->Vis.size(); ++i) {
        if (RowMatches(d->Rows[d->Vis[i]].Values, keys, options)) {
            d->MoveTo(i);
            d->Bof = d->Eof = false;
            return true;
        }
    }
    return false;
}

bool TClientDataSet::Locate(const QString& keyField, const QVariant& keyValue, int options)
{
    if (keyValue.typeId() == QMetaType::QVariantList) return Locate(keyField, keyValue.toList(), options);
    return Locate(keyField, QVariantList{keyValue}, options);
}

QVariant TClientDataSet::Lookup(const QString& keyFields, const QVariantList& keyValues, const QString& resultField)
{
    d->CheckActive();
    TField* result = FieldByName(resultField);
    QVector<LocateKey> keys;
    if (!PrepareKeys(this, keyFields, keyValues, 0, keys)) return QVariant();
    for (int i = 0; i < d->Vis.size(); ++i) {
        const TRow& r = d->Rows[d->Vis[i]];
        if (RowMatches(r.Values, keys, 0)) return r.Values[result->Index()];
    }
    return QVariant();
}

TClientDataSet::TBookmark TClientDataSet::GetBookmark() const { return d->CurrentId(); }

bool TClientDataSet::BookmarkValid(TBookmark b) const
{
    if (b < 0) return false;
    for (int v : d->Vis)
        if (d->Rows[v].Id == b) return true;
    return false;
}

void TClientDataSet::GotoBookmark(TBookmark b)
{
    d->CheckActive();
    CheckBrowseMode();
    for (int i = 0; i < d->Vis.size(); ++i) {
        if (d->Rows[d->Vis[i]].Id == b) {
            d->MoveTo(i);
            d->Bof = d->Eof = false;
            return;
        }
    }
    throw EDatabaseError(QStringLiteral("记录已不存在"));
}

// ---------------------------------------------------------------- editing

void TClientDataSet::Impl::BeginInsert(bool append)
{
    TClientDataSet* ds = Q;
    Impl* d = this;
    d->CheckActive();
    ds->CheckBrowseMode();
    d->Fire(ds->BeforeInsert);
    d->Fire(ds->BeforeScroll);
    TRow r;
    r.Id = d->NextId++;
    r.Pending = true;
    r.Values.resize(d->FieldCount());
    int rowIndex;
    int visIndex;
    if (append || d->Cur < 0) {
        rowIndex = int(d->Rows.size());
        visIndex = int(d->Vis.size());
    } else {
        rowIndex = d->Vis[d->Cur];
        visIndex = d->Cur;
    }
    d->Rows.insert(d->Rows.begin() + rowIndex, std::move(r));
    // An appended row lies behind every other: no index moves, and appending stays as
    // quick on a bill of 20,000 lines as on one of ten.
    if (rowIndex + 1 < int(d->Rows.size()))
        d->ShiftVisAfterInsert(rowIndex);
    d->Vis.insert(visIndex, rowIndex);
    d->Cur = visIndex;
    d->Bof = d->Eof = false;
    d->Buffer = QVector<QVariant>(d->FieldCount());
    d->BufModified = false;
    d->SetState(TDataSetState::dsInsert);
    if (d->Signals()) {
        emit ds->rowInserted(visIndex);
        emit ds->currentChanged(visIndex);
    }
    d->InNewRecord = true;
    try {
        d->Fire(ds->OnNewRecord);
    } catch (...) {
        d->InNewRecord = false;
        ds->Cancel();
        throw;
    }
    d->InNewRecord = false;
    d->BufModified = false;
    d->CalcRow(d->Buffer);
    if (d->Signals()) emit ds->rowChanged(visIndex);
    d->Fire(ds->AfterInsert);
    d->Fire(ds->AfterScroll);
}

void TClientDataSet::Append() { d->BeginInsert(true); }
void TClientDataSet::Insert() { d->BeginInsert(false); }

void TClientDataSet::Edit()
{
    d->CheckActive();
    if (d->Editing()) return;
    if (d->Vis.isEmpty()) { Insert(); return; }
    d->Fire(BeforeEdit);
    d->Buffer = d->Rows[d->Vis[d->Cur]].Values;
    d->BufModified = false;
    d->SetState(TDataSetState::dsEdit);
    d->Fire(AfterEdit);
}

void TClientDataSet::Post()
{
    d->CheckActive();
    if (!d->Editing()) throw EDatabaseError(QStringLiteral("数据集不在编辑或新增状态"));
    d->Fire(BeforePost);
    for (const auto& f : d->Fields) {
        if (f->FieldKind() == TFieldKind::fkData && f->Required && IsNullV(d->Buffer[f->Index()]))
            throw EDatabaseError(QStringLiteral("字段 '%1' 必须有值").arg(f->DisplayName()));
    }
    d->CalcRow(d->Buffer);
    const int rowIndex = d->Vis[d->Cur];
    TRow& r = d->Rows[rowIndex];
    if (d->State == TDataSetState::dsInsert) {
        d->PushUndo(r, rowIndex, false);
        r.Pending = false;
        r.Status = LogChanges ? TUpdateStatus::usInserted : TUpdateStatus::usUnmodified;
        r.Values = d->Buffer;
    } else if (!d->DataEqual(r.Values, d->Buffer)) {
        d->PushUndo(r, rowIndex, true);
        if (LogChanges && r.Status == TUpdateStatus::usUnmodified) {
            r.Orig = r.Values;
            r.Status = TUpdateStatus::usModified;
        }
        r.Values = d->Buffer;
        // edited back to the loaded values: nothing is pending any more
        if (r.Status == TUpdateStatus::usModified && d->DataEqual(r.Values, r.Orig)) {
            r.Status = TUpdateStatus::usUnmodified;
            r.Orig.clear();
        }
    } else {
        r.Values = d->Buffer; // calculated values may differ
    }
    d->Buffer.clear();
    d->BufModified = false;
    d->SetState(TDataSetState::dsBrowse);
    const int cur = d->Cur;
    if (d->Signals()) emit rowChanged(cur);
    if (FFiltered && !d->Passes(r)) {
        d->Vis.removeAt(cur);
        if (d->Cur >= d->Vis.size()) d->Cur = int(d->Vis.size()) - 1;
        d->Eof = d->Vis.isEmpty();
        if (d->Signals()) {
            emit rowRemoved(cur);
            emit currentChanged(d->Cur);
        }
    }
    d->Fire(AfterPost);
}

void TClientDataSet::Cancel()
{
    if (!d->Active || !d->Editing()) return;
    d->Fire(BeforeCancel);
    const bool inserting = d->State == TDataSetState::dsInsert;
    d->Buffer.clear();
    d->BufModified = false;
    d->SetState(TDataSetState::dsBrowse);
    if (inserting) {
        const int cur = d->Cur;
        const int rowIndex = d->Vis[cur];
        d->Rows.erase(d->Rows.begin() + rowIndex);
        d->Vis.removeAt(cur);
        d->ShiftVisAfterErase(rowIndex);
        if (d->Cur >= d->Vis.size()) d->Cur = int(d->Vis.size()) - 1;
        d->Eof = d->Vis.isEmpty();
        d->Bof = d->Vis.isEmpty() || d->Bof;
        if (d->Signals()) {
            emit rowRemoved(cur);
            emit currentChanged(d->Cur);
        }
    } else if (d->Signals() && d->Cur >= 0) {
        emit rowChanged(d->Cur);
    }
    d->Fire(AfterCancel);
}

void TClientDataSet::Delete()
{
    d->CheckActive();
    if (d->State == TDataSetState::dsInsert) { Cancel(); return; }
    if (d->Vis.isEmpty()) throw EDatabaseError(QStringLiteral("数据集为空，不能删除"));
    d->Fire(BeforeDelete);
    d->Fire(BeforeScroll);
    if (d->State == TDataSetState::dsEdit) {
        d->Buffer.clear();
        d->BufModified = false;
        d->SetState(TDataSetState::dsBrowse);
    }
    const int cur = d->Cur;
    const int rowIndex = d->Vis[cur];
    TRow& r = d->Rows[rowIndex];
    d->PushUndo(r, rowIndex, true);
    d->Vis.removeAt(cur);
    const bool unlogged = !LogChanges && r.Status == TUpdateStatus::usUnmodified;
    if (r.Status == TUpdateStatus::usInserted || unlogged) {
        d->Rows.erase(d->Rows.begin() + rowIndex);
        d->ShiftVisAfterErase(rowIndex);
    } else {
        if (r.Orig.isEmpty()) r.Orig = r.Values;
        r.Deleted = true;
    }
    if (d->Cur >= d->Vis.size()) d->Cur = int(d->Vis.size()) - 1;
    d->Eof = d->Vis.isEmpty() || d->Eof;
    d->Bof = d->Vis.isEmpty() || d->Bof;
    if (d->Signals()) {
        emit rowRemoved(cur);
        emit currentChanged(d->Cur);
    }
    d->Fire(AfterDelete);
    d->Fire(AfterScroll);
}

void TClientDataSet::CheckBrowseMode()
{
    d->CheckActive();
    if (!d->Editing()) return;
    if (d->BufModified) Post();
    else Cancel();
}

bool TClientDataSet::Modified() const { return d->Editing() && d->BufModified; }

void TClientDataSet::AppendRecord(const QVariantList& values)
{
    Append();
    try {
        for (int i = 0; i < values.size() && i < d->FieldCount(); ++i) {
            if (d->Fields[i]->FieldKind() != TFieldKind::fkData) continue;
            d->Fields[i]->SetValue(values[i]);
        }
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

TUpdateStatus TClientDataSet::UpdateStatus() const
{
    if (!d->Active || d->Cur < 0) return TUpdateStatus::usUnmodified;
    const TRow& r = d->Rows[d->Vis[d->Cur]];
    if (r.Pending) return TUpdateStatus::usInserted;
    return r.Status;
}

QVariant TClientDataSet::RowValue(int visibleRow, int fieldIndex) const
{
    if (!d->Active || visibleRow < 0 || visibleRow >= d->Vis.size() || fieldIndex < 0 || fieldIndex >= d->FieldCount())
        return QVariant();
    if (visibleRow == d->Cur && d->Editing()) return d->Buffer.value(fieldIndex);
    return d->Rows[d->Vis[visibleRow]].Values.value(fieldIndex);
}

QVariant TClientDataSet::PostedValue(int fieldIndex) const
{
    if (!d->Active || d->Cur < 0 || d->Cur >= d->Vis.size() || fieldIndex < 0 || fieldIndex >= d->FieldCount())
        return QVariant();
    const auto& row = d->Rows[d->Vis[d->Cur]];
    return row.Pending ? QVariant() : row.Values.value(fieldIndex);
}

// ---------------------------------------------------------------- change log

int TClientDataSet::ChangeCount() const
{
    int n = 0;
    for (const TRow& r : d->Rows)
        if (!r.Pending && (r.Deleted || r.Status != TUpdateStatus::usUnmodified)) ++n;
    return n;
}

void TClientDataSet::CancelUpdates()
{
    if (!d->Active) return;
    Cancel();
    const qint64 keep = d->CurrentId();
    std::vector<TRow> kept;
    kept.reserve(d->Rows.size());
    for (TRow& r : d->Rows) {
        if (r.Status == TUpdateStatus::usInserted) continue;
        if (!r.Orig.isEmpty()) r.Values = std::move(r.Orig);
        r.Orig.clear();
        r.Status = TUpdateStatus::usUnmodified;
        r.Deleted = false;
        if (d->HasCalcFields()) d->CalcRow(r.Values);
        kept.push_back(std::move(r));
    }
    d->Rows = std::move(kept);
    d->Undo.clear();
    d->RebuildVis(keep);
    d->ResetViews();
}

void TClientDataSet::MergeChangeLog()
{
    if (!d->Active) return;
    const qint64 keep = d->CurrentId();
    d->Rows.erase(std::remove_if(d->Rows.begin(), d->Rows.end(), [](const TRow& r) { return r.Deleted; }), d->Rows.end());
    for (TRow& r : d->Rows) {
        if (r.Pending) continue;
        r.Status = TUpdateStatus::usUnmodified;
        r.Orig.clear();
    }
    d->Undo.clear();
    d->RebuildVis(keep);
    d->ResetViews();
}

bool TClientDataSet::UndoLastChange(bool followChange)
{
    if (!d->Active) return false;
    Cancel();
    if (d->Undo.empty()) return false;
    TUndo u = std::move(d->Undo.back());
    d->Undo.pop_back();
    qint64 target = d->CurrentId();
    const int at = d->RowIndexOfId(u.RowId);
    if (!u.Existed) {
        if (at >= 0) d->Rows.erase(d->Rows.begin() + at);
    } else if (at >= 0) {
        d->Rows[at] = std::move(u.Before);
        if (followChange) target = u.RowId;
    } else {
        const int pos = std::clamp(u.Pos, 0, int(d->Rows.size()));
        d->Rows.insert(d->Rows.begin() + pos, std::move(u.Before));
        if (followChange) target = u.RowId;
    }
    d->RebuildVis(target);
    d->ResetViews();
    return true;
}

QString TClientDataSet::GetDeltaXML() const
{
    QVector<TFieldDef> defs;
    QVector<int> idx;
    QStringList labels;
    d->DeltaFields(defs, idx, labels);
    const QStringList keys = AttributeKeys(defs);
    QString out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("DELTAPACKET"));
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    WriteFields(w, defs, keys);
    w.writeStartElement(QStringLiteral("ROWDATA"));
    QVector<QVariant> tmp(defs.size());
    auto writeVals = [&](const QString& tag, const QVector<QVariant>& vals) {
        w.writeEmptyElement(tag);
        for (int i = 0; i < idx.size(); ++i) tmp[i] = vals.value(idx[i]);
        WriteValues(w, defs, keys, tmp.constData(), int(tmp.size()), labels);
    };
    const QString sOld = QStringLiteral("OLD"), sNew = QStringLiteral("NEW"), sRow = QStringLiteral("ROW"),
                  sState = QStringLiteral("RowState");
    for (const TRow& r : d->Rows) {
        if (!r.Deleted || r.Pending) continue;
        w.writeStartElement(sRow);
        w.writeAttribute(sState, QStringLiteral("deleted"));
        writeVals(sOld, r.Orig.isEmpty() ? r.Values : r.Orig);
        writeVals(sNew, r.Values);
        w.writeEndElement();
    }
    for (const TRow& r : d->Rows) {
        if (r.Deleted || r.Pending || r.Status == TUpdateStatus::usUnmodified) continue;
        w.writeStartElement(sRow);
        if (r.Status == TUpdateStatus::usInserted) {
            w.writeAttribute(sState, QStringLiteral("inserted"));
        } else {
            w.writeAttribute(sState, QStringLiteral("modified"));
            writeVals(sOld, r.Orig);
        }
        writeVals(sNew, r.Values);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    CheckWriter(w);
    return out;
}

QString GetDeltaXML(const TClientDataSet* ds)
{
    if (!ds) throw EDatabaseError(QStringLiteral("数据集不存在"));
    return ds->GetDeltaXML();
}

static TDelta ParseCompactDelta(QStringView text);

// The rows of a delta share one index of its field names; a name given twice (in any case)
// would leave a value without its column.
static std::shared_ptr<TRowNames> DeltaNames(const QVector<TFieldDef>& fields)
{
    auto names = std::make_shared<TRowNames>();
    for (const TFieldDef& f : fields)
        if (names->Add(f.Name) != names->Count() - 1)
            throw EDatabaseError(QStringLiteral("变更包中字段 %1 重复").arg(f.Name));
    return names;
}

TDelta ParseDeltaXML(const QString& xml)
{
    if (IsCompactPacket(xml)) return ParseCompactDelta(xml);
    PacketReader r(xml);
    r.ReadRoot(QStringLiteral("DELTAPACKET"));
    r.ReadMetadata();
    TDelta delta;
    const int n = int(r.Fields.size());
    for (const auto& f : r.Fields)
        if (f.Kind != TFieldKind::fkData) r.Fail(QStringLiteral("变更包中不应有计算字段 '%1'").arg(f.Name));
    const auto names = DeltaNames(r.Fields);
    auto toMap = [&](const QVector<QVariant>& vals) {
        TRowValues m(names);
        for (int i = 0; i < n; ++i) m.Set(i, vals[i]);
        return m;
    };
    if (r.NextChild()) {
        if (r.X.name() != u"ROWDATA") r.Fail(QStringLiteral("缺少 ROWDATA"));
        while (r.NextChild()) {
            if (r.X.name() != u"ROW") r.Fail(QStringLiteral("ROWDATA 中出现未知元素 %1").arg(r.X.name().toString()));
            TDeltaRow row;
            const QStringView st = r.X.attributes().value(QLatin1String("RowState"));
            if (st == u"inserted") row.Kind = TUpdateStatus::usInserted;
            else if (st == u"modified") row.Kind = TUpdateStatus::usModified;
            else if (st == u"deleted") row.Kind = TUpdateStatus::usDeleted;
            else r.Fail(QStringLiteral("未知的 RowState '%1'").arg(st.toString()));
            bool hasOld = false, hasNew = false;
            QVector<QVariant> oldVals(n), newVals(n);
            while (r.NextChild()) {
                if (r.X.name() == u"OLD" && !hasOld) { r.ReadValues(oldVals.data()); hasOld = true; }
                else if (r.X.name() == u"NEW" && !hasNew) { r.ReadValues(newVals.data()); hasNew = true; }
                else r.Fail(QStringLiteral("ROW 中出现未知或重复的元素 %1").arg(r.X.name().toString()));
                if (r.NextChild()) r.Fail(QStringLiteral("%1 不应有子元素").arg(r.X.name().toString()));
            }
            if (!hasNew) r.Fail(QStringLiteral("ROW 缺少 NEW"));
            if (row.Kind != TUpdateStatus::usInserted && !hasOld) r.Fail(QStringLiteral("ROW 缺少 OLD"));
            row.New = toMap(newVals);
            if (hasOld) row.Old = toMap(oldVals);
            if (row.Kind == TUpdateStatus::usModified)
                for (int i = 0; i < n; ++i)
                    if (oldVals[i] != newVals[i]) row.Changed << r.Fields[i].Name;
            delta.Rows << row;
        }
    }
    r.ExpectEnd();
    delta.Fields = r.Fields;
    return delta;
}

// ---------------------------------------------------------------- compact encoding

namespace {

const QLatin1StringView kCompactDataMagic("#TBDP1;");
const QLatin1StringView kCompactDeltaMagic("#TBDL1;");

void AppendAscii(QString& out, const char* from, const char* to)
{
    out.append(QLatin1StringView(from, to - from));
}

void AppendCount(QString& out, qint64 n, QChar end)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    AppendAscii(out, buf, r.ptr);
    out.append(end);
}

void AppendLengthPrefixed(QString& out, QStringView text)
{
    AppendCount(out, text.size(), u':');
    out.append(text);
}

const char kTypeLetters[] = "ifcsbdx"; // in TFieldType order

void WriteCompactFields(QString& out, const QVector<TFieldDef>& fields)
{
    AppendCount(out, fields.size(), u';');
    for (const TFieldDef& f : fields) {
        out.append(QLatin1Char(kTypeLetters[int(f.DataType)]));
        AppendCount(out, f.Size, u',');
        AppendCount(out, (f.Required ? 1 : 0) | (f.Kind == TFieldKind::fkCalculated ? 2 : 0), u',');
        AppendLengthPrefixed(out, f.Name);
    }
}

// Reads the compact encoding. Every read checks the bounds: a malformed text is refused with
// the position where it went wrong, never read past its end.
class CompactReader {
public:
    explicit CompactReader(QStringView text) : FText(text), P(text.data()), End(text.data() + text.size()) {}

    [[noreturn]] void Fail(const QString& why) const
    {
        throw EDatabaseError(QStringLiteral("数据包格式错误（第 %1 个字符）：%2").arg(P - FText.data() + 1).arg(why));
    }

    bool AtEnd() const { return P >= End; }
    char16_t Take()
    {
        if (P >= End) Fail(QStringLiteral("数据不完整"));
        return (P++)->unicode();
    }
    void Expect(char16_t c)
    {
        if (Take() != c) { --P; Fail(QStringLiteral("应为 '%1'").arg(QChar(c))); }
    }
    // The header of the kind of text expected: a data packet is no delta, nor the reverse.
    void Header(QLatin1StringView magic, const QString& kind)
    {
        if (!FText.startsWith(magic)) Fail(QStringLiteral("不是%1").arg(kind));
        P += magic.size();
    }

    // A decimal count up to `end`.
    qint64 Count(char16_t end, qint64 max = std::numeric_limits<int>::max())
    {
        qint64 n = 0;
        const QChar* start = P;
        while (P < End && P->unicode() >= u'0' && P->unicode() <= u'9') {
            n = n * 10 + (P->unicode() - u'0');
            if (n > max) Fail(QStringLiteral("数值过大"));
            ++P;
        }
        if (P == start) Fail(QStringLiteral("应为数字"));
        Expect(end);
        return n;
    }

    QStringView Chars(qint64 n)
    {
        if (n > End - P) Fail(QStringLiteral("数据不完整"));
        const QStringView v(P, n);
        P += n;
        return v;
    }
    QStringView LengthPrefixed() { return Chars(Count(u':')); }

    // The ASCII text of a number up to its ';', in buf; its length.
    int NumberText(char* buf, int size)
    {
        int n = 0;
        for (;;) {
            const char16_t c = Take();
            if (c == u';') return n;
            if (c > 127 || n + 1 >= size) { --P; Fail(QStringLiteral("数值格式错误")); }
            buf[n++] = char(c);
        }
    }

    QVector<TFieldDef> Fields(bool dataOnly)
    {
        const qint64 n = Count(u';', 100000);
        QVector<TFieldDef> fields;
        fields.reserve(n);
        for (qint64 i = 0; i < n; ++i) {
            TFieldDef f;
            const char* t = std::strchr(kTypeLetters, char(Take()));
            if (!t || !*t) { --P; Fail(QStringLiteral("未知的字段类型")); }
            f.DataType = TFieldType(t - kTypeLetters);
            f.Size = int(Count(u','));
            const qint64 flags = Count(u',', 3);
            f.Required = flags & 1;
            if (flags & 2) {
                if (dataOnly) Fail(QStringLiteral("变更包中不应有计算字段"));
                f.Kind = TFieldKind::fkCalculated;
            }
            f.Name = LengthPrefixed().toString();
            if (f.Name.trimmed().isEmpty()) Fail(QStringLiteral("字段没有名称"));
            for (const TFieldDef& g : fields)
                if (g.Name.compare(f.Name, Qt::CaseInsensitive) == 0) Fail(QStringLiteral("字段 '%1' 重复").arg(f.Name));
            fields << f;
        }
        if (fields.isEmpty()) Fail(QStringLiteral("没有字段定义"));
        return fields;
    }

    // One value, converted to the field's storage type where it came in another (a column
    // whose values the engine stores in more than one way).
    QVariant Value(const TFieldDef& f)
    {
        const char16_t tag = Take();
        QVariant v;
        switch (tag) {
        case u'~':
            return QVariant();
        case u'i': {
            char buf[32];
            const int n = NumberText(buf, sizeof buf);
            qint64 i = 0;
            const auto r = std::from_chars(buf, buf + n, i);
            if (r.ec != std::errc() || r.ptr != buf + n) Fail(QStringLiteral("整数格式错误"));
            if (f.DataType == TFieldType::ftInteger) return qlonglong(i);
            if (f.DataType == TFieldType::ftFloat || f.DataType == TFieldType::ftCurrency) return double(i);
            v = qlonglong(i);
            break;
        }
        case u'f': {
            char buf[40];
            const int n = NumberText(buf, sizeof buf);
            double d = 0;
            const auto r = std::from_chars(buf, buf + n, d);
            if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(d)) Fail(QStringLiteral("数值格式错误"));
            if (f.DataType == TFieldType::ftFloat || f.DataType == TFieldType::ftCurrency) return d;
            // the engine's own text of a number in a text column
            if (f.DataType == TFieldType::ftString) return QString::number(d, 'g', 15);
            v = d;
            break;
        }
        case u'T':
        case u'F':
            // writers put flags only into flag fields
            if (f.DataType != TFieldType::ftBoolean) { --P; Fail(QStringLiteral("字段 '%1' 不是逻辑字段").arg(f.Name)); }
            return tag == u'T';
        case u'd': {
            const QDateTime dt = ParseDateTimeText(Chars(19));
            if (!dt.isValid()) { P -= 19; Fail(QStringLiteral("字段 '%1' 的日期无效").arg(f.Name)); }
            if (f.DataType == TFieldType::ftDateTime) return dt;
            v = dt;
            break;
        }
        case u's': {
            const QStringView text = LengthPrefixed();
            if (f.DataType == TFieldType::ftString) return text.toString();
            v = text.toString();
            break;
        }
        case u'x': {
            auto bytes = QByteArray::fromBase64Encoding(LengthPrefixed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!bytes) Fail(QStringLiteral("字段 '%1' 的二进制数据无效").arg(f.Name));
            if (f.DataType == TFieldType::ftBlob) return *bytes;
            v = *bytes;
            break;
        }
        default:
            --P;
            Fail(QStringLiteral("未知的值类型"));
        }
        try {
            return CoerceTo(f.DataType, 0, v);
        } catch (const EConvertError& e) {
            Fail(QStringLiteral("字段 '%1'：%2").arg(f.Name, e.Message()));
        }
    }

    // The data values of one row into vals (sized to the field count).
    void Row(const QVector<TFieldDef>& fields, QVariant* vals)
    {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].Kind == TFieldKind::fkData) vals[i] = Value(fields[i]);
    }

private:
    QStringView FText;
    const QChar* P;
    const QChar* End;
};

TParsedPacket ParseCompactDataPacket(QStringView text)
{
    CompactReader r(text);
    r.Header(kCompactDataMagic, QStringLiteral("数据包"));
    TParsedPacket p;
    p.Fields = r.Fields(false);
    const qint64 rows = r.Count(u';');
    const int n = int(p.Fields.size());
    p.Rows.reserve(size_t(std::min<qint64>(rows, text.size())));
    for (qint64 i = 0; i < rows; ++i) {
        QVector<QVariant> vals(n);
        r.Row(p.Fields, vals.data());
        p.Rows.push_back(std::move(vals));
    }
    if (!r.AtEnd()) r.Fail(QStringLiteral("数据包之后有多余内容"));
    return p;
}

// Writes the data values of a row (values in field order) as the XML writer would store them;
// text a packet may not carry is refused naming the field by `labels` or by its name.
// The values of one row, the i-th found by at(i) (count of them), field by field. Text is
// written from the value itself, without a copy.
template <class At>
void WriteCompactValuesAt(TCompactWriter& w, const QVector<TFieldDef>& fields, int count, At&& at, const QStringList& labels)
{
    static const QVariant none;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].Kind != TFieldKind::fkData) continue;
        const QVariant& v = i < count ? at(i) : none;
        if (fields[i].DataType == TFieldType::ftString && !IsNullV(v)) {
            const QString converted = v.typeId() == QMetaType::QString ? QString() : v.toString();
            const QString& text = v.typeId() == QMetaType::QString ? *static_cast<const QString*>(v.constData()) : converted;
            if (FirstRefusedChar(text) >= 0)
                throw EDatabaseError(QStringLiteral("“%1”中的%2").arg(i < labels.size() ? labels[i] : fields[i].Name, RefusedTextReason(text)));
            w.Text(text);
            continue;
        }
        w.Value(fields[i].DataType, v);
    }
}

} // namespace

bool IsCompactPacket(QStringView text)
{
    return text.startsWith(kCompactDataMagic) || text.startsWith(kCompactDeltaMagic);
}

void TCompactWriter::Integer(qint64 v)
{
    FOut.append(u'i');
    AppendCount(FOut, v, u';');
}

void TCompactWriter::Float(double v)
{
    if (!std::isfinite(v)) throw EDatabaseError(QStringLiteral("'%1' 不是有效的数值").arg(v));
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    FOut.append(u'f');
    AppendAscii(FOut, buf, r.ptr);
    FOut.append(u';');
}

void TCompactWriter::Currency(double v)
{
    Float(RoundCurrency(v));
}

void TCompactWriter::Text(QStringView v)
{
    FOut.append(u's');
    AppendLengthPrefixed(FOut, v);
}

void TCompactWriter::FieldText(const QString& v, const QString& field)
{
    if (FirstRefusedChar(v) >= 0)
        throw EDatabaseError(QStringLiteral("“%1”中的%2").arg(field, RefusedTextReason(v)));
    Text(v);
}

void TCompactWriter::DateTime(const QDateTime& v)
{
    if (!v.isValid()) {
        Null();
        return;
    }
    const QDate d = v.date();
    const QTime t = v.time();
    if (d.year() < 1 || d.year() > 9999) { // beyond the fixed form: as text, which readers parse alike
        Text(v.toString(Qt::ISODate));
        return;
    }
    char buf[20];
    auto two = [&](int at, int n) { buf[at] = char('0' + n / 10); buf[at + 1] = char('0' + n % 10); };
    two(0, d.year() / 100);
    two(2, d.year() % 100);
    buf[4] = '-';
    two(5, d.month());
    buf[7] = '-';
    two(8, d.day());
    buf[10] = 'T';
    two(11, t.hour());
    buf[13] = ':';
    two(14, t.minute());
    buf[16] = ':';
    two(17, t.second());
    FOut.append(u'd');
    AppendAscii(FOut, buf, buf + 19);
}

void TCompactWriter::DateTimeText(QStringView v)
{
    FOut.append(u'd');
    FOut.append(v.left(19));
    if (v.size() == 10) FOut.append(QLatin1StringView(" 00:00:00"));
}

void TCompactWriter::Blob(const QByteArray& v)
{
    FOut.append(u'x');
    AppendLengthPrefixed(FOut, QString::fromLatin1(v.toBase64()));
}

void TCompactWriter::Value(TFieldType t, const QVariant& v)
{
    if (IsNullV(v)) {
        Null();
        return;
    }
    switch (t) {
    case TFieldType::ftInteger: Integer(v.toLongLong()); return;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: Float(v.toDouble()); return;
    case TFieldType::ftBoolean: Boolean(v.toBool()); return;
    case TFieldType::ftDateTime: DateTime(v.toDateTime()); return;
    case TFieldType::ftBlob: Blob(v.toByteArray()); return;
    case TFieldType::ftString:
        if (v.typeId() == QMetaType::QString) Text(*static_cast<const QString*>(v.constData()));
        else Text(v.toString());
        return;
    }
}

QString TCompactWriter::DataPacket(const QVector<TFieldDef>& fields, int rowCount) const
{
    QString out;
    out.reserve(FOut.size() + 32 + fields.size() * 24);
    out.append(kCompactDataMagic);
    WriteCompactFields(out, fields);
    AppendCount(out, rowCount, u';');
    out.append(FOut);
    return out;
}

QString BuildDataPacket(const QVector<TFieldDef>& fields, const QVector<QVariantList>& rows)
{
    if (fields.isEmpty()) throw EDatabaseError(QStringLiteral("没有字段定义，不能生成数据包"));
    TCompactWriter w;
    w.Reserve(rows.size() * fields.size() * 6);
    for (const QVariantList& r : rows)
        for (int i = 0; i < fields.size(); ++i) {
            if (fields[i].Kind != TFieldKind::fkData) continue;
            const QVariant v = i < r.size() ? CoerceTo(fields[i].DataType, 0, r[i]) : QVariant();
            if (fields[i].DataType == TFieldType::ftString && !IsNullV(v)) w.FieldText(v.toString(), fields[i].Name);
            else w.Value(fields[i].DataType, v);
        }
    return w.DataPacket(fields, int(rows.size()));
}

namespace {

// A dataset's value of field f as the compact text carries it and its reader gives it back,
// so that a delta handed over in the same process is the delta a remote server would read.
// A value already of the field's storage type is shared, not converted.
QVariant DeltaValue(const TFieldDef& f, const QVariant& v, const QString& label)
{
    if (IsNullV(v)) return QVariant();
    const int type = v.typeId();
    switch (f.DataType) {
    case TFieldType::ftInteger: return type == QMetaType::LongLong ? v : QVariant(qlonglong(v.toLongLong()));
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: {
        const double x = type == QMetaType::Double ? *static_cast<const double*>(v.constData()) : v.toDouble();
        if (!std::isfinite(x)) throw EDatabaseError(QStringLiteral("'%1' 不是有效的数值").arg(x));
        return type == QMetaType::Double ? v : QVariant(x);
    }
    case TFieldType::ftBoolean: return type == QMetaType::Bool ? v : QVariant(v.toBool());
    case TFieldType::ftBlob: return type == QMetaType::QByteArray ? v : QVariant(v.toByteArray());
    case TFieldType::ftString: {
        const bool isText = type == QMetaType::QString;
        const QString converted = isText ? QString() : v.toString();
        const QString& text = isText ? *static_cast<const QString*>(v.constData()) : converted;
        if (FirstRefusedChar(text) >= 0)
            throw EDatabaseError(QStringLiteral("“%1”中的%2").arg(label.isEmpty() ? f.Name : label, RefusedTextReason(text)));
        return isText ? v : QVariant(converted);
    }
    case TFieldType::ftDateTime: {
        // whole seconds, and the years beyond the fixed form through their text, as written
        TCompactWriter w;
        w.DateTime(v.toDateTime());
        const QString& t = w.Body();
        if (t.startsWith(u'~')) return QVariant();
        if (t.startsWith(u'd')) return ParseDateTimeText(QStringView(t).mid(1));
        return CoerceTo(TFieldType::ftDateTime, 0, QVariant(QStringView(t).mid(t.indexOf(u':') + 1).toString()));
    }
    }
    return QVariant();
}

} // namespace

TDelta TClientDataSet::GetDelta() const
{
    QVector<TFieldDef> defs;
    QVector<int> idx;
    QStringList labels;
    d->DeltaFields(defs, idx, labels);
    TDelta delta;
    const auto names = DeltaNames(defs);
    const int n = int(defs.size());
    static const QVariant none;
    auto read = [&](const QVector<QVariant>& from) {
        return TRowValues::Build(names, n, [&](int i) { return DeltaValue(defs[i], idx[i] < from.size() ? from[idx[i]] : none, labels[i]); });
    };
    auto add = [&](TUpdateStatus kind, const QVector<QVariant>* old, const QVector<QVariant>& now) {
        TDeltaRow row;
        row.Kind = kind;
        if (old) row.Old = read(*old);
        row.New = read(now);
        if (kind == TUpdateStatus::usModified)
            for (int i = 0; i < n; ++i)
                if (*row.Old.At(i) != *row.New.At(i)) row.Changed << defs[i].Name;
        delta.Rows << std::move(row);
    };
    delta.Rows.reserve(qsizetype(d->Rows.size()));
    // deleted rows first, as the text has them
    for (const TRow& r : d->Rows)
        if (r.Deleted && !r.Pending) add(TUpdateStatus::usDeleted, r.Orig.isEmpty() ? &r.Values : &r.Orig, r.Values);
    for (const TRow& r : d->Rows) {
        if (r.Deleted || r.Pending || r.Status == TUpdateStatus::usUnmodified) continue;
        if (r.Status == TUpdateStatus::usInserted) add(TUpdateStatus::usInserted, nullptr, r.Values);
        else add(TUpdateStatus::usModified, &r.Orig, r.Values);
    }
    delta.Fields = std::move(defs);
    return delta;
}

QString WriteDeltaPacket(const TDelta& delta)
{
    const QVector<TFieldDef>& defs = delta.Fields;
    const int n = int(defs.size());
    TCompactWriter w;
    QString& out = w.Body();
    out.reserve(64 + n * 24 + delta.Rows.size() * n * 8);
    out.append(kCompactDeltaMagic);
    WriteCompactFields(out, defs);
    AppendCount(out, delta.Rows.size(), u';');
    static const QVariant none;
    auto writeVals = [&](const TRowValues& vals) {
        WriteCompactValuesAt(
            w, defs, n, [&](int i) -> const QVariant& { const QVariant* v = vals.At(i); return v ? *v : none; }, QStringList());
    };
    for (const TDeltaRow& r : delta.Rows) {
        switch (r.Kind) {
        case TUpdateStatus::usDeleted: out.append(u'D'); break;
        case TUpdateStatus::usInserted: out.append(u'I'); break;
        case TUpdateStatus::usModified: out.append(u'M'); break;
        case TUpdateStatus::usUnmodified: throw EDatabaseError(QStringLiteral("变更包中有未修改的行"));
        }
        if (r.Kind != TUpdateStatus::usInserted) writeVals(r.Old);
        writeVals(r.New);
    }
    return out;
}

QString TClientDataSet::GetDeltaPacket() const { return WriteDeltaPacket(GetDelta()); }

QString GetDeltaPacket(const TClientDataSet* ds)
{
    if (!ds) throw EDatabaseError(QStringLiteral("数据集不存在"));
    return ds->GetDeltaPacket();
}

TDelta GetDelta(const TClientDataSet* ds)
{
    if (!ds) throw EDatabaseError(QStringLiteral("数据集不存在"));
    return ds->GetDelta();
}

static TDelta ParseCompactDelta(QStringView text)
{
    CompactReader r(text);
    r.Header(kCompactDeltaMagic, QStringLiteral("变更包"));
    TDelta delta;
    delta.Fields = r.Fields(true);
    const int n = int(delta.Fields.size());
    const qint64 rows = r.Count(u';');
    QVector<QVariant> oldVals(n), newVals(n);
    const auto names = DeltaNames(delta.Fields);
    // the values move into the row; the reader writes every one of them again for the next
    auto toMap = [&](QVector<QVariant>& vals) { return TRowValues(names, vals.data(), n); };
    delta.Rows.reserve(std::min<qint64>(rows, text.size()));
    for (qint64 k = 0; k < rows; ++k) {
        TDeltaRow row;
        const char16_t state = r.Take();
        if (state == u'I') row.Kind = TUpdateStatus::usInserted;
        else if (state == u'M') row.Kind = TUpdateStatus::usModified;
        else if (state == u'D') row.Kind = TUpdateStatus::usDeleted;
        else r.Fail(QStringLiteral("未知的行状态"));
        if (row.Kind != TUpdateStatus::usInserted)
            r.Row(delta.Fields, oldVals.data());
        r.Row(delta.Fields, newVals.data());
        if (row.Kind == TUpdateStatus::usModified)
            for (int i = 0; i < n; ++i)
                if (oldVals[i] != newVals[i]) row.Changed << delta.Fields[i].Name;
        if (row.Kind != TUpdateStatus::usInserted)
            row.Old = toMap(oldVals);
        row.New = toMap(newVals);
        delta.Rows << std::move(row);
    }
    if (!r.AtEnd()) r.Fail(QStringLiteral("变更包之后有多余内容"));
    return delta;
}

// ---------------------------------------------------------------- filters

void TClientDataSet::SetFiltered(bool on)
{
    if (FFiltered == on) return;
    if (d->Active) CheckBrowseMode();
    FFiltered = on;
    if (d->Active) {
        d->RebuildVis(d->CurrentId());
        d->ResetViews();
    }
}

void TClientDataSet::SetFilter(const QString& text)
{
    std::unique_ptr<FNode> expr;
    if (!text.trimmed().isEmpty()) {
        expr = FilterParser(text).Parse();
        if (d->FieldCount() > 0) {
            const QString unknown = d->Resolve(expr.get());
            if (!unknown.isEmpty())
                throw EDatabaseError(QStringLiteral("过滤条件错误：字段 '%1' 不存在：%2").arg(unknown, text));
        }
    }
    if (d->Active) CheckBrowseMode();
    FFilter = text;
    d->FilterExpr = std::move(expr);
    if (d->Active && FFiltered) {
        d->RebuildVis(d->CurrentId());
        d->ResetViews();
    }
}

// ---------------------------------------------------------------- aggregates

double TClientDataSet::Sum(const QString& fieldName) const
{
    const TField* f = FieldByName(fieldName);
    if (!d->Active) return 0;
    const int fi = f->Index();
    const bool numeric = f->DataType() == TFieldType::ftInteger || f->DataType() == TFieldType::ftFloat
                         || f->DataType() == TFieldType::ftCurrency;
    double sum = 0;
    for (int i = 0; i < d->Vis.size(); ++i) {
        const QVariant& v = (i == d->Cur && d->Editing()) ? d->Buffer[fi] : d->Rows[d->Vis[i]].Values[fi];
        if (IsNullV(v)) continue;
        if (numeric) sum += v.toDouble();
        else {
            bool ok = false;
            const double x = v.toString().toDouble(&ok);
            if (ok) sum += x;
        }
    }
    return f->DataType() == TFieldType::ftCurrency ? RoundCurrency(sum) : sum;
}

// ---------------------------------------------------------------- event control

void TClientDataSet::DisableControls() { ++d->DisableCount; }

void TClientDataSet::EnableControls()
{
    if (d->DisableCount == 0) return;
    if (--d->DisableCount == 0) {
        emit dataReset();
        emit stateChanged();
        emit currentChanged(d->Cur);
    }
}

bool TClientDataSet::ControlsDisabled() const { return d->DisableCount > 0; }
void TClientDataSet::Silence() { ++d->SilenceCount; }
void TClientDataSet::WakeUp()
{
    if (d->SilenceCount > 0) --d->SilenceCount;
}
bool TClientDataSet::Silenced() const { return d->SilenceCount > 0; }
quint64 TClientDataSet::UnseenChanges() const { return d->UnseenChanges; }
