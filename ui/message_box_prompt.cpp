#include "ui/message_box_prompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>

namespace picaxo {

namespace {

QMessageBox::Icon IconOf(TPromptKind kind) {
  switch (kind) {
    case TPromptKind::Plain:
      return QMessageBox::NoIcon;
    case TPromptKind::Information:
      return QMessageBox::Information;
    case TPromptKind::Error:
      return QMessageBox::Critical;
    case TPromptKind::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// The application's style with the button-row order that reads Yes, No, actions, Cancel.
class TButtonOrderStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonLayout) return QDialogButtonBox::WinLayout;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

TPromptButton TMessageBoxPrompt::Ask(const TQuestion& question) {
  // A question asked while a modal dialog is open (the batch dialog, which stays on top of the
  // main window) must show above that dialog, so it belongs to it.
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent) parent = owner_ ? owner_ : QApplication::activeWindow();
  QMessageBox box(IconOf(question.Kind), kMessageBoxTitle, QString::fromStdString(question.Text),
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  struct TChoiceButton {
    TPromptButton Button;
    QMessageBox::StandardButton Standard;
  };
  static const TChoiceButton kButtons[] = {{TPromptButton::Yes, QMessageBox::Yes},
                                           {TPromptButton::No, QMessageBox::No},
                                           {TPromptButton::OK, QMessageBox::Ok},
                                           {TPromptButton::Cancel, QMessageBox::Cancel}};
  // Yes | No | All | Cancel from left to right on every desktop: the button row is laid out in
  // the role order that puts Yes, No, the All action and Cancel in that order (a desktop's own
  // order would put Yes last or All first).
  auto* order = new TButtonOrderStyle;
  order->setParent(&box);
  if (auto* row = box.findChild<QDialogButtonBox*>()) row->setStyle(order);
  QAbstractButton* all = nullptr;
  for (const TChoiceButton& b : kButtons) {
    if (!question.Buttons.Has(b.Button)) continue;
    box.addButton(b.Standard);
  }
  if (question.Buttons.Has(TPromptButton::All))
    all = box.addButton(QStringLiteral("All"), QMessageBox::ActionRole);

  // Escape and the frame's close button answer Cancel: a Cancel button exists or closing maps to
  // it below.
  if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) box.setEscapeButton(cancel);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (!clicked) return TPromptButton::Cancel;
  if (clicked == all) return TPromptButton::All;
  switch (box.standardButton(clicked)) {
    case QMessageBox::Yes:
      return TPromptButton::Yes;
    case QMessageBox::No:
      return TPromptButton::No;
    case QMessageBox::Ok:
      // A box closed by its frame or Escape reports its only button; without a choice of
      // buttons that is the answer anyway.
      return TPromptButton::OK;
    default:
      return TPromptButton::Cancel;
  }
}

}  // namespace picaxo
