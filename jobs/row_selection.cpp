#include "jobs/row_selection.h"

#include <algorithm>

namespace picaxo {

TRowSelection::TRowSelection(std::vector<TSpan> spans) {
  std::erase_if(spans, [](const TSpan& span) { return span.second < span.first; });
  std::sort(spans.begin(), spans.end());
  for (const TSpan& span : spans) {
    if (!spans_.empty() && span.first <= spans_.back().second + 1)
      spans_.back().second = std::max(spans_.back().second, span.second);
    else
      spans_.push_back(span);
  }
  for (const auto& [first, last] : spans_)
    count_ += last - first + 1;
}

TRowSelection TRowSelection::OfRows(const std::vector<int32_t>& rows) {
  std::vector<TSpan> spans;
  spans.reserve(rows.size());
  for (int32_t row : rows)
    spans.emplace_back(row, row);
  return TRowSelection(std::move(spans));
}

bool TRowSelection::Contains(int32_t row) const {
  // The first span that ends at or after row.
  const auto it = std::lower_bound(spans_.begin(), spans_.end(), row,
                                   [](const TSpan& span, int32_t r) { return span.second < r; });
  return it != spans_.end() && it->first <= row;
}

}  // namespace picaxo
