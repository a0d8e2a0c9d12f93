// Recording fakes of the platform interfaces, temporary folders and small
// builders of test files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/image_buffer.h"
#include "platform/progress.h"
#include "platform/prompts.h"

namespace pixmill::testing {

class RecordingProgress : public ProgressSink {
 public:
  struct Event {
    enum Kind { kRange, kPosition } kind;
    int a;
    int b;
    bool operator==(const Event&) const = default;
  };
  void SetRange(int lo, int hi) override { events.push_back({Event::kRange, lo, hi}); }
  void SetPosition(int pos) override { events.push_back({Event::kPosition, pos, 0}); }
  std::vector<Event> events;
};

class FakeSavePrompt : public SavePathPrompt {
 public:
  explicit FakeSavePrompt(std::optional<std::string> answer) : answer_(std::move(answer)) {}
  std::optional<std::string> AskSavePath(const SaveRequest& request) override {
    requests.push_back(request);
    return answer_;
  }
  std::vector<SaveRequest> requests;

 private:
  std::optional<std::string> answer_;
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
  // Names of the entries in the folder, sorted.
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

// A bitmap file laid out field by field, for feeding the reader.
struct BmpFields {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  std::vector<uint32_t> palette;  // entries as 0x00RRGGBB; padded to 2^bits when shorter unless shortPalette
  bool shortPalette = false;      // write only the given entries and point bfOffBits behind them
  std::vector<uint8_t> pixels;    // the pixel bytes as stored (bottom row first); zero-filled when empty
  int32_t gapBeforePixels = 0;
  uint16_t type = 0x4D42;
};
std::vector<uint8_t> BuildBmp(const BmpFields& fields);

// Fills a picture with a deterministic pattern of indices or colours.
void FillPattern(ImageBuffer& image, uint32_t seed);

// A 24-bit photo-like picture: smooth gradients with fine detail and noise.
void FillPhotoLike(ImageBuffer& image, uint32_t seed);

// Every pixel of two pictures, their depths, sizes and palettes compared.
::testing::AssertionResult SamePicture(const ImageBuffer& a, const ImageBuffer& b);

}  // namespace pixmill::testing
