#include "app/default_locations.h"

#include "platform/app_settings.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/ui_services.h"

namespace qv3 {

const std::array<const char*, kLocationCount> kLocationNames = {"Project", "Audio", "Export",
                                                                 "Sniffer", "Temp"};

LocationValues CurrentLocations() {
  LocationValues values;
  for (int i = 0; i < kLocationCount; ++i) values[i] = DefaultLocation(kLocationNames[i]);
  return values;
}

void NormalizeLocations(LocationValues* values) {
  for (std::string& v : *values) {
    const size_t first = v.find_first_not_of(" \t\r\n");
    const size_t last = v.find_last_not_of(" \t\r\n");
    v = first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
    if (!v.empty()) v = StripTrailingSlashes(v);
  }
}

int CheckLocations(const LocationValues& values) {
  for (int i = 0; i < kLocationCount; ++i) {
    if (values[i].empty() || !IsDirectory(values[i])) {
      MessageBoxCaption(kAppTitle, MsgIcon::kExclamation,
                        "The chosen %s Files path was not found, and can not be used to store "
                        "computer files.  Please pick a directory that is on a physical hard "
                        "drive.",
                        kLocationNames[i]);
      return i;
    }
  }
  return -1;
}

bool SaveLocations(const LocationValues& values, const std::string& config_path) {
  bool ok = true;
  for (int i = 0; i < kLocationCount; ++i) {
    ok = WriteProfileString(kConfigSection, std::string(kLocationNames[i]) + "FilePath", values[i],
                            config_path) &&
         ok;
  }
  return ok;
}

}  // namespace qv3
