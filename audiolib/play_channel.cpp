#include "audiolib/play_channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audiolib/sample_convert.h"

namespace qv3::audio_internal {
namespace {

constexpr int64_t kFillChunk = 4096;
// Decoded synchronously when a file stream is created or repositioned from
// an ordinary thread, so playback starts without a gap.
constexpr int64_t kPrefillFrames = 16384;

}  // namespace

PlayChannel::PlayChannel(AudioHandle handle, Mixer* mixer, uint32_t rate, uint32_t chans, uint32_t flags)
    : Channel(handle, ChannelKind::kPush, rate, chans, flags & ~kStreamDecode, kCtypeStream, 0, ""),
      mixer_(mixer) {}

PlayChannel::PlayChannel(AudioHandle handle, Mixer* mixer, std::unique_ptr<Decoder> decoder, uint32_t flags,
                         std::string filename)
    : Channel(handle, ChannelKind::kFile, decoder->info().rate, decoder->info().channels, flags,
              decoder->info().ctype, decoder->info().origres, std::move(filename)),
      mixer_(mixer),
      decoder_(std::move(decoder)) {}

PlayChannel::~PlayChannel() { Shutdown(); }

bool PlayChannel::Start() {
  const uint32_t dev_rate = mixer_->rate();
  const size_t ch = chans_;
  try {
    if (rate_ != dev_rate) {
      pull_max_ = static_cast<uint32_t>(std::ceil(static_cast<double>(Mixer::kMaxPeriod) * rate_ / dev_rate)) +
                  4 * Resampler::kMaxHalfTaps + 16;
      resampler_.Configure(rate_, dev_rate, chans_, pull_max_);
    } else {
      pull_max_ = Mixer::kMaxPeriod;
    }
    raw_.assign(static_cast<size_t>(pull_max_) * frame_bytes_, 0);
    pull_buf_.assign(pull_max_ * ch, 0.0f);
    scratch_.assign(pull_max_ * ch, 0.0f);
    mix_buf_.assign(Mixer::kMaxPeriod * ch, 0.0f);
    partial_.reserve(frame_bytes_);
    vol_ramp_.cur = vol_ramp_.target = 1.0f;
    vol_cmd_.target = 1.0f;
    vol_cmd_.now = 1.0f;
    if (kind_ == ChannelKind::kFile) {
      ring_frames_ = std::max<int64_t>(4 * static_cast<int64_t>(rate_), 8 * kFillChunk);
      history_frames_ = ring_frames_ / 2;
      ring_.assign(static_cast<size_t>(ring_frames_) * ch, 0.0f);
      fill_buf_.assign(static_cast<size_t>(kFillChunk) * ch, 0.0f);
      {
        std::lock_guard lock(dec_mu_);
        SeekFeeder(0);
        FillRing(kPrefillFrames);
      }
      feeder_ = std::thread([this] { FeederLoop(); });
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void PlayChannel::Shutdown() {
  if (feeder_.joinable()) {
    {
      std::lock_guard lock(dec_mu_);
      feeder_quit_ = true;
    }
    feeder_cv_.notify_all();
    feeder_.join();
  }
}

void PlayChannel::WaitReaders() {
  if (!InMixer()) mixer_->WaitQuiescent();
}

void PlayChannel::Hold() {
  hold_.store(true, std::memory_order_seq_cst);
  mixer_->WaitQuiescent();
}

void PlayChannel::Release() { hold_.store(false, std::memory_order_seq_cst); }

void PlayChannel::ResetMixerSide(int64_t position) {
  read_pos_.store(position);
  segment_start_.store(position);
  last_mix_end_.store(0);
  jumped_ = false;
  if (resampler_.active()) resampler_.Reset();
}

// ---- API side ----

uint32_t PlayChannel::PutData(const void* buffer, uint32_t length, int* err) {
  if (kind_ != ChannelKind::kPush) {
    *err = kErrorNotAvail;
    return kDataError;
  }
  const bool end = (length & kStreamEnd) != 0;
  uint32_t bytes = length & ~kStreamEnd;
  if (end_total_.load() >= 0) {
    *err = kErrorEnded;
    return kDataError;
  }
  if (bytes && !buffer) {
    *err = kErrorIllParam;
    return kDataError;
  }
  const auto* src = static_cast<const uint8_t*>(buffer);
  // Complete a partial frame left by the previous call first.
  if (!partial_.empty() && bytes) {
    uint32_t need = frame_bytes_ - static_cast<uint32_t>(partial_.size());
    uint32_t take = std::min(need, bytes);
    partial_.insert(partial_.end(), src, src + take);
    src += take;
    bytes -= take;
    if (partial_.size() == frame_bytes_) {
      std::vector<uint8_t> frame(partial_);
      partial_.clear();
      if (is_float_) {
        auto* f = reinterpret_cast<float*>(frame.data());
        for (uint32_t i = 0; i < chans_; ++i) f[i] = SanitizeSample(f[i]);
      }
      if (!queue_.Put(frame.data(), frame_bytes_)) {
        *err = kErrorMem;
        return kDataError;
      }
    }
  }
  uint32_t whole = bytes - bytes % frame_bytes_;
  if (whole) {
    bool ok;
    if (is_float_) {
      sanitize_.resize(whole / 4);
      std::memcpy(sanitize_.data(), src, whole);
      for (float& v : sanitize_) v = SanitizeSample(v);
      ok = queue_.Put(sanitize_.data(), whole);
    } else {
      ok = queue_.Put(src, whole);
    }
    if (!ok) {
      *err = kErrorMem;
      return kDataError;
    }
  }
  if (bytes > whole) partial_.insert(partial_.end(), src + whole, src + bytes);
  if (end) {
    partial_.clear();
    end_total_.store(static_cast<int64_t>(queue_.put_total()));
  }
  return static_cast<uint32_t>(std::min<uint64_t>(queue_.queued(), 0x7fffffffu));
}

bool PlayChannel::Play(bool restart, int* err) {
  if (restart) {
    if (kind_ == ChannelKind::kPush) {
      Hold();
      queue_.Clear();
      end_total_.store(-1);
      partial_.clear();
      ResetMixerSide(0);
      Release();
    } else if (!SetPositionFrame(0, err)) {
      return false;
    }
  }
  state_.store(kActivePlaying);
  return true;
}

bool PlayChannel::Pause(int* err) {
  uint32_t expected = kActivePlaying;
  if (state_.compare_exchange_strong(expected, kActivePaused)) return true;
  *err = expected == kActivePaused ? kErrorAlready : kErrorNoPlay;
  return false;
}

bool PlayChannel::Stop(int*) {
  if (kind_ == ChannelKind::kPush) {
    Hold();
    state_.store(kActiveStopped);
    queue_.Clear();
    end_total_.store(-1);
    partial_.clear();
    ResetMixerSide(0);
    Release();
  } else {
    state_.store(kActiveStopped);
  }
  return true;
}

bool PlayChannel::Ended() const {
  if (kind_ == ChannelKind::kPush) {
    int64_t end = end_total_.load();
    return end >= 0 && static_cast<int64_t>(queue_.consumed_total()) >= end;
  }
  int64_t eof = eof_frame_.load(std::memory_order_acquire);
  return eof >= 0 && seek_gen_.load() == seek_ack_.load() && read_pos_.load() >= eof;
}

uint32_t PlayChannel::IsActive() const {
  uint32_t st = state_.load();
  if (st != kActivePlaying) return st;
  if (Ended()) return kActiveStopped;  // the mixer is about to stop it
  if (kind_ == ChannelKind::kPush) return queue_.queued() == 0 ? kActiveStalled : kActivePlaying;
  if (seek_gen_.load() != seek_ack_.load() || ring_end_.load() <= read_pos_.load()) return kActiveStalled;
  return kActivePlaying;
}

uint64_t PlayChannel::PositionBytes() const {
  int64_t consumed = read_pos_.load();
  const int64_t seg = segment_start_.load();
  const int64_t lag_dev = last_mix_end_.load() - mixer_->HeardFrameNow();
  int64_t pos = consumed;
  if (lag_dev > 0) {
    const int64_t lag = static_cast<int64_t>(static_cast<double>(lag_dev) * rate_ / mixer_->rate());
    pos = std::max(std::min(seg, consumed), consumed - lag);
  }
  if (pos < 0) pos = 0;
  return static_cast<uint64_t>(pos) * frame_bytes_;
}

uint64_t PlayChannel::LengthBytes(int* err) const {
  if (kind_ == ChannelKind::kPush) return queue_.put_total();
  int64_t frames = decoder_->info().length_frames;
  if (frames < 0) {
    *err = kErrorNotAvail;
    return kPositionError;
  }
  return static_cast<uint64_t>(frames) * frame_bytes_;
}

uint32_t PlayChannel::QueuedBytes() const {
  if (kind_ == ChannelKind::kPush) return static_cast<uint32_t>(std::min<uint64_t>(queue_.queued(), 0x7fffffffu));
  int64_t n = ring_end_.load() - read_pos_.load();
  return n > 0 ? static_cast<uint32_t>(n * frame_bytes_) : 0;
}

uint64_t PlayChannel::FilePosition(uint32_t mode, int* err) const {
  if (kind_ != ChannelKind::kFile) {
    *err = kErrorNotFile;
    return kPositionError;
  }
  if (mode == kFilePosEnd) return decoder_->info().file_size;
  if (mode == kFilePosCurrent) {
    std::lock_guard lock(const_cast<std::mutex&>(dec_mu_));
    return decoder_->BytesRead();
  }
  *err = kErrorIllType;
  return kPositionError;
}

bool PlayChannel::SetPositionFrame(int64_t frame, int* err) {
  if (frame < 0) {
    *err = kErrorPosition;
    return false;
  }
  if (kind_ == ChannelKind::kPush) {
    // A queue has no past or future to move to; 0 empties it.
    if (frame != 0) {
      *err = kErrorNotAvail;
      return false;
    }
    Hold();
    queue_.Clear();
    end_total_.store(-1);
    partial_.clear();
    ResetMixerSide(0);
    Release();
    return true;
  }
  const auto& info = decoder_->info();
  if (info.length_exact && frame > info.length_frames) {
    *err = kErrorPosition;
    return false;
  }
  Hold();
  bool ok;
  {
    std::lock_guard lock(dec_mu_);
    ok = decoder_->Seek(frame);
    if (!ok) {
      *err = kErrorPosition;
      // Put the decoder back where the ring ends, so the feeder continues.
      decoder_->Seek(ring_end_.load());
    } else {
      SeekFeeder(frame);
      ResetMixerSide(frame);
      FillRing(kPrefillFrames);
    }
  }
  Release();
  feeder_cv_.notify_all();
  return ok;
}

bool PlayChannel::SetAttribute(uint32_t attrib, float value, uint32_t time_ms, int* err) {
  if (!(value == value)) {
    *err = kErrorIllParam;
    return false;
  }
  AttrCommand* cmd;
  if (attrib == kAttribVol) {
    value = std::max(0.0f, value);
    cmd = &vol_cmd_;
  } else if (attrib == kAttribPan) {
    value = std::clamp(value, -1.0f, 1.0f);
    cmd = &pan_cmd_;
  } else {
    *err = kErrorIllType;
    return false;
  }
  const uint32_t frames = static_cast<uint32_t>(static_cast<uint64_t>(time_ms) * mixer_->rate() / 1000);
  cmd->target.store(value);
  cmd->frames.store(frames);
  if (frames == 0) cmd->now.store(value);
  cmd->sliding.store(frames > 0);
  cmd->seq.fetch_add(1, std::memory_order_release);
  return true;
}

bool PlayChannel::GetAttribute(uint32_t attrib, float* value, int* err) const {
  if (attrib == kAttribVol) {
    *value = vol_cmd_.now.load();
  } else if (attrib == kAttribPan) {
    *value = pan_cmd_.now.load();
  } else {
    *err = kErrorIllType;
    return false;
  }
  return true;
}

bool PlayChannel::IsSliding(uint32_t attrib) const {
  if (attrib == kAttribVol) return vol_cmd_.sliding.load();
  if (attrib == kAttribPan) return pan_cmd_.sliding.load();
  return false;
}

// ---- mix-time sync side ----

bool PlayChannel::MixerSetPositionFrame(int64_t frame, int* err) {
  if (kind_ != ChannelKind::kFile || frame < 0) {
    *err = kind_ != ChannelKind::kFile ? kErrorNotAvail : kErrorPosition;
    return false;
  }
  const auto& info = decoder_->info();
  if (info.length_exact && frame > info.length_frames) {
    *err = kErrorPosition;
    return false;
  }
  const bool pending = seek_gen_.load(std::memory_order_acquire) != seek_ack_.load(std::memory_order_acquire);
  const int64_t end = ring_end_.load(std::memory_order_acquire);
  const int64_t base = ring_base_.load(std::memory_order_acquire);
  // Frames still in the ring (minus what the feeder may be overwriting
  // right now) are reached without a gap.
  if (!pending && frame >= base && frame <= end && frame >= end - ring_frames_ + kFillChunk) {
    read_pos_.store(frame);
  } else {
    seek_target_.store(frame);
    seek_gen_.fetch_add(1, std::memory_order_release);
    read_pos_.store(frame);
  }
  segment_start_.store(frame);
  jumped_ = true;
  return true;
}

bool PlayChannel::MixerPause() {
  uint32_t expected = kActivePlaying;
  return state_.compare_exchange_strong(expected, kActivePaused);
}

bool PlayChannel::MixerPlay() {
  state_.store(kActivePlaying);
  return true;
}

// ---- feeder ----

void PlayChannel::SeekFeeder(int64_t frame) {
  ring_base_.store(frame);
  ring_end_.store(frame, std::memory_order_release);
  eof_frame_.store(-1);
  seek_ack_.store(seek_gen_.load(), std::memory_order_release);
}

int64_t PlayChannel::FillRing(int64_t max_frames) {
  int64_t total = 0;
  const size_t ch = chans_;
  while (total < max_frames && eof_frame_.load() < 0) {
    const int64_t base = ring_base_.load();
    const int64_t end = ring_end_.load();
    const int64_t protect = std::max(base, read_pos_.load() - history_frames_);
    int64_t free = protect + ring_frames_ - end;
    int64_t want = std::min({free, max_frames - total, kFillChunk});
    if (want <= 0) break;
    int64_t n = decoder_->Read(fill_buf_.data(), want);
    if (n <= 0) {
      eof_frame_.store(end, std::memory_order_release);
      break;
    }
    for (int64_t i = 0; i < n;) {
      const int64_t slot = (end + i) % ring_frames_;
      const int64_t run = std::min(n - i, ring_frames_ - slot);
      std::memcpy(&ring_[static_cast<size_t>(slot) * ch], &fill_buf_[static_cast<size_t>(i) * ch],
                  sizeof(float) * static_cast<size_t>(run) * ch);
      i += run;
    }
    ring_end_.store(end + n, std::memory_order_release);
    total += n;
  }
  return total;
}

void PlayChannel::FeederLoop() {
  std::unique_lock lock(dec_mu_);
  while (!feeder_quit_) {
    bool worked = false;
    const uint32_t gen = seek_gen_.load(std::memory_order_acquire);
    if (gen != seek_ack_.load(std::memory_order_acquire)) {
      const int64_t target = seek_target_.load();
      const bool ok = decoder_->Seek(target);
      ring_base_.store(target);
      ring_end_.store(target, std::memory_order_release);
      eof_frame_.store(ok ? -1 : target);
      seek_ack_.store(gen, std::memory_order_release);
      worked = true;
    }
    if (eof_frame_.load() < 0 && FillRing(4 * kFillChunk) > 0) worked = true;
    // The mixer cannot signal (that would be a lock), so the feeder polls.
    if (!worked) feeder_cv_.wait_for(lock, std::chrono::milliseconds(2));
  }
}

// ---- mixer side ----

void PlayChannel::PickUpRamp(AttrCommand& cmd, Ramp& ramp) {
  const uint32_t seq = cmd.seq.load(std::memory_order_acquire);
  if (seq == ramp.seen_seq) return;
  ramp.seen_seq = seq;
  ramp.target = cmd.target.load();
  const uint32_t frames = cmd.frames.load();
  if (frames == 0) {
    ramp.cur = ramp.target;
    ramp.remaining = 0;
    cmd.now.store(static_cast<float>(ramp.cur));
    cmd.sliding.store(false);
  } else {
    ramp.remaining = frames;
    ramp.step = (ramp.target - ramp.cur) / frames;
  }
}

void PlayChannel::FireSync(const SyncEntry& s, uint32_t data) {
  if (s.mixtime) {
    SetCurrentMixtimeChannel(this);
    s.proc(s.handle, handle_, data, s.user);
    SetCurrentMixtimeChannel(nullptr);
  } else {
    mixer_->PostSync(SyncEvent{handle_, s.handle, data});
  }
}

bool PlayChannel::FireSyncsAt(int64_t frame, bool* jumped) {
  bool fired = false;
  jumped_ = false;
  for (const auto& s : syncs()->entries) {
    if (s->type != kSyncPos || s->frame != frame || s->spent.load(std::memory_order_relaxed)) continue;
    if (s->onetime) s->spent.store(true, std::memory_order_relaxed);
    fired = true;
    FireSync(*s, s->byte_pos);
  }
  *jumped = jumped_;
  return fired;
}

void PlayChannel::FireEndSyncs() {
  for (const auto& s : syncs()->entries) {
    if (s->type != kSyncEnd || s->spent.load(std::memory_order_relaxed)) continue;
    if (s->onetime) s->spent.store(true, std::memory_order_relaxed);
    FireSync(*s, 0);
  }
}

uint32_t PlayChannel::ReadRaw(uint8_t* dst, uint32_t frames, bool* ended) {
  *ended = false;
  if (kind_ == ChannelKind::kPush) {
    const uint32_t got = queue_.Read(dst, frames * frame_bytes_) / frame_bytes_;
    if (got == 0) *ended = Ended();
    read_pos_.store(read_pos_.load(std::memory_order_relaxed) + got, std::memory_order_release);
    return got;
  }
  if (seek_gen_.load(std::memory_order_acquire) != seek_ack_.load(std::memory_order_acquire)) return 0;
  const int64_t rp = read_pos_.load(std::memory_order_relaxed);
  const int64_t avail = ring_end_.load(std::memory_order_acquire) - rp;
  if (avail <= 0) {
    *ended = Ended();
    return 0;
  }
  const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(avail, frames));
  const size_t ch = chans_;
  for (uint32_t i = 0; i < n;) {
    const int64_t slot = (rp + i) % ring_frames_;
    const uint32_t run = static_cast<uint32_t>(std::min<int64_t>(n - i, ring_frames_ - slot));
    const float* src = &ring_[static_cast<size_t>(slot) * ch];
    if (is_float_) {
      std::memcpy(dst + static_cast<size_t>(i) * frame_bytes_, src, sizeof(float) * run * ch);
    } else {
      FloatToInt16(src, reinterpret_cast<int16_t*>(dst + static_cast<size_t>(i) * frame_bytes_), run * ch);
    }
    i += run;
  }
  read_pos_.store(rp + n, std::memory_order_release);
  return n;
}

uint32_t PlayChannel::Pull(float* dst, uint32_t frames) {
  uint32_t got = 0;
  int64_t last_fired = -1;
  int rounds = 0;
  while (got < frames) {
    if (state_.load(std::memory_order_relaxed) != kActivePlaying) break;
    const SyncList* list = syncs();
    const int64_t pos = read_pos_.load(std::memory_order_relaxed);
    if (pos != last_fired && !list->entries.empty()) {
      bool jumped = false;
      const bool fired = FireSyncsAt(pos, &jumped);
      last_fired = pos;
      if (fired && jumped) {
        // A handler that jumps back to where its sync fired makes a loop of
        // length zero: the rest of this pass stays silent.
        if (read_pos_.load(std::memory_order_relaxed) == pos || ++rounds > 16) break;
        last_fired = -1;
        continue;
      }
      if (state_.load(std::memory_order_relaxed) != kActivePlaying) break;
    }
    uint32_t limit = frames - got;
    const int64_t now = read_pos_.load(std::memory_order_relaxed);
    for (const auto& s : list->entries) {
      if (s->type == kSyncPos && s->frame > now && !s->spent.load(std::memory_order_relaxed))
        limit = static_cast<uint32_t>(std::min<int64_t>(limit, s->frame - now));
    }
    bool ended = false;
    const uint32_t n = ReadRaw(raw_.data() + static_cast<size_t>(got) * frame_bytes_, limit, &ended);
    if (n == 0) {
      if (ended) {
        uint32_t expected = kActivePlaying;
        if (state_.compare_exchange_strong(expected, kActiveStopped)) {
          FireEndSyncs();
          // Freed by the sync thread: the mixer cannot free anything.
          if (flags_ & kStreamAutoFree) mixer_->PostSync(SyncEvent{handle_, 0, 0});
        }
      }
      break;
    }
    got += n;
    rounds = 0;
  }
  if (got == 0) return 0;
  const size_t samples = static_cast<size_t>(got) * chans_;
  if (RunChain(chain(), handle_, raw_.data(), got, chans_, is_float_, rate_, scratch_.data(), dst)) return got;
  if (is_float_)
    std::memcpy(dst, raw_.data(), samples * sizeof(float));
  else
    Int16ToFloat(reinterpret_cast<const int16_t*>(raw_.data()), dst, samples);
  return got;
}

uint32_t PlayChannel::Render(uint32_t frames) {
  if (!resampler_.active()) return Pull(mix_buf_.data(), frames);
  uint32_t produced = 0;
  while (produced < frames) {
    produced += resampler_.Produce(mix_buf_.data() + static_cast<size_t>(produced) * chans_, frames - produced);
    if (produced >= frames) break;
    uint32_t need = std::min({resampler_.InputNeeded(frames - produced), resampler_.Room(), pull_max_});
    if (need == 0) break;
    const uint32_t n = Pull(pull_buf_.data(), need);
    if (n == 0) break;
    resampler_.Push(pull_buf_.data(), n);
  }
  return produced;
}

void PlayChannel::MixInto(float* out, uint32_t frames, int64_t device_frame) {
  if (hold_.load(std::memory_order_seq_cst)) return;
  PickUpRamp(vol_cmd_, vol_ramp_);
  PickUpRamp(pan_cmd_, pan_ramp_);
  if (state_.load(std::memory_order_acquire) != kActivePlaying) return;
  const uint32_t produced = Render(frames);
  const float* in = mix_buf_.data();
  const uint32_t ch = chans_;
  const uint32_t right = ch > 1 ? 1 : 0;
  auto pan_left = [](float pan) { return pan > 0.0f ? 1.0f - pan : 1.0f; };
  auto pan_right = [](float pan) { return pan < 0.0f ? 1.0f + pan : 1.0f; };
  const bool ramping = vol_ramp_.remaining || pan_ramp_.remaining;
  uint32_t i = 0;
  // Linear segments up to the end of a ramp: the gains move every sample, so
  // no step is heard as zipper noise.
  while (i < frames && (vol_ramp_.remaining || pan_ramp_.remaining)) {
    uint32_t seg = frames - i;
    if (vol_ramp_.remaining) seg = std::min(seg, vol_ramp_.remaining);
    if (pan_ramp_.remaining) seg = std::min(seg, pan_ramp_.remaining);
    const uint32_t mix_end = std::min(i + seg, produced);
    // Values from the segment's start (not summed step by step, which drifts);
    // a ramp that ends here ends exactly on its target.
    const float v0 = static_cast<float>(vol_ramp_.cur);
    const float dv = vol_ramp_.remaining ? static_cast<float>(vol_ramp_.step) : 0.0f;
    const float p0 = static_cast<float>(pan_ramp_.cur);
    const float dp = pan_ramp_.remaining ? static_cast<float>(pan_ramp_.step) : 0.0f;
    const uint32_t last = i + seg - 1;
    const bool vol_ends = vol_ramp_.remaining == seg;
    const bool pan_ends = pan_ramp_.remaining == seg;
    auto vol_at = [&](uint32_t k) {
      return (vol_ends && k == last) ? static_cast<float>(vol_ramp_.target) : v0 + dv * static_cast<float>(k - i + 1);
    };
    if (pan_ramp_.remaining == 0) {
      const float pl = pan_left(p0), pr = pan_right(p0);
      for (uint32_t k = i; k < mix_end; ++k) {
        const float v = vol_at(k);
        out[2 * k] += v * pl * in[k * ch];
        out[2 * k + 1] += v * pr * in[k * ch + right];
      }
    } else {
      for (uint32_t k = i; k < mix_end; ++k) {
        const float v = vol_at(k);
        const float p = (pan_ends && k == last) ? static_cast<float>(pan_ramp_.target)
                                                : p0 + dp * static_cast<float>(k - i + 1);
        out[2 * k] += v * pan_left(p) * in[k * ch];
        out[2 * k + 1] += v * pan_right(p) * in[k * ch + right];
      }
    }
    for (Ramp* r : {&vol_ramp_, &pan_ramp_}) {
      if (!r->remaining) continue;
      r->remaining -= seg;
      r->cur = r->remaining ? r->cur + r->step * seg : r->target;
    }
    i += seg;
  }
  if (i < produced) {
    const float vol = static_cast<float>(vol_ramp_.cur);
    const float gl = vol * pan_left(static_cast<float>(pan_ramp_.cur));
    const float gr = vol * pan_right(static_cast<float>(pan_ramp_.cur));
    for (; i < produced; ++i) {
      out[2 * i] += gl * in[i * ch];
      out[2 * i + 1] += gr * in[i * ch + right];
    }
  }
  if (ramping) {
    vol_cmd_.now.store(static_cast<float>(vol_ramp_.cur), std::memory_order_relaxed);
    pan_cmd_.now.store(static_cast<float>(pan_ramp_.cur), std::memory_order_relaxed);
    if (vol_ramp_.remaining == 0) vol_cmd_.sliding.store(false, std::memory_order_relaxed);
    if (pan_ramp_.remaining == 0) pan_cmd_.sliding.store(false, std::memory_order_relaxed);
  }
  if (produced) last_mix_end_.store(device_frame + produced, std::memory_order_release);
}

}  // namespace qv3::audio_internal
