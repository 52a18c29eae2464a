#pragma once
// The texts the batch job list draws: one row per entry of the image list, three columns.
#include <cstdint>
#include <string>

#include "jobs/image_session.h"

namespace picaxo {

enum class TJobColumn : uint8_t { FileName = 0, Actions = 1, Flags = 2 };
inline constexpr int kJobColumnCount = 3;

// The text of one cell of row (the entry with that index): the relative path (at most 400
// characters), the actions text or the flag letters (an entry's own, then "C" when another image
// of the list has the same destination file). A row without an entry (the list was told a
// count the entries no longer have) reads "(error)" with empty sub-texts.
std::string JobCellText(const TImageSession& state, int32_t row, TJobColumn column);

}  // namespace picaxo
