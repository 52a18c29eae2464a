#include "jobs/job_selection.h"

namespace picaxo {

TJobSelectionResponse JobSelectionChanged(int32_t selectedRows, int32_t firstSelectedRow,
                                          TSelectionSource source) {
  TJobSelectionResponse response;
  if (selectedRows <= 0) return response;
  if (selectedRows == 1 && source == TSelectionSource::User && firstSelectedRow >= 0)
    response.MakeCurrent = firstSelectedRow;
  response.UpdateCaptions = true;
  return response;
}

TJobRowFollow FollowCurrentImage(bool batchRunning) {
  return batchRunning ? TJobRowFollow::ScrollOnly : TJobRowFollow::SelectOnly;
}

}  // namespace picaxo
