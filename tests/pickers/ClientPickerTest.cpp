// The client and vendor picker typed into, its lists checked against the database.
#include "tests/pickers/PickerFixture.h"

#include "host/Messages.h"
#include "host/Privileges.h"
#include "host/Session.h"
#include "pickers/PickClientForm.h"
#include "pickers/Pickers.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

class ClientPickerTest : public TPickerTest {
protected:
    std::unique_ptr<TPickClientForm> Open(int kind, const QString& filter = QString())
    {
        auto f = std::make_unique<TPickClientForm>(&Con(), Session());
        f->SetKind(kind);
        f->SetFilter(filter);
        f->FillAreas();
        f->RefreshList();
        f->show();
        return f;
    }
    QList<int> Listed(TPickClientForm* f)
    {
        ReadAll(f);
        return ListIds(f->cdsClient, QStringLiteral("clientid"));
    }
    QList<int> Db(const QString& view, const QString& where = QString(), const TSqlParams& p = {})
    {
        return DbIds(QStringLiteral("select a.clientid from %1 a left join area b on a.areaid = b.areaid "
                                    "where a.clientid > 0 and a.closed = 'F' %2 order by a.code, a.clientid")
                         .arg(view, where),
                     p);
    }
    bool OweColumnShown(TPickClientForm* f) { return f->dg_Client->Model()->ColumnOfField(QStringLiteral("oweamt")) >= 0; }
};

TEST_F(ClientPickerTest, KindsSetCaptionsViewsAndTheOwedColumn)
{
    // A closed client is never listed.
    Con().Execute(QStringLiteral("update client set closed = 'T' where clientid = (select min(clientid) from client where "
                                 "clientkind = 1 and clientid > 1)"));
    auto clients = Open(ckClient);
    EXPECT_EQ(clients->windowTitle(), QStringLiteral("选择客户"));
    EXPECT_EQ(clients->CodeLabel->text(), QStringLiteral("客户编号:"));
    EXPECT_EQ(clients->NameLabel->text(), QStringLiteral("客户名称:"));
    EXPECT_EQ(clients->cdsClient->FieldByName(QStringLiteral("code"))->DisplayName(), QStringLiteral("客户编号"));
    EXPECT_EQ(Listed(clients.get()), Db(QStringLiteral("v_client")));
    EXPECT_TRUE(OweColumnShown(clients.get()));

    auto vendors = Open(ckVendor);
    EXPECT_EQ(vendors->windowTitle(), QStringLiteral("选择供应商"));
    EXPECT_EQ(vendors->CodeLabel->text(), QStringLiteral("供应商编号:"));
    EXPECT_EQ(vendors->cdsClient->FieldByName(QStringLiteral("name"))->DisplayName(), QStringLiteral("供应商名称"));
    EXPECT_EQ(Listed(vendors.get()), Db(QStringLiteral("v_vendor")));

    // Another kind has no view: nothing is listed and nothing is renamed.
    auto other = Open(3);
    EXPECT_EQ(other->windowTitle(), QStringLiteral("选择客户"));
    EXPECT_TRUE(other->cdsClient->IsEmpty());

    // Without the rights that guard receivables and payables the owed amounts stay hidden.
    ASSERT_TRUE(LoginAs(2, &Con()));
    EXPECT_FALSE(GetUPrivilegeItem(1801, 1));
    EXPECT_FALSE(OweColumnShown(Open(ckClient).get()));
    Con().Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, 236, 1)"));
    ReloadPrivileges();
    EXPECT_TRUE(OweColumnShown(Open(ckVendor).get()));
}

TEST_F(ClientPickerTest, TypedConditionsAreasAndOwedAmounts)
{
    auto f = Open(ckClient);
    TypeInto(f.get(), f->Code_ED, QStringLiteral("K00"));
    EXPECT_EQ(Listed(f.get()), Db(QStringLiteral("v_client"), QStringLiteral("and a.code like '%K00%'")));
    TypeInto(f.get(), f->Name_ED, QStringLiteral("华"));
    const QList<int> both = Db(QStringLiteral("v_client"), QStringLiteral("and a.code like '%K00%' and a.shortname like '%华%'"));
    ASSERT_FALSE(both.isEmpty());
    EXPECT_EQ(Listed(f.get()), both);
    Retype(f.get(), f->Code_ED, QString());
    Retype(f.get(), f->Name_ED, QString());
    TypeInto(f.get(), f->PYAssistED, QStringLiteral("hl"));
    EXPECT_EQ(Listed(f.get()), Db(QStringLiteral("v_client"), QStringLiteral("and a.pyassist like '%HL%'")));
    Retype(f.get(), f->PYAssistED, QString());

    // An area lists its sub-areas too.
    const int east = f->Area_CB->findText(QStringLiteral("华东"));
    ASSERT_GT(east, 0);
    f->Area_CB->setCurrentIndex(east);
    emit f->Area_CB->activated(east);
    const QList<int> inEast = Db(QStringLiteral("v_client"), QStringLiteral("and b.lcode like '01%'"));
    EXPECT_GT(inEast.size(), Db(QStringLiteral("v_client"), QStringLiteral("and b.lcode = '01'")).size());
    EXPECT_EQ(Listed(f.get()), inEast);

    // At most 100 owed; switching to "at least" recomputes without retyping.
    f->LE_RB->click();
    TypeInto(f.get(), f->OweAmt_ED, QStringLiteral("100"));
    EXPECT_EQ(Listed(f.get()), Db(QStringLiteral("v_client"), QStringLiteral("and b.lcode like '01%' and a.oweamt <= 100")));
    f->GE_RB->click();
    const QList<int> atLeast = Db(QStringLiteral("v_client"), QStringLiteral("and b.lcode like '01%' and a.oweamt >= 100"));
    EXPECT_EQ(Listed(f.get()), atLeast);
    // Not a number: no amount condition.
    Retype(f.get(), f->OweAmt_ED, QStringLiteral("abc"));
    EXPECT_EQ(Listed(f.get()), inEast);

    f->ClearBtn->click();
    EXPECT_TRUE(f->OweAmt_ED->text().isEmpty());
    EXPECT_EQ(f->Area_CB->currentIndex(), 0);
    EXPECT_EQ(Listed(f.get()), Db(QStringLiteral("v_client")));
}

TEST_F(ClientPickerTest, ShowPickClientAnswersTheChosenId)
{
    Con().Execute(QStringLiteral("update client set shopid = 3 where clientid in (select clientid from v_vendor order by code limit 2)"));
    const QList<int> shop3 = Db(QStringLiteral("v_vendor"), QStringLiteral("and a.shopid = 3"));
    ASSERT_EQ(shop3.size(), 2);
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("PickClientForm"), [&](QDialog*) {
        // The caller's "shopid" names the view's column.
        EXPECT_EQ(ListIds(PickClientForm->cdsClient, QStringLiteral("clientid")), shop3);
        PickClientForm->cdsClient->Last();
        PickClientForm->OkBtn->click();
        return -1;
    });
    int id = -5;
    EXPECT_TRUE(ShowPickClient(ckVendor, id, QStringLiteral("shopid = 3")));
    EXPECT_EQ(id, shop3.last());
    EXPECT_EQ(PickClientForm, nullptr);

    msgs.OnModal(QStringLiteral("PickClientForm"), [&](QDialog*) {
        PickClientForm->CancelBtn->click();
        return -1;
    });
    EXPECT_FALSE(ShowPickClient(ckClient, id, QString()));
    EXPECT_EQ(id, shop3.last());

    // An empty list closed with OK gives 0.
    msgs.OnModal(QStringLiteral("PickClientForm"), [&](QDialog*) {
        TypeInto(PickClientForm, PickClientForm->Code_ED, QStringLiteral("no such code"));
        EXPECT_TRUE(PickClientForm->cdsClient->IsEmpty());
        PickClientForm->OkBtn->click();
        return -1;
    });
    EXPECT_TRUE(ShowPickClient(ckClient, id, QString()));
    EXPECT_EQ(id, 0);
}

} // namespace
