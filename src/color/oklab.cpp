#include "color/oklab.h"

#include <array>
#include <cmath>

namespace pixmill {

double SrgbToLinear(double v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
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

}  // namespace pixmill
