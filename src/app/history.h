// Undo and redo: the document as it was before each command that changed
// it (a load, Scale, Colour, Transparent), and as it was before each undo.
// Recording copies the picture; undoing and redoing only move pictures.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "app/document.h"

namespace pixmill {

class History {
 public:
  // Keeps undo steps while they fit in `capBytes` together with the redo
  // steps, at most `maxSteps` of them; the oldest go first. (A 4096 x 4096
  // picture of 24 bits takes 48 MiB.)
  explicit History(size_t capBytes = size_t{512} << 20, size_t maxSteps = 100);

  // Before a command that may change the document: keeps its state as the
  // next undo step and drops the redo steps. Refused when memory runs out
  // (the command may still run, without an undo step).
  Result Record(const Document& doc);
  // After a command that failed: forgets what Record kept if the document
  // is as it was then (a failed command may have changed it on the way, as
  // Scale and Colour clear the transparency first).
  void ForgetIfUnchanged(const Document& doc);

  bool CanUndo() const { return !m_undo.empty(); }
  bool CanRedo() const { return !m_redo.empty(); }
  // The document goes back to the last undo step (its present state becomes
  // a redo step), or forward again. False when there is none.
  bool Undo(Document& doc) { return Step(m_undo, m_redo, doc); }
  bool Redo(Document& doc) { return Step(m_redo, m_undo, doc); }

  size_t UndoSteps() const { return m_undo.size(); }
  // The picture of the last undo step: what the last command changed.
  const ImageBuffer* Previous() const { return m_undo.empty() ? nullptr : &m_undo.back().image; }
  size_t Bytes() const { return m_bytes; }

 private:
  struct State {
    ImageBuffer image;
    std::string fileName;
    uint32_t pickedColor = 0;
    size_t bytes = 0;
  };
  static State Take(Document& doc);
  static void Put(State& state, Document& doc);
  // The document goes to the last state of `from`; its present state goes
  // onto `to`.
  bool Step(std::deque<State>& from, std::deque<State>& to, Document& doc);
  void Trim();

  size_t m_capBytes;
  size_t m_maxSteps;
  std::deque<State> m_undo;
  std::deque<State> m_redo;
  size_t m_bytes = 0;
};

}  // namespace pixmill
