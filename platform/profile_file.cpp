#include "platform/profile_file.h"

#include <charconv>
#include <climits>
#include <cstdint>

#include "platform/atomic_file.h"

namespace qv3 {
namespace {

// One physical line of a profile file, classified once when the file is read.
// Writes edit the line list and keep every untouched line byte for byte.
struct ProfileLine {
  enum Kind { kOther, kSection, kKey };
  Kind kind = kOther;
  std::string text;   // the line without its line end
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed (quotes still on)
};

struct ProfileData {
  std::vector<ProfileLine> lines;
  std::string eol = "\n";  // CR LF when the file already uses it
  bool final_eol = true;
  bool bom = false;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare as the Windows profile functions compare them: ASCII letters
// without regard to case, everything else (UTF-8 bytes) exactly.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

ProfileLine Classify(const std::string& raw) {
  ProfileLine line;
  line.text = raw;
  std::string t = Trim(raw);
  if (t.empty() || t[0] == ';') return line;
  if (t[0] == '[') {
    size_t close = t.find(']');
    if (close == std::string::npos) return line;
    line.kind = ProfileLine::kSection;
    line.name = Trim(t.substr(1, close - 1));
    return line;
  }
  line.kind = ProfileLine::kKey;
  size_t eq = t.find('=');
  if (eq == std::string::npos) {
    line.name = t;
  } else {
    line.name = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
  }
  return line;
}

// A missing or unreadable file reads as empty.
ProfileData Load(const std::string& path) {
  ProfileData data;
  std::string text;
  if (!ReadWholeFile(path, &text) || text.empty()) return data;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    pos = 3;
    data.bom = true;
  }
  if (text.find("\r\n") != std::string::npos) data.eol = "\r\n";
  data.final_eol = text.back() == '\n';
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string::npos ? text.size() : nl;
    std::string raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    data.lines.push_back(Classify(raw));
    pos = end + 1;
  }
  return data;
}

bool Save(const ProfileData& data, const std::string& path) {
  std::string out = data.bom ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < data.lines.size(); ++i) {
    out += data.lines[i].text;
    if (i + 1 < data.lines.size() || data.final_eol) out += data.eol;
  }
  return AtomicWriteFile(path, out);
}

// Index of the first section header with this name, or npos.
size_t FindSection(const ProfileData& data, const std::string& section) {
  for (size_t i = 0; i < data.lines.size(); ++i) {
    if (data.lines[i].kind == ProfileLine::kSection && SameName(data.lines[i].name, section)) return i;
  }
  return std::string::npos;
}

// One past the last line belonging to the section whose header is at `header`.
size_t SectionEnd(const ProfileData& data, size_t header) {
  size_t i = header + 1;
  while (i < data.lines.size() && data.lines[i].kind != ProfileLine::kSection) ++i;
  return i;
}

size_t FindKey(const ProfileData& data, size_t header, const std::string& key) {
  size_t end = SectionEnd(data, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (data.lines[i].kind == ProfileLine::kKey && SameName(data.lines[i].name, key)) return i;
  }
  return std::string::npos;
}

// A CR or LF written into a value would start a new line and inject keys.
std::string OneLine(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& default_value, const std::string& path,
                             size_t buffer_size) {
  ProfileData data = Load(path);
  std::string value = default_value;
  size_t header = FindSection(data, section);
  if (header != std::string::npos) {
    size_t k = FindKey(data, header, key);
    if (k != std::string::npos) {
      value = data.lines[k].value;
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
    }
  }
  if (buffer_size == 0) return {};
  if (value.size() > buffer_size - 1) value.resize(buffer_size - 1);
  return value;
}

int GetProfileInt(const std::string& section, const std::string& key, int default_value,
                  const std::string& path) {
  const std::string kMissing = "\x01missing";
  std::string value = GetProfileString(section, key, kMissing, path, SIZE_MAX);
  if (value == kMissing || value.empty()) return default_value;
  size_t i = 0;
  bool negative = false;
  if (value[i] == '+' || value[i] == '-') negative = value[i++] == '-';
  long long n = 0;
  const char* first = value.data() + i;
  const char* last = value.data() + value.size();
  auto [ptr, ec] = std::from_chars(first, last, n);
  if (ptr == first) return 0;
  if (ec == std::errc::result_out_of_range) n = LLONG_MAX;
  if (negative) n = -n;
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
  ProfileData data = Load(path);
  ProfileLine line = Classify(OneLine(key) + "=" + OneLine(value));
  size_t header = FindSection(data, section);
  if (header == std::string::npos) {
    data.lines.push_back(Classify("[" + OneLine(section) + "]"));
    data.lines.push_back(line);
    data.final_eol = true;
    return Save(data, path);
  }
  size_t k = FindKey(data, header, key);
  if (k != std::string::npos) {
    data.lines[k] = line;
    return Save(data, path);
  }
  // New keys go after the section's last key, before trailing blank lines.
  size_t end = SectionEnd(data, header);
  size_t insert = end;
  while (insert > header + 1 && Trim(data.lines[insert - 1].text).empty()) --insert;
  data.lines.insert(data.lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
  if (insert == data.lines.size() - 1) data.final_eol = true;
  return Save(data, path);
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path) {
  ProfileData data = Load(path);
  size_t header = FindSection(data, section);
  if (header == std::string::npos) return true;
  bool changed = false;
  // Every copy of the key goes, so a duplicate cannot surface after the delete.
  for (size_t k; (k = FindKey(data, header, key)) != std::string::npos;) {
    data.lines.erase(data.lines.begin() + static_cast<std::ptrdiff_t>(k));
    changed = true;
  }
  return changed ? Save(data, path) : true;
}

bool EraseProfileSection(const std::string& section, const std::string& path) {
  ProfileData data = Load(path);
  bool changed = false;
  // Every section of that name goes, so a duplicate cannot surface afterwards.
  for (size_t header; (header = FindSection(data, section)) != std::string::npos;) {
    size_t end = SectionEnd(data, header);
    data.lines.erase(data.lines.begin() + static_cast<std::ptrdiff_t>(header),
                     data.lines.begin() + static_cast<std::ptrdiff_t>(end));
    changed = true;
  }
  return changed ? Save(data, path) : true;
}

std::vector<std::string> GetProfileKeys(const std::string& section, const std::string& path) {
  ProfileData data = Load(path);
  std::vector<std::string> keys;
  size_t header = FindSection(data, section);
  if (header == std::string::npos) return keys;
  size_t end = SectionEnd(data, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (data.lines[i].kind == ProfileLine::kKey) keys.push_back(data.lines[i].name);
  }
  return keys;
}

std::vector<std::string> GetProfileSections(const std::string& path) {
  ProfileData data = Load(path);
  std::vector<std::string> sections;
  for (const ProfileLine& line : data.lines) {
    if (line.kind == ProfileLine::kSection) sections.push_back(line.name);
  }
  return sections;
}

}  // namespace qv3
