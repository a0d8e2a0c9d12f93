// Writes the sample pictures: a photo-like gradient and a pixel-art sprite,
// each at 24 and at 8 bits. Usage: pixmill_make_samples FOLDER
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/document.h"
#include "color/depth.h"
#include "color/transparent.h"
#include "image/bmp.h"

using namespace pixmill;

namespace {

void Photo(ImageBuffer& img) {
  (void)img.Create(320, 240, 24);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const double fx = x / 320.0, fy = y / 240.0;
      // Sky fading into hills, with a sun.
      double r = 90 + 120 * fy, g = 140 + 80 * fy, b = 230 - 60 * fy;
      const double hill = 160 + 25 * std::sin(fx * 7.0) + 12 * std::sin(fx * 23.0 + 1.3);
      if (y > hill) {
        const double d = (y - hill) / 80.0;
        r = 60 + 40 * std::sin(x * 0.09) * 0.3 + 30 * d;
        g = 120 - 40 * d + 15 * std::sin(x * 0.31 + y * 0.17);
        b = 50 + 10 * d;
      }
      const double sx = x - 250, sy = y - 60, sun = std::sqrt(sx * sx + sy * sy);
      if (sun < 45) {
        const double k = std::max(0.0, 1.0 - sun / 45);
        r += (255 - r) * k;
        g += (230 - g) * k;
        b += (150 - b) * k;
      }
      auto ch = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0)); };
      WriteRgb24(img.Row(y) + 3 * x, ch(r) << 16 | ch(g) << 8 | ch(b));
    }
  }
}

void Sprite(ImageBuffer& img) {
  static const char* kArt[] = {
      "................", ".....KKKKKK.....", "...KKRRRRRRKK...", "..KRRRRRRRRRRK..",
      "..KRRWWRRRRWWK..", ".KRRRWKRRRRWKRK.", ".KRRRRRRRRRRRRK.", ".KRRRRRRRRRRRRK.",
      ".KRRYYYYYYYYRRK.", ".KRRYKKKKKKYRRK.", "..KRRYYYYYYRRK..", "..KRRRRRRRRRRK..",
      "...KKRRRRRRKK...", ".....KKKKKK.....", "....KK....KK....", "................",
  };
  (void)img.Create(64, 64, 24);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint32_t c = 0x58A8F8;  // sky blue background, easy to make transparent
      switch (kArt[y / 4][x / 4]) {
        case 'K':
          c = 0x000000;
          break;
        case 'R':
          c = 0xE03020;
          break;
        case 'W':
          c = 0xFFFFFF;
          break;
        case 'Y':
          c = 0xF8D800;
          break;
        default:
          break;
      }
      WriteRgb24(img.Row(y) + 3 * x, c);
    }
  }
}

bool Save(ImageBuffer& img, const std::string& folder, const std::string& name) {
  const Result r = WriteBmp(img, folder + "/" + name);
  if (!r.ok()) std::fprintf(stderr, "%s: %s\n", name.c_str(), r.reason().c_str());
  return r.ok();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  bool ok = true;
  for (int which = 0; which < 2; ++which) {
    ImageBuffer img;
    InitTransparentColor(img, kButtonFaceColour);
    if (which == 0)
      Photo(img);
    else
      Sprite(img);
    const std::string base = which == 0 ? "photo" : "sprite";
    ok &= Save(img, folder, base + "-24.bmp");
    ApplyColourSettings(img, {which == 0 ? 1 : 0, 0, 8});
    ok &= ChangeColorDepth(img, 8).ok();
    ok &= Save(img, folder, base + "-8.bmp");
  }
  return ok ? 0 : 1;
}
