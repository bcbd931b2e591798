// Fuzzes the decoder front: arbitrary bytes written to a file and opened as
// a decoding stream must give an error code or decode without a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "audiolib/audiolib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    char tmpl[] = "/tmp/qv3_decoder_fuzz_XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    return std::string(tmpl);
  }();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (uint32_t flags : {qv3::kStreamDecode | qv3::kSampleFloat, qv3::kStreamDecode | qv3::kStreamPrescan}) {
    qv3::StreamHandle h = qv3::StreamCreateFile(path.c_str(), 0, 0, flags);
    if (!h) continue;
    float buf[4096];
    for (int i = 0; i < 16; ++i) {
      if (qv3::ChannelGetData(h, buf, sizeof buf | qv3::kDataFloat) == qv3::kDataError) break;
    }
    qv3::ChannelSetPosition(h, 4 * 1000, qv3::kPosByte);
    qv3::ChannelGetData(h, buf, sizeof buf | qv3::kDataFloat);
    qv3::ChannelGetLength(h, qv3::kPosByte);
    qv3::StreamFree(h);
  }
  return 0;
}
