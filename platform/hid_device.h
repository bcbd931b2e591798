// The system's HID transport: hidapi's hidraw backend for listing, opening
// and reading devices (paths are /dev/hidrawN), the report descriptor from
// sysfs, and a libudev monitor on the "hidraw" subsystem for arrivals and
// removals. Reading a pedal needs access to its hidraw node: the udev rules
// installed with the program (70-quaverly3-pedal.rules) grant it to the
// logged-in user.
#ifndef QV3_PLATFORM_HID_DEVICE_H_
#define QV3_PLATFORM_HID_DEVICE_H_

#include <memory>

#include "platform/hid_transport.h"

namespace qv3 {

// Create and use it on the main thread (hidapi's start-up is not
// thread-safe); an opened HidDevice may be read on another thread and a
// monitor waited on by one thread at a time.
std::unique_ptr<HidTransport> CreateSystemHidTransport();

}  // namespace qv3

#endif  // QV3_PLATFORM_HID_DEVICE_H_
