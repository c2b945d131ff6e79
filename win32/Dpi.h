#pragma once

#include "win32/Api.h"

// Sizes at a window's own DPI. The per-monitor calls came with Windows 10; on older systems the
// answers fall back to the system's DPI, where every monitor has the same.
namespace vyr::win32 {

inline constexpr unsigned kDefaultDpi = 96;

// Asks for per-monitor awareness (v2, else v1) where the manifest has not already.
void EnablePerMonitorDpi();

unsigned WindowDpi(HWND window);

// The outer rectangle of a window whose client area is `client`, at `dpi`.
RECT WindowRectForClient(const RECT& client, DWORD style, DWORD exStyle, unsigned dpi);

int SystemMetric(int index, unsigned dpi);

// The message font (the one dialogs and message boxes use) at `dpi`.
LOGFONTW MessageFont(unsigned dpi);

// A length in pixels at 96 DPI, at `dpi`.
inline int Scale(int pixels, unsigned dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), kDefaultDpi); }

}  // namespace vyr::win32
