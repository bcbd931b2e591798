// The import progress dialog: a title, two labels, a 0 .. 10000 progress bar,
// a time line and a "Cancel" button. VideoExtraction (editing/import_video.h)
// drives it from the GUI thread and pumps events while the converter runs;
// the sniffer reuses it for its own conversions.
#ifndef QV3_EDITING_UI_IMPORT_PROGRESS_DIALOG_H_
#define QV3_EDITING_UI_IMPORT_PROGRESS_DIALOG_H_

#include <QDialog>
#include <memory>

#include "editing/import_source.h"
#include "editing/import_video.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qv3 {

class ImportProgressDialog : public QDialog, public ImportProgressView {
  Q_OBJECT

 public:
  explicit ImportProgressDialog(QWidget* parent = nullptr);

  void Prepare(const ImportProgressTexts& texts) override;
  void ShowProgress(const ImportProgressTexts& texts) override;
  void SetProgress(int value) override;
  void SetTimeLine(const std::string& text) override;
  void Pump() override;
  void Drain() override;
  bool CancelRequested() override { return cancel_requested_; }
  void Close(bool ok) override;

  QLabel* first_label() const { return first_label_; }
  QLabel* second_label() const { return second_label_; }
  QLabel* time_line() const { return time_line_; }
  QProgressBar* bar() const { return bar_; }
  QPushButton* cancel_button() const { return cancel_; }

 protected:
  // Closing by the window frame or Escape counts as Cancel; the logic
  // closes the dialog once the converter has ended.
  void reject() override;

 private:
  void CentreOnParent();

  QLabel* first_label_ = nullptr;
  QLabel* second_label_ = nullptr;
  QLabel* time_line_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool cancel_requested_ = false;
  bool closing_ = false;
};

// Makes the dialog for SourceImporter.
class QtProgressViewFactory : public ProgressViewFactory {
 public:
  explicit QtProgressViewFactory(QWidget* parent) : parent_(parent) {}
  std::unique_ptr<ImportProgressView> MakeProgressView() override {
    return std::make_unique<ImportProgressDialog>(parent_);
  }

 private:
  QWidget* parent_;
};

}  // namespace qv3

#endif  // QV3_EDITING_UI_IMPORT_PROGRESS_DIALOG_H_
