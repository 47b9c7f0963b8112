// Packet text format: a header, the number of parameters, then each parameter as its type
// letter, its name and its value, names and values prefixed with their length so that nothing
// in them is escaped (a delta or a data packet travels as it is):
//
//   #TBPK2;3;i5:ErrNo1:0s11:MasterDelta1234:#TBDL1;...s4:Memo~
//
// Type letters follow the dataset's field types (i integer, f float, c currency, s string,
// b boolean, d datetime, x blob); "~" is a null value; lengths count UTF-16 units. Floats keep
// 17 significant digits, booleans are "true"/"false", dates ISO "yyyy-MM-ddThh:mm:ss.zzz",
// blobs base64.
//
// The reader also takes the earlier XML form, which hand-made packets and older callers use:
//   <PACKET version="1">
//     <P n="ErrNo" t="integer">0</P>
//     <P n="Memo" t="string" null="1"/>
//   </PACKET>
// (text XML-escaped, carriage returns "&#13;"). Anything else is a malformed packet.
#include "webrpc/PacketParams.h"

#include "platform/TextRules.h"

#include <QXmlStreamReader>
#include <cstring>

namespace {

QVariant ConvertTo(TFieldType t, const QVariant& v)
{
    if (v.isNull())
        return QVariant();
    switch (t) {
    case TFieldType::ftInteger:
        return v.toLongLong();
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
        return v.toDouble();
    case TFieldType::ftBoolean:
        return v.toBool();
    case TFieldType::ftDateTime:
        return v.toDateTime();
    case TFieldType::ftBlob:
        return v.toByteArray();
    case TFieldType::ftString:
        return v.toString();
    }
    return v;
}

QString EncodeValue(TFieldType t, const QVariant& v)
{
    switch (t) {
    case TFieldType::ftInteger:
        return QString::number(v.toLongLong());
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
        return QString::number(v.toDouble(), 'g', 17);
    case TFieldType::ftBoolean:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case TFieldType::ftDateTime:
        return v.toDateTime().toString(Qt::ISODateWithMs);
    case TFieldType::ftBlob:
        return QString::fromLatin1(v.toByteArray().toBase64());
    case TFieldType::ftString:
        return v.toString();
    }
    return v.toString();
}

QVariant DecodeValue(TFieldType t, const QString& s, const QString& name)
{
    bool ok = true;
    QVariant out;
    switch (t) {
    case TFieldType::ftInteger:
        out = s.toLongLong(&ok);
        break;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
        out = s.toDouble(&ok);
        break;
    case TFieldType::ftBoolean:
        ok = s == QLatin1String("true") || s == QLatin1String("false");
        out = s == QLatin1String("true");
        break;
    case TFieldType::ftDateTime: {
        QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
        ok = dt.isValid();
        out = dt;
        break;
    }
    case TFieldType::ftBlob:
        out = QByteArray::fromBase64(s.toLatin1());
        break;
    case TFieldType::ftString:
        out = s;
        break;
    }
    if (!ok)
        throw EPacketError(QStringLiteral("数据包格式错误：参数 %1 的值 \"%2\" 不是 %3").arg(name, s.left(40), FieldTypeName(t)));
    return out;
}

constexpr char kPacketMagic[] = "#TBPK2;";
constexpr char kTypeLetters[] = "ifcsbdx"; // in TFieldType order

char TypeLetter(TFieldType t)
{
    return kTypeLetters[int(t)];
}

void AppendLength(QString& out, qsizetype n, char16_t end)
{
    out.append(QString::number(n));
    out.append(QChar(end));
}

} // namespace

int TPacketParam::AsInteger() const { return Value.isNull() ? 0 : Value.toInt(); }
double TPacketParam::AsFloat() const { return Value.isNull() ? 0.0 : Value.toDouble(); }
void TPacketParam::SetAsDelta(TDelta delta)
{
    Value = QVariant();
    FDelta = std::make_shared<const TDelta>(std::move(delta));
}

QString TPacketParam::AsString() const
{
    if (FDelta)
        return WriteDeltaPacket(*FDelta);
    if (Value.isNull())
        return QString();
    if (FType == TFieldType::ftBoolean)
        return Value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (FType == TFieldType::ftFloat || FType == TFieldType::ftCurrency)
        return QString::number(Value.toDouble(), 'g', 15);
    return Value.toString();
}
bool TPacketParam::AsBoolean() const
{
    if (Value.isNull())
        return false;
    if (Value.typeId() == QMetaType::QString) {
        const QString s = Value.toString().trimmed().toUpper();
        return s == QLatin1String("TRUE") || s == QLatin1String("T") || s == QLatin1String("1");
    }
    return Value.toBool();
}
QDateTime TPacketParam::AsDateTime() const { return Value.toDateTime(); }

TPacketParams::TPacketParams(const TPacketParams& o)
{
    *this = o;
}

TPacketParams& TPacketParams::operator=(const TPacketParams& o)
{
    if (this == &o)
        return *this;
    Clear();
    for (const TPacketParam* p : o.FParams) {
        auto* c = new TPacketParam(p->DataType(), p->Name());
        c->Value = p->Value;
        c->FDelta = p->FDelta;
        FParams.append(c);
    }
    return *this;
}

TPacketParams::~TPacketParams()
{
    Clear();
}

void TPacketParams::Clear()
{
    qDeleteAll(FParams);
    FParams.clear();
}

TPacketParam* TPacketParams::FindParam(const QString& name) const
{
    for (TPacketParam* p : FParams)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return nullptr;
}

TPacketParam* TPacketParams::ParamByName(const QString& name) const
{
    if (TPacketParam* p = FindParam(name))
        return p;
    throw EPacketError(QStringLiteral("数据包中没有参数 %1").arg(name));
}

TPacketParam* TPacketParams::CreatePacketParam(TFieldType t, const QString& name)
{
    const int i = [&] {
        for (int k = 0; k < FParams.size(); ++k)
            if (FParams[k]->Name().compare(name, Qt::CaseInsensitive) == 0)
                return k;
        return -1;
    }();
    auto* p = new TPacketParam(t, name);
    if (i >= 0) {
        p->Value = ConvertTo(t, FParams[i]->Value);
        delete FParams[i];
        FParams[i] = p;
    } else {
        FParams.append(p);
    }
    return p;
}

TPacketParams& TPacketParams::Set(const QString& name, int v)
{
    CreatePacketParam(TFieldType::ftInteger, name)->Set(v);
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, double v)
{
    CreatePacketParam(TFieldType::ftFloat, name)->Set(v);
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, bool v)
{
    CreatePacketParam(TFieldType::ftBoolean, name)->Set(v);
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, const QString& v)
{
    CreatePacketParam(TFieldType::ftString, name)->Set(v);
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, const QDateTime& v)
{
    CreatePacketParam(TFieldType::ftDateTime, name)->Set(v);
    return *this;
}

int TPacketParams::GetInt(const QString& name, int dflt) const
{
    const TPacketParam* p = FindParam(name);
    return p && !p->IsNull() ? p->AsInteger() : dflt;
}
double TPacketParams::GetFloat(const QString& name, double dflt) const
{
    const TPacketParam* p = FindParam(name);
    return p && !p->IsNull() ? p->AsFloat() : dflt;
}
QString TPacketParams::GetString(const QString& name, const QString& dflt) const
{
    const TPacketParam* p = FindParam(name);
    return p && !p->IsNull() ? p->AsString() : dflt;
}
bool TPacketParams::GetBool(const QString& name, bool dflt) const
{
    const TPacketParam* p = FindParam(name);
    return p && !p->IsNull() ? p->AsBoolean() : dflt;
}

bool TPacketParams::GetDelta(const QString& name, TDelta& out) const
{
    const TPacketParam* p = FindParam(name);
    if (!p || p->IsNull())
        return false;
    if (p->FDelta) {
        out = *p->FDelta;
        return true;
    }
    const QString text = p->AsString();
    if (text.trimmed().isEmpty())
        return false;
    out = ParseDeltaXML(text);
    return true;
}

QString TPacketParams::ToString() const
{
    QVector<QString> texts(FParams.size());
    qsizetype size = 16;
    for (int i = 0; i < FParams.size(); ++i) {
        const TPacketParam* p = FParams[i];
        if (p->IsNull())
            continue;
        texts[i] = p->FDelta ? WriteDeltaPacket(*p->FDelta) : EncodeValue(p->DataType(), p->Value);
        // What no packet may carry is refused here, before it leaves, naming the parameter.
        if (FirstRefusedChar(texts[i]) >= 0)
            throw EPacketError(QStringLiteral("参数 %1 中的%2").arg(p->Name(), RefusedTextReason(texts[i])));
        size += texts[i].size() + p->Name().size() + 24;
    }
    QString out;
    out.reserve(size);
    out.append(QLatin1StringView(kPacketMagic));
    AppendLength(out, FParams.size(), u';');
    for (int i = 0; i < FParams.size(); ++i) {
        const TPacketParam* p = FParams[i];
        out.append(QLatin1Char(TypeLetter(p->DataType())));
        AppendLength(out, p->Name().size(), u':');
        out.append(p->Name());
        if (p->IsNull()) {
            out.append(u'~');
        } else {
            AppendLength(out, texts[i].size(), u':');
            out.append(texts[i]);
        }
    }
    return out;
}

void TPacketParams::LoadFromString(const QString& text)
{
    if (text.startsWith(QLatin1StringView(kPacketMagic))) {
        LoadCompact(text);
        return;
    }
    TPacketParams loaded;
    QXmlStreamReader r(text);
    if (!r.readNextStartElement() || r.name() != QLatin1String("PACKET"))
        throw EPacketError(QStringLiteral("数据包格式错误：缺少 PACKET 根元素"));
    if (r.attributes().value(QLatin1String("version")) != QLatin1String("1"))
        throw EPacketError(QStringLiteral("数据包格式错误：不支持的版本"));
    while (r.readNextStartElement()) {
        if (r.name() != QLatin1String("P"))
            throw EPacketError(QStringLiteral("数据包格式错误：未知元素 %1").arg(r.name().toString()));
        const QXmlStreamAttributes a = r.attributes();
        const QString name = a.value(QLatin1String("n")).toString();
        if (name.isEmpty())
            throw EPacketError(QStringLiteral("数据包格式错误：参数没有名称"));
        TFieldType t;
        try {
            t = FieldTypeFromName(a.value(QLatin1String("t")).toString());
        } catch (const Exception&) {
            throw EPacketError(QStringLiteral("数据包格式错误：参数 %1 的类型未知").arg(name));
        }
        const bool isNull = a.value(QLatin1String("null")) == QLatin1String("1");
        const QString body = r.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (r.hasError())
            break;
        TPacketParam* p = loaded.CreatePacketParam(t, name);
        p->Value = isNull ? QVariant() : DecodeValue(t, body, name);
    }
    if (r.hasError())
        throw EPacketError(QStringLiteral("数据包格式错误：%1（第 %2 行）").arg(r.errorString()).arg(r.lineNumber()));
    r.readNext();
    while (!r.atEnd() && (r.isWhitespace() || r.isComment() || r.isEndDocument()))
        r.readNext();
    if (r.hasError() && r.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        throw EPacketError(QStringLiteral("数据包格式错误：%1").arg(r.errorString()));
    *this = loaded;
}

void TPacketParams::LoadCompact(const QString& text)
{
    const QChar* p = text.constData() + qstrlen(kPacketMagic);
    const QChar* const end = text.constData() + text.size();
    auto fail = [&](const QString& why) -> void {
        throw EPacketError(QStringLiteral("数据包格式错误：%1（第 %2 个字符）").arg(why).arg(p - text.constData() + 1));
    };
    auto number = [&](char16_t stop) {
        qint64 n = 0;
        const QChar* start = p;
        while (p < end && p->unicode() >= u'0' && p->unicode() <= u'9' && n <= text.size())
            n = n * 10 + (p++)->unicode() - u'0';
        if (p == start || p >= end || p->unicode() != stop)
            fail(QStringLiteral("长度不正确"));
        ++p;
        return n;
    };
    auto chars = [&](qint64 n) {
        if (n > end - p)
            fail(QStringLiteral("数据不完整"));
        const QStringView v(p, n);
        p += n;
        return v;
    };
    TPacketParams loaded;
    const qint64 count = number(u';');
    for (qint64 i = 0; i < count; ++i) {
        if (p >= end)
            fail(QStringLiteral("数据不完整"));
        const char* t = std::strchr(kTypeLetters, char(p->unicode() < 128 ? p->unicode() : 0));
        if (!t || !*t)
            fail(QStringLiteral("参数的类型未知"));
        ++p;
        const QString name = chars(number(u':')).toString();
        if (name.isEmpty())
            fail(QStringLiteral("参数没有名称"));
        TPacketParam* param = loaded.CreatePacketParam(TFieldType(t - kTypeLetters), name);
        if (p < end && p->unicode() == u'~') {
            ++p;
            continue;
        }
        const QStringView value = chars(number(u':'));
        param->Value = DecodeValue(param->DataType(), value.toString(), name);
    }
    if (p != end)
        fail(QStringLiteral("参数之后有多余内容"));
    std::swap(FParams, loaded.FParams);
}
