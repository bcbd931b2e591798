#include "editing/export_dialogs.h"

#include <cstdlib>

namespace qv3 {

const std::vector<AacQuality>& AacQualityTable() {
  static const std::vector<AacQuality> table = {
      {218, "-q 130 -c 22000 --mpeg-vers 4"}, {194, "-q 120 -c 20000 --mpeg-vers 4"},
      {158, "-q 110 -c 18000 --mpeg-vers 4"}, {129, "-q 100 -c 16000 --mpeg-vers 4"},
      {103, "-q 90 -c 14000 --mpeg-vers 4"},  {79, "-q 80 -c 12000 --mpeg-vers 4"},
      {62, "-q 70 -c 10000 --mpeg-vers 4"},
  };
  return table;
}

std::string KbpsText(int kbps) { return std::to_string(kbps) + " kbps"; }

int DefaultMp3FormatIndex(const std::vector<Mp3Format>& formats) {
  for (size_t i = 0; i < formats.size(); ++i) {
    if (formats[i].kbps == 192) return static_cast<int>(i);
  }
  return 0;
}

namespace {

// Index of the value nearest to `target`.
template <typename T, typename F>
size_t Nearest(const std::vector<T>& items, int target, F kbps_of) {
  size_t best = 0;
  for (size_t i = 1; i < items.size(); ++i) {
    if (std::abs(kbps_of(items[i]) - target) < std::abs(kbps_of(items[best]) - target)) best = i;
  }
  return best;
}

}  // namespace

bool FixedExportChoices::ChooseMp3Format(const std::vector<Mp3Format>& formats,
                                         Mp3Format* chosen) {
  if (formats.empty()) return false;
  const size_t i = kbps_ > 0 ? Nearest(formats, kbps_, [](const Mp3Format& f) { return f.kbps; })
                             : static_cast<size_t>(DefaultMp3FormatIndex(formats));
  *chosen = formats[i];
  return true;
}

bool FixedExportChoices::ChooseAacQuality(AacQuality* chosen) {
  const auto& table = AacQualityTable();
  *chosen = kbps_ > 0 ? table[Nearest(table, kbps_, [](const AacQuality& q) { return q.kbps; })]
                      : table.front();
  return true;
}

bool FixedExportChoices::ChooseWmaRate(const std::vector<int>& rates, int* chosen) {
  if (rates.empty()) return false;
  *chosen = kbps_ > 0 ? rates[Nearest(rates, kbps_, [](int r) { return r / 1000; })] : rates.front();
  return true;
}

}  // namespace qv3
