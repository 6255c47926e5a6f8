#include <gtest/gtest.h>

#include <map>
#include <string>

#include "appconfig/folders.h"
#include "appconfig/language.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetLanguageFolderForTesting(L"");
    SetCurrentLanguageName(L"en.ini");
  }
};

TEST(LanguageLocale, TableFollowsTheLocaleName) {
  const std::map<std::wstring, std::wstring> cases = {
      {L"zh-CN", L"cn_simp.ini"}, {L"zh-SG", L"cn_simp.ini"}, {L"zh-Hans", L"cn_simp.ini"}, {L"ZH", L"cn_simp.ini"},
      {L"zh-cn", L"cn_simp.ini"}, {L"zh-TW", L"cn_trad.ini"}, {L"zh-HK", L"cn_trad.ini"},
      {L"zh-Hans-CN", L"cn_trad.ini"},  // neither the "zh-CN" prefix nor exactly "zh-Hans"
      {L"zh-Hant-TW", L"cn_trad.ini"}, {L"fr-CA", L"fr.ini"}, {L"fr", L"en.ini"}, {L"de-DE", L"de.ini"},
      {L"de", L"en.ini"}, {L"es-MX", L"es.ini"}, {L"pt-BR", L"pt.ini"}, {L"ru", L"ru.ini"}, {L"ru-RU", L"ru.ini"},
      {L"ar-SA", L"ar.ini"}, {L"it", L"it.ini"}, {L"ja-JP", L"ja.ini"}, {L"ko-KR", L"ko.ini"},
      {L"en-US", L"en.ini"}, {L"", L"en.ini"}, {L"nl-NL", L"en.ini"}};
  for (const auto& [locale, file] : cases) EXPECT_EQ(LanguageFileForLocale(locale), file) << locale;
  wchar_t system[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(::GetSystemDefaultLocaleName(system, LOCALE_NAME_MAX_LENGTH), 0);
  EXPECT_EQ(ChooseLanguageFile(), LanguageFileForLocale(system));
}

TEST_F(LanguageTest, LookupsReadTheCurrentFile) {
  TempDir dir;
  const std::wstring longValue(300, L'长');
  const std::wstring hugeValue(5000, L'h');
  ASSERT_TRUE(testing_support::WriteUtf16(
      dir.File(L"xx.ini"), L"[app]\r\nNAME=奎林看图\r\nEMPTY=\r\nLONG=" + longValue + L"\r\nHUGE=" + hugeValue +
                               L"\r\n[DLG_SETTING]\r\n12=Ask before deleting\r\n"));
  SetLanguageFolderForTesting(dir.Path());
  EXPECT_EQ(GetLanguageString(L"app", L"NAME"), L"");  // en.ini is not in this folder
  ASSERT_TRUE(SetCurrentLanguageName(L"xx.ini"));
  EXPECT_EQ(GetLanguageString(L"app", L"NAME"), L"奎林看图");
  EXPECT_EQ(GetLanguageString(L"app", L"MISSING"), L"");
  EXPECT_EQ(GetLanguageString(L"nosection", L"NAME"), L"");
  EXPECT_EQ(GetLanguageString(L"app", L"EMPTY"), L"");
  EXPECT_EQ(GetLanguageString(L"app", L"LONG"), longValue);
  EXPECT_EQ(GetLanguageString(L"app", L"HUGE"), hugeValue.substr(0, 4095));
  EXPECT_EQ(GetLanguageString(nullptr, L"NAME"), L"");
  EXPECT_EQ(GetLanguageStringById(L"DLG_SETTING", 12), L"Ask before deleting");
  EXPECT_EQ(CMultiLanguageLoader(L"DLG_SETTING").GetString(12), L"Ask before deleting");
  EXPECT_EQ(CMultiLanguageLoader(L"DLG_SETTING").GetString(13), L"");

  EXPECT_FALSE(SetCurrentLanguageName(std::wstring(32, L'a')));
  EXPECT_EQ(GetCurrentLanguageName(), L"xx.ini");
}

TEST_F(LanguageTest, ProgramLanguageFolderIsBesideTheExecutable) {
  EXPECT_EQ(GetLanguageFolder(), GetModuleFolder() + L"language\\");
  TempDir dir;
  SetLanguageFolderForTesting(dir.Path());
  EXPECT_EQ(GetLanguageFolder(), dir.Path());
}

// Every line of the UTF-8 source file, read back through the profile functions from the copy
// the build made. Answers the number of keys compared.
int ExpectBuiltFileMatchesSource(const std::wstring& name, std::map<std::wstring, std::wstring>* keys) {
  const std::vector<uint8_t> source = testing_support::ReadBytes(testing_support::SourceDir() + L"language\\" + name);
  EXPECT_FALSE(source.empty()) << "source " << base::WideToUtf8(name);
  const std::vector<uint8_t> built = testing_support::ReadBytes(testing_support::BinDir() + L"language\\" + name);
  EXPECT_TRUE(built.size() > 2 && built[0] == 0xFF && built[1] == 0xFE) << "byte-order mark";
  if (!SetCurrentLanguageName(name)) return 0;
  const std::wstring text = base::Utf8ToWide(std::string(source.begin(), source.end()));
  std::wstring_view rest = text;
  std::wstring section;
  int compared = 0;
  for (bool more = true; more;) {
    std::wstring line(base::SplitNext(rest, L'\n', more));
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      section = line.substr(1, line.find(L']') - 1);
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::wstring key = line.substr(0, eq);
    EXPECT_EQ(GetLanguageString(section.c_str(), key.c_str()), line.substr(eq + 1)) << base::WideToUtf8(key);
    (*keys)[section + L"/" + key] = line.substr(eq + 1);
    ++compared;
  }
  return compared;
}

size_t ListItems(const std::wstring& list) {
  size_t n = 0;
  std::wstring_view rest = list;
  for (bool more = true; more;) n += base::SplitNext(rest, L'/', more).empty() ? 0 : 1;
  return n;
}

TEST_F(LanguageTest, BuiltLanguageFilesReadBackAsWritten) {
  if (testing_support::EnvPath(L"QL_SOURCE_DIR").empty()) GTEST_SKIP() << "run through ctest (QL_SOURCE_DIR)";
  SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
  std::map<std::wstring, std::wstring> english, chinese;
  EXPECT_GT(ExpectBuiltFileMatchesSource(L"en.ini", &english), 40);
  EXPECT_GT(ExpectBuiltFileMatchesSource(L"cn_simp.ini", &chinese), 40);
  EXPECT_EQ(chinese[L"app/NAME"], L"奎林看图");
  EXPECT_EQ(english[L"app/NAME"], L"Quellin");
  for (const auto& [key, value] : english) EXPECT_EQ(chinese.count(key), 1u) << base::WideToUtf8(key);
  // The information panel shows these lists only with exactly these item counts.
  for (auto* table : {&english, &chinese}) {
    EXPECT_EQ(ListItems((*table)[L"EXIF/80"]), 7u);
    EXPECT_EQ(ListItems((*table)[L"EXIF/81"]), 2u);
    EXPECT_EQ(ListItems((*table)[L"EXIF/82"]), 2u);
    EXPECT_EQ(ListItems((*table)[L"EXIF/83"]), 9u);
  }
}

}  // namespace
