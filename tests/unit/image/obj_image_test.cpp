#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "image/obj_image.h"

namespace {

void ExpectEmpty(const FCObjImage& img) {
  EXPECT_FALSE(img.IsValid());
  EXPECT_EQ(img.Width(), 0);
  EXPECT_EQ(img.Height(), 0);
  EXPECT_EQ(img.BitsPerPixel(), 0);
  EXPECT_EQ(img.SignedHeight(), 0);
  EXPECT_EQ(img.SectionHandle(), nullptr);
}

// Reads the displayed pixel (x, y) of the image through GDI, which knows nothing of our row table.
COLORREF GdiPixel(const FCObjImage& img, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, img.SectionHandle());
  const COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

}  // namespace

TEST(ObjImageCreate, StridesAndFailuresThatEmptyAHeldPicture) {
  struct Case { int w, h, bpp, stride; } ok[] = {{3, 2, 24, 12}, {1, 1, 24, 4}, {5, 1, 32, 20}, {3, -2, 8, 4}};
  for (const Case& c : ok) {
    FCObjImage img;
    ASSERT_TRUE(img.Create(c.w, c.h, c.bpp)) << c.w << "x" << c.h;
    EXPECT_EQ(img.Stride(), c.stride);
    EXPECT_EQ(img.Height(), c.h < 0 ? -c.h : c.h);
    EXPECT_EQ(img.SignedHeight(), c.h);
    EXPECT_NE(img.SectionHandle(), nullptr);
  }
  struct Bad { int w, h, bpp; } bad[] = {{0, 10, 24}, {10, 0, 24}, {10, 10, 16}, {-1, 5, 32}, {0x7FFFFFFF, 1, 32}};
  for (const Bad& b : bad) {
    FCObjImage img;
    ASSERT_TRUE(img.Create(4, 4, 32));
    const HBITMAP old = img.SectionHandle();
    EXPECT_FALSE(img.Create(b.w, b.h, b.bpp)) << b.w << "x" << b.h << "x" << b.bpp;
    ExpectEmpty(img);
    EXPECT_EQ(GetObjectType(old), 0u) << "the old section must be released";
  }
}

TEST(ObjImageCreate, PaletteImageGetsAZeroedColourTable) {
  FCObjImage img;
  ASSERT_TRUE(img.Create(4, 4, 8));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, img.SectionHandle());
  RGBQUAD table[256];
  std::memset(table, 0xCD, sizeof(table));
  EXPECT_EQ(GetDIBColorTable(dc, 0, 256, table), 256u);
  SelectObject(dc, old);
  DeleteDC(dc);
  for (const RGBQUAD& q : table) EXPECT_EQ(q.rgbBlue | q.rgbGreen | q.rgbRed, 0);
}

TEST(ObjImageRows, RowZeroIsTheDisplayedTopRowInBothStorageOrders) {
  for (int signedHeight : {3, -3}) {
    FCObjImage img;
    ASSERT_TRUE(img.Create(4, signedHeight, 32));
    const int stride = img.Stride();
    uint8_t* const first = img.PixelMemory();
    if (signedHeight > 0) {
      EXPECT_EQ(img.RowPointer(0), first + 2 * stride);
      EXPECT_EQ(img.RowPointer(2), first);
    } else {
      EXPECT_EQ(img.RowPointer(0), first);
      EXPECT_EQ(img.RowPointer(2), first + 2 * stride);
    }
    EXPECT_EQ(img.PixelPointer(3, 1), img.RowPointer(1) + 12);
    std::memset(first, 0, static_cast<size_t>(stride) * 3);
    uint8_t* top = img.PixelPointer(1, 0);
    top[2] = 255;  // red
    GdiFlush();
    EXPECT_EQ(GdiPixel(img, 1, 0), RGB(255, 0, 0)) << "signed height " << signedHeight;
    EXPECT_EQ(GdiPixel(img, 1, 2), RGB(0, 0, 0));
  }
}

TEST(ObjImageCopy, DeepCopyKeepsOrderGraphIntegersAndPixels) {
  FCObjImage src;
  ASSERT_TRUE(src.Create(3, -2, 24));
  for (int i = 0; i < src.Stride() * 2; ++i) src.PixelMemory()[i] = static_cast<uint8_t>(i * 7);
  src.graph_x = -5;
  src.graph_y = 9;

  FCObjImage dst;
  ASSERT_TRUE(dst.Create(8, 8, 32));
  dst = src;
  ASSERT_TRUE(dst.IsValid());
  EXPECT_NE(dst.PixelMemory(), src.PixelMemory());
  EXPECT_NE(dst.SectionHandle(), src.SectionHandle());
  EXPECT_EQ(dst.SignedHeight(), -2);
  EXPECT_EQ(dst.BitsPerPixel(), 24);
  EXPECT_EQ(dst.graph_x, -5);
  EXPECT_EQ(dst.graph_y, 9);
  EXPECT_EQ(std::memcmp(dst.PixelMemory(), src.PixelMemory(), 24), 0);
  EXPECT_EQ(dst.RowPointer(1)[0], src.RowPointer(1)[0]);

  const FCObjImage constructed(src);
  EXPECT_EQ(constructed.SignedHeight(), -2);
  EXPECT_EQ(constructed.graph_x, -5);

  uint8_t* const before = dst.PixelMemory();
  FCObjImage& alias = dst;
  dst = alias;
  EXPECT_EQ(dst.PixelMemory(), before);
  EXPECT_EQ(dst.RowPointer(0)[3], src.RowPointer(0)[3]);

  const FCObjImage empty;
  dst = empty;
  EXPECT_FALSE(dst.IsValid());
  EXPECT_EQ(dst.SectionHandle(), nullptr);
}

TEST(ObjImageTakeOver, MovesFieldsLeavesSourceEmptyAndKeepsGraphIntegers) {
  FCObjImage src;
  ASSERT_TRUE(src.Create(2, 2, 32));
  src.graph_x = 4;
  uint8_t* const pixels = src.PixelMemory();
  const HBITMAP section = src.SectionHandle();

  FCObjImage moved(std::move(src));
  EXPECT_EQ(moved.PixelMemory(), pixels);
  EXPECT_EQ(moved.SectionHandle(), section);
  EXPECT_EQ(moved.RowPointer(0), pixels + 8);
  EXPECT_EQ(moved.graph_x, 0);
  EXPECT_EQ(src.graph_x, 4);
  ExpectEmpty(src);

  FCObjImage target;
  ASSERT_TRUE(target.Create(5, 5, 24));
  const HBITMAP replaced = target.SectionHandle();
  target = std::move(moved);
  EXPECT_EQ(target.PixelMemory(), pixels);
  EXPECT_EQ(target.SignedHeight(), 2);
  ExpectEmpty(moved);
  EXPECT_EQ(GetObjectType(replaced), 0u);
}

TEST(ObjImageShared, BothOwnershipFormsReleaseTheSection) {
  std::shared_ptr<FCObjImage> made = std::make_shared<FCObjImage>();
  std::shared_ptr<FCObjImage> adopted(new FCObjImage);
  ASSERT_TRUE(made->Create(2, 2, 32));
  ASSERT_TRUE(adopted->Create(2, -2, 24));
  const HBITMAP a = made->SectionHandle();
  const HBITMAP b = adopted->SectionHandle();
  std::shared_ptr<FCObjImage> second = made;
  made.reset();
  EXPECT_EQ(GetObjectType(a), static_cast<DWORD>(OBJ_BITMAP));
  second.reset();
  adopted.reset();
  EXPECT_EQ(GetObjectType(a), 0u);
  EXPECT_EQ(GetObjectType(b), 0u);
}

TEST(ObjImageAttach, ViewOverLentMemoryReleasesOnlyItsRowTable) {
  uint32_t lent[3 * 2] = {1, 2, 3, 4, 5, 6};
  FCObjImage view;
  ASSERT_TRUE(view.Create(2, 2, 24));
  ASSERT_TRUE(view.AttachExternal(reinterpret_cast<uint8_t*>(lent), 3, 2));
  EXPECT_EQ(view.SignedHeight(), -2);
  EXPECT_EQ(view.BitsPerPixel(), 32);
  EXPECT_EQ(view.Stride(), 12);
  EXPECT_EQ(view.SectionHandle(), nullptr);
  EXPECT_EQ(view.RowPointer(1), reinterpret_cast<uint8_t*>(lent + 3));
  view.PixelPointer(2, 1)[0] = 0x77;

  const FCObjImage copy(view);  // an owning, drawable copy of the view
  EXPECT_NE(copy.SectionHandle(), nullptr);
  EXPECT_EQ(copy.PixelPointer(2, 1)[0], 0x77);

  view.Destroy();
  ExpectEmpty(view);
  EXPECT_EQ(lent[5], 0x77u);
  EXPECT_EQ(lent[0], 1u);

  EXPECT_FALSE(view.AttachExternal(nullptr, 3, 2));
  EXPECT_FALSE(view.AttachExternal(reinterpret_cast<uint8_t*>(lent), 0, 2));
  EXPECT_FALSE(view.AttachExternal(reinterpret_cast<uint8_t*>(lent), 3, -2));
  ExpectEmpty(view);
}
