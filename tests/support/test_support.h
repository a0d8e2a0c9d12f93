// Recording fakes of the platform interfaces, temporary folders, files and
// pictures for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/image_buffer.h"
#include "platform/progress.h"
#include "platform/prompts.h"

namespace pixmill::testing {

class RecordingProgress : public ProgressSink {
 public:
  void SetRange(int lo, int hi) override { ranges.emplace_back(lo, hi); }
  void SetPosition(int pos) override { positions.push_back(pos); }
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
};

class FakeSavePrompt : public SavePathPrompt {
 public:
  explicit FakeSavePrompt(std::optional<std::string> path) : answer(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest& request) override {
    requests.push_back(request);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<SaveRequest> requests;
};

class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// Names of the entries in a folder, sorted.
std::vector<std::string> Entries(const std::string& folder);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

// Runs fn in a child process without root's rights (as user nobody when
// started as root) and returns what fn returned, or -1 when the child died.
int RunUnprivileged(const std::function<int()>& fn);

// Fills a picture with a deterministic pattern of indices or colours.
void FillPattern(ImageBuffer& image, uint32_t seed);

// A 24-bit photo-like picture: smooth gradients with fine detail and noise.
void FillPhotoLike(ImageBuffer& image, uint32_t seed);

// A copy of a picture of any depth, headers and palette included.
void Copy(const ImageBuffer& from, ImageBuffer& to);

// Every pixel of two pictures, their depths, sizes and palettes compared.
::testing::AssertionResult SamePicture(const ImageBuffer& a, const ImageBuffer& b);

}  // namespace pixmill::testing
