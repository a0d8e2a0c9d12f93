// pixmill-cli: every picture operation of the program from the command line.
// Each input is loaded, then the steps run left to right, each done the way
// the desktop program's commands do it. Several inputs run the same steps
// as a batch, some at a time, each as its own picture.
#include "cli/cli.h"

#include <cstdio>
#include <string>

#include "app/document.h"
#include "cli/options.h"
#include "cli/run.h"

namespace pixmill::cli {

namespace {

constexpr int kExitUsage = 2;

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kName, text.c_str()); }

int RunLzss(const std::string& verb, const std::string& in, const std::string& out) {
  const Result r = LzssFileCommand(verb == "encode", in, out);
  if (r.ok()) return 0;
  Say(r.reason());
  return 1;
}

}  // namespace

int Main(int argc, char** argv) {
  Parser parser;
  if (argc < 2) {
    std::fputs(parser.Help().c_str(), stderr);
    return kExitUsage;
  }
  try {
    parser.Parse(argc, argv);
    if (parser.IsLzss()) return RunLzss(parser.LzssArg(0), parser.LzssArg(1), parser.LzssArg(2));
    return Run(parser.Take());
  } catch (const CLI::Success& e) {
    return parser.Exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    // CLI11 names a flag given a value without its dashes.
    std::string message = e.what();
    const std::string override = " was given a disallowed flag override";
    if (message.size() > override.size() && message.ends_with(override)) {
      message = "--" + message.substr(0, message.size() - override.size()) + " takes no value";
    }
    Say(message);
  } catch (const UsageError& e) {
    Say(e.message);
  }
  std::fprintf(stderr, "Try '%s --help'.\n", kName);
  return kExitUsage;
}

}  // namespace pixmill::cli
