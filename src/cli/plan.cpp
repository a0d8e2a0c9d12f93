#include "cli/plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

#include "image/choices.h"
#include "platform/file_io.h"

namespace pixmill::cli {

std::string Expand(const std::string& pattern, const std::string& input, size_t n) {
  const std::filesystem::path path(input);
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  const std::pair<std::string, std::string> fields[] = {
      {"{name}", FileStem(input)},
      {"{ext}", ext},
      {"{dir}", path.has_parent_path() ? path.parent_path().string() : "."},
      {"{n}", std::to_string(n)}};
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    const auto* field = std::find_if(std::begin(fields), std::end(fields),
                                     [&](const auto& f) { return pattern.compare(i, f.first.size(), f.first) == 0; });
    if (field == std::end(fields)) {
      out += pattern[i++];
    } else {
      out += field->second;
      i += field->first.size();
    }
  }
  return out;
}

Plan PlanRun(const CommandLine& cl) {
  Plan plan;
  const bool batch = cl.inputs.size() > 1;
  bool shared = false;
  int kind = kPaletteOptimized;
  bool common = false;  // every picture has the same palette, from a depth step
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const Action& a = cl.actions[k];
    if (std::holds_alternative<SharedPalette>(a.step)) shared = true;
    if (const auto* s = std::get_if<PaletteKindSetting>(&a.step)) kind = s->kind;
    if (std::holds_alternative<PaletteFile>(a.step)) kind = kPaletteGiven;
    if (const auto* depth = std::get_if<Depth>(&a.step)) {
      const bool paletted = depth->bits <= 8;
      if (paletted && shared && kind == kPaletteQuality) {
        throw UsageError{
            a.given + ": --shared-palette shares the optimised palette; the quality palette is fitted to each picture"};
      }
      if (paletted && shared && kind == kPaletteOptimized) plan.sharedDepths.push_back(k);
      common = paletted && (kind != kPaletteOptimized || shared);
    }
    const std::string* path = OutputPath(a.step);
    if (!batch || path == nullptr) continue;
    if (path->find("{name}") != std::string::npos || path->find("{n}") != std::string::npos) continue;
    const bool palette = std::holds_alternative<SavePalette>(a.step);
    if (!palette || !shared) throw UsageError{a.given + ": with several inputs the path needs {name} or {n}"};
    if (!common) {
      throw UsageError{
          a.given +
          ": the pictures' palettes are not one here (a --depth 1, 4 or 8 step with --shared-palette makes "
          "them one); give the path {name} or {n}"};
    }
    plan.sharedSaves.insert(k);
  }
  if (!batch) return plan;

  auto where = [](const std::string& path) { return std::filesystem::absolute(path).lexically_normal().string(); };
  std::map<std::string, size_t> inputs;
  for (size_t n = 0; n < cl.inputs.size(); ++n) inputs.emplace(where(cl.inputs[n]), n);
  std::map<std::string, std::string> writers;  // what writes each file
  auto claim = [&](const std::string& path, const std::string& writer) {
    const std::string at = where(path);
    if (const auto input = inputs.find(at); input != inputs.end() && cl.inputs[input->second] != writer) {
      throw UsageError{writer + " would write over the input " + cl.inputs[input->second]};
    }
    const auto [other, fresh] = writers.emplace(at, writer);
    if (!fresh && other->second != writer)
      throw UsageError{other->second + " and " + writer + " would both write " + path};
  };
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const std::string* path = OutputPath(cl.actions[k].step);
    if (path == nullptr) continue;
    if (plan.sharedSaves.count(k) != 0) {
      claim(Expand(*path, cl.inputs[0], 0), "the shared palette");
      continue;
    }
    for (size_t n = 0; n < cl.inputs.size(); ++n) claim(Expand(*path, cl.inputs[n], n), cl.inputs[n]);
  }
  return plan;
}

}  // namespace pixmill::cli
