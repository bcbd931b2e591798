#include "app/command_line.h"

#include <unistd.h>

#include "app/app_test_env.h"

namespace qv3 {
namespace {

using CommandLineTest = AppEnvTest;

const char kOneArgument[] =
    "Please pass only one Argument on the Command-line, thanks.  Also, if there are spaces in the "
    "file path, please surround it with double-quotes.";

TEST_F(CommandLineTest, NoArgumentIsQuiet) {
  EXPECT_EQ(StartFileFromArguments({}), "");
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(CommandLineTest, PathWithSpacesIsOneArgumentAndMadeAbsolute) {
  std::string song = tmp_.WriteFile("my songs/a song.wav", "RIFF....");
  EXPECT_EQ(StartFileFromArguments({song}), song);
  ASSERT_EQ(chdir(tmp_.path().c_str()), 0);
  EXPECT_EQ(StartFileFromArguments({"./my songs/../my songs/a song.wav"}), song);
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(CommandLineTest, TwoArgumentsWarnAndGiveNoStartFile) {
  std::string a = tmp_.WriteFile("a.wav", "x");
  std::string b = tmp_.WriteFile("b.wav", "x");
  EXPECT_EQ(StartFileFromArguments({a, b}), "");
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, kOneArgument);
  EXPECT_EQ(ui_->messages[0].caption, "Quaverly 3");
}

TEST_F(CommandLineTest, MissingEmptyOrFolderIsNotFound) {
  std::string empty = tmp_.WriteFile("empty.wav", "");
  for (const std::string& path : {tmp_.Sub("missing.wav"), empty, tmp_.path()}) {
    ui_->messages.clear();
    EXPECT_EQ(StartFileFromArguments({path}), "");
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0].text, "The file path passed on the Command-line was not found:\n\n\t" +
                                         path + "\n\nContinuing without it...");
  }
}

TEST_F(CommandLineTest, PercentSignsInThePathAreNotFormatted) {
  std::string path = tmp_.Sub("100%s %d.wav");
  EXPECT_EQ(StartFileFromArguments({path}), "");
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_NE(ui_->messages[0].text.find("\t" + path + "\n"), std::string::npos);
}

}  // namespace
}  // namespace qv3
