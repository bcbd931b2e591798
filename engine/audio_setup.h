// Start-up set-up of the audio library and the audio file statistics that
// import and the editor's reload use. Main thread only.
#ifndef QV3_ENGINE_AUDIO_SETUP_H_
#define QV3_ENGINE_AUDIO_SETUP_H_

#include <cstdint>
#include <string>

#include "audiolib/audiolib.h"

namespace qv3 {

// The library version's high word this program was written for.
inline constexpr uint32_t kExpectedAudioVersionHigh = 0x0204;

// Shows "An incorrect version of BASS was loaded" and returns false unless
// the high 16 bits of `version` are 0x0204.
bool CheckAudioVersion(uint32_t version);

// The text of an initialisation error code, formatted with the code
// ("3 - There is no available device driver - ..."); empty for codes
// without a text.
std::string AudioInitErrorText(int code);

// Once at start-up: checks the version, initialises the default output
// device at 44100 Hz (QV3_AUDIO_DEVICE=null makes it the null device) and
// loads the two codec plug-ins (no-ops here: the library decodes everything
// itself; their results are ignored). Shows the failure message and returns
// false when the program must end.
bool AudioStartup();

// Opens CD tracks for AudioFileStats (the CD subsystem installs it; nullptr
// restores the default, which refuses every track with kErrorNotAvail).
using CdStreamOpener = StreamHandle (*)(const char* path, uint32_t flags);
void SetCdStreamOpener(CdStreamOpener opener);

// True when `path` names a CD track: at least 5 characters long and its first
// ".cda" ends the string.
bool IsCdTrackPath(const std::string& path);

// Probes a file (or a CD track) and frees it again. Returns a single static
// record, cleared at the start of every call and overwritten by the next one,
// or nullptr with *error set to the library's code. On success *error is 0,
// *seconds the length and *bitrate the average kbit/s (file bytes x 8 / 1000
// per second, rounded); a file without audio frames gives bitrate 0. The
// record's file name points into the static record, not into the freed
// stream. Any output pointer may be nullptr.
const ChannelInfo* AudioFileStats(const std::string& path, int* bitrate, double* seconds,
                                  int* error);

}  // namespace qv3

#endif  // QV3_ENGINE_AUDIO_SETUP_H_
