#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pixmill::testing {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/pixmill-test-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) std::abort();
  // Reachable by an unprivileged child (RunUnprivileged).
  ::chmod(templ.c_str(), 0777);
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Entries() const { return testing::Entries(path_); }

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& e : std::filesystem::directory_iterator(folder, ignored)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

int RunUnprivileged(const std::function<int()>& fn) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(120);
    }
    ::_exit(fn());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void FillPattern(ImageBuffer& image, uint32_t seed) {
  uint32_t s = seed * 2654435761u + 12345;
  auto next = [&s] {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  };
  const int bits = image.BitCount();
  if (bits < 16) {
    for (int i = 0; i < (1 << bits); ++i) image.SetPaletteColor(static_cast<uint32_t>(i), next() & 0xFFFFFF);
  }
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (bits < 16) {
        image.SetIndex(x, y, next() & ((1u << bits) - 1));
      } else if (bits == 16) {
        const int32_t off = image.GetPixelOffset(x, y);
        const uint32_t w = next() & 0x7FFF;
        image.GetBits()[off] = static_cast<uint8_t>(w);
        image.GetBits()[off + 1] = static_cast<uint8_t>(w >> 8);
      } else {
        WriteRgb24(image.Row(y) + 3 * x, next() & 0xFFFFFF);
      }
    }
  }
}

void FillPhotoLike(ImageBuffer& image, uint32_t seed) {
  uint32_t s = seed * 747796405u + 2891336453u;
  auto noise = [&s] {
    s = s * 1664525u + 1013904223u;
    return static_cast<int>((s >> 24) % 17) - 8;
  };
  const double w = image.Width(), h = image.Height();
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      const double fx = x / w, fy = y / h;
      double r = 255 * fx * (1 - 0.3 * fy) + 20 * std::sin(x * 0.21 + seed);
      double g = 255 * fy * (0.6 + 0.4 * fx) + 15 * std::cos(y * 0.17);
      double b = 128 + 110 * std::sin((fx + fy) * 3.1 + seed * 0.5) + 10 * std::sin(x * y * 0.001);
      auto ch = [&](double v) { return static_cast<uint32_t>(std::clamp(static_cast<int>(v) + noise(), 0, 255)); };
      WriteRgb24(image.Row(y) + 3 * x, ch(r) << 16 | ch(g) << 8 | ch(b));
    }
  }
}

void Copy(const ImageBuffer& from, ImageBuffer& to) {
  ASSERT_TRUE(to.Create(from.Width(), from.Height(), from.BitCount()).ok());
  std::copy(from.GetInfo(), from.GetInfo() + from.GetInfoSize(), to.GetInfo());
  std::copy(from.GetBits(), from.GetBits() + from.GetImageSize(), to.GetBits());
}

::testing::AssertionResult SamePicture(const ImageBuffer& a, const ImageBuffer& b) {
  // The info headers with the palettes, then the pixel rows, byte by byte.
  const std::vector<uint8_t> ba(a.GetInfo(), a.GetInfo() + a.GetInfoSize());
  const std::vector<uint8_t> bb(b.GetInfo(), b.GetInfo() + b.GetInfoSize());
  if (ba != bb) return ::testing::AssertionFailure() << "the info headers or palettes differ";
  const auto at = std::mismatch(a.GetBits(), a.GetBits() + a.GetImageSize(), b.GetBits());
  if (at.first == a.GetBits() + a.GetImageSize()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel byte " << (at.first - a.GetBits()) << " of " << a.GetImageSize()
                                       << " differs";
}

}  // namespace pixmill::testing
