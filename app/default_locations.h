// The default file locations as the options dialog edits them: the five
// folders in field order, the checks on OK with their messages, and writing
// them back to the configuration file.
#ifndef QV3_APP_DEFAULT_LOCATIONS_H_
#define QV3_APP_DEFAULT_LOCATIONS_H_

#include <array>
#include <string>

namespace qv3 {

inline constexpr int kLocationCount = 5;
// "Project", "Audio", "Export", "Sniffer", "Temp".
extern const std::array<const char*, kLocationCount> kLocationNames;

using LocationValues = std::array<std::string, kLocationCount>;

// The current default locations, in field order.
LocationValues CurrentLocations();
// Trims each text and removes trailing slashes (a lone "/" stays).
void NormalizeLocations(LocationValues* values);
// The first field that is empty or not an existing folder, after showing its
// message ("The chosen %s Files path was not found, ..."; exclamation icon);
// -1 when all five pass.
int CheckLocations(const LocationValues& values);
// Writes "<Name>FilePath" for each; false when the file could not be written.
bool SaveLocations(const LocationValues& values, const std::string& config_path);

}  // namespace qv3

#endif  // QV3_APP_DEFAULT_LOCATIONS_H_
