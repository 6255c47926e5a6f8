#pragma once
// "imgprobe render FILE W H OUT.png [OPS...]": the view drawing of FILE in an off-screen image area.
#include <string>
#include <vector>

// `args` are the words after "render". Operations, applied in order once the fit frame is final:
// zoom:STEPS:X:Y, toggle:X:Y, actual, pan:DX:DY, size:W:H. Waits for the zoom key frames, writes the
// buffer as a PNG and prints "zoom", "fit", "drawn_width", "drawn_height", "scroll" (left,top,
// right,bottom) and "frame_source" (immediate, cache or task). Returns 0 on success, 1 when the
// picture cannot be shown or a frame did not arrive in time, 2 on bad usage.
int RunRenderProbe(const std::vector<std::wstring>& args);
