// The style form: the window is what its template says, a template change rebuilds it once,
// the template buttons, the export of the lines, the "合 计" footer, the save check and the
// printed and reversed marks.
#include "BillWindowFixture.h"

#include "platform/DBControls.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

namespace {

// Template 2 of the purchase order: the standard one with the phone renamed, the memo line
// column first, and the quantity and memo columns not displayed (the quantity is a field
// that is always displayed).
void AddSecondTemplate(TClientConnection* con)
{
    con->Execute(QStringLiteral("insert into template (windowid, templateid, templatename, windowname, issystem, billtypeid, tempcolorsetid, rptid, upflag)"
                                " select windowid, 2, '简洁模板', windowname, 0, billtypeid, 0, -1, 0 from template where windowid = 6 and templateid = 1"));
    con->Execute(QStringLiteral("insert into templated (windowid, templateid, itemid, bprint, bdisplay, displayname, serial, width)"
                                " select windowid, 2, itemid, bprint, bdisplay, displayname, serial, width from templated where windowid = 6 and templateid = 1"));
    auto item = [con](const char* field, int section) {
        return con->ExecuteScalar(QStringLiteral("select itemid from fieldinfo where windowid = 6 and tabletype = :s and datafield = :f"),
                                  {{QStringLiteral("s"), section}, {QStringLiteral("f"), QString::fromLatin1(field)}})
            .toInt();
    };
    con->Execute(QStringLiteral("update templated set displayname = '电话号码' where windowid = 6 and templateid = 2 and itemid = :i"),
                 {{QStringLiteral("i"), item("phone", 2)}});
    con->Execute(QStringLiteral("update templated set serial = -1, bdisplay = 'T' where windowid = 6 and templateid = 2 and itemid = :i"),
                 {{QStringLiteral("i"), item("memo", 3)}});
    con->Execute(QStringLiteral("update templated set bdisplay = 'F' where windowid = 6 and templateid = 2 and itemid = :i"),
                 {{QStringLiteral("i"), item("unitqty", 3)}});
    con->Execute(QStringLiteral("update templated set bdisplay = 'F' where windowid = 6 and templateid = 2 and itemid = :i"),
                 {{QStringLiteral("i"), item("taxprice", 3)}});
}

QStringList ShownColumns(TGoodsBillForm* f)
{
    QStringList out;
    QHeaderView* h = f->ItemDBGrid->horizontalHeader();
    for (int v = 0; v < h->count(); ++v)
        if (!h->isSectionHidden(h->logicalIndex(v)))
            out << f->ItemDBGrid->Model()->FieldOfColumn(h->logicalIndex(v))->FieldName().toLower();
    return out;
}

} // namespace

class TStyleFormTest : public TBillWindowTest {
protected:
    void TearDown() override
    {
        TBillStyleForm::EditTemplate = FOldEdit;
        TBillStyleForm::AskExportFile = FOldAsk;
        TBillWindowTest::TearDown();
    }
    std::function<bool(int, int&, QWidget*, int)> FOldEdit = TBillStyleForm::EditTemplate;
    std::function<QString(QWidget*, const QString&)> FOldAsk = TBillStyleForm::AskExportFile;
};

TEST_F(TStyleFormTest, TheTemplateDecidesTheWindowAndAChangeRebuildsItOnce)
{
    AddSecondTemplate(FCon.get());
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Style().TemplateID, 1);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("templateid"))->AsInteger(), 1);
    auto label = [f](const char* field) {
        auto* l = f->findChild<QLabel*>(QStringLiteral("Dyn_%1_Label").arg(QString::fromLatin1(field)));
        return l ? l->text() : QString();
    };
    EXPECT_EQ(label("clientid"), QStringLiteral("供应商"));
    EXPECT_EQ(label("phone"), QStringLiteral("联系电话"));
    EXPECT_EQ(label("userdef1"), QString()) << "not displayed by the standard template";
    EXPECT_EQ(f->BNLabel->text(), QStringLiteral("采购订单"));
    const QStringList standard = ShownColumns(f);
    ASSERT_GE(standard.size(), 5);
    EXPECT_EQ(standard.first(), QStringLiteral("goodsid"));
    EXPECT_EQ(f->ItemDBGrid->FooterText(f->ItemDBGrid->Model()->ColumnOfField(QStringLiteral("goodsid"))), QStringLiteral("合 计"));

    // The bill takes template 2: the controls are built again, once.
    const int built = f->StyleApplications();
    QPointer<QWidget> vendorBefore = f->FieldEditor(QStringLiteral("clientid"));
    ASSERT_TRUE(vendorBefore);
    f->cdsMaster->FieldByName(QStringLiteral("templateid"))->SetValue(2);
    QApplication::processEvents();
    EXPECT_EQ(f->StyleApplications(), built + 1);
    EXPECT_EQ(f->Style().TemplateID, 2);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("rptid"))->AsInteger(), -1) << "the template's print style";
    EXPECT_EQ(label("phone"), QStringLiteral("电话号码"));
    const QStringList second = ShownColumns(f);
    EXPECT_EQ(second.first(), QStringLiteral("memo"));
    EXPECT_TRUE(second.contains(QStringLiteral("unitqty"))) << "always displayed";
    EXPECT_FALSE(second.contains(QStringLiteral("taxprice")));
    // "合 计" stands in the first column, whatever it holds.
    EXPECT_EQ(f->ItemDBGrid->FooterText(f->ItemDBGrid->Model()->ColumnOfField(QStringLiteral("memo"))), QStringLiteral("合 计"));
    EXPECT_FALSE(vendorBefore) << "the controls are built anew, not patched";
    EXPECT_NE(f->FieldEditor(QStringLiteral("clientid")), nullptr);

    // The same id again builds nothing.
    QPointer<QWidget> vendorNow = f->FieldEditor(QStringLiteral("clientid"));
    f->cdsMaster->FieldByName(QStringLiteral("templateid"))->SetValue(2);
    QApplication::processEvents();
    EXPECT_EQ(f->StyleApplications(), built + 1);
    EXPECT_TRUE(vendorNow);
    EXPECT_EQ(f->FieldEditor(QStringLiteral("clientid")), vendorNow.data());
    // An id that is no template of the window changes nothing either.
    f->cdsMaster->FieldByName(QStringLiteral("templateid"))->SetValue(77);
    QApplication::processEvents();
    EXPECT_EQ(f->Style().TemplateID, 2);
    EXPECT_EQ(f->StyleApplications(), built + 1);
}

TEST_F(TStyleFormTest, TemplateButtonsGoThroughTheEditor)
{
    int calls = 0;
    int answerId = TStyleInfo::kNewTemplate;
    bool answerOk = false;
    int askedId = 0;
    TBillStyleForm::EditTemplate = [&](int windowId, int& templateId, QWidget*, int) {
        ++calls;
        askedId = templateId;
        EXPECT_EQ(windowId, 6);
        templateId = answerId;
        return answerOk;
    };
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const int built = f->StyleApplications();

    // 新增, cancelled: the bill, its controls and its grid stay as they are.
    f->btnStyleNew->click();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(askedId, TStyleInfo::kNewTemplate);
    EXPECT_EQ(f->StyleApplications(), built);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("templateid"))->AsInteger(), 1);

    // 编辑 of the template in use, saved as a new one: the bill takes it and is rebuilt.
    AddSecondTemplate(FCon.get());
    answerOk = true;
    answerId = 2;
    f->btnStyleEdit->click();
    EXPECT_EQ(askedId, 1);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("templateid"))->AsInteger(), 2);
    EXPECT_EQ(f->Style().TemplateID, 2);
    EXPECT_EQ(f->StyleApplications(), built + 1);
    EXPECT_EQ(f->StyledCombo->currentText(), QStringLiteral("简洁模板"));
    // Other button indexes do nothing.
    f->StyledComboPBClick(2);
    EXPECT_EQ(calls, 2);
}

TEST_F(TStyleFormTest, ExportWritesTheLinesOrTellsThereAreNone)
{
    QString asked;
    TBillStyleForm::AskExportFile = [&](QWidget*, const QString& suggested) {
        asked = suggested;
        return FDir.filePath(QStringLiteral("lines.xlsx"));
    };
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    f->OutToExcel->trigger();
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("子表内容为空值，没有记录！")));
    EXPECT_EQ(FMessages->Last().Caption, QStringLiteral("数据错误"));
    EXPECT_TRUE(asked.isEmpty()) << "nothing to write, nobody asked";
    EXPECT_FALSE(QFile::exists(FDir.filePath(QStringLiteral("lines.xlsx"))));

    const TDemoGoods g = Goods(0);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("2"));
    FMessages->ClearRecords();
    f->OutToExcel->trigger();
    EXPECT_EQ(FMessages->Count(), 0) << FMessages->Texts().join(u'|').toStdString();
    QFile out(FDir.filePath(QStringLiteral("lines.xlsx")));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.read(2) == "PK") << "a workbook";
}

TEST_F(TStyleFormTest, SaveNeedsDateAndNumberAndTheMarksFollowTheBill)
{
    TGoodsBillForm* f = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    f->cdsMaster->FieldByName(QStringLiteral("billdate"))->SetValue(QVariant());
    EXPECT_FALSE(f->ValidateMaster());
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("请输入单据日期！"));
    EXPECT_EQ(FMessages->Last().Caption, QStringLiteral("提示"));
    f->cdsMaster->FieldByName(QStringLiteral("billdate"))->SetValue(QDateTime::currentDateTime());
    f->cdsMaster->FieldByName(QStringLiteral("code"))->SetValue(QString());
    EXPECT_FALSE(f->ValidateMaster());
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("请输入单号！"));

    f->cdsMaster->FieldByName(QStringLiteral("code"))->SetValue(QStringLiteral("PO-MARKS-1"));
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(Db(QStringLiteral("select min(clientid) from client where clientkind = 2")));
    const TDemoGoods g = Goods(0);
    f->ItemDBGrid->setFocus();
    Key(Qt::Key_Insert, Qt::ControlModifier);
    TypeLine(f, g.Code, QStringLiteral("1"));
    FMessages->Answer(IDYES).Answer(IDYES);
    ASSERT_TRUE(f->SaveBill()) << FMessages->Texts().join(u'|').toStdString();
    const int id = f->CurrentBillID;
    EXPECT_FALSE(f->stxt_Printed->isVisible());
    EXPECT_FALSE(f->FlagLabel->isVisible());
    FCon->Execute(QStringLiteral("update porder set printed = 1, flag = 1 where orderid = :id"), {{QStringLiteral("id"), id}});
    ASSERT_TRUE(f->LoadBillByID(id));
    EXPECT_TRUE(f->stxt_Printed->isVisible());
    EXPECT_TRUE(f->FlagLabel->isVisible());
    FCon->Execute(QStringLiteral("update porder set printed = 0, flag = 0 where orderid = :id"), {{QStringLiteral("id"), id}});
    ASSERT_TRUE(f->LoadBillByID(id));
    EXPECT_FALSE(f->stxt_Printed->isVisible());
    EXPECT_FALSE(f->FlagLabel->isVisible());
}
