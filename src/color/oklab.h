// Colours in Oklab (a perceptual colour space: L lightness 0..1, a
// green-red, b blue-yellow), and how the console shows a stored colour.
//
// Everything is double precision. The conversions into Oklab use, past two
// small tables made once with the C library's pow (the linear light of the
// 256 channel values and of the 32 shown levels), only +, -, *, / and
// comparisons, the cube root being our own Halley iteration: with
// -ffp-contract=off a colour always gives the same bits.
//
// The console keeps 5 bits per channel: a stored channel v becomes c = v >> 3
// and is shown as c * 255 / 31. The hardware rounds that down to a whole
// level; we measure and match with the exact quotient in double instead, which
// is the colour the console's 5-bit value stands for and differs from the
// shown level by less than one step of 8 bits.
#pragma once

#include <cstdint>
#include <cstring>

namespace pixmill {

struct Oklab {
  double L = 0;
  double a = 0;
  double b = 0;
};

inline double OklabDistance2(const Oklab& p, const Oklab& q) {
  const double dL = p.L - q.L;
  const double da = p.a - q.a;
  const double db = p.b - q.b;
  return (dL * dL + da * da) + db * db;
}

// The real cube root: a first guess from the exponent bits, then three
// Halley steps (each triples the correct digits: 5% -> 1e-4 -> 1e-12 ->
// rounding). Exact for 0.
inline double CubeRoot(double x) {
  if (x == 0) return 0;
  const bool negative = x < 0;
  const double v = negative ? -x : x;
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  bits = bits / 3 + 0x2A9F7893782DA1CEull;
  double y;
  std::memcpy(&y, &bits, sizeof y);
  for (int i = 0; i < 3; ++i) {
    const double y3 = y * y * y;
    y = y * (y3 + v + v) / (y3 + y3 + v);
  }
  return negative ? -y : y;
}

// An sRGB channel on the 0..255 scale (need not be whole) to linear light
// 0..1.
double SrgbToLinear(double v);

// SrgbToLinear of the 256 whole channel values.
const double* LinearTable();

inline Oklab LinearToOklab(double r, double g, double b) {
  const double l = CubeRoot((0.4122214708 * r + 0.5363325363 * g) + 0.0514459929 * b);
  const double m = CubeRoot((0.2119034982 * r + 0.6806995451 * g) + 0.1073969566 * b);
  const double s = CubeRoot((0.0883024619 * r + 0.2817188376 * g) + 0.6299787005 * b);
  return {(0.2104542553 * l + 0.7936177850 * m) - 0.0040720468 * s,
          (1.9779984951 * l - 2.4285922050 * m) + 0.4505937099 * s,
          (0.0259040371 * l + 0.7827717662 * m) - 0.8086757660 * s};
}

// 0x00RRGGBB (the top byte ignored) as it is, 8 bits a channel.
inline Oklab RgbToOklab(uint32_t rgb) {
  const double* lin = LinearTable();
  return LinearToOklab(lin[(rgb >> 16) & 0xFF], lin[(rgb >> 8) & 0xFF], lin[rgb & 0xFF]);
}

// The console's view of a colour: the 5-bit value kept of a stored channel
// (the low byte of `v`), and the level 0..255 it is measured as.
inline int Channel5(uint32_t v) { return static_cast<int>((v & 0xFF) >> 3); }
inline double ShownLevel(int c5) { return c5 * 255.0 / 31.0; }
// SrgbToLinear of the 32 shown levels.
const double* ShownLinearTable();
// The stored 0x00RRGGBB of a 5-bit colour: each channel c << 3.
constexpr uint32_t StoredRgb(int r5, int g5, int b5) {
  return static_cast<uint32_t>(r5) << 19 | static_cast<uint32_t>(g5) << 11 | static_cast<uint32_t>(b5) << 3;
}
// A stored colour (any 0x00RRGGBB; only the top 5 bits of each channel
// count) as the console shows it, in Oklab.
inline Oklab ShownOklab(uint32_t rgb) {
  const double* lin = ShownLinearTable();
  return LinearToOklab(lin[Channel5(rgb >> 16)], lin[Channel5(rgb >> 8)], lin[Channel5(rgb)]);
}

}  // namespace pixmill
