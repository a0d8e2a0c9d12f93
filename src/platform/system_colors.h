// The colour of button faces. On this platform there is no system colour to
// ask for, so it is a fixed grey. It is the transparent key colour, the colour
// transparent pixels are shown in and the value of "no transparent colour",
// so the program, the command line and the tests all take it from here.
#pragma once

#include <cstdint>

namespace pixmill {

// COLORREF order (red in the low byte): red, green and blue all 0xC0.
inline constexpr uint32_t kButtonFaceColour = 0x00C0C0C0;

}  // namespace pixmill
