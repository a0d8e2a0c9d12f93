// The program's one fixed palette: 256 console colour words, used for the
// "standard" palette choice and for exported data that carry no palette.
#pragma once

#include <array>
#include <cstdint>

namespace pixmill {

// Console colour words (red in bits 0-4, green 5-9, blue 10-14, bit 15
// clear). Entries 0 and 1 are black; 2-16 the sixteen basic colours up to
// white; then a grey ramp, colour ramps and a ring of muted hues; 255 white.
extern const std::array<uint16_t, 256> kStandardPalette;

// palette[i] = the standard colour i as 0x00RRGGBB for i < count (2, 16 or
// 256); the 2-entry palette is black and white (0x00F8F8F8).
void FillStandardPalette(uint32_t palette[], int count);

}  // namespace pixmill
