// The page file text: writer and reader of CScoreletFileArray.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pagefile/scorelet_file_array.h"

namespace qv3 {

namespace {

// ---------------------------------------------------------------- writer

void AppendInt(std::string& out, int64_t value) {
  char buf[24];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

// "0x%06x": six or more lower-case hexadecimal digits.
void AppendColour(std::string& out, uint32_t colour) {
  char buf[16];
  auto result = std::to_chars(buf, buf + sizeof buf, colour, 16);
  out += "0x";
  for (auto n = result.ptr - buf; n < 6; ++n) out += '0';
  out.append(buf, result.ptr);
}

void AppendFields(std::string& out, std::initializer_list<int64_t> fields) {
  for (int64_t field : fields) {
    out += ' ';
    AppendInt(out, field);
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The block's lines separated by "\n". CR LF and a lone LF (as a Linux
// editor gives it) break a line; a lone CR becomes a blank, as it does in a
// text line. A line that reads as the end keyword would close the block early
// and turn the rest into page lines, so it is written quoted.
std::string TextBlockForFile(const std::string& text) {
  std::string out;
  std::string line;
  auto flush = [&](bool newline) {
    if (Trim(line) == kScoreletTextBlockEndKey) line = "'" + line + "'";
    out += line;
    if (newline) out += '\n';
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      flush(true);
    } else if (c == '\r') {
      line += ' ';
    } else if (c == '\n') {
      flush(true);
    } else {
      line += c;
    }
  }
  flush(false);
  return out;
}

void AppendObject(std::string& out, const ScoreletObject& o) {
  const ScoreletPoint& p0 = o.points[0];
  const ScoreletPoint& p1 = o.points[1];
  switch (o.kind) {
    case kScoreletBitmap:
      out += kScoreletBitmapKey;
      AppendFields(out, {o.index, o.page, p0.x, p0.y});
      out += '\n';
      break;
    case kScoreletVector:
      out += kScoreletVectorKey;
      AppendFields(out, {o.index, o.page, p0.x, p0.y, p1.x, p1.y, o.pen_width});
      out += ' ';
      AppendColour(out, o.colour);
      out += '\n';
      break;
    case kScoreletTextLine:
      if (o.text.empty()) return;  // no text (and no font), nothing worth keeping
      out += kScoreletTextLineKey;
      AppendFields(out, {o.index, o.page, p0.x, p0.y, o.size, o.Angle(), o.Bold(), o.Italic(),
                         o.Underline()});
      out += ' ';
      AppendColour(out, o.colour);
      out += " \"";
      out += ScoreletTextLineSafe(o.text);
      out += "\"\n";
      break;
    case kScoreletTextBlock:
      out += kScoreletTextBlockBeginKey;
      AppendFields(out, {o.index, o.page, p0.x, p0.y, p1.x, p1.y, o.size});
      out += ' ';
      AppendColour(out, o.colour);
      out += '\n';
      out += TextBlockForFile(o.text);
      out += '\n';
      out += kScoreletTextBlockEndKey;
      out += '\n';
      break;
    case kScoreletTimeSignature:
      out += kScoreletTimeSignatureKey;
      AppendFields(out, {o.index, o.page, p0.x, p0.y});
      out += ' ';
      AppendColour(out, o.colour);
      out += '\n';
      break;
    default:
      break;  // an unknown kind has no entry
  }
}

// ---------------------------------------------------------------- reader

// Tokens are separated by runs of blanks; a token that begins with a double
// quote runs to the next double quote (exclusive) or to the end of the line.
std::vector<std::string_view> Tokenize(std::string_view line) {
  std::vector<std::string_view> tokens;
  tokens.reserve(10);
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && line[i] == ' ') ++i;
    if (i >= n) break;
    if (line[i] == '"') {
      size_t start = ++i;
      while (i < n && line[i] != '"') ++i;
      tokens.push_back(line.substr(start, i - start));
      if (i < n) ++i;  // the closing quote
    } else {
      size_t start = i;
      while (i < n && line[i] != ' ') ++i;
      tokens.push_back(line.substr(start, i - start));
    }
  }
  return tokens;
}

// Decimal: optional blanks and sign, then the leading digits; 0 when none.
// Saturates instead of overflowing; callers clamp to their field's range.
int64_t ParseDecimal(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (s[i] - '0'), int64_t{1} << 40);
  }
  return negative ? -value : value;
}

int32_t ParseInt(std::string_view s) {
  return static_cast<int32_t>(std::clamp<int64_t>(ParseDecimal(s), INT32_MIN, INT32_MAX));
}

int32_t ParseClamped(std::string_view s, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(std::clamp<int64_t>(ParseDecimal(s), lo, hi));
}

// Hexadecimal with an optional "0x"; 0 when no digits. Colours are 24-bit.
uint32_t ParseColour(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) i += 2;
  uint64_t value = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = std::min<uint64_t>(value * 16 + digit, 0xFFFFFFFFull);
  }
  return static_cast<uint32_t>(value) & 0xFFFFFFu;
}

struct Offsets {
  int x;
  int y;
  int page;
};

int32_t Coordinate(std::string_view s, int offset) {
  int64_t v = std::clamp<int64_t>(ParseDecimal(s), -kScoreletMaxCoordinate, kScoreletMaxCoordinate);
  return static_cast<int32_t>(
      std::clamp<int64_t>(v + offset, -kScoreletMaxCoordinate, kScoreletMaxCoordinate));
}

int32_t Page(std::string_view s, int offset) {
  int64_t v = std::clamp<int64_t>(ParseDecimal(s), -kScoreletMaxPages, kScoreletMaxPages);
  return static_cast<int32_t>(std::clamp<int64_t>(v + offset, 1, kScoreletMaxPages));
}

// Cuts text into lines at every line feed (a final line without one counts).
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string CScoreletFileArray::WriteText(bool selection_only) const {
  std::string out;
  if (!selection_only) {
    out += kScoreletPageCountKey;
    out += ' ';
    AppendInt(out, page_count_);
    out += "\n\n";
  }
  for (const auto& object : objects_) {
    if (selection_only && object->selected != 1) continue;
    AppendObject(out, *object);
  }
  return out;
}

void CScoreletFileArray::ReadText(std::string_view text, int* page_count_out, int x_offset,
                                  int y_offset, int page_offset, int selected) {
  const Offsets off{x_offset, y_offset, page_offset};
  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t li = 0; li < lines.size(); ++li) {
    std::string_view line = Trim(lines[li]);
    if (line.empty() || line.front() == ';') continue;
    // Cheap reject before tokenising: every pad line starts with the prefix.
    if (line.substr(0, 9) != "scorelet_") continue;
    const std::vector<std::string_view> t = Tokenize(line);
    if (t.empty()) continue;
    const std::string_view key = t[0];

    ScoreletObjectParams params;
    if (key == kScoreletPageCountKey && t.size() == 2) {
      if (page_count_out != nullptr) *page_count_out = ParseClamped(t[1], 1, kScoreletMaxPages);
      continue;
    } else if (key == kScoreletBitmapKey && t.size() == 5) {
      params.kind = kScoreletBitmap;
      params.index = ParseInt(t[1]);
      params.page = Page(t[2], off.page);
      params.points[0] = {Coordinate(t[3], off.x), Coordinate(t[4], off.y), 0, 0};
      params.point_count = 1;
    } else if (key == kScoreletVectorKey && t.size() == 9) {
      params.kind = kScoreletVector;
      params.index = ParseInt(t[1]);
      params.page = Page(t[2], off.page);
      params.points[0] = {Coordinate(t[3], off.x), Coordinate(t[4], off.y), 0, 0};
      params.points[1] = {Coordinate(t[5], off.x), Coordinate(t[6], off.y), 0, 0};
      params.point_count = 2;
      params.pen_width = ParseClamped(t[7], 0, kScoreletMaxPenWidth);
      params.colour = ParseColour(t[8]);
    } else if (key == kScoreletTextLineKey && t.size() == 12) {
      params.kind = kScoreletTextLine;
      params.index = ParseInt(t[1]);
      params.page = Page(t[2], off.page);
      params.points[0] = {Coordinate(t[3], off.x), Coordinate(t[4], off.y), 0, 0};
      params.point_count = 1;
      params.size = ParseClamped(t[5], 0, kScoreletMaxTextSize);
      params.angle = ParseClamped(t[6], -kScoreletMaxAngle, kScoreletMaxAngle);
      params.bold = ParseInt(t[7]);
      params.italic = ParseInt(t[8]) != 0;
      params.underline = ParseInt(t[9]) != 0;
      params.colour = ParseColour(t[10]);
      params.text = std::string(t[11]);
    } else if (key == kScoreletTextBlockBeginKey && t.size() == 9) {
      params.kind = kScoreletTextBlock;
      params.index = ParseInt(t[1]);
      params.page = Page(t[2], off.page);
      params.points[0] = {Coordinate(t[3], off.x), Coordinate(t[4], off.y), 0, 0};
      params.points[1] = {Coordinate(t[5], off.x), Coordinate(t[6], off.y), 0, 0};
      params.point_count = 2;
      params.size = ParseClamped(t[7], 0, kScoreletMaxTextSize);
      params.colour = ParseColour(t[8]);
      // The block's text: the following lines, trimmed, up to the end line.
      std::string block;
      size_t next = li + 1;
      for (; next < lines.size(); ++next) {
        std::string_view text_line = Trim(lines[next]);
        if (text_line == kScoreletTextBlockEndKey) break;
        block.append(text_line);
        block += "\r\n";
      }
      if (block.size() >= 2) block.resize(block.size() - 2);
      params.text = std::move(block);
      li = next;  // past the end line, or past the last line when none
    } else if (key == kScoreletTimeSignatureKey && t.size() == 6) {
      params.kind = kScoreletTimeSignature;
      params.index = ParseInt(t[1]);
      params.page = Page(t[2], off.page);
      params.points[0] = {Coordinate(t[3], off.x), Coordinate(t[4], off.y), 0, 0};
      params.point_count = 1;
      params.colour = ParseColour(t[5]);
    } else {
      continue;
    }
    auto object = ScoreletObject::Build(params);
    object->selected = selected;
    objects_.push_back(std::move(object));
  }
}

}  // namespace qv3
