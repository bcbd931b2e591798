#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

std::string Read(const std::string& path) {
  std::string s;
  ReadWholeFile(path, &s);
  return s;
}

TEST(ProfileFileTest, ReadsAsWindowsDoes) {
  TempDir tmp;
  std::string ini = tmp.WriteFile("a.ini",
                                  "; comment = not a key\r\n"
                                  "[Quaverly 3]\r\n"
                                  "  FFMpegExe =  /usr/bin/ffmpeg  \r\n"
                                  "Quoted=\"  spaced value  \"\r\n"
                                  "Single='x'\r\n"
                                  "Half=\"open\r\n"
                                  "Inner=a \"b\" c\r\n"
                                  "Semi=-vn;-ac 2 ; kept\r\n"
                                  "Commas=a,b,c\r\n"
                                  "Empty=\r\n"
                                  "ffmpegexe=second\r\n"
                                  "[ quaverly 3 ]\r\n"
                                  "Later=hidden\r\n");
  EXPECT_EQ(GetProfileString("quaverly 3", "ffmpegEXE", "x", ini), "/usr/bin/ffmpeg");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Quoted", "x", ini), "  spaced value  ");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Single", "d", ini), "x");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Half", "x", ini), "\"open");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Inner", "x", ini), "a \"b\" c");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Semi", "x", ini), "-vn;-ac 2 ; kept");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Commas", "x", ini), "a,b,c");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Empty", "x", ini), "");
  // Only the first section of a name counts, and comments are no keys.
  EXPECT_EQ(GetProfileString("Quaverly 3", "Later", "dflt", ini), "dflt");
  EXPECT_EQ(GetProfileString("", "; comment", "dflt", ini), "dflt");
  EXPECT_EQ(GetProfileString("Quaverly 3", "Missing", "dflt", ini), "dflt");
  EXPECT_EQ(GetProfileString("Other", "FFMpegExe", "dflt", ini), "dflt");
  EXPECT_EQ(GetProfileString("Quaverly 3", "FFMpegExe", "dflt", tmp.Sub("none.ini")), "dflt");
  EXPECT_EQ(GetProfileKeys("QUAVERLY 3", ini),
            (std::vector<std::string>{"FFMpegExe", "Quoted", "Single", "Half", "Inner", "Semi",
                                      "Commas", "Empty", "ffmpegexe"}));
  EXPECT_EQ(GetProfileSections(ini), (std::vector<std::string>{"Quaverly 3", "quaverly 3"}));
}

TEST(ProfileFileTest, BufferLimitAndLongValues) {
  TempDir tmp;
  std::string ini = tmp.Sub("a.ini");
  std::string long_value(100000, 'v');
  long_value += "end";
  ASSERT_TRUE(WriteProfileString("S", "Long", long_value, ini));
  ASSERT_TRUE(WriteProfileString("S", "After", "1", ini));
  EXPECT_EQ(GetProfileString("S", "Long", "", ini, SIZE_MAX), long_value);
  EXPECT_EQ(GetProfileString("S", "Long", "", ini), std::string(259, 'v'));
  EXPECT_EQ(GetProfileString("S", "Long", "", ini, 4), "vvv");
  EXPECT_EQ(GetProfileString("S", "Missing", "abcdef", ini, 4), "abc");
  EXPECT_EQ(GetProfileString("S", "After", "", ini), "1");
}

TEST(ProfileFileTest, Integers) {
  TempDir tmp;
  std::string ini = tmp.WriteFile("a.ini", "[S]\nA=42\nB= -7 \nC=12abc\nD=abc\nE=\nF=99999999999\n");
  EXPECT_EQ(GetProfileInt("s", "a", 0, ini), 42);
  EXPECT_EQ(GetProfileInt("S", "B", 0, ini), -7);
  EXPECT_EQ(GetProfileInt("S", "C", 0, ini), 12);
  EXPECT_EQ(GetProfileInt("S", "D", 5, ini), 0);
  EXPECT_EQ(GetProfileInt("S", "E", 5, ini), 5);
  EXPECT_EQ(GetProfileInt("S", "F", 5, ini), 2147483647);
  EXPECT_EQ(GetProfileInt("S", "Missing", 5, ini), 5);
}

TEST(ProfileFileTest, WritesKeepTheRestOfTheFile) {
  TempDir tmp;
  std::string ini = tmp.WriteFile("a.ini",
                                  "; made by hand\r\n"
                                  "[Quaverly 3]\r\n"
                                  "FFMpegExe=/old\r\n"
                                  "; keep me\r\n"
                                  "\r\n"
                                  "[EQPresets]\r\n"
                                  "Rock=1 2 3\r\n");
  ASSERT_TRUE(WriteProfileString("QUAVERLY 3", "ffmpegexe", "/usr/bin/ffmpeg", ini));
  ASSERT_TRUE(WriteProfileString("Quaverly 3", "FFPlayExe", "/usr/bin/ffplay", ini));
  ASSERT_TRUE(WriteProfileString("New", "Key", "line1\nInjected=1", ini));
  EXPECT_EQ(Read(ini),
            "; made by hand\r\n"
            "[Quaverly 3]\r\n"
            "ffmpegexe=/usr/bin/ffmpeg\r\n"
            "; keep me\r\n"
            "FFPlayExe=/usr/bin/ffplay\r\n"
            "\r\n"
            "[EQPresets]\r\n"
            "Rock=1 2 3\r\n"
            "[New]\r\n"
            "Key=line1 Injected=1\r\n");
  EXPECT_EQ(GetProfileString("New", "Injected", "none", ini), "none");

  ASSERT_TRUE(EraseProfileSection("eqpresets", ini));
  ASSERT_TRUE(DeleteProfileKey("quaverly 3", "FFPLAYEXE", ini));
  EXPECT_EQ(GetProfileSections(ini), (std::vector<std::string>{"Quaverly 3", "New"}));
  EXPECT_EQ(GetProfileKeys("Quaverly 3", ini), (std::vector<std::string>{"ffmpegexe"}));
  EXPECT_EQ(GetProfileString("Quaverly 3", "FFMpegExe", "", ini), "/usr/bin/ffmpeg");
}

TEST(ProfileFileTest, CreatesFileAndLeavesNoTemporaryBehind) {
  TempDir tmp;
  std::string ini = tmp.Sub("new.ini");
  ASSERT_TRUE(WriteProfileString("EQPresets", "Flat", "0 0 0", ini));
  EXPECT_EQ(Read(ini), "[EQPresets]\nFlat=0 0 0\n");
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(tmp.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  // A folder that does not exist cannot take the file; the call says so.
  EXPECT_FALSE(WriteProfileString("S", "K", "V", tmp.Sub("missing/dir/x.ini")));
}

TEST(ProfileFileTest, DuplicatesGoTogetherOnDelete) {
  TempDir tmp;
  std::string ini = tmp.WriteFile("a.ini", "[A]\nk=1\nK=2\n[B]\nx=1\n[a]\nk=3\n");
  ASSERT_TRUE(DeleteProfileKey("A", "k", ini));
  EXPECT_EQ(GetProfileString("A", "k", "gone", ini), "gone");
  ASSERT_TRUE(EraseProfileSection("A", ini));
  EXPECT_EQ(Read(ini), "[B]\nx=1\n");
}

}  // namespace
}  // namespace qv3
