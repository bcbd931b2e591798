// Helpers of the export tests: generated songs, an ffprobe judge, scripted
// dialogs.
#ifndef QV3_EDITING_EXPORT_TEST_SUPPORT_H_
#define QV3_EDITING_EXPORT_TEST_SUPPORT_H_

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "editing/export_dialogs.h"
#include "editing/wav_writer.h"

namespace qv3::export_test {

// A 16-bit WAV of `frames` frames: a tone per channel plus a ramp, so every
// frame differs from its neighbours and misplaced audio shows.
inline std::vector<int16_t> WriteSong(const std::string& path, int rate, int channels,
                                      int frames) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double v = 0.5 * std::sin(2 * M_PI * (330.0 + 110 * c) * i / rate) +
                       0.3 * ((i % 1000) / 1000.0 - 0.5);
      samples[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(v * 32767);
    }
  }
  WavWriter w;
  w.Open(path, channels, rate, 16);
  w.Write(samples.data(), samples.size() * 2);
  w.Finish();
  return samples;
}

// Reads the samples of a 16-bit PCM WAV with the canonical header.
inline std::vector<int16_t> ReadWav16(const std::string& path) {
  std::vector<int16_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  std::fseek(f, 44, SEEK_SET);
  int16_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 2, 4096, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  std::fclose(f);
  return out;
}

// ffprobe's view of a file: "codec_name", "sample_rate", "channels",
// "format_name", "duration" (of the format), "nb_samples" (decoded count).
inline std::map<std::string, std::string> Probe(const std::string& path) {
  std::map<std::string, std::string> facts;
  const std::string cmd =
      "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=format_name,"
      "duration -of default=nw=1 '" + path + "' 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return facts;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const size_t eq = s.find('=');
    if (eq != std::string::npos && !facts.count(s.substr(0, eq))) {
      facts[s.substr(0, eq)] = s.substr(eq + 1);
    }
  }
  ::pclose(p);
  return facts;
}

// Seconds of audio an independent decoder gets out of the file.
inline double DecodedSeconds(const std::string& path, int rate, int channels) {
  const std::string cmd = "ffmpeg -v error -i '" + path + "' -f s16le -ar " +
                          std::to_string(rate) + " -ac " + std::to_string(channels) +
                          " - 2>/dev/null | wc -c";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  long long bytes = -1;
  if (std::fscanf(p, "%lld", &bytes) != 1) bytes = -1;
  ::pclose(p);
  return bytes / 2.0 / channels / rate;
}

// Dialog answers from a script; records what was offered.
class ScriptedDialogs : public ExportDialogs {
 public:
  bool ChooseMp3Format(const std::vector<Mp3Format>& formats, Mp3Format* chosen) override {
    offered_mp3 = formats;
    if (cancel) return false;
    *chosen = formats[DefaultMp3FormatIndex(formats)];
    return true;
  }
  bool ChooseAacQuality(AacQuality* chosen) override {
    ++aac_asked;
    if (cancel) return false;
    *chosen = AacQualityTable()[aac_row];
    return true;
  }
  bool ChooseWmaRate(const std::vector<int>& rates, int* chosen) override {
    offered_wma = rates;
    if (cancel || rates.empty()) return false;
    *chosen = wma_rate > 0 ? wma_rate : rates.front();
    return true;
  }
  bool cancel = false;
  int aac_row = 1;
  int wma_rate = 0;
  int aac_asked = 0;
  std::vector<Mp3Format> offered_mp3;
  std::vector<int> offered_wma;
};

}  // namespace qv3::export_test

#endif  // QV3_EDITING_EXPORT_TEST_SUPPORT_H_
