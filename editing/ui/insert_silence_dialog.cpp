#include "editing/ui/insert_silence_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "editing/edit_values.h"
#include "platform/ui_services.h"

namespace qv3 {

double ParseSilenceSeconds(const QString& text) {
  bool ok = false;
  const double value = QLocale::c().toDouble(text.trimmed(), &ok);
  return ok ? value : std::nan("");
}

CInsertSilenceDlg::CInsertSilenceDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kInsertSilenceTitle);
  auto* layout = new QVBoxLayout(this);
  QString amount_label = QString::fromLatin1(kInsertSilenceAmountLabel);
  amount_label.replace('\r', '\n');
  layout->addWidget(new QLabel(amount_label));
  amount_ = new QLineEdit(QString::fromLatin1(kInsertSilenceInitialText));
  amount_->setObjectName("SilenceAmount");
  layout->addWidget(amount_);

  auto* group = new QGroupBox(kInsertSilenceWhereLabel);
  auto* radios = new QVBoxLayout(group);
  beginning_ = new QRadioButton("Beginning");
  current_ = new QRadioButton("Current Position");
  end_ = new QRadioButton("End");
  current_->setChecked(true);
  radios->addWidget(beginning_);
  radios->addWidget(current_);
  radios->addWidget(end_);
  layout->addWidget(group);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  amount_->setFocus();
  amount_->selectAll();
}

InsertPoint CInsertSilenceDlg::where() const {
  if (beginning_->isChecked()) return InsertPoint::kBeginning;
  if (end_->isChecked()) return InsertPoint::kEnd;
  return InsertPoint::kCurrentPosition;
}

QRadioButton* CInsertSilenceDlg::radio(InsertPoint which) const {
  switch (which) {
    case InsertPoint::kBeginning: return beginning_;
    case InsertPoint::kEnd: return end_;
    case InsertPoint::kCurrentPosition: break;
  }
  return current_;
}

void CInsertSilenceDlg::accept() {
  const double seconds = ParseSilenceSeconds(amount_->text());
  if (!ValidSilenceSeconds(seconds)) {
    // Zero, negative, non-numbers, infinities and absurd lengths would make
    // an empty step, a refused kernel or a file of many gigabytes.
    Ui().Beep();
    amount_->setFocus();
    amount_->selectAll();
    return;
  }
  seconds_ = seconds;
  QDialog::accept();
}

}  // namespace qv3
