// Plays QuellinBase.dll's GetOsVersion for the feedback form's "system" field: a library that
// answers well, or (built with QL_LYING_LENGTH) one that claims more characters than it wrote.
#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) int WINAPI GetOsVersion(wchar_t* text, int capacity) {
  static const wchar_t kName[] = L"10.0.22631";
  const int length = static_cast<int>(std::wcslen(kName));
  if (!text || capacity <= length) return 0;
  std::wcscpy(text, kName);
#ifdef QL_LYING_LENGTH
  return capacity + 100;
#else
  return length;
#endif
}
