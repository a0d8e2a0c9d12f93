// pixmill-cli: every picture operation of the program from the command line.
// Each input is loaded, then the steps run left to right, each done the way
// the desktop program's commands do it. Several inputs run the same steps
// as a batch, some at a time, each as its own picture.
#include "cli/cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/convert_rules.h"
#include "app/document.h"
#include "color/diffusion.h"
#include "color/optimized_palette.h"
#include "color/palette_file.h"
#include "export/lzss.h"
#include "platform/file_io.h"
#include "platform/version.h"

namespace pixmill::cli {
namespace {

constexpr const char* kName = "pixmill-cli";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kDescription = R"(pixmill-cli: prepares pictures for the console, as the desktop program does.

  pixmill-cli [--key-color RRGGBB] INPUT... [SETTING | STEP]...
  pixmill-cli lzss encode|decode IN OUT

INPUT is loaded like the program's Open: data Pixmill exported (plain or
LZSS-compressed), a PNG file, or a Windows bitmap. Then the steps run from
left to right; the run stops at the first step that fails. Settings apply to
every later step.

Every argument before the first option is an input. Each input runs the same
steps as its own picture, and ends with a line "INPUT: done" or "INPUT: failed
at STEP: REASON"; a failed input does not stop the others. Output paths may
hold {name} (the input's file name without its extension), {ext} (its
extension), {dir} (its folder) and {n} (its position, from 0); with several
inputs each output path needs {name} or {n}. Folders are not created.)";

constexpr const char* kFooter = R"(Options that take a value also accept --option=value. Export choices follow
the convert dialog: a choice it would not offer for the picture is refused.

Exit status: 0 all steps done (for every input); 1 a file could not be read
or written, or a step was refused (for some input); 2 usage error.

Examples:
  pixmill-cli photo.bmp --resize 320x240 --depth 8 --pick 0,0 --transparent \
      --form texture --text --lzss --export photo.bas --save-bmp photo-8bit.bmp
  pixmill-cli sprites/*.png --shared-palette --depth 4 --form texture \
      --export out/{name}.d --save-palette out/sprites.gpl)";

constexpr const char* kSettings = "Settings (apply to every later step)";
constexpr const char* kSteps = "Steps (run from left to right)";

struct UsageError {
  std::string message;
};

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kName, text.c_str()); }

// Strict number parsing: the whole text must be the number.
std::optional<long> ParseInt(const std::string& text) {
  if (text.empty() || text[0] == ' ' || text[0] == '\t' || text[0] == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  return v;
}

// Two numbers joined by `separator`, as in 320x240 or 0,0.
std::optional<std::pair<long, long>> ParsePair(const std::string& text, char separator) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) return std::nullopt;
  const auto a = ParseInt(text.substr(0, at));
  const auto b = ParseInt(text.substr(at + 1));
  if (!a || !b) return std::nullopt;
  return std::make_pair(*a, *b);
}

// RRGGBB as written; a COLORREF has red in the low byte.
std::optional<uint32_t> ParseColour(const std::string& text) {
  if (text.size() != 6) return std::nullopt;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  return SwapRedBlue(static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16)));
}

// One setting or step as given, its value checked and taken apart.
struct Action {
  std::string option;  // "--resize", ...
  std::string value;
  long a = 0;
  long b = 0;
  uint32_t colour = 0;
};

Action Check(Action a) {
  const std::string& o = a.option;
  auto bad = [&](const std::string& why) { return UsageError{o + " " + a.value + ": " + why}; };
  if (o == "--precision") {
    const auto n = ParseInt(a.value);
    if (!n || *n < 1 || *n > 16) throw bad("the precision is a whole number from 1 to 16");
    a.a = *n;
  } else if (o == "--form") {
    static const std::map<std::string, int> kForms = {
        {"bitmap", kFormBitmap}, {"texture", kFormTexture}, {"character", kFormCharacter}};
    const auto form = kForms.find(a.value);
    if (form == kForms.end()) throw bad("the form is bitmap, texture or character");
    a.a = form->second;
  } else if (o == "--resize") {
    const auto size = ParsePair(a.value, 'x');
    if (!size) throw bad("the size is WxH, for example 320x240");
    if (size->first < 1 || size->first > kMaxSide || size->second < 1 || size->second > kMaxSide) {
      throw bad("each side must be from 1 to 4096 pixels");
    }
    std::tie(a.a, a.b) = *size;
  } else if (o == "--depth") {
    const auto n = ParseInt(a.value);
    if (!n || !IsPictureDepth(static_cast<int>(*n))) throw bad("the depth is 1, 4, 8, 16 or 24");
    a.a = *n;
  } else if (o == "--pick") {
    const auto at = ParsePair(a.value, ',');
    if (!at || at->first < INT32_MIN || at->first > INT32_MAX || at->second < INT32_MIN || at->second > INT32_MAX) {
      throw bad("the position is X,Y, for example 0,0");
    }
    std::tie(a.a, a.b) = *at;
  } else if (o == "--pick-color" || o == "--key-color") {
    const auto c = ParseColour(a.value);
    if (!c) throw bad("the colour is six hex digits RRGGBB, for example C0C0C0");
    a.colour = *c;
  } else if (o == "--jobs") {
    const auto n = ParseInt(a.value);
    if (!n || *n < 1 || *n > 1024) throw bad("the number of pictures at a time is from 1 to 1024");
    a.a = *n;
  } else if ((o == "--save-bmp" || o == "--export" || o == "--save-palette" || o == "--palette-file") &&
             a.value.empty()) {
    throw bad("a file name is needed");
  }
  return a;
}

struct CommandLine {
  uint32_t keyColour = kKeyColor;
  std::vector<std::string> inputs;
  std::vector<Action> actions;
  unsigned jobs = 0;  // 0: one per processor core
};

// Every option, declared once with its help. Settings and steps are
// collected in the order given; their values are checked afterwards.
class Parser {
 public:
  Parser() : app_(kDescription, kName) {
    app_.footer(kFooter);
    app_.set_version_flag("--version", std::string(kName) + " " + kVersion, "print the version and exit");
    app_.set_help_flag("-h,--help", "print this help and exit");
    app_.add_option("INPUT", inputs_, "the pictures to load, each run through the same steps");
    Value("--key-color", "RRGGBB",
          "transparent key colour (red, green, blue in hex); only before INPUT; default C0C0C0", "");
    Value("-j,--jobs", "N", "run N inputs at a time [the number of processor cores]", "");
    Flag("--dither", "colour change: error diffusion (the default)", kSettings);
    Flag("--no-dither", "colour change: no dithering", kSettings);
    Flag("--ordered-dither", "colour change: ordered dithering, an 8 x 8 Bayer pattern", kSettings);
    Flag("--optimized-palette", "colour change: a palette fitted to the picture (the default)", kSettings);
    Flag("--standard-palette", "colour change: the fixed standard palette", kSettings);
    Flag("--quality-palette",
         "colour change: a palette fitted to every pixel as the console shows it, each pixel given the exact "
         "nearest entry; slower, closer to the picture",
         kSettings);
    Value("--palette-file", "FILE",
          "colour change: the palette of FILE, in its order (.gpl, .pal, .act, .hex, .txt, or a picture with a "
          "palette); entry 0 stays the transparent slot at 4 and 8 bits",
          kSettings);
    Value("--precision", "N", "colour change: precision 1..16 [8]", kSettings);
    Flag("--report",
         "colour change: after each depth step print PSNR and mean Oklab difference (x 100) against the picture "
         "before it, as the console shows the result",
         kSettings);
    Flag("--shared-palette",
         "colour change: one optimised palette fitted to all inputs together, the same in every output", kSettings);
    Value("--form", "FORM", "export form: bitmap, texture or character [what the convert dialog preselects]",
          kSettings);
    Flag("--binary", "export output: binary data (the default)", kSettings);
    Flag("--text", "export output: BASIC text of DATA lines", kSettings);
    Flag("--lzss", "export compression: LZSS", kSettings);
    Flag("--no-lzss", "export compression: none (the default)", kSettings);
    Flag("--palette", "export palette: on (the default for pictures of 8 bits or fewer)", kSettings);
    Flag("--no-palette", "export palette: off", kSettings);
    Value("--resize", "WxH", "scale to W x H pixels (1..4096 each); clears transparency first", kSteps);
    Value("--depth", "BITS", "change to 1, 4, 8, 16 or 24 bits; clears transparency first", kSteps);
    Value("--pick", "X,Y", "pick the colour of picture pixel (X, Y); outside: the key colour", kSteps);
    Value("--pick-color", "RRGGBB", "set the picked colour", kSteps);
    Flag("--transparent", "make the picked colour transparent", kSteps);
    Value("--save-bmp", "PATH", "save as a Windows bitmap", kSteps);
    Value("--save-palette", "PATH",
          "save the palette of a picture of 8 bits or fewer (.gpl, .pal, .act, .hex); after --shared-palette a "
          "path without {name} or {n} is written once, for all inputs",
          kSteps);
    Value("--export", "PATH", "export console data with the current settings", kSteps);
    Flag("--info", "print WIDTHxHEIGHTxBITS", kSteps);

    lzss_ = app_.add_subcommand("lzss", "compress a file into an LZSS stream (encode) or expand one (decode)");
    lzss_->add_option("VERB", lzssArgs_[0], "encode or decode")->required()->check(CLI::IsMember({"encode", "decode"}));
    lzss_->add_option("IN", lzssArgs_[1], "the file to read")->required();
    lzss_->add_option("OUT", lzssArgs_[2], "the file to write")->required();
  }

  // Throws CLI11's errors for what it finds, UsageError for the rest.
  void Parse(int argc, char** argv) { app_.parse(argc, argv); }
  int Exit(const CLI::Error& e) { return app_.exit(e); }
  std::string Help() const { return app_.help(); }
  bool IsLzss() const { return lzss_->parsed(); }
  const std::string& LzssArg(int i) const { return lzssArgs_[static_cast<size_t>(i)]; }

  CommandLine Take() {
    CommandLine cl;
    bool optionAfterInputs = false;
    std::map<const CLI::Option*, size_t> used;  // values taken so far, per option
    for (const CLI::Option* option : app_.parse_order()) {
      const size_t k = used[option]++;
      if (option->get_positional()) {
        if (inputs_[k].empty()) throw UsageError{"an INPUT file name is empty"};
        if (cl.inputs.empty() && !cl.actions.empty()) {
          throw UsageError{cl.actions.front().option + " comes before INPUT; give the input file first"};
        }
        if (!cl.actions.empty() || optionAfterInputs) {
          throw UsageError{"unexpected argument " + inputs_[k] + " (inputs come before the first option)"};
        }
        cl.inputs.push_back(inputs_[k]);
        continue;
      }
      optionAfterInputs = !cl.inputs.empty();
      Action a;
      a.option = option->get_name();
      if (option->get_expected_max() > 0) a.value = option->results()[k];
      a = Check(a);
      if (a.option == "--key-color") {
        if (!cl.inputs.empty()) throw UsageError{"--key-color is accepted only before INPUT"};
        cl.keyColour = a.colour;
      } else if (a.option == "--jobs") {
        cl.jobs = static_cast<unsigned>(a.a);
      } else {
        cl.actions.push_back(a);
      }
    }
    if (cl.inputs.empty()) {
      if (!cl.actions.empty()) {
        throw UsageError{cl.actions.front().option + " comes before INPUT; give the input file first"};
      }
      throw UsageError{"no INPUT file given"};
    }
    return cl;
  }

 private:
  void Value(const std::string& name, const std::string& type, const std::string& help, const std::string& group) {
    app_.add_option(name, help)
        ->type_name(type)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->group(group.empty() ? "Options" : group);
  }
  void Flag(const std::string& name, const std::string& help, const std::string& group) {
    app_.add_flag(name, help)->disable_flag_override()->group(group);
  }

  CLI::App app_;
  CLI::App* lzss_ = nullptr;
  std::vector<std::string> inputs_;
  std::array<std::string, 3> lzssArgs_;
};

// Progress on standard error while it is a terminal: the step of a single
// picture, or how many pictures of a batch have ended.
class TerminalProgress : public ProgressSink {
 public:
  void Begin(const std::string& step) {
    step_ = step;
    shown_ = false;
  }
  void End() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", 60, "");
    shown_ = false;
  }
  void SetRange(int lo, int hi) override {
    lo_ = lo;
    hi_ = hi;
  }
  void SetPosition(int pos) override {
    if (hi_ <= lo_) return;
    const int percent = static_cast<int>(100LL * (pos - lo_) / (hi_ - lo_));
    if (percent == last_ && shown_) return;
    last_ = percent;
    std::fprintf(stderr, "\r%s: %s %3d%%", kName, step_.c_str(), percent);
    std::fflush(stderr);
    shown_ = true;
  }
  void Count(size_t done, size_t total) {
    std::fprintf(stderr, "\r%s: %s %zu/%zu", kName, step_.c_str(), done, total);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  std::string step_;
  int lo_ = 0;
  int hi_ = 0;
  int last_ = -1;
  bool shown_ = false;
};

// A save dialog that answers with the path the command line gave.
class FixedPath : public SavePathPrompt {
 public:
  explicit FixedPath(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest&) override { return path_; }

 private:
  std::string path_;
};

bool IsOutput(const std::string& option) {
  return option == "--save-bmp" || option == "--export" || option == "--save-palette";
}

// An output path with the input's placeholders filled in, in one pass.
std::string Expand(const std::string& pattern, const std::string& input, size_t n) {
  const std::filesystem::path path(input);
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  const std::pair<std::string, std::string> fields[] = {
      {"{name}", path.stem().string()},
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

// What the steps ask of the run as a whole.
struct Plan {
  std::vector<size_t> sharedDepths;  // depth steps fitting one palette to every input
  std::set<size_t> sharedSaves;      // palette saves written once for the batch
};

// Finds the shared steps, and refuses what a batch cannot do: an output
// path the same for every input, two inputs writing one file, an input
// writing over another.
Plan PlanRun(const CommandLine& cl) {
  Plan plan;
  const bool batch = cl.inputs.size() > 1;
  bool shared = false;
  int kind = kPaletteOptimized;
  bool common = false;  // every picture has the same palette, from a depth step
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const Action& a = cl.actions[k];
    if (a.option == "--shared-palette") shared = true;
    if (a.option == "--optimized-palette") kind = kPaletteOptimized;
    if (a.option == "--standard-palette") kind = kPaletteStandard;
    if (a.option == "--quality-palette") kind = kPaletteQuality;
    if (a.option == "--palette-file") kind = kPaletteGiven;
    if (a.option == "--depth") {
      const bool paletted = a.a <= 8;
      if (paletted && shared && kind == kPaletteQuality) {
        throw UsageError{
            "--depth " + a.value +
            ": --shared-palette shares the optimised palette; the quality palette is fitted to each picture"};
      }
      if (paletted && shared && kind == kPaletteOptimized) plan.sharedDepths.push_back(k);
      common = paletted && (kind != kPaletteOptimized || shared);
    }
    if (!batch || !IsOutput(a.option)) continue;
    if (a.value.find("{name}") != std::string::npos || a.value.find("{n}") != std::string::npos) continue;
    if (a.option != "--save-palette" || !shared) {
      throw UsageError{a.option + " " + a.value + ": with several inputs the path needs {name} or {n}"};
    }
    if (!common) {
      throw UsageError{
          a.option + " " + a.value +
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
    if (!IsOutput(cl.actions[k].option)) continue;
    if (plan.sharedSaves.count(k) != 0) {
      claim(Expand(cl.actions[k].value, cl.inputs[0], 0), "the shared palette");
      continue;
    }
    for (size_t n = 0; n < cl.inputs.size(); ++n) claim(Expand(cl.actions[k].value, cl.inputs[n], n), cl.inputs[n]);
  }
  return plan;
}

// What one input's run leaves to report.
struct Outcome {
  bool failed = false;
  std::string step;  // the step that failed, as given, or "load"
  std::string reason;
  std::string notes;                                 // lines for standard error
  std::string info;                                  // lines for standard output
  std::map<size_t, std::vector<uint32_t>> palettes;  // the shared palette saves reached
};

// What a run says along the way: printed at once for a single input; kept,
// each line under the input's name, for its turn in a batch.
class Reporter : public MessageSink {
 public:
  Reporter(const std::string* name, Outcome& outcome) : name_(name), outcome_(outcome) {}
  void ShowMessage(const std::string& text) override { Error(text); }
  void Note(const std::string& text) { Error(name_ ? text : std::string(kName) + ": " + text); }
  void Info(const std::string& text) {
    if (name_ != nullptr) {
      outcome_.info += *name_ + ": " + text + "\n";
      return;
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

 private:
  void Error(const std::string& text) {
    if (name_ != nullptr) {
      outcome_.notes += *name_ + ": " + text + "\n";
    } else {
      std::fprintf(stderr, "%s\n", text.c_str());
    }
  }
  const std::string* name_;
  Outcome& outcome_;
};

// How a run of the steps goes: to the end, or, to fit a shared palette,
// only as far as that depth step, with no output written.
struct Pass {
  std::optional<size_t> sampleAt;
  SampleCounts* counts = nullptr;
  const std::map<size_t, std::vector<uint32_t>>* fitted = nullptr;  // shared palettes, by step
};

Outcome RunSteps(const CommandLine& cl, const Plan& plan, size_t n, const Pass& pass, std::string& step);

Outcome RunInput(const CommandLine& cl, const Plan& plan, size_t n, const Pass& pass) {
  std::string step = "load";
  try {
    return RunSteps(cl, plan, n, pass, step);
  } catch (const std::bad_alloc&) {
    Outcome out;
    out.failed = true;
    out.step = step;
    out.reason = "not enough memory";
    return out;
  }
}

// Loads the input and runs the steps; `step` follows the step running.
Outcome RunSteps(const CommandLine& cl, const Plan& plan, size_t n, const Pass& pass, std::string& step) {
  Outcome out;
  const bool quiet = cl.inputs.size() > 1 || pass.sampleAt;
  Reporter report(quiet ? &cl.inputs[n] : nullptr, out);
  auto fail = [&](const Result& r) {
    out.failed = true;
    out.step = step;
    out.reason = r.reason();
    return out;
  };
  Document doc(cl.keyColour);
  TerminalProgress progress;
  if (!quiet && ::isatty(STDERR_FILENO) != 0) doc.image.SetProgressBar(&progress);
  if (Result r = LoadCommand(doc, cl.inputs[n]); !r.ok()) return fail(r);

  ColorSettings colour;  // dither 1, optimised, precision 8
  ExportRequest exportRequest;
  bool measure = false;  // --report
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const Action& a = cl.actions[k];
    const std::string& o = a.option;
    if (pass.sampleAt == k) {
      CountColourSamples(doc, colour, static_cast<int>(a.a), *pass.counts);
      return out;
    }
    if (pass.sampleAt && (IsOutput(o) || o == "--info")) continue;
    const std::string path = IsOutput(o) ? Expand(a.value, cl.inputs[n], n) : std::string();
    step = a.value.empty() ? o : o + " " + a.value;
    progress.Begin(step);
    Result r;
    if (o == "--dither" || o == "--no-dither" || o == "--ordered-dither") {
      colour.dither = o == "--dither" ? kDitherDiffusion : o == "--ordered-dither" ? kDitherOrdered : kDitherNone;
    } else if (o == "--optimized-palette" || o == "--standard-palette" || o == "--quality-palette") {
      colour.paletteKind = o == "--standard-palette"  ? kPaletteStandard
                           : o == "--quality-palette" ? kPaletteQuality
                                                      : kPaletteOptimized;
    } else if (o == "--palette-file") {
      r = ReadPalette(a.value, colour.palette);
      if (r.ok()) colour.paletteKind = kPaletteGiven;
    } else if (o == "--report") {
      measure = true;
    } else if (o == "--precision") {
      colour.precision = static_cast<int>(a.a);
    } else if (o == "--form") {
      exportRequest.form = static_cast<int>(a.a);
    } else if (o == "--binary" || o == "--text") {
      exportRequest.output = o == "--text" ? kOutputText : kOutputBinary;
    } else if (o == "--lzss" || o == "--no-lzss") {
      exportRequest.lzss = o == "--lzss" ? 1 : 0;
    } else if (o == "--palette" || o == "--no-palette") {
      exportRequest.palette = o == "--palette" ? 1 : 0;
    } else if (o == "--resize") {
      r = ScaleCommand(doc, static_cast<int32_t>(a.a), static_cast<int32_t>(a.b));
    } else if (o == "--depth") {
      ColorSettings settings = colour;
      if (const auto shared = pass.fitted->find(k); shared != pass.fitted->end()) settings.fitted = shared->second;
      ChangeReport measured{};
      r = ColourCommand(doc, settings, static_cast<int>(a.a), measure ? &measured : nullptr);
      if (measure && r.ok()) report.Info(ReportLine(static_cast<int>(a.a), measured));
    } else if (o == "--pick") {
      PickCommand(doc, static_cast<int32_t>(a.a), static_cast<int32_t>(a.b));
    } else if (o == "--pick-color") {
      doc.pickedColor = a.colour;
    } else if (o == "--transparent") {
      r = TransparentCommand(doc);
    } else if (o == "--save-palette") {
      if (plan.sharedSaves.count(k) != 0) {
        r = PaletteOf(doc, out.palettes[k]);  // written once, after the batch
      } else {
        r = SavePaletteCommand(doc, path);
      }
    } else if (o == "--save-bmp") {
      FixedPath prompt(path);
      r = SaveCommand(doc, prompt);
    } else if (o == "--export") {
      ExportChoices choices;
      r = ChooseExport(doc.image, exportRequest, choices);
      if (r.ok()) {
        FixedPath prompt(path);
        progress.End();
        r = ConvertCommand(doc, choices, prompt, &report);
      }
    } else if (o == "--info") {
      report.Info(std::to_string(doc.image.Width()) + "x" + std::to_string(doc.image.Height()) + "x" +
                  std::to_string(doc.image.BitCount()));
    }
    progress.End();
    if (r.kind() == Result::Kind::kNothingToDo) {
      report.Note(step + ": nothing to do: " + r.reason());
    } else if (!r.ok()) {
      out.palettes.erase(k);
      return fail(r);
    }
  }
  return out;
}

// Runs work(n) for every input, `jobs` at a time, and hands each outcome to
// ended(n, outcome) in input order, as soon as every input before it has
// ended; `progress` shows how many have ended.
template <typename Work, typename Ended>
void RunInOrder(size_t count, unsigned jobs, TerminalProgress* progress, Work work, Ended ended) {
  std::vector<std::optional<Outcome>> outcomes(count);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};
  size_t finished = 0;
  auto worker = [&] {
    for (size_t n; (n = next++) < count;) {
      Outcome outcome = work(n);
      const std::lock_guard<std::mutex> lock(mutex);
      outcomes[n] = std::move(outcome);
      ++finished;
      changed.notify_one();
    }
  };
  std::vector<std::jthread> threads;
  for (unsigned t = 0; t < std::min<size_t>(jobs, count); ++t) threads.emplace_back(worker);
  std::unique_lock<std::mutex> lock(mutex);
  size_t shown = 0;
  for (size_t n = 0; n < count;) {
    changed.wait(lock, [&] { return outcomes[n].has_value() || finished != shown; });
    shown = finished;
    if (progress) progress->Count(finished, count);
    for (; n < count && outcomes[n]; ++n) {
      Outcome outcome = std::move(*outcomes[n]);
      outcomes[n].reset();
      lock.unlock();
      if (progress) progress->End();
      ended(n, std::move(outcome));
      lock.lock();
      if (progress) progress->Count(finished, count);
    }
  }
  if (progress) progress->End();
}

int Run(const CommandLine& cl) {
  const Plan plan = PlanRun(cl);
  const size_t count = cl.inputs.size();
  const unsigned jobs = cl.jobs != 0 ? cl.jobs : std::max(1u, std::thread::hardware_concurrency());
  TerminalProgress bar;
  TerminalProgress* progress = count > 1 && ::isatty(STDERR_FILENO) != 0 ? &bar : nullptr;

  // A shared palette is fitted to the samples of every input as it stands
  // at that step, then used by every input.
  std::map<size_t, std::vector<uint32_t>> fitted;
  for (const size_t k : plan.sharedDepths) {
    SampleCounts all(kSampleBins);
    std::mutex adding;
    bar.Begin("fitting the shared palette");
    RunInOrder(
        count, jobs, progress,
        [&](size_t n) {
          SampleCounts mine;
          (void)RunInput(cl, plan, n, Pass{k, &mine, &fitted});
          const std::lock_guard<std::mutex> lock(adding);
          for (size_t bin = 0; bin < mine.size(); ++bin) all[bin] += mine[bin];
          return Outcome{};
        },
        [](size_t, Outcome) {});
    const int bits = static_cast<int>(cl.actions[k].a);
    uint32_t palette[256] = {};
    FitPalette(all, 0, palette, 1 << bits, bits);
    fitted[k].assign(palette, palette + (1 << bits));
  }

  if (count == 1) {
    const Outcome out = RunInput(cl, plan, 0, Pass{{}, nullptr, &fitted});
    if (!out.failed) return kExitDone;
    Say(out.step == "load" ? out.reason : out.step + ": " + out.reason);
    return kExitFailed;
  }

  int status = kExitDone;
  std::map<size_t, std::pair<size_t, std::vector<uint32_t>>> sharedPalettes;  // by step: first input, palette
  bar.Begin("pictures done");
  RunInOrder(
      count, jobs, progress,
      [&](size_t n) {
        return RunInput(cl, plan, n, Pass{{}, nullptr, &fitted});
      },
      [&](size_t n, Outcome out) {
        std::fputs(out.info.c_str(), stdout);
        std::fflush(stdout);
        const std::string& name = cl.inputs[n];
        std::fprintf(stderr, "%s%s: %s\n", out.notes.c_str(), name.c_str(),
                     out.failed ? ("failed at " + out.step + ": " + out.reason).c_str() : "done");
        if (out.failed) status = kExitFailed;
        for (auto& [k, palette] : out.palettes) sharedPalettes.try_emplace(k, n, std::move(palette));
      });
  for (const auto& [k, first] : sharedPalettes) {
    const std::string& pattern = cl.actions[k].value;
    if (Result r = WritePaletteFile(Expand(pattern, cl.inputs[first.first], first.first), first.second); !r.ok()) {
      Say("--save-palette " + pattern + ": " + r.reason());
      status = kExitFailed;
    }
  }
  return status;
}

int RunLzss(const std::string& verb, const std::string& in, const std::string& out) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(in, bytes); !r.ok()) {
    Say(r.reason());
    return kExitFailed;
  }
  LzssCodec codec;
  Result r;
  if (verb == "encode") {
    r = codec.Encode(bytes.data(), static_cast<int64_t>(bytes.size()));
  } else if (!HasLzssMagic(bytes.data(), bytes.size())) {
    r = Result::Refused("the file does not start with \"LZSS\"");
  } else {
    r = codec.Decode(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  if (r.ok()) r = WriteFileAtomic(out, codec.Bytes().data(), codec.Bytes().size());
  if (!r.ok()) {
    Say("lzss " + verb + " " + in + ": " + r.reason());
    return kExitFailed;
  }
  return kExitDone;
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
