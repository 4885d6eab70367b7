#include "platform/input/device_store.h"

#include <algorithm>
#include <cstring>

namespace platform::input {

class StoreDevice : public DiDevice {
 public:
  StoreDevice(DeviceStore* store, DeviceInfo info) : store_(store), info_(std::move(info)) {}

  int Acquire() override {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    DeviceStore::Device* d = store_->Find(info_.instanceId);
    if (!d || !d->attached) return kInputLost;
    return d->failAcquire ? kNotAcquired : kOk;
  }
  int Poll() override {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    DeviceStore::Device* d = store_->Find(info_.instanceId);
    return d && d->attached ? kOk : kInputLost;
  }
  int GetDeviceData(DiRecord* out, uint32_t max, uint32_t* count) override {
    *count = 0;
    std::lock_guard<std::mutex> lock(store_->mutex_);
    DeviceStore::Device* d = store_->Find(info_.instanceId);
    if (!d || !d->attached) return kInputLost;
    uint32_t n = 0;
    while (n < max && !d->records.empty()) {
      out[n++] = d->records.front();
      d->records.pop_front();
    }
    *count = n;
    if (d->overflow) {
      d->overflow = false;
      return kBufferOverflow;
    }
    return kOk;
  }
  int GetState(JoyState* state) override {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    DeviceStore::Device* d = store_->Find(info_.instanceId);
    if (!d || !d->attached) return kInputLost;
    *state = d->state;
    return kOk;
  }
  const DeviceInfo& Info() const override { return info_; }

 private:
  DeviceStore* store_;
  DeviceInfo info_;
};

DeviceStore::Device* DeviceStore::Find(const std::string& instanceId) {
  for (Device& d : devices_)
    if (d.info.instanceId == instanceId) return &d;
  return nullptr;
}

std::vector<DeviceInfo> DeviceStore::EnumerateDevices() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<DeviceInfo> out;
  for (const Device& d : devices_)
    if (d.attached) out.push_back(d.info);
  return out;
}

std::unique_ptr<DiDevice> DeviceStore::CreateDevice(const std::string& instanceId) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(instanceId);
  if (!d || !d->attached || d->failCreate) return nullptr;
  // A new interface starts with an empty buffer, as a freshly created device does.
  d->records.clear();
  d->overflow = false;
  return std::make_unique<StoreDevice>(this, d->info);
}

uint32_t DeviceStore::XInputGetState(uint32_t user, XReport* report) {
  if (user >= 4) return kXNotConnected;
  std::lock_guard<std::mutex> lock(mutex_);
  Pad& p = pads_[user];
  if (stateResult_[user] != 0) return stateResult_[user];
  if (!p.attached) return kXNotConnected;
  if (!enabled_) {
    XReport neutral;
    neutral.packet = p.last.packet;
    *report = neutral;
    return kXOk;
  }
  if (!p.queue.empty()) {
    p.last = p.queue.front();
    p.queue.pop_front();
  }
  *report = p.last;
  return kXOk;
}

uint32_t DeviceStore::XInputPeekState(uint32_t user, XReport* report) {
  if (user >= 4) return kXNotConnected;
  std::lock_guard<std::mutex> lock(mutex_);
  Pad& p = pads_[user];
  if (stateResult_[user] != 0) return stateResult_[user];
  if (!p.attached) return kXNotConnected;
  if (!enabled_) {
    XReport neutral;
    neutral.packet = p.last.packet;
    *report = neutral;
  } else {
    *report = p.queue.empty() ? p.last : p.queue.back();
  }
  return kXOk;
}

uint32_t DeviceStore::XInputGetCapabilities(uint32_t user, uint8_t* subtype) {
  if (user >= 4) return kXNotConnected;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pads_[user].attached) return kXNotConnected;
  *subtype = pads_[user].subtype;
  return kXOk;
}

void DeviceStore::XInputEnable(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (enabled_ == on) return;
  enabled_ = on;
  for (Pad& p : pads_) {
    if (!on) {
      // While disabled the pads read neutral; what they send meanwhile is not kept.
      p.queue.clear();
      p.last = XReport();
      p.last.packet = ++p.packet;
    }
  }
}

std::vector<uint32_t> DeviceStore::XInputIdList() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint32_t> ids;
  for (const Pad& p : pads_)
    if (p.attached) ids.push_back(p.productId);
  return ids;
}

bool DeviceStore::TakeDeviceChange() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool c = changed_;
  changed_ = false;
  return c;
}

void DeviceStore::AttachDevice(const DeviceInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(info.instanceId);
  if (!d) {
    devices_.emplace_back();
    d = &devices_.back();
  }
  d->info = info;
  d->attached = true;
  d->records.clear();
  d->overflow = false;
  d->state = JoyState();
  changed_ = true;
}

void DeviceStore::DetachDevice(const std::string& instanceId) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(instanceId);
  if (!d || !d->attached) return;
  d->attached = false;
  d->records.clear();
  d->rawReports.clear();
  changed_ = true;
}

bool DeviceStore::AddRawReport(const std::string& instanceId, const uint8_t* bytes, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(instanceId);
  if (!d || !d->attached || (!bytes && size > 0)) return false;
  if (d->rawReports.size() >= kRawReportQueue) d->rawReports.pop_front();
  d->rawReports.emplace_back(bytes, bytes + std::min(size, kMaxRawReport));
  return true;
}

bool DeviceStore::ReadRawReport(const std::string& instanceId, std::vector<uint8_t>* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(instanceId);
  if (!out || !d || !d->attached || d->rawReports.empty()) return false;
  *out = std::move(d->rawReports.front());
  d->rawReports.pop_front();
  return true;
}

bool DeviceStore::AddRecord(const std::string& instanceId, const DiRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  Device* d = Find(instanceId);
  if (!d || !d->attached) return false;
  if (d->records.size() >= kBufferSize) {
    d->overflow = true;
    return false;
  }
  d->records.push_back(record);
  return true;
}

namespace {
void ApplyRecord(JoyState& s, uint32_t ofs, uint32_t data) {
  const int32_t v = static_cast<int32_t>(data);
  switch (ofs) {
    case kOfsX: s.lX = v; return;
    case kOfsY: s.lY = v; return;
    case kOfsZ: s.lZ = v; return;
    case kOfsRx: s.lRx = v; return;
    case kOfsRy: s.lRy = v; return;
    case kOfsRz: s.lRz = v; return;
    case kOfsSlider0: s.slider[0] = v; return;
    case kOfsSlider1: s.slider[1] = v; return;
    default: break;
  }
  if (ofs >= kOfsPov0 && ofs < kOfsPov0 + 16 && (ofs - kOfsPov0) % 4 == 0) {
    s.pov[(ofs - kOfsPov0) / 4] = data;
  } else if (ofs >= kOfsButton0 && ofs < kOfsButton0 + 128) {
    s.buttons[ofs - kOfsButton0] = static_cast<uint8_t>(data);
  }
}
}  // namespace

void DeviceStore::ApplyToState(const std::string& instanceId, uint32_t ofs, uint32_t data) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Device* d = Find(instanceId)) ApplyRecord(d->state, ofs, data);
}

void DeviceStore::SetState(const std::string& instanceId, const JoyState& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Device* d = Find(instanceId)) d->state = state;
}

void DeviceStore::AttachPad(uint32_t user, uint32_t productId, uint8_t subtype) {
  if (user >= 4) return;
  std::lock_guard<std::mutex> lock(mutex_);
  Pad& p = pads_[user];
  p.attached = true;
  p.productId = productId;
  p.subtype = subtype;
  p.queue.clear();
  p.last = XReport();
  p.last.packet = ++p.packet;
  changed_ = true;
}

void DeviceStore::DetachPad(uint32_t user) {
  if (user >= 4) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pads_[user].attached) return;
  pads_[user].attached = false;
  pads_[user].queue.clear();
  changed_ = true;
}

void DeviceStore::AddReport(uint32_t user, XReport report) {
  if (user >= 4) return;
  std::lock_guard<std::mutex> lock(mutex_);
  Pad& p = pads_[user];
  if (!p.attached || !enabled_) return;
  report.packet = ++p.packet;
  if (p.queue.size() >= kReportQueue) {
    p.queue.back() = report;
  } else {
    p.queue.push_back(report);
  }
}

bool DeviceStore::PadAttached(uint32_t user) {
  if (user >= 4) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return pads_[user].attached;
}

}  // namespace platform::input
