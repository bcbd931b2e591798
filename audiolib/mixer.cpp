#include "audiolib/mixer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QV3_HAVE_MXCSR 1
#endif

#include "audiolib/play_channel.h"

namespace qv3::audio_internal {
namespace {

thread_local PlayChannel* t_mixtime_channel = nullptr;
thread_local int t_in_mixer = 0;

}  // namespace

PlayChannel* CurrentMixtimeChannel() { return t_mixtime_channel; }
void SetCurrentMixtimeChannel(PlayChannel* ch) { t_mixtime_channel = ch; }
bool InMixer() { return t_in_mixer != 0; }

Mixer::Mixer(uint32_t rate, Clock clock, uint32_t latency_frames)
    : rate_(rate), clock_(clock), latency_frames_(latency_frames) {
  for (auto& s : slots_) s.store(nullptr);
}

int64_t Mixer::NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool Mixer::Add(PlayChannel* ch) {
  for (auto& s : slots_) {
    PlayChannel* expected = nullptr;
    if (s.compare_exchange_strong(expected, ch)) return true;
  }
  return false;
}

void Mixer::Remove(PlayChannel* ch) {
  for (auto& s : slots_) {
    PlayChannel* expected = ch;
    if (s.compare_exchange_strong(expected, nullptr)) break;
  }
  WaitQuiescent();
}

void Mixer::WaitQuiescent() const {
  if (InMixer()) return;
  const uint64_t s = seq_.load(std::memory_order_seq_cst);
  if ((s & 1) == 0) return;
  // A pass is running; it ends within one period.
  while (seq_.load(std::memory_order_seq_cst) == s) std::this_thread::yield();
}

void Mixer::Mix(float* out, uint32_t frames) {
  seq_.fetch_add(1, std::memory_order_seq_cst);
  ++t_in_mixer;
#ifdef QV3_HAVE_MXCSR
  // Flush denormals to zero: decaying filter tails would otherwise cost
  // hundreds of cycles per sample.
  const unsigned int saved_csr = _mm_getcsr();
  _mm_setcsr(saved_csr | 0x8040);
#endif
  uint32_t done = 0;
  while (done < frames) {
    const uint32_t n = std::min(frames - done, kMaxPeriod);
    MixPass(out + static_cast<size_t>(done) * 2, n);
    done += n;
  }
#ifdef QV3_HAVE_MXCSR
  _mm_setcsr(saved_csr);
#endif
  --t_in_mixer;
  seq_.fetch_add(1, std::memory_order_seq_cst);
}

void Mixer::MixPass(float* out, uint32_t frames) {
  std::memset(out, 0, sizeof(float) * 2 * frames);
  const int64_t start = frames_mixed_.load(std::memory_order_relaxed);
  for (auto& s : slots_) {
    PlayChannel* ch = s.load(std::memory_order_acquire);
    if (ch) ch->MixInto(out, frames, start);
  }
  frames_mixed_.store(start + frames, std::memory_order_release);
}

void Mixer::PublishTiming(int64_t block_start_frame, int64_t dac_ns) {
  timing_seq_.fetch_add(1, std::memory_order_acq_rel);
  block_start_.store(block_start_frame, std::memory_order_relaxed);
  block_dac_ns_.store(dac_ns, std::memory_order_relaxed);
  timing_seq_.fetch_add(1, std::memory_order_acq_rel);
}

int64_t Mixer::HeardFrameNow() const {
  const int64_t mixed = frames_mixed();
  switch (clock_) {
    case Clock::kImmediate:
      return mixed;
    case Clock::kManual:
      return std::max<int64_t>(0, mixed - latency_frames());
    case Clock::kTimestamped:
      break;
  }
  int64_t start = 0, dac = 0;
  for (int tries = 0; tries < 100; ++tries) {
    const uint32_t a = timing_seq_.load(std::memory_order_acquire);
    if (a & 1) continue;
    start = block_start_.load(std::memory_order_relaxed);
    dac = block_dac_ns_.load(std::memory_order_relaxed);
    if (timing_seq_.load(std::memory_order_acquire) == a) break;
  }
  if (dac == 0) return 0;
  const double elapsed = static_cast<double>(NowNs() - dac) * 1e-9;
  int64_t heard = start + static_cast<int64_t>(elapsed * rate_);
  return std::clamp<int64_t>(heard, 0, mixed);
}

bool Mixer::PostSync(const SyncEvent& ev) {
  const uint32_t head = sync_head_.load(std::memory_order_relaxed);
  const uint32_t tail = sync_tail_.load(std::memory_order_acquire);
  if (head - tail >= kSyncRing) return false;
  sync_ring_[head % kSyncRing] = ev;
  sync_head_.store(head + 1, std::memory_order_release);
  return true;
}

bool Mixer::PopSync(SyncEvent* ev) {
  const uint32_t tail = sync_tail_.load(std::memory_order_relaxed);
  if (tail == sync_head_.load(std::memory_order_acquire)) return false;
  *ev = sync_ring_[tail % kSyncRing];
  sync_tail_.store(tail + 1, std::memory_order_release);
  return true;
}

}  // namespace qv3::audio_internal
