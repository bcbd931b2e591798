#include "platform/ui/qt_ui_services.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace qv3 {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kInformation:
      return QMessageBox::Information;
    case MsgIcon::kExclamation:
      return QMessageBox::Warning;
    case MsgIcon::kError:
      return QMessageBox::Critical;
    case MsgIcon::kQuestion:
      return QMessageBox::Question;
    case MsgIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ToQtButton(Answer a) {
  switch (a) {
    case Answer::kOk:
      return QMessageBox::Ok;
    case Answer::kCancel:
      return QMessageBox::Cancel;
    case Answer::kYes:
      return QMessageBox::Yes;
    case Answer::kNo:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

}  // namespace

QWidget* QtUiServices::Parent() const {
  return parent_ ? parent_ : QApplication::activeWindow();
}

void QtUiServices::ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon) {
  QMessageBox box(ToQtIcon(icon), Q(caption), Q(text), QMessageBox::Ok, Parent());
  // File names may hold "<" or "&": never read the text as rich text.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

Answer QtUiServices::Ask(const std::string& text, const std::string& caption, AskButtons buttons,
                         Answer default_button, MsgIcon icon) {
  QMessageBox::StandardButtons qt_buttons = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (buttons) {
    case AskButtons::kOk:
      break;
    case AskButtons::kOkCancel:
      qt_buttons = QMessageBox::Ok | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    case AskButtons::kYesNo:
      qt_buttons = QMessageBox::Yes | QMessageBox::No;
      escape = QMessageBox::No;
      break;
    case AskButtons::kYesNoCancel:
      qt_buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
  }
  QMessageBox box(ToQtIcon(icon), Q(caption), Q(text), qt_buttons, Parent());
  box.setTextFormat(Qt::PlainText);
  if (qt_buttons & ToQtButton(default_button)) box.setDefaultButton(ToQtButton(default_button));
  box.setEscapeButton(escape);
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    case QMessageBox::Cancel:
      return Answer::kCancel;
    case QMessageBox::Ok:
      return Answer::kOk;
    default:
      break;
  }
  return buttons == AskButtons::kYesNo ? Answer::kNo : Answer::kCancel;
}

QStringList QtUiServices::NameFilters(const std::vector<FileFilter>& filters) {
  static const QRegularExpression kTrailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList out;
  for (const FileFilter& f : filters) {
    QStringList patterns;
    for (const QString& p : Q(f.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      QString t = p.trimmed();
      // Windows' "*.*" means every file; Qt's would need a dot in the name.
      patterns << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
    }
    QString name = Q(f.name);
    name.remove(kTrailingPatterns);
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    out << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

std::string QtUiServices::RunFileDialog(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(Parent(), Q(request.title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && !request.overwrite_prompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters = NameFilters(request.filters);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.filter_index >= 0 && request.filter_index < filters.size()) {
      dialog.selectNameFilter(filters[request.filter_index]);
    }
  }
  if (!request.default_extension.empty()) dialog.setDefaultSuffix(Q(request.default_extension));
  if (!request.initial_folder.empty()) dialog.setDirectory(Q(request.initial_folder));
  if (!request.initial_name.empty()) {
    QFileInfo info(Q(request.initial_name));
    if (request.initial_name.find('/') != std::string::npos) dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return {};
  QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return {};
  return QFile::encodeName(files.first()).toStdString();
}

std::string QtUiServices::OpenFileName(const FileDialogRequest& request) {
  return RunFileDialog(request, false);
}

std::string QtUiServices::SaveFileName(const FileDialogRequest& request) {
  return RunFileDialog(request, true);
}

std::string QtUiServices::BrowseFolder(const std::string& title, const std::string& start_folder) {
  QString dir = QFileDialog::getExistingDirectory(Parent(), Q(title), Q(start_folder),
                                                  QFileDialog::ShowDirsOnly);
  return QFile::encodeName(dir).toStdString();
}

void QtUiServices::SetStatusText(const std::string& text) {
  if (status_sink_) status_sink_(text);
}

void QtUiServices::Beep() { QApplication::beep(); }

void QtUiServices::ProcessPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace qv3
