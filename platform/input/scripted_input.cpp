#include "platform/input/scripted_input.h"

namespace platform::input {

void ScriptedInputBackend::AttachKeyboard() {
  DeviceInfo k;
  k.instanceId = "keyboard";
  k.productId = 0;
  k.type = kTypeKeyboard;
  k.productName = "Keyboard";
  AttachDevice(k);
}

void ScriptedInputBackend::AttachJoystick(const std::string& instanceId, uint16_t vid, uint16_t pid,
                                          const std::string& name, uint8_t type) {
  DeviceInfo d;
  d.instanceId = instanceId;
  d.productId = static_cast<uint32_t>(vid) | static_cast<uint32_t>(pid) << 16;
  d.type = type;
  d.productName = name;
  AttachDevice(d);
}

bool ScriptedInputBackend::Record(const std::string& instanceId, uint32_t ofs, uint32_t data, uint32_t timeMs,
                                  uint32_t sequence) {
  ApplyToState(instanceId, ofs, data);
  return AddRecord(instanceId, DiRecord{ofs, data, timeMs, sequence});
}

void ScriptedInputBackend::FailCreate(const std::string& instanceId, bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Device* d = Find(instanceId)) d->failCreate = fail;
}

void ScriptedInputBackend::FailAcquire(const std::string& instanceId, bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Device* d = Find(instanceId)) d->failAcquire = fail;
}

void ScriptedInputBackend::SetStateResult(uint32_t user, uint32_t code) {
  if (user >= 4) return;
  std::lock_guard<std::mutex> lock(mutex_);
  stateResult_[user] = code;
}

bool ScriptedInputBackend::Enabled() {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

}  // namespace platform::input
