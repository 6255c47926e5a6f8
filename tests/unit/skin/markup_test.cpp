// Skin markup through the system's XML reader: the tree it gives for a good document, and a clean
// failure for everything a damaged or hostile skin may hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/markup/markup.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  return text;
}

std::string Many(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "<a/>";
  return text;
}

TEST(Markup, ReadsElementsAttributesAndLinesOfAUtf8Document) {
  skin::MarkupNode root;
  std::wstring error;
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- a comment -->\n<Window size='1,2'>\n"
      "  <Label text=\"\xE5\x88\xA0\xE9\x99\xA4 &amp; &#x4E2D;\" Name=\"title\"/>\n  <List>text<Item/></List>\n</Window>";
  ASSERT_TRUE(skin::ParseMarkup(Bytes(text), root, &error)) << error;
  EXPECT_EQ(root.name, L"Window");
  ASSERT_NE(root.Attribute(L"SIZE"), nullptr);
  EXPECT_EQ(*root.Attribute(L"size"), L"1,2");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(*root.children[0].Attribute(L"text"), L"删除 & 中");
  EXPECT_EQ(*root.children[0].Attribute(L"name"), L"title");
  EXPECT_EQ(root.children[0].line, 4u);
  EXPECT_EQ(root.children[1].children.size(), 1u);
  EXPECT_EQ(root.children[0].Attribute(L"missing"), nullptr);
}

TEST(Markup, RefusesWhatASkinMayNotHold) {
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"not XML", "hello"},
      {"unclosed element", "<Window><Label>"},
      {"mismatched end tag", "<Window></Label>"},
      {"two roots", "<a/><b/>"},
      {"attribute without quotes", "<Window size=1/>"},
      {"document type with entities",
       "<!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><w t=\"&b;\"/>"},
      {"external entity", "<!DOCTYPE w [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><w>&x;</w>"},
      {"undeclared entity", "<w t=\"&nothing;\"/>"},
      {"too deep", Nested(33)},
      {"very deep", Nested(100000)},
      {"huge attribute value", "<w t=\"" + std::string(5000, 'v') + "\"/>"},
      {"too many elements", "<w>" + Many(5000) + "</w>"},
      {"larger than a skin", "<w>" + std::string(1u << 21, ' ') + "</w>"},
      {"UTF-16", std::string("\xFF\xFE<\0w\0/\0>\0", 10)},
      {"invalid UTF-8", "<w t=\"\xC3\x28\"/>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    skin::MarkupNode root;
    std::wstring error;
    EXPECT_FALSE(skin::ParseMarkup(Bytes(c.text), root, &error));
    EXPECT_FALSE(error.empty());
  }
  // The depth limit itself is allowed.
  skin::MarkupNode root;
  EXPECT_TRUE(skin::ParseMarkup(Bytes(Nested(32)), root, nullptr));
}

}  // namespace
