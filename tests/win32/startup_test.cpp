#include <gtest/gtest.h>

#include "win32/Api.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/TestFiles.h"
#include "tests/win32/Program.h"
#include "tests/win32/WindowDriver.h"
#include "win32/SingleInstance.h"
#include "win32/WideText.h"
#include "win32/frmAlbum.h"
#include "win32/mdlStart.h"

// The program as Windows starts it: its command line, one copy at a time, the album it names.
namespace vyr::test {
namespace {

TEST(ArgumentText, drops_the_program_name_as_windows_splits_it)
{
    const std::pair<std::wstring, std::wstring> lines[] = {
        {LR"("C:\Program Files\vyr Extract\vyr-extract.exe" "C:\Music\Live set.vyr")", LR"("C:\Music\Live set.vyr")"},
        {LR"(vyr-extract.exe   C:\Music\Live set.vyr )", LR"(C:\Music\Live set.vyr )"},
        {L"vyr-extract.exe\t\"a.vyr\"", L"\"a.vyr\""},
        // The name ends at its closing quote, whatever follows.
        {LR"("C:\x\vyr-extract.exe"a.vyr)", L"a.vyr"},
        {LR"("C:\x\vyr-extract.exe")", L""},
        {L"vyr-extract.exe", L""},
        {L"\"C:\\unterminated name", L""},
        {L"", L""},
        // Quotes after the name are the load step's to strip, not ours.
        {L"x.exe \"\"", L"\"\""},
    };
    for (const auto& [line, arguments] : lines) EXPECT_EQ(win32::ArgumentText(line), arguments) << win32::Utf8(line);
}

std::wstring Exe() { return win32::Wide(VYR_EXTRACT_EXE); }

TEST(Startup, the_album_on_the_command_line_is_listed_and_a_second_start_ends_at_once)
{
    TempDir dir;
    // Spaces in the name: the whole argument text is one path once its quotes are gone.
    const std::string album = dir / "Sine Sketches (demo).vyr";
    WriteFile(album, ReadFile(VYR_SOURCE_DIR "/samples/demo.vyr"));
    Program first(Program::Run{Exe(), L"\"" + win32::Wide(album) + L"\""});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.Shows(3));
    EXPECT_EQ(Text(first.Control(win32::Control::lblEXTALB)), "Sine Sketches");

    const std::string other = dir / "other.vyr";
    WriteFile(other, "#EXTALB:Other\r\n#EXTBYT:1000\r\nx.mp3\r\n#EXTBIN\r\n" + std::string(1000, 'x'));
    Program second(Program::Run{Exe(), L"\"" + win32::Wide(other) + L"\""});
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.Ended(5'000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(Text(first.Control(win32::Control::lblEXTALB)), "Sine Sketches");

    // Closed, the first copy ends and lets the next one start.
    ::PostMessageW(first.Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.Ended(10'000));
    EXPECT_EQ(first.ExitCode(), 0u);
    Program third(Program::Run{Exe(), L"\"" + win32::Wide(other) + L"\""});
    ASSERT_TRUE(third.Shows(1));
    EXPECT_EQ(Text(third.Control(win32::Control::lblEXTALB)), "Other");
}

TEST(SingleInstance, only_the_first_holder_of_a_name_is_first_until_it_lets_go)
{
    const wchar_t* name = L"Local\\vyr-extract.test-single-instance";
    {
        const win32::SingleInstance first(name);
        EXPECT_TRUE(first.IsFirst());
        const win32::SingleInstance second(name);
        EXPECT_FALSE(second.IsFirst());
    }
    const win32::SingleInstance again(name);
    EXPECT_TRUE(again.IsFirst());
}

}  // namespace
}  // namespace vyr::test
