// The device bookkeeping shared by the input back ends: the attached devices of the
// DirectInput view with their record buffers (150 records; what arrives while a
// buffer is full is dropped and the next read reports kBufferOverflow), their state
// snapshots, and the four XInput pads with their report queues. Every member is
// guarded by one mutex, so a producer thread, the main thread and the Ctrl thread may
// use it at once.
#pragma once

#include <array>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input/input_backend.h"

namespace platform::input {

class DeviceStore : public InputBackend {
 public:
  DeviceStore() = default;

  // InputBackend
  std::vector<DeviceInfo> EnumerateDevices() override;
  std::unique_ptr<DiDevice> CreateDevice(const std::string& instanceId) override;
  uint32_t XInputGetState(uint32_t user, XReport* report) override;
  uint32_t XInputPeekState(uint32_t user, XReport* report) override;
  uint32_t XInputGetCapabilities(uint32_t user, uint8_t* subtype) override;
  void XInputEnable(bool on) override;
  std::vector<uint32_t> XInputIdList() override;
  bool TakeDeviceChange() override;
  bool ReadRawReport(const std::string& instanceId, std::vector<uint8_t>* out) override;

  // Producers. A device attached again under a known instance id is the same device.
  void AttachDevice(const DeviceInfo& info);
  void DetachDevice(const std::string& instanceId);
  // False when the device is unknown, detached or its buffer is full (dropped).
  bool AddRecord(const std::string& instanceId, const DiRecord& record);
  // Applies one record's value to the device's state snapshot (what GetState reads).
  void ApplyToState(const std::string& instanceId, uint32_t ofs, uint32_t data);
  void SetState(const std::string& instanceId, const JoyState& state);

  void AttachPad(uint32_t user, uint32_t productId, uint8_t subtype);
  void DetachPad(uint32_t user);
  // Queues one report; the packet number is assigned here (one more than the last).
  // A full queue (kReportQueue) folds the report into the newest queued one, so the
  // final state is never lost.
  void AddReport(uint32_t user, XReport report);
  // Queues one raw report of a device (cut to kMaxRawReport bytes); when
  // kRawReportQueue wait already, the oldest goes. False for an unknown or
  // detached device.
  bool AddRawReport(const std::string& instanceId, const uint8_t* bytes, size_t size);
  bool PadAttached(uint32_t user);

  static constexpr size_t kReportQueue = 256;

 protected:
  struct Device {
    DeviceInfo info;
    bool attached = false;
    std::deque<DiRecord> records;
    bool overflow = false;
    JoyState state;
    bool failAcquire = false;
    bool failCreate = false;
    std::deque<std::vector<uint8_t>> rawReports;
  };
  struct Pad {
    bool attached = false;
    uint32_t productId = 0;
    uint8_t subtype = 1;
    uint32_t packet = 0;
    std::deque<XReport> queue;
    XReport last;
  };
  Device* Find(const std::string& instanceId);  // mutex held

  std::mutex mutex_;
  std::vector<Device> devices_;
  std::array<Pad, 4> pads_;
  bool enabled_ = true;
  bool changed_ = false;
  // Overrides of XInputGetState's result per pad (0 = none); the scripted back end sets them.
  std::array<uint32_t, 4> stateResult_ = {0, 0, 0, 0};

  friend class StoreDevice;
};

}  // namespace platform::input
