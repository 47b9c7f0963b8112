#include "webrpc/Statement.h"

#include "webrpc/ParamKind.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

#include <map>
#include <memory>

QString NormaliseParams(const QString& sql, QStringList* names)
{
    QString out;
    out.reserve(sql.size());
    const int n = sql.size();
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#'; };
    for (int i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == u'\'') { // string literal, '' escapes
            int j = i + 1;
            while (j < n) {
                if (sql[j] == u'\'') {
                    if (j + 1 < n && sql[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, qMin(j, n - 1) - i + 1);
            i = j;
            continue;
        }
        if (c == u'[') {
            const int j = sql.indexOf(u']', i);
            const int end = j < 0 ? n - 1 : j;
            out += QStringView(sql).mid(i, end - i + 1);
            i = end;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            int j = sql.indexOf(u'\n', i);
            if (j < 0)
                j = n - 1;
            out += QStringView(sql).mid(i, j - i + 1);
            i = j;
            continue;
        }
        if (c == u':' && i + 1 < n && (i == 0 || sql[i - 1] != u':')) {
            QString name;
            int j = i + 1;
            if (sql[j] == u'\'') {
                const int close = sql.indexOf(u'\'', j + 1);
                if (close > j + 1) {
                    name = sql.mid(j + 1, close - j - 1);
                    j = close + 1;
                }
            } else if (sql[j].isLetter() || sql[j] == u'_') {
                while (j < n && isNameChar(sql[j]))
                    ++j;
                name = sql.mid(i + 1, j - i - 1);
            }
            if (!name.isEmpty()) {
                if (names && !names->contains(name, Qt::CaseInsensitive))
                    names->append(name);
                out += u':';
                out += name;
                i = j - 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

TFieldType FieldTypeFromDeclType(const QString& decl, bool* known)
{
    const QString d = decl.trimmed().toUpper();
    auto result = [&](TFieldType t, bool k) {
        if (known)
            *known = k;
        return t;
    };
    if (d.isEmpty())
        return result(TFieldType::ftString, false);
    if (d.startsWith(QLatin1String("INT")) || d == QLatin1String("BIGINT") || d == QLatin1String("SMALLINT") || d == QLatin1String("TINYINT"))
        return result(TFieldType::ftInteger, true);
    if (d.startsWith(QLatin1String("MONEY")) || d.startsWith(QLatin1String("DECIMAL")) || d.startsWith(QLatin1String("SMALLMONEY")))
        return result(TFieldType::ftCurrency, true);
    if (d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("REAL")) || d.startsWith(QLatin1String("DOUBLE")) || d.startsWith(QLatin1String("NUMERIC")))
        return result(TFieldType::ftFloat, true);
    if (d.startsWith(QLatin1String("DATE")) || d.startsWith(QLatin1String("SMALLDATETIME")) || d.startsWith(QLatin1String("TIMESTAMP")))
        return result(TFieldType::ftDateTime, true);
    if (d == QLatin1String("BIT") || d.startsWith(QLatin1String("BOOL")))
        return result(TFieldType::ftBoolean, true);
    if (d.startsWith(QLatin1String("BLOB")) || d.startsWith(QLatin1String("IMAGE")) || d.startsWith(QLatin1String("VARBINARY")))
        return result(TFieldType::ftBlob, true);
    return result(TFieldType::ftString, true);
}

QVariant ToEngineValue(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    default:
        return v;
    }
}

void ThrowSqliteError(sqlite3* db, const QString& sql)
{
    // Users read the error in words; the engine's text and the statement go to the log.
    RaiseEngineError(db, sql);
}

void ThrowUnboundParam(const QString& name, const QString& sql)
{
    WriteDatabaseLog(QStringLiteral("参数 %1 没有赋值\nSQL: %2").arg(name, sql.simplified().left(2000)));
    throw EDatabaseError(QStringLiteral("数据库语句的参数 %1 没有赋值（详细信息已写入日志）").arg(name));
}

TStatement::TStatement(sqlite3* db, const QString& engineSql) : FDb(db), FSql(engineSql)
{
    Prepare();
}

void TStatement::Prepare()
{
    const QByteArray utf8 = FSql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(FDb, utf8.constData(), int(utf8.size()), &FStmt, &tail) != SQLITE_OK) {
        FStmt = nullptr;
        ThrowSqliteError(FDb, FSql);
    }
    if (tail && *tail)
        FTail = QString::fromUtf8(tail);
}

TStatement::TStatement(TClientConnection& con, const QString& engineSql) : FSql(engineSql)
{
    if (con.IsPostgres()) {
        FPg = con.PgSession();
        const QStringList parts = SplitStatements(engineSql);
        if (parts.size() > 1)
            FTail = QStringList(parts.mid(1)).join(u';');
        FSql = parts.isEmpty() ? QString() : parts.first();
        return;
    }
    FDb = con.Handle();
    Prepare();
}

void TStatement::RunPg()
{
    FPg->Select(FSql, FParams, FFields, FRows, false);
    // as SQLite hands them over: dates as text, truth values as integers
    for (QVariantList& row : FRows)
        for (QVariant& v : row) {
            if (v.typeId() == QMetaType::QDateTime)
                v = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            else if (v.typeId() == QMetaType::Bool)
                v = qint64(v.toBool() ? 1 : 0);
        }
    FRan = true;
    FRow = -1;
}

TStatement::~TStatement()
{
    if (FStmt)
        sqlite3_finalize(FStmt);
}

void TStatement::Bind(const TSqlParams& params)
{
    if (FPg) {
        FParams = params;
        FRan = false;
        return;
    }
    if (!FStmt)
        return;
    const int count = sqlite3_bind_parameter_count(FStmt);
    // a statement bound again and again (the lines of a bill) reads its names once
    if (FParamNames.size() != count) {
        FParamNames.resize(count);
        for (int i = 1; i <= count; ++i) {
            const char* raw = sqlite3_bind_parameter_name(FStmt, i);
            FParamNames[i - 1] = raw ? QString::fromUtf8(raw + 1) : QString();
        }
    }
    for (int i = 1; i <= count; ++i) {
        const QString& name = FParamNames[i - 1];
        auto matches = [&](const QString& key) {
            const QStringView k = key.startsWith(u':') ? QStringView(key).mid(1) : QStringView(key);
            return k.compare(name, Qt::CaseInsensitive) == 0;
        };
        const QVariant* value = nullptr;
        // parameters given in the statement's order are found at once
        if (i <= params.size() && matches(params[i - 1].first))
            value = &params[i - 1].second;
        for (qsizetype j = 0; !value && j < params.size(); ++j)
            if (matches(params[j].first))
                value = &params[j].second;
        if (!value)
            ThrowUnboundParam(name, FSql);
        BindOne(i, *value);
    }
}

void TStatement::BindInOrder(const QVector<const QVariant*>& values)
{
    Q_ASSERT(!FPg);
    if (!FStmt)
        return;
    if (sqlite3_bind_parameter_count(FStmt) != values.size())
        throw EDatabaseError(QStringLiteral("语句需要 %1 个参数，给了 %2 个：%3").arg(sqlite3_bind_parameter_count(FStmt)).arg(values.size()).arg(FSql));
    for (int i = 0; i < values.size(); ++i)
        BindOne(i + 1, *values[i]);
}

void TStatement::BindOne(int i, const QVariant& value)
{
    int rc = SQLITE_OK;
    // numbers, texts and nulls, most of what a bill's lines bind, go straight in
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(FStmt, i);
    } else {
        switch (value.typeId()) {
        case QMetaType::Double:
            rc = sqlite3_bind_double(FStmt, i, *static_cast<const double*>(value.constData()));
            break;
        case QMetaType::LongLong:
            rc = sqlite3_bind_int64(FStmt, i, *static_cast<const qlonglong*>(value.constData()));
            break;
        case QMetaType::Int:
            rc = sqlite3_bind_int64(FStmt, i, *static_cast<const int*>(value.constData()));
            break;
        case QMetaType::QString: {
            const QByteArray text = static_cast<const QString*>(value.constData())->toUtf8();
            rc = sqlite3_bind_text(FStmt, i, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        default:
            BindConverted(i, value);
            return;
        }
    }
    if (rc != SQLITE_OK)
        ThrowSqliteError(FDb, FSql);
}

void TStatement::BindConverted(int i, const QVariant& value)
{
    // dates and booleans come as text and numbers from ToEngineValue
    const QVariant v = ToEngineValue(value);
    int rc = SQLITE_OK;
    switch (ParamKindOf(v)) {
    case TParamKind::Null:
        rc = sqlite3_bind_null(FStmt, i);
        break;
    case TParamKind::Integer:
        rc = sqlite3_bind_int64(FStmt, i, v.toLongLong());
        break;
    case TParamKind::Float:
        rc = sqlite3_bind_double(FStmt, i, v.toDouble());
        break;
    case TParamKind::Bytes: {
        const QByteArray b = v.toByteArray();
        rc = sqlite3_bind_blob(FStmt, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray s = v.toString().toUtf8();
        rc = sqlite3_bind_text(FStmt, i, s.constData(), int(s.size()), SQLITE_TRANSIENT);
    }
    }
    if (rc != SQLITE_OK)
        ThrowSqliteError(FDb, FSql);
}

void TStatement::Reset()
{
    FRan = false;
    if (FStmt) {
        sqlite3_reset(FStmt);
        sqlite3_clear_bindings(FStmt);
    }
}

bool TStatement::Step()
{
    if (FPg) {
        if (!FRan)
            RunPg();
        return ++FRow < FRows.size();
    }
    if (!FStmt)
        return false;
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    ThrowSqliteError(FDb, FSql);
}

int TStatement::ColumnCount() const
{
    if (FPg) {
        if (!FRan)
            const_cast<TStatement*>(this)->RunPg();
        return int(FFields.size());
    }
    return FStmt ? sqlite3_column_count(FStmt) : 0;
}
QString TStatement::ColumnName(int i) const
{
    if (FPg)
        return ColumnCount() > i ? FFields[i].Name : QString();
    return QString::fromUtf8(sqlite3_column_name(FStmt, i));
}
QString TStatement::DeclType(int i) const
{
    if (FPg) {
        if (ColumnCount() <= i)
            return QString();
        switch (FFields[i].DataType) {
        case TFieldType::ftInteger: return QStringLiteral("INTEGER");
        case TFieldType::ftFloat: return QStringLiteral("FLOAT");
        case TFieldType::ftCurrency: return QStringLiteral("MONEY");
        case TFieldType::ftBoolean: return QStringLiteral("BIT");
        case TFieldType::ftDateTime: return QStringLiteral("DATETIME");
        case TFieldType::ftBlob: return QStringLiteral("BLOB");
        case TFieldType::ftString: return QStringLiteral("VARCHAR");
        }
    }
    const char* d = sqlite3_column_decltype(FStmt, i);
    return d ? QString::fromUtf8(d) : QString();
}
int TStatement::ColumnStorage(int i) const
{
    if (FPg) {
        const QVariant v = Column(i);
        if (v.isNull())
            return SQLITE_NULL;
        switch (v.typeId()) {
        case QMetaType::LongLong: return SQLITE_INTEGER;
        case QMetaType::Double: return SQLITE_FLOAT;
        case QMetaType::QByteArray: return SQLITE_BLOB;
        default: return SQLITE_TEXT;
        }
    }
    return sqlite3_column_type(FStmt, i);
}

QVariant TStatement::Column(int i) const
{
    if (FPg)
        return FRow >= 0 && FRow < FRows.size() && i < FRows[FRow].size() ? FRows[FRow][i] : QVariant();
    switch (sqlite3_column_type(FStmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(FStmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(FStmt, i));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(FStmt, i)), sqlite3_column_bytes(FStmt, i)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(FStmt, i)), sqlite3_column_bytes(FStmt, i)));
    default:
        return QVariant();
    }
}

namespace {

QDateTime ParseEngineDate(const QString& s)
{
    static const QString formats[] = {QStringLiteral("yyyy-MM-dd hh:mm:ss"), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"),
                                      QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-MM-ddThh:mm:ss"),
                                      QStringLiteral("yyyy-MM-dd hh:mm")};
    for (const QString& f : formats) {
        const QDateTime dt = QDateTime::fromString(s, f);
        if (dt.isValid())
            return dt;
    }
    const QDateTime iso = QDateTime::fromString(s, Qt::ISODateWithMs);
    return iso;
}

QVariant ConvertForField(TFieldType t, const QVariant& v)
{
    if (v.isNull())
        return v;
    switch (t) {
    case TFieldType::ftInteger:
        return v.toLongLong();
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
        return v.toDouble();
    case TFieldType::ftBoolean:
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed().toUpper();
            return s == QLatin1String("1") || s == QLatin1String("T") || s == QLatin1String("TRUE");
        }
        return v.toLongLong() != 0;
    case TFieldType::ftDateTime: {
        if (v.typeId() == QMetaType::QString) {
            const QDateTime dt = ParseEngineDate(v.toString());
            return dt.isValid() ? QVariant(dt) : QVariant();
        }
        return QVariant();
    }
    case TFieldType::ftBlob:
        return v.toByteArray();
    case TFieldType::ftString:
        if (v.typeId() == QMetaType::Double)
            return QString::number(v.toDouble(), 'g', 15);
        return v.toString();
    }
    return v;
}

} // namespace

namespace {

// The fields of a select: names made unique as the engine's own clients do (a.*, b.name),
// types from the declared column types; `known` false where the declaration says nothing.
QVector<TFieldDef> SelectFields(const TStatement& st, QVector<bool>& known)
{
    const int cols = st.ColumnCount();
    QVector<TFieldDef> fields;
    fields.reserve(cols);
    known.fill(false, cols);
    QHash<QString, int> seen;
    for (int i = 0; i < cols; ++i) {
        TFieldDef f;
        f.Name = st.ColumnName(i);
        const QString key = f.Name.toLower();
        if (int n = seen.value(key, 0))
            f.Name += QStringLiteral("_%1").arg(n);
        seen[key] = seen.value(key, 0) + 1;
        bool k = false;
        f.DataType = FieldTypeFromDeclType(st.DeclType(i), &k);
        known[i] = k;
        fields.append(f);
    }
    return fields;
}

// The widest storage class seen in an untyped column, and the field type it makes.
int WidenStorage(int widest, int s)
{
    if (s == SQLITE_NULL || s == widest)
        return widest;
    if (widest == SQLITE_NULL)
        return s;
    if ((widest == SQLITE_INTEGER && s == SQLITE_FLOAT) || (widest == SQLITE_FLOAT && s == SQLITE_INTEGER))
        return SQLITE_FLOAT;
    return SQLITE_TEXT;
}

TFieldType TypeOfStorage(int storage)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return TFieldType::ftInteger;
    case SQLITE_FLOAT:
        return TFieldType::ftFloat;
    case SQLITE_BLOB:
        return TFieldType::ftBlob;
    default:
        return TFieldType::ftString;
    }
}

// "yyyy-MM-dd hh:mm:ss" or "yyyy-MM-dd" of a real day and time: the form the database keeps.
bool IsPlainDateText(const unsigned char* s, int n)
{
    if (n != 10 && n != 19)
        return false;
    auto digits = [&](int from, int len, int& out) {
        out = 0;
        for (int i = from; i < from + len; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0, h = 0, mi = 0, se = 0;
    if (s[4] != '-' || s[7] != '-' || !digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d) || !QDate::isValid(y, m, d))
        return false;
    if (n == 10)
        return true;
    return (s[10] == ' ' || s[10] == 'T') && s[13] == ':' && s[16] == ':' && digits(11, 2, h) && digits(14, 2, mi)
        && digits(17, 2, se) && h < 24 && mi < 60 && se < 60;
}

QString Utf8Text(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// One value of a typed column, in its field's type.
void WriteTypedColumn(TCompactWriter& w, const TStatement& stmt, int i, const TFieldDef& f)
{
    const TFieldType t = f.DataType;
    sqlite3_stmt* st = stmt.Handle();
    const int s = sqlite3_column_type(st, i);
    if (s == SQLITE_NULL)
        return w.Null();
    switch (t) {
    case TFieldType::ftInteger:
        if (s == SQLITE_INTEGER)
            return w.Integer(sqlite3_column_int64(st, i));
        break;
    case TFieldType::ftFloat:
        if (s == SQLITE_INTEGER || s == SQLITE_FLOAT)
            return w.Float(sqlite3_column_double(st, i));
        break;
    case TFieldType::ftCurrency:
        if (s == SQLITE_INTEGER || s == SQLITE_FLOAT)
            return w.Currency(sqlite3_column_double(st, i));
        break;
    case TFieldType::ftString:
        if (s == SQLITE_TEXT)
            return w.FieldText(Utf8Text(st, i), f.Name);
        if (s == SQLITE_INTEGER)
            return w.Text(QString::number(sqlite3_column_int64(st, i)));
        if (s == SQLITE_FLOAT)
            return w.Text(QString::number(sqlite3_column_double(st, i), 'g', 15));
        break;
    case TFieldType::ftBoolean:
        if (s == SQLITE_INTEGER)
            return w.Boolean(sqlite3_column_int64(st, i) != 0);
        break;
    case TFieldType::ftDateTime:
        if (s == SQLITE_TEXT) {
            const unsigned char* text = sqlite3_column_text(st, i);
            const int n = sqlite3_column_bytes(st, i);
            if (IsPlainDateText(text, n))
                return w.DateTimeText(QString::fromLatin1(reinterpret_cast<const char*>(text), n));
        }
        break;
    case TFieldType::ftBlob:
        break;
    }
    // Whatever else the engine holds takes the general road.
    const QVariant v = ConvertForField(t, stmt.Column(i));
    if (t == TFieldType::ftCurrency && !v.isNull())
        w.Currency(v.toDouble());
    else if (t == TFieldType::ftString && !v.isNull())
        w.FieldText(v.toString(), f.Name);
    else
        w.Value(t, v);
}

// One value of an untyped column as the engine stores it; the reader converts it when the
// column's type turns out wider (bytes among text excepted: see SelectDataPacket).
void WriteStoredColumn(TCompactWriter& w, sqlite3_stmt* st, int i, int s, const TFieldDef& f)
{
    switch (s) {
    case SQLITE_INTEGER:
        return w.Integer(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
        return w.Float(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
        return w.FieldText(Utf8Text(st, i), f.Name);
    case SQLITE_BLOB:
        return w.Blob(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
    default:
        return w.Null();
    }
}

} // namespace

QString SelectDataPacket(sqlite3* db, const QString& engineSql, const TSqlParams& params)
{
    TStatement st(db, engineSql);
    st.Bind(params);
    QVector<bool> known;
    QVector<TFieldDef> fields = SelectFields(st, known);
    const int cols = int(fields.size());
    QVector<int> storage(cols, SQLITE_NULL);
    QVector<bool> bytesSeen(cols, false);
    TCompactWriter w;
    w.Reserve(4096);
    int rows = 0;
    sqlite3_stmt* raw = st.Handle();
    while (st.Step()) {
        ++rows;
        for (int i = 0; i < cols; ++i) {
            if (known[i]) {
                WriteTypedColumn(w, st, i, fields[i]);
            } else {
                const int s = sqlite3_column_type(raw, i);
                storage[i] = WidenStorage(storage[i], s);
                bytesSeen[i] = bytesSeen[i] || s == SQLITE_BLOB;
                WriteStoredColumn(w, raw, i, s, fields[i]);
            }
        }
    }
    for (int i = 0; i < cols; ++i) {
        if (known[i])
            continue;
        fields[i].DataType = TypeOfStorage(storage[i]);
        // Bytes in a column of text become text, which may hold what no packet carries: such
        // rare results take the general road, which converts every value first.
        if (bytesSeen[i] && fields[i].DataType != TFieldType::ftBlob) {
            QVector<QVariantList> values;
            RunSelect(db, engineSql, params, fields, values);
            return BuildDataPacket(fields, values);
        }
    }
    if (fields.isEmpty())
        throw EDatabaseError(QStringLiteral("没有字段定义，不能生成数据包"));
    return w.DataPacket(fields, rows);
}

void RunSelect(sqlite3* db, const QString& engineSql, const TSqlParams& params,
               QVector<TFieldDef>& fields, QVector<QVariantList>& rows)
{
    TStatement st(db, engineSql);
    st.Bind(params);
    QVector<bool> known;
    fields = SelectFields(st, known);
    const int cols = int(fields.size());
    rows.clear();
    QVector<int> storage(cols, SQLITE_NULL);
    while (st.Step()) {
        QVariantList row;
        row.reserve(cols);
        for (int i = 0; i < cols; ++i) {
            row.append(st.Column(i));
            if (!known[i])
                storage[i] = WidenStorage(storage[i], st.ColumnStorage(i));
        }
        rows.append(std::move(row));
    }
    for (int i = 0; i < cols; ++i)
        if (!known[i])
            fields[i].DataType = TypeOfStorage(storage[i]);
    for (QVariantList& row : rows)
        for (int i = 0; i < cols; ++i)
            row[i] = ConvertForField(fields[i].DataType, row[i]);
}

QVector<QPair<QString, QString>> TableColumns(sqlite3* db, const QString& table)
{
    QVector<QPair<QString, QString>> out;
    TStatement st(db, QStringLiteral("select name, type from pragma_table_info(:t)"));
    st.Bind({{QStringLiteral("t"), table}});
    while (st.Step())
        out.append({st.Column(0).toString().toLower(), st.Column(1).toString()});
    return out;
}

QVector<QPair<QString, QString>> TableColumns(TClientConnection& con, const QString& table)
{
    if (!con.IsPostgres())
        return TableColumns(con.Handle(), table);
    // The schema's function of the same name gives the types as the schema declares them (MONEY,
    // FLOAT, DATETIME), so that stored values are classed alike on both engines.
    // Read straight from the session (asked on every save, a dataset apiece cost more than the
    // answer, which the session keeps).
    QVector<TFieldDef> fields;
    QVector<QVariantList> rows;
    con.PgSession()->Select(QStringLiteral("select name, type from pragma_table_info(:t)"), {{QStringLiteral("t"), table}}, fields, rows);
    QVector<QPair<QString, QString>> out;
    out.reserve(rows.size());
    for (const QVariantList& r : rows)
        out.append({r.value(0).toString().toLower(), r.value(1).toString()});
    return out;
}

namespace {

bool IsBytesType(const QString& declared)
{
    return declared.compare(QLatin1String("BLOB"), Qt::CaseInsensitive) == 0
           || declared.compare(QLatin1String("bytea"), Qt::CaseInsensitive) == 0;
}

QString QuoteIdent(const QString& name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

} // namespace

int ApplyDelta(TClientConnection& con, const TDelta& delta, const TApplyDeltaOptions& opt)
{
    sqlite3* db = con.IsPostgres() ? nullptr : con.Handle();
    const auto columns = TableColumns(con, opt.Table);
    // PostgreSQL folds the schema's names to lower case, and quoted names keep their case.
    auto qi = [pg = db == nullptr](const QString& name) { return QuoteIdent(pg ? name.toLower() : name); };
    if (columns.isEmpty())
        throw EDatabaseError(QStringLiteral("数据表 %1 不存在").arg(opt.Table));
    QHash<QString, QString> tableCols; // lower name -> declared type
    for (const auto& c : columns)
        tableCols.insert(c.first, c.second);
    auto inTable = [&](const QString& f) { return tableCols.contains(f.toLower()); };
    auto overridden = [&](const QString& name) {
        for (auto it = opt.InsertOverrides.cbegin(); it != opt.InsertOverrides.cend(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    // The rows of a delta share their names: what each name is to the table is worked out
    // once per name, not once per value.
    struct TNameUse {
        const TRowNames* Names = nullptr;
        QVector<char> Writes; // 1: an inserted row's value of this name goes into the table
    } use;
    auto writes = [&](const TRowValues& row, int i) {
        if (use.Names != &row.Names()) {
            use.Names = &row.Names();
            use.Writes.clear();
        }
        while (use.Writes.size() <= i) {
            const QString& name = row.Names().Name(int(use.Writes.size()));
            use.Writes << char(inTable(name) && !overridden(name));
        }
        return use.Writes[i] != 0;
    };
    QVector<QPair<QString, QVariant>> overrides; // the server's values of every new row
    for (auto it = opt.InsertOverrides.cbegin(); it != opt.InsertOverrides.cend(); ++it)
        if (inTable(it.key()))
            overrides.append({it.key(), it.value()});

    QVector<int> lastInsertCols;
    const TRowNames* lastInsertNames = nullptr;
    QString lastInsertSql;
    QVector<int> cols;
    QVector<const QVariant*> values;

    int affected = 0;
    // On PostgreSQL the new rows that share their statement go in together, a few hundred per
    // statement: each statement is a round trip to the server.
    QString pendingHead; // "insert into t (a,b) values "
    int pendingWidth = 0;
    QVector<const QVariant*> pendingValues;
    auto flushInserts = [&] {
        if (pendingValues.isEmpty())
            return;
        const qsizetype rows = pendingValues.size() / pendingWidth;
        QString sql = pendingHead;
        sql.reserve(pendingHead.size() + pendingValues.size() * 8);
        TSqlParams params;
        params.reserve(pendingValues.size());
        for (qsizetype r = 0; r < rows; ++r) {
            sql += r ? QStringLiteral(",(") : QStringLiteral("(");
            for (int c = 0; c < pendingWidth; ++c) {
                const QString name = QStringLiteral("v%1").arg(r * pendingWidth + c);
                if (c)
                    sql += u',';
                sql += u':' + name;
                params.append({name, *pendingValues[r * pendingWidth + c]});
            }
            sql += u')';
        }
        pendingValues.clear();
        if (opt.InsertsMayWait) {
            con.ExecuteLater(sql, params);
            affected += int(rows); // (a statement of many rows puts them all in or fails)
        } else {
            affected += con.ExecuteNative(sql, params);
        }
    };
    std::map<QString, std::unique_ptr<TStatement>> prepared;
    TStatement* lastInsert = nullptr;
    auto statementFor = [&](const QString& sql) -> TStatement& {
        std::unique_ptr<TStatement>& st = prepared[sql];
        if (!st)
            st = std::make_unique<TStatement>(db, sql);
        else
            st->Reset();
        return *st;
    };
    auto run = [&](const TDeltaRow& row, int changedRows) {
        if (row.Kind != TUpdateStatus::usInserted && changedRows == 0)
            throw EDatabaseError(QStringLiteral("记录已被其他用户修改或删除，请刷新后再操作（%1）").arg(opt.Table));
        affected += changedRows;
    };
    for (const TDeltaRow& row : delta.Rows) {
        if (row.Kind == TUpdateStatus::usInserted) {
            // the row's own values but those the server sets, in the row's order, then the
            // server's; nothing of the row is copied
            cols.clear();
            values.clear();
            const int names = row.New.Names().Count();
            for (int i = 0; i < names; ++i)
                if (const QVariant* v = row.New.At(i); v && writes(row.New, i)) {
                    cols << i;
                    values << v;
                }
            for (const auto& o : overrides)
                values << &o.second;
            if (values.isEmpty())
                continue;
            // the lines of a bill name the same columns: their statement is written once
            const bool same = cols == lastInsertCols && lastInsertNames == &row.New.Names();
            if (!same) {
                QStringList quoted, marks;
                for (int i : cols)
                    quoted << qi(row.New.Names().Name(i));
                for (const auto& o : overrides)
                    quoted << qi(o.first);
                for (int i = 0; i < values.size(); ++i)
                    marks << QStringLiteral(":v%1").arg(i);
                lastInsertSql = QStringLiteral("insert into %1 (%2) values (%3)").arg(qi(opt.Table), quoted.join(u','), marks.join(u','));
                lastInsertCols = cols;
                lastInsertNames = &row.New.Names();
                lastInsert = nullptr;
                if (!db) {
                    flushInserts();
                    pendingHead = QStringLiteral("insert into %1 (%2) values ").arg(qi(opt.Table), quoted.join(u','));
                    pendingWidth = int(values.size());
                }
            }
            if (!db) {
                constexpr int kRowsPerStatement = 400, kValuesPerStatement = 20000;
                if (pendingValues.size() / pendingWidth >= kRowsPerStatement || pendingValues.size() + values.size() > kValuesPerStatement)
                    flushInserts();
                pendingValues += values;
                continue;
            }
            if (lastInsert)
                lastInsert->Reset();
            else
                lastInsert = &statementFor(lastInsertSql);
            lastInsert->BindInOrder(values);
            while (lastInsert->Step()) {
            }
            run(row, sqlite3_changes(db));
            continue;
        }

        TSqlParams params;
        auto whereByKey = [&](QString& where) {
            QStringList keys = opt.KeyFields;
            if (keys.isEmpty())
                for (auto it = row.Old.cbegin(); it != row.Old.cend(); ++it)
                    if (inTable(it.key()) && !it.value().isNull() && !IsBytesType(tableCols.value(it.key().toLower())))
                        keys.append(it.key());
            QStringList parts;
            for (int k = 0; k < keys.size(); ++k) {
                const QVariant v = row.Old.value(keys[k]);
                if (v.isNull()) {
                    parts << QStringLiteral("%1 is null").arg(qi(keys[k]));
                } else {
                    parts << QStringLiteral("%1 = :k%2").arg(qi(keys[k])).arg(k);
                    params.append({QStringLiteral("k%1").arg(k), v});
                }
            }
            if (parts.isEmpty())
                throw EDatabaseError(QStringLiteral("无法确定要更新的记录（%1 没有关键字段）").arg(opt.Table));
            where = parts.join(QStringLiteral(" and "));
        };
        QString sql;
        if (row.Kind == TUpdateStatus::usModified) {
            QStringList sets;
            int n = 0;
            QStringList changed = row.Changed;
            if (changed.isEmpty())
                for (auto it = row.New.cbegin(); it != row.New.cend(); ++it)
                    if (row.Old.value(it.key()) != it.value())
                        changed << it.key();
            for (const QString& f : changed) {
                if (!inTable(f))
                    continue;
                sets << QStringLiteral("%1 = :v%2").arg(qi(f)).arg(n);
                params.append({QStringLiteral("v%1").arg(n), row.New.value(f)});
                ++n;
            }
            if (sets.isEmpty())
                continue;
            QString where;
            whereByKey(where);
            sql = QStringLiteral("update %1 set %2 where %3").arg(qi(opt.Table), sets.join(u','), where);
        } else if (row.Kind == TUpdateStatus::usDeleted) {
            QString where;
            whereByKey(where);
            sql = QStringLiteral("delete from %1 where %2").arg(qi(opt.Table), where);
        } else {
            continue;
        }
        if (!db) {
            flushInserts();
            run(row, con.ExecuteNative(sql, params));
            continue;
        }
        // Rows of one kind touching the same columns share their statement: a bill of
        // thousands of lines is then prepared a handful of times, not once per line.
        TStatement& st = statementFor(sql);
        lastInsert = nullptr;
        st.Bind(params);
        while (st.Step()) {
        }
        run(row, sqlite3_changes(db));
    }
    flushInserts();
    return affected;
}
