#include "editing/import_decode.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "editing/wav_writer.h"
#include "engine/audio_setup.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

ImportCdStreamOpener g_cd_opener = nullptr;

uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

void SetImportCdStreamOpener(ImportCdStreamOpener opener) { g_cd_opener = opener; }
ImportCdStreamOpener GetImportCdStreamOpener() { return g_cd_opener; }

bool ReadPcmWavLayout(const std::string& path, PcmWavLayout* layout) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  PcmWavLayout found;
  bool have_format = false;
  bool result = false;
  unsigned char head[12];
  if (std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0 &&
      std::memcmp(head + 8, "WAVE", 4) == 0) {
    uint64_t offset = 12;
    // A bounded number of chunks, so a looping file ends.
    for (int i = 0; i < 64; ++i) {
      unsigned char chunk[8];
      if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) {
        break;
      }
      const uint32_t size = U32(chunk + 4);
      if (std::memcmp(chunk, "fmt ", 4) == 0) {
        unsigned char fmt[40] = {};
        if (size < 16 || size > 1024) break;
        const size_t want = size < sizeof fmt ? size : sizeof fmt;
        if (std::fread(fmt, 1, want, f) != want) break;
        const uint16_t tag = U16(fmt);
        const uint16_t bits = U16(fmt + 14);
        bool pcm = tag == 1;
        if (tag == 0xFFFE && want >= 40) {
          // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID starts with the tag.
          pcm = U16(fmt + 24) == 1 && U16(fmt + 18) == bits;
        }
        if (!pcm || (bits != 8 && bits != 16)) break;
        found.channels = U16(fmt + 2);
        found.sample_rate = static_cast<int>(U32(fmt + 4));
        found.bits = bits;
        if (found.channels < 1) break;
        have_format = true;
      } else if (std::memcmp(chunk, "data", 4) == 0) {
        if (!have_format) break;
        found.data_offset = offset + 8;
        std::fseek(f, 0, SEEK_END);
        const long end = std::ftell(f);
        const uint64_t available = end > 0 && static_cast<uint64_t>(end) > found.data_offset
                                       ? static_cast<uint64_t>(end) - found.data_offset
                                       : 0;
        const uint64_t frame = static_cast<uint64_t>(found.channels) * (found.bits / 8);
        found.data_bytes = std::min<uint64_t>(size, available) / frame * frame;
        result = true;
        break;
      }
      // Chunks are padded to an even size.
      offset += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
  }
  std::fclose(f);
  if (result && layout) *layout = found;
  return result;
}

bool IsCopyablePcmWav(const std::string& path) { return ReadPcmWavLayout(path, nullptr); }

bool DecodeToWav(const std::string& source, const std::string& destination) {
  StreamHandle stream = 0;
  if (IsCdTrackPath(source)) {
    if (g_cd_opener) stream = g_cd_opener(source.c_str(), kStreamDecode);
  } else {
    stream = StreamCreateFile(source.c_str(), 0, 0, kStreamDecode);
  }
  if (!stream) {
    MessageBoxF(kDecodeOpenFailFormat, source.c_str());
    return false;
  }
  ChannelInfo info{};
  ChannelGetInfo(stream, &info);

  WavWriter writer;
  if (!writer.Open(destination, static_cast<int>(info.chans), static_cast<int>(info.freq), 16)) {
    StreamFree(stream);
    if (!writer.is_open()) {
      MessageBoxF(kDecodeCreateFailFormat, destination.c_str());
    } else {
      MessageBoxF(kDecodeDiskFullFormat, destination.c_str());
    }
    return false;
  }

  // One second of 16-bit samples per read.
  const uint64_t second_bytes = static_cast<uint64_t>(info.freq) * info.chans * 2;
  std::vector<unsigned char> buffer(second_bytes > 0 ? second_bytes : 4);
  const uint32_t want = static_cast<uint32_t>(
      std::min<uint64_t>(buffer.size(), kDataLengthMask) / (info.chans * 2) * (info.chans * 2));
  uint64_t total = 0;
  bool ok = true;
  bool at_end = false;
  while (!at_end) {
    // Fill one second; the decoder may hand out less per call.
    uint32_t filled = 0;
    while (filled < want) {
      const uint32_t got = ChannelGetData(stream, buffer.data() + filled, want - filled);
      if (got == kDataError || got == 0) {
        at_end = true;
        break;
      }
      filled += got;
    }
    if (filled == 0) break;
    if (!writer.Write(buffer.data(), filled)) {
      ok = false;
      break;
    }
    total += filled;
    const int seconds = second_bytes ? static_cast<int>(total / second_bytes) : 0;
    Ui().SetStatusText(StringPrintf(kOpeningProgressFormat, seconds / 60, seconds % 60));
    Ui().ProcessPendingEvents();
  }
  StreamFree(stream);
  if (!ok || !writer.Finish()) {
    MessageBoxF(kDecodeDiskFullFormat, destination.c_str());
    return false;
  }
  return true;
}

}  // namespace qv3
