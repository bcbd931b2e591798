#include "audiolib/channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audiolib/sample_convert.h"

namespace qv3::audio_internal {

Channel::Channel(AudioHandle handle, ChannelKind kind, uint32_t rate, uint32_t chans, uint32_t flags,
                 uint32_t ctype, uint32_t origres, std::string filename)
    : handle_(handle),
      kind_(kind),
      rate_(rate),
      chans_(chans),
      flags_(flags),
      ctype_(ctype),
      origres_(origres),
      is_float_((flags & kSampleFloat) != 0),
      frame_bytes_(chans * ((flags & kSampleFloat) ? 4u : 2u)),
      filename_(std::move(filename)) {
  chain_owner_ = std::make_shared<Chain>();
  chain_ptr_.store(chain_owner_.get());
  syncs_owner_ = std::make_shared<SyncList>();
  syncs_ptr_.store(syncs_owner_.get());
}

ChannelInfo Channel::Info() const {
  ChannelInfo info{};
  info.freq = rate_;
  info.chans = chans_;
  info.flags = flags_;
  info.ctype = ctype_;
  info.origres = origres_;
  info.filename = filename_.empty() ? nullptr : filename_.c_str();
  return info;
}

void Channel::AddChainEntry(ChainEntry entry) {
  auto next = ChainWith(chain_owner_, std::move(entry));
  auto old = chain_owner_;
  chain_owner_ = next;
  chain_ptr_.store(next.get(), std::memory_order_release);
  WaitReaders();
}

bool Channel::RemoveChainEntry(AudioHandle h) {
  bool found = false;
  auto next = ChainWithout(chain_owner_, h, &found);
  if (!found) return false;
  auto old = chain_owner_;
  chain_owner_ = next;
  chain_ptr_.store(next.get(), std::memory_order_release);
  WaitReaders();  // the old chain (and the procedure) is no longer in use
  return true;
}

std::shared_ptr<ParamEq> Channel::FindEq(AudioHandle fx) const {
  for (const ChainEntry& e : chain_owner_->entries)
    if (e.handle == fx && e.eq) return e.eq;
  return nullptr;
}

bool Channel::HasHook(AudioHandle h) const {
  for (const ChainEntry& e : chain_owner_->entries)
    if (e.handle == h) return true;
  for (const auto& s : syncs_owner_->entries)
    if (s->handle == h) return true;
  return false;
}

void Channel::AddSync(std::shared_ptr<SyncEntry> sync) {
  auto next = std::make_shared<SyncList>(*syncs_owner_);
  next->entries.push_back(std::move(sync));
  auto old = syncs_owner_;
  syncs_owner_ = next;
  syncs_ptr_.store(next.get(), std::memory_order_release);
  WaitReaders();
}

bool Channel::RemoveSync(SyncHandle sync) {
  auto next = std::make_shared<SyncList>();
  bool found = false;
  for (const auto& s : syncs_owner_->entries) {
    if (s->handle == sync) {
      found = true;
      continue;
    }
    next->entries.push_back(s);
  }
  if (!found) return false;
  auto old = syncs_owner_;
  syncs_owner_ = next;
  syncs_ptr_.store(next.get(), std::memory_order_release);
  WaitReaders();
  return true;
}

std::shared_ptr<SyncEntry> Channel::FindSync(SyncHandle sync) const {
  for (const auto& s : syncs_owner_->entries)
    if (s->handle == sync) return s;
  return nullptr;
}

bool Channel::SetAttribute(uint32_t attrib, float value, uint32_t, int* err) {
  if (!(value == value)) {
    *err = kErrorIllParam;
    return false;
  }
  if (attrib == kAttribVol) {
    vol_ = std::max(0.0f, value);
  } else if (attrib == kAttribPan) {
    pan_ = std::clamp(value, -1.0f, 1.0f);
  } else {
    *err = kErrorIllType;
    return false;
  }
  return true;
}

bool Channel::GetAttribute(uint32_t attrib, float* value, int* err) const {
  if (attrib == kAttribVol) {
    *value = vol_;
  } else if (attrib == kAttribPan) {
    *value = pan_;
  } else {
    *err = kErrorIllType;
    return false;
  }
  return true;
}

double Channel::Bytes2Seconds(uint64_t bytes) const {
  if (rate_ == 0 || frame_bytes_ == 0) return 0.0;
  return static_cast<double>(bytes) / frame_bytes_ / rate_;
}

uint64_t Channel::Seconds2Bytes(double seconds) const {
  if (!(seconds > 0.0)) return 0;
  // Whole frames only: a byte count between frames would swap channels.
  double frames = std::floor(seconds * rate_ + 1e-9);
  if (frames > 9.0e15) frames = 9.0e15;
  return static_cast<uint64_t>(frames) * frame_bytes_;
}

// ---------------------------------------------------------------------------

DecodeChannel::DecodeChannel(AudioHandle handle, std::unique_ptr<Decoder> decoder, uint32_t flags,
                             std::string filename, uint32_t ctype_override)
    : Channel(handle, ChannelKind::kDecode, decoder->info().rate, decoder->info().channels, flags,
              ctype_override ? ctype_override : decoder->info().ctype, decoder->info().origres,
              std::move(filename)),
      decoder_(std::move(decoder)) {}

uint64_t DecodeChannel::LengthBytes(int* err) const {
  int64_t frames = decoder_->info().length_frames;
  if (frames < 0) {
    *err = kErrorNotAvail;
    return kPositionError;
  }
  return static_cast<uint64_t>(frames) * frame_bytes_;
}

bool DecodeChannel::SetPositionFrame(int64_t frame, int* err) {
  if (frame < 0) {
    *err = kErrorPosition;
    return false;
  }
  if (!decoder_->Seek(frame)) {
    // The decoder may have moved; find out where it is by seeking back.
    if (!decoder_->Seek(pos_)) {
      decoder_->Seek(0);
      pos_ = 0;
    }
    *err = kErrorPosition;
    return false;
  }
  pos_ = frame;
  ended_ = false;
  jumped_ = true;
  return true;
}

bool DecodeChannel::FireSyncsAt(int64_t frame, bool* jumped) {
  bool fired = false;
  const SyncList* list = syncs();
  jumped_ = false;
  for (const auto& s : list->entries) {
    if (s->type != kSyncPos || s->frame != frame || s->spent.load()) continue;
    if (s->onetime) s->spent.store(true);
    fired = true;
    s->proc(s->handle, handle_, s->byte_pos, s->user);
  }
  *jumped = jumped_;
  return fired;
}

void DecodeChannel::FireEndSyncs() {
  for (const auto& s : syncs()->entries) {
    if (s->type != kSyncEnd || s->spent.load()) continue;
    if (s->onetime) s->spent.store(true);
    s->proc(s->handle, handle_, 0, s->user);
  }
}

int64_t DecodeChannel::ReadFrames(int64_t frames) {
  const size_t ch = chans_;
  if (fbuf_.size() < static_cast<size_t>(frames) * ch) fbuf_.resize(static_cast<size_t>(frames) * ch);
  int64_t got = 0;
  int64_t last_fired = -1;
  int rounds = 0;
  while (got < frames) {
    if (pos_ != last_fired && !syncs()->entries.empty()) {
      int64_t at = pos_;
      bool jumped = false;
      bool fired = FireSyncsAt(at, &jumped);
      last_fired = at;
      if (fired && jumped) {
        if (pos_ == at || ++rounds > 16) break;  // a zero-length loop
        last_fired = -1;
        continue;
      }
    }
    int64_t limit = frames - got;
    for (const auto& s : syncs()->entries) {
      if (s->type == kSyncPos && !s->spent.load() && s->frame > pos_) limit = std::min(limit, s->frame - pos_);
    }
    int64_t n = decoder_->Read(fbuf_.data() + got * ch, limit);
    if (n <= 0) {
      if (!ended_) {
        ended_ = true;
        FireEndSyncs();
      }
      break;
    }
    ended_ = false;
    pos_ += n;
    got += n;
    rounds = 0;
  }
  if (got == 0) return 0;
  const size_t samples = static_cast<size_t>(got) * ch;
  if (is_float_) {
    raw_.resize(samples * 4);
    std::memcpy(raw_.data(), fbuf_.data(), samples * 4);
  } else {
    raw_.resize(samples * 2);
    FloatToInt16(fbuf_.data(), reinterpret_cast<int16_t*>(raw_.data()), samples);
  }
  if (!chain()->entries.empty()) {
    if (scratch_.size() < samples) scratch_.resize(samples);
    RunChain(chain(), handle_, raw_.data(), static_cast<uint32_t>(got), chans_, is_float_, rate_,
             scratch_.data());
  }
  return got;
}

uint32_t DecodeChannel::GetData(void* buffer, uint32_t length, bool as_float, int* err) {
  const uint32_t out_frame_bytes = as_float ? 4 * chans_ : frame_bytes_;
  int64_t frames = length / out_frame_bytes;
  if (frames == 0) return 0;
  if (!buffer) {
    *err = kErrorIllParam;
    return kDataError;
  }
  int64_t got = ReadFrames(frames);
  if (got == 0) {
    *err = kErrorEnded;
    return kDataError;
  }
  const size_t samples = static_cast<size_t>(got) * chans_;
  if (as_float && !is_float_) {
    Int16ToFloat(reinterpret_cast<const int16_t*>(raw_.data()), static_cast<float*>(buffer), samples);
  } else {
    std::memcpy(buffer, raw_.data(), samples * (is_float_ ? 4 : 2));
  }
  return static_cast<uint32_t>(got * out_frame_bytes);
}

int64_t DecodeChannel::ReadFloat(float* out, int64_t frames) {
  int64_t got = ReadFrames(frames);
  const size_t samples = static_cast<size_t>(got) * chans_;
  if (is_float_)
    std::memcpy(out, raw_.data(), samples * 4);
  else
    Int16ToFloat(reinterpret_cast<const int16_t*>(raw_.data()), out, samples);
  return got;
}

uint64_t DecodeChannel::FilePosition(uint32_t mode, int* err) const {
  if (mode == kFilePosEnd) return decoder_->info().file_size;
  if (mode == kFilePosCurrent) return decoder_->BytesRead();
  *err = kErrorIllType;
  return kPositionError;
}

namespace {

class ChannelDecoder : public Decoder {
 public:
  explicit ChannelDecoder(std::shared_ptr<DecodeChannel> src) : src_(std::move(src)) {
    std::lock_guard lock(src_->mu());
    info_ = src_->decoder_info();
    info_.ctype = kCtypeStreamTempo;
  }
  int64_t Read(float* out, int64_t frames) override {
    std::lock_guard lock(src_->mu());
    int64_t n = src_->ReadFloat(out, frames);
    RefreshLength();
    return n;
  }
  bool Seek(int64_t frame) override {
    std::lock_guard lock(src_->mu());
    int err = 0;
    return src_->SetPositionFrame(frame, &err);
  }
  uint64_t BytesRead() const override {
    std::lock_guard lock(src_->mu());
    int err = 0;
    return src_->FilePosition(kFilePosCurrent, &err);
  }

 private:
  void RefreshLength() {
    info_.length_frames = src_->decoder_info().length_frames;
    info_.length_exact = src_->decoder_info().length_exact;
  }
  std::shared_ptr<DecodeChannel> src_;
};

}  // namespace

std::unique_ptr<Decoder> MakeChannelDecoder(std::shared_ptr<DecodeChannel> source) {
  return std::make_unique<ChannelDecoder>(std::move(source));
}

}  // namespace qv3::audio_internal
