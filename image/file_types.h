#pragma once
// Which files the viewer handles, decided from the name alone, and the file-dialog filters.
// Format class: 0 = not handled; 1..5 = BMP, JPEG, GIF, TIFF, PNG (the formats that can be
// written back); 6..15 = icon, PSD, TGA, OXO, camera raw, other formats, WMF, EMF, JNG, J2C.
#include <string>
#include <string_view>

namespace image {

// Class 0..15 of a path, from the extension of its last component (case-insensitive).
// The file need not exist.
[[nodiscard]] unsigned ClassifyImageFile(std::wstring_view path);
[[nodiscard]] unsigned ClassifyImageFile(const wchar_t* path);

// True for the five classes that can be written back (1..5).
[[nodiscard]] bool IsWritableClass(unsigned formatClass);

// Open dialog filter as stored in the string table: "%s" stands for the language text
// "SUPPORT_FILE" of section "FILE". Pairs are separated by '|', the list ends in "||".
extern const wchar_t kOpenFilterFormat[];
// Save-as dialog filter; index 1..5 means JPEG, PNG, BMP, GIF, TIFF (not the class order).
extern const wchar_t kSaveAsFilter[];
extern const wchar_t kSaveAsDefaultExtension[];

// The open filter with `supportedName` put in place of "%s" (taken literally, never as a format).
[[nodiscard]] std::wstring BuildOpenFilter(std::wstring_view supportedName);
[[nodiscard]] std::wstring BuildOpenFilter(std::wstring_view format, std::wstring_view supportedName);

// The platform file dialog wants NUL-separated pairs ending in a double NUL: every '|' becomes
// L'\0'. The result holds embedded NULs; pass .c_str() (the trailing "||" ends it).
[[nodiscard]] std::wstring ToDialogFilter(std::wstring_view pipeSeparated);

// Format class of the save-as filter index (1-based); 0 for an index outside 1..5.
[[nodiscard]] unsigned SaveFilterIndexToClass(unsigned filterIndex);

}  // namespace image
