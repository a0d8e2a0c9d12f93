#include "cli/plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <type_traits>
#include <utility>
#include <variant>

#include "image/choices.h"
#include "platform/file_io.h"

namespace pixmill::cli {

namespace {

bool Holds(const std::string& path, const char* field) { return path.find(field) != std::string::npos; }
bool NamesInput(const std::string& path) { return Holds(path, "{name}") || Holds(path, "{n}"); }
bool NamesCell(const std::string& path) {
  return Holds(path, "{cell}") || (Holds(path, "{col}") && Holds(path, "{row}"));
}

}  // namespace

std::string Expand(const std::string& pattern, const std::string& input, size_t n,
                   const std::optional<CellName>& cell) {
  const std::filesystem::path path(input);
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::vector<std::pair<std::string, std::string>> fields = {
      {"{name}", FileStem(input)},
      {"{ext}", ext},
      {"{dir}", path.has_parent_path() ? path.parent_path().string() : "."},
      {"{n}", std::to_string(n)}};
  if (cell) {
    fields.push_back({"{cell}", std::to_string(cell->index)});
    fields.push_back({"{col}", std::to_string(cell->place.column)});
    fields.push_back({"{row}", std::to_string(cell->place.row)});
  }
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    const auto field = std::find_if(fields.begin(), fields.end(),
                                    [&](const auto& f) { return pattern.compare(i, f.first.size(), f.first) == 0; });
    if (field == fields.end()) {
      out += pattern[i++];
    } else {
      out += field->second;
      i += field->first.size();
    }
  }
  return out;
}

namespace {

// The steps a setting changes, named as the command line names them.
std::vector<std::string> UsersOf(const Step& step) {
  return std::visit(
      [](const auto& s) -> std::vector<std::string> {
        using S = std::decay_t<decltype(s)>;
        // (--palette-file is left out: it reads its file where it stands.)
        if constexpr (std::is_same_v<S, Dither> || std::is_same_v<S, PaletteKindSetting> ||
                      std::is_same_v<S, Precision>) {
          return {"--depth"};
        } else if constexpr (std::is_same_v<S, Report>) {
          return {"--depth", "--export"};
        } else if constexpr (std::is_same_v<S, SharedPalette>) {
          return {"--depth", "--save-palette"};
        } else if constexpr (std::is_same_v<S, Form> || std::is_same_v<S, Output> || std::is_same_v<S, Lzss> ||
                             std::is_same_v<S, PaletteBox> || std::is_same_v<S, Unique> || std::is_same_v<S, Flips> ||
                             std::is_same_v<S, MaxCharacters> || std::is_same_v<S, SharedCharacters> ||
                             std::is_same_v<S, MapFile>) {
          return {"--export"};
        } else if constexpr (std::is_same_v<S, RiffPalette>) {
          return {"--save-palette"};
        } else if constexpr (std::is_same_v<S, CellMargin> || std::is_same_v<S, CellSpacing> ||
                             std::is_same_v<S, SkipEmpty>) {
          return {"--cells"};
        } else {
          return {};  // a step
        }
      },
      step);
}

std::string StepName(const Step& step) {
  return std::visit(
      [](const auto& s) -> std::string {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, Depth>) return "--depth";
        if constexpr (std::is_same_v<S, Export>) return "--export";
        if constexpr (std::is_same_v<S, SavePalette>) return "--save-palette";
        if constexpr (std::is_same_v<S, Cells>) return "--cells";
        return "";
      },
      step);
}

// The notes for settings that no later step uses.
std::vector<std::string> UnusedSettings(const CommandLine& cl) {
  std::vector<std::string> notes;
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const std::vector<std::string> users = UsersOf(cl.actions[k].step);
    if (users.empty()) continue;
    bool used = false;
    for (size_t later = k + 1; later < cl.actions.size() && !used; ++later) {
      used = std::find(users.begin(), users.end(), StepName(cl.actions[later].step)) != users.end();
    }
    if (used) continue;
    std::string names = users[0];
    for (size_t u = 1; u < users.size(); ++u) names += " or " + users[u];
    notes.push_back(cl.actions[k].given + " changes nothing: settings apply to the steps after them, and no " + names +
                    " comes after it");
  }
  return notes;
}

}  // namespace

Plan PlanRun(const CommandLine& cl) {
  Plan plan;
  plan.notes = UnusedSettings(cl);
  const bool batch = cl.inputs.size() > 1;
  bool shared = false, unique = false, sharedCharacters = false;
  int kind = kPaletteOptimized;
  bool common = false;  // every picture has the same palette, from a depth step
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const Action& a = cl.actions[k];
    const bool cells = plan.cellsAt.has_value();
    if (std::holds_alternative<SharedPalette>(a.step)) shared = true;
    if (std::holds_alternative<Unique>(a.step) || std::holds_alternative<MaxCharacters>(a.step)) unique = true;
    if (std::holds_alternative<SharedCharacters>(a.step)) sharedCharacters = true;
    if (const auto* s = std::get_if<PaletteKindSetting>(&a.step)) kind = s->kind;
    if (std::holds_alternative<PaletteFile>(a.step)) kind = kPaletteGiven;
    if (std::holds_alternative<Cells>(a.step)) {
      if (cells) throw UsageError{a.given + ": the picture is cut into cells once; this is the second --cells"};
      plan.cellsAt = k;
    }
    if (const auto* depth = std::get_if<Depth>(&a.step)) {
      const bool paletted = depth->bits <= 8;
      if (paletted && shared && kind == kPaletteQuality) {
        throw UsageError{
            a.given + ": --shared-palette shares the optimised palette; the quality palette is fitted to each picture"};
      }
      if (paletted && shared && kind == kPaletteOptimized && (batch || cells)) plan.sharedDepths.push_back(k);
      common = paletted && (kind != kPaletteOptimized || shared);
    }
    const std::string* path = OutputPath(a.step);
    if (path == nullptr) continue;
    const bool several = batch || cells;  // more than one picture writes here
    const bool named = (!batch || NamesInput(*path)) && (!cells || NamesCell(*path));
    if (std::holds_alternative<Export>(a.step) && sharedCharacters && unique && several) {
      if (NamesInput(*path) || NamesCell(*path)) {
        throw UsageError{a.given +
                         ": --shared-characters writes one set for all; give a path without {name}, {n} or {cell}"};
      }
      plan.sharedCharacters.insert(k);
      continue;
    }
    if (named) continue;
    if (std::holds_alternative<Export>(a.step) && cells && (!batch || NamesInput(*path))) {
      if (unique) {
        throw UsageError{a.given +
                         ": the cells in one file are written as they are; for one set of distinct characters over "
                         "them add --shared-characters"};
      }
      plan.frames.insert(k);
      continue;
    }
    const bool palette = std::holds_alternative<SavePalette>(a.step);
    const std::string needs = batch && cells ? "{name} or {n}, and {cell} (or {col} and {row})"
                              : cells        ? "{cell} (or {col} and {row})"
                                             : "{name} or {n}";
    if (!palette || !(shared || (cells && common))) {
      throw UsageError{a.given + ": with " + (cells ? "cells" : "several inputs") + " the path needs " + needs};
    }
    if (!common) {
      throw UsageError{
          a.given +
          ": the pictures' palettes are not one here (a --depth 1, 4 or 8 step with --shared-palette makes "
          "them one); give the path " +
          needs};
    }
    plan.sharedSaves.insert(k);
  }
  if (!batch) return plan;

  // Where a path leads: a file that is there by its identity (device and
  // inode), so that two names of one file (through a linked folder, a link
  // or a hard link) are one place; a file still to be written by the path
  // its links lead to.
  auto where = [](const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    std::error_code error;
    const std::filesystem::path at = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    return "path " + (error ? std::filesystem::absolute(path).lexically_normal() : at).string();
  };
  std::map<std::string, size_t> inputs;
  for (size_t n = 0; n < cl.inputs.size(); ++n) inputs.emplace(where(cl.inputs[n]), n);
  std::map<std::string, std::string> writers;  // what writes each file
  auto claim = [&](const std::string& path, const std::string& writer) {
    const std::string at = where(path);
    // An input written over by its own steps through the very path it was
    // given is meant; through any other name it is a mistake.
    const auto spelt = [](const std::string& p) { return std::filesystem::absolute(p).lexically_normal(); };
    if (const auto input = inputs.find(at);
        input != inputs.end() && (cl.inputs[input->second] != writer || spelt(path) != spelt(writer))) {
      throw UsageError{writer + " would write over the input " + cl.inputs[input->second]};
    }
    const auto [other, fresh] = writers.emplace(at, writer);
    if (!fresh && other->second != writer)
      throw UsageError{other->second + " and " + writer + " would both write " + path};
  };
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const std::string* path = OutputPath(cl.actions[k].step);
    if (path == nullptr) continue;
    if (plan.sharedSaves.count(k) != 0 || plan.sharedCharacters.count(k) != 0) {
      claim(Expand(*path, cl.inputs[0], 0), plan.sharedSaves.count(k) ? "the shared palette" : "the shared characters");
      continue;
    }
    for (size_t n = 0; n < cl.inputs.size(); ++n) claim(Expand(*path, cl.inputs[n], n), cl.inputs[n]);
  }
  return plan;
}

}  // namespace pixmill::cli
