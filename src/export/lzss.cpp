#include "export/lzss.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pixmill {

namespace {

constexpr int kHashBits = 16;
constexpr uint32_t kHashSize = 1u << kHashBits;
constexpr size_t kRingSize = 2048;  // more than the window of 2047
constexpr size_t kRingMask = kRingSize - 1;

inline uint32_t Hash3(const uint8_t* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

// How many of the first `reach` bytes of a and b agree; eight at a time,
// reading nothing past a + reach or b + reach.
inline int32_t Agreement(const uint8_t* a, const uint8_t* b, int32_t reach) {
  int32_t j = 0;
  for (; j + 8 <= reach; j += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + j, 8);
    std::memcpy(&y, b + j, 8);
    if (const uint64_t d = x ^ y) return j + __builtin_ctzll(d) / 8;
  }
  while (j < reach && a[j] == b[j]) ++j;
  return j;
}

// Earlier positions in the window, chained by a hash of their first 3 bytes,
// oldest first. A position leaves its chain when it falls out of the window;
// it is then the oldest of its chain, so leaving is O(1), and the links of
// the window fit a ring of 2048 entries.
class HashChains {
 public:
  // One slot more than the ring: the link an empty chain writes to nowhere.
  HashChains() : chains_(kHashSize), next_(kRingSize + 1, -1), hashOf_(kRingSize, 0) {}

  // Moves the window on by one position: the position 2047 + 1 before p
  // leaves (once there is one), then p - 3 comes in (once it exists). Leaving
  // first matters: an entering position takes the ring slot of the one 2048
  // before it.
  void Step(const uint8_t* src, int32_t p) {
    if (p - LzssCodec::kMaxDistance > evicted_) Evict();
    if (p - LzssCodec::kMinMatch >= inserted_) Insert(src);
  }

  int32_t First(const uint8_t* target) const { return chains_[Hash3(target)].first; }
  void Prefetch(const uint8_t* target) const { __builtin_prefetch(&chains_[Hash3(target)]); }
  int32_t Next(int32_t position) const { return next_[static_cast<size_t>(position) & kRingMask]; }

 private:
  struct Chain {
    int32_t first = -1;
    int32_t last = -1;
  };

  // Whether a chain empties or was empty is not predictable, so both
  // updates are done without branches. An empty chain is marked by its first
  // alone (all ones); its last is then ignored, so leaving is a single store
  // into the chain table rather than a read and a write.
  void Evict() {
    const size_t slot = static_cast<size_t>(evicted_) & kRingMask;
    Chain& chain = chains_[hashOf_[slot]];
    const int32_t after = next_[slot];
    chain.first = after;
    ++evicted_;
  }

  void Insert(const uint8_t* src) {
    const uint32_t h = Hash3(src + inserted_);
    const size_t slot = static_cast<size_t>(inserted_) & kRingMask;
    next_[slot] = -1;
    hashOf_[slot] = h;
    Chain& chain = chains_[h];
    const int32_t emptyMask = chain.first >> 31;
    const size_t mask = static_cast<size_t>(static_cast<int64_t>(emptyMask));
    const size_t linkSlot = ((static_cast<size_t>(chain.last) & kRingMask) & ~mask) | (kRingSize & mask);
    next_[linkSlot] = inserted_;
    chain.first = (chain.first & ~emptyMask) | (inserted_ & emptyMask);
    chain.last = inserted_;
    ++inserted_;
  }

  std::vector<Chain> chains_;
  std::vector<int32_t> next_;
  std::vector<uint32_t> hashOf_;
  int32_t inserted_ = 0;  // positions below this have been put in the chains
  int32_t evicted_ = 0;   // positions below this have left them
};

// Collects flag bits most significant first, without a branch per bit.
class FlagWriter {
 public:
  explicit FlagWriter(size_t maxTokens) : bytes_(maxTokens / 8 + 1, 0) {}
  void Push(int bit) {
    bytes_[tokens_ >> 3] = static_cast<uint8_t>(bytes_[tokens_ >> 3] | (bit << (7 - (tokens_ & 7))));
    ++tokens_;
  }
  // The flag bytes: the number of tokens divided by 8, rounded up.
  void Finish() { bytes_.resize((tokens_ + 7) / 8); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t tokens_ = 0;
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
// only those are visited, in the same farthest-first order, through
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
  HashChains chains;

  FlagWriter flags(static_cast<size_t>(n));
  std::vector<uint8_t> data(static_cast<size_t>(n) + 16);
  uint8_t* out = data.data();

  int32_t p = 0;
  while (p < n) {
    // Starting at 2 means only agreements of 3 or more count, and a best
    // below 3 is a literal as before.
    int32_t bestLength = kMinMatch - 1;
    int32_t bestStart = 0;
    const int32_t remaining = n - p;
    if (remaining >= kMinMatch) {
      // The chains hold the starts p - 2047 .. p - 3: a start i can only
      // reach 3 when i + 3 <= p.
      const int32_t limit = std::min<int32_t>(kMaxMatch, remaining);
      const uint8_t* target = src + p;
      // The next search is often one byte on, after a literal.
      if (remaining > kMinMatch) chains.Prefetch(target + 1);
      for (int32_t c = chains.First(target); c >= 0; c = chains.Next(c)) {
        const int32_t reach = std::min(limit, p - c);  // no overlap, no run past the end
        if (reach <= bestLength) break;                // later starts are nearer: they reach less
        const int32_t j = Agreement(src + c, target, reach);
        // Without a branch: which start wins is not predictable.
        const bool longer = j > bestLength;
        bestStart = longer ? c : bestStart;
        bestLength = longer ? j : bestLength;
        if (bestLength == limit) break;
      }
    }

    // Emit the token without a branch on its kind: a literal writes its
    // byte and moves on by one, a match writes two bytes and moves on by its
    // length.
    const int32_t match = bestLength >= kMinMatch;
    const int32_t distance = p - bestStart;
    const uint8_t first = static_cast<uint8_t>((distance >> 3) & 0xFF);
    out[0] = match ? first : src[p];
    out[1] = static_cast<uint8_t>(((distance & 7) << 5) + bestLength - kMinMatch);
    out += 1 + match;
    flags.Push(match);
    chains.Step(src, ++p);
    for (const int32_t end = p - 1 + (match ? bestLength : 1); p < end;) chains.Step(src, ++p);
    if (m_progress && p % 32 == 0) m_progress->SetPosition(p / 32);
  }
  if (m_progress) m_progress->SetPosition(0);
  flags.Finish();
  data.resize(static_cast<size_t>(out - data.data()));

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

  const int64_t start = kHeaderSize + flagCount;
  auto flagBit = [flags](int64_t t) { return (flags[t >> 3] >> (7 - (t & 7))) & 1; };

  // First pass: the exact output size, and whether every token is sound,
  // without a branch on the kind of token.
  int64_t out = 0;
  int64_t r = start;
  int64_t t = 0;
  bool sound = true;
  for (; r + 1 < size; ++t) {
    if (t >= tokenLimit) break;
    // Eight literals in a row (a zero flag byte) at once.
    if ((t & 7) == 0 && flags[t >> 3] == 0 && r + 8 <= size) {
      out += 8;
      r += 8;
      t += 7;
      continue;
    }
    const int64_t match = flagBit(t);
    const int64_t second = s[r + 1];
    const int64_t distance = s[r] * 8 + (second >> 5);
    const int64_t length = (second & 31) + kMinMatch;
    sound &= !(match & ((distance == 0) | (distance > out)));
    out += 1 + ((length - 1) & -match);  // a select, not a branch
    r += 1 + match;
  }
  if (r + 1 == size && t < tokenLimit && !flagBit(t)) {  // a last literal
    ++out;
    ++r;
    ++t;
  }
  if (!sound || r < size) return Fault(s, size);

  // Second pass: expand. Every token copies 40 bytes - a literal from the
  // stream, a match from the output - and moves on by its length, so the
  // kind of token needs no branch; the spare bytes at the end take what a
  // copy writes past its length, and later tokens overwrite it. Matches less
  // than 8 back overlap their own output and go byte by byte.
  constexpr size_t kSpare = 64;
  std::vector<uint8_t> output(static_cast<size_t>(out) + kSpare);
  uint8_t* o = output.data();
  size_t w = 0;
  r = start;
  t = 0;
  for (; r + 48 <= size; ++t) {
    if ((t & 7) == 0 && flags[t >> 3] == 0) {  // eight literals
      std::memcpy(o + w, s + r, 8);
      w += 8;
      r += 8;
      t += 7;
      continue;
    }
    const size_t match = static_cast<size_t>(flagBit(t));
    const size_t second = s[r + 1];
    const size_t distance = s[r] * 8u + (second >> 5);
    const size_t length = (second & 31) + kMinMatch;
    if (match && distance < 8) {
      const uint8_t* from = o + w - distance;
      for (size_t k = 0; k < length; ++k) o[w + k] = from[k];
    } else {
      const uintptr_t pick = static_cast<uintptr_t>(0) - match;  // all ones for a match
      const uintptr_t back = reinterpret_cast<uintptr_t>(o) + w - distance;
      const uint8_t* from =
          reinterpret_cast<const uint8_t*>((back & pick) | (reinterpret_cast<uintptr_t>(s + r) & ~pick));
      for (size_t k = 0; k < 40; k += 8) std::memcpy(o + w + k, from + k, 8);
    }
    w += 1 + ((length - 1) & (static_cast<size_t>(0) - match));
    r += 1 + match;
  }
  for (; r < size; ++t) {
    if (flagBit(t)) {
      const size_t distance = static_cast<size_t>(s[r] * 8 + (s[r + 1] >> 5));
      const size_t length = static_cast<size_t>((s[r + 1] & 31) + kMinMatch);
      const uint8_t* from = o + w - distance;
      for (size_t k = 0; k < length; ++k) o[w + k] = from[k];
      w += length;
      r += 2;
    } else {
      o[w++] = s[r++];
    }
  }
  output.resize(static_cast<size_t>(out));
  m_result = std::move(output);
  return Result::Done();
}

// Finds the first fault of a stream the fast pass found unsound, and says
// what it is.
Result LzssCodec::Fault(const uint8_t* s, int64_t size) {
  const int64_t flagCount = s[4] * 256 + s[5];
  const uint8_t* flags = s + kHeaderSize;
  const int64_t tokenLimit = flagCount * 8;
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
      if (distance == 0) {
        return Result::Refused("the LZSS match at offset " + std::to_string(r) + " has distance 0");
      }
      if (distance > out) {
        return Result::Refused("the LZSS match at offset " + std::to_string(r) + " reaches " +
                               std::to_string(distance) + " bytes back, before the start of the output (" +
                               std::to_string(out) + " bytes so far)");
      }
      out += (s[r + 1] & 31) + kMinMatch;
      r += 2;
    } else {
      out += 1;
      r += 1;
    }
  }
  return Result::Refused("the LZSS stream is malformed");
}

void LzssCodec::CopyTo(uint8_t* destination) const {
  if (!m_result.empty()) std::memcpy(destination, m_result.data(), m_result.size());
}

}  // namespace pixmill
