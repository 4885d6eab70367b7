#include "devices/input/device_files.h"

#include <string>

#include "devices/midi/tag_reader.h"

void DeviceDesc::Reset() {
  kind = kind::kKeyboard;
  kindCopy = kind::kKeyboard;
  method = 0;
  name = "Unknown Controller";
  friendlyName = "Unknown Controller";
  buttons.Reset();
  magicButton = -1;
  magicData = -1;
  tiltThreshold = -1;
  rotXCentre = -1;
  drumLanes = 4;
}

namespace {

constexpr ButtonName kListButtons[] = {
    {"GREEN", slot::kGreen},     {"RED", slot::kRed},         {"YELLOW", slot::kYellow},
    {"BLUE", slot::kBlue},       {"ORANGE", slot::kOrange},   {"BASS", slot::kBass},
    {"UP", slot::kUp},           {"DOWN", slot::kDown},       {"LEFT", slot::kLeft},
    {"RIGHT", slot::kRight},     {"STRUMUP", slot::kStrumUp}, {"STRUMDOWN", slot::kStrumDown},
    {"BACK", slot::kBack},       {"START", slot::kStart},     {"WHAMMY", slot::kWhammy},
    {"SLIDER", slot::kSlider},   {"XGYRO", slot::kXGyro},     {"YGYRO", slot::kYGyro},
    {"BASS2", slot::kBass2},     {"CYMBAL", slot::kCymbal},   {"TOM", slot::kTom},
};
constexpr int kListButtonCount = sizeof kListButtons / sizeof kListButtons[0];

constexpr ButtonName kKeyboardButtons[] = {
    {"GREEN", slot::kGreen},       {"RED", slot::kRed},         {"YELLOW", slot::kYellow},
    {"BLUE", slot::kBlue},         {"ORANGE", slot::kOrange},   {"BASS", slot::kBass},
    {"BASS_2", slot::kBass2},      {"UP", slot::kUp},           {"DOWN", slot::kDown},
    {"LEFT", slot::kLeft},         {"RIGHT", slot::kRight},     {"STRUMUP", slot::kStrumUp},
    {"STRUMDOWN", slot::kStrumDown}, {"BACK", slot::kBack},     {"START", slot::kStart},
    {"WHAMMY", slot::kWhammy},     {"SLIDER", slot::kSlider},   {"XGYRO", slot::kXGyro},
    {"YGYRO", slot::kYGyro},       {"YELLOW_2", slot::kYellowTom}, {"BLUE_2", slot::kBlueTom},
    {"GREEN_2", slot::kGreenTom},
};
constexpr int kKeyboardButtonCount = sizeof kKeyboardButtons / sizeof kKeyboardButtons[0];

std::string_view Prefix(std::string_view s, size_t n) { return s.substr(0, n < s.size() ? n : s.size()); }

}  // namespace

bool ParseDeviceList(std::string_view text, DeviceDesc* out, int32_t* count, int32_t vid, int32_t pid,
                     std::string_view productName, int max) {
  TagReader r(text);
  std::string tag;
  int matched = 0;
  DeviceDesc spare;  // filled once `max` records are taken; never handed out
  while (r.NextTag(&tag)) {
    if (!tag.empty() && tag[0] == '/') continue;
    DeviceDesc& d = matched < max ? out[matched] : spare;
    d.Reset();
    // A block that does not give VID and PID matches no device (rather than one that
    // the previous block named).
    d.vid = -1;
    d.pid = -1;
    bool closed = false;
    while (!closed && r.NextTag(&tag)) {
      if (tag == "/DEVICE") closed = true;
      else if (tag == "NAME") d.name = r.Value(DeviceDesc::kNameMax);
      else if (tag == "FNAME") d.friendlyName = r.Value(DeviceDesc::kNameMax);
      else if (tag == "VID") d.vid = ParseDeviceNumber(r.Value(64));
      else if (tag == "PID") d.pid = ParseDeviceNumber(r.Value(64));
      else if (tag == "MAGICBUTTON") d.magicButton = ParseDeviceNumber(r.Value(64));
      else if (tag == "MAGICDATA") d.magicData = ParseDeviceNumber(r.Value(64));
      else if (tag == "XROTCEN") d.rotXCentre = ParseDeviceNumber(r.Value(64));
      else if (tag == "TYPE") d.kind = d.kindCopy = ParseDeviceNumber(r.Value(64));
      else if (tag == "METHOD") d.method = ParseDeviceNumber(r.Value(64));
      else if (tag == "GYROCUTOFF") d.tiltThreshold = ParseDeviceNumber(r.Value(64));
      else if (tag == "BUTTONS") {
        while (r.NextTag(&tag) && tag != "/BUTTONS") {
          const int s = FindButton(kListButtons, kListButtonCount, tag.data(), tag.size());
          if (s < 0) continue;
          const std::vector<int32_t> n = ParseNumberList(r.Value(1024), 3);
          ButtonSlot& b = d.buttons[s];
          if (n.size() > 0) b.codes[0] = n[0];
          if (n.size() > 1) b.pressedValue = n[1];
          if (n.size() > 2) b.releasedValue = n[2];
        }
      }
    }
    if (!closed) break;  // cut off by the end of the file: dropped
    if (d.vid == vid && d.pid == pid && Prefix(d.name, 500) == Prefix(productName, 500) && matched < max) ++matched;
  }
  if (matched == 0) return false;
  *count = matched;
  return true;
}

bool ReadDeviceList(DeviceDesc* out, int32_t* count, int32_t vid, int32_t pid, std::string_view productName,
                    int max) {
  std::string text;
  if (!ReadDeviceFile(kDeviceListPath, &text)) return false;
  return ParseDeviceList(text, out, count, vid, pid, productName, max);
}

bool ParseKeyboardKeys(std::string_view text, DeviceDesc& desc) {
  TagReader r(text);
  std::string tag;
  DeviceDesc local;  // reset once: blocks that are not chosen leave their values in it
  int32_t config = -1;
  while (r.NextTag(&tag)) {
    if (!tag.empty() && tag[0] == '/') continue;
    bool closed = false;
    while (!closed && r.NextTag(&tag)) {
      if (tag == "/DEVICE") closed = true;
      else if (tag == "NAME") local.name = r.Value(DeviceDesc::kNameMax);
      else if (tag == "CONFIG") config = ParseDeviceNumber(r.Value(64));
      else if (tag == "BUTTONS") {
        while (r.NextTag(&tag) && tag != "/BUTTONS") {
          const int s = FindButton(kKeyboardButtons, kKeyboardButtonCount, tag.data(), tag.size());
          if (s < 0) continue;
          const std::vector<int32_t> n = ParseNumberList(r.Value(1024), ButtonSlot::kCodes);
          ButtonSlot& b = local.buttons[s];
          for (size_t i = 0; i < n.size(); ++i) b.codes[i] = n[i];
          b.pressedValue = 128;
          b.releasedValue = 0;
        }
      }
    }
    if (!closed) break;
    if (config == 0) {
      const int32_t vid = desc.vid, pid = desc.pid;
      desc = local;
      desc.vid = vid;
      desc.pid = pid;
      desc.kind = kind::kKeyboard;
      return true;
    }
  }
  return true;
}

bool ReadKeyboardKeys(DeviceDesc& desc) {
  std::string text;
  if (!ReadDeviceFile(kKeyboardKeysPath, &text)) return true;
  return ParseKeyboardKeys(text, desc);
}

namespace KeyNames {

std::u16string Name(uint32_t code) {
  static const char* const kNames[256] = {
      nullptr, "Esc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=", "Backspace", "Tab",
      "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", "Return", "L-Ctrl", "A", "S",
      "D", "F", "G", "H", "J", "K", "L", ";", "'", "`", "L-Shift", "\\", "Z", "X", "C", "V",
      "B", "N", "M", ",", ".", "/", "R-Shift", "N*", "L-Alt", "Space", "Caps Lock", "F1", "F2", "F3",
      "F4", "F5", "F6", "F7", "F8", "F9", "F10", "Num Lock", "Scroll Lock", "N7", "N8", "N9", "N-", "N4", "N5", "N6",
      "N+", "N1", "N2", "N3", "N0", "Del", nullptr, nullptr, "\\", "F11", "F12",
  };
  const char* name = nullptr;
  if (code < 89) name = kNames[code];
  switch (code) {
    case 156: name = "Enter"; break;
    case 157: name = "R-Ctrl"; break;
    case 181: name = "N/"; break;
    case 183: name = "SysRq"; break;
    case 184: name = "R-Alt"; break;
    case 197: name = "Pause"; break;
    case 199: name = "Home"; break;
    case 200: name = "Up Arrow"; break;
    case 201: name = "PgUp"; break;
    case 203: name = "Left Arrow"; break;
    case 205: name = "Right Arrow"; break;
    case 207: name = "End"; break;
    case 208: name = "Down Arrow"; break;
    case 209: name = "PgDn"; break;
    case 210: name = "Ins"; break;
    case 211: name = "Delete"; break;
    default: break;
  }
  std::string s = name ? std::string(name) : "Unknown:" + std::to_string(code);
  return std::u16string(s.begin(), s.end());
}

}  // namespace KeyNames
