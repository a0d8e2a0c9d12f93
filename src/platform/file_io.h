// Whole-file reading and writing. Writing never leaves a half-written file:
// the bytes go to a new file beside the target, which replaces the target
// only when every byte is on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace pixmill {

// Files above this size are refused rather than read.
inline constexpr int64_t kMaxReadableFileSize = int64_t{1} << 30;

// Reads the whole file into `out` (replacing its contents only on success).
Result ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Writes `size` bytes to `path` through a temporary file in the same folder
// and a rename. On failure the file that was at `path`, if any, is left as it
// was and no temporary file remains.
Result WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size);

// The last path component (after the last '/'), or the whole path.
std::string BaseName(const std::string& path);

}  // namespace pixmill
