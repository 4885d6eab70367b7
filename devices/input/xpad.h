// The XInput translation state of one controller: the current and previous gamepad
// reports, the device kind, the queue of events waiting for the next fetch and the
// decoded state of real guitars and keys. The Ctrl thread translates reports into
// queued events while it holds "Ctrl Mutex"; the main thread drains them under the
// same mutex.
#pragma once

#include <atomic>
#include <cstdint>

#include "devices/input/input_event.h"

struct XGamepadReport {
  uint32_t packet = 0;
  uint16_t buttons = 0;
  uint8_t leftTrigger = 0;
  uint8_t rightTrigger = 0;
  int16_t leftX = 0, leftY = 0, rightX = 0, rightY = 0;
};

struct RealGuitarState {
  uint32_t velocity[6] = {};
  uint32_t fret[6] = {};
  uint32_t green = 0, red = 0, yellow = 0, blue = 0, orange = 0;
  void Clear() { *this = RealGuitarState(); }
  bool operator==(const RealGuitarState&) const = default;
};

class XPad {
 public:
  // Events a queue holds at most: the head plus 151 behind it.
  static constexpr int kQueueBound = 152;

  XPad() = default;
  ~XPad();
  XPad(const XPad&) = delete;
  XPad& operator=(const XPad&) = delete;

  // Appends one event at the tail (time stamped with deliveryMs); false when the
  // queue is full (nothing appended; the loss is counted, see TakeDropped).
  bool Push(uint32_t id, uint32_t value, uint32_t deliveryMs = 0);
  // Moves up to 150 queued events, oldest first, into out (which must hold 150).
  bool Drain(InputEvent* out, uint32_t* count);
  bool Drain(EventSink& sink);
  int QueuedCount() const { return queued_; }
  // Events refused since the last call.
  uint32_t TakeDropped() {
    uint32_t d = dropped_;
    dropped_ = 0;
    return d;
  }

  // Translates the change from `previous` to `current` by kind.
  void Translate();
  void PadButtons();
  void FaceButtons();
  void TranslatePad();
  void TranslateGuitar();
  void TranslateDrums();
  void TranslateKeys();
  void TranslateRealGuitar();
  // Copies the current report and decoded state over the previous ones.
  void Commit();

  XGamepadReport current;
  XGamepadReport previous;
  // Written by identification on the main thread while the Ctrl thread translates.
  std::atomic<uint32_t> kind{0};
  RealGuitarState guitar;
  RealGuitarState previousGuitar;
  uint32_t keys[26] = {};
  uint32_t previousKeys[26] = {};
  // Delivery time of the report being translated.
  uint32_t reportMs = 0;

 private:
  bool Changed(uint16_t bit) const { return ((current.buttons ^ previous.buttons) & bit) != 0; }
  uint32_t Digital(uint16_t bit) const { return (current.buttons & bit) ? 128u : 0u; }
  bool P(uint32_t id, uint32_t value) { return Push(id, value, reportMs); }

  InputEvent* head_ = nullptr;
  InputEvent* tail_ = nullptr;
  int queued_ = 0;
  uint32_t dropped_ = 0;
};
