// Arbitrary bytes, compressed and expanded again, come back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "export/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmill::LzssCodec encoder;
  if (!encoder.Encode(data, static_cast<int64_t>(size)).ok()) return 0;
  pixmill::LzssCodec decoder;
  const pixmill::Result r = decoder.Decode(encoder.Bytes().data(), static_cast<int64_t>(encoder.Bytes().size()));
  if (!r.ok() || decoder.Bytes().size() != size ||
      (size != 0 && std::memcmp(decoder.Bytes().data(), data, size) != 0)) {
    __builtin_trap();
  }
  return 0;
}
