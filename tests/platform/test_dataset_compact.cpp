// The compact encoding of data packets and deltas: it must carry exactly what the XML carries
// (the server answers in it, the forms send their changes in it), and refuse every malformed
// text without reading past its end.
#include "DataSetFixtures.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QVector<TFieldDef> kLineFields = {
    {"id", TFieldType::ftInteger, 0, true}, {"code", TFieldType::ftString, 10},  {"name", TFieldType::ftString},
    {"qty", TFieldType::ftFloat},           {"price", TFieldType::ftCurrency},   {"closed", TFieldType::ftBoolean},
    {"billdate", TFieldType::ftDateTime},   {"pic", TFieldType::ftBlob},
};

QVector<QVariantList> AwkwardRows()
{
    const QByteArray bytes("\x00\x01\xff<&>", 7);
    return {
        {1, "", QString::fromUtf8("引号\"和'尖括号<>&\n第二行\t制表\r\n回车\r"), 0.1, 12345678.12344, true,
         QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)), bytes},
        {2, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {std::numeric_limits<int>::min(), "9:s3:~", QString::fromUtf8("表情 😀 与 𠀀"), -1e-300, -0.00005, false,
         QDateTime(QDate(1, 1, 1), QTime(0, 0)), QByteArray()},
        {std::numeric_limits<int>::max(), "i12;", "  ", 1.0 / 3, 922337203685477.5807, QVariant(),
         QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)), QByteArray(1000, 'x')},
    };
}

// Everything a loaded dataset holds, as one text: fields, types, sizes, flags and values.
QString Contents(const QString& packet)
{
    TClientDataSet ds;
    ds.LoadFromXMLString(packet);
    return ds.XMLData();
}

void ExpectSameDelta(const TDelta& a, const TDelta& b)
{
    ASSERT_EQ(a.Fields.size(), b.Fields.size());
    for (int i = 0; i < a.Fields.size(); ++i) {
        EXPECT_EQ(a.Fields[i].Name, b.Fields[i].Name);
        EXPECT_EQ(a.Fields[i].DataType, b.Fields[i].DataType) << a.Fields[i].Name.toStdString();
        EXPECT_EQ(a.Fields[i].Size, b.Fields[i].Size) << a.Fields[i].Name.toStdString();
        EXPECT_EQ(a.Fields[i].Required, b.Fields[i].Required) << a.Fields[i].Name.toStdString();
    }
    ASSERT_EQ(a.Rows.size(), b.Rows.size());
    for (int r = 0; r < a.Rows.size(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(a.Rows[r].Kind, b.Rows[r].Kind);
        EXPECT_EQ(a.Rows[r].Old, b.Rows[r].Old);
        EXPECT_EQ(a.Rows[r].New, b.Rows[r].New);
        QStringList ca = a.Rows[r].Changed, cb = b.Rows[r].Changed;
        ca.sort();
        cb.sort();
        EXPECT_EQ(ca, cb);
    }
}

} // namespace

TEST(DataSetCompact, DataPacketLoadsExactlyAsTheXml)
{
    const QVector<QVariantList> rows = AwkwardRows();
    const QString compact = BuildDataPacket(kLineFields, rows);
    ASSERT_TRUE(IsCompactPacket(compact));
    EXPECT_FALSE(IsCompactPacket(BuildDataPacketXML(kLineFields, rows)));
    EXPECT_EQ(Contents(compact), Contents(BuildDataPacketXML(kLineFields, rows)));

    TClientDataSet ds;
    ds.LoadFromXMLString(compact);
    ASSERT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_TRUE(ds.FieldByName("id")->Required);
    EXPECT_EQ(ds.FieldByName("code")->Size(), 10);
    EXPECT_EQ(ds.FieldByName("name")->AsString(), rows[0][2].toString()); // carriage returns kept
    EXPECT_EQ(ds.FieldByName("pic")->AsBytes(), rows[0][7].toByteArray());
    EXPECT_FALSE(ds.FieldByName("code")->IsNull()); // empty, not null
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("code")->IsNull());
    ds.Next();
    EXPECT_EQ(ds.FieldByName("code")->AsString(), QStringLiteral("9:s3:~")); // the encoding's own marks as text
    EXPECT_EQ(ds.FieldByName("qty")->AsFloat(), -1e-300);
    ds.Next();
    EXPECT_EQ(ds.FieldByName("qty")->AsFloat(), 1.0 / 3); // every bit of a double
    EXPECT_EQ(ds.FieldByName("billdate")->AsDateTime(), QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));

    // values the server holds in another storage type arrive in the field's type, as in the XML
    const QVector<QVariantList> loose = {{"7", 5, 2.5, "1.25", 3, 1, "2024-01-02 03:04:05", QVariant()}};
    EXPECT_EQ(Contents(BuildDataPacket(kLineFields, loose)), Contents(BuildDataPacketXML(kLineFields, loose)));
    EXPECT_THROW(BuildDataPacket(kLineFields, {{"abc"}}), EConvertError);
    EXPECT_THROW(BuildDataPacket({}, {}), EDatabaseError);
}

TEST(DataSetCompact, DeltaCarriesWhatTheXmlDeltaCarries)
{
    auto ds = LoadedLines();
    ds->First();
    ds->FieldByName("name")->SetValue("");        // to empty text
    ds->FieldByName("qty")->SetValue(QVariant()); // to null
    ds->FieldByName("pic")->SetValue(QByteArray("\x00\x7f", 2));
    ds->Post();
    ds->Locate("id", 2);
    ds->Delete();
    ds->Locate("id", 3);
    ds->FieldByName("code")->SetValue("~:;");
    ds->FieldByName("billdate")->SetValue(QDateTime(QDate(2024, 2, 29), QTime(12, 0, 1)));
    ds->Post();
    ds->AppendRecord({10, "新码", "普洱茶\r\n二行", 1, 99.99, QVariant(), QDateTime(QDate(2024, 6, 1), QTime(8, 0, 1))});
    ds->Append(); // unposted rows are not part of the delta
    ds->FieldByName("id")->SetValue(11);

    const QString compact = ds->GetDeltaPacket();
    ASSERT_TRUE(IsCompactPacket(compact));
    EXPECT_EQ(GetDeltaPacket(ds.get()), compact);
    const TDelta fromCompact = ParseDeltaXML(compact);
    ExpectSameDelta(fromCompact, ParseDeltaXML(ds->GetDeltaXML()));
    ASSERT_EQ(fromCompact.Rows.size(), 4);
    EXPECT_EQ(fromCompact.Rows[0].Kind, TUpdateStatus::usDeleted); // deletes first
    EXPECT_EQ(fromCompact.Rows[3].New.value("name").toString(), QStringLiteral("普洱茶\r\n二行"));

    // a clean dataset sends its fields and no rows; a data packet is not a delta
    auto clean = LoadedLines();
    const TDelta none = ParseDeltaXML(clean->GetDeltaPacket());
    EXPECT_EQ(none.Fields.size(), clean->FieldCount());
    EXPECT_TRUE(none.Rows.isEmpty());
    EXPECT_THROW(ParseDeltaXML(BuildDataPacket(kLineFields, {})), EDatabaseError);
}

// Each value of both rows of the same type: a procedure in the same process gets the delta
// as it is, and must see what a remote one reads from the text.
void ExpectSameTypes(const TDelta& a, const TDelta& b)
{
    ASSERT_EQ(a.Rows.size(), b.Rows.size());
    for (int r = 0; r < a.Rows.size(); ++r) {
        for (TRowValues TDeltaRow::*row : {&TDeltaRow::Old, &TDeltaRow::New}) {
            for (int i = 0; i < a.Fields.size(); ++i) {
                const QVariant* x = (a.Rows[r].*row).At(i);
                const QVariant* y = (b.Rows[r].*row).At(i);
                ASSERT_EQ(x == nullptr, y == nullptr) << r << " " << i;
                if (x) {
                    EXPECT_EQ(x->typeId(), y->typeId()) << "row " << r << " field " << a.Fields[i].Name.toStdString();
                }
            }
        }
    }
}

TEST(DataSetCompact, DeltaHandedOverIsTheDeltaItsTextCarries)
{
    auto ds = LoadedLines();
    ds->First();
    ds->FieldByName("name")->SetValue(QString());
    ds->FieldByName("qty")->SetValue(12345678901234.5);
    ds->FieldByName("billdate")->SetValue(QDateTime(QDate(2024, 3, 1), QTime(9, 30, 15, 999))); // the text keeps whole seconds
    ds->Post();
    ds->Locate("id", 2);
    ds->Delete();
    ds->AppendRecord({12, "新", "乌龙\t茶", -0.1, 1e12, true, QDateTime(QDate(1900, 1, 1), QTime(0, 0))});
    ds->Locate("id", 3);
    ds->FieldByName("qty")->SetValue(7); // a whole number in a float field
    ds->Post();

    const TDelta handed = ds->GetDelta();
    const TDelta read = ParseDeltaXML(ds->GetDeltaPacket());
    ExpectSameDelta(handed, read);
    ExpectSameTypes(handed, read);
    ExpectSameDelta(handed, ParseDeltaXML(ds->GetDeltaXML())); // and what the XML carries
    ASSERT_EQ(handed.Rows.size(), 4);
    EXPECT_EQ(handed.Rows[0].Kind, TUpdateStatus::usDeleted);
    EXPECT_EQ(handed.Rows[1].New.value("billdate").toDateTime().time(), QTime(9, 30, 15));
    // a change below a second is none: the text carries whole seconds
    EXPECT_EQ(handed.Rows[1].Changed, (QStringList{QStringLiteral("name"), QStringLiteral("qty")}));

    // text a packet cannot carry is refused alike, naming the field
    ds->Locate("id", 12);
    ds->FieldByName("name")->SetValue(QStringLiteral("铃\a声"));
    ds->Post();
    try {
        ds->GetDelta();
        ADD_FAILURE() << "a control character was handed over";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(ds->FieldByName("name")->DisplayName())) << e.what();
    }
    EXPECT_THROW(ds->GetDeltaPacket(), EDatabaseError);
}

TEST(DataSetCompact, EveryCutOrCorruptTextIsRefused)
{
    const QString packet = BuildDataPacket(kLineFields, AwkwardRows());
    auto ds = LoadedLines();
    const QString before = ds->XMLData();
    // every cut, at every character: the counts and lengths say what is missing
    for (qsizetype n = 0; n < packet.size(); ++n) {
        EXPECT_THROW(ds->LoadFromXMLString(packet.left(n)), EDatabaseError) << n;
    }
    EXPECT_EQ(ds->XMLData(), before) << "a refused text changed the dataset";

    ds->First();
    ds->FieldByName("name")->SetValue("改");
    ds->Post();
    const QString delta = ds->GetDeltaPacket();
    for (qsizetype n = 0; n < delta.size(); ++n)
        EXPECT_THROW(ParseDeltaXML(delta.left(n)), EDatabaseError) << n;

    const QString head = QStringLiteral("#TBDP1;1;i0,0,1:a1;");
    EXPECT_EQ(Contents(head + "i5;"), Contents(BuildDataPacket({{"a", TFieldType::ftInteger}}, {{5}})));
    const QStringList bad = {
        packet + "~",                                    // more than the counts say
        head + "i5",                                     // number without its end
        head + "i;",                                     // number without digits
        head + "i99999999999999999999;",                 // beyond 64 bits
        head + "f1e999;",                                // not a finite number
        head + "s2:abc",                                 // text longer than said
        head + "s99999999999:a",                         // a length beyond the text
        head + "q",                                      // unknown tag
        head + "d2024-02-30T00:00:00",                   // impossible date
        head + "T",                                      // a flag in an integer field
        "#TBDP1;1;q0,0,1:a0;",                           // unknown field type
        "#TBDP1;2;i0,0,1:as0,0,1:A0;",                   // the same field twice
        "#TBDP1;1;i0,0,0:0;",                            // a field without a name
        "#TBDP1;0;0;",                                   // no fields
        "#TBDP1;1;i0,4,1:a0;",                           // unknown flags
        "#TBDL1;1;i0,2,1:a0;",                           // a calculated field in a delta
        "#TBDL1;1;i0,0,1:a1;Xi1;",                       // unknown row state
    };
    for (const QString& text : bad) {
        SCOPED_TRACE(text.left(60).toStdString());
        if (text.startsWith(QLatin1String("#TBDL1")))
            EXPECT_THROW(ParseDeltaXML(text), EDatabaseError);
        else
            EXPECT_THROW(ds->LoadFromXMLString(text), EDatabaseError);
    }
    try {
        ds->LoadFromXMLString(head + "s5:ab");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("第 23 个字符"))) << e.what(); // where it went wrong
    }
}
