#pragma once
// The batch job list's selection handling: what a change of the selected rows asks of the
// window, and how the list follows the current image.
#include <cstdint>
#include <optional>

namespace picaxo {

// Who changed the list's selection: the user, or the window moving it to the current image.
enum class TSelectionSource : bool { User, FollowingCurrentImage };

struct TJobSelectionResponse {
  // The image to make current: the one selected row, when a change by the user left exactly one
  // row selected. That also holds when the change did not select the row anew (a click on one of
  // several selected rows, a Ctrl+click deselecting the other row), so the highlighted row is
  // always the image the controls edit.
  std::optional<int32_t> MakeCurrent;
  // The job captions follow the number of selected rows; an empty selection leaves them.
  bool UpdateCaptions = false;
};

// selectedRows rows are selected now, the first of them being firstSelectedRow.
TJobSelectionResponse JobSelectionChanged(int32_t selectedRows, int32_t firstSelectedRow,
                                          TSelectionSource source);

// How the list follows a move to another image: outside a batch run that image's row becomes the
// only selected and the focused row; during a run the selection stays (it decides which images
// the run covers) and the row is only scrolled into view.
enum class TJobRowFollow : bool { SelectOnly, ScrollOnly };
TJobRowFollow FollowCurrentImage(bool batchRunning);

}  // namespace picaxo
