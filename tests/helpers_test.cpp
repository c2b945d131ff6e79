#include <gtest/gtest.h>

#include <filesystem>
#include <locale>

#include "support/FolderListing.h"
#include "support/PathHelpers.h"
#include "support/Text.h"
#include "tests/TestFiles.h"

namespace vyr::support {
namespace {

struct PathCase {
    const char* path;
    const char* fileName;
    const char* stripped;
    const char* added;
};

// The rules are the same for either separator; the Windows build uses '\\', this one '/'.
TEST(path_helpers, follow_the_same_rules_for_both_separators)
{
    const PathCase cases[] = {
        {"C:|a|b.mp3", "b.mp3", "C:|a|b.mp3", "C:|a|b.mp3|"},
        {"b.mp3", "b.mp3", "b.mp3", "b.mp3|"},
        {"C:|a|", "", "C:|a", "C:|a|"},
        {"", "", "", ""},
        {"|", "", "", "|"},
        {"C:", "C:", "C:", "C:|"},
        {"C:|music||", "", "C:|music|", "C:|music||"},
    };
    for (const char separator : {'/', '\\'}) {
        auto with = [separator](std::string text) {
            std::replace(text.begin(), text.end(), '|', separator);
            return text;
        };
        for (const PathCase& c : cases) {
            SCOPED_TRACE(with(c.path));
            EXPECT_EQ(FileNameFromPath(with(c.path), separator), with(c.fileName));
            EXPECT_EQ(StripTrailingBackslash(with(c.path), separator), with(c.stripped));
            EXPECT_EQ(AddTrailingBackslash(with(c.path), separator), with(c.added));
        }
    }
}

TEST(path_helpers, the_other_separator_is_an_ordinary_character)
{
    EXPECT_EQ(FileNameFromPath("C:\\a/b.mp3", '\\'), "a/b.mp3");
    EXPECT_EQ(FileNameFromPath("/a\\b.mp3", '/'), "a\\b.mp3");
    EXPECT_EQ(FolderOfPath("/music/Live.vyr", '/'), "/music/");
    EXPECT_EQ(FolderOfPath("Live.vyr"), "");
}

TEST(path_helpers, split_at_the_platforms_own_separator_by_default)
{
#ifdef _WIN32
    EXPECT_EQ(FileNameFromPath("C:\\music\\Live.vyr"), "Live.vyr");
    EXPECT_EQ(FolderOfPath("C:\\music\\Live.vyr"), "C:\\music\\");
    EXPECT_EQ(AddTrailingBackslash("C:"), "C:\\");
#else
    EXPECT_EQ(FileNameFromPath("/music/Live.vyr"), "Live.vyr");
    EXPECT_EQ(FolderOfPath("/music/Live.vyr"), "/music/");
    EXPECT_EQ(AddTrailingBackslash("/music"), "/music/");
#endif
}

#ifndef _WIN32
TEST(absolute_path, joins_a_relative_name_to_the_working_folder)
{
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"demo.vyr", "/music/demo.vyr"},
        {"./demo.vyr", "/music/demo.vyr"},
        {"live//a/./demo.vyr", "/music/live/a/demo.vyr"},
        {"../demo.vyr", "/music/../demo.vyr"},
        {".", "/music/"},
        {"out/", "/music/out/"},
        {"/abs/./x.vyr", "/abs/./x.vyr"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(AbsolutePath(c.path, "/music"), c.expected) << c.path;
    EXPECT_EQ(AbsolutePath("a.vyr", "/"), "/a.vyr");
    EXPECT_EQ(AbsolutePath("a.vyr"), (std::filesystem::current_path() / "a.vyr").string());
}
#endif

TEST(file_exists, only_a_regular_file_of_at_least_one_byte_exists)
{
    test::TempDir dir;
    test::WriteFile(dir / "full.mp3", "x");
    test::WriteFile(dir / "empty.mp3", "");
    std::filesystem::create_directory(dir / "folder");

    EXPECT_TRUE(FileExists(dir / "full.mp3"));
    EXPECT_FALSE(FileExists(dir / "empty.mp3"));
    EXPECT_FALSE(FileExists(dir / "missing.mp3"));
    EXPECT_FALSE(FileExists(dir / "folder"));
    EXPECT_FALSE(FileExists(""));
#ifdef _WIN32
    EXPECT_FALSE(FileExists("NUL"));  // a device, whatever folder it is asked in
    EXPECT_FALSE(FileExists("C:\\"));
#endif

    // Links count as what they lead to. Windows gives only some users the right to make them.
    std::error_code refused;
    std::filesystem::create_symlink(dir / "full.mp3", dir / "link.mp3", refused);
    if (refused) GTEST_SKIP() << "no symbolic links here: " << refused.message();
    std::filesystem::create_symlink(dir / "missing.mp3", dir / "dangling.mp3");
    EXPECT_TRUE(FileExists(dir / "link.mp3"));
    EXPECT_FALSE(FileExists(dir / "dangling.mp3"));
}

TEST(format_duration, drops_fractions_and_switches_to_hours_past_59_minutes)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {245'0000, "04:05"},        {245'9000, "04:05"},    {59'9900, "00:59"},
        {3599'0000, "59:59"},       {3600'0000, "1:00:00"}, {3725'5000, "1:02:05"},
        {360000'0000, "100:00:00"}, {0, "00:00"},           {-1'0000, "-01:59"},
    };
    for (const auto& [raw, text] : cases) EXPECT_EQ(FormatDuration(FixedPoint::FromRaw(raw)), text) << raw;
}

TEST(size_text, divides_by_1023_8_and_rounds_half_away_from_zero)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {3'145'728, "3,073Kb"},
        {2'097'152, "2,048Kb"},
        {1'000'000, "977Kb"},
        {5'000'000, "4,884Kb"},
        {512, "1Kb"},
        {511, "Kb"},
        {300, "Kb"},
        {0, "Kb"},
        {2'147'483'647, "2,097,562Kb"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeText(bytes, ","), text) << bytes;
}

TEST(size_text, groups_with_the_separator_it_is_given)
{
    // German uses a full stop, French a narrow no-break space of three UTF-8 bytes.
    EXPECT_EQ(SizeText(5'000'000, "."), "4.884Kb");
    EXPECT_EQ(SizeText(2'147'483'647, "\u202F"), "2\u202F097\u202F562Kb");
    EXPECT_EQ(SizeText(1'000'000, "."), "977Kb");
}

TEST(display_text, keeps_utf8_and_reads_anything_else_as_windows_1252)
{
    EXPECT_EQ(ToDisplayText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(ToDisplayText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(ToDisplayText("\x80 \x93quoted\x94"), "\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D");
    EXPECT_EQ(ToDisplayText("\xC0\x80"), "\xC3\x80\xE2\x82\xAC");  // an overlong form is not UTF-8
    EXPECT_EQ(ToDisplayText("plain"), "plain");
}

TEST(terminal_text, turns_control_characters_and_stray_bytes_into_question_marks)
{
    const struct {
        const char* text;
        std::size_t max;
        const char* shown;
    } cases[] = {
        {"plain caf\xc3\xa9", 100, "plain caf\xc3\xa9"},
        {"\x1b[5mblink", 100, "?[5mblink"},
        {"tab\there\x7f", 100, "tab?here?"},
        {"csi \xc2\x9b and raw \x9b", 100, "csi ? and raw ?"},  // C1 as UTF-8, and a lone byte
        {"\xe2\x82", 100, "??"},  // a character cut short
        {"abcdef", 6, "abcdef"},
        {"abcdefg", 6, "abcde\xe2\x80\xa6"},
        {"\xc3\xa9\xc3\xa9\xc3\xa9", 2, "\xc3\xa9\xe2\x80\xa6"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TerminalText(c.text, c.max), c.shown) << c.text;
        EXPECT_EQ(TerminalWidth(c.text, c.max), TerminalWidth(TerminalText(c.text, c.max))) << c.text;
    }
    EXPECT_EQ(TerminalLines("one\r\ntwo\x1b\nthree\rfour"), "one\ntwo?\nthree?four");
}

TEST(plain_file_name, refuses_names_that_leave_the_folder_or_hide_control_characters)
{
    for (const char* bad : {"", ".", "..", "../x.mp3", "a/b.mp3", "a\\b.mp3", "tab\there", "del\x7f", "nl\n",
                            // the copy's temporaries, which a later run may clear away
                            ".vyr-part-1-2", ".vyr-part-", ".VYR-Part-9.mp3"})
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    for (const char* good : {"01 Song.mp3", "...mp3", "[01] Party.mp3", "Caf\xC3\xA9.mp3", " spaced", ".vyr-part",
                             "vyr-part-1-2", "x.vyr-part-1-2"})
        EXPECT_TRUE(IsPlainFileName(good)) << good;
}

// Linux takes 255 bytes in a name, Windows 255 UTF-16 units: a character outside the BMP takes two.
TEST(plain_file_name, a_name_fits_the_file_system_by_its_bytes_on_linux_and_its_utf16_units_on_windows)
{
    std::string accented;  // 255 characters of two bytes each
    for (int i = 0; i < 255; ++i) accented += "\xC3\xA9";
    std::string astral;  // 128 characters of four bytes, 256 UTF-16 units
    for (int i = 0; i < 128; ++i) astral += "\xF0\x9F\x8E\xB5";
    EXPECT_TRUE(FitsFileSystem(std::string(255, 'a')));
    EXPECT_FALSE(FitsFileSystem(std::string(256, 'a')));
    EXPECT_FALSE(FitsFileSystem(astral));
#ifdef _WIN32
    EXPECT_TRUE(FitsFileSystem(accented));
    EXPECT_FALSE(FitsFileSystem(accented + "x"));
    EXPECT_TRUE(FitsFileSystem(astral.substr(4)));
#else
    EXPECT_FALSE(FitsFileSystem(accented));
    EXPECT_TRUE(FitsFileSystem(accented.substr(0, 254)));
#endif
}

// Read from the listing or asked of the kernel, a name is there exactly when FileExists says so:
// both ways are tried, with many names asked (listed) and with few (not listed).
TEST(folder_listing, answers_as_file_exists_does)
{
    test::TempDir dir;
    test::WriteFile(dir / "full.mp3", "x");
    test::WriteFile(dir / "Mixed Case.mp3", "x");
    test::WriteFile(dir / "empty.mp3", "");
    test::WriteFile(dir / "caf\xC3\xA9.mp3", "x");
    test::WriteFile(dir / "dot.", "x");
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_directory(dir / "sub");
    test::WriteFile(dir / "sub/inner.mp3", "x");
#ifndef _WIN32  // links there need a privilege a test cannot count on
    std::filesystem::create_symlink(dir / "full.mp3", dir / "link.mp3");
    std::filesystem::create_symlink(dir / "missing.mp3", dir / "dangling.mp3");
#endif
    const char* names[] = {"full.mp3",
                           "FULL.MP3",
                           "Mixed Case.mp3",
                           "mixed case.mp3",
                           "empty.mp3",
                           "caf\xC3\xA9.mp3",
                           "CAF\xC3\xA9.mp3",
                           "dot.",
                           "dot",
                           "folder",
                           "sub/inner.mp3",
                           "sub/missing.mp3",
                           "link.mp3",
                           "dangling.mp3",
                           "missing.mp3",
                           "",
                           ".",
                           "..",
                           "full.mp3 "};
    const std::string folder = dir / "";
    for (const std::size_t asked : {std::size_t{1}, std::size_t{100'000}}) {
        const FolderListing listing(folder, asked);
        for (const char* name : names)
            EXPECT_EQ(listing.Holds(name), FileExists(folder + name)) << asked << " " << name;
    }
}

// Each is harmless on Linux, and on Windows names something other than a new file in the folder.
TEST(plain_file_name, refuses_on_windows_what_the_system_reads_as_a_device_stream_or_drive)
{
    const char* const names[] = {
        "C:x.mp3",   "song.mp3:hidden", "NUL",     "nul.mp3",     "Com1.txt", "LPT9",      "CON .mp3",
        "what?.mp3", "star*.mp3",       "a<b.mp3", "quote\".mp3", "pipe|mp3", "trailing.", "trailing ",
    };
#ifdef _WIN32
    for (const char* name : names) EXPECT_FALSE(IsPlainFileName(name)) << name;
    for (const char* name : {"COM10.mp3", "CONSOLE.mp3", "nul-mix.mp3", "LPT0.mp3", "Com.mp3"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
#else
    for (const char* name : names) EXPECT_TRUE(IsPlainFileName(name)) << name;
#endif
}

}  // namespace
}  // namespace vyr::support
