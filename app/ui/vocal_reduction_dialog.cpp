#include "app/ui/vocal_reduction_dialog.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "app/vocal_reduction.h"

namespace qv3 {

CVocalReductionDlg::CVocalReductionDlg(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setWindowTitle("Vocal Reduction");
  setObjectName("VocalReductionDialog");
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel;
  label_->setAlignment(Qt::AlignHCenter);
  layout->addWidget(label_);
  slider_ = new QSlider(Qt::Vertical);
  slider_->setObjectName("VocalReductionSlider");
  slider_->setRange(0, kVocalReductionMax);
  slider_->setPageStep(kVocalReductionPageSize);
  slider_->setSingleStep(1);
  // Position 0 (full reduction) at the top; Up and the wheel move towards it.
  slider_->setInvertedAppearance(true);
  slider_->setInvertedControls(true);
  slider_->setMinimumHeight(160);
  layout->addWidget(slider_, 1, Qt::AlignHCenter);
  SetPosition(kVocalReductionMax);

  connect(slider_, &QSlider::valueChanged, this, [this](int position) {
    ShowLabel(position);
    if (on_scroll) on_scroll(position, slider_->isSliderDown());
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (on_scroll) on_scroll(slider_->value(), false);
  });
}

void CVocalReductionDlg::SetPosition(int position) {
  const QSignalBlocker block(slider_);
  slider_->setValue(position);
  ShowLabel(slider_->value());
}

int CVocalReductionDlg::position() const { return slider_->value(); }

void CVocalReductionDlg::PlaceBelow(const QWidget* button) {
  move(button->mapToGlobal(QPoint(-2, button->height())));
}

void CVocalReductionDlg::ShowLabel(int position) {
  label_->setText(QString::fromStdString(VocalReductionLabel(VocalReductionLevelFromSlider(position))));
}

}  // namespace qv3
