// A JPEG decode given up on its thread stops with EDecodeCancelled; other threads and later
// decodes are not affected.
#include "imaging/decode_cancel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/pipeline.h"

namespace picaxo {
namespace {

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg";

TEST(DecodeCancel, AGivenUpJpegDecodeStopsOnlyOnItsOwnThread) {
  std::atomic<bool> stop{true};
  {
    TDecodeCancelScope scope(stop);
    EXPECT_THROW(LoadSource(kPhoto, {}), EDecodeCancelled);
    // Another thread decodes to the end meanwhile.
    std::thread other([] { EXPECT_GT(LoadSource(kPhoto, {}).Picture.Width(), 0); });
    other.join();
  }
  EXPECT_FALSE(DecodeCancelled());
  EXPECT_GT(LoadSource(kPhoto, {}).Picture.Width(), 0);
}

}  // namespace
}  // namespace picaxo
