// The controller event record and the logical button ids shared by every kind of
// controller (XInput pads, joysticks, the keyboard, MIDI instruments). Menus and
// players never see device data: they fetch arrays of InputEvent and switch on `id`.
#pragma once

#include <cstddef>
#include <cstdint>

// One press, release or value change of a logical button.
//
// `time` is left 0 by every producer; the consumer stamps it (the gameplay writes the
// player's song time into every event it fetches). So that the moment the device
// delivered the event is not lost between delivery and the next frame's fetch,
// producers also record `deliveryMs`: the platform millisecond clock
// (platform::TimeGetTime) at delivery. It sits in what would otherwise be padding,
// so the record keeps its layout and size. Use DeliveryAgeMs for wrap-safe ages.
struct InputEvent {
  uint32_t id = 0;        // logical button id (see the constants below)
  bool pressed = false;   // true for a press, false for a release
  int32_t value = 0;      // 128 / 0 for digital buttons, else velocity, fret, axis or raw value
  int32_t range = 0;      // value meaning full press or full travel; 0 for plain buttons
  int32_t rest = 0;       // value at rest
  uint32_t deliveryMs = 0;  // platform::TimeGetTime() when the device delivered the event
  double time = 0.0;      // ms; 0 when produced, stamped by the consumer
  uint8_t flag = 0;       // 0 when produced
  uint32_t word = 0;      // 0 when produced
  InputEvent* next = nullptr;  // queue link; meaningless in arrays handed to consumers
};

static_assert(sizeof(InputEvent) == 48, "InputEvent must stay 48 bytes");
static_assert(offsetof(InputEvent, time) == 24, "time follows rest and the delivery stamp");

// Milliseconds from the event's delivery to `nowMs` (both on platform::TimeGetTime),
// correct across the 2^32 wrap of the clock.
inline uint32_t DeliveryAgeMs(const InputEvent& e, uint32_t nowMs) { return nowMs - e.deliveryMs; }

// The most events one fetch hands over (the size of a consumer's array).
constexpr uint32_t kMaxFetchEvents = 150;

// Logical button ids.
namespace button {
constexpr uint32_t kGreen = 1;
constexpr uint32_t kRed = 2;
constexpr uint32_t kYellow = 3;
constexpr uint32_t kBlue = 4;
constexpr uint32_t kOrange = 5;
constexpr uint32_t kYellowTom = 7;
constexpr uint32_t kBlueTom = 8;
constexpr uint32_t kGreenTom = 9;
constexpr uint32_t kBass = 10;
constexpr uint32_t kBass2 = 11;
constexpr uint32_t kStrumUp = 12;
constexpr uint32_t kStrumDown = 13;
constexpr uint32_t kUp = 14;
constexpr uint32_t kDown = 15;
constexpr uint32_t kLeft = 16;
constexpr uint32_t kRight = 17;
constexpr uint32_t kStart = 18;
constexpr uint32_t kBack = 19;
constexpr uint32_t kSlider = 20;
constexpr uint32_t kWhammy = 21;
constexpr uint32_t kXGyro = 22;
constexpr uint32_t kYGyro = 23;  // tilt
constexpr uint32_t kYellowC = 24;
constexpr uint32_t kYellowO = 25;
constexpr uint32_t kYellowP = 26;
constexpr uint32_t kYellowS = 27;
constexpr uint32_t kRim = 28;
// Real guitar: string n (1-6) velocity is kStringVelocity1 + n - 1, fret kStringFret1 + n - 1.
constexpr uint32_t kStringVelocity1 = 35;
constexpr uint32_t kStringFret1 = 41;
// Keys 1-25 (XInput keys; MIDI notes 48-72 land here as 100 + note).
constexpr uint32_t kKey1 = 148;
constexpr uint32_t kKey25 = 172;
// MIDI note messages of note-type profiles give id kMidiNoteBase + note number.
constexpr uint32_t kMidiNoteBase = 100;
}  // namespace button

// Value of a digital press; its release gives 0.
constexpr int32_t kDigitalPressValue = 128;

// Appends events to a consumer's fixed array without ever passing its end. Every
// producer of one fetch (queue drain, button maps, emulated pad, MIDI, repeats) writes
// through the same sink; what does not fit is counted in `dropped`.
struct EventSink {
  EventSink(InputEvent* events, int32_t* count, int32_t capacity = static_cast<int32_t>(kMaxFetchEvents))
      : events_(events), count_(count), capacity_(capacity) {}

  bool Full() const { return *count_ >= capacity_; }
  int32_t Room() const { return capacity_ > *count_ ? capacity_ - *count_ : 0; }
  // A zeroed event at the end of the array, or null (and one more dropped) when full.
  InputEvent* Append() {
    if (Full()) {
      ++dropped;
      return nullptr;
    }
    InputEvent* e = &events_[(*count_)++];
    *e = InputEvent();
    return e;
  }
  // Appends one event with the usual fields; false when it was dropped.
  bool Add(uint32_t id, bool pressed, int32_t value, int32_t range, int32_t rest, uint32_t deliveryMs) {
    InputEvent* e = Append();
    if (!e) return false;
    e->id = id;
    e->pressed = pressed;
    e->value = value;
    e->range = range;
    e->rest = rest;
    e->deliveryMs = deliveryMs;
    return true;
  }
  int32_t Count() const { return *count_; }
  InputEvent* Events() const { return events_; }

  uint32_t dropped = 0;

 private:
  InputEvent* events_;
  int32_t* count_;
  int32_t capacity_;
};
