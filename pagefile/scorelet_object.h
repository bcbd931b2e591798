// One object on a notation pad page (ScoreletObject) and the font
// description its text is drawn with. Plain data: the pad turns the font
// description into a real font when it draws; the main program never draws.
#ifndef QV3_PAGEFILE_SCORELET_OBJECT_H_
#define QV3_PAGEFILE_SCORELET_OBJECT_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv3 {

// Object kinds as stored in the page file.
enum ScoreletKind : int32_t {
  kScoreletBitmap = 0,         // symbol bitmap, index 0..36 (resource 7000 + index)
  kScoreletVector = 1,         // vector shape, index = vector kind 0..4
  kScoreletTextLine = 2,       // single text line, index = font index 0..4
  kScoreletTextBlock = 3,      // wrapped text block, index = font index 0..4
  kScoreletTimeSignature = 4,  // time signature, index 0..20
};

// Vector kinds (index of a kind-1 object).
enum ScoreletVectorKind : int32_t {
  kVectorStaff = 0,
  kVectorLine = 1,
  kVectorSlur = 2,
  kVectorTuplet = 3,
  kVectorTabStaff = 4,
};

inline constexpr int kScoreletSymbolCount = 37;         // symbol indexes 0..36
inline constexpr int kScoreletVectorKindCount = 5;      // 0..4
inline constexpr int kScoreletFontCount = 5;            // font indexes 0..4
inline constexpr int kScoreletTimeSignatureCount = 21;  // 0..20
inline constexpr int kScoreletSymbolResourceBase = 7000;

// Pages are 1-based. Page numbers and page counts read from files are held to
// 1..kScoreletMaxPages so that a hostile file cannot make the pad lay out
// millions of pages.
inline constexpr int kScoreletMaxPages = 999;
// Coordinates read from files, and coordinates after moves and offsets, are
// held to +-kScoreletMaxCoordinate so arithmetic on them never overflows.
inline constexpr int kScoreletMaxCoordinate = 1000000;
// Other values read from files are held to ranges the pad can draw.
inline constexpr int kScoreletMaxPenWidth = 1000;   // page units
inline constexpr int kScoreletMaxTextSize = 10000;  // tenths of a point
inline constexpr int kScoreletMaxAngle = 3600;      // tenths of a degree, either sign

// Pad font table: font index -> face name. An index outside 0..4 uses 0.
inline constexpr std::array<const char*, kScoreletFontCount> kScoreletFontFaces = {
    "Arial", "Times New Roman", "Verdana", "Courier New", "MusicalSymbols"};
inline constexpr int kScoreletSymbolFontIndex = 4;  // "MusicalSymbols"
const char* ScoreletFontFace(int font_index);

// Time signature table: index -> numerator/denominator. The menu shows the
// first two as "C" and "C (cut)".
struct ScoreletTimeSignature {
  int numerator;
  int denominator;
};
inline constexpr std::array<ScoreletTimeSignature, kScoreletTimeSignatureCount>
    kScoreletTimeSignatures = {{{4, 4}, {2, 2}, {2, 2}, {2, 4}, {3, 4}, {3, 8}, {4, 2},
                                {4, 4}, {6, 8}, {9, 8}, {3, 2}, {3, 16}, {4, 8}, {5, 2},
                                {5, 4}, {5, 8}, {5, 16}, {6, 4}, {7, 16}, {9, 16}, {12, 8}}};

// A full font description (the fields of a Windows LOGFONT) as data.
// height is in tenths of a point (120 = 12 pt); escapement and orientation
// in tenths of a degree.
struct ScoreletFont {
  int32_t face_index = 0;  // effective index 0..4 into the pad font table
  std::string face;        // face name, at most kMaxFaceLength characters
  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 400;  // 700 bold, 400 regular
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strike_out = 0;
  uint8_t char_set = 0;
  uint8_t out_precision = 0;
  uint8_t clip_precision = 0;
  uint8_t quality = 0;
  uint8_t pitch_and_family = 0;

  static constexpr size_t kMaxFaceLength = 31;
  static constexpr int32_t kBoldWeight = 700;
  static constexpr int32_t kRegularWeight = 400;
  // The "MusicalSymbols" face is always 24 point, plain.
  static constexpr int32_t kSymbolFontHeight = 240;

  bool operator==(const ScoreletFont&) const = default;
};

// A point of an object, page-relative in page units. dx, dy are the editor's
// pending drag offset (0 when idle, never stored in files).
struct ScoreletPoint {
  int32_t x = 0;
  int32_t y = 0;
  int32_t dx = 0;
  int32_t dy = 0;
};

// Everything needed to build an object (the editor's tools and the reader).
// angle, bold, italic and underline only shape the font; they are not kept
// apart from it.
struct ScoreletObjectParams {
  int32_t kind = kScoreletBitmap;
  int32_t index = 0;
  int32_t page = 1;
  std::array<ScoreletPoint, 2> points{};
  int32_t point_count = 1;  // 1 or 2
  int32_t pen_width = 1;
  int32_t size = 0;   // font size in tenths of a point (text kinds)
  int32_t angle = 0;  // tenths of a degree
  int32_t bold = 0;
  int32_t italic = 0;
  int32_t underline = 0;
  uint32_t colour = 0;  // 0xRRGGBB
  std::string text;     // text block lines separated by "\r\n"
};

struct ScoreletObject {
  int32_t kind = kScoreletBitmap;
  int32_t index = 0;
  int32_t page = 1;
  std::array<ScoreletPoint, 2> points{};
  int32_t point_count = 1;
  int32_t pen_width = 1;
  int32_t size = 0;
  uint32_t colour = 0;  // 0xRRGGBB, red in the high byte
  std::string text;
  std::optional<ScoreletFont> font;  // absent when the text is empty
  int32_t selected = 0;              // editor selection, never stored

  // Builds an object and, when the text is not empty, its font.
  static std::unique_ptr<ScoreletObject> Build(const ScoreletObjectParams& params);

  // Rebuilds (or drops, for empty text) the font from index, size and text
  // with the given style; call after the editor changes size or text.
  void BuildFont(int32_t angle, int32_t bold, int32_t italic, int32_t underline);
  // Rebuilds the font keeping its current angle and styles.
  void RefreshFont();

  // Style as it is written to a page file: from the font, 0 without one.
  int32_t Angle() const { return font ? font->escapement : 0; }
  int32_t Bold() const { return font && font->weight == ScoreletFont::kBoldWeight ? 1 : 0; }
  int32_t Italic() const { return font && font->italic ? 1 : 0; }
  int32_t Underline() const { return font && font->underline ? 1 : 0; }
};

// The font description for an index, size (tenths of a point), angle and
// style, as the object builder makes it.
ScoreletFont MakeScoreletFont(int32_t font_index, int32_t size, int32_t angle, int32_t bold,
                              int32_t italic, int32_t underline);

// A text line's text as it can be stored: a double quote would end the
// quoted text early and a line break would split the entry, so '"' becomes
// '\'' and CR and LF become blanks. The writer applies it; the pad's text
// dialog may apply it where the text is entered.
std::string ScoreletTextLineSafe(const std::string& text);

}  // namespace qv3

#endif  // QV3_PAGEFILE_SCORELET_OBJECT_H_
