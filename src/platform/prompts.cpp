#include "platform/prompts.h"

namespace pixmill {

std::vector<FileFilter> ParseFilterString(const std::string& filter) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : filter) {
    if (c == '|') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);

  std::vector<FileFilter> entries;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) break;  // the closing "||"
    entries.push_back({parts[i], parts[i + 1]});
  }
  return entries;
}

}  // namespace pixmill
