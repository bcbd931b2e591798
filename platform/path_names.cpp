#include "platform/path_names.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qv3 {
namespace {

std::string_view LastComponent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

template <size_t N>
bool ExtensionIn(const std::string& path, const std::array<std::string_view, N>& list) {
  const std::string ext = PathExtension(path);
  return std::find(list.begin(), list.end(), ext) != list.end();
}

// FLAC, Opus and the AIFF spellings decode through the same libraries.
constexpr std::array<std::string_view, 14> kAudioExtensions = {
    "wav", "mp3", "aac", "mp4", "m4a", "mp1", "aif", "wma", "ogg", "cda",
    "flac", "opus", "aiff", "aifc"};
constexpr std::array<std::string_view, 7> kVideoExtensions = {"avi", "m4v", "mpg", "mov",
                                                              "flv", "wmv", "rm"};

}  // namespace

std::string PathFileName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return kUnknownName;
  return path.substr(slash + 1);
}

std::string PathTitle(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return kUnknownName;
  std::string_view name = std::string_view(path).substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return kUnknownName;
  return std::string(name.substr(0, dot));
}

std::string PathExtension(const std::string& path) {
  std::string_view name = LastComponent(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return kUnknownName;
  return Lower(name.substr(dot + 1));
}

bool IsWavFile(const std::string& path) { return PathExtension(path) == "wav"; }
bool IsAudioFile(const std::string& path) { return ExtensionIn(path, kAudioExtensions); }
bool IsVideoFile(const std::string& path) { return ExtensionIn(path, kVideoExtensions); }

}  // namespace qv3
