#include "document/project_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/text_format.h"
#include "document/tokenize.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace qv3 {
namespace {

constexpr char kCrLf[] = "\r\n";

bool IsPadBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimPad(std::string_view s) {
  while (!s.empty() && IsPadBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsPadBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Whether the page reader takes this line as the start of a text block: the
// same trimming, comment rule and space-only token count (9) as that reader,
// so both agree on where the block's free text lies.
bool IsPadTextBlockBegin(std::string_view raw) {
  std::string_view line = TrimPad(raw);
  if (line.empty() || line.front() == ';') return false;
  static constexpr std::string_view kKey = "scorelet_textblockbegin";
  if (line.substr(0, kKey.size()) != kKey) return false;
  int count = 0;
  bool key_ok = false;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && line[i] == ' ') ++i;
    if (i >= n) break;
    size_t start = i;
    if (line[i] == '"') {
      ++i;
      while (i < n && line[i] != '"') ++i;
      if (i < n) ++i;
    } else {
      while (i < n && line[i] != ' ') ++i;
    }
    if (count == 0) key_ok = line.substr(start, i - start) == kKey;
    ++count;
  }
  return key_ok && count == 9;
}

// Follows the pad's text blocks line by line: their free text must never be
// taken for project lines (a text line "marker at bar 5" is no marker).
class TextBlockTracker {
 public:
  // True for the block's begin line, its text lines and its end line.
  bool InsideOrBegins(std::string_view line) {
    if (inside_) {
      if (TrimPad(line) == "scorelet_textblockend") inside_ = false;
      return true;
    }
    inside_ = IsPadTextBlockBegin(line);
    return inside_;
  }

 private:
  bool inside_ = false;
};

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  out += SanitizeQuotedText(text);
  out += '"';
}

// A path cannot give up its double quotes (it names a real file), but a line
// break in it would split the line.
std::string PathForLine(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string AudioPathLine(const std::string& path) {
  return std::string(kAudioFilePathKey) + " \"" + PathForLine(path) + "\"";
}

}  // namespace

std::string FormatProjectText(const DocumentState& state, const MarkerList& markers,
                              const LoopList& loops) {
  std::string out;
  auto item = [&](const std::string& line) {
    out += line;
    out += kCrLf;
    out += kCrLf;
  };
  item("master_pitch " + std::to_string(state.master.pitch));
  item("master_tempo " + std::to_string(state.master.tempo));
  item("master_vr " + std::to_string(state.master.vocal_reduction));
  {
    std::string eq = "master_eq ";
    AppendQuoted(eq, state.master.eq_preset);
    item(eq);
  }
  item(std::string("performance_transcribe ") +
       (state.mode == PlaybackMode::kTranscribe ? "1" : "0"));
  item(AudioPathLine(state.audio_path));

  for (int i = 0; i < markers.count(); ++i) {
    MarkerRecord m = markers.At(i);
    out += "marker ";
    AppendQuoted(out, m.name);
    out += ' ';
    out += FormatFixed(m.position, 6);
    out += kCrLf;
  }
  if (markers.count() > 0) out += kCrLf;

  for (int i = 0; i < loops.count(); ++i) {
    const LoopRecord& r = loops.Loop(i);
    out += "loop ";
    AppendQuoted(out, r.name);
    out += ' ' + FormatFixed(r.start, 6);
    out += ' ' + FormatFixed(r.end, 6);
    out += ' ' + std::to_string(r.pitch);
    out += ' ' + std::to_string(r.tempo);
    out += ' ' + std::to_string(r.flag_word);
    out += ' ';
    AppendQuoted(out, r.tag);
    out += ' ' + std::to_string(r.repeat_count);
    out += ' ' + std::to_string(r.delay);
    out += kCrLf;
  }
  out += kCrLf;
  return out;
}

std::optional<std::string> AudioPathOfLine(std::string_view line, bool strict) {
  std::vector<std::string> tokens = TokenizeLine(line);
  if (tokens.empty() || tokens[0] != kAudioFilePathKey) return std::nullopt;
  // The quoted form: everything between the first and the last quote after
  // the keyword, so a quote inside the path does not cut it.
  size_t lf = line.find('\n');
  std::string_view rest = line.substr(0, lf);
  size_t key = rest.find(kAudioFilePathKey);
  rest.remove_prefix(key + sizeof(kAudioFilePathKey) - 1);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\r')) rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.remove_suffix(1);
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
    return std::string(rest.substr(1, rest.size() - 2));
  }
  if (strict ? tokens.size() != 2 : tokens.size() < 2) return std::nullopt;
  return tokens[1];
}

ParsedProject ParseProjectText(std::string_view text) {
  ParsedProject p;
  size_t pos = 0;
  TextBlockTracker block;
  while (pos <= text.size()) {
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;

    if (block.InsideOrBegins(line)) continue;

    std::vector<std::string> t = TokenizeLine(line);
    if (t.empty()) continue;
    const std::string& key = t[0];
    if (key == kAudioFilePathKey) {
      if (!p.audio_path) {
        std::optional<std::string> value = AudioPathOfLine(line, false);
        if (value) p.audio_path = std::move(*value);
      }
    } else if (t.size() < 2) {
      continue;  // every other keyword needs a value
    } else if (key == "master_pitch") {
      int32_t v = ParseInt32(t[1]);
      if (PitchInRange(v)) p.master_pitch = v;
    } else if (key == "master_tempo") {
      int32_t v = ParseInt32(t[1]);
      if (TempoInRange(v)) p.master_tempo = v;
    } else if (key == "master_vr") {
      int32_t v = ParseInt32(t[1]);
      p.master_vr = v < 0 ? 0 : (v > kMaxVocalReduction ? kMaxVocalReduction : v);
    } else if (key == "master_eq") {
      p.master_eq = t[1];
    } else if (key == "performance_transcribe") {
      p.mode = (!t[1].empty() && t[1][0] == '0') ? PlaybackMode::kPerformance
                                                 : PlaybackMode::kTranscribe;
    } else if (key == "marker") {
      if (t.size() < 3) continue;
      std::optional<double> position = ParseFiniteDouble(t[2]);
      if (!position) continue;
      p.markers.push_back({t[1], *position});
    } else if (key == "loop") {
      if (t.size() != 10) continue;
      std::optional<double> start = ParseFiniteDouble(t[2]);
      std::optional<double> stop = ParseFiniteDouble(t[3]);
      if (!start || !stop) continue;
      ParsedProject::Loop loop;
      loop.name = t[1];
      loop.start = *start;
      loop.end = *stop;
      loop.pitch = std::clamp(ParseInt32(t[4]), kMinPitch, kMaxPitch);
      loop.tempo = std::clamp(ParseInt32(t[5]), kMinTempo, kMaxTempo);
      loop.flag_word = ParseInt32(t[6]);
      loop.tag = t[7];
      loop.repeat_count = ParseInt32(t[8]);
      loop.delay = std::clamp(ParseInt32(t[9]), 0, kMaxLoopDelay);
      p.loops.push_back(std::move(loop));
    }
  }
  return p;
}

std::string ResolveProjectAudioPath(const std::string& project_path, const std::string& value) {
  if (value.size() < 2 || value[0] != '.' || (value[1] != '/' && value[1] != '\\')) return value;
  std::string project = MakeAbsolute(project_path);
  size_t slash = project.rfind('/');
  if (slash == std::string::npos) return value;
  std::string folder = project.substr(0, slash);
  if (!folder.empty() && !IsDirectory(folder)) return value;
  std::string rest = value.substr(2);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return folder + "/" + rest;
}

bool RewriteProjectAudioPath(const std::string& project_path, const std::string& new_audio_path) {
  std::string text;
  if (!ReadWholeFile(project_path, &text)) return false;
  std::string out;
  out.reserve(text.size() + new_audio_path.size());
  size_t pos = 0;
  TextBlockTracker block;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string::npos ? text.size() : lf + 1;
    std::string_view line(text.data() + pos, end - pos);
    pos = end;
    if (!block.InsideOrBegins(line) && AudioPathOfLine(line, true)) {
      std::string_view ending;
      if (line.size() >= 2 && line.substr(line.size() - 2) == kCrLf) {
        ending = kCrLf;
      } else if (!line.empty() && line.back() == '\n') {
        ending = "\n";
      }
      out += AudioPathLine(new_audio_path);
      out += ending;
    } else {
      out += line;
    }
  }
  return AtomicWriteFile(project_path, out);
}

std::string ReadProjectAudioPath(const std::string& project_path) {
  std::string text;
  if (!ReadWholeFile(project_path, &text)) return {};
  size_t pos = 0;
  TextBlockTracker block;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string::npos ? text.size() : lf;
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    if (block.InsideOrBegins(line)) continue;
    std::optional<std::string> value = AudioPathOfLine(line, true);
    if (value) return *value;
  }
  return {};
}

std::string ProjectTitleText(const DocumentState& state) {
  std::string name = PathFileName(state.project_path);
  if (name == kUntitledProjectName && state.audio_open) name = PathFileName(state.source_path);
  if (name == "(unknown)") return "Quaverly 3: Ready";
  // Fixed formatting independent of LC_NUMERIC; the rate shows a comma as
  // its thousands mark (44100 gives "44,100").
  std::string rate = FormatFixed(state.stream.sample_rate / 1000.0, 3);
  for (char& c : rate) {
    if (c == '.') c = ',';
  }
  std::string megabytes = FormatFixed(static_cast<double>(state.stream.file_size) / 1048576.0, 2);
  return "Quaverly 3: " + name + (state.saved == 0 ? "*" : "") + " | " +
         std::to_string(state.stream.bit_rate) + " Kbps | " + rate + " Hz | " +
         std::to_string(state.stream.bytes_per_sample * 8) + " Bit | " +
         (state.stream.channels == 1 ? "Mono" : "Stereo") + " | " + megabytes + " MB";
}

}  // namespace qv3
