// The "Select Source File..." dialog of Open: a file dialog with the four
// filters, the "Automatically play the selected file" check box (remembered
// between openings) that previews the selected file, sized 570 x 500.
#ifndef QV3_EDITING_UI_OPEN_SOURCE_DIALOG_H_
#define QV3_EDITING_UI_OPEN_SOURCE_DIALOG_H_

#include <QFileDialog>
#include <QStringList>
#include <string>
#include <vector>

#include "editing/import_preview.h"
#include "editing/import_source.h"
#include "platform/ui_services.h"

class QCheckBox;

namespace qv3 {

class OpenSourceDialog : public QFileDialog {
  Q_OBJECT

 public:
  OpenSourceDialog(QWidget* parent, const FileDialogRequest& request);
  ~OpenSourceDialog() override;

  QCheckBox* auto_play_box() const { return auto_play_; }
  SourcePreview& preview() { return preview_; }
  // The chosen path (after exec() returned Accepted), else empty.
  std::string ChosenPath() const;

  // Qt filter strings: "<name> (<patterns separated by blanks>)"; the dialog
  // hides the pattern part, so the names show as written.
  static QStringList QtNameFilters(const std::vector<FileFilter>& filters);

 protected:
  void done(int result) override;

 private:
  void OnCurrentChanged(const QString& path);

  QCheckBox* auto_play_ = nullptr;
  SourcePreview preview_;
};

// Runs the dialog modally; the chosen path or empty.
std::string RunOpenSourceDialog(QWidget* parent, const FileDialogRequest& request);

// The SourceChooser of the main window's Open command.
class QtSourceChooser : public SourceChooser {
 public:
  explicit QtSourceChooser(QWidget* parent) : parent_(parent) {}
  std::string ChooseSource(const FileDialogRequest& request) override {
    return RunOpenSourceDialog(parent_, request);
  }

 private:
  QWidget* parent_;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_OPEN_SOURCE_DIALOG_H_
