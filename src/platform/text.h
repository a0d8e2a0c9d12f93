// Colours written as text: six hex digits RRGGBB, as the command line and
// the hex palette files give them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pixmill {

// RRGGBB, exactly six hex digits in either case, as 0x00RRGGBB.
constexpr std::optional<uint32_t> ParseRgbHex(std::string_view text) {
  if (text.size() != 6) return std::nullopt;
  uint32_t v = 0;
  for (const char c : text) {
    const int d = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  return v;
}

}  // namespace pixmill
