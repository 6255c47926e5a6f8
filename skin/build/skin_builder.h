#pragma once
// Builds a control tree from a skin file of an archive.
//
// A skin file's root element is <Window>, with the window's own attributes (size="w,h",
// caption="l,t,r,b": the band at the top, of height b, by which the window is dragged;
// shadow="true"; shadowimage="..."). Its children are <Font id face size bold italic underline
// default>, <Style id ...attributes...> (a control with style="id" takes those attributes before
// its own), <Include source="file.xml"> (fonts and styles shared by several skins) and exactly one
// control: the root of the tree. See docs/skins.md for the controls and their attributes.
#include <memory>
#include <string>

#include "skin/archive/zip_archive.h"
#include "skin/controls/control.h"
#include "skin/render/resources.h"

namespace skin {

struct WindowLook {
  SIZE size{};
  RECT caption{};
  bool shadow = false;
  std::wstring shadow_image;
};

struct BuiltSkin {
  std::unique_ptr<SkinResources> resources;
  std::unique_ptr<Control> root;
  WindowLook window;
};

// False with the reason in *error for a missing file, markup that is not well-formed or not
// within the limits, an unknown element or attribute, or a value that cannot be read.
bool BuildSkin(std::shared_ptr<const ZipArchive> archive, const std::wstring& skinFile, BuiltSkin& out,
               std::wstring* error);

// The control an element name makes, or null for a name that is no control.
std::unique_ptr<Control> MakeControl(std::wstring_view kind);

}  // namespace skin
