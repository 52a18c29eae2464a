// picaxo-cli batch: every image of a folder saved into a destination folder, as the desktop
// program's "Save All" would save them: same destination names and subfolders, direct copies,
// questions answered from the options instead of message boxes.
//
// The states stream their sources: an image is opened on navigation (its header) and its rows go
// from the decoder to the encoder on saving, so no worker holds a decoded picture.
//
// Parallel runs: each worker owns a TImageSession (its own source, settings and batch flags)
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
#include "jobs/batch.h"
#include "jobs/destination.h"
#include "jobs/folder_scan.h"
#include "jobs/image_session.h"
#include "jobs/worker_pool.h"

namespace picaxo::cli {

namespace {

constexpr const char* kUsage =
    "[resize options | --settings FILE.ini] [--recursive] [--overwrite | --skip-existing] "
    "[--no-auto-orient] [--jobs N] SOURCE_DIR DEST_DIR";

void PrintBatchHelp() {
  std::printf(
      "Usage: picaxo-cli batch %s\n\n"
      "Saves every .jpg, .jpeg, .bmp, .png, .webp, .heic, .heif, .avif, .tif and .tiff image of\n"
      "SOURCE_DIR into DEST_DIR as \"Save All\" does:\n"
      "DEST_DIR/<subfolder>/<name>.jpg (or .webp, .avif, .png by --format), a source already in\n"
      "that format whose pixels would not change copied unchanged.\n"
      "Missing destination folders are created.\n\n"
      "%s"
      "Other options:\n"
      "  --recursive        include the images of subfolders (mirrored below DEST_DIR)\n"
      "  --overwrite        replace existing destination files\n"
      "  --skip-existing    never replace existing destination files; they are listed as\n"
      "                     skipped (without either option, existing files are kept and\n"
      "                     reported)\n"
      "  --no-auto-orient   keep pictures as stored, ignoring their EXIF orientation\n"
      "  --jobs N           save N images at a time (default: the number of cores)\n"
      "  --help             this text\n\n"
      "Images that would go to the same destination file are named before the run; only the\n"
      "first of them is saved. With --recursive, a DEST_DIR inside SOURCE_DIR is not scanned.\n\n"
      "Prints one line per image, then \"Successfully saved T of T images!\" or how many were\n"
      "saved, skipped and failed; exits with 1 when an image failed, SOURCE_DIR is not a folder\n"
      "or a subfolder could not be read. \"--\" ends the options.\n",
      kUsage, ResizeOptionsHelp().c_str());
}

enum class TExisting { Report, Overwrite, Skip };

struct TBatchArgs {
  TResizeSettings settings;
  bool recursive = false;
  TExisting existing = TExisting::Report;
  unsigned jobs = 0;  // 0: the number of cores
  bool autoOrient = true;
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
        } else if (name == "--no-auto-orient" && !option.value) {
          parsed.autoOrient = false;
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
// option said otherwise, and anything else is declined. An empty folder is told on standard
// output, as the window tells it in a box.
class TCliPrompt : public IPrompt {
 public:
  TPromptButton Ask(const TQuestion& question) override {
    if (question.Id == TQuestionId::NoFiles) {
      std::printf("%s\n", question.Text.c_str());
      reportedNoFiles = true;
    }
    if (question.Id == TQuestionId::OverwriteFile) keptExisting = true;
    if (question.Buttons.Has(TPromptButton::No)) return TPromptButton::No;
    return TPromptButton::Cancel;
  }
  bool keptExisting = false;
  bool reportedNoFiles = false;
};

// Keeps the last status text of the worker's batch run: the line printed for an image.
class TCliObserver : public IJobObserver {
 public:
  void BatchStatusTextChanged(const std::string& text) override { lastStatus = text; }
  std::string lastStatus;
};

// One worker: a state of its own in batch mode, saving the entries it is given.
struct TWorker {
  TCliPrompt prompt;
  TCliObserver observer;
  TImageSession state{prompt, observer};
  std::optional<TBatchRun> ownRun;

  // A helper worker: the lead's list, folders, settings and flags, in batch mode of its own, with
  // the lead run's record of the files written.
  void Prepare(const TImageSession& lead, const TBatchRun& leadRun) {
    state.TakeWorkFrom(lead);
    ownRun.emplace(state, state.SaveCurrentJob());
    ownRun->ShareWrittenFiles(leadRun);
  }

  // Saves entry index; returns the line to print for it (empty for an entry left out).
  TJobOutcome Save(int32_t index, std::string& message, std::string& warning) {
    prompt.keptExisting = false;
    observer.lastStatus.clear();
    // A source that cannot be decoded fails with its reason (SaveCurrentJob).
    const TJobOutcome outcome = state.HandleJob(index, TNavigate::Yes, TSkipExcluded::Yes,
                                                TPassScope::AllRows, state.SaveCurrentJob());
    // What loading the image ignored (broken EXIF), for a warning line of its own.
    if (outcome.Result != TJobResult::Filtered && !state.Image().Notes().Ignored.empty())
      warning = "ignored " + state.Image().Notes().Ignored;
    switch (outcome.Result) {
      case TJobResult::Succeeded:
        message = observer.lastStatus;
        // What the conversion ignored goes on the image's own line.
        if (!state.LastSaveWarning().empty()) message += " warning: " + state.LastSaveWarning();
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
  TOrderedPrinter(const TImageSession& state, int total)
      : state_(state), lines_(static_cast<size_t>(state.Count())), total_(total) {}

  void Done(int32_t index, const TJobOutcome& outcome, std::string message, std::string warning) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[static_cast<size_t>(index)] =
        TLine{outcome.Result, std::move(message), std::move(warning)};
    while (next_ < lines_.size() && lines_[next_]) {
      Print(next_, *lines_[next_]);
      ++next_;
    }
  }

 private:
  struct TLine {
    TJobResult result;
    std::string message;
    std::string warning;
  };

  void Print(size_t index, const TLine& line) {
    if (line.result == TJobResult::Filtered) return;
    const std::string name =
        JobFileNameText(&state_.List().At(static_cast<int32_t>(index)), state_.SourceFolder());
    if (!line.warning.empty()) {
      std::fflush(stdout);
      std::fprintf(stderr, "picaxo-cli batch: warning: %s: %s\n", name.c_str(),
                   line.warning.c_str());
    }
    if (line.result == TJobResult::ExistingSkipped) {
      std::printf("[-] %s: %s\n", name.c_str(), line.message.c_str());
    } else {
      ++handled_;
      std::printf("[%d/%d] %s: %s\n", handled_, total_, name.c_str(), line.message.c_str());
    }
    std::fflush(stdout);
  }

  const TImageSession& state_;
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
  TImageSession& state = lead.state;
  state.SetSourceAccess(TSourceAccess::Stream);
  state.SetAutoOrient(parsed.autoOrient);
  state.SetSettings(parsed.settings);
  state.SetRecursiveInput(parsed.recursive);
  state.SetSourceFolderField(parsed.paths[0]);
  state.SetDestinationFolderField(parsed.paths[1]);
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

  bool anyFailed = false;
  // "Save All", with the dialog's part done here: the run's boxes from the options, the counting
  // pass, then the working pass spread over the workers.
  state.SaveAll([&](TBatchRun& run) {
    run.Show();
    TBatchChoices choices;
    choices.PromptForCreateDir = false;
    choices.CheckOverwriteAll(parsed.existing == TExisting::Overwrite);
    choices.CheckDontOverwrite(parsed.existing == TExisting::Skip);
    run.TakeChoices(choices);
    const int toSave = run.CountJobs();

    // Entries sharing a destination path form one group, saved in list order by one worker.
    const int32_t count = state.Count();
    std::vector<int32_t> leader(static_cast<size_t>(count));
    std::vector<std::vector<int32_t>> followers(static_cast<size_t>(count));
    {
      std::map<std::string, int32_t> first;
      for (int32_t i = 0; i < count; ++i) {
        const auto [it, fresh] = first.emplace(state.DestinationPathOf(&state.List().At(i)), i);
        leader[static_cast<size_t>(i)] = it->second;
        if (!fresh) followers[static_cast<size_t>(it->second)].push_back(i);
      }
    }

    // The window's rule: one per core unless a count is given.
    unsigned jobs = WorkerCount(parsed.jobs);
    jobs = std::min<unsigned>(jobs, static_cast<unsigned>(count));
    std::vector<TWorker> helpers(jobs - 1);
    for (TWorker& w : helpers)
      w.Prepare(state, run);
    // Images that share a destination file are named before the run: only the first of each is
    // saved, the others fail.
    for (const std::vector<int32_t>& group : state.DestinationCollisions()) {
      std::string names;
      for (size_t k = 0; k < group.size(); ++k) {
        if (k > 0) names += k + 1 == group.size() ? " and " : ", ";
        names += JobFileNameText(&state.List().At(group[k]), state.SourceFolder());
      }
      std::fprintf(
          stderr, "picaxo-cli batch: warning: %s go to the same file %s; only the first is saved\n",
          names.c_str(), state.DestinationPathOf(&state.List().At(group[0])).c_str());
    }

    TOrderedPrinter printer(state, toSave);
    std::atomic<int32_t> nextIndex{0};
    std::atomic<int> saved{0};
    std::atomic<int> considered{0};
    std::atomic<int> skipped{0};
    std::atomic<int> failedCount{0};
    std::atomic<bool> failed{false};
    auto work = [&](TWorker& worker, int32_t firstIndex) {
      for (int32_t i = firstIndex; i < count; i = nextIndex++) {
        if (leader[static_cast<size_t>(i)] != i) continue;
        std::vector<int32_t> group{i};
        group.insert(group.end(), followers[static_cast<size_t>(i)].begin(),
                     followers[static_cast<size_t>(i)].end());
        for (int32_t index : group) {
          std::string message, warning;
          const TJobOutcome outcome = worker.Save(index, message, warning);
          if (outcome.Result != TJobResult::Filtered) ++considered;
          if (outcome.Result == TJobResult::Succeeded) ++saved;
          if (outcome.Result == TJobResult::Declined ||
              outcome.Result == TJobResult::ExistingSkipped)
            ++skipped;
          if (outcome.Result == TJobResult::Failed) {
            ++failedCount;
            failed = true;
          }
          printer.Done(index, outcome, std::move(message), std::move(warning));
        }
      }
    };
    // The lead worker already holds the first image, opened by the scan: it claims index 0
    // before the others start.
    const int32_t leadFirst = nextIndex++;
    std::vector<std::thread> threads;
    threads.reserve(helpers.size());
    for (TWorker& w : helpers)
      threads.emplace_back([&work, &w, &nextIndex] { work(w, nextIndex++); });
    work(lead, leadFirst);
    for (std::thread& t : threads)
      t.join();

    run.SavedCount = saved;
    run.TotalCount = considered;
    run.SkippedCount = skipped;
    run.FailedCount = failedCount;
    run.Finish();
    std::printf("%s\n", run.ResultText.c_str());
    anyFailed = failed;
  });
  if (lead.prompt.reportedNoFiles) return listIncomplete ? kExitFailure : kExitOk;
  return anyFailed || listIncomplete ? kExitFailure : kExitOk;
}

const bool registered = RegisterCliCommand(
    {"batch", kUsage, "save every image of a folder, as Save All does", RunBatch});

}  // namespace
}  // namespace picaxo::cli
