// End-to-end runs of the pixmill-cli binary.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "color/commands.h"
#include "color/transparent.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "support/test_support.h"
#include "image/image_buffer.h"

namespace pixmill {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    ImageBuffer img;
    ASSERT_TRUE(img.Create(40, 24, 24).ok());
    testing::FillPhotoLike(img, 5);
    img.SetPixel(0, 0, 0x102030);
    ASSERT_TRUE(WriteBmp(img, In()).ok());
  }
  std::string In() const { return dir.File("in.bmp"); }
  std::string F(const std::string& name) const { return dir.File(name); }

  CliRun Cmd(const std::string& args) {
    const std::string out = dir.File(".out"), err = dir.File(".err");
    const std::string line = std::string(PIXMILL_CLI) + " " + args + " >" + out + " 2>" + err;
    const int raw = std::system(line.c_str());
    CliRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", ""};
    const Bytes o = ReadFileBytes(out), e = ReadFileBytes(err);
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
  }
  CliRun Cmd(std::initializer_list<std::string> args) {
    std::string line;
    for (const auto& a : args) line += Quote(a) + " ";
    return Cmd(line);
  }

  TempDir dir;
};

TEST_F(Cli, InfoAndSteps) {
  const CliRun r = Cmd({In(), "--info", "--resize", "20x10", "--info", "--depth", "4", "--info", "--depth=16", "--info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "40x24x24\n20x10x24\n20x10x4\n20x10x24\n");
}

TEST_F(Cli, PipelineGivesTheSameBytesAsTheCore) {
  const CliRun r = Cmd({In(), "--resize", "32x16", "--no-dither", "--precision", "3", "--depth", "8", "--pick", "0,0",
                     "--transparent", "--form", "texture", "--text", "--lzss", "--export", F("a.bas"), "--save-bmp",
                     F("a.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  // The compression message, on a line of its own.
  EXPECT_NE(r.err.find("圧縮率 "), std::string::npos) << r.err;

  ImageBuffer img;
  InitTransparentColor(img, kKeyColor);
  ASSERT_TRUE(LoadFile(img, In()).ok());
  uint32_t picked = kKeyColor;
  ASSERT_TRUE(ScaleCommand(img, picked, 32, 16).ok());
  ASSERT_TRUE(ColourCommand(img, picked, {0, 0, 3}, 8).ok());
  picked = PickColor(img, 0, 0);
  ASSERT_TRUE(TransparentCommand(img, picked).ok());
  ASSERT_TRUE(WriteConvertedFile(img, F("b.bas"), {kFormTexture, kOutputText, 1, 1}, nullptr).ok());
  ASSERT_TRUE(WriteBmp(img, F("b.bmp")).ok());
  EXPECT_EQ(ReadFileBytes(F("a.bas")), ReadFileBytes(F("b.bas")));
  EXPECT_EQ(ReadFileBytes(F("a.bmp")), ReadFileBytes(F("b.bmp")));
}

TEST_F(Cli, ExportDefaultsFollowTheDialog) {
  // 24 bits: bitmap form, binary, no palette.
  ASSERT_EQ(Cmd({In(), "--export", F("a.1")}).status, 0);
  EXPECT_EQ(ReadFileBytes(F("a.1")).size(), 4u + 2 * 40 * 24);
  // A value equal to what the dialog shows is fine even when its control is greyed.
  EXPECT_EQ(Cmd({In(), "--no-palette", "--binary", "--no-lzss", "--export", F("b.1")}).status, 0);
  // 8 bits: bitmap with its palette.
  ASSERT_EQ(Cmd({In(), "--depth", "8", "--export", F("c.0")}).status, 0);
  EXPECT_EQ(ReadFileBytes(F("c.0")).size(), 4u + 512 + 40 * 24);
  ASSERT_EQ(Cmd({In(), "--depth", "8", "--form", "character", "--no-palette", "--export", F("d.d")}).status, 0);
  EXPECT_EQ(ReadFileBytes(F("d.d")).size(), 512u + 15 * 64);
}

TEST_F(Cli, RefusedExportsNameTheRule) {
  WriteFileBytes(F("keep.0"), {1, 2, 3});
  CliRun r = Cmd({In(), "--text", "--export", F("keep.0")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--export " + F("keep.0") + ": text output is not offered with the bitmap form"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFileBytes(F("keep.0")), (Bytes{1, 2, 3}));

  r = Cmd({In(), "--palette", "--export", F("x")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("palette is offered only"), std::string::npos);
  r = Cmd({In(), "--form", "character", "--export", F("x")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("character form is offered only"), std::string::npos);
  r = Cmd({In(), "--lzss", "--export", F("x")});
  EXPECT_EQ(r.status, 1);

  // A 4-bit picture 100 wide offers no form at all.
  r = Cmd({In(), "--resize", "100x8", "--depth", "4", "--export", F("x")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no form is offered"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(F("x")));
}

TEST_F(Cli, ExportWiderThanTheHeaderIsRefused) {
  // A 1-bit bitmap 65536 pixels wide loads, but its export header cannot
  // hold the width.
  testing::BmpFields s{.width = 65536, .height = 1, .bitCount = 1};
  testing::WriteFileBytes(F("wide.bmp"), testing::BuildBmp(s));
  const CliRun r = Cmd({F("wide.bmp"), "--info", "--export", F("wide.d")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "65536x1x1\n");
  EXPECT_NE(r.err.find("65535"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(F("wide.d")));
}

TEST_F(Cli, UsageErrorsRunNothing) {
  for (const std::string bad :
       {"--resize 320x", "--resize 0x5", "--resize 4097x1", "--precision 17", "--precision 0", "--depth 2",
        "--form sideways", "--pick 1", "--pick-color C0C0C", "--frobnicate", "--info=3", "--key-color C0C0C0"}) {
    const CliRun r = Cmd(Quote(In()) + " --save-bmp " + Quote(F("early.bmp")) + " " + bad);
    EXPECT_EQ(r.status, 2) << bad << ": " << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(FileExists(F("early.bmp"))) << bad;
  }
  EXPECT_EQ(Cmd(std::string("")).status, 2);
  EXPECT_EQ(Cmd({"--info"}).status, 2);
  const CliRun two = Cmd({In(), In()});
  EXPECT_EQ(two.status, 2);
  const CliRun precision = Cmd({In(), "--precision", "17"});
  EXPECT_NE(precision.err.find("--precision 17"), std::string::npos) << precision.err;
}

TEST_F(Cli, StopsAtTheFirstFailedStepKeepingEarlierFiles) {
  const CliRun r = Cmd({In(), "--save-bmp", F("first.bmp"), "--save-bmp", F("no/folder/x.bmp"), "--save-bmp",
                     F("third.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(FileExists(F("first.bmp")));
  EXPECT_FALSE(FileExists(F("third.bmp")));
  EXPECT_NE(r.err.find("--save-bmp " + F("no/folder/x.bmp")), std::string::npos) << r.err;

  const CliRun missing = Cmd({F("nothing.bmp"), "--info"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.out.empty());
  EXPECT_NE(missing.err.find("nothing.bmp"), std::string::npos);
}

TEST_F(Cli, NothingToDoIsANote) {
  const CliRun r = Cmd({In(), "--depth", "24", "--resize", "40x24", "--info"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "40x24x24\n");
  EXPECT_NE(r.err.find("--depth 24: nothing to do"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--resize 40x24: nothing to do"), std::string::npos);
}

TEST_F(Cli, KeyColourPickAndTransparency) {
  // Picking outside gives the key colour; with key 102030 that pixel is
  // transparent from the start and exports as 0000.
  ASSERT_EQ(Cmd({"--key-color", "102030", In(), "--pick", "-1,0", "--transparent", "--export", F("a.1")}).status, 0);
  const Bytes a = ReadFileBytes(F("a.1"));
  EXPECT_EQ(a[4], 0);
  EXPECT_EQ(a[5], 0);
  // Pick the pixel itself with the default key: it becomes C0C0C0, exported as 0000.
  ASSERT_EQ(Cmd({In(), "--pick-color", "102030", "--transparent", "--export", F("b.1")}).status, 0);
  const Bytes b = ReadFileBytes(F("b.1"));
  EXPECT_EQ(b[4], 0);
  EXPECT_EQ(b[5], 0);
  ASSERT_EQ(Cmd({In(), "--export", F("c.1")}).status, 0);
  EXPECT_NE(ReadFileBytes(F("c.1"))[4], 0);
}

TEST_F(Cli, LzssFiles) {
  const Bytes data = ReadFileBytes(In());
  ASSERT_EQ(Cmd({"lzss", "encode", In(), F("in.lz")}).status, 0);
  ASSERT_EQ(Cmd({"lzss", "decode", F("in.lz"), F("back.bmp")}).status, 0);
  EXPECT_EQ(ReadFileBytes(F("back.bmp")), data);
  // The compressed bitmap loads like the plain one.
  EXPECT_EQ(Cmd({F("in.lz"), "--info"}).out, "40x24x24\n");
  const CliRun notLzss = Cmd({"lzss", "decode", In(), F("x")});
  EXPECT_EQ(notLzss.status, 1);
  EXPECT_NE(notLzss.err.find("LZSS"), std::string::npos);
  EXPECT_EQ(Cmd({"lzss", "squash", In(), F("x")}).status, 2);
  EXPECT_FALSE(FileExists(F("x")));
}

TEST_F(Cli, ProgressOnlyOnATerminal) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(600, 400, 24).ok());
  testing::FillPhotoLike(img, 2);
  ASSERT_TRUE(WriteBmp(img, F("big.bmp")).ok());
  const std::string steps = Quote(F("big.bmp")) + " --depth 8 --save-bmp " + Quote(F("o.bmp"));
  const CliRun plain = Cmd(steps);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.err.find('%'), std::string::npos) << plain.err;
  // Through a pseudo-terminal (script(1) runs the command on one).
  const std::string out = dir.File("tty.out");
  const std::string line = "script -qec " + Quote(std::string(PIXMILL_CLI) + " " + steps) + " /dev/null >" + out;
  ASSERT_EQ(std::system(line.c_str()), 0);
  const std::vector<uint8_t> bytes = ReadFileBytes(out);
  const std::string shown(bytes.begin(), bytes.end());
  EXPECT_NE(shown.find("pixmill-cli: --depth 8"), std::string::npos) << shown;
  EXPECT_NE(shown.find('%'), std::string::npos);
}

TEST_F(Cli, HelpAndVersion) {
  const CliRun help = Cmd({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--key-color", "--dither", "--no-dither", "--optimized-palette", "--standard-palette", "--precision", "--form",
        "--binary", "--text", "--lzss", "--no-lzss", "--palette", "--no-palette", "--resize", "--depth", "--pick",
        "--pick-color", "--transparent", "--save-bmp", "--export", "--info", "lzss encode"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(help.out.find("--resize 320x240 --depth 8"), std::string::npos);
  const CliRun version = Cmd({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "pixmill-cli 2.0\n");
}

}  // namespace
}  // namespace pixmill
