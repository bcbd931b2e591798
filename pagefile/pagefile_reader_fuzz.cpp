// Feeds arbitrary bytes to the page file reader. Besides memory safety it
// checks that what the writer makes of any input reads back to the same text
// (write(read(write(read(x)))) == write(read(x))) and that every value read
// stays inside the documented ranges.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pagefile/scorelet_file_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv3;
  std::string_view input(reinterpret_cast<const char*>(data), size);

  CScoreletFileArray first;
  first.LoadFromText(input);
  if (first.page_count() < 1 || first.page_count() > kScoreletMaxPages) std::abort();
  if (first.page_count() < first.HighestPage()) std::abort();
  for (const auto& object : first.objects()) {
    if (object->page < 1 || object->page > kScoreletMaxPages) std::abort();
    for (const auto& p : object->points) {
      if (p.x < -kScoreletMaxCoordinate || p.x > kScoreletMaxCoordinate) std::abort();
      if (p.y < -kScoreletMaxCoordinate || p.y > kScoreletMaxCoordinate) std::abort();
    }
    if (object->colour > 0xFFFFFFu) std::abort();
  }
  const std::string text = first.FileText();

  CScoreletFileArray second;
  second.LoadFromText(text);
  if (second.FileText() != text) std::abort();

  // The clipboard path: selection-only text pasted with offsets.
  CScoreletFileArray pasted;
  pasted.ReadText(input, nullptr, 30, 30, 1, 1);
  pasted.MoveSelected(1000000, -1000000);
  pasted.DeletePage(1);
  (void)pasted.WriteText(true);
  return 0;
}
