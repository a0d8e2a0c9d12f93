// The command line once parsed: the inputs, the key colour, how many inputs
// run at a time, and the settings and steps in the order given, each as a
// typed value. A setting changes how the later steps work; a step does
// something to the picture or with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "image/choices.h"

namespace pixmill::cli {

// Settings.
struct Dither {
  int mode;  // a DitherMode
};
struct PaletteKindSetting {
  int kind;  // kPaletteOptimized, kPaletteStandard or kPaletteQuality
};
struct PaletteFile {
  std::string file;  // read when the setting is reached
};
struct Precision {
  int value;
};
struct Report {};
struct SharedPalette {};
struct Form {
  int form;  // an ExportForm
};
struct Output {
  int output;  // an ExportOutput
};
struct Lzss {
  int on;
};
struct PaletteBox {
  int on;
};
struct CellMargin {
  int32_t pixels;
};
struct CellSpacing {
  int32_t pixels;
};
struct SkipEmpty {};
struct RiffPalette {};
struct Unique {};
struct Flips {};
struct MaxCharacters {
  int count;
};
struct SharedCharacters {};
// The map goes with the next character export; its path is an output path.
struct MapFile {
  std::string path;
};

// Steps. Those that write a file have a `path`, which may hold placeholders.
struct Cells {
  int32_t width;
  int32_t height;
};
struct Resize {
  int32_t width;
  int32_t height;
};
struct Depth {
  int bits;
};
struct Pick {
  int32_t x;
  int32_t y;
};
struct PickColour {
  uint32_t colour;  // COLORREF
};
struct Transparent {};
struct SaveBmp {
  std::string path;
};
struct SavePng {
  std::string path;
};
struct SavePalette {
  std::string path;
};
struct Export {
  std::string path;
};
struct Info {};

using Step = std::variant<Dither, PaletteKindSetting, PaletteFile, Precision, Report, SharedPalette, Form, Output, Lzss,
                          PaletteBox, CellMargin, CellSpacing, SkipEmpty, RiffPalette, Unique, Flips, MaxCharacters,
                          SharedCharacters, MapFile, Cells, Resize, Depth, Pick, PickColour, Transparent, SaveBmp,
                          SavePng, SavePalette, Export, Info>;

// A step with the words it was given by, for messages ("--resize 320x240").
struct Action {
  Step step;
  std::string given;
};

// The path pattern of a step that writes a file, or null.
inline const std::string* OutputPath(const Step& step) {
  return std::visit(
      [](const auto& s) -> const std::string* {
        if constexpr (requires { s.path; }) {
          return &s.path;
        } else {
          return nullptr;
        }
      },
      step);
}

struct CommandLine {
  uint32_t keyColour = 0;
  std::string charMap;                // the map of a character export given as the input
  std::optional<DataReading> readAs;  // how exported data inputs are read
  std::vector<std::string> inputs;
  std::vector<Action> actions;
  unsigned jobs = 0;  // 0: one per processor core
};

// What the user got wrong; pixmill-cli says it and exits with status 2.
struct UsageError {
  std::string message;
};

}  // namespace pixmill::cli
