#include "editing/shared_dialogs.h"

#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {

std::string PickFolderForNewFiles(const std::string& start_folder) {
  std::string chosen = Ui().BrowseFolder(kFolderPickerTitle, start_folder);
  if (chosen.empty()) return {};  // cancelled
  if (!IsDirectory(chosen)) {
    Ui().ShowMessage(kFolderRefusedText, kAppTitle, MsgIcon::kExclamation);
    return {};
  }
  return chosen;
}

std::string AskSaveAudioFileName(const std::string& start_folder) {
  FileDialogRequest request;
  request.title = kSaveAudioTitle;
  request.filters = {{"WAV File (*.wav)", "*.wav"}, {"MP3 File (*.mp3)", "*.mp3"}};
  request.default_extension = "wav";
  request.initial_folder = start_folder;
  request.overwrite_prompt = true;
  return Ui().SaveFileName(request);
}

}  // namespace qv3
