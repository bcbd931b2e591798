#include "editing/export_job.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qv3 {

int64_t ExportFrameAt(double seconds, int sample_rate) {
  if (!std::isfinite(seconds) || seconds <= 0.0) return 0;
  return std::llround(seconds * sample_rate);
}

std::vector<ExportSection> PlanExportSections(const ExportSong& song, int scope, int sample_rate,
                                              int64_t total_frames) {
  std::vector<ExportSection> sections;
  auto clamp = [&](int64_t f, int64_t lo) { return std::clamp<int64_t>(f, lo, total_frames); };
  auto loop_section = [&](const ExportLoop& loop, int64_t floor) {
    ExportSection s;
    s.start_frame = clamp(ExportFrameAt(loop.start, sample_rate), floor);
    s.end_frame = clamp(ExportFrameAt(loop.end, sample_rate), s.start_frame);
    s.pitch = loop.pitch;
    s.tempo = loop.tempo > 0 ? loop.tempo : kExportNormalTempo;
    return s;
  };
  if (scope == kExportScopeSong) {
    std::vector<ExportLoop> loops = song.loops;
    std::stable_sort(loops.begin(), loops.end(),
                     [](const ExportLoop& a, const ExportLoop& b) { return a.start < b.start; });
    const int32_t master_tempo = song.master_tempo > 0 ? song.master_tempo : kExportNormalTempo;
    int64_t cursor = 0;
    for (const ExportLoop& loop : loops) {
      const ExportSection s = loop_section(loop, cursor);
      if (s.start_frame > cursor) {
        sections.push_back({cursor, s.start_frame, song.master_pitch, master_tempo});
      }
      if (s.end_frame > s.start_frame) sections.push_back(s);
      cursor = std::max(cursor, s.end_frame);
    }
    if (cursor < total_frames) {
      sections.push_back({cursor, total_frames, song.master_pitch, master_tempo});
    }
  } else if (scope == kExportScopeAllLoops) {
    for (const ExportLoop& loop : song.loops) {
      const ExportSection s = loop_section(loop, 0);
      if (s.end_frame > s.start_frame) sections.push_back(s);
    }
  } else if (scope >= 0 && scope < static_cast<int>(song.loops.size())) {
    const ExportSection s = loop_section(song.loops[scope], 0);
    if (s.end_frame > s.start_frame) sections.push_back(s);
  }
  return sections;
}

int64_t ExportOutputFrames(const ExportSection& s) {
  const int64_t frames = s.end_frame - s.start_frame;
  if (s.tempo == kExportNormalTempo) return frames;
  return std::llround(static_cast<double>(frames) * kExportNormalTempo / s.tempo);
}

double ExportExpectedSamples(const std::vector<ExportSection>& sections, int channels) {
  double total = 0.0;
  for (const ExportSection& s : sections) {
    double samples = static_cast<double>(s.end_frame - s.start_frame) * channels;
    if (s.tempo != kExportNormalTempo) samples /= s.tempo / 10000.0;
    total += samples;
  }
  return total;
}

ExportFormat ExportFormatOfPath(const std::string& path) {
  std::string end = path.size() >= 4 ? path.substr(path.size() - 4) : path;
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (end == ".mp3") return ExportFormat::kMp3;
  if (end == ".aac") return ExportFormat::kAac;
  if (end == ".mp4" || end == ".m4a") return ExportFormat::kMp4;
  if (end == ".wma") return ExportFormat::kWma;
  return ExportFormat::kWav;
}

double ExportVolumeFactor(int volume_slider) { return volume_slider / 100.0 * 0.95; }

int16_t ExportSample16(float scaled) {
  // NaN compares false everywhere and ends up as 0.
  const float v = scaled * 32768.0f;
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  if (!(v == v)) return 0;
  return static_cast<int16_t>(v);  // truncation toward zero
}

}  // namespace qv3
