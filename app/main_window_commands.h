// The main window's commands: identifiers (the numbers buttons, menus,
// accelerators, the foot pedal and the pad route by), their tooltips and
// keyboard shortcuts, and the button pairs that take turns in one place.
// Plain data, so the routing can be tested without a window.
#ifndef QV3_APP_MAIN_WINDOW_COMMANDS_H_
#define QV3_APP_MAIN_WINDOW_COMMANDS_H_

#include <string>
#include <vector>

namespace qv3 {
namespace cmd {

// Window frame.
inline constexpr int kMinimize = 1001;
inline constexpr int kMaximize = 1002;
inline constexpr int kRestore = 1003;
inline constexpr int kClose = 1004;
// Files and tools.
inline constexpr int kOpen = 1005;
inline constexpr int kSave = 1006;
inline constexpr int kSaveAs = 1007;
inline constexpr int kExport = 1008;
inline constexpr int kRipCd = 1009;
inline constexpr int kEdit = 1010;
inline constexpr int kUndo = 1011;
inline constexpr int kRedo = 1012;
inline constexpr int kIndicatorFixed = 1013;
inline constexpr int kIndicatorFloat = 1014;
inline constexpr int kAddMarker = 1015;
inline constexpr int kEqWindow = 1016;
inline constexpr int kScorelet = 1017;
inline constexpr int kSniffer = 1018;
inline constexpr int kVocalReduction = 1019;
inline constexpr int kOptions = 1020;
inline constexpr int kHelp = 1021;
// Channels and modes.
inline constexpr int kLeftOff = 1050;
inline constexpr int kLeftOn = 1051;
inline constexpr int kRightOff = 1052;
inline constexpr int kRightOn = 1053;
inline constexpr int kPerformance = 1054;
inline constexpr int kTranscribe = 1055;
inline constexpr int kNoteFinderShow = 1058;
inline constexpr int kNoteFinderHide = 1059;
// Transport.
inline constexpr int kPlay = 1300;
inline constexpr int kPause = 1301;
inline constexpr int kStop = 1302;
inline constexpr int kRepeatOff = 1303;
inline constexpr int kRepeatOn = 1304;
// Tempo.
inline constexpr int kTempoDown1 = 1500;
inline constexpr int kTempoDown001 = 1501;
inline constexpr int kTempoUp001 = 1502;
inline constexpr int kTempoUp1 = 1503;
inline constexpr int kTempo75 = 1506;
inline constexpr int kTempo50 = 1507;
inline constexpr int kTempo40 = 1508;
inline constexpr int kTempo30 = 1509;
inline constexpr int kTempo20 = 1510;
inline constexpr int kTempo100 = 1511;
// Zoom.
inline constexpr int kZoom1 = 1602;
inline constexpr int kZoom2 = 1603;
inline constexpr int kZoom5 = 1604;
inline constexpr int kZoom10 = 1605;
inline constexpr int kZoom20 = 1606;
inline constexpr int kZoomAll = 1607;
// Pitch.
inline constexpr int kPitchDownSemitone = 1700;
inline constexpr int kPitchDownCent = 1701;
inline constexpr int kPitchUpCent = 1702;
inline constexpr int kPitchUpSemitone = 1703;
inline constexpr int kPitchDirectionUp = 1706;
inline constexpr int kPitchDirectionDown = 1707;
inline constexpr int kPitch2 = 1708;
inline constexpr int kPitch4 = 1709;
inline constexpr int kPitch5 = 1710;
inline constexpr int kPitch7 = 1711;
inline constexpr int kPitch12 = 1712;
inline constexpr int kPitch0 = 1713;
// Loops.
inline constexpr int kLoopStart = 1800;
inline constexpr int kLoopEnd = 1801;
inline constexpr int kJumpBack = 1802;
inline constexpr int kJumpForward = 1803;
inline constexpr int kPreviousLoop = 1804;
inline constexpr int kNextLoop = 1805;
inline constexpr int kEditLoop = 1806;
inline constexpr int kDeleteLoop = 1807;
// Pop-up menus and their items.
inline constexpr int kRecentMenu = 2000;
inline constexpr int kRecentFirst = 2002;  // .. 2011
inline constexpr int kRecentLast = 2011;
inline constexpr int kExportMenu = 2100;
inline constexpr int kExportCurrentLoop = 2101;
inline constexpr int kExportAllLoops = 2102;
inline constexpr int kExportSong = 2103;
inline constexpr int kExportPackage = 2104;
inline constexpr int kExportPackageUpload = 2105;
inline constexpr int kEditMenu = 2200;
inline constexpr int kCut = 2201;
inline constexpr int kCopy = 2202;
inline constexpr int kPaste = 2203;
inline constexpr int kDelete = 2204;
inline constexpr int kInsertSilence = 2205;
inline constexpr int kSilenceSection = 2206;
inline constexpr int kChangeVolume = 2207;
inline constexpr int kFadeIn = 2208;
inline constexpr int kFadeOut = 2209;
inline constexpr int kItemMenu = 2300;
inline constexpr int kItemDelete = 2301;
inline constexpr int kItemEdit = 2302;
inline constexpr int kHelpMenu = 2400;
inline constexpr int kQuickStartGuide = 2401;
inline constexpr int kTrainingVideos = 2402;
inline constexpr int kHelpDesk = 2403;
inline constexpr int kAbout = 2405;

}  // namespace cmd

struct CommandInfo {
  int id;
  const char* tooltip;   // exact text; "" when the control has none
  const char* shortcut;  // QKeySequence text, "" when none
  int partner;           // the button shown instead after a click, 0 when none
  bool repeats;          // repeats while the mouse button is held
};

// Every button command, in layout order.
const std::vector<CommandInfo>& ButtonCommands();
// The entry of `id`, or nullptr.
const CommandInfo* FindCommand(int id);
// Menu texts of the pop-up menus ("&" marks the access key).
struct MenuItem {
  int id;
  const char* text;
  const char* shortcut;
};
const std::vector<MenuItem>& EditMenuItems();
const std::vector<MenuItem>& HelpMenuItems();
// Export items after the "Current Loop [%s]" line.
const std::vector<MenuItem>& ExportMenuItems();

// The fixed web pages of the Help menu.
inline constexpr char kTrainingVideosUrl[] = "https://quaverly.org/videos/";
inline constexpr char kHelpDeskUrl[] = "https://quaverly.org/help/";
// The quick start guide's file name in the per-user folder.
inline constexpr char kQuickStartGuideName[] = "qsg3.html";

// Tempo presets (hundredths of a per cent) and pitch presets (semitones)
// by command.
int TempoPresetFor(int command);     // 0 when `command` is no tempo preset
int PitchPresetSemitones(int command);  // -1 when `command` is no pitch preset
// The slider step of a step button (tempo or pitch), 0 for other commands.
int StepFor(int command);

}  // namespace qv3

#endif  // QV3_APP_MAIN_WINDOW_COMMANDS_H_
