#include "app/ui/quaverly3_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/main_window_commands.h"
#include "app/ui/eq_dialog.h"
#include "app/ui/skin.h"
#include "notefinder/ui/note_finder_dlg.h"
#include "app/ui/vocal_reduction_dialog.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"
#include "stretch/time_pitch_processor.h"

namespace qv3 {
namespace {

QFrame* Panel(const QString& title, QLayout* body) {
  auto* frame = new QFrame;
  frame->setObjectName("Panel");
  auto* v = new QVBoxLayout(frame);
  v->setContentsMargins(8, 4, 8, 6);
  v->setSpacing(3);
  auto* label = new QLabel(title.toUpper());
  label->setObjectName("PanelTitle");
  v->addWidget(label);
  v->addLayout(body);
  return frame;
}

QSlider* MakeSlider(Qt::Orientation o, int min, int max, int value, int page) {
  auto* s = new QSlider(o);
  s->setRange(min, max);
  s->setValue(value);
  s->setPageStep(page);
  s->setSingleStep(1);
  return s;
}

}  // namespace

CQuaverly3Dlg::CQuaverly3Dlg(std::string start_file, QWidget* parent)
    : QWidget(parent),
      loop_delay_([this](std::chrono::milliseconds slice) {
        // Events keep flowing during the hold; the application-wide filter
        // (eventFilter) turns Space and the left button into Cancel().
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
          if (loop_delay_.cancelled()) loop.quit();
        });
        timer.start(slice);
        poll.start(10);
        loop.exec();
      }),
      start_file_(std::move(start_file)) {
  player_ = std::make_unique<AudioPlayer>(this);
  setWindowTitle(kAppTitle);
  setWindowIcon(AppIcon());
  setObjectName("MainWindow");
  setMinimumSize(kMinWidth, kMinHeight);
  setAcceptDrops(true);
  BuildLayout();
  InstallShortcuts();
  chart_->SetOwner(this);
  CreateToolWindows();
  nf_ = new CQuaverlyNoteFinderDlg(this);
  nf_->on_close = [this] { CloseNoteFinder(); };
  player_->SetVolume(volume_slider_->value() / 100.0f);
  player_->SetProcessing(kTimePitchQuality, kTimePitchModePerformance);
  recent_.Initialize(kAppTitle);
  ResetForNoSong();
  UpdateCommandStates();
  resize(1180, 700);
  // The start-up message (1124) comes once the event loop runs.
  QTimer::singleShot(0, this, [this] { OnStartup(); });
}

CQuaverly3Dlg::~CQuaverly3Dlg() {
  // No more ticks may reach a window that is going away.
  alive_.reset();
  SetTimerHold(true);
  loop_delay_.Cancel();
  qApp->removeEventFilter(this);
  player_->CloseSource();
  player_.reset();
  vr_dlg_.reset();
  eq_dlg_.reset();
  SetTimerHold(false);
}

// ------------------------------------------------------------------ layout

QToolButton* CQuaverly3Dlg::MakeButton(int id, const QString& text, bool large) {
  auto* b = new QToolButton;
  const CommandInfo* info = FindCommand(id);
  if (info != nullptr && info->tooltip[0] != '\0') {
    QString tip = QString::fromUtf8(info->tooltip);
    b->setToolTip(tip);
  }
  const QIcon icon = CommandIcon(id);
  if (!icon.isNull() && text.isEmpty()) {
    b->setIcon(icon);
    b->setIconSize(large ? QSize(30, 30) : QSize(22, 22));
  } else {
    b->setText(text);
    b->setObjectName("Preset");
  }
  if (large) b->setObjectName("Transport");
  if (info != nullptr && info->repeats) {
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(400);
    b->setAutoRepeatInterval(80);
  }
  b->setFocusPolicy(Qt::NoFocus);
  b->setProperty("command", id);
  connect(b, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
  buttons_[id] = b;
  return b;
}

QWidget* CQuaverly3Dlg::BuildTitleStrip() {
  title_strip_ = new QWidget;
  title_strip_->setObjectName("TitleStrip");
  title_strip_->installEventFilter(this);
  auto* h = new QHBoxLayout(title_strip_);
  h->setContentsMargins(10, 4, 10, 4);
  auto* logo = new QLabel;
  logo->setPixmap(AppIcon().pixmap(QSize(26, 26)));
  h->addWidget(logo);
  title_ = new QLabel(QString::fromUtf8(ProjectTitleText(document_.state()).c_str()));
  title_->setObjectName("TitleLine");
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);
  h->addWidget(title_, 1);
  status_ = new QLabel("Idle");
  status_->setObjectName("StatusLine");
  status_->setAttribute(Qt::WA_TransparentForMouseEvents);
  h->addWidget(status_);
  return title_strip_;
}

QWidget* CQuaverly3Dlg::BuildToolbar() {
  using namespace cmd;
  auto* bar = new QWidget;
  bar->setObjectName("Toolbar");
  auto* h = new QHBoxLayout(bar);
  h->setContentsMargins(8, 4, 8, 4);
  h->setSpacing(4);
  const std::vector<std::vector<int>> groups = {
      {kOpen, kSave, kSaveAs},
      {kExport, kRipCd},
      {kEdit, kUndo, kRedo},
      {kAddMarker, kEqWindow, kVocalReduction, kScorelet, kSniffer},
  };
  for (const auto& group : groups) {
    for (int id : group) {
      QToolButton* b = MakeButton(id);
      b->setObjectName("Flat");
      h->addWidget(b);
    }
    auto* sep = new QFrame;
    sep->setFrameShape(QFrame::VLine);
    sep->setStyleSheet("color: #2c343f;");
    h->addWidget(sep);
  }
  buttons_[kOpen]->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(buttons_[kOpen], &QWidget::customContextMenuRequested, this, [this] {
    ShowMenuAt(BuildRecentMenu(), buttons_[cmd::kOpen]);
  });
  h->addStretch(1);
  for (int id : {kOptions, kHelp}) {
    QToolButton* b = MakeButton(id);
    b->setObjectName("Flat");
    h->addWidget(b);
  }
  return bar;
}

QWidget* CQuaverly3Dlg::BuildTransportPanel() {
  using namespace cmd;
  auto* grid = new QGridLayout;
  grid->setSpacing(4);
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  for (int id : {kPreviousLoop, kJumpBack}) row->addWidget(MakeButton(id));
  for (int id : {kPlay, kPause, kStop}) row->addWidget(MakeButton(id, QString(), true));
  for (int id : {kJumpForward, kNextLoop}) row->addWidget(MakeButton(id));
  grid->addLayout(row, 0, 0);
  auto* loops = new QHBoxLayout;
  loops->setSpacing(4);
  for (int id : {kLoopStart, kLoopEnd, kEditLoop, kDeleteLoop}) loops->addWidget(MakeButton(id));
  loops->addSpacing(8);
  loops->addWidget(MakeButton(kRepeatOff));
  loops->addWidget(MakeButton(kRepeatOn));
  loops->addStretch(1);
  grid->addLayout(loops, 1, 0);
  auto* modes = new QHBoxLayout;
  modes->setSpacing(4);
  for (int id : {kLeftOn, kLeftOff, kRightOn, kRightOff, kPerformance, kTranscribe,
                 kIndicatorFloat, kIndicatorFixed, kNoteFinderShow, kNoteFinderHide}) {
    modes->addWidget(MakeButton(id));
  }
  modes->addStretch(1);
  grid->addLayout(modes, 2, 0);
  auto* vol = new QHBoxLayout;
  auto* vol_label = new QLabel("Volume:");
  vol_label->setObjectName("SmallReadout");
  vol->addWidget(vol_label);
  volume_slider_ = MakeSlider(Qt::Horizontal, 0, 100, 50, 10);
  volume_slider_->setObjectName("VolumeSlider");
  connect(volume_slider_, &QSlider::valueChanged, this, &CQuaverly3Dlg::OnVolumeSlider);
  vol->addWidget(volume_slider_, 1);
  volume_ = new QLabel(QString::fromStdString(VolumeReadout(50)));
  volume_->setObjectName("SmallReadout");
  volume_->setMinimumWidth(40);
  vol->addWidget(volume_);
  grid->addLayout(vol, 3, 0);
  return Panel("Transport & Loops", grid);
}

QWidget* CQuaverly3Dlg::BuildTempoPanel() {
  using namespace cmd;
  auto* h = new QHBoxLayout;
  tempo_slider_ = MakeSlider(Qt::Vertical, kMinTempo, kMaxTempo, kNormalTempo, 1000);
  tempo_slider_->setObjectName("TempoSlider");
  tempo_slider_->setMinimumHeight(110);
  connect(tempo_slider_, &QSlider::valueChanged, this, [this] {
    if (tempo_slider_->isSliderDown()) RefreshTempoPitch(false);
  });
  connect(tempo_slider_, &QSlider::sliderReleased, this, [this] { TempoPitchChanged(); });
  connect(tempo_slider_, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove) {
      QTimer::singleShot(0, this, [this] { TempoPitchChanged(); });
    }
  });
  h->addWidget(tempo_slider_);
  auto* v = new QVBoxLayout;
  tempo_ = new ReadoutLabel(QString::fromStdString(TempoReadout(kNormalTempo)), 15,
                            "Tempo: 400.00%");
  v->addWidget(tempo_);
  auto* steps = new QHBoxLayout;
  steps->addWidget(MakeButton(kTempoDown1, "-1"));
  steps->addWidget(MakeButton(kTempoDown001, "-.01"));
  steps->addWidget(MakeButton(kTempoUp001, "+.01"));
  steps->addWidget(MakeButton(kTempoUp1, "+1"));
  v->addLayout(steps);
  auto* presets = new QGridLayout;
  presets->setSpacing(3);
  const int ids[] = {kTempo75, kTempo50, kTempo40, kTempo30, kTempo20, kTempo100};
  const char* texts[] = {"75%", "50%", "40%", "30%", "20%", "100%"};
  for (int i = 0; i < 6; ++i) presets->addWidget(MakeButton(ids[i], texts[i]), i / 3, i % 3);
  v->addLayout(presets);
  v->addStretch(1);
  h->addLayout(v, 1);
  return Panel("Tempo", h);
}

QWidget* CQuaverly3Dlg::BuildPitchPanel() {
  using namespace cmd;
  auto* h = new QHBoxLayout;
  pitch_slider_ = MakeSlider(Qt::Vertical, kMinPitch, kMaxPitch, 0, 100);
  pitch_slider_->setObjectName("PitchSlider");
  pitch_slider_->setTickInterval(400);
  pitch_slider_->setTickPosition(QSlider::NoTicks);
  pitch_slider_->setMinimumHeight(110);
  connect(pitch_slider_, &QSlider::valueChanged, this, [this] {
    if (pitch_slider_->isSliderDown()) RefreshTempoPitch(false);
  });
  connect(pitch_slider_, &QSlider::sliderReleased, this, [this] { TempoPitchChanged(); });
  connect(pitch_slider_, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove) {
      QTimer::singleShot(0, this, [this] { TempoPitchChanged(); });
    }
  });
  h->addWidget(pitch_slider_);
  auto* v = new QVBoxLayout;
  pitch_ = new ReadoutLabel(QString::fromStdString(PitchReadout(0)), 15, "Pitch: -24.00");
  v->addWidget(pitch_);
  auto* steps = new QHBoxLayout;
  steps->addWidget(MakeButton(kPitchDownSemitone, "-1"));
  steps->addWidget(MakeButton(kPitchDownCent, "-.01"));
  steps->addWidget(MakeButton(kPitchUpCent, "+.01"));
  steps->addWidget(MakeButton(kPitchUpSemitone, "+1"));
  v->addLayout(steps);
  auto* presets = new QGridLayout;
  presets->setSpacing(3);
  presets->addWidget(MakeButton(kPitchDirectionUp), 0, 0);
  presets->addWidget(MakeButton(kPitchDirectionDown), 0, 0);
  const int ids[] = {kPitch2, kPitch4, kPitch5, kPitch7, kPitch12, kPitch0};
  const char* texts[] = {"2", "4", "5", "7", "12", "0"};
  for (int i = 0; i < 6; ++i) presets->addWidget(MakeButton(ids[i], texts[i]), (i + 1) / 4, (i + 1) % 4);
  v->addLayout(presets);
  v->addStretch(1);
  h->addLayout(v, 1);
  return Panel("Pitch", h);
}

QWidget* CQuaverly3Dlg::BuildViewPanel() {
  using namespace cmd;
  auto* v = new QVBoxLayout;
  zoom_ = new QLabel("Zoom: All");
  zoom_->setObjectName("SmallReadout");
  QFont f = zoom_->font();
  f.setPointSize(11);
  f.setBold(true);
  zoom_->setFont(f);
  v->addWidget(zoom_);
  zoom_slider_ = MakeSlider(Qt::Horizontal, 1, 10, 1, 10);
  zoom_slider_->setObjectName("ZoomSlider");
  connect(zoom_slider_, &QSlider::valueChanged, this, &CQuaverly3Dlg::OnZoomSlider);
  v->addWidget(zoom_slider_);
  auto* zooms = new QGridLayout;
  zooms->setSpacing(3);
  const int ids[] = {kZoom1, kZoom2, kZoom5, kZoom10, kZoom20, kZoomAll};
  const char* texts[] = {"1s", "2s", "5s", "10s", "20s", "All"};
  for (int i = 0; i < 6; ++i) zooms->addWidget(MakeButton(ids[i], texts[i]), i / 3, i % 3);
  v->addLayout(zooms);
  v->addStretch(1);
  return Panel("Zoom", v);
}

void CQuaverly3Dlg::BuildLayout() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  root->addWidget(BuildTitleStrip());
  root->addWidget(BuildToolbar());

  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 8, 10, 10);
  body->setSpacing(6);
  chart_ = new CChartCtrl;
  chart_->setMinimumHeight(160);
  body->addWidget(chart_, 1);

  position_slider_ = MakeSlider(Qt::Horizontal, 0, kEmptyPositionMax, 0, kPositionPage);
  position_slider_->setObjectName("PositionSlider");
  connect(position_slider_, &QSlider::sliderPressed, this, [this] { dragging_ = true; });
  connect(position_slider_, &QSlider::sliderMoved, this, &CQuaverly3Dlg::OnPositionSliderMoved);
  connect(position_slider_, &QSlider::sliderReleased, this,
          &CQuaverly3Dlg::OnPositionSliderReleased);
  connect(position_slider_, &QSlider::actionTriggered, this, [this](int action) {
    // Page and arrow steps act like a drag that is released at once.
    if (action != QAbstractSlider::SliderMove) {
      QTimer::singleShot(0, this, [this] { OnPositionSliderReleased(); });
    }
  });
  auto* pos_row = new QHBoxLayout;
  position_ = new ReadoutLabel(QString::fromStdString(PositionReadout(0, 0, false)), 18,
                               "00:00.00 * 00:00.00");
  pos_row->addWidget(position_);
  pos_row->addWidget(position_slider_, 1);
  body->addLayout(pos_row);

  auto* panels = new QHBoxLayout;
  panels->setSpacing(8);
  panels->addWidget(BuildTransportPanel(), 5);
  panels->addWidget(BuildTempoPanel(), 4);
  panels->addWidget(BuildPitchPanel(), 4);
  panels->addWidget(BuildViewPanel(), 3);
  body->addLayout(panels);
  root->addLayout(body, 1);

  for (int hidden : {cmd::kRepeatOn, cmd::kLeftOff, cmd::kRightOff, cmd::kTranscribe,
                     cmd::kIndicatorFixed, cmd::kNoteFinderHide, cmd::kPitchDirectionDown}) {
    buttons_[hidden]->hide();
  }
}

void CQuaverly3Dlg::InstallShortcuts() {
  using namespace cmd;
  const std::pair<const char*, int> keys[] = {
      {"Ctrl+O", kOpen},       {"Ctrl+S", kSave},        {"Ctrl+Shift+S", kSaveAs},
      {"Ctrl+Z", kUndo},       {"Ctrl+Y", kRedo},        {"Ctrl+X", kCut},
      {"Ctrl+C", kCopy},       {"Ctrl+V", kPaste},       {"Del", kDelete},
      {"Shift+S", kInsertSilence}, {"Shift+L", kSilenceSection}, {"Shift+V", kChangeVolume},
      {"Shift+I", kFadeIn},    {"Shift+O", kFadeOut},
  };
  for (const auto& [key, id] : keys) {
    auto* s = new QShortcut(QKeySequence(QString::fromLatin1(key)), this);
    s->setContext(Qt::WindowShortcut);
    const int command = id;
    connect(s, &QShortcut::activated, this, [this, command] { OnCommand(command); });
  }
  // Space plays and pauses, as users expect, wherever the focus is in the
  // window.
  auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
  connect(space, &QShortcut::activated, this, [this] { PlayPauseToggle(); });
  auto* zoom_in = new QShortcut(QKeySequence::ZoomIn, this);
  connect(zoom_in, &QShortcut::activated, this, [this] { ZoomInStep(); });
  auto* zoom_out = new QShortcut(QKeySequence::ZoomOut, this);
  connect(zoom_out, &QShortcut::activated, this, [this] { ZoomOutStep(); });
}

// --------------------------------------------------------------- commands

QAbstractButton* CQuaverly3Dlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void CQuaverly3Dlg::ShowOneOf(int shown) {
  const CommandInfo* info = FindCommand(shown);
  if (info == nullptr || info->partner == 0) return;
  buttons_[info->partner]->hide();
  buttons_[shown]->show();
}

void CQuaverly3Dlg::UpdateCommandStates() {
  using namespace cmd;
  const bool song = player_->IsOpen();
  // Commands of tool windows that are not built yet.
  for (int id : {kRipCd, kScorelet, kSniffer}) {
    buttons_[id]->setEnabled(false);
  }
  buttons_[kNoteFinderHide]->setEnabled(true);
  for (int id : {kSave, kSaveAs, kExport, kEdit, kUndo, kRedo, kNoteFinderShow, kAddMarker, kPlay, kPause, kStop, kLoopStart,
                 kLoopEnd, kJumpBack, kJumpForward, kPreviousLoop, kNextLoop, kEditLoop,
                 kDeleteLoop}) {
    buttons_[id]->setEnabled(song);
  }
}

bool CQuaverly3Dlg::OnExternalCommand(int id) {
  if (busy_ || loop_delay_.running()) return false;
  OnCommand(id);
  return true;
}

void CQuaverly3Dlg::OnCommand(int id) {
  using namespace cmd;
  if (id >= kRecentFirst && id <= kRecentLast) {
    OpenRecent(id - kRecentFirst);
    return;
  }
  if (const int step = StepFor(id); step != 0) {
    if (id >= kTempoDown1 && id <= kTempoUp1) {
      StepTempo(step);
    } else {
      StepPitch(step);
    }
    return;
  }
  if (const int tempo = TempoPresetFor(id); tempo != 0) {
    SetTempoSlider(tempo);
    TempoPitchChanged();
    return;
  }
  if (const int semitones = PitchPresetSemitones(id); semitones >= 0) {
    SetPitchSlider(PitchPresetValue(semitones, pitch_direction_up_));
    TempoPitchChanged();
    return;
  }
  switch (id) {
    case kMinimize: showMinimized(); break;
    case kMaximize: showMaximized(); break;
    case kRestore: showNormal(); break;
    case kClose: close(); break;
    case kOpen: OpenCommand(); break;
    case kSave: SaveCommand(false); break;
    case kSaveAs: SaveCommand(true); break;
    case kExport: ShowMenuAt(BuildExportMenu(), buttons_[kExport]); break;
    case kEdit: ShowMenuAt(BuildEditMenu(), buttons_[kEdit]); break;
    case kHelp: ShowMenuAt(BuildHelpMenu(), buttons_[kHelp]); break;
    case kIndicatorFixed:
      // Shown while Fixed is in force; a click switches to Float.
      ShowOneOf(kIndicatorFloat);
      chart_->SetFollowMode(ChartFollowMode::kFloat);
      break;
    case kIndicatorFloat:
      ShowOneOf(kIndicatorFixed);
      chart_->SetFollowMode(ChartFollowMode::kFixed);
      break;
    case kAddMarker:
      if (player_->IsOpen()) AddMarkerAt(CurrentPosition());
      break;
    case kOptions: ShowDefaultLocations(); break;
    case kEqWindow: ToggleToolWindow(eq_dlg_.get()); break;
    case kVocalReduction: ToggleToolWindow(vr_dlg_.get()); break;
    case kLeftOn:
    case kLeftOff: ToggleChannel(true); break;
    case kRightOn:
    case kRightOff: ToggleChannel(false); break;
    case kPerformance: SwitchMode(PlaybackMode::kTranscribe, true); break;
    case kTranscribe: SwitchMode(PlaybackMode::kPerformance, true); break;
    case kPlay: Play(); break;
    case kPause: Pause(); break;
    case kStop: Stop(); break;
    case kRepeatOff:
      repeat_play_ = true;
      ShowOneOf(kRepeatOn);
      break;
    case kRepeatOn:
      repeat_play_ = false;
      ShowOneOf(kRepeatOff);
      break;
    case kZoom1: SetZoomSpan(1); break;
    case kZoom2: SetZoomSpan(2); break;
    case kZoom5: SetZoomSpan(5); break;
    case kZoom10: SetZoomSpan(10); break;
    case kZoom20: SetZoomSpan(20); break;
    case kZoomAll: SetZoomSpan(-1); break;
    case kPitchDirectionUp: SetPitchDirection(false); break;
    case kPitchDirectionDown: SetPitchDirection(true); break;
    case kLoopStart:
    case kLoopEnd:
      if (player_->IsOpen()) SetLoopPoint(id == kLoopStart, CurrentPosition());
      break;
    case kJumpBack: JumpBack(); break;
    case kJumpForward: JumpTo(JumpForwardTarget(document_.loops(), CurrentPosition())); break;
    case kPreviousLoop: JumpTo(PreviousLoopTarget(document_.loops(), CurrentPosition())); break;
    case kNextLoop: JumpTo(NextLoopTarget(document_.loops(), CurrentPosition())); break;
    case kEditLoop: EditLoop(document_.state().current_loop); break;
    case kDeleteLoop: DeleteLoop(document_.state().current_loop); break;
    case kItemDelete: DeleteItem(); break;
    case kItemEdit: EditItem(); break;
    case kQuickStartGuide:
    case kTrainingVideos:
    case kHelpDesk: ShowHelpPage(id); break;
    case kAbout: ShowAbout(); break;
    case kUndo:
    case kRedo:
    case kCut:
    case kCopy:
    case kPaste:
    case kDelete:
    case kInsertSilence:
    case kSilenceSection:
    case kChangeVolume:
    case kFadeIn:
    case kFadeOut: RunEditCommand(id); break;
    case kExportCurrentLoop:
    case kExportAllLoops:
    case kExportSong: RunExport(id); break;
    case kNoteFinderShow: OpenNoteFinder(); break;
    case kNoteFinderHide: CloseNoteFinder(); break;
    default:
      // CD ripping, lesson packages and the remaining tool windows arrive
      // with their own parts of the program.
      break;
  }
}

// ------------------------------------------------------------------ menus

void CQuaverly3Dlg::ShowMenuAt(QMenu* menu, QWidget* anchor) {
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (dialog_hook_) {
    dialog_hook_(menu);
    delete menu;
    return;
  }
  menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

QMenu* CQuaverly3Dlg::BuildExportMenu() {
  auto* menu = new QMenu(this);
  const double pos = CurrentPosition();
  QAction* current = menu->addAction(QString::fromStdString(
      ExportCurrentLoopText(document_.loops(), pos, document_.state().current_loop)));
  current->setData(cmd::kExportCurrentLoop);
  const bool song = player_->IsOpen();
  current->setEnabled(song);
  connect(current, &QAction::triggered, this, [this] { OnCommand(cmd::kExportCurrentLoop); });
  for (const MenuItem& item : ExportMenuItems()) {
    if (item.id == cmd::kExportPackage) menu->addSeparator();
    QAction* a = menu->addAction(QString::fromUtf8(item.text));
    a->setData(item.id);
    const int id = item.id;
    // Lesson packages come with their own part of the program.
    const bool ready = id == cmd::kExportAllLoops || id == cmd::kExportSong;
    a->setEnabled(song && ready);
    if (ready) connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  return menu;
}

QMenu* CQuaverly3Dlg::BuildEditMenu() {
  auto* menu = new QMenu(this);
  for (const MenuItem& item : EditMenuItems()) {
    if (item.id == cmd::kInsertSilence) menu->addSeparator();
    QAction* a = menu->addAction(QString::fromUtf8(item.text));
    a->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
    a->setData(item.id);
    a->setEnabled(player_->IsOpen());
    const int id = item.id;
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  return menu;
}

QMenu* CQuaverly3Dlg::BuildHelpMenu() {
  auto* menu = new QMenu(this);
  for (const MenuItem& item : HelpMenuItems()) {
    if (item.id == cmd::kAbout) menu->addSeparator();
    QAction* a = menu->addAction(QString::fromUtf8(item.text));
    a->setData(item.id);
    const int id = item.id;
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  return menu;
}

QMenu* CQuaverly3Dlg::BuildRecentMenu() {
  auto* menu = new QMenu(this);
  QAction* title = menu->addAction("Recently Opened Files");
  title->setData(cmd::kRecentMenu);
  title->setEnabled(false);
  menu->addSeparator();
  const int count = recent_.Count();
  for (int i = 0; i < count && i < RecentFileList::kMaxEntries; ++i) {
    const std::string entry = recent_.Entry(i);
    if (entry.empty()) continue;
    QAction* a = menu->addAction(QString::fromStdString(entry));
    const int id = cmd::kRecentFirst + i;
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  return menu;
}

QMenu* CQuaverly3Dlg::BuildItemMenu() {
  auto* menu = new QMenu(this);
  QAction* edit = menu->addAction("&Edit...");
  edit->setData(cmd::kItemEdit);
  connect(edit, &QAction::triggered, this, [this] { OnCommand(cmd::kItemEdit); });
  QAction* del = menu->addAction("&Delete");
  del->setData(cmd::kItemDelete);
  connect(del, &QAction::triggered, this, [this] { OnCommand(cmd::kItemDelete); });
  return menu;
}

int CQuaverly3Dlg::RunDialog(QWidget* dialog) {
  if (dialog_hook_) return dialog_hook_(dialog);
  auto* d = qobject_cast<QDialog*>(dialog);
  return d != nullptr ? d->exec() : 0;
}

// ------------------------------------------------------------ window frame

bool CQuaverly3Dlg::eventFilter(QObject* watched, QEvent* event) {
  if (loop_delay_.running()) {
    // The pause between repetitions: Space or the left button ends it, and
    // no other input reaches the window meanwhile.
    switch (event->type()) {
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) loop_delay_.Cancel();
        return true;
      case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) loop_delay_.Cancel();
        return true;
      case QEvent::ShortcutOverride:
        // Accepted: no shortcut fires, the key arrives as a key press.
        event->accept();
        return true;
      case QEvent::KeyRelease:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Shortcut:
      case QEvent::Wheel:
        return true;
      default:
        break;
    }
  }
  if (watched == title_strip_ && event->type() == QEvent::MouseButtonDblClick) {
    OnCommand(isMaximized() ? cmd::kRestore : cmd::kMaximize);
    return true;
  }
  if (watched == title_strip_ && event->type() == QEvent::MouseButtonPress) {
    mousePressEvent(static_cast<QMouseEvent*>(event));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CQuaverly3Dlg::mousePressEvent(QMouseEvent* event) {
  // Dragging the background moves the window; the desktop does the move so
  // it also works where windows may not place themselves (Wayland).
  if (event->button() == Qt::LeftButton && windowHandle() != nullptr && !isMaximized()) {
    windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CQuaverly3Dlg::PlayPauseToggle() {
  if (!player_->IsOpen()) return;
  if (!position_moved_ && (player_->IsPlayingOrStalled() || player_->IsPaused())) {
    Pause();
  } else {
    Play();
  }
}

void CQuaverly3Dlg::resizeEvent(QResizeEvent* event) {
  // The layout grows the waveform and the position slider with the window.
  QWidget::resizeEvent(event);
}

void CQuaverly3Dlg::closeEvent(QCloseEvent* event) {
  if (loop_delay_.running()) {
    // Leave the pause first; the close is repeated once it has unwound.
    close_after_delay_ = true;
    loop_delay_.Cancel();
    event->ignore();
    return;
  }
  if (!closing_confirmed_ && !ConfirmClose()) {
    event->ignore();
    return;
  }
  closing_confirmed_ = true;
  SetTimerHold(true);
  player_->Stop();
  event->accept();
}

}  // namespace qv3
