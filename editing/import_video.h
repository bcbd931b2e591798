// Extracting the audio track of a video with the external converter, under
// the import progress dialog: a duration probe, then the conversion script
// whose " time=" output moves the bar, with Cancel ending the converter.
//
// The dialog is an ImportProgressView (the Qt one is in editing/ui); this
// file holds its logic, which runs on the GUI thread and pumps events while
// the converter works.
#ifndef QV3_EDITING_IMPORT_VIDEO_H_
#define QV3_EDITING_IMPORT_VIDEO_H_

#include <memory>
#include <string>

#include "editing/console_pipe.h"

namespace qv3 {

inline constexpr char kExtractTitle[] = "Extracting Audio From Video";
inline constexpr char kImportingLabel[] = "Importing:";
inline constexpr char kSavingToFormat[] = "Saving to \"%s\"";
inline constexpr char kTimeLineFormat[] = "%2.1f of %2.1f Seconds";
inline constexpr char kImportCancelledText[] = "Import cancelled.";
inline constexpr int kProgressBarMax = 10000;

// The dialog's texts and what it converts.
struct ImportProgressTexts {
  std::string title;         // "Extracting Audio From Video"
  std::string first_label;   // "Importing:"
  std::string second_label;  // "Saving to \"<destination>\""
};

// The progress dialog as the logic drives it.
class ImportProgressView {
 public:
  virtual ~ImportProgressView() = default;
  // Centres the dialog (still hidden) before the probe.
  virtual void Prepare(const ImportProgressTexts& texts) = 0;
  // Sets the labels, the bar to 0 of 0 .. 10000 and shows the dialog modally.
  virtual void ShowProgress(const ImportProgressTexts& texts) = 0;
  virtual void SetProgress(int value) = 0;
  virtual void SetTimeLine(const std::string& text) = 0;
  // Processes pending events (posted pipe messages among them); may wait a
  // few milliseconds for one so the loops around it do not spin.
  virtual void Pump() = 0;
  // One round of pending events without waiting (the drains around Cancel).
  virtual void Drain() { Pump(); }
  // True once the user pressed Cancel (or closed the dialog).
  virtual bool CancelRequested() = 0;
  // Closes the dialog (OK or Cancel).
  virtual void Close(bool ok) = 0;
};

enum class ExtractResult { kOk, kCancelled, kFailed };

// One extraction. Messages are left to the caller (ExtractAudioFromVideo
// shows them), so the sniffer can reuse the dialog logic for its own runs.
class VideoExtraction : public ConsolePipeOwner {
 public:
  struct Settings {
    std::string ffmpeg;       // "FFMpegExe"
    std::string options;      // "FFMpegAud"
    std::string temp_folder;  // scripts and the error file go here
    // How long Cancel lets the converter end by itself before killing it.
    int terminate_grace_ms = 5000;
  };

  VideoExtraction(ImportProgressView* view, Settings settings);
  ~VideoExtraction() override;

  // Runs the probe and the conversion of `source` into `destination`.
  ExtractResult Run(const std::string& source, const std::string& destination);

  double duration() const { return duration_; }
  double converted_seconds() const { return converted_; }
  int progress() const { return progress_; }
  // The conversion's interpreter, leader of the converter's process group.
  pid_t converter_pid() const { return converter_pid_; }
  // The converter's whole output (for the failure report).
  const std::string& output() const { return output_; }

  // ---- ConsolePipeOwner ----
  void OnPipeText(const std::string& text) override;
  void OnPipeEnded(CConsolePipe* pipe) override;

 private:
  // Runs the probe script and reads the duration from its output.
  void ProbeDuration(const std::string& source);
  void Drain(int rounds);

  ImportProgressView* view_;
  Settings settings_;
  std::unique_ptr<CMyConsolePipe> pipe_;
  double duration_ = 1.0;
  double converted_ = 0.0;
  int progress_ = 0;
  pid_t converter_pid_ = -1;
  bool output_ended_ = false;
  std::string pending_line_;  // progress text not yet ended by CR or LF
  std::string output_;
};

// Extracts the audio of `source` into `destination` with the configured
// converter under `view`. Shows "Import cancelled." after a cancel and the
// failure report when the converter left no file or failed.
bool ExtractAudioFromVideo(ImportProgressView* view, const std::string& source,
                           const std::string& destination, const VideoExtraction::Settings& settings);

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_VIDEO_H_
