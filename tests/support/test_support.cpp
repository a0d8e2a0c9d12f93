#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pixmill::testing {

namespace {

void RemoveTree(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    ::chmod(path.c_str(), 0700);
    if (DIR* dir = ::opendir(path.c_str())) {
      while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        RemoveTree(path + "/" + name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/pixmill-test-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) std::abort();
  // Reachable by an unprivileged child (RunUnprivileged).
  ::chmod(templ.c_str(), 0777);
  path_ = templ;
}

TempDir::~TempDir() { RemoveTree(path_); }

std::vector<std::string> TempDir::Entries() const { return testing::Entries(path_); }

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
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

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

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

std::vector<uint8_t> BuildBmp(const BmpFields& b) {
  std::vector<uint32_t> palette = b.palette;
  if (b.bitCount < 16 && !b.shortPalette) palette.resize(size_t{1} << b.bitCount, 0);
  const size_t paletteBytes = 4 * palette.size();
  const int64_t stride = StrideFor(b.width, b.bitCount);
  std::vector<uint8_t> pixels = b.pixels;
  if (pixels.empty()) pixels.resize(static_cast<size_t>(stride * std::abs(b.height)), 0);

  const size_t off = 14 + b.headerSize + paletteBytes + static_cast<size_t>(b.gapBeforePixels);
  std::vector<uint8_t> f(off + pixels.size(), 0);
  WriteLe16(f.data(), b.type);
  WriteLe32(f.data() + 2, static_cast<uint32_t>(f.size()));
  WriteLe32(f.data() + 10, static_cast<uint32_t>(off));
  uint8_t* h = f.data() + 14;
  WriteLe32(h, b.headerSize);
  WriteLe32(h + 4, static_cast<uint32_t>(b.width));
  WriteLe32(h + 8, static_cast<uint32_t>(b.height));
  WriteLe16(h + 12, 1);
  WriteLe16(h + 14, b.bitCount);
  WriteLe32(h + 16, b.compression);
  WriteLe32(h + 20, static_cast<uint32_t>(pixels.size()));
  if (b.shortPalette) WriteLe32(h + 32, static_cast<uint32_t>(palette.size()));
  for (size_t i = 0; i < palette.size(); ++i) WriteLe32(h + b.headerSize + 4 * i, palette[i]);
  std::copy(pixels.begin(), pixels.end(), f.begin() + static_cast<ptrdiff_t>(off));
  return f;
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
        image.SetPixel(x, y, next() & 0xFFFFFF);
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
      image.SetPixel(x, y, ch(r) << 16 | ch(g) << 8 | ch(b));
    }
  }
}

::testing::AssertionResult SamePicture(const ImageBuffer& a, const ImageBuffer& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount()) {
    return ::testing::AssertionFailure() << "sizes differ: " << a.Width() << "x" << a.Height() << "x"
                                         << a.BitCount() << " vs " << b.Width() << "x" << b.Height() << "x"
                                         << b.BitCount();
  }
  if (a.BitCount() < 16) {
    for (int i = 0; i < (1 << a.BitCount()); ++i) {
      if ((a.GetPaletteColor(i) & 0xFFFFFF) != (b.GetPaletteColor(i) & 0xFFFFFF)) {
        return ::testing::AssertionFailure() << "palette entry " << i << " differs: " << std::hex
                                             << a.GetPaletteColor(i) << " vs " << b.GetPaletteColor(i);
      }
    }
  }
  for (int32_t y = 0; y < a.Height(); ++y) {
    for (int32_t x = 0; x < a.Width(); ++x) {
      const bool indexed = a.BitCount() < 16;
      const uint32_t va = indexed ? a.GetIndex(x, y) : a.GetPixel(x, y);
      const uint32_t vb = indexed ? b.GetIndex(x, y) : b.GetPixel(x, y);
      if (va != vb) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs: " << std::hex << va
                                             << " vs " << vb;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace pixmill::testing
