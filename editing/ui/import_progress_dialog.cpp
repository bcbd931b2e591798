#include "editing/ui/import_progress_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

namespace qv3 {
namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }

}  // namespace

ImportProgressDialog::ImportProgressDialog(QWidget* parent) : QDialog(parent) {
  first_label_ = new QLabel(this);
  second_label_ = new QLabel(this);
  second_label_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, kProgressBarMax);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  time_line_ = new QLabel(this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel_requested_ = true; });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(first_label_);
  layout->addWidget(second_label_);
  layout->addWidget(bar_);
  layout->addWidget(time_line_);
  layout->addLayout(buttons);
  setMinimumWidth(420);
  setModal(true);
}

void ImportProgressDialog::CentreOnParent() {
  adjustSize();
  QRect area;
  if (parentWidget()) {
    area = parentWidget()->window()->frameGeometry();
  } else if (QScreen* screen = QApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
}

void ImportProgressDialog::Prepare(const ImportProgressTexts& texts) {
  setWindowTitle(Q(texts.title));
  cancel_requested_ = false;
  closing_ = false;
  CentreOnParent();
}

void ImportProgressDialog::ShowProgress(const ImportProgressTexts& texts) {
  setWindowTitle(Q(texts.title));
  first_label_->setText(Q(texts.first_label));
  second_label_->setText(Q(texts.second_label));
  bar_->setRange(0, kProgressBarMax);
  bar_->setValue(0);
  setWindowModality(Qt::ApplicationModal);
  CentreOnParent();
  show();
}

void ImportProgressDialog::SetProgress(int value) { bar_->setValue(value); }

void ImportProgressDialog::SetTimeLine(const std::string& text) { time_line_->setText(Q(text)); }

void ImportProgressDialog::Pump() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // The converter's messages arrive as posted events; a short rest keeps the
  // waiting loop from spinning.
  QThread::msleep(5);
}

void ImportProgressDialog::Drain() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void ImportProgressDialog::Close(bool ok) {
  closing_ = true;
  done(ok ? QDialog::Accepted : QDialog::Rejected);
  hide();
}

void ImportProgressDialog::reject() {
  if (closing_) {
    QDialog::reject();
    return;
  }
  cancel_requested_ = true;
}

}  // namespace qv3
