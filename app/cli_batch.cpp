// picaxo-cli batch: every image of a folder saved into a destination folder, as the desktop
// program's "Save All" would save them: same destination names and subfolders, direct copies,
// questions answered from the options instead of message boxes.
//
// Parallel runs: each worker owns a TAppState (its own decoded source, settings and batch flags)
// over a copy of the scanned list, and takes indices from a shared counter. Entries that share a
// destination path are handled by one worker in list order, and the lines are printed in list
// order, so output files and text do not depend on the number of jobs.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/cli_command.h"
#include "app/cli_options.h"
#include "base/error.h"
#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs/destination.h"
#include "jobs/folder_scan.h"

namespace picaxo::cli {

namespace {

constexpr const char* kUsage =
    "[resize options | --settings FILE.ini] [--recursive] [--overwrite | --skip-existing] "
    "[--jobs N] SOURCE_DIR DEST_DIR";

void PrintBatchHelp() {
  std::printf(
      "Usage: picaxo-cli batch %s\n\n"
      "Saves every .jpg and .bmp image of SOURCE_DIR into DEST_DIR as \"Save All\" does:\n"
      "DEST_DIR/<subfolder>/<name>.jpg, a JPEG whose pixels would not change copied unchanged.\n"
      "Missing destination folders are created.\n\n"
      "%s"
      "Other options:\n"
      "  --recursive        include the images of subfolders (mirrored below DEST_DIR)\n"
      "  --overwrite        replace existing destination files\n"
      "  --skip-existing    never replace existing destination files; they are listed as\n"
      "                     skipped (without either option, existing files are kept and\n"
      "                     reported)\n"
      "  --jobs N           save N images at a time (default: the number of cores)\n"
      "  --help             this text\n\n"
      "Prints one line per image and \"Successfully saved S of T images!\"; exits with 1 when\n"
      "an image failed, SOURCE_DIR is not a folder or a subfolder could not be read.\n",
      kUsage, ResizeOptionsHelp());
}

enum class TExisting { Report, Overwrite, Skip };

struct TBatchArgs {
  TResizeSettings settings;
  bool recursive = false;
  TExisting existing = TExisting::Report;
  unsigned jobs = 0;  // 0: the number of cores
  bool help = false;
  std::vector<std::string> paths;
};

TBatchArgs ParseArgs(const std::vector<std::string>& args) {
  TBatchArgs parsed;
  bool existingGiven = false;
  ParseCommandLine(
      args, parsed.settings, parsed.paths, parsed.help, [&](const TOption& option, size_t& i) {
        const std::string& name = option.name;
        if (name == "--recursive" && !option.value) {
          parsed.recursive = true;
        } else if ((name == "--overwrite" || name == "--skip-existing") && !option.value) {
          const TExisting wanted = name == "--overwrite" ? TExisting::Overwrite : TExisting::Skip;
          if (existingGiven && parsed.existing != wanted)
            throw EUsageError("--overwrite and --skip-existing exclude each other");
          parsed.existing = wanted;
          existingGiven = true;
        } else if (name == "--jobs") {
          parsed.jobs =
              static_cast<unsigned>(ParseInteger("--jobs", OptionValue(option, args, i), 1, 256));
        } else {
          return false;
        }
        return true;
      });
  if (!parsed.help && parsed.paths.size() != 2)
    throw EUsageError("expected SOURCE_DIR and DEST_DIR (usage: picaxo-cli batch " +
                      std::string(kUsage) + ")");
  return parsed;
}

// Answers the questions of a save without a user: missing folders are created (the run sets
// "create all folders", so that question does not come), existing files are kept unless an
// option said otherwise, and anything else is declined.
class TCliPrompt : public IPrompt {
 public:
  TPromptButton Ask(TPromptKind, const std::string& text, TPromptButtons buttons) override {
    if (text.rfind("Destination file already exists.", 0) == 0) keptExisting = true;
    if (buttons.Has(TPromptButton::No)) return TPromptButton::No;
    return TPromptButton::Cancel;
  }
  bool keptExisting = false;
};

// One worker: a state of its own in batch mode, saving the entries it is given.
struct TWorker {
  TCliPrompt prompt;
  TAppState state{prompt};
  std::optional<TBatchRun> run;
  std::string lastStatus;

  void Prepare(const TAppState& model, const TBatchFlags& flags) {
    state.SourceFolder = model.SourceFolder;
    state.SourceFolderField = model.SourceFolderField;
    state.RecursiveInput = model.RecursiveInput;
    state.DestinationFolderField = model.DestinationFolderField;
    state.Settings = model.Settings;
    state.FileList = model.FileList;
    state.CurrentIndex = -1;  // nothing loaded yet: the first move loads
    state.Flags = flags;
    Enter();
  }

  void Enter() {
    run.emplace(state, state.SaveCurrentJob());
    run->SetStatusLabel = [this](const std::string& text) { lastStatus = text; };
  }

  // Saves entry index; returns the line to print for it (empty for an entry left out).
  TJobOutcome Save(int32_t index, std::string& message) {
    prompt.keptExisting = false;
    lastStatus.clear();
    const TJobOutcome outcome =
        state.HandleJob(index, TNavigate::Yes, TSkipExcluded::Yes, false,
                        [this](TFileEntry& entry, int i, bool& success, int row) {
                          // A source that cannot be decoded is a failure of this image, not a quiet
                          // skip.
                          if (!state.LoadError.empty()) throw EPicaxoError(state.LoadError);
                          state.SaveCurrentJob()(entry, i, success, row);
                        });
    switch (outcome.Result) {
      case TJobResult::Succeeded:
        message = lastStatus;
        break;
      case TJobResult::Declined:
        message = prompt.keptExisting ? "Destination file already exists, kept." : "Not saved.";
        break;
      case TJobResult::ExistingSkipped:
        message = "Destination file already exists, skipped.";
        break;
      case TJobResult::Failed:
        message = "error: " + outcome.Error;
        break;
      case TJobResult::Filtered:
        break;
    }
    return outcome;
  }
};

// Prints the lines of a run in list order as they become ready.
class TOrderedPrinter {
 public:
  TOrderedPrinter(const TAppState& state, int total)
      : state_(state), lines_(static_cast<size_t>(state.Count())), total_(total) {}

  void Done(int32_t index, const TJobOutcome& outcome, std::string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[static_cast<size_t>(index)] = TLine{outcome.Result, std::move(message)};
    while (next_ < lines_.size() && lines_[next_]) {
      Print(next_, *lines_[next_]);
      ++next_;
    }
  }

 private:
  struct TLine {
    TJobResult result;
    std::string message;
  };

  void Print(size_t index, const TLine& line) {
    if (line.result == TJobResult::Filtered) return;
    const std::string name = JobFileNameText(&state_.FileList[index], state_.SourceFolder);
    if (line.result == TJobResult::ExistingSkipped) {
      std::printf("[-] %s: %s\n", name.c_str(), line.message.c_str());
    } else {
      ++handled_;
      std::printf("[%d/%d] %s: %s\n", handled_, total_, name.c_str(), line.message.c_str());
    }
    std::fflush(stdout);
  }

  const TAppState& state_;
  std::mutex mutex_;
  std::vector<std::optional<TLine>> lines_;
  size_t next_ = 0;
  int handled_ = 0;
  int total_;
};

int RunBatch(const std::vector<std::string>& args) {
  TBatchArgs parsed;
  try {
    parsed = ParseArgs(args);
  } catch (const EUsageError& e) {
    std::fprintf(stderr, "picaxo-cli batch: %s\n", e.what());
    return kExitUsage;
  }
  if (parsed.help) {
    PrintBatchHelp();
    return kExitOk;
  }

  // The leading worker scans the folder; its state is the model the others copy.
  TWorker lead;
  TAppState& state = lead.state;
  state.Settings = parsed.settings;
  state.RecursiveInput = parsed.recursive;
  state.SourceFolderField = parsed.paths[0];
  state.DestinationFolderField = parsed.paths[1];
  // The window lists a missing folder as empty; here it is a mistyped argument.
  if (!FolderExists(LongPathForm(parsed.paths[0]))) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(parsed.paths[0], ec);
    std::fprintf(stderr, "picaxo-cli batch: %s: %s\n", parsed.paths[0].c_str(),
                 exists ? "not a folder" : "no such folder");
    return kExitFailure;
  }
  state.ScanSourceFolder();
  // Subfolders that could not be listed: their images are missing from the run.
  for (const std::string& folder : state.UnreadableFolders())
    std::fprintf(stderr, "picaxo-cli batch: warning: %s\n", ScanFailureMessage(folder).c_str());
  const bool listIncomplete = !state.UnreadableFolders().empty();
  if (state.FileList.empty()) {
    std::printf("No files in current folder!\n");
    return listIncomplete ? kExitFailure : kExitOk;
  }
  // "Save All": the settings in effect for every image.
  for (TFileEntry& entry : state.FileList)
    entry.ResetEntry(cmSaveAllReset);

  TBatchChoices choices;
  choices.PromptForCreateDir = false;
  choices.CheckOverwriteAll(parsed.existing == TExisting::Overwrite);
  choices.CheckDontOverwrite(parsed.existing == TExisting::Skip);
  lead.Enter();
  lead.run->Show();
  lead.run->TakeChoices(choices);
  const int toSave = lead.run->CountJobs();

  // Entries sharing a destination path form one group, saved in list order by one worker.
  const int32_t count = state.Count();
  std::vector<int32_t> leader(static_cast<size_t>(count));
  std::vector<std::vector<int32_t>> followers(static_cast<size_t>(count));
  {
    std::map<std::string, int32_t> first;
    for (int32_t i = 0; i < count; ++i) {
      const auto [it, fresh] = first.emplace(state.DestinationPathOf(&state.FileList[i]), i);
      leader[static_cast<size_t>(i)] = it->second;
      if (!fresh) followers[static_cast<size_t>(it->second)].push_back(i);
    }
  }

  unsigned jobs = parsed.jobs ? parsed.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = std::min<unsigned>(jobs, static_cast<unsigned>(count));
  std::vector<TWorker> helpers(jobs - 1);
  for (TWorker& w : helpers)
    w.Prepare(state, state.Flags);

  TOrderedPrinter printer(state, toSave);
  std::atomic<int32_t> nextIndex{0};
  std::atomic<int> saved{0};
  std::atomic<int> considered{0};
  std::atomic<bool> anyFailed{false};
  auto work = [&](TWorker& worker, int32_t first) {
    for (int32_t i = first; i < count; i = nextIndex++) {
      if (leader[static_cast<size_t>(i)] != i) continue;
      std::vector<int32_t> group{i};
      group.insert(group.end(), followers[static_cast<size_t>(i)].begin(),
                   followers[static_cast<size_t>(i)].end());
      for (int32_t index : group) {
        std::string message;
        const TJobOutcome outcome = worker.Save(index, message);
        if (outcome.Result != TJobResult::Filtered) ++considered;
        if (outcome.Result == TJobResult::Succeeded) ++saved;
        if (outcome.Result == TJobResult::Failed) anyFailed = true;
        printer.Done(index, outcome, std::move(message));
      }
    }
  };
  // The lead worker already holds the first image, decoded by the scan: it claims index 0
  // before the others start.
  const int32_t leadFirst = nextIndex++;
  std::vector<std::thread> threads;
  threads.reserve(helpers.size());
  for (TWorker& w : helpers)
    threads.emplace_back([&work, &w, &nextIndex] { work(w, nextIndex++); });
  work(lead, leadFirst);
  for (std::thread& t : threads)
    t.join();

  lead.run->SavedCount = saved;
  lead.run->TotalCount = considered;
  lead.run->Finish();
  std::printf("%s\n", lead.run->ResultText.c_str());
  return anyFailed || listIncomplete ? kExitFailure : kExitOk;
}

const bool registered = RegisterCliCommand(
    {"batch", kUsage, "save every image of a folder, as Save All does", RunBatch});

}  // namespace
}  // namespace picaxo::cli
