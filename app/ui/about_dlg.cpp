#include "app/ui/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/main_window_commands.h"
#include "app/main_window_rules.h"
#include "app/ui/hyperlink.h"
#include "app/ui/skin.h"
#include "platform/ui_services.h"
#include "stretch/time_pitch_processor.h"

#ifndef QV3_VERSION
#define QV3_VERSION "3.0.0"
#endif

namespace qv3 {

const char* ProgramVersion() { return QV3_VERSION; }

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString("About %1").arg(kAppTitle));
  auto* v = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* logo = new QLabel;
  logo->setPixmap(AppIcon().pixmap(QSize(64, 64)));
  top->addWidget(logo, 0, Qt::AlignTop);
  version_ = new QLabel(
      QString::fromStdString(AboutVersionText(ProgramVersion(), TimePitchVersion())));
  QFont f = version_->font();
  f.setPointSize(f.pointSize() + 1);
  f.setBold(true);
  version_->setFont(f);
  top->addWidget(version_, 1);
  v->addLayout(top);
  auto* legal = new QLabel(
      "A practice tool for musicians who learn songs by ear.\n\n"
      "Copyright (c) 2026 the Quaverly authors. This program is provided \"as is\", without "
      "warranty of any kind, express or implied. Use it only with recordings you are entitled "
      "to use; the rights in the songs you open remain with their owners.");
  legal->setWordWrap(true);
  legal->setMinimumWidth(380);
  v->addWidget(legal);
  v->addWidget(new CHyperLink("quaverly.org", "https://quaverly.org/"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  v->addWidget(buttons);
}

QString CAboutDlg::VersionText() const { return version_->text(); }

}  // namespace qv3
