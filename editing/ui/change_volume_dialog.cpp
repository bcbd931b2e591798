#include "editing/ui/change_volume_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/ui_services.h"

namespace qv3 {

double VolumeSliderPercent(int position) { return (kVolumeSliderMax - position) / 10.0; }

std::string VolumeLabelText(double percent) {
  return percent > kClippingPercent ? StringPrintf("%.1f%% (may cause clipping)", percent)
                                    : StringPrintf("%.1f%%", percent);
}

CChangeVolumeDlg::CChangeVolumeDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kChangeVolumeTitle);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kChangeVolumePrompt));
  auto* row = new QHBoxLayout;
  slider_ = new QSlider(Qt::Vertical);
  slider_->setObjectName("VolumeSlider");
  slider_->setRange(0, kVolumeSliderMax);
  slider_->setPageStep(kVolumeSliderPage);
  // Position 0 is at the top, as the percentage grows upwards.
  slider_->setInvertedAppearance(true);
  slider_->setInvertedControls(true);
  slider_->setTickPosition(QSlider::TicksBothSides);
  slider_->setTickInterval(kVolumeSliderStart);  // marks at 0 and 4000
  slider_->setValue(kVolumeSliderStart);
  slider_->setMinimumHeight(160);
  row->addWidget(slider_);
  value_ = new QLabel(QString::fromStdString(VolumeLabelText(percent())));
  value_->setObjectName("VolumeValue");
  value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance("500.0% (may cause clipping)"));
  row->addWidget(value_);
  layout->addLayout(row);
  connect(slider_, &QSlider::valueChanged, this, &CChangeVolumeDlg::OnSlider);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

double CChangeVolumeDlg::percent() const { return VolumeSliderPercent(slider_->value()); }

void CChangeVolumeDlg::OnSlider(int position) {
  value_->setText(QString::fromStdString(VolumeLabelText(VolumeSliderPercent(position))));
}

}  // namespace qv3
