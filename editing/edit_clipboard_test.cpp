// Copy in one running instance, Paste in another: the marker on the system
// clipboard carries the clip's full path. Needs a real X clipboard, so the
// test runs two copies of this binary on one virtual display (xvfb-run); it
// is skipped where xvfb-run is missing.
#ifdef QV3_EDIT_QT_CLIPBOARD

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audiolib/audiolib.h"
#include "editing/edit_test_support.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"
#include "platform/ui/qt_clipboard.h"

namespace qv3 {
namespace {

using edit_testing::MakeSong;
using edit_testing::Pcm;
using edit_testing::ReadPcm;
using edit_testing::SongWindow;

constexpr int kRate = 8000;

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The copying instance: copies 0.25 .. 0.5 s, says so, and keeps serving the
// clipboard until the pasting instance is done.
void RunCopier(const std::string& dir) {
  static int argc = 1;
  static char name[] = "copier";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ScopedQtClipboard clipboard;
  ScopedRecordingUi ui;
  SongWindow w;
  ASSERT_TRUE(w.Open(dir + "/copier", MakeSong(kRate, 2, 2 * kRate)));
  w.sel_start = 0.25;
  w.sel_end = 0.5;
  ASSERT_EQ(w.commands.Copy(), 1);
  std::ofstream(dir + "/ready") << w.files.ClipboardPath() << "\n";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Exists(dir + "/done") && std::chrono::steady_clock::now() < end) {
    app.processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(ui->messages.empty());
}

void RunPaster(const std::string& dir) {
  static int argc = 1;
  static char name[] = "paster";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ScopedQtClipboard clipboard;
  ScopedRecordingUi ui;
  AudioInitManual(44100, 0);
  SongWindow w;
  const Pcm song = MakeSong(kRate, 2, 3 * kRate);
  ASSERT_TRUE(w.Open(dir + "/paster", song));
  w.position = 1.0;
  EXPECT_TRUE(w.commands.Paste());
  for (const auto& m : ui->messages) ADD_FAILURE() << m.text;
  // The copier's frames 2000 .. 4000 (0.25 .. 0.5 s) now stand at 1.0 s.
  const Pcm copied = MakeSong(kRate, 2, 2 * kRate);
  Pcm expected = song;
  expected.samples.insert(expected.samples.begin() + kRate * 2,
                          copied.samples.begin() + 2000 * 2, copied.samples.begin() + 4001 * 2);
  EXPECT_EQ(ReadPcm(w.files.CurrentNames().audio).samples, expected.samples);
  AudioFree();
}

TEST(EditClipboardAcrossProcesses, CopyInOneInstancePasteInAnother) {
  if (const char* role = std::getenv("QV3_CLIPBOARD_ROLE")) {
    const std::string dir = std::getenv("QV3_CLIPBOARD_DIR");
    if (std::string(role) == "copy") {
      RunCopier(dir);
    } else {
      RunPaster(dir);
    }
    return;
  }
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "xvfb-run is not installed";
  }
  TempDir temp;
  std::filesystem::create_directories(temp.Sub("copier"));
  std::filesystem::create_directories(temp.Sub("paster"));
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string run = self + " --gtest_filter=EditClipboardAcrossProcesses.*";
  const std::string script =
      "export QT_QPA_PLATFORM=xcb QV3_CLIPBOARD_DIR='" + temp.path() + "'\n" +
      "QV3_CLIPBOARD_ROLE=copy " + run + " > '" + temp.Sub("copy.log") + "' 2>&1 &\n" +
      "i=0; while [ ! -f '" + temp.Sub("ready") + "' ] && [ $i -lt 300 ]; do sleep 0.1; "
      "i=$((i+1)); done\n" +
      "QV3_CLIPBOARD_ROLE=paste " + run + " > '" + temp.Sub("paste.log") + "' 2>&1\n" +
      "rc=$?\ntouch '" + temp.Sub("done") + "'\nwait $! || rc=1\nexit $rc\n";
  std::ofstream(temp.Sub("run.sh")) << script;
  const int rc = std::system(("xvfb-run -a sh '" + temp.Sub("run.sh") + "' >/dev/null 2>&1").c_str());
  auto log = [&](const char* name) {
    std::ifstream in(temp.Sub(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(Exists(temp.Sub("ready")));
  EXPECT_EQ(rc, 0) << "copier:\n" << log("copy.log") << "\npaster:\n" << log("paste.log");
}

}  // namespace
}  // namespace qv3

#endif  // QV3_EDIT_QT_CLIPBOARD
