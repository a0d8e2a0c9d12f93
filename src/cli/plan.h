// What the steps ask of a run as a whole, and the file names they write.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace pixmill::cli {

// An output path with the input's placeholders filled in, in one pass:
// {name} (the file name without its extension), {ext}, {dir} and {n} (its
// position from 0).
std::string Expand(const std::string& pattern, const std::string& input, size_t n);

struct Plan {
  std::vector<size_t> sharedDepths;  // depth steps fitting one palette to every input
  std::set<size_t> sharedSaves;      // palette saves written once for the batch
};

// Finds the shared steps, and refuses (UsageError) what a batch cannot do:
// an output path the same for every input, two inputs writing one file, an
// input writing over another.
Plan PlanRun(const CommandLine& cl);

}  // namespace pixmill::cli
