#include "engine/audio_setup.h"

#include <cstring>

#include "platform/ui_services.h"

namespace qv3 {
namespace {

CdStreamOpener g_cd_opener = nullptr;

struct StatsRecord {
  ChannelInfo info;
  std::string filename;
};
StatsRecord g_stats;

}  // namespace

bool CheckAudioVersion(uint32_t version) {
  if ((version >> 16) == kExpectedAudioVersionHigh) return true;
  MessageBoxCaption("", MsgIcon::kNone, "%s", "An incorrect version of BASS was loaded");
  return false;
}

std::string AudioInitErrorText(int code) {
  const char* text = nullptr;
  switch (code) {
    case 1: text = "%d - There is insufficient memory."; break;
    case 3: text = "%d - There is no available device driver - the device may already be in use."; break;
    case 6: text = "%d - The specified format is not supported by the device."; break;
    case 14: text = "%d - The device has already been initialized."; break;
    case 21: text = "%d - The device has no 3D support."; break;
    case 23:
      text = "%d - The device number specified is invalid (is there a sound card on this system, "
             "and are its drivers installed?)";
      break;
    case -1: text = "%d - General audio initialization problem."; break;
    default: return std::string();
  }
  return StringPrintf(text, code);
}

bool AudioStartup() {
  if (!CheckAudioVersion(AudioGetVersion())) return false;
  if (!AudioInit(-1, 44100, 0)) {
    std::string reason = AudioInitErrorText(ErrorGetCode());
    MessageBoxCaption("", MsgIcon::kNone,
                      "Sorry, but the audio device could not be initialized.  Error was: %s",
                      reason.c_str());
    return false;
  }
  AudioPluginLoad("bass_aac.dll", 0);
  AudioPluginLoad("basswma.dll", 0);
  return true;
}

void SetCdStreamOpener(CdStreamOpener opener) { g_cd_opener = opener; }

bool IsCdTrackPath(const std::string& path) {
  if (path.size() < 5) return false;
  size_t at = path.find(".cda");
  return at != std::string::npos && at + 4 == path.size();
}

const ChannelInfo* AudioFileStats(const std::string& path, int* bitrate, double* seconds,
                                  int* error) {
  g_stats.info = ChannelInfo{};
  g_stats.filename.clear();
  if (bitrate) *bitrate = 0;
  if (seconds) *seconds = 0.0;
  if (error) *error = 0;

  StreamHandle stream = 0;
  int code = kErrorNotAvail;
  if (IsCdTrackPath(path)) {
    if (g_cd_opener) {
      stream = g_cd_opener(path.c_str(), 0);
      if (!stream) code = ErrorGetCode();
    }
  } else {
    stream = StreamCreateFile(path.c_str(), 0, 0, 0);
    if (!stream) code = ErrorGetCode();
  }
  if (!stream) {
    if (error) *error = code;
    return nullptr;
  }

  ChannelGetInfo(stream, &g_stats.info);
  if (g_stats.info.filename) g_stats.filename = g_stats.info.filename;
  g_stats.info.filename = g_stats.info.filename ? g_stats.filename.c_str() : nullptr;
  uint64_t length = ChannelGetLength(stream, kPosByte);
  double secs = length == kPositionError ? 0.0 : ChannelBytes2Seconds(stream, length);
  if (!(secs > 0.0)) secs = 0.0;  // negative or NaN from a failed call
  uint64_t file_size = StreamGetFilePosition(stream, kFilePosEnd);
  if (file_size == kPositionError) file_size = 0;
  // A file with no audio frames has no bit rate (and must not divide by 0).
  int rate = 0;
  if (secs > 0.0) {
    double kbps = static_cast<double>(file_size) / (secs * 125.0) + 0.5;
    rate = kbps < 2147483647.0 ? static_cast<int>(kbps) : 2147483647;
  }
  StreamFree(stream);
  if (bitrate) *bitrate = rate;
  if (seconds) *seconds = secs;
  return &g_stats.info;
}

}  // namespace qv3
