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

bool History::Step(std::deque<State>& from, std::deque<State>& to, Document& doc) {
  if (from.empty()) return false;
  State present = Take(doc);
  bytes_ += present.bytes;
  Put(from.back(), doc);
  bytes_ -= from.back().bytes;
  from.pop_back();
  to.push_back(std::move(present));
  return true;
}

void History::Trim() {
  while (!undo_.empty() && (undo_.size() > maxSteps_ || bytes_ > capBytes_)) {
    bytes_ -= undo_.front().bytes;
    undo_.pop_front();
  }
}

}  // namespace pixmill
