#pragma once
// Questions to the user. The core never shows a message box itself: it asks an IPrompt, which the
// window answers with modal message boxes and tests or picaxo-cli answer from a script. Every
// question carries an id, so that scripted answers match the question, never its wording.
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace picaxo {

enum class TPromptKind { Plain, Information, Error, Confirmation };

enum class TPromptButton : uint8_t { Yes = 1, No = 2, OK = 4, Cancel = 8, All = 16 };

// A set of buttons, e.g. TPromptButton::Yes | TPromptButton::No.
class TPromptButtons {
 public:
  constexpr TPromptButtons() = default;
  constexpr TPromptButtons(TPromptButton b) : bits_(static_cast<uint8_t>(b)) {}
  constexpr bool Has(TPromptButton b) const { return (bits_ & static_cast<uint8_t>(b)) != 0; }
  constexpr TPromptButtons operator|(TPromptButton b) const {
    TPromptButtons r;
    r.bits_ = static_cast<uint8_t>(bits_ | static_cast<uint8_t>(b));
    return r;
  }
  constexpr bool operator==(const TPromptButtons&) const = default;

 private:
  uint8_t bits_ = 0;
};

constexpr TPromptButtons operator|(TPromptButton a, TPromptButton b) {
  return TPromptButtons(a) | b;
}

// Every question the core asks.
enum class TQuestionId : uint8_t {
  NoFiles,                 // "No files in current folder!" (error, Cancel)
  CreateFolder,            // the destination folder does not exist
  OverwriteFile,           // the destination file exists
  OverwriteNoneFollowing,  // batch follow-up: never overwrite the following files?
  Finished,                // Save and Next on the last image
  DeleteSourceFile,        // "Do you want to delete %s ?" for the source file
  DeleteDestinationFile,   // the same for the destination file
  RenameSourceFile,        // "Do you want to rename the source file ?"
  RenameFailed,            // "Error renaming!" (error, OK)
  WindowMessage,           // the window's own boxes: a command's error, About, Readme, Homepage
};

struct TQuestion {
  TQuestionId Id;
  TPromptKind Kind;
  std::string Text;  // as the user reads it
  TPromptButtons Buttons;
};

class IPrompt {
 public:
  virtual ~IPrompt() = default;
  // Shows the question and returns the button chosen. Closing the box without a button answers
  // Cancel.
  virtual TPromptButton Ask(const TQuestion& question) = 0;
};

// Answers from a prepared list, in order, and records every question. When the list runs dry it
// answers Cancel, like a box closed by its frame. An answer that is not among the offered buttons
// is a scripting mistake and is reported as Cancel too.
class TScriptedPrompt : public IPrompt {
 public:
  TScriptedPrompt() = default;
  explicit TScriptedPrompt(std::initializer_list<TPromptButton> answers) : answers_(answers) {}

  void Push(TPromptButton answer) { answers_.push_back(answer); }
  TPromptButton Ask(const TQuestion& question) override;

  const std::vector<TQuestion>& Questions() const { return questions_; }
  std::vector<TQuestionId> QuestionIds() const;
  size_t PendingAnswers() const { return answers_.size(); }

 private:
  std::deque<TPromptButton> answers_;
  std::vector<TQuestion> questions_;
};

}  // namespace picaxo
