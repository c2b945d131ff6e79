#include "support/Text.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>

#include "support/Utf8.h"

namespace vyr::support {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five it leaves undefined map to the C1 controls, as
// Windows itself converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// C0 controls, DEL and the C1 controls: a terminal takes them for commands (ESC [, CSI, OSC).
bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

}  // namespace

std::string_view TrimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsValidUtf8(std::string_view bytes) { return utf8::IsValid(bytes); }

std::string FoldAsciiCase(std::string_view text)
{
    std::string folded(text);
    for (char& ch : folded)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return folded;
}

std::string ToDisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes)) return std::string(bytes);
    // Sized exactly: a guess that falls short doubles the room, and a long header's names would
    // then hold a third more memory than their text.
    std::size_t size = 0;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const char32_t c = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b;
        size += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    }
    std::string out;
    out.reserve(size);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            utf8::Append(out, kCp1252High[b - 0x80]);
        else
            utf8::Append(out, b);
    }
    return out;
}

std::string SizeText(std::int64_t byteCount, std::string_view separator)
{
    // 1023.8, not 1024: the figure users of the format are used to seeing.
    const double kilobytes = std::round(static_cast<double>(byteCount) / 1023.8);
    if (kilobytes == 0) return "Kb";
    const auto value = static_cast<long long>(kilobytes);
    std::string text = value < 0 ? "-" : "";
    text += GroupThousands(static_cast<std::uint64_t>(value < 0 ? -value : value), separator);
    return text + "Kb";
}

std::string GroupThousands(std::uint64_t value, std::string_view separator)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

#ifdef _WIN32
namespace {

// Names that Windows takes for something other than a file of that name in the folder: a
// stream or another drive's folder ("C:x.mp3"), wildcards and quotes, a name whose trailing dots
// and spaces it drops (so another file is meant), and the devices CON, PRN, AUX, NUL, COM1 to
// COM9 and LPT1 to LPT9, with any extension.
bool IsSpecialToWindows(std::string_view name)
{
    if (name.find_first_of(":*?\"<>|") != std::string_view::npos) return true;
    if (name.back() == '.' || name.back() == ' ') return true;
    std::string stem(name.substr(0, name.find('.')));
    stem.erase(stem.find_last_not_of(' ') + 1);
    for (char& ch : stem)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace
#endif

bool IsPlainFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..") return false;
    if (FoldAsciiCase(name.substr(0, kPartPrefix.size())) == kPartPrefix) return false;
    for (const char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '/' || ch == '\\' || b < 32 || b == 127) return false;
    }
#ifdef _WIN32
    if (IsSpecialToWindows(name)) return false;
#endif
    return true;
}

bool FitsFileSystem(std::string_view name)
{
#ifdef _WIN32
    // A name that is not UTF-8 cannot be made at all, and IsPlainFileName's callers refuse it.
    std::size_t units = 0;
    for (std::size_t i = 0; i < name.size() && units <= kMaxNameUnits;) {
        const std::size_t length = std::max<std::size_t>(utf8::At(name, i).length, 1);
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units <= kMaxNameUnits;
#else
    return name.size() <= kMaxNameUnits;
#endif
}

std::string TerminalText(std::string_view text, std::size_t maxCharacters)
{
    std::string shown;
    shown.reserve(std::min(text.size(), maxCharacters * 4));
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (characters + 1 == maxCharacters && TerminalWidth(text.substr(i), 2) > 1) {
            shown += "\u2026";
            break;
        }
        const utf8::Character c = utf8::At(text, i);
        if (c.length == 0 || IsControl(c.value))
            shown += '?';
        else
            shown.append(text.substr(i, c.length));
        i += c.length == 0 ? 1 : c.length;
        ++characters;
    }
    return shown;
}

std::string TerminalLines(std::string_view text)
{
    std::ostringstream out;
    WriteTerminalLines(out, text);
    return std::move(out).str();
}

void WriteTerminalLines(std::ostream& out, std::string_view text)
{
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (end < text.size() && line.ends_with('\r')) line.remove_suffix(1);
        if (start > 0) out << '\n';
        out << TerminalText(line);
        start = end + 1;
    }
}

std::size_t TerminalWidth(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size() && characters < limit; ++characters) {
        const std::size_t length = utf8::At(text, i).length;
        i += length == 0 ? 1 : length;
    }
    return characters;
}

}  // namespace vyr::support
