// Packet text format (one XML document, UTF-8):
//   <PACKET version="1">
//     <P n="ErrNo" t="integer">0</P>
//     <P n="MasterDelta" t="string">&lt;DELTA ...</P>   (text is XML-escaped, never CDATA)
//     <P n="Memo" t="string" null="1"/>
//   </PACKET>
// Types use the dataset's field type names. Floats keep 17 significant digits, dates are
// ISO "yyyy-MM-ddThh:mm:ss.zzz", blobs base64, carriage returns "&#13;". Anything else is a
// malformed packet.
#include "webrpc/PacketParams.h"

#include "platform/TextRules.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

// Element text keeps carriage returns only as character references: a reader turns a literal
// CR (and CR LF) into LF.
void WriteText(QXmlStreamWriter& w, const QString& text)
{
    qsizetype from = 0;
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', from)) {
        w.writeCharacters(text.mid(from, cr - from));
        w.writeEntityReference(QStringLiteral("#13"));
        from = cr + 1;
    }
    w.writeCharacters(from == 0 ? text : text.mid(from));
}

} // namespace

int TPacketParam::AsInteger() const { return Value.isNull() ? 0 : Value.toInt(); }
double TPacketParam::AsFloat() const { return Value.isNull() ? 0.0 : Value.toDouble(); }
QString TPacketParam::AsString() const
{
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
    CreatePacketParam(TFieldType::ftInteger, name)->Value = v;
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, double v)
{
    CreatePacketParam(TFieldType::ftFloat, name)->Value = v;
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, bool v)
{
    CreatePacketParam(TFieldType::ftBoolean, name)->Value = v;
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, const QString& v)
{
    CreatePacketParam(TFieldType::ftString, name)->Value = v;
    return *this;
}
TPacketParams& TPacketParams::Set(const QString& name, const QDateTime& v)
{
    CreatePacketParam(TFieldType::ftDateTime, name)->Value = v;
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

QString TPacketParams::ToString() const
{
    QString out;
    QXmlStreamWriter w(&out);
    w.writeStartElement(QStringLiteral("PACKET"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    for (const TPacketParam* p : FParams) {
        w.writeStartElement(QStringLiteral("P"));
        w.writeAttribute(QStringLiteral("n"), p->Name());
        w.writeAttribute(QStringLiteral("t"), FieldTypeName(p->DataType()));
        if (p->Value.isNull()) {
            w.writeAttribute(QStringLiteral("null"), QStringLiteral("1"));
        } else {
            const QString text = EncodeValue(p->DataType(), p->Value);
            // The XML writer would drop or replace such characters without a word.
            if (const QString why = RefusedTextReason(text); !why.isEmpty())
                throw EPacketError(QStringLiteral("参数 %1 中的%2").arg(p->Name(), why));
            WriteText(w, text);
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    if (w.hasError())
        throw EPacketError(QStringLiteral("数据包中有不能传送的字符，没有发送"));
    return out;
}

void TPacketParams::LoadFromString(const QString& text)
{
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
