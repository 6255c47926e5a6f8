#include "widget/skin_picture.h"

#include "base/paths.h"
#include "image/gdiplus_include.h"

std::wstring SkinFolder() { return base::JoinPath(base::GetModuleFolder(), L"res\\"); }

FCObjImagePtr LoadSkinPicture(const wchar_t* name, bool premultiplied) {
  auto picture = std::make_shared<FCObjImage>();
  const std::wstring path = base::JoinPath(SkinFolder(), name);
  if (!path.empty()) {
    (void)picture->LoadFromFileGdiplus(path.c_str(), premultiplied ? PixelFormat32bppPARGB : PixelFormat32bppARGB);
  }
  return picture;
}
