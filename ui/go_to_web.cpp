#include "ui/go_to_web.h"

#include <QDesktopServices>
#include <QUrl>
#include <algorithm>
#include <cctype>

namespace picaxo {

namespace {

std::string TrimBlanks(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string StripQuotes(std::string s) {
  while (!s.empty() && s.front() == '"')
    s.erase(0, 1);
  while (!s.empty() && s.back() == '"')
    s.pop_back();
  return s;
}

bool EndsProgram(const std::string& s, size_t end) {
  // The four characters ending at end (exclusive) are ".exe", ".bat" or ".com", in any case.
  std::string tail = s.substr(end - 4, 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return tail == ".EXE" || tail == ".BAT" || tail == ".COM";
}

}  // namespace

std::optional<TBrowserCommand> ParseBrowserCommand(const std::string& command) {
  std::string s = command;
  if (const size_t at = s.find("%1"); at != std::string::npos) s.replace(at, 2, "%s");
  size_t end = s.size();
  while (end >= 4 && !EndsProgram(s, end))
    --end;
  if (end < 4) return std::nullopt;
  TBrowserCommand result;
  result.Program = StripQuotes(s.substr(0, end));
  // Blanks first (the closing quote of the program path precedes them), then the quotes.
  result.Parameters = TrimBlanks(StripQuotes(TrimBlanks(s.substr(end))));
  if (result.Parameters.find("%s") == std::string::npos) result.Parameters += " %s";
  return result;
}

QString BrowserFailureMessage(const QString& url) {
  return QStringLiteral(
             "Could not open your Internet browser.\nPlease enter this URL in the address bar\nof "
             "your Internet browser:\n%1")
      .arg(url);
}

bool TGoToWeb::OpenUrl(const QString& address) {
  QString fixed = address;
  fixed.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QUrl url = QUrl::fromUserInput(fixed);
  if (!url.isValid() || url.isEmpty()) return false;
  return QDesktopServices::openUrl(url);
}

bool TGoToWeb::ShellOpen(const QString& file) {
  if (file.isEmpty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace picaxo
