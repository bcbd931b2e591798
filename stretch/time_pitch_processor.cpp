#include "stretch/time_pitch_processor.h"

#include <sys/time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "stretch/time_pitch_core.h"

namespace qv3 {
namespace {

void WallClock(int32_t* sec, int32_t* usec) {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  *sec = static_cast<int32_t>(tv.tv_sec);
  *usec = static_cast<int32_t>(tv.tv_usec);
}

}  // namespace

TimePitchProcessor::~TimePitchProcessor() = default;

TimePitchProcessor* TimePitchCreate(int mode, int quality, int channels,
                                    float sample_rate,
                                    TimePitchReadCallback read,
                                    void* user_data) {
  auto* h = new (std::nothrow) TimePitchProcessor();
  if (h == nullptr) return nullptr;
  h->mode_ = mode;
  h->quality_ = quality;
  h->channels_ = channels;
  h->sample_rate_ = sample_rate;
  h->first_call_ = true;
  if (!(sample_rate > 0.0f) || sample_rate < 8000.0f ||
      sample_rate > 96000.0f) {
    std::printf("!!! TIMEPITCH ERROR: Sample rate outside supported range\n");
    h->error_ = -1;
  } else if (channels >= 3 || channels < 1) {
    std::printf(
        "!!! TIMEPITCH ERROR: Number of channels outside supported range\n");
    h->error_ = -1;
  }
  if (h->error_ == 0) {
    h->read_ = read;
    h->user_data_ = user_data;
    h->core_.reset(new (std::nothrow) TimePitchCore());
    if (!h->core_ ||
        h->core_->Init(mode, quality, channels, sample_rate,
                       quality == 300 ? 4.0f : 6.0f, read) != 0) {
      h->error_ = -7;
    }
  }
  if (h->error_ != 0) {
    delete h;
    return nullptr;
  }
  return h;
}

int TimePitchProcess(float** buffers, int frames, TimePitchProcessor* h) {
  if (h == nullptr) return 0;
  if (frames <= 0 || buffers == nullptr) return -1;
  if (!h->core_) return kTimePitchNoCore;
  h->last_request_ = frames;
  WallClock(&h->start_sec_, &h->start_usec_);
  const int result = h->core_->Process(buffers, frames, h->user_data_);
  WallClock(&h->end_sec_, &h->end_usec_);
  const double elapsed =
      (static_cast<double>(h->end_sec_) - h->start_sec_) +
      (static_cast<double>(h->end_usec_) - h->start_usec_) * 1e-6;
  const double load = elapsed * 100.0 / (frames / h->sample_rate_);
  if (h->first_call_) {
    h->peak_load_ = load;
    h->first_call_ = false;
  } else {
    h->peak_load_ = std::max(h->peak_load_, load);
  }
  return result;
}

int TimePitchSetProperty(int selector, double value, TimePitchProcessor* h) {
  if (h == nullptr) return kTimePitchOk;
  if (!h->core()) return kTimePitchNoCore;
  return h->core()->SetProperty(selector, value);
}

void TimePitchReset(bool clear, TimePitchProcessor* h) {
  if (h == nullptr || !h->core()) return;
  h->core()->Reset(clear);
}

void TimePitchDestroy(TimePitchProcessor* h) { delete h; }

const char* TimePitchVersion() { return "1.0.0 [2612081200] FULL"; }

int TimePitchPrerollFrames(const TimePitchProcessor* h) {
  if (h == nullptr || !h->core()) return 0;
  return h->core()->PrerollWanted();
}

int TimePitchMaxReadFrames(const TimePitchProcessor* h) {
  if (h == nullptr || !h->core()) return 0;
  return h->core()->cache().capacity();
}

double TimePitchPitchFactor(double semitones) {
  return semitones >= 0 ? std::pow(1.0594630943592953, semitones)
                        : std::pow(0.9438743126816935, -semitones);
}

double TimePitchTimeFactor(double tempo_percent) {
  return 100.0 / tempo_percent;
}

float** AllocPlanarBuffers(int channels, int frames) {
  auto** b = new (std::nothrow) float*[channels];
  if (b == nullptr) return nullptr;
  for (int c = 0; c < channels; ++c) {
    b[c] = new (std::nothrow) float[frames]();
  }
  return b;
}

void FreePlanarBuffers(float** buffers, int channels) {
  if (buffers == nullptr) return;
  for (int c = 0; c < channels; ++c) delete[] buffers[c];
  delete[] buffers;
}

}  // namespace qv3
