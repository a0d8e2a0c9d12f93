// The program's LZSS stream: "LZSS", a big-endian 16-bit count of flag
// bytes, the flag bytes (one bit per token, most significant first, 1 = a
// match), then the token data. A literal is one byte; a match is two bytes
// holding an 11-bit distance and a 5-bit length - 3. The window is the input
// already passed, at most 2047 bytes back; matches never overlap the bytes
// they produce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/progress.h"
#include "platform/result.h"

namespace pixmill {

inline constexpr uint8_t kLzssMagic[4] = {'L', 'Z', 'S', 'S'};

// True when the bytes start with the letters "LZSS".
inline bool HasLzssMagic(const uint8_t* data, size_t size) {
  return size >= 4 && data[0] == 'L' && data[1] == 'Z' && data[2] == 'S' && data[3] == 'S';
}

class LzssCodec {
 public:
  static constexpr int kHeaderSize = 6;
  static constexpr int kMaxDistance = 2047;
  static constexpr int kMinMatch = 3;
  static constexpr int kMaxMatch = 34;
  static constexpr int kMaxFlagBytes = 65535;

  LzssCodec() = default;
  // Compression reports its progress to `progress` (decompression never does).
  explicit LzssCodec(ProgressSink* progress) : m_progress(progress) {}
  LzssCodec(const LzssCodec&) = delete;
  LzssCodec& operator=(const LzssCodec&) = delete;

  // Compresses `count` bytes into a new stream. Refused, with no result, when
  // the stream would need more flag bytes than its 16-bit count can hold.
  Result Encode(const uint8_t* source, int64_t count);

  // Expands a whole stream, header included (the magic is not looked at).
  // A malformed stream is refused with the reason and leaves no result.
  Result Decode(const uint8_t* stream, int64_t size);

  const std::vector<uint8_t>& Bytes() const { return m_result; }
  std::vector<uint8_t> TakeBytes() { return std::move(m_result); }

 private:
  ProgressSink* m_progress = nullptr;
  std::vector<uint8_t> m_result;
};

}  // namespace pixmill
