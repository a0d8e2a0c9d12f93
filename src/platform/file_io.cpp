#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

namespace pixmill {

namespace {

// strerror may share one buffer between threads; the GNU strerror_r does not.
std::string ErrnoText(int err) {
  char buffer[256];
  return ::strerror_r(err, buffer, sizeof buffer);
}

// The process's file creation mask, read once: reading it means setting it,
// which other threads writing files at the same time must never see.
mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

Result::Cause CauseOf(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return Result::Cause::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return Result::Cause::kNoPermission;
    case EISDIR:
      return Result::Cause::kIsFolder;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Result::Cause::kNoSpace;
    case ENOMEM:
      return Result::Cause::kNoMemory;
    default:
      return Result::Cause::kUnknown;
  }
}

// A failure of the file system, its cause taken from errno.
Result Failed(const std::string& what, int err) { return Result::IoError(what + ": " + ErrnoText(err), CauseOf(err)); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

class FileCloser {
 public:
  explicit FileCloser(int fd) : m_fd(fd) {}
  ~FileCloser() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// Writes every piece; 0 or the errno of the failure. With `toDisk` (a file
// that is synced next) the disk is set writing each few megabytes as they
// are written, so that the sync waits only for the last of them instead of
// starting on all of them.
int WritePieces(int fd, std::initializer_list<Piece> pieces, bool toDisk = false) {
  constexpr size_t kRun = size_t{4} << 20;
  off_t written = 0, sent = 0;
  for (const Piece& piece : pieces) {
    size_t done = 0;
    while (done < piece.size) {
      const size_t ask = toDisk ? std::min(piece.size - done, kRun) : piece.size - done;
      const ssize_t n = ::write(fd, piece.data + done, ask);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += static_cast<size_t>(n);
      written += n;
      if (toDisk && written - sent >= static_cast<off_t>(kRun)) {
        (void)::sync_file_range(fd, sent, written - sent, SYNC_FILE_RANGE_WRITE);
        sent = written;
      }
    }
  }
  return 0;
}

// Reads bytes [from, to) of a file into the same places of `into`, up to the
// file's end; `error` is 0 or the errno of a failure.
constexpr size_t kReadInTwoFrom = size_t{16} << 20;
struct ReadPart {
  int fd;
  uint8_t* into;
  size_t from, to;
  size_t done = 0;
  int error = 0;
  void Run() {
    while (from + done < to) {
      const ssize_t n = ::pread(fd, into + from + done, to - from - done, static_cast<off_t>(from + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno;
        return;
      }
      if (n == 0) return;
      done += static_cast<size_t>(n);
    }
  }
};

// A device or pipe (/dev/stdout, a FIFO) cannot be replaced by a rename, and
// must not be: the bytes are written into it directly.
Result WriteInPlace(const std::string& path, std::initializer_list<Piece> pieces) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Failed("cannot open " + path, errno);
  FileCloser closer(fd);
  if (const int err = WritePieces(fd, pieces); err != 0) return Failed("cannot write " + path, err);
  if (::close(closer.Release()) != 0) return Failed("cannot write " + path, errno);
  return Result::Done();
}

constexpr const char* kTemporaryPrefix = ".pixmill-";

// The temporary files being written, for the signals that end the program
// to remove: a fixed table, since a signal handler may neither allocate nor
// lock. The one process-wide place of it.
class TemporaryFiles {
 public:
  static TemporaryFiles& Instance() {
    static TemporaryFiles* const files = new TemporaryFiles;  // never destroyed: a signal may come at exit
    return *files;
  }
  // Signals that end the program are held off while the table changes.
  void BlockSignals(bool block) {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kSignals) sigaddset(&set, s);
    pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
  }
  void Add(const char* path) {
    for (auto& slot : m_slots) {
      const char* none = nullptr;
      if (slot.compare_exchange_strong(none, path)) return;
    }
  }
  void Remove(const char* path) {
    for (auto& slot : m_slots) {
      const char* mine = path;
      if (slot.compare_exchange_strong(mine, nullptr)) return;
    }
  }

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  static constexpr size_t kSlots = 256;

  TemporaryFiles() {
    for (size_t i = 0; i < std::size(kSignals); ++i) {
      ::sigaction(kSignals[i], nullptr, &m_before[i]);
      if (m_before[i].sa_handler == SIG_IGN) continue;  // ignored on purpose (nohup): stays so
      struct sigaction action {};
      action.sa_handler = OnSignal;
      sigemptyset(&action.sa_mask);
      ::sigaction(kSignals[i], &action, nullptr);
    }
  }
  // Removes the files, then lets the signal do what it did before.
  static void OnSignal(int signal) {
    TemporaryFiles& files = Instance();
    for (auto& slot : files.m_slots) {
      if (const char* path = slot.exchange(nullptr)) ::unlink(path);
    }
    for (size_t i = 0; i < std::size(kSignals); ++i) {
      if (kSignals[i] == signal) ::sigaction(signal, &files.m_before[i], nullptr);
    }
    ::raise(signal);
  }

  struct sigaction m_before[std::size(kSignals)] = {};
  std::atomic<const char*> m_slots[kSlots] = {};
};

// A save after a program was killed outright (which no handler sees)
// removes what it left: temporary files of ours in the same folder, a day
// old or more. Each folder is looked at once a run.
void RemoveStaleTemporaries(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> seen;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!seen.insert(folder).second) return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t dayAgo = ::time(nullptr) - 24 * 60 * 60;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, kTemporaryPrefix, std::strlen(kTemporaryPrefix)) != 0) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime <= dayAgo) ::unlink(path.c_str());
  }
  ::closedir(dir);
}

// The file a path names once its links are followed (a dangling link: the
// file it would make); the path itself when it is no link.
std::string LinkTarget(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    char target[4096];
    const ssize_t n = ::readlink(at.c_str(), target, sizeof target - 1);
    if (n <= 0) return at;
    target[n] = '\0';
    at = target[0] == '/' ? std::string(target) : FolderOf(at) + "/" + target;
  }
  return at;
}

}  // namespace

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileStem(const std::string& path) {
  const std::string base = BaseName(path);
  const size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string TitleOf(const std::string& fileName) { return fileName.substr(0, fileName.find('.')); }

Result ReadWholeFile(const std::string& path, FileBytes& out) {
  // Opened without waiting, so that a FIFO or a device is refused at once
  // rather than waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Failed("cannot open " + path, errno);
  FileCloser closer(fd);

  struct stat st {};
  if (::fstat(fd, &st) != 0) return Failed("cannot read " + path, errno);
  if (S_ISDIR(st.st_mode)) return Result::IoError(path + " is a folder, not a file", Result::Cause::kIsFolder);
  if (!S_ISREG(st.st_mode)) return Result::IoError(path + " is not a regular file", Result::Cause::kNotAPicture);
  if (st.st_size > kMaxReadableFileSize) {
    return Result::Refused(path + " is " + std::to_string(st.st_size) + " bytes long; files above 1 GiB are not read",
                           Result::Cause::kTooLarge);
  }

  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const size_t length = static_cast<size_t>(st.st_size);
  Block bytes = AllocateBlock(length, false);
  if (!bytes) return Result::Refused("not enough memory to read " + path, Result::Cause::kNoMemory);
  // Most of the time of a large read goes to the system's giving the block
  // its pages, which two threads do side by side: the second half is read
  // by a thread of its own.
  const size_t half = length >= kReadInTwoFrom ? length / 2 : length;
  ReadPart second{fd, bytes.get(), half, length};
  std::thread helper;
  if (half < length) {
    try {
      helper = std::thread([&second] { second.Run(); });
    } catch (const std::system_error&) {
      // No thread to be had: this one reads that half too, below.
    }
  }
  ReadPart first{fd, bytes.get(), 0, half};
  first.Run();
  if (helper.joinable()) {
    helper.join();
  } else if (half < length) {
    second.Run();
  }
  if (first.error != 0 || second.error != 0)
    return Failed("cannot read " + path, first.error ? first.error : second.error);
  // A file that shrank while it was read ends where the first short part did.
  const size_t done = first.done < half ? first.done : half + second.done;
  out.m_data = std::move(bytes);
  out.m_size = done;
  return Result::Done();
}

PendingFile::~PendingFile() { Forget(true); }

void PendingFile::Forget(bool remove) {
  if (m_unnamed >= 0) ::close(m_unnamed);  // an unnamed file goes with its last descriptor
  m_unnamed = -1;
  if (m_temp.empty()) return;
  TemporaryFiles::Instance().Remove(m_temp.c_str());
  if (remove) ::unlink(m_temp.c_str());
  m_temp.clear();
}

Result PendingFile::Write(const std::string& given, std::initializer_list<Piece> pieces) {
  if (given.empty()) return Result::IoError("no file name given");
  // A link is written through: its target is replaced, the link stays.
  const std::string path = LinkTarget(given);
  m_path = path;

  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) return Result::IoError(path + " is a folder", Result::Cause::kIsFolder);
  if (exists && !S_ISREG(target.st_mode)) return WriteInPlace(path, pieces);

  const std::string folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  // New files get the usual permissions; a replaced file keeps its own.
  const mode_t mode = exists ? target.st_mode & 07777 : 0666 & ~CreationMask();
  // An unnamed file is named through /proc (no /proc, as in some
  // containers: a named temporary file instead).
  static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
  if (!exists && canName) {
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
      FileCloser closer(unnamed);
      if (::fchmod(unnamed, mode) != 0) return Failed("cannot set the permissions of " + path, errno);
      if (const int err = WritePieces(unnamed, pieces); err != 0) return Failed("cannot write " + path, err);
      m_unnamed = closer.Release();
      return Result::Done();
    }
    // A file system without unnamed files: through a named one below.
  }
  // A name of our own pattern that fits however long the target's is.
  std::string temp = folder + "/" + kTemporaryPrefix + "XXXXXX";
  TemporaryFiles& temporaries = TemporaryFiles::Instance();
  temporaries.BlockSignals(true);  // the name is known before a signal can come
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd >= 0) {
    m_temp = temp;
    temporaries.Add(m_temp.c_str());
  }
  temporaries.BlockSignals(false);
  if (fd < 0) return Failed("cannot create a file in " + folder, errno);
  FileCloser closer(fd);

  auto fail = [&](const std::string& what, int err) {
    ::close(closer.Release());
    Forget(true);
    return Failed(what + " " + path, err);
  };

  if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions of", errno);
  if (exists) {
    // The file being replaced keeps its bytes on the disk until the rename,
    // but what the system holds of it in memory is of no more use: let go
    // of it now, so that the new file's pages are the ones just given back
    // rather than fresh ones (which cost far more on some machines), and
    // the rename has less to free.
    if (const int old = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); old >= 0) {
      (void)::posix_fadvise(old, 0, 0, POSIX_FADV_DONTNEED);
      ::close(old);
    }
  }

  if (const int err = WritePieces(fd, pieces, exists); err != 0) return fail("cannot write", err);
  // A file that replaces another is on the disk before the rename, so that
  // a crash leaves the old file or the new one, never an empty one. A new
  // file has nothing to lose, and is left to the system to write back: the
  // sync would only make a batch of a thousand exports wait for the disk
  // a thousand times.
  if (exists && ::fsync(fd) != 0) return fail("cannot write", errno);
  if (::close(closer.Release()) != 0) {
    const int err = errno;
    Forget(true);
    return Failed("cannot write " + path, err);
  }
  return Result::Done();
}

Result PendingFile::Commit() {
  if (m_unnamed >= 0) {
    // Named only now; if the name was taken meanwhile, the file replaces
    // that one, as a named one would.
    const std::string self = "/proc/self/fd/" + std::to_string(m_unnamed);
    int err = 0;
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      err = errno;
      for (int attempt = 0; err == EEXIST && attempt < 100; ++attempt) {
        const std::string temp =
            FolderOf(m_path) + "/" + kTemporaryPrefix + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
          err = errno;
          continue;
        }
        err = ::rename(temp.c_str(), m_path.c_str()) == 0 ? 0 : errno;
        if (err != 0) ::unlink(temp.c_str());
        break;
      }
    }
    Forget(false);
    if (err != 0) return Failed("cannot create " + m_path, err);
    return Result::Done();
  }
  if (m_temp.empty()) return Result::Done();  // written in place
  if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
    const int err = errno;
    Forget(true);
    return Failed("cannot replace " + m_path, err);
  }
  Forget(false);
  return Result::Done();
}

Result WriteFileAtomic(const std::string& path, std::initializer_list<Piece> pieces) {
  PendingFile file;
  if (Result r = file.Write(path, pieces); !r.ok()) return r;
  return file.Commit();
}

}  // namespace pixmill
