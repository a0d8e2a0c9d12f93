// Export -> load -> export: a fuzzed picture (any depth, size, palette and
// pixels) exported with any choice the convert dialog allows, read back as
// its layout, must export to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/convert_rules.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "fuzz_input.h"
#include "image/image_buffer.h"

using namespace pixmill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int kBits[] = {1, 4, 8, 16, 24};
  fuzz::FuzzInput in(data, size);
  const int bits = kBits[in.Choice(5)];
  const int32_t w = 1 + in.Choice(64), h = 1 + in.Choice(64);
  const int form = in.Choice(3);
  const int choice = in.Byte();
  ImageBuffer picture;
  if (!picture.Create(w, h, bits).ok()) return 0;
  picture.m_transparentColor = in.Word() << 8 | in.Byte();
  for (int i = 0; i < PaletteEntriesFor(bits); ++i) {
    picture.SetPaletteColor(static_cast<uint32_t>(i), static_cast<uint32_t>(in.Word()) << 8 | in.Byte());
  }
  const size_t rowBytes = static_cast<size_t>(StrideFor(w, bits));
  const std::vector<uint8_t> pixels = in.RestAs(rowBytes * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(picture.Row(y), pixels.data() + rowBytes * static_cast<size_t>(y), rowBytes);

  ConvertDialogState d = StartConvertDialog(bits, w, h);
  const bool offered = form == kFormBitmap    ? d.enabled.bitmap
                       : form == kFormTexture ? d.enabled.texture
                                              : d.enabled.character;
  if (!offered) return 0;
  ClickForm(d, form);
  const ExportChoices c{form, choice & 1, (choice >> 1) & 1, (choice >> 2) & 1};
  if ((c.output && !d.enabled.text) || (c.lzss && !d.enabled.lzss) ||
      (c.palette != d.fields.palette && !d.enabled.palette))
    return 0;
  CharacterChoices characters;
  if (form == kFormCharacter) {
    characters.unique = (choice >> 3) & 1;
    characters.flips = (choice >> 4) & 1;
    characters.mapPath = (choice >> 5) & 1 ? "m.bas" : "m.map";
  }
  std::vector<uint8_t> file, map;
  ExportSummary summary;
  if (!ConvertedFileBytes(picture, c, characters, file, map, summary).ok()) return 0;

  ImageBuffer loaded;
  loaded.m_transparentColor = picture.m_transparentColor;  // the key colour, as a document sets it before a load
  Result r;
  if (form == kFormCharacter) {
    r = LoadCharacterBytes(loaded, file.data(), file.size(), "c", map.data(), map.size(), "m");
  } else {
    LoadOptions options;
    if (c.output != kOutputText || c.lzss)
      options.readAs = DataReading{bits > 8 ? 24 : bits, bits <= 8 && (form == kFormBitmap || c.palette)};
    r = LoadBytes(loaded, file.data(), file.size(), options);
  }
  if (!r.ok()) __builtin_trap();
  std::vector<uint8_t> again, mapAgain;
  if (!ConvertedFileBytes(loaded, c, characters, again, mapAgain, summary).ok()) __builtin_trap();
  if (again != file || mapAgain != map) __builtin_trap();
  return 0;
}
