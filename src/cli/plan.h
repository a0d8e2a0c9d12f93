// What the steps ask of a run as a whole, and the file names they write.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "image/cells.h"

namespace pixmill::cli {

// A cell of a sheet: its index among the input's cells kept, and its place.
struct CellName {
  size_t index;
  CellPlace place;
};

// An output path with the input's placeholders filled in, in one pass:
// {name} (the file name without its extension), {ext}, {dir} and {n} (its
// position from 0); and for a cell {cell}, {col} and {row} (without a cell
// they stay as they are).
std::string Expand(const std::string& pattern, const std::string& input, size_t n,
                   const std::optional<CellName>& cell = std::nullopt);

struct Plan {
  std::optional<size_t> cellsAt;      // the step that cuts the picture into cells
  std::vector<size_t> sharedDepths;   // depth steps fitting one palette to every input (or cell)
  std::set<size_t> sharedSaves;       // palette saves written once for all
  std::set<size_t> frames;            // exports of all of an input's cells in one file
  std::set<size_t> sharedCharacters;  // exports of one character set over all
  std::vector<std::string> notes;     // for standard error before the run
};

// Finds the shared steps, and refuses (UsageError) what a run cannot do: an
// output path the same for every input (or cell), two inputs writing one
// file, an input writing over another. A setting that no later step uses
// gets a note: settings apply to the steps after them, and one given after
// its step changes nothing.
Plan PlanRun(const CommandLine& cl);

}  // namespace pixmill::cli
