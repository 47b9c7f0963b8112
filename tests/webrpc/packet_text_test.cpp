// Text in packets and datasets' XML: what a user can type travels exactly, and what XML
// cannot carry is refused with a message naming the field instead of vanishing on the way.
#include "platform/DataSet.h"
#include "platform/TextRules.h"
#include "webrpc/PacketParams.h"

#include <gtest/gtest.h>

namespace {

struct TBadChar {
    const char* Kind;
    QString Text; // the refused character(s) alone
    const char* Code;
};

QVector<TBadChar> RefusedSamples()
{
    return {
        {"bell", QString(QChar(0x07)), "U+0007"},
        {"nul", QString(QChar(0x00)), "U+0000"},
        {"escape", QString(QChar(0x1B)), "U+001B"},
        {"vertical tab", QString(QChar(0x0B)), "U+000B"},
        {"delete", QString(QChar(0x7F)), "U+007F"},
        {"U+FFFE", QString(QChar(0xFFFE)), "U+FFFE"},
        {"U+FDD0", QString(QChar(0xFDD0)), "U+FDD0"},
        {"plane-1 noncharacter", QString::fromUcs4(U"\U0001FFFF"), "U+1FFFF"},
        {"lone high surrogate", QString(QChar(0xD83D)), "U+D83D"},
        {"lone low surrogate", QString(QChar(0xDE00)), "U+DE00"},
    };
}

QStringList AcceptedSamples()
{
    return {
        QStringLiteral("普通中文备注"),
        QString::fromUtf8("表情 😀🧾 和 𠀀 (beyond the basic plane)"),
        QStringLiteral("tab\there"),
        QStringLiteral("line one\nline two\n"),
        QStringLiteral("windows\r\nline\r\nends"),
        QStringLiteral("bare\rreturn"),
        QStringLiteral("  spaces kept  "),
        QStringLiteral("<tag attr=\"v\"> & 'quotes' ]]>"),
        QStringLiteral("全角　空格，标点。"),
        QString(),
    };
}

// A clean one-row dataset with a captioned memo and a code, as a bill's master.
std::unique_ptr<TClientDataSet> MasterRow()
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->LoadFromXMLString(BuildDataPacketXML(
        {{QStringLiteral("billid"), TFieldType::ftInteger}, {QStringLiteral("code"), TFieldType::ftString, 32},
         {QStringLiteral("memo"), TFieldType::ftString, 255}},
        {{1, QStringLiteral("A-1"), QStringLiteral("old")}}));
    ds->FieldByName(QStringLiteral("memo"))->DisplayLabel = QStringLiteral("备注");
    ds->FieldByName(QStringLiteral("code"))->DisplayLabel = QStringLiteral("单据号");
    return ds;
}

QString EditedDelta(TClientDataSet* ds, const QString& field, const QString& value, bool compact = false)
{
    ds->Edit();
    ds->FieldByName(field)->SetValue(value);
    ds->Post();
    return compact ? ds->GetDeltaPacket() : ds->GetDeltaXML();
}

QString NewValueInDelta(const QString& deltaXml, const QString& field)
{
    const TDelta delta = ParseDeltaXML(deltaXml);
    EXPECT_EQ(delta.Rows.size(), 1);
    return delta.Rows.isEmpty() ? QString() : delta.Rows.front().New.value(field).toString();
}

TEST(PacketText, RefusedCharactersStopThePacketWithTheParameterAndTheCharacter)
{
    for (const TBadChar& bad : RefusedSamples()) {
        SCOPED_TRACE(bad.Kind);
        TPacketParams p;
        p.Set(QStringLiteral("BillID"), 3);
        p.Set(QStringLiteral("Memo"), QStringLiteral("ab") + bad.Text + QStringLiteral("cd"));
        try {
            (void)p.ToString();
            ADD_FAILURE() << "the packet was written";
        } catch (const EPacketError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("Memo"))) << e.what();
            EXPECT_TRUE(e.Message().contains(QString::fromLatin1(bad.Code))) << e.what();
            EXPECT_TRUE(e.Message().contains(QStringLiteral("第3个字符"))) << e.what();
        }
    }
}

TEST(PacketText, RefusedCharactersStopTheDeltaNamingTheFieldByItsCaption)
{
    for (const TBadChar& bad : RefusedSamples()) {
        SCOPED_TRACE(bad.Kind);
        for (const QString& field : {QStringLiteral("memo"), QStringLiteral("code")}) {
            for (const bool compact : {false, true}) {
                auto ds = MasterRow();
                try {
                    (void)EditedDelta(ds.get(), field, QStringLiteral("x") + bad.Text, compact);
                    ADD_FAILURE() << "the delta was written for " << field.toStdString();
                } catch (const EDatabaseError& e) {
                    const QString caption = field == QLatin1String("memo") ? QStringLiteral("备注") : QStringLiteral("单据号");
                    EXPECT_TRUE(e.Message().contains(caption)) << e.what();
                    EXPECT_TRUE(e.Message().contains(QString::fromLatin1(bad.Code))) << e.what();
                    EXPECT_EQ(e.Message(), QStringLiteral("“%1”中的%2").arg(caption, RefusedTextReason(QStringLiteral("x") + bad.Text)));
                }
                // Nothing was lost on the way: the edit is still pending in the dataset.
                EXPECT_EQ(ds->ChangeCount(), 1);
                EXPECT_EQ(ds->FieldByName(field)->AsString(), QStringLiteral("x") + bad.Text);
            }
        }
    }
}

TEST(PacketText, DataPacketsRefuseRatherThanDropCharacters)
{
    const QVector<TFieldDef> fields{{QStringLiteral("name"), TFieldType::ftString}};
    EXPECT_THROW(BuildDataPacketXML(fields, {{QStringLiteral("a") + QChar(0x01)}}), EDatabaseError);
    EXPECT_THROW(BuildDataPacketXML(fields, {{QString(QChar(0xDC00))}}), EDatabaseError);
    try {
        BuildDataPacketXML(fields, {{QStringLiteral("ok")}, {QStringLiteral("b") + QChar(0xFFFF)}});
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("name"))) << e.what();
    }
}

TEST(PacketText, AcceptedTextTravelsExactlyThroughDeltaAndPacket)
{
    for (const QString& text : AcceptedSamples()) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ(FirstRefusedChar(text), -1);

        // straight in a packet
        TPacketParams p;
        p.Set(QStringLiteral("Memo"), text);
        TPacketParams back;
        back.LoadFromString(p.ToString());
        EXPECT_EQ(back.GetString(QStringLiteral("Memo")), text);

        for (const bool compact : {false, true}) {
            // in a delta, the delta in a packet, as a bill's save sends it
            auto ds = MasterRow();
            const QString delta = EditedDelta(ds.get(), QStringLiteral("memo"), text, compact);
            TPacketParams save;
            save.Set(QStringLiteral("MasterDelta"), delta);
            TPacketParams received;
            received.LoadFromString(save.ToString());
            EXPECT_EQ(received.GetString(QStringLiteral("MasterDelta")), delta);
            EXPECT_EQ(NewValueInDelta(received.GetString(QStringLiteral("MasterDelta")), QStringLiteral("memo")), text);

            // and back to the client as rows
            const QVector<TFieldDef> fields{{QStringLiteral("memo"), TFieldType::ftString}};
            auto rows = std::unique_ptr<TClientDataSet>(
                RecordsetFromXMLString(compact ? BuildDataPacket(fields, {{text}}) : BuildDataPacketXML(fields, {{text}})));
            EXPECT_EQ(rows->FieldByName(QStringLiteral("memo"))->AsString(), text);
        }
    }
}

// A bill's change sets ride in the packet as they are; whatever reads the packet, in the same
// process or from its text, gets the same delta, and a later value replaces the change set.
TEST(PacketText, AChangeSetInAPacketReadsTheSameHandedOverOrAsText)
{
    auto ds = MasterRow();
    EditedDelta(ds.get(), QStringLiteral("memo"), QStringLiteral("新备注\n第二行"));
    TPacketParams save;
    save.Set(QStringLiteral("CheckStep"), 0);
    save.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterDelta"))->SetAsDelta(ds->GetDelta());
    save.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsString(QStringLiteral("  "));

    const TPacketParams copy = save; // a procedure's own copy of its request
    TPacketParams received;
    received.LoadFromString(save.ToString());
    for (const TPacketParams* p : std::initializer_list<const TPacketParams*>{&save, &copy, &received}) {
        TDelta d;
        ASSERT_TRUE(p->GetDelta(QStringLiteral("masterdelta"), d));
        ASSERT_EQ(d.Rows.size(), 1);
        EXPECT_EQ(d.Rows.front().Kind, TUpdateStatus::usModified);
        EXPECT_EQ(d.Rows.front().New.value(QStringLiteral("memo")).toString(), QStringLiteral("新备注\n第二行"));
        EXPECT_EQ(d.Rows.front().Changed, QStringList{QStringLiteral("memo")});
        EXPECT_FALSE(p->GetDelta(QStringLiteral("DetailDelta"), d)) << "blank text is no change set";
        EXPECT_FALSE(p->GetDelta(QStringLiteral("NoSuchDelta"), d));
    }
    EXPECT_EQ(save.GetString(QStringLiteral("MasterDelta")), received.GetString(QStringLiteral("MasterDelta")));
    EXPECT_TRUE(IsCompactPacket(save.GetString(QStringLiteral("MasterDelta"))));

    save.Set(QStringLiteral("MasterDelta"), QString());
    TDelta none;
    EXPECT_FALSE(save.GetDelta(QStringLiteral("MasterDelta"), none));
    save.Set(QStringLiteral("MasterDelta"), QStringLiteral("#TBDL1;garbage"));
    EXPECT_THROW(save.GetDelta(QStringLiteral("MasterDelta"), none), EDatabaseError);
}

} // namespace
