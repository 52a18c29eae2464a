#pragma once
// The core's questions as modal message boxes: the title "Picaxo", the icon of the question's
// kind and the buttons it offers. Closing a box by its frame or with Escape answers Cancel.
#include <QString>

#include "jobs/prompt.h"

class QWidget;

namespace picaxo {

class TMessageBoxPrompt : public IPrompt {
 public:
  explicit TMessageBoxPrompt(QWidget* owner = nullptr) : owner_(owner) {}
  TPromptButton Ask(const TQuestion& question) override;

 private:
  QWidget* owner_;
};

// The caption of every box.
inline const QString kMessageBoxTitle = QStringLiteral("Picaxo");

}  // namespace picaxo
