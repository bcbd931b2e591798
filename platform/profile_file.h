// Profile ("ini") files with the semantics of the Windows profile functions
// the program was designed on: sections and keys matched case-insensitively
// (first match wins), values trimmed with one pair of enclosing quotes
// stripped, ";" comments only at the start of a line, buffer limits honoured.
// Writes rewrite the whole file atomically (temporary file, fsync, rename).
// Not QSettings: that would split commas into lists and escape values.
#ifndef QV3_PLATFORM_PROFILE_FILE_H_
#define QV3_PLATFORM_PROFILE_FILE_H_

#include <string>
#include <vector>

namespace qv3 {

// The value of key in section, or `default_value` when the file, section or key
// is missing. At most buffer_size - 1 characters are returned, as a Windows
// caller with a buffer of that size would see them.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& default_value, const std::string& path,
                             size_t buffer_size = 260);
// The leading integer of the value (atoi semantics), or default_value.
int GetProfileInt(const std::string& section, const std::string& key, int default_value,
                  const std::string& path);
// Writes key = value (creating the file and section when missing).
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);
// Removes one key.
bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path);
// Removes a whole section.
bool EraseProfileSection(const std::string& section, const std::string& path);
// The keys of a section in file order.
std::vector<std::string> GetProfileKeys(const std::string& section, const std::string& path);
// The section names in file order.
std::vector<std::string> GetProfileSections(const std::string& path);

}  // namespace qv3

#endif  // QV3_PLATFORM_PROFILE_FILE_H_
