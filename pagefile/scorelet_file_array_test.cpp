// CScoreletFileArray operations, fonts, and loading and saving files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "pagefile/scorelet_file_array.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

// Removes this process's temp folder when the test binary ends.
struct TempFolderCleaner {
  ~TempFolderCleaner() {
    std::error_code ignored;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("qv3_pagefile_array_" + std::to_string(::getpid())), ignored);
  }
} temp_folder_cleaner;

std::unique_ptr<ScoreletObject> Symbol(int page, int x, int y, int index = 0) {
  ScoreletObjectParams params;
  params.index = index;
  params.page = page;
  params.points[0] = {x, y, 0, 0};
  return ScoreletObject::Build(params);
}

std::unique_ptr<ScoreletObject> Vector(int page, ScoreletPoint p0, ScoreletPoint p1) {
  ScoreletObjectParams params;
  params.kind = kScoreletVector;
  params.index = kVectorSlur;
  params.page = page;
  params.points = {p0, p1};
  params.point_count = 2;
  return ScoreletObject::Build(params);
}

std::string TempDir() {
  auto dir = std::filesystem::temp_directory_path() / ("qv3_pagefile_array_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ScoreletFontTest, BuiltFromIndexSizeAndStyle) {
  ScoreletFont f = MakeScoreletFont(1, 120, 450, 1, 1, 0);
  EXPECT_EQ(f.face, "Times New Roman");
  EXPECT_EQ(f.height, 120);
  EXPECT_EQ(f.width, 0);
  EXPECT_EQ(f.escapement, 450);
  EXPECT_EQ(f.orientation, 450);
  EXPECT_EQ(f.weight, 700);
  EXPECT_EQ(f.italic, 1);
  EXPECT_EQ(f.underline, 0);

  EXPECT_EQ(MakeScoreletFont(0, 120, 0, 2, 0, 0).weight, 400);  // bold means exactly 1
  EXPECT_EQ(MakeScoreletFont(-3, 80, 0, 0, 0, 0).face, "Arial");
  EXPECT_EQ(MakeScoreletFont(5, 80, 0, 0, 0, 0).face, "Arial");

  ScoreletFont symbols = MakeScoreletFont(4, 500, 900, 1, 1, 1);
  EXPECT_EQ(symbols.face, "MusicalSymbols");
  EXPECT_EQ(symbols.height, 240);
  EXPECT_EQ(symbols.escapement, 0);
  EXPECT_EQ(symbols.weight, 400);
  EXPECT_EQ(symbols.italic + symbols.underline, 0);
}

TEST(ScoreletObjectTest, FontOnlyWithText) {
  ScoreletObjectParams params;
  params.kind = kScoreletTextLine;
  params.size = 100;
  auto empty = ScoreletObject::Build(params);
  EXPECT_FALSE(empty->font.has_value());
  params.text = "x";
  params.italic = 1;
  auto text = ScoreletObject::Build(params);
  ASSERT_TRUE(text->font.has_value());
  text->size = 200;
  text->RefreshFont();
  EXPECT_EQ(text->font->height, 200);
  EXPECT_EQ(text->Italic(), 1);
  text->text.clear();
  text->RefreshFont();
  EXPECT_FALSE(text->font.has_value());
}

TEST(ScoreletFileArrayTest, NewAndClear) {
  CScoreletFileArray a;
  EXPECT_EQ(a.page_count(), 1);
  EXPECT_TRUE(a.empty());
  a.Add(Symbol(3, 1, 1));
  a.set_page_count(4);
  EXPECT_EQ(a.HighestPage(), 3);
  a.Clear();
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.page_count(), 1);
  EXPECT_EQ(a.HighestPage(), 1);
  a.set_page_count(0);
  EXPECT_EQ(a.page_count(), 1);
  a.set_page_count(100000);
  EXPECT_EQ(a.page_count(), kScoreletMaxPages);
}

TEST(ScoreletFileArrayTest, SelectMoveAndDeleteSelected) {
  CScoreletFileArray a;
  a.Add(Symbol(1, 10, 10, 0));
  a.Add(Symbol(1, 100, 10, 1));  // on the right edge: outside
  a.Add(Symbol(1, 99, 49, 2));
  a.Add(Symbol(2, 10, 10, 3));  // other page
  a.Add(Vector(1, {20, 20}, {150, 20}));  // one point outside
  a.Add(Vector(1, {20, 20}, {30, 30}));
  a.SelectInside(1, {0, 0, 100, 50});
  std::vector<int> flags;
  for (const auto& o : a.objects()) flags.push_back(o->selected);
  EXPECT_EQ(flags, (std::vector<int>{1, 0, 1, 0, 0, 1}));

  a.MoveSelected(5, -3);
  EXPECT_EQ(a.at(0).points[0].x, 15);
  EXPECT_EQ(a.at(0).points[0].y, 7);
  EXPECT_EQ(a.at(5).points[1].x, 35);
  EXPECT_EQ(a.at(1).points[0].x, 100);
  a.MoveSelected(INT32_MAX, INT32_MIN);  // never overflows
  EXPECT_EQ(a.at(0).points[0].x, kScoreletMaxCoordinate);
  EXPECT_EQ(a.at(0).points[0].y, -kScoreletMaxCoordinate);

  a.DeleteSelected();
  ASSERT_EQ(a.size(), 3);
  EXPECT_EQ(a.at(0).index, 1);
  EXPECT_EQ(a.at(1).index, 3);
  EXPECT_EQ(a.at(2).kind, kScoreletVector);
}

TEST(ScoreletFileArrayTest, InsertAndDeletePages) {
  CScoreletFileArray a;
  a.set_page_count(3);
  a.Add(Symbol(1, 0, 0, 1));
  a.Add(Symbol(2, 0, 0, 2));
  a.Add(Symbol(3, 0, 0, 3));

  EXPECT_TRUE(a.DeletePage(2));
  ASSERT_EQ(a.size(), 2);
  EXPECT_EQ(a.at(1).index, 3);
  EXPECT_EQ(a.at(1).page, 2);
  EXPECT_EQ(a.page_count(), 2);

  EXPECT_TRUE(a.InsertPageAfter(0));
  EXPECT_EQ(a.at(0).page, 2);
  EXPECT_EQ(a.at(1).page, 3);
  EXPECT_EQ(a.page_count(), 3);
  EXPECT_TRUE(a.InsertPageAfter(3));
  EXPECT_EQ(a.at(1).page, 3);
  EXPECT_EQ(a.page_count(), 4);
  EXPECT_FALSE(a.InsertPageAfter(-1));

  EXPECT_FALSE(a.DeletePage(0));
  EXPECT_FALSE(a.DeletePage(5));  // past the last page
  EXPECT_EQ(a.page_count(), 4);

  CScoreletFileArray single;
  single.Add(Symbol(1, 0, 0));
  EXPECT_FALSE(single.DeletePage(1));  // the only page stays
  EXPECT_EQ(single.size(), 1);

  CScoreletFileArray full;
  full.set_page_count(kScoreletMaxPages);
  EXPECT_FALSE(full.InsertPageAfter(1));
}

TEST(ScoreletFileArrayTest, CloneIsDeep) {
  CScoreletFileArray a;
  a.set_page_count(2);
  a.Add(Symbol(2, 4, 5));
  CScoreletFileArray b = a.Clone();
  b.at(0).points[0].x = 99;
  EXPECT_EQ(a.at(0).points[0].x, 4);
  EXPECT_EQ(b.page_count(), 2);
  EXPECT_EQ(a.WriteText(false), "scorelet_pagecount 2\n\nscorelet_bitmap 0 2 4 5\n");
}

TEST(ScoreletFileArrayTest, LoadFailures) {
  ScopedRecordingUi ui;
  CScoreletFileArray a;
  a.Add(Symbol(1, 0, 0));
  EXPECT_FALSE(a.Load(""));
  EXPECT_TRUE(ui->messages.empty());

  a.Add(Symbol(1, 0, 0));
  const std::string missing = TempDir() + "/no such file.qvp";
  EXPECT_FALSE(a.Load(missing));
  EXPECT_TRUE(a.empty());
  ASSERT_EQ(ui->messages.size(), 1u);
  EXPECT_EQ(ui->messages[0].text, "Could not open the Project File:\n\n\t" + missing);
  EXPECT_EQ(ui->messages[0].caption, "Can't Open Project File");

  EXPECT_FALSE(a.Load(TempDir()));  // a folder opens but cannot be read
  EXPECT_EQ(ui->messages.size(), 2u);
}

TEST(ScoreletFileArrayTest, PagesAppendedToAProjectLoadFromIt) {
  ScopedRecordingUi ui;
  const std::string path = TempDir() + "/song project.qvp";
  const std::string project =
      "audio_file_path \"./song.wav\"\r\n\r\n"
      "master_pitch 0\r\n\r\n"
      "marker_item \"scorelet_bitmap 1 1 1 1\" 12.500000\r\n\r\n";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << project;
  }
  CScoreletFileArray pages;
  pages.set_page_count(2);
  pages.Add(Symbol(2, 7, 8, 5));
  ASSERT_TRUE(pages.Save(path, /*append=*/true));
  EXPECT_EQ(ReadBytes(path), project + "scorelet_pagecount 2\r\n\r\nscorelet_bitmap 5 2 7 8\r\n");

  CScoreletFileArray loaded;
  ASSERT_TRUE(loaded.Load(path));
  ASSERT_EQ(loaded.size(), 1);
  EXPECT_EQ(loaded.at(0).index, 5);
  EXPECT_EQ(loaded.page_count(), 2);
  EXPECT_TRUE(ui->messages.empty());

  // The same through an open stream.
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("master_tempo 10000\r\n", f);
  EXPECT_TRUE(pages.WriteToFile(f));
  std::fclose(f);
  EXPECT_EQ(ReadBytes(path), "master_tempo 10000\r\nscorelet_pagecount 2\r\n\r\nscorelet_bitmap 5 2 7 8\r\n");

  // Save "w" replaces; a path in a missing folder fails without a message.
  ASSERT_TRUE(pages.Save(path, false));
  EXPECT_EQ(ReadBytes(path), pages.FileText());
  EXPECT_FALSE(pages.Save(TempDir() + "/missing/x.txt", false));
  EXPECT_TRUE(ui->messages.empty());
}

}  // namespace
}  // namespace qv3
