#include "app/history.h"

#include <cstring>

namespace pixmill {

namespace {

size_t BytesOf(const ImageBuffer& image) { return image.InfoBlockSize() + image.BitsBlockSize(); }

}  // namespace

History::History(size_t capBytes, size_t maxSteps) : capBytes_(capBytes), maxSteps_(maxSteps) {}

Result History::Record(const Document& doc) {
  State state;
  if (Result r = state.image.CopyPictureFrom(doc.image); !r.ok()) return r;
  state.fileName = doc.fileName;
  state.pickedColor = doc.pickedColor;
  state.bytes = BytesOf(state.image);
  for (const State& s : redo_) bytes_ -= s.bytes;
  redo_.clear();
  bytes_ += state.bytes;
  undo_.push_back(std::move(state));
  Trim();
  return Result::Done();
}

void History::ForgetIfUnchanged(const Document& doc) {
  if (undo_.empty()) return;
  const State& last = undo_.back();
  const ImageBuffer& a = last.image;
  const ImageBuffer& b = doc.image;
  const bool same = last.fileName == doc.fileName && last.pickedColor == doc.pickedColor &&
                    a.IsValid() == b.IsValid() && a.InfoBlockSize() == b.InfoBlockSize() &&
                    a.BitsBlockSize() == b.BitsBlockSize() && a.m_lastTransparent == b.m_lastTransparent &&
                    (!a.IsValid() || (std::memcmp(a.GetInfo(), b.GetInfo(), a.InfoBlockSize()) == 0 &&
                                      std::memcmp(a.GetBits(), b.GetBits(), a.BitsBlockSize()) == 0));
  if (!same) return;
  bytes_ -= last.bytes;
  undo_.pop_back();
}

History::State History::Take(Document& doc) {
  State state;
  state.image.SwapPictures(doc.image);
  state.fileName = doc.fileName;
  state.pickedColor = doc.pickedColor;
  state.bytes = BytesOf(state.image);
  return state;
}

void History::Put(State& state, Document& doc) {
  doc.image.SwapPictures(state.image);
  doc.fileName = state.fileName;
  doc.pickedColor = state.pickedColor;
}

bool History::Undo(Document& doc) {
  if (undo_.empty()) return false;
  State present = Take(doc);
  bytes_ += present.bytes;
  Put(undo_.back(), doc);
  bytes_ -= undo_.back().bytes;
  undo_.pop_back();
  redo_.push_back(std::move(present));
  return true;
}

bool History::Redo(Document& doc) {
  if (redo_.empty()) return false;
  State present = Take(doc);
  bytes_ += present.bytes;
  Put(redo_.back(), doc);
  bytes_ -= redo_.back().bytes;
  redo_.pop_back();
  undo_.push_back(std::move(present));
  return true;
}

void History::Trim() {
  while (!undo_.empty() && (undo_.size() > maxSteps_ || bytes_ > capBytes_)) {
    bytes_ -= undo_.front().bytes;
    undo_.pop_front();
  }
}

}  // namespace pixmill
