#pragma once
// The kinds of value the engines bind and the packets type differently, told apart in one place.
#include <QVariant>

enum class TParamKind { Null, Integer, Float, Bytes, DateTime, Date, Boolean, Text };

// The kind a value of this type has when it is not null.
inline TParamKind ParamKindOfType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return TParamKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return TParamKind::Float;
    case QMetaType::QByteArray:
        return TParamKind::Bytes;
    case QMetaType::QDateTime:
        return TParamKind::DateTime;
    case QMetaType::QDate:
        return TParamKind::Date;
    case QMetaType::Bool:
        return TParamKind::Boolean;
    default:
        return TParamKind::Text;
    }
}

inline TParamKind ParamKindOf(const QVariant& v)
{
    return v.isNull() || !v.isValid() ? TParamKind::Null : ParamKindOfType(v.typeId());
}
