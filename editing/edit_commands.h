// The Edit menu: Cut, Copy, Paste, Delete, Insert Silence, Silence
// Highlighted Section, Change Volume, Fade In, Fade Out, and Undo / Redo.
//
// Every audio edit reads the current snapshot's audio, writes a complete new
// WAV file as the next snapshot through a frame range kernel, reopens the
// engine and the waveform on it, moves or removes the loops and markers whose
// audio moved and writes the new snapshot's state file. Undo and redo only
// switch between existing snapshot files. Copy and Paste go through the
// history's clipboard file, named on the system clipboard by the marker.
//
// The commands are window-free: the main window implements EditHost and
// routes the menu ids, the shortcuts and the pad's undo/redo requests here.
#ifndef QV3_EDITING_EDIT_COMMANDS_H_
#define QV3_EDITING_EDIT_COMMANDS_H_

#include <cstdint>
#include <string>

#include "document/project_document.h"
#include "editing/edit_host.h"
#include "editing/edit_values.h"
#include "editing/song_file_set.h"

namespace qv3 {

// Menu ids and shortcuts (QKeySequence text) of the Edit menu and of
// Undo / Redo.
inline constexpr int kEditMenuId = 2200;
inline constexpr int kEditCutId = 2201;
inline constexpr int kEditCopyId = 2202;
inline constexpr int kEditPasteId = 2203;
inline constexpr int kEditDeleteId = 2204;
inline constexpr int kEditInsertSilenceId = 2205;
inline constexpr int kEditSilenceSectionId = 2206;
inline constexpr int kEditChangeVolumeId = 2207;
inline constexpr int kEditFadeInId = 2208;
inline constexpr int kEditFadeOutId = 2209;
inline constexpr int kEditUndoId = 1011;
inline constexpr int kEditRedoId = 1012;

inline constexpr char kEditCutShortcut[] = "Ctrl+X";
inline constexpr char kEditCopyShortcut[] = "Ctrl+C";
inline constexpr char kEditPasteShortcut[] = "Ctrl+V";
inline constexpr char kEditDeleteShortcut[] = "Del";
inline constexpr char kEditInsertSilenceShortcut[] = "Shift+S";
inline constexpr char kEditSilenceSectionShortcut[] = "Shift+L";
inline constexpr char kEditChangeVolumeShortcut[] = "Shift+V";
inline constexpr char kEditFadeInShortcut[] = "Shift+I";
inline constexpr char kEditFadeOutShortcut[] = "Shift+O";
inline constexpr char kEditUndoShortcut[] = "Ctrl+Z";
inline constexpr char kEditRedoShortcut[] = "Ctrl+Y";

// The pad link's request codes for a quiet undo / redo.
inline constexpr int kPadUndoRequest = 2007;
inline constexpr int kPadRedoRequest = 2008;


// Messages.
inline constexpr char kNothingSelectedText[] =
    "Nothing has been selected.  Please highlight an area of the Waveform first, thanks.";
inline constexpr char kNothingSelectedCaption[] = "Nothing Highlighted";
inline constexpr char kSourceOpenErrorFormat[] =
    "Was not able to open the Source file:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kDestinationCreateErrorFormat[] =
    "Was not able to create the Destination file:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kClipboardOpenErrorFormat[] =
    "Was not able to open the Clipboard file:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kDiskFullErrorFormat[] =
    "Disk Full - was not able to write to the Destination file:\n\n\t%s\n\nSorry, can't "
    "continue.";
inline constexpr char kFileErrorCaption[] = "File Error";
inline constexpr char kUndoRedoOpenErrorFormat[] =
    "Was not able to open the Destination Undo/Redo file:\n\n\t%s\n\nSorry, can't continue.";
inline constexpr char kOpenFileErrorCaption[] = "Open File Error";
inline constexpr char kNothingInClipboardText[] =
    "Nothing has been copied to the Clipboard.  Please Cut or Copy something into the "
    "Clipboard first, thanks.";
inline constexpr char kNothingInClipboardCaption[] = "Nothing In Clipboard";
inline constexpr char kPasteRateMismatchFormat[] =
    "Can't perform the Paste operation, because the Sample Rate of the destination file (%dHz) "
    "does not match the Sample Rate of the file to be pasted (%dHz).";
inline constexpr char kPasteChannelMismatchFormat[] =
    "Can't perform the Paste operation, because the Channel Count of the destination file (%d) "
    "does not match the Channel Count of the file to be pasted (%d).";
// The sample-size text names the channel count in its second half; it is the
// program's own wording and stays so.
inline constexpr char kPasteSampleSizeMismatchFormat[] =
    "Can't perform the Paste operation, because the Sample Size of the destination file "
    "(%dbit) does not match the Channel Count of the file to be pasted (%dbit).";
inline constexpr char kNothingToUndoText[] = "Nothing to Undo.";
inline constexpr char kNothingToRedoText[] = "Nothing to Redo.";
inline constexpr char kUndoCaption[] = "Undo";
inline constexpr char kRedoCaption[] = "Redo";


class EditCommands {
 public:
  // None of the three is owned; all must outlive the commands.
  EditCommands(EditHost* host, ProjectDocument* document, SongFileSet* files)
      : host_(host), document_(document), files_(files) {}
  EditCommands(const EditCommands&) = delete;
  EditCommands& operator=(const EditCommands&) = delete;

  // Runs the Edit menu command or Undo / Redo (not quiet) with that id.
  // False for an id that is none of them.
  bool RunCommand(int id);
  // The pad's request codes 2007 / 2008: quiet undo / redo. False for other codes.
  bool RunPadRequest(int code);

  // Each returns true when it changed the song (Copy: when the clipboard
  // file was written). Messages go through the UI services.
  bool Cut();
  // 1 on success, 0 on failure.
  int Copy();
  bool Paste();
  bool Delete();
  bool InsertSilence();
  bool SilenceSection();
  bool ChangeVolume();
  bool FadeIn();
  bool FadeOut();

  // 1 when the history moved, else 0. `quiet` suppresses "Nothing to ...".
  int Undo(bool quiet);
  int Redo(bool quiet);

 private:
  enum class Kind { kPaste, kDelete, kInsertSilence, kGain, kFadeIn, kFadeOut };
  struct EditRequest {
    Kind kind = Kind::kDelete;
    bool needs_selection = true;
    double gain = 0.0;            // kGain
    double silence_seconds = 0.0;  // kInsertSilence
    InsertPoint where = InsertPoint::kCurrentPosition;
  };

  // The common course of an audio edit.
  bool RunAudioEdit(EditRequest request);
  // The selection check of an edit that needs one: false (after the message)
  // when there is none.
  bool CheckSelection(double* start, double* end);
  // Paste's clipboard marker and format checks; the clip's path and length.
  bool CheckClipboard(std::string* clip, double* clip_seconds);
  // Turns a kernel result into its message; true for success.
  bool ReportKernelResult(int result, const std::string& source, const std::string& destination,
                          const std::string& clipboard);
  bool SongOpen() const;
  // Undo and redo share everything but the history call and the texts.
  int MoveInHistory(bool undo, bool quiet);

  EditHost* host_;
  ProjectDocument* document_;
  SongFileSet* files_;
};

}  // namespace qv3

#endif  // QV3_EDITING_EDIT_COMMANDS_H_
