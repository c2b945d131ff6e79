#include "win32/Dpi.h"

namespace vyr::win32 {

namespace {

template <typename Function>
Function User32(const char* name)
{
    // user32 stays loaded for the whole run of a window program.
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustForDpiCall = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using MetricsForDpiCall = int(WINAPI*)(int, UINT);
using ParametersForDpiCall = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AwarenessContextCall = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using AwareCall = BOOL(WINAPI*)();

unsigned SystemDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : kDefaultDpi;
}

}  // namespace

void EnablePerMonitorDpi()
{
    if (const auto set = User32<AwarenessContextCall>("SetProcessDpiAwarenessContext")) {
        // Refused when the manifest has set the awareness already, which is final.
        if (!set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        return;
    }
    if (const auto setAware = User32<AwareCall>("SetProcessDPIAware")) setAware();
}

unsigned WindowDpi(HWND window)
{
    static const auto forWindow = User32<GetDpiForWindowCall>("GetDpiForWindow");
    if (forWindow && window) {
        if (const UINT dpi = forWindow(window); dpi > 0) return dpi;
    }
    return SystemDpi();
}

RECT WindowRectForClient(const RECT& client, DWORD style, DWORD exStyle, unsigned dpi)
{
    RECT rect = client;
    static const auto adjust = User32<AdjustForDpiCall>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, FALSE, exStyle, dpi)) ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

int SystemMetric(int index, unsigned dpi)
{
    static const auto forDpi = User32<MetricsForDpiCall>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

LOGFONTW MessageFont(unsigned dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    static const auto forDpi = User32<ParametersForDpiCall>("SystemParametersInfoForDpi");
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        return font;
    }
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    ::lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
    return font;
}

}  // namespace vyr::win32
