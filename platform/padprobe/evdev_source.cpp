// The evdev source: /dev/input/event* nodes, classified into keyboards and game
// controllers, their events mapped to the classic offsets and values.
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/padprobe/pad_source.h"

namespace platform::padprobe {

namespace {

template <size_t Bits>
struct BitSet {
  std::array<unsigned long, (Bits + 8 * sizeof(unsigned long) - 1) / (8 * sizeof(unsigned long))> words{};
  bool Has(unsigned bit) const {
    constexpr unsigned kPerWord = 8 * sizeof(unsigned long);
    return bit < Bits && (words[bit / kPerWord] >> (bit % kPerWord)) & 1ul;
  }
};

struct AxisMap {
  uint16_t code;
  uint32_t offset;
};
constexpr AxisMap kAxes[] = {{ABS_X, kAxisX},   {ABS_Y, kAxisY},   {ABS_Z, kAxisZ},
                             {ABS_RX, kAxisRx}, {ABS_RY, kAxisRy}, {ABS_RZ, kAxisRz},
                             {ABS_THROTTLE, kSlider0}, {ABS_RUDDER, kSlider1}};

bool IsControllerButton(unsigned code) {
  return (code >= BTN_JOYSTICK && code < BTN_DIGI) || (code >= BTN_TRIGGER_HAPPY && code <= BTN_TRIGGER_HAPPY40);
}

class EvdevDevice : public PadDevice {
 public:
  EvdevDevice(int fd, PadKind kind) : fd_(fd), kind_(kind) {
    if (kind_ == PadKind::kController) MapController();
  }
  ~EvdevDevice() override { close(fd_); }
  int fd() const { return fd_; }

  int Read(PadEvent* out, int max) override {
    int n = 0;
    input_event raw[16];
    while (n < max) {
      const ssize_t got = read(fd_, raw, sizeof raw);
      if (got <= 0) break;  // nothing buffered (EAGAIN) or the device went away
      for (size_t i = 0; i < static_cast<size_t>(got) / sizeof(input_event); ++i) Map(raw[i], out, n, max);
    }
    return n;
  }

 private:
  void MapController() {
    BitSet<KEY_CNT> keys;
    ioctl(fd_, EVIOCGBIT(EV_KEY, sizeof keys.words), keys.words.data());
    // Buttons are numbered as the classic joystick format does: the joystick and pad
    // range first, then the extra trigger buttons, then the miscellaneous ones.
    std::vector<unsigned> order;
    for (unsigned c = BTN_JOYSTICK; c < KEY_CNT; ++c)
      if (keys.Has(c) && IsControllerButton(c)) order.push_back(c);
    for (unsigned c = BTN_MISC; c < BTN_JOYSTICK; ++c)
      if (keys.Has(c)) order.push_back(c);
    for (size_t i = 0; i < order.size() && i < kMaxButtons; ++i) buttons_.push_back({order[i], static_cast<int>(i)});
    for (const AxisMap& a : kAxes) {
      input_absinfo info{};
      if (ioctl(fd_, EVIOCGABS(a.code), &info) == 0 && info.maximum > info.minimum)
        ranges_.push_back({a.code, info.minimum, info.maximum});
    }
  }

  void Add(PadEvent e, PadEvent* out, int& n, int max) {
    if (n < max) out[n++] = e;
  }

  void Map(const input_event& e, PadEvent* out, int& n, int max) {
    if (e.type == EV_KEY && e.value != 2) {
      if (kind_ == PadKind::kKeyboard) {
        if (uint32_t scan = ScanCodeOfKey(e.code)) Add({scan, e.value ? kPressed : 0}, out, n, max);
        return;
      }
      for (const auto& [code, index] : buttons_)
        if (code == e.code) Add({kButton0 + static_cast<uint32_t>(index), e.value ? kPressed : 0}, out, n, max);
      return;
    }
    if (e.type != EV_ABS || kind_ != PadKind::kController) return;
    if (e.code >= ABS_HAT0X && e.code <= ABS_HAT3Y) {
      const int hat = (e.code - ABS_HAT0X) / 2;
      int& axis = (e.code - ABS_HAT0X) % 2 == 0 ? hats_[hat][0] : hats_[hat][1];
      axis = e.value < 0 ? -1 : e.value > 0 ? 1 : 0;
      Add({kPov0 + 4u * static_cast<uint32_t>(hat), PovOfHat(hats_[hat][0], hats_[hat][1])}, out, n, max);
      return;
    }
    for (const Range& r : ranges_) {
      if (r.code != e.code) continue;
      const long long v = std::clamp<long long>(e.value, r.min, r.max);
      const uint32_t scaled = static_cast<uint32_t>((v - r.min) * 65535 / (static_cast<long long>(r.max) - r.min));
      for (const AxisMap& a : kAxes)
        if (a.code == e.code) Add({a.offset, scaled}, out, n, max);
    }
  }

  struct Range {
    uint16_t code;
    int min, max;
  };
  int fd_;
  PadKind kind_;
  std::vector<std::pair<unsigned, int>> buttons_;
  std::vector<Range> ranges_;
  int hats_[4][2] = {};
};

std::string ReadString(int fd, unsigned long request) {
  char buf[256] = {};
  if (ioctl(fd, request, buf) < 0) return {};
  buf[sizeof buf - 1] = '\0';
  return buf;
}

// Keyboards have letter keys; controllers have joystick or pad buttons. Mice, power
// buttons and the rest are neither.
bool Classify(int fd, PadKind* kind) {
  BitSet<EV_CNT> types;
  BitSet<KEY_CNT> keys;
  if (ioctl(fd, EVIOCGBIT(0, sizeof types.words), types.words.data()) < 0 || !types.Has(EV_KEY)) return false;
  ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys.words), keys.words.data());
  for (unsigned c = BTN_JOYSTICK; c < KEY_CNT; ++c) {
    if (keys.Has(c) && IsControllerButton(c)) {
      *kind = PadKind::kController;
      return true;
    }
  }
  if (keys.Has(KEY_A) && keys.Has(KEY_Z) && keys.Has(KEY_SPACE)) {
    *kind = PadKind::kKeyboard;
    return true;
  }
  return false;
}

class EvdevSource : public PadSource {
 public:
  void Enumerate(const Found& found) override {
    std::vector<int> numbers;
    if (DIR* dir = opendir("/dev/input")) {
      while (const dirent* e = readdir(dir)) {
        if (std::strncmp(e->d_name, "event", 5) == 0 && e->d_name[5] >= '0' && e->d_name[5] <= '9')
          numbers.push_back(std::atoi(e->d_name + 5));
      }
      closedir(dir);
    }
    std::sort(numbers.begin(), numbers.end());
    for (int number : numbers) {
      const std::string path = "/dev/input/event" + std::to_string(number);
      const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;
      PadDeviceInfo info;
      if (!Classify(fd, &info.kind)) {
        close(fd);
        continue;
      }
      input_id id{};
      ioctl(fd, EVIOCGID, &id);
      info.name = ReadString(fd, EVIOCGNAME(256));
      char ids[64];
      std::snprintf(ids, sizeof ids, "%04x:%04x:%04x:%04x", id.bustype, id.vendor, id.product, id.version);
      info.identity = std::string(ids) + "|" + ReadString(fd, EVIOCGUNIQ(256)) + "|" +
                      ReadString(fd, EVIOCGPHYS(256)) + "|" + info.name;
      auto device = std::make_unique<EvdevDevice>(fd, info.kind);
      fds_.push_back(fd);
      found(std::move(device), info);
    }
  }
  void Wait(int timeoutMs) override {
    std::vector<pollfd> p;
    for (int fd : fds_) p.push_back({fd, POLLIN, 0});
    poll(p.data(), p.size(), timeoutMs);
  }

 private:
  std::vector<int> fds_;
};

}  // namespace

uint32_t ScanCodeOfKey(uint16_t key) {
  // Keys 1 to 88 carry their set-1 scan codes already.
  if (key >= 1 && key <= 88) return key;
  struct Extended {
    uint16_t key;
    uint8_t scan;
  };
  static constexpr Extended kExtended[] = {
      {KEY_RO, 0x73},         {KEY_KATAKANAHIRAGANA, 0x70}, {KEY_HENKAN, 0x79},     {KEY_MUHENKAN, 0x7B},
      {KEY_KPENTER, 0x9C},    {KEY_RIGHTCTRL, 0x9D},        {KEY_KPSLASH, 0xB5},    {KEY_SYSRQ, 0xB7},
      {KEY_RIGHTALT, 0xB8},   {KEY_HOME, 0xC7},             {KEY_UP, 0xC8},         {KEY_PAGEUP, 0xC9},
      {KEY_LEFT, 0xCB},       {KEY_RIGHT, 0xCD},            {KEY_END, 0xCF},        {KEY_DOWN, 0xD0},
      {KEY_PAGEDOWN, 0xD1},   {KEY_INSERT, 0xD2},           {KEY_DELETE, 0xD3},     {KEY_MUTE, 0xA0},
      {KEY_VOLUMEDOWN, 0xAE}, {KEY_VOLUMEUP, 0xB0},         {KEY_KPEQUAL, 0x8D},    {KEY_PAUSE, 0xC5},
      {KEY_KPCOMMA, 0xB3},    {KEY_YEN, 0x7D},              {KEY_LEFTMETA, 0xDB},   {KEY_RIGHTMETA, 0xDC},
      {KEY_COMPOSE, 0xDD},    {KEY_POWER, 0xDE},            {KEY_SLEEP, 0xDF},      {KEY_WAKEUP, 0xE3},
      {KEY_F13, 0x64},        {KEY_F14, 0x65},              {KEY_F15, 0x66},        {KEY_NEXTSONG, 0x99},
      {KEY_PREVIOUSSONG, 0x90}, {KEY_PLAYPAUSE, 0xA2},      {KEY_STOPCD, 0xA4},     {KEY_CALC, 0xA1},
  };
  for (const Extended& e : kExtended)
    if (e.key == key) return e.scan;
  return 0;
}

uint32_t PovOfHat(int x, int y) {
  if (x == 0 && y == 0) return kPovCentred;
  // Clockwise from up, in eighths of a turn.
  static constexpr uint32_t kAngles[3][3] = {
      // x = -1   x = 0   x = 1
      {31500, 0, 4500},       // y = -1 (up)
      {27000, 0, 9000},       // y = 0 (the middle entry is the centre, handled above)
      {22500, 18000, 13500},  // y = 1 (down)
  };
  return kAngles[y + 1][x + 1];
}

std::unique_ptr<PadSource> CreateEvdevPadSource() { return std::make_unique<EvdevSource>(); }

}  // namespace platform::padprobe
