#include "skin/render/resources.h"

#include <shlwapi.h>

#include "base/com.h"
#include "image/gdiplus_include.h"

namespace skin {

SkinResources::SkinResources(std::shared_ptr<const ZipArchive> archive) : archive_(std::move(archive)) {}

void SkinResources::AddFont(const std::wstring& id, const FontDescription& description, bool makeDefault) {
  LOGFONTW font{};
  font.lfHeight = -description.size;
  font.lfWeight = description.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = description.italic ? TRUE : FALSE;
  font.lfUnderline = description.underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  font.lfOutPrecision = OUT_TT_PRECIS;
  wcsncpy_s(font.lfFaceName, description.face.c_str(), _TRUNCATE);
  base::FontHandle handle(::CreateFontIndirectW(&font));
  if (!handle) return;
  fonts_[id] = std::move(handle);
  if (makeDefault || default_font_.empty()) default_font_ = id;
}

HFONT SkinResources::Font(const std::wstring& id) const {
  auto found = fonts_.find(id);
  if (found == fonts_.end()) found = fonts_.find(default_font_);
  if (found != fonts_.end()) return found->second.Get();
  return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

const AttributeList* SkinResources::Style(const std::wstring& id) const {
  const auto found = styles_.find(id);
  return found == styles_.end() ? nullptr : &found->second;
}

const FCObjImage* SkinResources::Picture(const std::wstring& file) {
  const std::wstring key = ZipArchive::NormalizeName(file);
  auto found = pictures_.find(key);
  if (found == pictures_.end()) {
    std::unique_ptr<FCObjImage> picture;
    std::vector<uint8_t> bytes;
    if (archive_ && archive_->Read(file, bytes, nullptr)) {
      picture = std::make_unique<FCObjImage>();
      if (!DecodePicture(bytes, *picture)) picture.reset();
    }
    found = pictures_.emplace(key, std::move(picture)).first;
  }
  return found->second.get();
}

bool DecodePicture(const std::vector<uint8_t>& bytes, FCObjImage& out) {
  out.Destroy();
  if (bytes.empty() || bytes.size() > ZipArchive::kMaxEntrySize) return false;
  base::ComPtr<IStream> stream;
  base::Adopt(stream, ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
  if (!stream) return false;
  Gdiplus::Bitmap bitmap(stream.Get());
  if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
  const UINT width = bitmap.GetWidth();
  const UINT height = bitmap.GetHeight();
  if (width == 0 || height == 0 || width > SkinResources::kMaxPictureSide || height > SkinResources::kMaxPictureSide) {
    return false;
  }
  return out.LoadFromGdiplusBitmap(bitmap, PixelFormat32bppPARGB);
}

}  // namespace skin
