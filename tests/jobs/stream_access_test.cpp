// A state that streams its sources saves what a state holding them whole saves: the same files,
// texts, questions and failures.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/error.h"
#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const std::string kCorpus = std::string(PICAXO_TESTDATA) + "/../fuzz/corpus/";
const std::string kPhotos = std::string(PICAXO_TESTDATA) + "/photos/";

// Every file below root, by relative name, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    files[fs::relative(e.path(), root).string()] =
        e.is_regular_file() ? ReadFile(e.path().string()) : std::string("<folder>");
  return files;
}

// A baseline JPEG whose header and rows decode, but a second frame header follows the scan: the
// decoder fails only once every row has been read.
std::string BrokenBehindItsRows() {
  std::string jpeg = ReadFile(kCorpus + "fuzz_jpeg/baseline420.jpg");
  const size_t sof = jpeg.find("\xFF\xC0");
  const size_t length =
      (static_cast<uint8_t>(jpeg[sof + 2]) << 8) | static_cast<uint8_t>(jpeg[sof + 3]);
  jpeg.insert(jpeg.size() - 2, jpeg.substr(sof, length + 2));
  return jpeg;
}

struct StreamAccessTest : ::testing::Test {
  TScratchFolder dir;
  std::string src = dir / "src";

  void SetUp() override {
    // Every format the decoders read: baseline, progressive, arithmetic, restart markers,
    // grayscale, CMYK, YCCK, and every BMP depth and RLE.
    for (const char* kind : {"jpeg", "bmp"}) {
      fs::create_directories(src + "/" + kind);
      for (const auto& e : fs::directory_iterator(kCorpus + "fuzz_" + kind))
        fs::copy_file(e.path(), src + "/" + kind + "/" + e.path().filename().string());
    }
    WriteBmp(src + "/one.bmp", 1, 1, 0x20);
    WriteBmp(src + "/strip.bmp", 1, 9, 0x40);
    WriteBmp(src + "/wide.bmp", 37, 3, 0x60);
    WriteFile(src + "/jpeg/cut.jpg",
              ReadFile(kPhotos + "Path_by_Risto_Saukonpaa.jpg").substr(0, 300000));
    WriteFile(src + "/jpeg/broken.jpg", BrokenBehindItsRows());
    WriteFile(src + "/jpeg/empty.jpg", "");
  }

  // Save All of src into out with settings, every question answered No, and selection on
  // wide.bmp. Returns the outcomes, status texts and questions of the run.
  std::vector<std::string> SaveAll(TSourceAccess access, const std::string& out,
                                   const TResizeSettings& settings, TBatchChoices choices,
                                   const std::optional<TSelection>& selection = std::nullopt) {
    TStateFixture f;
    for (int i = 0; i < 100; ++i)  // existing files are kept, as picaxo-cli keeps them
      f.prompt.Push(TPromptButton::No);
    f.state.SetSourceAccess(access);
    f.state.SetSettings(settings);
    f.state.SetDestinationFolderField(out);
    f.Open(src, true);
    if (selection) {
      for (int i = 0; i < f.state.Count(); ++i)
        if (fs::path(f.state.List().At(i).FileName).filename() == "wide.bmp")
          f.OnEntry(i,
                    [&](TAppState& s) { s.ChangeSelection(selection, TSelectionPhase::Changed); });
    }
    std::vector<std::string> lines;
    f.state.SaveAll([&](TBatchRun& run) {
      run.Show();
      run.TakeChoices(choices);
      run.CountJobs();
      // The job of picaxo-cli: a source that does not decode is a failure of its image.
      run.Outcomes =
          f.state.ForEachJob(TNavigate::Yes, TSkipExcluded::Yes,
                             [&](TFileEntry& entry, int i, bool& ok, std::optional<int> row) {
                               if (f.state.Image().Failed())
                                 throw EPicaxoError(f.state.Image().LoadError());
                               f.state.SaveCurrentJob()(entry, i, ok, row);
                             });
      run.Finish();
      for (const TJobOutcome& o : run.Outcomes)
        lines.push_back(std::to_string(static_cast<int>(o.Result)) + " " + o.Error);
      lines.push_back(run.ResultText);
    });
    // The texts of loading and displaying are left out: a streamed source has no picture to
    // display, and the view puts the loading text back after its own; it learns that a source
    // is damaged only once its rows are read, not when it is loaded.
    for (const std::string& s : f.observer.batchStatus)
      if (!s.empty() && s.rfind("Loading ", 0) != 0 && s != "Displaying image..." &&
          s.rfind("The image data of ", 0) != 0)
        lines.push_back(s.substr(0, s.find(out)));
    for (const TQuestion& q : f.prompt.Questions())
      lines.push_back("asked " + q.Text);
    return lines;
  }

  void ExpectSameSaves(const TResizeSettings& settings,
                       const std::optional<TSelection>& selection = std::nullopt) {
    TBatchChoices choices;
    choices.PromptForCreateDir = false;
    const std::string whole = dir / "whole";
    const std::string streamed = dir / "streamed";
    // Twice: the second run meets every destination file and keeps it.
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(SaveAll(TSourceAccess::Whole, whole, settings, choices, selection),
                SaveAll(TSourceAccess::Stream, streamed, settings, choices, selection));
    }
    const auto wholeFiles = Tree(whole);
    EXPECT_GE(wholeFiles.size(), 20u);
    EXPECT_TRUE(wholeFiles == Tree(streamed));
    fs::remove_all(whole);
    fs::remove_all(streamed);
  }
};

TEST_F(StreamAccessTest, SavesTheFilesTextsAndFailuresOfTheWholeSource) {
  TResizeSettings shrink;
  SelectRule(shrink, ResizeRule::LongerSide);
  shrink.LongerPixels = 20;
  ExpectSameSaves(shrink);
  ExpectSameSaves(shrink, TSelection{3, 0, 1, 3});

  TResizeSettings framed;
  SelectRule(framed, ResizeRule::Fit);
  framed.FixedFitWidth = 31;
  framed.FixedFitHeight = 17;
  framed.PaddedFitEnabled = true;
  framed.PaddedAlignment = 9;
  framed.PaddingColor = 0x00123456;
  framed.AllowEnlarge = true;
  ExpectSameSaves(framed);
  ExpectSameSaves(framed, TSelection{36, 2, 1, 1});

  TResizeSettings keep;  // direct copies of the JPEG files, encodes of the BMP files
  keep.ResizeEnabled = false;
  ExpectSameSaves(keep);
}

TEST_F(StreamAccessTest, AFileBrokenBehindItsRowsFailsBeforeAnythingIsAsked) {
  // Loading reads only the header: the broken file loads; its save fails with the message the
  // whole decode gives on loading, asks nothing and creates no folder.
  const std::string out = dir / "out/sub";
  TStateFixture whole;
  whole.state.SetSourceFolderField(src + "/jpeg");
  whole.state.RescanSourceFolder();
  TStateFixture f;
  f.state.SetSourceAccess(TSourceAccess::Stream);
  f.state.SetDestinationFolderField(out);
  f.Open(src + "/jpeg");
  for (int i = 0; i < f.state.Count(); ++i) {
    if (fs::path(f.state.List().At(i).FileName).filename() != "broken.jpg") continue;
    whole.state.GoToImage(i);
    ASSERT_TRUE(whole.state.Image().Failed());
    f.state.GoToImage(i);
    EXPECT_FALSE(f.state.Image().Failed());
    try {
      f.state.SaveCurrentImage();
      ADD_FAILURE() << "the broken file saved";
    } catch (const EPicaxoError& e) {
      EXPECT_EQ(e.what(), whole.state.Image().LoadError());
    }
  }
  EXPECT_TRUE(f.prompt.Questions().empty());
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(StreamAccessTest, TheSameImageSavesTwiceAndWorkersStreamToo) {
  TStateFixture f;
  f.state.SetSourceAccess(TSourceAccess::Stream);
  f.state.SetDestinationFolderField(dir / "out");
  f.Open(src);
  f.prompt.Push(TPromptButton::Yes);  // create the folder
  const TSaveOutcome first = f.state.SaveCurrentImage();
  ASSERT_TRUE(first.Saved());
  const std::string bytes = ReadFile(first.Path);
  f.prompt.Push(TPromptButton::Yes);  // overwrite
  ASSERT_TRUE(f.state.SaveCurrentImage().Saved());
  EXPECT_TRUE(ReadFile(first.Path) == bytes);
  EXPECT_TRUE(f.state.View().Picture == nullptr);  // nothing decoded to show
  EXPECT_EQ(f.state.CurrentImageTexts().OriginalSize, "1x1");

  TStateFixture worker;
  worker.state.TakeWorkFrom(f.state);
  EXPECT_EQ(worker.state.SourceAccess(), TSourceAccess::Stream);
}

}  // namespace
}  // namespace picaxo
