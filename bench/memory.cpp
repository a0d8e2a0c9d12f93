// Peak memory of the long operations on a 4096 x 4096 photo-like picture,
// each measured in a process of its own: how far the peak resident size
// rises above what the picture itself takes. Run: build/bench/pixmill_memory
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/document.h"
#include "color/depth.h"
#include "image/resize.h"
#include "support/test_support.h"

using namespace pixmill;

namespace {

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void Measure(const std::string& name, int side, const std::function<void(ImageBuffer&)>& op) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    ImageBuffer img;
    (void)img.Create(side, side, 24);
    pixmill::testing::FillPhotoLike(img, 3);
    const long before = PeakKiB();
    op(img);
    const long after = PeakKiB();
    const double picture = 4096.0 * 4096 * 3 / 1024;  // KiB of the 4096 x 4096 24-bit picture
    std::printf("%-40s peak %7.1f MiB above start, %7.1f MiB in all = %.2f x the picture (48 MiB)\n", name.c_str(),
                (after - before) / 1024.0, after / 1024.0, after / picture);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main() {
  for (int bits : {8, 4, 16}) {
    Measure("depth change to " + std::to_string(bits) + " bits, diffusion", 4096, [bits](ImageBuffer& img) {
      ApplyColourSettings(img, {1, 0, 8});
      (void)ChangeColorDepth(img, bits);
    });
  }
  Measure("resize 4096 x 4096 to 1024 x 1024", 4096, [](ImageBuffer& img) { (void)Resize(img, 1024, 1024); });
  Measure("resize 1024 x 1024 to 4096 x 4096", 1024, [](ImageBuffer& img) { (void)Resize(img, 4096, 4096); });
  return 0;
}
