#include "webrpc/RemoteProtocol.h"

#include "webrpc/ParamKind.h"

#include <QDateTime>

namespace {
const QString kParamPrefix = QStringLiteral("P:");

QString Key(int i, const char* what) { return QStringLiteral("SP%1.%2").arg(i).arg(QLatin1String(what)); }
QString BatchKey(int i, const char* what) { return QStringLiteral("B%1.%2").arg(i).arg(QLatin1String(what)); }

void SetTyped(TPacketParams& packet, const QString& name, const QVariant& v)
{
    packet.CreatePacketParam(PacketTypeOf(v), name)->Value = v;
}
} // namespace

TFieldType PacketTypeOf(const QVariant& v)
{
    // a null value keeps the type it was given
    switch (ParamKindOfType(v.typeId())) {
    case TParamKind::Integer:
        return TFieldType::ftInteger;
    case TParamKind::Float:
        return TFieldType::ftFloat;
    case TParamKind::Boolean:
        return TFieldType::ftBoolean;
    case TParamKind::DateTime:
    case TParamKind::Date:
        return TFieldType::ftDateTime;
    case TParamKind::Bytes:
        return TFieldType::ftBlob;
    default:
        return TFieldType::ftString;
    }
}

void PackSqlParams(TPacketParams& packet, const TSqlParams& params)
{
    for (const auto& [name, value] : params)
        SetTyped(packet, kParamPrefix + name, value);
}

TSqlParams UnpackSqlParams(const TPacketParams& packet)
{
    TSqlParams out;
    for (int i = 0; i < packet.Count(); ++i) {
        const TPacketParam* p = packet.Params(i);
        if (p->Name().startsWith(kParamPrefix))
            out.append({p->Name().mid(kParamPrefix.size()), p->Value});
    }
    return out;
}

void PackProcParams(TPacketParams& packet, TProcParams& all)
{
    packet.Set(QStringLiteral("SPCount"), all.Count());
    for (int i = 0; i < all.Count(); ++i) {
        const TProcParam& p = all[i];
        packet.Set(Key(i, "Name"), p.Name);
        packet.Set(Key(i, "Type"), static_cast<int>(p.DataType));
        packet.Set(Key(i, "Dir"), static_cast<int>(p.Direction));
        packet.Set(Key(i, "Size"), p.Size);
        SetTyped(packet, Key(i, "Value"), p.Value);
    }
}

void UnpackProcParams(const TPacketParams& packet, TProcParams& params)
{
    const int n = packet.GetInt(QStringLiteral("SPCount"));
    for (int i = 0; i < n; ++i) {
        const QString name = packet.GetString(Key(i, "Name"));
        TProcParam* p = params.Find(name);
        if (!p) {
            p = &params.Add(name, static_cast<TFieldType>(packet.GetInt(Key(i, "Type"))),
                            static_cast<TParamDirection>(packet.GetInt(Key(i, "Dir"))), packet.GetInt(Key(i, "Size")));
        }
        const TPacketParam* v = packet.FindParam(Key(i, "Value"));
        p->Value = v ? v->Value : QVariant();
    }
}

void PackBatch(TPacketParams& packet, const QVector<TRemoteBatchItem>& items)
{
    packet.Set(QStringLiteral("BCount"), static_cast<int>(items.size()));
    for (int i = 0; i < items.size(); ++i) {
        const TRemoteBatchItem& it = items[i];
        if (it.Table.isEmpty()) {
            packet.Set(BatchKey(i, "Sql"), it.Sql);
        } else {
            packet.Set(BatchKey(i, "Table"), it.Table);
            packet.Set(BatchKey(i, "Keys"), it.Keys.join(u';'));
            packet.Set(BatchKey(i, "Delta"), it.Delta);
        }
    }
}

QVector<TRemoteBatchItem> UnpackBatch(const TPacketParams& packet)
{
    QVector<TRemoteBatchItem> items;
    const int n = packet.GetInt(QStringLiteral("BCount"));
    for (int i = 0; i < n; ++i) {
        TRemoteBatchItem it;
        it.Sql = packet.GetString(BatchKey(i, "Sql"));
        it.Table = packet.GetString(BatchKey(i, "Table"));
        const QString keys = packet.GetString(BatchKey(i, "Keys"));
        it.Keys = keys.isEmpty() ? QStringList() : keys.split(u';');
        it.Delta = packet.GetString(BatchKey(i, "Delta"));
        items.append(it);
    }
    return items;
}
