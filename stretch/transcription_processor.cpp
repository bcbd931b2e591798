#include "stretch/transcription_processor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "stretch/time_pitch_core.h"

namespace qv3 {

float** allocf(int count, int length) {
  float** a = static_cast<float**>(std::calloc(count, sizeof(float*)));
  if (a == nullptr) {
    std::printf("ERROR allocating memory in allocf()\n");
    return nullptr;
  }
  for (int i = 0; i < count; ++i) {
    a[i] = static_cast<float*>(std::calloc(length, sizeof(float)));
    if (a[i] == nullptr) std::printf("ERROR allocating memory in allocf()\n");
  }
  return a;
}

void deallocf(float** buffers, int count) {
  if (buffers == nullptr) {
    std::printf("(2) ERROR freeing memory in deallocf()\n");
    return;
  }
  for (int i = 0; i < count; ++i) {
    if (buffers[i] == nullptr) {
      std::printf("(1) ERROR freeing memory in deallocf()\n");
    } else {
      std::free(buffers[i]);
    }
  }
  std::free(buffers);
}

struct TranscriptionProcessor::State {
  TimePitchCore::Band band;
};

TranscriptionProcessor::~TranscriptionProcessor() {
  if (work_ != nullptr) deallocf(work_, channels_);
  delete state_;
}

bool TranscriptionProcessor::Init(int quality, int channels,
                                  float sample_rate, double rate_scale) {
  type_ = quality == 300 ? 1 : (quality == 301 || quality == 302) ? 2 : 4;
  frame_ = 1 << static_cast<int>(
               std::lround(std::log2(std::trunc(4096.0 * rate_scale))));
  hop_ = frame_ / 8;
  channels_ = channels;
  work_ = allocf(channels, type_ * frame_ + 4);
  if (work_ == nullptr) return false;
  for (int c = 0; c < channels; ++c) {
    if (work_[c] == nullptr) return false;
  }
  if (!analysis_.Init(window()) || !synthesis_.Init(window())) return false;
  if (!analyser_.Init(window(), channels, sample_rate, 0.0, sample_rate / 2.0,
                      BandAnalyser::Overlap::kOla)) {
    return false;
  }
  analyser_.SetTransforms(&analysis_, &synthesis_);
  analyser_.SetHop(hop_, 1.0);
  state_ = new (std::nothrow) State;
  if (state_ == nullptr) return false;
  Reset();
  return true;
}

void TranscriptionProcessor::Reset() {
  analyser_.Reset();
  if (state_ != nullptr) {
    state_->band = TimePitchCore::Band();
    state_->band.size = window();
    state_->band.centre = analyser_.effective_centre();
  }
}

void TranscriptionProcessor::RunBlock(TimePitchCore& core, double p,
                                      double stretch_time, float* const* block,
                                      void* user_data) {
  for (int k = 0; k < 4; ++k) {
    float* outs[2] = {block[0] + k * hop_,
                      channels_ > 1 ? block[1] + k * hop_ : nullptr};
    core.RunHop(analyser_, state_->band, hop_, 1.0f, p,
                stretch_time + k * hop_, false, work_, outs, user_data);
  }
}

}  // namespace qv3
