#include "recovery/HeaderNames.h"

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "support/PathHelpers.h"
#include "support/Text.h"
#include "support/Utf8.h"

namespace vyr::recovery {

namespace {

constexpr std::string_view kSplit = ".mp3";

}  // namespace

void HeaderNames::Feed(std::string_view bytes)
{
    // Where the next "." and "]" lie, each found once per stretch of bytes, not once per byte.
    std::size_t dot = 0;
    std::size_t bracket = 0;
    const auto next = [&bytes](char ch, std::size_t from) {
        const void* at = std::memchr(bytes.data() + from, ch, bytes.size() - from);
        return at == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(at) - bytes.data());
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        // A name already too long only ends at a "]" or a ".mp3": skip to the next "]" or "."
        // without looking at the bytes between (a file without a sync is fed whole).
        if (m_tooLong && m_matched == 0) {
            if (dot < i || i == 0) dot = next('.', i);
            if (bracket < i || i == 0) bracket = next(']', i);
            i = std::min(dot, bracket);
            if (i == bytes.size()) return;
        }
        const char ch = bytes[i++];
        if (ch == kSplit[m_matched]) {
            if (++m_matched == kSplit.size()) {
                m_matched = 0;
                EndPiece();
            }
            continue;
        }
        // ".mp3" cannot overlap itself, so a broken match gives its bytes back to the piece and
        // the current byte can only start a new match.
        for (std::size_t k = 0; k < m_matched; ++k) Take(kSplit[k]);
        m_matched = 0;
        if (ch == kSplit[0])
            m_matched = 1;
        else
            Take(ch);
    }
}

void HeaderNames::Take(char ch)
{
    if (ch == ']') {
        m_name.clear();
        m_pendingSpaces = 0;
        m_tooLong = false;
        return;
    }
    if (ch == ' ') {
        if (!m_name.empty()) ++m_pendingSpaces;
        return;
    }
    if (m_tooLong) return;
    // The trimmed name only grows from here on, so once too long it stays too long.
    if (m_name.size() + m_pendingSpaces + 1 > kMaxNameBytes) {
        m_tooLong = true;
        m_name.clear();
        m_pendingSpaces = 0;
        return;
    }
    m_name.append(m_pendingSpaces, ' ');
    m_pendingSpaces = 0;
    m_name += ch;
}

void HeaderNames::EndPiece()
{
    // A name that could not be a file name here counts as empty, so the row is numbered instead.
    std::string name = (m_tooLong || !support::IsPlainFileName(m_name)) ? std::string() : std::move(m_name);
    m_name.clear();
    m_pendingSpaces = 0;
    m_tooLong = false;
    if (m_names.front().empty()) {
        m_names.front() = std::move(name);
        return;
    }
    if (m_names.size() >= kMaxNames) {
        m_overflowed = true;
        return;
    }
    m_names.push_back(std::move(name));
}

#ifdef _WIN32

std::string ListedName(const std::string& path)
{
    // A wildcard would list some other file; no existing name holds one.
    const std::optional<std::wstring> wide = support::WidePath(path);
    if (!wide || wide->empty() || wide->find_first_of(L"*?") != std::wstring::npos) return {};
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(wide->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    ::FindClose(search);
    return support::Utf8FromWide(found.cFileName);
}

#else

namespace {

char LowerAscii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

}  // namespace

std::string ListedName(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (!fs::exists(target, error)) return {};
    std::string wanted = target.filename().string();
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string caseless;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name == wanted) return name;
        if (caseless.empty() && SameIgnoringAsciiCase(name, wanted)) caseless = name;
    }
    // A folder that cannot be listed still holds the path, under the name it was given.
    if (error && caseless.empty()) return wanted;
    return caseless;
}

#endif

namespace {

// The listed name's stem as a part of a file name that Linux and Windows both take, the same
// on each: a path separator, a control character or a character Windows reserves becomes "_".
// Any name the file system lists can be scanned, "back\slash.bin" or one with a line feed.
std::string SafeStem(std::string_view stem)
{
    std::string safe = support::ToDisplayText(stem);
    for (char& ch : safe) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 32 || b == 127 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos) ch = '_';
    }
    return safe;
}

}  // namespace

std::string RowFileName(int row, const std::vector<std::string>& names, std::string_view listedName)
{
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "[%02d] ", row + 1);
    // Counted in bytes, the name fits both platforms: UTF-8 never needs fewer bytes than UTF-16
    // needs units.
    const std::size_t room = support::kMaxNameUnits - std::strlen(prefix) - std::string_view(".mp3").size();
    const auto index = static_cast<std::size_t>(row);
    if (!names.empty() && !names.front().empty() && index < names.size() && !names[index].empty())
        return prefix + std::string(support::utf8::Prefix(support::ToDisplayText(names[index]), room)) + ".mp3";
    // The stem keeps its dot, so "Party.Mix.vyr" gives "Party.mp3" and a name without one "mp3".
    const auto dot = listedName.find('.');
    if (dot == std::string_view::npos) return prefix + std::string("mp3");
    return prefix + std::string(support::utf8::Prefix(SafeStem(listedName.substr(0, dot)), room)) + ".mp3";
}

}  // namespace vyr::recovery
