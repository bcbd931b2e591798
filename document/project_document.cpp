#include "document/project_document.h"

#include <cmath>
#include <cstdio>

#include "platform/atomic_file.h"
#include "platform/ui_services.h"

namespace qv3 {

void ProjectDocument::SetSongLength(double seconds) {
  state_.song_length = seconds;
  markers_.set_song_length(seconds);
  loops_.set_song_length(seconds);
}

bool ProjectDocument::WriteProjectFile(const std::string& path) {
  if (path.empty()) return false;
  AtomicFileWriter writer(path);
  if (!writer.file()) return false;
  const std::string text = FormatProjectText(state_, markers_, loops_);
  if (std::fwrite(text.data(), 1, text.size(), writer.file()) != text.size()) return false;
  if (!pad_pages_.WriteToFile(writer.file())) return false;
  return writer.Commit();
}

void ProjectDocument::AddParsedItems(const ParsedProject& parsed) {
  for (const ParsedProject::Marker& m : parsed.markers) markers_.Add(m.name, m.position);
  for (const ParsedProject::Loop& l : parsed.loops) {
    LoopValues v;
    v.name = l.name;
    v.pitch = l.pitch;
    v.tempo = l.tempo;
    v.flag_word = l.flag_word;
    v.tag = l.tag;
    v.repeat_count = l.repeat_count;
    v.delay = l.delay;
    double end = l.end;
    if (std::fabs(end - state_.song_length) < kLoopEndSnap) end = state_.song_length;
    v.position = l.start;
    if (loops_.SetLoopStart(v) < 0) {
      // A refused start must not leave the pending slot holding anything:
      // a stray half loop would make every later loop of the file fail.
      loops_.DeleteLoop(loops_.count());
      continue;
    }
    v.position = end;
    if (loops_.SetLoopEnd(v) < 0) loops_.DeleteLoop(loops_.count());
  }
}

bool ProjectDocument::ReadProjectFile(const std::string& path, bool settings_only) {
  state_.current_loop = -1;
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    MessageBoxCaption(kProjectOpenFailCaption, MsgIcon::kError, kProjectOpenFailFormat,
                      path.c_str());
    return false;
  }
  const ParsedProject parsed = ParseProjectText(text);

  if (!settings_only) {
    // Without an audio line there is no song to open; going on would pour
    // the file's loops and markers into the current document.
    if (!parsed.audio_path) {
      MessageBoxCaption(kProjectOpenFailCaption, MsgIcon::kError, kProjectOpenFailFormat,
                        path.c_str());
      return false;
    }
    const std::string audio = ResolveProjectAudioPath(path, *parsed.audio_path);
    if (!host_->OpenProjectAudio(audio)) return false;
    markers_.Clear();
    loops_.Clear();
    SetSongLength(state_.song_length);
  }

  pad_pages_.Clear();
  // Applied after the audio is open, so opening it cannot reset them.
  if (parsed.master_pitch) state_.master.SetPitch(*parsed.master_pitch);
  if (parsed.master_tempo) state_.master.SetTempo(*parsed.master_tempo);
  if (parsed.master_vr) state_.master.SetVocalReduction(*parsed.master_vr);
  if (parsed.master_eq) state_.master.eq_preset = *parsed.master_eq;
  if (parsed.mode) {
    state_.mode = *parsed.mode;
    host_->ApplyPlaybackMode(state_.mode);
  }
  AddParsedItems(parsed);
  pad_pages_.LoadFromText(text);

  if (!settings_only) {
    state_.project_path = path;
    SetSavedState(1, false);
    host_->NotifyPadProjectOpened(path);
  }

  const LoopSettings at_start = loops_.SettingsAt(0.0, state_.master);
  host_->SetPitchTempoSliders(at_start.pitch, at_start.tempo);
  host_->AttachEqualizer();
  if (!host_->SelectEqPreset(state_.master.eq_preset)) {
    // No preset was ever chosen (empty, or the stand-in name of a program
    // without presets): nothing was deleted or renamed, so no message.
    const std::string& name = state_.master.eq_preset;
    if (!name.empty() && name != kPresetUnknownName) {
      MessageBoxCaption(kAppTitle, MsgIcon::kExclamation, "%s", kEqPresetMissingText);
    }
    state_.master.eq_preset = host_->NoPresetName();
  }
  host_->ApplyVocalReduction(state_.master.vocal_reduction);
  // The working project is written last, with the preset name as it now
  // stands: a stale name in it would bring the missing-preset message back
  // on every undo to this snapshot.
  if (!settings_only) WriteProjectFile(host_->StatePathAtCurrentIndex());
  return true;
}

bool ProjectDocument::SaveProject(bool save_as) {
  if (host_->IsPlaying()) host_->StopPlayback();
  if (save_as || PathFileName(state_.project_path) == kUntitledProjectName) {
    FileDialogRequest request;
    request.title = "Save Quaverly Project As...";
    request.filters = {{"QVP Files (*.qvp)", "*.qvp"}};
    request.default_extension = "qvp";
    request.initial_folder = host_->ProjectFolder();
    request.initial_name = state_.project_path;
    request.overwrite_prompt = true;
    std::string chosen = Ui().SaveFileName(request);
    if (chosen.empty()) return false;
    state_.project_path = chosen;
  }
  std::string working_project;
  std::string working_audio;
  host_->CurrentNames(&working_project, &working_audio);
  // The audio first: a project must never point at an audio copy that
  // failed to be written.
  if (!AtomicCopyFile(working_audio, state_.audio_path)) {
    MessageBoxCaption("Could Not Create Audio File", MsgIcon::kError, kSaveWriteErrorFormat,
                      state_.audio_path.c_str());
    return false;
  }
  if (!AtomicCopyFile(working_project, state_.project_path)) {
    MessageBoxCaption("Could Not Create Project File", MsgIcon::kError, kSaveWriteErrorFormat,
                      state_.project_path.c_str());
    return false;
  }
  SetSavedState(1, false);
  host_->AddRecentFile(state_.project_path);
  return true;
}

bool ProjectDocument::AskSaveChanges() {
  if (host_->IsPlaying()) host_->StopPlayback();
  if (state_.saved == 1) return true;
  const std::string text =
      StringPrintf("Save changes to %s?", PathFileName(state_.project_path).c_str());
  switch (Ui().Ask(text, "Save Project?", AskButtons::kYesNoCancel, Answer::kYes,
                   MsgIcon::kExclamation)) {
    case Answer::kCancel:
      return false;
    case Answer::kNo:
      return true;
    default:
      return SaveProject(false);
  }
}

void ProjectDocument::SetSavedState(int saved, bool rewrite) {
  if (rewrite) WriteProjectFile(host_->RecordStateStep());
  state_.saved = saved;
  UpdateTitle();
}

void ProjectDocument::UpdateTitle() { host_->ShowTitle(ProjectTitleText(state_)); }

}  // namespace qv3
