#pragma once
// Saving the current image: the destination field, the batch flags and the questions asked
// before a destination file is written.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imaging/geometry.h"
#include "imaging/pipeline_stream.h"
#include "imaging/raster.h"
#include "jobs/entry.h"
#include "jobs/observer.h"
#include "jobs/prompt.h"

namespace picaxo {

// The user's blanket answers for a batch run. They belong to one saver (not to the process) so
// that parallel picaxo-cli workers never share them; the window has one.
struct TBatchFlags {
  bool BatchJobCancelled = false;      // stop after the current image
  bool BatchJobOverwriteAll = false;   // replace existing destination files without asking
  bool BatchJobOverwriteNone = false;  // never replace existing destination files, do not ask
  bool BatchJobCreateAllDirs = false;  // create missing destination folders without asking
};

enum class TSaveResult {
  Saved,             // the destination file was written
  Declined,          // a question was answered No or Cancel; nothing written
  NothingToConvert,  // no current image or its source did not decode; nothing written
};

struct TSaveOutcome {
  TSaveResult Result = TSaveResult::NothingToConvert;
  std::string Path;       // the destination path (empty when no destination was formed)
  int64_t ByteCount = 0;  // bytes written when Saved
  std::string Warning;    // what the conversion ignored (a broken profile, unreadable metadata)
  bool Saved() const { return Result == TSaveResult::Saved; }
};

// Whether the save runs inside a batch dialog: the flags apply and questions offer All.
enum class TSaveMode : bool { Single, Batch };

// What one save needs of the current image.
struct TSaveRequest {
  const TFileEntry* Entry = nullptr;  // null: no current image
  // The decoded source, only read; held so that it outlives a reload during the questions.
  std::shared_ptr<const TRasterImage> Image;
  std::unique_ptr<TRowSource> Rows;  // instead of Image: the source's rows, streamed
  int AppliedOrientation = 1;        // the EXIF orientation Image was turned by on loading
  std::optional<TSelection> Selection;
  TResizeSettings Settings;
  std::string OutputNameText;  // the output-name box, used when there is no entry
  TSaveMode Mode = TSaveMode::Single;
};

class TSaver {
 public:
  // status receives the progress texts ("Saving...", "Saved ..."); the owner routes them.
  using TStatusFn = std::function<void(const std::string& text, TRepaint repaint)>;
  TSaver(IPrompt& prompt, IJobObserver& observer, TStatusFn status)
      : prompt_(prompt), observer_(observer), status_(std::move(status)) {}

  // The destination folder field as typed.
  const std::string& DestinationField() const { return destinationField_; }
  void SetDestinationField(std::string text) { destinationField_ = std::move(text); }

  TBatchFlags& Flags() { return flags_; }
  const TBatchFlags& Flags() const { return flags_; }

  // Destination naming of an entry below sourceFolder in format (null entry: the field with its
  // "/", and the output-name text + the format's extension).
  std::string DestinationFolderOf(const TFileEntry* entry, const std::string& sourceFolder) const;
  std::string DestinationFileNameOf(const TFileEntry* entry, const std::string& outputNameText,
                                    EOutputFormat format) const;
  std::string DestinationPathOf(const TFileEntry* entry, const std::string& sourceFolder,
                                const std::string& outputNameText, EOutputFormat format) const;

  // Writes the destination file of request's image. Questions go to the prompt; the flags are
  // read and set only in batch mode. Errors are thrown with their message ("Please specify an
  // destination folder !", ...); a declined question is not an error.
  TSaveOutcome Save(const TSaveRequest& request, const std::string& sourceFolder);

  // The steps of Save for a whole image, for a run that converts on worker threads:
  // Prepare makes the checks and asks the questions (on the thread that owns the prompt); false
  // when a question was declined (outcome says so), true with outcome.Path the file to write.
  bool Prepare(const TSaveRequest& request, const std::string& sourceFolder, TSaveOutcome& outcome);
  // Converts request's image and writes outcome.Path. It touches no prompt, observer or flag and
  // may run on any thread; errors are thrown as Save throws them.
  static void WriteWhole(const TSaveRequest& request, TSaveOutcome& outcome);
  // What Save shows once the file is written: the saved text (with note after it), the recent
  // destination folder, the marker.
  void ReportWritten(const TSaveOutcome& outcome, const std::string& sourceFolder,
                     const std::string& note = {});

 private:
  static void Write(const std::string& path, const std::string& bytes, TSaveOutcome& outcome);

  IPrompt& prompt_;
  IJobObserver& observer_;
  TStatusFn status_;
  std::string destinationField_;
  TBatchFlags flags_;
};

// "Saved %s successfully (%s)." with the path and the file size text.
std::string SavedMessage(const std::string& path, int64_t byteCount);

}  // namespace picaxo
