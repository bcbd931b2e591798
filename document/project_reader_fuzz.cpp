// libFuzzer target: the project reader on arbitrary file contents, in both
// modes, then the writer and a second read of what it wrote.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "document/project_document.h"
#include "document/test_support.h"
#include "platform/recording_ui.h"

namespace {

struct FuzzDocument {
  FuzzDocument() : doc(&host) { host.set_state(&doc.state()); }
  qv3::testing::FakeHost host;
  qv3::ProjectDocument doc;
};

// The scratch folder of this process, removed at exit.
struct ScratchFolder {
  ScratchFolder() : path(qv3::SystemTempDir() + "/qv3-project-fuzz-" + std::to_string(getpid())) {
    qv3::MakeDirs(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

const std::string& ScratchPath(const char* name) {
  static const ScratchFolder folder;
  const std::string& dir = folder.path;
  static std::string paths[2];
  static const char* names[2] = {"in.qvp", "out.qvp"};
  for (int i = 0; i < 2; ++i) {
    if (std::string(name) == names[i]) {
      if (paths[i].empty()) paths[i] = dir + "/" + names[i];
      return paths[i];
    }
  }
  return paths[0];
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckInvariants(qv3::ProjectDocument& doc) {
  Check(doc.loops().count() >= 0 && doc.loops().count() <= qv3::kMaxLoops);
  Check(doc.markers().count() >= 0 && doc.markers().count() <= qv3::kMaxMarkers);
  Check(doc.state().master.vocal_reduction >= 0 && doc.state().master.vocal_reduction <= 256);
  Check(qv3::PitchInRange(doc.state().master.pitch));
  Check(qv3::TempoInRange(doc.state().master.tempo));
  for (int i = 0; i < doc.loops().count(); ++i) {
    const qv3::LoopRecord& r = doc.loops().Loop(i);
    Check(r.complete() && r.start < r.end);
    Check(qv3::PitchInRange(r.pitch) && qv3::TempoInRange(r.tempo));
    Check(r.delay >= 0 && r.delay <= 60);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv3::ScopedRecordingUi ui;
  const std::string& in = ScratchPath("in.qvp");
  qv3::testing::WriteFile(in, std::string(reinterpret_cast<const char*>(data), size));

  FuzzDocument full;
  full.host.song_length = 300.0;
  // No working project: WriteProjectFile's fsync would dominate each run.
  full.host.state_file = "";
  full.host.presets = {"Flat"};
  if (full.doc.ReadProjectFile(in, false)) {
    CheckInvariants(full.doc);
    const std::string& out = ScratchPath("out.qvp");
    qv3::testing::WriteFile(out, qv3::FormatProjectText(full.doc.state(), full.doc.markers(),
                                                         full.doc.loops()) +
                                     full.doc.pad_pages().FileText());
    FuzzDocument again;
    again.host.song_length = 300.0;
    Check(again.doc.ReadProjectFile(out, false));
    CheckInvariants(again.doc);
  }

  FuzzDocument settings;
  settings.doc.SetSongLength(120.0);
  settings.doc.ReadProjectFile(in, true);
  CheckInvariants(settings.doc);
  return 0;
}
