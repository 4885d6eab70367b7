// The scripted input back end: tests attach and detach devices, queue DirectInput
// records and XInput reports with chosen delivery times, and switch failures on.
#pragma once

#include "platform/input/device_store.h"

namespace platform::input {

class ScriptedInputBackend : public DeviceStore {
 public:
  // A keyboard device ("keyboard", product id 0, name "Keyboard").
  void AttachKeyboard();
  void AttachJoystick(const std::string& instanceId, uint16_t vid, uint16_t pid, const std::string& name,
                      uint8_t type = kTypeGamepad);
  // Queues a record and applies it to the state snapshot; false when dropped.
  bool Record(const std::string& instanceId, uint32_t ofs, uint32_t data, uint32_t timeMs, uint32_t sequence);
  void Key(uint32_t dik, bool down, uint32_t timeMs) { Record("keyboard", dik, down ? 0x80u : 0u, timeMs, ++keySeq_); }

  void FailCreate(const std::string& instanceId, bool fail);
  void FailAcquire(const std::string& instanceId, bool fail);
  // XInputGetState answers `code` for that pad (0 restores normal behaviour).
  void SetStateResult(uint32_t user, uint32_t code);

  bool Enabled();

 private:
  uint32_t keySeq_ = 0;
};

}  // namespace platform::input
