#include "editing/ui/open_source_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLayout>

namespace qv3 {
namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }

}  // namespace

QStringList OpenSourceDialog::QtNameFilters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const FileFilter& f : filters) {
    QStringList patterns;
    for (const QString& p : Q(f.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      if (!patterns.contains(p.trimmed())) patterns << p.trimmed();
    }
    // Upper-case spellings too: Song.MP3 is as much an MP3 as song.mp3.
    const QStringList lower = patterns;
    for (const QString& p : lower) {
      const QString upper = p.toUpper();
      if (!patterns.contains(upper)) patterns << upper;
    }
    out << Q(f.name) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

OpenSourceDialog::OpenSourceDialog(QWidget* parent, const FileDialogRequest& request)
    : QFileDialog(parent, Q(request.title)) {
  // Qt's own dialog, so the check box can join its layout.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::HideNameFilterDetails, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(request.filters);
  setNameFilters(filters);
  if (request.filter_index >= 0 && request.filter_index < filters.size()) {
    selectNameFilter(filters[request.filter_index]);
  }
  if (!request.initial_folder.empty()) setDirectory(Q(request.initial_folder));

  auto_play_ = new QCheckBox(Q(kAutoPlayLabel), this);
  auto_play_->setChecked(SourcePreview::RememberedAutoPlay());
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(auto_play_, grid->rowCount(), 0, 1, grid->columnCount());
  } else if (layout()) {
    layout()->addWidget(auto_play_);
  }
  connect(auto_play_, &QCheckBox::toggled, this, [this](bool on) {
    preview_.SetAutoPlay(on);
    if (on) {
      const QStringList selected = selectedFiles();
      if (!selected.isEmpty()) preview_.Select(QFile::encodeName(selected.first()).toStdString());
    }
  });
  connect(this, &QFileDialog::currentChanged, this, &OpenSourceDialog::OnCurrentChanged);
  resize(kOpenDialogWidth, kOpenDialogHeight);
}

OpenSourceDialog::~OpenSourceDialog() { preview_.Stop(); }

void OpenSourceDialog::OnCurrentChanged(const QString& path) {
  const std::string p = QFile::encodeName(path).toStdString();
  if (p == preview_.playing_path()) return;
  preview_.Select(p);
}

void OpenSourceDialog::done(int result) {
  // The preview ends with the dialog, whichever way it closes.
  preview_.Stop();
  QFileDialog::done(result);
}

std::string OpenSourceDialog::ChosenPath() const {
  if (result() != QDialog::Accepted) return {};
  const QStringList files = selectedFiles();
  return files.isEmpty() ? std::string() : QFile::encodeName(files.first()).toStdString();
}

std::string RunOpenSourceDialog(QWidget* parent, const FileDialogRequest& request) {
  OpenSourceDialog dialog(parent, request);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.ChosenPath();
}

}  // namespace qv3
