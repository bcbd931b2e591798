// CQuaverly3Dlg: the main window. It owns the open document (with its
// loops and markers), the song's working files, the playback engine and the
// waveform view, and turns buttons, menus, keys, engine notifications, view
// notifications and dropped files into calls on them.
//
// The implementation is split by concern:
//   quaverly3_dlg.cpp           construction, layout, command routing, frame
//   quaverly3_dlg_transport.cpp play, pause, stop, seek, engine notifications,
//                               the loop repeat logic with its pause
//   quaverly3_dlg_settings.cpp  tempo, pitch, zoom, volume, channels, modes
//   quaverly3_dlg_items.cpp     loops, markers, the view's notifications,
//                               dialogs, the Note Finder
//   quaverly3_dlg_document.cpp  open, drop, save, recent files, help, the
//                               document and import hosts, closing
//   quaverly3_dlg_edit.cpp      the edit host (edits, undo and redo)
//   quaverly3_dlg_export.cpp    the song for export and the export commands
#ifndef QV3_APP_UI_QUAVERLY3_DLG_H_
#define QV3_APP_UI_QUAVERLY3_DLG_H_

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/foot_pedal.h"
#include "app/loop_delay.h"
#include "app/main_window_rules.h"
#include "app/recent_file_list.h"
#include "app/vocal_reduction.h"
#include "document/loop_repeat.h"
#include "document/project_document.h"
#include "document/project_host.h"
#include "editing/edit_commands.h"
#include "editing/edit_host.h"
#include "editing/export_job.h"
#include "editing/import_host.h"
#include "editing/import_source.h"
#include "editing/song_file_set.h"
#include "editing/ui/export_dialogs_qt.h"
#include "editing/ui/import_progress_dialog.h"
#include "editing/ui/chart_ctrl.h"
#include "engine/audio_player.h"
#include "engine/player_owner.h"
#include "notefinder/note_finder.h"
#include "platform/hid_device.h"

class QAbstractButton;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;

namespace qv3 {

class ReadoutLabel;
class CQuaverlyEQDlg;
class CVocalReductionDlg;
class CQuaverlyNoteFinderDlg;

class CQuaverly3Dlg : public QWidget,
                      public ProjectHost,
                      public PlayerOwner,
                      public ChartCtrlOwner,
                      public ImportHost,
                      public EditHost {
  Q_OBJECT

 public:
  static constexpr int kMinWidth = 939;
  static constexpr int kMinHeight = 541;
  // Window messages besides the engine's (which carry kWmPlayerNotify).
  static constexpr int kWmStartup = 1124;
  static constexpr int kWmStatusText = 1324;
  static constexpr int kWmExportDone = 1325;
  static constexpr int kWmSnifferDownload = 1326;
  static constexpr int kWmEqPresetChosen = 1327;
  static constexpr int kWmDocumentChanged = 1328;
  // The last loop index after Stop.
  static constexpr int kAfterStop = -99999;
  // Position slider range before a song is open, and its page.
  static constexpr int kEmptyPositionMax = 60000;
  static constexpr int kPositionPage = 10000;

  // `start_file`: opened once the window is shown (empty: none).
  explicit CQuaverly3Dlg(std::string start_file, QWidget* parent = nullptr);
  ~CQuaverly3Dlg() override;

  // ---- Commands (buttons, menus, accelerators) ----
  void OnCommand(int id);
  // A command from the foot pedal or the pad: ignored (false) while a long
  // operation or the pause between repetitions runs.
  bool OnExternalCommand(int id);

  // ---- Window messages ----
  // 1124: show, connect the foot pedal, open the start file.
  void OnStartup();
  // 1224 on the GUI thread.
  void HandlePlayerNotify(int code, int64_t value);
  void OnStatusText(const std::string& text);  // 1324
  void OnExportDone();                          // 1325
  // 1326: the sniffer offers a downloaded file: ask to save, open and play it.
  void OnSnifferDownload(const std::string& path);
  void OnEqPresetChosen(const std::string& name);  // 1327
  void OnDocumentChanged();                     // 1328
  // Dropped files (also what the drop event hands on).
  void DropFiles(const std::vector<std::string>& paths);

  // ---- PlayerOwner (engine threads): posts to the GUI thread ----
  void OnPlayerNotify(int code, int64_t value) override;
  void OnOutputStreamChanged(StreamHandle output) override;
  // ---- ChartCtrlOwner ----
  void OnChartNotify(int code, int x, int y) override;

  // ---- ProjectHost ----
  bool OpenProjectAudio(const std::string& audio_path) override;
  bool IsPlaying() override;
  void StopPlayback() override;
  void ApplyPlaybackMode(PlaybackMode mode) override;
  void SetPitchTempoSliders(int32_t pitch, int32_t tempo) override;
  void AttachEqualizer() override;
  bool SelectEqPreset(const std::string& name) override;
  std::string NoPresetName() override;
  void ApplyVocalReduction(int32_t level) override;
  std::string StatePathAtCurrentIndex() override;
  std::string RecordStateStep() override;
  void CurrentNames(std::string* state_path, std::string* audio_path) override;
  std::string ProjectFolder() override;
  void NotifyPadProjectOpened(const std::string& project_path) override;
  void AddRecentFile(const std::string& path) override;
  void ShowTitle(const std::string& title) override;

  // ---- ImportHost ----
  void EnableMainWindow(bool enable) override;
  void BringToForeground() override;
  SongFileSet& Files() override { return files_; }
  void SetSongProperties(const SongProperties& properties) override;
  void SetSongPaths(const std::string& source_path, const std::string& audio_copy_path,
                    const std::string& project_path) override;
  void SetSongLength(double seconds) override;
  bool WriteProjectState(const std::string& state_path) override;
  void SetSavedState(int saved, bool rewrite) override;
  bool AskSaveChanges() override;
  bool OpenProject(const std::string& path) override;
  void ShowNoSong() override;
  void NotifyPad(int code) override;
  void RefreshTitle() override;
  void ClosePlayerSource() override;
  int OpenPlayerSource(const std::string& wav_path) override;
  int64_t PlayerLengthBytes() override;
  double PlayerLengthSeconds() override;
  StreamHandle PlayerDecodeStream() override;
  void ClearWaveform() override;
  void SetPositionSlider(int64_t max, int64_t page) override;
  void LoadPeaks(const PeakSet& peaks) override;
  void ShowWholeSong() override;
  void ResetControls() override;

  // ---- EditHost (quaverly3_dlg_edit.cpp) ----
  void StopForEdit() override;
  bool ReloadAudio(const std::string& audio_path) override;
  double SongLength() override;
  bool GetSelection(double* start, double* end) override;
  void ClearSelection() override;
  double ViewCentre() override;
  double ZoomSpan() override;
  void RestoreView(double zoom_span, double centre) override;
  void SuspendRedraw(bool suspend) override;
  void ItemsChanged() override;
  double PlayPosition() override;
  void SetPlayPosition(double seconds) override;
  void SetZoomSliderRange(double song_length, double position) override;
  void ApplyLoopTempoPitch(int32_t pitch, int32_t tempo) override;
  bool AskInsertSilence(double* seconds, InsertPoint* where) override;
  bool AskChangeVolume(double* percent) override;
  void NotifyPadStateLoaded(const std::string& state_path) override;
  // An Edit menu command or Undo / Redo, while a song is open.
  void RunEditCommand(int id);

  // ---- Export (quaverly3_dlg_export.cpp) ----
  // The song as it is now, for the export commands.
  ExportSong SongForExport();
  // Export Loop 2101, Export All Loops 2102, Export Song 2103.
  void RunExport(int id);

  // ---- Note Finder ----
  // 1058: swaps the buttons, pauses playback and opens the finder at the
  // position slider on the current working WAV.
  void OpenNoteFinder();
  // 1059 and the finder window's own Close: frees its stream, hides it and
  // swaps the buttons back.
  void CloseNoteFinder();
  CQuaverlyNoteFinderDlg* note_finder_window() const { return nf_; }
  const NoteFinderSession& note_finder_session() const { return nf_session_; }

  // ---- Opening ----
  // Open, recent files, drop and the start file: a ".qvp" through the
  // project reader, an audio or video file as the new song (the importer).
  // Adds it to the recent list on success; a failure that discarded the
  // previous song leaves no song.
  bool OpenPath(const std::string& path);
  SourceImporter& importer() { return importer_; }

  // ---- Transport ----
  void Play();
  void Pause();
  void Stop();
  // Space: pause or resume while playing, otherwise play.
  void PlayPauseToggle();
  // Moves the play position to `seconds` (loop jumps, clicks).
  void Seek(double seconds);
  // Zoom in / out (Ctrl++ / Ctrl+-).
  void ZoomInStep();
  void ZoomOutStep();

  // ---- State for tests and tool windows ----
  ProjectDocument& document() { return document_; }
  AudioPlayer& player() { return *player_; }
  CChartCtrl* chart() const { return chart_; }
  SongFileSet& files() { return files_; }
  QAbstractButton* Button(int id) const;
  QSlider* position_slider() const { return position_slider_; }
  QSlider* tempo_slider() const { return tempo_slider_; }
  QSlider* pitch_slider() const { return pitch_slider_; }
  QSlider* zoom_slider() const { return zoom_slider_; }
  QSlider* volume_slider() const { return volume_slider_; }
  QString TitleText() const;
  QString StatusText() const;
  QString PositionText() const;
  QString TempoText() const;
  QString PitchText() const;
  QString ZoomText() const;
  QString VolumeText() const;
  int last_loop_index() const;
  bool position_moved() const { return position_moved_; }
  bool busy() const { return busy_; }
  bool repeat_play() const { return repeat_play_; }
  int zoom_span() const { return zoom_span_; }
  const ChannelToggles& channels() const { return channels_; }
  LoopDelay& loop_delay() { return loop_delay_; }
  CQuaverlyEQDlg* eq_window() const { return eq_dlg_.get(); }
  CVocalReductionDlg* vocal_reduction_window() const { return vr_dlg_.get(); }
  const VocalReduction& vocal_reduction() const { return vocal_reduction_; }
  RecentFileList& recent() { return recent_; }
  // The pop-up menus as they would be shown now (the caller owns them).
  QMenu* BuildExportMenu();
  QMenu* BuildEditMenu();
  QMenu* BuildHelpMenu();
  QMenu* BuildRecentMenu();
  QMenu* BuildItemMenu();
  // Tests answer modal dialogs through this hook instead of showing them:
  // it gets the dialog before exec() and returns the result to use.
  using DialogHook = std::function<int(QWidget* dialog)>;
  void set_dialog_hook(DialogHook hook) { dialog_hook_ = std::move(hook); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Layout (quaverly3_dlg.cpp).
  void BuildLayout();
  QWidget* BuildTitleStrip();
  QWidget* BuildToolbar();
  QWidget* BuildTransportPanel();
  QWidget* BuildTempoPanel();
  QWidget* BuildPitchPanel();
  QWidget* BuildViewPanel();
  QToolButton* MakeButton(int id, const QString& text = QString(), bool large = false);
  void InstallShortcuts();
  // Shows `shown` and hides its partner.
  void ShowOneOf(int shown);
  void UpdateCommandStates();
  int RunDialog(QWidget* dialog);
  void ShowMenuAt(QMenu* menu, QWidget* anchor);

  // Transport (quaverly3_dlg_transport.cpp).
  void OnPositionTick();
  void OnOutputState(int state);
  // The song has ended (or a finished loop ended with it): stop, reset the
  // pass counters, show position 0 and "Idle", and replay under Repeat Play.
  void EndOfSong();
  // The play position, or the slider's while stopped or moved.
  double CurrentPosition() const;
  // Starts playback at `seconds` with a restart (seeks, jumps, changes).
  void PlayFrom(double seconds);
  void RestartAtCurrentPosition();
  void RunLoopDelay(int seconds);
  void ShowPosition(double seconds);
  double SliderSeconds() const;
  void OnPositionSliderMoved(int value);
  void OnPositionSliderReleased();

  // Settings (quaverly3_dlg_settings.cpp).
  // Sets the slider without side effects and refreshes the read-out.
  void SetTempoSlider(int32_t tempo);
  void SetPitchSlider(int32_t pitch);
  // Read-outs from the sliders, applied to the engine.
  void RefreshTempoPitch(bool apply);
  // A tempo or pitch change by the user: the settings at the play position,
  // the document, and a restart while playing.
  void TempoPitchChanged();
  void StepTempo(int step);
  void StepPitch(int step);
  void SetZoomSpan(int seconds);
  void OnZoomSlider(int value);
  void ToggleChannel(bool left);
  void SwitchMode(PlaybackMode mode, bool mark_modified);
  void SetPitchDirection(bool up);
  void OnVolumeSlider(int value);
  void CreateToolWindows();
  void ToggleToolWindow(QWidget* window);

  // Items (quaverly3_dlg_items.cpp).
  void SetLoopPoint(bool start, double seconds);
  void AddMarkerAt(double seconds);
  void JumpBack();
  void JumpTo(double seconds);
  void EditLoop(int index);
  void DeleteLoop(int index);
  void EditMarker(int index);
  void DeleteItem();
  void EditItem();
  void OnChartLeftDown(QPoint point);
  void OnChartRightDown(QPoint point);
  void OnChartMove(QPoint point);
  void OnChartLeftUp(QPoint point);
  // Copies the document's lists and master values into the view and repaints.
  void SyncView();

  // Document (quaverly3_dlg_document.cpp).
  void OpenCommand();
  void OpenRecent(int index);
  void SaveCommand(bool save_as);
  void ShowHelpPage(int id);
  void ShowAbout();
  void ShowDefaultLocations();
  void ResetForNoSong();
  // What closing asks; true when the window may close.
  bool ConfirmClose();

  // ---- Parts ----
  // Lets calls posted by engine threads find out that the window has gone.
  std::shared_ptr<CQuaverly3Dlg*> alive_ = std::make_shared<CQuaverly3Dlg*>(this);
  ProjectDocument document_{this};
  SongFileSet files_;
  std::unique_ptr<AudioPlayer> player_;
  RecentFileList recent_;
  LoopRepeatTracker tracker_;
  LoopDelay loop_delay_;
  JumpBackPresses jump_back_presses_;
  ChannelToggles channels_;
  // Tool windows and the sound controls on the output channel.
  std::unique_ptr<CQuaverlyEQDlg> eq_dlg_;
  std::unique_ptr<CVocalReductionDlg> vr_dlg_;
  VocalReduction vocal_reduction_;
  StreamHandle output_stream_ = 0;
  // Opening songs: the importer drives the ImportHost steps above.
  QtProgressViewFactory progress_views_{this};
  SourceImporter importer_{this, &progress_views_};
  EditCommands edits_{this, &document_, &files_};
  QtExportDialogs export_dialogs_{this};
  // The foot pedal: its commands arrive through OnExternalCommand.
  std::unique_ptr<HidTransport> hid_ = CreateSystemHidTransport();
  FootPedal pedal_{hid_.get()};
  FootPedalCommands pedal_commands_;
  // The Note Finder window (a child, deleted with the window) and its steps.
  CQuaverlyNoteFinderDlg* nf_ = nullptr;
  NoteFinderSession nf_session_;

  // ---- Widgets ----
  std::map<int, QToolButton*> buttons_;
  CChartCtrl* chart_ = nullptr;
  QSlider* position_slider_ = nullptr;
  QSlider* volume_slider_ = nullptr;
  QSlider* tempo_slider_ = nullptr;
  QSlider* zoom_slider_ = nullptr;
  QSlider* pitch_slider_ = nullptr;
  QLabel* title_ = nullptr;        // 1201
  QLabel* status_ = nullptr;       // 1202
  ReadoutLabel* position_ = nullptr;  // 1200
  ReadoutLabel* tempo_ = nullptr;     // 1504
  ReadoutLabel* pitch_ = nullptr;     // 1704
  QLabel* zoom_ = nullptr;         // 1600
  QLabel* volume_ = nullptr;
  QWidget* title_strip_ = nullptr;

  // ---- Window state ----
  std::string start_file_;
  bool position_moved_ = false;
  bool dragging_ = false;
  bool busy_ = false;
  bool repeat_play_ = false;
  bool pitch_direction_up_ = true;
  bool closing_confirmed_ = false;
  bool close_after_delay_ = false;
  bool after_stop_ = false;  // last_loop_index() reports kAfterStop
  int32_t current_pitch_ = 0;
  int32_t current_tempo_ = kNormalTempo;
  int zoom_span_ = -1;
  // Wave-area press: where it began and how far the pointer went.
  bool wave_press_ = false;
  QPoint press_point_;
  double press_seconds_ = 0.0;
  int press_max_distance_ = 0;
  // Item drag: kind (kItemMarker / kItemLoop) and which loop end.
  int drag_kind_ = -1;
  int drag_index_ = -1;
  bool drag_loop_end_ = false;
  bool drag_moved_ = false;
  // Window move by the background.
  bool moving_window_ = false;
  QPoint move_offset_;
  DialogHook dialog_hook_;
};

}  // namespace qv3

#endif  // QV3_APP_UI_QUAVERLY3_DLG_H_
