// Progress on standard error while it is a terminal: the step of a single
// picture, or how many pictures of a batch have ended.
#pragma once

#include <cstdio>
#include <string>

#include "cli/options.h"
#include "platform/progress.h"

namespace pixmill::cli {

class TerminalProgress : public ProgressSink {
 public:
  void Begin(const std::string& step) {
    m_step = step;
    m_shown = false;
  }
  void End() {
    if (m_shown) std::fprintf(stderr, "\r%*s\r", 60, "");
    m_shown = false;
  }
  void SetRange(int lo, int hi) override {
    m_lo = lo;
    m_hi = hi;
  }
  void SetPosition(int pos) override {
    if (m_hi <= m_lo) return;
    const int percent = static_cast<int>(100LL * (pos - m_lo) / (m_hi - m_lo));
    if (percent == m_last && m_shown) return;
    m_last = percent;
    std::fprintf(stderr, "\r%s: %s %3d%%", kName, m_step.c_str(), percent);
    std::fflush(stderr);
    m_shown = true;
  }
  void Count(size_t done, size_t total) {
    std::fprintf(stderr, "\r%s: %s %zu/%zu", kName, m_step.c_str(), done, total);
    std::fflush(stderr);
    m_shown = true;
  }

 private:
  std::string m_step;
  int m_lo = 0;
  int m_hi = 0;
  int m_last = -1;
  bool m_shown = false;
};

}  // namespace pixmill::cli
