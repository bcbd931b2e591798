// CScoreletFileArray: the notation pad's pages, an ordered array of
// ScoreletObject records plus a page count, and its text form, the page file.
//
// The page file is used in three places that must stay byte-compatible: the
// exchange file between the main program and the pad, the tail of every
// project file (after the project's own lines), and the pad's clipboard
// (selection-only text). Every line begins with a "scorelet_" keyword; the
// reader skips every other line, so a whole project file can be loaded.
//
// Typical calls from the project writer and reader:
//
//   // Writer: project lines first, then the pages appended (CR LF endings).
//   WriteProjectLines(tmp_path);
//   if (!pages.Save(tmp_path, /*append=*/true)) return false;
//   // ... or, with the project file already open as FILE* f ("wb"/"ab"):
//   if (!pages.WriteToFile(f)) return false;
//   // ... or, building the file in memory:
//   text += pages.FileText();
//
//   // Reader: after the project lines are read, load the pages from the
//   // same file (non-pad lines, including the project's, are skipped).
//   pages.Load(project_path);        // shows the "Can't Open Project File" box on failure
//   // ... or, with the file's bytes already in memory:
//   pages.LoadFromText(file_bytes);  // never shows a message
//
// Thread contract: one thread at a time (the GUI thread in both programs).
#ifndef QV3_PAGEFILE_SCORELET_FILE_ARRAY_H_
#define QV3_PAGEFILE_SCORELET_FILE_ARRAY_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pagefile/scorelet_object.h"

namespace qv3 {

// A rectangle in page units; right and bottom edges are excluded.
struct ScoreletRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Page file keywords.
inline constexpr char kScoreletPageCountKey[] = "scorelet_pagecount";
inline constexpr char kScoreletBitmapKey[] = "scorelet_bitmap";
inline constexpr char kScoreletVectorKey[] = "scorelet_vector";
inline constexpr char kScoreletTextLineKey[] = "scorelet_textline";
inline constexpr char kScoreletTextBlockBeginKey[] = "scorelet_textblockbegin";
inline constexpr char kScoreletTextBlockEndKey[] = "scorelet_textblockend";
inline constexpr char kScoreletTimeSignatureKey[] = "scorelet_timesignature";

// Load's message box, shown through the platform UI services.
inline constexpr char kScoreletLoadFailCaption[] = "Can't Open Project File";
inline constexpr char kScoreletLoadFailFormat[] = "Could not open the Project File:\n\n\t%s";

class CScoreletFileArray {
 public:
  using Objects = std::vector<std::unique_ptr<ScoreletObject>>;

  // A new array has no objects and one page.
  CScoreletFileArray() = default;
  CScoreletFileArray(CScoreletFileArray&&) noexcept = default;
  CScoreletFileArray& operator=(CScoreletFileArray&&) noexcept = default;
  CScoreletFileArray(const CScoreletFileArray&) = delete;
  CScoreletFileArray& operator=(const CScoreletFileArray&) = delete;

  // A deep copy (objects, fonts, selection flags, page count).
  CScoreletFileArray Clone() const;

  // --- The objects, in creation (= drawing = file) order.
  const Objects& objects() const { return objects_; }
  int size() const { return static_cast<int>(objects_.size()); }
  bool empty() const { return objects_.empty(); }
  ScoreletObject& at(int i) { return *objects_.at(i); }
  const ScoreletObject& at(int i) const { return *objects_.at(i); }
  // Appends an object (owned from now on) and returns it.
  ScoreletObject& Add(std::unique_ptr<ScoreletObject> object);
  // Removes and deletes the object at i.
  void RemoveAt(int i);

  // --- Page count (at least 1, at most kScoreletMaxPages).
  int page_count() const { return page_count_; }
  void set_page_count(int count);

  // --- Operations.
  // Deletes all objects; page count becomes 1.
  void Clear();
  // Deletes every selected object, keeping the order of the rest.
  void DeleteSelected();
  // Adds dx, dy to every point of every selected object.
  void MoveSelected(int dx, int dy);
  // Selects each object of `page` whose every point lies inside `rect`;
  // other objects keep their flag.
  void SelectInside(int page, const ScoreletRect& rect);
  // Clears every selected flag.
  void SelectNone();
  // n >= 0: objects on pages after n move one page down; page count + 1.
  // Returns false (and changes nothing) for n < 0 or at the page limit.
  bool InsertPageAfter(int n);
  // Only when n >= 1 and the page count is at least 2: deletes page n's
  // objects, moves later pages up, page count - 1. Returns whether it did.
  bool DeletePage(int n);
  // The largest page number used by any object, at least 1.
  int HighestPage() const;

  // --- Page file text.
  // The page file text with "\n" line ends (the in-memory form, also the
  // pad clipboard's): a page count line unless selection_only, then one
  // entry per object (only selected ones when selection_only).
  std::string WriteText(bool selection_only) const;
  // The full page file text as it is stored on disk: "\r\n" line ends.
  std::string FileText() const;
  // Parses page file text (either line end) and appends its objects, each
  // shifted by the offsets and given `selected`. A page count line is
  // stored through `page_count_out` when it is not null, else ignored.
  // Lines that are not pad lines are skipped; nothing in the text stops it.
  void ReadText(std::string_view text, int* page_count_out, int x_offset, int y_offset,
                int page_offset, int selected);

  // --- Files.
  // Writes FileText() to `path`, truncating ("w") or appending ("a").
  // Returns false without a message when the file cannot be opened or written.
  bool Save(const std::string& path, bool append) const;
  // Writes FileText() at the current position of an open binary stream.
  bool WriteToFile(std::FILE* file) const;
  // Empties the array and reads a page file (or a project file carrying one)
  // into it; the page count becomes the larger of the file's page count
  // line (1 when none) and the highest page. An empty path fails silently;
  // a file that cannot be opened shows kScoreletLoadFailFormat with the
  // path, captioned kScoreletLoadFailCaption, and leaves the array empty.
  bool Load(const std::string& path);
  // Load on text already in memory: empties the array, reads the text and
  // sets the page count the same way. Never shows a message.
  void LoadFromText(std::string_view text);

 private:
  Objects objects_;
  int page_count_ = 1;
};

}  // namespace qv3

#endif  // QV3_PAGEFILE_SCORELET_FILE_ARRAY_H_
