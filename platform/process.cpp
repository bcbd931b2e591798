#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace qv3 {
namespace {

void CloseFd(int* fd) {
  if (*fd >= 0) {
    ::close(*fd);
    *fd = -1;
  }
}

// Writes with SIGPIPE held back on this thread, so a child that has gone
// makes the write fail with EPIPE instead of ending this program.
bool WriteAllNoSigpipe(int fd, const char* data, size_t size) {
  sigset_t pipe_set, old_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  sigset_t pending;
  sigpending(&pending);
  const bool was_pending = sigismember(&pending, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
  bool ok = true;
  bool broke = false;
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      broke = errno == EPIPE;
      ok = false;
      break;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  if (broke && !was_pending) {
    // Consume the SIGPIPE this write raised before unblocking.
    timespec zero{0, 0};
    while (sigtimedwait(&pipe_set, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old_set, nullptr);
  return ok;
}

}  // namespace

ChildProcess::~ChildProcess() { Release(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, bool* pipe_failed) {
  if (pipe_failed) *pipe_failed = false;
  if (started() || argv.empty()) return false;
  int out_pipe[2] = {-1, -1};
  int in_pipe[2] = {-1, -1};
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(in_pipe, O_CLOEXEC) != 0) {
    CloseFd(&out_pipe[0]);
    CloseFd(&out_pipe[1]);
    if (pipe_failed) *pipe_failed = true;
    return false;
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 2);
  // A group of its own, default signal handling and an empty mask, whatever
  // this program ignores or blocks.
  sigset_t defaults, empty;
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGCHLD}) sigaddset(&defaults, sig);
  sigemptyset(&empty);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &empty);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                      POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);

  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  if (rc != 0) {
    ::close(in_pipe[1]);
    ::close(out_pipe[0]);
    return false;
  }
  pid_ = pid;
  exited_ = false;
  exit_code_ = -1;
  out_fd_ = out_pipe[0];
  in_fd_ = in_pipe[1];
  return true;
}

int ChildProcess::TakeOutputFd() {
  int fd = out_fd_;
  out_fd_ = -1;
  return fd;
}

void ChildProcess::CloseInput() { CloseFd(&in_fd_); }

bool ChildProcess::WriteInput(const std::string& text) {
  if (in_fd_ < 0) return false;
  return WriteAllNoSigpipe(in_fd_, text.data(), text.size());
}

bool ChildProcess::HasExited() {
  if (!started()) return true;
  if (exited_) return true;
  siginfo_t info{};
  int rc;
  do {
    rc = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (rc < 0 && errno == EINTR);
  if (rc != 0 || info.si_pid != pid_) return false;
  exited_ = true;
  exit_code_ = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
  return true;
}

bool ChildProcess::WaitForExit(int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!HasExited()) {
    if (timeout_ms >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void ChildProcess::TerminateGroup(int grace_ms) {
  if (!started()) return;
  // The unreaped child keeps its id (and the group's) reserved, so these
  // signals reach only the group this object started. Members that outlive
  // the leader (a converter under the shell) are ended with it.
  ::kill(-pid_, SIGTERM);
  WaitForExit(grace_ms);
  ::kill(-pid_, SIGKILL);
  WaitForExit(-1);
}

void ChildProcess::Release() {
  CloseFd(&in_fd_);
  CloseFd(&out_fd_);
  if (!started()) return;
  if (!HasExited()) TerminateGroup();
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

std::string ShellQuote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

}  // namespace qv3
