// Whole-file reading and writing. Writing never leaves a half-written file:
// the bytes go to a new file beside the target, which replaces the target
// only when every byte is on disk.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/memory.h"
#include "platform/result.h"

namespace pixmill {

// Files above this size are refused rather than read.
inline constexpr int64_t kMaxReadableFileSize = int64_t{1} << 30;

// The bytes of a whole file, in one block that is filled by the read alone.
class FileBytes {
 public:
  const uint8_t* data() const { return m_data.get(); }
  size_t size() const { return m_size; }
  // The bytes from `offset` on, taken without a copy when they can be (see
  // TailOf); null otherwise, and these bytes stay.
  Block TakeTail(size_t offset) {
    Block tail = TailOf(m_data, offset);
    if (tail) m_size = 0;
    return tail;
  }

 private:
  friend Result ReadWholeFile(const std::string& path, FileBytes& out);
  Block m_data;
  size_t m_size = 0;
};

// Reads the whole file into `out` (replacing its contents only on success).
Result ReadWholeFile(const std::string& path, FileBytes& out);

// One piece of what a file is written from.
struct Piece {
  const uint8_t* data;
  size_t size;
};

// A file written in two steps, so that several can be written together:
// Write puts the pieces into a temporary file beside the target (a device
// or pipe, which cannot be replaced, is written into directly), Commit puts
// it in the target's place. A file never committed leaves nothing behind,
// also when SIGINT, SIGTERM or SIGHUP ends the program meanwhile; one a
// SIGKILL leaves is removed by a later save into its folder once it is a day
// old. A file that is new is written without a name and given its name at
// Commit, so that it appears whole or not at all and nothing is left behind
// by any end of the program (where the system allows; otherwise as a file
// that replaces another). A target that is a symbolic link is written through: the file it
// links to is replaced and the link stays.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();
  Result Write(const std::string& path, std::initializer_list<Piece> pieces);
  Result Commit();

 private:
  void Forget(bool remove);

  std::string m_path;
  std::string m_temp;  // while not committed
  int m_unnamed = -1;  // a new file not yet in any folder, while not committed
};

// Writes the pieces, one after the other, to `path` through a temporary file
// in the same folder and a rename. On failure the file that was at `path`,
// if any, is left as it was and no temporary file remains. A file that
// replaces another reaches the disk before the rename.
Result WriteFileAtomic(const std::string& path, std::initializer_list<Piece> pieces);
inline Result WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size) {
  return WriteFileAtomic(path, {Piece{data, size}});
}

// The parts of a file name: the last path component (after the last '/'),
// or the whole path; that without its extension (the part from its last
// dot, unless the name starts there); and the name before its first dot,
// which is what Save proposes.
std::string BaseName(const std::string& path);
std::string FileStem(const std::string& path);
std::string TitleOf(const std::string& fileName);

}  // namespace pixmill
