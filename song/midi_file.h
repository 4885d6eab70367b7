// The chart of a song: "notes.mid", a Standard MIDI File read whole and decoded
// into up to 35 tracks of raw events (delta ticks, kind, channel, two data values,
// text). Nothing is turned into notes in play here; the gameplay engine walks the
// event lists. While note events are decoded each track keeps the statistics the
// song scan and the gameplay need (difficulties present, notes per solo span, the
// energy-phrase note, drum tom markers), and the "EVENTS" track gives the practice
// sections with their times from the tempo map of track 0.
//
// Any bytes are safe to load: every read is bounded by the chunk and the file, a
// damaged file logs an error and keeps the events that were whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "song/instrument.h"

inline constexpr int32_t kMidiTrackSlots = 35;
inline constexpr int32_t kChartSectionSlots = 100;
// Texts of events and track names are cut to this many bytes.
inline constexpr size_t kMidiTextMax = 255;

// `MidiEvent::kind` of channel messages and system exclusive.
inline constexpr int32_t kMidiNoteOff = 0x80;
inline constexpr int32_t kMidiNoteOn = 0x90;
inline constexpr int32_t kMidiControlChange = 0xB0;
inline constexpr int32_t kMidiProgramChange = 0xC0;
inline constexpr int32_t kMidiSysEx = 0xF0;
// `MidiEvent::kind` of meta events is their type byte.
inline constexpr int32_t kMetaSequenceNumber = 0x00;
inline constexpr int32_t kMetaText = 0x01;
inline constexpr int32_t kMetaTrackName = 0x03;
inline constexpr int32_t kMetaLyric = 0x05;
inline constexpr int32_t kMetaEndOfTrack = 0x2F;
inline constexpr int32_t kMetaTempo = 0x51;
inline constexpr int32_t kMetaTimeSignature = 0x58;
inline constexpr int32_t kMetaKeySignature = 0x59;
inline constexpr int32_t kMetaSequencerSpecific = 0x7F;

// Notes with a meaning of their own in every chart track.
inline constexpr int32_t kSoloNote = 103;      // solo span (or energy phrase in older charts)
inline constexpr int32_t kProSoloNote = 115;   // solo span of pro-strings tracks
inline constexpr int32_t kEnergyNote = 116;    // energy phrase in newer charts

// The name given to an unnamed track once it holds a tempo event.
inline constexpr const char* kTempoTrackName = "VL TEMPO TRACK";

struct MidiEvent {
  uint32_t delta = 0;   // ticks since the previous event of the same track
  // 0x80, 0x90, 0xB0, 0xC0, 0xF0, a meta type 0x00-0x7F, or 0 when not decoded.
  int32_t kind = 0;
  int32_t channel = 0;  // 1-16 for channel messages, 0 otherwise
  // Note, controller or program number; tempo in microseconds per quarter note
  // (0x51); time-signature numerator (0x58); key-signature sharps/flats, signed
  // (0x59); chart code of a "VL" system-exclusive event. Data bytes are taken as
  // they stand (0-255), so a damaged file can give values above 127.
  int32_t data1 = 0;
  // Velocity or controller value; denominator power (0x58); major/minor (0x59);
  // difficulty of a "VL" system-exclusive event.
  int32_t data2 = 0;
  std::string text = "NONE";  // text meta events 0x01-0x07 only, at most 255 bytes
  int32_t index = -1;         // position in its track, from 0
  // On the note-on events of notes 103 and 115: notes of each difficulty in the span.
  std::array<uint32_t, 5> spanNotes{};
  MidiEvent* next = nullptr;
  MidiEvent* prev = nullptr;
};

// The header fields, in host order. After a load `trackCount` is the number of
// track slots that were filled (never above 35), which can be fewer than the file
// declares when it is damaged or declares too many.
struct MidiHeader {
  uint32_t length = 0;
  uint16_t format = 0;
  uint16_t trackCount = 0;
  uint16_t division = 0;  // ticks per quarter note
};

// How a track's notes are counted, chosen by its exact name.
enum class ChartFamily : uint8_t { kOther, kDrums, kFiveLane, kProStrings };

struct ChartDecodeState;  // shared by the tracks of one load (log and size budget)

// Reads a variable-length number (one to four bytes, seven bits each, most
// significant first; a fourth byte always ends it) from at most `available` bytes.
// Returns the bytes it took, or 0 when they ran out before the number ended.
int ReadVarLen(const uint8_t* bytes, size_t available, uint32_t& value);

class MidiTrack {
 public:
  MidiTrack();
  ~MidiTrack();
  MidiTrack(const MidiTrack&) = delete;
  MidiTrack& operator=(const MidiTrack&) = delete;

  // The text of the last track-name event, cut to 255 bytes; "VL TEMPO TRACK" when
  // a tempo event came while it was still empty.
  std::string name;
  // The note that marks energy phrases: 103, or 116 once the track holds note 116.
  // Level set-up may replace it with the song's multiplier note.
  int32_t energyNote = kSoloNote;
  // Chart options that level set-up copies in from "song.ini"; the reader leaves
  // them as constructed.
  bool fiveLaneDrums = true;
  bool drumFallbackBlue = false;
  bool hasTomMarkers = false;                 // drum notes 110-112 seen
  std::array<bool, 5> difficultyPresent{};    // difficulties 0-3 and the extra one
  std::array<uint32_t, 5> tickNotes{};        // note ons of each difficulty at the current tick
  int32_t keysLaneCountLeft = 18;
  int32_t keysLaneCountRight = 18;

  const uint8_t* chunk = nullptr;  // the chunk's data bytes (after tag and length)
  uint32_t chunkLength = 0;        // data bytes available (the stated length cut to the file)

  MidiEvent* events = nullptr;     // head of the list
  MidiEvent* lastEvent = nullptr;  // tail of the list
  int32_t eventCount = 0;

  bool complete = false;           // every difficulty the family can hold was seen
  bool stopWhenComplete = false;
  MidiEvent* openSolo = nullptr;     // note-on of the open 103 span
  MidiEvent* openProSolo = nullptr;  // note-on of the open 115 span

  // Decodes `chunk` into events (appending to the list). Stops at the end of the
  // chunk, at the first event that is not whole, or once IsDone() holds.
  void Parse();
  // A new default event linked at the end of the list and counted.
  MidiEvent* AppendEvent();
  // Frees every event; the list is empty afterwards.
  void ClearEvents();
  bool IsDone() const { return complete && stopWhenComplete; }
  // The statistics step for one decoded note on or note off (a note on of velocity
  // 0 has already become a note off). Counts at one tick are kept per absolute tick,
  // so an event of another kind carrying the delta does not leave stale counts.
  void CountNote(MidiEvent* event);

  // Resets the track to its constructed state (events freed).
  void Reset();

  static ChartFamily FamilyOf(std::string_view trackName);
  ChartFamily family() const { return family_; }

 private:
  friend class MidiFile;
  void ParseWith(ChartDecodeState& state);
  void SetName(std::string_view text);

  ChartFamily family_ = ChartFamily::kOther;
  uint64_t tick_ = 0;         // absolute tick of the event being decoded
  uint64_t countedTick_ = 0;  // absolute tick that `tickNotes` belong to
  // Events live in blocks owned by the track so that a large chart is not a
  // million separate allocations; the list links them in order.
  // Each block is raw storage for `capacity` events, of which the first `used` are
  // constructed; only the last block is ever partly used.
  struct EventBlock {
    MidiEvent* events;
    size_t used;
    size_t capacity;
  };
  std::vector<EventBlock> blocks_;
};

struct ChartSection {
  std::string name;
  float timeMs = 0.0f;  // from the start of the song
  float tick = 0.0f;    // absolute tick
};

class MidiFile {
 public:
  MidiFile();
  ~MidiFile();
  MidiFile(const MidiFile&) = delete;
  MidiFile& operator=(const MidiFile&) = delete;

  MidiHeader header;
  std::string buffer;  // the whole file as read; empty until loaded
  bool stopWhenComplete = false;
  std::array<MidiTrack, kMidiTrackSlots> tracks;
  std::array<ChartSection, kChartSectionSlots> sections;
  int32_t sectionCount = 0;

  // Reads and decodes the file. False only when it cannot be opened for reading;
  // a damaged file logs its error and keeps what was whole. With stopWhenComplete a
  // track stops decoding once its statistics are complete (availability scans).
  bool Load(bool stopWhenComplete, std::u16string_view path);
  bool Load(bool stopWhenComplete, std::string_view path);
  // The same over bytes already in memory (the buffer takes them over).
  void LoadFromBytes(bool stopWhenComplete, std::string bytes);

  // Frees the buffer, the sections and every event list; the chart is empty.
  void Clear();
  // Frees everything and then the object itself; a null chart is ignored.
  static void Delete(MidiFile* chart);

  // The first track, in file order, whose name is one of the instrument's track
  // names for that part; -1 when none, or the instrument or part is out of range.
  int32_t FindTrack(int32_t instrument, int32_t part) const;
  int32_t FindTrack(Instrument instrument, int32_t part) const {
    return FindTrack(InstrumentIndex(instrument), part);
  }
  // The first track named exactly "EVENTS", or -1.
  int32_t FindEventsTrack() const;
  // Fills `sections` from the "EVENTS" track; false when there is none.
  bool ReadSections();

  // Milliseconds from the start of the song at an absolute tick, by the tempo
  // events of track 0, in single precision. Ticks before the first tempo event,
  // and every tick when the division is 0 or a time-code division, give 0.
  float TickToMs(uint64_t tick) const;

 private:
  // One point of the tempo map: a tick at which track 0 has an event, the time
  // there, and the milliseconds per quarter note in force from it.
  struct TempoPoint {
    uint64_t tick;
    float timeMs;
    float msPerQuarter;
  };
  bool LoadFile(bool stopWhenComplete, std::FILE* file);
  void ReadHeader();
  void BuildTempoMap();

  std::vector<TempoPoint> tempoMap_;
  bool timeCodeDivision_ = false;
};
