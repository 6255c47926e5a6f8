// The skin archive reader against good and damaged archives: every damage is a clean failure,
// never a crash or a read outside the archive's bytes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "skin/archive/zip_archive.h"
#include "tests/unit/skin/zip_writer.h"

namespace {

using skin::ZipArchive;
using skin_test::Set16;
using skin_test::Set32;
using skin_test::WriteZip;
using skin_test::ZipEntry;
using skin_test::ZipLayout;

const std::string kText(300, 'x');

std::vector<ZipEntry> Sample() {
  return {{"a.xml", "<Window/>", false}, {"images/b.png", kText + "tail", true}, {"c.txt", "", true}};
}

std::string Read(const ZipArchive& archive, const wchar_t* name, bool* ok, std::wstring* error = nullptr) {
  std::vector<uint8_t> bytes;
  *ok = archive.Read(name, bytes, error);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ZipArchive, ReadsStoredDeflatedAndEmptyEntriesByAnySpellingOfTheirName) {
  std::wstring error;
  auto archive = ZipArchive::Open(WriteZip(Sample()), &error);
  ASSERT_TRUE(archive) << error;
  bool ok = false;
  EXPECT_EQ(Read(*archive, L"a.xml", &ok), "<Window/>");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Read(*archive, L"IMAGES\\B.PNG", &ok), kText + "tail");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Read(*archive, L"c.txt", &ok), "");
  EXPECT_TRUE(ok);
  Read(*archive, L"missing.xml", &ok, &error);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find(L"missing.xml"), std::wstring::npos);
  // A name that climbs out is refused before any lookup.
  Read(*archive, L"../a.xml", &ok);
  EXPECT_FALSE(ok);
}

// One damage each; "opens" says whether the index may still be built, in which case reading every
// entry must fail for at least the damaged one.
struct Damage {
  const char* what;
  std::function<void(std::vector<uint8_t>&, const ZipLayout&)> apply;
  bool opens;
};

TEST(ZipArchive, RefusesEveryKindOfDamageCleanly) {
  const Damage damages[] = {
      {"no end record", [](auto& z, auto& l) { z[l.end_record] = 'X'; }, false},
      {"directory offset past the end", [](auto& z, auto& l) { Set32(z, l.end_record + 16, 0xFFFFFF00u); }, false},
      {"directory offset near 4 GiB wraps", [](auto& z, auto& l) { Set32(z, l.end_record + 16, 0xFFFFFFF0u); }, false},
      {"directory size past the end", [](auto& z, auto& l) { Set32(z, l.end_record + 12, 0x7FFFFFFFu); }, false},
      {"more entries than records", [](auto& z, auto& l) { Set16(z, l.end_record + 8, 9); Set16(z, l.end_record + 10, 9); }, false},
      {"multi-part archive", [](auto& z, auto& l) { Set16(z, l.end_record + 4, 1); }, false},
      {"ZIP64 marker", [](auto& z, auto& l) { Set32(z, l.end_record + 16, 0xFFFFFFFFu); }, false},
      {"comment longer than the file", [](auto& z, auto& l) { Set16(z, l.end_record + 20, 500); }, false},
      {"name length past the directory", [](auto& z, auto& l) { Set16(z, l.central_records[1] + 28, 60000); }, false},
      {"local offset past the directory", [](auto& z, auto& l) { Set32(z, l.central_records[1] + 42, 0x7FFFFFF0u); }, false},
      {"unsupported compression", [](auto& z, auto& l) { Set16(z, l.central_records[1] + 10, 12); }, false},
      {"encrypted entry", [](auto& z, auto& l) { Set16(z, l.central_records[1] + 8, 1); }, false},
      {"stored sizes disagree", [](auto& z, auto& l) { Set32(z, l.central_records[0] + 24, 4); }, false},
      {"entry larger than any skin file", [](auto& z, auto& l) { Set32(z, l.central_records[1] + 24, 0x7FFFFFFFu); }, false},
      {"bad CRC", [](auto& z, auto& l) { z[l.central_records[0] + 16] ^= 0x55; }, true},
      {"compressed size past the file", [](auto& z, auto& l) { Set32(z, l.central_records[1] + 20, 0x00FFFFFFu); }, true},
      {"declared size smaller than the data", [](auto& z, auto& l) { Set32(z, l.central_records[1] + 24, 10); }, true},
      {"declared size larger than the data", [](auto& z, auto& l) { Set32(z, l.central_records[1] + 24, 5000); }, true},
      {"compressed data damaged", [](auto& z, auto& l) { z[l.local_headers[1] + 30 + 12 + 2] ^= 0xFF; }, true},
      {"local header signature", [](auto& z, auto& l) { z[l.local_headers[1]] = 'Q'; }, true},
      {"local name length past the file", [](auto& z, auto& l) { Set16(z, l.local_headers[1] + 26, 65000); }, true},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    ZipLayout layout;
    std::vector<uint8_t> bytes = WriteZip(Sample(), &layout);
    damage.apply(bytes, layout);
    std::wstring error;
    auto archive = ZipArchive::Open(bytes, &error);
    if (!damage.opens) {
      EXPECT_FALSE(archive);
      EXPECT_FALSE(error.empty());
      continue;
    }
    ASSERT_TRUE(archive) << error;
    bool allRead = true;
    for (const std::wstring& name : archive->Names()) {
      std::vector<uint8_t> out;
      allRead = archive->Read(name, out, &error) && allRead;
    }
    EXPECT_FALSE(allRead);
  }
}

TEST(ZipArchive, EveryTruncationFailsCleanly) {
  const std::vector<uint8_t> whole = WriteZip(Sample());
  for (size_t length = 0; length < whole.size(); ++length) {
    std::wstring error;
    auto archive = ZipArchive::Open(std::vector<uint8_t>(whole.begin(), whole.begin() + length), &error);
    EXPECT_FALSE(archive) << length;
  }
}

TEST(ZipArchive, NamesThatLeaveTheArchiveAreRefused) {
  const char* bad[] = {"../up.xml", "a/../../b.xml", "a\\..\\b", "C:evil.xml", "c:\\evil.xml", "/abs.xml",
                       "\\abs.xml", "a//b.xml", "./a.xml", "a/./b", "tab\there", ".."};
  for (const char* name : bad) {
    SCOPED_TRACE(name);
    std::wstring error;
    EXPECT_FALSE(ZipArchive::Open(WriteZip({{name, "x", false}}), &error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(ZipArchive::Open(WriteZip({{"images/icon1.png", "x", false}, {"dots..in.name", "y", false}}), nullptr));
  // Two spellings of one name are one entry too many.
  EXPECT_FALSE(ZipArchive::Open(WriteZip({{"A.xml", "x", false}, {"a.XML", "y", false}}), nullptr));
}

}  // namespace
