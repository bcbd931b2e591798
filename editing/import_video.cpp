#include "editing/import_video.h"

#include <unistd.h>

#include "editing/import_ffmpeg.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace qv3 {

VideoExtraction::VideoExtraction(ImportProgressView* view, Settings settings)
    : view_(view), settings_(std::move(settings)) {}

VideoExtraction::~VideoExtraction() = default;

void VideoExtraction::Drain(int rounds) {
  for (int i = 0; i < rounds; ++i) view_->Drain();
}

void VideoExtraction::ProbeDuration(const std::string& source) {
  const std::string script = JoinPath(settings_.temp_folder, kProbeScriptName);
  if (!WriteScriptFile(script, ProbeScriptText(settings_.ffmpeg, source))) return;
  CConsolePipe probe(0, kInterpreterCmd);
  if (probe.Execute(ScriptCommand(script)) != kPipeOk) return;
  // Until the interpreter has exited and its output is all read.
  while (!probe.HasExited() || probe.IsRunning()) view_->Pump();
  double seconds = 0;
  if (FindDuration(CConsolePipe::CollectedOutput(), &seconds)) duration_ = seconds;
}

ExtractResult VideoExtraction::Run(const std::string& source, const std::string& destination) {
  ImportProgressTexts texts{kExtractTitle, kImportingLabel,
                            StringPrintf(kSavingToFormat, destination.c_str())};
  duration_ = 1.0;
  converted_ = 0.0;
  progress_ = 0;
  output_ended_ = false;
  pending_line_.clear();
  output_.clear();

  view_->Prepare(texts);
  ProbeDuration(source);

  const std::string script = JoinPath(settings_.temp_folder, kExtractScriptName);
  const bool written = WriteScriptFile(
      script, ExtractScriptText(settings_.ffmpeg, source, settings_.options, destination));
  view_->ShowProgress(texts);
  ::unlink(destination.c_str());
  pipe_ = std::make_unique<CMyConsolePipe>(this, 0, kInterpreterCmd);
  if (!written || pipe_->Execute(ScriptCommand(script)) != kPipeOk) {
    output_ = CConsolePipe::CollectedOutput();
    pipe_.reset();
    view_->Close(true);
    return ExtractResult::kFailed;
  }
  converter_pid_ = pipe_->ChildPid();

  bool cancelled = false;
  for (;;) {
    view_->Pump();
    if (view_->CancelRequested()) {
      cancelled = true;
      break;
    }
    if (output_ended_ && pipe_->HasExited()) break;
  }

  if (cancelled) {
    Drain(100);
    pipe_->TerminateChild(settings_.terminate_grace_ms);
    Drain(100);
    ::unlink(destination.c_str());
    Drain(100);
    pipe_.reset();
    view_->Close(false);
    return ExtractResult::kCancelled;
  }

  output_ = CConsolePipe::CollectedOutput();
  const int exit_code = pipe_->ExitCode();
  pipe_.reset();
  view_->Close(true);
  // A converter that failed part-way may leave a partial file behind: it is
  // no song.
  if (exit_code != 0) {
    ::unlink(destination.c_str());
    return ExtractResult::kFailed;
  }
  return PathExists(destination) ? ExtractResult::kOk : ExtractResult::kFailed;
}

void VideoExtraction::OnPipeText(const std::string& text) {
  // Progress lines end in CR; a line split across two reads is joined first.
  pending_line_ += text;
  const size_t end = pending_line_.find_last_of("\r\n");
  if (end == std::string::npos) {
    if (pending_line_.size() > 65536) pending_line_.erase(0, pending_line_.size() - 4096);
    return;
  }
  const std::string complete = pending_line_.substr(0, end + 1);
  pending_line_.erase(0, end + 1);
  double seconds = 0;
  if (!FindConvertedTime(complete, &seconds) || !(seconds > 0)) return;
  converted_ = seconds;
  double fraction = seconds / duration_;
  if (fraction > 1.0) fraction = 1.0;
  progress_ = static_cast<int>(fraction * kProgressBarMax);
  view_->SetProgress(progress_);
  view_->SetTimeLine(StringPrintf(kTimeLineFormat, seconds, duration_));
}

void VideoExtraction::OnPipeEnded(CConsolePipe* /*pipe*/) { output_ended_ = true; }

bool ExtractAudioFromVideo(ImportProgressView* view, const std::string& source,
                           const std::string& destination, const VideoExtraction::Settings& settings) {
  VideoExtraction extraction(view, settings);
  switch (extraction.Run(source, destination)) {
    case ExtractResult::kOk:
      return true;
    case ExtractResult::kCancelled:
      MessageBoxF("%s", kImportCancelledText);
      return false;
    case ExtractResult::kFailed:
      ShowConverterFailureReport(settings.temp_folder, extraction.output());
      return false;
  }
  return false;
}

}  // namespace qv3
