// Opening a song: the one entry point of Open, drag and drop, the recent
// list and the project loader. Audio files become the working WAV (snapshot
// 0 of a fresh history) by copying or decoding, videos by extracting their
// audio; then the player, the sliders, the peaks and the view follow through
// the ImportHost.
#ifndef QV3_EDITING_IMPORT_SOURCE_H_
#define QV3_EDITING_IMPORT_SOURCE_H_

#include <memory>
#include <string>
#include <vector>

#include "editing/import_host.h"
#include "editing/import_video.h"
#include "platform/ui_services.h"

namespace qv3 {

inline constexpr char kProjectExtension[] = "qvp";

inline constexpr char kSourceNotFoundFormat[] =
    "The Source file was not found:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kSourceNotFoundCaption[] = "File Not Found";
inline constexpr char kUnsupportedFormatFormat[] =
    "Can't open the file:\n\n\t%s\n\nMore Details:\n\nUnsupported File Format\n\nSorry, can't "
    "continue.";
inline constexpr char kDrmFormat[] =
    "Can't open the file:\n\n\t%s\n\nMore Details:\n\nThe file you are trying to open is "
    "encrypted with DRM technology.  To allow Quaverly to open this file, you must burn this "
    "file to a CD, and then rip it off again.  This procedure strips the encryption from the "
    "file, and this should allow you to open it.\n\nSorry, can't continue.";
inline constexpr char kStatsFailedFormat[] =
    "Unable to get the Audio File Stats from:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kUnknownTypeFormat[] =
    "Can't open the file:\n\n\t%s\n\nMore Details:\n\nThe file you are trying to open is is an "
    "unknown file type.\n\nSorry, can't continue.";
// The player can play only mono and stereo songs; such files are refused
// before anything is decoded.
inline constexpr char kChannelCountFormat[] =
    "Can't open the file:\n\n\t%s\n\nMore Details:\n\nThe file has %d audio channels.  Only mono "
    "and stereo files can be opened.\n\nSorry, can't continue.";
// The working WAV was made but the player refused it.
inline constexpr char kPlayerOpenFailedFormat[] =
    "Can't open the file:\n\n\t%s\n\nMore Details:\n\nThe audio could not be played (error "
    "%d).\n\nSorry, can't continue.";
inline constexpr char kCopyFailedFormat[] = "Can't create the output file:\n\n   %s";

inline constexpr char kDropOneFileText[] = "Please Drag & Drop only one file at a time, thanks.";
inline constexpr char kDropNoExtensionText[] =
    "A file extension was not found for the file dropped.";
inline constexpr char kDropUnsupportedFormat[] =
    "Can't open the file that was dropped - unsupported file extension \"%s\".";

// The pad notification sent after a media file was opened (or failed).
inline constexpr int kPadNotifyOpened = 2005;

// The open dialog's title and filters.
inline constexpr char kOpenDialogTitle[] = "Select Source File...";
inline constexpr char kAutoPlayLabel[] = "Automatically play the selected file";
inline constexpr int kOpenDialogWidth = 570;
inline constexpr int kOpenDialogHeight = 500;
std::vector<FileFilter> OpenSourceFilters();

// What Open asks the user for (the host shows the dialog of editing/ui).
class SourceChooser {
 public:
  virtual ~SourceChooser() = default;
  // The chosen path, or empty when cancelled.
  virtual std::string ChooseSource(const FileDialogRequest& request) = 0;
};

// Makes the progress dialog of a video import.
class ProgressViewFactory {
 public:
  virtual ~ProgressViewFactory() = default;
  virtual std::unique_ptr<ImportProgressView> MakeProgressView() = 0;
};

// Where import finds its folders and converter; read from the configuration
// unless a test sets them.
struct ImportSettings {
  std::string temp_folder;     // "Temp"
  std::string project_folder;  // "Project"
  std::string ffmpeg;          // "FFMpegExe"
  std::string ffmpeg_options;  // "FFMpegAud"
};
// The configured values (DefaultLocation, AppToolPaths), read now.
ImportSettings ConfiguredImportSettings();

enum class OpenOutcome {
  kOpened,
  // Nothing was touched: the previous song is still open.
  kNotFound,
  // The previous song was discarded and the new one did not open.
  kFailed,
};

class SourceImporter {
 public:
  // None of the pointers is owned; `views` is needed for videos only.
  SourceImporter(ImportHost* host, ProgressViewFactory* views);

  // Open source(path, write initial state, reset controls). Shows every
  // failure itself and re-enables the window.
  OpenOutcome OpenSource(const std::string& path, bool write_initial_state, bool reset_controls);

  // Open and drop: an audio or video file through OpenSource(path, 1, 1), a
  // project through the host's project loader. Success adds the path to the
  // recent list; a media open that discarded the previous song resets the
  // song's files. After a media file the pad is told (2005).
  bool OpenMediaOrProject(const std::string& path);

  // Drop: the window comes to the front and AskSaveChanges runs first; then
  // one file with an audio, video or project extension is opened. False when
  // nothing was opened.
  bool Drop(const std::vector<std::string>& paths);

  // Open command: AskSaveChanges, then the "Select Source File..." dialog
  // (the first time in a run in the Audio folder), then OpenMediaOrProject.
  bool OpenCommand(SourceChooser* chooser);

  // Settings used by the next open; defaults to ConfiguredImportSettings()
  // read at each open.
  void set_settings(const ImportSettings& settings) {
    settings_ = settings;
    fixed_settings_ = true;
  }
  // The folder the open dialog starts in the next time.
  static void set_open_dialog_folder(const std::string& folder);

 private:
  // The working WAV of a video, under the progress dialog; false after
  // showing why not.
  bool ExtractVideoAudio(const std::string& path, const std::string& working_wav);
  // The finishing steps once the working WAV exists.
  bool ShowNewSong(const std::string& path, const std::string& working_wav,
                   const std::string& state_path, bool write_initial_state, bool reset_controls);
  // Every failure: window enabled, status cleared.
  OpenOutcome Fail(OpenOutcome outcome);

  ImportHost* host_;
  ProgressViewFactory* views_;
  ImportSettings settings_;
  bool fixed_settings_ = false;
};

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_SOURCE_H_
