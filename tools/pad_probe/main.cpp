// pad_probe: finds out what a keyboard or game controller reports. It lists the
// attached devices, waits for a button press on one of them and from then on prints
// every event of that device until it is ended (Ctrl+C, or the console closed).
#include <csignal>
#include <cstdio>

#include "tools/pad_probe/pad_probe.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnStopSignal(int) { g_stop = 1; }

void Say(const char* line) {
  std::puts(line);
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::unique_ptr<platform::padprobe::PadSource> source = platform::padprobe::CreatePadSource();
  padprobe::DeviceTable table;
  table.Enumerate(*source);
  Say("Please Insure That Your Controller Was Plugged In And Turned On Before Running This Program!");
  Say("");
  Say("Please Press Any Button On The Controller You Wish To Profile");

  // Nobody may be at the keyboard: every wait below sleeps on the devices.
  int chosen = -1;
  while (!g_stop && (chosen = table.FindPressed()) < 0) source->Wait(1);
  if (g_stop) return 0;
  table.PollAllDevices();
  platform::padprobe::PadEvent events[platform::padprobe::kMaxBufferedEvents];
  while (!g_stop) {
    const int n = table.device(chosen).ReadEvents(events);
    for (int i = 0; i < n; ++i) Say(padprobe::EventLine(events[i]).c_str());
    if (n == 0) source->Wait(1);
  }
  return 0;
}
