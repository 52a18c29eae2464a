// Moving to an image whose picture is decoded in the background: the move is shown at once, the
// picture when it arrives.
#include "base/file_util.h"
#include "jobs/image_session.h"

namespace picaxo {

void TImageSession::ShowPendingImage(TFileEntry& entry) {
  // The entry's own settings, selection and output name are shown with its name; the sizes and
  // the picture wait for the decode.
  ApplyEntryToSettings(entry, settings_, extras_);
  EntryLoaded();
  RenderView();
  observer_.NameTextsChanged();
  observer_.CurrentImageLoaded();
  SetStatusText("Loading " + SplitPath(entry.FileName).Name + "...", TRepaint::Later);
}

bool TImageSession::FinishPendingLoad(bool wait) {
  if (!image_.Pending()) return false;
  std::optional<TWaitCursor> cursor;
  if (wait) cursor.emplace(observer_);
  const TLoadResult result = image_.Complete(wait);
  if (result == TLoadResult::Pending) return true;
  ShowLoadedImage(result);
  return false;
}

}  // namespace picaxo
