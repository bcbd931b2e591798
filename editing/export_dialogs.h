// The choices export asks the user for, as an interface: the Qt dialogs
// (editing/ui/export_dialogs_qt.h) for the program, a fixed choice for
// qv3-render, a script in tests. Also the AAC quality table.
#ifndef QV3_EDITING_EXPORT_DIALOGS_H_
#define QV3_EDITING_EXPORT_DIALOGS_H_

#include <string>
#include <vector>

#include "audiolib/encode.h"

namespace qv3 {

// One row of the AAC quality table: the kbps shown and the encoder options.
struct AacQuality {
  int kbps;
  const char* options;
};
// 218, 194, 158, 129, 103, 79, 62 kbps; the first row is preselected.
const std::vector<AacQuality>& AacQualityTable();

// The Bitrate dialog's texts and the "%d kbps" entry text.
inline constexpr char kBitrateDialogTitle[] = "Bitrate";
inline constexpr char kBitrateDialogPrompt[] = "Please choose the output bitrate:";
std::string KbpsText(int kbps);

class ExportDialogs {
 public:
  virtual ~ExportDialogs() = default;
  // The MP3 format chooser over `formats` (never empty); false = cancelled.
  virtual bool ChooseMp3Format(const std::vector<Mp3Format>& formats, Mp3Format* chosen) = 0;
  // Bitrate dialog, AAC mode: the chosen row of AacQualityTable().
  virtual bool ChooseAacQuality(AacQuality* chosen) = 0;
  // Bitrate dialog, WMA mode over `rates` (bits per second): the chosen rate.
  virtual bool ChooseWmaRate(const std::vector<int>& rates, int* chosen) = 0;
};

// Answers without asking: the format / row / rate nearest to `kbps`
// (0: the MP3 chooser's default of 192 kbps and the first row or rate).
class FixedExportChoices : public ExportDialogs {
 public:
  explicit FixedExportChoices(int kbps = 0) : kbps_(kbps) {}
  bool ChooseMp3Format(const std::vector<Mp3Format>& formats, Mp3Format* chosen) override;
  bool ChooseAacQuality(AacQuality* chosen) override;
  bool ChooseWmaRate(const std::vector<int>& rates, int* chosen) override;

 private:
  int kbps_;
};

// The entry a format chooser preselects: 192 kbps when offered, else the first.
int DefaultMp3FormatIndex(const std::vector<Mp3Format>& formats);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_DIALOGS_H_
