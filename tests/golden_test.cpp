// The byte-exact cases. Each row of data/golden/cases.tsv is one run of
// pixmill-cli, in this process: its exit status must be the row's, and the
// files it wrote, with what it printed (stdout.txt, stderr.txt), must equal
// those in data/golden/out/NAME/. With PIXMILL_GOLDEN_UPDATE=1 the run
// rewrites that folder instead; review the change before committing it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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
  const int files[2] = {::open(outFile.c_str(), O_WRONLY | O_CREAT, 0644), ::open(errFile.c_str(), O_WRONLY | O_CREAT, 0644)};
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
    const std::string command = "rm -rf '" + expected + "' && mkdir -p '" + expected + "' && cp -r '" +
                                out.path() + "/.' '" + expected + "/'";
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

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(ReadCases()),
                         [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace pixmill
