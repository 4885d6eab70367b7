#include "devices/input/xpad.h"

#include "platform/input/input_backend.h"

using namespace platform::input;

XPad::~XPad() {
  while (head_) {
    InputEvent* next = head_->next;
    delete head_;
    head_ = next;
  }
}

bool XPad::Push(uint32_t id, uint32_t value, uint32_t deliveryMs) {
  if (queued_ >= kQueueBound) {
    ++dropped_;
    return false;
  }
  InputEvent* e = new InputEvent();
  e->id = id;
  e->value = static_cast<int32_t>(value);
  e->pressed = value != 0;
  e->deliveryMs = deliveryMs;
  const uint32_t k = kind.load(std::memory_order_relaxed);
  if (k == 1 && (id == button::kWhammy || id == button::kYGyro)) {
    // The signed stick value becomes 0..65535.
    e->value = static_cast<int32_t>(value + 32768u);
    e->range = 65535;
    e->rest = 0;
  } else if (k == 4 && id == button::kYGyro) {
    e->range = 128;
    e->rest = 0;
  }
  if (tail_) tail_->next = e;
  else head_ = e;
  tail_ = e;
  ++queued_;
  return true;
}

bool XPad::Drain(InputEvent* out, uint32_t* count) {
  uint32_t n = 0;
  while (head_ && n < kMaxFetchEvents) {
    InputEvent* e = head_;
    head_ = e->next;
    out[n] = *e;
    out[n].next = nullptr;  // the link means nothing outside the queue
    delete e;
    ++n;
  }
  if (!head_) tail_ = nullptr;
  queued_ -= static_cast<int>(n);
  *count = n;
  return true;
}

bool XPad::Drain(EventSink& sink) {
  while (head_ && !sink.Full()) {
    InputEvent* e = head_;
    head_ = e->next;
    InputEvent* out = sink.Append();
    *out = *e;
    out->next = nullptr;
    delete e;
    --queued_;
  }
  if (!head_) tail_ = nullptr;
  return true;
}

void XPad::Commit() {
  previous = current;
  previousGuitar = guitar;
  for (int i = 0; i < 26; ++i) previousKeys[i] = keys[i];
}

void XPad::Translate() {
  switch (kind.load(std::memory_order_relaxed)) {
    case 0: TranslateDrums(); break;
    case 1: TranslateGuitar(); break;
    case 2: TranslatePad(); break;
    case 4: TranslateKeys(); break;
    case 6: TranslateRealGuitar(); break;
    default: break;
  }
}

void XPad::PadButtons() {
  if (current.buttons == previous.buttons) return;
  // The drum kit reports its cymbals as d-pad up/down together with the right shoulder.
  const bool shoulder = Changed(kXRightShoulder);
  if (Changed(kXDpadUp) && !shoulder) P(button::kUp, Digital(kXDpadUp));
  if (Changed(kXDpadDown) && !shoulder) P(button::kDown, Digital(kXDpadDown));
  if (Changed(kXDpadLeft)) P(button::kLeft, Digital(kXDpadLeft));
  if (Changed(kXDpadRight)) P(button::kRight, Digital(kXDpadRight));
  if (Changed(kXStart)) P(button::kStart, Digital(kXStart));
  if (Changed(kXBack)) P(button::kBack, Digital(kXBack));
}

void XPad::FaceButtons() {
  if (current.buttons == previous.buttons) return;
  if (Changed(kXA)) P(button::kGreen, Digital(kXA));
  if (Changed(kXB)) P(button::kRed, Digital(kXB));
  if (Changed(kXX)) P(button::kBlue, Digital(kXX));
  if (Changed(kXY)) P(button::kYellow, Digital(kXY));
}

void XPad::TranslatePad() {
  PadButtons();
  FaceButtons();
  if (current.buttons == previous.buttons) return;
  if (Changed(kXLeftShoulder)) P(button::kBass, Digital(kXLeftShoulder));
  if (Changed(kXRightShoulder)) P(button::kOrange, Digital(kXRightShoulder));
}

void XPad::TranslateGuitar() {
  PadButtons();
  FaceButtons();
  if (Changed(kXLeftShoulder)) P(button::kOrange, Digital(kXLeftShoulder));
  auto raw = [](int16_t v) { return static_cast<uint32_t>(static_cast<int32_t>(v)); };
  if (current.rightY != previous.rightY) P(button::kYGyro, raw(current.rightY));
  if (current.rightX != previous.rightX) P(button::kWhammy, raw(current.rightX));
  if (current.leftX != previous.leftX) P(button::kSlider, raw(current.leftX));
}

namespace {
// s is 0..65536; the velocity is worked out in single precision.
uint32_t Velocity(int32_t s) {
  float v = static_cast<float>(s) * (1.0f / 32768.0f);
  if (v < 0.15f) v = 0.15f;
  return static_cast<uint32_t>(v * 1.3f * 128.0f);
}
}  // namespace

void XPad::TranslateDrums() {
  PadButtons();
  if (current.buttons == previous.buttons) return;
  const uint16_t b = current.buttons;
  const bool cymbal = (b & kXRightShoulder) != 0;
  const bool pad = (b & kXRightThumb) != 0;
  const bool up = (b & kXDpadUp) != 0;
  const bool down = (b & kXDpadDown) != 0;
  auto vel = [&](uint16_t bit, int32_t s) { return (b & bit) ? Velocity(s) : 0u; };

  if (Changed(kXLeftShoulder)) P(button::kBass, Digital(kXLeftShoulder));
  if (Changed(kXLeftThumb)) P(button::kBass2, Digital(kXLeftThumb));
  if (Changed(kXA)) {
    const int32_t s = current.rightY + 32768;
    if (cymbal && !(pad && (up || down))) P(button::kGreen, vel(kXA, s));
    else if (pad) P(button::kGreenTom, vel(kXA, s));
    else P(button::kGreen, Digital(kXA));
  }
  if (Changed(kXB)) {
    const int32_t s = 32768 - current.leftX;
    if (pad) P(button::kRed, vel(kXB, s));
    else P(button::kRed, Digital(kXB));
  }
  if (Changed(kXX)) {
    const int32_t s = 32768 - current.rightX;
    if (cymbal && down) P(button::kBlue, vel(kXX, s));
    else if (pad) P(button::kBlueTom, vel(kXX, s));
    else P(button::kBlue, Digital(kXX));
  }
  if (Changed(kXY)) {
    const int32_t s = current.leftY + 32768;
    if (cymbal && up) P(button::kYellow, vel(kXY, s));
    else if (pad) P(button::kYellowTom, vel(kXY, s));
    else P(button::kYellow, Digital(kXY));
  }
  if (Changed(kXRightShoulder) && (b & kXLeftThumb)) P(button::kOrange, Digital(kXRightShoulder));
}

void XPad::TranslateKeys() {
  PadButtons();
  FaceButtons();
  const uint16_t lx = static_cast<uint16_t>(current.leftX);
  const uint8_t lxLow = lx & 0xFF;
  const uint8_t lxHigh = lx >> 8;
  const uint8_t ryLow = static_cast<uint16_t>(current.rightY) & 0xFF;
  for (int k = 0; k < 8; ++k) {
    keys[k] = current.leftTrigger & (0x80 >> k);
    keys[8 + k] = current.rightTrigger & (0x80 >> k);
    keys[16 + k] = lxLow & (0x80 >> k);
  }
  keys[24] = lxHigh & 0x80;
  keys[25] = ryLow & 0x80;
  for (int k = 0; k < 25; ++k)
    if (keys[k] != previousKeys[k]) P(button::kKey1 + static_cast<uint32_t>(k), keys[k] ? 128u : 0u);
  if (keys[25] != previousKeys[25]) P(button::kYGyro, keys[25] ? 128u : 0u);
}

void XPad::TranslateRealGuitar() {
  if (current.buttons == 0 && current.leftTrigger == 0 && current.rightTrigger == 0 && current.leftX == 0 &&
      current.leftY == 0 && current.rightX == 0 && current.rightY == 0) {
    // An all-zero report carries nothing: keep the last one.
    const uint32_t packet = current.packet;
    current = previous;
    current.packet = packet;
    guitar = previousGuitar;
    return;
  }
  PadButtons();
  FaceButtons();
  const uint8_t lt = current.leftTrigger, rt = current.rightTrigger;
  const uint16_t lx = static_cast<uint16_t>(current.leftX), ly = static_cast<uint16_t>(current.leftY);
  const uint16_t rx = static_cast<uint16_t>(current.rightX), ry = static_cast<uint16_t>(current.rightY);
  const uint8_t lxl = lx & 0xFF, lxh = lx >> 8, lyl = ly & 0xFF, lyh = ly >> 8;
  const uint8_t rxl = rx & 0xFF, rxh = rx >> 8, ryl = ry & 0xFF, ryh = ry >> 8;
  RealGuitarState& g = guitar;
  g.fret[0] = lt & 31;
  g.fret[1] = (lt >> 5) + (rt & 3) * 8;
  g.fret[2] = rt >> 2;
  g.fret[3] = lxl & 31;
  g.fret[4] = (lxl >> 5) + (lxh & 3) * 8;
  g.fret[5] = (lxh >> 2) & 31;
  g.velocity[0] = lyl & 127;
  g.velocity[1] = lyh & 127;
  g.velocity[2] = rxl & 127;
  g.velocity[3] = rxh & 127;
  g.velocity[4] = ryl & 127;
  g.velocity[5] = ryh & 127;
  g.green = lyl & 128;
  g.red = lyh & 128;
  g.yellow = rxl & 128;
  g.blue = rxh & 128;
  g.orange = ryl & 128;
  const RealGuitarState& o = previousGuitar;
  if (g.green != o.green) P(button::kGreen, g.green);
  if (g.red != o.red) P(button::kRed, g.red);
  if (g.yellow != o.yellow) P(button::kYellow, g.yellow);
  if (g.blue != o.blue) P(button::kBlue, g.blue);
  if (g.orange != o.orange) P(button::kOrange, g.orange);
  for (int s = 0; s < 6; ++s)
    if (g.fret[s] != o.fret[s]) P(button::kStringFret1 + static_cast<uint32_t>(s), g.fret[s]);
  for (int s = 0; s < 6; ++s)
    if (g.velocity[s] != o.velocity[s]) P(button::kStringVelocity1 + static_cast<uint32_t>(s), g.velocity[s]);
}
