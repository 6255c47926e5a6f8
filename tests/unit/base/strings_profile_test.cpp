#include <gtest/gtest.h>

#include "base/paths.h"
#include "base/profile.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

TEST(ParseInt64, FollowsCrtRulesForTextAndOverflow) {
  EXPECT_EQ(base::ParseInt64(L"42"), 42);
  EXPECT_EQ(base::ParseInt64(L"  -17xyz"), -17);
  EXPECT_EQ(base::ParseInt64(L"abc"), 0);
  EXPECT_EQ(base::ParseInt64(L""), 0);
  EXPECT_EQ(base::ParseInt64(L"+"), 0);
  EXPECT_EQ(base::ParseInt64(L"99999999999999999999"), INT64_MAX);
  EXPECT_EQ(base::ParseInt64(L"-99999999999999999999"), INT64_MIN);
  EXPECT_EQ(base::ParseInt64(L"-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(base::ParseInt64(L"4294967296"), 4294967296LL);
}

TEST(Paths, CompositionIsBoundedByMaxPath) {
  const std::wstring longFolder(250, L'a');
  EXPECT_EQ(base::JoinPath(L"C:\\x", L"y.ini"), L"C:\\x\\y.ini");
  EXPECT_EQ(base::JoinPath(L"C:\\x\\", L"y.ini"), L"C:\\x\\y.ini");
  EXPECT_TRUE(base::JoinPath(longFolder, L"config.ini").empty());
  EXPECT_EQ(base::JoinPath(longFolder.substr(0, 248), L"a").size(), 250u);
  EXPECT_EQ(base::FolderOf(L"C:\\a\\b.jpg"), L"C:\\a\\");
  EXPECT_EQ(base::FileNameOf(L"C:\\a\\b.jpg"), L"b.jpg");
}

TEST(Profile, MarkerEmptyAndLongValues) {
  TempDir dir;
  const std::wstring ini = dir.File(L"t.ini");
  const std::wstring longValue(300, L'x');
  ASSERT_TRUE(testing_support::WriteUtf16(ini, L"[s]\r\nempty=\r\nshort=abc\r\nlong=" + longValue + L"\r\n"));
  std::wstring out;
  EXPECT_FALSE(base::ReadProfileString(ini, L"s", L"missing", out));
  EXPECT_TRUE(base::ReadProfileString(ini, L"s", L"empty", out));
  EXPECT_EQ(out, L"");
  EXPECT_TRUE(base::ReadProfileString(ini, L"s", L"long", out));
  EXPECT_EQ(out, longValue);
  EXPECT_FALSE(base::ReadProfileValue(ini, L"s", L"empty").has_value());
  EXPECT_EQ(base::ReadProfileValue(ini, L"s", L"short").value_or(L"?"), L"abc");
  ASSERT_TRUE(base::WriteProfileInt64(ini, L"big", 5000000000LL, L"s"));
  EXPECT_EQ(base::ReadProfileValue(ini, L"s", L"big").value_or(L"?"), L"5000000000");
}
