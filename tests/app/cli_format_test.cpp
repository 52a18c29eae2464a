// picaxo-cli with --format: the destination's name, size and bytes in each output format.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_util.h"
#include "imaging/output_codec.h"
#include "imaging/pipeline.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg";

using testing::Quote;
using testing::RunCli;
using testing::TCliRun;

using CliFormatTest = testing::TempFolderTest;

TEST_F(CliFormatTest, ConvertNamesSizesAndEncodesEachFormat) {
  const struct {
    const char* option;
    EOutputFormat format;
  } formats[] = {{"webp", EOutputFormat::WebP},
                 {"avif", EOutputFormat::Avif},
                 {"png", EOutputFormat::Png},
                 {"jpeg", EOutputFormat::Jpeg}};
  for (const auto& f : formats) {
    SCOPED_TRACE(f.option);
    // A folder as DEST: the name takes the format's extension.
    const fs::path folder = dir_ / f.option;
    fs::create_directories(folder);
    const TCliRun run = RunCli("convert --longer 256 --format " + std::string(f.option) + " " +
                                   Quote(kPhoto) + " " + Quote(folder),
                               testing::TCliErrors::Discarded);
    ASSERT_EQ(run.exitCode, 0);
    const std::string out =
        (folder / ("Path_by_Risto_Saukonpaa" + std::string(OutputExtension(f.format)))).string();
    ASSERT_TRUE(fs::exists(out));
    const std::string bytes = ReadWholeFile(out);
    EXPECT_TRUE(FileHoldsFormat(bytes, ImageFormatOf(f.format)));
    EXPECT_EQ(run.out,
              out + ": 256x160, " +
                  SizeAndRatioText(static_cast<int64_t>(bytes.size()), 256, 160, TRatio::Include) +
                  ", encoded\n");
    const TPreview decoded = DecodePreview(bytes, f.format);
    EXPECT_EQ(decoded.Width, 256);
    EXPECT_EQ(decoded.Height, 160);
  }
  // The default is today's JPEG, byte for byte the --format jpeg output.
  const TCliRun plain = RunCli("convert --longer 256 " + Quote(kPhoto) + " " + Quote(dir_),
                               testing::TCliErrors::Discarded);
  ASSERT_EQ(plain.exitCode, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "Path_by_Risto_Saukonpaa.jpg"),
            ReadWholeFile(dir_ / "jpeg/Path_by_Risto_Saukonpaa.jpg"));
  const TCliRun bad = RunCli("convert --format gif " + Quote(kPhoto) + " " + Quote(dir_));
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.out.find("is not jpeg, webp, avif or png"), std::string::npos) << bad.out;
}

TEST_F(CliFormatTest, BatchWritesEveryImageInTheFormat) {
  fs::create_directories(dir_ / "in/sub");
  fs::copy_file(kPhoto, dir_ / "in/a.jpg");
  fs::copy_file(kPhoto, dir_ / "in/sub/b.JPG");
  const TCliRun run = RunCli("batch --recursive --longer 100 --format png " + Quote(dir_ / "in") +
                             " " + Quote(dir_ / "out"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  for (const char* name : {"out/a.png", "out/sub/b.png"}) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadWholeFile(dir_ / name);
    EXPECT_TRUE(FileHoldsFormat(bytes, EImageFormat::Png));
    EXPECT_NE(run.out.find(dir_ / name), std::string::npos) << run.out;
    EXPECT_EQ(DecodePng(bytes).Width(), 100);
  }
  EXPECT_FALSE(fs::exists(dir_ / "out/a.jpg"));
}

}  // namespace
}  // namespace picaxo
