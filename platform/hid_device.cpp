#include "platform/hid_device.h"

#include <hidapi/hidapi.h>
#include <libudev.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace qv3 {
namespace {

class SystemHidDevice : public HidDevice {
 public:
  SystemHidDevice(hid_device* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~SystemHidDevice() override { hid_close(handle_); }

  int Read(uint8_t* buffer, size_t size, int timeout_ms) override {
    const int n = hid_read_timeout(handle_, buffer, size, timeout_ms);
    return n < 0 ? -1 : n;
  }

  std::vector<uint8_t> ReportDescriptor() override {
    // "/dev/hidraw3" -> "/sys/class/hidraw/hidraw3/device/report_descriptor"
    const size_t slash = path_.find_last_of('/');
    const std::string node = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (node.rfind("hidraw", 0) != 0) return {};
    std::ifstream in("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  hid_device* handle_;
  std::string path_;
};

class UdevHidMonitor : public HidHotplugMonitor {
 public:
  UdevHidMonitor(udev* u, udev_monitor* m) : udev_(u), monitor_(m) {}
  ~UdevHidMonitor() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }

  HidHotplugEvent Wait(int timeout_ms) override {
    pollfd p{udev_monitor_get_fd(monitor_), POLLIN, 0};
    const int r = poll(&p, 1, timeout_ms);
    if (r < 0) return errno == EINTR ? HidHotplugEvent::kNone : HidHotplugEvent::kFailed;
    if (r == 0) return HidHotplugEvent::kNone;
    udev_device* dev = udev_monitor_receive_device(monitor_);
    if (!dev) return HidHotplugEvent::kNone;
    const char* action = udev_device_get_action(dev);
    HidHotplugEvent ev = HidHotplugEvent::kNone;
    if (action && std::strcmp(action, "add") == 0) ev = HidHotplugEvent::kArrived;
    if (action && std::strcmp(action, "remove") == 0) ev = HidHotplugEvent::kRemoved;
    udev_device_unref(dev);
    return ev;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};

class SystemHidTransport : public HidTransport {
 public:
  SystemHidTransport() : ok_(hid_init() == 0) {}
  ~SystemHidTransport() override {
    if (ok_) hid_exit();
  }

  std::vector<HidDeviceInfo> Enumerate() override {
    std::vector<HidDeviceInfo> out;
    if (!ok_) return out;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next) {
      if (!d->path) continue;
      out.push_back(HidDeviceInfo{d->path, d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return out;
  }

  std::unique_ptr<HidDevice> Open(const std::string& path) override {
    if (!ok_) return nullptr;
    hid_device* handle = hid_open_path(path.c_str());
    if (!handle) return nullptr;
    return std::make_unique<SystemHidDevice>(handle, path);
  }

  std::unique_ptr<HidHotplugMonitor> MonitorHotplug() override {
    udev* u = udev_new();
    if (!u) return nullptr;
    udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
    if (!m || udev_monitor_filter_add_match_subsystem_devtype(m, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m) < 0) {
      if (m) udev_monitor_unref(m);
      udev_unref(u);
      return nullptr;
    }
    return std::make_unique<UdevHidMonitor>(u, m);
  }

 private:
  bool ok_;
};

}  // namespace

std::unique_ptr<HidTransport> CreateSystemHidTransport() { return std::make_unique<SystemHidTransport>(); }

}  // namespace qv3
