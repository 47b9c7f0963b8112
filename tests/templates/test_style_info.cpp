// The template object: load, save, save as new, delete, copy and sort.
#include "tests/support/DemoDb.h"

#include "templates/StyleInfo.h"

namespace {

constexpr int kWin = 1; // the sales order window of the demo data

class TStyleInfoTest : public TDemoDbTest {
protected:
    // A window of its own: five fields, no template at all.
    void MakeBareWindow(int win)
    {
        for (int item = 1; item <= 5; ++item)
            Con().Execute(QStringLiteral("insert into FIELDINFO (WINDOWID, ITEMID, TABLETYPE, DATAFIELD, DEFAULTNAME, VISIBLE, Serial, WIDTH, SUBTYPE) "
                                         "values (%1, %2, %3, 'f%2', '字段%2', 'T', %4, %5, 1)")
                              .arg(win)
                              .arg(item)
                              .arg(item <= 2 ? 2 : 3)
                              .arg(10 - item)
                              .arg(50 + item));
    }
    int Count(const QString& sql) { return Scalar(sql).toInt(); }
};

TEST_F(TStyleInfoTest, LoadsTheStandardTemplateBySectionThenOrder)
{
    TStyleInfo s;
    ASSERT_TRUE(s.Load(kWin, 1));
    EXPECT_EQ(s.TemplateID, 1);
    EXPECT_EQ(s.TemplateName, QStringLiteral("标准模板"));
    EXPECT_EQ(s.WindowName, QStringLiteral("SOrderForm"));
    EXPECT_EQ(s.Count(), Count(QStringLiteral("select count(*) from FIELDINFO where WINDOWID = 1 and VISIBLE = 'T'")));
    for (int i = 1; i < s.Count(); ++i) {
        const TStyleFieldInfo* a = s.Field(i - 1);
        const TStyleFieldInfo* b = s.Field(i);
        EXPECT_TRUE(a->TableType < b->TableType || (a->TableType == b->TableType && a->Serial() <= b->Serial())) << i;
    }
    const TStyleFieldInfo* title = s.FindDataField(QStringLiteral("sorderid"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->TableType, 1);
    EXPECT_TRUE(title->AlwaysDisplay);
    EXPECT_FALSE(s.Modified());

    TStyleInfo missing;
    EXPECT_FALSE(missing.Load(kWin, 77));
    EXPECT_EQ(missing.Count(), 0);
}

TEST_F(TStyleInfoTest, AFieldNotVisibleInItsDefinitionNeverAppears)
{
    const int item = Scalar(QStringLiteral("select ITEMID from FIELDINFO where WINDOWID = 1 and DATAFIELD = 'memo' and TABLETYPE = 2")).toInt();
    ASSERT_GT(item, 0);
    Con().Execute(QStringLiteral("update TEMPLATED set BDISPLAY = 'T', BPRINT = 'T' where WINDOWID = 1 and ITEMID = %1").arg(item));
    Con().Execute(QStringLiteral("update FIELDINFO set VISIBLE = 'F' where WINDOWID = 1 and ITEMID = %1").arg(item));

    TStyleInfo standard;
    ASSERT_TRUE(standard.Load(kWin, 1));
    EXPECT_EQ(standard.FindItem(item), nullptr);
    TStyleInfo fresh;
    ASSERT_TRUE(fresh.Load(kWin, TStyleInfo::kNewTemplate));
    EXPECT_EQ(fresh.FindItem(item), nullptr);
    const int id = fresh.Save();
    TStyleInfo saved;
    ASSERT_TRUE(saved.Load(kWin, id));
    EXPECT_EQ(saved.FindItem(item), nullptr);

    MakeBareWindow(900);
    Con().Execute(QStringLiteral("update FIELDINFO set VISIBLE = 'F' where WINDOWID = 900 and ITEMID = 4"));
    TStyleInfo bare;
    ASSERT_TRUE(bare.Load(900, TStyleInfo::kNewTemplate));
    EXPECT_EQ(bare.Count(), 4);
    EXPECT_EQ(bare.FindItem(4), nullptr);
}

TEST_F(TStyleInfoTest, SavingAsNewInAWindowWithoutTemplatesGivesIdOne)
{
    MakeBareWindow(900);
    TStyleInfo s;
    ASSERT_TRUE(s.Load(900, TStyleInfo::kNewTemplate));
    EXPECT_EQ(s.TemplateName, QStringLiteral("未命名"));
    ASSERT_EQ(s.Count(), 5);
    s.SetName(QStringLiteral("我的模板"));
    EXPECT_EQ(s.SaveAsNew(), 1);
    EXPECT_EQ(s.TemplateID, 1);
    EXPECT_FALSE(s.Modified());
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATED where WINDOWID = 900 and TEMPLATEID = 1")), 5);
    EXPECT_EQ(Scalar(QStringLiteral("select OPId from TEMPLATE where WINDOWID = 900 and TEMPLATEID = 1")).toInt(), g_iUserID);

    TStyleInfo back;
    ASSERT_TRUE(back.Load(900, 1));
    EXPECT_EQ(back.TemplateName, QStringLiteral("我的模板"));
    ASSERT_EQ(back.Count(), 5);
    // Body before detail, and inside a section the order of the definitions.
    EXPECT_EQ(back.Field(0)->ItemID, 2);
    EXPECT_EQ(back.Field(1)->ItemID, 1);
    EXPECT_EQ(back.Field(2)->ItemID, 5);
    EXPECT_EQ(back.FindItem(3)->DisplayName(), QStringLiteral("字段3"));
    EXPECT_EQ(back.FindItem(3)->Width(), 53);

    TStyleInfo second;
    second.Load(900, TStyleInfo::kNewTemplate);
    EXPECT_EQ(second.SaveAsNew(), 2);
}

TEST_F(TStyleInfoTest, SettersMarkOnlyRealChangesAndSaveWritesOnlyThose)
{
    TStyleInfo s;
    ASSERT_TRUE(s.Load(kWin, 1));
    TStyleFieldInfo* a = s.Field(1);
    TStyleFieldInfo* b = s.Field(2);
    a->SetDisplayName(a->DisplayName());
    a->SetWidth(a->Width());
    a->SetSerial(a->Serial());
    a->SetBDisplay(a->BDisplay());
    a->SetBPrint(a->BPrint());
    EXPECT_FALSE(a->Modified);
    EXPECT_FALSE(s.Modified());
    a->SetDisplayName(QStringLiteral("新标题"));
    EXPECT_TRUE(a->Modified);
    EXPECT_TRUE(s.Modified());

    // Someone else changes b's caption meanwhile: an unmodified field is not written back.
    Con().Execute(QStringLiteral("update TEMPLATED set DISPLAYNAME = '别人改的' where WINDOWID = 1 and TEMPLATEID = 1 and ITEMID = %1").arg(b->ItemID));
    EXPECT_EQ(s.Save(), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select DISPLAYNAME from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 1 and ITEMID = %1").arg(a->ItemID)).toString(),
              QStringLiteral("新标题"));
    EXPECT_EQ(Scalar(QStringLiteral("select DISPLAYNAME from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 1 and ITEMID = %1").arg(b->ItemID)).toString(),
              QStringLiteral("别人改的"));
    EXPECT_FALSE(s.Modified());
}

TEST_F(TStyleInfoTest, StandardAndUploadedTemplatesCannotBeDeleted)
{
    TScriptedMessages script;
    TStyleInfo standard;
    ASSERT_TRUE(standard.Load(kWin, 1));
    EXPECT_FALSE(standard.Delete());
    EXPECT_EQ(script.Last().Text, QStringLiteral("标准模板不能删除。"));
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1 and TEMPLATEID = 1")), 1);

    TStyleInfo uploaded;
    uploaded.Load(kWin, TStyleInfo::kNewTemplate);
    const int id = uploaded.Save();
    Con().Execute(QStringLiteral("update TEMPLATE set UPFLAG = 1 where WINDOWID = 1 and TEMPLATEID = %1").arg(id));
    ASSERT_TRUE(uploaded.Load(kWin, id));
    EXPECT_FALSE(uploaded.Delete());
    EXPECT_EQ(script.Last().Text, QStringLiteral("模板已经上传，不能删除。"));
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1 and TEMPLATEID = %1").arg(id)), 1);
    EXPECT_EQ(script.Count(), 2);
}

TEST_F(TStyleInfoTest, ADeletedTemplateTakesItsFieldsAlongAndItsIdComesBackClean)
{
    TStyleInfo s;
    s.Load(kWin, TStyleInfo::kNewTemplate);
    s.Field(0)->SetDisplayName(QStringLiteral("旧的"));
    const int id = s.Save();
    ASSERT_EQ(id, 2);
    ASSERT_TRUE(s.Delete());
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1 and TEMPLATEID = 2")), 0);
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 2")), 0);

    // Rows of a template removed by other means do not block the next save under that id.
    Con().Execute(QStringLiteral("insert into TEMPLATED (WINDOWID, TEMPLATEID, ITEMID, BPRINT, BDISPLAY, DISPLAYNAME, Serial, WIDTH) "
                                 "select WINDOWID, 2, ITEMID, 'F', 'F', '残留', Serial, WIDTH from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 1"));
    TStyleInfo again;
    again.Load(kWin, TStyleInfo::kNewTemplate);
    EXPECT_EQ(again.SaveAsNew(), 2);
    TStyleInfo back;
    ASSERT_TRUE(back.Load(kWin, 2));
    TStyleInfo standard;
    standard.Load(kWin, 1);
    ASSERT_EQ(back.Count(), standard.Count());
    for (int i = 0; i < back.Count(); ++i) {
        EXPECT_EQ(back.Field(i)->DisplayName(), standard.Field(i)->DisplayName()) << i;
        EXPECT_EQ(back.Field(i)->BDisplay(), standard.Field(i)->BDisplay()) << i;
    }
}

TEST_F(TStyleInfoTest, AFailedSaveChangesNeitherTheDatabaseNorTheObject)
{
    TStyleInfo s;
    s.Load(kWin, TStyleInfo::kNewTemplate);
    s.SetName(QStringLiteral("失败"));
    Con().ExecuteNative(QStringLiteral("create trigger no_items before insert on TEMPLATED begin select raise(abort, 'refused'); end"));
    EXPECT_THROW(s.Save(), Exception);
    EXPECT_EQ(s.TemplateID, TStyleInfo::kNewTemplate);
    EXPECT_TRUE(s.Modified());
    EXPECT_EQ(Count(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1")), 1);
    Con().ExecuteNative(QStringLiteral("drop trigger no_items"));
    EXPECT_EQ(s.Save(), 2);
}

TEST_F(TStyleInfoTest, CopyTakesTheOtherSettingsAndSortsBothWays)
{
    TStyleInfo standard;
    standard.Load(kWin, 1);
    TStyleInfo edited;
    edited.Load(kWin, 1);
    TStyleFieldInfo* last = edited.Field(edited.Count() - 1);
    last->SetSerial(-5);
    last->SetDisplayName(QStringLiteral("改过"));
    edited.SortByTemplate();
    EXPECT_NE(edited.Field(edited.Count() - 1), last); // moved to the front of its section
    edited.SortByDefault();
    EXPECT_EQ(edited.Field(edited.Count() - 1), last);

    edited.ClearModified();
    edited.CopyFrom(standard);
    EXPECT_EQ(last->DisplayName(), standard.Field(standard.Count() - 1)->DisplayName());
    EXPECT_EQ(last->Serial(), standard.Field(standard.Count() - 1)->Serial());
    EXPECT_TRUE(last->Modified);
    EXPECT_FALSE(edited.Field(0)->Modified);

    TStyleInfo partial;
    partial.WindowID = kWin;
    partial.CopyFrom(standard); // fields it lacks are added
    EXPECT_EQ(partial.Count(), standard.Count());
    EXPECT_TRUE(partial.Field(0)->Modified);
}

} // namespace
