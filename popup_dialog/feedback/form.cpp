#include "popup_dialog/feedback/form.h"

#include "base/strings.h"

namespace feedback {

bool IsValidContent(std::wstring_view text) { return !text.empty(); }

bool IsValidEmail(std::wstring_view text) { return text.find(L'@') != std::wstring_view::npos; }

bool IsValidPhone(std::wstring_view text) {
  return text.size() == 11 && text[0] == L'1' && text[1] >= L'3' && text[1] <= L'8';
}

InputCheck CheckInput(const FormInput& input) {
  return InputCheck{IsValidContent(input.content), IsValidEmail(input.email), IsValidPhone(input.phone)};
}

FormFields BuildFormFields(const FormInput& input, std::wstring_view system) {
  return FormFields{{"suggest", base::WideToUtf8(input.content)},
                    {"email", base::WideToUtf8(input.email)},
                    {"phone", base::WideToUtf8(input.phone)},
                    {"type", "3"},
                    {"system", base::WideToUtf8(system)}};
}

}  // namespace feedback
