// The straightforward LZSS match search: every start from the farthest to
// the nearest, byte by byte. Slow, and obviously right; the fast encoder must
// give the same bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace pixmill::oracle {

inline std::vector<uint8_t> PlainLzssEncode(const uint8_t* in, int32_t count) {
  std::vector<uint8_t> flags(1, 0);
  std::vector<uint8_t> data;
  int flagIndex = 0;
  int bitCounter = 0;
  auto push = [&](int bit) {
    flags[flagIndex] = static_cast<uint8_t>((flags[flagIndex] << 1) | bit);
    if (++bitCounter == 8) {
      bitCounter = 0;
      ++flagIndex;
      flags.push_back(0);
    }
  };
  int32_t p = 0;
  while (p < count) {
    int32_t bestLength = 0;
    int32_t bestDistance = 0;
    for (int32_t i = std::max(0, p - 2047); i <= p - 2; ++i) {
      int32_t j = 0;
      while (j < 34 && i + j < p && p + j < count && in[i + j] == in[p + j]) ++j;
      if (j > bestLength) {
        bestLength = j;
        bestDistance = p - i;
      }
      if (bestLength == 34) break;
    }
    if (bestLength < 3) {
      data.push_back(in[p]);
      push(0);
      p += 1;
    } else {
      data.push_back(static_cast<uint8_t>((bestDistance >> 3) & 255));
      data.push_back(static_cast<uint8_t>(((bestDistance & 7) << 5) + bestLength - 3));
      push(1);
      p += bestLength;
    }
  }
  if (bitCounter != 0) {
    flags[flagIndex] = static_cast<uint8_t>(flags[flagIndex] << (8 - bitCounter));
    ++flagIndex;
  }
  std::vector<uint8_t> out = {
      'L', 'Z', 'S', 'S', static_cast<uint8_t>(flagIndex >> 8), static_cast<uint8_t>(flagIndex & 0xFF)};
  out.insert(out.end(), flags.begin(), flags.begin() + flagIndex);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace pixmill::oracle
