#pragma once
// TGoToWeb: opens a web address in the user's browser (Help > Program Homepage).
#include <QString>
#include <optional>
#include <string>

namespace picaxo {

// A registered open command split into the program and its parameter template ("%s" stands for
// the address).
struct TBrowserCommand {
  std::string Program;
  std::string Parameters;
  bool operator==(const TBrowserCommand&) const = default;
};

// Splits a registered open command: "%1" becomes "%s"; the program ends at the last ".exe",
// ".bat" or ".com" (any case); both parts lose their surrounding blanks (parameters) and double
// quotes; " %s" is appended to parameters without one. Empty when no program ending is found.
std::optional<TBrowserCommand> ParseBrowserCommand(const std::string& command);

// "Could not open your Internet browser. ..." with the address, as the error box shows it.
QString BrowserFailureMessage(const QString& url);

class TGoToWeb {
 public:
  QString Url;
  QString EMail;         // kept, never acted on
  QString EMailSubject;  // kept, never acted on

  // Opens Url; false when the desktop could not open it.
  bool Go() { return OpenUrl(Url); }
  // Every "\" of the address becomes "/", then the desktop's handler opens it.
  static bool OpenUrl(const QString& address);
  // Opens a local file (the Readme) with the program the desktop associates with it.
  static bool ShellOpen(const QString& file);
};

}  // namespace picaxo
