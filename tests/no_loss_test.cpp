// Failures that lose nothing: a save or export that cannot be completed
// reports 1 with a reason, leaves the file that was there byte for byte,
// leaves no temporary file, and leaves the picture in memory as it was.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

const Bytes kOldFile = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};

enum class Writer { kSaveBmp, kExport, kExportCompressedText };

void PrintTo(Writer w, std::ostream* os) {
  *os << (w == Writer::kSaveBmp ? "save" : (w == Writer::kExport ? "export" : "export-lzss-text"));
}

Result Write(Writer w, const ImageBuffer& img, const std::string& path) {
  switch (w) {
    case Writer::kSaveBmp: {
      testing::FakeSavePrompt prompt(path);
      return SaveBmpAs(img, prompt);
    }
    case Writer::kExport:
      return WriteConvertedFile(img, path, {kFormTexture, kOutputBinary, 0, 1}, nullptr);
    case Writer::kExportCompressedText:
      return WriteConvertedFile(img, path, {kFormTexture, kOutputText, 1, 1}, nullptr);
  }
  return Result::Refused("?");
}

class NoLoss : public ::testing::TestWithParam<Writer> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(img.Create(64, 48, 8).ok());
    testing::FillPattern(img, 9);
    pixels.assign(img.GetBits(), img.GetBits() + img.GetImageSize());
  }
  void ExpectPictureUnchanged() {
    EXPECT_EQ(img.Width(), 64);
    EXPECT_EQ(Bytes(img.GetBits(), img.GetBits() + img.GetImageSize()), pixels);
  }
  ImageBuffer img;
  Bytes pixels;
  TempDir dir;
};

TEST_P(NoLoss, FullDiskKeepsTheOldFile) {
  const std::string path = dir.File("old.out");
  WriteFileBytes(path, kOldFile);
  // A file-size limit below what the write needs fails it part-way, as a
  // full disk does.
  const int code = testing::RunUnprivileged([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {512, 512};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Result r = Write(GetParam(), img, path);
    return r.ok() ? 0 : (r.reason().find("File too large") != std::string::npos ? 1 : 2);
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ReadFileBytes(path), kOldFile);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.out"});
}

TEST_P(NoLoss, SmallFileSystemKeepsTheOldFile) {
  TempDir mountPoint;
  if (::mount("tmpfs", mountPoint.path().c_str(), "tmpfs", 0, "size=12k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  const std::string path = mountPoint.File("old.out");
  WriteFileBytes(path, kOldFile);
  WriteFileBytes(mountPoint.File("filler"), Bytes(8000, 1));  // with the old file, all 12k
  const Result r = Write(GetParam(), img, path);
  const Bytes after = ReadFileBytes(path);
  const std::vector<std::string> entries = mountPoint.Entries();
  ::umount(mountPoint.path().c_str());
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find("No space"), std::string::npos) << r.reason();
  EXPECT_EQ(after, kOldFile);
  EXPECT_EQ(entries, (std::vector<std::string>{"filler", "old.out"}));
  ExpectPictureUnchanged();
}

TEST_P(NoLoss, ReadOnlyFolderKeepsTheOldFile) {
  const std::string folder = dir.File("ro");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string path = folder + "/old.out";
  WriteFileBytes(path, kOldFile);
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.c_str(), 0555);
  const int code = testing::RunUnprivileged([&] { return Write(GetParam(), img, path).code(); });
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ReadFileBytes(path), kOldFile);
  TempDir probe;
  EXPECT_EQ(::access((folder + "/old.out").c_str(), F_OK), 0);
}

TEST_P(NoLoss, MissingFolderAndFolderPathFail) {
  const Result missing = Write(GetParam(), img, dir.File("nowhere/x.out"));
  EXPECT_EQ(missing.code(), 1);
  EXPECT_FALSE(missing.reason().empty());
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  WriteFileBytes(dir.File("folder/inside"), kOldFile);
  const Result folder = Write(GetParam(), img, dir.File("folder"));
  EXPECT_EQ(folder.code(), 1);
  EXPECT_NE(folder.reason().find("folder"), std::string::npos) << folder.reason();
  EXPECT_EQ(ReadFileBytes(dir.File("folder/inside")), kOldFile);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"folder"});
  const Result full = Write(GetParam(), img, "/dev/full");
  EXPECT_EQ(full.code(), 1);
  ExpectPictureUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Writers, NoLoss,
                         ::testing::Values(Writer::kSaveBmp, Writer::kExport, Writer::kExportCompressedText));

// Peak memory of fn run in a child process, in KiB, and whether it
// succeeded.
std::pair<long, bool> PeakOf(const std::function<bool()>& fn) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return {-1, false};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipefd[0]);
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    const bool ok = fn();
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    const long grew = after.ru_maxrss - before.ru_maxrss;
    const long answer[2] = {grew, ok ? 1 : 0};
    (void)!::write(pipefd[1], answer, sizeof answer);
    ::_exit(0);
  }
  ::close(pipefd[1]);
  long answer[2] = {-1, 0};
  (void)!::read(pipefd[0], answer, sizeof answer);
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {answer[0], answer[1] != 0};
}

TEST(HostileSizes, ClaimedMillionByMillionBitmapAllocatesNothingBig) {
  for (int header : {40, 124}) {
    Bytes f = testing::BuildBmp({.width = 4, .height = 4, .bitCount = 24, .headerSize = static_cast<uint32_t>(header)});
    WriteLe32(f.data() + 18, 1000000);
    WriteLe32(f.data() + 22, 1000000);
    const auto [peak, ok] = PeakOf([&] {
      ImageBuffer img;
      return LoadBytes(img, f).ok();
    });
    EXPECT_FALSE(ok);
    EXPECT_LT(peak, 8 * 1024) << header;  // KiB
  }
  // The same as RLE, which holds no pixel bytes to be measured against.
  Bytes rle = testing::BuildBmp({.width = 4, .height = 1, .bitCount = 8, .compression = 1});
  WriteLe32(rle.data() + 18, 1000000);
  WriteLe32(rle.data() + 22, 1000000);
  ImageBuffer img;
  const Result r = LoadBytes(img, rle);
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find("too large"), std::string::npos);
}

TEST(HostileSizes, FuzzFindingTallSixteenBitBitmap) {
  // 1 x 33554429 pixels at 16 bits claimed by a 182-byte file: refused before
  // anything is allocated for it (it once took 128 MiB and seconds).
  const Bytes f = testing::ReadFileBytes(std::string(PIXMILL_TEST_DATA) + "/fuzz-findings/load-tall-16bit.bmp");
  const auto [peak, ok] = PeakOf([&] {
    ImageBuffer img;
    return LoadBytes(img, f).ok();
  });
  EXPECT_FALSE(ok);
  EXPECT_LT(peak, 8 * 1024);
}

TEST(HostileSizes, RunLengthDataCannotClaimAHugePicture) {
  Bytes rle = testing::BuildBmp({.width = 8000, .height = 8000, .bitCount = 8, .compression = 1});
  rle.resize(1078 + 2);
  rle[1079] = 1;  // end of bitmap
  WriteLe32(rle.data() + 2, static_cast<uint32_t>(rle.size()));
  const auto [peak, ok] = PeakOf([&] {
    ImageBuffer img;
    return LoadBytes(img, rle).ok();
  });
  EXPECT_FALSE(ok);
  EXPECT_LT(peak, 8 * 1024);
}

TEST(HostileSizes, ExportedHeaderOfTheLargestPictureIsNotBelieved) {
  // 65535 x 65535 claimed by four bytes and a little data.
  const Bytes f = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
  const auto [peak, ok] = PeakOf([&] {
    ImageBuffer img;
    return LoadBytes(img, f).ok();
  });
  EXPECT_FALSE(ok);
  EXPECT_LT(peak, 8 * 1024);
}

TEST(HostileSizes, LzssStreamThatExpandsAsFarAsItCan) {
  // Every token a match of 34 bytes, one byte back after a first literal:
  // 1.1 MB of stream expand to 17.8 MB, and no further.
  const int flagBytes = 65535;
  Bytes s = {'L', 'Z', 'S', 'S', 0xFF, 0xFF};
  s.push_back(0x7F);  // first token a literal
  s.insert(s.end(), flagBytes - 1, 0xFF);
  s.push_back('a');
  for (int t = 1; t < flagBytes * 8; ++t) {
    s.push_back(0x00);
    s.push_back(0x20 | 31);  // distance 1, length 34
  }
  const auto [peak, ok] = PeakOf([&] {
    LzssCodec codec;
    if (!codec.Decode(s.data(), static_cast<int64_t>(s.size())).ok()) return false;
    return codec.Bytes().size() == 1 + size_t{34} * (flagBytes * 8 - 1);
  });
  EXPECT_TRUE(ok);
  EXPECT_LT(peak, 64 * 1024);  // the output and the stream, not 20 times the stream
  ImageBuffer img;
  EXPECT_EQ(LoadBytes(img, s).code(), 1);  // expands, then is no picture
}

}  // namespace
}  // namespace pixmill
