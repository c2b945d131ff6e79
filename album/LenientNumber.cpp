#include "album/LenientNumber.h"

#include <limits>
#include <string>

namespace vyr::album {

namespace {

// value = (negative ? -1 : 1) × digits × 10^exponent, or a whole number given in hex or octal.
struct Decimal {
    bool negative = false;
    std::string digits;  // no leading zeros; empty means zero
    std::int64_t exponent = 0;
    bool tooLarge = false;  // a hex or octal number past 64 bits
};

bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(std::string_view text, std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; }

// "&H1F" or "&O17": a whole number, digits read up to the first that does not belong.
Decimal ParseHexOrOctal(std::string_view text)
{
    Decimal number;
    const bool hex = text[1] == 'H' || text[1] == 'h';
    const unsigned base = hex ? 16 : 8;
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (d >= base) break;
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / base) {
            number.tooLarge = true;
            return number;
        }
        value = value * base + d;
    }
    if (value != 0) number.digits = std::to_string(value);
    return number;
}

// The exponent after "E", "e", "D" or "d" at `at`; 0 when no digits follow.
std::int64_t ParseExponent(std::string_view text, std::size_t at)
{
    if (at >= text.size() || (text[at] != 'E' && text[at] != 'e' && text[at] != 'D' && text[at] != 'd')) return 0;
    std::size_t k = at + 1;
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
    std::int64_t exponent = 0;
    while (IsDigit(text, k)) {
        // Far past any value that could fit; keeps the arithmetic below in range.
        if (exponent < 1'000'000) exponent = exponent * 10 + (text[k] - '0');
        ++k;
    }
    return negative ? -exponent : exponent;
}

Decimal Parse(std::string_view raw)
{
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw)
        if (!IsIgnored(c)) text += c;

    if (text.size() >= 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h' || text[1] == 'O' || text[1] == 'o'))
        return ParseHexOrOctal(text);

    Decimal number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
    std::string digits;
    std::int64_t fractionDigits = 0;
    bool any = false;
    while (IsDigit(text, i)) digits += text[i++], any = true;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (IsDigit(text, i)) digits += text[i++], ++fractionDigits, any = true;
    }
    if (!any) return Decimal{};
    number.exponent = ParseExponent(text, i) - fractionDigits;
    const auto first = digits.find_first_not_of('0');
    if (first != std::string::npos) number.digits = digits.substr(first);
    return number;
}

// The number × 10^scale, rounded half to even; nothing when it does not fit in 64 bits.
std::optional<std::int64_t> Scaled(const Decimal& number, int scale)
{
    if (number.tooLarge) return std::nullopt;
    if (number.digits.empty()) return 0;
    const std::string& digits = number.digits;
    const std::int64_t e = number.exponent + scale;
    const auto length = static_cast<std::int64_t>(digits.size());

    std::string whole;
    std::string fraction;
    if (e >= 0) {
        if (length + e > 19) return std::nullopt;
        whole = digits + std::string(static_cast<std::size_t>(e), '0');
    } else if (length + e <= 0) {
        // Below one: rounds to 1 only from one half up, and then only past the half or onto even.
        if (length + e < 0) return 0;
        fraction = digits;
    } else {
        whole = digits.substr(0, static_cast<std::size_t>(length + e));
        fraction = digits.substr(static_cast<std::size_t>(length + e));
    }
    if (whole.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : whole) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (!fraction.empty()) {
        const bool pastHalf =
            fraction[0] > '5' || (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string::npos);
        const bool half = fraction[0] == '5' && !pastHalf;
        if (pastHalf || (half && (value & 1u))) ++value;
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (value > kMax) return std::nullopt;
    const auto signedValue = static_cast<std::int64_t>(value);
    return number.negative ? -signedValue : signedValue;
}

}  // namespace

std::optional<std::int32_t> ReadByteCount(std::string_view text)
{
    const auto value = Scaled(Parse(text), 0);
    if (!value || *value > std::numeric_limits<std::int32_t>::max() ||
        *value < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<support::FixedPoint> ReadDuration(std::string_view text)
{
    const auto value = Scaled(Parse(text), 4);
    if (!value) return std::nullopt;
    return support::FixedPoint::FromRaw(*value);
}

}  // namespace vyr::album
