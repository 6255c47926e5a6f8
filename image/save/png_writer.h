#pragma once
// Writes a pixel image as a PNG file through the imaging component (probes, tests, diagnostics).
#include <string>

class FCObjImage;

bool WriteImagePng(const FCObjImage& image, const std::wstring& path);
