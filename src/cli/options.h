// The options of pixmill-cli, each declared once with its help, and the
// parse of a command line into typed settings and steps.
#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace pixmill::cli {

inline constexpr const char* kName = "pixmill-cli";

class Parser {
 public:
  Parser();

  // Throws CLI11's errors for what it finds itself.
  void Parse(int argc, char** argv) { m_app.parse(argc, argv); }
  int Exit(const CLI::Error& e) { return m_app.exit(e); }
  std::string Help() const { return m_app.help(); }

  // The "lzss encode|decode IN OUT" form: its verb and files.
  bool IsLzss() const { return m_lzss->parsed(); }
  const std::string& LzssArg(int i) const { return m_lzssArgs[static_cast<size_t>(i)]; }

  // The inputs, settings and steps in the order given, their values
  // checked; throws UsageError.
  CommandLine Take();

 private:
  CLI::App m_app;
  CLI::App* m_lzss = nullptr;
  std::vector<std::string> m_inputs;
  std::array<std::string, 3> m_lzssArgs;
};

}  // namespace pixmill::cli
