#include "HostFixture.h"

#include <QWidget>

TEST(KQParams, EntriesAreReplacedAndKeysAreExact)
{
    KQParams p(QStringLiteral("BillID"), 7);
    p.AddValue(QStringLiteral("BillID"), 9);
    EXPECT_EQ(p.Count(), 1);
    EXPECT_EQ(p.GetInt(QStringLiteral("BillID")), 9);

    // "GOTOONEBILLBYTYPE" tells "MODAL" (presence) from "Modal" (value): keys are exact.
    p.AddValue(QStringLiteral("Modal"), true);
    EXPECT_FALSE(p.FindValue(QStringLiteral("MODAL")));
    EXPECT_TRUE(p.FindValue(QStringLiteral("Modal")));
    EXPECT_FALSE(p.GetValue(QStringLiteral("modal")).isValid());
    p.AddValue(QStringLiteral("MODAL"), 0);
    EXPECT_EQ(p.Count(), 3);
    EXPECT_EQ(p.Names(), (QStringList{"BillID", "Modal", "MODAL"}));
    EXPECT_TRUE(p.RemoveValue(QStringLiteral("Modal")));
    EXPECT_FALSE(p.RemoveValue(QStringLiteral("Modal")));
}

TEST(KQParams, TypedReadersAndObjects)
{
    KQParams p;
    QWidget w;
    p.AddValue(QStringLiteral("Sender"), &w);
    p.AddValue(QStringLiteral("Text"), "茶叶");
    p.AddValue(QStringLiteral("Flag"), QStringLiteral("T"));
    p.AddValue(QStringLiteral("Null"), QVariant());
    EXPECT_EQ(p.GetValue(QStringLiteral("Sender")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(p.GetObject(QStringLiteral("Sender")), &w);
    EXPECT_EQ(VariantToObject(p.GetValue(QStringLiteral("Sender"))), &w);
    EXPECT_EQ(p.GetObject(QStringLiteral("Missing")), nullptr);
    EXPECT_EQ(p.GetString(QStringLiteral("Text")), QStringLiteral("茶叶"));
    EXPECT_TRUE(p.GetBool(QStringLiteral("Flag")));
    EXPECT_EQ(p.GetInt(QStringLiteral("Null"), 5), 5);
    EXPECT_EQ(p.GetInt(QStringLiteral("Text"), 5), 5); // not a number
    p.AddValue(QStringLiteral("Sender"), static_cast<const QObject*>(nullptr));
    EXPECT_EQ(p.GetObject(QStringLiteral("Sender")), nullptr);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ClearRegistries(); }
    void TearDown() override { ClearRegistries(); }
};

namespace {
QStringList g_Calls;
int RecordingHandler(const QString& name, const QString& subject, KQParams* params)
{
    g_Calls << name + "|" + subject;
    if (params)
        params->AddValue(QStringLiteral("Seen"), true);
    return 42;
}
} // namespace

TEST_F(RegistryTest, NamesIgnoreCaseAndTheLastRegistrationWins)
{
    g_Calls.clear();
    RegistFunction(QStringLiteral("ShowBillForm"), RecordingHandler);
    KQParams p;
    EXPECT_EQ(GlobalCall(QStringLiteral("showbillform"), QStringLiteral("sorderform"), &p), 42);
    EXPECT_EQ(g_Calls, QStringList{"showbillform|sorderform"}); // the caller's spelling reaches the handler
    EXPECT_TRUE(p.GetBool(QStringLiteral("Seen")));
    EXPECT_EQ(GlobalCall(QStringLiteral("SHOWBILLFORM")), 42); // no bag is fine

    int second = 0;
    RegistFunction(QStringLiteral("SHOWBILLFORM"), [&second](const QString&, const QString&, KQParams*) {
        ++second;
        return 7;
    });
    EXPECT_EQ(GlobalCall(QStringLiteral("ShowBillForm")), 7);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(g_Calls.size(), 2);
    EXPECT_EQ(RegisteredFunctions(), QStringList{"SHOWBILLFORM"});

    UnregistFunction(QStringLiteral("showBillForm"));
    EXPECT_FALSE(IsFunctionRegistered(QStringLiteral("SHOWBILLFORM")));
    EXPECT_EQ(GlobalCall(QStringLiteral("SHOWBILLFORM")), -1);
    EXPECT_FALSE(GlobalCallEx(QStringLiteral("SHOWBILLFORM")).isValid());
}

TEST_F(RegistryTest, GlobalCallExAnswers)
{
    RegistFunction(QStringLiteral("Plain"), [](const QString&, const QString&, KQParams*) { return 3; });
    RegistFunction(QStringLiteral("WithResult"), [](const QString&, const QString&, KQParams* p) {
        p->AddValue(QStringLiteral("Result"), QStringLiteral("ok"));
        return 0;
    });
    RegistFunctionEx(QStringLiteral("Ex"), [](const QString& name, const QString& subject, KQParams*) {
        return QVariant(name + ":" + subject);
    });
    EXPECT_EQ(GlobalCallEx(QStringLiteral("plain")).toInt(), 3);
    KQParams p;
    EXPECT_EQ(GlobalCallEx(QStringLiteral("withresult"), QString(), &p).toString(), QStringLiteral("ok"));
    EXPECT_EQ(GlobalCallEx(QStringLiteral("ex"), QStringLiteral("S")).toString(), QStringLiteral("ex:S"));
    EXPECT_EQ(GlobalCall(QStringLiteral("EX"), QStringLiteral("S")), 0);
}

TEST_F(RegistryTest, HandlerExceptionsReachTheCaller)
{
    RegistFunction(QStringLiteral("Boom"), [](const QString&, const QString&, KQParams*) -> int {
        throw EDatabaseError(QStringLiteral("失败"));
    });
    EXPECT_THROW(GlobalCall(QStringLiteral("boom")), EDatabaseError);
}

class FormRegistryTest : public THostDbTest {
protected:
    void SetUp() override
    {
        THostDbTest::SetUp();
        ClearRegistries();
        RegisterPrivilegedForm(QStringLiteral("PorderForm"), [this](QWidget* owner) {
            ++Created;
            auto* w = new QWidget(owner);
            w->setObjectName(QStringLiteral("PorderForm"));
            return w;
        }, 38);
        RegisterPrivilegedForm(QStringLiteral("ValuedRecieveForm"), [](QWidget* o) { return new QWidget(o); }, 42);
        RegisterPrivilegedForm(QStringLiteral("ValuedRecieveInitForm"), [](QWidget* o) { return new QWidget(o); }, 42);
    }
    void TearDown() override
    {
        ClearRegistries();
        THostDbTest::TearDown();
    }
    int Created = 0;
};

TEST_F(FormRegistryTest, FormsAreFoundWithoutRegardToCaseAndKeepTheirIds)
{
    EXPECT_EQ(GetFormPrivilegeId(QStringLiteral("porderform")), 38);
    EXPECT_EQ(GetFormPrivilegeId(QStringLiteral("ValuedRecieveInitForm")), 42);
    EXPECT_EQ(GetFormPrivilegeId(QStringLiteral("Nothing")), -1);
    EXPECT_EQ(RegisteredForms(), (QStringList{"PorderForm", "ValuedRecieveForm", "ValuedRecieveInitForm"}));

    ASSERT_TRUE(LoginAs(1));
    TScriptedMessages msgs;
    QWidget owner;
    std::unique_ptr<QWidget> f(GetPrivilegedForm(QStringLiteral("PORDERFORM"), &owner));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->parentWidget(), &owner);
    EXPECT_EQ(Created, 1);
    EXPECT_EQ(GetPrivilegedForm(QStringLiteral("NoSuchForm")), nullptr);
    EXPECT_EQ(msgs.Count(), 0); // an unknown name is not the user's fault

    // Re-registering replaces the factory and the id, keeping one entry.
    RegisterPrivilegedForm(QStringLiteral("porderform"), [](QWidget* o) { return new QWidget(o); }, 99);
    EXPECT_EQ(GetFormPrivilegeId(QStringLiteral("PorderForm")), 99);
    EXPECT_EQ(RegisteredForms().size(), 3);
}

TEST_F(FormRegistryTest, AUserWithoutBrowseRightGetsNoFormAndIsTold)
{
    ASSERT_TRUE(LoginAs(2)); // the clerk may browse 38 but not 42
    TScriptedMessages msgs;
    std::unique_ptr<QWidget> f(GetPrivilegedForm(QStringLiteral("PorderForm")));
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(GetPrivilegedForm(QStringLiteral("ValuedRecieveForm")), nullptr);
    ASSERT_EQ(msgs.Count(), 1);
    EXPECT_EQ(msgs.Last().Kind, TMessageKind::Error);
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("您没有该功能的操作权限！"));
    EXPECT_EQ(Created, 1);
}
