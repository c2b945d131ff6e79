#include <gtest/gtest.h>

#include <optional>

#include "album/LenientNumber.h"

namespace vyr::album {
namespace {

TEST(lenient_number, byte_counts_round_half_to_even_and_ignore_blanks)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"3145728", 3'145'728},
        {" 3 145 728", 3'145'728},
        {"\t31\n45", 3145},
        {"&H1F", 31},
        {"&h1f", 31},
        {"&O17", 15},
        {"1.5E3", 1500},
        {"1.5D3", 1500},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"2.5000001", 3},
        {"0.5", 0},
        {"0.51", 1},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"+7", 7},
        {"1e", 1},
        {"1E-1", 0},
        {"25E-1", 2},
        {"1.2.3", 1},
        {"&H", 0},
        {"&O8", 0},
        {"007", 7},
        {"2147483647", 2'147'483'647},
        {"-2147483648", -2'147'483'647 - 1},
        {"1E-99999999999", 0},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ReadByteCount(text), std::optional(expected)) << text;
}

TEST(lenient_number, byte_counts_outside_32_bits_are_not_read)
{
    for (const char* text : {"2147483648", "-2147483649", "1E10", "&HFFFFFFFF", "&H1FFFFFFFFFFFFFFFF",
                             "99999999999999999999999", "1E99999999999"})
        EXPECT_EQ(ReadByteCount(text), std::nullopt) << text;
    EXPECT_EQ(ReadByteCount("2147483647.5"), std::nullopt);  // rounds to even: 2,147,483,648
    EXPECT_EQ(ReadByteCount("2147483646.5"), std::optional(2'147'483'646));
}

TEST(lenient_number, durations_keep_four_decimals_rounded_half_to_even)
{
    const std::pair<const char*, std::int64_t> cases[] = {
        {"215", 215'0000}, {"245.9", 245'9000}, {"0.00005", 0}, {"0.00015", 2},
        {"0.000151", 2},   {"1.23456", 1'2346}, {"", 0},        {" 3 . 5 ", 3'5000},
        {"-1", -1'0000},   {"&H10", 16'0000},
    };
    for (const auto& [text, raw] : cases) {
        const auto value = ReadDuration(text);
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(value->raw, raw) << text;
    }
    EXPECT_EQ(ReadDuration("1E20"), std::nullopt);
}

}  // namespace
}  // namespace vyr::album
