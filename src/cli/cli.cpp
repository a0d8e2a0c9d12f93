// pixmill-cli: every picture operation of the program from the command line.
// One picture per run: load, then steps left to right, each done the way the
// desktop program's commands do it.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "color/commands.h"
#include "color/depth.h"
#include "color/transparent.h"
#include "export/convert_choices.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "image/resize.h"
#include "platform/file_io.h"

namespace pixmill::cli {
namespace {

constexpr const char* kName = "pixmill-cli";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = R"(usage:
  pixmill-cli [--key-color RRGGBB] INPUT [SETTING | STEP]...
  pixmill-cli lzss encode|decode IN OUT
  pixmill-cli --help | --version

INPUT is loaded like the program's Open: data Pixmill exported (plain or
LZSS-compressed), a PNG file, or a Windows bitmap. Then the steps run from
left to right; the run stops at the first step that fails.

  --key-color RRGGBB   transparent key colour (red, green, blue in hex);
                       only before INPUT; default C0C0C0

Settings apply to every later step (defaults in brackets):
  --dither | --no-dither                colour change: error diffusion or none [--dither]
  --optimized-palette | --standard-palette
                                        colour change: palette kind [optimized]
  --precision N                         colour change: precision 1..16 [8]
  --form bitmap|texture|character       export form [what the convert dialog preselects]
  --binary | --text                     export output [--binary]
  --lzss | --no-lzss                    export compression [--no-lzss]
  --palette | --no-palette              export palette [on for pictures of 8 bits or fewer]

Steps:
  --resize WxH          scale to W x H pixels (1..4096 each); clears transparency first
  --depth BITS          change to 1, 4, 8, 16 or 24 bits; clears transparency first
  --pick X,Y            pick the colour of picture pixel (X, Y); outside: the key colour
  --pick-color RRGGBB   set the picked colour
  --transparent         make the picked colour transparent
  --save-bmp PATH       save as a Windows bitmap
  --export PATH         export console data with the current settings
  --info                print WIDTHxHEIGHTxBITS

Options that take a value also accept --option=value. Export choices follow
the convert dialog: a choice it would not offer for the picture is refused.

Exit status: 0 all steps done; 1 a file could not be read or written, or a
step was refused; 2 usage error.

Example:
  pixmill-cli photo.bmp --resize 320x240 --depth 8 --pick 0,0 --transparent \
      --form texture --text --lzss --export photo.bas --save-bmp photo-8bit.bmp
)";

struct UsageError {
  std::string message;
};

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kName, text.c_str()); }

// Strict number parsing: the whole text must be the number.
std::optional<long> ParseInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  if (text[0] == ' ' || text[0] == '\t' || text[0] == '+') return std::nullopt;
  return v;
}

std::optional<uint32_t> ParseColour(const std::string& text) {
  if (text.size() != 6) return std::nullopt;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  const uint32_t rgb = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  return SwapRedBlue(rgb);  // RRGGBB as written; COLORREF has red in the low byte
}

// The steps and settings, parsed in full before anything runs.
struct Action {
  std::string option;  // "--resize", ...
  std::string value;
  long a = 0;
  long b = 0;
  uint32_t colour = 0;
};

bool TakesValue(const std::string& o) {
  return o == "--key-color" || o == "--precision" || o == "--form" || o == "--resize" || o == "--depth" ||
         o == "--pick" || o == "--pick-color" || o == "--save-bmp" || o == "--export";
}

bool IsFlag(const std::string& o) {
  return o == "--dither" || o == "--no-dither" || o == "--optimized-palette" || o == "--standard-palette" ||
         o == "--binary" || o == "--text" || o == "--lzss" || o == "--no-lzss" || o == "--palette" ||
         o == "--no-palette" || o == "--transparent" || o == "--info";
}

Action Check(Action a) {
  const std::string& o = a.option;
  const std::string& v = a.value;
  auto bad = [&](const std::string& why) { return UsageError{o + " " + v + ": " + why}; };
  if (o == "--precision") {
    const auto n = ParseInt(v);
    if (!n || *n < 1 || *n > 16) throw bad("the precision is a whole number from 1 to 16");
    a.a = *n;
  } else if (o == "--form") {
    if (v == "bitmap") {
      a.a = kFormBitmap;
    } else if (v == "texture") {
      a.a = kFormTexture;
    } else if (v == "character") {
      a.a = kFormCharacter;
    } else {
      throw bad("the form is bitmap, texture or character");
    }
  } else if (o == "--resize") {
    const size_t x = v.find('x');
    const auto w = x == std::string::npos ? std::nullopt : ParseInt(v.substr(0, x));
    const auto h = x == std::string::npos ? std::nullopt : ParseInt(v.substr(x + 1));
    if (!w || !h) throw bad("the size is WxH, for example 320x240");
    if (*w < 1 || *w > kMaxResizeSide || *h < 1 || *h > kMaxResizeSide) {
      throw bad("each side must be from 1 to 4096 pixels");
    }
    a.a = *w;
    a.b = *h;
  } else if (o == "--depth") {
    const auto n = ParseInt(v);
    if (!n || (*n != 1 && *n != 4 && *n != 8 && *n != 16 && *n != 24)) throw bad("the depth is 1, 4, 8, 16 or 24");
    a.a = *n;
  } else if (o == "--pick") {
    const size_t comma = v.find(',');
    const auto x = comma == std::string::npos ? std::nullopt : ParseInt(v.substr(0, comma));
    const auto y = comma == std::string::npos ? std::nullopt : ParseInt(v.substr(comma + 1));
    if (!x || !y || *x < INT32_MIN || *x > INT32_MAX || *y < INT32_MIN || *y > INT32_MAX) {
      throw bad("the position is X,Y, for example 0,0");
    }
    a.a = *x;
    a.b = *y;
  } else if (o == "--pick-color" || o == "--key-color") {
    const auto c = ParseColour(v);
    if (!c) throw bad("the colour is six hex digits RRGGBB, for example C0C0C0");
    a.colour = *c;
  } else if ((o == "--save-bmp" || o == "--export") && v.empty()) {
    throw bad("a file name is needed");
  }
  return a;
}

struct CommandLine {
  uint32_t keyColour = kKeyColor;
  std::string input;
  std::vector<Action> actions;
};

CommandLine Parse(const std::vector<std::string>& args) {
  CommandLine cl;
  bool haveInput = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
      if (haveInput) throw UsageError{"unexpected argument " + arg + " (only one INPUT per run)"};
      if (arg.empty()) throw UsageError{"the INPUT file name is empty"};
      cl.input = arg;
      haveInput = true;
      continue;
    }
    Action a;
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      a.option = arg.substr(0, eq);
      a.value = arg.substr(eq + 1);
      if (!TakesValue(a.option)) throw UsageError{a.option + " takes no value"};
    } else {
      a.option = arg;
      if (TakesValue(arg)) {
        if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
        a.value = args[++i];
      } else if (!IsFlag(arg)) {
        throw UsageError{"unknown option " + arg};
      }
    }
    a = Check(a);
    if (a.option == "--key-color") {
      if (haveInput) throw UsageError{"--key-color is accepted only before INPUT"};
      cl.keyColour = a.colour;
      continue;
    }
    if (!haveInput) throw UsageError{a.option + " comes before INPUT; give the input file first"};
    cl.actions.push_back(a);
  }
  if (!haveInput) throw UsageError{"no INPUT file given"};
  return cl;
}

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

struct Settings {
  ColorSettings colour;  // dither 1, optimised, precision 8
  std::optional<int> form;
  std::optional<int> output;
  std::optional<int> lzss;
  std::optional<int> palette;
};

// Sets the convert dialog up for the picture, clicks the chosen form, then
// applies output, LZSS and palette, refusing what the dialog would not offer.
Result ExportChoicesFor(const ImageBuffer& image, const Settings& s, ExportChoices& out) {
  ConvertDialogState d = StartConvertDialog(image.BitCount(), image.Width(), image.Height());
  if (s.form) {
    if (!FormOffered(d, *s.form)) return Result::Refused(FormRule(*s.form));
    ClickForm(d, *s.form);
  }
  if (d.fields.form == kFormNone) return Result::Refused(NoFormReason(image.BitCount(), image.Width()));
  if (s.output && *s.output != d.fields.output) {
    const bool offered = *s.output == kOutputText ? d.enabled.text : d.enabled.binary;
    if (!offered) return Result::Refused("text output is not offered with the bitmap form");
    d.fields.output = *s.output;
  }
  if (s.lzss && *s.lzss != d.fields.lzss) {
    if (!d.enabled.lzss) return Result::Refused("LZSS compression is not offered with the bitmap form");
    d.fields.lzss = *s.lzss;
  }
  if (s.palette && *s.palette != d.fields.palette) {
    if (!d.enabled.palette) return Result::Refused("a palette is offered only for pictures of 8 bits or fewer");
    d.fields.palette = *s.palette;
  }
  out = d.fields;
  return Result::Done();
}

int Run(const CommandLine& cl) {
  ImageBuffer image;
  TerminalProgress progress;
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  if (terminal) image.SetProgressBar(&progress);
  InitTransparentColor(image, cl.keyColour);
  uint32_t picked = cl.keyColour;

  if (Result r = LoadFile(image, cl.input); !r.ok()) {
    Say(r.reason());
    return kExitFailed;
  }
  image.m_title = BaseName(cl.input).substr(0, BaseName(cl.input).find('.'));

  Settings s;
  StderrMessages messages;
  for (const Action& a : cl.actions) {
    const std::string& o = a.option;
    const std::string step = a.value.empty() ? o : o + " " + a.value;
    progress.Begin(step);
    Result r;
    if (o == "--dither" || o == "--no-dither") {
      s.colour.dither = o == "--dither" ? 1 : 0;
    } else if (o == "--optimized-palette" || o == "--standard-palette") {
      s.colour.paletteKind = o == "--standard-palette" ? 1 : 0;
    } else if (o == "--precision") {
      s.colour.precision = static_cast<int>(a.a);
    } else if (o == "--form") {
      s.form = static_cast<int>(a.a);
    } else if (o == "--binary" || o == "--text") {
      s.output = o == "--text" ? kOutputText : kOutputBinary;
    } else if (o == "--lzss" || o == "--no-lzss") {
      s.lzss = o == "--lzss" ? 1 : 0;
    } else if (o == "--palette" || o == "--no-palette") {
      s.palette = o == "--palette" ? 1 : 0;
    } else if (o == "--resize") {
      r = ScaleCommand(image, picked, static_cast<int32_t>(a.a), static_cast<int32_t>(a.b));
    } else if (o == "--depth") {
      r = ColourCommand(image, picked, s.colour, static_cast<int>(a.a));
    } else if (o == "--pick") {
      picked = PickColor(image, static_cast<int32_t>(a.a), static_cast<int32_t>(a.b));
    } else if (o == "--pick-color") {
      picked = a.colour;
    } else if (o == "--transparent") {
      r = TransparentCommand(image, picked);
    } else if (o == "--save-bmp") {
      FixedPath prompt(a.value);
      r = SaveBmpAs(image, prompt);
    } else if (o == "--export") {
      ExportChoices choices;
      r = ExportChoicesFor(image, s, choices);
      if (r.ok()) {
        FixedPath prompt(a.value);
        progress.End();
        r = Convert(image, choices, prompt, &messages);
      }
    } else if (o == "--info") {
      std::printf("%dx%dx%d\n", image.Width(), image.Height(), image.BitCount());
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

int RunLzss(const std::vector<std::string>& args) {
  if (args.size() != 4 || (args[1] != "encode" && args[1] != "decode")) {
    Say("usage: pixmill-cli lzss encode|decode IN OUT");
    return kExitUsage;
  }
  FileBytes in;
  if (Result r = ReadWholeFile(args[2], in); !r.ok()) {
    Say(r.reason());
    return kExitFailed;
  }
  LzssCodec codec;
  Result r;
  if (args[1] == "encode") {
    r = codec.Encode(in.data(), static_cast<int64_t>(in.size()));
  } else if (!HasLzssMagic(in.data(), in.size())) {
    r = Result::Refused("the file does not start with \"LZSS\"");
  } else {
    r = codec.Decode(in.data(), static_cast<int64_t>(in.size()));
  }
  if (r.ok()) r = WriteFileAtomic(args[3], codec.Bytes().data(), codec.Bytes().size());
  if (!r.ok()) {
    Say("lzss " + args[1] + " " + args[2] + ": " + r.reason());
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  if (args[0] == "--version") {
    std::printf("pixmill-cli 2.0\n");
    return kExitDone;
  }
  if (args[0] == "lzss") return RunLzss(args);
  try {
    return Run(Parse(args));
  } catch (const UsageError& e) {
    Say(e.message);
    std::fprintf(stderr, "Try '%s --help'.\n", kName);
    return kExitUsage;
  }
}

}  // namespace pixmill::cli

