// Clocks of the platform layer: a 32-bit millisecond clock counted from process
// start, a monotonic nanosecond counter, the calendar time and the local date.
// All of them go through one replaceable source so that tests can fix time and date.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

struct LocalDateTime {
  int year = 1970;
  int month = 1;    // 1-12
  int day = 1;      // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 4;  // 0 Sunday .. 6 Saturday
  int yearDay = 0;  // 0-365
};

class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual uint32_t Milliseconds() = 0;   // wraps after 2^32 ms
  virtual int64_t Nanoseconds() = 0;     // monotonic
  virtual std::time_t CalendarTime() = 0;
  virtual LocalDateTime LocalTime(std::time_t t) = 0;
};

// The millisecond clock (the game's timeGetTime).
uint32_t TimeGetTime();
// The high-resolution counter: nanoseconds, frequency 1e9.
int64_t PerformanceCounter();
constexpr int64_t PerformanceFrequency() { return 1000000000; }
std::time_t CalendarTime();
LocalDateTime LocalNow();
LocalDateTime ToLocal(std::time_t t);

void SleepMs(uint32_t ms);

// Replaces the clock source (null restores the real one). Not thread-safe against
// concurrent readers: tests install it before starting threads.
void SetClockSource(ClockSource* source);

// A clock whose time moves only when told to.
class FakeClock : public ClockSource {
 public:
  uint32_t ms = 0;
  int64_t ns = 0;
  std::time_t calendar = 0;
  LocalDateTime local;

  void AdvanceMs(uint32_t d) {
    ms += d;
    ns += static_cast<int64_t>(d) * 1000000;
    calendar += d / 1000;
  }
  uint32_t Milliseconds() override { return ms; }
  int64_t Nanoseconds() override { return ns; }
  std::time_t CalendarTime() override { return calendar; }
  LocalDateTime LocalTime(std::time_t) override { return local; }
};

// Installs a FakeClock for the lifetime of the object.
class ScopedFakeClock {
 public:
  ScopedFakeClock() { SetClockSource(&clock); }
  ~ScopedFakeClock() { SetClockSource(nullptr); }
  FakeClock clock;
};

}  // namespace platform
