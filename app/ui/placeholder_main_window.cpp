#include "app/ui/placeholder_main_window.h"

#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

namespace qv3 {

PlaceholderMainWindow::PlaceholderMainWindow(const std::string& start_file, QWidget* parent)
    : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Quaverly 3: Ready"));
  setMinimumSize(kMinWidth, kMinHeight);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  auto* title = new QLabel(QStringLiteral("Quaverly 3"), central);
  QFont font = title->font();
  font.setPointSize(font.pointSize() * 2);
  font.setBold(true);
  title->setFont(font);
  title->setAlignment(Qt::AlignCenter);
  layout->addStretch();
  layout->addWidget(title);
  if (!start_file.empty()) {
    auto* file = new QLabel(QString::fromStdString(start_file), central);
    file->setAlignment(Qt::AlignCenter);
    file->setTextFormat(Qt::PlainText);
    layout->addWidget(file);
  }
  layout->addStretch();
  setCentralWidget(central);
  status_ = new QLabel(QStringLiteral("Idle"), this);
  statusBar()->addWidget(status_, 1);
}

void PlaceholderMainWindow::SetStatusText(const std::string& text) {
  status_->setText(QString::fromStdString(text));
}

}  // namespace qv3
