#include "app/ui/quaverly3_dlg.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstdlib>

#include "app/main_window_commands.h"
#include "app/ui/about_dlg.h"
#include "app/ui/default_file_locations_dlg.h"
#include "app/ui/edit_loop_dlg.h"
#include "app/ui/signal_close.h"
#include "app/ui/vocal_reduction_dialog.h"
#include "editing/ui/insert_silence_dialog.h"
#include "notefinder/ui/note_finder_dlg.h"
#include "editing/wav_writer.h"
#include "engine/audio_setup.h"
#include "platform/app_settings.h"
#include "platform/path_names.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"
#include "platform/ui/qt_main_thread_poster.h"

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QV3_AUDIO_DEVICE", "null", 1);
    auto* a = new QApplication(argc, argv);
    AudioStartup();
    return a;
  }();
  return *app;
}

// A stereo 16-bit WAV of `seconds` of a quiet two-tone signal.
std::string MakeWav(const std::string& path, double seconds) {
  WavWriter w;
  EXPECT_TRUE(w.Open(path, 2, 44100, 16));
  const int frames = static_cast<int>(seconds * 44100);
  std::vector<float> buf(2 * 4410);
  for (int done = 0; done < frames;) {
    const int n = std::min(4410, frames - done);
    for (int i = 0; i < n; ++i) {
      const double t = (done + i) / 44100.0;
      buf[2 * i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 220 * t));
      buf[2 * i + 1] = static_cast<float>(0.3 * std::sin(2 * M_PI * 330 * t));
    }
    EXPECT_TRUE(w.WriteFloat(buf.data(), 2 * n));
    done += n;
  }
  EXPECT_TRUE(w.Finish());
  return path;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    env_.Set("HOME", tmp_.MakeDir("home"));
    env_.Set("XDG_CONFIG_HOME", tmp_.Sub("home/.config"));
    env_.Set("XDG_CACHE_HOME", tmp_.Sub("home/.cache"));
    env_.Set("TMPDIR", tmp_.MakeDir("tmp"));
    tmp_.MakeDir("home/.config/Quaverly 3");
    window_ = std::make_unique<CQuaverly3Dlg>("");
    window_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    window_->document().state().saved = 1;  // no question on the way out
    window_.reset();
  }

  // Opens a fresh WAV of `seconds` and checks it opened.
  void OpenSong(double seconds = 12.0) {
    song_ = MakeWav(tmp_.Sub("song.wav"), seconds);
    ASSERT_TRUE(window_->OpenPath(song_));
    ASSERT_TRUE(window_->player().IsOpen());
  }
  // A committed loop with its repeat count and delay; returns its index.
  int AddLoop(double start, double end, int repeats = -1, int delay = 0, int tempo = 10000) {
    LoopList& loops = window_->document().loops();
    LoopValues v = NewLoopPoint(start, 0, tempo);
    v.repeat_count = repeats;
    v.delay = delay;
    loops.SetLoopStart(v);
    v.position = end;
    const int index = loops.SetLoopEnd(v);
    EXPECT_GE(index, 0);
    return index;
  }
  QPoint PlotPointAt(double seconds) {
    CChartCtrl* chart = window_->chart();
    const QRect plot = chart->PlotRect();
    return QPoint(chart->SecondsToPixel(seconds) + 1, plot.center().y());
  }
  // Runs the event loop until `done` or the timeout; returns `done()`.
  static bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms) QTest::qWait(10);
    return done();
  }

  TempDir tmp_;
  ScopedEnv env_;
  ScopedRecordingUi ui_;
  ScopedQtMainThreadPoster poster_;
  std::unique_ptr<CQuaverly3Dlg> window_;
  std::string song_;
};

TEST_F(MainWindowTest, StartsEmptyWithItsReadoutsAndDisabledSongCommands) {
  EXPECT_EQ(window_->TitleText(), "Quaverly 3: Ready");
  EXPECT_EQ(window_->StatusText(), "Idle");
  EXPECT_EQ(window_->PositionText(), "0:00 * 0:00");
  EXPECT_EQ(window_->TempoText(), "Tempo: 100.00%");
  EXPECT_EQ(window_->PitchText(), "Pitch: 0.00");
  EXPECT_EQ(window_->ZoomText(), "Zoom: All");
  EXPECT_EQ(window_->VolumeText(), "50%");
  EXPECT_EQ(window_->minimumSize(), QSize(939, 541));
  EXPECT_EQ(window_->position_slider()->maximum(), 60000);
  EXPECT_EQ(window_->position_slider()->pageStep(), 10000);
  EXPECT_EQ(window_->tempo_slider()->pageStep(), 1000);
  EXPECT_EQ(window_->pitch_slider()->tickInterval(), 400);
  EXPECT_EQ(window_->zoom_slider()->maximum(), 10);
  for (int id : {cmd::kPlay, cmd::kSave, cmd::kLoopStart, cmd::kAddMarker, cmd::kUndo}) {
    EXPECT_FALSE(window_->Button(id)->isEnabled()) << id;
  }
  for (int id : {cmd::kOpen, cmd::kOptions, cmd::kHelp, cmd::kTempo50, cmd::kZoom5}) {
    EXPECT_TRUE(window_->Button(id)->isEnabled()) << id;
  }
}

TEST_F(MainWindowTest, EveryButtonCarriesItsTooltipAndOnlyOneOfEachPairShows) {
  for (const CommandInfo& c : ButtonCommands()) {
    if (c.id >= cmd::kMinimize && c.id <= cmd::kClose) continue;  // the desktop's frame
    QAbstractButton* b = window_->Button(c.id);
    ASSERT_NE(b, nullptr) << c.id;
    EXPECT_EQ(b->toolTip(), QString::fromUtf8(c.tooltip)) << c.id;
    if (c.partner != 0) {
      EXPECT_NE(b->isVisible(), window_->Button(c.partner)->isVisible()) << c.id;
    }
  }
  EXPECT_TRUE(window_->Button(cmd::kRepeatOff)->isVisible());
  QTest::mouseClick(window_->Button(cmd::kRepeatOff), Qt::LeftButton);
  EXPECT_TRUE(window_->repeat_play());
  EXPECT_TRUE(window_->Button(cmd::kRepeatOn)->isVisible());
  EXPECT_FALSE(window_->Button(cmd::kRepeatOff)->isVisible());
  EXPECT_TRUE(static_cast<QToolButton*>(window_->Button(cmd::kTempoUp1))->autoRepeat());
}

TEST_F(MainWindowTest, VerticalSlidersPutMoreAtTheTop) {
  for (QSlider* s : {window_->tempo_slider(), window_->pitch_slider()}) {
    ASSERT_EQ(s->orientation(), Qt::Vertical);
    const int before = s->value();
    s->setFocus();
    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_GT(s->value(), before);
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = Qt::Vertical;
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.upsideDown = !s->invertedAppearance();
    opt.sliderPosition = s->maximum();
    const int top = s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s).y();
    opt.sliderPosition = s->minimum();
    const int bottom =
        s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s).y();
    EXPECT_LT(top, bottom);
  }
}

TEST_F(MainWindowTest, OpeningAWavShowsItsTitleAndEnablesTheTransport) {
  OpenSong(12.0);
  EXPECT_EQ(window_->TitleText(),
            "Quaverly 3: song.wav | 1411 Kbps | 44,100 Hz | 16 Bit | Stereo | 2.02 MB");
  EXPECT_EQ(window_->PositionText(), "0:00.00 * 0:12.00");
  EXPECT_EQ(window_->ZoomText(), "Zoom: All");
  EXPECT_EQ(window_->zoom_slider()->maximum(), 12);
  EXPECT_TRUE(window_->Button(cmd::kPlay)->isEnabled());
  EXPECT_TRUE(window_->chart()->HasSong());
  EXPECT_EQ(window_->position_slider()->maximum(), window_->player().LengthBytes() / 100);
  EXPECT_EQ(window_->recent().Entry(0), song_);
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(MainWindowTest, AFailedOpenLeavesNoSongAndSaysWhy) {
  OpenSong();
  EXPECT_FALSE(window_->OpenPath(tmp_.Sub("gone.wav")));
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].caption, "File Not Found");
  EXPECT_EQ(ui_->messages[0].text, "The Source file was not found:\n\n\t" + tmp_.Sub("gone.wav") +
                                       "\n\nSorry, can't continue.");
  EXPECT_FALSE(window_->OpenPath(tmp_.WriteFile("score.pdf", "%PDF")));
  EXPECT_NE(ui_->messages.back().text.find("is is an unknown file type"), std::string::npos);
  EXPECT_FALSE(window_->player().IsOpen());
  EXPECT_EQ(window_->TitleText(), "Quaverly 3: Ready");
  EXPECT_EQ(window_->PositionText(), "0:00 * 0:00");
  EXPECT_FALSE(window_->Button(cmd::kPlay)->isEnabled());
  EXPECT_TRUE(window_->isEnabled());
}

TEST_F(MainWindowTest, ClickSetsALoopStartAndRightClickItsEnd) {
  OpenSong();
  CChartCtrl* chart = window_->chart();
  QTest::mouseClick(chart, Qt::LeftButton, {}, PlotPointAt(3.0));
  EXPECT_EQ(window_->document().loops().count(), 0);
  EXPECT_GE(window_->document().loops().pending().start, 2.9);
  QTest::mouseClick(chart, Qt::RightButton, {}, PlotPointAt(6.0));
  ASSERT_EQ(window_->document().loops().count(), 1);
  const LoopRecord& loop = window_->document().loops().Loop(0);
  EXPECT_NEAR(loop.start, 3.0, 0.1);
  EXPECT_NEAR(loop.end, 6.0, 0.1);
  EXPECT_EQ(loop.tag, "Reset");
  EXPECT_EQ(loop.repeat_count, -1);
  EXPECT_EQ(chart->Loops().count(), 1);  // the view shows it
  EXPECT_TRUE(window_->TitleText().startsWith("Quaverly 3: song.wav* |"));
  // A drag selects instead of setting a loop point.
  QTest::mousePress(chart, Qt::LeftButton, {}, PlotPointAt(8.0));
  QTest::mouseMove(chart, PlotPointAt(10.0));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, PlotPointAt(10.0));
  EXPECT_NEAR(chart->SelectionStart(), 8.0, 0.1);
  EXPECT_NEAR(chart->SelectionEnd(), 10.0, 0.1);
  EXPECT_LT(window_->document().loops().pending().start, 0.0);
}

TEST_F(MainWindowTest, MarkersFromTheTopStripAreDraggedAndDeletedThroughTheItemMenu) {
  OpenSong();
  CChartCtrl* chart = window_->chart();
  const QPoint strip(PlotPointAt(5.0).x(), CChartCtrl::kTopStripHeight / 2);
  QTest::mouseClick(chart, Qt::LeftButton, {}, strip);
  ASSERT_EQ(window_->document().markers().count(), 1);
  EXPECT_NEAR(window_->document().markers().At(0).position, 5.0, 0.1);
  EXPECT_EQ(window_->document().markers().At(0).name, "M1");
  // Drag it by its handle to 7 s.
  const QPoint handle(chart->SecondsToPixel(window_->document().markers().At(0).position),
                      CChartCtrl::kTopStripHeight - 30);
  ASSERT_EQ(chart->HitTest(handle).kind, ChartHit::kMarker);
  QTest::mousePress(chart, Qt::LeftButton, {}, handle);
  QTest::mouseMove(chart, QPoint(PlotPointAt(7.0).x(), handle.y()));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(PlotPointAt(7.0).x(), handle.y()));
  EXPECT_NEAR(window_->document().markers().At(0).position, 7.0, 0.1);
  // Right-click it and choose Delete.
  const QPoint moved(chart->SecondsToPixel(window_->document().markers().At(0).position),
                     handle.y());
  QStringList items;
  window_->set_dialog_hook([&](QWidget* w) {
    auto* menu = qobject_cast<QMenu*>(w);
    if (menu == nullptr) return 0;
    for (QAction* a : menu->actions()) items << a->text();
    for (QAction* a : menu->actions()) {
      if (a->text() == "&Delete") a->trigger();
    }
    return 0;
  });
  QTest::mouseClick(chart, Qt::RightButton, {}, moved);
  EXPECT_EQ(items, QStringList({"&Edit...", "&Delete"}));
  EXPECT_EQ(window_->document().markers().count(), 0);
  EXPECT_EQ(chart->Markers().count(), 0);
}

TEST_F(MainWindowTest, TempoInsideALoopChangesTheLoopOutsideTheMasterTempo) {
  OpenSong();
  AddLoop(2.0, 4.0);
  window_->Seek(3.0);
  window_->OnCommand(cmd::kTempo50);
  EXPECT_EQ(window_->document().loops().Loop(0).tempo, 5000);
  EXPECT_EQ(window_->document().loops().Loop(0).tag, "");
  EXPECT_EQ(window_->document().state().master.tempo, 10000);
  EXPECT_EQ(window_->TempoText(), "Tempo: 50.00%");
  EXPECT_TRUE(window_->TitleText().contains("song.wav*"));
  window_->Seek(8.0);
  EXPECT_EQ(window_->TempoText(), "Tempo: 100.00%");  // the master value there
  window_->OnCommand(cmd::kTempoDown1);
  EXPECT_EQ(window_->document().state().master.tempo, 9900);
  EXPECT_EQ(window_->document().loops().Loop(0).tempo, 5000);
  window_->OnCommand(cmd::kPitchUpSemitone);
  EXPECT_EQ(window_->document().state().master.pitch, 100);
  // The direction toggle re-applies the pitch with the other sign.
  window_->OnCommand(cmd::kPitchDirectionUp);
  EXPECT_EQ(window_->document().state().master.pitch, -100);
  window_->OnCommand(cmd::kPitch7);
  EXPECT_EQ(window_->PitchText(), "Pitch: -7.00");
  EXPECT_DOUBLE_EQ(window_->player().time_factor(), 100.0 / 99.0);
}

TEST_F(MainWindowTest, PlayAfterMovingThePositionSliderWhileStoppedStartsThere) {
  OpenSong();
  QSlider* slider = window_->position_slider();
  slider->setSliderDown(true);
  slider->setSliderPosition(static_cast<int>(window_->player().SecondsToBytes(7.0) / 100));
  slider->setSliderDown(false);
  EXPECT_TRUE(window_->position_moved());
  EXPECT_TRUE(window_->PositionText().startsWith("0:06.99") ||
              window_->PositionText().startsWith("0:07.00"));
  window_->Play();
  EXPECT_NEAR(window_->player().PositionSeconds(), 7.0, 0.2);
  EXPECT_FALSE(window_->position_moved());
  window_->Stop();
  EXPECT_EQ(window_->last_loop_index(), CQuaverly3Dlg::kAfterStop);
  EXPECT_EQ(window_->StatusText(), "Idle");
}

TEST_F(MainWindowTest, JumpBackTwiceQuicklyGoesToThePreviousLoop) {
  OpenSong();
  AddLoop(2.0, 4.0);
  AddLoop(6.0, 8.0);
  window_->Seek(7.0);
  window_->OnCommand(cmd::kJumpBack);
  EXPECT_NEAR(window_->chart()->PlayPosition(), 6.0, 0.01);
  window_->OnCommand(cmd::kJumpBack);
  EXPECT_NEAR(window_->chart()->PlayPosition(), 2.0, 0.01);
  // Nowhere to go: a beep.
  window_->Seek(1.0);
  QTest::qWait(600);
  window_->OnCommand(cmd::kJumpBack);
  EXPECT_EQ(ui_->beeps, 1);
}

TEST_F(MainWindowTest, ZoomButtonsSliderAndSteps) {
  OpenSong(12.0);
  window_->OnCommand(cmd::kZoom5);
  EXPECT_EQ(window_->ZoomText(), "Zoom: 5 seconds");
  EXPECT_EQ(window_->zoom_span(), 5);
  window_->zoom_slider()->setValue(8);
  EXPECT_EQ(window_->ZoomText(), "Zoom: 8 seconds");
  window_->ZoomOutStep();
  EXPECT_EQ(window_->ZoomText(), "Zoom: All");
  window_->ZoomInStep();
  EXPECT_EQ(window_->ZoomText(), "Zoom: 6 seconds");
  window_->OnCommand(cmd::kZoom20);  // longer than the song
  EXPECT_EQ(window_->ZoomText(), "Zoom: All");

  // Dragging out of the plot while stopped scrolls by 1 % of the span.
  window_->OnCommand(cmd::kZoom5);
  window_->Seek(7.0);
  CChartCtrl* chart = window_->chart();
  const double min = chart->AxisMin();
  const double span = chart->AxisMax() - chart->AxisMin();
  ASSERT_GT(min, 0.0);
  QTest::mousePress(chart, Qt::LeftButton, {}, PlotPointAt(7.5));
  QTest::mouseMove(chart, QPoint(chart->PlotRect().left() - 3, chart->PlotRect().center().y()));
  EXPECT_NEAR(chart->AxisMin(), min - span / 100, 1e-6);
  QTest::mouseRelease(chart, Qt::LeftButton, {},
                      QPoint(chart->PlotRect().left() - 3, chart->PlotRect().center().y()));
  EXPECT_LT(window_->document().loops().pending().start, 0.0);  // no click, no loop point
}

TEST_F(MainWindowTest, DroppingTwoFilesShowsTheOneFileMessageAndChangesNothing) {
  OpenSong();
  AddLoop(2.0, 4.0);
  window_->document().SetSavedState(0, true);
  const QString title = window_->TitleText();
  window_->DropFiles({song_, song_});
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Please Drag & Drop only one file at a time, thanks.");
  EXPECT_TRUE(ui_->questions.empty());
  EXPECT_EQ(window_->TitleText(), title);
  EXPECT_EQ(window_->document().loops().count(), 1);
  window_->DropFiles({tmp_.WriteFile("notes.txt", "x")});
  EXPECT_EQ(ui_->messages.back().text,
            "Can't open the file that was dropped - unsupported file extension \"txt\".");
}

TEST_F(MainWindowTest, ClosingWithChangesAsksAndCancelKeepsTheWindowOpen) {
  OpenSong();
  window_->OnCommand(cmd::kAddMarker);
  ASSERT_EQ(window_->document().state().saved, 0);
  ui_->answers.push_back(Answer::kCancel);
  EXPECT_FALSE(window_->close());
  ASSERT_EQ(ui_->questions.size(), 1u);
  EXPECT_EQ(ui_->questions[0].text, "Save changes to Untitled.qvp?");
  EXPECT_EQ(ui_->questions[0].caption, "Save Project?");
  EXPECT_TRUE(window_->isVisible());
  ui_->answers.push_back(Answer::kNo);
  EXPECT_TRUE(window_->close());
}

TEST_F(MainWindowTest, ChannelsModeAndIndicatorToggles) {
  OpenSong();
  window_->OnCommand(cmd::kLeftOn);
  EXPECT_TRUE(window_->Button(cmd::kLeftOff)->isVisible());
  window_->OnCommand(cmd::kRightOn);  // both off is not allowed
  EXPECT_TRUE(window_->channels().left);
  EXPECT_FALSE(window_->channels().right);
  EXPECT_TRUE(window_->Button(cmd::kLeftOn)->isVisible());
  EXPECT_TRUE(window_->Button(cmd::kRightOff)->isVisible());

  window_->OnCommand(cmd::kPerformance);
  EXPECT_EQ(window_->player().processing_mode(), 206);
  EXPECT_EQ(window_->player().processing_quality(), 303);
  EXPECT_TRUE(window_->player().recreate_processor());
  EXPECT_EQ(window_->document().state().mode, PlaybackMode::kTranscribe);
  EXPECT_TRUE(window_->Button(cmd::kTranscribe)->isVisible());
  EXPECT_TRUE(window_->TitleText().contains("song.wav*"));

  window_->OnCommand(cmd::kIndicatorFloat);
  EXPECT_EQ(window_->chart()->FollowMode(), ChartFollowMode::kFixed);
  EXPECT_TRUE(window_->Button(cmd::kIndicatorFixed)->isVisible());
}

TEST_F(MainWindowTest, MessagesFromOtherWindows) {
  OpenSong();
  window_->OnExportDone();
  EXPECT_EQ(window_->StatusText(), "Export Complete.");
  window_->OnEqPresetChosen("Bass Boost");
  EXPECT_EQ(window_->document().state().master.eq_preset, "Bass Boost");
  EXPECT_TRUE(window_->TitleText().contains("song.wav*"));
  window_->HandlePlayerNotify(kPlayerNotifyProgress, 42);
  EXPECT_EQ(window_->StatusText(), "Processing... 42%");
  // A sniffed file: the changed document is offered for saving first.
  ui_->answers.push_back(Answer::kNo);
  window_->OnSnifferDownload(MakeWav(tmp_.Sub("sniffed.wav"), 2.0));
  EXPECT_EQ(ui_->questions.size(), 1u);
  EXPECT_TRUE(window_->TitleText().startsWith("Quaverly 3: sniffed.wav |"));
  EXPECT_TRUE(WaitFor([&] { return window_->player().IsPlaying(); }, 1000));
  window_->Stop();
}

TEST_F(MainWindowTest, MenusCarryTheirItems) {
  OpenSong();
  std::unique_ptr<QMenu> exp(window_->BuildExportMenu());
  EXPECT_EQ(exp->actions().front()->text(), "Current Loop [none]");
  AddLoop(2.0, 4.0);
  exp.reset(window_->BuildExportMenu());
  EXPECT_EQ(exp->actions().front()->text(), "Current Loop [L1]");
  std::unique_ptr<QMenu> help(window_->BuildHelpMenu());
  QStringList texts;
  for (QAction* a : help->actions()) {
    if (!a->isSeparator()) texts << a->text();
  }
  EXPECT_EQ(texts, QStringList({"&Quick Start Guide", "&Training Videos", "&Help Desk",
                                "&About Quaverly..."}));
  std::unique_ptr<QMenu> recent(window_->BuildRecentMenu());
  EXPECT_EQ(recent->actions().front()->text(), "Recently Opened Files");
  EXPECT_EQ(recent->actions().back()->text(), QString::fromStdString(song_));
  std::unique_ptr<QMenu> edit(window_->BuildEditMenu());
  EXPECT_EQ(edit->actions().front()->shortcut(), QKeySequence("Ctrl+X"));
}

TEST_F(MainWindowTest, EditLoopDialogValidatesInOrderAndStoresRounded) {
  OpenSong();
  window_->Seek(2.0);
  window_->OnCommand(cmd::kLoopStart);
  window_->Seek(4.0);
  window_->OnCommand(cmd::kLoopEnd);
  ASSERT_EQ(window_->document().loops().count(), 1);
  EXPECT_EQ(window_->document().state().current_loop, 0);  // the loop just made
  int shown = 0;
  window_->set_dialog_hook([&](QWidget* w) {
    auto* d = dynamic_cast<CEditLoopDlg*>(w);
    if (d == nullptr) return 0;
    ++shown;
    EXPECT_EQ(d->end_edit()->text(), "3.9999");
    EXPECT_EQ(d->pitch_edit()->toolTip(),
              "Change the Pitch Setting for this Loop (semitones.cents)");
    d->start_edit()->setText("5.0000");  // past the end
    d->pitch_edit()->setText("30");
    d->accept();
    EXPECT_EQ(d->result(), 0);
    d->start_edit()->setText("2.5000");
    d->accept();
    d->pitch_edit()->setText("1.15");
    d->tempo_edit()->setText("500");
    d->accept();
    d->tempo_edit()->setText("80");
    d->repeat_spin()->setValue(3);
    d->delay_spin()->setValue(2);
    d->accept();
    return d->result();
  });
  window_->OnCommand(cmd::kEditLoop);
  EXPECT_EQ(shown, 1);
  ASSERT_GE(ui_->messages.size(), 3u);
  EXPECT_EQ(ui_->messages[0].caption, "Loop Position");
  EXPECT_EQ(ui_->messages[1].caption, "Pitch");
  EXPECT_EQ(ui_->messages[2].caption, "Tempo");
  const LoopRecord& loop = window_->document().loops().Loop(0);
  EXPECT_DOUBLE_EQ(loop.start, 2.5);
  EXPECT_DOUBLE_EQ(loop.end, 4.0);  // unchanged field: no 0.0001 s drift
  EXPECT_EQ(loop.pitch, 115);
  EXPECT_EQ(loop.tempo, 8000);
  EXPECT_EQ(loop.repeat_count, 3);
  EXPECT_EQ(loop.delay, 2);
  EXPECT_EQ(window_->TempoText(), "Tempo: 80.00%");
}

TEST_F(MainWindowTest, AboutBoxAndDefaultLocations) {
  CAboutDlg about;
  EXPECT_TRUE(about.VersionText().startsWith("Quaverly 3 - Version "));
  EXPECT_TRUE(about.VersionText().contains("\nAudio Engine Version: "));
  EXPECT_FALSE(about.VersionText().contains("FULL"));

  CDefaultFileLocationsDlg dlg(tmp_.Sub("home/.config/Quaverly 3/Quaverly3.ini"));
  for (int i = 0; i < kLocationCount; ++i) dlg.field(i)->setText(QString::fromStdString(tmp_.MakeDir(std::string("d") + kLocationNames[i])));
  dlg.field(1)->setText(QString::fromStdString(tmp_.Sub("nowhere")));
  dlg.accept();
  EXPECT_EQ(dlg.result(), 0);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_NE(ui_->messages[0].text.find("The chosen Audio Files path was not found"),
            std::string::npos);
  ui_->folder_paths.push_back(tmp_.Sub("no-such-folder"));
  dlg.Browse(1);
  EXPECT_EQ(ui_->messages.back().text,
            "The chosen path can not be used to store computer files.  Please pick a directory "
            "that is on a physical hard drive.");
  ui_->folder_paths.push_back(tmp_.MakeDir("music"));
  dlg.Browse(1);
  EXPECT_EQ(dlg.field(1)->text().toStdString(), tmp_.Sub("music"));
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(DefaultLocation("Audio"), tmp_.Sub("music"));
}

TEST_F(MainWindowTest, SavedProjectReopensWithLoopsSettingsAndVocalReduction) {
  OpenSong();
  window_->Seek(2.0);
  window_->OnCommand(cmd::kLoopStart);
  window_->Seek(4.0);
  window_->OnCommand(cmd::kLoopEnd);
  window_->Seek(3.0);
  window_->OnCommand(cmd::kTempo50);
  window_->Seek(8.0);
  window_->OnCommand(cmd::kPitch2);
  window_->OnCommand(cmd::kVocalReduction);
  ASSERT_TRUE(window_->vocal_reduction_window()->isVisible());
  window_->vocal_reduction_window()->on_scroll(200, false);
  EXPECT_EQ(window_->vocal_reduction().level(), 56);
  const std::string project = tmp_.Sub("lesson.qvp");
  ui_->save_paths.push_back(project);
  window_->OnCommand(cmd::kSave);
  ASSERT_EQ(ui_->save_requests.size(), 1u);
  EXPECT_EQ(ui_->save_requests[0].title, "Save Quaverly Project As...");
  EXPECT_TRUE(window_->TitleText().startsWith("Quaverly 3: lesson.qvp | "));

  ASSERT_TRUE(window_->OpenPath(MakeWav(tmp_.Sub("other.wav"), 3.0)));
  EXPECT_EQ(window_->document().loops().count(), 0);
  EXPECT_EQ(window_->vocal_reduction().level(), 0);
  EXPECT_EQ(window_->PitchText(), "Pitch: 0.00");

  ASSERT_TRUE(window_->OpenPath(project));
  ASSERT_EQ(window_->document().loops().count(), 1);
  EXPECT_EQ(window_->document().loops().Loop(0).tempo, 5000);
  EXPECT_EQ(window_->document().state().master.pitch, 200);
  EXPECT_EQ(window_->vocal_reduction().level(), 56);
  EXPECT_EQ(window_->vocal_reduction_window()->position(), 200);
  EXPECT_EQ(window_->PitchText(), "Pitch: 2.00");  // the settings at 0 s
  EXPECT_TRUE(window_->TitleText().startsWith("Quaverly 3: lesson.qvp | "));
  EXPECT_EQ(window_->recent().Entry(0), project);
  EXPECT_TRUE(ui_->messages.empty()) << ui_->messages[0].text;
}

// ---- Playback through the engine (null output, real time) ----

TEST_F(MainWindowTest, LoopWithRepeatCountTwoPlaysThreeTimesThenRunsOn) {
  OpenSong(6.0);
  AddLoop(0.3, 0.8, 2, 0, 8000);
  bool took_loop_tempo = false;
  int jumps = 0;
  double last = 0.0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const double pos = window_->player().PositionSeconds();
    if (pos + 0.2 < last) ++jumps;
    last = pos;
    if (window_->TempoText() == "Tempo: 80.00%") took_loop_tempo = true;
  });
  probe.start(10);
  window_->Play();
  EXPECT_TRUE(WaitFor([&] { return last > 1.3; }, 8000));
  EXPECT_EQ(jumps, 2);
  EXPECT_EQ(window_->document().loops().Loop(0).pass_counter, 0);
  // Inside the loop its tempo played; past it the master tempo is back.
  EXPECT_TRUE(took_loop_tempo);
  EXPECT_EQ(window_->TempoText(), "Tempo: 100.00%");
  EXPECT_DOUBLE_EQ(window_->player().time_factor(), 1.0);
  window_->Stop();
}

TEST_F(MainWindowTest, DelayIsCutShortBySpaceAndPedalCommandsWaitMeanwhile) {
  OpenSong(6.0);
  AddLoop(0.2, 0.6, 1, 3);
  QElapsedTimer held;
  qint64 hold_ms = -1;
  bool pedal_refused = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (window_->loop_delay().running() && !held.isValid()) {
      held.start();
      pedal_refused = !window_->OnExternalCommand(cmd::kStop);
      QTest::keyClick(window_.get(), Qt::Key_Space);
    }
    if (held.isValid() && hold_ms < 0 && !window_->loop_delay().running()) hold_ms = held.elapsed();
  });
  probe.start(20);
  window_->Play();
  EXPECT_TRUE(WaitFor([&] { return hold_ms >= 0; }, 6000));
  EXPECT_GE(hold_ms, 0);
  EXPECT_LT(hold_ms, 1000);  // a 3 s pause
  EXPECT_TRUE(pedal_refused);
  // Playback went on from the loop's start.
  EXPECT_TRUE(WaitFor([&] { return window_->player().IsPlaying(); }, 1000));
  EXPECT_LT(window_->player().PositionSeconds(), 0.6);
  window_->Stop();
}

TEST_F(MainWindowTest, SpacePlaysAndPauses) {
  OpenSong(6.0);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_Space);
  EXPECT_TRUE(WaitFor([&] { return window_->player().IsPlaying(); }, 1000));
  QTest::keyClick(window_.get(), Qt::Key_Space);
  EXPECT_TRUE(window_->player().IsPaused());
  QTest::keyClick(window_.get(), Qt::Key_Space);
  EXPECT_TRUE(window_->player().IsPlaying());
  window_->Stop();
}

TEST_F(MainWindowTest, ALoopEndingWithTheSongEndsPlaybackOnceItsRepeatsAreDone) {
  OpenSong(1.2);
  AddLoop(0.6, 1.2, 0);
  window_->Play();
  EXPECT_TRUE(WaitFor([&] { return window_->player().IsStopped(); }, 5000));
  QTest::qWait(200);
  EXPECT_TRUE(window_->player().IsStopped());
  EXPECT_EQ(window_->StatusText(), "Idle");
  EXPECT_EQ(window_->PositionText(), "0:00.00 * 0:01.20");
}

TEST_F(MainWindowTest, RepeatPlayStartsAgainAtTheEnd) {
  OpenSong(0.8);
  window_->OnCommand(cmd::kRepeatOff);
  ASSERT_TRUE(window_->repeat_play());
  double highest = 0.0;
  bool restarted = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const double pos = window_->player().PositionSeconds();
    if (highest > 0.6 && pos < 0.3 && window_->player().IsPlayingOrStalled()) restarted = true;
    highest = std::max(highest, pos);
  });
  probe.start(10);
  window_->Play();
  EXPECT_TRUE(WaitFor([&] { return restarted; }, 5000));
  window_->Stop();
}

TEST_F(MainWindowTest, DroppedOggIsDecodedIntoTheWorkingWavAndOpens) {
  const std::string ogg = tmp_.Sub("tune.ogg");
  const std::string command = "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=2 "
                              "-ac 2 -c:a libvorbis '" + ogg + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  window_->DropFiles({ogg});
  ASSERT_TRUE(window_->player().IsOpen()) << (ui_->messages.empty() ? "" : ui_->messages[0].text);
  EXPECT_NEAR(window_->document().state().song_length, 2.0, 0.1);
  EXPECT_EQ(window_->document().state().source_path, ogg);
  EXPECT_EQ(window_->document().state().stream.channels, 2);
  // The working copy is a WAV, never the source itself.
  EXPECT_EQ(PathExtension(window_->files().CurrentNames().audio), "wav");
  EXPECT_EQ(window_->recent().Entry(0), ogg);
  EXPECT_TRUE(window_->Button(cmd::kPlay)->isEnabled());
  EXPECT_TRUE(window_->isEnabled());

  // A later failure after the old song was discarded leaves no song at all.
  EXPECT_FALSE(window_->OpenPath(tmp_.WriteFile("broken.ogg", "not an ogg stream")));
  EXPECT_FALSE(window_->player().IsOpen());
  EXPECT_EQ(window_->TitleText(), "Quaverly 3: Ready");
  EXPECT_EQ(window_->document().state().saved, 1);
  EXPECT_TRUE(window_->isEnabled());
}

TEST_F(MainWindowTest, EditsChangeTheSongAndUndoRedoWalkTheHistory) {
  OpenSong();
  window_->chart()->SetSelection(2.0, 4.0);
  window_->OnCommand(cmd::kDelete);
  ASSERT_TRUE(ui_->messages.empty()) << ui_->messages[0].text;
  EXPECT_NEAR(window_->document().state().song_length, 10.0, 0.01);
  EXPECT_NEAR(window_->player().LengthSeconds(), 10.0, 0.01);
  EXPECT_EQ(window_->position_slider()->maximum(), window_->player().LengthBytes() / 100);
  EXPECT_TRUE(window_->Button(cmd::kUndo)->isEnabled());

  // Insert Silence asks through its dialog: 1.5 s at the beginning.
  window_->set_dialog_hook([](QWidget* dialog) {
    auto* d = dynamic_cast<CInsertSilenceDlg*>(dialog);
    if (d == nullptr) return 0;
    d->amount_edit()->setText("1.5");
    d->radio(InsertPoint::kBeginning)->setChecked(true);
    d->accept();
    return d->result();
  });
  window_->OnCommand(cmd::kInsertSilence);
  EXPECT_NEAR(window_->document().state().song_length, 11.5, 0.01);

  window_->OnCommand(cmd::kUndo);
  EXPECT_NEAR(window_->document().state().song_length, 10.0, 0.01);
  window_->OnCommand(cmd::kUndo);
  EXPECT_NEAR(window_->document().state().song_length, 12.0, 0.01);
  EXPECT_NEAR(window_->player().LengthSeconds(), 12.0, 0.01);
  window_->OnCommand(cmd::kRedo);
  EXPECT_NEAR(window_->document().state().song_length, 10.0, 0.01);
  EXPECT_TRUE(ui_->messages.empty()) << ui_->messages[0].text;

  std::unique_ptr<QMenu> edit(window_->BuildEditMenu());
  for (QAction* a : edit->actions()) {
    if (!a->isSeparator()) {
      EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    }
  }
}

TEST_F(MainWindowTest, NoteFinderStartsAtThePositionAndFollowsWaveClicks) {
  OpenSong();
  window_->Seek(3.0);
  window_->OnCommand(cmd::kNoteFinderShow);
  ASSERT_TRUE(window_->note_finder_session().is_open());
  CQuaverlyNoteFinderDlg* finder = window_->note_finder_window();
  EXPECT_TRUE(finder->isVisible());
  EXPECT_FALSE(window_->Button(cmd::kNoteFinderShow)->isVisible());
  EXPECT_TRUE(window_->Button(cmd::kNoteFinderHide)->isVisible());
  EXPECT_NEAR(finder->finder().start_seconds(), 3.0, 0.01);
  EXPECT_EQ(finder->finder().sample_rate(), 44100);

  // A click in the wave moves the finder and the play position, and starts
  // no loop.
  const QPoint point = PlotPointAt(5.0);
  window_->OnChartNotify(kChartLeftButtonDown, point.x(), point.y());
  window_->OnChartNotify(kChartLeftButtonUp, point.x(), point.y());
  EXPECT_NEAR(finder->finder().start_seconds(), 5.0, 0.05);
  EXPECT_NEAR(window_->player().BytesToSeconds(
                  static_cast<int64_t>(window_->position_slider()->value()) * 100),
              5.0, 0.05);
  EXPECT_EQ(window_->document().loops().count(), 0);

  window_->OnCommand(cmd::kNoteFinderHide);
  EXPECT_FALSE(window_->note_finder_session().is_open());
  EXPECT_FALSE(finder->isVisible());
  EXPECT_TRUE(window_->Button(cmd::kNoteFinderShow)->isVisible());
  EXPECT_FALSE(window_->Button(cmd::kNoteFinderHide)->isVisible());

  // Opening another song closes a finder still open on the old one.
  window_->OnCommand(cmd::kNoteFinderShow);
  ASSERT_TRUE(window_->OpenPath(MakeWav(tmp_.Sub("other.wav"), 3.0)));
  EXPECT_FALSE(window_->note_finder_session().is_open());
  EXPECT_FALSE(finder->isVisible());
}

TEST_F(MainWindowTest, ExportSongWritesTheWavAndReportsCompletion) {
  OpenSong(2.0);
  std::unique_ptr<QMenu> menu(window_->BuildExportMenu());
  for (QAction* a : menu->actions()) {
    const int id = a->data().toInt();
    if (id == cmd::kExportSong || id == cmd::kExportAllLoops || id == cmd::kExportCurrentLoop) {
      EXPECT_TRUE(a->isEnabled()) << id;
    }
  }
  const std::string out = tmp_.Sub("export.wav");
  ui_->save_paths.push_back(out);
  window_->OnCommand(cmd::kExportSong);
  ASSERT_EQ(ui_->save_requests.size(), 1u);
  EXPECT_TRUE(ui_->messages.empty()) << ui_->messages[0].text;
  int bitrate = 0;
  double seconds = 0.0;
  int error = 0;
  ASSERT_NE(AudioFileStats(out, &bitrate, &seconds, &error), nullptr) << error;
  EXPECT_NEAR(seconds, 2.0, 0.05);
  EXPECT_TRUE(WaitFor([&] { return window_->StatusText() == "Export Complete."; }, 2000));
  EXPECT_TRUE(window_->isEnabled());
}

TEST(MainWindowSignalTest, TerminationSignalClosesTheWindowAndExitsCleanly) {
  App();
  CloseWindowsOnTerminationSignals();
  ScopedRecordingUi ui;
  CQuaverly3Dlg window("");
  window.show();
  QTimer::singleShot(50, [] { raise(SIGTERM); });
  QTimer::singleShot(5000, [] { QApplication::exit(7); });  // safety net
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace qv3
