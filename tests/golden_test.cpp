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
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Case c;
    std::string status;
    std::getline(fields, c.name, '\t');
    std::getline(fields, status, '\t');
    std::getline(fields, c.arguments);
    c.status = std::atoi(status.c_str());
    cases.push_back(c);
  }
  return cases;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

// Runs the command line with standard output and error going to files.
int RunCaptured(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile) {
  std::vector<std::string> argv0 = {"pixmill-cli"};
  argv0.insert(argv0.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv0) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  const int savedOut = ::dup(1), savedErr = ::dup(2);
  const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(out, 1);
  ::dup2(err, 2);
  const int status = cli::Main(static_cast<int>(argv0.size()), argv.data());
  std::fflush(nullptr);
  ::dup2(savedOut, 1);
  ::dup2(savedErr, 2);
  for (int fd : {out, err, savedOut, savedErr}) ::close(fd);
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
  std::vector<std::string> args;
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
