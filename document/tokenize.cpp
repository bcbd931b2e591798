#include "document/tokenize.h"

namespace qv3 {

std::vector<std::string> TokenizeLine(std::string_view line) {
  size_t lf = line.find('\n');
  if (lf != std::string_view::npos) line = line.substr(0, lf);

  std::vector<std::string> tokens;
  auto is_blank = [](char c) { return c == ' ' || c == '\r'; };
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && is_blank(line[i])) ++i;
    if (i >= n) break;
    std::string token;
    if (line[i] == '"') {
      ++i;
      size_t close = line.find('"', i);
      size_t end = close == std::string_view::npos ? n : close;
      token.assign(line.substr(i, end - i));
      i = close == std::string_view::npos ? n : close + 1;
    } else {
      size_t start = i;
      while (i < n && !is_blank(line[i])) ++i;
      token.assign(line.substr(start, i - start));
    }
    // A CR inside a quoted token stands for a blank, as the writer makes it.
    for (char& c : token) {
      if (c == '\r') c = ' ';
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace qv3
