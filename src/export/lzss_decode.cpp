// Expanding an LZSS stream: one pass that checks every token and counts
// the bytes they make, then one that makes them.
#include <cstring>
#include <string>

#include "export/lzss.h"
#include "export/lzss_tokens.h"

namespace pixmill {

namespace {

std::string At(int64_t offset) { return std::to_string(offset); }

// The size the stream expands to, or the first fault it has.
Result Measure(const uint8_t* s, int64_t size, int64_t& out) {
  LzssTokens tokens(s, size);
  out = 0;
  for (;;) {
    switch (tokens.Next()) {
      case LzssTokens::Kind::kEnd:
        return Result::Done();
      case LzssTokens::Kind::kLiteral:
        ++out;
        break;
      case LzssTokens::Kind::kMatch:
        if (tokens.distance == 0) {
          return Result::Refused("the LZSS match at offset " + At(tokens.offset) + " has distance 0");
        }
        if (tokens.distance > out) {
          return Result::Refused("the LZSS match at offset " + At(tokens.offset) + " reaches " +
                                 std::to_string(tokens.distance) + " bytes back, before the start of the output (" +
                                 std::to_string(out) + " bytes so far)");
        }
        out += tokens.length;
        break;
      case LzssTokens::Kind::kNoFlag:
        return Result::Refused("the LZSS stream holds more tokens than its " + std::to_string(tokens.FlagBits()) +
                               " flag bits (data left at offset " + At(tokens.offset) + ")");
      case LzssTokens::Kind::kHalfMatch:
        return Result::Refused("the LZSS match at offset " + At(tokens.offset) + " lacks its second byte");
    }
  }
}

}  // namespace

Result LzssCodec::Decode(const uint8_t* s, int64_t size) {
  m_result.clear();
  if (size < kHeaderSize) {
    return Result::Refused("the LZSS stream is " + std::to_string(size) +
                           " bytes long, shorter than its 6-byte header");
  }
  const int64_t flagCount = ReadBe16(s + 4);
  if (kHeaderSize + flagCount > size) {
    return Result::Refused("the LZSS stream declares " + std::to_string(flagCount) + " flag bytes but holds only " +
                           std::to_string(size - kHeaderSize) + " bytes after its header");
  }
  int64_t length = 0;
  if (Result r = Measure(s, size, length); !r.ok()) return r;

  // Every token is sound: the copies stay inside the output.
  std::vector<uint8_t> output(static_cast<size_t>(length));
  uint8_t* o = output.data();
  LzssTokens tokens(s, size);
  for (LzssTokens::Kind kind; (kind = tokens.Next()) != LzssTokens::Kind::kEnd;) {
    if (kind == LzssTokens::Kind::kLiteral) {
      *o++ = tokens.literal;
      continue;
    }
    const uint8_t* from = o - tokens.distance;
    if (tokens.distance >= tokens.length) {
      std::memcpy(o, from, static_cast<size_t>(tokens.length));
    } else {  // a match longer than its distance repeats what it makes
      for (int64_t k = 0; k < tokens.length; ++k) o[k] = from[k];
    }
    o += tokens.length;
  }
  m_result = std::move(output);
  return Result::Done();
}

}  // namespace pixmill
