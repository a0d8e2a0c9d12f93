// The desktop program against the command line: each long command run
// through the main window's own handler (its option dialog answered, its
// save dialog faked, offscreen), and the same operation through the
// commands the command line runs, on the same picture. Prints the times and
// one line "gui/cli time ratio: X", X the worst ratio.
// Run: QT_QPA_PLATFORM=offscreen build/bench/pixmill_gui_bench
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/document.h"
#include "color/depth.h"
#include "support/test_support.h"
#include "ui/main_dialog.h"

using namespace pixmill;

namespace {

class Prompt : public SavePathPrompt {
 public:
  explicit Prompt(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest&) override { return path_; }

 private:
  std::string path_;
};

class Quiet : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
};

// A main window whose option dialogs answer as `answer` says.
class Window : public ui::MainDialog {
 public:
  Window() : MainDialog({}) {
    SetMessages(&quiet);
    OnInitDialog();
  }
  std::function<void(ui::ModalDialog&)> answer;
  Quiet quiet;

 protected:
  int RunModal(ui::ModalDialog& dialog) override {
    dialog.OnInitDialog();
    dialog.show();
    answer(dialog);
    dialog.hide();
    return dialog.result();
  }
};

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Both sides start from the same picture each time.
struct Case {
  const char* name;
  int side;
  int bits;
  std::function<void(Window&)> gui;
  std::function<void(Document&)> cli;
};

void Fill(ImageBuffer& image, int side, int bits) {
  (void)image.Create(side, side, 24);
  pixmill::testing::FillPhotoLike(image, 5);
  if (bits == 8) {
    ApplyColourSettings(image, {0, 0, 8});
    (void)ChangeColorDepth(image, 8);
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The exports go to memory where there is some: both sides sync the file
  // they write, and a disk's sync time, the same for both, only adds noise.
  if (std::filesystem::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
  pixmill::testing::TempDir dir;
  const std::string out = dir.File("out.d");
  const std::vector<Case> cases = {
      {"colour to 8 bits, diffusion, 4096 x 4096", 4096, 24,
       [](Window& w) {
         w.answer = [](ui::ModalDialog& md) {
           auto& d = static_cast<ui::ColorDialog&>(md);
           d.depthRadios[2]->setChecked(true);
           d.diffusionRadio->setChecked(true);
           d.optimizedRadio->setChecked(true);
           d.accept();
         };
         w.OnColor();
       },
       [](Document& doc) {
         (void)ColourCommand(doc, {1, 0, 8}, 8);
       }},
      {"resize 4096 x 4096 to 3000 x 3000", 4096, 24,
       [](Window& w) {
         w.answer = [](ui::ModalDialog& md) {
           auto& d = static_cast<ui::ScaleDialog&>(md);
           d.widthEdit->setText(QStringLiteral("3000"));
           d.heightEdit->setText(QStringLiteral("3000"));
           d.accept();
         };
         w.OnScale();
       },
       [](Document& doc) { (void)ScaleCommand(doc, 3000, 3000); }},
      {"LZSS texture export, 1024 x 1024 at 8 bits", 1024, 8,
       [&out](Window& w) {
         Prompt prompt(out);
         w.SetSavePrompt(&prompt);
         w.answer = [](ui::ModalDialog& md) {
           auto& d = static_cast<ui::ConvertDialog&>(md);
           d.textureRadio->click();
           d.lzssBox->setChecked(true);
           d.accept();
         };
         w.OnConvert();
       },
       [&out](Document& doc) {
         Prompt prompt(out);
         (void)ConvertCommand(doc, {kFormTexture, kOutputBinary, 1, 1}, prompt, nullptr);
       }},
  };

  double worst = 0;
  const char* only = getenv("PIXMILL_BENCH_ONLY");  // a word of a case's name
  for (const Case& c : cases) {
    if (only && !std::strstr(c.name, only)) continue;
    std::vector<double> gui, cli;
    // The two sides take turns, each going first every other round (the one
    // going first pays for caches and memory the other then finds warm), and
    // the ratio is taken over pairs of rounds, one of each order, so that
    // this cost and a slower phase of the machine fall on both sides alike.
    // Short cases run more rounds. The window stays, as in a session where
    // one picture after another is opened and worked on.
    const int rounds = c.side > 1024 ? 10 : 40;
    Window window;
    window.show();
    for (int round = 0; round < rounds; ++round) {
      Fill(window.m_doc.image, c.side, c.bits);
      window.preview->PictureChanged();
      window.UpdateTitle();
      QApplication::processEvents();
      Document doc;
      Fill(doc.image, c.side, c.bits);
      // One untimed run on a copy first: the memory it takes and gives back
      // is what the timed runs ask for again, so that neither side pays for
      // being the first to ask the kernel for it.
      {
        Document scratch;
        if (scratch.image.CopyPictureFrom(doc.image).ok()) c.cli(scratch);
      }
      if (round % 2 == 0) gui.push_back(Seconds([&] { c.gui(window); }));
      cli.push_back(Seconds([&] { c.cli(doc); }));
      if (round % 2 == 1) gui.push_back(Seconds([&] { c.gui(window); }));
    }
    std::vector<double> ratios;
    for (size_t i = 0; i + 1 < gui.size(); i += 2) ratios.push_back((gui[i] + gui[i + 1]) / (cli[i] + cli[i + 1]));
    if (getenv("PIXMILL_BENCH_ALL")) {
      for (size_t i = 0; i < gui.size(); ++i)
        std::printf("  round %zu: program %.3f command line %.3f\n", i, gui[i], cli[i]);
    }
    const double ratio = Median(ratios);
    worst = std::max(worst, ratio);
    std::printf("%-45s program %7.3f s, command line %7.3f s, ratio %.2f\n", c.name, Median(gui), Median(cli), ratio);
    std::fflush(stdout);
  }
  std::printf("gui/cli time ratio: %.2f\n", worst);
  return 0;
}
