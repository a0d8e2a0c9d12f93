// The pixmill-cli binary itself: what only a separate process shows. The
// steps and messages are the golden cases' (golden_test.cpp).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace pixmill {
namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Output(const std::string& file) {
  const std::vector<uint8_t> bytes = testing::ReadFileBytes(file);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Cli, ExitStatusAndProgressOnlyOnATerminal) {
  testing::TempDir dir;
  const std::string in = std::string(PIXMILL_TEST_DATA) + "/golden/in/photo.bmp";
  const std::string steps = Quote(in) + " --resize 600x400 --depth 8 --save-bmp " + Quote(dir.File("o.bmp"));
  ASSERT_EQ(std::system((std::string(PIXMILL_CLI) + " " + steps + " 2>" + dir.File("err")).c_str()), 0);
  EXPECT_EQ(Output(dir.File("err")).find('%'), std::string::npos);
  EXPECT_NE(std::system((std::string(PIXMILL_CLI) + " --frobnicate 2>/dev/null").c_str()), 0);
  // Through a pseudo-terminal (script(1) runs the command on one).
  const std::string line =
      "script -qec " + Quote(std::string(PIXMILL_CLI) + " " + steps) + " /dev/null >" + dir.File("tty");
  ASSERT_EQ(std::system(line.c_str()), 0);
  const std::string shown = Output(dir.File("tty"));
  EXPECT_NE(shown.find("pixmill-cli: --depth 8"), std::string::npos) << shown;
  EXPECT_NE(shown.find('%'), std::string::npos);
}

// A batch that would write over one of its inputs under another name of it
// (through a linked folder, a link or a hard link) is refused before
// anything is written; the input's own spelling writes it in place.
TEST(Cli, ABatchKnowsItsInputsByTheFilesNotTheirNames) {
  testing::TempDir dir;
  const std::string in = std::string(PIXMILL_TEST_DATA) + "/golden/in/sprite.bmp";
  const std::string real = dir.File("real");
  ASSERT_EQ(std::system(("mkdir " + Quote(real) + " && cp " + Quote(in) + " " + Quote(real + "/a.bmp") + " && cp " +
                         Quote(in) + " " + Quote(real + "/b.bmp") + " && ln -s real " + Quote(dir.File("lnk")) +
                         " && ln " + Quote(real + "/b.bmp") + " " + Quote(real + "/hard.bmp"))
                            .c_str()),
            0);
  const std::vector<uint8_t> before = testing::ReadFileBytes(real + "/a.bmp");
  auto run = [&](const std::string& inputs, const std::string& save) {
    const std::string line = std::string(PIXMILL_CLI) + " " + inputs + " --depth 4 --save-bmp " + save;
    const int status = std::system((line + " 2>/dev/null >/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string a = Quote(real + "/a.bmp"), b = Quote(real + "/b.bmp");
  const std::string hard = Quote(real + "/hard.bmp");
  EXPECT_EQ(run(a + " " + b, Quote(dir.File("lnk/{name}.bmp"))), 2);
  EXPECT_EQ(run(a + " " + hard, Quote(real + "/{n}-b.bmp")), 0);
  EXPECT_EQ(run(a + " " + hard, Quote(dir.File("lnk/{name}.bmp"))), 2);
  EXPECT_EQ(run(b + " " + hard, Quote(real + "/{n}.bmp")), 0);
  EXPECT_EQ(run(b + " " + hard, Quote(real + "/b.bmp")), 2);
  EXPECT_EQ(run(b + " " + hard, Quote(real + "/{name}.bmp")), 2);  // one file, written by two
  EXPECT_EQ(testing::ReadFileBytes(real + "/a.bmp"), before);
  EXPECT_EQ(run(a + " " + b, Quote(real + "/{name}.bmp")), 0);
  EXPECT_NE(testing::ReadFileBytes(real + "/a.bmp"), before);
}

}  // namespace
}  // namespace pixmill
