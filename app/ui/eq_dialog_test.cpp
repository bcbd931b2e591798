// The equaliser, preset-name and vocal-reduction windows offscreen: texts,
// ranges, slider direction (up means more gain / more reduction), and what
// reaches the controller and the main window.
#include "app/ui/eq_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <vector>

#include "app/equalizer_presets.h"
#include "app/ui/preset_name_dialog.h"
#include "app/ui/vocal_reduction_dialog.h"
#include "audiolib/audiolib.h"
#include "platform/profile_file.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "app_ui_test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
  if (AudioGetInfoRate() == 0) AudioInit(0, 44100, 0);  // the null device
}

void Key(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

// A left click a few pixels below the top of a laid-out widget.
void ClickNearTop(QWidget* w) {
  const QPointF local(w->width() / 2.0, 4.0);
  const QPointF global = w->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

class EqDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    for (int i = 0; i < 3; ++i) {
      WriteProfileString(kEqPresetSection, EqPresetKey(i),
                         "\"P" + std::to_string(i) + "\" " + std::to_string(3 * i) + " 0 0 0 0 0 0 0 20",
                         Ini());
    }
  }
  std::string Ini() const { return tmp_.Sub("Quaverly3.ini"); }
  TempDir tmp_;
  ScopedRecordingUi ui_;
};

TEST_F(EqDialogTest, ShowsBandsScaleListAndButtonsDisabledUntilAttached) {
  CQuaverlyEQDlg dlg(Ini());
  const char* labels[] = {"80", "125", "250", "500", "1K", "2K", "4K", "8K", "16K"};
  for (int band = 0; band < kEqBandCount; ++band) {
    QSlider* s = dlg.band_slider(band);
    EXPECT_EQ(s->orientation(), Qt::Vertical);
    EXPECT_EQ(s->minimum(), -15);
    EXPECT_EQ(s->maximum(), 15);
    EXPECT_EQ(s->pageStep(), 1);
    EXPECT_EQ(s->singleStep(), 1);
    EXPECT_EQ(dlg.band_label(band)->text(), labels[band]);
    EXPECT_FALSE(s->isEnabled());
  }
  EXPECT_EQ(dlg.scale_labels()[0]->text(), "15");
  EXPECT_EQ(dlg.scale_labels()[1]->text(), "0");
  EXPECT_EQ(dlg.scale_labels()[2]->text(), "-15");
  EXPECT_EQ(dlg.new_button()->text(), "Create a new preset");
  EXPECT_EQ(dlg.save_button()->text(), "Save all EQ presets");
  EXPECT_EQ(dlg.delete_button()->text(), "Delete the selected preset");
  EXPECT_FALSE(dlg.preset_list()->isEnabled());
  EXPECT_FALSE(dlg.delete_button()->isEnabled());
  ASSERT_EQ(dlg.preset_list()->count(), 3);
  EXPECT_EQ(dlg.preset_list()->item(2)->text(), "P2");

  dlg.controller().AttachEqualizer(StreamCreatePush(44100, 2, 0));
  EXPECT_TRUE(dlg.band_slider(0)->isEnabled());
  EXPECT_TRUE(dlg.preset_list()->isEnabled());
  EXPECT_TRUE(dlg.delete_button()->isEnabled());
}

TEST_F(EqDialogTest, UpRaisesTheGain) {
  CQuaverlyEQDlg dlg(Ini());
  dlg.controller().AttachEqualizer(StreamCreatePush(44100, 2, 0));
  dlg.resize(700, 320);
  dlg.show();
  QSlider* s = dlg.band_slider(4);
  Key(s, Qt::Key_Up);
  EXPECT_EQ(s->value(), -1);
  EXPECT_FLOAT_EQ(dlg.controller().effects().GetGain(4), 1.0f);
  Key(s, Qt::Key_Down);
  Key(s, Qt::Key_Down);
  EXPECT_FLOAT_EQ(dlg.controller().effects().GetGain(4), -1.0f);
  // The top of the slider is the -15 end (+15 dB).
  QSlider* top = dlg.band_slider(7);
  ClickNearTop(top);
  EXPECT_LT(top->value(), 0);
  EXPECT_GT(dlg.controller().effects().GetGain(7), 0.0f);
}

TEST_F(EqDialogTest, ChoosingInTheListAppliesAndTellsTheMainWindowOnce) {
  CQuaverlyEQDlg dlg(Ini());
  dlg.controller().AttachEqualizer(StreamCreatePush(44100, 2, 0));
  std::vector<std::string> chosen;
  dlg.set_on_preset_chosen([&](const std::string& name) { chosen.push_back(name); });

  dlg.preset_list()->setCurrentRow(1);  // as a click or a key would
  EXPECT_EQ(chosen, std::vector<std::string>{"P1"});
  EXPECT_EQ(dlg.band_slider(0)->value(), -3);
  EXPECT_EQ(dlg.band_slider(8)->value(), -15);  // stored 20, shown as 15 dB
  EXPECT_FLOAT_EQ(dlg.controller().effects().GetGain(8), 15.0f);

  // A project's preset is selected without a message to the main window.
  EXPECT_EQ(dlg.controller().FindPreset("P2"), 2);
  EXPECT_EQ(dlg.preset_list()->currentRow(), 2);
  EXPECT_EQ(chosen.size(), 1u);
  // A new channel clears the selection and the sliders, silently.
  dlg.controller().AttachEqualizer(StreamCreatePush(44100, 2, 0));
  EXPECT_EQ(dlg.preset_list()->currentRow(), -1);
  EXPECT_EQ(dlg.band_slider(0)->value(), 0);
  EXPECT_EQ(chosen.size(), 1u);
}

TEST_F(EqDialogTest, NewAndDeleteButtons) {
  CQuaverlyEQDlg dlg(Ini());
  dlg.controller().AttachEqualizer(StreamCreatePush(44100, 2, 0));
  dlg.band_slider(1)->setValue(-6);
  bool asked = false;
  dlg.ask_name_for_test = [&](std::string* name) {
    asked = true;
    *name = "Mine";
    return true;
  };
  dlg.new_button()->click();
  EXPECT_TRUE(asked);
  ASSERT_EQ(dlg.preset_list()->count(), 4);
  EXPECT_EQ(dlg.preset_list()->currentRow(), 3);
  EXPECT_EQ(GetProfileString(kEqPresetSection, "Preset3", "", Ini()), "\"Mine\" 0 6 0 0 0 0 0 0 0");

  ui_->answers.push_back(Answer::kYes);
  dlg.delete_button()->click();
  ASSERT_EQ(ui_->questions.size(), 1u);
  EXPECT_EQ(dlg.preset_list()->count(), 3);
  EXPECT_EQ(LoadEqPresets(Ini()).size(), 3u);
}

TEST_F(EqDialogTest, PresetNameDialogRefusesAnEmptyName) {
  CQuaverlyPresetNameDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "New Preset Name");
  bool prompt_found = false;
  for (QLabel* l : dlg.findChildren<QLabel*>()) {
    prompt_found = prompt_found || l->text() == "Please supply a name for the new Preset:";
  }
  EXPECT_TRUE(prompt_found);
  dlg.show();
  dlg.name_edit()->setText("   ");
  dlg.accept();
  EXPECT_EQ(ui_->beeps, 1);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.name_edit()->selectedText(), "   ");
  dlg.name_edit()->setText("  Live Mix ");
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.Name(), "Live Mix");
}

TEST_F(EqDialogTest, VocalReductionSliderIsInvertedWithItsLabel) {
  CVocalReductionDlg dlg;
  std::vector<std::pair<int, bool>> scrolls;
  dlg.on_scroll = [&](int position, bool dragging) { scrolls.emplace_back(position, dragging); };
  QSlider* s = dlg.slider();
  EXPECT_EQ(s->minimum(), 0);
  EXPECT_EQ(s->maximum(), 256);
  EXPECT_EQ(s->pageStep(), 10);
  EXPECT_EQ(dlg.position(), 256);
  EXPECT_EQ(dlg.label()->text(), " Off ");

  dlg.SetPosition(128);
  EXPECT_EQ(dlg.label()->text(), " 128 ");
  EXPECT_TRUE(scrolls.empty());

  dlg.SetPosition(256);
  Key(s, Qt::Key_Up);  // up: more reduction
  EXPECT_EQ(dlg.position(), 255);
  EXPECT_EQ(dlg.label()->text(), " 1 ");
  ASSERT_EQ(scrolls.size(), 1u);
  EXPECT_EQ(scrolls[0], std::make_pair(255, false));

  dlg.resize(80, 260);
  dlg.show();
  ClickNearTop(s);
  EXPECT_LT(dlg.position(), 255);
}

}  // namespace
}  // namespace qv3
