// ProjectDocument: the open document of the main window with its loops,
// markers and pad pages, and the project file flows that act on it: write,
// read (full open or settings only), save, ask to save, saved state, title.
//
// Steps owned by other parts of the program (opening audio, sliders, the
// equaliser, the edit history's files, the pad link, the recent list) go
// through the ProjectHost given at construction.
#ifndef QV3_DOCUMENT_PROJECT_DOCUMENT_H_
#define QV3_DOCUMENT_PROJECT_DOCUMENT_H_

#include <string>

#include "document/document_state.h"
#include "document/loop_list.h"
#include "document/marker_list.h"
#include "document/project_file.h"
#include "document/project_host.h"
#include "pagefile/scorelet_file_array.h"

namespace qv3 {

inline constexpr char kProjectOpenFailCaption[] = "Can't Open Project File";
inline constexpr char kProjectOpenFailFormat[] = "Could not open the Project File:\n\n\t%s";
inline constexpr char kEqPresetMissingText[] =
    "The EQ Preset associated with this Project was either deleted or renamed, therefore no EQ "
    "settings have been applied.";
inline constexpr char kPresetUnknownName[] = "PresetUnknown";
inline constexpr char kSaveWriteErrorFormat[] =
    "Error writing to the Audio File:\n\n\t%s\n\nIs the file write protected, or is the disk full?";

class ProjectDocument {
 public:
  explicit ProjectDocument(ProjectHost* host) : host_(host) {}
  ProjectDocument(const ProjectDocument&) = delete;
  ProjectDocument& operator=(const ProjectDocument&) = delete;

  DocumentState& state() { return state_; }
  const DocumentState& state() const { return state_; }
  MarkerList& markers() { return markers_; }
  const MarkerList& markers() const { return markers_; }
  LoopList& loops() { return loops_; }
  const LoopList& loops() const { return loops_; }
  CScoreletFileArray& pad_pages() { return pad_pages_; }

  // Sets the song length of the document and of both lists.
  void SetSongLength(double seconds);

  // Writes the project lines and the pad pages to a temporary file beside
  // `path` and renames it over `path`, so a failed write keeps the old file.
  // False, without a message, when it cannot be written.
  bool WriteProjectFile(const std::string& path);

  // Full open (settings_only false): the project becomes the new document;
  // its audio is opened through the host first and only then are its
  // values, markers, loops and pages applied, so the master values survive
  // the audio opening and a project whose audio fails leaves the current
  // document untouched. Settings only (undo/redo; the caller has cleared
  // the lists): markers, loops, settings and pages are reloaded, the audio
  // line is ignored. Both end by setting sliders, equaliser and vocal
  // reduction from the loaded values.
  bool ReadProjectFile(const std::string& path, bool settings_only);

  // Save / Save As; the audio copy is written before the project, each
  // through a temporary file and a rename.
  bool SaveProject(bool save_as);
  // True to go on, false when the user cancelled.
  bool AskSaveChanges();
  // With `rewrite`, records a state step and writes the working project;
  // then stores `saved` and refreshes the title.
  void SetSavedState(int saved, bool rewrite);
  // Shows ProjectTitleText(state()) through the host.
  void UpdateTitle();

 private:
  // Adds the parsed markers and loops through the lists' rules.
  void AddParsedItems(const ParsedProject& parsed);

  ProjectHost* host_;
  DocumentState state_;
  MarkerList markers_;
  LoopList loops_;
  CScoreletFileArray pad_pages_;
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_PROJECT_DOCUMENT_H_
