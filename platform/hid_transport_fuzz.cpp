// Report descriptors and reports come from whatever device is plugged in:
// the first byte splits the input into a descriptor and a report.
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/hid_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t split = data[0] < size ? data[0] : size - 1;
  const uint8_t* descriptor = data + 1;
  const size_t descriptor_size = split;
  const uint8_t* report = data + 1 + split;
  const size_t report_size = size - 1 - split;
  qv3::HidButtonLayout layout;
  if (!qv3::ParseHidButtonLayout(descriptor, descriptor_size, &layout)) return 0;
  std::array<bool, qv3::kHidMaxButtonUsage + 1> pressed;
  qv3::UnpackHidButtons(layout, report, report_size, &pressed);
  return 0;
}
