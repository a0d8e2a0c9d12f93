// The pixmill-cli binary itself: what only a separate process shows. The
// steps and messages are the golden cases' (golden_test.cpp).
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pixmill
