// The fuzz targets' three entry points replayed over the seed corpus and
// every earlier finding: each file loads or is refused, expands or is
// refused, and compresses to a stream that expands back to it.
#include <dirent.h>
#include <gtest/gtest.h>

#include "export/loader.h"
#include "export/lzss.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "/" + name;
      const std::vector<std::string> inner = FilesUnder(path);
      if (inner.empty() && name.find('.') != std::string::npos) files.push_back(path);
      files.insert(files.end(), inner.begin(), inner.end());
    }
    ::closedir(dir);
  }
  return files;
}

void Replay(const Bytes& data) {
  ImageBuffer img;
  const Result loaded = LoadBytes(img, data);
  if (loaded.ok()) {
    EXPECT_LE(static_cast<size_t>(img.GetImageSize()), img.BitsBlockSize());
  } else {
    EXPECT_FALSE(loaded.reason().empty());
  }
  LzssCodec decoder;
  (void)decoder.Decode(data.data(), static_cast<int64_t>(data.size()));
  LzssCodec encoder;
  if (encoder.Encode(data.data(), static_cast<int64_t>(data.size())).ok()) {
    LzssCodec back;
    ASSERT_TRUE(back.Decode(encoder.Bytes().data(), static_cast<int64_t>(encoder.Bytes().size())).ok());
    EXPECT_EQ(back.Bytes(), data);
  }
}

TEST(FuzzReplay, SeedFilesAndFindings) {
  const std::vector<std::string> files = FilesUnder(PIXMILL_TEST_DATA);
  ASSERT_GT(files.size(), 100u);
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    Replay(testing::ReadFileBytes(f));
  }
}

}  // namespace
}  // namespace pixmill
