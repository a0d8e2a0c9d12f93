// The LZSS expander on arbitrary streams.
#include <cstddef>
#include <cstdint>

#include "export/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmill::LzssCodec codec;
  (void)codec.Decode(data, static_cast<int64_t>(size));
  return 0;
}
