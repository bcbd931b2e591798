// libFuzzer target: TokenizeLine on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/tokenize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  size_t total = 0;
  for (const std::string& token : qv3::TokenizeLine(line)) {
    // Line ends never reach a token, and tokens are pieces of the line.
    if (token.find('\n') != std::string::npos || token.find('\r') != std::string::npos) {
      __builtin_trap();
    }
    total += token.size();
  }
  if (total > size) __builtin_trap();
  return 0;
}
