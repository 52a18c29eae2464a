// The core's questions as message boxes: title, icon and buttons of each kind, and the answers a
// click, Escape and the All button give.
#include <gtest/gtest.h>

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/message_box_prompt.h"

namespace picaxo {
namespace {

// Runs act on the box once it is shown, then returns the prompt's answer.
TPromptButton AskAndAct(const TQuestion& question, std::function<void(QMessageBox*)> act,
                        QMessageBox::Icon* icon = nullptr, QString* title = nullptr,
                        QStringList* buttons = nullptr) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    if (icon) *icon = box->icon();
    if (title) *title = box->windowTitle();
    if (buttons)
      for (QAbstractButton* b : box->buttons())
        buttons->append(b->text().remove(QLatin1Char('&')));
    act(box);
  });
  TMessageBoxPrompt prompt;
  return prompt.Ask(question);
}

QAbstractButton* ButtonNamed(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text().remove(QLatin1Char('&')) == text) return b;
  return nullptr;
}

TEST(MessageBoxPrompt, EscapeAnswersCancelAndButtonsAnswerThemselves) {
  const TQuestion question{TQuestionId::DeleteSourceFile, TPromptKind::Confirmation,
                           "Do you want to delete /x.jpg ?",
                           TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel};
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  QStringList buttons;
  EXPECT_EQ(AskAndAct(
                question, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, &icon,
                &title, &buttons),
            TPromptButton::Cancel);
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(title, "Picaxo");
  EXPECT_EQ(buttons.size(), 3);
  EXPECT_EQ(AskAndAct(question, [](QMessageBox* box) { box->button(QMessageBox::No)->click(); }),
            TPromptButton::No);
  EXPECT_EQ(AskAndAct(question, [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); }),
            TPromptButton::Yes);
}

TEST(MessageBoxPrompt, BatchQuestionsOfferAll) {
  const TQuestion question{
      TQuestionId::OverwriteFile, TPromptKind::Confirmation, "Destination file already exists.",
      TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel | TPromptButton::All};
  QStringList order;
  EXPECT_EQ(AskAndAct(question,
                      [&](QMessageBox* box) {
                        // The buttons from left to right, whatever the desktop's habit.
                        QList<QAbstractButton*> shown = box->buttons();
                        std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) {
                          return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
                        });
                        for (QAbstractButton* b : shown)
                          order << b->text().remove(QLatin1Char('&'));
                        QAbstractButton* all = ButtonNamed(box, "All");
                        ASSERT_NE(all, nullptr);
                        all->click();
                      }),
            TPromptButton::All);
  EXPECT_EQ(order, (QStringList{"Yes", "No", "All", "Cancel"}));
}

TEST(MessageBoxPrompt, MessagesCarryTheirKindsIcon) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  const auto ok = [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); };
  EXPECT_EQ(AskAndAct({TQuestionId::WindowMessage, TPromptKind::Error, "Broken", TPromptButton::OK},
                      ok, &icon),
            TPromptButton::OK);
  EXPECT_EQ(icon, QMessageBox::Critical);
  AskAndAct({TQuestionId::Finished, TPromptKind::Information, "Finished !", TPromptButton::OK}, ok,
            &icon);
  EXPECT_EQ(icon, QMessageBox::Information);
  AskAndAct({TQuestionId::WindowMessage, TPromptKind::Plain, "About", TPromptButton::OK}, ok,
            &icon);
  EXPECT_EQ(icon, QMessageBox::NoIcon);
}

}  // namespace
}  // namespace picaxo
