#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one reading and writing of UTF-8, for every text the program takes in or hands out.
namespace vyr::support::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Appends `c` in one to four bytes. A surrogate or a value past U+10FFFF is no character:
// U+FFFD stands in for it.
void Append(std::string& out, char32_t c);

// The character that starts at byte `at`: its length in bytes, 0 when the bytes there are not
// UTF-8 (a stray or missing continuation byte, an overlong form, a surrogate, a value past
// U+10FFFF, a sequence cut off by the end).
struct Character {
    std::size_t length = 0;
    char32_t value = 0;
};
Character At(std::string_view bytes, std::size_t at);

bool IsValid(std::string_view bytes);

// The longest start of a UTF-8 text that has at most maxBytes bytes and ends on a character's
// end, so a cut never leaves half a character behind. Text that is not UTF-8 is cut at most three
// bytes short of maxBytes.
std::string_view Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace vyr::support::utf8
