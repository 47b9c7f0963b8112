// Qt's own dialogs speak Chinese like the rest of the application.
#include "host/Messages.h"
#include "host/Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList ButtonTexts(QWidget* w)
{
    QStringList texts;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
        texts << b->text();
    return texts;
}

TEST(QtTranslations, AQuestionBoxShowsChineseButtons)
{
    ASSERT_TRUE(InstallQtChineseTranslations());
    QStringList texts;
    QImage shot;
    // The real message seam, as the application shows a question; the box is read and
    // answered with its 是 button once it is on screen.
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        shot = box->grab().toImage();
        texts = ButtonTexts(box);
        for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
            if (b->text().startsWith(QStringLiteral("是")))
                b->click();
    });
    const int answer = ShowYesNoCancelQuestion(QStringLiteral("当前单数据没有保存，保存数据？"));
    EXPECT_EQ(answer, IDYES);
    EXPECT_FALSE(shot.isNull());
    EXPECT_EQ(texts.size(), 3);
    for (const QString& word : {QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")})
        EXPECT_EQ(texts.filter(word).size(), 1) << word.toStdString() << " among " << texts.join(QLatin1Char('|')).toStdString();
    for (const QString& english : {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")})
        EXPECT_TRUE(texts.filter(english).isEmpty()) << english.toStdString();

    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Save | QDialogButtonBox::Close);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text().left(2), QStringLiteral("确定"));
    EXPECT_TRUE(buttons.button(QDialogButtonBox::Save)->text().startsWith(QStringLiteral("保存")));
    EXPECT_TRUE(buttons.button(QDialogButtonBox::Close)->text().startsWith(QStringLiteral("关闭")));

    RemoveQtChineseTranslations();
    QMessageBox english(QMessageBox::Question, QString(), QString(), QMessageBox::Yes);
    EXPECT_TRUE(english.button(QMessageBox::Yes)->text().contains(QStringLiteral("Yes")));
}

} // namespace
