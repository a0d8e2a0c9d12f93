// The tokens of an LZSS stream, read one after the other: the flag bit of
// each says whether it is a literal (one byte) or a match (two bytes: the
// distance in the first and the top 3 bits of the second, the length less
// 3 in the low 5 bits of the second).
#pragma once

#include <cstdint>

#include "export/lzss.h"
#include "platform/bytes.h"

namespace pixmill {

class LzssTokens {
 public:
  enum class Kind {
    kEnd,        // no data left
    kLiteral,    // `literal`
    kMatch,      // `distance`, `length`
    kNoFlag,     // data left beyond the last flag bit
    kHalfMatch,  // a match whose second byte is missing
  };

  // The stream's header (6 bytes, the flag bytes within the stream) is
  // checked by the caller.
  LzssTokens(const uint8_t* stream, int64_t size)
      : m_s(stream),
        m_size(size),
        m_flags(stream + LzssCodec::kHeaderSize),
        m_flagBits(8 * static_cast<int64_t>(ReadBe16(stream + 4))),
        m_at(LzssCodec::kHeaderSize + static_cast<int64_t>(ReadBe16(stream + 4))) {}

  Kind Next() {
    offset = m_at;
    if (m_at >= m_size) return Kind::kEnd;
    if (m_token >= m_flagBits) return Kind::kNoFlag;
    const bool match = (m_flags[m_token >> 3] >> (7 - (m_token & 7))) & 1;
    ++m_token;
    if (!match) {
      literal = m_s[m_at++];
      return Kind::kLiteral;
    }
    if (m_at + 1 >= m_size) return Kind::kHalfMatch;
    distance = static_cast<int64_t>(m_s[m_at]) * 8 + (m_s[m_at + 1] >> 5);
    length = (m_s[m_at + 1] & 31) + LzssCodec::kMinMatch;
    m_at += 2;
    return Kind::kMatch;
  }

  // The token last read, and where it starts in the stream.
  uint8_t literal = 0;
  int64_t distance = 0;
  int64_t length = 0;
  int64_t offset = 0;
  int64_t FlagBits() const { return m_flagBits; }

 private:
  const uint8_t* m_s;
  int64_t m_size;
  const uint8_t* m_flags;
  int64_t m_flagBits;
  int64_t m_at;
  int64_t m_token = 0;
};

}  // namespace pixmill
