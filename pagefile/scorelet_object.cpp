#include "pagefile/scorelet_object.h"

namespace qv3 {

const char* ScoreletFontFace(int font_index) {
  if (font_index < 0 || font_index >= kScoreletFontCount) font_index = 0;
  return kScoreletFontFaces[font_index];
}

ScoreletFont MakeScoreletFont(int32_t font_index, int32_t size, int32_t angle, int32_t bold,
                              int32_t italic, int32_t underline) {
  ScoreletFont font;
  font.face_index = (font_index < 0 || font_index >= kScoreletFontCount) ? 0 : font_index;
  font.face = ScoreletFontFace(font.face_index);
  if (font.face.size() > ScoreletFont::kMaxFaceLength) font.face.resize(ScoreletFont::kMaxFaceLength);
  if (font.face_index == kScoreletSymbolFontIndex) {
    // The symbol face is only ever used at its design size, without styles.
    font.height = ScoreletFont::kSymbolFontHeight;
    return font;
  }
  font.height = size;
  font.escapement = angle;
  font.orientation = angle;
  font.weight = bold == 1 ? ScoreletFont::kBoldWeight : ScoreletFont::kRegularWeight;
  font.italic = italic ? 1 : 0;
  font.underline = underline ? 1 : 0;
  return font;
}

std::unique_ptr<ScoreletObject> ScoreletObject::Build(const ScoreletObjectParams& params) {
  auto object = std::make_unique<ScoreletObject>();
  object->kind = params.kind;
  object->index = params.index;
  object->page = params.page;
  object->points = params.points;
  object->point_count = params.point_count >= 2 ? 2 : 1;
  object->pen_width = params.pen_width;
  object->size = params.size;
  object->colour = params.colour;
  object->text = params.text;
  object->BuildFont(params.angle, params.bold, params.italic, params.underline);
  return object;
}

void ScoreletObject::BuildFont(int32_t angle, int32_t bold, int32_t italic, int32_t underline) {
  if (text.empty()) {
    font.reset();
    return;
  }
  font = MakeScoreletFont(index, size, angle, bold, italic, underline);
}

void ScoreletObject::RefreshFont() { BuildFont(Angle(), Bold(), Italic(), Underline()); }

std::string ScoreletTextLineSafe(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '"') c = '\'';
    else if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace qv3
