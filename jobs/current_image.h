#pragma once
// The decoded source of the current image.
//
// A file is decoded only when its path differs from the one loaded, so re-rendering after a
// settings change reuses the pixels. A failed decode leaves the image empty and keeps its message.
//
// The decoded raster is shared, never copied: the view shows the same pixels and keeps them alive
// while it shows them. They are therefore never changed once loaded: conversions only read them
// (widening a palette or mask format happens once, on loading), and a reload or a rotation loads
// a new raster in place of the old one.
//
// A state that never shows its source (picaxo-cli) loads in streaming access instead: loading
// opens the file for streaming (its header, and for a progressive JPEG its coefficients) and keeps
// only its size; the save converts the rows as they are decoded, and no whole raster is held.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "imaging/pipeline_stream.h"
#include "imaging/raster.h"
#include "jobs/decoded_source.h"

namespace picaxo {

// Pending: the file is being decoded in the background (TCurrentImage::Begin); the picture is
// empty until Complete.
enum class TLoadResult { AlreadyLoaded, Decoded, Failed, Pending };

// How the source is held: decoded whole (the window shows it), or opened for streaming.
enum class TSourceAccess : bool { Whole, Stream };

class TCurrentImage {
 public:
  // Decodes path unless it is the file already loaded under the same colour policy (JPEG by the
  // codec, anything else by the BMP reader) and turns it upright as Options() say; in streaming
  // access opens it instead. Failed: the image is empty and LoadError() holds the message. A
  // colour profile that was ignored leaves its reason in LoadWarning().
  TLoadResult Load(const std::string& path,
                   TColorProfilePolicy color = TColorProfilePolicy::Convert);
  // Load that does not wait for a decode: a picture decoded ahead is taken at once, otherwise the
  // supplier decodes it in the background and the result is Pending (the picture empty, the name
  // that of path) until Complete. Without a supplier that can, it is Load.
  TLoadResult Begin(const std::string& path, TColorProfilePolicy color);
  // Pending while the background decode has not arrived and wait is false; otherwise the result
  // of the load Begin started (waiting for it when wait). Not pending: AlreadyLoaded.
  TLoadResult Complete(bool wait);
  bool Pending() const { return pending_; }
  // Forgets the loaded name (the file list was rebuilt, the file changed on disk): the next Load
  // decodes again. The pixels stay until then. Decodes made ahead are dropped too.
  void Forget();
  // Where decodes made ahead come from (null: none); the supplier outlives its use here.
  void SetSupplier(ISourceSupplier* supplier) { supplier_ = supplier; }
  ISourceSupplier* Supplier() const { return supplier_; }
  // The picture is shown: asks the supplier to decode wanted ahead (whole access only).
  void DecodeAhead(const std::vector<std::string>& wanted);
  // No current file: empty image, no name, no error.
  void Clear();
  // The loaded file was renamed on disk: the pixels stay those of the new name.
  void FileRenamed(const std::string& from, const std::string& to);

  TSourceAccess Access() const { return access_; }
  // A change forgets the loaded name: the next Load reads the file the new way.
  void SetAccess(TSourceAccess access);
  // How files are read (turned upright or not); a change forgets the loaded name too, and so does
  // a new background when the loaded picture was transparent.
  const TSourceOptions& Options() const { return options_; }
  void SetOptions(const TSourceOptions& options);
  // What loading the current file did besides decoding it (the orientation applied, what was
  // ignored); empty notes without a picture.
  const TSourceNotes& Notes() const { return notes_; }

  // No picture: nothing loaded, or the load failed.
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The decoded pixels, always 24-bit; always empty in streaming access.
  const TRasterImage& Image() const;
  // The same raster, for those who keep showing it after the next load (null without pixels).
  const std::shared_ptr<const TRasterImage>& SharedImage() const { return image_; }
  // Streaming access: the rows of the loaded file, read once. The source opened by Load is handed
  // over; later calls open the file again. Null when there is no picture. Errors of opening are
  // thrown with the message a failed load shows.
  std::unique_ptr<TRowSource> TakeRowSource();
  const std::string& LoadedFileName() const { return loadedFileName_; }
  const std::string& LoadError() const { return loadError_; }
  const std::string& LoadWarning() const { return loadWarning_; }
  bool Failed() const { return !loadError_.empty(); }
  // The decoder warned of corrupt or missing image data while loading (whole access only).
  bool Damaged() const { return damaged_; }

 private:
  // Resets everything of the picture before path is read.
  void Reset(const std::string& path, TColorProfilePolicy color);
  TLoadResult Take(TDecodedSource decoded);

  ISourceSupplier* supplier_ = nullptr;
  bool pending_ = false;
  TSourceAccess access_ = TSourceAccess::Whole;
  TSourceOptions options_;
  TSourceNotes notes_;
  std::shared_ptr<const TRasterImage> image_;
  std::unique_ptr<TRowSource> rows_;
  int width_ = 0;
  int height_ = 0;
  std::string loadedFileName_;
  std::string loadError_;
  bool damaged_ = false;
  std::string loadWarning_;
};

// The status line's note of what reading or converting a source left out (a colour profile that
// could not be used, unreadable metadata): "Warning: a.jpg: " and the warning.
std::string SourceWarningText(const std::string& name, const std::string& warning);

// The message of a source file that could not be read or decoded (what a failed load shows).
std::string LoadFailureMessage(std::exception_ptr error, const std::string& path);

}  // namespace picaxo
