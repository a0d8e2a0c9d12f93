// The byte-exact cases. Each row of data/golden/cases.tsv is one run of
// pixmill-cli, in this process: its exit status must be the row's, and the
// files it wrote, with what it printed (stdout.txt, stderr.txt), must equal
// those in data/golden/out/NAME/. With PIXMILL_GOLDEN_UPDATE=1 the run
// rewrites that folder instead; review the change before committing it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

const std::string kGolden = std::string(PIXMILL_TEST_DATA) + "/golden";

struct Case {
  std::string name;
  int status = 0;
  std::string arguments;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name << ": " << c.arguments; }

std::vector<Case> ReadCases() {
  std::vector<Case> cases;
  std::ifstream in(kGolden + "/cases.tsv");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t'), next = line.find('\t', tab + 1);
    cases.push_back({line.substr(0, tab), std::atoi(line.c_str() + tab + 1), line.substr(next + 1)});
  }
  return cases;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

// Runs the command line (args[0] its name) with standard output and error
// going to files.
int RunCaptured(std::vector<std::string> args, const std::string& outFile, const std::string& errFile) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const int saved[2] = {::dup(1), ::dup(2)};
  const int files[2] = {::open(outFile.c_str(), O_WRONLY | O_CREAT, 0644),
                        ::open(errFile.c_str(), O_WRONLY | O_CREAT, 0644)};
  ::dup2(files[0], 1);
  ::dup2(files[1], 2);
  const int status = cli::Main(static_cast<int>(args.size()), argv.data());
  std::fflush(nullptr);
  ::dup2(saved[0], 1);
  ::dup2(saved[1], 2);
  for (int fd : {files[0], files[1], saved[0], saved[1]}) ::close(fd);
  return status;
}

class Golden : public ::testing::TestWithParam<Case> {};

TEST_P(Golden, OutputsMatch) {
  const Case& c = GetParam();
  testing::TempDir run;
  testing::TempDir out;
  std::string line = c.arguments;
  ReplaceAll(line, "{in}", kGolden + "/in");
  ReplaceAll(line, "{golden}", kGolden + "/out");
  ReplaceAll(line, "{data}", PIXMILL_TEST_DATA);
  ReplaceAll(line, "{out}", out.path());
  std::vector<std::string> args = {"pixmill-cli"};
  std::istringstream words(line);
  for (std::string w; words >> w;) args.push_back(w);

  const int status = RunCaptured(args, run.File("stdout"), run.File("stderr"));
  EXPECT_EQ(status, c.status);
  // What was printed, with the folders of this run written as in the table.
  for (const char* stream : {"stdout", "stderr"}) {
    const std::vector<uint8_t> bytes = testing::ReadFileBytes(run.File(stream));
    std::string text(bytes.begin(), bytes.end());
    if (text.empty()) continue;
    ReplaceAll(text, out.path(), "{out}");
    ReplaceAll(text, PIXMILL_TEST_DATA, "{data}");
    testing::WriteFileBytes(out.File(std::string(stream) + ".txt"), std::vector<uint8_t>(text.begin(), text.end()));
  }

  const std::string expected = kGolden + "/out/" + c.name;
  if (std::getenv("PIXMILL_GOLDEN_UPDATE") != nullptr) {
    const std::string command =
        "rm -rf '" + expected + "' && mkdir -p '" + expected + "' && cp -r '" + out.path() + "/.' '" + expected + "/'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    return;
  }
  testing::TempDir none;
  const std::vector<std::string> want = testing::FileExists(expected) ? testing::Entries(expected) : none.Entries();
  ASSERT_EQ(out.Entries(), want) << "files written differ from " << expected;
  for (const std::string& file : want) {
    EXPECT_EQ(testing::ReadFileBytes(out.File(file)), testing::ReadFileBytes(expected + "/" + file)) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(ReadCases()), [](const auto& p) { return p.param.name; });

// Batches: each input's files are the bytes its own run writes, however
// many inputs run at a time, and the summary comes in input order.
struct Ran {
  int status;
  std::string err;
};

Ran Cli(const std::string& line) {
  testing::TempDir run;
  std::vector<std::string> args = {"pixmill-cli"};
  std::istringstream words(line);
  for (std::string w; words >> w;) args.push_back(w);
  const int status = RunCaptured(args, run.File("out"), run.File("err"));
  const std::vector<uint8_t> err = testing::ReadFileBytes(run.File("err"));
  return {status, std::string(err.begin(), err.end())};
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  ReplaceAll(s, from, to);
  return s;
}

void ExpectSameFiles(const testing::TempDir& a, const testing::TempDir& b) {
  ASSERT_EQ(a.Entries(), b.Entries());
  for (const std::string& file : a.Entries()) {
    EXPECT_EQ(testing::ReadFileBytes(a.File(file)), testing::ReadFileBytes(b.File(file))) << file;
  }
}

const std::vector<std::string> kBatch = {"sprite.bmp",       "pal8.bmp",      "photo.bmp",    "rgba-sprite.png",
                                         "alpha-sprite.bmp", "pal4-16x8.bmp", "rgb-trns.png", "greyalpha-sprite.png"};

std::string Inputs(const std::vector<std::string>& names) {
  std::string line;
  for (const std::string& name : names) line += kGolden + "/in/" + name + " ";
  return line;
}

TEST(Batch, SameFilesForAnyNumberOfJobsAsForSingleRuns) {
  const std::string steps =
      "--resize 24x16 --depth 4 --pick 1,1 --transparent --form texture --lzss --export OUT/{name}.{ext}.d "
      "--save-bmp OUT/{name}-{ext}.bmp";
  testing::TempDir single, one, three;
  for (const std::string& name : kBatch) {
    ASSERT_EQ(Cli(Inputs({name}) + Replaced(steps, "OUT", single.path())).status, 0) << name;
  }
  const Ran j1 = Cli(Inputs(kBatch) + Replaced(steps, "OUT", one.path()) + " -j 1");
  const Ran j3 = Cli(Inputs(kBatch) + Replaced(steps, "OUT", three.path()) + " --jobs=3");
  EXPECT_EQ(j1.status, 0);
  EXPECT_EQ(j3.status, 0);
  EXPECT_EQ(single.Entries().size(), 2 * kBatch.size());
  ExpectSameFiles(single, one);
  ExpectSameFiles(single, three);
  EXPECT_EQ(j1.err, j3.err);
  std::string summary;
  for (const std::string& name : kBatch) summary += kGolden + "/in/" + name + ": done\n";
  std::istringstream lines(j1.err);
  std::string ends;
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with(": done")) ends += line + "\n";
  }
  EXPECT_EQ(ends, summary);
}

TEST(Batch, PlaceholdersNameTheInputsParts) {
  testing::TempDir out;
  for (const char* name : {"a.b.png", "c"}) {
    testing::WriteFileBytes(out.File(name), testing::ReadFileBytes(kGolden + "/in/rgba-sprite.png"));
  }
  ASSERT_EQ(Cli(out.File("a.b.png") + " " + out.File("c") + " --save-bmp {dir}/{name}_{ext}_{n}_{x}.bmp -j 2").status,
            0);
  EXPECT_TRUE(testing::FileExists(out.File("a.b_png_0_{x}.bmp")));
  EXPECT_TRUE(testing::FileExists(out.File("c__1_{x}.bmp")));
}

TEST(Batch, NeverWritesOverAnotherInputNorOneFileTwice) {
  testing::TempDir dir;
  for (const char* name : {"1.bmp", "a.bmp", "a.png"}) {
    testing::WriteFileBytes(dir.File(name), testing::ReadFileBytes(kGolden + "/in/sprite.bmp"));
  }
  const std::string relative = std::filesystem::relative(dir.path()).string();
  for (const std::string& line : {dir.File("1.bmp") + " " + dir.File("a.bmp") + " --save-bmp {dir}/{n}.bmp",
                                  relative + "/a.bmp " + dir.File("a.png") + " --save-bmp {dir}/{name}-out.bmp"}) {
    const Ran ran = Cli(line);
    EXPECT_EQ(ran.status, 2) << line << "\n" << ran.err;
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"1.bmp", "a.bmp", "a.png"}));
}

TEST(Batch, SharedPaletteIsOneForAllAndTheOwnForOne) {
  const std::vector<std::string> pictures = {"sprite.bmp", "photo.bmp", "rgba-sprite.png", "alpha-sprite.bmp"};
  testing::TempDir all, own;
  ASSERT_EQ(Cli(Inputs(pictures) + "--shared-palette --depth 4 --save-palette " + all.File("{name}.hex") +
                " --save-palette " + all.File("all.hex") + " -j 2")
                .status,
            0);
  const std::vector<uint8_t> shared = testing::ReadFileBytes(all.File("all.hex"));
  for (const std::string& name : pictures) {
    const std::string stem = name.substr(0, name.find('.'));
    EXPECT_EQ(testing::ReadFileBytes(all.File(stem + ".hex")), shared) << name;
    // One input: the palette it fits to itself.
    for (const char* setting : {"", "--shared-palette"}) {
      ASSERT_EQ(Cli(Inputs({name}) + setting + " --depth 4 --save-palette " + own.File(stem + setting + ".hex")).status,
                0);
    }
    EXPECT_EQ(testing::ReadFileBytes(own.File(stem + ".hex")),
              testing::ReadFileBytes(own.File(stem + "--shared-palette.hex")));
    EXPECT_NE(testing::ReadFileBytes(own.File(stem + ".hex")), shared) << name;
  }
}

}  // namespace
}  // namespace pixmill
