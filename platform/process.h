// Child processes with piped standard handles, each in a process group of its
// own: the Linux stand-in for starting a command interpreter with redirected
// handles and ending a converter it started.
//
// The child is never reaped before Release(): polling uses waitid(WNOWAIT), so
// its process id (and with it the id of its group) stays reserved by the
// zombie and TerminateGroup() can only ever signal processes this program
// started, never a stranger that got a recycled id.
#ifndef QV3_PLATFORM_PROCESS_H_
#define QV3_PLATFORM_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace qv3 {

class ChildProcess {
 public:
  ChildProcess() = default;
  // Ends a still running group (TerminateGroup) and reaps the child.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (looked up in PATH when it has no "/") with argv, its
  // standard input and output on pipes and its standard error on the same pipe
  // as its output, as the leader of a new process group. False (with nothing
  // left open) when a pipe cannot be made or the program cannot be started;
  // *pipe_failed tells the first apart from the second.
  bool Start(const std::vector<std::string>& argv, bool* pipe_failed = nullptr);

  // Our ends of the pipes (close-on-exec); -1 when closed.
  int output_fd() const { return out_fd_; }
  int input_fd() const { return in_fd_; }
  // Hands the output read end to the caller, who then closes it.
  int TakeOutputFd();
  void CloseInput();
  // Writes all of `text` to the child's standard input; false when it is
  // closed or the child has gone.
  bool WriteInput(const std::string& text);

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }
  // True once the child has exited (it is not reaped yet).
  bool HasExited();
  // Blocks up to `timeout_ms` (negative: forever) for the exit; true when it exited.
  bool WaitForExit(int timeout_ms);
  // The exit status once HasExited(): the exit code, or 128 + signal.
  int exit_code() const { return exit_code_; }

  // Ends the child's whole group: SIGTERM, then SIGKILL when the child has
  // not exited after `grace_ms`. Signals nothing once the child is reaped.
  void TerminateGroup(int grace_ms = 5000);
  // Reaps an exited child (ending the group first if it still runs) and
  // closes both pipe ends.
  void Release();

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  int exit_code_ = -1;
  int out_fd_ = -1;
  int in_fd_ = -1;
};

// One word for sh, single-quoted with embedded single quotes written as '\''
// so that nothing in it is expanded: it's  ->  'it'\''s'.
std::string ShellQuote(const std::string& word);

}  // namespace qv3

#endif  // QV3_PLATFORM_PROCESS_H_
