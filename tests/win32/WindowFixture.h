#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "commands/Layout.h"
#include "tests/TestFiles.h"
#include "tests/win32/ScriptedShell.h"
#include "tests/win32/WindowDriver.h"
#include "win32/frmAlbum.h"

namespace vyr::test {

// The demo album: three tracks behind a 261-byte header.
inline constexpr std::size_t kDemoHeaderLength = 261;
inline const std::vector<std::string> kDemoTracks = {"01 Morning Tone.mp3", "02 Two Voices.mp3",
                                                     "03 Falling Steps.mp3"};

// A real window over an answered shell, shown as the program shows it, and a folder to work in.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<win32::frmAlbum>(shell);
        ASSERT_NE(window->Handle(), nullptr);
        shell.documentsFolder = dir.path().string();
    }
    void TearDown() override
    {
        window.reset();
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }

    HWND Item(win32::Control control) const { return window->Item(control); }
    HWND List() const { return Item(win32::Control::ListView1); }
    int Px(int twips) const { return commands::layout::ToPixels(twips, window->Dpi()); }
    void Click(win32::Control control)
    {
        ::SendMessageW(Item(control), BM_CLICK, 0, 0);
        Pump(*window);
    }

    // The demo album copied into the test's folder, so that its tracks are written there.
    std::string DemoAlbum()
    {
        const std::string path = dir / "demo.vyr";
        WriteFile(path, ReadFile(VYR_SOURCE_DIR "/samples/demo.vyr"));
        return path;
    }
    // The window's load step on a command line, as the program runs it at start.
    void Start(const std::string& commandLine)
    {
        window->Commands().LoadStep(commandLine);
        Pump(*window);
    }

    TempDir dir;
    ScriptedShell shell;
    std::unique_ptr<win32::frmAlbum> window;
};

}  // namespace vyr::test
