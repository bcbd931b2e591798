#include "editing/edit_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "editing/clipboard_marker.h"
#include "engine/audio_setup.h"
#include "engine/frame_range_kernels.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

// The song's format as the edits need it.
struct SongFormat {
  int32_t rate = 0;
  int32_t channels = 0;
  int32_t bytes_per_sample = 0;
};

// From the document's stream facts; a document whose facts were never filled
// in asks the audio library about the current audio instead.
SongFormat FormatOf(const DocumentState& state, const std::string& audio) {
  SongFormat f{state.stream.sample_rate, state.stream.channels, state.stream.bytes_per_sample};
  if (f.rate > 0 && f.channels > 0 && f.bytes_per_sample > 0) return f;
  int error = 0;
  if (const ChannelInfo* info = AudioFileStats(audio, nullptr, nullptr, &error)) {
    f.rate = static_cast<int32_t>(info->freq);
    f.channels = static_cast<int32_t>(info->chans);
    f.bytes_per_sample = info->origres != 0 ? static_cast<int32_t>(info->origres / 8) : 2;
  }
  return f;
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);  // a file that is not there is fine
}

// A step whose kernel or reload failed must not leave a half-written
// snapshot behind: the current names would hand it to the next edit, to
// export and to Save.
void DeleteSnapshotFiles(const SnapshotNames& names) {
  if (!names.audio.empty()) RemoveFile(names.audio);
  if (!names.state.empty()) RemoveFile(names.state);
}

// The noted play position on the new song: at or beyond the end it becomes
// one second before it, never below 0.
double RestoredPosition(double position, double length) {
  if (position >= length) position = length - 1.0;
  return position < 0.0 ? 0.0 : position;
}

}  // namespace

bool EditCommands::RunCommand(int id) {
  switch (id) {
    case kEditCutId: Cut(); return true;
    case kEditCopyId: Copy(); return true;
    case kEditPasteId: Paste(); return true;
    case kEditDeleteId: Delete(); return true;
    case kEditInsertSilenceId: InsertSilence(); return true;
    case kEditSilenceSectionId: SilenceSection(); return true;
    case kEditChangeVolumeId: ChangeVolume(); return true;
    case kEditFadeInId: FadeIn(); return true;
    case kEditFadeOutId: FadeOut(); return true;
    case kEditUndoId: Undo(false); return true;
    case kEditRedoId: Redo(false); return true;
    default: return false;
  }
}

bool EditCommands::RunPadRequest(int code) {
  if (code == kPadUndoRequest) {
    Undo(true);
    return true;
  }
  if (code == kPadRedoRequest) {
    Redo(true);
    return true;
  }
  return false;
}

bool EditCommands::SongOpen() const {
  return document_->state().audio_open && !files_->CurrentNames().audio.empty();
}

bool EditCommands::CheckSelection(double* start, double* end) {
  double a = -1.0;
  double b = -1.0;
  if (!host_->GetSelection(&a, &b) || !std::isfinite(a) || !std::isfinite(b) || a < 0.0 ||
      b < 0.0) {
    MessageBoxCaption(kNothingSelectedCaption, MsgIcon::kExclamation, "%s",
                      kNothingSelectedText);
    return false;
  }
  if (a > b) std::swap(a, b);  // a selection dragged leftwards
  *start = a;
  *end = b;
  return true;
}

bool EditCommands::ReportKernelResult(int result, const std::string& source,
                                      const std::string& destination,
                                      const std::string& clipboard) {
  switch (result) {
    case kKernelDone: return true;
    case kKernelSourceError:
      MessageBoxCaption(kFileErrorCaption, MsgIcon::kError, kSourceOpenErrorFormat,
                        source.c_str());
      break;
    case kKernelDestinationError:
      MessageBoxCaption(kFileErrorCaption, MsgIcon::kError, kDestinationCreateErrorFormat,
                        destination.c_str());
      break;
    case kKernelClipboardError:
      MessageBoxCaption(kFileErrorCaption, MsgIcon::kError, kClipboardOpenErrorFormat,
                        clipboard.c_str());
      break;
    default:
      MessageBoxCaption(kFileErrorCaption, MsgIcon::kError, kDiskFullErrorFormat,
                        destination.c_str());
      break;
  }
  return false;
}

// ------------------------------------------------------------ Copy and Cut

int EditCommands::Copy() {
  if (!SongOpen()) return 0;
  double start = 0.0;
  double end = 0.0;
  if (!CheckSelection(&start, &end)) return 0;
  const std::string source = files_->CurrentNames().audio;
  const std::string clipboard = files_->ClipboardPath();
  const SongFormat format = FormatOf(document_->state(), source);
  PrepareClipboardForCopy();
  const int result = CopyFrameRange(source, clipboard, SecondsToFrame(format.rate, start),
                                    SecondsToFrame(format.rate, end));
  if (!ReportKernelResult(result, source, clipboard, clipboard)) {
    RemoveFile(clipboard);  // a truncated clip must not be pasted
    return 0;
  }
  PublishClipboardMarker(clipboard);
  return 1;
}

bool EditCommands::Cut() {
  if (Copy() != 1) return false;
  return Delete();
}

// ------------------------------------------------------------ the commands

bool EditCommands::Paste() {
  EditRequest r;
  r.kind = Kind::kPaste;
  r.needs_selection = false;
  return RunAudioEdit(r);
}

bool EditCommands::Delete() {
  EditRequest r;
  r.kind = Kind::kDelete;
  return RunAudioEdit(r);
}

bool EditCommands::InsertSilence() {
  EditRequest r;
  r.kind = Kind::kInsertSilence;
  r.needs_selection = false;
  return RunAudioEdit(r);
}

bool EditCommands::SilenceSection() {
  EditRequest r;
  r.kind = Kind::kGain;
  r.gain = 0.0;
  return RunAudioEdit(r);
}

bool EditCommands::ChangeVolume() {
  EditRequest r;
  r.kind = Kind::kGain;
  r.gain = -1.0;  // asked for after the selection check
  return RunAudioEdit(r);
}

bool EditCommands::FadeIn() {
  EditRequest r;
  r.kind = Kind::kFadeIn;
  return RunAudioEdit(r);
}

bool EditCommands::FadeOut() {
  EditRequest r;
  r.kind = Kind::kFadeOut;
  return RunAudioEdit(r);
}

bool EditCommands::CheckClipboard(std::string* clip, double* clip_seconds) {
  *clip = ReadClipboardMarker();
  if (clip->empty()) {
    MessageBoxCaption(kNothingInClipboardCaption, MsgIcon::kExclamation, "%s",
                      kNothingInClipboardText);
    return false;
  }
  int error = 0;
  double seconds = 0.0;
  const ChannelInfo* info = AudioFileStats(*clip, nullptr, &seconds, &error);
  if (info == nullptr) {
    MessageBoxCaption(kFileErrorCaption, MsgIcon::kError, kClipboardOpenErrorFormat,
                      clip->c_str());
    return false;
  }
  const int clip_rate = static_cast<int>(info->freq);
  const int clip_channels = static_cast<int>(info->chans);
  const int clip_bits = static_cast<int>(info->origres);
  const SongFormat song = FormatOf(document_->state(), files_->CurrentNames().audio);
  if (clip_rate != song.rate) {
    MessageBoxCaption("", MsgIcon::kExclamation, kPasteRateMismatchFormat, song.rate, clip_rate);
    return false;
  }
  if (clip_channels != song.channels) {
    MessageBoxCaption("", MsgIcon::kExclamation, kPasteChannelMismatchFormat, song.channels,
                      clip_channels);
    return false;
  }
  if (clip_bits / 8 != song.bytes_per_sample) {
    MessageBoxCaption("", MsgIcon::kExclamation, kPasteSampleSizeMismatchFormat,
                      song.bytes_per_sample * 8, clip_bits);
    return false;
  }
  *clip_seconds = seconds;
  return true;
}

bool EditCommands::RunAudioEdit(EditRequest request) {
  if (!SongOpen()) return false;

  // 1. Selection check, then what must be asked before a step exists.
  double sel_start = 0.0;
  double sel_end = 0.0;
  if (request.needs_selection && !CheckSelection(&sel_start, &sel_end)) return false;
  if (request.kind == Kind::kGain && request.gain < 0.0) {
    double percent = 100.0;
    if (!host_->AskChangeVolume(&percent)) return false;
    if (percent == 100.0 || !std::isfinite(percent)) return false;
    request.gain = std::clamp(percent, 0.0, 500.0) / 100.0;
  }
  if (request.kind == Kind::kInsertSilence) {
    double seconds = 0.0;
    InsertPoint where = InsertPoint::kCurrentPosition;
    if (!host_->AskInsertSilence(&seconds, &where)) return false;
    if (!ValidSilenceSeconds(seconds)) return false;  // the dialog refuses these
    request.silence_seconds = seconds;
    request.where = where;
  }

  // 2. The view centre, the zoom and the play position, read before playback
  // stops (stopping may rewind the position).
  const double centre = host_->ViewCentre();
  const double zoom_span = host_->ZoomSpan();
  const double position = host_->PlayPosition();

  std::string clip;
  double clip_seconds = 0.0;
  if (request.kind == Kind::kPaste && !CheckClipboard(&clip, &clip_seconds)) return false;

  host_->StopForEdit();

  // 3. Frames.
  const SnapshotNames current = files_->CurrentNames();
  const std::string& source = current.audio;
  const SongFormat format = FormatOf(document_->state(), source);
  const double rate = format.rate;
  const double old_length = document_->state().song_length;
  const int64_t first = SecondsToFrame(rate, sel_start);
  const int64_t last = SecondsToFrame(rate, sel_end);

  // 4. The new snapshot.
  const SnapshotNames names = files_->RecordStep(false, true);

  // 5. The kernel.
  int result = kKernelDone;
  switch (request.kind) {
    case Kind::kPaste:
      result = PasteFrames(source, names.audio, clip, SecondsToFrame(rate, position));
      break;
    case Kind::kDelete: result = DeleteFrameRange(source, names.audio, first, last); break;
    case Kind::kInsertSilence:
      result = qv3::InsertSilence(
          source, names.audio, InsertionFrame(request.where, rate, position, old_length),
          SecondsToFrame(rate, request.silence_seconds));
      break;
    case Kind::kGain: result = ChangeGain(source, names.audio, request.gain, first, last); break;
    case Kind::kFadeIn: result = qv3::FadeIn(source, names.audio, first, last); break;
    case Kind::kFadeOut: result = qv3::FadeOut(source, names.audio, first, last); break;
  }
  if (!ReportKernelResult(result, source, names.audio, clip)) {
    DeleteSnapshotFiles(names);
    return false;
  }

  // 6. Reload the engine and the waveform.
  host_->SuspendRedraw(true);
  if (!host_->ReloadAudio(names.audio)) {
    MessageBoxCaption(kOpenFileErrorCaption, MsgIcon::kError, kUndoRedoOpenErrorFormat,
                      names.audio.c_str());
    DeleteSnapshotFiles(names);
    host_->ReloadAudio(source);  // the previous audio stays the song
    host_->SetPlayPosition(RestoredPosition(position, host_->SongLength()));
    host_->SuspendRedraw(false);
    return false;
  }
  const double length = host_->SongLength();
  document_->SetSongLength(length);

  // 7. Zoom slider.
  host_->SetZoomSliderRange(length, zoom_span < 0.0 ? length : zoom_span);

  // 8. Loops and markers.
  LoopList& loops = document_->loops();
  MarkerList& markers = document_->markers();
  const int loops_before = loops.count();
  bool items_changed = false;
  if (request.kind == Kind::kDelete) {
    items_changed |= loops.OnDelete(sel_start, sel_end);
    items_changed |= markers.OnDelete(sel_start, sel_end);
  } else if (request.kind == Kind::kPaste) {
    items_changed |= loops.OnInsert(position, clip_seconds);
    items_changed |= markers.OnInsert(position, clip_seconds);
  } else if (request.kind == Kind::kInsertSilence) {
    const double at = InsertionSeconds(request.where, position, old_length);
    items_changed |= loops.OnInsert(at, request.silence_seconds);
    items_changed |= markers.OnInsert(at, request.silence_seconds);
  }
  // A deleted loop shifts the indices after it: the remembered current loop
  // would name another loop.
  if (loops.count() != loops_before) document_->state().current_loop = -1;
  if (items_changed) host_->ItemsChanged();

  // 9. Play position.
  const double restored = RestoredPosition(position, length);
  host_->SetPlayPosition(restored);

  // 10. Delete: the loop under the position sets tempo and pitch.
  if (request.kind == Kind::kDelete) {
    const LoopSettings s = loops.SettingsAt(restored, document_->state().master);
    if (s.index >= 0) host_->ApplyLoopTempoPitch(s.pitch, s.tempo);
  }

  // 11. The new snapshot's state; the document now differs from its saved
  // project, so Save and closing must know.
  document_->WriteProjectFile(names.state);
  document_->SetSavedState(0, false);

  // 12. View.
  host_->ClearSelection();
  host_->RestoreView(zoom_span, centre);
  host_->SuspendRedraw(false);
  return true;
}

// ------------------------------------------------------------ Undo / Redo

int EditCommands::Undo(bool quiet) { return MoveInHistory(true, quiet); }
int EditCommands::Redo(bool quiet) { return MoveInHistory(false, quiet); }

int EditCommands::MoveInHistory(bool undo, bool quiet) {
  const SnapshotNames before = files_->CurrentNames();
  SnapshotNames names;
  const bool moved = undo ? files_->Undo(&names) : files_->Redo(&names);
  if (!moved) {
    if (!quiet) {
      MessageBoxCaption(undo ? kUndoCaption : kRedoCaption, MsgIcon::kInformation, "%s",
                        undo ? kNothingToUndoText : kNothingToRedoText);
    }
    return 0;
  }
  const double centre = host_->ViewCentre();
  const double zoom_span = host_->ZoomSpan();

  if (!names.audio.empty() && PathExists(names.audio)) {
    const double position = host_->PlayPosition();
    host_->StopForEdit();
    host_->SuspendRedraw(true);
    if (!host_->ReloadAudio(names.audio)) {
      MessageBoxCaption(kOpenFileErrorCaption, MsgIcon::kError, kUndoRedoOpenErrorFormat,
                        names.audio.c_str());
      // Back to where the song was, with its audio: the history must keep
      // naming the audio that is open.
      SnapshotNames ignored;
      if (undo) {
        files_->Redo(&ignored);
      } else {
        files_->Undo(&ignored);
      }
      if (!before.audio.empty()) host_->ReloadAudio(before.audio);
      host_->SetPlayPosition(RestoredPosition(position, host_->SongLength()));
      host_->SuspendRedraw(false);
      return 0;
    }
    const double length = host_->SongLength();
    document_->SetSongLength(length);
    host_->SetZoomSliderRange(length, zoom_span < 0.0 ? length : zoom_span);
    host_->SuspendRedraw(false);
    document_->SetSavedState(0, false);
  }

  if (!names.state.empty() && PathExists(names.state)) {
    document_->markers().Clear();
    document_->loops().Clear();
    document_->ReadProjectFile(names.state, true);
    document_->SetSavedState(0, false);
    host_->NotifyPadStateLoaded(names.state);
  }
  host_->ItemsChanged();
  host_->RestoreView(zoom_span, centre + 0.05);
  return 1;
}

}  // namespace qv3
