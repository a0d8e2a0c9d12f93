#include "platform/threads.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace pixmill {

namespace {

std::atomic<int> g_pictureThreads{0};  // 0: as many as the processor has

}  // namespace

int PictureThreads() {
  const int set = g_pictureThreads.load(std::memory_order_relaxed);
  if (set > 0) return set;
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

int ThreadsFor(int64_t pixels) {
  return static_cast<int>(std::clamp<int64_t>(pixels / (256 * 256), 1, PictureThreads()));
}

void SetPictureThreads(int threads) { g_pictureThreads.store(std::max(threads, 0), std::memory_order_relaxed); }

void RunThreads(int threads, const std::function<void(int, int)>& work) {
  threads = std::max(threads, 1);
  std::vector<std::exception_ptr> failures(static_cast<size_t>(threads));
  // The helpers start once it is known how many could be had, so that the
  // work is shared among those.
  std::atomic<int> count{0};
  auto run = [&](int t) {
    count.wait(0);
    if (t >= count.load()) return;
    try {
      work(t, count.load());
    } catch (...) {
      failures[static_cast<size_t>(t)] = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<size_t>(threads));
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(run, t);
    } catch (...) {
      break;  // as many as could be had
    }
  }
  count.store(static_cast<int>(helpers.size()) + 1);
  count.notify_all();
  run(0);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

RowProgress::RowProgress(int32_t rows) : m_done(new std::atomic<int32_t>[static_cast<size_t>(std::max(rows, 1))]) {
  for (int32_t y = 0; y < std::max(rows, 1); ++y) m_done[static_cast<size_t>(y)].store(0, std::memory_order_relaxed);
}

void RowProgress::Wait(int32_t y, int32_t x) const {
  for (int spins = 0; m_done[static_cast<size_t>(y)].load(std::memory_order_acquire) < x; ++spins) {
    if (m_abandoned.load(std::memory_order_acquire)) return;
    if (spins >= 64) std::this_thread::yield();
  }
}

}  // namespace pixmill
