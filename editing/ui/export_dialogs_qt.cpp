#include "editing/ui/export_dialogs_qt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>
#include <memory>

namespace qv3 {

ExportChoiceDialog::ExportChoiceDialog(const QString& title, const QString& prompt,
                                       const QStringList& entries, int selected, QWidget* parent)
    : QDialog(parent), list_(new QComboBox(this)), prompt_(new QLabel(prompt, this)) {
  setWindowTitle(title);
  list_->addItems(entries);
  list_->setCurrentIndex(selected);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(list_);
  layout->addWidget(buttons);
}

int ExportChoiceDialog::chosen() const { return list_->currentIndex(); }

ExportChoiceDialog* NewAacBitrateDialog(QWidget* parent) {
  QStringList entries;
  for (const AacQuality& q : AacQualityTable()) entries << QString::fromStdString(KbpsText(q.kbps));
  return new ExportChoiceDialog(kBitrateDialogTitle, kBitrateDialogPrompt, entries, 0, parent);
}

ExportChoiceDialog* NewWmaBitrateDialog(const std::vector<int>& rates, QWidget* parent) {
  QStringList entries;
  for (int rate : rates) entries << QString::fromStdString(KbpsText(rate / 1000));
  return new ExportChoiceDialog(kBitrateDialogTitle, kBitrateDialogPrompt, entries, 0, parent);
}

ExportChoiceDialog* NewMp3FormatDialog(const std::vector<Mp3Format>& formats, QWidget* parent) {
  QStringList entries;
  for (const Mp3Format& f : formats) entries << QString::fromStdString(f.description);
  return new ExportChoiceDialog(kMp3ChooserTitle, kMp3ChooserPrompt, entries,
                                DefaultMp3FormatIndex(formats), parent);
}

namespace {

// Runs the dialog modally; the chosen index, or -1 when cancelled.
int RunChoice(ExportChoiceDialog* raw) {
  std::unique_ptr<ExportChoiceDialog> dialog(raw);
  if (dialog->exec() != QDialog::Accepted) return -1;
  return dialog->chosen();
}

}  // namespace

bool QtExportDialogs::ChooseMp3Format(const std::vector<Mp3Format>& formats, Mp3Format* chosen) {
  const int i = RunChoice(NewMp3FormatDialog(formats, parent_));
  if (i < 0 || i >= static_cast<int>(formats.size())) return false;
  *chosen = formats[i];
  return true;
}

bool QtExportDialogs::ChooseAacQuality(AacQuality* chosen) {
  const int i = RunChoice(NewAacBitrateDialog(parent_));
  if (i < 0 || i >= static_cast<int>(AacQualityTable().size())) return false;
  *chosen = AacQualityTable()[i];
  return true;
}

bool QtExportDialogs::ChooseWmaRate(const std::vector<int>& rates, int* chosen) {
  const int i = RunChoice(NewWmaBitrateDialog(rates, parent_));
  if (i < 0 || i >= static_cast<int>(rates.size())) return false;
  *chosen = rates[i];
  return true;
}

}  // namespace qv3
