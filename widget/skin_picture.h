#pragma once
// The pictures the widget windows draw themselves lie as plain PNG files in the folder "res\"
// beside the executable.
#include <string>

#include "image/obj_image.h"

// The folder "res\" beside the executable, with its trailing backslash.
std::wstring SkinFolder();

// A 32-bit picture from the skin folder, read through GDI+ in the given pixel format
// (premultiplied ARGB unless told otherwise). A missing or damaged file gives an empty image, so
// whatever draws it draws nothing.
FCObjImagePtr LoadSkinPicture(const wchar_t* name, bool premultiplied = true);
