#include "app/ui/eq_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "app/ui/preset_name_dialog.h"

namespace qv3 {

CQuaverlyEQDlg::CQuaverlyEQDlg(const std::string& ini_path, QWidget* parent)
    : QDialog(parent, Qt::Tool), controller_(ini_path) {
  setWindowTitle("Equalizer");
  setObjectName("EqDialog");
  auto* outer = new QHBoxLayout(this);

  // Sliders in row 0 with the scale beside them, band labels in row 1.
  auto* bands = new QGridLayout;
  bands->setHorizontalSpacing(4);
  auto* scale = new QVBoxLayout;
  const char* scale_texts[3] = {"15", "0", "-15"};
  for (int i = 0; i < 3; ++i) {
    scale_[i] = new QLabel(scale_texts[i]);
    scale_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (i > 0) scale->addStretch(1);
    scale->addWidget(scale_[i]);
  }
  bands->addLayout(scale, 0, 0);
  for (int band = 0; band < kEqBandCount; ++band) {
    auto* s = new QSlider(Qt::Vertical);
    s->setObjectName(QString("EqBand%1").arg(band));
    s->setRange(kEqSliderMin, kEqSliderMax);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBothSides);
    s->setTickInterval(5);
    // The position is minus the gain: the lowest position belongs at the
    // top, and the Up key and the wheel must move towards it.
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setMinimumHeight(150);
    s->setToolTip(QString("%1 Hz").arg(EqBandLabel(band)));
    connect(s, &QSlider::valueChanged, this, [this, band](int value) { controller_.SliderMoved(band, value); });
    sliders_[band] = s;
    bands->addWidget(s, 0, band + 1, Qt::AlignHCenter);
    labels_[band] = new QLabel(EqBandLabel(band));
    labels_[band]->setAlignment(Qt::AlignHCenter);
    bands->addWidget(labels_[band], 1, band + 1);
  }
  outer->addLayout(bands);

  auto* side = new QVBoxLayout;
  list_ = new QListWidget;
  list_->setObjectName("EqPresetList");
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMinimumWidth(150);
  connect(list_, &QListWidget::currentRowChanged, this,
          [this](int row) { controller_.ListSelectionChanged(row); });
  side->addWidget(list_, 1);
  auto make_button = [&](const char* text) {
    auto* b = new QPushButton(text);
    b->setToolTip(text);
    b->setAutoDefault(false);
    side->addWidget(b);
    return b;
  };
  new_ = make_button(kEqNewButtonText);
  save_ = make_button(kEqSaveButtonText);
  delete_ = make_button(kEqDeleteButtonText);
  connect(new_, &QPushButton::clicked, this, [this] { OnNewPreset(); });
  connect(save_, &QPushButton::clicked, this, [this] { controller_.SavePresets(); });
  connect(delete_, &QPushButton::clicked, this, [this] { controller_.DeletePreset(); });
  outer->addLayout(side);

  controller_.SetView(this);
  controller_.LoadPresets();
}

CQuaverlyEQDlg::~CQuaverlyEQDlg() { controller_.SetView(nullptr); }

void CQuaverlyEQDlg::OnNewPreset() {
  std::string name;
  if (ask_name_for_test) {
    if (!ask_name_for_test(&name)) return;
  } else {
    CQuaverlyPresetNameDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    name = dialog.Name();
  }
  controller_.CreatePreset(name);
}

void CQuaverlyEQDlg::ShowSliderPositions(const EqSliderPositions& positions) {
  for (int band = 0; band < kEqBandCount; ++band) {
    const QSignalBlocker block(sliders_[band]);
    sliders_[band]->setValue(positions[band]);
  }
}

void CQuaverlyEQDlg::ShowPresetNames(const std::vector<std::string>& names) {
  const QSignalBlocker block(list_);
  list_->clear();
  for (const std::string& name : names) list_->addItem(QString::fromStdString(name));
  list_->setCurrentRow(-1);
}

void CQuaverlyEQDlg::ShowSelection(int index) {
  const QSignalBlocker block(list_);
  list_->setCurrentRow(index);
  if (index < 0) list_->clearSelection();
}

void CQuaverlyEQDlg::EnableControls(bool enabled) {
  for (QSlider* s : sliders_) s->setEnabled(enabled);
  list_->setEnabled(enabled);
  new_->setEnabled(enabled);
  save_->setEnabled(enabled);
  delete_->setEnabled(enabled);
}

}  // namespace qv3
