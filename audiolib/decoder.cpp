// Chooses the decoder by the file's content and sorts failures into the
// library's error codes.
extern "C" {
#include <libavformat/avformat.h>
}

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "audiolib/audiolib.h"
#include "audiolib/decoder.h"

namespace qv3::audio_internal {
namespace {

bool IsMpegAudio(const std::string& path) {
  AVIOContext* pb = nullptr;
  const std::string url = "file:" + path;
  if (avio_open(&pb, url.c_str(), AVIO_FLAG_READ) < 0) return false;
  const AVInputFormat* fmt = nullptr;
  int rc = av_probe_input_buffer2(pb, &fmt, url.c_str(), nullptr, 0, 1 << 20);
  avio_closep(&pb);
  return rc >= 0 && fmt && std::strcmp(fmt->name, "mp3") == 0;
}

}  // namespace

bool AsfHeaderIsProtected(const std::string& path) {
  static const unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  // Content Encryption and Extended Content Encryption objects.
  static const unsigned char kEncryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                                0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
  static const unsigned char kExtEncryption[16] = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                                   0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char head[30];
  bool result = false;
  if (std::fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head, kAsfHeader, 16) == 0) {
    uint64_t header_size = 0;
    for (int i = 7; i >= 0; --i) header_size = (header_size << 8) | head[16 + i];
    uint32_t count = head[24] | (head[25] << 8) | (head[26] << 16) | (static_cast<uint32_t>(head[27]) << 24);
    uint64_t offset = 30;
    // Walk the header's objects; each is a GUID and a 64-bit size.
    for (uint32_t i = 0; i < count && offset + 24 <= header_size; ++i) {
      unsigned char obj[24];
      if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || std::fread(obj, 1, 24, f) != 24) break;
      if (std::memcmp(obj, kEncryption, 16) == 0 || std::memcmp(obj, kExtEncryption, 16) == 0) {
        result = true;
        break;
      }
      uint64_t size = 0;
      for (int b = 7; b >= 0; --b) size = (size << 8) | obj[16 + b];
      if (size < 24) break;
      offset += size;
    }
  }
  std::fclose(f);
  return result;
}

std::unique_ptr<Decoder> OpenDecoder(const std::string& path, bool prescan, int* error) {
  *error = kErrorOk;
  struct stat st{};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = kErrorFileOpen;
    return nullptr;
  }
  FILE* probe = std::fopen(path.c_str(), "rb");
  if (!probe) {
    *error = kErrorFileOpen;
    return nullptr;
  }
  std::fclose(probe);
  if (st.st_size == 0) {
    *error = kErrorFileForm;
    return nullptr;
  }
  if (AsfHeaderIsProtected(path)) {
    *error = kErrorProtected;
    return nullptr;
  }
  std::unique_ptr<Decoder> dec;
  int err = kErrorFileForm;
  dec = OpenSndfileDecoder(path, &err);
  if (!dec && IsMpegAudio(path)) dec = OpenMpg123Decoder(path, prescan, &err);
  if (!dec) dec = OpenFfmpegDecoder(path, &err);
  if (!dec) {
    *error = err == kErrorMem ? kErrorMem : kErrorFileForm;
    return nullptr;
  }
  dec->set_file_size(static_cast<uint64_t>(st.st_size));
  return dec;
}

}  // namespace qv3::audio_internal
