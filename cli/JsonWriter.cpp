#include "cli/JsonWriter.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <ostream>

#include "support/Utf8.h"

namespace vyr::cli {

namespace {

constexpr std::size_t kFlushBytes = std::size_t{64} << 10;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes that stand in a JSON text as they are, and need no check as UTF-8: printable ASCII but
// the quote and the backslash.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (unsigned b = 0x20; b < 0x80; ++b) plain[b] = b != '"' && b != '\\';
    return plain;
}();

bool IsPlain(std::string_view text)
{
    for (const char c : text)
        if (!kPlainBytes[static_cast<unsigned char>(c)]) return false;
    return true;
}

}  // namespace

std::string ReplaceInvalidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = support::utf8::At(text, at).length;
        if (length == 0) {
            out += kReplacement;
            ++at;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

std::string PercentEncoded(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '%') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

JsonWriter::JsonWriter(std::ostream& out)
    : m_out(out), m_data(std::make_unique_for_overwrite<char[]>(2 * kFlushBytes)), m_capacity(2 * kFlushBytes)
{
}

JsonWriter::~JsonWriter() { Finish(); }

void JsonWriter::Finish()
{
    m_out.write(m_data.get(), static_cast<std::streamsize>(m_size));
    m_size = 0;
}

void JsonWriter::MakeRoom(std::size_t n)
{
    Finish();
    if (n <= m_capacity) return;
    m_data = std::make_unique_for_overwrite<char[]>(n);
    m_capacity = n;
}

void JsonWriter::BeginObject(std::string_view key) { Open(key, '{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray(std::string_view key) { Open(key, '['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Member(std::string_view key, std::int64_t value)
{
    Key(key);
    constexpr std::size_t kDigits = 20;  // a sign and 19 digits
    char* at = Room(kDigits);
    m_size += static_cast<std::size_t>(std::to_chars(at, at + kDigits, value).ptr - at);
}

void JsonWriter::Member(std::string_view key, bool value)
{
    Key(key);
    Put(value ? "true" : "false");
}

void JsonWriter::Member(std::string_view key, double value)
{
    // A whole number of seconds, as most durations are, reads as nlohmann writes it ("215.0")
    // without a trip through a json value; any other number is left to nlohmann.
    constexpr double kWholeDigits = 1e15;
    if (value == std::trunc(value) && std::abs(value) < kWholeDigits && !std::signbit(value)) {
        Member(key, static_cast<std::int64_t>(value));
        Put(".0");
        return;
    }
    Key(key);
    Put(nlohmann::json(value).dump());
}

void JsonWriter::Member(std::string_view key, std::string_view text)
{
    Key(key);
    if (IsPlain(text)) return Quoted(text);
    // The rare text that is not UTF-8 gets both forms.
    if (support::utf8::IsValid(text)) {
        Escaped(text);
        return;
    }
    Escaped(ReplaceInvalidUtf8(text));
    Key(std::string(key) + "Bytes");
    Escaped(PercentEncoded(text));
}

// The separator and indent of a new member or element, then its key when it has one.
void JsonWriter::Key(std::string_view key)
{
    if (!m_filled.empty()) {
        Put(m_filled.back() ? std::string_view(",\n") : std::string_view("\n"));
        m_filled.back() = true;
        Indent(m_filled.size());
    }
    if (!key.empty()) {
        IsPlain(key) ? Quoted(key) : Escaped(key);
        Put(": ");
    }
}

void JsonWriter::Open(std::string_view key, char bracket)
{
    Key(key);
    Put(bracket);
    m_filled.push_back(false);
}

void JsonWriter::Close(char bracket)
{
    const bool filled = m_filled.back();
    m_filled.pop_back();
    if (filled) {
        Put('\n');
        Indent(m_filled.size());
    }
    Put(bracket);
    if (m_size >= kFlushBytes) Finish();
}

// A text with nothing to escape, in its quotes.
void JsonWriter::Quoted(std::string_view utf8)
{
    char* at = Room(utf8.size() + 2);
    at[0] = '"';
    std::memcpy(at + 1, utf8.data(), utf8.size());
    at[utf8.size() + 1] = '"';
    m_size += utf8.size() + 2;
}

// Escaped as nlohmann escapes with ensure_ascii off: the two-letter escapes where JSON has one,
// \u00xx for the other control characters, everything else as it is.
void JsonWriter::Escaped(std::string_view utf8)
{
    static constexpr char kHex[] = "0123456789abcdef";
    Put('"');
    std::size_t plain = 0;  // start of the bytes not yet copied, all of which need no escape
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto b = static_cast<unsigned char>(utf8[at]);
        if (b >= 0x20 && b != '"' && b != '\\') continue;
        Put(utf8.substr(plain, at - plain));
        plain = at + 1;
        switch (b) {
        case '"': Put("\\\""); break;
        case '\\': Put("\\\\"); break;
        case '\b': Put("\\b"); break;
        case '\t': Put("\\t"); break;
        case '\n': Put("\\n"); break;
        case '\f': Put("\\f"); break;
        case '\r': Put("\\r"); break;
        default: {
            const char escape[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0x0F]};
            Put(std::string_view(escape, sizeof escape));
        }
        }
    }
    Put(utf8.substr(plain));
    Put('"');
}

void JsonWriter::Indent(std::size_t depth)
{
    static constexpr std::string_view kSpaces = "                                ";
    for (std::size_t n = 2 * depth; n > 0;) {
        const std::size_t piece = std::min(n, kSpaces.size());
        Put(kSpaces.substr(0, piece));
        n -= piece;
    }
}

}  // namespace vyr::cli
