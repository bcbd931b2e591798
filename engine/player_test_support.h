// Test helpers for the playback engine: WAV files generated with libsndfile,
// a pass-through stand-in for the time/pitch processor (exact output lengths,
// optional slow blocks, constant output, failing creation), and an owner that
// records every notification. Tests only.
#ifndef QV3_ENGINE_PLAYER_TEST_SUPPORT_H_
#define QV3_ENGINE_PLAYER_TEST_SUPPORT_H_

#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/player_owner.h"
#include "engine/processor_ops.h"

namespace qv3::testing_support {

// Writes `frames` frames; sample(frame, channel) gives each value.
inline bool WriteWav(const std::string& path, int rate, int channels, int64_t frames,
                     const std::function<float(int64_t, int)>& sample,
                     int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  std::vector<float> block(size_t(4096) * channels);
  for (int64_t done = 0; done < frames;) {
    int64_t n = std::min<int64_t>(4096, frames - done);
    for (int64_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) block[size_t(i * channels + c)] = sample(done + i, c);
    sf_writef_float(f, block.data(), n);
    done += n;
  }
  sf_close(f);
  return true;
}

inline bool WriteSine(const std::string& path, int rate, int channels, double seconds,
                      float amplitude = 0.5f) {
  return WriteWav(path, rate, channels, int64_t(seconds * rate), [=](int64_t i, int c) {
    return amplitude * float(std::sin(2.0 * M_PI * (440.0 + 110.0 * c) * double(i) / rate));
  });
}

template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class RecordingOwner : public PlayerOwner {
 public:
  struct Note {
    int code;
    int64_t value;
    std::chrono::steady_clock::time_point when;
  };
  void OnPlayerNotify(int code, int64_t value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back({code, value, std::chrono::steady_clock::now()});
  }
  void OnOutputStreamChanged(StreamHandle output) override { published.push_back(output); }
  std::vector<Note> Notes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
  }
  std::vector<int64_t> Values(int code) {
    std::vector<int64_t> v;
    for (const Note& n : Notes())
      if (n.code == code) v.push_back(n.value);
    return v;
  }
  int Count(int code) { return int(Values(code).size()); }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.clear();
  }
  std::vector<StreamHandle> published;  // main thread only

 private:
  std::mutex mutex_;
  std::vector<Note> notes_;
};

// The stand-in processor: output frame j is input frame floor(j / time
// factor) (nearest neighbour), so a play of F source frames gives exactly
// ceil(F x time factor) frames, or a constant value per sample when set.
struct FakeProcessorConfig {
  std::atomic<bool> fail_create{false};
  std::atomic<int> block_sleep_ms{0};
  std::atomic<bool> use_constant{false};
  std::atomic<float> constant{0.0f};
  std::atomic<int> preroll{0};
  std::atomic<int> creates{0};
  std::atomic<int> resets{0};
  std::atomic<int> max_request{0};  // largest read the fake made
  std::atomic<int> read_size{4096};  // frames per read request
  void Clear() {
    read_size = 4096;
    fail_create = false;
    block_sleep_ms = 0;
    use_constant = false;
    constant = 0.0f;
    preroll = 0;
    creates = 0;
    resets = 0;
    max_request = 0;
  }
};
inline FakeProcessorConfig g_fake;

struct FakeProcessor {
  int channels = 0;
  TimePitchReadCallback read = nullptr;
  void* user = nullptr;
  double time_factor = 1.0;
  double pitch_factor = 1.0;
  int preroll = 0;
  std::vector<float> input[2];
  bool ended = false;
  int64_t out_pos = 0;
  bool finished = false;
};

inline FakeProcessor* AsFake(TimePitchProcessor* h) { return reinterpret_cast<FakeProcessor*>(h); }

inline TimePitchProcessor* FakeCreate(int, int, int channels, float rate,
                                      TimePitchReadCallback read, void* user) {
  ++g_fake.creates;
  if (g_fake.fail_create || channels < 1 || channels > 2 || rate < 8000) return nullptr;
  auto* p = new FakeProcessor;
  p->channels = channels;
  p->read = read;
  p->user = user;
  return reinterpret_cast<TimePitchProcessor*>(p);
}

inline void FakeReset(bool, TimePitchProcessor* h) {
  ++g_fake.resets;
  FakeProcessor* p = AsFake(h);
  p->input[0].clear();
  p->input[1].clear();
  p->ended = false;
  p->out_pos = 0;
  p->finished = false;
  p->preroll = 0;
}

inline int FakeSetProperty(int selector, double value, TimePitchProcessor* h) {
  FakeProcessor* p = AsFake(h);
  if (selector == kTimePitchPitchFactor) p->pitch_factor = value;
  else if (selector == kTimePitchTimeFactor) p->time_factor = value;
  else if (selector == kTimePitchPreroll) p->preroll = int(value);
  else return kTimePitchUnknownSelector;
  return kTimePitchOk;
}

inline bool FakeFill(FakeProcessor* p, int64_t need) {
  std::vector<float> bufs[2];
  while (int64_t(p->input[0].size()) <= need && !p->ended) {
    int n = g_fake.read_size;
    float* ptrs[2];
    for (int c = 0; c < p->channels; ++c) {
      bufs[c].assign(size_t(n), 0.0f);
      ptrs[c] = bufs[c].data();
    }
    if (n > g_fake.max_request) g_fake.max_request = n;
    int r = p->read(ptrs, n, p->user);
    if (r <= 0) {
      p->ended = true;
      break;
    }
    int frames = r / (p->channels * 4);
    for (int c = 0; c < p->channels; ++c)
      p->input[c].insert(p->input[c].end(), bufs[c].begin(), bufs[c].begin() + frames);
    if (frames < n) p->ended = true;
  }
  return int64_t(p->input[0].size()) > need;
}

inline int FakeProcess(float** out, int n, TimePitchProcessor* h) {
  if (!h) return 0;
  if (n <= 0 || !out) return -1;
  if (int ms = g_fake.block_sleep_ms) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  FakeProcessor* p = AsFake(h);
  if (p->finished) return 0;
  for (int j = 0; j < n; ++j) {
    int64_t idx = int64_t(double(p->out_pos + j) / p->time_factor) + p->preroll;
    if (!FakeFill(p, idx)) {
      if (j == 0) return 0;
      for (int c = 0; c < p->channels; ++c) std::fill(out[c] + j, out[c] + n, 0.0f);
      p->finished = true;
      p->out_pos += n;
      return n;
    }
    for (int c = 0; c < p->channels; ++c)
      out[c][j] = g_fake.use_constant ? g_fake.constant.load() : p->input[c][size_t(idx)];
  }
  p->out_pos += n;
  return n;
}

inline void FakeDestroy(TimePitchProcessor* h) { delete AsFake(h); }
inline int FakePreroll(const TimePitchProcessor*) { return g_fake.preroll; }

inline const ProcessorOps& FakeProcessorOps() {
  static const ProcessorOps ops = {FakeCreate,  FakeProcess, FakeSetProperty,
                                   FakeReset,   FakeDestroy, FakePreroll};
  return ops;
}

}  // namespace qv3::testing_support

#endif  // QV3_ENGINE_PLAYER_TEST_SUPPORT_H_
