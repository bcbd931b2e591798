// Two small dialogs shared by several windows, shown through the platform's
// UI services.
#ifndef QV3_EDITING_SHARED_DIALOGS_H_
#define QV3_EDITING_SHARED_DIALOGS_H_

#include <string>

namespace qv3 {

inline constexpr char kFolderPickerTitle[] = "Please select the location for the new files:";
inline constexpr char kFolderRefusedText[] =
    "The chosen path can not be used to store computer files.  Please pick a directory that is "
    "on a physical hard drive.";
inline constexpr char kSaveAudioTitle[] = "Save File As...";

// The folder browser starting at `start_folder`. A chosen path that is not an
// existing folder is refused with kFolderRefusedText (warning icon) and gives
// empty text, as does cancel.
std::string PickFolderForNewFiles(const std::string& start_folder);

// "Save File As..." for a WAV or MP3 file, starting in `start_folder` (a
// configured default location), default extension "wav", asking before
// overwriting. Empty text on cancel.
std::string AskSaveAudioFileName(const std::string& start_folder);

}  // namespace qv3

#endif  // QV3_EDITING_SHARED_DIALOGS_H_
