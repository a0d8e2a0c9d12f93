// Work on one picture spread over several threads. The results never depend
// on how many threads there are: each thread does whole rows, and where a
// row needs the one above (error diffusion), it waits for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace pixmill {

// How many threads one picture's work may use: the processor's, unless
// set. A batch that works on several pictures at once sets it so that all
// of them together use no more.
int PictureThreads();
void SetPictureThreads(int threads);
// How many threads a picture of this many pixels is worked on by: one below
// 256 x 256 pixels, where starting more would cost more than it saves.
int ThreadsFor(int64_t pixels);

// Runs line(y) for y = 0 .. lines - 1, shared among ThreadsFor(pixels)
// threads; report(y) is called on the calling thread for the lines it did
// and, last, for the last line, so that progress ends where it would have.
template <typename Line, typename Report>
void ForEachLine(int32_t lines, int64_t pixels, Line line, Report report);

// Runs work(t, count) for t = 0 .. count - 1 at once, where count is
// `threads` or fewer when the system has no more threads to give; work(0,
// count) runs on the calling thread, which alone may report progress.
// Returns when all are done; an exception of one is passed on.
void RunThreads(int threads, const std::function<void(int, int)>& work);

// How far each row has got, for rows that need the row above to be ahead
// of them. A row's thread calls Reached as its pixels are done; the row
// below calls WaitFor before it reads or writes what the row above still
// writes.
class RowProgress {
 public:
  explicit RowProgress(int32_t rows);
  // Row y has finished its pixels before x (its width once it is done).
  void Reached(int32_t y, int32_t x) { m_done[static_cast<size_t>(y)].store(x, std::memory_order_release); }
  // Returns once row y has finished its pixels before x; row -1 has.
  void WaitFor(int32_t y, int32_t x) const {
    if (y < 0 || m_done[static_cast<size_t>(y)].load(std::memory_order_acquire) >= x) return;
    Wait(y, x);
  }
  // A thread that failed lets the others stop waiting for it.
  void Abandon() { m_abandoned.store(true, std::memory_order_release); }

 private:
  void Wait(int32_t y, int32_t x) const;
  std::unique_ptr<std::atomic<int32_t>[]> m_done;
  std::atomic<bool> m_abandoned{false};
};

template <typename Line, typename Report>
void ForEachLine(int32_t lines, int64_t pixels, Line line, Report report) {
  int used = 1;
  RunThreads(ThreadsFor(pixels), [&](int t, int n) {
    if (t == 0) used = n;
    for (int32_t y = t; y < lines; y += n) {
      line(y);
      if (t == 0) report(y);
    }
  });
  if (lines > 0 && (lines - 1) % used != 0) report(lines - 1);
}

}  // namespace pixmill
