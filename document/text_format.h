// Locale-independent number text and the name clean-up of the project file.
//
// The C library's "%f" and atof follow LC_NUMERIC, which Qt sets from the
// environment, so under a comma locale they would write "12,500000" and
// misread "12.5". Everything here uses std::to_chars / std::from_chars.
#ifndef QV3_DOCUMENT_TEXT_FORMAT_H_
#define QV3_DOCUMENT_TEXT_FORMAT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv3 {

// Fixed notation with `decimals` digits after a point ("%.*f" in the C
// locale): FormatFixed(12.5, 6) == "12.500000".
std::string FormatFixed(double value, int decimals);

// atoi semantics without undefined behaviour: leading white space, an
// optional sign, then the leading digits; 0 when there are none; values
// beyond the 32-bit range saturate.
int32_t ParseInt32(std::string_view text);

// atof semantics for a decimal number (leading white space, sign, digits,
// point, exponent; 0 when nothing parses), but a number that is not finite
// ("nan", "inf", "1e999") gives nullopt: values from files are untrusted.
std::optional<double> ParseFiniteDouble(std::string_view text);

// A name as it may stand between the double quotes of a project line: a
// double quote would end the token early and a CR or LF would split the
// line, so '"' becomes '\'' and CR / LF become blanks.
std::string SanitizeQuotedText(std::string_view text);

}  // namespace qv3

#endif  // QV3_DOCUMENT_TEXT_FORMAT_H_
