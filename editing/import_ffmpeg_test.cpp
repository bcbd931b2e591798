#include "editing/import_ffmpeg.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

TEST(ConverterOutputTest, ClockValuesParseAndNonsenseIsSkipped) {
  double s = -1;
  EXPECT_TRUE(ParseClockSeconds("00:01:23.45 bitrate=1411.2kbits/s", &s));
  EXPECT_DOUBLE_EQ(s, 83.45);
  EXPECT_TRUE(ParseClockSeconds("01:00:00.00", &s));
  EXPECT_DOUBLE_EQ(s, 3600.0);
  EXPECT_TRUE(ParseClockSeconds("83.45", &s));
  EXPECT_DOUBLE_EQ(s, 83.45);
  EXPECT_TRUE(ParseClockSeconds("12:30", &s));
  EXPECT_DOUBLE_EQ(s, 750.0);
  s = 7;
  EXPECT_FALSE(ParseClockSeconds("N/A bitrate=N/A", &s));
  EXPECT_FALSE(ParseClockSeconds("-00:00:00.02", &s));
  EXPECT_FALSE(ParseClockSeconds("", &s));
  EXPECT_FALSE(ParseClockSeconds("00:0a:00", &s));
  EXPECT_FALSE(ParseClockSeconds("00.5:10", &s));
  EXPECT_EQ(s, 7);
}

TEST(ConverterOutputTest, DurationAndTimeComeFromDebiansOutput) {
  const std::string probe =
      "ffmpeg version 5.1.6-0+deb12u1 Copyright (c) 2000-2024 the FFmpeg developers\n"
      "  built with gcc 12 (Debian 12.2.0-14)\n"
      "Input #0, avi, from 'clip.avi':\n"
      "  Duration: 00:03:12.34, start: 0.000000, bitrate: 512 kb/s\n";
  double s = 0;
  ASSERT_TRUE(FindDuration(probe, &s));
  EXPECT_DOUBLE_EQ(s, 192.34);
  EXPECT_FALSE(FindDuration("  Duration: N/A, bitrate: N/A\n", &s));
  EXPECT_FALSE(FindDuration("  Duration: 00:00:00.00, start\n", &s));
  EXPECT_FALSE(FindDuration("no label here", &s));

  ASSERT_TRUE(FindConvertedTime(
      "size=    1024kB time=00:00:05.94 bitrate=1411.3kbits/s speed= 118x    \r", &s));
  EXPECT_DOUBLE_EQ(s, 5.94);
  // The last readable value of a piece wins; N/A and negatives are skipped.
  ASSERT_TRUE(FindConvertedTime("a time=00:00:01.00 b\r c time=00:00:02.50 d\r e time=N/A\r"
                                " f time=-00:00:00.02\r",
                                &s));
  EXPECT_DOUBLE_EQ(s, 2.5);
  ASSERT_TRUE(FindConvertedTime(" time=99999999999.0", &s));
  EXPECT_EQ(s, 0.0);
  EXPECT_FALSE(FindConvertedTime("time=00:00:01.00 (no blank before)", &s));
}

TEST(ConverterOutputTest, ReportShowsWhatFollowsTheBuiltOnLineOrEverything) {
  EXPECT_EQ(ConverterReportText("banner\n  built on Jan 1 2009\nconfiguration: x\nError!\n"),
            "configuration: x\nError!\n");
  const std::string debian = "ffmpeg version 5.1\n  built with gcc 12\nclip.mov: Invalid data\n";
  EXPECT_EQ(ConverterReportText(debian), debian);

  TempDir dir;
  ScopedRecordingUi ui;
  ShowConverterFailureReport(dir.path(), debian);
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text,
            "The conversion command failed.  The output from the converter is:\n\n" + debian);
  EXPECT_EQ(ui->messages[0].caption, "Quaverly 3");
  // The temp folder is gone: the collected output is shown as it is.
  ShowConverterFailureReport(dir.Sub("missing"), "x\n built on y\nrest");
  EXPECT_EQ(ui->messages[1].text,
            "The conversion command failed.  The output from the converter is:\n\nrest");
}

TEST(ConverterScriptTest, EveryPathAndOptionIsOneQuotedWord) {
  EXPECT_THAT(SplitOptions("  -vn -af \"volume=2, aresample=44100\" -ac 2 -metadata 'title=a b'"),
              ::testing::ElementsAre("-vn", "-af", "volume=2, aresample=44100", "-ac", "2",
                                     "-metadata", "title=a b"));
  EXPECT_EQ(ExtractScriptText("/usr/bin/ffmpeg", "/v/it's.avi", "-vn -ac 2", "/t/$(x).wav"),
            "'/usr/bin/ffmpeg' -y -i '/v/it'\\''s.avi' '-vn' '-ac' '2' '/t/$(x).wav'\n");
  EXPECT_EQ(ProbeScriptText("/opt/my ffmpeg", "/v/a`b`.mov"),
            "'/opt/my ffmpeg' -i '/v/a`b`.mov'\n");
  EXPECT_EQ(ScriptCommand("/t/it's/ExtractAudioFromVideo.sh"),
            "/bin/sh '/t/it'\\''s/ExtractAudioFromVideo.sh'");
}

}  // namespace
}  // namespace qv3
