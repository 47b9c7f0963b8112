// The maintenance editors of field definitions and template fields.
#include "tests/support/DemoDb.h"

#include "templates/SysEditors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

class TSysEditorTest : public TDemoDbTest {
protected:
    static TSysFieldInfoForm* FieldForm(QDialog* d) { return qobject_cast<TSysFieldInfoForm*>(d); }
    QVariantList Row(const QString& sql) { return GetValuesOfSql(sql); }
};

TEST_F(TSysEditorTest, ANewFieldGetsTheNextItemAndARowInTheStandardTemplate)
{
    TScriptedMessages script;
    const int next = Scalar(QStringLiteral("select max(ITEMID) + 1 from FIELDINFO where WINDOWID = 1")).toInt();
    script.OnModal(QStringLiteral("SysFieldInfoForm"), [](QDialog* d) {
        TSysFieldInfoForm* f = FieldForm(d);
        EXPECT_EQ(f->windowTitle(), QStringLiteral("系统字段"));
        EXPECT_TRUE(f->IsNew());
        f->btnOK->click(); // no data field yet
        EXPECT_EQ(d->result(), 0);
        f->cbTableType->setCurrentIndex(2);
        f->edtDataField->setText(QStringLiteral("batchmemo"));
        f->edtDefaultName->setText(QStringLiteral("批次说明"));
        f->spnWidth->setValue(95);
        f->chkAlwaysPrint->setChecked(true);
        f->cbSubType->setCurrentIndex(0);
        EXPECT_FALSE(f->grpList->isVisibleTo(f));
        f->cbSubType->setCurrentIndex(3); // drop-down: its list settings appear
        EXPECT_TRUE(f->grpList->isVisibleTo(f));
        f->edtListDataSetName->setText(QStringLiteral("Employ"));
        f->edtKeyField->setText(QStringLiteral("empid"));
        f->btnOK->click();
        return d->result();
    });
    int saved = 0;
    ASSERT_TRUE(ShowSysFieldInfoEdit(1, -1, &saved));
    EXPECT_EQ(saved, next);
    EXPECT_TRUE(script.Contains(QStringLiteral("请输入数据字段！")));

    const QVariantList f = Row(QStringLiteral("select LANGUAGEID, TABLETYPE, DATAFIELD, DEFAULTNAME, ALWAYSPRINT, VISIBLE, Serial, WIDTH, "
                                              "SUBTYPE, LISTDATASETNAME, KEYFIELD from FIELDINFO where WINDOWID = 1 and ITEMID = %1")
                                   .arg(next));
    ASSERT_EQ(f.size(), 11);
    EXPECT_EQ(f[0].toInt(), 1);
    EXPECT_EQ(f[1].toInt(), 3);
    EXPECT_EQ(f[2].toString(), QStringLiteral("batchmemo"));
    EXPECT_EQ(f[3].toString(), QStringLiteral("批次说明"));
    EXPECT_EQ(f[4].toString(), QStringLiteral("T"));
    EXPECT_EQ(f[5].toString(), QStringLiteral("T"));
    EXPECT_EQ(f[6].toInt(), next);
    EXPECT_EQ(f[7].toInt(), 95);
    EXPECT_EQ(f[8].toInt(), 4);
    EXPECT_EQ(f[9].toString(), QStringLiteral("Employ"));
    EXPECT_EQ(f[10].toString(), QStringLiteral("empid"));

    const QVariantList t = Row(QStringLiteral("select BDISPLAY, BPRINT, DISPLAYNAME, Serial from TEMPLATED where WINDOWID = 1 and TEMPLATEID = 1 and ITEMID = %1").arg(next));
    ASSERT_EQ(t.size(), 4);
    EXPECT_EQ(t[0].toString(), QStringLiteral("T"));
    EXPECT_EQ(t[1].toString(), QStringLiteral("T"));
    EXPECT_EQ(t[2].toString(), QStringLiteral("批次说明"));
    EXPECT_EQ(t[3].toInt(), next);
}

TEST_F(TSysEditorTest, AnExistingFieldIsShownAndUpdatedInPlace)
{
    TScriptedMessages script;
    const int item = Scalar(QStringLiteral("select ITEMID from FIELDINFO where WINDOWID = 1 and DATAFIELD = 'exemanid'")).toInt();
    ASSERT_GT(item, 0);
    const int before = Scalar(QStringLiteral("select count(*) from FIELDINFO where WINDOWID = 1")).toInt();
    script.OnModal(QStringLiteral("SysFieldInfoForm"), [](QDialog* d) {
        TSysFieldInfoForm* f = FieldForm(d);
        EXPECT_FALSE(f->IsNew());
        EXPECT_EQ(f->edtDataField->text(), QStringLiteral("exemanid"));
        EXPECT_EQ(f->cbSubType->currentIndex(), 3);
        EXPECT_TRUE(f->grpList->isVisibleTo(f));
        EXPECT_FALSE(f->edtListDataSetName->text().isEmpty());
        f->edtDefaultName->setText(QStringLiteral("销售员"));
        f->chkVisible->setChecked(false);
        f->cbSubType->setCurrentIndex(0); // a plain edit keeps no list settings
        f->btnOK->click();
        return d->result();
    });
    ASSERT_TRUE(ShowSysFieldInfoEdit(1, item));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from FIELDINFO where WINDOWID = 1")).toInt(), before);
    const QVariantList f = Row(QStringLiteral("select DEFAULTNAME, VISIBLE, SUBTYPE, LISTDATASETNAME from FIELDINFO where WINDOWID = 1 and ITEMID = %1").arg(item));
    EXPECT_EQ(f[0].toString(), QStringLiteral("销售员"));
    EXPECT_EQ(f[1].toString(), QStringLiteral("F"));
    EXPECT_EQ(f[2].toInt(), 1);
    EXPECT_TRUE(f[3].isNull());

    script.OnModal(QStringLiteral("SysFieldInfoForm"), [](QDialog* d) {
        FieldForm(d)->edtDefaultName->setText(QStringLiteral("不保存"));
        FieldForm(d)->btnCancel->click();
        return d->result();
    });
    EXPECT_FALSE(ShowSysFieldInfoEdit(1, item));
    EXPECT_EQ(Scalar(QStringLiteral("select DEFAULTNAME from FIELDINFO where WINDOWID = 1 and ITEMID = %1").arg(item)).toString(), QStringLiteral("销售员"));
}

TEST_F(TSysEditorTest, TemplateFieldsAreCopiedFromTheirDefinitionOnce)
{
    TScriptedMessages script;
    for (int item = 1; item <= 3; ++item)
        Con().Execute(QStringLiteral("insert into FIELDINFO (WINDOWID, ITEMID, TABLETYPE, DATAFIELD, DEFAULTNAME, VISIBLE, ALWAYSPRINT, Serial, WIDTH) "
                                     "values (900, %1, 2, 'f%1', '字段%1', '%2', 'F', %1, 70)")
                          .arg(item)
                          .arg(item == 2 ? "F" : "T"));
    script.OnModal(QStringLiteral("SysTemplatedForm"), [](QDialog* d) {
        auto* f = qobject_cast<TSysTemplatedForm*>(d);
        EXPECT_EQ(f->windowTitle(), QStringLiteral("增加模板字段"));
        EXPECT_EQ(f->lstFields->count(), 3);
        EXPECT_EQ(f->lstFields->item(1)->text(), QStringLiteral("字段2"));
        f->lstFields->setCurrentRow(1);
        f->btnAdd->click();
        f->btnAdd->click(); // the same field again: told, not doubled
        f->lstFields->setCurrentRow(2);
        f->btnAdd->click();
        f->btnClose->click();
        return d->result();
    });
    EXPECT_EQ(ShowSysTemplatedEdit(900, 4), 2);
    EXPECT_TRUE(script.Contains(QStringLiteral("该字段已经在模板中。")));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from TEMPLATED where WINDOWID = 900 and TEMPLATEID = 4")).toInt(), 2);
    const QVariantList t = Row(QStringLiteral("select BDISPLAY, BPRINT, DISPLAYNAME, Serial, WIDTH from TEMPLATED where WINDOWID = 900 and TEMPLATEID = 4 and ITEMID = 2"));
    ASSERT_EQ(t.size(), 5);
    EXPECT_EQ(t[0].toString(), QStringLiteral("F")); // shown as its definition is visible
    EXPECT_EQ(t[1].toString(), QStringLiteral("F"));
    EXPECT_EQ(t[2].toString(), QStringLiteral("字段2"));
    EXPECT_EQ(t[3].toInt(), 2);
    EXPECT_EQ(t[4].toInt(), 70);
}

} // namespace
