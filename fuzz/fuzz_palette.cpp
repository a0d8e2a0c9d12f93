// Palette files of every format: read under a name of each extension (or
// none); what reads is written in every format and must read back as the
// same colours.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "color/palette_file.h"
#include "fuzz_input.h"

using pixmill::PaletteFormat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"p.gpl", "p.pal", "p.act", "p.hex", "p.txt", "p", "p.dat"};
  pixmill::fuzz::FuzzInput in(data, size);
  const std::string name = kNames[in.Choice(7)];
  const std::vector<uint8_t> bytes = in.Rest();
  std::vector<uint32_t> colours;
  if (!pixmill::ParsePalette(name, bytes.data(), bytes.size(), colours).ok()) return 0;
  if (colours.empty() || colours.size() > 256) __builtin_trap();
  const struct {
    PaletteFormat format;
    const char* name;
  } kWritten[] = {{PaletteFormat::kGimp, "w.gpl"},
                  {PaletteFormat::kJasc, "w.pal"},
                  {PaletteFormat::kAct, "w.act"},
                  {PaletteFormat::kHex, "w.hex"},
                  {PaletteFormat::kRiff, "w.pal"}};
  for (const auto& w : kWritten) {
    const std::string file = pixmill::FormatPalette(w.format, colours, "fuzz");
    std::vector<uint32_t> again;
    const pixmill::Result r =
        pixmill::ParsePalette(w.name, reinterpret_cast<const uint8_t*>(file.data()), file.size(), again);
    if (!r.ok() || again != colours) __builtin_trap();
  }
  return 0;
}
