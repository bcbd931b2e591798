// Page file writer and reader: exact bytes, round trips and hostile input.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <cstdlib>
#include <clocale>
#include <unistd.h>
#include <string>

#include "pagefile/scorelet_file_array.h"
#include "platform/recording_ui.h"

namespace qv3 {
namespace {

// Removes this process's temp folder when the test binary ends.
struct TempFolderCleaner {
  ~TempFolderCleaner() {
    std::error_code ignored;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("qv3_pagefile_test_" + std::to_string(::getpid())), ignored);
  }
} temp_folder_cleaner;

ScoreletObjectParams Params(int kind, int index, int page, ScoreletPoint p0, ScoreletPoint p1 = {}) {
  ScoreletObjectParams params;
  params.kind = kind;
  params.index = index;
  params.page = page;
  params.points = {p0, p1};
  params.point_count = (kind == kScoreletVector || kind == kScoreletTextBlock) ? 2 : 1;
  return params;
}

// One object of every kind.
CScoreletFileArray SmallDocument() {
  CScoreletFileArray a;
  a.set_page_count(2);
  a.Add(ScoreletObject::Build(Params(kScoreletBitmap, 12, 1, {40, 50})));
  auto vector = Params(kScoreletVector, kVectorLine, 1, {10, 10}, {100, 10});
  vector.pen_width = 2;
  vector.colour = 0xff0000;
  a.Add(ScoreletObject::Build(vector));
  auto line = Params(kScoreletTextLine, 1, 2, {200, 300});
  line.size = 160;
  line.angle = 450;
  line.bold = 1;
  line.underline = 1;
  line.colour = 0x00a0ff;
  line.text = "Andante con moto";
  a.Add(ScoreletObject::Build(line));
  auto block = Params(kScoreletTextBlock, 3, 2, {20, 30}, {-1, -1});
  block.size = 120;
  block.text = "Text Block:\r\n\r\nSet the size with the Mouse.";
  a.Add(ScoreletObject::Build(block));
  auto signature = Params(kScoreletTimeSignature, 8, 1, {60, 70});
  signature.colour = 0x1;
  a.Add(ScoreletObject::Build(signature));
  return a;
}

std::string TempPath(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("qv3_pagefile_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

const char kSmallDocumentFile[] =
    "scorelet_pagecount 2\r\n"
    "\r\n"
    "scorelet_bitmap 12 1 40 50\r\n"
    "scorelet_vector 1 1 10 10 100 10 2 0xff0000\r\n"
    "scorelet_textline 1 2 200 300 160 450 1 0 1 0x00a0ff \"Andante con moto\"\r\n"
    "scorelet_textblockbegin 3 2 20 30 -1 -1 120 0x000000\r\n"
    "Text Block:\r\n"
    "\r\n"
    "Set the size with the Mouse.\r\n"
    "scorelet_textblockend\r\n"
    "scorelet_timesignature 8 1 60 70 0x000001\r\n";

TEST(PageTextTest, WritesExactBytes) {
  CScoreletFileArray a = SmallDocument();
  EXPECT_EQ(a.FileText(), kSmallDocumentFile);
  std::string in_memory = a.WriteText(false);
  EXPECT_EQ(in_memory.find('\r'), std::string::npos);
  EXPECT_EQ(in_memory.substr(0, 22), "scorelet_pagecount 2\n\n");

  std::string path = TempPath("exact.txt");
  ASSERT_TRUE(a.Save(path, false));
  EXPECT_EQ(ReadBytes(path), kSmallDocumentFile);
}

TEST(PageTextTest, SelectionOnlyHasNoPageCountAndOnlySelected) {
  CScoreletFileArray a = SmallDocument();
  a.at(1).selected = 1;
  a.at(4).selected = 1;
  EXPECT_EQ(a.WriteText(true),
            "scorelet_vector 1 1 10 10 100 10 2 0xff0000\n"
            "scorelet_timesignature 8 1 60 70 0x000001\n");
}

TEST(PageTextTest, RoundTripsEveryKindAndField) {
  CScoreletFileArray a = SmallDocument();
  CScoreletFileArray b;
  b.LoadFromText(a.FileText());
  ASSERT_EQ(b.size(), a.size());
  EXPECT_EQ(b.page_count(), 2);
  for (int i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(i);
    const ScoreletObject& x = a.at(i);
    const ScoreletObject& y = b.at(i);
    EXPECT_EQ(y.kind, x.kind);
    EXPECT_EQ(y.index, x.index);
    EXPECT_EQ(y.page, x.page);
    EXPECT_EQ(y.point_count, x.point_count);
    for (int p = 0; p < x.point_count; ++p) {
      EXPECT_EQ(y.points[p].x, x.points[p].x);
      EXPECT_EQ(y.points[p].y, x.points[p].y);
    }
    EXPECT_EQ(y.pen_width, x.pen_width);
    EXPECT_EQ(y.size, x.size);
    EXPECT_EQ(y.colour, x.colour);
    EXPECT_EQ(y.text, x.text);
    EXPECT_EQ(y.font, x.font);
    EXPECT_EQ(y.selected, 0);
  }
  EXPECT_EQ(b.at(2).font->escapement, 450);
  EXPECT_EQ(b.at(2).font->weight, 700);
  EXPECT_EQ(b.at(3).points[1].x, -1);  // the default-size end point survives
  EXPECT_EQ(b.FileText(), a.FileText());
}

TEST(PageTextTest, SymbolFaceTextLineIsWrittenWithoutStyles) {
  CScoreletFileArray a;
  auto line = Params(kScoreletTextLine, kScoreletSymbolFontIndex, 1, {5, 6});
  line.size = 100;
  line.angle = 900;
  line.bold = line.italic = line.underline = 1;
  line.text = "q";
  a.Add(ScoreletObject::Build(line));
  EXPECT_EQ(a.WriteText(false),
            "scorelet_pagecount 1\n\nscorelet_textline 4 1 5 6 100 0 0 0 0 0x000000 \"q\"\n");
}

TEST(PageTextTest, PageCountAndHighestPage) {
  CScoreletFileArray a;
  a.LoadFromText("scorelet_pagecount 3\n");
  EXPECT_EQ(a.page_count(), 3);
  EXPECT_TRUE(a.empty());

  a.LoadFromText("");
  EXPECT_EQ(a.page_count(), 1);

  CScoreletFileArray b;
  b.LoadFromText("scorelet_pagecount 2\r\n\r\nscorelet_bitmap 0 5 1 1\r\n");
  EXPECT_EQ(b.page_count(), 5);
}

TEST(PageTextTest, LinesThatAreIgnored) {
  CScoreletFileArray a;
  int count = 7;
  a.ReadText(
      "; scorelet_bitmap 1 1 1 1\n"
      ";scorelet_bitmap 1 1 1 1\n"
      "scorelet_vector 1 1 10 10 100 10 2 0xff0000 9\n"  // one number too many
      "scorelet_vector 1 1 10 10 100 10 2\n"             // one too few
      "scorelet_bitmaps 1 1 1 1\n"                       // not the keyword
      "scorelet_textline 0 1 5 5 120 0 0 0 0 0x0 \"say \"hi\" now\"\n"  // 13 tokens
      "loop_item 1 2 3\n"
      "scorelet_pagecount\n",
      &count, 0, 0, 0, 0);
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(count, 7);
}

TEST(PageTextTest, EmptyTextLineIsReadButNotWritten) {
  CScoreletFileArray a;
  a.LoadFromText("scorelet_textline 0 1 5 5 120 0 0 0 0 0x0 \"\"\n");
  ASSERT_EQ(a.size(), 1);
  EXPECT_FALSE(a.at(0).font.has_value());
  EXPECT_EQ(a.WriteText(false), "scorelet_pagecount 1\n\n");
}

TEST(PageTextTest, TextLineQuotesAndLineBreaksAreMadeSafeWhenWritten) {
  CScoreletFileArray a;
  auto line = Params(kScoreletTextLine, 0, 1, {1, 2});
  line.size = 120;
  line.text = "say \"hi\"\r\nnow\nplease";
  a.Add(ScoreletObject::Build(line));
  const std::string text = a.FileText();
  EXPECT_NE(text.find("\"say 'hi'  now please\"\r\n"), std::string::npos) << text;
  CScoreletFileArray b;
  b.LoadFromText(text);
  ASSERT_EQ(b.size(), 1);  // it reads back instead of vanishing
  EXPECT_EQ(b.at(0).text, "say 'hi'  now please");
  EXPECT_EQ(ScoreletTextLineSafe("a\"b\rc\nd"), "a'b c d");
}

TEST(PageTextTest, MissingClosingQuoteRunsToLineEnd) {
  CScoreletFileArray a;
  a.LoadFromText("scorelet_textline 0 1 5 5 120 0 0 0 0 0x0 \"open ended text\r\n");
  ASSERT_EQ(a.size(), 1);
  EXPECT_EQ(a.at(0).text, "open ended text");
}

TEST(PageTextTest, TextBlockLines) {
  CScoreletFileArray a;
  a.LoadFromText(
      "scorelet_textblockbegin 0 1 0 0 300 150 120 0x0\r\n"
      "   leading blanks go\t\r\n"
      "scorelet_bitmap 1 1 1 1\r\n"  // text, not a symbol
      "; not a comment here\r\n"
      "\r\n"
      "  scorelet_textblockend  \r\n"
      "scorelet_bitmap 2 1 3 4\r\n");
  ASSERT_EQ(a.size(), 2);
  EXPECT_EQ(a.at(0).text, "leading blanks go\r\nscorelet_bitmap 1 1 1 1\r\n; not a comment here\r\n");
  EXPECT_EQ(a.at(1).kind, kScoreletBitmap);

  // Without an end line every remaining line belongs to the block.
  CScoreletFileArray b;
  b.LoadFromText("scorelet_textblockbegin 0 1 0 0 300 150 120 0x0\nA\nscorelet_bitmap 2 1 3 4");
  ASSERT_EQ(b.size(), 1);
  EXPECT_EQ(b.at(0).text, "A\r\nscorelet_bitmap 2 1 3 4");
}

TEST(PageTextTest, TextBlockWriterKeepsBlockClosed) {
  CScoreletFileArray a;
  auto block = Params(kScoreletTextBlock, 0, 1, {0, 0}, {300, 150});
  block.size = 120;
  // Line feeds alone (as a Linux editor gives them), a lone CR, and a line
  // that would otherwise end the block early.
  block.text = "one\ntwo\rthree\nscorelet_textblockend\r\nscorelet_bitmap 1 1 1 1";
  a.Add(ScoreletObject::Build(block));
  CScoreletFileArray b;
  b.LoadFromText(a.FileText());
  ASSERT_EQ(b.size(), 1);
  EXPECT_EQ(b.at(0).text, "one\r\ntwo three\r\n'scorelet_textblockend'\r\nscorelet_bitmap 1 1 1 1");
}

TEST(PageTextTest, NumbersAreParsedLikeDecimalsAndRangeChecked) {
  CScoreletFileArray a;
  int count = 0;
  a.ReadText(
      "scorelet_bitmap x 1 12abc -7\n"
      "scorelet_bitmap 99999999999999999999 0 99999999999 -99999999999\n"
      "scorelet_vector 0 -3 -1 -1 +5 6 5000000 0xFFFFFFFFFF\n"
      "scorelet_textline 9 1 0 0 999999 -99999 1 7 0 zz \"t\"\n"
      "scorelet_pagecount 5000\n",
      &count, 0, 0, 0, 0);
  ASSERT_EQ(a.size(), 4);
  EXPECT_EQ(a.at(0).index, 0);
  EXPECT_EQ(a.at(0).points[0].x, 12);
  EXPECT_EQ(a.at(0).points[0].y, -7);
  EXPECT_EQ(a.at(1).index, INT32_MAX);  // unknown indexes are kept
  EXPECT_EQ(a.at(1).page, 1);
  EXPECT_EQ(a.at(1).points[0].x, kScoreletMaxCoordinate);
  EXPECT_EQ(a.at(1).points[0].y, -kScoreletMaxCoordinate);
  EXPECT_EQ(a.at(2).page, 1);
  EXPECT_EQ(a.at(2).points[0].x, -1);
  EXPECT_EQ(a.at(2).points[1].x, 5);
  EXPECT_EQ(a.at(2).pen_width, kScoreletMaxPenWidth);
  EXPECT_EQ(a.at(2).colour, 0xFFFFFFu);
  EXPECT_EQ(a.at(3).size, kScoreletMaxTextSize);
  EXPECT_EQ(a.at(3).font->escapement, -kScoreletMaxAngle);
  EXPECT_EQ(a.at(3).font->face, "Arial");  // font index 9 falls back to 0
  EXPECT_EQ(a.at(3).index, 9);
  EXPECT_EQ(a.at(3).Italic(), 1);
  EXPECT_EQ(a.at(3).colour, 0u);
  EXPECT_EQ(count, kScoreletMaxPages);
}

TEST(PageTextTest, PasteWithOffsetsSelectsCopies) {
  CScoreletFileArray a = SmallDocument();
  a.at(0).selected = 1;
  a.at(1).selected = 1;
  const std::string clip = a.WriteText(true);
  a.SelectNone();
  a.ReadText(clip, nullptr, 30, 30, 1, 1);
  ASSERT_EQ(a.size(), 7);
  EXPECT_EQ(a.page_count(), 2);  // the paste never touches the page count
  const ScoreletObject& symbol = a.at(5);
  EXPECT_EQ(symbol.page, 2);
  EXPECT_EQ(symbol.points[0].x, 70);
  EXPECT_EQ(symbol.points[0].y, 80);
  EXPECT_EQ(symbol.selected, 1);
  EXPECT_EQ(a.at(6).points[1].x, 130);
  EXPECT_EQ(a.at(0).selected, 0);
}

TEST(PageTextTest, LongLinesAreReadWhole) {
  std::string text(100000, 'a');
  std::string file = "scorelet_pagecount 1\r\n\r\nscorelet_textline 0 1 5 5 120 0 0 0 0 0x0 \"" + text + "\"\r\n" +
                     "scorelet_bitmap 3 1 1 1\r\n" + std::string(100000, 'z') + "\r\n";
  std::string path = TempPath("long.txt");
  WriteBytes(path, file);
  CScoreletFileArray a;
  ASSERT_TRUE(a.Load(path));
  ASSERT_EQ(a.size(), 2);
  EXPECT_EQ(a.at(0).text, text);
  EXPECT_EQ(a.at(1).index, 3);
}

TEST(PageTextTest, TruncatedFilesNeverBreakReading) {
  const std::string full = SmallDocument().FileText();
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    CScoreletFileArray a;
    a.LoadFromText(std::string_view(full).substr(0, cut));
    EXPECT_LE(a.size(), 5);
    EXPECT_GE(a.page_count(), 1);
    // Whatever was read writes and reads back unchanged.
    CScoreletFileArray b;
    b.LoadFromText(a.FileText());
    EXPECT_EQ(b.FileText(), a.FileText()) << "cut at " << cut;
  }
}

TEST(PageTextTest, GarbageIsSkipped) {
  std::mt19937 random(1234);
  std::string garbage(20000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  CScoreletFileArray a;
  a.LoadFromText(garbage + "\nscorelet_bitmap 4 1 2 3\n" + garbage);
  ASSERT_GE(a.size(), 1);
  bool found = false;
  for (const auto& o : a.objects()) found |= (o->kind == kScoreletBitmap && o->index == 4);
  EXPECT_TRUE(found);
}

// Switches to a German (decimal comma) locale, compiling one into a temp
// folder when the system has none installed.
bool UseCommaLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) return true;
  const std::string dir = TempPath("locales");
  std::filesystem::create_directories(dir);
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 && !std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC"))
    return false;
  ::setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(PageTextTest, WritesAndReadsTheSameUnderACommaLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  if (!UseCommaLocale()) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  CScoreletFileArray a = SmallDocument();
  std::string text = a.FileText();
  CScoreletFileArray b;
  b.LoadFromText(kSmallDocumentFile);
  std::string reread = b.FileText();
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(text, kSmallDocumentFile);
  EXPECT_EQ(reread, kSmallDocumentFile);
}

}  // namespace
}  // namespace qv3
