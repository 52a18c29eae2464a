#include "jobs/job_rows.h"

namespace picaxo {

std::string JobCellText(const TImageSession& state, int32_t row, TJobColumn column) {
  const TFileEntry* entry = row >= 0 && row < state.Count() ? &state.List().At(row) : nullptr;
  switch (column) {
    case TJobColumn::FileName:
      return JobFileNameText(entry, state.SourceFolder());
    case TJobColumn::Actions:
      return entry ? JobActionsText(*entry, state.Settings()) : std::string();
    case TJobColumn::Flags:
      // "C": another image of the list goes to the same destination file.
      return entry ? JobFlagsText(*entry) + (state.SharesDestination(row) ? "C" : "")
                   : std::string();
  }
  return {};
}

}  // namespace picaxo
