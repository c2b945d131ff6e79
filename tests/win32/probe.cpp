// vyr-probe: starts vyr-extract.exe as a desktop does and reports from outside what its window
// shows once it has listed and painted an album. The installer check and the screenshots use it.
//   vyr-probe [--capture FILE.bmp] [--keep] run EXE [ARGUMENTS]   EXE started with a command line
//   vyr-probe [--capture FILE.bmp] [--keep] open DOCUMENT         the document's association
// Prints ready_ms (from the start to the painted list), the program's path, caption, artist,
// album, items and the first row's file name, then closes the window (unless --keep) and prints
// the exit code.
#include "win32/Api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/win32/Program.h"
#include "tests/win32/WindowDriver.h"
#include "win32/WideText.h"

namespace {

using vyr::test::Program;
using vyr::win32::Control;

// The first row's file name, read through memory of the program's own: the list writes into it.
std::string FirstRow(const Program& program)
{
    HWND list = program.Control(Control::ListView1);
    constexpr SIZE_T kChars = 512;
    void* remote = ::VirtualAllocEx(program.Process(), nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return "";
    auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = kChars;
    std::wstring name(kChars, L'\0');
    SIZE_T moved = 0;
    if (::WriteProcessMemory(program.Process(), remote, &item, sizeof item, &moved)) {
        const auto length = ::SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(remote));
        ::ReadProcessMemory(program.Process(), text, name.data(), kChars * sizeof(wchar_t), &moved);
        name.resize(static_cast<std::size_t>(length));
    }
    ::VirtualFreeEx(program.Process(), remote, 0, MEM_RELEASE);
    return vyr::win32::Utf8(name);
}

// The window as the screen shows it, frame and all, as a 24-bit BMP file.
bool Capture(HWND window, const std::wstring& path)
{
    RECT place{};
    ::GetWindowRect(window, &place);
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP picture = ::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, picture);
    const bool copied = ::BitBlt(memory, 0, 0, width, height, screen, place.left, place.top, SRCCOPY) != FALSE;
    ::GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof format.bmiHeader;
    file.bfSize = file.bfOffBits + imageBytes;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&format.bmiHeader), sizeof format.bmiHeader);
    out.write(static_cast<const char*>(bits), imageBytes);
    ::SelectObject(memory, old);
    ::DeleteObject(picture);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return copied && out.good();
}

int Usage()
{
    std::fprintf(stderr, "usage: vyr-probe [--capture FILE.bmp] [--keep] run EXE [ARGUMENTS] | open DOCUMENT\n");
    return 2;
}

}  // namespace

int main()
{
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&::LocalFree)> argv(::CommandLineToArgvW(::GetCommandLineW(), &count),
                                                         &::LocalFree);
    std::vector<std::wstring> words(argv.get() + 1, argv.get() + count);
    std::wstring capture;
    bool keep = false;
    std::size_t at = 0;
    for (; at < words.size() && words[at].rfind(L"--", 0) == 0; ++at) {
        if (words[at] == L"--keep")
            keep = true;
        else if (words[at] == L"--capture" && at + 1 < words.size())
            capture = words[++at];
        else
            return Usage();
    }
    if (at + 2 > words.size() || (words[at] != L"run" && words[at] != L"open")) return Usage();

    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Program> program;
    if (words[at] == L"open") {
        program = std::make_unique<Program>(Program::Open{words[at + 1]});
    } else {
        std::wstring arguments;
        for (std::size_t i = at + 2; i < words.size(); ++i) arguments += (i > at + 2 ? L" " : L"") + words[i];
        program = std::make_unique<Program>(Program::Run{words[at + 1], arguments});
    }
    if (!program->Started()) {
        std::fprintf(stderr, "vyr-probe: could not start it (error %lu)\n", ::GetLastError());
        return 1;
    }
    // An album lists at least one row; wait for the first, then for the list to be painted.
    const ULONGLONG until = ::GetTickCount64() + 30'000;
    HWND list = nullptr;
    while (::GetTickCount64() < until && !program->Ended(0)) {
        list = program->Control(Control::ListView1);
        if (list && vyr::test::ItemCount(list) > 0) break;
        ::Sleep(2);
    }
    if (!list || !program->Shows(vyr::test::ItemCount(list))) {
        std::fprintf(stderr, "vyr-probe: no window with a listed album appeared\n");
        return 1;
    }
    const auto ready = std::chrono::steady_clock::now() - start;
    std::printf("ready_ms=%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(ready).count()));
    wchar_t image[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    ::QueryFullProcessImageNameW(program->Process(), 0, image, &length);
    std::printf("program=%s\n", vyr::win32::Utf8(image).c_str());
    std::printf("caption=%s\n", vyr::test::Text(program->Window()).c_str());
    std::printf("artist=%s\n", vyr::test::Text(program->Control(Control::lblEXTART)).c_str());
    std::printf("album=%s\n", vyr::test::Text(program->Control(Control::lblEXTALB)).c_str());
    std::printf("items=%d\n", vyr::test::ItemCount(list));
    std::printf("row0=%s\n", FirstRow(*program).c_str());
    if (!capture.empty() && !Capture(program->Window(), capture)) {
        std::fprintf(stderr, "vyr-probe: could not capture the window\n");
        return 1;
    }
    std::fflush(stdout);
    if (keep) return 0;
    ::PostMessageW(program->Window(), WM_CLOSE, 0, 0);
    if (!program->Ended(10'000)) return 1;
    std::printf("exit=%lu\n", program->ExitCode());
    return 0;
}
