// Exported data of every layout, whole and compressed: a header of a
// fuzzed size, then bytes of the exact length the layout needs, read as
// that layout and as the loader finds it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/loader.h"
#include "export/lzss.h"
#include "fuzz_input.h"
#include "image/image_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pixmill::DataReading kReadings[] = {{24, false}, {8, true}, {8, false}, {4, true},
                                                   {4, false},  {1, true}, {1, false}};
  pixmill::fuzz::FuzzInput in(data, size);
  const pixmill::DataReading reading = kReadings[in.Choice(7)];
  const int flags = in.Byte();
  const uint32_t w = in.Word() % 300, h = in.Word() % 300;
  const uint64_t p = uint64_t{w} * h;
  const size_t palette = reading.palette ? 2 * static_cast<size_t>(pixmill::PaletteEntriesFor(reading.depth)) : 0;
  const size_t pixels = reading.depth > 8 ? 2 * p : p * reading.depth / 8;
  std::vector<uint8_t> file = {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w), static_cast<uint8_t>(h >> 8),
                               static_cast<uint8_t>(h)};
  const std::vector<uint8_t> body = in.RestAs(palette + pixels + (flags & 2 ? flags >> 4 : 0));
  file.insert(file.end(), body.begin(), body.end());
  if (flags & 1) {
    pixmill::LzssCodec codec;
    if (!codec.Encode(file.data(), static_cast<int64_t>(file.size())).ok()) __builtin_trap();
    file = codec.TakeBytes();
  }
  for (const bool asked : {true, false}) {
    pixmill::LoadOptions options;
    if (asked) options.readAs = reading;
    pixmill::LoadNotes notes;
    pixmill::ImageBuffer image;
    const pixmill::Result r = pixmill::LoadBytes(image, file.data(), file.size(), options, &notes);
    // Data of the exact size and a picture's worth of pixels read as asked.
    const bool exact = (flags & 2) == 0 || (flags >> 4) == 0;
    if (asked && exact && w > 0 && h > 0 && !r.ok()) __builtin_trap();
    if (!r.ok()) continue;
    if (asked && exact &&
        (image.Width() != static_cast<int32_t>(w) || image.Height() != static_cast<int32_t>(h) ||
         image.BitCount() != reading.depth))
      __builtin_trap();
    if (!asked && exact && notes.readings.empty()) __builtin_trap();
  }
  return 0;
}
