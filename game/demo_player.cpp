#include "game/demo_player.h"

namespace {
// One slot of the caller's 150 is always left free.
constexpr int32_t kLastFetchSlot = 148;
}  // namespace

DemoEventList::DemoEventList() { Reset(); }

DemoEventList::~DemoEventList() {
  FreeEvents();
  name.clear();
}

void DemoEventList::FreeEvents() {
  InputEvent* e = first_;
  while (e) {
    InputEvent* next = e->next;
    delete e;
    e = next;
  }
  first_ = last_ = cursor_ = nullptr;
  count_ = 0;
}

bool DemoEventList::Reset() {
  FreeEvents();
  name = "Demo Player";
  value1 = value2 = value3 = 0;
  value4 = -1;
  return true;
}

bool DemoEventList::Record(const InputEvent& event) {
  InputEvent* copy = new InputEvent(event);
  copy->next = nullptr;
  if (last_) {
    last_->next = copy;
  } else {
    first_ = copy;
  }
  last_ = copy;
  count_ += 1;
  return true;
}

bool DemoEventList::FetchEvents(InputEvent* events, int32_t& count, double now) {
  while (cursor_ && cursor_->time <= now) {
    if (count > kLastFetchSlot) return false;
    if (count < 0) count = 0;
    events[count] = *cursor_;
    count += 1;
    cursor_ = cursor_->next;
  }
  return true;
}

void DemoEventList::CopyFrom(const DemoEventList& other) {
  if (&other == this) {
    Rewind();
    return;
  }
  FreeEvents();
  for (const InputEvent* e = other.first_; e; e = e->next) Record(*e);
  name = other.name;
  value1 = other.value1;
  value2 = other.value2;
  value3 = other.value3;
  value4 = other.value4;
  Rewind();
}

DemoPlayer::DemoPlayer() { Reset(); }

bool DemoPlayer::Reset() {
  for (DemoEventList& l : lists) l.Reset();
  value1 = value2 = 0;
  version = 1.27f;
  text1.clear();
  text2.clear();
  text3.clear();
  text4.clear();
  return true;
}

DemoEventList* DemoPlayer::List(int32_t index) {
  if (index < 0 || index >= kLists) return nullptr;
  return &lists[index];
}

void DemoPlayer::CopyFrom(const DemoPlayer& other) {
  for (int32_t i = 0; i < kLists; ++i) lists[i].CopyFrom(other.lists[i]);
  value1 = other.value1;
  value2 = other.value2;
  version = other.version;
  text1 = other.text1;
  text2 = other.text2;
  text3 = other.text3;
  text4 = other.text4;
}
