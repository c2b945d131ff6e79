#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Messages.h"
#include "support/ShellDialogText.h"

namespace vyr::support {
namespace {

using namespace std::string_literals;

TEST(shell_dialogs, nul_separated_filter_gains_one_closing_separator)
{
    struct Case {
        std::string filter;
        std::string expected;
    };
    const Case cases[] = {
        {"Text|*.txt", "Text\0*.txt\0"s},
        {"Text|*.txt|", "Text\0*.txt\0"s},  // already closed: no second NUL
        {"", "\0"s},
        {"A|*.a|B|*.b||", "A\0*.a\0B\0*.b\0\0"s},
    };
    for (const Case& c : cases) EXPECT_EQ(NulSeparatedFilter(c.filter), c.expected) << c.filter;
}

TEST(shell_dialogs, open_filter_of_five_entries_has_ten_separators)
{
    const std::string converted = NulSeparatedFilter(std::string(msg::kOpenFilter));
    EXPECT_EQ(std::count(converted.begin(), converted.end(), '\0'), 10);
    EXPECT_EQ(converted.find('|'), std::string::npos);
}

TEST(shell_dialogs, open_filter_becomes_name_filters_in_order)
{
    const std::vector<std::string> expected = {
        "Album (*.vyr *.m3u *.mp3 *.albw)",
        "(*.vyr)",
        "(*.m3u)",
        "(*.mp3)",
        "Any file (*)",  // "*.*" would hide names without a dot
    };
    EXPECT_EQ(NameFilters(msg::kOpenFilter), expected);
}

TEST(shell_dialogs, name_filters_add_patterns_the_description_lacks)
{
    struct Case {
        std::string filter;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"Text files|*.txt;*.text", {"Text files (*.txt *.text)"}},
        {"Text files|*.txt|", {"Text files (*.txt)"}},
        {"Odd (*.x)|*.y", {"Odd (*.x) (*.y)"}},  // a different list in the description stays
        {"No patterns||Songs|*.mp3", {"Songs (*.mp3)"}},
        {"Dangling description", {}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(NameFilters(c.filter), c.expected) << c.filter;
}

TEST(shell_dialogs, trim_at_nul_keeps_the_answer_only)
{
    struct Case {
        std::string buffer;
        std::string expected;
    };
    const Case cases[] = {
        {"/music/a.vyr\0      "s, "/music/a.vyr"},
        {std::string(254, ' '), ""},
        {" /music/a.vyr\0"s, "/music/a.vyr"},
        {"/music/a.vyr   ", "/music/a.vyr"},  // no NUL: the whole text, trimmed
        {"\0/music/a.vyr"s, ""},
        {"/a b/c d.vyr\0x\0"s, "/a b/c d.vyr"},  // inner spaces stay, only the first NUL counts
    };
    for (const Case& c : cases) EXPECT_EQ(TrimAtNul(c.buffer), c.expected);
}

TEST(shell_dialogs, browse_start_folder_keeps_a_root)
{
    struct Case {
        std::string folder;
        char separator;
        std::string expected;
    };
    const Case cases[] = {
        {"/home/user/Music/", '/', "/home/user/Music"},
        {"/home/user/Music", '/', "/home/user/Music"},
        {"/music//", '/', "/music/"},  // exactly one separator
        {"/", '/', "/"},
        {"", '/', ""},
        {"C:\\Music\\", '\\', "C:\\Music"},
        {"C:\\", '\\', "C:\\"},
        {"D:\\a\\", '\\', "D:\\a"},
    };
    for (const Case& c : cases) EXPECT_EQ(BrowseStartFolder(c.folder, c.separator), c.expected) << c.folder;
}

}  // namespace
}  // namespace vyr::support
