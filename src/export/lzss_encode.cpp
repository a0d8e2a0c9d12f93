// Compressing into an LZSS stream. The match search gives exactly the
// answer of a plain scan of every start in the window, found through hash
// lists of the bytes at each position.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "export/lzss.h"
#include "platform/bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixmill {

namespace {

constexpr int32_t kNone = INT32_MAX;  // no later position with the hash

// Keys hash from the bytes at a position loaded as one little-endian word
// (agreements are counted from the lowest differing bit the same way): the
// short key is 3 bytes, the least a match can have; the long key is 5.
static_assert(std::endian::native == std::endian::little, "loads are read first byte lowest");
constexpr int kShortKey = LzssCodec::kMinMatch;
constexpr int kLongKey = 5;
constexpr int kShortBits = 16;
constexpr int kLongBits = 14;
static_assert(kLongBits <= 16, "the long key's hashes are kept in 16 bits");
// Positions are indexed a segment at a time, with the window before it.
constexpr int32_t kSegment = 1 << 16;
constexpr size_t kSegmentSlots = kSegment + LzssCodec::kMaxDistance + 1;

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The bytes at q, first in the low byte; past the end of the input, zeros.
inline uint64_t Bytes8(const uint8_t* src, int32_t q, int32_t n) {
  if (q + 8 <= n) return Load64(src + q);
  uint64_t v = 0;
  for (int32_t k = 0; q + k < n && k < 8; ++k) v |= static_cast<uint64_t>(src[q + k]) << (8 * k);
  return v;
}

inline uint32_t ShortHash(uint64_t bytes) {
  return (static_cast<uint32_t>(bytes & 0xFFFFFF) * 2654435761u) >> (32 - kShortBits);
}

inline uint32_t LongHash(uint64_t bytes) {
  return static_cast<uint32_t>(((bytes << (64 - 8 * kLongKey)) * 0x9E3779B97F4A7C15ull) >> (64 - kLongBits));
}

// How many of the first `reach` bytes of a and b agree; eight at a time,
// reading nothing past a + reach or b + reach.
inline int32_t Agreement(const uint8_t* a, const uint8_t* b, int32_t reach) {
  int32_t j = 0;
  for (; j + 8 <= reach; j += 8) {
    if (const uint64_t d = Load64(a + j) ^ Load64(b + j)) return j + __builtin_ctzll(d) / 8;
  }
  while (j < reach && a[j] == b[j]) ++j;
  return j;
}

// How many of the first 16 bytes at a and b agree, 16 when all do.
inline int32_t Agreement16(const uint8_t* a, const uint8_t* b) {
#if defined(__SSE2__)
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const auto equal = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
  return __builtin_ctz(~equal);
#else
  const uint64_t d0 = Load64(a) ^ Load64(b);
  if (d0) return __builtin_ctzll(d0) / 8;
  const uint64_t d1 = Load64(a + 8) ^ Load64(b + 8);
  return d1 ? 8 + __builtin_ctzll(d1) / 8 : 16;
#endif
}

// The index counts positions from the start of its segment's window, so
// following a link is a single load.

// The long key's lists, walked farthest first: every position linked to the
// next later one with its key hash, and for every position the oldest
// position of its window with its key hash (itself or a later one when there
// is none). The arrays belong to the index.
struct ForwardLists {
  // Backward over the segment: `at` goes in front of its hash's list.
  void Link(int32_t at, uint32_t h) {
    hash[at] = static_cast<uint16_t>(h);
    next[at] = head[h];
    head[h] = at;
  }
  // Forward: the heads are the oldest members still in view. Before the
  // window is full nothing leaves it.
  void Open(int32_t at) { first[at] = head[hash[at]]; }
  // Position `at` comes into view and the one 2048 before it leaves; that
  // one is the oldest of its list, so its successor becomes the head.
  void Step(int32_t at) {
    const int32_t leaving = at - LzssCodec::kMaxDistance - 1;
    head[hash[leaving]] = next[leaving];
    first[at] = head[hash[at]];
  }

  int32_t* head = nullptr;  // per hash
  size_t heads = 0;
  int32_t* next = nullptr;  // per position of the segment
  int32_t* first = nullptr;
  uint16_t* hash = nullptr;
};

// The short key's lists, walked nearest first: every position linked to the
// previous one with its key hash (-1 when there is none).
struct BackwardLists {
  void Link(int32_t at, uint32_t h) {
    prev[at] = last[h];
    last[h] = at;
  }

  int32_t* last = nullptr;  // per hash
  size_t heads = 0;
  int32_t* prev = nullptr;  // per position of the segment
};

// The match search's index of a segment of positions [from, to) and the
// window before it, for the short and the long key. Everything is built
// once per segment in one pass backward and one forward, so the search
// itself keeps no books.
class MatchIndex {
 public:
  // Room for the positions of one segment and its window, or of the whole
  // input when that is shorter. One block for all: the allocator then keeps
  // it from one compression to the next instead of mapping fresh pages.
  explicit MatchIndex(int32_t inputSize) {
    const size_t slots = std::min(static_cast<size_t>(inputSize), kSegmentSlots) + 1;
    const size_t shortHeads = size_t{1} << kShortBits;
    const size_t longHeads = size_t{1} << kLongBits;
    const size_t words = shortHeads + longHeads + 3 * slots;
    m_storage.reset(new std::byte[words * sizeof(int32_t) + slots * sizeof(uint16_t)]);
    auto* word = reinterpret_cast<int32_t*>(m_storage.get());
    auto take = [&word](size_t count) {
      int32_t* p = word;
      word += count;
      return p;
    };
    m_short = {take(shortHeads), shortHeads, take(slots)};
    m_long = {take(longHeads), longHeads, take(slots), take(slots), nullptr};
    m_long.hash = reinterpret_cast<uint16_t*>(word);
  }

  // `from` is 2047 before the first position to be searched (or 0); the
  // search may then look at positions up to `to`. Kept out of line: inlined,
  // its loops take registers the token loop needs.
  [[gnu::noinline]] void Build(const uint8_t* src, int32_t n, int32_t from, int32_t to) {
    m_base = from;
    const uint8_t* s = src + from;
    const int32_t m = n - from;                                        // bytes from s on
    const int32_t shortTo = std::min(to, n - (kShortKey - 1)) - from;  // the key's bytes exist
    const int32_t longTo = std::min(to, n - (kLongKey - 1)) - from;
    std::fill(m_short.last, m_short.last + m_short.heads, -1);
    std::fill(m_long.head, m_long.head + m_long.heads, kNone);
    int32_t at = longTo - 1;
    for (; at >= 0 && at + 8 > m; --at) m_long.Link(at, LongHash(Bytes8(s, at, m)));
#pragma GCC unroll 4
    for (; at >= 0; --at) m_long.Link(at, LongHash(Load64(s + at)));

    constexpr int32_t full = LzssCodec::kMaxDistance + 1;  // the first position whose window drops one
    const int32_t loaded = std::min(longTo, m - 8);        // 8 bytes can be read at `at`
    for (at = 0; at < std::min(loaded, full); ++at) {
      m_short.Link(at, ShortHash(Load64(s + at)));
      m_long.Open(at);
    }
#pragma GCC unroll 4
    for (; at < loaded; ++at) {
      m_short.Link(at, ShortHash(Load64(s + at)));
      m_long.Step(at);
    }
    for (; at < shortTo; ++at) {
      m_short.Link(at, ShortHash(Bytes8(s, at, m)));
      if (at >= longTo) continue;
      if (at < full) {
        m_long.Open(at);
      } else {
        m_long.Step(at);
      }
    }
  }

  // Where the index counts positions from.
  int32_t Base() const { return m_base; }
  int32_t ShortPrev(int32_t at) const { return m_short.prev[static_cast<uint32_t>(at)]; }
  int32_t LongFirst(int32_t at) const { return m_long.first[static_cast<uint32_t>(at)]; }
  int32_t LongNext(int32_t at) const { return m_long.next[static_cast<uint32_t>(at)]; }

 private:
  std::unique_ptr<std::byte[]> m_storage;
  BackwardLists m_short;
  ForwardLists m_long;
  int32_t m_base = 0;
};

struct Match {
  int32_t length;
  int32_t start;
};

// The longest agreement at p of at least the long key's length, farthest
// first among equals, over the starts sharing p's long key hash; a length
// below the key's when there is none. Positions are the index's.
Match LongSearch(const MatchIndex& index, const uint8_t* src, int32_t p, int32_t limit) {
  const uint8_t* target = src + p;
  Match best{kLongKey - 1, 0};
  if (limit >= 16) {
    // Every start here is before p, so 16 bytes can be read at both. The
    // walk ends at p itself (a member of its own list) or at "none", later
    // than p. That test waits on the links alone, so its misprediction at
    // the end of every walk is found out early. The few starts it lets
    // through that are no more than the best length back change nothing:
    // without overlapping the bytes they produce they agree in no more.
    int32_t c = index.LongFirst(p);
    for (int32_t d = p - c; d >= kLongKey; c = index.LongNext(c), d = p - c) {
      int32_t j = Agreement16(src + c, target);
      if (j == 16) [[unlikely]] {
        // Only a start agreeing in all 16 can reach the length limit.
        j = std::min(16 + Agreement(src + c + 16, target + 16, limit - 16), d);
        if (j > best.length) {
          best = {j, c};
          if (j == limit) break;
        }
        continue;
      }
      j = std::min(j, d);
      // Without a branch: which start wins is not predictable.
      const bool longer = j > best.length;
      best.start = longer ? c : best.start;
      best.length = longer ? j : best.length;
    }
  } else {
    for (int32_t c = index.LongFirst(p); c < p - best.length; c = index.LongNext(c)) {
      const int32_t j = Agreement(src + c, target, std::min(limit, p - c));
      const bool longer = j > best.length;
      best.start = longer ? c : best.start;
      best.length = longer ? j : best.length;
      if (best.length == limit) break;
    }
  }
  return best;
}

// When no start reaches the long key: the longest agreement at p below it,
// farthest first among equals. The walk goes nearest first from c3, the
// latest start sharing p's short key hash, to the far end of the window, so
// a start of equal length replaces. Positions are the index's; at least 3
// bytes of the input are left at p.
Match ShortSearch(const MatchIndex& index, const uint8_t* src, int32_t n, int32_t p, int32_t c3, int32_t limit) {
  const int32_t cap = std::min(limit, kLongKey - 1);
  static_assert(kLongKey - 1 <= 4, "the agreement below is read 4 bytes at a time");
  const auto target = static_cast<uint32_t>(Bytes8(src, p, n));
  const int32_t farthest = std::max(0, p - LzssCodec::kMaxDistance);
  Match best{kShortKey - 1, 0};
  // Starts are before p, so 4 bytes can be read at each; the ones less than
  // 3 back agree, without overlap, in less than 3 and decide nothing.
  for (int32_t c = c3; c >= farthest; c = index.ShortPrev(c)) {
    const uint64_t d = Load32(src + c) ^ target;
    const auto agreed = static_cast<int32_t>(__builtin_ctzll(d | uint64_t{1} << 32) / 8);  // 4 when all do
    const int32_t j = std::min({agreed, p - c, cap});
    const bool atLeast = j >= best.length;
    best.start = atLeast ? c : best.start;
    best.length = atLeast ? j : best.length;
  }
  return best;
}

// Collects flag bits most significant first, without a branch per bit.
class FlagWriter {
 public:
  explicit FlagWriter(size_t maxTokens) : m_bytes(maxTokens / 8 + 1, 0) {}
  void Push(int bit) {
    m_bytes[m_tokens >> 3] = static_cast<uint8_t>(m_bytes[m_tokens >> 3] | (bit << (7 - (m_tokens & 7))));
    ++m_tokens;
  }
  // The flag bytes: the number of tokens divided by 8, rounded up.
  void Finish() { m_bytes.resize((m_tokens + 7) / 8); }
  const std::vector<uint8_t>& Bytes() const { return m_bytes; }
  size_t Tokens() const { return m_tokens; }

 private:
  std::vector<uint8_t> m_bytes;
  size_t m_tokens = 0;
};

Result TooManyFlags(const std::string& flagBytes) {
  return Result::Refused("the LZSS stream would need " + flagBytes + " flag bytes; at most " +
                             std::to_string(LzssCodec::kMaxFlagBytes) + " fit",
                         Result::Cause::kTooLarge);
}

}  // namespace

// The match search gives exactly the answer of trying every start from the
// farthest (p - 2047) to the nearest, keeping a strictly longer agreement
// and stopping at 34: the longest agreement, and among equals the farthest.
// Only starts sharing p's first bytes can win, so only those are visited:
// first those sharing 5 bytes' hash, farthest first, and only when none of
// them agrees in 5 bytes, those sharing 3 bytes' hash, nearest first with a
// start of equal length replacing.
Result LzssCodec::Encode(const uint8_t* src, int64_t count) {
  m_result.clear();
  if (count < 0) return Result::Refused("negative input size");
  // Every token covers at most 34 bytes; more tokens than the flag count can
  // describe means the stream cannot be written.
  const int64_t minFlagBytes = (count / kMaxMatch + 7) / 8;
  if (minFlagBytes > kMaxFlagBytes) return TooManyFlags("at least " + std::to_string(minFlagBytes));

  // Held locally: the byte stores below could otherwise be taken to change it.
  ProgressSink* const progress = m_progress;
  if (progress) progress->SetRange(0, static_cast<int>(count / 32));

  const int32_t n = static_cast<int32_t>(count);
  MatchIndex index(n);

  FlagWriter flags(static_cast<size_t>(n));
  // Token bytes; every byte up to `out` is written before it is read.
  std::unique_ptr<uint8_t[]> data(new uint8_t[static_cast<size_t>(n) + 16]);
  uint8_t* out = data.get();

  int32_t p = 0;
  int32_t segmentEnd = 0;
  while (p < n) {
    if (p >= segmentEnd) {
      // Once the tokens outnumber the flag bits a stream can count, the
      // stream cannot be written: say so now, not at the end of the input.
      if (flags.Tokens() > size_t{8} * kMaxFlagBytes) {
        if (progress) progress->SetPosition(0);
        return TooManyFlags("more than " + std::to_string(kMaxFlagBytes));
      }
      segmentEnd = std::min(n, p + kSegment);
      index.Build(src, n, std::max(0, p - kMaxDistance), segmentEnd);
    }
    // A best below 3 is a literal.
    Match best{kMinMatch - 1, 0};
    const int32_t remaining = n - p;
    if (remaining >= kMinMatch) {
      const int32_t limit = std::min<int32_t>(kMaxMatch, remaining);
      const int32_t base = index.Base();
      const int32_t at = p - base;
      const int32_t c3 = index.ShortPrev(at);
      if (c3 >= at - kMaxDistance) {  // some start may agree in 3 bytes
        // Every start agreeing in 5 bytes or more shares p's long key, so
        // when the long search finds one it has the answer; otherwise the
        // answer is below 5.
        if (remaining >= kLongKey) best = LongSearch(index, src + base, at, limit);
        if (best.length < kLongKey) best = ShortSearch(index, src + base, n - base, at, c3, limit);
        best.start += base;
      }
    }

    // Emit the token without a branch on its kind: a literal writes its
    // byte and moves on by one, a match writes two bytes and moves on by its
    // length.
    const int32_t match = best.length >= kMinMatch;
    const int32_t distance = p - best.start;
    const uint8_t first = static_cast<uint8_t>((distance >> 3) & 0xFF);
    out[0] = match ? first : src[p];
    out[1] = static_cast<uint8_t>(((distance & 7) << 5) + best.length - kMinMatch);
    out += 1 + match;
    flags.Push(match);
    p += match ? best.length : 1;
    if (progress && p % 32 == 0) progress->SetPosition(p / 32);
  }
  if (progress) progress->SetPosition(0);
  flags.Finish();
  const size_t dataSize = static_cast<size_t>(out - data.get());

  const size_t flagBytes = flags.Bytes().size();
  if (flagBytes > static_cast<size_t>(kMaxFlagBytes)) return TooManyFlags(std::to_string(flagBytes));
  m_result.resize(kHeaderSize + flagBytes + dataSize);
  std::memcpy(m_result.data(), kLzssMagic, 4);
  WriteBe16(m_result.data() + 4, static_cast<uint32_t>(flagBytes));
  if (flagBytes) std::memcpy(m_result.data() + kHeaderSize, flags.Bytes().data(), flagBytes);
  if (dataSize) std::memcpy(m_result.data() + kHeaderSize + flagBytes, data.get(), dataSize);
  return Result::Done();
}

}  // namespace pixmill
