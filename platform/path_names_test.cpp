#include "platform/path_names.h"

#include <gtest/gtest.h>

namespace qv3 {
namespace {

TEST(PathNamesTest, NamesComeFromTheLastComponent) {
  EXPECT_EQ(PathFileName("/music/My Song.MP3"), "My Song.MP3");
  EXPECT_EQ(PathTitle("/music/My Song.MP3"), "My Song");
  EXPECT_EQ(PathExtension("/music/My Song.MP3"), "mp3");
  EXPECT_EQ(PathTitle("/music/a.b.c.wav"), "a.b.c");
  EXPECT_EQ(PathExtension("/music/a.b.c.wav"), "wav");

  // A dot in a folder name is not an extension.
  EXPECT_EQ(PathTitle("/home/u/v1.2/song"), kUnknownName);
  EXPECT_EQ(PathExtension("/home/u/v1.2/song"), kUnknownName);
  EXPECT_EQ(PathFileName("/home/u/v1.2/song"), "song");

  // Without a "/" there is no file name or title; the extension still counts.
  EXPECT_EQ(PathFileName("song.mp3"), kUnknownName);
  EXPECT_EQ(PathTitle("song.mp3"), kUnknownName);
  EXPECT_EQ(PathExtension("song.mp3"), "mp3");
  EXPECT_EQ(PathExtension("song"), kUnknownName);

  // A leading dot starts no title.
  EXPECT_EQ(PathTitle("/home/u/.wav"), kUnknownName);
  EXPECT_EQ(PathFileName("/music/"), "");
}

TEST(PathNamesTest, TypeClassesIgnoreCase) {
  EXPECT_TRUE(IsAudioFile("/m/SONG.MP3"));
  EXPECT_TRUE(IsVideoFile("/m/clip.FLV"));
  EXPECT_FALSE(IsAudioFile("/m/notes.txt"));
  EXPECT_FALSE(IsVideoFile("/m/notes.txt"));
  EXPECT_TRUE(IsWavFile("/m/Take.Wav"));
  EXPECT_TRUE(IsAudioFile("/m/Take.Wav"));
  EXPECT_FALSE(IsWavFile("/m/Take.mp3"));
  // mp4 is audio (tested first), not video; m4v is video.
  EXPECT_TRUE(IsAudioFile("/m/a.mp4"));
  EXPECT_FALSE(IsVideoFile("/m/a.mp4"));
  EXPECT_TRUE(IsVideoFile("/m/a.m4v"));
  for (const char* ext : {"wav", "mp3", "aac", "mp4", "m4a", "mp1", "aif", "wma", "ogg", "cda"}) {
    EXPECT_TRUE(IsAudioFile(std::string("/x/y.") + ext)) << ext;
  }
  for (const char* ext : {"avi", "m4v", "mpg", "mov", "flv", "wmv", "rm"}) {
    EXPECT_TRUE(IsVideoFile(std::string("/x/y.") + ext)) << ext;
  }
  // The extension must be the whole text after the dot.
  EXPECT_FALSE(IsAudioFile("/x/y.wave"));
  EXPECT_FALSE(IsVideoFile("/x/y.rmvb"));
  EXPECT_FALSE(IsAudioFile("/x/wav"));
  EXPECT_FALSE(IsAudioFile("/x.wav/y"));
}

}  // namespace
}  // namespace qv3
