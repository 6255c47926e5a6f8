// The executable's resources, read back from the built QuellinImg.exe, and the pictures the
// build draws into res\ beside it.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/version_info.h"
#include "base/com.h"
#include "base/handles.h"
#include "tests/support/test_support.h"

namespace {

std::wstring Viewer() { return testing_support::BinDir() + L"QuellinImg.exe"; }

// A picture decoded by the platform to 8-bit BGRA, with what its PNG header says.
struct Picture {
  UINT width = 0, height = 0;
  bool rgba8 = false;  // colour type 6 at 8 bits: the format every picture of ours is written in
  std::vector<uint8_t> bgra;

  const uint8_t* At(UINT x, UINT y) const { return &bgra[(size_t{y} * width + x) * 4]; }
  // Whether the w x h blocks at (x1, y1) and (x2, y2) have the same pixels.
  bool SameBlock(UINT x1, UINT y1, UINT x2, UINT y2, UINT w, UINT h) const {
    for (UINT y = 0; y < h; ++y)
      if (std::memcmp(At(x1, y1 + y), At(x2, y2 + y), size_t{w} * 4) != 0) return false;
    return true;
  }
  int CountAlpha(UINT x, UINT y, UINT w, UINT h, bool (*pick)(uint8_t)) const {
    int count = 0;
    for (UINT j = y; j < y + h; ++j)
      for (UINT i = x; i < x + w; ++i) count += pick(At(i, j)[3]) ? 1 : 0;
    return count;
  }
};

bool Visible(uint8_t alpha) { return alpha > 0; }
bool NotOpaque(uint8_t alpha) { return alpha < 255; }

Picture Decode(const void* data, size_t size) {
  Picture picture;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!bytes || size < 33 || std::memcmp(bytes, kSignature, 8) != 0) return picture;
  picture.rgba8 = bytes[24] == 8 && bytes[25] == 6;
  base::ComPtr<IWICImagingFactory> factory;
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  base::ComPtr<IWICBitmapSource> bgra;
  UINT w = 0, h = 0;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra)) ||
      FAILED(bgra->GetSize(&w, &h)))
    return picture;
  std::vector<uint8_t> pixels(size_t{w} * h * 4);
  if (FAILED(bgra->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data()))) return picture;
  picture.width = w;
  picture.height = h;
  picture.bgra = std::move(pixels);
  return picture;
}

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
  // The icon group: 256 (written as 0), 48, 32, 24 and 16 pixels.
  HRSRC icon = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON);
  ASSERT_NE(icon, nullptr);
  TemplateReader group(static_cast<const uint8_t*>(::LockResource(::LoadResource(exe.Get(), icon))),
                       ::SizeofResource(exe.Get(), icon));
  group.Read<uint16_t>();
  EXPECT_EQ(group.Read<uint16_t>(), 1);  // icons, not cursors
  const uint16_t sizes = group.Read<uint16_t>();
  std::vector<int> widths;
  for (uint16_t i = 0; i < sizes && group.ok(); ++i) {
    widths.push_back(group.Read<uint8_t>());
    for (int skip = 1; skip < 14; ++skip) group.Read<uint8_t>();
  }
  EXPECT_TRUE(group.ok());
  EXPECT_EQ(widths, (std::vector<int>{0, 48, 32, 24, 16}));
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

// Every picture beside the viewer: its fixed size, 8-bit RGBA, and the property the viewer relies
// on when it draws it.
TEST(ProgramArt, PicturesBesideTheViewer) {
  FCAutoInitializeCOM com;
  const struct {
    const wchar_t* name;
    UINT width, height;
  } kPictures[] = {{L"toolbar.png", 832, 156},    {L"wnd_menu.png", 120, 30},
                   {L"logo_desc.png", 90, 18},     {L"logo-mini.png", 24, 18},
                   {L"turn_page_indicator.png", 64, 160}, {L"loading.png", 576, 48},
                   {L"home_slogan.png", 360, 200}, {L"home_open.png", 480, 44}};
  for (const auto& expected : kPictures) {
    SCOPED_TRACE(testing::Message() << "res\\" << std::string(expected.name, expected.name + wcslen(expected.name)));
    const std::vector<uint8_t> file = testing_support::ReadBytes(testing_support::BinDir() + L"res\\" + expected.name);
    const Picture picture = Decode(file.data(), file.size());
    EXPECT_TRUE(picture.rgba8);
    ASSERT_EQ(picture.width, expected.width);
    ASSERT_EQ(picture.height, expected.height);
    // Drawn on transparency, and not blank.
    EXPECT_GT(picture.CountAlpha(0, 0, picture.width, picture.height, NotOpaque), 0);
    EXPECT_GT(picture.CountAlpha(0, 0, picture.width, picture.height, Visible), 0);
  }

  // The toolbar's icon columns: something in every state, and the disabled row drawn apart from
  // the normal one.
  std::vector<uint8_t> file = testing_support::ReadBytes(testing_support::BinDir() + L"res\\toolbar.png");
  const Picture toolbar = Decode(file.data(), file.size());
  ASSERT_EQ(toolbar.width, 832u);
  for (UINT column = 0; column < 16; ++column) {
    SCOPED_TRACE(column);
    const UINT x = column * 52;
    EXPECT_GT(toolbar.CountAlpha(x, 0, 52, 52, Visible), 0);
    if (column < 2) continue;  // the button backgrounds use row 0 only
    EXPECT_GT(toolbar.CountAlpha(x, 52, 52, 52, Visible), 0);
    EXPECT_GT(toolbar.CountAlpha(x, 104, 52, 52, Visible), 0);
    EXPECT_FALSE(toolbar.SameBlock(x, 0, x, 104, 52, 52));
    EXPECT_FALSE(toolbar.SameBlock(x, 0, x, 52, 52, 52));
  }

  // The viewer stretches the indicator's top and bottom five rows to the view's height: each
  // pixel there must match the one above it.
  file = testing_support::ReadBytes(testing_support::BinDir() + L"res\\turn_page_indicator.png");
  const Picture indicator = Decode(file.data(), file.size());
  ASSERT_EQ(indicator.height, 160u);
  for (UINT y = 1; y < 5; ++y) {
    EXPECT_TRUE(indicator.SameBlock(0, y, 0, y - 1, indicator.width, 1));
    EXPECT_TRUE(indicator.SameBlock(0, 159 - y, 0, 160 - y, indicator.width, 1));
  }

  // The loading strip turns: no two neighbouring frames are the same.
  file = testing_support::ReadBytes(testing_support::BinDir() + L"res\\loading.png");
  const Picture loading = Decode(file.data(), file.size());
  ASSERT_EQ(loading.width, 12 * loading.height);
  for (UINT frame = 1; frame < 12; ++frame)
    EXPECT_FALSE(loading.SameBlock((frame - 1) * 48, 0, frame * 48, 0, 48, 48)) << frame;
}

// The title strip's buttons compiled into the viewer: three opaque 30x30 frames each (the viewer
// clears the button to white before it draws one), each state different.
TEST(ExecutableResources, TitleButtons) {
  FCAutoInitializeCOM com;
  base::ModuleHandle exe(::LoadLibraryExW(Viewer().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(exe.IsValid());
  for (const int id : {154, 155, 157}) {
    SCOPED_TRACE(id);
    HRSRC found = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(id), L"PNG");
    ASSERT_NE(found, nullptr);
    const Picture strip = Decode(::LockResource(::LoadResource(exe.Get(), found)), ::SizeofResource(exe.Get(), found));
    EXPECT_TRUE(strip.rgba8);
    ASSERT_EQ(strip.width, 90u);
    ASSERT_EQ(strip.height, 30u);
    EXPECT_EQ(strip.CountAlpha(0, 0, 90, 30, NotOpaque), 0);
    EXPECT_FALSE(strip.SameBlock(0, 0, 30, 0, 30, 30));
    EXPECT_FALSE(strip.SameBlock(30, 0, 60, 0, 30, 30));
  }
}

}  // namespace
