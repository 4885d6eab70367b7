// The input layer under the controller manager. It offers the views the game
// reads controllers through:
//  - the DirectInput view of every attached joystick and of the one system keyboard:
//    buffered records (object offset, data, delivery time, sequence) and a joystick
//    state snapshot, with the DirectInput data conventions (axes 0..65535, POV in
//    hundredths of a degree with centre 0xFFFFFFFF, buttons 0x80 or 0, keyboard
//    offsets are DirectInput key codes);
//  - the XInput view of up to four game controllers: whole reports with a packet
//    number, every intermediate report delivered in order;
//  - the raw HID reports of a DirectInput-view device (real-guitar controllers);
//  - hot-plug notification.
// Vendor and product ids take the place of the WMI device ids. Two back ends: SDL2
// (sdl_input.h) and a scripted one that tests feed (scripted_input.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::input {

// DirectInput device types (low byte of the device type).
constexpr uint8_t kTypeKeyboard = 0x13;
constexpr uint8_t kTypeGamepad = 0x14;
constexpr uint8_t kTypeJoystick = 0x15;

// Joystick data offsets of the DirectInput view.
constexpr uint32_t kOfsX = 0, kOfsY = 4, kOfsZ = 8, kOfsRx = 12, kOfsRy = 16, kOfsRz = 20;
constexpr uint32_t kOfsSlider0 = 24, kOfsSlider1 = 28;
constexpr uint32_t kOfsPov0 = 32;  // POV n at 32 + 4n, n < 4
constexpr uint32_t kOfsButton0 = 48;  // button n at 48 + n, n < 128
constexpr uint32_t kPovCentre = 0xFFFFFFFFu;
constexpr uint32_t kBufferSize = 150;  // records a device buffers between reads
constexpr size_t kMaxRawReport = 64;    // bytes of one raw report kept
constexpr size_t kRawReportQueue = 64;  // raw reports a device keeps between reads

// Read results.
constexpr int kOk = 0;
constexpr int kBufferOverflow = 1;   // success; records arrived after the buffer was full and were dropped
constexpr int kInputLost = -1;       // the device is gone
constexpr int kNotAcquired = -2;

// XInput results.
constexpr uint32_t kXOk = 0;
constexpr uint32_t kXNotConnected = 1167;

struct DeviceInfo {
  std::string instanceId;  // stable across rescans and replugs of the same device
  uint32_t productId = 0;  // VID | PID << 16
  uint8_t type = kTypeGamepad;
  std::string productName;  // UTF-8
};

struct DiRecord {
  uint32_t ofs = 0;
  uint32_t data = 0;
  uint32_t timeMs = 0;    // platform::TimeGetTime() when the device delivered it
  uint32_t sequence = 0;  // equal for changes of one device report
};

// The DIJOYSTATE2 fields the game reads.
struct JoyState {
  int32_t lX = 32767, lY = 32767, lZ = 32767, lRx = 32767, lRy = 32767, lRz = 32767;
  int32_t slider[2] = {32767, 32767};
  uint32_t pov[4] = {kPovCentre, kPovCentre, kPovCentre, kPovCentre};
  uint8_t buttons[128] = {};
};

// The XInput gamepad report.
struct XReport {
  uint32_t packet = 0;
  uint16_t buttons = 0;
  uint8_t leftTrigger = 0;
  uint8_t rightTrigger = 0;
  int16_t leftX = 0, leftY = 0, rightX = 0, rightY = 0;
  uint32_t timeMs = 0;  // delivery time of this report (platform::TimeGetTime)
  // Buttons of newer pads that have no bit among the sixteen (kXPaddle1...).
  uint8_t extraButtons = 0;
};

// XInput button bits.
constexpr uint16_t kXDpadUp = 0x0001, kXDpadDown = 0x0002, kXDpadLeft = 0x0004, kXDpadRight = 0x0008;
constexpr uint16_t kXStart = 0x0010, kXBack = 0x0020, kXLeftThumb = 0x0040, kXRightThumb = 0x0080;
constexpr uint16_t kXLeftShoulder = 0x0100, kXRightShoulder = 0x0200;
constexpr uint16_t kXA = 0x1000, kXB = 0x2000, kXX = 0x4000, kXY = 0x8000;
// The two free bits: the guide button (as the extended XInput report has it) and the
// one extra button of newer pads (share, capture, microphone).
constexpr uint16_t kXGuide = 0x0400, kXMisc = 0x0800;
// XReport::extraButtons bits.
constexpr uint8_t kXPaddle1 = 0x01, kXPaddle2 = 0x02, kXPaddle3 = 0x04, kXPaddle4 = 0x08, kXTouchpad = 0x10;

// One opened device of the DirectInput view. Reads of a device that was unplugged
// report kInputLost.
class DiDevice {
 public:
  virtual ~DiDevice() = default;
  virtual int Acquire() = 0;
  virtual int Poll() = 0;
  // Moves up to `max` buffered records, oldest first, into out.
  virtual int GetDeviceData(DiRecord* out, uint32_t max, uint32_t* count) = 0;
  virtual int GetState(JoyState* state) = 0;
  virtual const DeviceInfo& Info() const = 0;
};

class InputBackend {
 public:
  virtual ~InputBackend() = default;
  // Attached devices of the DirectInput view, keyboard included, in a stable order.
  virtual std::vector<DeviceInfo> EnumerateDevices() = 0;
  // Null when the device is not attached or cannot be opened.
  virtual std::unique_ptr<DiDevice> CreateDevice(const std::string& instanceId) = 0;

  // XInput view, user index 0..3. GetState may be called from another thread than
  // the one that delivers the reports.
  virtual uint32_t XInputGetState(uint32_t user, XReport* report) = 0;
  // The newest report known for the pad without taking any report from its queue
  // (device scans and identification must not steal reports from the poll).
  virtual uint32_t XInputPeekState(uint32_t user, XReport* report) = 0;
  virtual uint32_t XInputGetCapabilities(uint32_t user, uint8_t* subtype) = 0;
  virtual void XInputEnable(bool on) = 0;
  // VID | PID << 16 of every device the XInput view serves.
  virtual std::vector<uint32_t> XInputIdList() = 0;

  // True once after devices were attached or removed.
  virtual bool TakeDeviceChange() = 0;

  // The raw input reports of a DirectInput-view device as its HID interface sends
  // them: real-guitar controllers carry their strings and frets in vendor reports
  // the joystick view does not decode. Moves the oldest waiting report into `out`
  // (at most kMaxRawReport bytes); false when none waits or the device gives none.
  virtual bool ReadRawReport(const std::string& instanceId, std::vector<uint8_t>* out) = 0;
};

}  // namespace platform::input
