// Where long operations report how far they are: what a progress bar control
// is told (a range 0..max, then positions). A null sink means no reporting.
#pragma once

namespace pixmill {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Range lo..hi. Like the platform's progress bar, the bounds are 16-bit
  // values; callers pass what they compute and the sink clips as it must.
  virtual void SetRange(int lo, int hi) = 0;
  virtual void SetPosition(int pos) = 0;
};

}  // namespace pixmill
