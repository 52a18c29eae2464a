// picaxo-cli on the source formats beyond JPEG and BMP: a transparent picture over the padding
// colour given, and a damaged one refused on one line without a destination file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/jpeg.h"
#include "support/picture_files.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using testing::Quote;

class SourceFormatsCliTest : public testing::TempFolderTest {};

TEST_F(SourceFormatsCliTest, TransparencyTakesThePaddingColourAndDamageWritesNothing) {
  {
    // 8 x 8 pixels of pure green, wholly transparent.
    std::ofstream pam(dir_ / "clear.pam", std::ios::binary);
    pam << "P7\nWIDTH 8\nHEIGHT 8\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int i = 0; i < 64; ++i)
      pam << '\0' << '\xff' << '\0' << '\0';
  }
  const fs::path png = dir_ / "clear.png", out = dir_ / "out.jpg";
  ASSERT_NO_FATAL_FAILURE(
      testing::Shell("pamtopng " + Quote(dir_ / "clear.pam") + " > " + Quote(png)));
  const testing::TCliRun run = testing::RunCli(
      "convert --no-resize --quality 100 --pad-color 2040E0 " + Quote(png) + " " + Quote(out));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  TJPEGImage jpeg;
  jpeg.LoadFromFile(out.string());
  TRasterImage picture;
  jpeg.DecodeTo(picture);
  const uint8_t* p = picture.ScanLine(4) + 3 * 4;
  EXPECT_NEAR(p[2], 0x20, 2);  // red
  EXPECT_NEAR(p[1], 0x40, 2);
  EXPECT_NEAR(p[0], 0xE0, 2);

  // A truncated file: the library's reason on one line, and no destination file.
  std::string bytes;
  {
    std::ifstream in(png, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::ofstream(dir_ / "cut.png", std::ios::binary) << bytes.substr(0, bytes.size() - 20);
  const fs::path cut = dir_ / "cut.jpg";
  const testing::TCliRun damaged =
      testing::RunCli("convert --no-resize " + Quote(dir_ / "cut.png") + " " + Quote(cut));
  EXPECT_NE(damaged.exitCode, 0);
  EXPECT_NE(damaged.out.find("Damaged PNG file: "), std::string::npos) << damaged.out;
  EXPECT_EQ(damaged.out.find('\n'), damaged.out.size() - 1) << damaged.out;
  EXPECT_FALSE(fs::exists(cut));
}

}  // namespace
}  // namespace picaxo
