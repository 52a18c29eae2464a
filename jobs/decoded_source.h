#pragma once
// A source file decoded whole, as the window holds it, and the store of such decodes made on
// worker threads before the window asks for them (decoding ahead, parallel runs).
//
// A decode made ahead is used only while the file is as it was when the decode began: same size
// and modification time (TFileStamp). A file replaced meanwhile is decoded again.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "imaging/pipeline.h"
#include "imaging/raster.h"

namespace picaxo {

// What decoding one source file gave: the picture (24-bit, never changed once made) or the
// message of a failed load.
struct TDecodedSource {
  std::shared_ptr<const TRasterImage> Image;  // null when the load failed
  TSourceNotes Notes;
  std::string Warning;  // a colour profile that was ignored
  std::string Error;    // LoadFailureMessage of a failed load, empty otherwise
  size_t Bytes() const { return Image ? Image->ByteSize() : 0; }
};

// Decodes path whole under options; never throws (a failure is in Error).
TDecodedSource DecodeWholeSource(const std::string& path, const TSourceOptions& options);

// A file's size and modification time; nullopt when it cannot be examined.
struct TFileStamp {
  int64_t Size = 0;
  int64_t ModifiedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};
std::optional<TFileStamp> StampOf(const std::string& path);

// Hands decodes made elsewhere to the current image in place of its own decode.
class ISourceSupplier {
 public:
  virtual ~ISourceSupplier() = default;
  // The decode of path under options when one is ready (or about to be): it then belongs to the
  // caller. Nullopt: the caller decodes itself.
  virtual std::optional<TDecodedSource> Take(const std::string& path,
                                             const TSourceOptions& options) = 0;
  // What was decoded of path no longer applies (empty path: of any file).
  virtual void Drop(const std::string& path) = 0;
  // The current image is shown: decode wanted ahead (in that order) for when the user moves on.
  // currentBytes is the size of the picture shown, for the memory budget.
  virtual void Ahead(const std::vector<std::string>& /*wanted*/, const TSourceOptions& /*options*/,
                     size_t /*currentBytes*/) {}

  // Loading in the background. The decode of path when it is ready now (never waiting for one
  // under way); it then belongs to the caller.
  virtual std::optional<TDecodedSource> TakeReady(const std::string& /*path*/,
                                                  const TSourceOptions& /*options*/) {
    return std::nullopt;
  }
  // The user moved to path: decode it before anything else, in place of the file asked for
  // before, whose decode (if under way) is given up. False: the caller decodes it itself.
  virtual bool Request(const std::string& /*path*/, const TSourceOptions& /*options*/) {
    return false;
  }
  // Whether Take(path) would return without waiting for a decode.
  virtual bool Arrived(const std::string& /*path*/) const { return true; }
};

// Decodes ready for taking, safe to fill from worker threads. Each is kept with the stamp its file
// had before it was decoded, and given out only while the file still has that stamp.
class TDecodedStore {
 public:
  // Called before a decode starts: a Take of path waits for it rather than decoding again.
  // Returns the ticket that Put gives back.
  uint64_t Begin(const std::string& path, const TSourceOptions& options);
  // The decode of ticket; stamp is the one taken before decoding. Discarded when path was
  // dropped meanwhile.
  void Put(uint64_t ticket, std::optional<TFileStamp> stamp, TDecodedSource decoded);
  // The decode of path under options, waiting for one in progress; removes it from the store.
  // Nullopt when there is none, it was made under other options, or the file changed since.
  std::optional<TDecodedSource> Take(const std::string& path, const TSourceOptions& options);
  // Take without waiting: nullopt also while the decode of path is under way.
  std::optional<TDecodedSource> TakeReady(const std::string& path, const TSourceOptions& options);
  // A decode of path has begun and not arrived yet.
  bool Decoding(const std::string& path) const;
  // Forgets path (empty: everything); a decode in progress for it is discarded on arrival.
  void Drop(const std::string& path);
  // Keeps only the files named (decodes in progress stay).
  void KeepOnly(const std::vector<std::string>& paths);
  bool Holds(const std::string& path) const;
  size_t HeldBytes() const;
  size_t HeldCount() const;

 private:
  struct TItem {
    uint64_t Ticket = 0;
    std::string Path;
    TSourceOptions Options;
    std::optional<TFileStamp> Stamp;
    bool Ready = false;
    TDecodedSource Decoded;
  };
  std::vector<TItem>::iterator Find(const std::string& path);
  std::vector<TItem>::const_iterator Find(const std::string& path) const;
  // Removes it and hands out its decode while the file still has the stamp it had.
  std::optional<TDecodedSource> Remove(std::vector<TItem>::iterator it,
                                       std::unique_lock<std::mutex>& lock);
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<TItem> items_;
  uint64_t nextTicket_ = 1;
};

}  // namespace picaxo
