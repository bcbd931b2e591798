// HID access behind an interface: listing HID device interfaces, reading
// input reports with a timeout, the report descriptor, and arrival/removal
// events. hid_device.h gives the system's (hidapi hidraw + libudev);
// FakeHidTransport below plays recorded devices and reports for tests.
//
// The button layout helpers read a report descriptor's Button-page input
// fields, so raw hidraw reports become pressed usages the way the HID parser
// of other platforms reports them.
#ifndef QV3_PLATFORM_HID_TRANSPORT_H_
#define QV3_PLATFORM_HID_TRANSPORT_H_

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv3 {

struct HidDeviceInfo {
  std::string path;  // what Open takes; stable while the device stays plugged
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
};

class HidDevice {
 public:
  virtual ~HidDevice() = default;
  // Waits up to timeout_ms for one input report (with its report id byte
  // when the device numbers its reports). Returns its length, 0 when none
  // came in time, -1 when the device failed or is gone.
  virtual int Read(uint8_t* buffer, size_t size, int timeout_ms) = 0;
  // The device's report descriptor; empty when it cannot be read.
  virtual std::vector<uint8_t> ReportDescriptor() = 0;
};

enum class HidHotplugEvent { kNone, kArrived, kRemoved, kFailed };

class HidHotplugMonitor {
 public:
  virtual ~HidHotplugMonitor() = default;
  // Waits up to timeout_ms for a HID device interface to arrive or leave.
  // Used from one thread at a time.
  virtual HidHotplugEvent Wait(int timeout_ms) = 0;
};

class HidTransport {
 public:
  virtual ~HidTransport() = default;
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  // nullptr when the device cannot be opened (absent, no access rights).
  virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
  // nullptr when device events are unavailable.
  virtual std::unique_ptr<HidHotplugMonitor> MonitorHotplug() = 0;
};

// ---- Button usages of input reports ----

inline constexpr int kHidMaxButtonUsage = 99;

struct HidButtonField {
  uint8_t report_id = 0;
  uint32_t bit_offset = 0;  // from the first data byte (after the id byte)
  uint32_t bit_size = 0;
  uint32_t count = 0;
  bool variable = true;     // bitmap of usages; false: array of usage indexes
  std::vector<uint32_t> usages;  // listed usages, else usage_min .. usage_max
  uint32_t usage_min = 0;
  uint32_t usage_max = 0;
  int32_t logical_min = 0;
  int32_t logical_max = 0;
};

struct HidButtonLayout {
  bool numbered_reports = false;  // reports start with a report id byte
  std::vector<HidButtonField> fields;
  // Highest button usage the reports can carry, at most kHidMaxButtonUsage.
  int usage_list_length = 0;
};

// False when the descriptor is malformed or declares no button inputs.
bool ParseHidButtonLayout(const uint8_t* descriptor, size_t size, HidButtonLayout* layout);
// Sets pressed[u] for every button usage u (1 .. 99) the report holds.
// False when the report carries no button field (another report id, too
// short): such a report says nothing about the buttons.
bool UnpackHidButtons(const HidButtonLayout& layout, const uint8_t* report, size_t size,
                      std::array<bool, kHidMaxButtonUsage + 1>* pressed);

// ---- Fake transport for tests ----

class FakeHidTransport : public HidTransport {
 public:
  FakeHidTransport() = default;
  ~FakeHidTransport() override;

  void AddDevice(const HidDeviceInfo& info, std::vector<uint8_t> descriptor);
  // The device leaves: it is no longer listed, opening fails and reads on an
  // open handle return -1.
  void RemoveDevice(const std::string& path);
  // Queues an input report for the open handles of `path`.
  void FeedReport(const std::string& path, std::vector<uint8_t> report);
  // The next `count` opens of `path` fail (access rights not there yet).
  void FailOpens(const std::string& path, int count);
  void PushHotplug(HidHotplugEvent event);

  int opens(const std::string& path);
  int open_handles(const std::string& path);  // handles not yet destroyed
  bool monitor_alive();

  std::vector<HidDeviceInfo> Enumerate() override;
  std::unique_ptr<HidDevice> Open(const std::string& path) override;
  std::unique_ptr<HidHotplugMonitor> MonitorHotplug() override;

 private:
  class Device;
  class Monitor;
  struct Entry {
    HidDeviceInfo info;
    std::vector<uint8_t> descriptor;
    bool present = true;
    int fail_opens = 0;
    int opens = 0;
    int handles = 0;
    std::deque<std::vector<uint8_t>> reports;
  };

  std::mutex mu_;
  std::condition_variable cv_;
  std::map<std::string, Entry> devices_;
  std::vector<std::string> order_;
  std::deque<HidHotplugEvent> events_;
  bool monitor_alive_ = false;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_HID_TRANSPORT_H_
