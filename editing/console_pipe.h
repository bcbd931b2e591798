// CConsolePipe runs one command through the command interpreter (/bin/sh)
// with standard input, output and error on pipes, reads the output on a
// thread of its own and hands it to the window that owns it.
//
// The reader reads up to 2048 bytes at a time, appends them to the program's
// collected output and hands each piece to OnReceivedOutput on the reader
// thread; at the end of the output it calls OnOutputEnded. CMyConsolePipe
// turns both into the owner's window messages 1036 (the text) and 1035 (the
// end), posted to the GUI thread as copies: a blocking cross-thread call
// would deadlock when the GUI thread stops the reader.
//
// All operations except the reader's hooks run on the owner's thread.
#ifndef QV3_EDITING_CONSOLE_PIPE_H_
#define QV3_EDITING_CONSOLE_PIPE_H_

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"

namespace qv3 {

// Window messages from a pipe to its owner.
inline constexpr int kWmPipeEnded = 1035;  // the output has ended
inline constexpr int kWmPipeText = 1036;   // a piece of output text

// Mode flags.
// Keep the interpreter open and feed commands through standard input.
inline constexpr int kPipeModeKeepOpen = 4;
// No code-page conversion; text always passes through unchanged here, since
// both sides use UTF-8 bytes.
inline constexpr int kPipeModeNoConversion = 16;

// Interpreter kinds; both start /bin/sh.
inline constexpr int kInterpreterCmd = 1;
inline constexpr int kInterpreterCommandCom = 0;

// Execute results.
inline constexpr int kPipeOk = 0;
inline constexpr int kPipeNoCommand = 1;  // empty command, or the interpreter did not start
inline constexpr int kPipeBusy = 2;       // already running, or a pipe/thread could not be made

// The bytes the reader takes at a time.
inline constexpr int kPipeReadBytes = 2048;

class CConsolePipe;

// Receives the pipe's messages on the GUI thread.
class ConsolePipeOwner {
 public:
  virtual ~ConsolePipeOwner() = default;
  // 1036: one piece of output, as read.
  virtual void OnPipeText(const std::string& text) = 0;
  // 1035: the output has ended. The pipe stays valid; the owner may poll the
  // child's exit after this.
  virtual void OnPipeEnded(CConsolePipe* pipe) = 0;
};

class CConsolePipe {
 public:
  CConsolePipe(int mode_flags, int interpreter_kind = kInterpreterCmd);
  // Stops the reader and ends a child that still runs.
  virtual ~CConsolePipe();
  CConsolePipe(const CConsolePipe&) = delete;
  CConsolePipe& operator=(const CConsolePipe&) = delete;

  // Runs `command`: mode 0 as "/bin/sh -c command"; mode 4 starts "/bin/sh"
  // reading commands on its standard input and writes `command` to it (on a
  // pipe that already runs in mode 4, only writes it). 0, or 1 for an empty
  // command or an interpreter that cannot be started, 2 when already running
  // (mode 0) or a pipe or the thread cannot be made.
  int Execute(const std::string& command);
  // Writes `text` to the child's standard input.
  bool SendChildInput(const std::string& text);
  // Ends the reader (it stops waiting at once) and closes every pipe end. The
  // child is not signalled; a child that writes on gets a broken pipe.
  void Stop();

  bool IsRunning() const { return reader_.joinable() && !reader_done_.load(); }
  // True when the interpreter has exited (or never started).
  bool HasExited() { return child_.HasExited(); }
  int ExitCode() const { return child_.exit_code(); }
  // Ends the interpreter's whole process group (see ChildProcess).
  void TerminateChild(int grace_ms = 5000) { child_.TerminateGroup(grace_ms); }
  pid_t ChildPid() const { return child_.pid(); }
  int mode_flags() const { return mode_flags_; }
  int interpreter_kind() const { return interpreter_kind_; }

  // Everything the pipes of this program have received since the last pipe
  // was created (one buffer for the whole program).
  static std::string CollectedOutput();

 protected:
  // Reader thread: one piece of output (already appended to the collection).
  virtual void OnReceivedOutput(const std::string& /*text*/) {}
  // Reader thread: the output has ended.
  virtual void OnOutputEnded() {}

 private:
  void ReaderMain(int fd, int wake_fd);
  void JoinReader();

  const int mode_flags_;
  const int interpreter_kind_;
  ChildProcess child_;
  std::thread reader_;
  std::atomic<bool> reader_done_{false};
  int wake_fds_[2] = {-1, -1};  // Stop() writes to [1] to end the reader's wait
};

// The variant a window owns: posts 1036 and 1035 to the owner on the GUI
// thread. Messages still queued when the pipe is destroyed are dropped.
class CMyConsolePipe : public CConsolePipe {
 public:
  CMyConsolePipe(ConsolePipeOwner* owner, int mode_flags,
                 int interpreter_kind = kInterpreterCmd);
  ~CMyConsolePipe() override;

 protected:
  void OnReceivedOutput(const std::string& text) override;
  void OnOutputEnded() override;

 private:
  struct Link {
    ConsolePipeOwner* owner;
    CMyConsolePipe* pipe;
  };
  std::shared_ptr<Link> link_;
};

}  // namespace qv3

#endif  // QV3_EDITING_CONSOLE_PIPE_H_
