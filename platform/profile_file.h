// Profile ("ini") files with the semantics of the Windows profile functions
// the program was designed on: sections and keys matched case-insensitively
// (first match wins), values trimmed with one pair of enclosing quotes
// stripped, ";" comments only at the start of a line (after blanks), buffer
// limits honoured. Lines of any length; LF or CR LF line ends (writes keep the
// file's own). Writes rewrite the whole file atomically (temporary file,
// fsync, rename) and keep every other line, comments included, as it was.
// Not QSettings: that would split commas into lists and escape values.
#ifndef QV3_PLATFORM_PROFILE_FILE_H_
#define QV3_PLATFORM_PROFILE_FILE_H_

#include <string>
#include <vector>

namespace qv3 {

// The value of key in section, or `default_value` when the file, section or key
// is missing. At most buffer_size - 1 characters are returned, as a Windows
// caller with a buffer of that size would see them; pass SIZE_MAX to read a
// value (a path, say) whole.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& default_value, const std::string& path,
                             size_t buffer_size = 260);
// The leading integer of the value (atoi semantics), or default_value.
int GetProfileInt(const std::string& section, const std::string& key, int default_value,
                  const std::string& path);
// Writes key=value (creating the file and section when missing; a new key goes
// after the section's last key). A CR or LF in the value becomes a blank, so a
// value can never inject lines. False when the file cannot be written.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);
// Removes the key from the first section of that name (every copy of it).
bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path);
// Removes the section, and any later section of the same name.
bool EraseProfileSection(const std::string& section, const std::string& path);
// The keys of the (first) section in file order.
std::vector<std::string> GetProfileKeys(const std::string& section, const std::string& path);
// The section names in file order.
std::vector<std::string> GetProfileSections(const std::string& path);

}  // namespace qv3

#endif  // QV3_PLATFORM_PROFILE_FILE_H_
