#include "cli/options.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/system_colors.h"
#include "platform/text.h"
#include "platform/version.h"

namespace pixmill::cli {

namespace {

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

constexpr const char* kOptions = "Options";
constexpr const char* kSettings = "Settings (apply to every later step)";
constexpr const char* kSteps = "Steps (run from left to right)";

// A value that is not right for its option: "--resize 0x0: why".
struct BadValue {
  std::string why;
};

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

// RRGGBB as written, as a COLORREF (red in the low byte).
uint32_t ParseColour(const std::string& text) {
  const std::optional<uint32_t> rgb = ParseRgbHex(text);
  if (!rgb) throw BadValue{"the colour is six hex digits RRGGBB, for example C0C0C0"};
  return SwapRedBlue(*rgb);
}

int ParseWhole(const std::string& text, long lo, long hi, const char* why) {
  const auto n = ParseInt(text);
  if (!n || *n < lo || *n > hi) throw BadValue{why};
  return static_cast<int>(*n);
}

std::string ParsePath(const std::string& text) {
  if (text.empty()) throw BadValue{"a file name is needed"};
  return text;
}

Step MakeForm(const std::string& v) {
  static const std::map<std::string, int> kForms = {
      {"bitmap", kFormBitmap}, {"texture", kFormTexture}, {"character", kFormCharacter}};
  const auto form = kForms.find(v);
  if (form == kForms.end()) throw BadValue{"the form is bitmap, texture or character"};
  return Form{form->second};
}

Step MakeResize(const std::string& v) {
  const auto size = ParsePair(v, 'x');
  if (!size) throw BadValue{"the size is WxH, for example 320x240"};
  if (size->first < 1 || size->first > kMaxSide || size->second < 1 || size->second > kMaxSide) {
    throw BadValue{"each side must be from 1 to 4096 pixels"};
  }
  return Resize{static_cast<int32_t>(size->first), static_cast<int32_t>(size->second)};
}

Step MakeDepth(const std::string& v) {
  const auto n = ParseInt(v);
  if (!n || !IsPictureDepth(static_cast<int>(*n))) throw BadValue{"the depth is 1, 4, 8, 16 or 24"};
  return Depth{static_cast<int>(*n)};
}

Step MakePick(const std::string& v) {
  const auto at = ParsePair(v, ',');
  if (!at || at->first < INT32_MIN || at->first > INT32_MAX || at->second < INT32_MIN || at->second > INT32_MAX) {
    throw BadValue{"the position is X,Y, for example 0,0"};
  }
  return Pick{static_cast<int32_t>(at->first), static_cast<int32_t>(at->second)};
}

// A flag's step, the same every time.
template <auto kStep>
Step Always(const std::string&) {
  return kStep;
}

template <typename T>
Step WithPath(const std::string& v) {
  return T{ParsePath(v)};
}

// One option: its name, the name of its value (none for a flag), its help,
// its group in the help, and the step it stands for.
struct Declared {
  const char* name;
  const char* value;
  const char* help;
  const char* group;
  Step (*make)(const std::string& value);
};

// clang-format off: one line an option.
const Declared kDeclared[] = {
    {"--dither", nullptr, "colour change: error diffusion (the default)", kSettings, Always<Dither{kDitherDiffusion}>},
    {"--no-dither", nullptr, "colour change: no dithering", kSettings, Always<Dither{kDitherNone}>},
    {"--ordered-dither", nullptr, "colour change: ordered dithering, an 8 x 8 Bayer pattern", kSettings,
     Always<Dither{kDitherOrdered}>},
    {"--optimized-palette", nullptr, "colour change: a palette fitted to the picture (the default)", kSettings,
     Always<PaletteKindSetting{kPaletteOptimized}>},
    {"--standard-palette", nullptr, "colour change: the fixed standard palette", kSettings,
     Always<PaletteKindSetting{kPaletteStandard}>},
    {"--quality-palette", nullptr,
     "colour change: a palette fitted to every pixel as the console shows it, each pixel given the exact nearest "
     "entry; slower, closer to the picture",
     kSettings, Always<PaletteKindSetting{kPaletteQuality}>},
    {"--palette-file", "FILE",
     "colour change: the palette of FILE, in its order (.gpl, .pal, .act, .hex, .txt, or a picture with a palette); "
     "entry 0 stays the transparent slot at 4 and 8 bits",
     kSettings, [](const std::string& v) -> Step { return PaletteFile{ParsePath(v)}; }},
    {"--precision", "N", "colour change: precision 1..16 [8]", kSettings,
     [](const std::string& v) -> Step {
       return Precision{ParseWhole(v, 1, 16, "the precision is a whole number from 1 to 16")};
     }},
    {"--report", nullptr,
     "colour change: after each depth step print PSNR and mean Oklab difference (x 100) against the picture before it, "
     "as the console shows the result",
     kSettings, Always<Report{}>},
    {"--shared-palette", nullptr,
     "colour change: one optimised palette fitted to all inputs together, the same in every output", kSettings,
     Always<SharedPalette{}>},
    {"--form", "FORM", "export form: bitmap, texture or character [what the convert dialog preselects]", kSettings,
     MakeForm},
    {"--binary", nullptr, "export output: binary data (the default)", kSettings, Always<Output{kOutputBinary}>},
    {"--text", nullptr, "export output: BASIC text of DATA lines", kSettings, Always<Output{kOutputText}>},
    {"--lzss", nullptr, "export compression: LZSS", kSettings, Always<Lzss{1}>},
    {"--no-lzss", nullptr, "export compression: none (the default)", kSettings, Always<Lzss{0}>},
    {"--palette", nullptr, "export palette: on (the default for pictures of 8 bits or fewer)", kSettings,
     Always<PaletteBox{1}>},
    {"--no-palette", nullptr, "export palette: off", kSettings, Always<PaletteBox{0}>},
    {"--resize", "WxH", "scale to W x H pixels (1..4096 each); clears transparency first", kSteps, MakeResize},
    {"--depth", "BITS", "change to 1, 4, 8, 16 or 24 bits; clears transparency first", kSteps, MakeDepth},
    {"--pick", "X,Y", "pick the colour of picture pixel (X, Y); outside: the key colour", kSteps, MakePick},
    {"--pick-color", "RRGGBB", "set the picked colour", kSteps,
     [](const std::string& v) -> Step { return PickColour{ParseColour(v)}; }},
    {"--transparent", nullptr, "make the picked colour transparent", kSteps, Always<Transparent{}>},
    {"--save-bmp", "PATH", "save as a Windows bitmap", kSteps, WithPath<SaveBmp>},
    {"--save-palette", "PATH",
     "save the palette of a picture of 8 bits or fewer (.gpl, .pal, .act, .hex); after --shared-palette a path without "
     "{name} or {n} is written once, for all inputs",
     kSteps, WithPath<SavePalette>},
    {"--export", "PATH", "export console data with the current settings", kSteps, WithPath<Export>},
    {"--info", nullptr, "print WIDTHxHEIGHTxBITS", kSteps, Always<Info{}>},
};
// clang-format on

const Declared* Find(const std::string& name) {
  for (const Declared& d : kDeclared) {
    if (name == d.name) return &d;
  }
  return nullptr;
}

}  // namespace

Parser::Parser() : m_app(kDescription, kName) {
  m_app.footer(kFooter);
  m_app.set_version_flag("--version", std::string(kName) + " " + kVersion, "print the version and exit");
  m_app.set_help_flag("-h,--help", "print this help and exit");
  m_app.add_option("INPUT", m_inputs, "the pictures to load, each run through the same steps");
  auto value = [this](const std::string& name, const std::string& type, const std::string& help, const char* group) {
    m_app.add_option(name, help)->type_name(type)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->group(group);
  };
  value("--key-color", "RRGGBB", "transparent key colour (red, green, blue in hex); only before INPUT; default C0C0C0",
        kOptions);
  value("-j,--jobs", "N", "run N inputs at a time [the number of processor cores]", kOptions);
  for (const Declared& d : kDeclared) {
    if (d.value != nullptr) {
      value(d.name, d.value, d.help, d.group);
    } else {
      m_app.add_flag(d.name, d.help)->disable_flag_override()->group(d.group);
    }
  }
  m_lzss = m_app.add_subcommand("lzss", "compress a file into an LZSS stream (encode) or expand one (decode)");
  m_lzss->add_option("VERB", m_lzssArgs[0], "encode or decode")->required()->check(CLI::IsMember({"encode", "decode"}));
  m_lzss->add_option("IN", m_lzssArgs[1], "the file to read")->required();
  m_lzss->add_option("OUT", m_lzssArgs[2], "the file to write")->required();
}

CommandLine Parser::Take() {
  CommandLine cl;
  cl.keyColour = kButtonFaceColour;
  bool optionAfterInputs = false;
  std::string firstStep;  // the name of the first setting or step
  auto beforeInput = [&firstStep] { return UsageError{firstStep + " comes before INPUT; give the input file first"}; };
  std::map<const CLI::Option*, size_t> used;  // values taken so far, per option
  for (const CLI::Option* option : m_app.parse_order()) {
    const size_t k = used[option]++;
    if (option->get_positional()) {
      if (m_inputs[k].empty()) throw UsageError{"an INPUT file name is empty"};
      if (cl.inputs.empty() && !firstStep.empty()) throw beforeInput();
      if (!cl.actions.empty() || optionAfterInputs) {
        throw UsageError{"unexpected argument " + m_inputs[k] + " (inputs come before the first option)"};
      }
      cl.inputs.push_back(m_inputs[k]);
      continue;
    }
    optionAfterInputs = !cl.inputs.empty();
    const std::string name = option->get_name();
    const std::string value = option->get_expected_max() > 0 ? option->results()[k] : std::string();
    const std::string given = value.empty() ? name : name + " " + value;
    try {
      if (name == "--key-color") {
        const uint32_t colour = ParseColour(value);
        if (!cl.inputs.empty()) throw UsageError{"--key-color is accepted only before INPUT"};
        cl.keyColour = colour;
      } else if (name == "--jobs") {
        cl.jobs =
            static_cast<unsigned>(ParseWhole(value, 1, 1024, "the number of pictures at a time is from 1 to 1024"));
      } else {
        cl.actions.push_back({Find(name)->make(value), given});
        if (firstStep.empty()) firstStep = name;
      }
    } catch (const BadValue& bad) {
      throw UsageError{name + " " + value + ": " + bad.why};
    }
  }
  if (cl.inputs.empty()) {
    if (!firstStep.empty()) throw beforeInput();
    throw UsageError{"no INPUT file given"};
  }
  return cl;
}

}  // namespace pixmill::cli
