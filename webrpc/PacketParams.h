#pragma once
// A packet of named, typed values: the request and reply format of every server call.
// ToString/LoadFromString round-trip any value (deltas, data packets, Chinese text, blobs);
// the text format is described in PacketParams.cpp.
#include "platform/DataSet.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

class TPacketParam {
public:
    TPacketParam(TFieldType t, QString name) : FType(t), FName(std::move(name)) {}
    const QString& Name() const { return FName; }
    TFieldType DataType() const { return FType; }
    QVariant Value;
    bool IsNull() const { return Value.isNull() && !FDelta; }
    int AsInteger() const;
    double AsFloat() const;
    QString AsString() const;
    bool AsBoolean() const;
    QDateTime AsDateTime() const;
    void SetAsInteger(int v) { Set(v); }
    void SetAsString(const QString& v) { Set(v); }
    void SetAsBoolean(bool v) { Set(v); }
    void SetAsFloat(double v) { Set(v); }
    // A change set handed over as it is: a procedure in the same process reads it without
    // text in between; as text (AsString, the packet's text) it is the compact delta.
    void SetAsDelta(TDelta delta);
    const TDelta* AsDelta() const { return FDelta.get(); }

private:
    TFieldType FType;
    QString FName;
    std::shared_ptr<const TDelta> FDelta;
    void Set(QVariant v)
    {
        FDelta.reset();
        Value = std::move(v);
    }
    friend class TPacketParams;
};

class TPacketParams {
public:
    TPacketParams() = default;
    TPacketParams(const TPacketParams&);
    TPacketParams& operator=(const TPacketParams&);
    ~TPacketParams();

    // Adds (or retypes and returns the existing) parameter of that name.
    TPacketParam* CreatePacketParam(TFieldType t, const QString& name);
    TPacketParam* FindParam(const QString& name) const; // case-insensitive; nullptr when absent
    TPacketParam* ParamByName(const QString& name) const; // throws EPacketError
    bool Contains(const QString& name) const { return FindParam(name) != nullptr; }
    int Count() const { return FParams.size(); }
    TPacketParam* Params(int i) const { return FParams.at(i); }
    void Clear();

    // Convenience setters that create the parameter with the matching type.
    TPacketParams& Set(const QString& name, int v);
    TPacketParams& Set(const QString& name, double v);
    TPacketParams& Set(const QString& name, bool v);
    TPacketParams& Set(const QString& name, const QString& v);
    TPacketParams& Set(const QString& name, const char* v) { return Set(name, QString::fromUtf8(v)); }
    TPacketParams& Set(const QString& name, const QDateTime& v);
    // Readers that give a neutral value (0, "", false) when the parameter is absent.
    int GetInt(const QString& name, int dflt = 0) const;
    double GetFloat(const QString& name, double dflt = 0) const;
    QString GetString(const QString& name, const QString& dflt = QString()) const;
    bool GetBool(const QString& name, bool dflt = false) const;
    // The change set of a parameter, handed over or as text; false when there is none (absent,
    // null or blank). Throws EDatabaseError on a malformed text.
    bool GetDelta(const QString& name, TDelta& out) const;

    // Throws EPacketError naming the parameter when a text holds a character that a packet
    // cannot carry exactly (platform/TextRules.h).
    QString ToString() const;
    void LoadFromString(const QString& text); // throws EPacketError on malformed text

private:
    QVector<TPacketParam*> FParams;
    void LoadCompact(const QString& text);
};
