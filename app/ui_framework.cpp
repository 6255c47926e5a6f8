#include "app/ui_framework.h"

// The skinned-window work (archive reader and window base) fills this in.
void PrepareUiFramework(HINSTANCE, const std::wstring&, const wchar_t*) {}
