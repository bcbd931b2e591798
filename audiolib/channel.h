// Channels behind the handles: the common part (format, chain, syncs) and
// decoding channels, which are pulled by ChannelGetData on the caller's
// thread. Playable channels are in play_channel.h.
#ifndef QV3_AUDIOLIB_CHANNEL_H_
#define QV3_AUDIOLIB_CHANNEL_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"
#include "audiolib/decoder.h"
#include "audiolib/dsp_chain.h"

namespace qv3::audio_internal {

enum class ChannelKind { kDecode, kPush, kFile };

struct SyncEntry {
  SyncHandle handle = 0;
  uint32_t type = kSyncPos;  // kSyncPos or kSyncEnd
  int64_t frame = 0;         // position syncs: the frame that triggers it
  uint32_t byte_pos = 0;     // handed to the procedure
  SyncProc proc = nullptr;
  void* user = nullptr;
  bool mixtime = false;
  bool onetime = false;
  std::atomic<bool> spent{false};
};

struct SyncList {
  std::vector<std::shared_ptr<SyncEntry>> entries;
};

class Channel {
 public:
  Channel(AudioHandle handle, ChannelKind kind, uint32_t rate, uint32_t chans, uint32_t flags,
          uint32_t ctype, uint32_t origres, std::string filename);
  virtual ~Channel() = default;

  AudioHandle handle() const { return handle_; }
  ChannelKind kind() const { return kind_; }
  bool decoding() const { return kind_ == ChannelKind::kDecode; }
  uint32_t rate() const { return rate_; }
  uint32_t chans() const { return chans_; }
  bool is_float() const { return is_float_; }
  uint32_t frame_bytes() const { return frame_bytes_; }
  ChannelInfo Info() const;
  // Serialises API calls on this channel; recursive so that sync and DSP
  // procedures of decoding channels may call back into the library.
  std::recursive_mutex& mu() { return mu_; }

  void AddChainEntry(ChainEntry entry);
  bool RemoveChainEntry(AudioHandle handle);
  std::shared_ptr<ParamEq> FindEq(AudioHandle fx) const;
  void AddSync(std::shared_ptr<SyncEntry> sync);
  bool RemoveSync(SyncHandle sync);
  std::shared_ptr<SyncEntry> FindSync(SyncHandle sync) const;
  bool HasHook(AudioHandle h) const;

  // Attributes of decoding channels are kept but do not change the data.
  virtual bool SetAttribute(uint32_t attrib, float value, uint32_t time_ms, int* err);
  virtual bool GetAttribute(uint32_t attrib, float* value, int* err) const;
  virtual bool IsSliding(uint32_t) const { return false; }

  double Bytes2Seconds(uint64_t bytes) const;
  uint64_t Seconds2Bytes(double seconds) const;

 protected:
  // Called after a chain or sync list was replaced and before the old one is
  // freed: playable channels wait until the mixer left it.
  virtual void WaitReaders() {}
  const Chain* chain() const { return chain_ptr_.load(std::memory_order_acquire); }
  const SyncList* syncs() const { return syncs_ptr_.load(std::memory_order_acquire); }

  const AudioHandle handle_;
  const ChannelKind kind_;
  const uint32_t rate_;
  const uint32_t chans_;
  const uint32_t flags_;
  const uint32_t ctype_;
  const uint32_t origres_;
  const bool is_float_;
  const uint32_t frame_bytes_;
  const std::string filename_;
  std::recursive_mutex mu_;
  float vol_ = 1.0f;
  float pan_ = 0.0f;

 private:
  std::shared_ptr<const Chain> chain_owner_;
  std::atomic<const Chain*> chain_ptr_{nullptr};
  std::shared_ptr<const SyncList> syncs_owner_;
  std::atomic<const SyncList*> syncs_ptr_{nullptr};
};

// A decoding channel on a file (or, for the tempo wrapper, on another
// decoding channel). Every call happens under mu().
class DecodeChannel : public Channel {
 public:
  DecodeChannel(AudioHandle handle, std::unique_ptr<Decoder> decoder, uint32_t flags, std::string filename,
                uint32_t ctype_override = 0);

  uint64_t LengthBytes(int* err) const;
  uint64_t PositionBytes() const { return static_cast<uint64_t>(pos_) * frame_bytes_; }
  bool SetPositionFrame(int64_t frame, int* err);
  // ChannelGetData: `length` already masked, float output when as_float.
  uint32_t GetData(void* buffer, uint32_t length, bool as_float, int* err);
  // Float frames after this channel's chain; 0 at the end.
  int64_t ReadFloat(float* out, int64_t frames);
  uint64_t FilePosition(uint32_t mode, int* err) const;
  const DecoderInfo& decoder_info() const { return decoder_->info(); }
  bool ended() const { return ended_; }

  // Tempo wrapper bookkeeping.
  AudioHandle source_handle = 0;
  bool free_source = false;

 private:
  // Reads up to `frames` frames in the channel format into raw_; fires syncs.
  int64_t ReadFrames(int64_t frames);
  bool FireSyncsAt(int64_t frame, bool* jumped);
  void FireEndSyncs();

  std::unique_ptr<Decoder> decoder_;
  int64_t pos_ = 0;
  bool ended_ = false;
  bool jumped_ = false;
  std::vector<float> fbuf_;
  std::vector<uint8_t> raw_;
  std::vector<float> scratch_;
};

// Adapts a decoding channel as the decoder of another (the tempo wrapper).
std::unique_ptr<Decoder> MakeChannelDecoder(std::shared_ptr<DecodeChannel> source);

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_CHANNEL_H_
