#include "platform/clock.h"

#include <time.h>

#include <atomic>
#include <thread>

namespace platform {

namespace {

int64_t MonotonicNs() {
  timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

const int64_t g_startNs = MonotonicNs();

class RealClock : public ClockSource {
 public:
  uint32_t Milliseconds() override { return static_cast<uint32_t>((MonotonicNs() - g_startNs) / 1000000); }
  int64_t Nanoseconds() override { return MonotonicNs(); }
  std::time_t CalendarTime() override { return std::time(nullptr); }
  LocalDateTime LocalTime(std::time_t t) override {
    std::tm tm {};
    localtime_r(&t, &tm);
    LocalDateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    d.weekday = tm.tm_wday;
    d.yearDay = tm.tm_yday;
    return d;
  }
};

RealClock g_real;
std::atomic<ClockSource*> g_source{&g_real};

}  // namespace

uint32_t TimeGetTime() { return g_source.load()->Milliseconds(); }
int64_t PerformanceCounter() { return g_source.load()->Nanoseconds(); }
std::time_t CalendarTime() { return g_source.load()->CalendarTime(); }
LocalDateTime ToLocal(std::time_t t) { return g_source.load()->LocalTime(t); }
LocalDateTime LocalNow() {
  ClockSource* s = g_source.load();
  return s->LocalTime(s->CalendarTime());
}

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SetClockSource(ClockSource* source) { g_source = source ? source : &g_real; }

}  // namespace platform
