#include "imaging/turned_resample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/orient.h"
#include "imaging/resample.h"

namespace picaxo {

namespace {

using namespace resample_detail;

// The lines the stored rows make, in the order they arrive: the working rows (flips) or the
// working columns (transposing turns) of the plan, each the padding colour with a stretch of one
// stored row copied in, clipped as CopyRect clips the picture into the working raster.
//
// For orientation o, upright (ux, uy) is stored 3 (W-1-ux, H-1-uy), 4 (ux, H-1-uy), 5 (uy, ux),
// 6 (uy, H-1-ux), 7 (W-1-uy, H-1-ux), 8 (W-1-uy, ux). So working row y of a flip is stored row
// H-1-uy, mirrored for 3, and working column x of a transposing turn is stored row ux (5, 8) or
// H-1-ux (6, 7), mirrored for 7 and 8. Stored rows arrive top first, hence the lines arrive last
// first for 3, 4, 6 and 7.
class TLines {
 public:
  TLines(TRowSource& stored, int orientation, const TConversionPlan& plan, uint32_t padding)
      : stored_(stored),
        transposed_(orientation >= 5),
        mirrored_(orientation == 3 || orientation == 7 || orientation == 8),
        fromLastRow_(orientation != 5 && orientation != 8),
        composed_(plan.Composed),
        count_(transposed_ ? plan.WorkWidth : plan.WorkHeight),
        width_(transposed_ ? plan.WorkHeight : plan.WorkWidth),
        pictureFirst_(transposed_ ? plan.PictureX : plan.PictureY),
        pictureLines_(transposed_ ? plan.Crop.Width() : plan.Crop.Height()),
        cropFirst_(transposed_ ? plan.Crop.Left : plan.Crop.Top),
        stretchFirst_(transposed_ ? plan.Crop.Top : plan.Crop.Left),
        stretchLength_(transposed_ ? plan.Crop.Height() : plan.Crop.Width()),
        stretchAt_(transposed_ ? plan.PictureY : plan.PictureX) {
    if (!composed_) return;
    row_ = TRasterImage(stored.Width(), 1);
    padding_ = TRasterImage(width_, 1);
    padding_.FillRect(0, 0, width_, 1, padding);
  }
  int Count() const { return count_; }
  int Width() const { return width_; }
  bool FromLast() const { return fromLastRow_; }

  // Writes lines first ... first + count - 1 in the order of arrival into rows (3 x Width() bytes
  // each).
  void Read(int first, int count, uint8_t* const* rows) {
    if (!composed_) {
      // Every stored row is a whole line, the n-th to arrive being stored row n.
      stored_.ReadRows(rows, count);
      if (mirrored_)
        for (int r = 0; r < count; ++r)
          MirrorRow(rows[r], width_);
      return;
    }
    for (int r = 0; r < count; ++r)
      Compose(fromLastRow_ ? count_ - 1 - (first + r) : first + r, rows[r]);
  }

 private:
  // Working line k into line.
  void Compose(int k, uint8_t* line) {
    const size_t bytes = 3 * static_cast<size_t>(width_);
    const int64_t picture = int64_t{k} - pictureFirst_;
    if (picture < 0 || picture >= pictureLines_) {
      std::memcpy(line, padding_.ScanLine(0), bytes);
      return;
    }
    const int upright = cropFirst_ + static_cast<int>(picture);
    const int wanted = fromLastRow_ ? stored_.Height() - 1 - upright : upright;
    uint8_t* row = row_.ScanLine(0);
    // Stored rows between the lines' rows are decoded and dropped.
    while (stored_.NextRow() <= wanted)
      stored_.ReadRows(&row, 1);
    if (mirrored_) MirrorRow(row, row_.Width());
    const int64_t at = std::max<int64_t>(stretchAt_, 0);
    const int64_t skipped = at - stretchAt_;
    const int64_t length = std::min({int64_t{stretchLength_} - skipped, int64_t{width_} - at,
                                     int64_t{row_.Width()} - stretchFirst_ - skipped});
    if (length <= 0) {
      std::memcpy(line, padding_.ScanLine(0), bytes);
      return;
    }
    std::memcpy(line, padding_.ScanLine(0), 3 * static_cast<size_t>(at));
    std::memcpy(line + 3 * at, row + 3 * (stretchFirst_ + skipped),
                3 * static_cast<size_t>(length));
    const int64_t end = at + length;
    std::memcpy(line + 3 * end, padding_.ScanLine(0), 3 * static_cast<size_t>(width_ - end));
  }

  TRowSource& stored_;
  bool transposed_;
  bool mirrored_;
  bool fromLastRow_;
  bool composed_;
  int count_;
  int width_;
  int pictureFirst_;
  int pictureLines_;
  int cropFirst_;
  int stretchFirst_;
  int stretchLength_;
  int stretchAt_;
  TRasterImage row_;      // the stored row being placed
  TRasterImage padding_;  // a line of the padding colour
};

// A ring of lines that arrive in order (the last line first when reversed) for weight lists over
// them: each destination is handed out as soon as every line its list names has arrived, while
// those lines are still in the ring; destinations go out in the order their lines complete.
class TLineRing {
 public:
  // batch: the most lines that arrive at once.
  TLineRing(const std::vector<TWeightList>& lists, int lines, bool reversed, int batch, int width)
      : lists_(lists), lines_(lines), reversed_(reversed) {
    const int n = static_cast<int>(lists.size());
    // The e-th destination handed out is ready once lines up to readyAfter_[e] (in the order of
    // arrival) exist; from then on it and every later one read no line before lowest.
    readyAfter_.resize(static_cast<size_t>(n));
    int highest = -1;
    for (int e = 0; e < n; ++e) {
      for (const TWeightEntry& entry : lists[static_cast<size_t>(Destination(e))])
        highest = std::max(highest, Arrival(entry.Index));
      readyAfter_[static_cast<size_t>(e)] = highest;
    }
    int lowest = lines, span = 1;
    for (int e = n - 1; e >= 0; --e) {
      for (const TWeightEntry& entry : lists[static_cast<size_t>(Destination(e))])
        lowest = std::min(lowest, Arrival(entry.Index));
      span = std::max(span, readyAfter_[static_cast<size_t>(e)] - lowest + 1);
    }
    // A batch of new lines lands while the oldest waiting destination still needs its window.
    rows_ = static_cast<int>(std::min<int64_t>(lines, int64_t{span} + batch));
    ring_ = TRasterImage(width, rows_);
  }

  // The place of the line that arrives n-th.
  uint8_t* Line(int n) { return ring_.ScanLine(n % rows_); }

  // Hands out emit(destination, list, window) for each destination whose lines are all among the
  // first arrived ones: window[k] is the line list[k] names.
  template <class Emit>
  void EmitReady(int arrived, const Emit& emit) {
    const int n = static_cast<int>(lists_.size());
    while (emitted_ < n && readyAfter_[static_cast<size_t>(emitted_)] < arrived) {
      const int d = Destination(emitted_);
      const TWeightList& list = lists_[static_cast<size_t>(d)];
      window_.resize(list.size());
      for (size_t k = 0; k < list.size(); ++k)
        window_[k] = Line(Arrival(list[k].Index));
      emit(d, list, window_.data());
      ++emitted_;
    }
  }

 private:
  int Arrival(int line) const { return reversed_ ? lines_ - 1 - line : line; }
  int Destination(int e) const { return reversed_ ? static_cast<int>(lists_.size()) - 1 - e : e; }

  const std::vector<TWeightList>& lists_;
  int lines_;
  bool reversed_;
  int rows_ = 1;
  int emitted_ = 0;
  std::vector<int> readyAfter_;
  std::vector<const uint8_t*> window_;
  TRasterImage ring_;
};

// Lines a transposing turn reads from the decoder at once.
constexpr int kLineBatch = 16;

}  // namespace

bool CanResampleTurned(const TConversionPlan& plan) {
  return plan.Resampled && int64_t{plan.Geometry.FrameWidth} * plan.Geometry.FrameHeight <=
                               int64_t{plan.WorkWidth} * plan.WorkHeight;
}

void ResampleTurned(TRowSource& stored, int orientation, const TConversionPlan& plan,
                    uint32_t paddingColor, TResamplePath path,
                    const std::function<void(const uint8_t* const* rows, int count)>& write) {
  const int ww = plan.WorkWidth, wh = plan.WorkHeight;
  const int fw = plan.Geometry.FrameWidth, fh = plan.Geometry.FrameHeight;
  CheckResampleArguments(ww, wh, fw, fh, kLanczos3Support);
  const std::vector<TWeightList> across =
      BuildWeightLists(ww, fw, Lanczos3Kernel, kLanczos3Support);
  const std::vector<TWeightList> down = BuildWeightLists(wh, fh, Lanczos3Kernel, kLanczos3Support);
  TLines lines(stored, orientation, plan, paddingColor);
  std::vector<const uint8_t*> src;
  std::vector<uint8_t*> dst;
  const auto pointTo = [&](TRasterImage& block, int count) {
    src.resize(static_cast<size_t>(count));
    dst.resize(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
      dst[static_cast<size_t>(r)] = block.ScanLine(r);
      src[static_cast<size_t>(r)] = block.ScanLine(r);
    }
  };

  TRasterImage out(fw, fh);
  if (orientation < 5) {
    // Working rows, bottom first: horizontal pass, ring, vertical pass into the output.
    TRowPasses passes = MakeRowPasses(path, across, fw);
    const int block = std::max(1, passes.Horizontal->BlockRows());
    TLineRing ring(down, wh, lines.FromLast(), block, fw);
    TRasterImage in(ww, block);
    for (int arrived = 0; arrived < wh;) {
      const int count = std::min(block, wh - arrived);
      pointTo(in, count);
      lines.Read(arrived, count, dst.data());
      for (int r = 0; r < count; ++r)
        dst[static_cast<size_t>(r)] = ring.Line(arrived + r);
      passes.Horizontal->Run(src.data(), dst.data(), count);
      arrived += count;
      ring.EmitReady(arrived, [&](int y, const TWeightList& list, const uint8_t* const* window) {
        passes.Vertical(list, window, out.ScanLine(y), 3 * static_cast<ptrdiff_t>(fw));
      });
    }
  } else {
    // Working columns: the vertical pass with the horizontal lists gives the columns of the
    // horizontally resampled picture, the horizontal pass with the vertical lists the output's
    // columns, held as the rows of a turned output.
    TRowPasses passes = MakeRowPasses(path, down, fh);
    const int block = std::max(1, passes.Horizontal->BlockRows());
    TLineRing ring(across, ww, lines.FromLast(), kLineBatch, wh);
    TRasterImage columns(wh, block);
    TRasterImage turned(fh, fw);
    std::vector<int> waiting;
    const auto flush = [&] {
      const int count = static_cast<int>(waiting.size());
      pointTo(columns, count);
      for (int r = 0; r < count; ++r)
        dst[static_cast<size_t>(r)] = turned.ScanLine(waiting[static_cast<size_t>(r)]);
      passes.Horizontal->Run(src.data(), dst.data(), count);
      waiting.clear();
    };
    std::vector<uint8_t*> arriving(kLineBatch);
    for (int arrived = 0; arrived < ww;) {
      const int count = std::min(kLineBatch, ww - arrived);
      for (int r = 0; r < count; ++r)
        arriving[static_cast<size_t>(r)] = ring.Line(arrived + r);
      lines.Read(arrived, count, arriving.data());
      arrived += count;
      ring.EmitReady(arrived, [&](int x, const TWeightList& list, const uint8_t* const* window) {
        passes.Vertical(list, window, columns.ScanLine(static_cast<int>(waiting.size())),
                        3 * static_cast<ptrdiff_t>(wh));
        waiting.push_back(x);
        if (static_cast<int>(waiting.size()) == block) flush();
      });
    }
    if (!waiting.empty()) flush();
    // Turned back a tile at a time, so that the rows read stay in the cache.
    constexpr int kTile = 16;
    for (int x0 = 0; x0 < fw; x0 += kTile) {
      const int x1 = std::min(fw, x0 + kTile);
      for (int y = 0; y < fh; ++y) {
        uint8_t* to = out.ScanLine(y);
        for (int x = x0; x < x1; ++x)
          std::memcpy(to + 3 * static_cast<ptrdiff_t>(x),
                      turned.ScanLine(x) + 3 * static_cast<ptrdiff_t>(y), 3);
      }
    }
  }
  stored.Finish();
  for (int y = 0; y < fh; ++y) {
    const uint8_t* row = out.ScanLine(y);
    write(&row, 1);
  }
}

}  // namespace picaxo
