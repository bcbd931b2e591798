#include "pagefile/scorelet_file_array.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui_services.h"

namespace qv3 {

namespace {

int32_t ClampCoordinate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kScoreletMaxCoordinate, kScoreletMaxCoordinate));
}

}  // namespace

CScoreletFileArray CScoreletFileArray::Clone() const {
  CScoreletFileArray copy;
  copy.page_count_ = page_count_;
  copy.objects_.reserve(objects_.size());
  for (const auto& object : objects_) copy.objects_.push_back(std::make_unique<ScoreletObject>(*object));
  return copy;
}

ScoreletObject& CScoreletFileArray::Add(std::unique_ptr<ScoreletObject> object) {
  objects_.push_back(std::move(object));
  return *objects_.back();
}

void CScoreletFileArray::RemoveAt(int i) { objects_.erase(objects_.begin() + i); }

void CScoreletFileArray::set_page_count(int count) {
  page_count_ = std::clamp(count, 1, kScoreletMaxPages);
}

void CScoreletFileArray::Clear() {
  objects_.clear();
  page_count_ = 1;
}

void CScoreletFileArray::DeleteSelected() {
  std::erase_if(objects_, [](const auto& object) { return object->selected == 1; });
}

void CScoreletFileArray::MoveSelected(int dx, int dy) {
  for (auto& object : objects_) {
    if (object->selected != 1) continue;
    for (auto& point : object->points) {
      point.x = ClampCoordinate(int64_t{point.x} + dx);
      point.y = ClampCoordinate(int64_t{point.y} + dy);
    }
  }
}

void CScoreletFileArray::SelectInside(int page, const ScoreletRect& rect) {
  for (auto& object : objects_) {
    if (object->page != page) continue;
    bool inside = true;
    for (int i = 0; i < object->point_count && i < 2; ++i) {
      const ScoreletPoint& p = object->points[i];
      if (p.x < rect.left || p.x >= rect.right || p.y < rect.top || p.y >= rect.bottom) {
        inside = false;
        break;
      }
    }
    if (inside) object->selected = 1;
  }
}

void CScoreletFileArray::SelectNone() {
  for (auto& object : objects_) object->selected = 0;
}

bool CScoreletFileArray::InsertPageAfter(int n) {
  if (n < 0 || page_count_ >= kScoreletMaxPages) return false;
  for (auto& object : objects_) {
    if (object->page > n) object->page = std::min(object->page + 1, kScoreletMaxPages);
  }
  ++page_count_;
  return true;
}

bool CScoreletFileArray::DeletePage(int n) {
  // A page beyond the count is not a page the user can see; deleting it
  // would silently drop the last real page from the count.
  if (n < 1 || page_count_ < 2 || n > page_count_) return false;
  std::erase_if(objects_, [n](const auto& object) { return object->page == n; });
  for (auto& object : objects_) {
    if (object->page > n) --object->page;
  }
  --page_count_;
  return true;
}

int CScoreletFileArray::HighestPage() const {
  int highest = 1;
  for (const auto& object : objects_) highest = std::max(highest, static_cast<int>(object->page));
  return highest;
}

std::string CScoreletFileArray::FileText() const {
  const std::string text = WriteText(false);
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool CScoreletFileArray::WriteToFile(std::FILE* file) const {
  if (file == nullptr) return false;
  const std::string text = FileText();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file) != text.size()) return false;
  return std::fflush(file) == 0;
}

bool CScoreletFileArray::Save(const std::string& path, bool append) const {
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (file == nullptr) return false;
  bool ok = WriteToFile(file);
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

void CScoreletFileArray::LoadFromText(std::string_view text) {
  Clear();
  int received = 1;
  ReadText(text, &received, 0, 0, 0, 0);
  set_page_count(std::max(received, HighestPage()));
}

bool CScoreletFileArray::Load(const std::string& path) {
  Clear();
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    MessageBoxCaption(kScoreletLoadFailCaption, MsgIcon::kNone, kScoreletLoadFailFormat,
                      path.c_str());
    return false;
  }
  // Read whole, whatever the line lengths.
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool read_failed = std::ferror(file) != 0;  // e.g. the path is a folder
  std::fclose(file);
  if (read_failed) {
    MessageBoxCaption(kScoreletLoadFailCaption, MsgIcon::kNone, kScoreletLoadFailFormat,
                      path.c_str());
    return false;
  }
  LoadFromText(text);
  return true;
}

}  // namespace qv3
