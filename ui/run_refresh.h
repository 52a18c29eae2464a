#pragma once
// What the main window has not shown yet of a batch run. During a run the window shows the state
// when events are let through, when the run asks a question and when it ends, not once per image:
// filling every control and the view for each of many small images cost more than saving them,
// and nobody could follow pictures changing that fast.
#include <algorithm>
#include <functional>
#include <utility>

#include "jobs/prompt.h"

namespace picaxo {

struct TRunRefresh {
  bool View = false;
  bool Names = false;
  bool Image = false;
  bool Marker = false;
  // The job rows of the images the run reached meanwhile; -1: none.
  int FirstRow = -1;
  int LastRow = -1;

  void NoteRow(int row) {
    if (row < 0) return;
    FirstRow = FirstRow < 0 ? row : std::min(FirstRow, row);
    LastRow = std::max(LastRow, row);
  }
};

// Asks through another prompt once `before` has run (the window shows what the run has reached
// before it asks about it).
class TPromptAfter final : public IPrompt {
 public:
  TPromptAfter(IPrompt& prompt, std::function<void()> before)
      : prompt_(prompt), before_(std::move(before)) {}
  TPromptButton Ask(const TQuestion& question) override {
    before_();
    return prompt_.Ask(question);
  }

 private:
  IPrompt& prompt_;
  std::function<void()> before_;
};

}  // namespace picaxo
