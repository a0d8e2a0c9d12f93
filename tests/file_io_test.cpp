#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>

#include "export/loader.h"
#include "export/lzss.h"
#include "platform/memory.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew(5000, 'n');

Result WriteNew(const std::string& path) { return WriteFileAtomic(path, kNew.data(), kNew.size()); }

TEST(WriteFileAtomic, ReplacesAnExistingFileAndKeepsItsMode) {
  TempDir dir;
  const std::string path = dir.File("f.bin");
  WriteFileBytes(path, kOld);
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteNew(path).ok());
  EXPECT_EQ(ReadFileBytes(path), kNew);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bin"});
}

TEST(WriteFileAtomic, MissingFolderFails) {
  TempDir dir;
  const Result r = WriteNew(dir.File("no/such/folder/f.bin"));
  EXPECT_EQ(r.code(), 1);
  EXPECT_EQ(r.kind(), Result::Kind::kIoError);
  EXPECT_NE(r.reason().find("No such file"), std::string::npos) << r.reason();
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(WriteFileAtomic, PathThatIsAFolderFails) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  const Result r = WriteNew(dir.File("sub"));
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find("folder"), std::string::npos);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sub"});
}

TEST(WriteFileAtomic, ReadOnlyFolderKeepsTheOldFile) {
  TempDir dir;
  const std::string folder = dir.File("ro");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string path = folder + "/f.bin";
  WriteFileBytes(path, kOld);
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.c_str(), 0555);
  const int code = testing::RunUnprivileged([&] {
    const Result r = WriteNew(path);
    return r.ok() ? 0 : (r.reason().find("Permission denied") != std::string::npos ? 1 : 2);
  });
  EXPECT_EQ(code, 1);
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(ReadFileBytes(path), kOld);
  struct stat st {};
  EXPECT_EQ(::stat((folder).c_str(), &st), 0);
}

TEST(WriteFileAtomic, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  // A file-size limit makes the write fail part-way, as a full disk does.
  TempDir dir;
  const std::string path = dir.File("f.bin");
  WriteFileBytes(path, kOld);
  const int code = testing::RunUnprivileged([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
      1000, 1000
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Result r = WriteNew(path);
    return r.ok() ? 0 : 1;
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ReadFileBytes(path), kOld);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bin"});
}

TEST(WriteFileAtomic, DeviceIsWrittenInPlaceAndItsErrorsReported) {
  const Result full = WriteNew("/dev/full");
  EXPECT_EQ(full.code(), 1);
  EXPECT_NE(full.reason().find("No space"), std::string::npos) << full.reason();
  EXPECT_TRUE(WriteNew("/dev/null").ok());
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// How far the peak resident size of a child process grows while fn runs
// (KiB), and what fn answered.
std::pair<long, bool> PeakOf(const std::function<bool()>& fn) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return {-1, false};
  const pid_t pid = ::fork();
  if (pid == 0) {
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const bool ok = fn();
    ::getrusage(RUSAGE_SELF, &after);
    const long answer[2] = {after.ru_maxrss - before.ru_maxrss, ok ? 1 : 0};
    (void)!::write(pipefd[1], answer, sizeof answer);
    ::_exit(0);
  }
  long answer[2] = {-1, 0};
  (void)!::read(pipefd[0], answer, sizeof answer);
  ::close(pipefd[0]);
  ::close(pipefd[1]);
  ::waitpid(pid, nullptr, 0);
  return {answer[0], answer[1] != 0};
}

// A large block given back is handed out again for the next one of about
// its size, and cleared when a cleared block is asked for.
TEST(LargeBlocks, AreKeptForTheNextAndClearedWhenAskedFor) {
  constexpr size_t kSize = size_t{6} << 20;
  const uint8_t* first = nullptr;
  {
    Block b = AllocateBlock(kSize, false);
    ASSERT_TRUE(b);
    first = b.get();
    std::memset(b.get(), 0xAB, kSize);
  }
  const Block again = AllocateBlock(kSize - 4096, true);
  ASSERT_TRUE(again);
  EXPECT_EQ(again.get(), first);
  EXPECT_EQ(std::count(again.get(), again.get() + kSize - 4096, 0), static_cast<std::ptrdiff_t>(kSize - 4096));
  EXPECT_NE(AllocateBlock(kSize * 3, false).get(), first);  // far larger: a mapping of its own
}

// Small files that claim huge pictures are refused before anything big is
// allocated for them (one once took 128 MiB and seconds).
TEST(HostileSizes, ClaimedPicturesAllocateNothingBig) {
  const std::string data = PIXMILL_TEST_DATA;
  for (const std::string file :
       {"/golden/in/claims-million-square.bmp", "/golden/in/claims-million-square-v5.bmp",
        "/golden/in/claims-million-square-rle.bmp", "/golden/in/claims-8000-square-rle.bmp",
        "/golden/in/claims-65535-square.d", "/golden/in/claims-20000-square.png", "/golden/in/claims-8192-square.png",
        "/golden/in/chunk-claims-1600-mb.png", "/fuzz-findings/load-tall-16bit.bmp"}) {
    const auto [peak, ok] = PeakOf([&] {
      ImageBuffer img;
      return LoadBytes(img, ReadFileBytes(data + file)).ok();
    });
    EXPECT_FALSE(ok) << file;
    EXPECT_LT(peak, 8 * 1024) << file;  // KiB
  }
}

TEST(HostileSizes, LzssStreamExpandsAsFarAsItCanAndNoFurther) {
  // Every token but the first a match of 34 bytes one byte back: 1.1 MB of
  // stream expand to 17.8 MB, with no output buffer of 20 times the stream.
  const int flagBytes = 65535;
  std::vector<uint8_t> s = {'L', 'Z', 'S', 'S', 0xFF, 0xFF, 0x7F};
  s.insert(s.end(), flagBytes - 1, 0xFF);
  s.push_back('a');
  for (int t = 1; t < flagBytes * 8; ++t) {
    s.push_back(0x00);
    s.push_back(0x20 | 31);
  }
  const auto [peak, ok] = PeakOf([&] {
    LzssCodec codec;
    return codec.Decode(s.data(), static_cast<int64_t>(s.size())).ok() &&
           codec.Bytes().size() == 1 + size_t{34} * (flagBytes * 8 - 1);
  });
  EXPECT_TRUE(ok);
  EXPECT_LT(peak, 64 * 1024);
}

// Exported data are held to the limit of the other readers: 65535 x 2000
// pixels of one bit are 16 MB of file, and 131 million pixels.
TEST(HostileSizes, ExportedDataKeepTheLimitOfEveryReader) {
  for (const bool palette : {false, true}) {
    std::vector<uint8_t> data(4 + (palette ? 4 : 0) + size_t{65535} * 2000 / 8, 0);
    data[0] = data[1] = 0xFF;
    data[2] = 0x07;
    data[3] = 0xD0;
    ImageBuffer img;
    const Result r = LoadBytes(img, data);
    EXPECT_EQ(r.cause(), Result::Cause::kTooLarge);
    EXPECT_EQ(r.reason(), "exported data of 65535 x 2000 pixels is too large (at most 67108864 pixels)");
  }
}

// Runs fn in a child process and gives its exit status, or -(the signal)
// that ended it, or kTimedOut when it ran past `seconds` (and was killed).
constexpr int kTimedOut = 1000;
int InChild(const std::function<int()>& fn, int seconds = 5) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(fn());
  for (int tenth = 0; tenth < seconds * 10; ++tenth) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
    ::usleep(100000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return kTimedOut;
}

TEST(Hardening, AFifoIsRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(InChild([&] {
              FileBytes bytes;
              const Result r = ReadWholeFile(fifo, bytes);
              return r.ok() ? 1 : (r.reason().find("not a regular file") != std::string::npos ? 0 : 2);
            }),
            0);
}

TEST(Hardening, NamesUpToTheSystemsLimitAreWritten) {
  TempDir dir;
  for (const size_t length : {200, 240, 250, 255}) {
    const std::string name(length, 'n');
    EXPECT_TRUE(WriteNew(dir.File(name)).ok()) << length;
    EXPECT_EQ(ReadFileBytes(dir.File(name)), kNew) << length;
    ::unlink(dir.File(name).c_str());
  }
  EXPECT_TRUE(dir.Entries().empty());
}

// A save ended by a signal between writing and committing leaves neither
// a temporary file nor a changed target, and the signal still ends it.
TEST(Hardening, ASignalDuringASaveLeavesNothingBehind) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    TempDir dir;
    const std::string path = dir.File("f.bin");
    WriteFileBytes(path, kOld);
    EXPECT_EQ(InChild([&] {
                PendingFile file;
                if (!file.Write(path, {Piece{kNew.data(), kNew.size()}}).ok()) return 1;
                if (dir.Entries().size() != 2) return 2;  // the target and its temporary
                ::raise(signal);
                return 3;
              }),
              -signal);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bin"}) << signal;
    EXPECT_EQ(ReadFileBytes(path), kOld);
  }
}

// What a killed save left is removed by a later save into the folder once
// it is a day old; younger ones and other files stay.
// A new file appears only once it is whole: while it is written, and if it
// is never committed, the folder holds nothing of it.
TEST(Hardening, ANewFileAppearsOnlyWhole) {
  TempDir dir;
  {
    PendingFile file;
    ASSERT_TRUE(file.Write(dir.File("f.bin"), {Piece{kNew.data(), kNew.size()}}).ok());
    EXPECT_TRUE(dir.Entries().empty());
  }
  EXPECT_TRUE(dir.Entries().empty());
  PendingFile file;
  ASSERT_TRUE(file.Write(dir.File("f.bin"), {Piece{kNew.data(), kNew.size()}}).ok());
  ASSERT_TRUE(file.Commit().ok());
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(ReadFileBytes(dir.File("f.bin")), kNew);
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("f.bin").c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
  // A file made under the name meanwhile is replaced, as a named one would be.
  PendingFile late;
  ASSERT_TRUE(late.Write(dir.File("g.bin"), {Piece{kNew.data(), kNew.size()}}).ok());
  WriteFileBytes(dir.File("g.bin"), kOld);
  ASSERT_TRUE(late.Commit().ok());
  EXPECT_EQ(ReadFileBytes(dir.File("g.bin")), kNew);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"f.bin", "g.bin"}));
}

TEST(Hardening, StaleTemporariesOfOursAreRemoved) {
  TempDir dir;
  const timespec twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0}, {::time(nullptr) - 2 * 86400, 0}};
  for (const char* name : {".pixmill-AbC123", ".pixmill-young1", ".other-Abc123", "kept.bin"}) {
    WriteFileBytes(dir.File(name), kOld);
    if (std::string(name) != ".pixmill-young1") ::utimensat(AT_FDCWD, dir.File(name).c_str(), twoDaysAgo, 0);
  }
  ASSERT_TRUE(WriteNew(dir.File("f.bin")).ok());
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{".other-Abc123", ".pixmill-young1", "f.bin", "kept.bin"}));
}

// Saving onto a link writes the file it links to; the link stays a link.
TEST(Hardening, ASaveWritesThroughALink) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0755), 0);
  WriteFileBytes(dir.File("real/f.bin"), kOld);
  ASSERT_EQ(::symlink("real/f.bin", dir.File("link.bin").c_str()), 0);
  ASSERT_EQ(::symlink("real/new.bin", dir.File("dangling.bin").c_str()), 0);
  ASSERT_TRUE(WriteNew(dir.File("link.bin")).ok());
  ASSERT_TRUE(WriteNew(dir.File("dangling.bin")).ok());
  for (const char* link : {"link.bin", "dangling.bin"}) {
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File(link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("real/f.bin")), kNew);
  EXPECT_EQ(ReadFileBytes(dir.File("real/new.bin")), kNew);
}

}  // namespace
}  // namespace pixmill
