// The audio half of import: which WAV files are copied as they are, and the
// decoding of every other audio file into the working WAV through the audio
// library, one second at a time.
#ifndef QV3_EDITING_IMPORT_DECODE_H_
#define QV3_EDITING_IMPORT_DECODE_H_

#include <cstdint>
#include <string>

#include "audiolib/audiolib.h"

namespace qv3 {

inline constexpr char kOpeningText[] = "Opening...";
inline constexpr char kOpeningProgressFormat[] = "Opening... %d:%02d";
inline constexpr char kDecodeOpenFailFormat[] = "Can't open file: \"%s\"";
inline constexpr char kDecodeCreateFailFormat[] = "Can't create the output file:\n\n   %s";
inline constexpr char kDecodeDiskFullFormat[] =
    "Unable to write to the output file:\n\n   %s\n\nDisk full.";

// True for a RIFF/WAVE file whose samples are plain 8- or 16-bit PCM (format
// tag 1, or the extensible tag with the PCM sub-format): those are copied
// into the working WAV unchanged. Every other WAV (24/32-bit, float, ADPCM,
// unreadable headers) is decoded to 16-bit, since the edits rewrite the
// working file in its own format and would re-encode ADPCM lossily each time.
bool IsCopyablePcmWav(const std::string& path);

// Where the samples of a plain 8- or 16-bit PCM WAV lie.
struct PcmWavLayout {
  int channels = 0;
  int sample_rate = 0;
  int bits = 0;              // 8 or 16
  uint64_t data_offset = 0;  // first sample byte
  uint64_t data_bytes = 0;   // whole frames, within the file
};
// Reads the layout of a WAV that IsCopyablePcmWav accepts; false otherwise.
bool ReadPcmWavLayout(const std::string& path, PcmWavLayout* layout);

// Opens CD tracks (".cda" paths) for decoding; installed by the CD subsystem.
// Without one, CD tracks cannot be decoded.
using ImportCdStreamOpener = StreamHandle (*)(const char* path, uint32_t flags);
void SetImportCdStreamOpener(ImportCdStreamOpener opener);
ImportCdStreamOpener GetImportCdStreamOpener();

// Decodes `source` into the 16-bit PCM WAV `destination` (the shared WAV
// writer's 44-byte header), one second at a time, showing "Opening... m:ss"
// after each second. Shows its own message and returns false when the
// source cannot be opened, the destination cannot be created or a write
// fails (disk full). A source that ends early (a truncated file) keeps what
// decoded. The main window is disabled by the caller.
bool DecodeToWav(const std::string& source, const std::string& destination);

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_DECODE_H_
