#include "skin/build/skin_builder.h"

#include "base/strings.h"
#include "skin/controls/button.h"
#include "skin/controls/container.h"
#include "skin/controls/edit.h"
#include "skin/controls/link_text.h"
#include "skin/controls/list.h"
#include "skin/markup/markup.h"

namespace skin {
namespace {

bool Fail(std::wstring* error, const std::wstring& file, UINT line, const std::wstring& text) {
  if (error) *error = file + (line ? base::FormatW(L"(%u)", line) : std::wstring()) + L": " + text;
  return false;
}

class Builder {
 public:
  Builder(const std::wstring& file, BuiltSkin& out, std::wstring* error) : file_(file), out_(out), error_(error) {}

  bool Window(const MarkupNode& node) {
    if (!base::EqualsNoCase(node.name, L"Window")) return Fail(error_, file_, node.line, L"the root element must be <Window>");
    for (const auto& [key, value] : node.attributes) {
      bool ok = true;
      if (base::EqualsNoCase(key, L"size")) {
        ok = ParseSize(value, out_.window.size) && out_.window.size.cx >= 0 && out_.window.size.cy >= 0;
      } else if (base::EqualsNoCase(key, L"caption")) {
        ok = ParseRect(value, out_.window.caption);
      } else if (base::EqualsNoCase(key, L"shadow")) {
        ok = ParseBool(value, out_.window.shadow);
      } else if (base::EqualsNoCase(key, L"shadowimage")) {
        ImageDescription description;
        ok = ParseImageDescription(value, description);
        out_.window.shadow_image = value;
      } else {
        return Fail(error_, file_, node.line, L"<Window> has no attribute " + key);
      }
      if (!ok) return Fail(error_, file_, node.line, L"attribute " + key + L" of <Window> cannot be read");
    }
    for (const MarkupNode& child : node.children) {
      const Declared declared = Declaration(child, true);
      if (declared == Declared::kFailed) return false;
      if (declared == Declared::kDone) continue;
      if (out_.root) return Fail(error_, file_, child.line, L"<Window> holds more than one root control");
      out_.root = Element(child);
      if (!out_.root) return false;
    }
    if (!out_.root) return Fail(error_, file_, node.line, L"<Window> holds no control");
    return true;
  }

 private:
  enum class Declared { kNone, kDone, kFailed };
  static Declared Result(bool ok) { return ok ? Declared::kDone : Declared::kFailed; }

  // Fonts, styles and includes; kNone for an element that is none of them.
  Declared Declaration(const MarkupNode& node, bool includesAllowed) {
    if (base::EqualsNoCase(node.name, L"Font")) return Result(Font(node));
    if (base::EqualsNoCase(node.name, L"Style")) return Result(Style(node));
    if (base::EqualsNoCase(node.name, L"Include")) {
      if (!includesAllowed) return Result(Fail(error_, file_, node.line, L"an included file cannot include others"));
      return Result(Include(node));
    }
    return Declared::kNone;
  }

  bool Font(const MarkupNode& node) {
    FontDescription description;
    std::wstring id;
    bool makeDefault = false;
    for (const auto& [key, value] : node.attributes) {
      bool ok = true;
      if (base::EqualsNoCase(key, L"id")) {
        id = value;
      } else if (base::EqualsNoCase(key, L"face")) {
        ok = !value.empty() && value.size() < LF_FACESIZE;
        description.face = value;
      } else if (base::EqualsNoCase(key, L"size")) {
        ok = ParseInt(value, description.size) && description.size > 0 && description.size <= 200;
      } else if (base::EqualsNoCase(key, L"bold")) {
        ok = ParseBool(value, description.bold);
      } else if (base::EqualsNoCase(key, L"italic")) {
        ok = ParseBool(value, description.italic);
      } else if (base::EqualsNoCase(key, L"underline")) {
        ok = ParseBool(value, description.underline);
      } else if (base::EqualsNoCase(key, L"default")) {
        ok = ParseBool(value, makeDefault);
      } else {
        return Fail(error_, file_, node.line, L"<Font> has no attribute " + key);
      }
      if (!ok) return Fail(error_, file_, node.line, L"attribute " + key + L" of <Font> cannot be read");
    }
    if (id.empty()) return Fail(error_, file_, node.line, L"<Font> needs an id");
    out_.resources->AddFont(id, description, makeDefault);
    return true;
  }

  bool Style(const MarkupNode& node) {
    std::wstring id;
    AttributeList attributes;
    for (const auto& attribute : node.attributes) {
      if (base::EqualsNoCase(attribute.first, L"id")) {
        id = attribute.second;
      } else {
        attributes.push_back(attribute);
      }
    }
    if (id.empty()) return Fail(error_, file_, node.line, L"<Style> needs an id");
    out_.resources->AddStyle(id, std::move(attributes));
    return true;
  }

  bool Include(const MarkupNode& node) {
    const std::wstring* source = node.Attribute(L"source");
    if (!source || node.attributes.size() != 1) return Fail(error_, file_, node.line, L"<Include> takes one attribute, source");
    std::vector<uint8_t> bytes;
    std::wstring reason;
    if (!out_.resources->Archive().Read(*source, bytes, &reason)) return Fail(error_, file_, node.line, reason);
    MarkupNode included;
    if (!ParseMarkup(bytes, included, &reason)) return Fail(error_, *source, 0, reason);
    Builder inner(*source, out_, error_);
    for (const MarkupNode& child : included.children) {
      const Declared declared = inner.Declaration(child, false);
      if (declared == Declared::kFailed) return false;
      if (declared == Declared::kNone) return Fail(error_, *source, child.line, L"an included file holds only fonts and styles");
    }
    return true;
  }

  bool Apply(Control& control, const std::wstring& key, const std::wstring& value, UINT line) {
    std::wstring reason;
    if (!control.SetAttribute(key, value, &reason)) return Fail(error_, file_, line, reason);
    return true;
  }

  std::unique_ptr<Control> Element(const MarkupNode& node) {
    std::unique_ptr<Control> control = MakeControl(node.name);
    if (!control) {
      Fail(error_, file_, node.line, L"<" + node.name + L"> is no control");
      return nullptr;
    }
    if (const std::wstring* style = node.Attribute(L"style")) {
      const AttributeList* attributes = out_.resources->Style(*style);
      if (!attributes) {
        Fail(error_, file_, node.line, L"there is no style " + *style);
        return nullptr;
      }
      for (const auto& [key, value] : *attributes) {
        if (!Apply(*control, key, value, node.line)) return nullptr;
      }
    }
    for (const auto& [key, value] : node.attributes) {
      if (base::EqualsNoCase(key, L"style")) continue;
      if (!Apply(*control, key, value, node.line)) return nullptr;
    }
    auto* container = dynamic_cast<Container*>(control.get());
    if (!node.children.empty() && !container) {
      Fail(error_, file_, node.line, L"<" + node.name + L"> cannot hold other controls");
      return nullptr;
    }
    const bool isList = dynamic_cast<List*>(control.get()) != nullptr;
    for (const MarkupNode& child : node.children) {
      std::unique_ptr<Control> made = Element(child);
      if (!made) return nullptr;
      if (isList != (dynamic_cast<ListItem*>(made.get()) != nullptr)) {
        Fail(error_, file_, child.line, L"list items belong in lists, and lists hold only list items");
        return nullptr;
      }
      container->Add(std::move(made));
    }
    return control;
  }

  const std::wstring& file_;
  BuiltSkin& out_;
  std::wstring* error_;
};

}  // namespace

std::unique_ptr<Control> MakeControl(std::wstring_view kind) {
  const auto is = [&](const wchar_t* name) { return base::EqualsNoCase(kind, name); };
  if (is(L"Control")) return std::make_unique<Control>();
  if (is(L"Label")) return std::make_unique<Label>();
  if (is(L"Picture")) return std::make_unique<Picture>();
  if (is(L"Text")) return std::make_unique<LinkText>();
  if (is(L"Button")) return std::make_unique<Button>();
  if (is(L"Option")) return std::make_unique<Option>();
  if (is(L"CheckBox")) return std::make_unique<CheckBox>();
  if (is(L"Edit")) return std::make_unique<Edit>();
  if (is(L"List")) return std::make_unique<List>();
  if (is(L"ListItem")) return std::make_unique<ListItem>();
  if (is(L"Container")) return std::make_unique<Container>();
  if (is(L"VerticalLayout")) return std::make_unique<VerticalLayout>();
  if (is(L"HorizontalLayout")) return std::make_unique<HorizontalLayout>();
  if (is(L"TabLayout")) return std::make_unique<TabLayout>();
  return nullptr;
}

bool BuildSkin(std::shared_ptr<const ZipArchive> archive, const std::wstring& skinFile, BuiltSkin& out,
               std::wstring* error) {
  out = BuiltSkin{};
  if (!archive) return Fail(error, skinFile, 0, L"no archive is open");
  out.resources = std::make_unique<SkinResources>(archive);
  std::vector<uint8_t> bytes;
  std::wstring reason;
  if (!archive->Read(skinFile, bytes, &reason)) return Fail(error, skinFile, 0, reason);
  MarkupNode root;
  if (!ParseMarkup(bytes, root, &reason)) return Fail(error, skinFile, 0, reason);
  Builder builder(skinFile, out, error);
  if (!builder.Window(root)) {
    out.root.reset();
    return false;
  }
  out.root->Attach(nullptr, out.resources.get());
  return true;
}

}  // namespace skin
