#include "jobs/fields.h"

namespace picaxo {

namespace {

std::optional<TControl> SettingsControlOf(TField field) {
  switch (field) {
    case TField::EFitWidth:
      return TControl::EFitWidth;
    case TField::EFitHeight:
      return TControl::EFitHeight;
    case TField::ELongerSide:
      return TControl::ELongerSide;
    case TField::EFixedArea:
      return TControl::EFixedArea;
    case TField::EPercent:
      return TControl::EPercent;
    case TField::EQuality:
      return TControl::EQuality;
    default:
      return std::nullopt;
  }
}

}  // namespace

TFieldCommit SettingsFieldCommit(TField field, TFieldEvent event) {
  TFieldCommit commit;
  const std::optional<TControl> control = SettingsControlOf(field);
  if (!control) return commit;
  if (event == TFieldEvent::Leave) {
    commit.SettingsChange = control;
    commit.Trigger = TTrigger::Leave;
    commit.ShowFitTexts = true;
  } else if (field == TField::EFitWidth || field == TField::EFitHeight) {
    commit.SettingsChange = control;
  }
  return commit;
}

const char* FieldCommitDoing(TField field) {
  switch (field) {
    case TField::EInputDir:
      return "read the source folder";
    case TField::EInFilename:
      return "rename the source file";
    case TField::EInFileNumber:
      return "show the image";
    default:
      return "change the settings";
  }
}

}  // namespace picaxo
