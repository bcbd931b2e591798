#include "editing/import_ffmpeg.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/process.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with an optional fraction at text[*pos]; advances *pos.
bool ParseNumber(const std::string& text, size_t* pos, double* value) {
  size_t i = *pos;
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == start) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  *value = std::strtod(text.substr(start, i - start).c_str(), nullptr);
  *pos = i;
  return true;
}

}  // namespace

std::vector<std::string> SplitOptions(const std::string& options) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (char c : options) {
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      in_word = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

std::string ProbeScriptText(const std::string& ffmpeg, const std::string& source) {
  return ShellQuote(ffmpeg) + " -i " + ShellQuote(source) + "\n";
}

std::string ExtractScriptText(const std::string& ffmpeg, const std::string& source,
                              const std::string& options, const std::string& destination) {
  std::string line = ShellQuote(ffmpeg) + " -y -i " + ShellQuote(source);
  for (const std::string& word : SplitOptions(options)) line += " " + ShellQuote(word);
  line += " " + ShellQuote(destination) + "\n";
  return line;
}

bool WriteScriptFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

std::string ScriptCommand(const std::string& script_path) {
  // Run through the interpreter, so the script needs no execute permission.
  return "/bin/sh " + ShellQuote(script_path);
}

bool ParseClockSeconds(const std::string& text, double* seconds) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == 'N')) return false;  // negative, N/A
  double parts[3] = {0, 0, 0};
  int count = 0;
  for (;;) {
    double v = 0;
    if (!ParseNumber(text, &pos, &v)) return false;
    parts[count++] = v;
    if (count == 3 || pos >= text.size() || text[pos] != ':') break;
    // Only the last part may have a fraction.
    if (std::floor(v) != v) return false;
    ++pos;
  }
  // The value must end here: "00:0a" is no clock.
  if (pos < text.size() && (IsDigit(text[pos]) || std::isalpha(static_cast<unsigned char>(text[pos])) ||
                            text[pos] == ':' || text[pos] == '.')) {
    return false;
  }
  double total = 0;
  for (int i = 0; i < count; ++i) total = total * 60.0 + parts[i];
  if (!std::isfinite(total) || total < 0) return false;
  *seconds = total;
  return true;
}

bool FindDuration(const std::string& output, double* seconds) {
  static const std::string kLabel = "Duration: ";
  size_t at = output.find(kLabel);
  if (at == std::string::npos) return false;
  double value = 0;
  if (!ParseClockSeconds(output.substr(at + kLabel.size(), 32), &value) || value <= 0) return false;
  *seconds = value;
  return true;
}

bool FindConvertedTime(const std::string& text, double* seconds) {
  static const std::string kLabel = " time=";
  bool found = false;
  size_t at = text.find(kLabel);
  while (at != std::string::npos) {
    double value = 0;
    if (ParseClockSeconds(text.substr(at + kLabel.size(), 32), &value)) {
      *seconds = value >= 1e10 ? 0.0 : value;
      found = true;
    }
    at = text.find(kLabel, at + 1);
  }
  return found;
}

std::string ConverterReportText(const std::string& output) {
  size_t at = output.find("built on");
  if (at == std::string::npos) return output;
  size_t line_end = output.find('\n', at);
  return line_end == std::string::npos ? std::string() : output.substr(line_end + 1);
}

void ShowConverterFailureReport(const std::string& temp_folder, const std::string& output) {
  const std::string path = JoinPath(temp_folder, kConverterErrorFileName);
  std::string shown = output;
  if (WriteScriptFile(path, output)) {
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      std::string back;
      char line[4096];
      size_t n;
      while ((n = std::fread(line, 1, sizeof line, f)) > 0) back.append(line, n);
      std::fclose(f);
      shown = back;
    }
  }
  MessageBoxF(kConversionFailedFormat, ConverterReportText(shown).c_str());
}

}  // namespace qv3
