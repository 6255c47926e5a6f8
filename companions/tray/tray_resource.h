// Resources of the tray companion.
#pragma once

#define IDI_TRAY_ICON 128
