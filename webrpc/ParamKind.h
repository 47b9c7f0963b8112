#pragma once
// The kinds of parameter value the engines bind differently, told apart once for both binders.
#include <QVariant>

enum class TParamKind { Null, Integer, Float, Bytes, DateTime, Date, Boolean, Text };

inline TParamKind ParamKindOf(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return TParamKind::Null;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
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
