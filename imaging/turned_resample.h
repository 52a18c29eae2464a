#pragma once
// The streamed conversion of a picture that must be turned upright by an upside-down or
// transposing orientation (3 ... 8), without the upright picture: the stored rows are resampled as
// they are decoded and only the output is held.
//
// A flip (3, 4) gives the working rows bottom first: each goes through the horizontal pass into a
// ring, and the vertical pass writes output rows bottom first into the held output. A transposing
// turn (5 ... 8) gives the working columns, first or last first: the horizontal pass of an upright
// row is the vertical pass, with the horizontal lists, over a ring of these columns; its results
// are the columns of the horizontally resampled picture, which the horizontal pass with the
// vertical lists turns into the output's columns. Every destination value is still the same
// chain of multiply-adds over the same values in the same order, so the bytes are those of the
// whole upright picture resampled.
#include <cstdint>
#include <functional>

#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "imaging/resample_detail.h"

namespace picaxo {

// Whether ResampleTurned serves the plan: a resampled one whose output is no larger than its
// working picture (an enlargement would hold more than the upright picture it replaces).
bool CanResampleTurned(const TConversionPlan& plan);

// Reads every row of stored (the picture as stored, 24-bit rows), calls its Finish, and hands the
// plan's output rows, top first, to write: the rows ConvertImage resamples from the stored picture
// turned by orientation (3 ... 8), cropped and framed by the plan with paddingColor.
void ResampleTurned(TRowSource& stored, int orientation, const TConversionPlan& plan,
                    uint32_t paddingColor, resample_detail::TResamplePath path,
                    const std::function<void(const uint8_t* const* rows, int count)>& write);

}  // namespace picaxo
