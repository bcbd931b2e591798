#include "editing/console_pipe.h"

#include <errno.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/main_thread.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

class RecordingOwner : public ConsolePipeOwner {
 public:
  void OnPipeText(const std::string& text) override {
    texts.push_back(text);
    joined += text;
  }
  void OnPipeEnded(CConsolePipe* pipe) override { ended.push_back(pipe); }

  std::vector<std::string> texts;
  std::string joined;
  std::vector<CConsolePipe*> ended;
};

// Pumps the main-thread queue until `done` or 10 s.
template <typename Pred>
bool PumpUntil(Pred done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    RunPendingMainThreadCalls();
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  RunPendingMainThreadCalls();
  return true;
}

TEST(ConsolePipeTest, RunsACommandAndDeliversItsOutputThenItsEnd) {
  RecordingOwner owner;
  CMyConsolePipe pipe(&owner, 0);
  EXPECT_EQ(pipe.Execute(""), kPipeNoCommand);
  ASSERT_EQ(pipe.Execute("echo out; echo err >&2; exit 3"), kPipeOk);
  ASSERT_TRUE(PumpUntil([&] { return !owner.ended.empty() && pipe.HasExited(); }));
  EXPECT_EQ(owner.joined, "out\nerr\n");
  EXPECT_EQ(CConsolePipe::CollectedOutput(), "out\nerr\n");
  EXPECT_THAT(owner.ended, ::testing::ElementsAre(&pipe));
  EXPECT_EQ(pipe.ExitCode(), 3);
  EXPECT_FALSE(pipe.IsRunning());
  // A finished pipe can run the next command.
  ASSERT_EQ(pipe.Execute("printf again"), kPipeOk);
  ASSERT_TRUE(PumpUntil([&] { return owner.ended.size() == 2; }));
  EXPECT_EQ(owner.joined, "out\nerr\nagain");
}

TEST(ConsolePipeTest, ReadsInPiecesOfAtMost2048BytesAndKeepsEveryByte) {
  RecordingOwner owner;
  CMyConsolePipe pipe(&owner, 0);
  // 100000 bytes with a counter in them, so a lost or reordered piece shows.
  ASSERT_EQ(pipe.Execute("i=0; while [ $i -lt 10000 ]; do printf '%09d\\n' $i; i=$((i+1)); done"),
            kPipeOk);
  ASSERT_TRUE(PumpUntil([&] { return !owner.ended.empty(); }));
  ASSERT_EQ(owner.joined.size(), 100000u);
  for (const std::string& t : owner.texts) EXPECT_LE(t.size(), 2048u);
  EXPECT_EQ(owner.joined.substr(99990), "000009999\n");
  EXPECT_EQ(owner.joined.substr(50000, 10), "000005000\n");
  EXPECT_EQ(CConsolePipe::CollectedOutput(), owner.joined);
}

TEST(ConsolePipeTest, ABusyPipeRefusesInModeZeroAndFeedsTheShellInModeFour) {
  RecordingOwner owner;
  CMyConsolePipe busy(&owner, 0);
  ASSERT_EQ(busy.Execute("sleep 5"), kPipeOk);
  EXPECT_EQ(busy.Execute("echo no"), kPipeBusy);
  busy.TerminateChild(1000);

  RecordingOwner shell_owner;
  CMyConsolePipe shell(&shell_owner, kPipeModeKeepOpen | kPipeModeNoConversion);
  ASSERT_EQ(shell.Execute("echo one"), kPipeOk);
  ASSERT_EQ(shell.Execute("echo two; x=3"), kPipeOk);
  ASSERT_EQ(shell.Execute("echo $x"), kPipeOk);
  ASSERT_TRUE(PumpUntil([&] { return shell_owner.joined == "one\ntwo\n3\n"; }));
  EXPECT_TRUE(shell.IsRunning());
  EXPECT_TRUE(shell.SendChildInput("exit 0\n"));
  ASSERT_TRUE(PumpUntil([&] { return !shell_owner.ended.empty() && shell.HasExited(); }));
  EXPECT_EQ(shell.ExitCode(), 0);
}

TEST(ConsolePipeTest, StopEndsTheReaderAtOnceAndLateMessagesAreDropped) {
  RecordingOwner owner;
  pid_t child = -1;
  {
    CMyConsolePipe pipe(&owner, 0);
    ASSERT_EQ(pipe.Execute("echo started; exec sleep 30"), kPipeOk);
    child = pipe.ChildPid();
    // Wait until the reader has taken the text (it is posted, not yet run).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (CConsolePipe::CollectedOutput().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const auto start = std::chrono::steady_clock::now();
    pipe.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(pipe.HasExited());
  }
  // The destroyed pipe ended its child, and its queued messages go nowhere.
  RunPendingMainThreadCalls();
  EXPECT_TRUE(owner.texts.empty());
  EXPECT_TRUE(owner.ended.empty());
  EXPECT_EQ(::kill(child, 0), -1);
}

TEST(ConsolePipeTest, TheCollectedOutputStartsAfreshWithEveryPipe) {
  {
    CConsolePipe first(0);
    ASSERT_EQ(first.Execute("echo first"), kPipeOk);
    ASSERT_TRUE(PumpUntil([&] { return first.HasExited() && !first.IsRunning(); }));
    EXPECT_EQ(CConsolePipe::CollectedOutput(), "first\n");
  }
  CConsolePipe second(0);
  EXPECT_EQ(CConsolePipe::CollectedOutput(), "");
}

TEST(ConsolePipeTest, AMissingInterpreterProgramIsReportedByTheShell) {
  RecordingOwner owner;
  CMyConsolePipe pipe(&owner, 0);
  ASSERT_EQ(pipe.Execute("/no/such/program --x"), kPipeOk);
  ASSERT_TRUE(PumpUntil([&] { return !owner.ended.empty() && pipe.HasExited(); }));
  EXPECT_EQ(pipe.ExitCode(), 127);
  EXPECT_THAT(owner.joined, ::testing::HasSubstr("/no/such/program"));
}

}  // namespace
}  // namespace qv3
