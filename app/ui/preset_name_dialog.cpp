#include "app/ui/preset_name_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/ui_services.h"

namespace qv3 {

CQuaverlyPresetNameDlg::CQuaverlyPresetNameDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("New Preset Name");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Please supply a name for the new Preset:"));
  name_ = new QLineEdit;
  name_->setObjectName("PresetName");
  layout->addWidget(name_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  name_->setFocus();
}

std::string CQuaverlyPresetNameDlg::Name() const { return name_->text().trimmed().toStdString(); }

void CQuaverlyPresetNameDlg::accept() {
  if (name_->text().trimmed().isEmpty()) {
    Ui().Beep();
    name_->setFocus();
    name_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace qv3
