#include "devices/midi/midi_in.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/utils.h"
#include "platform/clock.h"

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

constexpr int kStringBase[6] = {64, 59, 55, 50, 45, 40};

}  // namespace

// ---------------------------------------------------------------------------------
// MidiDevice

void MidiDevice::open(uint32_t id) {
  if (port_) return;
  if (id >= backend_->NumInputs()) {
    LogNarrow("Error: MidiDevice::open() Midi Device ID Is Not Valid:" + Num(id));
    return;
  }
  flags_.store(0);
  assembling_ = MidiRawMessage();
  std::unique_ptr<platform::midi::MidiInPort> port;
  int r = backend_->Open(id, this, &port);
  if (r != 0 || !port) {
    LogNarrow("Error: MidiDevice::open() Unable To Open Device:" + Num(id) + " ErrorCode:" + Num(r));
    return;
  }
  port_ = std::move(port);
  r = port_->PrepareBuffer();
  if (r != 0) {
    LogNarrow("Error: MidiDevice::open() Unable To Prepare Header! Device:" + Num(id) + " ErrorCode:" + Num(r));
    return;
  }
  prepared_ = true;
  r = port_->AddBuffer();
  if (r != 0) {
    LogNarrow("Error: MidiDevice::open() Unable To Add Buffer! Device:" + Num(id) + " ErrorCode:" + Num(r));
    return;
  }
  r = port_->Start();
  if (r != 0) {
    LogNarrow("Error: MidiDevice::open() Unable To Start Device:" + Num(id) + " ErrorCode:" + Num(r));
    return;
  }
  started_ = true;
}

void MidiDevice::close() {
  if (!port_) return;
  flags_.fetch_or(0x80);
  int r = port_->Reset();
  if (r != 0) {
    LogNarrow("Error: MidiDevice::close() Unable To Reset Device. ErrorCode:" + Num(r));
    return;
  }
  started_ = false;
  r = port_->Close();
  if (r != 0) {
    LogNarrow("Error: MidiDevice::close() Unable To Close Device. ErrorCode:" + Num(r));
    return;
  }
  if (prepared_) port_->UnprepareBuffer();
  prepared_ = false;
  port_.reset();
}

int32_t MidiDevice::poll(MidiRawMessage* out) {
  if (!port_) {
    // Said once per device: the IO thread asks every millisecond.
    if (!loggedNotOpen_) LogNarrow("Error: MidiDevice::poll() Device Is NOT Open!");
    loggedNotOpen_ = true;
    return 0;
  }
  return raw_.PopMany(out, kMidiRing);
}

void MidiDevice::OnShortMessage(uint32_t packed, uint32_t timeMs) {
  MidiRawMessage m;
  m.shortMessage = packed;
  m.timeMs = timeMs;
  if (!raw_.Push(m)) dropped_.fetch_add(1);
}

void MidiDevice::OnSysexChunk(const uint8_t* data, size_t size, uint32_t timeMs) {
  if (flags_.load() & 0x80) return;  // closing: returned buffers are not read
  if (size == 0) return;
  // A new message start while one is unfinished: the old one was cut off.
  if (data[0] == 0xF0 && assembling_.sysexLength > 0) assembling_ = MidiRawMessage();
  for (size_t i = 0; i < size; ++i) {
    if (assembling_.sysexLength < kMidiSysexKept) assembling_.sysex[assembling_.sysexLength] = data[i];
    if (assembling_.sysexLength < 0xFFFFFFFFu) ++assembling_.sysexLength;
  }
  if (data[size - 1] == 0xF7) {
    assembling_.timeMs = timeMs;
    if (!raw_.Push(assembling_)) dropped_.fetch_add(1);
    assembling_ = MidiRawMessage();
  }
}

// ---------------------------------------------------------------------------------
// MidiIn

MidiIn::MidiIn(uint32_t deviceId, platform::midi::MidiBackend* backend)
    : deviceId_(deviceId), device_(backend) {}

MidiIn::~MidiIn() { threadEnd(); }

std::u16string MidiIn::GetDeviceName(platform::midi::MidiBackend* backend, uint32_t deviceId) {
  std::string name;
  if (!backend->InputName(deviceId, &name)) return std::u16string();
  return ToWide(name);
}

void MidiIn::threadEnd() {
  if (thread_.joinable()) {
    running_.store(0);
    thread_.join();
  }
}

void MidiIn::threadBegin() {
  threadEnd();
  running_.store(1);
  try {
    thread_ = std::thread(&MidiIn::ThreadProc, this);
  } catch (const std::system_error&) {
    running_.store(0);
    Log(0, u"Error: MidiIn::threadBegin() Unable To Create MIDI IO Thread For Device:" + name_);
  }
}

void MidiIn::ThreadProc() {
  device_.open(deviceId_);
  do {
    PumpOnce();
    platform::SleepMs(1);
  } while (running_.load());
  device_.close();
}

void MidiIn::PumpOnce() {
  const int32_t n = device_.poll(scratch_);
  Decode(scratch_, n);
  const uint32_t lost = device_.TakeDropped();
  if (lost > 0 && !overflowLogged_) {
    LogNarrow("MIDI Input Overflow: " + Num(lost) + " Messages Dropped From Device " + Num(deviceId_));
    overflowLogged_ = true;
  } else if (lost == 0 && n == 0) {
    overflowLogged_ = false;  // the reader caught up; a later overflow is said again
  }
}

void MidiIn::Decode(const MidiRawMessage* records, int32_t n) {
  const uint32_t now = platform::TimeGetTime();
  uint32_t lost = 0;
  for (int32_t i = 0; i < n; ++i) {
    const MidiRawMessage& r = records[i];
    MidiInEvent e;
    e.timeMs = r.timeMs;
    if (r.sysexLength == 0) {
      const uint32_t status = r.shortMessage & 0xFF;
      e.type = static_cast<int32_t>(status >> 4);
      e.channel = static_cast<int32_t>(status & 15);
      e.note = static_cast<int32_t>((r.shortMessage >> 8) & 0xFF);
      e.value = static_cast<int32_t>((r.shortMessage >> 16) & 0xFF);
      if (e.type == 15) {
        lastSystemMs_.store(now);
        everSystem_ = true;
      } else {
        lastChannelMs_.store(now);
        everChannel_ = true;
      }
    } else {
      e.sysexLength = static_cast<int32_t>(std::min<uint32_t>(r.sysexLength, 0x7FFFFFFF));
      std::memcpy(e.sysex, r.sysex, std::min<uint32_t>(r.sysexLength, kMidiSysexKept));
    }
    if (!decoded_.Push(e)) ++lost;
  }
  if (lost > 0 && !overflowLogged_) {
    LogNarrow("MIDI Input Overflow: " + Num(lost) + " Messages Dropped From Device " + Num(deviceId_));
    overflowLogged_ = true;
  }
  int32_t activity = 0;
  if (everChannel_ && now - lastChannelMs_.load() < 200) activity = 2;
  else if (everSystem_ && now - lastSystemMs_.load() < 1000) activity = 1;
  activity_.store(activity);
}

int32_t MidiIn::Drain(MidiInEvent* out) { return decoded_.PopMany(out, kMidiRing); }

// ---------------------------------------------------------------------------------
// MidiInList

MidiInList::MidiInList(platform::midi::MidiBackend* backend)
    : backend_(backend), profiles_(new MidiProfile[kMaxMidiProfiles]) {}

MidiInList::~MidiInList() { Stop(); }

bool MidiInList::Stop() {
  for (auto& d : devices_) d->threadEnd();
  devices_.clear();  // each record closes its device
  return true;
}

bool MidiInList::Enumerate() { return EnumerateImpl(true); }
bool MidiInList::EnumerateUnthreaded() { return EnumerateImpl(false); }

void MidiInList::PumpAll() {
  for (auto& d : devices_) d->PumpOnce();
}

bool MidiInList::EnumerateImpl(bool threads) {
  Stop();
  if (!backend_->Available()) LogNarrow(backend_->Status());
  const uint32_t n = backend_->NumInputs();
  LogNarrow(Num(n) + (n == 1 ? " MIDI Device Found" : " MIDI Devices Found"));
  if (n > 0) {
    devices_.reserve(n);
    for (uint32_t i = 0; i < n; ++i) devices_.push_back(std::make_unique<MidiIn>(i, backend_));
    for (uint32_t i = 0; i < n; ++i) {
      MidiIn& d = *devices_[i];
      d.setName(MidiIn::GetDeviceName(backend_, i));
      Log(0, u"MIDI Device " + ToWide(Num(i)) + u" " + d.name() + u" Found!");
      if (threads) d.threadBegin();
      else d.device().open(i);
      std::memset(d.lastSysexButtons, 0, sizeof d.lastSysexButtons);
    }
    profileCount_ = ReadMidiProfiles(profiles_.get(), kMaxMidiProfiles);
  }
  return true;
}

bool MidiInList::Discard(int32_t deviceIndex) {
  MidiIn* d = device(deviceIndex);
  if (!d) return false;
  while (d->Drain(drained_) > 0) {
  }
  return true;
}

bool MidiInList::Translate(int32_t deviceIndex, InputEvent* events, int32_t* count, int32_t profileIndex) {
  EventSink sink(events, count);
  return Translate(deviceIndex, sink, profileIndex);
}

bool MidiInList::Translate(int32_t deviceIndex, EventSink& sink, int32_t profileIndex) {
  MidiIn* d = device(deviceIndex);
  if (!d) return false;
  // A profile index that names no profile (none chosen yet): the events are dropped.
  if (profileIndex < 0 || profileIndex >= kMaxMidiProfiles) return Discard(deviceIndex);
  const MidiProfile& p = profiles_[profileIndex];
  MidiInEvent e;
  while (d->PeekNext(e)) {
    // Translate aside first: a message is used whole or left queued, so a reader that
    // runs late gets the rest on its next call instead of losing it.
    InputEvent aside[kMaxEventsPerMidiMessage];
    int32_t made = 0;
    EventSink asideSink(aside, &made, kMaxEventsPerMidiMessage);
    uint8_t buttonsBefore[sizeof d->lastSysexButtons];
    std::memcpy(buttonsBefore, d->lastSysexButtons, sizeof buttonsBefore);
    TranslateOne(*d, e, p, asideSink);
    if (made > sink.Room()) {
      std::memcpy(d->lastSysexButtons, buttonsBefore, sizeof buttonsBefore);
      return false;
    }
    for (int32_t i = 0; i < made; ++i) *sink.Append() = aside[i];
    d->TakeNext();
  }
  return true;
}

namespace {

struct TableEntry {
  int slot;
  uint32_t id;
};
constexpr TableEntry kMidiTable[] = {
    {slot::kRed, 2},      {slot::kYellow, 3},     {slot::kYellowC, 24},  {slot::kYellowO, 25},
    {slot::kYellowP, 26}, {slot::kYellowS, 27},   {slot::kYellowTom, 7}, {slot::kBlue, 4},
    {slot::kBlueTom, 8},  {slot::kGreen, 1},      {slot::kGreenTom, 9},  {slot::kOrange, 5},
    {slot::kBass, 10},    {slot::kRim, 28},       {slot::kUp, 14},       {slot::kDown, 15},
    {slot::kLeft, 16},    {slot::kRight, 17},     {slot::kBack, 19},     {slot::kStart, 18},
};

// A note event as a button: note-on above 0 presses, note-on 0 or note-off releases,
// anything else writes nothing. True when an event was written.
bool NoteButton(uint32_t id, const MidiInEvent& e, EventSink& sink) {
  if (e.type == 9 && e.value > 0) return sink.Add(id, true, e.value, 128, 0, e.timeMs);
  if (e.type == 9 || e.type == 8) return sink.Add(id, false, e.value, 128, 0, e.timeMs);
  return false;
}

uint32_t HatId(int v) {
  switch (v) {
    case 0: return 14;
    case 2: return 17;
    case 4: return 15;
    case 6: return 16;
    default: return 0;
  }
}

}  // namespace

void MidiInList::TranslateOne(MidiIn& dev, const MidiInEvent& e, const MidiProfile& p, EventSink& sink) {
  const bool isShort = e.sysexLength == 0;
  bool appended = false;
  bool consumed = false;
  if (isShort) {
    for (int k = 0; k < ButtonSlot::kCodes && !consumed; ++k) {
      for (const TableEntry& t : kMidiTable) {
        const ButtonSlot& s = p.buttons[t.slot];
        if (s.codes[k] != e.note || s.second[k] != e.channel) continue;
        // A note-on softer than the slot's threshold is a ghost note: ignored.
        if (e.type == 9 && e.value > 0 && s.third[k] > 0 && e.value < s.third[k]) {
          consumed = true;
          break;
        }
        appended = NoteButton(t.id, e, sink);
        consumed = true;
        break;
      }
    }
  }
  if (appended || (consumed && e.type == 9) || p.method == 0) return;

  if (isShort) {
    if (p.method == 3 && e.type == 11 && e.note == 4) sink.Add(11, e.value == 127, e.value, 127, 0, e.timeMs);
    if (p.method == 1 && e.type != 14 && e.note >= 0 && e.note < 128)
      NoteButton(button::kMidiNoteBase + static_cast<uint32_t>(e.note), e, sink);
    if ((p.method == 1 || p.method == 5) && e.type == 14) sink.Add(21, e.value > 0, e.value, 128, 0, e.timeMs);
    if (p.method == 4 && e.type == 9 && e.channel >= 0 && e.channel <= 5) {
      // One channel per string; other channels name no string.
      const int c = e.channel;
      const int fret = e.note - kStringBase[c];
      sink.Add(static_cast<uint32_t>(46 - c), fret != 0, fret, 27, 0, e.timeMs);
      sink.Add(static_cast<uint32_t>(40 - c), e.value > 0, e.value, 127, 0, e.timeMs);
    }
    return;
  }

  if (p.method != 2 || e.sysexLength < 8) return;
  const uint8_t* b = e.sysex;
  if (b[0] != 0xF0 || b[1] != 0x08 || b[2] != 0x40 || (b[3] != 0x08 && b[3] != 0x0A)) return;
  const int s = b[5];
  switch (b[4]) {
    case 1:
      if (s >= 1 && s <= 6) {
        const int fret = b[6] - kStringBase[s - 1];
        sink.Add(static_cast<uint32_t>(47 - s), fret != 0, fret, 27, 0, e.timeMs);
      }
      break;
    case 5:
      if (s >= 1 && s <= 6) sink.Add(static_cast<uint32_t>(41 - s), b[6] > 0, b[6], 127, 0, e.timeMs);
      break;
    case 8: {
      if (e.sysexLength < 9) break;  // the four state bytes must all be there
      uint8_t* last = dev.lastSysexButtons;
      const uint8_t now[4] = {b[5], b[6], b[7], b[8]};
      struct Bit {
        int byte;
        uint8_t mask;
        uint32_t id;
        int32_t range;
      };
      static constexpr Bit kBits[] = {
          {0, 0x01, 4, 128},  {0, 0x02, 1, 128}, {0, 0x04, 2, 128},  {0, 0x08, 3, 128}, {1, 0x01, 19, 128},
          {1, 0x02, 18, 128}, {1, 0x10, 21, 16}, {1, 0x40, 5, 128}, {2, 0x40, 23, 64},
      };
      for (const Bit& bit : kBits) {
        const uint8_t n = now[bit.byte] & bit.mask;
        if (n != (last[bit.byte] & bit.mask)) sink.Add(bit.id, n != 0, n, bit.range, 0, e.timeMs);
      }
      const int oldHat = last[2] & 0x0F;
      const int newHat = now[2] & 0x0F;
      if (oldHat != newHat) {
        if (uint32_t id = HatId(newHat)) sink.Add(id, true, 128, 128, 0, e.timeMs);
        if (uint32_t id = HatId(oldHat)) sink.Add(id, false, 0, 128, 0, e.timeMs);
      }
      std::memcpy(last, now, 4);
      break;
    }
    default:
      break;
  }
}
