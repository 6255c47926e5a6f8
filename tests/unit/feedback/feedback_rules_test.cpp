// The feedback form's rules without its window: what it accepts from the user, what it makes of
// the server's answer, the bytes of its fields and the system it names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "base/paths.h"
#include "base/strings.h"
#include "companions/netkit/netkit_api.h"
#include "popup_dialog/feedback/answer.h"
#include "popup_dialog/feedback/form.h"
#include "popup_dialog/feedback/os_version.h"
#include "tests/support/test_support.h"

namespace {

using feedback::Outcome;

TEST(FeedbackRules, EachFieldIsCheckedByItsOwnRule) {
  const struct {
    const wchar_t* content;
    const wchar_t* email;
    const wchar_t* phone;
    feedback::InputCheck valid;
  } cases[] = {
      {L"图片打不开", L"lin@example.com", L"13800138000", {true, true, true}},
      {L"", L"a@b", L"18000000000", {false, true, true}},  // nothing described: also what the placeholder gives
      {L" ", L"@", L"14abcdefghi", {true, true, true}},    // only "@", the length and the first two count
      {L"x", L"lin.example.com", L"13800138000", {true, false, true}},
      {L"x", L"", L"", {true, false, false}},
      {L"x", L"a@b", L"12800138000", {true, true, false}},
      {L"x", L"a@b", L"19800138000", {true, true, false}},
      {L"x", L"a@b", L"23800138000", {true, true, false}},
      {L"x", L"a@b", L"1380013800", {true, true, false}},
      {L"x", L"a@b", L"138001380001", {true, true, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(std::wstring(c.content) + L" | " + c.email + L" | " + c.phone));
    const feedback::InputCheck got = feedback::CheckInput({c.content, c.email, c.phone});
    EXPECT_EQ(got.content, c.valid.content);
    EXPECT_EQ(got.email, c.valid.email);
    EXPECT_EQ(got.phone, c.valid.phone);
    EXPECT_EQ(got.AllValid(), c.valid.content && c.valid.email && c.valid.phone);
  }
}

// Accepted means exactly one thing: status 200 and an errno of 0. Everything else is told apart.
TEST(FeedbackRules, OnlyErrnoZeroWithStatus200IsAccepted) {
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::string longMessage = "{\"errno\":3,\"msg\":\"" + std::string(1000, 'x') + "\"}";
  const struct {
    const char* what;
    int state;
    int status;
    std::string body;
    Outcome outcome;
    long long code;
    std::wstring message;
  } cases[] = {
      {"accepted", kHttpTaskFinished, 200, R"({"errno":0,"msg":"ok"})", Outcome::kAccepted, 0, L""},
      {"accepted, blanks around", kHttpTaskFinished, 200, " {\"errno\":0.0}\r\n", Outcome::kAccepted, 0, L""},
      {"refused with a message", kHttpTaskFinished, 200, "{\"errno\":7,\"msg\":\"\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8\xE5\xBF\x99\"}",
       Outcome::kRefused, 7, L"服务器忙"},
      {"refused, empty message", kHttpTaskFinished, 200, R"({"errno":1,"msg":""})", Outcome::kRefused, 1, L""},
      {"refused, blank message", kHttpTaskFinished, 200, R"({"errno":-3,"msg":" \t "})", Outcome::kRefused, -3, L""},
      {"refused, message not text", kHttpTaskFinished, 200, R"({"errno":2,"msg":42})", Outcome::kRefused, 2, L""},
      {"refused, line breaks", kHttpTaskFinished, 200, R"({"errno":2,"msg":"one\r\ntwo"})", Outcome::kRefused, 2,
       L"one  two"},
      {"refused, huge number", kHttpTaskFinished, 200, R"({"errno":1e300})", Outcome::kRefused, 0, L""},
      {"refused, long message", kHttpTaskFinished, 200, longMessage, Outcome::kRefused, 3,
       std::wstring(feedback::kMaxServerMessage, L'x') + L"…"},
      {"no errno", kHttpTaskFinished, 200, R"({"msg":"ok"})", Outcome::kUnreadable, 0, L""},
      {"errno as text", kHttpTaskFinished, 200, R"({"errno":"0"})", Outcome::kUnreadable, 0, L""},
      {"errno null", kHttpTaskFinished, 200, R"({"errno":null})", Outcome::kUnreadable, 0, L""},
      {"an array", kHttpTaskFinished, 200, "[0]", Outcome::kUnreadable, 0, L""},
      {"a bare number", kHttpTaskFinished, 200, "0", Outcome::kUnreadable, 0, L""},
      {"empty", kHttpTaskFinished, 200, "", Outcome::kUnreadable, 0, L""},
      {"a web page", kHttpTaskFinished, 200, "<html>busy</html>", Outcome::kUnreadable, 0, L""},
      {"cut short", kHttpTaskFinished, 200, R"({"errno":0)", Outcome::kUnreadable, 0, L""},
      {"something after it", kHttpTaskFinished, 200, R"({"errno":0}<html>)", Outcome::kUnreadable, 0, L""},
      {"a zero byte inside", kHttpTaskFinished, 200, std::string("{\"errno\":0}\0x", 13), Outcome::kUnreadable, 0, L""},
      {"nested too deep", kHttpTaskFinished, 200, deep, Outcome::kUnreadable, 0, L""},
      {"status 201", kHttpTaskFinished, 201, R"({"errno":0})", Outcome::kHttpStatus, 201, L""},
      {"status 500", kHttpTaskFinished, 500, R"({"errno":0})", Outcome::kHttpStatus, 500, L""},
      {"a redirect", kHttpTaskFinished, 302, "", Outcome::kHttpStatus, 302, L""},
      {"no connection", kHttpTaskFailed, 0, "", Outcome::kNoAnswer, kHttpErrorConnect, L""},
      {"timed out", kHttpTaskFailed, 0, "", Outcome::kNoAnswer, kHttpErrorTimeout, L""},
      {"cancelled", kHttpTaskCancelled, 0, "", Outcome::kCancelled, 0, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int error = c.state == kHttpTaskFailed ? static_cast<int>(c.code) : kHttpOk;
    const feedback::UploadResult got = feedback::ReadUploadResult({c.state, error, c.status, c.body});
    EXPECT_EQ(got.outcome, c.outcome);
    EXPECT_EQ(got.code, c.code);
    EXPECT_EQ(got.message, c.message);
  }
}

TEST(FeedbackRules, TheFieldsGoOutAsUtf8InTheirOrder) {
  const feedback::FormFields fields =
      feedback::BuildFormFields({L"图片\r\n\"打不开\"", L"lin@例子.cn", L"13800138000"}, L"10.0.19045");
  const feedback::FormFields expected = {
      {"suggest", "\xE5\x9B\xBE\xE7\x89\x87\r\n\"\xE6\x89\x93\xE4\xB8\x8D\xE5\xBC\x80\""},
      {"email", "lin@\xE4\xBE\x8B\xE5\xAD\x90.cn"},
      {"phone", "13800138000"},
      {"type", "3"},
      {"system", "10.0.19045"},
  };
  EXPECT_EQ(fields, expected);
}

// The system comes from the base-services library when the program folder has one that answers
// sensibly, and from the kernel otherwise, in the same words: the real library names it as the
// kernel does.
TEST(FeedbackRules, TheSystemIsNamedByTheBaseLibraryOrElseByTheKernel) {
  const std::wstring kernel = feedback::KernelVersionText();
  unsigned major = 0, minor = 0, build = 0;
  wchar_t after = 0;
  ASSERT_EQ(std::swscanf(kernel.c_str(), L"%u.%u.%u%lc", &major, &minor, &build, &after), 3) << base::WideToUtf8(kernel);
  // Windows 10 and 11 both say 10 (the test prefix plays Windows 10), whatever the manifest says.
  EXPECT_EQ(major, 10u);
  EXPECT_GT(build, 0u);

  const struct {
    std::wstring library;  // copied in as QuellinBase.dll; none when empty
    std::wstring expected;
  } cases[] = {
      {L"", kernel},
      {base::JoinPath(testing_support::BinDir(), L"QuellinBase.dll"), kernel},
      {base::JoinPath(base::GetModuleFolder(), L"base_stand_in_good.dll"), L"10.0.22631"},
      {base::JoinPath(base::GetModuleFolder(), L"base_stand_in_lying.dll"), kernel},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.library));
    testing_support::TempDir program;
    if (!c.library.empty()) {
      ASSERT_TRUE(::CopyFileW(c.library.c_str(), program.File(L"QuellinBase.dll").c_str(), FALSE));
    }
    EXPECT_EQ(feedback::OsVersionText(program.Path()), c.expected);
  }
}

}  // namespace
