#include "app/history.h"

#include <cstring>

namespace pixmill {

namespace {

size_t BytesOf(const ImageBuffer& image) { return image.InfoBlockSize() + image.BitsBlockSize(); }

}  // namespace

History::History(size_t capBytes, size_t maxSteps) : m_capBytes(capBytes), m_maxSteps(maxSteps) {}

Result History::Record(const Document& doc) {
  State state;
  if (Result r = state.image.CopyPictureFrom(doc.image); !r.ok()) return r;
  state.fileName = doc.fileName;
  state.pickedColor = doc.pickedColor;
  state.bytes = BytesOf(state.image);
  for (const State& s : m_redo) m_bytes -= s.bytes;
  m_redo.clear();
  m_bytes += state.bytes;
  m_undo.push_back(std::move(state));
  Trim();
  return Result::Done();
}

void History::ForgetIfUnchanged(const Document& doc) {
  if (m_undo.empty()) return;
  const State& last = m_undo.back();
  const ImageBuffer& a = last.image;
  const ImageBuffer& b = doc.image;
  const bool same = last.fileName == doc.fileName && last.pickedColor == doc.pickedColor &&
                    a.IsValid() == b.IsValid() && a.InfoBlockSize() == b.InfoBlockSize() &&
                    a.BitsBlockSize() == b.BitsBlockSize() && a.m_lastTransparent == b.m_lastTransparent &&
                    (!a.IsValid() || (std::memcmp(a.GetInfo(), b.GetInfo(), a.InfoBlockSize()) == 0 &&
                                      std::memcmp(a.GetBits(), b.GetBits(), a.BitsBlockSize()) == 0));
  if (!same) return;
  m_bytes -= last.bytes;
  m_undo.pop_back();
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
  m_bytes += present.bytes;
  Put(from.back(), doc);
  m_bytes -= from.back().bytes;
  from.pop_back();
  to.push_back(std::move(present));
  return true;
}

void History::Trim() {
  while (!m_undo.empty() && (m_undo.size() > m_maxSteps || m_bytes > m_capBytes)) {
    m_bytes -= m_undo.front().bytes;
    m_undo.pop_front();
  }
}

}  // namespace pixmill
