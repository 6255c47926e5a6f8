#include "skin/markup/markup.h"

#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include "base/com.h"
#include "base/strings.h"

namespace skin {
namespace {

using CreateReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using CreateInputFn = HRESULT(WINAPI*)(IUnknown*, IMalloc*, LPCWSTR, BOOL, LPCWSTR, IXmlReaderInput**);

// mingw ships no import library for XmlLite, so the reader is found at run time; the library
// stays loaded for the life of the process.
struct XmlLiteEntryPoints {
  CreateReaderFn create_reader = nullptr;
  CreateInputFn create_input = nullptr;
};

const XmlLiteEntryPoints& XmlLite() {
  static const XmlLiteEntryPoints entries = [] {
    XmlLiteEntryPoints found;
    HMODULE module = ::LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) module = ::LoadLibraryW(L"xmllite.dll");
    if (module) {
      found.create_reader = reinterpret_cast<CreateReaderFn>(::GetProcAddress(module, "CreateXmlReader"));
      found.create_input =
          reinterpret_cast<CreateInputFn>(::GetProcAddress(module, "CreateXmlReaderInputWithEncodingName"));
    }
    return found;
  }();
  return entries;
}

bool Fail(std::wstring* error, const std::wstring& text, UINT line = 0) {
  if (error) *error = line ? base::FormatW(L"line %u: ", line) + text : text;
  return false;
}

}  // namespace

const std::wstring* MarkupNode::Attribute(std::wstring_view attributeName) const {
  for (const auto& [key, value] : attributes) {
    if (base::EqualsNoCase(key, attributeName)) return &value;
  }
  return nullptr;
}

bool ParseMarkup(const std::vector<uint8_t>& bytes, MarkupNode& root, std::wstring* error,
                 const MarkupLimits& limits) {
  root = MarkupNode{};
  if (bytes.empty()) return Fail(error, L"the skin file is empty");
  if (bytes.size() > limits.max_bytes) return Fail(error, L"the skin file is larger than any skin may be");
  if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    return Fail(error, L"skin files are UTF-8, not UTF-16");
  }
  // Checked here rather than left to the reader, which on some systems replaces bad sequences.
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), nullptr, 0) <= 0) {
    return Fail(error, L"the skin file is not UTF-8");
  }
  const XmlLiteEntryPoints& xml = XmlLite();
  if (!xml.create_reader) return Fail(error, L"the XML reader of the system is missing");

  base::ComPtr<IStream> stream;
  base::Adopt(stream, ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
  base::ComPtr<IXmlReader> reader;
  if (!stream || FAILED(xml.create_reader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.GetAddressOf()), nullptr))) {
    return Fail(error, L"the XML reader could not be created");
  }
  (void)reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  (void)reader->SetProperty(XmlReaderProperty_MaxElementDepth, limits.max_depth + 1);
  HRESULT hr = E_FAIL;
  base::ComPtr<IXmlReaderInput> input;
  if (xml.create_input && SUCCEEDED(xml.create_input(stream.Get(), nullptr, L"utf-8", FALSE, nullptr, &input))) {
    hr = reader->SetInput(input.Get());
  } else {
    hr = reader->SetInput(stream.Get());
  }
  if (FAILED(hr)) return Fail(error, L"the skin file cannot be read as XML");

  std::vector<MarkupNode*> open;  // the elements whose end tag is still to come
  size_t elements = 0;
  bool haveRoot = false;
  XmlNodeType type = XmlNodeType_None;
  while ((hr = reader->Read(&type)) == S_OK) {
    UINT line = 0;
    (void)reader->GetLineNumber(&line);
    switch (type) {
      case XmlNodeType_DocumentType:
        return Fail(error, L"document type declarations are not allowed in skins", line);
      case XmlNodeType_Element: {
        if (++elements > limits.max_elements) return Fail(error, L"the skin has too many elements", line);
        if (open.size() >= limits.max_depth) return Fail(error, L"the skin nests elements too deeply", line);
        MarkupNode* node = nullptr;
        if (open.empty()) {
          if (haveRoot) return Fail(error, L"the skin has more than one root element", line);
          haveRoot = true;
          node = &root;
        } else {
          open.back()->children.emplace_back();
          node = &open.back()->children.back();
        }
        node->line = line;
        const wchar_t* name = nullptr;
        if (FAILED(reader->GetLocalName(&name, nullptr)) || !name) return Fail(error, L"an element has no name", line);
        node->name = name;
        const bool empty = reader->IsEmptyElement() != FALSE;
        for (hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
          const wchar_t* key = nullptr;
          const wchar_t* value = nullptr;
          UINT valueLength = 0;
          if (FAILED(reader->GetLocalName(&key, nullptr)) || FAILED(reader->GetValue(&value, &valueLength)) || !key ||
              !value) {
            return Fail(error, L"an attribute cannot be read", line);
          }
          if (valueLength > limits.max_value_length) return Fail(error, L"an attribute value is too long", line);
          node->attributes.emplace_back(key, std::wstring(value, valueLength));
        }
        if (FAILED(hr)) return Fail(error, L"the attributes are malformed", line);
        if (!empty) open.push_back(node);
        break;
      }
      case XmlNodeType_EndElement:
        if (open.empty()) return Fail(error, L"an end tag has no start", line);
        open.pop_back();
        break;
      default:
        break;  // declarations, comments, white space and text between elements carry nothing
    }
  }
  if (FAILED(hr)) {
    UINT line = 0;
    (void)reader->GetLineNumber(&line);
    return Fail(error, base::FormatW(L"the skin is not well-formed XML (0x%08X)", static_cast<unsigned>(hr)), line);
  }
  if (!haveRoot) return Fail(error, L"the skin has no root element");
  if (!open.empty()) return Fail(error, L"the skin ends inside an element");
  return true;
}

}  // namespace skin
