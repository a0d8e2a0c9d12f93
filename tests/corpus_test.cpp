// Every file of the bmpsuite corpus through the loader: a clean refusal with
// a reason, or pixels equal to Pillow's decoding under the two known
// differences of our picture model.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "export/loader.h"
#include "image/png.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

const std::string kCorpus = std::string(PIXMILL_TEST_DATA) + "/bmpsuite";

struct Entry {
  std::string path;
  bool pillowOk;
  int bitCount;
  uint32_t compression;
};

std::vector<Entry> Manifest() {
  std::vector<Entry> entries;
  std::ifstream in(kCorpus + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, '\t')) f.push_back(field);
    if (f.size() < 10) continue;
    entries.push_back({f[0], f[9] == "ok", std::atoi(f[6].c_str()), static_cast<uint32_t>(std::atoi(f[7].c_str()))});
  }
  return entries;
}

// Index that ReserveIndexZero gives the pixels of index 0.
int ReservedIndex(const ImageBuffer& img) {
  uint32_t best = 2000000;
  int found = 0;
  for (int i = 1; i < (1 << img.BitCount()); ++i) {
    const uint32_t d = ColorDistance(img.GetPaletteColor(i), img.GetPaletteColor(0));
    if (d < best) {
      best = d;
      found = i;
    }
  }
  return found;
}

// Pixels differing from the reference, with the model's two differences applied.
// `undefinedAllowed`: the file leaves pixels undefined (RLE jumps and early
// ends), which the reader gives index 0, so they carry the reserved entry.
int Mismatches(const ImageBuffer& ours, const ImageBuffer& ref, int fileBits, bool undefinedAllowed,
               std::string& first) {
  if (ours.Width() != ref.Width() || ours.Height() != ref.Height()) {
    first = "size " + std::to_string(ours.Width()) + "x" + std::to_string(ours.Height());
    return ours.Width() * ours.Height() + 1;
  }
  const int reserved = ours.BitCount() == 4 || ours.BitCount() == 8 ? ReservedIndex(ours) : -1;
  // 16-bit pictures keep 5-bit channels; 16-bit masks widen to 8 bits by
  // repeating bits where Pillow scales: the top 5 bits are the same.
  const uint32_t mask = (ours.BitCount() == 16 || fileBits == 16) ? 0xF8F8F8 : 0xFFFFFF;
  int bad = 0;
  for (int y = 0; y < ours.Height(); ++y) {
    for (int x = 0; x < ours.Width(); ++x) {
      const uint32_t want = ref.GetPixel(x, y) & mask;
      const uint32_t got = ours.GetPixel(x, y) & mask;
      if (got == want) continue;
      // Pixels whose alpha is below half are transparent: the key colour.
      if (ours.MaskedAt(x, y) && (ours.GetPixel(x, y) & 0xFFFFFF) == SwapRedBlue(ours.m_transparentColor)) continue;
      // Pixels of index 0 carry the colour of the entry they moved to.
      if (reserved >= 0 && ours.GetIndex(x, y) == reserved &&
          (undefinedAllowed || (ours.GetPaletteColor(0) & mask) == want)) {
        continue;
      }
      if (bad++ == 0) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "(%d, %d): %06X, Pillow %06X", x, y, got, want);
        first = buf;
      }
    }
  }
  return bad;
}

TEST(BmpSuite, EveryFileIsRefusedCleanlyOrMatchesPillow) {
  const std::vector<Entry> entries = Manifest();
  ASSERT_EQ(entries.size(), 88u);
  int acceptedGood = 0;
  for (const Entry& e : entries) {
    const std::string folder = e.path.substr(0, 1);
    ImageBuffer img;
    const Result r = LoadFile(img, kCorpus + "/" + e.path);
    if (!r.ok()) {
      EXPECT_FALSE(r.reason().empty()) << e.path;
      EXPECT_FALSE(img.IsValid()) << e.path;
      continue;
    }
    acceptedGood += folder == "g";
    // Where Pillow cannot read a file or reads it wrongly, the file is checked
    // against its known content: the plain file of the same picture.
    // g/rgb32bf.bmp Pillow cannot read. Pillow 9.4 decodes RLE4 and RLE jumps
    // wrongly: its g/pal4rle.bmp differs from g/pal4.bmp, which the suite
    // makes from one picture, while its g/pal8rle.bmp equals g/pal8.bmp.
    static const std::map<std::string, std::string> kKnownContent = {
        {"g/rgb32bf.bmp", "g/rgb32.bmp"},   {"g/pal4rle.bmp", "g/pal4.bmp"},     {"q/pal4rletrns.bmp", "g/pal4.bmp"},
        {"q/pal4rlecut.bmp", "g/pal4.bmp"}, {"q/pal8rletrns.bmp", "g/pal8.bmp"}, {"q/pal8rlecut.bmp", "g/pal8.bmp"}};
    const auto known = kKnownContent.find(e.path);
    const std::string refName = known != kKnownContent.end() ? known->second : e.path;
    const bool undefinedAllowed =
        e.path.find("rletrns") != std::string::npos || e.path.find("rlecut") != std::string::npos;
    const bool hasRef = e.pillowOk || known != kKnownContent.end();
    if (!hasRef) continue;
    const std::vector<uint8_t> png = testing::ReadFileBytes(kCorpus + "/ref_pillow/" + refName + ".png");
    ImageBuffer ref;
    ASSERT_TRUE(ParsePng(ref, png.data(), png.size()).ok()) << refName;
    std::string first;
    const int bad = Mismatches(img, ref, e.bitCount, undefinedAllowed, first);
    // Files of the bad folder may decode differently from Pillow's guesses;
    // they must only load safely.
    EXPECT_TRUE(folder == "b" || bad == 0) << e.path << ": first at " << first;
  }
  EXPECT_EQ(acceptedGood, 27);
}

}  // namespace
}  // namespace pixmill
