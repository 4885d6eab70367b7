// Controller descriptions read from "settings/device_list.ini" (DirectInput
// controllers, matched by vendor id, product id and product name) and
// "settings/keyboard_keys.ini" (the keyboard layout), and the display names of
// keyboard codes. The MIDI profiles are read by devices/midi/midi_profiles.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "devices/midi/button_map.h"

// The kind of controller a device is, as the device list's TYPE stores it.
enum class ControllerType : int32_t {
  kDrums = 0,
  kGuitar = 1,
  kGamepad = 2,
  kKeyboard = 3,
  kKeys = 4,
  kRealDrums = 5,
  kRealGuitar = 6,
  kDancePad = 7,
};

// The same numbers where the device records keep them as plain integers.
namespace kind {
constexpr int32_t kDrums = 0, kGuitar = 1, kGamepad = 2, kKeyboard = 3, kKeys = 4, kRealDrums = 5;
constexpr int32_t kRealGuitar = 6, kDancePad = 7;
}  // namespace kind

struct DeviceDesc {
  static constexpr size_t kNameMax = 279;

  int32_t kind = kind::kKeyboard;
  int32_t kindCopy = kind::kKeyboard;
  int32_t method = 0;
  std::string name = "Unknown Controller";
  std::string friendlyName = "Unknown Controller";
  ButtonMap buttons;
  int32_t magicButton = -1;
  int32_t magicData = -1;
  int32_t vid = -1;  // not touched by Reset
  int32_t pid = -1;
  int32_t tiltThreshold = -1;
  int32_t rotXCentre = -1;
  int32_t drumLanes = 4;

  void Reset();
};

constexpr const char* kDeviceListPath = "settings/device_list.ini";
constexpr const char* kKeyboardKeysPath = "settings/keyboard_keys.ini";
constexpr int kMaxDeviceMatches = 40;

// Fills out[0..] with the blocks whose VID, PID and NAME equal the device's; true and
// count = matches when there is at least one (at most `max` are kept), else false
// with count untouched (a missing file included).
bool ReadDeviceList(DeviceDesc* out, int32_t* count, int32_t vid, int32_t pid, std::string_view productName,
                    int max = kMaxDeviceMatches);
bool ParseDeviceList(std::string_view text, DeviceDesc* out, int32_t* count, int32_t vid, int32_t pid,
                     std::string_view productName, int max = kMaxDeviceMatches);

// Overwrites desc with the layout block whose CONFIG is 0; without one (or without
// the file) desc is unchanged. Always true.
bool ReadKeyboardKeys(DeviceDesc& desc);
bool ParseKeyboardKeys(std::string_view text, DeviceDesc& desc);

namespace KeyNames {
// The display name of a DirectInput keyboard code ("Unknown:" and the number when it
// has none).
std::u16string Name(uint32_t code);
}  // namespace KeyNames
