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
      : s_(stream),
        size_(size),
        flags_(stream + LzssCodec::kHeaderSize),
        flagBits_(8 * static_cast<int64_t>(ReadBe16(stream + 4))),
        at_(LzssCodec::kHeaderSize + static_cast<int64_t>(ReadBe16(stream + 4))) {}

  Kind Next() {
    offset = at_;
    if (at_ >= size_) return Kind::kEnd;
    if (token_ >= flagBits_) return Kind::kNoFlag;
    const bool match = (flags_[token_ >> 3] >> (7 - (token_ & 7))) & 1;
    ++token_;
    if (!match) {
      literal = s_[at_++];
      return Kind::kLiteral;
    }
    if (at_ + 1 >= size_) return Kind::kHalfMatch;
    distance = static_cast<int64_t>(s_[at_]) * 8 + (s_[at_ + 1] >> 5);
    length = (s_[at_ + 1] & 31) + LzssCodec::kMinMatch;
    at_ += 2;
    return Kind::kMatch;
  }

  // The token last read, and where it starts in the stream.
  uint8_t literal = 0;
  int64_t distance = 0;
  int64_t length = 0;
  int64_t offset = 0;
  int64_t FlagBits() const { return flagBits_; }

 private:
  const uint8_t* s_;
  int64_t size_;
  const uint8_t* flags_;
  int64_t flagBits_;
  int64_t at_;
  int64_t token_ = 0;
};

}  // namespace pixmill
