// Palette files, so that a user can bring a palette of their own, in their
// own order, and take one away: GIMP palettes (.gpl), JASC palettes (.pal),
// Adobe colour tables (.act) and plain lists of RRGGBB hex values (.hex,
// .txt). Colours are 0x00RRGGBB; a palette holds 1 to 256 of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace pixmill {

enum class PaletteFormat { kGimp, kJasc, kAct, kHex, kRiff };

// The format a file name's extension stands for, in any letter case: .gpl
// GIMP, .pal JASC, .act Adobe colour table, .hex and .txt hex list.
std::optional<PaletteFormat> PaletteFormatForPath(const std::string& path);

// Whether the bytes begin as a palette file and as nothing else: a RIFF
// palette's chunks, or a "GIMP Palette" or "JASC-PAL" first line.
bool IsPaletteContent(const uint8_t* data, size_t size);

// Reads a palette in any of the formats (a RIFF palette is known by its
// chunks, "RIFF" and "PAL " and "data", whatever its name). The content decides where it
// can: an Adobe colour table when `name` ends in .act and the size is 768 or
// 772 bytes; a "GIMP Palette" or "JASC-PAL" first line; 768 or 772 bytes
// holding control characters. Otherwise the extension of `name` decides,
// and with no extension of a format, a text that is a list of hex colours
// is one.
// On success `colours` holds the entries in the file's order; on failure it
// is unchanged and the reason names the file (its base name), the line where
// there is one, and what is wrong.
Result ParsePalette(const std::string& name, const uint8_t* data, size_t size, std::vector<uint32_t>& colours);

// ReadWholeFile and ParsePalette.
Result ReadPaletteFile(const std::string& path, std::vector<uint32_t>& colours);

// The bytes of a palette file of 1 to 256 colours. A RIFF palette is the
// chunk "RIFF" of form "PAL " holding a "data" chunk: version 0x0300, the
// count of entries, then red, green, blue and 0 for each. Text formats end their
// lines with LF; a GIMP palette carries "Name: " + `name` when `name` is not
// empty, and "Columns: 16". A colour table is 768 bytes of entries (the
// first 256 colours, zeros after the last) and a trailer: the count of
// entries and the transparent index 0xFFFF (none), both big-endian 16-bit.
std::string FormatPalette(PaletteFormat format, const std::vector<uint32_t>& colours, const std::string& name = "");

// Writes the palette atomically in the format of the path's extension (or
// `format`, when given), a GIMP palette named after the file (its base name
// without extension). Refused for an extension that is no palette format,
// and for no colours or more than 256.
Result WritePaletteFile(const std::string& path, const std::vector<uint32_t>& colours,
                        std::optional<PaletteFormat> format = std::nullopt);

}  // namespace pixmill
