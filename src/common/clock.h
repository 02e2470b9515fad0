#pragma once
// The clock is injected wherever the current date matters (text macros, the
// default file time), so that tests run at a fixed date and time.
#include "common/types.h"

namespace zumen {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
};

// Local time of the machine.
class SystemClock final : public Clock {
 public:
  DateTime Now() const override;
};

// Always answers the same moment.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(DateTime t) : t_(t) {}
  DateTime Now() const override { return t_; }

 private:
  DateTime t_;
};

}  // namespace zumen
