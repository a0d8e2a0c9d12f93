#include "color/oklab.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pixmill {

double SrgbToLinear(double v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LinearToSrgb(double linear) {
  const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
  return c * 255.0;
}

const double* LinearTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int v = 0; v < 256; ++v) t[static_cast<size_t>(v)] = SrgbToLinear(v);
    return t;
  }();
  return table.data();
}

const double* ShownLinearTable() {
  static const std::array<double, 32> table = [] {
    std::array<double, 32> t{};
    for (int c = 0; c < 32; ++c) t[static_cast<size_t>(c)] = SrgbToLinear(ShownLevel(c));
    return t;
  }();
  return table.data();
}

LinearRgb OklabToLinear(const Oklab& c) {
  const double l1 = (c.L + 0.3963377774 * c.a) + 0.2158037573 * c.b;
  const double m1 = (c.L - 0.1055613458 * c.a) - 0.0638541728 * c.b;
  const double s1 = (c.L - 0.0894841775 * c.a) - 1.2914855480 * c.b;
  const double l = l1 * l1 * l1;
  const double m = m1 * m1 * m1;
  const double s = s1 * s1 * s1;
  return {(4.0767416621 * l - 3.3077115913 * m) + 0.2309699292 * s,
          (-1.2684380046 * l + 2.6097574011 * m) - 0.3413193965 * s,
          (-0.0041960863 * l - 0.7034186147 * m) + 1.7076147010 * s};
}

uint32_t OklabToRgb(const Oklab& c) {
  const LinearRgb lin = OklabToLinear(c);
  auto channel = [](double v) {
    const double s = LinearToSrgb(std::clamp(v, 0.0, 1.0));
    return static_cast<uint32_t>(std::clamp(std::lround(s), 0L, 255L));
  };
  return channel(lin.r) << 16 | channel(lin.g) << 8 | channel(lin.b);
}

}  // namespace pixmill
