// The master-data windows driven as a user would: the 基础资料 menu and its lists, the
// editors typed into and saved, a refused save that keeps the window, and the lookup
// controls' 查找/新增/置空 reaching the host's find-or-add dialog from a bill window.
#include "MasterDataDriver.h"
#include "billcore/BillRootForm.h"
#include "host/MasterDataForms.h"
#include "platform/DBControls.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

class TMasterFormsTest : public THostWindowsTest {
protected:
    TMasterListForm* OpenList(TMainWindow& w, const QString& menuCaption)
    {
        QAction* a = w.FindMenuAction(QStringLiteral("基础资料"), menuCaption);
        if (!a)
            return nullptr;
        a->trigger();
        return qobject_cast<TMasterListForm*>(w.ActiveMdiChild());
    }
    QStringList ListCodes(TMasterListForm* list)
    {
        QStringList l;
        TClientDataSet* rows = list->Rows();
        for (int r = 0; r < rows->RecordCount(); ++r)
            l << rows->RowValue(r, rows->FieldByName(QStringLiteral("code"))->Index()).toString();
        return l;
    }
};

TEST_F(TMasterFormsTest, TheMenuListFiltersAsYouTypeAndANewItemIsTypedIntoTheEditor)
{
    TMainWindow w;
    w.show();
    TScriptedMessages msgs;
    TMasterListForm* list = OpenList(w, QStringLiteral("货品"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->objectName(), QStringLiteral("GoodsListForm"));
    EXPECT_EQ(list->Rows()->RecordCount(), Scalar(QStringLiteral("select count(*) from goods where closed = 'F'")).toInt());

    // Typed initials narrow the list at once, to what the database holds for them.
    TypeText(list->FindEdit(), QStringLiteral("kl"));
    const QStringList expected = [&] {
        TClientDataSet ds;
        Con().OpenDataSet(QStringLiteral("select code from goods where closed = 'F' and (code like '%kl%' or name like '%kl%' or "
                                         "shortname like '%kl%' or pyassist like '%kl%') order by code"),
                          &ds);
        QStringList l;
        for (ds.First(); !ds.Eof(); ds.Next())
            l << ds.Fields(0)->AsString();
        return l;
    }();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(ListCodes(list), expected);

    msgs.OnModal(QStringLiteral("GoodsEditForm"), [&](QDialog* d) {
        auto* e = static_cast<TMasterEditDialog*>(d);
        TypeField(e, QStringLiteral("code"), QStringLiteral("T1001"));
        TypeField(e, QStringLiteral("name"), QStringLiteral("统一冰红茶500ml"));
        EXPECT_EQ(qobject_cast<QLineEdit*>(e->FieldControl(QStringLiteral("pyassist")))->text(), QStringLiteral("TYBHC500ML"));
        TypeField(e, QStringLiteral("specs"), QStringLiteral("500ml"));
        TypeField(e, QStringLiteral("validdates"), QStringLiteral("270"));
        QTest::mouseClick(qobject_cast<QCheckBox*>(e->FieldControl(QStringLiteral("batchctrl"))), Qt::LeftButton);
        TypeField(e, QStringLiteral("inf_costingtypeid"), QStringLiteral("先进先出"));
        // the type: the first child of the first top-level type
        QTreeWidgetItem* type = e->TypeTree()->topLevelItem(1)->child(0);
        e->TypeTree()->setCurrentItem(type);
        QTableWidget* units = e->UnitsTable();
        TypeCell(units, 0, 0, QStringLiteral("瓶"));
        TypeCell(units, 0, 2, QStringLiteral("6925303773915"));
        TypeCell(units, 0, 5, QStringLiteral("3.5"));
        TypeCell(units, 0, 11, QStringLiteral("3"));
        Click(e, QStringLiteral("btnAddUnit"));
        TypeCell(units, 1, 0, QStringLiteral("箱"));
        TypeCell(units, 1, 1, QStringLiteral("15"));
        TypeCell(units, 1, 4, QStringLiteral("36"));
        TypeCell(units, 1, 6, QStringLiteral("48"));
        Click(e, QStringLiteral("btnSave"));
        return d->result();
    });
    Click(list, QStringLiteral("btnNew"));
    EXPECT_EQ(msgs.PendingDialogs(), 0);

    TClientDataSet g;
    Con().OpenDataSet(QStringLiteral("select g.*, t.name as typename from goods g left join goodstype t on t.goodstypeid = g.goodstypeid "
                                     "where g.code = 'T1001'"),
                      &g);
    ASSERT_EQ(g.RecordCount(), 1) << msgs.Texts().join(u'|').toStdString();
    EXPECT_EQ(g.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("统一冰红茶500ml"));
    EXPECT_EQ(g.FieldByName(QStringLiteral("batchctrl"))->AsString(), QStringLiteral("T"));
    EXPECT_EQ(g.FieldByName(QStringLiteral("validdates"))->AsInteger(), 270);
    EXPECT_EQ(g.FieldByName(QStringLiteral("inf_costingtypeid"))->AsInteger(), 3);
    EXPECT_EQ(g.FieldByName(QStringLiteral("unit"))->AsString(), QStringLiteral("瓶"));
    EXPECT_FALSE(g.FieldByName(QStringLiteral("typename"))->AsString().isEmpty());
    const int id = g.FieldByName(QStringLiteral("goodsid"))->AsInteger();
    TClientDataSet u;
    Con().OpenDataSet(QStringLiteral("select unitname, rate, barcode, sprice, minsprice, pprice, lprice1 from goodsunit where goodsid = %1 "
                                     "order by unittype")
                          .arg(id),
                      &u);
    ASSERT_EQ(u.RecordCount(), 2);
    EXPECT_EQ(u.Fields(2)->AsString(), QStringLiteral("6925303773915"));
    EXPECT_DOUBLE_EQ(u.Fields(3)->AsFloat(), 3.5);
    EXPECT_DOUBLE_EQ(u.Fields(4)->AsFloat(), 3);
    u.Next();
    EXPECT_EQ(u.Fields(0)->AsString(), QStringLiteral("箱"));
    EXPECT_DOUBLE_EQ(u.Fields(1)->AsFloat(), 15);
    EXPECT_DOUBLE_EQ(u.Fields(5)->AsFloat(), 36);
    EXPECT_DOUBLE_EQ(u.Fields(6)->AsFloat(), 48);

    // The list shows everything again, on the new row.
    EXPECT_TRUE(list->FindEdit()->text().isEmpty());
    EXPECT_EQ(list->CurrentId(), id);
}

TEST_F(TMasterFormsTest, ARefusedSaveKeepsTheWindowAndWhatWasTyped)
{
    TScriptedMessages msgs;
    const QString taken = Scalar(QStringLiteral("select code from client where clientid = 2")).toString();
    int tries = 0;
    msgs.OnModal(QStringLiteral("ClientEditForm"), [&](QDialog* d) {
        auto* e = static_cast<TMasterEditDialog*>(d);
        TypeField(e, QStringLiteral("code"), taken);
        TypeField(e, QStringLiteral("name"), QStringLiteral("苏州丰源超市有限公司"));
        TypeField(e, QStringLiteral("credit"), QStringLiteral("20000"));
        Click(e, QStringLiteral("btnAddContact"));
        TypeCell(e->ContactsTable(), 0, 0, QStringLiteral("冯店长"));
        TypeCell(e->ContactsTable(), 0, 3, QStringLiteral("13900001111"));
        Click(e, QStringLiteral("btnSave"));
        ++tries;
        EXPECT_NE(d->result(), QDialog::Accepted);
        EXPECT_TRUE(msgs.Contains(QStringLiteral("已经存在"))) << msgs.Texts().join(u'|').toStdString();
        EXPECT_EQ(qobject_cast<QLineEdit*>(e->FieldControl(QStringLiteral("name")))->text(), QStringLiteral("苏州丰源超市有限公司"));
        EXPECT_EQ(e->ContactsTable()->rowCount(), 1);

        // A number field that is not a number is refused too, and the rest stays.
        TypeField(e, QStringLiteral("code"), QStringLiteral("K7001"));
        TypeField(e, QStringLiteral("creditdays"), QStringLiteral("三十"));
        Click(e, QStringLiteral("btnSave"));
        ++tries;
        EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("必须是数字"))) << msgs.Last().Text.toStdString();
        TypeField(e, QStringLiteral("creditdays"), QStringLiteral("30"));
        Click(e, QStringLiteral("btnSave"));
        ++tries;
        return d->result();
    });
    const int id = ShowMasterEditor(TMasterKind::Client, 0, &Con());
    EXPECT_EQ(tries, 3);
    ASSERT_GT(id, 0);
    EXPECT_EQ(Scalar(QStringLiteral("select code || '/' || creditdays || '/' || contator from client where clientid = %1").arg(id)).toString(),
              QStringLiteral("K7001/30/冯店长"));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from client where name = '苏州丰源超市有限公司'")).toInt(), 1);
}

// A bill window with a store lookup, as bill forms build them.
class TLookupHost : public TBillRootForm {
public:
    TLookupHost(const QString& field, const QString& list, const QString& key, const QString& display)
    {
        Master.AddField(field, TFieldType::ftInteger);
        Master.CreateDataSet();
        Master.Append();
        Master.Post();
        Source.SetDataSet(&Master);
        Combo = new TDBLookupCombo(this);
        Combo->setProperty("lookupMenu", true);
        Combo->setProperty("ListDataSetName", list);
        Combo->SetDataSource(&Source);
        Combo->SetDataField(field);
        Combo->SetListSource(GetLookupDataSet(list), key, display);
        BindDataComponents();
    }
    QAction* MenuItem(const QString& caption) const
    {
        for (QAction* a : Combo->actions())
            if (a->text() == caption)
                return a;
        return nullptr;
    }
    TClientDataSet Master;
    TDataSource Source;
    TDBLookupCombo* Combo;
};

TEST_F(TMasterFormsTest, LookupMenusFindAddAndClearTheFieldThroughTheHost)
{
    TScriptedMessages msgs;
    TLookupHost form(QStringLiteral("storeid"), QStringLiteral("Store_DS"), QStringLiteral("storeid"), QStringLiteral("name"));
    TField* store = form.Master.FieldByName(QStringLiteral("storeid"));
    ASSERT_NE(form.MenuItem(QStringLiteral("查找")), nullptr);

    // The demo books run two branches: a find from a window of the head shop offers the head
    // office's stores and the shop's own, not the other branch's.
    ASSERT_TRUE(IsOnline());
    msgs.OnModal(QStringLiteral("StoreFindForm"), [&](QDialog* d) {
        auto* find = static_cast<TMasterFindDialog*>(d);
        TypeText(find->List()->FindEdit(), QStringLiteral("分店"));
        EXPECT_EQ(find->List()->Rows()->RecordCount(), 0);
        find->List()->FindEdit()->clear();
        TypeText(find->List()->FindEdit(), QStringLiteral("门市"));
        EXPECT_EQ(find->List()->Rows()->RecordCount(), 1);
        // down into the list, Enter takes the row
        QTest::keyClick(find->List()->FindEdit(), Qt::Key_Down);
        QTest::keyClick(find->List()->Grid(), Qt::Key_Return);
        return d->result();
    });
    form.MenuItem(QStringLiteral("查找"))->trigger();
    EXPECT_EQ(store->AsInteger(), 2);
    EXPECT_EQ(form.Combo->currentText(), QStringLiteral("总店门市"));

    msgs.OnModal(QStringLiteral("StoreEditForm"), [&](QDialog* d) {
        auto* e = static_cast<TMasterEditDialog*>(d);
        TypeField(e, QStringLiteral("code"), QStringLiteral("07"));
        TypeField(e, QStringLiteral("name"), QStringLiteral("退货仓"));
        TypeField(e, QStringLiteral("shopid"), QStringLiteral("总店"));
        e->OperatorsList()->item(1)->setCheckState(Qt::Checked);
        Click(e, QStringLiteral("btnSave"));
        return d->result();
    });
    form.MenuItem(QStringLiteral("新增"))->trigger();
    const int added = Scalar(QStringLiteral("select storeid from store where code = '07'")).toInt();
    ASSERT_GT(added, 0);
    EXPECT_EQ(store->AsInteger(), added);
    EXPECT_EQ(form.Combo->currentText(), QStringLiteral("退货仓")) << "the store list was read again";
    EXPECT_EQ(Scalar(QStringLiteral("select operators from store where storeid = %1").arg(added)).toString(), QStringLiteral("|2|"));

    // Cancelling the editor leaves the field alone.
    msgs.OnModal(QStringLiteral("StoreEditForm"), [](QDialog*) { return int(QDialog::Rejected); });
    form.MenuItem(QStringLiteral("新增"))->trigger();
    EXPECT_EQ(store->AsInteger(), added);

    form.MenuItem(QStringLiteral("置空"))->trigger();
    EXPECT_TRUE(store->IsNull());
    EXPECT_EQ(msgs.PendingDialogs(), 0);

    // A lookup without master data of its own is told, not ignored.
    TLookupHost subjects(QStringLiteral("subid"), QStringLiteral("Subject_DS"), QStringLiteral("subid"), QStringLiteral("name"));
    subjects.MenuItem(QStringLiteral("新增"))->trigger();
    EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("没有对应的基础资料"))) << msgs.Last().Text.toStdString();
}

TEST_F(TMasterFormsTest, WithoutRightsTheListStaysShutOrReadOnly)
{
    TMainWindow w;
    w.show();
    TScriptedMessages msgs;
    ASSERT_TRUE(LoginAs(2, &Con()));
    EXPECT_EQ(OpenList(w, QStringLiteral("客户")), nullptr);
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("您没有该功能的操作权限！"));
    EXPECT_TRUE(w.MdiArea()->subWindowList().isEmpty());

    Con().Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, %1, 1)").arg(kClientPrivilege));
    TMasterListForm* list = OpenList(w, QStringLiteral("客户"));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->findChild<QPushButton*>(QStringLiteral("btnNew"))->isEnabled());
    EXPECT_FALSE(list->findChild<QPushButton*>(QStringLiteral("btnEdit"))->isEnabled());
    // ... and a double click shows nothing to edit.
    msgs.ClearRecords();
    emit list->Grid()->doubleClicked(list->Grid()->model()->index(0, 0));
    EXPECT_EQ(msgs.Count(), 0);
    Click(list, QStringLiteral("btnClose"));
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(w.MdiArea()->subWindowList().isEmpty());
}

TEST_F(TMasterFormsTest, EveryWindowReadsInChineseWithoutKeys)
{
    auto chinese = [](const QString& s) {
        for (QChar c : s)
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
                return true;
        return false;
    };
    const int rows[] = {1, 2, 33, 1, 1, 2, 2}; // a row of each kind to edit
    for (TMasterKind kind : MasterKinds()) {
        const TMasterKindInfo& info = MasterKindInfo(kind);
        SCOPED_TRACE(info.Name.toStdString());
        TMasterEditDialog edit(kind, rows[static_cast<int>(kind)], &Con(), TMasterSession::FromConnection(&Con()));
        TMasterListForm list(kind, &Con(), TMasterSession::FromConnection(&Con()));
        for (QWidget* window : {static_cast<QWidget*>(&edit), static_cast<QWidget*>(&list)}) {
            RenderPng(window, window->objectName());
            EXPECT_TRUE(chinese(window->windowTitle()));
            for (const QString& caption : Captions(window)) {
                EXPECT_TRUE(chinese(caption)) << caption.toStdString();
                EXPECT_NE(caption.toLower(), QStringLiteral("id"));
            }
        }
        // The editor shows the row it was given, names for its ids.
        EXPECT_FALSE(qobject_cast<QLineEdit*>(edit.FieldControl(QStringLiteral("code")))->text().isEmpty());
        for (QComboBox* c : edit.findChildren<QComboBox*>()) {
            bool ok = false;
            c->currentText().toInt(&ok);
            EXPECT_FALSE(ok && !c->currentText().isEmpty()) << c->objectName().toStdString() << " shows an id";
        }
    }
}

} // namespace
