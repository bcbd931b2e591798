// Texts for a hyperlink that could not be opened, by the shell error code the
// hyperlink control reports.
#ifndef QV3_APP_HYPERLINK_ERRORS_H_
#define QV3_APP_HYPERLINK_ERRORS_H_

#include <string>

namespace qv3 {

// The code used when the desktop has no handler for a link (xdg-open or
// QDesktopServices failed): "There is no application associated...".
inline constexpr int kHyperlinkNoAssociation = 31;

// The text for `code`; "Unknown Error (%d) occurred." for codes not in the table.
std::string HyperlinkErrorText(int code);
// Shows "Unable to open hyperlink:\n\n" and the text (exclamation icon).
void ReportHyperlinkError(int code);

}  // namespace qv3

#endif  // QV3_APP_HYPERLINK_ERRORS_H_
