// The command line's grammar and its planning, on arguments made of the
// fuzzer's bytes (one per line): every option and value, placeholders in
// output paths, batches and cells. Nothing is loaded or written; a refusal
// is a CLI11 error or a UsageError, never anything else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = {"pixmill-cli"};
  std::string arg;
  for (size_t i = 0; i < size && args.size() < 40; ++i) {
    if (data[i] == '\n') {
      args.push_back(arg);
      arg.clear();
    } else {
      arg += static_cast<char>(data[i]);
    }
  }
  args.push_back(arg);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  try {
    pixmill::cli::Parser parser;
    parser.Parse(static_cast<int>(args.size()), argv.data());
    if (parser.IsLzss()) return 0;
    const pixmill::cli::CommandLine cl = parser.Take();
    const pixmill::cli::Plan plan = pixmill::cli::PlanRun(cl);
    for (const pixmill::cli::Action& a : cl.actions) {
      if (const std::string* path = pixmill::cli::OutputPath(a.step)) {
        for (size_t n = 0; n < cl.inputs.size(); ++n) {
          (void)pixmill::cli::Expand(*path, cl.inputs[n], n);
          if (plan.cellsAt)
            (void)pixmill::cli::Expand(*path, cl.inputs[n], n, pixmill::cli::CellName{n, {8, 16, 1, 2}});
        }
      }
    }
  } catch (const CLI::Error&) {
  } catch (const pixmill::cli::UsageError&) {
  }
  return 0;
}
