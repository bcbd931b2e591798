#include "tools/qv3-render/render.h"

#include <sndfile.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "stretch/time_pitch_processor.h"

namespace qv3 {
namespace {

const char kUsage[] =
    "usage: qv3-render [--mode performance|transcribe] [--tempo PERCENT] "
    "[--pitch SEMITONES] INPUT OUTPUT";

bool ParseNumber(const std::string& text, double* value) {
  const char* b = text.data();
  const char* e = b + text.size();
  auto [ptr, ec] = std::from_chars(b, e, *value);
  return ec == std::errc() && ptr == e && std::isfinite(*value);
}

struct Source {
  SNDFILE* file = nullptr;
  int channels = 0;
  std::vector<float> interleaved;
};

// Reads up to `frames` frames into the planar buffers; returns the frames
// read, or -1 at the end of the file.
int ReadSource(float** buffers, int frames, void* user) {
  auto* s = static_cast<Source*>(user);
  const int cap = static_cast<int>(s->interleaved.size()) / s->channels;
  int done = 0;
  while (done < frames) {
    const int want = std::min(frames - done, cap);
    const sf_count_t got = sf_readf_float(s->file, s->interleaved.data(), want);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; ++i) {
      for (int c = 0; c < s->channels; ++c) {
        buffers[c][done + i] = s->interleaved[i * s->channels + c];
      }
    }
    done += static_cast<int>(got);
    if (got < want) break;
  }
  return done > 0 ? done : -1;
}

struct FileCloser {
  void operator()(SNDFILE* f) const {
    if (f) sf_close(f);
  }
};

}  // namespace

bool ParseRenderArgs(int argc, char** argv, RenderOptions* o,
                     std::string* error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--mode") {
      if (!value(&v) || (v != "performance" && v != "transcribe")) {
        *error = "--mode must be performance or transcribe";
        return false;
      }
      o->transcribe = v == "transcribe";
    } else if (a == "--tempo") {
      if (!value(&v) || !ParseNumber(v, &o->tempo) || o->tempo < 10.0 ||
          o->tempo > 400.0) {
        *error = "--tempo must be a per cent from 10 to 400";
        return false;
      }
    } else if (a == "--pitch") {
      if (!value(&v) || !ParseNumber(v, &o->pitch) || o->pitch < -24.0 ||
          o->pitch > 24.0) {
        *error = "--pitch must be semitones from -24 to 24";
        return false;
      }
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      *error = "unknown option " + a + "; " + kUsage;
      return false;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) {
    *error = kUsage;
    return false;
  }
  o->input = files[0];
  o->output = files[1];
  return true;
}

bool Render(const RenderOptions& o, std::string* error) {
  SF_INFO in_info{};
  std::unique_ptr<SNDFILE, FileCloser> in(
      sf_open(o.input.c_str(), SFM_READ, &in_info));
  if (!in) {
    *error = "cannot read " + o.input + ": " + sf_strerror(nullptr);
    return false;
  }
  if (in_info.channels < 1 || in_info.channels > 2) {
    *error = o.input + " has " + std::to_string(in_info.channels) +
             " channels; only mono and stereo are supported";
    return false;
  }
  if (in_info.samplerate < 8000 || in_info.samplerate > 96000) {
    *error = o.input + " has a sample rate of " +
             std::to_string(in_info.samplerate) +
             " Hz; 8000 to 96000 Hz are supported";
    return false;
  }
  const int channels = in_info.channels;
  const int rate = in_info.samplerate;
  const sf_count_t in_frames = in_info.frames;
  const sf_count_t out_frames =
      std::llround(static_cast<double>(in_frames) * 100.0 / o.tempo);

  SF_INFO out_info{};
  out_info.samplerate = rate;
  out_info.channels = channels;
  out_info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  std::unique_ptr<SNDFILE, FileCloser> out(
      sf_open(o.output.c_str(), SFM_WRITE, &out_info));
  if (!out) {
    *error = "cannot write " + o.output + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

  const int block = rate;  // one second, as export pulls
  std::vector<float> inter(static_cast<size_t>(block) * channels);
  auto write_planar = [&](float** planar, int frames) {
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels; ++c) {
        inter[static_cast<size_t>(i) * channels + c] = planar[c][i];
      }
    }
    return sf_writef_float(out.get(), inter.data(), frames) == frames;
  };

  if (o.tempo == 100.0 && o.pitch == 0.0) {
    sf_count_t done = 0;
    while (done < in_frames) {
      const sf_count_t got = sf_readf_float(in.get(), inter.data(), block);
      if (got <= 0) break;
      if (sf_writef_float(out.get(), inter.data(), got) != got) {
        *error = "cannot write " + o.output;
        return false;
      }
      done += got;
    }
    return true;
  }

  Source src;
  src.file = in.get();
  src.channels = channels;
  src.interleaved.resize(static_cast<size_t>(16384) * channels);
  TimePitchProcessor* tp =
      TimePitchCreate(o.transcribe ? kTimePitchModeTranscribe
                                   : kTimePitchModePerformance,
                      kTimePitchQuality, channels, static_cast<float>(rate),
                      ReadSource, &src);
  if (tp == nullptr) {
    *error = "the time/pitch processor could not be created";
    return false;
  }
  TimePitchSetProperty(kTimePitchPitchFactor, TimePitchPitchFactor(o.pitch),
                       tp);
  TimePitchSetProperty(kTimePitchTimeFactor, TimePitchTimeFactor(o.tempo), tp);
  float** planar = AllocPlanarBuffers(channels, block);
  sf_count_t written = 0;
  bool ok = true;
  while (written < out_frames) {
    const int want =
        static_cast<int>(std::min<sf_count_t>(block, out_frames - written));
    const int got = TimePitchProcess(planar, want, tp);
    if (got <= 0) {
      // Held audio ran out early: the rest is silence.
      for (int c = 0; c < channels; ++c) {
        std::memset(planar[c], 0, sizeof(float) * want);
      }
    }
    if (!write_planar(planar, want)) {
      *error = "cannot write " + o.output;
      ok = false;
      break;
    }
    written += want;
  }
  FreePlanarBuffers(planar, channels);
  TimePitchDestroy(tp);
  return ok;
}

}  // namespace qv3
