#include "editing/export_external_encoder.h"

#include <csignal>
#include <unistd.h>

#include <cerrno>

namespace qv3 {

std::vector<std::string> AacEncoderArguments(const std::string& program,
                                             const std::string& options,
                                             const std::string& extra,
                                             const std::string& output_path) {
  std::vector<std::string> argv{program};
  auto split = [&](const std::string& text) {
    std::string word;
    for (char c : text) {
      if (c == ' ' || c == '\t') {
        if (!word.empty()) argv.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) argv.push_back(word);
  };
  split(options);
  split(extra);
  argv.push_back("-o");
  argv.push_back(output_path);
  argv.push_back("-");
  return argv;
}

ExternalEncoder::~ExternalEncoder() { Abort(); }

bool ExternalEncoder::Start(const std::vector<std::string>& argv, int sample_rate, int channels) {
  std::signal(SIGPIPE, SIG_IGN);
  error_ = 0;
  if (!child_.Start(argv)) {
    error_ = kEncoderStartFailed;
    return false;
  }
  const int out_fd = child_.TakeOutputFd();
  reader_ = std::thread([this, out_fd] {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(out_fd, buffer, sizeof buffer);
      if (n > 0) {
        if (output_.size() < 65536) output_.append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(out_fd);
  });
  const int fd = ::dup(child_.input_fd());
  stream_ = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
  if (!stream_) {
    if (fd >= 0) ::close(fd);
    Abort();
    error_ = kEncoderStartFailed;
    return false;
  }
  child_.CloseInput();  // the stream holds the only write end now
  channels_ = channels;
  if (!wav_.OpenStream(stream_, channels, sample_rate, 16)) {
    Abort();
    error_ = kEncoderFailed;
    return false;
  }
  return true;
}

bool ExternalEncoder::Write(const int16_t* interleaved, size_t frames) {
  if (!stream_) return false;
  return wav_.Write(interleaved, frames * static_cast<size_t>(channels_) * sizeof(int16_t));
}

void ExternalEncoder::JoinReader() {
  if (reader_.joinable()) reader_.join();
}

bool ExternalEncoder::Stop() {
  if (!child_.started()) return false;
  bool wrote = stream_ != nullptr && wav_.Finish();
  if (stream_) {
    if (std::fclose(stream_) != 0) wrote = false;
    stream_ = nullptr;
  }
  child_.WaitForExit(-1);
  JoinReader();
  const int status = child_.exit_code();
  child_.Release();
  if (status != 0) {
    error_ = status;
    return false;
  }
  if (!wrote) {
    error_ = kEncoderFailed;
    return false;
  }
  return true;
}

void ExternalEncoder::Abort() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (child_.started()) {
    child_.TerminateGroup(2000);
    child_.Release();
  }
  JoinReader();
}

}  // namespace qv3
