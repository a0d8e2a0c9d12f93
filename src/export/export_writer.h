// Console data: the bitmap, texture and character forms of the picture,
// written as binary data or as BASIC text of comment and DATA lines,
// optionally LZSS-compressed and with a palette of console colour words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace pixmill {

// "data " and up to `perLine` bytes as upper-case hex digit pairs, then CR LF,
// for every `perLine` bytes; no line for no bytes.
std::string FormatDataLines(const uint8_t* data, size_t count, int perLine);

// Writes the export to `path` (atomically: a failure leaves no partial file
// and keeps the file that was there) and, for a compressed export, shows the
// compression message through `messages` when given.
Result WriteConvertedFile(const ImageBuffer& image, const std::string& path, const ExportChoices& choices,
                          MessageSink* messages);

}  // namespace pixmill
