#pragma once
// The feedback form without its window: what it checks before anything is sent, and the fields
// it sends. The user's texts stay UTF-16 until they become the form's UTF-8 bytes here.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace feedback {

struct FormInput {
  std::wstring content;  // empty while the field shows its placeholder
  std::wstring email;
  std::wstring phone;
};

struct InputCheck {
  bool content = false;
  bool email = false;
  bool phone = false;
  [[nodiscard]] bool AllValid() const { return content && email && phone; }
};

// The description: anything but nothing.
bool IsValidContent(std::wstring_view text);
// An e-mail address: not empty and with an "@" somewhere.
bool IsValidEmail(std::wstring_view text);
// A mainland mobile number: exactly 11 characters, "1" first, one of "3" to "8" second. Only
// those are looked at; the field takes digits only.
bool IsValidPhone(std::wstring_view text);
InputCheck CheckInput(const FormInput& input);

// Name and value bytes of each field, in the order they are sent: "suggest", "email", "phone",
// "type" ("3", feedback about the viewer) and "system" (the operating system).
using FormFields = std::vector<std::pair<std::string, std::string>>;
FormFields BuildFormFields(const FormInput& input, std::wstring_view system);

}  // namespace feedback
