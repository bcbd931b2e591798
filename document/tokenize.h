// TokenizeLine: the tokenizer of project lines, shared with the command line
// and the equaliser preset values.
#ifndef QV3_DOCUMENT_TOKENIZE_H_
#define QV3_DOCUMENT_TOKENIZE_H_

#include <string>
#include <string_view>
#include <vector>

namespace qv3 {

// Splits `line` at spaces; runs of spaces are skipped. A token that begins
// with a double quote runs to the next double quote and excludes both (an
// empty pair gives an empty token; a missing closing quote ends the token at
// the end of the line); any other token runs to the next space or the end.
//
// The line is first cut at its first line feed and every remaining CR is
// taken as a blank, so a CR LF line gives the same tokens as an LF line
// (a trailing CR would otherwise be a stray token of its own).
std::vector<std::string> TokenizeLine(std::string_view line);

}  // namespace qv3

#endif  // QV3_DOCUMENT_TOKENIZE_H_
