#include "editing/console_pipe.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <mutex>

#include "platform/main_thread.h"

namespace qv3 {
namespace {

constexpr char kInterpreter[] = "/bin/sh";

std::mutex& CollectedMutex() {
  static std::mutex mu;
  return mu;
}
std::string& Collected() {
  static std::string text;
  return text;
}

void CloseFd(int* fd) {
  if (*fd >= 0) {
    ::close(*fd);
    *fd = -1;
  }
}

}  // namespace

CConsolePipe::CConsolePipe(int mode_flags, int interpreter_kind)
    : mode_flags_(mode_flags), interpreter_kind_(interpreter_kind) {
  std::lock_guard lock(CollectedMutex());
  Collected().clear();
}

CConsolePipe::~CConsolePipe() {
  Stop();
  child_.Release();
}

std::string CConsolePipe::CollectedOutput() {
  std::lock_guard lock(CollectedMutex());
  return Collected();
}

int CConsolePipe::Execute(const std::string& command) {
  if (command.empty()) return kPipeNoCommand;
  const bool keep_open = (mode_flags_ & kPipeModeKeepOpen) != 0;
  if (IsRunning()) {
    if (!keep_open) return kPipeBusy;
    return SendChildInput(command + "\n") ? kPipeOk : kPipeBusy;
  }
  // A finished earlier run: collect its thread and child first.
  Stop();
  child_.Release();

  if (::pipe2(wake_fds_, O_CLOEXEC) != 0) return kPipeBusy;
  std::vector<std::string> argv = {kInterpreter};
  if (!keep_open) {
    argv.push_back("-c");
    argv.push_back(command);
  }
  bool pipe_failed = false;
  if (!child_.Start(argv, &pipe_failed)) {
    CloseFd(&wake_fds_[0]);
    CloseFd(&wake_fds_[1]);
    return pipe_failed ? kPipeBusy : kPipeNoCommand;
  }
  if (!keep_open) {
    // The command gets no input; an empty, open pipe would leave a program
    // that reads its standard input waiting for ever.
    child_.CloseInput();
  }
  const int out_fd = child_.TakeOutputFd();
  reader_done_.store(false);
  try {
    reader_ = std::thread(&CConsolePipe::ReaderMain, this, out_fd, wake_fds_[0]);
  } catch (...) {
    ::close(out_fd);
    child_.Release();
    CloseFd(&wake_fds_[0]);
    CloseFd(&wake_fds_[1]);
    return kPipeBusy;
  }
  if (keep_open && !SendChildInput(command + "\n")) {
    Stop();
    child_.Release();
    return kPipeBusy;
  }
  return kPipeOk;
}

bool CConsolePipe::SendChildInput(const std::string& text) { return child_.WriteInput(text); }

void CConsolePipe::ReaderMain(int fd, int wake_fd) {
  char buffer[kPipeReadBytes];
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    int rc = ::poll(fds, 2, -1);
    if (rc < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents) break;  // Stop()
    if (!fds[0].revents) continue;
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::string text(buffer, static_cast<size_t>(n));
    {
      std::lock_guard lock(CollectedMutex());
      Collected() += text;
    }
    OnReceivedOutput(text);
  }
  ::close(fd);
  OnOutputEnded();
  reader_done_.store(true);
}

void CConsolePipe::JoinReader() {
  if (!reader_.joinable()) return;
  if (wake_fds_[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = ::write(wake_fds_[1], &byte, 1);
    (void)ignored;
  }
  reader_.join();
}

void CConsolePipe::Stop() {
  JoinReader();
  CloseFd(&wake_fds_[0]);
  CloseFd(&wake_fds_[1]);
  child_.CloseInput();
}

CMyConsolePipe::CMyConsolePipe(ConsolePipeOwner* owner, int mode_flags, int interpreter_kind)
    : CConsolePipe(mode_flags, interpreter_kind),
      link_(std::make_shared<Link>(Link{owner, this})) {}

CMyConsolePipe::~CMyConsolePipe() {
  // The reader calls this object's hooks: end it before this part goes.
  Stop();
  link_->owner = nullptr;
  link_->pipe = nullptr;
}

void CMyConsolePipe::OnReceivedOutput(const std::string& text) {
  std::shared_ptr<Link> link = link_;
  PostToMainThread([link, text] {
    if (link->owner) link->owner->OnPipeText(text);
  });
}

void CMyConsolePipe::OnOutputEnded() {
  std::shared_ptr<Link> link = link_;
  PostToMainThread([link] {
    if (link->owner && link->pipe) link->owner->OnPipeEnded(link->pipe);
  });
}

}  // namespace qv3
