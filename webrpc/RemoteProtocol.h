#pragma once
// What travels between the desktop and tradebill-server: every call is one request packet
// (TPacketParams) naming its operation in "Op", answered by one reply packet whose "ErrNo" is 0
// or carries "ErrMsg". SQL parameters, stored-procedure parameters and batches are packed into
// the same packets by the functions below, so that both ends read them the same way.
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

namespace RemoteOp {
inline constexpr char Invoke[] = "Invoke";
inline constexpr char Execute[] = "Execute";
inline constexpr char Open[] = "Open";
inline constexpr char Scalar[] = "Scalar";
inline constexpr char Proc[] = "Proc";
inline constexpr char Batch[] = "Batch";
inline constexpr char Begin[] = "Begin";
inline constexpr char Commit[] = "Commit";
inline constexpr char Rollback[] = "Rollback";
inline constexpr char Lock[] = "Lock";
} // namespace RemoteOp

// Header that carries the session token on every call after the session was opened.
inline constexpr char kRemoteSessionHeader[] = "X-Tradebill-Session";

// SQL parameters as "P:<name>" entries, typed after their values.
void PackSqlParams(TPacketParams& packet, const TSqlParams& params);
TSqlParams UnpackSqlParams(const TPacketParams& packet);

// A stored procedure's parameters (name, type, direction, size, value) as "SP<i>.*" entries.
void PackProcParams(TPacketParams& packet, TProcParams& params);
// Reads them into `params`: adds those missing, overwrites the values of those present.
void UnpackProcParams(const TPacketParams& packet, TProcParams& params);

// One step of a batch: SQL text, or a query's pending changes to a table.
struct TRemoteBatchItem {
    QString Sql;
    QString Table;
    QStringList Keys;
    QString Delta;
};
void PackBatch(TPacketParams& packet, const QVector<TRemoteBatchItem>& items);
QVector<TRemoteBatchItem> UnpackBatch(const TPacketParams& packet);

// The packet type that keeps a value exactly (null values travel as null strings).
TFieldType PacketTypeOf(const QVariant& v);
