#include "platform/hid_transport.h"

#include <algorithm>
#include <chrono>

namespace qv3 {
namespace {

constexpr uint32_t kButtonPage = 0x09;

uint32_t ItemData(const uint8_t* p, int size) {
  uint32_t v = 0;
  for (int i = 0; i < size; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

int32_t SignedItemData(const uint8_t* p, int size) {
  const uint32_t v = ItemData(p, size);
  if (size == 1) return static_cast<int8_t>(v);
  if (size == 2) return static_cast<int16_t>(v);
  return static_cast<int32_t>(v);
}

uint32_t Bits(const uint8_t* data, uint32_t pos, uint32_t count) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < count && i < 32; ++i) {
    const uint32_t bit = pos + i;
    v |= static_cast<uint32_t>((data[bit / 8] >> (bit % 8)) & 1u) << i;
  }
  return v;
}

void Mark(uint32_t usage, std::array<bool, kHidMaxButtonUsage + 1>* pressed) {
  if (usage >= 1 && usage <= static_cast<uint32_t>(kHidMaxButtonUsage)) (*pressed)[usage] = true;
}

}  // namespace

bool ParseHidButtonLayout(const uint8_t* descriptor, size_t size, HidButtonLayout* layout) {
  *layout = HidButtonLayout{};
  struct Globals {
    uint32_t usage_page = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    uint32_t report_size = 0;
    uint32_t report_count = 0;
    uint8_t report_id = 0;
  } g;
  std::vector<Globals> stack;
  std::vector<uint32_t> usages;  // (page << 16) | usage
  uint32_t usage_min = 0, usage_max = 0;
  bool have_range = false;
  std::map<uint8_t, uint64_t> offsets;
  uint32_t max_usage = 0;

  size_t i = 0;
  while (i < size) {
    const uint8_t prefix = descriptor[i];
    if (prefix == 0xFE) {  // long item: skipped
      if (i + 2 >= size) return false;
      i += 3 + descriptor[i + 1];
      continue;
    }
    const int data_size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (i + 1 + data_size > size) return false;
    const uint8_t* data = descriptor + i + 1;
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;
    const uint32_t value = ItemData(data, data_size);
    i += 1 + data_size;

    if (type == 1) {  // global
      switch (tag) {
        case 0: g.usage_page = value; break;
        case 1: g.logical_min = SignedItemData(data, data_size); break;
        case 2: g.logical_max = SignedItemData(data, data_size); break;
        case 7: g.report_size = value; break;
        case 8:
          g.report_id = static_cast<uint8_t>(value);
          layout->numbered_reports = true;
          break;
        case 9: g.report_count = value; break;
        case 10: stack.push_back(g); break;
        case 11:
          if (stack.empty()) return false;
          g = stack.back();
          stack.pop_back();
          break;
        default: break;
      }
      continue;
    }
    if (type == 2) {  // local
      const uint32_t full = data_size == 4 ? value : ((g.usage_page << 16) | value);
      if (tag == 0) usages.push_back(full);
      if (tag == 1) usage_min = full, have_range = true;
      if (tag == 2) usage_max = full, have_range = true;
      continue;
    }
    if (type != 0) continue;  // reserved
    if (tag == 8) {           // Input
      uint64_t& offset = offsets[g.report_id];
      const uint64_t bits = static_cast<uint64_t>(g.report_size) * g.report_count;
      const bool constant = value & 1;
      const uint32_t page = !usages.empty() ? usages.front() >> 16 : have_range ? usage_min >> 16 : g.usage_page;
      if (!constant && page == kButtonPage && g.report_size >= 1 && g.report_size <= 32 && g.report_count > 0 &&
          offset + bits < (1u << 20)) {
        HidButtonField f;
        f.report_id = g.report_id;
        f.bit_offset = static_cast<uint32_t>(offset);
        f.bit_size = g.report_size;
        f.count = std::min<uint32_t>(g.report_count, 4096);
        f.variable = (value & 2) != 0;
        for (uint32_t u : usages) f.usages.push_back(u & 0xFFFF);
        f.usage_min = usage_min & 0xFFFF;
        f.usage_max = usage_max & 0xFFFF;
        f.logical_min = g.logical_min;
        f.logical_max = g.logical_max;
        uint32_t top = 0;
        if (!f.usages.empty()) {
          top = *std::max_element(f.usages.begin(), f.usages.end());
        } else if (f.variable) {
          top = std::min<uint32_t>(f.usage_max, f.usage_min + f.count - 1);
        } else {
          top = f.usage_max;
        }
        max_usage = std::max(max_usage, top);
        layout->fields.push_back(std::move(f));
      }
      offset += bits;
    }
    usages.clear();
    usage_min = usage_max = 0;
    have_range = false;
  }
  layout->usage_list_length = static_cast<int>(std::min<uint32_t>(max_usage, kHidMaxButtonUsage));
  return !layout->fields.empty();
}

bool UnpackHidButtons(const HidButtonLayout& layout, const uint8_t* report, size_t size,
                      std::array<bool, kHidMaxButtonUsage + 1>* pressed) {
  pressed->fill(false);
  uint8_t id = 0;
  if (layout.numbered_reports) {
    if (size == 0) return false;
    id = report[0];
    ++report;
    --size;
  }
  const uint64_t have_bits = static_cast<uint64_t>(size) * 8;
  bool found = false;
  for (const HidButtonField& f : layout.fields) {
    if (f.report_id != id) continue;
    if (f.bit_offset + static_cast<uint64_t>(f.bit_size) * f.count > have_bits) continue;
    found = true;
    for (uint32_t k = 0; k < f.count; ++k) {
      const uint32_t v = Bits(report, f.bit_offset + k * f.bit_size, f.bit_size);
      if (f.variable) {
        if (v == 0) continue;
        uint32_t usage = 0;
        if (!f.usages.empty()) usage = k < f.usages.size() ? f.usages[k] : f.usages.back();
        else if (f.usage_min + k <= f.usage_max) usage = f.usage_min + k;
        Mark(usage, pressed);
      } else {
        const int64_t index = static_cast<int64_t>(v) - f.logical_min;
        if (static_cast<int64_t>(v) < f.logical_min || static_cast<int64_t>(v) > f.logical_max) continue;
        uint32_t usage = 0;
        if (!f.usages.empty()) {
          if (index < static_cast<int64_t>(f.usages.size())) usage = f.usages[static_cast<size_t>(index)];
        } else if (f.usage_min + index <= f.usage_max) {
          usage = static_cast<uint32_t>(f.usage_min + index);
        }
        Mark(usage, pressed);
      }
    }
  }
  return found;
}

// ---- FakeHidTransport ----

class FakeHidTransport::Device : public HidDevice {
 public:
  Device(FakeHidTransport* owner, std::string path) : owner_(owner), path_(std::move(path)) {}
  ~Device() override {
    std::lock_guard lock(owner_->mu_);
    --owner_->devices_[path_].handles;
  }
  int Read(uint8_t* buffer, size_t size, int timeout_ms) override {
    std::unique_lock lock(owner_->mu_);
    Entry& e = owner_->devices_[path_];
    owner_->cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [&] { return !e.present || !e.reports.empty(); });
    if (!e.present) return -1;
    if (e.reports.empty()) return 0;
    std::vector<uint8_t> r = std::move(e.reports.front());
    e.reports.pop_front();
    const size_t n = std::min(size, r.size());
    std::copy_n(r.begin(), n, buffer);
    return static_cast<int>(n);
  }
  std::vector<uint8_t> ReportDescriptor() override {
    std::lock_guard lock(owner_->mu_);
    return owner_->devices_[path_].descriptor;
  }

 private:
  FakeHidTransport* owner_;
  std::string path_;
};

class FakeHidTransport::Monitor : public HidHotplugMonitor {
 public:
  explicit Monitor(FakeHidTransport* owner) : owner_(owner) {}
  ~Monitor() override {
    std::lock_guard lock(owner_->mu_);
    owner_->monitor_alive_ = false;
  }
  HidHotplugEvent Wait(int timeout_ms) override {
    std::unique_lock lock(owner_->mu_);
    owner_->cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !owner_->events_.empty(); });
    if (owner_->events_.empty()) return HidHotplugEvent::kNone;
    const HidHotplugEvent ev = owner_->events_.front();
    owner_->events_.pop_front();
    return ev;
  }

 private:
  FakeHidTransport* owner_;
};

FakeHidTransport::~FakeHidTransport() = default;

void FakeHidTransport::AddDevice(const HidDeviceInfo& info, std::vector<uint8_t> descriptor) {
  std::lock_guard lock(mu_);
  Entry& e = devices_[info.path];
  e.info = info;
  e.descriptor = std::move(descriptor);
  e.present = true;
  e.reports.clear();
  order_.erase(std::remove(order_.begin(), order_.end(), info.path), order_.end());
  order_.push_back(info.path);
  cv_.notify_all();
}

void FakeHidTransport::RemoveDevice(const std::string& path) {
  std::lock_guard lock(mu_);
  devices_[path].present = false;
  order_.erase(std::remove(order_.begin(), order_.end(), path), order_.end());
  cv_.notify_all();
}

void FakeHidTransport::FeedReport(const std::string& path, std::vector<uint8_t> report) {
  std::lock_guard lock(mu_);
  devices_[path].reports.push_back(std::move(report));
  cv_.notify_all();
}

void FakeHidTransport::FailOpens(const std::string& path, int count) {
  std::lock_guard lock(mu_);
  devices_[path].fail_opens = count;
}

void FakeHidTransport::PushHotplug(HidHotplugEvent event) {
  std::lock_guard lock(mu_);
  events_.push_back(event);
  cv_.notify_all();
}

int FakeHidTransport::opens(const std::string& path) {
  std::lock_guard lock(mu_);
  return devices_[path].opens;
}

int FakeHidTransport::open_handles(const std::string& path) {
  std::lock_guard lock(mu_);
  return devices_[path].handles;
}

bool FakeHidTransport::monitor_alive() {
  std::lock_guard lock(mu_);
  return monitor_alive_;
}

std::vector<HidDeviceInfo> FakeHidTransport::Enumerate() {
  std::lock_guard lock(mu_);
  std::vector<HidDeviceInfo> out;
  for (const auto& path : order_) out.push_back(devices_[path].info);
  return out;
}

std::unique_ptr<HidDevice> FakeHidTransport::Open(const std::string& path) {
  std::lock_guard lock(mu_);
  auto it = devices_.find(path);
  if (it == devices_.end() || !it->second.present) return nullptr;
  if (it->second.fail_opens > 0) {
    --it->second.fail_opens;
    return nullptr;
  }
  ++it->second.opens;
  ++it->second.handles;
  return std::make_unique<Device>(this, path);
}

std::unique_ptr<HidHotplugMonitor> FakeHidTransport::MonitorHotplug() {
  std::lock_guard lock(mu_);
  monitor_alive_ = true;
  return std::make_unique<Monitor>(this);
}

}  // namespace qv3
