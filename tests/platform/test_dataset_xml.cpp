// Data packets and deltas: round trips, null versus empty, Chinese text, malformed input.
#include "DataSetFixtures.h"

#include <gtest/gtest.h>

TEST(DataSetXml, RoundTripKeepsEveryTypeNullAndEmpty)
{
    auto src = MakeLines();
    const QByteArray bytes("\x00\x01\xff<&>", 7);
    const QString tricky = QString::fromUtf8("引号\"和'尖括号<>&\n第二行\t制表");
    src->AppendRecord({1, "", tricky, 0.1, 12345678.1234, true, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)), bytes});
    src->AppendRecord({2, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    src->AppendRecord({-3, "X", "  spaced  ", -1e-9, -0.5, false, QDateTime(QDate(1999, 1, 2), QTime(0, 0))});

    TClientDataSet ds;
    int opened = 0;
    ds.AfterOpen = [&](TClientDataSet*) { ++opened; };
    ds.LoadFromXMLString(src->XMLData());
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_EQ(ds.RecNo(), 1);
    ASSERT_EQ(ds.RecordCount(), 3);
    ASSERT_EQ(ds.FieldNames(), src->FieldNames());
    EXPECT_TRUE(ds.FieldByName("id")->Required);
    EXPECT_EQ(ds.FieldByName("code")->Size(), 10);
    EXPECT_EQ(ds.FieldByName("price")->DataType(), TFieldType::ftCurrency);

    for (int r = 0; r < 3; ++r)
        for (int f = 0; f < ds.FieldCount(); ++f)
            EXPECT_EQ(ds.RowValue(r, f), src->RowValue(r, f)) << "row " << r << " field " << f;
    EXPECT_FALSE(ds.FieldByName("code")->IsNull());
    EXPECT_EQ(ds.FieldByName("name")->AsString(), tricky);
    EXPECT_EQ(ds.FieldByName("pic")->AsBytes(), bytes);
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("code")->IsNull());
    EXPECT_TRUE(ds.FieldByName("closed")->IsNull());

    // Writing again gives the same text: nothing is lost or reordered.
    EXPECT_EQ(ds.XMLData(), src->XMLData());
}

TEST(DataSetXml, FieldNamesThatAreNotXmlNamesStillRoundTrip)
{
    TClientDataSet src;
    src.AddField("qty x", TFieldType::ftFloat);
    src.AddField("1st", TFieldType::ftString);
    src.AddField("_f0", TFieldType::ftString); // collides with a generated name
    src.AddField("数量", TFieldType::ftInteger);
    src.CreateDataSet();
    src.AppendRecord({1.5, "a", "b", 7});
    TClientDataSet ds;
    ds.LoadFromXMLString(src.XMLData());
    EXPECT_EQ(ds.FieldNames(), QStringList({"qty x", "1st", "_f0", "数量"}));
    EXPECT_EQ(ds.FieldByName("qty x")->AsFloat(), 1.5);
    EXPECT_EQ(ds.FieldByName("1st")->AsString(), QString("a"));
    EXPECT_EQ(ds.FieldByName("_f0")->AsString(), QString("b"));
    EXPECT_EQ(ds.FieldByName("数量")->AsInteger(), 7);
    const TDelta none = ParseDeltaXML(ds.GetDeltaXML());
    EXPECT_EQ(none.Fields.size(), 4);
    EXPECT_TRUE(none.Rows.isEmpty());
}

TEST(DataSetXml, DeltaCarriesOldAndNewValuesOfEveryChangedRow)
{
    auto ds = LoadedLines();
    ds->First();
    ds->FieldByName("name")->SetValue("");        // to empty text
    ds->FieldByName("qty")->SetValue(QVariant()); // to null
    ds->Post();
    ds->Locate("id", 2);
    ds->Delete();
    ds->AppendRecord({10, "新码", "普洱茶", 1, 99.99, QVariant(), QDateTime(QDate(2024, 6, 1), QTime(8, 0, 1))});
    ds->Append(); // unposted rows are not part of the delta
    ds->FieldByName("id")->SetValue(11);

    const TDelta delta = ParseDeltaXML(ds->GetDeltaXML());
    EXPECT_EQ(delta.Fields.size(), ds->FieldCount());
    ASSERT_EQ(delta.Rows.size(), 3);

    const TDeltaRow& del = delta.Rows[0];
    EXPECT_EQ(del.Kind, TUpdateStatus::usDeleted);
    EXPECT_EQ(del.Old.value("id").toLongLong(), 2);
    EXPECT_EQ(del.Old.value("name").toString(), QString("红茶"));
    EXPECT_EQ(del.New.value("code").toString(), QString("B02"));

    const TDeltaRow& mod = delta.Rows[1];
    EXPECT_EQ(mod.Kind, TUpdateStatus::usModified);
    EXPECT_EQ(mod.Old.value("name").toString(), QString("绿茶"));
    ASSERT_TRUE(mod.New.contains("name"));
    EXPECT_TRUE(mod.New.value("name").isValid()); // empty, not null
    EXPECT_EQ(mod.New.value("name").toString(), QString(""));
    EXPECT_EQ(mod.Old.value("qty").toDouble(), 2.0);
    EXPECT_FALSE(mod.New.value("qty").isValid());
    EXPECT_EQ(mod.New.value("billdate").toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(9, 30, 15)));
    QStringList changed = mod.Changed;
    changed.sort();
    EXPECT_EQ(changed, QStringList({"name", "qty"}));

    const TDeltaRow& ins = delta.Rows[2];
    EXPECT_EQ(ins.Kind, TUpdateStatus::usInserted);
    EXPECT_TRUE(ins.Old.isEmpty());
    EXPECT_EQ(ins.New.size(), ds->FieldCount());
    EXPECT_EQ(ins.New.value("code").toString(), QString("新码"));
    EXPECT_EQ(ins.New.value("price").toDouble(), 99.99);
    EXPECT_FALSE(ins.New.value("closed").isValid());
    EXPECT_EQ(ins.New.value("billdate").toDateTime(), QDateTime(QDate(2024, 6, 1), QTime(8, 0, 1)));
    EXPECT_EQ(GetDeltaXML(ds.get()), ds->GetDeltaXML());
}

TEST(DataSetXml, ServerSideBuildsPacketsAndReadsDeltas)
{
    TFieldDef id{"BillID", TFieldType::ftInteger, 0, true};
    TFieldDef code{"Code", TFieldType::ftString, 32};
    TFieldDef amt{"Amount", TFieldType::ftCurrency};
    TFieldDef when{"BillDate", TFieldType::ftDateTime};
    const QString xml = BuildDataPacketXML({id, code, amt, when},
                                           {{1, "PO-001", "12.5", "2024-01-02 03:04:05"}, {2, QVariant(), 7}});
    std::unique_ptr<TClientDataSet> ds(RecordsetFromXMLString(xml));
    ASSERT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->FieldByName("amount")->AsCurrency(), 12.5);
    EXPECT_EQ(ds->FieldByName("billdate")->AsDateTime(), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    ds->Last();
    EXPECT_TRUE(ds->FieldByName("code")->IsNull());
    EXPECT_THROW(BuildDataPacketXML({id}, {{"abc"}}), EConvertError);
    EXPECT_THROW(RecordsetFromXMLString("<DATAPACKET"), EDatabaseError);
}

TEST(DataSetXml, MalformedTextIsRefusedAndTheDataSetKept)
{
    auto ds = LoadedLines();
    const QString good = ds->XMLData();
    const QStringList bad = {
        "",
        "not xml at all",
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>",                  // truncated
        "<OTHER/>",                                                        // wrong root
        "<DATAPACKET><ROWDATA/></DATAPACKET>",                             // no metadata
        "<DATAPACKET><METADATA><FIELDS/></METADATA></DATAPACKET>",         // no fields
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"money\"/></FIELDS></METADATA></DATAPACKET>",
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"integer\"/></FIELDS></METADATA>"
        "<ROWDATA><ROW a=\"x1\"/></ROWDATA></DATAPACKET>",                 // bad integer
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"integer\"/></FIELDS></METADATA>"
        "<ROWDATA><ROW b=\"1\"/></ROWDATA></DATAPACKET>",                  // unknown column
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"datetime\"/></FIELDS></METADATA>"
        "<ROWDATA><ROW a=\"2024-02-30T00:00:00\"/></ROWDATA></DATAPACKET>", // impossible date
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"string\"/><FIELD attrname=\"A\" "
        "fieldtype=\"string\"/></FIELDS></METADATA></DATAPACKET>",         // duplicate field
        good + "<extra/>",
    };
    for (const QString& x : bad) {
        EXPECT_THROW(ds->LoadFromXMLString(x), EDatabaseError) << x.toStdString();
        EXPECT_EQ(ds->RecordCount(), 3);
        EXPECT_EQ(ds->XMLData(), good);
    }
    EXPECT_THROW(ParseDeltaXML(good), EDatabaseError); // a data packet is not a delta
    const QString deltaHead = "<DELTAPACKET><METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"integer\"/></FIELDS>"
                              "</METADATA><ROWDATA>";
    EXPECT_THROW(ParseDeltaXML(deltaHead + "<ROW RowState=\"changed\"><NEW a=\"1\"/></ROW></ROWDATA></DELTAPACKET>"),
                 EDatabaseError);
    EXPECT_THROW(ParseDeltaXML(deltaHead + "<ROW RowState=\"modified\"><NEW a=\"1\"/></ROW></ROWDATA></DELTAPACKET>"),
                 EDatabaseError);
    EXPECT_EQ(ParseDeltaXML(deltaHead + "<ROW RowState=\"inserted\"><NEW a=\"1\"/></ROW></ROWDATA></DELTAPACKET>")
                  .Rows.size(),
              1);
}

TEST(DataSetXml, ReloadKeepsFieldObjectsAndClearsTheLog)
{
    auto ds = LoadedLines();
    TField* name = ds->FieldByName("name");
    name->DisplayLabel = "品名";
    int changes = 0;
    name->OnChange = [&](TField*) { ++changes; };
    ds->First();
    name->SetValue("x");
    ds->Post();
    ASSERT_EQ(ds->ChangeCount(), 1);
    ds->LoadFromXMLString(ds->XMLData());
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_EQ(ds->FieldByName("name"), name);
    EXPECT_EQ(name->DisplayName(), QString("品名"));
    EXPECT_EQ(name->AsString(), QString("x"));
    name->SetValue("y");
    EXPECT_EQ(changes, 2);
}
