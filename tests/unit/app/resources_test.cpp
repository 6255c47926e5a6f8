// The executable's resources, read back from the built QuellinImg.exe.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/version_info.h"
#include "base/handles.h"
#include "tests/support/test_support.h"

namespace {

std::wstring Viewer() { return testing_support::BinDir() + L"QuellinImg.exe"; }

// Reads a dialog template (the extended form) field by field, with bounds.
class TemplateReader {
 public:
  TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  template <typename T>
  T Read() {
    T value{};
    if (pos_ + sizeof(T) > size_) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return value;
  }
  // A name or ordinal field: "#n" for an ordinal, "" for none.
  std::wstring ReadNameOrOrdinal() {
    const uint16_t first = Read<uint16_t>();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Read<uint16_t>());
    std::wstring text;
    for (uint16_t c = first; ok_ && c != 0; c = Read<uint16_t>()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  void AlignTo4() { pos_ = (pos_ + 3) & ~size_t{3}; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::wstring Upper(std::wstring text) {
  ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// A control class given by name or by its predefined ordinal, as its name in capitals.
std::wstring ClassOf(const std::wstring& nameOrOrdinal) {
  if (nameOrOrdinal == L"#128") return L"BUTTON";
  if (nameOrOrdinal == L"#130") return L"STATIC";
  return Upper(nameOrOrdinal);
}

struct Item {
  DWORD id;
  short x, y, cx, cy;
  std::wstring className, text;
};

TEST(ExecutableResources, VersionIconAndManifest) {
  EXPECT_EQ(GetFileVersionText(Viewer()), L"1.0.0.1");
  base::ModuleHandle exe(::LoadLibraryExW(Viewer().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(exe.IsValid());
  EXPECT_NE(::FindResourceW(exe.Get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON), nullptr);
  HRSRC manifest = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(manifest, nullptr);
  const auto* text = static_cast<const char*>(::LockResource(::LoadResource(exe.Get(), manifest)));
  const std::string xml(text, ::SizeofResource(exe.Get(), manifest));
  EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(xml.find("asInvoker"), std::string::npos);
  EXPECT_NE(xml.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
}

TEST(ExecutableResources, MainWindowTemplate) {
  base::ModuleHandle exe(::LoadLibraryExW(Viewer().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(exe.IsValid());
  HRSRC found = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(102), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  TemplateReader in(static_cast<const uint8_t*>(::LockResource(::LoadResource(exe.Get(), found))),
                    ::SizeofResource(exe.Get(), found));
  EXPECT_EQ(in.Read<uint16_t>(), 1);       // version of the extended form
  EXPECT_EQ(in.Read<uint16_t>(), 0xFFFF);  // its signature
  in.Read<DWORD>();                        // help id
  const DWORD exStyle = in.Read<DWORD>();
  const DWORD style = in.Read<DWORD>();
  const uint16_t count = in.Read<uint16_t>();
  in.Read<short>();
  in.Read<short>();
  const short cx = in.Read<short>();
  const short cy = in.Read<short>();
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"");  // no menu
  // GNU windres writes class names in capitals; the system looks classes up without regard to
  // case, and other processes see the name as the viewer registers it (checked end to end).
  EXPECT_EQ(Upper(in.ReadNameOrOrdinal()), L"QUELLINMAINFRAMECLASS-B1F78B3CC4BD764C");
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"Quellin");
  EXPECT_EQ(in.Read<uint16_t>(), 8);  // point size
  in.Read<uint16_t>();
  in.Read<uint8_t>();
  in.Read<uint8_t>();
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"MS Shell Dlg");
  const DWORD wanted = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                       WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  EXPECT_EQ(style & wanted, wanted);
  EXPECT_EQ(style & (WS_CHILD | WS_POPUP | WS_DISABLED), 0u);
  EXPECT_EQ(exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(cx, 678);
  EXPECT_EQ(cy, 293);
  ASSERT_EQ(count, 5);

  std::vector<Item> items;
  for (int i = 0; i < count; ++i) {
    in.AlignTo4();
    Item item{};
    in.Read<DWORD>();  // help id
    in.Read<DWORD>();  // extended style
    in.Read<DWORD>();  // style
    item.x = in.Read<short>();
    item.y = in.Read<short>();
    item.cx = in.Read<short>();
    item.cy = in.Read<short>();
    item.id = in.Read<DWORD>();
    item.className = ClassOf(in.ReadNameOrOrdinal());
    item.text = in.ReadNameOrOrdinal();
    const uint16_t extra = in.Read<uint16_t>();
    for (uint16_t b = 0; b < extra; ++b) in.Read<uint8_t>();
    items.push_back(item);
  }
  ASSERT_TRUE(in.ok());
  const std::wstring kButton = L"BUTTON", kStatic = L"STATIC";
  const Item expected[] = {{1023, 636, 0, 26, 19, kButton, L""}, {1024, 4, 3, 20, 20, kStatic, L""},
                           {1025, 37, 3, 61, 8, kStatic, L"TITLE"}, {1026, 606, 0, 26, 19, kButton, L""},
                           {1027, 572, 0, 26, 19, kButton, L""}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(expected[i].id);
    EXPECT_EQ(items[i].id, expected[i].id);
    EXPECT_EQ(items[i].x, expected[i].x);
    EXPECT_EQ(items[i].y, expected[i].y);
    EXPECT_EQ(items[i].cx, expected[i].cx);
    EXPECT_EQ(items[i].cy, expected[i].cy);
    EXPECT_EQ(items[i].className, expected[i].className);
    EXPECT_EQ(items[i].text, expected[i].text);
  }
}

}  // namespace
