#pragma once
// The window's text fields and what Enter in them or leaving them commits. The rules are the
// model's (TAppState::CommitField); the window only reports which field and which event.
#include <cstdint>
#include <optional>

#include "jobs/controls.h"

namespace picaxo {

enum class TField : uint8_t {
  EInputDir,
  EOutputDir,
  EInFilename,
  EInFileNumber,
  EOutFilename,
  EFitWidth,
  EFitHeight,
  ELongerSide,  // the edits of the spin boxes
  EFixedArea,
  EPercent,
  EQuality,
};

enum class TFieldEvent : uint8_t { Enter, Leave };

// What a commit leaves to the window: a destination-settings change to report with the
// controls' values, and whether the Fit edits show the frame in effect again (a text that was no
// number goes back to the last valid one).
struct TFieldCommit {
  std::optional<TControl> SettingsChange;
  TTrigger Trigger = TTrigger::Commit;
  bool ShowFitTexts = false;
  bool operator==(const TFieldCommit&) const = default;
};

// The rule of a destination-settings field (nothing for the other fields): Enter in a Fit edit
// commits it; leaving any of them stores the value without a re-render, and the Fit edits show
// the frame in effect again. The spin boxes take Enter themselves.
TFieldCommit SettingsFieldCommit(TField field, TFieldEvent event);

// The verb phrase of a field's commit in an error message ("read the source folder").
const char* FieldCommitDoing(TField field);

}  // namespace picaxo
