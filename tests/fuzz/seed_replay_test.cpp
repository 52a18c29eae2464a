// Replays a fuzz target's stored seeds through its entry function: every seed must run to the end
// without a crash, an abort of the target's own checks or (in the sanitizer build) a memory error.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(FuzzSeeds, EveryStoredSeedRunsCleanly) {
  size_t seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(PICAXO_FUZZ_CORPUS)) {
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
    ++seeds;
  }
  EXPECT_GT(seeds, 0u);
}

}  // namespace
