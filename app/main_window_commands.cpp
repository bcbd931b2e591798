#include "app/main_window_commands.h"

namespace qv3 {

const std::vector<CommandInfo>& ButtonCommands() {
  using namespace cmd;
  static const std::vector<CommandInfo> kCommands = {
      {kMinimize, "Minimize", "", 0, false},
      {kMaximize, "Maximize", "", kRestore, false},
      {kRestore, "Restore", "", kMaximize, false},
      {kClose, "Close", "", 0, false},
      {kOpen, "Open an Audio or QVP file (right-click for recent files)", "Ctrl+O", 0, false},
      {kSave, "Save changes to a QVP file", "Ctrl+S", 0, false},
      {kSaveAs, "Save a QVP file with a new name", "Ctrl+Shift+S", 0, false},
      {kExport, "Export changes to an Audio file", "", 0, false},
      {kRipCd, "Rip Track(s) from a CD", "", 0, false},
      {kEdit, "Perform edits on an Audio File", "", 0, false},
      {kUndo, "Undo previous changes", "Ctrl+Z", 0, false},
      {kRedo, "Reapply previously undone changes", "Ctrl+Y", 0, false},
      {kIndicatorFixed, "Toggle Song Position indicator between Fixed and Float mode [Fixed]", "",
       kIndicatorFloat, false},
      {kIndicatorFloat, "Toggle Song Position indicator between Fixed and Float mode [Float]", "",
       kIndicatorFixed, false},
      {kAddMarker, "Insert an informational Marker", "", 0, false},
      {kEqWindow, "Open the EQ Window", "", 0, false},
      {kScorelet, "Open the Scorelet", "", 0, false},
      {kSniffer, "Open the Sniffer Window", "", 0, false},
      {kVocalReduction, "Open the Vocal Reduction controls", "", 0, false},
      {kOptions, "Change Various Program Options and Settings", "", 0, false},
      {kHelp, "Help", "", 0, false},
      {kLeftOff, "Toggle Left Channel On/Off [Off]", "", kLeftOn, false},
      {kLeftOn, "Toggle Left Channel On/Off [On]", "", kLeftOff, false},
      {kRightOff, "Toggle Right Channel On/Off [Off]", "", kRightOn, false},
      {kRightOn, "Toggle Right Channel On/Off [On]", "", kRightOff, false},
      {kPerformance, "Toggle between Performance and Transcribe Mode [Performance]", "",
       kTranscribe, false},
      {kTranscribe, "Toggle between Performance and Transcribe Mode [Transcribe]", "",
       kPerformance, false},
      {kNoteFinderShow, "Show the Note Finder", "", kNoteFinderHide, false},
      {kNoteFinderHide, "Hide the Note Finder", "", kNoteFinderShow, false},
      {kPlay, "Play", "", 0, false},
      {kPause, "Pause", "", 0, false},
      {kStop, "Stop", "", 0, false},
      {kRepeatOff, "Toggle Repeat Play On or Off [Off]", "", kRepeatOn, false},
      {kRepeatOn, "Toggle Repeat Play On or Off [On]", "", kRepeatOff, false},
      {kTempoDown1, "Decrease the Tempo by 1%", "", 0, true},
      {kTempoDown001, "Decrease the Tempo by 0.01%", "", 0, true},
      {kTempoUp001, "Increase the Tempo by 0.01%", "", 0, true},
      {kTempoUp1, "Increase the Tempo by 1%", "", 0, true},
      {kTempo75, "Set the Tempo to 75%", "", 0, false},
      {kTempo50, "Set the Tempo to 50%", "", 0, false},
      {kTempo40, "Set the Tempo to 40%", "", 0, false},
      {kTempo30, "Set the Tempo to 30%", "", 0, false},
      {kTempo20, "Set the Tempo to 20%", "", 0, false},
      {kTempo100, "Reset the Tempo to 100%", "", 0, false},
      {kZoom1, "Display 1 second of Wave Data", "", 0, false},
      {kZoom2, "Display 2 seconds of Wave Data", "", 0, false},
      {kZoom5, "Display 5 seconds of Wave Data", "", 0, false},
      {kZoom10, "Display 10 seconds of Wave Data", "", 0, false},
      {kZoom20, "Display 20 seconds of Wave Data", "", 0, false},
      {kZoomAll, "Display All the Wave Data", "", 0, false},
      {kPitchDownSemitone, "Lower the Pitch by a Semitone", "", 0, true},
      {kPitchDownCent, "Lower the Pitch by a Cent", "", 0, true},
      {kPitchUpCent, "Raise the Pitch by a Cent", "", 0, true},
      {kPitchUpSemitone, "Raise the Pitch by a Semitone", "", 0, true},
      {kPitchDirectionUp, "Toggle between Increase or Decrease Pitch Presets [+]", "",
       kPitchDirectionDown, false},
      {kPitchDirectionDown, "Toggle between Increase or Decrease Pitch Presets [-]", "",
       kPitchDirectionUp, false},
      // The one-half sign stands for "half" steps.
      {kPitch2, "Set Pitch to a Major 2nd, or 2 \xC2\xBD Steps", "", 0, false},
      {kPitch4, "Set Pitch to a Major 3rd, or 4 \xC2\xBD Steps", "", 0, false},
      {kPitch5, "Set Pitch to a Perfect 4th, or 5 \xC2\xBD Steps", "", 0, false},
      {kPitch7, "Set Pitch to a Perfect 5th, or 7 \xC2\xBD Steps", "", 0, false},
      {kPitch12, "Set Pitch to an Octave, or 12 \xC2\xBD Steps", "", 0, false},
      {kPitch0, "Reset the Pitch to 0 (off)", "", 0, false},
      {kLoopStart, "Set a Beginning Loop Point", "", 0, false},
      {kLoopEnd, "Set an Ending Loop Point", "", 0, false},
      {kJumpBack, "Jump Back to Beginning of Loop", "", 0, false},
      {kJumpForward, "Jump Forward to End of Loop (or, advance through Loops)", "", 0, false},
      {kPreviousLoop, "Jump Backward to Previous Loop", "", 0, false},
      {kNextLoop, "Jump Forward to Next Loop", "", 0, false},
      {kEditLoop, "Open Loop Edit Window on the Current Loop", "", 0, false},
      {kDeleteLoop, "Delete the Current Loop", "", 0, false},
  };
  return kCommands;
}

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& c : ButtonCommands()) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const std::vector<MenuItem>& EditMenuItems() {
  using namespace cmd;
  static const std::vector<MenuItem> kItems = {
      {kCut, "Cu&t", "Ctrl+X"},
      {kCopy, "&Copy", "Ctrl+C"},
      {kPaste, "&Paste", "Ctrl+V"},
      {kDelete, "&Delete", "Del"},
      {kInsertSilence, "Insert &Silence", "Shift+S"},
      {kSilenceSection, "Silence &Highlighted Section", "Shift+L"},
      {kChangeVolume, "Change &Volume", "Shift+V"},
      {kFadeIn, "Fade &In", "Shift+I"},
      {kFadeOut, "Fade &Out", "Shift+O"},
  };
  return kItems;
}

const std::vector<MenuItem>& HelpMenuItems() {
  using namespace cmd;
  static const std::vector<MenuItem> kItems = {
      {kQuickStartGuide, "&Quick Start Guide", ""},
      {kTrainingVideos, "&Training Videos", ""},
      {kHelpDesk, "&Help Desk", ""},
      {kAbout, "&About Quaverly...", ""},
  };
  return kItems;
}

const std::vector<MenuItem>& ExportMenuItems() {
  using namespace cmd;
  static const std::vector<MenuItem> kItems = {
      {kExportAllLoops, "&All Loops", ""},
      {kExportSong, "&Entire Song", ""},
      {kExportPackage, "&Lesson Package...", ""},
      {kExportPackageUpload, "Lesson Package to the &Cloud...", ""},
  };
  return kItems;
}

int TempoPresetFor(int command) {
  switch (command) {
    case cmd::kTempo75: return 7500;
    case cmd::kTempo50: return 5000;
    case cmd::kTempo40: return 4000;
    case cmd::kTempo30: return 3000;
    case cmd::kTempo20: return 2000;
    case cmd::kTempo100: return 10000;
    default: return 0;
  }
}

int PitchPresetSemitones(int command) {
  switch (command) {
    case cmd::kPitch2: return 2;
    case cmd::kPitch4: return 4;
    case cmd::kPitch5: return 5;
    case cmd::kPitch7: return 7;
    case cmd::kPitch12: return 12;
    case cmd::kPitch0: return 0;
    default: return -1;
  }
}

int StepFor(int command) {
  switch (command) {
    case cmd::kTempoDown1: return -100;
    case cmd::kTempoDown001: return -1;
    case cmd::kTempoUp001: return 1;
    case cmd::kTempoUp1: return 100;
    case cmd::kPitchDownSemitone: return -100;
    case cmd::kPitchDownCent: return -1;
    case cmd::kPitchUpCent: return 1;
    case cmd::kPitchUpSemitone: return 100;
    default: return 0;
  }
}

}  // namespace qv3
