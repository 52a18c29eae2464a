#include "jobs/prompt.h"

namespace picaxo {

TPromptButton TScriptedPrompt::Ask(TPromptKind kind, const std::string& text,
                                   TPromptButtons buttons) {
  questions_.push_back({kind, text, buttons});
  if (answers_.empty()) return TPromptButton::Cancel;
  const TPromptButton answer = answers_.front();
  answers_.pop_front();
  return buttons.Has(answer) ? answer : TPromptButton::Cancel;
}

}  // namespace picaxo
