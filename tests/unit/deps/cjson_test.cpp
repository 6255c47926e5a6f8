// cJSON as built from Debian's source package: the answers of the feedback server are read with it.
#include <gtest/gtest.h>

#include <cJSON.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

}  // namespace

TEST(CJson, ReadsMembersByNameWithTheirTypes) {
  const Json answer(cJSON_Parse(R"({"errno":0,"msg":"ok","extra":[1,2]})"));
  ASSERT_TRUE(answer);
  const cJSON* code = cJSON_GetObjectItemCaseSensitive(answer.get(), "errno");
  const cJSON* msg = cJSON_GetObjectItemCaseSensitive(answer.get(), "msg");
  ASSERT_TRUE(cJSON_IsNumber(code));
  EXPECT_EQ(code->valueint, 0);
  ASSERT_TRUE(cJSON_IsString(msg));
  EXPECT_STREQ(msg->valuestring, "ok");
  EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(answer.get(), "missing"), nullptr);

  // Escaped text arrives as UTF-8.
  const Json chinese(cJSON_Parse(R"({"errno":3,"msg":"\u5931\u8d25"})"));
  ASSERT_TRUE(chinese);
  EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(chinese.get(), "errno")->valueint, 3);
  EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(chinese.get(), "msg")->valuestring, "\xE5\xA4\xB1\xE8\xB4\xA5");
}

TEST(CJson, MalformedAndUnterminatedInputIsRefused) {
  for (const char* text : {"", "{", R"({"errno":0,"msg":"ok")", R"({"errno":0,"msg":"ok)", R"({"errno":,})",
                           "<html>502 Bad Gateway</html>", R"({"errno":0} trailing)"}) {
    SCOPED_TRACE(text);
    const Json parsed(cJSON_ParseWithOpts(text, nullptr, /*require_null_terminated=*/1));
    EXPECT_FALSE(parsed);
  }
  // A buffer without a terminator, read only as far as its length says.
  const std::string full = R"({"errno":0,"msg":"ok"})";
  const std::unique_ptr<char[]> bytes(new char[full.size()]);
  std::memcpy(bytes.get(), full.data(), full.size());
  const Json whole(cJSON_ParseWithLength(bytes.get(), full.size()));
  EXPECT_TRUE(whole);
  const Json cut(cJSON_ParseWithLength(bytes.get(), full.size() - 1));
  EXPECT_FALSE(cut);
}
