// The export choices as Qt dialogs: the MP3 format chooser ("Sound
// Selection": the formats LAME offers for the song's rate and channel count)
// and the "Bitrate" dialog in its AAC and WMA modes (also used by the CD
// ripper). QtExportDialogs is what the main window hands to export.
#ifndef QV3_EDITING_UI_EXPORT_DIALOGS_QT_H_
#define QV3_EDITING_UI_EXPORT_DIALOGS_QT_H_

#include <QDialog>
#include <vector>

#include "editing/export_dialogs.h"

class QComboBox;
class QLabel;

namespace qv3 {

// A title, a prompt, a drop-down list with the first entry selected, OK and
// Cancel.
class ExportChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  ExportChoiceDialog(const QString& title, const QString& prompt, const QStringList& entries,
                     int selected, QWidget* parent = nullptr);
  int chosen() const;
  QComboBox* list() const { return list_; }
  QLabel* prompt() const { return prompt_; }

 private:
  QComboBox* list_;
  QLabel* prompt_;
};

inline constexpr char kMp3ChooserTitle[] = "Sound Selection";
inline constexpr char kMp3ChooserPrompt[] = "Format:  MPEG Layer-3\nAttributes:";

// The Bitrate dialog in AAC mode: the quality table as "%d kbps".
ExportChoiceDialog* NewAacBitrateDialog(QWidget* parent);
// The Bitrate dialog in WMA mode: each rate as "%d kbps" of rate / 1000.
ExportChoiceDialog* NewWmaBitrateDialog(const std::vector<int>& rates, QWidget* parent);
// The MP3 chooser, the 192 kbps entry preselected when there is one.
ExportChoiceDialog* NewMp3FormatDialog(const std::vector<Mp3Format>& formats, QWidget* parent);

class QtExportDialogs : public ExportDialogs {
 public:
  explicit QtExportDialogs(QWidget* parent) : parent_(parent) {}
  bool ChooseMp3Format(const std::vector<Mp3Format>& formats, Mp3Format* chosen) override;
  bool ChooseAacQuality(AacQuality* chosen) override;
  bool ChooseWmaRate(const std::vector<int>& rates, int* chosen) override;

 private:
  QWidget* parent_;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_EXPORT_DIALOGS_QT_H_
