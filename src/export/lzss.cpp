#include "export/lzss.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pixmill {

namespace {

constexpr int kHashBits = 16;
constexpr uint32_t kHashSize = 1u << kHashBits;

inline uint32_t Hash3(const uint8_t* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

// Collects flag bits most significant first.
class FlagWriter {
 public:
  void Push(int bit) {
    current_ = static_cast<uint8_t>((current_ << 1) | bit);
    if (++bits_ == 8) {
      bytes_.push_back(current_);
      current_ = 0;
      bits_ = 0;
    }
  }
  void Finish() {
    if (bits_ != 0) {
      bytes_.push_back(static_cast<uint8_t>(current_ << (8 - bits_)));
      current_ = 0;
      bits_ = 0;
    }
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t current_ = 0;
  int bits_ = 0;
};

std::string TooManyFlags(int64_t flagBytes) {
  return "the LZSS stream would need " + std::to_string(flagBytes) + " flag bytes; at most " +
         std::to_string(LzssCodec::kMaxFlagBytes) + " fit";
}

}  // namespace

bool HasLzssMagic(const uint8_t* data, size_t size) {
  return size >= 4 && std::memcmp(data, kLzssMagic, 4) == 0;
}

// The match search gives exactly the answer of trying every start from the
// farthest (p - 2047) to the nearest, keeping a strictly longer agreement
// and stopping at 34: the longest agreement, and among equals the farthest.
// Only starts whose first three bytes agree can reach the minimum length, so
// those are the only ones visited, in the same farthest-first order, through
// per-hash chains of earlier positions.
Result LzssCodec::Encode(const uint8_t* src, int64_t count) {
  m_result.clear();
  if (count < 0) return Result::Refused("negative input size");
  // Every token covers at most 34 bytes; more tokens than the flag count can
  // describe means the stream cannot be written.
  const int64_t minFlagBytes = (count / kMaxMatch + 7) / 8;
  if (minFlagBytes > kMaxFlagBytes) {
    return Result::Refused("the LZSS stream would need at least " + std::to_string(minFlagBytes) +
                           " flag bytes; at most " + std::to_string(kMaxFlagBytes) + " fit");
  }

  if (m_progress) m_progress->SetRange(0, static_cast<int>(count / 32));

  const int32_t n = static_cast<int32_t>(count);
  std::vector<int32_t> first(kHashSize, -1);
  std::vector<int32_t> last(kHashSize, -1);
  std::vector<int32_t> next(static_cast<size_t>(std::max<int32_t>(n, 1)), -1);
  int32_t inserted = 0;  // positions below this are in the chains

  FlagWriter flags;
  std::vector<uint8_t> data;
  data.reserve(static_cast<size_t>(n) + static_cast<size_t>(n) / 8 + 16);

  int32_t p = 0;
  while (p < n) {
    int32_t bestLength = 0;
    int32_t bestStart = 0;
    const int32_t remaining = n - p;
    if (remaining >= kMinMatch) {
      // A start i can only reach 3 when i + 3 <= p.
      while (inserted + kMinMatch <= p) {
        const uint32_t h = Hash3(src + inserted);
        next[static_cast<size_t>(inserted)] = -1;
        if (last[h] < 0) {
          first[h] = inserted;
        } else {
          next[static_cast<size_t>(last[h])] = inserted;
        }
        last[h] = inserted;
        ++inserted;
      }
      const uint32_t h = Hash3(src + p);
      const int32_t lowest = std::max(0, p - kMaxDistance);
      int32_t c = first[h];
      while (c >= 0 && c < lowest) c = next[static_cast<size_t>(c)];
      first[h] = c;
      if (c < 0) last[h] = -1;

      const int32_t limit = std::min<int32_t>(kMaxMatch, remaining);
      const uint8_t* target = src + p;
      for (; c >= 0; c = next[static_cast<size_t>(c)]) {
        const int32_t reach = std::min(limit, p - c);  // no overlap, no run past the end
        if (reach <= bestLength) break;                // later starts are nearer: they reach less
        const uint8_t* cand = src + c;
        if (cand[0] != target[0] || cand[1] != target[1] || cand[2] != target[2]) continue;
        int32_t j = kMinMatch;
        while (j < reach && cand[j] == target[j]) ++j;
        if (j > bestLength) {
          bestLength = j;
          bestStart = c;
          if (bestLength == limit) break;
        }
      }
    }

    if (bestLength < kMinMatch) {
      data.push_back(src[p]);
      flags.Push(0);
      p += 1;
    } else {
      const int32_t distance = p - bestStart;
      data.push_back(static_cast<uint8_t>((distance >> 3) & 0xFF));
      data.push_back(static_cast<uint8_t>(((distance & 7) << 5) + bestLength - kMinMatch));
      flags.Push(1);
      p += bestLength;
    }
    if (m_progress && p % 32 == 0) m_progress->SetPosition(p / 32);
  }
  if (m_progress) m_progress->SetPosition(0);
  flags.Finish();

  const size_t flagBytes = flags.Bytes().size();
  if (flagBytes > static_cast<size_t>(kMaxFlagBytes)) return Result::Refused(TooManyFlags(static_cast<int64_t>(flagBytes)));
  m_result.resize(kHeaderSize + flagBytes + data.size());
  std::memcpy(m_result.data(), kLzssMagic, 4);
  m_result[4] = static_cast<uint8_t>(flagBytes >> 8);
  m_result[5] = static_cast<uint8_t>(flagBytes & 0xFF);
  if (flagBytes) std::memcpy(m_result.data() + kHeaderSize, flags.Bytes().data(), flagBytes);
  if (!data.empty()) std::memcpy(m_result.data() + kHeaderSize + flagBytes, data.data(), data.size());
  return Result::Done();
}

Result LzssCodec::Decode(const uint8_t* s, int64_t size) {
  m_result.clear();
  if (size < kHeaderSize) {
    return Result::Refused("the LZSS stream is " + std::to_string(size) +
                           " bytes long, shorter than its 6-byte header");
  }
  const int64_t flagCount = s[4] * 256 + s[5];
  if (kHeaderSize + flagCount > size) {
    return Result::Refused("the LZSS stream declares " + std::to_string(flagCount) + " flag bytes but holds only " +
                           std::to_string(size - kHeaderSize) + " bytes after its header");
  }
  const uint8_t* flags = s + kHeaderSize;
  const int64_t tokenLimit = flagCount * 8;

  // First pass: check every token and find the exact output size.
  int64_t out = 0;
  int64_t r = kHeaderSize + flagCount;
  for (int64_t t = 0; r < size; ++t) {
    if (t >= tokenLimit) {
      return Result::Refused("the LZSS stream holds more tokens than its " + std::to_string(tokenLimit) +
                             " flag bits (data left at offset " + std::to_string(r) + ")");
    }
    if ((flags[t >> 3] >> (7 - (t & 7))) & 1) {
      if (r + 1 >= size) {
        return Result::Refused("the LZSS match at offset " + std::to_string(r) + " lacks its second byte");
      }
      const int64_t distance = s[r] * 8 + (s[r + 1] >> 5);
      const int64_t length = (s[r + 1] & 31) + kMinMatch;
      if (distance == 0) {
        return Result::Refused("the LZSS match at offset " + std::to_string(r) + " has distance 0");
      }
      if (distance > out) {
        return Result::Refused("the LZSS match at offset " + std::to_string(r) + " reaches " +
                               std::to_string(distance) + " bytes back, before the start of the output (" +
                               std::to_string(out) + " bytes so far)");
      }
      out += length;
      r += 2;
    } else {
      out += 1;
      r += 1;
    }
  }

  std::vector<uint8_t> output(static_cast<size_t>(out));
  uint8_t* o = output.data();
  size_t w = 0;
  r = kHeaderSize + flagCount;
  for (int64_t t = 0; r < size; ++t) {
    if ((flags[t >> 3] >> (7 - (t & 7))) & 1) {
      const size_t distance = static_cast<size_t>(s[r] * 8 + (s[r + 1] >> 5));
      const size_t length = static_cast<size_t>((s[r + 1] & 31) + kMinMatch);
      const uint8_t* from = o + w - distance;
      if (distance >= length) {
        std::memcpy(o + w, from, length);
      } else {
        // Overlapping: each byte may be one this match has just written.
        for (size_t k = 0; k < length; ++k) o[w + k] = from[k];
      }
      w += length;
      r += 2;
    } else {
      o[w++] = s[r++];
    }
  }
  m_result = std::move(output);
  return Result::Done();
}

void LzssCodec::CopyTo(uint8_t* destination) const {
  if (!m_result.empty()) std::memcpy(destination, m_result.data(), m_result.size());
}

}  // namespace pixmill
