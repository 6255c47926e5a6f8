#include "appconfig/command_line.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace {

std::vector<std::wstring> ArgumentsOf(const CCommandLine& line) {
  std::vector<std::wstring> out;
  line.GetArguments(out);
  return out;
}

std::wstring ValueOf(const CCommandLine& line, const wchar_t* name) {
  std::wstring value = L"(unset)";
  if (!line.GetSwitchValue(name, value)) return L"(absent)";
  return value;
}

TEST(CommandLineTokens, PrefixesAreInterchangeableAndNamesCaseSensitive) {
  for (const wchar_t* text : {L"/install", L"-install", L"--install"}) {
    CCommandLine line;
    line.Parse(text);
    EXPECT_TRUE(line.HasSwitch(L"install")) << text;
    EXPECT_TRUE(line.HasSwitch(L"/install")) << text;
    EXPECT_TRUE(line.HasSwitch(L"--install")) << text;
    EXPECT_TRUE(line.HasSwitch(L"-install")) << text;
    EXPECT_FALSE(line.HasSwitch(L"Install")) << text;
    EXPECT_FALSE(line.HasSwitch(L"uninstall")) << text;
    EXPECT_TRUE(ArgumentsOf(line).empty()) << text;
  }
}

TEST(CommandLineTokens, ValuesSplitAtTheFirstEqualsSignAndLoseWrappingQuotes) {
  CCommandLine line;
  line.Parse(L"-a=\"x y\" --b= -d=k=v --f --from=main");
  EXPECT_EQ(ValueOf(line, L"a"), L"x y");
  EXPECT_EQ(ValueOf(line, L"b"), L"");
  EXPECT_EQ(ValueOf(line, L"d"), L"k=v");
  EXPECT_EQ(ValueOf(line, L"f"), L"");
  EXPECT_EQ(ValueOf(line, L"from"), L"main");
  EXPECT_EQ(ValueOf(line, L"--from"), L"main");
  EXPECT_EQ(ValueOf(line, L"nothing"), L"(absent)");

  // A lone quote as the whole value becomes empty; followed by more text it opens a quoted
  // stretch that runs to the end of the line.
  CCommandLine lone;
  lone.Parse(L"/c=\"");
  EXPECT_EQ(ValueOf(lone, L"c"), L"");
  CCommandLine loneQuote;
  loneQuote.Parse(L"/c=\" x");
  EXPECT_EQ(ValueOf(loneQuote, L"c"), L"\" x");

  // An opening quote without its partner stays, and takes the rest of the line with it.
  CCommandLine half;
  half.Parse(L"-e=\"half --f");
  EXPECT_EQ(ValueOf(half, L"e"), L"\"half --f");
  EXPECT_FALSE(half.HasSwitch(L"f"));
}

TEST(CommandLineTokens, BarePrefixesAndDuplicates) {
  CCommandLine line;
  line.Parse(L"-  --  /  -a=1 x -a=2");
  EXPECT_EQ(ArgumentsOf(line), (std::vector<std::wstring>{L"-", L"/", L"x"}));
  EXPECT_EQ(ValueOf(line, L"a"), L"2");
  EXPECT_FALSE(line.HasSwitch(L""));
  EXPECT_FALSE(line.HasSwitch(L"--"));
}

TEST(CommandLineTokens, QuotesKeepSpacesInsideOneToken) {
  CCommandLine line;
  line.Parse(L"  \"C:\\my pics\\a.jpg\"   next\tword  ");
  EXPECT_EQ(ArgumentsOf(line), (std::vector<std::wstring>{L"\"C:\\my pics\\a.jpg\"", L"next\tword"}));
  EXPECT_EQ(line.GetRawCommandLine(), L"  \"C:\\my pics\\a.jpg\"   next\tword  ");
}

TEST(CommandLineTokens, AnOddQuoteSwallowsTheFollowingSpaces) {
  CCommandLine line;
  line.Parse(L"a\"b c  --install");
  EXPECT_EQ(ArgumentsOf(line), (std::vector<std::wstring>{L"a\"b c  --install"}));
  EXPECT_FALSE(line.HasSwitch(L"install"));
}

TEST(CommandLineTokens, EscapedQuotesAndThePreviousCharacterAcrossTokens) {
  CCommandLine line;
  line.Parse(L"x\\\"y z");
  EXPECT_EQ(ArgumentsOf(line), (std::vector<std::wstring>{L"x\\\"y", L"z"}));

  // The token before ends in a backslash, so the next token's opening quote does not count,
  // and the quote at the end of the last token opens a stretch that runs to the end.
  CCommandLine carried;
  carried.Parse(L"a\\ \"b c\" d");
  EXPECT_EQ(ArgumentsOf(carried), (std::vector<std::wstring>{L"a\\", L"\"b", L"c\" d"}));
}

TEST(CommandLineTokens, EachParseStartsOutsideQuotesAndAddsToEarlierTokens) {
  CCommandLine line;
  line.Parse(L"\"open");
  line.Parse(L"b c -k=v");
  EXPECT_EQ(ArgumentsOf(line), (std::vector<std::wstring>{L"\"open", L"b", L"c"}));
  EXPECT_EQ(ValueOf(line, L"k"), L"v");
  EXPECT_EQ(line.GetRawCommandLine(), L"b c -k=v");
}

TEST(CommandLineFile, ExtensionExeIsSkippedOnlyInLowerCase) {
  testing_support::TempDir dir;
  const std::wstring lower = dir.File(L"tool.exe");
  const std::wstring upper = dir.File(L"Photo.EXE");
  ASSERT_TRUE(testing_support::WriteText(lower, "x"));
  ASSERT_TRUE(testing_support::WriteText(upper, "x"));

  CCommandLine onlyProgram;
  onlyProgram.Parse(L"\"" + lower + L"\"");
  EXPECT_EQ(onlyProgram.GetFileArgument(), L"");

  CCommandLine both;
  both.Parse(L"\"" + lower + L"\" \"" + upper + L"\"");
  EXPECT_EQ(both.GetFileArgument(), upper);
}

TEST(CommandLineFile, FirstExistingPathWinsAndSwitchesAreNotFiles) {
  testing_support::TempDir dir;
  const std::wstring picture = dir.File(L"two words.jpg");
  ASSERT_TRUE(testing_support::WriteText(picture, "x"));
  CCommandLine line;
  line.Parse(L"--from=\"" + picture + L"\" \"" + dir.File(L"missing.jpg") + L"\" \"" + picture + L"\" other.png");
  EXPECT_EQ(line.GetFileArgument(), picture);

  CCommandLine none;
  none.Parse(L"--setting missing.png");
  EXPECT_EQ(none.GetFileArgument(), L"");
}

TEST(CommandLineInstance, OneInstanceUntilDestroyed) {
  CCommandLine::DestroyInstance();
  std::vector<CCommandLine*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = CCommandLine::Instance(); });
  for (auto& t : threads) t.join();
  for (CCommandLine* p : seen) EXPECT_EQ(p, seen[0]);
  seen[0]->Parse(L"--install");
  CCommandLine::DestroyInstance();
  EXPECT_FALSE(CCommandLine::Instance()->HasSwitch(L"install"));
  CCommandLine::DestroyInstance();
}

}  // namespace
