// The clipboard export through the real clipboard: the bitmap block byte by byte, the file-drop
// list and the drop effect, and no file list when the picture is not a file.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "effects_reference.h"
#include "image/effect/effects.h"
#include "tests/support/test_support.h"

namespace {

namespace ref = effects_reference;

// Opens the clipboard for reading, waiting a little if another program holds it.
class ClipboardReader {
 public:
  ClipboardReader() {
    for (int i = 0; i < 50 && !open_; ++i) {
      open_ = ::OpenClipboard(nullptr) != FALSE;
      if (!open_) ::Sleep(20);
    }
  }
  ~ClipboardReader() {
    if (open_) ::CloseClipboard();
  }
  bool IsOpen() const { return open_; }
  // The bytes of a format, or nothing when it is absent.
  std::vector<uint8_t> Data(UINT format) const {
    HANDLE handle = ::GetClipboardData(format);
    if (!handle) return {};
    const auto* memory = static_cast<const uint8_t*>(::GlobalLock(handle));
    if (!memory) return {};
    std::vector<uint8_t> bytes(memory, memory + ::GlobalSize(handle));
    ::GlobalUnlock(handle);
    return bytes;
  }
  std::wstring DroppedFile() const {
    auto drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP));
    if (!drop || ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) return {};
    wchar_t name[1024] = {};
    ::DragQueryFileW(drop, 0, name, 1024);
    return name;
  }

 private:
  bool open_ = false;
};

template <typename T>
T Read(const std::vector<uint8_t>& bytes, size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

}  // namespace

TEST(ClipboardExport, BitmapFileListAndDropEffect) {
  testing_support::TempDir dir;
  const std::wstring path = dir.File(L"照片 photo.jpg");
  ASSERT_TRUE(testing_support::WriteBytes(path, {1, 2, 3}));
  const FCObjImage picture = ref::RandomImage(3, 2, 24, 42);
  FCObjImage image = picture;
  ExecuteEffect(image, std::make_unique<FCEffectCopyToClipboard>(path), nullptr);

  ClipboardReader clipboard;
  ASSERT_TRUE(clipboard.IsOpen());
  const std::vector<uint8_t> dib = clipboard.Data(CF_DIB);
  ASSERT_GE(dib.size(), 40u + 12 * 2);
  EXPECT_EQ(Read<DWORD>(dib, 0), 40u);
  EXPECT_EQ(Read<LONG>(dib, 4), 3);
  EXPECT_EQ(Read<LONG>(dib, 8), 2);
  EXPECT_EQ(Read<WORD>(dib, 12), 1);
  EXPECT_EQ(Read<WORD>(dib, 14), 24);
  for (size_t offset = 16; offset < 40; offset += 4) EXPECT_EQ(Read<DWORD>(dib, offset), 0u) << offset;
  EXPECT_TRUE(std::equal(dib.begin() + 40, dib.begin() + 40 + 24, picture.PixelMemory()));
  EXPECT_EQ(image.PixelMemory()[0], picture.PixelMemory()[0]);  // the picture itself is not changed

  const std::vector<uint8_t> drop = clipboard.Data(CF_HDROP);
  ASSERT_GE(drop.size(), 2 * path.size() + 24);
  EXPECT_EQ(Read<DWORD>(drop, 0), 20u);  // list offset
  EXPECT_EQ(Read<LONG>(drop, 4), 0);
  EXPECT_EQ(Read<LONG>(drop, 8), 0);
  EXPECT_EQ(Read<BOOL>(drop, 12), FALSE);
  EXPECT_EQ(Read<BOOL>(drop, 16), TRUE);  // wide characters
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(drop.data() + 20), path.size()), path);
  EXPECT_EQ(Read<uint32_t>(drop, 20 + 2 * path.size()), 0u);  // two terminating zeros
  EXPECT_EQ(clipboard.DroppedFile(), path);

  const std::vector<uint8_t> effect =
      clipboard.Data(::RegisterClipboardFormatW(L"Preferred DropEffect"));
  ASSERT_GE(effect.size(), 4u);
  EXPECT_EQ(Read<DWORD>(effect, 0), 1u);
}

TEST(ClipboardExport, PictureWithoutFileReplacesTheOldContent) {
  testing_support::TempDir dir;
  const std::wstring path = dir.File(L"a.png");
  ASSERT_TRUE(testing_support::WriteBytes(path, {1}));
  FCObjImage first = ref::RandomImage(2, 2, 32, 1);
  ExecuteEffect(first, std::make_unique<FCEffectCopyToClipboard>(path), nullptr);

  // A top-down 32-bit view, as the save/export code hands over, under a path that is gone.
  const FCObjImage picture = ref::RandomImage(5, -3, 32, 2);
  FCObjImage image = picture;
  ExecuteEffect(image, std::make_unique<FCEffectCopyToClipboard>(dir.File(L"missing.png")), nullptr);
  ClipboardReader clipboard;
  ASSERT_TRUE(clipboard.IsOpen());
  const std::vector<uint8_t> dib = clipboard.Data(CF_DIB);
  ASSERT_GE(dib.size(), 40u + 20 * 3);
  EXPECT_EQ(Read<LONG>(dib, 4), 5);
  EXPECT_EQ(Read<LONG>(dib, 8), -3);
  EXPECT_EQ(Read<WORD>(dib, 14), 32);
  EXPECT_TRUE(std::equal(dib.begin() + 40, dib.begin() + 40 + 60, picture.PixelMemory()));
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_HDROP));
  EXPECT_TRUE(clipboard.DroppedFile().empty());
}
