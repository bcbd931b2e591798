#include "app/foot_pedal.h"

#include <vector>

#include "app/main_window_commands.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"

namespace qv3 {

int64_t SteadyClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

HidButtonLayout FootPedalBitmapLayout() {
  HidButtonLayout layout;
  HidButtonField f;
  f.bit_size = 1;
  f.count = 16;
  f.usage_min = 1;
  f.usage_max = 16;
  f.logical_max = 1;
  layout.fields.push_back(f);
  layout.usage_list_length = 16;
  return layout;
}

FootPedal::FootPedal(HidTransport* transport) : transport_(transport) {}

FootPedal::~FootPedal() { Disconnect(); }

bool FootPedal::Connect(Recipient recipient) {
  Disconnect();
  recipient_ = std::move(recipient);
  connected_flag_ = true;
  monitor_ = transport_->MonitorHotplug();
  if (monitor_) {
    monitor_stop_ = false;
    monitor_thread_ = std::thread([this, alive = alive_] { MonitorLoop(alive); });
  }
  if (Scan() != ScanResult::kOpened) return connected();
  MessageBoxF("%s", kFootPedalConnectedText);
  return true;
}

FootPedal::ScanResult FootPedal::Scan() {
  const std::vector<HidDeviceInfo> list = transport_->Enumerate();
  const HidDeviceInfo* found = nullptr;
  for (const auto& d : list) {
    if (d.vendor_id == kFootPedalVendorId && d.product_id == kFootPedalProductId) {
      found = &d;
      break;
    }
  }
  if (!found) {
    StopReader();
    CloseDevice();
    return ScanResult::kNotFound;
  }
  // Any device's arrival rescans: the pedal that is already being read
  // stays as it is (no second reader, no second announcement).
  if (device_ && found->path == device_path_ && reader_running()) return ScanResult::kAlreadyConnected;
  StopReader();
  CloseDevice();
  if (!Open(found->path)) return ScanResult::kOpenFailed;
  StartReader();
  return ScanResult::kOpened;
}

bool FootPedal::Open(const std::string& path) {
  std::unique_ptr<HidDevice> device = transport_->Open(path);
  if (!device) return false;
  const std::vector<uint8_t> descriptor = device->ReportDescriptor();
  if (descriptor.empty() || !ParseHidButtonLayout(descriptor.data(), descriptor.size(), &layout_))
    layout_ = FootPedalBitmapLayout();
  device_ = std::move(device);
  device_path_ = path;
  return true;
}

void FootPedal::CloseDevice() {
  device_.reset();
  device_path_.clear();
}

void FootPedal::StartReader() {
  if (reader_.joinable() || !device_) return;
  reader_stop_ = false;
  reader_ended_ = false;
  reader_ = std::thread([this, alive = alive_, recipient = recipient_] { ReaderLoop(alive, recipient); });
}

void FootPedal::StopReader() {
  if (!reader_.joinable()) return;
  reader_stop_ = true;
  reader_.join();  // at most one read wait
  reader_stop_ = false;
  reader_ended_ = false;
}

void FootPedal::ReaderLoop(std::shared_ptr<bool> alive, Recipient recipient) {
  // The device and the layout belong to the main thread, which changes them
  // only after joining this thread.
  HidDevice* device = device_.get();
  const HidButtonLayout& layout = layout_;
  const int length = layout.usage_list_length;
  std::array<bool, kHidMaxButtonUsage + 1> last{};
  std::array<bool, kHidMaxButtonUsage + 1> pressed{};
  std::vector<uint8_t> buffer(1024);
  while (!reader_stop_.load()) {
    const int n = device->Read(buffer.data(), buffer.size(), kReadWaitMs);
    if (n < 0) break;  // unplugged or failed: the removal rescan cleans up
    if (n == 0) continue;
    if (!UnpackHidButtons(layout, buffer.data(), static_cast<size_t>(n), &pressed)) continue;
    for (int b = 1; b <= length; ++b) {
      if (pressed[b] == last[b]) continue;
      last[b] = pressed[b];
      const int wparam = pressed[b] ? kFootPedalPressed : kFootPedalReleased;
      if (recipient) {
        PostToMainThread([alive, recipient, wparam, b] {
          if (*alive) recipient(wparam, b);
        });
      }
    }
  }
  reader_ended_ = true;
}

void FootPedal::MonitorLoop(std::shared_ptr<bool> alive) {
  while (!monitor_stop_.load()) {
    const HidHotplugEvent ev = monitor_->Wait(100);
    if (ev == HidHotplugEvent::kArrived) {
      PostToMainThread([this, alive] {
        if (*alive) OnDeviceArrival();
      });
    } else if (ev == HidHotplugEvent::kRemoved) {
      PostToMainThread([this, alive] {
        if (*alive) OnDeviceRemoval();
      });
    } else if (ev == HidHotplugEvent::kFailed) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int64_t due = retry_due_ms_.load();
    if (due != 0 && SteadyClockMs() >= due && retry_due_ms_.compare_exchange_strong(due, 0)) {
      PostToMainThread([this, alive] {
        if (*alive) ArrivalScan(true);
      });
    }
  }
}

void FootPedal::OnDeviceArrival() {
  if (!connected_flag_) return;
  retries_left_ = kArrivalRetries;
  ArrivalScan(false);
}

void FootPedal::ArrivalScan(bool retry) {
  if (!connected_flag_) return;
  if (retry && retries_left_ <= 0) return;
  const ScanResult result = Scan();
  retry_due_ms_ = 0;
  if (result == ScanResult::kOpened) {
    retries_left_ = 0;
    MessageBoxF("%s", kFootPedalConnectedText);
  } else if (result == ScanResult::kOpenFailed && retries_left_ > 0 && monitor_) {
    --retries_left_;
    retry_due_ms_ = SteadyClockMs() + kArrivalRetryMs;
  }
}

void FootPedal::OnDeviceRemoval() {
  if (!connected_flag_) return;
  Scan();
}

void FootPedal::Disconnect() {
  connected_flag_ = false;
  if (monitor_thread_.joinable()) {
    monitor_stop_ = true;
    monitor_thread_.join();
    monitor_stop_ = false;
  }
  monitor_.reset();
  retry_due_ms_ = 0;
  retries_left_ = 0;
  StopReader();
  CloseDevice();
  // Calls the threads posted and the main thread has not run yet find their
  // token cleared.
  *alive_ = false;
  alive_ = std::make_shared<bool>(true);
}

FootPedalCommands::FootPedalCommands() : clock_(&SteadyClockMs) {}

int FootPedalCommands::CommandFor(int wparam, int button, bool playing) {
  if (wparam != kFootPedalPressed) return 0;
  switch (button) {
    case 1: {
      const int64_t now = clock_();
      const bool twice = have_left_ && now - last_left_ms_ <= kDoublePressMs;
      have_left_ = true;
      last_left_ms_ = now;
      return twice ? cmd::kPreviousLoop : cmd::kJumpBack;
    }
    case 2:
      return playing ? cmd::kPause : cmd::kPlay;
    case 3:
      return cmd::kNextLoop;
    default:
      return 0;
  }
}

}  // namespace qv3
