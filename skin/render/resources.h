#pragma once
// What one skinned window draws with: the archive its skin came from, the fonts and styles the
// skin declares, and the pictures decoded from the archive (each decoded once per window).
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "image/obj_image.h"
#include "skin/archive/zip_archive.h"

namespace skin {

using AttributeList = std::vector<std::pair<std::wstring, std::wstring>>;

struct FontDescription {
  std::wstring face = L"微软雅黑";
  int size = 13;  // character height in pixels
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class SkinResources {
 public:
  // Pictures wider or taller than this are refused: a skin picture is small.
  static constexpr UINT kMaxPictureSide = 4096;

  explicit SkinResources(std::shared_ptr<const ZipArchive> archive);
  SkinResources(const SkinResources&) = delete;
  SkinResources& operator=(const SkinResources&) = delete;

  [[nodiscard]] const ZipArchive& Archive() const { return *archive_; }

  // Fonts by id; the first font added, or the one marked default, serves an empty or unknown id.
  void AddFont(const std::wstring& id, const FontDescription& description, bool makeDefault);
  [[nodiscard]] HFONT Font(const std::wstring& id) const;

  void AddStyle(const std::wstring& id, AttributeList attributes) { styles_[id] = std::move(attributes); }
  [[nodiscard]] const AttributeList* Style(const std::wstring& id) const;

  // The picture decoded from the archive as premultiplied 32-bit pixels; null when the archive
  // lacks it or it is not a picture (the control then draws nothing there).
  const FCObjImage* Picture(const std::wstring& file);

 private:
  std::shared_ptr<const ZipArchive> archive_;
  std::map<std::wstring, base::FontHandle> fonts_;
  std::wstring default_font_;
  base::FontHandle fallback_font_;
  std::map<std::wstring, AttributeList> styles_;
  std::map<std::wstring, std::unique_ptr<FCObjImage>> pictures_;  // null entry: tried and failed
};

// Decodes PNG (or any GDI+ format) bytes; false for anything that is not a picture within the
// side limit.
bool DecodePicture(const std::vector<uint8_t>& bytes, FCObjImage& out);

}  // namespace skin
