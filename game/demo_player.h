// The input recorder: per player, the stream of controller events of a song kept in
// memory, handed back later event by event at the song times at which it happened.
#pragma once

#include <cstdint>
#include <string>

#include "devices/input/input_event.h"

// Button code of a recorded miss: the event's word is the note's serial, its flag 1.
constexpr uint32_t kRecordedMissCode = 50;

class DemoEventList {
 public:
  DemoEventList();
  ~DemoEventList();
  DemoEventList(const DemoEventList&) = delete;
  DemoEventList& operator=(const DemoEventList&) = delete;

  bool Reset();
  // Appends a copy of the event (its next link cleared). The cursor is not touched.
  bool Record(const InputEvent& event);
  // Copies the due events (time <= now) into events[count...], at most up to slot
  // 148. False when it stopped because the array was full (the cursor then stays on
  // the event that did not fit).
  bool FetchEvents(InputEvent* events, int32_t& count, double now);

  // Points the cursor at the first event, for a replay.
  void Rewind() { cursor_ = first_; }
  // Replaces this list by copies of another's events, cursor at the first.
  void CopyFrom(const DemoEventList& other);

  const InputEvent* first() const { return first_; }
  const InputEvent* cursor() const { return cursor_; }
  int32_t count() const { return count_; }

  std::string name;
  int32_t value1 = 0, value2 = 0, value3 = 0;
  int32_t value4 = -1;

 private:
  void FreeEvents();

  InputEvent* first_ = nullptr;
  InputEvent* last_ = nullptr;   // so that a record does not walk the whole list
  InputEvent* cursor_ = nullptr;
  int32_t count_ = 0;
};

class DemoPlayer {
 public:
  static constexpr int32_t kLists = 15;

  DemoPlayer();
  bool Reset();

  // The list of a player's demo index, or null outside 0..14.
  DemoEventList* List(int32_t index);
  // Copies every list of the recorder, each rewound for playback.
  void CopyFrom(const DemoPlayer& other);

  DemoEventList lists[kLists];
  int32_t value1 = 0, value2 = 0;
  float version = 1.27f;
  std::string text1, text2, text3, text4;
};
