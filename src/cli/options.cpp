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

  pixmill-cli [--key-color RRGGBB] [--read-as FORM,DEPTH[,palette]] INPUT... [SETTING | STEP]...
  pixmill-cli [--char-map MAP] CHARACTERS [SETTING | STEP]...
  pixmill-cli lzss encode|decode IN OUT

INPUT is loaded like the program's Open: data Pixmill exported (binary or
text, plain or LZSS-compressed), a PNG file, or a Windows bitmap; with
--char-map, a character export and its map. Binary exported data name no
layout, and their size tells it; when the size fits two, the first reading
is taken and a note names the other, which --read-as chooses. Then the steps
run from left to right; the run stops at the first step that fails. Settings
apply to every later step.

Every argument before the first option is an input. Each input runs the same
steps as its own picture, and ends with a line "INPUT: done" or "INPUT: failed
at STEP: REASON"; a failed input does not stop the others. Output paths may
hold {name} (the input's file name without its extension), {ext} (its
extension), {dir} (its folder) and {n} (its position, from 0); with several
inputs each output path needs {name} or {n}. Folders are not created.

After --cells every later step runs on each cell as its own picture, and
output paths take {cell} (its index from 0 among the cells kept), {col} and
{row}; each needs {cell} (or {col} and {row}), but for --export without them,
which writes all the cells in one file, one after another, each laid out as
it would be alone but for the palette, which comes once in front (so cell k
starts at k times a cell's size after it), and --save-palette when the cells'
palette is one.

A map (--map) is big-endian 16-bit words: the width and height in cells,
then one word per cell, rows from the top: the character's number in bits
0-13, bit 14 set when the cell is it mirrored left-right, bit 15 top-bottom.)";

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

// FORM,DEPTH[,palette]: how exported data are read.
DataReading ParseReading(const std::string& v) {
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    const size_t comma = v.find(',', from);
    parts.push_back(v.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  const char* form = "the reading is FORM,DEPTH or FORM,DEPTH,palette, for example texture,8,palette";
  if (parts.size() < 2 || parts.size() > 3) throw BadValue{form};
  if (parts[0] == "character") throw BadValue{"a character export is read with --char-map MAP"};
  if (parts[0] != "bitmap" && parts[0] != "texture") throw BadValue{"the form is bitmap or texture"};
  const auto depth = ParseInt(parts[1]);
  if (!depth || (*depth != 1 && *depth != 4 && *depth != 8 && *depth != 24)) {
    throw BadValue{"the depth is 1, 4, 8 or 24 (16-bit data are text exports, which name their layout)"};
  }
  const bool palette = parts.size() == 3;
  if (palette && parts[2] != "palette") throw BadValue{form};
  if (palette && *depth == 24) throw BadValue{"24-bit data have no palette"};
  return DataReading{static_cast<int>(*depth), palette};
}

std::pair<int32_t, int32_t> ParseSize(const std::string& v) {
  const auto size = ParsePair(v, 'x');
  if (!size) throw BadValue{"the size is WxH, for example 320x240"};
  if (size->first < 1 || size->first > kMaxSide || size->second < 1 || size->second > kMaxSide) {
    throw BadValue{"each side must be from 1 to 4096 pixels"};
  }
  return {static_cast<int32_t>(size->first), static_cast<int32_t>(size->second)};
}

Step MakeResize(const std::string& v) {
  const auto [w, h] = ParseSize(v);
  return Resize{w, h};
}

Step MakeCells(const std::string& v) {
  const auto [w, h] = ParseSize(v);
  return Cells{w, h};
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

// One entry an option.
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
     "after each depth step print PSNR and mean Oklab difference (x 100) against the picture before it, as the "
     "console shows the result; after each export the size it came to",
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
    {"--riff-palette", nullptr, "palette saves: a .pal file as a RIFF palette (the default: JASC)", kSettings,
     Always<RiffPalette{}>},
    {"--unique", nullptr, "character export: only the distinct 8 x 8 blocks, in the order they first appear", kSettings,
     Always<Unique{}>},
    {"--flips", nullptr,
     "character export: with --unique, a block mirrored left-right, top-bottom or both counts as that block", kSettings,
     Always<Flips{}>},
    {"--max-characters", "N", "character export: at most N blocks, the closest ones merged (with --unique)", kSettings,
     [](const std::string& v) -> Step {
       return MaxCharacters{ParseWhole(v, 0, 65535, "the budget is a whole number of characters")};
     }},
    {"--map", "PATH",
     "character export: the map of the cells to the blocks, written with the next character export (a .bas name: as "
     "text)",
     kSettings, WithPath<MapFile>},
    {"--shared-characters", nullptr,
     "character export: with --unique, one set over all inputs (or cells), written once, and a map for each", kSettings,
     Always<SharedCharacters{}>},
    {"--cell-margin", "PX", "cells: the border around the whole grid [0]", kSettings,
     [](const std::string& v) -> Step {
       return CellMargin{ParseWhole(v, 0, kMaxSide, "the margin is 0 to 4096 pixels")};
     }},
    {"--cell-spacing", "PX", "cells: the gap between cells [0]", kSettings,
     [](const std::string& v) -> Step {
       return CellSpacing{ParseWhole(v, 0, kMaxSide, "the spacing is 0 to 4096 pixels")};
     }},
    {"--skip-empty", nullptr, "cells: leave out the cells whose pixels are all transparent", kSettings,
     Always<SkipEmpty{}>},
    {"--cells", "WxH",
     "cut the picture into cells of W x H pixels (1..4096 each), rows from the top left; every later step runs on each "
     "cell as its own picture",
     kSteps, MakeCells},
    {"--resize", "WxH", "scale to W x H pixels (1..4096 each); clears transparency first", kSteps, MakeResize},
    {"--depth", "BITS", "change to 1, 4, 8, 16 or 24 bits; clears transparency first", kSteps, MakeDepth},
    {"--pick", "X,Y", "pick the colour of picture pixel (X, Y); outside: the key colour", kSteps, MakePick},
    {"--pick-color", "RRGGBB", "set the picked colour", kSteps,
     [](const std::string& v) -> Step { return PickColour{ParseColour(v)}; }},
    {"--transparent", nullptr, "make the picked colour transparent", kSteps, Always<Transparent{}>},
    {"--save-bmp", "PATH", "save as a Windows bitmap", kSteps, WithPath<SaveBmp>},
    {"--save-png", "PATH", "save as a PNG file (index 0, or the key colour, transparent where pixels have it)", kSteps,
     WithPath<SavePng>},
    {"--save-palette", "PATH",
     "save the palette of a picture of 8 bits or fewer (.gpl, .pal, .act, .hex); after --shared-palette a path without "
     "{name} or {n} is written once, for all inputs",
     kSteps, WithPath<SavePalette>},
    {"--export", "PATH", "export console data with the current settings", kSteps, WithPath<Export>},
    {"--info", nullptr, "print WIDTHxHEIGHTxBITS", kSteps, Always<Info{}>},
};

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
  value("--read-as", "FORM,DEPTH[,palette]",
        "read exported data inputs so (FORM bitmap or texture, which read alike; DEPTH 1, 4, 8 or 24; palette when "
        "one follows the header), for data whose size fits more than one layout; only before INPUT",
        kOptions);
  value("--char-map", "MAP", "read INPUT as a character export whose map is MAP; only before INPUT", kOptions);
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
      } else if (name == "--read-as") {
        if (!cl.inputs.empty()) throw UsageError{"--read-as is accepted only before INPUT"};
        cl.readAs = ParseReading(value);
      } else if (name == "--char-map") {
        if (!cl.inputs.empty()) throw UsageError{"--char-map is accepted only before INPUT"};
        cl.charMap = ParsePath(value);
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
  if (!cl.charMap.empty() && cl.inputs.size() > 1) {
    throw UsageError{"--char-map " + cl.charMap + " is the map of one character export; give one INPUT"};
  }
  return cl;
}

}  // namespace pixmill::cli
