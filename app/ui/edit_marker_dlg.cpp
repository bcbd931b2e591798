#include "app/ui/edit_marker_dlg.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>

#include "document/text_format.h"

namespace qv3 {

CEditMarkerDlg::CEditMarkerDlg(const std::string& name, double position, double song_length,
                               QWidget* parent)
    : QDialog(parent), original_position_(position) {
  setWindowTitle("Edit Marker");
  auto* form = new QFormLayout(this);
  name_ = new QLineEdit(QString::fromStdString(name));
  shown_position_ = QString::fromStdString(FormatFixed(position, 2));
  position_ = new QLineEdit(shown_position_);
  auto* validator = new QDoubleValidator(0.0, song_length, 2, position_);
  validator->setLocale(QLocale::c());
  validator->setNotation(QDoubleValidator::StandardNotation);
  position_->setValidator(validator);
  form->addRow("Name:", name_);
  form->addRow("Position (seconds):", position_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  name_->selectAll();
  name_->setFocus();
}

std::string CEditMarkerDlg::Name() const { return name_->text().trimmed().toStdString(); }

double CEditMarkerDlg::Position() const {
  const QString text = position_->text().trimmed();
  if (text == shown_position_) return original_position_;
  bool ok = false;
  const double value = QLocale::c().toDouble(text, &ok);
  return ok ? value : original_position_;
}

}  // namespace qv3
