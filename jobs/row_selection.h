#pragma once
// The job rows selected in the list, as the model keeps them: runs of consecutive rows, so that
// selecting every row of a large folder costs one run and asking for a row costs a search.
#include <cstdint>
#include <utility>
#include <vector>

namespace picaxo {

class TRowSelection {
 public:
  using TSpan = std::pair<int32_t, int32_t>;  // first and last row, inclusive

  TRowSelection() = default;
  // Spans in any order; overlapping, touching and empty (last < first) spans are allowed.
  explicit TRowSelection(std::vector<TSpan> spans);
  static TRowSelection OfRows(const std::vector<int32_t>& rows);

  int32_t Count() const { return count_; }
  bool Contains(int32_t row) const;
  bool operator==(const TRowSelection&) const = default;

 private:
  std::vector<TSpan> spans_;  // sorted, disjoint and not touching
  int32_t count_ = 0;
};

}  // namespace picaxo
