// pixmill-cli: every picture operation of the program from the command line.
// One picture per run: load, then steps left to right, each done the way the
// desktop program's commands do it.
#include "cli/cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "app/convert_rules.h"
#include "app/document.h"
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

  pixmill-cli [--key-color RRGGBB] INPUT [SETTING | STEP]...
  pixmill-cli lzss encode|decode IN OUT

INPUT is loaded like the program's Open: data Pixmill exported (plain or
LZSS-compressed), a PNG file, or a Windows bitmap. Then the steps run from
left to right; the run stops at the first step that fails. Settings apply to
every later step.)";

constexpr const char* kFooter = R"(Options that take a value also accept --option=value. Export choices follow
the convert dialog: a choice it would not offer for the picture is refused.

Exit status: 0 all steps done; 1 a file could not be read or written, or a
step was refused; 2 usage error.

Example:
  pixmill-cli photo.bmp --resize 320x240 --depth 8 --pick 0,0 --transparent \
      --form texture --text --lzss --export photo.bas --save-bmp photo-8bit.bmp)";

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
  } else if ((o == "--save-bmp" || o == "--export" || o == "--save-palette" || o == "--palette-file") &&
             a.value.empty()) {
    throw bad("a file name is needed");
  }
  return a;
}

struct CommandLine {
  uint32_t keyColour = kKeyColor;
  std::string input;
  std::vector<Action> actions;
};

// Every option, declared once with its help. Settings and steps are
// collected in the order given; their values are checked afterwards.
class Parser {
 public:
  Parser() : app_(kDescription, kName) {
    app_.footer(kFooter);
    app_.set_version_flag("--version", std::string(kName) + " " + kVersion, "print the version and exit");
    app_.set_help_flag("-h,--help", "print this help and exit");
    app_.add_option("INPUT", inputs_, "the picture to load");
    Value("--key-color", "RRGGBB", "transparent key colour (red, green, blue in hex); only before INPUT; default C0C0C0",
          "");
    Flag("--dither", "colour change: error diffusion (the default)", kSettings);
    Flag("--no-dither", "colour change: no dithering", kSettings);
    Flag("--optimized-palette", "colour change: a palette fitted to the picture (the default)", kSettings);
    Flag("--standard-palette", "colour change: the fixed standard palette", kSettings);
    Value("--palette-file", "FILE",
          "colour change: the palette of FILE, in its order (.gpl, .pal, .act, .hex, .txt, or a picture with a "
          "palette); entry 0 stays the transparent slot at 4 and 8 bits",
          kSettings);
    Value("--precision", "N", "colour change: precision 1..16 [8]", kSettings);
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
    Value("--save-palette", "PATH", "save the palette of a picture of 8 bits or fewer (.gpl, .pal, .act, .hex)", kSteps);
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
    std::map<const CLI::Option*, size_t> used;  // values taken so far, per option
    bool haveInput = false;
    for (const CLI::Option* option : app_.parse_order()) {
      const size_t k = used[option]++;
      if (option->get_positional()) {
        if (haveInput) throw UsageError{"unexpected argument " + inputs_[k] + " (only one INPUT per run)"};
        if (inputs_[k].empty()) throw UsageError{"the INPUT file name is empty"};
        if (!cl.actions.empty()) {
          throw UsageError{cl.actions.front().option + " comes before INPUT; give the input file first"};
        }
        cl.input = inputs_[k];
        haveInput = true;
        continue;
      }
      Action a;
      a.option = option->get_name();
      if (option->get_expected_max() > 0) a.value = option->results()[k];
      a = Check(a);
      if (a.option == "--key-color") {
        if (haveInput) throw UsageError{"--key-color is accepted only before INPUT"};
        cl.keyColour = a.colour;
        continue;
      }
      cl.actions.push_back(a);
    }
    if (!haveInput) {
      if (!cl.actions.empty()) {
        throw UsageError{cl.actions.front().option + " comes before INPUT; give the input file first"};
      }
      throw UsageError{"no INPUT file given"};
    }
    return cl;
  }

 private:
  void Value(const std::string& name, const std::string& type, const std::string& help, const std::string& group) {
    app_.add_option(name, help)->type_name(type)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->group(
        group.empty() ? "Options" : group);
  }
  void Flag(const std::string& name, const std::string& help, const std::string& group) {
    app_.add_flag(name, help)->disable_flag_override()->group(group);
  }

  CLI::App app_;
  CLI::App* lzss_ = nullptr;
  std::vector<std::string> inputs_;
  std::array<std::string, 3> lzssArgs_;
};

// Progress on standard error while it is a terminal.
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

 private:
  std::string step_;
  int lo_ = 0;
  int hi_ = 0;
  int last_ = -1;
  bool shown_ = false;
};

class StderrMessages : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// A save dialog that answers with the path the command line gave.
class FixedPath : public SavePathPrompt {
 public:
  explicit FixedPath(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest&) override { return path_; }

 private:
  std::string path_;
};

int Run(const CommandLine& cl) {
  Document doc(cl.keyColour);
  TerminalProgress progress;
  if (::isatty(STDERR_FILENO) != 0) doc.image.SetProgressBar(&progress);
  if (Result r = LoadCommand(doc, cl.input); !r.ok()) {
    Say(r.reason());
    return kExitFailed;
  }

  ColorSettings colour;  // dither 1, optimised, precision 8
  ExportRequest exportRequest;
  StderrMessages messages;
  for (const Action& a : cl.actions) {
    const std::string& o = a.option;
    const std::string step = a.value.empty() ? o : o + " " + a.value;
    progress.Begin(step);
    Result r;
    if (o == "--dither" || o == "--no-dither") {
      colour.dither = o == "--dither" ? 1 : 0;
    } else if (o == "--optimized-palette" || o == "--standard-palette") {
      colour.paletteKind = o == "--standard-palette" ? kPaletteStandard : kPaletteOptimized;
    } else if (o == "--palette-file") {
      r = ReadPalette(a.value, colour.palette);
      if (r.ok()) colour.paletteKind = kPaletteGiven;
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
      r = ColourCommand(doc, colour, static_cast<int>(a.a));
    } else if (o == "--pick") {
      PickCommand(doc, static_cast<int32_t>(a.a), static_cast<int32_t>(a.b));
    } else if (o == "--pick-color") {
      doc.pickedColor = a.colour;
    } else if (o == "--transparent") {
      r = TransparentCommand(doc);
    } else if (o == "--save-palette") {
      r = SavePaletteCommand(doc, a.value);
    } else if (o == "--save-bmp") {
      FixedPath prompt(a.value);
      r = SaveCommand(doc, prompt);
    } else if (o == "--export") {
      ExportChoices choices;
      r = ChooseExport(doc.image, exportRequest, choices);
      if (r.ok()) {
        FixedPath prompt(a.value);
        progress.End();
        r = ConvertCommand(doc, choices, prompt, &messages);
      }
    } else if (o == "--info") {
      std::printf("%dx%dx%d\n", doc.image.Width(), doc.image.Height(), doc.image.BitCount());
      std::fflush(stdout);
    }
    progress.End();
    if (r.kind() == Result::Kind::kNothingToDo) {
      Say(step + ": nothing to do: " + r.reason());
    } else if (!r.ok()) {
      Say(step + ": " + r.reason());
      return kExitFailed;
    }
  }
  return kExitDone;
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
