// Running the parsed command line: each input loaded and taken through the
// steps as its own picture, several at a time, each ending with its line in
// input order.
#pragma once

#include "cli/command_line.h"

namespace pixmill::cli {

// The exit status: 0 every step done for every input, 1 some failed.
// Throws UsageError for what the plan of the run refuses.
int Run(const CommandLine& cl);

}  // namespace pixmill::cli
