#include "jobs/commands.h"

namespace picaxo {

TJobCaptions JobCaptionsFor(TJobCaptionMode mode) {
  if (mode == TJobCaptionMode::Selected)
    return {"Save Selected", "Reset Selected", "Apply Selected"};
  return {"Save All", "Reset All", "Apply All"};
}

TJobCaptionMode NextJobCaptionMode(TJobCaptionMode mode, bool listVisible, int selectedRows) {
  if (!listVisible) return mode;
  if (selectedRows > 1) return TJobCaptionMode::Selected;
  return TJobCaptionMode::All;
}

std::string JobToggleCaption(bool listVisible) {
  return listVisible ? "Hide Batch Jobs" : "Show Batch Jobs";
}

TCommandState EnabledCommands(const TCommandInputs& in) {
  TCommandState s;
  const bool entry = in.HasEntry;
  const bool file = in.HasEntry && in.HasFile;
  s.SourceName = entry;
  s.First = entry;
  s.Last = entry;
  s.SaveAndNext = entry;
  s.DeleteSource = entry;
  s.CopyTo = entry;
  s.Previous = entry && in.CurrentIndex > 0;
  s.Next = entry && in.CurrentIndex < in.Count - 1;
  s.OutputName = file;
  s.Preview = file;
  s.Save = file;
  s.Exclude = file;
  // Without the lossless option a rotation could only be shown, never kept: both stay off.
  s.RotateRight = file && in.IsJpegName && in.LosslessRotate;
  s.RotateLeft = s.RotateRight;
  s.ImageNumber = in.Count > 0;
  if (s.ImageNumber) {
    s.ImageNumberText = std::to_string(int64_t{in.CurrentIndex} + 1);
    s.FileCountText = std::to_string(in.Count);
  }
  s.DeleteDestination = in.DestinationExists;
  s.SaveAll = !in.JobsListVisible;
  s.JobExecute = in.Count >= 1 && in.JobsListVisible;
  s.JobReset = s.JobExecute;
  s.JobSelectAll = in.Count >= 2 && s.JobExecute;
  s.JobApply = true;
  return s;
}

}  // namespace picaxo
