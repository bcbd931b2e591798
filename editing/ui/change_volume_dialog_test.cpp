#include "editing/ui/change_volume_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <gtest/gtest.h>

namespace qv3 {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "change_volume_test";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(ChangeVolumeDialogTest, SliderStartsAtOneHundredPerCent) {
  App();
  CChangeVolumeDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Change Volume");
  QSlider* s = dlg.slider();
  EXPECT_EQ(s->orientation(), Qt::Vertical);
  EXPECT_EQ(s->minimum(), 0);
  EXPECT_EQ(s->maximum(), 5000);
  EXPECT_EQ(s->pageStep(), 100);
  EXPECT_EQ(s->value(), 4000);
  EXPECT_TRUE(s->invertedAppearance());  // 0 (500 %) at the top
  EXPECT_EQ(dlg.value_label()->text(), "100.0%");
  EXPECT_DOUBLE_EQ(dlg.percent(), 100.0);
}

TEST(ChangeVolumeDialogTest, LabelFollowsTheSliderAndWarnsAboveThreeHundred) {
  App();
  CChangeVolumeDlg dlg;
  struct Case {
    int position;
    double percent;
    const char* text;
  } cases[] = {
      {1500, 350.0, "350.0% (may cause clipping)"},
      {2000, 300.0, "300.0%"},
      {1999, 300.1, "300.1% (may cause clipping)"},
      {0, 500.0, "500.0% (may cause clipping)"},
      {5000, 0.0, "0.0%"},
      {4500, 50.0, "50.0%"},
  };
  for (const Case& c : cases) {
    dlg.slider()->setValue(c.position);
    EXPECT_DOUBLE_EQ(dlg.percent(), c.percent) << c.position;
    EXPECT_EQ(dlg.value_label()->text().toStdString(), c.text);
  }
}

}  // namespace
}  // namespace qv3
