#include "platform/process.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace qv3 {
namespace {

std::string ReadAllFrom(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}

bool GroupGone(pid_t group) {
  for (int i = 0; i < 300; ++i) {
    if (::kill(-group, 0) == -1 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ShellQuoteTest, EveryWordReachesTheProgramUnchanged) {
  const std::string words[] = {"plain", "", "it's", "$(touch PWNED)", "`id`", "a\"b'c\\d",
                               "new\nline", "*?[x] ~ $HOME ; | & > <", "''''"};
  for (const std::string& w : words) {
    ChildProcess p;
    ASSERT_TRUE(p.Start({"/bin/sh", "-c", "printf %s " + ShellQuote(w)}));
    p.CloseInput();
    EXPECT_EQ(ReadAllFrom(p.output_fd()), w);
    ASSERT_TRUE(p.WaitForExit(5000));
    EXPECT_EQ(p.exit_code(), 0);
  }
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
}

TEST(ChildProcessTest, PipesInputOutputAndErrorAndReportsTheExit) {
  ChildProcess p;
  ASSERT_TRUE(p.Start({"sh", "-c", "read x; echo got $x; echo oops >&2; exit 7"}));
  EXPECT_TRUE(p.WriteInput("hello\n"));
  p.CloseInput();
  EXPECT_EQ(ReadAllFrom(p.output_fd()), "got hello\noops\n");
  ASSERT_TRUE(p.WaitForExit(5000));
  EXPECT_EQ(p.exit_code(), 7);
  // Writing to a child that has gone fails instead of ending this program.
  ChildProcess q;
  ASSERT_TRUE(q.Start({"true"}));
  ASSERT_TRUE(q.WaitForExit(5000));
  EXPECT_FALSE(q.WriteInput(std::string(1 << 20, 'x')));
  EXPECT_FALSE(ChildProcess().Start({"/no/such/program"}));
}

TEST(ChildProcessTest, TerminateGroupEndsGrandchildrenAndStubbornChildren) {
  ChildProcess p;
  // A grandchild in the background and a shell that ignores SIGTERM.
  ASSERT_TRUE(p.Start({"/bin/sh", "-c", "trap '' TERM; sleep 60 & sleep 60; wait"}));
  const pid_t group = p.pid();
  EXPECT_EQ(::getpgid(group), group);
  EXPECT_NE(::getpgid(group), ::getpgid(0));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  p.TerminateGroup(300);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(p.HasExited());
  EXPECT_EQ(p.exit_code(), 128 + SIGKILL);
  p.Release();
  EXPECT_TRUE(GroupGone(group));
  // Released: nothing more is signalled.
  p.TerminateGroup(0);
}

TEST(ChildProcessTest, DestroyingARunningChildEndsItsGroup) {
  pid_t group;
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({"/bin/sh", "-c", "sleep 60 & sleep 60"}));
    group = p.pid();
  }
  EXPECT_TRUE(GroupGone(group));
}

}  // namespace
}  // namespace qv3
