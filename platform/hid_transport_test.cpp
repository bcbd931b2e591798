#include "platform/hid_transport.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv3 {
namespace {

using Pressed = std::array<bool, kHidMaxButtonUsage + 1>;

std::vector<int> Usages(const Pressed& p) {
  std::vector<int> out;
  for (int u = 1; u <= kHidMaxButtonUsage; ++u)
    if (p[u]) out.push_back(u);
  return out;
}

// Consumer-control collection holding a 16-bit bitmap of buttons 1 .. 16,
// the layout of the three-button pedal.
const std::vector<uint8_t> kPedalDescriptor = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x10,
                                               0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x10, 0x81, 0x02, 0xC0};

// A mouse with numbered reports: id 1 = three buttons, padding, x and y;
// id 2 = a consumer-control value with no buttons.
const std::vector<uint8_t> kMouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29,
    0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03,
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0,
    0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09, 0xE9, 0x15, 0x00, 0x25, 0x01, 0x75, 0x08,
    0x95, 0x01, 0x81, 0x02, 0xC0};

TEST(HidButtonLayoutTest, PedalBitmapAndNumberedMouseReports) {
  HidButtonLayout pedal;
  ASSERT_TRUE(ParseHidButtonLayout(kPedalDescriptor.data(), kPedalDescriptor.size(), &pedal));
  EXPECT_FALSE(pedal.numbered_reports);
  EXPECT_EQ(pedal.usage_list_length, 16);
  Pressed p;
  const uint8_t middle[] = {0x02, 0x00};
  ASSERT_TRUE(UnpackHidButtons(pedal, middle, 2, &p));
  EXPECT_EQ(Usages(p), std::vector<int>({2}));
  const uint8_t left_right[] = {0x05, 0x00};
  ASSERT_TRUE(UnpackHidButtons(pedal, left_right, 2, &p));
  EXPECT_EQ(Usages(p), std::vector<int>({1, 3}));
  const uint8_t high[] = {0x00, 0x80};
  ASSERT_TRUE(UnpackHidButtons(pedal, high, 2, &p));
  EXPECT_EQ(Usages(p), std::vector<int>({16}));
  EXPECT_FALSE(UnpackHidButtons(pedal, middle, 1, &p));  // too short to hold the field

  HidButtonLayout mouse;
  ASSERT_TRUE(ParseHidButtonLayout(kMouseDescriptor.data(), kMouseDescriptor.size(), &mouse));
  EXPECT_TRUE(mouse.numbered_reports);
  EXPECT_EQ(mouse.usage_list_length, 3);
  const uint8_t click[] = {0x01, 0x04, 0x10, 0xF0};  // id 1, button 3, x, y
  ASSERT_TRUE(UnpackHidButtons(mouse, click, 4, &p));
  EXPECT_EQ(Usages(p), std::vector<int>({3}));
  const uint8_t volume[] = {0x02, 0x01};  // id 2 carries no buttons
  EXPECT_FALSE(UnpackHidButtons(mouse, volume, 2, &p));
  EXPECT_TRUE(Usages(p).empty());
}

TEST(HidButtonLayoutTest, ArraysClampToUsage99AndBadDescriptorsAreRefused) {
  // Button page, usages 1 .. 200, logical 1 .. 200, three 8-bit array slots.
  const std::vector<uint8_t> array = {0x05, 0x09, 0x19, 0x01, 0x2A, 0xC8, 0x00, 0x15, 0x01, 0x26,
                                      0xC8, 0x00, 0x75, 0x08, 0x95, 0x03, 0x81, 0x00};
  HidButtonLayout layout;
  ASSERT_TRUE(ParseHidButtonLayout(array.data(), array.size(), &layout));
  EXPECT_EQ(layout.usage_list_length, kHidMaxButtonUsage);
  Pressed p;
  const uint8_t report[] = {5, 150, 0};  // 150 is beyond the button range kept
  ASSERT_TRUE(UnpackHidButtons(layout, report, 3, &p));
  EXPECT_EQ(Usages(p), std::vector<int>({5}));

  const std::vector<uint8_t> truncated = {0x05, 0x09, 0x19, 0x01, 0x29};
  EXPECT_FALSE(ParseHidButtonLayout(truncated.data(), truncated.size(), &layout));
  const std::vector<uint8_t> pop_without_push = {0xB4, 0x05, 0x09};
  EXPECT_FALSE(ParseHidButtonLayout(pop_without_push.data(), pop_without_push.size(), &layout));
  // A keyboard-like page only: no buttons at all.
  const std::vector<uint8_t> keys = {0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02};
  EXPECT_FALSE(ParseHidButtonLayout(keys.data(), keys.size(), &layout));
}

TEST(FakeHidTransportTest, ReadsReportsAndFailsOnceRemoved) {
  FakeHidTransport t;
  t.AddDevice({"/dev/hidraw7", 0x05F3, 0x00FF}, kPedalDescriptor);
  t.FailOpens("/dev/hidraw7", 1);
  EXPECT_EQ(t.Open("/dev/hidraw7"), nullptr);
  auto dev = t.Open("/dev/hidraw7");
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->ReportDescriptor(), kPedalDescriptor);
  uint8_t buf[8];
  EXPECT_EQ(dev->Read(buf, sizeof buf, 1), 0);
  t.FeedReport("/dev/hidraw7", {0x01, 0x00});
  EXPECT_EQ(dev->Read(buf, sizeof buf, 100), 2);
  t.RemoveDevice("/dev/hidraw7");
  EXPECT_EQ(dev->Read(buf, sizeof buf, 100), -1);
  EXPECT_TRUE(t.Enumerate().empty());
  EXPECT_EQ(t.open_handles("/dev/hidraw7"), 1);
  dev.reset();
  EXPECT_EQ(t.open_handles("/dev/hidraw7"), 0);
}

}  // namespace
}  // namespace qv3

#include "platform/hid_device.h"

namespace qv3 {
namespace {

TEST(SystemHidTransportTest, MissingNodesDoNotOpen) {
  auto t = CreateSystemHidTransport();
  for (const auto& d : t->Enumerate()) EXPECT_FALSE(d.path.empty());
  EXPECT_EQ(t->Open("/dev/hidraw-none"), nullptr);
}

}  // namespace
}  // namespace qv3
