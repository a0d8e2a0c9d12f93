// What the core asks of the person at the screen: a path to save to, and
// one message with an OK button. The desktop program answers with real
// dialogs, the command line with its arguments, the tests with fakes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pixmill {

struct FileFilter {
  std::string label;    // e.g. "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)"
  std::string pattern;  // e.g. "*.BMP"
};

// Splits the classic "label|pattern|label|pattern||" form into its entries.
std::vector<FileFilter> ParseFilterString(const std::string& filter);

struct SaveRequest {
  std::string proposedName;      // offered as the file name, no folder
  std::string defaultExtension;  // without the dot, e.g. "BMP"
  std::vector<FileFilter> filters;
  int filterIndex = 0;  // 1-based preselected entry; 0: none set (the first shows)
  bool confirmOverwrite = true;
};

class SavePathPrompt {
 public:
  virtual ~SavePathPrompt() = default;
  // The full path chosen, or nothing when the user cancelled.
  virtual std::optional<std::string> AskSavePath(const SaveRequest& request) = 0;
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // One message with only an OK button. The text is UTF-8.
  virtual void ShowMessage(const std::string& text) = 0;
  // The same for a failure: a command that could not be done, and why.
  virtual void ShowFailure(const std::string& text) { ShowMessage(text); }
};

}  // namespace pixmill
