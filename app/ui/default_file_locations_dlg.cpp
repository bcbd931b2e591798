#include "app/ui/default_file_locations_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editing/shared_dialogs.h"

namespace qv3 {

CDefaultFileLocationsDlg::CDefaultFileLocationsDlg(std::string config_path, QWidget* parent)
    : QDialog(parent), config_path_(std::move(config_path)) {
  setWindowTitle("Default File Locations");
  auto* grid = new QGridLayout(this);
  const LocationValues current = CurrentLocations();
  for (int i = 0; i < kLocationCount; ++i) {
    grid->addWidget(new QLabel(QString("%1 Files:").arg(kLocationNames[i])), i, 0);
    fields_[i] = new QLineEdit(QString::fromStdString(current[i]));
    fields_[i]->setMinimumWidth(360);
    grid->addWidget(fields_[i], i, 1);
    browse_[i] = new QPushButton("Browse...");
    connect(browse_[i], &QPushButton::clicked, this, [this, i] { Browse(i); });
    grid->addWidget(browse_[i], i, 2);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDefaultFileLocationsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, kLocationCount, 0, 1, 3);
}

void CDefaultFileLocationsDlg::Browse(int index) {
  const std::string chosen = PickFolderForNewFiles(fields_[index]->text().toStdString());
  if (!chosen.empty()) fields_[index]->setText(QString::fromStdString(chosen));
}

void CDefaultFileLocationsDlg::accept() {
  LocationValues values;
  for (int i = 0; i < kLocationCount; ++i) values[i] = fields_[i]->text().toStdString();
  NormalizeLocations(&values);
  const int failed = CheckLocations(values);
  if (failed >= 0) {
    fields_[failed]->setFocus();
    fields_[failed]->selectAll();
    return;
  }
  SaveLocations(values, config_path_);
  QDialog::accept();
}

}  // namespace qv3
