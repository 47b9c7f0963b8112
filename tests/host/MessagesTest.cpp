#include "host/Messages.h"

#include <QDialog>
#include <QLineEdit>
#include <gtest/gtest.h>

TEST(ScriptedMessages, NoticesAreRecordedWithTheirCaptionsAndFlags)
{
    TScriptedMessages msgs;
    ShowInformation(QStringLiteral("保存成功"));
    ShowError(QStringLiteral("出错了"));
    ShowWarning(QStringLiteral("注意"));
    AppShowMessage(QStringLiteral("新增状态不能进行整单复制!"));
    EXPECT_EQ(ShowMsgBox(QStringLiteral("完成"), QStringLiteral("提示"), MB_OK | MB_ICONINFORMATION), IDOK);
    ASSERT_EQ(msgs.Count(), 5);
    EXPECT_EQ(msgs.Records()[0].Caption, QStringLiteral("提示"));
    EXPECT_EQ(msgs.Records()[1].Caption, QStringLiteral("错误"));
    EXPECT_EQ(msgs.Records()[1].Kind, TMessageKind::Error);
    EXPECT_EQ(msgs.Records()[2].Caption, QStringLiteral("警告"));
    EXPECT_EQ(msgs.Records()[3].Kind, TMessageKind::AppMessage);
    EXPECT_EQ(msgs.Records()[4].Flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_TRUE(msgs.Contains(QStringLiteral("整单复制")));
    EXPECT_EQ(msgs.Count(TMessageKind::Error), 1);
}

TEST(ScriptedMessages, QuestionsTakeAnswersInOrderOrByText)
{
    TScriptedMessages msgs;
    msgs.AnswerWhen(QStringLiteral("删除"), IDNO).AnswerYes().AnswerCancel();
    EXPECT_TRUE(ShowYesNoQuestion(QStringLiteral("本单执行冲红操作后，是否继续？")));
    EXPECT_FALSE(ShowYesNoQuestion(QStringLiteral("是否真的删除本单？"), QStringLiteral("提示")));
    EXPECT_EQ(ShowMsgBox(QStringLiteral("当前单数据没有保存，保存数据？"), QStringLiteral("询问"), 0x23), IDCANCEL);
    EXPECT_EQ(msgs.PendingAnswers(), 0);
    ASSERT_EQ(msgs.Count(), 3);
    EXPECT_EQ(msgs.Records()[0].Caption, QStringLiteral("询问"));
    EXPECT_EQ(msgs.Records()[0].Answer, IDYES);
    EXPECT_EQ(msgs.Records()[1].Answer, IDNO);
    EXPECT_EQ(msgs.Records()[2].Flags, MB_YESNOCANCEL | MB_ICONQUESTION);

    msgs.Answer(IDNO);
    EXPECT_EQ(ShowYesNoCancelQuestion(QStringLiteral("数据没有保存，保存数据？")), mrNo);
}

TEST(ScriptedMessages, AnUnscriptedQuestionFailsLoudly)
{
    TScriptedMessages msgs;
    EXPECT_THROW(ShowYesNoQuestion(QStringLiteral("继续？")), EUnscriptedMessage);
    EXPECT_THROW(ShowMsgBox(QStringLiteral("继续？"), QStringLiteral("询问"), MB_OKCANCEL), EUnscriptedMessage);
    // An answer bound to another text does not answer this one.
    msgs.AnswerWhen(QStringLiteral("别的问题"), IDYES);
    EXPECT_THROW(ShowYesNoCancelQuestion(QStringLiteral("保存数据？")), EUnscriptedMessage);
    EXPECT_EQ(msgs.Count(), 3); // still recorded, for the failure report
    QDialog dlg;
    EXPECT_THROW(ExecModal(&dlg), EUnscriptedMessage);
}

TEST(ScriptedMessages, ModalDialogsRunTheirHandlers)
{
    TScriptedMessages msgs;
    QDialog dlg;
    dlg.setObjectName(QStringLiteral("PickDialog"));
    auto* edit = new QLineEdit(&dlg);
    msgs.OnModal(QStringLiteral("OtherDialog"), [](QDialog*) { return int(QDialog::Rejected); });
    msgs.OnModal(QStringLiteral("PickDialog"), [edit](QDialog* d) {
        edit->setText(QStringLiteral("茶叶"));
        d->accept();
        return int(QDialog::Rejected); // accept() wins
    });
    EXPECT_EQ(ExecModal(&dlg), QDialog::Accepted);
    EXPECT_EQ(edit->text(), QStringLiteral("茶叶"));
    EXPECT_EQ(msgs.PendingDialogs(), 1);
    EXPECT_EQ(msgs.Last().Kind, TMessageKind::Modal);
    EXPECT_TRUE(msgs.Last().Text.contains(QStringLiteral("PickDialog")));

    msgs.OnModal([](QDialog*) { return int(QDialog::Rejected); });
    QDialog other;
    other.setObjectName(QStringLiteral("Another"));
    EXPECT_EQ(ExecModal(&other), QDialog::Rejected);
}

TEST(ScriptedMessages, TheGuardRestoresThePreviousSeam)
{
    TMessageSeam* before = CurrentMessageSeam();
    {
        TScriptedMessages outer;
        {
            TScriptedMessages inner;
            EXPECT_EQ(CurrentMessageSeam(), &inner);
            ShowInformation(QStringLiteral("内"));
        }
        EXPECT_EQ(CurrentMessageSeam(), &outer);
        EXPECT_EQ(outer.Count(), 0);
    }
    EXPECT_EQ(CurrentMessageSeam(), before);
}
