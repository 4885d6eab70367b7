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

// One decoded event in 12 bytes. A track's events sit in one block of memory in
// file order, followed by the texts and solo-span counts that some of them carry;
// an event finds its neighbours and its text by its place in that block, so no
// event holds a pointer.
class MidiEvent {
 public:
  uint32_t delta() const { return deltaFlags_ & kDeltaMask; }  // ticks since the previous event of the track
  // 0x80, 0x90, 0xB0, 0xC0, 0xF0, a meta type 0x00-0x7F, or 0 when not decoded.
  int32_t kind() const { return kind_; }
  int32_t channel() const { return channel_; }  // 1-16 for channel messages, 0 otherwise
  // Note, controller or program number; tempo in microseconds per quarter note
  // (0x51); time-signature numerator (0x58); key-signature sharps/flats, signed
  // (0x59); chart code of a "VL" system-exclusive event. Data bytes are taken as
  // they stand (0-255), so a damaged file can give values above 127.
  int32_t data1() const { return (deltaFlags_ & (kHasText | kHasSpan)) ? small_ : word_; }
  // Velocity or controller value; denominator power (0x58); major/minor (0x59);
  // difficulty of a "VL" system-exclusive event.
  int32_t data2() const { return data2_; }
  // Text meta events 0x01-0x07 only, at most 255 bytes (followed by a NUL); "NONE"
  // for every other event.
  std::string_view text() const;
  // On the note-on events of notes 103 and 115: notes of each difficulty in the
  // span; zeros on every other event.
  const std::array<uint32_t, 5>& spanNotes() const;
  const MidiEvent* next() const { return (deltaFlags_ & kLast) ? nullptr : this + 1; }
  const MidiEvent* prev() const { return (deltaFlags_ & kFirst) ? nullptr : this - 1; }

 private:
  friend class MidiTrack;
  // A delta time has at most 28 bits (four bytes of seven); the top four are flags.
  static constexpr uint32_t kDeltaMask = 0x0FFFFFFFu;
  static constexpr uint32_t kFirst = 1u << 28;
  static constexpr uint32_t kLast = 1u << 29;
  static constexpr uint32_t kHasText = 1u << 30;  // word_ is the offset of the text
  static constexpr uint32_t kHasSpan = 1u << 31;  // word_ is the offset of the counts
  const uint8_t* payload() const { return reinterpret_cast<const uint8_t*>(this) + word_; }

  uint32_t deltaFlags_ = 0;
  uint8_t kind_ = 0;
  uint8_t channel_ = 0;
  uint8_t data2_ = 0;
  uint8_t small_ = 0;  // data1 of an event whose word_ holds an offset (always below 256)
  int32_t word_ = 0;   // data1, or the byte offset from this event to its text or counts
};
static_assert(sizeof(MidiEvent) == 12, "events are kept compact");

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

  const uint8_t* chunk = nullptr;  // the chunk's data bytes (after tag and length); null after a load
  uint32_t chunkLength = 0;        // data bytes available (the stated length cut to the file)

  const MidiEvent* events = nullptr;     // the first event; null when none
  const MidiEvent* lastEvent = nullptr;  // the last event
  int32_t eventCount = 0;

  bool complete = false;           // every difficulty the family can hold was seen
  bool stopWhenComplete = false;
  const MidiEvent* openSolo = nullptr;     // note-on of the open 103 span
  const MidiEvent* openProSolo = nullptr;  // note-on of the open 115 span

  // Decodes `chunk` into events (appending to the list). Stops at the end of the
  // chunk, at the first event that is not whole, or once IsDone() holds.
  void Parse();
  // Frees every event; the list is empty afterwards.
  void ClearEvents();
  bool IsDone() const { return complete && stopWhenComplete; }
  // The position of an event of this track, from 0; -1 for an event of another.
  int32_t IndexOf(const MidiEvent* event) const;
  // Bytes of memory the events, their texts and their span counts take.
  size_t HeldBytes() const { return blockBytes_; }

  // Resets the track to its constructed state (events freed).
  void Reset();

  static ChartFamily FamilyOf(std::string_view trackName);
  ChartFamily family() const { return family_; }

 public:
  struct Scratch;  // the lists a track is decoded into (one per thread)

 private:
  friend class MidiFile;
  void ParseWith(ChartDecodeState& state);
  void DecodeInto(Scratch& scratch, ChartDecodeState& state);
  void SetName(std::string_view text);
  // The statistics step for one decoded note on or note off (a note on of velocity
  // 0 has already become a note off), on the event at `index` of the scratch list.
  // Counts at one tick are kept per absolute tick, so an event of another kind
  // carrying the delta does not leave stale counts.
  void CountNote(Scratch& scratch, size_t index);
  // Moves the events kept so far into the scratch lists, and back into one block.
  void Unpack(Scratch& scratch) const;
  // Into a block of the track's own, or into its part of the chart's block.
  void Pack(const Scratch& scratch);
  void PackInto(const Scratch& scratch, uint8_t* dest);
  static size_t PackedBytes(const Scratch& scratch);

  ChartFamily family_ = ChartFamily::kOther;
  uint64_t tick_ = 0;         // absolute tick of the event being decoded
  uint64_t countedTick_ = 0;  // absolute tick that `tickNotes` belong to
  // The events, then the span counts, then the texts, in one allocation of exactly
  // the size they need: the chart's (a load) or the track's own (Parse).
  std::unique_ptr<uint8_t[]> block_;
  size_t blockBytes_ = 0;
  int64_t openSoloIndex_ = -1;
  int64_t openProSoloIndex_ = -1;
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
  // The file's bytes while it is decoded; released once the events are built (they
  // keep their own copies of everything the game reads).
  std::string buffer;
  bool stopWhenComplete = false;
  std::array<MidiTrack, kMidiTrackSlots> tracks;
  std::array<ChartSection, kChartSectionSlots> sections;
  int32_t sectionCount = 0;

  // Reads and decodes the file. False only when it cannot be opened for reading;
  // a damaged file logs its error and keeps what was whole. With stopWhenComplete a
  // track stops decoding once its statistics are complete (availability scans).
  bool Load(bool stopWhenComplete, std::u16string_view path);
  bool Load(bool stopWhenComplete, std::string_view path);
  // The same over bytes already in memory (they are not kept).
  void LoadFromBytes(bool stopWhenComplete, std::string bytes);

  // Bytes of memory the decoded events take, over every track.
  size_t HeldBytes() const;

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
  void Decode(bool stopWhenComplete, const uint8_t* bytes, size_t size);
  void BuildTempoMap();

  std::vector<TempoPoint> tempoMap_;
  bool timeCodeDivision_ = false;
  std::unique_ptr<uint8_t[]> events_;  // every track's events, texts and span counts
};
