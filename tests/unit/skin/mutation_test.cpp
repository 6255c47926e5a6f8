// A seeded mutation run over the real skin archive: bytes flipped, inserted and cut, then the
// archive opened and every skin built, laid out and painted. Whatever the damage, each step either
// works or fails cleanly; a crash or a read outside a buffer ends the test program.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/handles.h"
#include "image/gdiplus_include.h"
#include "skin/archive/zip_archive.h"
#include "skin/build/skin_builder.h"
#include "tests/support/test_support.h"

namespace {

// Opens, builds and paints everything the archive holds; answers how many skins were built.
int Exercise(std::vector<uint8_t> bytes, HDC dc) {
  std::shared_ptr<const skin::ZipArchive> archive = skin::ZipArchive::Open(std::move(bytes), nullptr);
  if (!archive) return 0;
  int built = 0;
  for (const std::wstring& name : archive->Names()) {
    if (name.size() < 4 || name.compare(name.size() - 4, 4, L".xml") != 0) continue;
    skin::BuiltSkin skin;
    std::wstring error;
    if (!skin::BuildSkin(archive, name, skin, &error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++built;
    const RECT area{0, 0, 600, 400};
    skin.root->SetPos(area);
    skin.root->Paint(dc, area);
  }
  return built;
}

TEST(SkinMutation, DamagedArchivesOpenBuildAndPaintOrFailCleanly) {
  image::GdiplusSession gdiplus;
  const std::vector<uint8_t> original = testing_support::ReadBytes(testing_support::BinDir() + L"res\\res.zip");
  ASSERT_GT(original.size(), 1000u) << "the build's res.zip is missing";

  base::MemoryDc dc(::CreateCompatibleDC(nullptr));
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(info.bmiHeader), 600, -400, 1, 32, BI_RGB};
  void* bits = nullptr;
  base::BitmapHandle bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  base::SelectGuard select(dc.Get(), bitmap.Get());

  // The undamaged archive builds every dialog skin (common.xml is an include, not a window).
  EXPECT_GE(Exercise(original, dc.Get()), 4);

  std::mt19937 random(20261209);
  int builtAfterDamage = 0;
  for (int round = 0; round < 2500; ++round) {
    std::vector<uint8_t> bytes = original;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0:  // flip one bit
          bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
          break;
        case 1:  // a random byte
          bytes[at] = static_cast<uint8_t>(random());
          break;
        case 2:  // insert bytes
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 1 + random() % 8, static_cast<uint8_t>(random()));
          break;
        default:  // cut the rest
          bytes.resize(at);
          break;
      }
    }
    builtAfterDamage += Exercise(std::move(bytes), dc.Get());
  }
  // Flips in the pictures leave most skins buildable: the run did reach the builder and painter.
  EXPECT_GT(builtAfterDamage, 100);
}

}  // namespace
