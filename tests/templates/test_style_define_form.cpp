// The template editor, driven as a user would: through its grids and buttons inside the
// scripted modal seam.
#include "tests/support/DemoDb.h"

#include "platform/DBControls.h"
#include "templates/StyleDefineForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

constexpr int kWin = 1;

class TStyleDefineTest : public TDemoDbTest {
protected:
    static TStyleDefineForm* Form(QDialog* d) { return qobject_cast<TStyleDefineForm*>(d); }
    // Moves to the row of a data field in a section grid.
    static bool Goto(TStyleDefineForm* f, int section, int itemId)
    {
        return f->SectionDataSet(section)->Locate(QStringLiteral("ItemID"), itemId);
    }
    static void Set(TClientDataSet* ds, const char* field, const QVariant& v)
    {
        ds->FieldByName(QString::fromLatin1(field))->SetValue(v);
        ds->Post();
    }
    int ItemOf(const char* dataField, int section)
    {
        return Scalar(QStringLiteral("select ITEMID from FIELDINFO where WINDOWID = 1 and DATAFIELD = '%1' and TABLETYPE = %2")
                          .arg(QString::fromLatin1(dataField))
                          .arg(section))
            .toInt();
    }
    int Saved(int& templateId, TScriptedMessages& script, TScriptedMessages::TDialogHandler h)
    {
        script.OnModal(QStringLiteral("StyleDefineForm"), std::move(h));
        return ShowStyleDefine(kWin, templateId, nullptr, 5);
    }
};

TEST_F(TStyleDefineTest, EditsMadeInTheGridsComeBackTheSameAfterSavingAndReloading)
{
    TScriptedMessages script;
    const int memo = ItemOf("memo", 2);
    const int goodsName = ItemOf("goodsname", 3);
    const int unitPrice = ItemOf("unitprice", 3);
    const int unit = ItemOf("unitid", 3);
    ASSERT_TRUE(memo && goodsName && unitPrice && unit);

    int id = 1;
    const bool ok = Saved(id, script, [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_EQ(f->windowTitle(), QStringLiteral("单据模板设置"));
        EXPECT_EQ(f->edtTempName->text(), QStringLiteral("标准模板"));
        EXPECT_FALSE(f->btnAddSysField->isVisibleTo(f));
        EXPECT_EQ(f->PageControl->count(), 5);
        EXPECT_FALSE(f->PageControl->isTabVisible(4));
        EXPECT_EQ(f->PageControl->tabText(2), QStringLiteral("单据明细"));
        // caption and visibility on a master page
        EXPECT_TRUE(Goto(f, 2, memo));
        Set(f->cdsMasterBody, "DisplayName", QStringLiteral("说明"));
        Set(f->cdsMasterBody, "BDISPLAY", false);
        Set(f->cdsMasterBody, "BPRINT", false);
        // width, caption and order on the detail page
        TClientDataSet* det = f->cdsDetailItem;
        EXPECT_TRUE(Goto(f, 3, goodsName));
        Set(det, "Width", 222);
        Set(det, "DisplayName", QStringLiteral("品名"));
        f->PageControl->setCurrentIndex(2);
        EXPECT_TRUE(Goto(f, 3, unitPrice));
        f->btnUp->click(); // unit price goes before the line above it
        f->edtTempName->setText(QStringLiteral("标准模板(改)"));
        f->btnOK->click();
        return d->result();
    });
    ASSERT_TRUE(ok);
    EXPECT_EQ(id, 1);

    TStyleInfo back;
    ASSERT_TRUE(back.Load(kWin, 1));
    EXPECT_EQ(back.TemplateName, QStringLiteral("标准模板(改)"));
    EXPECT_EQ(back.FindItem(memo)->DisplayName(), QStringLiteral("说明"));
    EXPECT_FALSE(back.FindItem(memo)->BDisplay());
    EXPECT_FALSE(back.FindItem(memo)->BPrint());
    EXPECT_EQ(back.FindItem(goodsName)->Width(), 222);
    EXPECT_EQ(back.FindItem(goodsName)->DisplayName(), QStringLiteral("品名"));
    // the loaded order of the detail section has unit price right before what preceded it
    QList<int> detail;
    for (const auto& fi : back.Fields())
        if (fi->TableType == 3) detail << fi->ItemID;
    const int pos = detail.indexOf(unitPrice);
    ASSERT_GT(pos, -1);
    EXPECT_EQ(detail.value(pos + 1), unitPrice - 1); // the demo numbers detail fields in order

    // What the editor shows when opened again is what was saved.
    script.OnModal(QStringLiteral("StyleDefineForm"), [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_TRUE(Goto(f, 3, goodsName));
        EXPECT_EQ(f->cdsDetailItem->FieldByName(QStringLiteral("Width"))->AsInteger(), 222);
        EXPECT_TRUE(Goto(f, 2, memo));
        EXPECT_FALSE(f->cdsMasterBody->FieldByName(QStringLiteral("BDISPLAY"))->AsBoolean());
        f->btnCancel->click();
        return d->result();
    });
    int same = 1;
    EXPECT_FALSE(ShowStyleDefine(kWin, same, nullptr, 5));
}

TEST_F(TStyleDefineTest, CancelSavesNothingAndMovingTheFirstRowUpChangesNothing)
{
    TScriptedMessages script;
    TStyleInfo before;
    before.Load(kWin, 1);
    int id = 1;
    const bool ok = Saved(id, script, [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        f->PageControl->setCurrentIndex(2);
        TClientDataSet* det = f->cdsDetailItem;
        det->First();
        const int firstItem = det->FieldByName(QStringLiteral("ItemID"))->AsInteger();
        const int firstSeq = det->FieldByName(QStringLiteral("SEQUENCE"))->AsInteger();
        f->btnUp->click();
        EXPECT_EQ(det->RecNo(), 1);
        EXPECT_EQ(det->FieldByName(QStringLiteral("ItemID"))->AsInteger(), firstItem);
        EXPECT_EQ(det->FieldByName(QStringLiteral("SEQUENCE"))->AsInteger(), firstSeq);
        det->Last();
        const int lastItem = det->FieldByName(QStringLiteral("ItemID"))->AsInteger();
        f->btnDown->click();
        EXPECT_EQ(det->FieldByName(QStringLiteral("ItemID"))->AsInteger(), lastItem);
        // a real move: the rows trade places, the numbers stay in order
        det->First();
        f->btnDown->click();
        EXPECT_EQ(det->RecNo(), 2);
        EXPECT_EQ(det->FieldByName(QStringLiteral("ItemID"))->AsInteger(), firstItem);
        det->First();
        EXPECT_EQ(det->FieldByName(QStringLiteral("SEQUENCE"))->AsInteger(), firstSeq);
        Set(det, "DisplayName", QStringLiteral("不会保存"));
        f->btnCancel->click();
        return d->result();
    });
    EXPECT_FALSE(ok);
    TStyleInfo after;
    after.Load(kWin, 1);
    ASSERT_EQ(after.Count(), before.Count());
    for (int i = 0; i < after.Count(); ++i) {
        EXPECT_EQ(after.Field(i)->ItemID, before.Field(i)->ItemID);
        EXPECT_EQ(after.Field(i)->DisplayName(), before.Field(i)->DisplayName());
    }
}

TEST_F(TStyleDefineTest, AlwaysShownFieldsKeepTheirMarks)
{
    TScriptedMessages script;
    const int goodsId = ItemOf("goodsid", 3);
    int id = 1;
    Saved(id, script, [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_TRUE(Goto(f, 3, goodsId));
        TClientDataSet* det = f->cdsDetailItem;
        EXPECT_TRUE(det->FieldByName(QStringLiteral("AllwaysDisplay"))->AsBoolean());
        EXPECT_THROW(det->FieldByName(QStringLiteral("BDISPLAY"))->SetValue(false), EAbort);
        det->Cancel();
        EXPECT_TRUE(det->FieldByName(QStringLiteral("BDISPLAY"))->AsBoolean());
        // ...while its print mark, not always printed, may change
        det->FieldByName(QStringLiteral("BPRINT"))->SetValue(false);
        det->Post();
        f->btnCancel->click();
        return d->result();
    });
}

TEST_F(TStyleDefineTest, SaveAsStoresANewTemplateAndKeepsTheEditorOpenOnIt)
{
    TScriptedMessages script;
    const int memo = ItemOf("memo", 2);
    script.OnModal(QStringLiteral("InputValueForm"), [](QDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("edtValue"))->setText(QStringLiteral("我的订单"));
        d->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        return d->result();
    });
    int id = 1;
    const bool ok = Saved(id, script, [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_TRUE(Goto(f, 2, memo));
        Set(f->cdsMasterBody, "DisplayName", QStringLiteral("另存的备注"));
        f->btnSaveAs->click();
        // Still open, now on the new template with the edits it was saved with.
        EXPECT_EQ(d->result(), 0) << "另存为 closed the editor";
        EXPECT_EQ(f->Style().TemplateID, 2);
        EXPECT_EQ(f->edtTempName->text(), QStringLiteral("我的订单"));
        EXPECT_TRUE(Goto(f, 2, memo));
        EXPECT_EQ(f->cdsMasterBody->FieldByName(QStringLiteral("DisplayName"))->AsString(), QStringLiteral("另存的备注"));
        // Further edits and OK go to the new template.
        Set(f->cdsMasterBody, "DisplayName", QStringLiteral("再改的备注"));
        f->btnOK->click();
        return d->result();
    });
    ASSERT_TRUE(ok);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(script.PendingDialogs(), 0);
    TStyleInfo copy;
    ASSERT_TRUE(copy.Load(kWin, 2));
    EXPECT_EQ(copy.TemplateName, QStringLiteral("我的订单"));
    EXPECT_EQ(copy.FindItem(memo)->DisplayName(), QStringLiteral("再改的备注"));
    TStyleInfo standard;
    standard.Load(kWin, 1);
    EXPECT_EQ(copy.Count(), standard.Count());
    EXPECT_EQ(standard.TemplateName, QStringLiteral("标准模板"));
    EXPECT_NE(standard.FindItem(memo)->DisplayName(), QStringLiteral("另存的备注")); // the original is untouched
    EXPECT_NE(standard.FindItem(memo)->DisplayName(), QStringLiteral("再改的备注"));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1")).toInt(), 2);
}

TEST_F(TStyleDefineTest, ANewTemplateInAWindowWithoutTemplatesIsSavedAsOne)
{
    TScriptedMessages script;
    for (int item = 1; item <= 3; ++item)
        Con().Execute(QStringLiteral("insert into FIELDINFO (WINDOWID, ITEMID, TABLETYPE, DATAFIELD, DEFAULTNAME, VISIBLE, Serial, WIDTH) "
                                     "values (900, %1, 3, 'f%1', '列%1', 'T', %1, 60)")
                          .arg(item));
    script.OnModal(QStringLiteral("StyleDefineForm"), [](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_EQ(f->edtTempName->text(), QStringLiteral("未命名"));
        EXPECT_EQ(f->cdsDetailItem->RecordCount(), 3);
        f->btnOK->click();
        return d->result();
    });
    int id = TStyleInfo::kNewTemplate;
    ASSERT_TRUE(ShowStyleDefine(900, id, nullptr, 0));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATED where WINDOWID = 900 and TEMPLATEID = 1")).toInt(), 3);
}

TEST_F(TStyleDefineTest, DeleteRefusesTheStandardTemplateAndAsksBeforeAnyOther)
{
    TScriptedMessages script;
    int id = 1;
    // Template 1: refused before any question (an unscripted question would throw).
    EXPECT_FALSE(Saved(id, script, [](QDialog* d) {
        Form(d)->btnDelete->click();
        EXPECT_EQ(d->result(), 0);
        Form(d)->btnCancel->click();
        return d->result();
    }));
    EXPECT_TRUE(script.Contains(QStringLiteral("标准模板不能删除。")));
    EXPECT_EQ(script.Count(TMessageKind::YesNo), 0);

    TStyleInfo extra;
    extra.Load(kWin, TStyleInfo::kNewTemplate);
    const int extraId = extra.Save();
    script.AnswerNo();
    id = extraId;
    EXPECT_FALSE(Saved(id, script, [](QDialog* d) {
        Form(d)->btnDelete->click();
        Form(d)->btnCancel->click();
        return d->result();
    }));
    EXPECT_TRUE(script.Contains(QStringLiteral("请确定是否真的要删除当前的模板。")));
    EXPECT_EQ(script.Records()[script.Count() - 2].Caption, QStringLiteral("询问"));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1 and TEMPLATEID = %1").arg(extraId)).toInt(), 1);

    script.AnswerYes();
    EXPECT_TRUE(Saved(id, script, [](QDialog* d) {
        Form(d)->btnDelete->click();
        return d->result();
    }));
    EXPECT_EQ(id, 1); // the bill falls back on the standard template
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1 and TEMPLATEID = %1").arg(extraId)).toInt(), 0);

    // An uploaded one: asked, then refused by the template itself.
    TStyleInfo up;
    up.Load(kWin, TStyleInfo::kNewTemplate);
    const int upId = up.Save();
    Con().Execute(QStringLiteral("update TEMPLATE set UPFLAG = 1 where WINDOWID = 1 and TEMPLATEID = %1").arg(upId));
    script.AnswerYes();
    id = upId;
    EXPECT_FALSE(Saved(id, script, [](QDialog* d) {
        Form(d)->btnDelete->click();
        Form(d)->btnCancel->click();
        return d->result();
    }));
    EXPECT_EQ(script.Records()[script.Count() - 2].Text, QStringLiteral("模板已经上传，不能删除。"));
}

TEST_F(TStyleDefineTest, DefaultsBringBackTheStandardSettings)
{
    TScriptedMessages script;
    TStyleInfo custom;
    custom.Load(kWin, TStyleInfo::kNewTemplate);
    const int memo = ItemOf("memo", 2);
    custom.FindItem(memo)->SetDisplayName(QStringLiteral("自定义备注"));
    const int id0 = custom.Save();
    const QString standardCaption = Scalar(QStringLiteral("select DISPLAYNAME from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 1 and ITEMID = %1").arg(memo)).toString();
    int id = id0;
    ASSERT_TRUE(Saved(id, script, [&](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_TRUE(Goto(f, 2, memo));
        EXPECT_EQ(f->cdsMasterBody->FieldByName(QStringLiteral("DisplayName"))->AsString(), QStringLiteral("自定义备注"));
        f->btnDefault->click();
        EXPECT_TRUE(Goto(f, 2, memo));
        EXPECT_EQ(f->cdsMasterBody->FieldByName(QStringLiteral("DisplayName"))->AsString(), standardCaption);
        f->btnOK->click();
        return d->result();
    }));
    EXPECT_EQ(id, id0);
    TStyleInfo back;
    back.Load(kWin, id0);
    EXPECT_EQ(back.FindItem(memo)->DisplayName(), standardCaption);
}

TEST_F(TStyleDefineTest, AFailedSaveKeepsTheEditorOpenAndTellsWhy)
{
    TScriptedMessages script;
    Con().ExecuteNative(QStringLiteral("create trigger no_items before insert on TEMPLATED begin select raise(abort, '不许'); end"));
    int id = TStyleInfo::kNewTemplate;
    bool stayedOpen = false;
    EXPECT_FALSE(Saved(id, script, [&](QDialog* d) {
        Form(d)->btnOK->click();
        stayedOpen = d->result() == 0;
        Form(d)->btnCancel->click();
        return d->result();
    }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(script.Count(TMessageKind::Error), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATE where WINDOWID = 1")).toInt(), 1);
}

TEST_F(TStyleDefineTest, PrintStylesOfTheReportTypeAreOffered)
{
    TScriptedMessages script;
    Con().Execute(QStringLiteral("delete from report where rpttype = 5"));
    Con().Execute(QStringLiteral("insert into report (rptid, rpttype, rptname) values (9001, 5, '订单一'), (9002, 5, '订单二'), (9003, 6, '别的')"));
    int id = 1;
    ASSERT_TRUE(Saved(id, script, [](QDialog* d) {
        TStyleDefineForm* f = Form(d);
        EXPECT_EQ(f->RptStyleCB->count(), 3); // none, and the two of type 5
        f->RptStyleCB->setCurrentIndex(f->RptStyleCB->findData(9002));
        f->btnOK->click();
        return d->result();
    }));
    TStyleInfo back;
    back.Load(kWin, 1);
    EXPECT_EQ(back.RptID, 9002);
}

} // namespace
