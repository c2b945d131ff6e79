#include <gtest/gtest.h>

#include <string>

#include "support/Utf8.h"

namespace vyr::support::utf8 {
namespace {

TEST(utf8, every_character_is_written_in_its_shortest_form_and_read_back)
{
    const struct {
        char32_t value;
        std::string bytes;
    } cases[] = {
        {U'A', "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F3B5, "\xF0\x9F\x8E\xB5"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.value));
        std::string out;
        Append(out, c.value);
        EXPECT_EQ(out, c.bytes);
        const Character read = At(out, 0);
        EXPECT_EQ(read.length, out.size());
        EXPECT_EQ(read.value, c.value);
        EXPECT_TRUE(IsValid("x" + out + "y"));
    }
}

TEST(utf8, no_character_is_written_for_a_surrogate_or_past_the_last)
{
    for (const char32_t value : {char32_t{0xD800}, char32_t{0xDBFF}, char32_t{0xDC00}, char32_t{0xDFFF},
                                 char32_t{0x110000}, char32_t{0x7FFFFFFF}}) {
        std::string out;
        Append(out, value);
        EXPECT_EQ(out, "\xEF\xBF\xBD") << static_cast<unsigned>(value);
    }
}

TEST(utf8, what_is_not_utf8_is_read_as_no_character)
{
    const std::string invalid[] = {
        "\x80",  // a continuation byte alone
        "\xBF",
        "\xC0\x80",  // overlong forms
        "\xC1\xBF",
        "\xE0\x80\x80",
        "\xE0\x9F\xBF",
        "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF",
        "\xED\xA0\x80",  // surrogates
        "\xED\xBF\xBF",
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xF5\x80\x80\x80",
        "\xFF",
        "\xE2\x82",  // cut off by the end
        "\xF0\x9F\x8E",
        "\xC3\x41",  // a lead byte without its continuation
        "\xE2\x28\xA1",
    };
    for (const std::string& bytes : invalid) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(At(bytes, 0).length, 0u);
        EXPECT_FALSE(IsValid(bytes));
        EXPECT_FALSE(IsValid("ok " + bytes + " ok"));
    }
    EXPECT_TRUE(IsValid(""));
    EXPECT_EQ(At("a\xC3\xA9", 1).length, 2u);  // read from the middle of a text
}

TEST(utf8, a_cut_ends_on_a_whole_character)
{
    const std::string text = "ab\xC3\xA9\xF0\x9F\x8E\xB5";  // a, b, e acute, a note
    const struct {
        std::size_t maxBytes;
        std::string_view kept;
    } cases[] = {{0, ""}, {2, "ab"}, {3, "ab"}, {4, "ab\xC3\xA9"}, {7, "ab\xC3\xA9"}, {8, text}, {100, text}};
    for (const auto& c : cases) EXPECT_EQ(Prefix(text, c.maxBytes), c.kept) << c.maxBytes;
    // Windows-1252 bytes that read as a run of continuation bytes: no character is that long, so
    // the cut backs over three of them at most and never empties the text.
    EXPECT_EQ(Prefix(std::string(10, '\x80'), 6), std::string(3, '\x80'));
}

}  // namespace
}  // namespace vyr::support::utf8
