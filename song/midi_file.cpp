#include "song/midi_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/log.h"
#include "platform/file.h"

namespace {

// A chart is a few hundred kilobytes, rarely a few megabytes. Both the file and
// the events are bounded to keep a junk file from taking the machine's memory.
constexpr size_t kMaxChartBytes = size_t(16) << 20;
constexpr size_t kMaxChartEvents = size_t(2) << 20;
// A damaged file can hold an error in every few bytes; the log keeps the first ones.
constexpr int32_t kMaxErrorLines = 32;

constexpr size_t kHeaderBytes = 14;
constexpr size_t kChunkHeaderBytes = 8;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint16_t ReadBigEndian16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

// Text of a meta event as a C string would hold it: up to the first NUL, at most
// 255 bytes.
std::string_view MetaText(const uint8_t* data, size_t length) {
  const size_t n = std::min(length, kMidiTextMax);
  const void* nul = std::memchr(data, 0, n);
  const size_t used = nul ? size_t(static_cast<const uint8_t*>(nul) - data) : n;
  return std::string_view(reinterpret_cast<const char*>(data), used);
}

}  // namespace

struct ChartDecodeState {
  int32_t track = 0;  // slot of the track being decoded, for the log
  int32_t errorLinesLeft = kMaxErrorLines;
  size_t eventsLeft = kMaxChartEvents;
  bool eventLimitLogged = false;

  void Error(const std::string& text) {
    if (errorLinesLeft > 0) {
      --errorLinesLeft;
      LogEx(0, text);
      if (errorLinesLeft == 0) LogEx(0, "ERROR: FURTHER MIDI ERRORS NOT LOGGED");
    }
  }
};

int ReadVarLen(const uint8_t* bytes, size_t available, uint32_t& value) {
  uint32_t v = 0;
  const size_t limit = std::min<size_t>(available, 4);
  for (size_t i = 0; i < limit; ++i) {
    const uint8_t b = bytes[i];
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80) || i == 3) {
      value = v;
      return int(i + 1);
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// MidiTrack

MidiTrack::MidiTrack() = default;
MidiTrack::~MidiTrack() { ClearEvents(); }

ChartFamily MidiTrack::FamilyOf(std::string_view n) {
  if (n == "PART DRUM" || n == "PART DRUMS" || n == "PART REAL_DRUMS_VL") return ChartFamily::kDrums;
  if (n == "PART GUITAR" || n == "PART BASS" || n == "T1 GEMS" || n == "PART RHYTHM" || n == "PART GUITAR COOP" ||
      n == "PART DANCE" || n == "PART KEYS") {
    return ChartFamily::kFiveLane;
  }
  if (n == "PART REAL_GUITAR" || n == "PART REAL_GUITAR_22" || n == "PART REAL_BASS" || n == "PART REAL_BASS_22") {
    return ChartFamily::kProStrings;
  }
  return ChartFamily::kOther;
}

void MidiTrack::SetName(std::string_view text) {
  name.assign(text.substr(0, kMidiTextMax));
  family_ = FamilyOf(name);
}

// The events of a track while it is decoded: in the compact form already, but with
// texts and span counts in growing side lists (an event's word_ is its index there).
// One per thread, kept between loads, so decoding allocates nothing but the block.
struct MidiTrack::Scratch {
  std::vector<MidiEvent> events;
  std::vector<std::array<uint32_t, 5>> spans;
  std::string texts;  // per text: its length byte, its bytes, a NUL

  void Clear() {
    events.clear();
    spans.clear();
    texts.clear();
  }
};

namespace {

MidiTrack::Scratch& ThreadScratch();

const std::array<uint32_t, 5> kNoSpanNotes{};

}  // namespace

std::string_view MidiEvent::text() const {
  if (!(deltaFlags_ & kHasText)) return "NONE";
  const uint8_t* p = payload();
  return std::string_view(reinterpret_cast<const char*>(p + 1), p[0]);
}

const std::array<uint32_t, 5>& MidiEvent::spanNotes() const {
  if (!(deltaFlags_ & kHasSpan)) return kNoSpanNotes;
  return *reinterpret_cast<const std::array<uint32_t, 5>*>(payload());
}

int32_t MidiTrack::IndexOf(const MidiEvent* event) const {
  if (!events || event < events || event > lastEvent) return -1;
  return int32_t(event - events);
}

void MidiTrack::Unpack(Scratch& scratch) const {
  for (const MidiEvent* e = events; e; e = e->next()) {
    MidiEvent copy = *e;
    copy.deltaFlags_ &= ~(MidiEvent::kFirst | MidiEvent::kLast);
    if (e->deltaFlags_ & MidiEvent::kHasText) {
      const std::string_view text = e->text();
      copy.word_ = int32_t(scratch.texts.size());
      scratch.texts += char(text.size());
      scratch.texts += text;
      scratch.texts += '\0';
    } else if (e->deltaFlags_ & MidiEvent::kHasSpan) {
      copy.word_ = int32_t(scratch.spans.size());
      scratch.spans.push_back(e->spanNotes());
    }
    scratch.events.push_back(copy);
  }
}

size_t MidiTrack::PackedBytes(const Scratch& scratch) {
  if (scratch.events.empty()) return 0;
  const size_t bytes = scratch.events.size() * sizeof(MidiEvent) +
                       scratch.spans.size() * sizeof(std::array<uint32_t, 5>) + scratch.texts.size();
  return (bytes + alignof(MidiEvent) - 1) / alignof(MidiEvent) * alignof(MidiEvent);  // the next track's start
}

void MidiTrack::Pack(const Scratch& scratch) {
  const size_t total = PackedBytes(scratch);
  std::unique_ptr<uint8_t[]> block(total ? new uint8_t[total] : nullptr);
  PackInto(scratch, block.get());
  block_ = std::move(block);
}

void MidiTrack::PackInto(const Scratch& scratch, uint8_t* dest) {
  const size_t n = scratch.events.size();
  const size_t eventBytes = n * sizeof(MidiEvent);
  const size_t spanBytes = scratch.spans.size() * sizeof(std::array<uint32_t, 5>);
  block_.reset();
  if (n) {
    std::memcpy(dest, scratch.events.data(), eventBytes);
    if (spanBytes) std::memcpy(dest + eventBytes, scratch.spans.data(), spanBytes);
    if (!scratch.texts.empty()) std::memcpy(dest + eventBytes + spanBytes, scratch.texts.data(), scratch.texts.size());
  }
  MidiEvent* packed = reinterpret_cast<MidiEvent*>(dest);
  for (size_t i = 0; i < n; ++i) {
    MidiEvent& e = packed[i];
    const size_t at = i * sizeof(MidiEvent);
    if (e.deltaFlags_ & MidiEvent::kHasText) {
      e.word_ = int32_t(eventBytes + spanBytes + size_t(e.word_) - at);
    } else if (e.deltaFlags_ & MidiEvent::kHasSpan) {
      e.word_ = int32_t(eventBytes + size_t(e.word_) * sizeof(std::array<uint32_t, 5>) - at);
    }
  }
  if (n) {
    packed[0].deltaFlags_ |= MidiEvent::kFirst;
    packed[n - 1].deltaFlags_ |= MidiEvent::kLast;
  }
  blockBytes_ = PackedBytes(scratch);
  events = n ? packed : nullptr;
  lastEvent = n ? packed + n - 1 : nullptr;
  eventCount = int32_t(n);
  openSolo = openSoloIndex_ >= 0 ? packed + openSoloIndex_ : nullptr;
  openProSolo = openProSoloIndex_ >= 0 ? packed + openProSoloIndex_ : nullptr;
}

void MidiTrack::ClearEvents() {
  events = nullptr;
  lastEvent = nullptr;
  eventCount = 0;
  openSolo = nullptr;
  openProSolo = nullptr;
  openSoloIndex_ = -1;
  openProSoloIndex_ = -1;
  block_.reset();
  blockBytes_ = 0;
}

void MidiTrack::Reset() {
  ClearEvents();
  name.clear();
  family_ = ChartFamily::kOther;
  energyNote = kSoloNote;
  fiveLaneDrums = true;
  drumFallbackBlue = false;
  hasTomMarkers = false;
  difficultyPresent.fill(false);
  tickNotes.fill(0);
  keysLaneCountLeft = 18;
  keysLaneCountRight = 18;
  chunk = nullptr;
  chunkLength = 0;
  complete = false;
  stopWhenComplete = false;
  tick_ = 0;
  countedTick_ = 0;
}

void MidiTrack::CountNote(Scratch& scratch, size_t index) {
  MidiEvent& event = scratch.events[index];
  const bool on = event.kind_ == kMidiNoteOn;
  const int32_t n = event.word_;
  const int32_t channel = event.channel_;

  if (event.delta() != 0 || tick_ != countedTick_) {
    tickNotes.fill(0);
    countedTick_ = tick_;
  }
  // A span marker keeps its counts beside the event; its note number moves to the
  // small field.
  auto openSpan = [&](int64_t& open) {
    open = int64_t(index);
    event.small_ = uint8_t(n);
    event.word_ = int32_t(scratch.spans.size());
    event.deltaFlags_ |= MidiEvent::kHasSpan;
    scratch.spans.push_back(tickNotes);
  };
  if (n == kSoloNote) {
    if (on) {
      openSpan(openSoloIndex_);
    } else {
      openSoloIndex_ = -1;
    }
  }
  if (n == kProSoloNote) {
    if (on) {
      openSpan(openProSoloIndex_);
    } else {
      openProSoloIndex_ = -1;
    }
  }
  if (n == kEnergyNote) energyNote = kEnergyNote;

  // One note on of difficulty d into the counts at this tick and the open span.
  auto count = [&](int64_t span, int d) {
    ++tickNotes[d];
    if (span >= 0) ++scratch.spans[size_t(scratch.events[size_t(span)].word_)][d];
  };
  const int64_t openSolo = openSoloIndex_;
  const int64_t openProSolo = openProSoloIndex_;

  // The difficulty whose range holds n: ranges start every `step` notes from
  // `first` and are `width` notes wide; -1 when n is in none.
  auto rangeOf = [n](int first, int step, int width) {
    if (n < first || n >= first + 4 * step) return -1;
    return (n - first) % step < width ? (n - first) / step : -1;
  };
  auto allFour = [this] {
    return difficultyPresent[0] && difficultyPresent[1] && difficultyPresent[2] && difficultyPresent[3];
  };

  switch (family_) {
    case ChartFamily::kDrums: {
      if (n >= 110 && n <= 112) hasTomMarkers = true;
      if (n == 95) {
        difficultyPresent[4] = true;
        if (on) count(openSolo, 4);
      }
      const int d = rangeOf(60, 12, 6);  // 60-65, 72-77, 84-89, 96-101
      if (d >= 0) {
        difficultyPresent[d] = true;
        if (on) {
          count(openSolo, d);
          if (d == 3) count(openSolo, 4);
        }
      }
      complete = allFour() && difficultyPresent[4];
      break;
    }
    case ChartFamily::kFiveLane: {
      const int d = rangeOf(60, 12, 5);  // 60-64, 72-76, 84-88, 96-100
      if (d >= 0) {
        difficultyPresent[d] = true;
        if (d == 3) difficultyPresent[4] = true;
        if (on) {
          count(openSolo, d);
          if (d == 3) count(openSolo, 4);
        }
      }
      complete = allFour() && difficultyPresent[4];
      break;
    }
    case ChartFamily::kProStrings: {
      const int d = rangeOf(24, 24, 6);  // 24-29, 48-53, 72-77, 96-101
      if (d >= 0) {
        difficultyPresent[d] = true;
        if (on && channel != 2) count(openProSolo, d);
      }
      complete = allFour();
      break;
    }
    case ChartFamily::kOther:
      if (!name.empty()) complete = true;
      break;
  }
}

void MidiTrack::Parse() {
  ChartDecodeState state;
  ParseWith(state);
}

void MidiTrack::ParseWith(ChartDecodeState& state) {
  if (!chunk) return;
  Scratch& scratch = ThreadScratch();
  scratch.Clear();
  Unpack(scratch);
  DecodeInto(scratch, state);
  Pack(scratch);
  // A large chart's lists give their memory back rather than sit on it.
  if (scratch.events.capacity() > (size_t(1) << 18)) scratch = Scratch{};
}

void MidiTrack::DecodeInto(Scratch& scratch, ChartDecodeState& state) {
  family_ = FamilyOf(name);
  const uint8_t* const d = chunk;
  const size_t end = chunkLength;
  size_t p = 0;
  uint8_t runningStatus = 0;  // last channel-message status byte of this track; 0 none

  auto cutShort = [&] { state.Error("ERROR: MIDI TRACK " + std::to_string(state.track) + " CUT SHORT"); };

  while (p < end) {
    uint32_t delta = d[p];
    int deltaBytes = 1;  // most deltas fit one byte
    if (delta & 0x80) deltaBytes = ReadVarLen(d + p, end - p, delta);
    if (deltaBytes == 0 || p + deltaBytes >= end) {
      cutShort();
      break;
    }
    size_t q = p + deltaBytes;  // the status byte, or the first data byte
    const uint8_t lead = d[q];

    // The decoded event, kept in locals until it is known to be whole.
    int32_t kind = 0, channel = 0, data1 = 0, data2 = 0;
    bool isNote = false;
    bool hasText = false;
    bool isTrackName = false;
    std::string_view text;
    size_t next = 0;

    if (lead < 0x80 || (lead >= 0x80 && lead <= 0xEF)) {
      uint8_t status = lead;
      size_t at = q + 1;
      if (lead < 0x80) {
        status = runningStatus;
        at = q;
      } else {
        runningStatus = lead;
      }
      const uint8_t high = status & 0xF0;
      const int32_t ch = (status & 0x0F) + 1;
      if (status == 0) {
        // A data byte with no channel message before it: an event of kind 0 that
        // takes no bytes; the byte is read again as the next delta time.
        next = q;
      } else if (high == 0x80 || high == 0x90 || high == 0xB0) {
        if (end - at < 2) {
          cutShort();
          break;
        }
        kind = high;
        channel = ch;
        data1 = d[at];
        data2 = d[at + 1];
        if (kind == kMidiNoteOn && data2 == 0) kind = kMidiNoteOff;
        isNote = kind != kMidiControlChange;
        next = at + 2;
      } else if (high == 0xC0) {
        if (end - at < 1) {
          cutShort();
          break;
        }
        kind = kMidiProgramChange;
        channel = ch;
        data1 = d[at];
        next = at + 1;
      } else {
        const size_t dataBytes = high == 0xD0 ? 1 : 2;  // 0xA0 and 0xE0 carry two
        if (end - at < dataBytes) {
          cutShort();
          break;
        }
        state.Error("ERROR: UNKNOWN MIDI EVENT: " + std::to_string(status));
        next = at + dataBytes;
      }
    } else if (lead == 0xFF) {
      if (end - q < 2) {
        cutShort();
        break;
      }
      const uint8_t type = d[q + 1];
      uint32_t length = 0;
      const int lengthBytes = ReadVarLen(d + q + 2, end - q - 2, length);
      const size_t data = q + 2 + size_t(lengthBytes);
      if (lengthBytes == 0 || end - data < length) {
        cutShort();
        break;
      }
      const uint8_t* m = d + data;
      next = data + length;
      kind = type;
      if (type == kMetaSequenceNumber || type == kMetaEndOfTrack || type == kMetaSequencerSpecific) {
        // nothing kept
      } else if (type >= 0x01 && type <= 0x07) {
        hasText = true;
        text = MetaText(m, length);
        isTrackName = type == kMetaTrackName;
      } else if (type == kMetaTempo) {
        if (length >= 3) {
          data1 = int32_t((uint32_t(m[0]) << 16) | (uint32_t(m[1]) << 8) | m[2]);
        } else {
          kind = 0;
          state.Error("ERROR: SHORT META-EVENT: " + std::to_string(type));
        }
      } else if (type == kMetaTimeSignature || type == kMetaKeySignature) {
        if (length >= 2) {
          data1 = type == kMetaKeySignature ? int32_t(int8_t(m[0])) : int32_t(m[0]);
          data2 = m[1];
        } else {
          kind = 0;
          state.Error("ERROR: SHORT META-EVENT: " + std::to_string(type));
        }
      } else {
        kind = 0;
        state.Error("ERROR: UNKNOWN META-EVENT: " + std::to_string(type));
      }
    } else if (lead == 0xF0) {
      uint32_t length = 0;
      const int lengthBytes = ReadVarLen(d + q + 1, end - q - 1, length);
      if (lengthBytes == 0) {
        cutShort();
        break;
      }
      const size_t data = q + 1 + size_t(lengthBytes);
      const size_t avail = end - data;
      const uint8_t* s = d + data;
      kind = kMidiSysEx;
      size_t searchFrom = data;
      if (avail >= 7 && s[0] == 'V' && s[1] == 'L' && s[2] == 0 && s[3] == 0) {
        data2 = s[4];
        const int32_t type = s[5];
        if (type >= 1 && type <= 10) data1 = s[6] != 0 ? 2 * type - 1 : 2 * type;
        searchFrom = data + 7;
      } else if (avail >= 4 && s[0] == 'V' && s[1] == 'L' && s[2] == 0) {
        searchFrom = data + 3;
      }
      const void* f7 = std::memchr(d + searchFrom, 0xF7, end - searchFrom);
      if (f7) {
        next = size_t(static_cast<const uint8_t*>(f7) - d) + 1;
      } else if (length <= avail) {
        // No end byte (a message continued in a later packet): its stated length
        // still says where the next event begins.
        next = data + length;
      } else {
        cutShort();
        break;
      }
    } else if (lead == 0xF7) {
      uint32_t length = 0;
      const int lengthBytes = ReadVarLen(d + q + 1, end - q - 1, length);
      const size_t data = q + 1 + size_t(lengthBytes);
      if (lengthBytes == 0 || end - data < length) {
        cutShort();
        break;
      }
      state.Error("ERROR: UNKNOWN MIDI EVENT: " + std::to_string(lead));
      next = data + length;
    } else {
      // 0xF1-0xF6, 0xF8-0xFE: no length known; go on at the next byte.
      state.Error("ERROR: UNKNOWN MIDI EVENT: " + std::to_string(lead));
      next = q + 1;
    }

    if (state.eventsLeft == 0) {
      if (!state.eventLimitLogged) {
        state.eventLimitLogged = true;
        LogEx(0, "ERROR: MIDI EVENT LIMIT REACHED: " + std::to_string(kMaxChartEvents));
      }
      break;
    }
    --state.eventsLeft;

    scratch.events.emplace_back();
    MidiEvent& event = scratch.events.back();
    event.deltaFlags_ = delta;
    event.kind_ = uint8_t(kind);
    event.channel_ = uint8_t(channel);
    event.data2_ = uint8_t(data2);
    event.word_ = data1;
    tick_ += delta;
    if (hasText) {
      if (isTrackName) SetName(text);
      event.word_ = int32_t(scratch.texts.size());
      event.deltaFlags_ |= MidiEvent::kHasText;
      scratch.texts += char(text.size());
      scratch.texts += text;
      scratch.texts += '\0';
    }
    if (kind == kMetaTempo && name.empty()) SetName(kTempoTrackName);
    if (isNote) CountNote(scratch, scratch.events.size() - 1);
    p = next;
    if (IsDone()) break;
  }
}

namespace {

MidiTrack::Scratch& ThreadScratch() {
  thread_local MidiTrack::Scratch scratch;
  return scratch;
}

// One scratch per track slot, so that a whole chart is decoded before its events
// are packed into one block.
std::array<MidiTrack::Scratch, kMidiTrackSlots>& ThreadChartScratch() {
  thread_local std::array<MidiTrack::Scratch, kMidiTrackSlots> scratch;
  return scratch;
}

}  // namespace

// ---------------------------------------------------------------------------
// MidiFile

MidiFile::MidiFile() = default;
MidiFile::~MidiFile() = default;

void MidiFile::Clear() {
  for (MidiTrack& track : tracks) track.Reset();
  for (ChartSection& section : sections) section = ChartSection{};
  sectionCount = 0;
  header = MidiHeader{};
  buffer.clear();
  buffer.shrink_to_fit();
  events_.reset();
  stopWhenComplete = false;
  tempoMap_.clear();
  timeCodeDivision_ = false;
}

void MidiFile::Delete(MidiFile* chart) {
  if (!chart) return;
  chart->Clear();
  delete chart;
}

// Reads an open chart file whole into `bytes`; false on a read error. Stops with
// `tooLarge` set once the file passes the size bound.
// Reads the whole file into one allocation sized from the file; a file that grows
// while it is read is still read to its end (within the size bound).
static bool ReadChartFile(FILE* file, std::string& bytes, bool& tooLarge) {
  tooLarge = false;
  struct stat st {};
  // Only a regular file's size says what it holds (a folder's is its own record).
  if (::fstat(::fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    if (static_cast<uint64_t>(st.st_size) > kMaxChartBytes) {
      tooLarge = true;
      std::fclose(file);
      return true;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  }
  char block[4096];
  for (;;) {
    const size_t got = std::fread(block, 1, sizeof block, file);
    if (got == 0) break;
    if (bytes.size() + got > kMaxChartBytes) {
      tooLarge = true;
      break;
    }
    bytes.append(block, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

size_t MidiFile::HeldBytes() const {
  size_t bytes = buffer.empty() ? 0 : buffer.capacity();
  for (const MidiTrack& track : tracks) bytes += track.HeldBytes();
  return bytes;
}

bool MidiFile::LoadFile(bool stop, FILE* file) {
  if (!file) return false;
  // The file's bytes are only needed while the tracks decode, so every load of a
  // thread reads into one buffer that stays (within reason) for the next.
  thread_local std::string bytes;
  bytes.clear();
  bool tooLarge = false;
  const bool read = ReadChartFile(file, bytes, tooLarge);
  if (read && tooLarge) {
    Clear();
    stopWhenComplete = stop;
    LogEx(0, "ERROR: MIDI FILE TOO LARGE (over " + std::to_string(kMaxChartBytes) + " bytes)");
  } else if (read) {
    Decode(stop, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  if (bytes.capacity() > (size_t(1) << 20)) std::string().swap(bytes);
  return read;  // false: opened but unreadable (a folder, an I/O error)
}

bool MidiFile::Load(bool stop, std::string_view path) { return LoadFile(stop, platform::OpenFile(path, "rb")); }

bool MidiFile::Load(bool stop, std::u16string_view path) { return LoadFile(stop, platform::OpenFile(path, "rb")); }

void MidiFile::LoadFromBytes(bool stop, std::string bytes) {
  Decode(stop, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void MidiFile::Decode(bool stop, const uint8_t* const d, const size_t size) {
  Clear();
  stopWhenComplete = stop;
  ChartDecodeState state;
  auto& scratch = ThreadChartScratch();

  if (size < kHeaderBytes) {
    state.Error("ERROR: MIDI FILE TOO SHORT: " + std::to_string(size) + " BYTES");
    return;
  }
  header.length = ReadBigEndian32(d + 4);
  header.format = ReadBigEndian16(d + 8);
  header.trackCount = ReadBigEndian16(d + 10);
  header.division = ReadBigEndian16(d + 12);

  const uint32_t declared = header.trackCount;
  if (declared > uint32_t(kMidiTrackSlots)) {
    state.Error("ERROR: MIDI FILE DECLARES " + std::to_string(declared) + " TRACKS, READING " +
                std::to_string(kMidiTrackSlots));
  }
  const uint32_t wanted = std::min<uint32_t>(declared, kMidiTrackSlots);
  size_t offset = kHeaderBytes;
  uint32_t filled = 0;
  while (filled < wanted) {
    if (size - offset < kChunkHeaderBytes) {
      state.Error("ERROR: MIDI FILE ENDS BEFORE TRACK " + std::to_string(filled) + " OF " +
                  std::to_string(declared));
      break;
    }
    const uint32_t length = ReadBigEndian32(d + offset + 4);
    const size_t available = size - offset - kChunkHeaderBytes;
    MidiTrack& track = tracks[filled];
    track.chunk = d + offset + kChunkHeaderBytes;
    if (length > available) {
      state.Error("ERROR: MIDI TRACK " + std::to_string(filled) + " RUNS PAST THE END OF THE FILE");
      track.chunkLength = uint32_t(available);
    } else {
      track.chunkLength = length;
    }
    track.stopWhenComplete = stopWhenComplete;
    state.track = int32_t(filled);
    scratch[filled].Clear();
    track.DecodeInto(scratch[filled], state);
    // The bytes go when the load ends; nothing may point at them afterwards.
    track.chunk = nullptr;
    ++filled;
    offset += kChunkHeaderBytes + std::min<size_t>(length, available);
  }
  header.trackCount = uint16_t(filled);

  // Every track's events in one block: a chart is one allocation, and the memory a
  // load frees is the same size the next one takes, so it is used again rather than
  // handed back to the system and faulted in anew.
  size_t total = 0;
  for (uint32_t t = 0; t < filled; ++t) total += MidiTrack::PackedBytes(scratch[t]);
  events_.reset(total ? new uint8_t[total] : nullptr);
  size_t at = 0;
  for (uint32_t t = 0; t < filled; ++t) {
    tracks[t].PackInto(scratch[t], events_.get() + at);
    at += MidiTrack::PackedBytes(scratch[t]);
    // A large chart's lists give their memory back rather than sit on it.
    if (scratch[t].events.capacity() > (size_t(1) << 18)) scratch[t] = MidiTrack::Scratch{};
  }

  timeCodeDivision_ = (header.division & 0x8000) != 0;
  if (header.division == 0 || timeCodeDivision_) {
    state.Error("ERROR: MIDI DIVISION NOT SUPPORTED: " + std::to_string(header.division));
  }
  BuildTempoMap();
}

void MidiFile::BuildTempoMap() {
  tempoMap_.clear();
  if (header.trackCount == 0 || header.division == 0 || timeCodeDivision_) return;
  const float division = float(header.division);
  uint64_t tick = 0;
  float timeMs = 0.0f;
  float msPerQuarter = 0.0f;  // no tempo until the first tempo event
  tempoMap_.push_back({0, 0.0f, 0.0f});
  for (const MidiEvent* e = tracks[0].events; e; e = e->next()) {
    if (e->delta() != 0) {
      timeMs = timeMs + float(e->delta()) * msPerQuarter / division;
      tick += e->delta();
    }
    if (e->kind() == kMetaTempo) msPerQuarter = float(double(e->data1()) / 1000.0);
    // Events at one tick share one point; the tempo in force after the last of them counts.
    TempoPoint& last = tempoMap_.back();
    if (last.tick == tick) {
      last.msPerQuarter = msPerQuarter;
    } else {
      tempoMap_.push_back({tick, timeMs, msPerQuarter});
    }
  }
}

float MidiFile::TickToMs(uint64_t tick) const {
  if (tempoMap_.empty()) return 0.0f;
  auto it = std::upper_bound(tempoMap_.begin(), tempoMap_.end(), tick,
                             [](uint64_t t, const TempoPoint& point) { return t < point.tick; });
  const TempoPoint& point = *(it - 1);  // the first point is at tick 0
  return point.timeMs + float(tick - point.tick) * point.msPerQuarter / float(header.division);
}

int32_t MidiFile::FindTrack(int32_t instrument, int32_t part) const {
  const char* names[2] = {nullptr, nullptr};
  static const char* const kKeysAdv[4] = {"PART REAL_KEYS_E", "PART REAL_KEYS_M", "PART REAL_KEYS_H",
                                          "PART REAL_KEYS_X"};
  static const char* const kKeysReal[4] = {"PART REAL_KEYS_VL_E", "PART REAL_KEYS_VL_M", "PART REAL_KEYS_VL_H",
                                           "PART REAL_KEYS_VL_X"};
  static const char* const kHarmonies[3] = {"HARM1", "HARM2", "HARM3"};
  switch (instrument) {
    case 0:
    case 5:
      names[0] = "PART DRUMS";
      names[1] = "PART DRUM";
      break;
    case 1: names[0] = "PART BASS"; break;
    case 2:
      names[0] = "PART GUITAR";
      names[1] = "T1 GEMS";
      break;
    case 3: names[0] = "PART KEYS"; break;
    case 4: names[0] = "PART VOCALS"; break;
    case 6:
    case 7: {
      const char* plain = instrument == 6 ? "PART REAL_BASS" : "PART REAL_GUITAR";
      const char* frets22 = instrument == 6 ? "PART REAL_BASS_22" : "PART REAL_GUITAR_22";
      if (part == 0) {
        names[0] = plain;
        names[1] = frets22;
      } else if (part == 1) {
        names[0] = plain;
      } else if (part == 2) {
        names[0] = frets22;
      } else {
        return -1;
      }
      break;
    }
    case 8:
    case 14:
      if (part < 0 || part > 3) return -1;
      names[0] = instrument == 8 ? kKeysAdv[part] : kKeysReal[part];
      break;
    case 9:
      if (part < 0 || part > 2) return -1;
      names[0] = kHarmonies[part];
      break;
    case 10: names[0] = "PART RHYTHM"; break;
    case 11: names[0] = "PART GUITAR COOP"; break;
    case 12: names[0] = "PART DANCE"; break;
    case 13: names[0] = "PART REAL_DRUMS_VL"; break;
    default: return -1;
  }
  for (int32_t i = 0; i < int32_t(header.trackCount); ++i) {
    const std::string& n = tracks[i].name;
    if (n == names[0] || (names[1] && n == names[1])) return i;
  }
  return -1;
}

int32_t MidiFile::FindEventsTrack() const {
  for (int32_t i = 0; i < int32_t(header.trackCount); ++i) {
    if (tracks[i].name == "EVENTS") return i;
  }
  return -1;
}

bool MidiFile::ReadSections() {
  for (int32_t i = 0; i < sectionCount; ++i) sections[i] = ChartSection{};
  sectionCount = 0;
  const int32_t index = FindEventsTrack();
  if (index < 0) return false;
  uint64_t tick = 0;
  float tickF = 0.0f;
  for (const MidiEvent* e = tracks[index].events; e; e = e->next()) {
    tick += e->delta();
    tickF += float(e->delta());
    if (e->kind() != kMetaText || sectionCount >= kChartSectionSlots) continue;
    std::string_view text = e->text();
    if (text.starts_with("[section ")) {
      text.remove_prefix(9);
    } else if (text.starts_with("[prc_")) {
      text.remove_prefix(5);
    } else {
      continue;
    }
    const size_t close = text.find(']');
    if (close == std::string_view::npos) continue;
    ChartSection& section = sections[sectionCount++];
    section.name.assign(text.substr(0, close));
    section.timeMs = TickToMs(tick);
    section.tick = tickF;
  }
  return true;
}
