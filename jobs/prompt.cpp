#include "jobs/prompt.h"

namespace picaxo {

TPromptButton TScriptedPrompt::Ask(const TQuestion& question) {
  questions_.push_back(question);
  if (answers_.empty()) return TPromptButton::Cancel;
  const TPromptButton answer = answers_.front();
  answers_.pop_front();
  return question.Buttons.Has(answer) ? answer : TPromptButton::Cancel;
}

std::vector<TQuestionId> TScriptedPrompt::QuestionIds() const {
  std::vector<TQuestionId> ids;
  for (const TQuestion& q : questions_)
    ids.push_back(q.Id);
  return ids;
}

}  // namespace picaxo
