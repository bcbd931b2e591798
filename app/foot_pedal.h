// FootPedal: the three-button Infinity foot pedal (USB HID 05f3:00ff). It
// finds the pedal among the HID devices, reads its input reports on a reader
// thread and posts every button change to the main thread as the pedal
// message (11024: wparam 1 pressed / 2 released, lparam the button usage
// 1 .. 99). A monitor thread follows device arrivals and removals: an
// arrival rescans (and announces a newly opened pedal), a removal rescans
// silently, which stops the reader when the pedal has gone.
//
// Every call comes from the main thread. The threads never block on it:
// button changes and device events are posted (PostToMainThread), so
// stopping a thread from the main thread cannot deadlock against it.
//
// FootPedalCommands turns the pedal message into the main window's command.
#ifndef QV3_APP_FOOT_PEDAL_H_
#define QV3_APP_FOOT_PEDAL_H_

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/hid_transport.h"

namespace qv3 {

inline constexpr int kFootPedalMessage = 11024;
inline constexpr int kFootPedalPressed = 1;
inline constexpr int kFootPedalReleased = 2;
inline constexpr uint16_t kFootPedalVendorId = 0x05F3;
inline constexpr uint16_t kFootPedalProductId = 0x00FF;
inline constexpr char kFootPedalConnectedText[] =
    "The Infinity Foot Pedal is now connected to Quaverly, and is ready for use.";

// The pedal's own report when its descriptor cannot be read: two bytes, a
// bitmap of button usages 1 .. 16 (bit 0 = 1 left, bit 1 = 2 middle,
// bit 2 = 3 right).
HidButtonLayout FootPedalBitmapLayout();

class FootPedal {
 public:
  // Receives (wparam, button) on the main thread.
  using Recipient = std::function<void(int wparam, int button)>;

  static constexpr int kReadWaitMs = 500;
  // After an arrival, opening is retried this often, this far apart: the
  // access rights of a new node come a moment after its "add" event.
  static constexpr int kArrivalRetries = 10;
  static constexpr int kArrivalRetryMs = 200;

  enum class ScanResult { kNotFound, kOpened, kAlreadyConnected, kOpenFailed };

  explicit FootPedal(HidTransport* transport);  // not owned; outlives this
  ~FootPedal();
  FootPedal(const FootPedal&) = delete;
  FootPedal& operator=(const FootPedal&) = delete;

  // Starts following device events, then scans; a pedal found is announced
  // with kFootPedalConnectedText. True when the pedal is connected.
  bool Connect(Recipient recipient);
  // Opens the first present pedal and starts its reader. A pedal already
  // connected with a live reader is left alone (no reopen); when none is
  // present the path is cleared and the reader stopped.
  ScanResult Scan();
  // Device events, on the main thread (posted by the monitor thread).
  void OnDeviceArrival();
  void OnDeviceRemoval();
  // Stops both threads and closes the pedal.
  void Disconnect();

  bool connected() const { return device_ != nullptr; }
  const std::string& device_path() const { return device_path_; }
  bool reader_running() const { return reader_.joinable() && !reader_ended_.load(); }

 private:
  bool Open(const std::string& path);
  void StartReader();
  void StopReader();
  void CloseDevice();
  void ReaderLoop(std::shared_ptr<bool> alive, Recipient recipient);
  void MonitorLoop(std::shared_ptr<bool> alive);
  void ArrivalScan(bool retry);

  HidTransport* transport_;
  Recipient recipient_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::string device_path_;
  std::unique_ptr<HidDevice> device_;
  HidButtonLayout layout_;

  std::thread reader_;
  std::atomic<bool> reader_stop_{false};
  std::atomic<bool> reader_ended_{false};

  std::unique_ptr<HidHotplugMonitor> monitor_;
  std::thread monitor_thread_;
  std::atomic<bool> monitor_stop_{false};
  bool connected_flag_ = false;  // between Connect and Disconnect
  // Milliseconds of the steady clock at which the monitor thread posts a
  // retried arrival; 0 for none.
  std::atomic<int64_t> retry_due_ms_{0};
  int retries_left_ = 0;
};

// The main window's handling of the pedal message: presses only. Left is
// "Jump Back to Beginning of Loop", or the previous loop when it comes within
// 500 ms of the left press before; middle pauses when playing, else plays;
// right is "Jump Forward to Next Loop". Each left press is timed from the
// one before, so quick presses step back loop by loop.
class FootPedalCommands {
 public:
  using Clock = std::function<int64_t()>;  // milliseconds
  static constexpr int64_t kDoublePressMs = 500;

  FootPedalCommands();
  explicit FootPedalCommands(Clock clock) : clock_(std::move(clock)) {}

  // The command id for the message (0: nothing to do).
  int CommandFor(int wparam, int button, bool playing);

 private:
  Clock clock_;
  bool have_left_ = false;  // a left press was seen
  int64_t last_left_ms_ = 0;
};

int64_t SteadyClockMs();

}  // namespace qv3

#endif  // QV3_APP_FOOT_PEDAL_H_
