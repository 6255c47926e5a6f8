#pragma once
// The pop-ups for skin_preview: the main menu (with its wheel sub-list open), the context menu and
// the information panel, opened as the viewer opens them over the current picture.
#include <string>

#include "appconfig/app_config.h"

// "menu", "context" or "info": shows that pop-up, waits until it has been drawn and saves its
// visible pixels as a PNG (transparent outside a menu's region). picture, when given, is opened as
// the current picture first. Answers the exit code (0 when written), or -1 for another name.
int RunPopupPreview(const std::wstring& name, AppConfig& config, const std::wstring& out, const std::wstring& picture);
