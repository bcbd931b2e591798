#include "app/ui/edit_loop_dlg.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <limits>

#include "document/project_file.h"
#include "document/text_format.h"

namespace qv3 {
namespace {

QString Fixed4(double v) { return QString::fromStdString(FormatFixed(v, 4)); }

}  // namespace

CEditLoopDlg::CEditLoopDlg(const LoopEditFields& initial, double song_length, QWidget* parent)
    : QDialog(parent), initial_(initial), original_end_(initial.end + kLoopEndSnap) {
  setWindowTitle("Edit Loop");
  auto* form = new QFormLayout(this);
  name_ = new QLineEdit(QString::fromStdString(initial.name));
  shown_start_ = Fixed4(initial.start);
  shown_end_ = Fixed4(initial.end);
  shown_pitch_ = Fixed4(initial.pitch);
  shown_tempo_ = Fixed4(initial.tempo);
  start_ = new QLineEdit(shown_start_);
  end_ = new QLineEdit(shown_end_);
  pitch_ = new QLineEdit(shown_pitch_);
  tempo_ = new QLineEdit(shown_tempo_);
  for (QLineEdit* e : {start_, end_}) {
    auto* v = new QDoubleValidator(0.0, song_length, 4, e);
    v->setLocale(QLocale::c());
    v->setNotation(QDoubleValidator::StandardNotation);
    e->setValidator(v);
  }
  repeat_ = new QSpinBox;
  repeat_->setRange(-1, 999);
  repeat_->setValue(initial.repeat_count);
  delay_ = new QSpinBox;
  delay_->setRange(0, 60);
  delay_->setValue(initial.delay);

  QWidget* fields[] = {name_, start_, end_, pitch_, tempo_, repeat_, delay_};
  const char* labels[] = {"Name:", "Start (seconds):", "End (seconds):", "Pitch (semitones):",
                          "Tempo (%):", "Repeat count:", "Delay (seconds):"};
  for (int i = 0; i < 7; ++i) {
    fields[i]->setToolTip(QString::fromUtf8(kLoopEditTooltips[i]));
    form->addRow(labels[i], fields[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CEditLoopDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  name_->selectAll();
  name_->setFocus();
}

double CEditLoopDlg::Value(const QLineEdit* edit, const QString& shown, double original) const {
  const QString text = edit->text().trimmed();
  if (text == shown) return original;
  bool ok = false;
  const double v = QLocale::c().toDouble(text, &ok);
  // Text that is no number fails the checks of its field.
  return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

LoopEditFields CEditLoopDlg::Fields() const {
  LoopEditFields f;
  f.name = name_->text().trimmed().toStdString();
  f.start = Value(start_, shown_start_, initial_.start);
  f.end = Value(end_, shown_end_, original_end_);
  f.pitch = Value(pitch_, shown_pitch_, initial_.pitch);
  f.tempo = Value(tempo_, shown_tempo_, initial_.tempo);
  f.repeat_count = repeat_->value();
  f.delay = delay_->value();
  return f;
}

void CEditLoopDlg::accept() {
  QLineEdit* focus = nullptr;
  switch (CheckLoopEdit(Fields())) {
    case LoopEditField::kNone:
      QDialog::accept();
      return;
    case LoopEditField::kStart: focus = start_; break;
    case LoopEditField::kPitch: focus = pitch_; break;
    case LoopEditField::kTempo: focus = tempo_; break;
    default: focus = name_; break;
  }
  focus->setFocus();
  focus->selectAll();
}

}  // namespace qv3
