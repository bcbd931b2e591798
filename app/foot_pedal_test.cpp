#include "app/foot_pedal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "app/main_window_commands.h"
#include "platform/main_thread.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

using Msg = std::pair<int, int>;

const char kPedal[] = "/dev/hidraw3";
const char kMouse[] = "/dev/hidraw1";

// Report descriptors as the devices give them: the pedal's 16-bit button
// bitmap, and a mouse with three buttons and x/y.
const std::vector<uint8_t> kPedalDescriptor = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x10,
                                               0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x10, 0x81, 0x02, 0xC0};
const std::vector<uint8_t> kMouseDescriptor = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05,
                                               0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03,
                                               0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05,
                                               0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08,
                                               0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

template <typename Pred>
bool WaitFor(Pred pred, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    RunPendingMainThreadCalls();
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  RunPendingMainThreadCalls();
  return pred();
}

class FootPedalTest : public ::testing::Test {
 protected:
  void SetUp() override { RunPendingMainThreadCalls(); }
  void TearDown() override {
    pedal_.Disconnect();
    RunPendingMainThreadCalls();
  }

  void AddPedal(std::vector<uint8_t> descriptor = kPedalDescriptor) {
    hid_.AddDevice({kPedal, kFootPedalVendorId, kFootPedalProductId}, std::move(descriptor));
  }
  void AddMouse() { hid_.AddDevice({kMouse, 0x046D, 0xC077}, kMouseDescriptor); }
  bool ConnectPedal() {
    return pedal_.Connect([this](int wparam, int button) { got_.push_back({wparam, button}); });
  }
  // Feeds reports and waits until `count` messages have come.
  void Feed(const std::vector<std::vector<uint8_t>>& reports, size_t count) {
    for (const auto& r : reports) hid_.FeedReport(kPedal, r);
    EXPECT_TRUE(WaitFor([&] { return got_.size() >= count; }));
  }
  size_t Announcements() {
    size_t n = 0;
    for (const auto& m : ui_->messages) {
      EXPECT_EQ(m.caption, "Quaverly 3");
      if (m.text == kFootPedalConnectedText) ++n;
    }
    return n;
  }

  ScopedRecordingUi ui_;
  FakeHidTransport hid_;
  FootPedal pedal_{&hid_};
  std::vector<Msg> got_;
};

TEST_F(FootPedalTest, ButtonChangesBecomeMessagesAndOtherDevicesStayUnread) {
  AddMouse();
  AddPedal();
  ASSERT_TRUE(ConnectPedal());
  EXPECT_EQ(pedal_.device_path(), kPedal);
  EXPECT_EQ(Announcements(), 1u);
  EXPECT_EQ(hid_.opens(kMouse), 0);

  hid_.FeedReport(kMouse, {0x01, 0x10, 0x10});
  Feed({{0x01, 0x00}, {0x00, 0x00}, {0x04, 0x00}, {0x06, 0x00}, {0x06}, {0x00, 0x00}}, 6);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  RunPendingMainThreadCalls();
  // The one-byte report is not a button report and changes nothing.
  const std::vector<Msg> want = {{kFootPedalPressed, 1},  {kFootPedalReleased, 1}, {kFootPedalPressed, 3},
                                 {kFootPedalPressed, 2},  {kFootPedalReleased, 2}, {kFootPedalReleased, 3}};
  EXPECT_EQ(got_, want);
}

TEST_F(FootPedalTest, HeldMiddleButtonTogglesPlayOnce) {
  AddPedal();
  ASSERT_TRUE(ConnectPedal());
  // A held button may repeat its report; only changes are sent.
  Feed({{0x02, 0x00}, {0x02, 0x00}, {0x02, 0x00}, {0x00, 0x00}}, 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  RunPendingMainThreadCalls();
  ASSERT_EQ(got_, (std::vector<Msg>{{kFootPedalPressed, 2}, {kFootPedalReleased, 2}}));
  FootPedalCommands commands([] { return int64_t{0}; });
  bool playing = false;
  int toggles = 0;
  for (const auto& [wparam, button] : got_) {
    const int id = commands.CommandFor(wparam, button, playing);
    if (id == cmd::kPlay || id == cmd::kPause) {
      ++toggles;
      playing = id == cmd::kPlay;
    }
  }
  EXPECT_EQ(toggles, 1);
  EXPECT_TRUE(playing);
}

TEST(FootPedalCommandsTest, LeftTwiceWithin500MsGoesToThePreviousLoop) {
  int64_t now = 10000;
  FootPedalCommands commands([&] { return now; });
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 1, true), cmd::kJumpBack);
  EXPECT_EQ(commands.CommandFor(kFootPedalReleased, 1, true), 0);
  now += 400;
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 1, true), cmd::kPreviousLoop);
  now += 2000;
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 1, true), cmd::kJumpBack);
  now += 600;
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 1, true), cmd::kJumpBack);
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 2, true), cmd::kPause);
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 2, false), cmd::kPlay);
  EXPECT_EQ(commands.CommandFor(kFootPedalReleased, 2, false), 0);
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 3, false), cmd::kNextLoop);
  EXPECT_EQ(commands.CommandFor(kFootPedalPressed, 4, false), 0);
}

TEST_F(FootPedalTest, PlugInIsAnnouncedOnceAndUnplugStopsTheReader) {
  ASSERT_FALSE(ConnectPedal());
  EXPECT_EQ(Announcements(), 0u);
  EXPECT_TRUE(hid_.monitor_alive());

  AddMouse();
  hid_.PushHotplug(HidHotplugEvent::kArrived);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  RunPendingMainThreadCalls();
  EXPECT_FALSE(pedal_.connected());
  EXPECT_EQ(hid_.opens(kMouse), 0);

  // The node's access rights come a little after its arrival.
  AddPedal();
  hid_.FailOpens(kPedal, 2);
  hid_.PushHotplug(HidHotplugEvent::kArrived);
  ASSERT_TRUE(WaitFor([&] { return pedal_.connected(); }));
  EXPECT_EQ(Announcements(), 1u);
  EXPECT_EQ(hid_.opens(kPedal), 1);

  // Other devices coming and going neither reopen nor announce the pedal.
  hid_.PushHotplug(HidHotplugEvent::kArrived);
  hid_.RemoveDevice(kMouse);
  hid_.PushHotplug(HidHotplugEvent::kRemoved);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RunPendingMainThreadCalls();
  EXPECT_EQ(hid_.opens(kPedal), 1);
  EXPECT_EQ(Announcements(), 1u);
  EXPECT_TRUE(pedal_.reader_running());
  Feed({{0x04, 0x00}}, 1);

  hid_.RemoveDevice(kPedal);
  EXPECT_TRUE(WaitFor([&] { return !pedal_.reader_running(); }));
  hid_.PushHotplug(HidHotplugEvent::kRemoved);
  EXPECT_TRUE(WaitFor([&] { return !pedal_.connected(); }));
  EXPECT_TRUE(pedal_.device_path().empty());
  EXPECT_EQ(hid_.open_handles(kPedal), 0);
  EXPECT_EQ(Announcements(), 1u);

  // Plugged in again: found and announced again.
  AddPedal();
  hid_.PushHotplug(HidHotplugEvent::kArrived);
  ASSERT_TRUE(WaitFor([&] { return pedal_.connected(); }));
  EXPECT_EQ(Announcements(), 2u);
}

TEST_F(FootPedalTest, DisconnectStopsEverythingAndDropsUndeliveredPresses) {
  AddPedal({});  // descriptor unreadable: the pedal's own bitmap is used
  ASSERT_TRUE(ConnectPedal());
  Feed({{0x01, 0x00}}, 1);
  EXPECT_EQ(got_, (std::vector<Msg>{{kFootPedalPressed, 1}}));

  hid_.FeedReport(kPedal, {0x00, 0x00});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // posted, not yet run
  pedal_.Disconnect();
  RunPendingMainThreadCalls();
  EXPECT_EQ(got_.size(), 1u);
  EXPECT_FALSE(pedal_.connected());
  EXPECT_FALSE(hid_.monitor_alive());
  EXPECT_EQ(hid_.open_handles(kPedal), 0);
}

}  // namespace
}  // namespace qv3
