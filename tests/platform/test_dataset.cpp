// State machine, change log, Locate, calculated fields, field events.
#include "DataSetFixtures.h"

#include <gtest/gtest.h>

TEST(DataSetState, AppendPostEditCancelDeleteFollowTheStateMachine)
{
    auto ds = MakeLines();
    QStringList log;
    ds->BeforeInsert = [&](TClientDataSet*) { log << "BeforeInsert"; };
    ds->OnNewRecord = [&](TClientDataSet* d) {
        log << "OnNewRecord";
        d->FieldByName("qty")->SetValue(1); // defaults do not count as a user change
    };
    ds->AfterInsert = [&](TClientDataSet*) { log << "AfterInsert"; };
    ds->BeforePost = [&](TClientDataSet*) { log << "BeforePost"; };
    ds->AfterPost = [&](TClientDataSet*) { log << "AfterPost"; };
    ds->BeforeEdit = [&](TClientDataSet*) { log << "BeforeEdit"; };
    ds->AfterCancel = [&](TClientDataSet*) { log << "AfterCancel"; };
    ds->BeforeDelete = [&](TClientDataSet*) { log << "BeforeDelete"; };
    ds->AfterDelete = [&](TClientDataSet*) { log << "AfterDelete"; };

    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(ds->IsEmpty());
    ds->Append();
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_FALSE(ds->Modified());
    EXPECT_EQ(ds->FieldByName("qty")->AsFloat(), 1.0);
    ds->FieldByName("id")->SetValue(7);
    EXPECT_TRUE(ds->Modified());
    ds->Post();
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 1);
    EXPECT_EQ(log, QStringList({"BeforeInsert", "OnNewRecord", "AfterInsert", "BeforePost", "AfterPost"}));

    // Writing a field while browsing enters edit; Cancel restores the row.
    log.clear();
    ds->FieldByName("name")->SetValue("x");
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    ds->Cancel();
    EXPECT_TRUE(ds->FieldByName("name")->IsNull());
    EXPECT_EQ(log, QStringList({"BeforeEdit", "AfterCancel"}));

    // Insert goes before the current row.
    ds->Insert();
    ds->FieldByName("id")->SetValue(6);
    ds->Post();
    ds->First();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 6);
    ds->Next();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 7);

    // An untouched new row vanishes when the cursor leaves it.
    ds->Append();
    ds->First();
    EXPECT_EQ(ds->RecordCount(), 2);

    // Delete in insert state only cancels the insert.
    ds->Append();
    ds->Delete();
    EXPECT_EQ(ds->RecordCount(), 2);
    log.clear();
    ds->Delete();
    EXPECT_EQ(ds->RecordCount(), 1);
    EXPECT_EQ(log, QStringList({"BeforeDelete", "AfterDelete"}));
    EXPECT_THROW(ds->Post(), EDatabaseError);
}

TEST(DataSetState, NavigationBofEofAndBookmarks)
{
    auto ds = LoadedLines();
    int scrolls = 0;
    ds->AfterScroll = [&](TClientDataSet*) { ++scrolls; };
    QList<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids << ds->FieldByName("id")->AsInteger();
    EXPECT_EQ(ids, QList<int>({1, 2, 3}));
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(scrolls, 3); // First plus two real moves; the Next at the end does not scroll
    ds->Prior();
    ds->Prior();
    EXPECT_FALSE(ds->Bof());
    ds->Prior();
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->MoveBy(5), 2);
    EXPECT_TRUE(ds->Eof());

    ds->SetRecNo(2);
    const auto bm = ds->GetBookmark();
    ds->First();
    ds->Delete(); // bookmarks survive deletions of other rows
    ASSERT_TRUE(ds->BookmarkValid(bm));
    ds->GotoBookmark(bm);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 2);
    ds->Delete();
    EXPECT_FALSE(ds->BookmarkValid(bm));
    EXPECT_THROW(ds->GotoBookmark(bm), EDatabaseError);
}

TEST(DataSetChangeLog, CountsRowsWithPendingChanges)
{
    auto ds = LoadedLines();
    EXPECT_EQ(ds->ChangeCount(), 0);
    ds->First();
    ds->FieldByName("qty")->SetValue(5);
    ds->Post();
    ds->Edit();
    ds->FieldByName("name")->SetValue("抹茶");
    ds->Post();
    EXPECT_EQ(ds->ChangeCount(), 1);
    EXPECT_EQ(ds->UpdateStatus(), TUpdateStatus::usModified);
    EXPECT_EQ(ds->FieldByName("name")->OldValue().toString(), QString("绿茶"));

    ds->AppendRecord({9, "N09", "新货"});
    EXPECT_EQ(ds->ChangeCount(), 2);
    ds->FieldByName("qty")->SetValue(4); // inserted then edited: still one insert
    ds->Post();
    EXPECT_EQ(ds->ChangeCount(), 2);
    EXPECT_EQ(ds->UpdateStatus(), TUpdateStatus::usInserted);
    ds->Delete(); // inserted then deleted: gone from the log
    EXPECT_EQ(ds->ChangeCount(), 1);

    ds->Locate("id", 2);
    ds->Delete();
    EXPECT_EQ(ds->ChangeCount(), 2);
    EXPECT_EQ(ds->RecordCount(), 2);

    // Editing a row back to its loaded values leaves nothing pending for it.
    ds->Locate("id", 3);
    ds->FieldByName("qty")->SetValue(9);
    ds->Post();
    EXPECT_EQ(ds->ChangeCount(), 3);
    ds->FieldByName("qty")->SetValue(1.5);
    ds->Post();
    EXPECT_EQ(ds->ChangeCount(), 2);

    ds->CancelUpdates();
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_EQ(ds->RecordCount(), 3);
    ds->First();
    EXPECT_EQ(ds->FieldByName("qty")->AsFloat(), 2.0);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), QString("绿茶"));
}

TEST(DataSetChangeLog, MergeAndUndoLastChange)
{
    auto ds = LoadedLines();
    ds->First();
    ds->FieldByName("qty")->SetValue(8);
    ds->Post();
    ds->Locate("id", 2);
    ds->Delete();
    ds->AppendRecord({4, "D04"});
    EXPECT_EQ(ds->ChangeCount(), 3);

    EXPECT_TRUE(ds->UndoLastChange()); // the append
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_TRUE(ds->UndoLastChange()); // the delete, cursor follows the row back
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 2);
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(ds->ChangeCount(), 1);
    EXPECT_TRUE(ds->UndoLastChange());
    ds->First();
    EXPECT_EQ(ds->FieldByName("qty")->AsFloat(), 2.0);
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_FALSE(ds->UndoLastChange());

    ds->FieldByName("qty")->SetValue(3);
    ds->Post();
    ds->Last();
    ds->Delete();
    ds->MergeChangeLog();
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_EQ(ds->RecordCount(), 2);
    ds->First();
    EXPECT_EQ(ds->FieldByName("qty")->OldValue().toDouble(), 3.0);
    EXPECT_FALSE(ds->UndoLastChange());

    // With logging off, edits change the rows without entering the log.
    ds->LogChanges = false;
    ds->FieldByName("qty")->SetValue(11);
    ds->Post();
    ds->AppendRecord({5});
    EXPECT_EQ(ds->ChangeCount(), 0);
    EXPECT_EQ(ds->RecordCount(), 3);
}

TEST(DataSetFields, TypesConversionAndLookupByName)
{
    auto ds = MakeLines();
    EXPECT_EQ(ds->FindField("NAME"), ds->FieldByName("name"));
    EXPECT_EQ(ds->FindField("nope"), nullptr);
    EXPECT_THROW(ds->FieldByName("nope"), EDatabaseError);
    EXPECT_THROW(ds->AddField("x", TFieldType::ftString), EDatabaseError); // open
    EXPECT_EQ(FieldTypeFromName("Currency"), TFieldType::ftCurrency);
    EXPECT_THROW(FieldTypeFromName("money"), EConvertError);

    ds->Append();
    TField* price = ds->FieldByName("price");
    price->SetValue(1.234567);
    EXPECT_DOUBLE_EQ(price->AsFloat(), 1.2346);
    price->SetValue("2.00005");
    EXPECT_DOUBLE_EQ(price->AsCurrency(), 2.0001);
    TField* id = ds->FieldByName("id");
    id->SetValue(" 42 ");
    EXPECT_EQ(id->AsInteger(), 42);
    EXPECT_THROW(id->SetValue("4x"), EConvertError);
    EXPECT_EQ(id->AsInteger(), 42);
    id->SetValue("");
    EXPECT_TRUE(id->IsNull());
    TField* code = ds->FieldByName("code");
    code->SetValue("ABCDEFGHIJKLMN");
    EXPECT_EQ(code->AsString(), QString("ABCDEFGHIJ"));
    code->SetValue("");
    EXPECT_FALSE(code->IsNull()); // empty text is a value for strings
    TField* closed = ds->FieldByName("closed");
    for (const char* t : {"T", "true", "1", "True"}) {
        closed->SetValue(t);
        EXPECT_TRUE(closed->AsBoolean()) << t;
    }
    closed->SetValue("F");
    EXPECT_FALSE(closed->AsBoolean());
    EXPECT_THROW(closed->SetValue("maybe"), EConvertError);
    TField* date = ds->FieldByName("billdate");
    date->SetValue("2024-05-06 07:08:09");
    EXPECT_EQ(date->AsDateTime(), QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    EXPECT_EQ(date->AsString(), QString("2024-05-06 07:08:09"));
    date->SetValue(QDate(2024, 5, 7));
    EXPECT_EQ(date->AsString(), QString("2024-05-07"));
    EXPECT_THROW(date->SetValue("2024-13-40"), EConvertError);
    ds->FieldByName("qty")->DisplayFormat = "#,##0.00";
    ds->FieldByName("qty")->SetValue(-1234567.5);
    EXPECT_EQ(ds->FieldByName("qty")->DisplayText(), QString("-1,234,567.50"));
}

TEST(DataSetFields, ValidateReadOnlyRequiredAndChangeEvents)
{
    auto ds = MakeLines();
    TField* qty = ds->FieldByName("qty");
    QList<double> changes;
    qty->OnValidate = [](TField* f) {
        if (f->AsFloat() < 0) throw EDatabaseError("数量不能为负");
    };
    qty->OnChange = [&](TField* f) { changes << f->AsFloat(); };
    ds->Append();
    qty->SetValue(3);
    EXPECT_THROW(qty->SetValue(-1), EDatabaseError);
    EXPECT_EQ(qty->AsFloat(), 3.0); // the refused value never lands
    EXPECT_EQ(changes, QList<double>({3.0}));

    ds->FieldByName("id")->DisplayLabel = "编号";
    try {
        ds->Post();
        FAIL() << "Post accepted a null required field";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains("编号")) << e.what();
    }
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    ds->FieldByName("id")->SetValue(1);
    ds->Post();

    ds->FieldByName("name")->ReadOnly = true;
    EXPECT_THROW(ds->FieldByName("name")->SetValue("x"), EDatabaseError);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);

    // Silence suspends every handler and nests.
    int posts = 0;
    ds->AfterPost = [&](TClientDataSet*) { ++posts; };
    ds->Silence();
    ds->Silence();
    qty->SetValue(-5); // the validator is silenced too
    ds->Post();
    ds->WakeUp();
    EXPECT_TRUE(ds->Silenced());
    ds->Edit();
    ds->Post();
    EXPECT_EQ(posts, 0);
    ds->WakeUp();
    EXPECT_FALSE(ds->Silenced());
    qty->SetValue(6);
    ds->Post();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(changes, QList<double>({3.0, 6.0}));
}

TEST(DataSetFields, CalculatedFieldsFollowEditsAndStayOutOfTheLog)
{
    auto ds = std::make_unique<TClientDataSet>();
    ds->AddField("qty", TFieldType::ftFloat);
    ds->AddField("price", TFieldType::ftCurrency);
    TField* amount = ds->AddCalcField("amount", TFieldType::ftCurrency);
    int calls = 0;
    ds->OnCalcFields = [&](TClientDataSet* d) {
        ++calls;
        EXPECT_EQ(d->State(), TDataSetState::dsCalcFields);
        d->FieldByName("amount")->SetValue(d->FieldByName("qty")->AsFloat() * d->FieldByName("price")->AsFloat());
    };
    ds->CreateDataSet();
    ds->AppendRecord({2, 3.5});
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 7.0);
    ds->FieldByName("qty")->SetValue(4); // recomputed while editing
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 14.0);
    ds->Post();
    EXPECT_DOUBLE_EQ(ds->Sum("amount"), 14.0);

    const QString delta = ds->GetDeltaXML();
    EXPECT_FALSE(delta.contains("amount"));
    const TDelta parsed = ParseDeltaXML(delta);
    ASSERT_EQ(parsed.Rows.size(), 1);
    EXPECT_FALSE(parsed.Rows[0].New.contains("amount"));

    // A reload keeps the calculated field (and its handler) and computes every row.
    const QString xml = ds->XMLData();
    EXPECT_FALSE(xml.contains("amount=\""));
    calls = 0;
    ds->LoadFromXMLString(xml);
    EXPECT_EQ(ds->FindField("amount"), amount);
    EXPECT_EQ(calls, 1);
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 14.0);
    EXPECT_THROW(
        {
            ds->OnCalcFields = [](TClientDataSet* d) { d->FieldByName("qty")->SetValue(1); };
            ds->Edit();
            ds->FieldByName("price")->SetValue(1);
        },
        EDatabaseError);
}

TEST(DataSetLocate, MultiKeyCaseAndPartialOptions)
{
    auto ds = LoadedLines();
    ds->Last();
    EXPECT_TRUE(ds->Locate("id;code", QVariantList{2, "B02"}));
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_FALSE(ds->Locate("id;code", QVariantList{2, "A01"}));
    EXPECT_EQ(ds->RecNo(), 2); // a miss leaves the cursor
    EXPECT_FALSE(ds->Locate("code", "C03"));
    EXPECT_TRUE(ds->Locate("code", "C03", loCaseInsensitive));
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    EXPECT_FALSE(ds->Locate("name", "绿"));
    EXPECT_TRUE(ds->Locate("name", "绿", loPartialKey));
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_TRUE(ds->Locate("CODE;Name", QVariantList{"b", "红"}, loPartialKey | loCaseInsensitive));
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_TRUE(ds->Locate("id", "3")); // text keys take the field's type
    EXPECT_TRUE(ds->Locate("price", QVariant())); // null matches null only
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    EXPECT_FALSE(ds->Locate("id", "abc"));
    EXPECT_THROW(ds->Locate("id;code", QVariantList{1}), EDatabaseError);
    EXPECT_THROW(ds->Locate("nofield", 1), EDatabaseError);
    ds->First();
    EXPECT_EQ(ds->Lookup("id", {2}, "name").toString(), QString("红茶"));
    EXPECT_EQ(ds->RecNo(), 1); // Lookup does not move
    EXPECT_FALSE(ds->Lookup("id", {99}, "name").isValid());
}

TEST(DataSetSignals, DisableControlsDefersViewsUntilTheLastEnable)
{
    auto ds = LoadedLines();
    int resets = 0, changed = 0;
    QObject::connect(ds.get(), &TClientDataSet::dataReset, [&] { ++resets; });
    QObject::connect(ds.get(), &TClientDataSet::rowChanged, [&](int) { ++changed; });
    ds->DisableControls();
    ds->DisableControls();
    ds->First();
    ds->FieldByName("qty")->SetValue(1);
    ds->Post();
    ds->EnableControls();
    EXPECT_TRUE(ds->ControlsDisabled());
    EXPECT_EQ(resets + changed, 0);
    ds->EnableControls();
    EXPECT_EQ(resets, 1);
    ds->FieldByName("qty")->SetValue(2);
    EXPECT_EQ(changed, 1);
}
