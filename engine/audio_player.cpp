// AudioPlayer: building, the source (open, close), accessors, volume and
// solo. The transport (play, worker, timer, pause, stop, positions) is in
// player_worker.cpp.
#include "engine/audio_player.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qv3 {
namespace {

TimePitchProcessor* StretchCreate(int mode, int quality, int channels, float rate,
                                  TimePitchReadCallback read, void* user) {
  return TimePitchCreate(mode, quality, channels, rate, read, user);
}

}  // namespace

const ProcessorOps& DefaultProcessorOps() {
  static const ProcessorOps ops = {StretchCreate,  TimePitchProcess, TimePitchSetProperty,
                                   TimePitchReset, TimePitchDestroy, TimePitchPrerollFrames};
  return ops;
}

AudioPlayer::AudioPlayer(PlayerOwner* owner, const ProcessorOps& processor_ops)
    : ops_(processor_ops), stream_(std::make_unique<PlayerStream>()), owner_(owner) {}

AudioPlayer::~AudioPlayer() {
  StopWorker();
  timer_.Kill();
  // Nothing reaches the owner from here on: it may be half destroyed itself.
  owner_ = nullptr;
  CloseSource();
}

void AudioPlayer::Notify(int code, int64_t value) {
  if (owner_) owner_->OnPlayerNotify(code, value);
}

bool AudioPlayer::Open() const {
  return stream_->decode_stream != 0 && stream_->processor != nullptr &&
         stream_->output_stream != 0;
}

int AudioPlayer::OpenSource(const std::string& path, int quality, int mode, bool notify) {
  PlayerStream& s = *stream_;
  if (s.decode_stream || s.processor || s.output_stream) return kPlayerAlreadyOpen;

  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  bool mp3 = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".mp3") == 0;
  StreamHandle decode =
      StreamCreateFile(path.c_str(), 0, 0, mp3 ? kPlayerDecodeFlagsMp3 : kPlayerDecodeFlags);
  if (!decode) return kPlayerCannotDecode;

  ChannelInfo info{};
  if (!ChannelGetInfo(decode, &info) || info.chans == 0 || info.chans > 2 || info.freq == 0) {
    StreamFree(decode);
    return info.chans == 0 || info.chans > 2 ? kPlayerBadChannels : kPlayerCannotDecode;
  }
  if (info.origres == 0) info.origres = 16;
  const int ch = static_cast<int>(info.chans);

  uint64_t length = ChannelGetLength(decode, kPosByte);
  if (length == kPositionError) length = 0;
  // The length count callers read back: bytes / d / (resolution / 8) /
  // channels, d = 1 only at exactly 88200 Hz. It equals the frame count for
  // 16-bit sources at other rates. A resolution under 8 bits counts as 8.
  uint64_t d = info.freq == 88200 ? 1 : 2;
  uint64_t res_bytes = std::max<uint64_t>(1, info.origres / 8);
  int64_t total = static_cast<int64_t>(length / d / res_bytes / info.chans);

  float* read_buffer = static_cast<float*>(std::calloc(size_t{info.chans} * kPlayerBlockFrames,
                                                       sizeof(float)));
  s.decode_stream = decode;
  s.channel_info = info;
  s.read_buffer = read_buffer;
  TimePitchProcessor* proc =
      read_buffer ? ops_.create(mode, quality, ch, static_cast<float>(info.freq),
                                PlayerSourceRead, &s)
                  : nullptr;
  if (!proc) {
    StreamFree(decode);
    std::free(read_buffer);
    s.Clear();
    return kPlayerNoProcessor;
  }
  s.processor = proc;
  processing_quality_ = quality;
  processing_mode_ = mode;
  total_frames_ = total;

  s.processed_buffers = AllocPlanarBuffers(ch, kPlayerBlockFrames);
  s.output_buffer = static_cast<int16_t*>(
      std::calloc(size_t{info.chans} * kPlayerBlockFrames, sizeof(int16_t)));
  s.output_stream = StreamCreatePush(info.freq, info.chans, 0);
  if (!s.processed_buffers || !s.output_buffer || !s.output_stream) {
    // Never leave a half-open source: it could be neither played nor reopened.
    CloseSource();
    return kPlayerCannotDecode;
  }
  ChannelSetAttribute(s.output_stream, kAttribVol, volume_.load());
  last_output_state_.store(kOutputStopped);
  if (owner_) owner_->OnOutputStreamChanged(s.output_stream);
  if (notify) Notify(kPlayerNotifyOpened, 0);
  return kPlayerOpenOk;
}

int AudioPlayer::CloseSource() {
  PlayerStream& s = *stream_;
  // A source whose processor rebuild failed is not "open" but still holds
  // its streams: close it all the same.
  if (!s.decode_stream && !s.processor && !s.output_stream) return 0;
  StopPlayback();
  const int ch = static_cast<int>(s.channel_info.chans);
  if (s.decode_stream) StreamFree(s.decode_stream);
  if (s.output_stream) {
    StreamFree(s.output_stream);
    if (owner_) owner_->OnOutputStreamChanged(0);
  }
  std::free(s.output_buffer);
  if (s.processor) ops_.destroy(s.processor);
  if (s.processed_buffers) FreePlanarBuffers(s.processed_buffers, ch);
  std::free(s.read_buffer);
  s.Clear();
  total_frames_ = 0;
  return 1;
}

bool AudioPlayer::IsOpen() const { return Open(); }

bool AudioPlayer::IsPlaying() const {
  return Open() && ChannelIsActive(stream_->output_stream) == kActivePlaying;
}

bool AudioPlayer::IsPlayingOrStalled() const {
  if (!Open()) return false;
  uint32_t st = ChannelIsActive(stream_->output_stream);
  return st == kActivePlaying || st == kActiveStalled;
}

bool AudioPlayer::IsPaused() const {
  return Open() && ChannelIsActive(stream_->output_stream) == kActivePaused;
}

bool AudioPlayer::IsStopped() const {
  return Open() && ChannelIsActive(stream_->output_stream) == kActiveStopped;
}

int64_t AudioPlayer::LengthBytes() const {
  if (!Open()) return 0;
  uint64_t len = ChannelGetLength(stream_->decode_stream, kPosByte);
  return len == kPositionError ? 0 : static_cast<int64_t>(len);
}

double AudioPlayer::LengthSeconds() const {
  if (!Open()) return 0.0;
  uint64_t len = ChannelGetLength(stream_->decode_stream, kPosByte);
  if (len == kPositionError) return 0.0;
  return ChannelBytes2Seconds(stream_->decode_stream, len);
}

double AudioPlayer::BytesToSeconds(int64_t bytes) const {
  if (!Open() || bytes < 0) return 0.0;
  return ChannelBytes2Seconds(stream_->decode_stream, static_cast<uint64_t>(bytes));
}

int64_t AudioPlayer::SecondsToBytes(double seconds) const {
  if (!Open() || !(seconds > 0.0)) return 0;
  uint64_t b = ChannelSeconds2Bytes(stream_->decode_stream, seconds);
  return b == kPositionError ? 0 : static_cast<int64_t>(b);
}

uint32_t AudioPlayer::SampleRate() const { return Open() ? stream_->channel_info.freq : 0; }

int64_t AudioPlayer::TotalFrames() const { return Open() ? total_frames_ : 0; }

void AudioPlayer::SetVolume(float volume) {
  if (!Open()) return;
  volume_.store(volume);
  ChannelSetAttribute(stream_->output_stream, kAttribVol, volume);
}

void AudioPlayer::SetChannelSolo(bool right_only, bool left_only) {
  if (!Open() || (right_only && left_only)) return;
  float pan = right_only ? 1.0f : (left_only ? -1.0f : 0.0f);
  ChannelSetAttribute(stream_->output_stream, kAttribPan, pan);
}

}  // namespace qv3
