#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/file_io.h"
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
    struct rlimit limit {1000, 1000};
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

TEST(ReadWholeFile, ReadsAndRefuses) {
  TempDir dir;
  FileBytes bytes;
  WriteFileBytes(dir.File("a"), {9, 8});
  ASSERT_TRUE(ReadWholeFile(dir.File("a"), bytes).ok());
  EXPECT_EQ(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()), (std::vector<uint8_t>{9, 8}));

  const Result missing = ReadWholeFile(dir.File("missing"), bytes);
  EXPECT_EQ(missing.kind(), Result::Kind::kIoError);
  EXPECT_NE(missing.reason().find("missing"), std::string::npos);
  // Untouched on failure.
  EXPECT_EQ(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()), (std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(ReadWholeFile(dir.path(), bytes).code(), 1);
  WriteFileBytes(dir.File("empty"), {});
  ASSERT_TRUE(ReadWholeFile(dir.File("empty"), bytes).ok());
  EXPECT_EQ(bytes.size(), 0u);
}

TEST(WriteFileAtomic, WritesPiecesInOrder) {
  TempDir dir;
  const uint8_t a[] = {1, 2}, b[] = {3}, c[] = {4, 5, 6};
  ASSERT_TRUE(WriteFileAtomic(dir.File("p"), {Piece{a, 2}, Piece{b, 1}, Piece{c, 0}, Piece{c, 3}}).ok());
  EXPECT_EQ(ReadFileBytes(dir.File("p")), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(FilterStrings, SplitIntoEntries) {
  const auto entries = ParseFilterString("ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|DATA(*.d)|*.d|ALL(*.*)|*.*||");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].label, "DATA(*.d)");
  EXPECT_EQ(entries[1].pattern, "*.d");
  EXPECT_EQ(entries[2].pattern, "*.*");
}

}  // namespace
}  // namespace pixmill
