#include "notefinder/ui/note_finder_dlg.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace qv3 {
namespace {

QLineEdit* ReadOut(int id, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::number(id));
  edit->setReadOnly(true);
  return edit;
}

}  // namespace

CQuaverlyNoteFinderDlg::CQuaverlyNoteFinderDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("NoteFinderDialog");
  setWindowTitle("Note Finder");
  setModal(false);

  auto* start_box = new QGroupBox("Start Position", this);
  auto* start_form = new QFormLayout(start_box);
  start_seconds_ = ReadOut(kNoteFinderStartSeconds, start_box);
  start_frames_ = ReadOut(kNoteFinderStartFrames, start_box);
  start_form->addRow("Seconds:", start_seconds_);
  start_form->addRow("Samples:", start_frames_);

  auto* duration_box = new QGroupBox("Duration", this);
  auto* duration_form = new QFormLayout(duration_box);
  duration_seconds_ = ReadOut(kNoteFinderDurationSeconds, duration_box);
  duration_frames_ = ReadOut(kNoteFinderDurationFrames, duration_box);
  duration_form->addRow("Seconds:", duration_seconds_);
  duration_form->addRow("Samples:", duration_frames_);

  track_bar_ = new QSlider(Qt::Horizontal, this);
  track_bar_->setObjectName(QString::number(kNoteFinderTrackBar));
  track_bar_->setRange(1, NoteFinder::kDefaultSampleRate);
  track_bar_->setSingleStep(1);
  track_bar_->setPageStep(10);

  auto_repeat_ = new QCheckBox("Auto Repeat", this);
  auto_repeat_->setObjectName(QString::number(kNoteFinderAutoRepeat));
  auto_repeat_->setChecked(true);

  close_ = new QPushButton("Close", this);
  close_->setObjectName("2");

  auto* boxes = new QHBoxLayout;
  boxes->addWidget(start_box);
  boxes->addWidget(duration_box);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(auto_repeat_);
  bottom->addStretch(1);
  bottom->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boxes);
  layout->addWidget(track_bar_);
  layout->addLayout(bottom);

  // Every user move of the track bar (keys, clicks, dragging the thumb) sets
  // the duration; values the program puts there are shown with signals held.
  connect(track_bar_, &QSlider::valueChanged, this, [this](int value) { finder_.SetDurationFrames(value); });
  connect(auto_repeat_, &QCheckBox::clicked, this, [this](bool checked) { finder_.SetAutoRepeat(checked); });
  connect(close_, &QPushButton::clicked, this, [this] {
    if (on_close) on_close();
    else hide();
  });

  finder_.set_on_change([this] { ShowValues(); });
  ShowValues();
}

CQuaverlyNoteFinderDlg::~CQuaverlyNoteFinderDlg() { finder_.set_on_change(nullptr); }

void CQuaverlyNoteFinderDlg::ShowValues() {
  start_seconds_->setText(QString::fromStdString(NoteFinder::FormatSeconds(finder_.start_seconds())));
  start_frames_->setText(QString::fromStdString(NoteFinder::FormatFrames(finder_.start_frame())));
  duration_seconds_->setText(QString::fromStdString(NoteFinder::FormatSeconds(finder_.duration_seconds())));
  duration_frames_->setText(QString::fromStdString(NoteFinder::FormatFrames(finder_.duration_frames())));
  const QSignalBlocker hold(track_bar_);
  track_bar_->setRange(1, finder_.sample_rate());
  track_bar_->setValue(finder_.duration_frames());
}

void CQuaverlyNoteFinderDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (on_close) on_close();
  else hide();
}

void CQuaverlyNoteFinderDlg::reject() {
  if (on_close) on_close();
  else hide();
}

}  // namespace qv3
