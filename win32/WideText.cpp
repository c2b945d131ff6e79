#include "win32/WideText.h"

#include "win32/Api.h"

#include "support/Win32.h"

namespace vyr::win32 {

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    // Without MB_ERR_INVALID_CHARS the call puts U+FFFD in place of what it cannot read.
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8(std::wstring_view utf16) { return support::Utf8FromWide(utf16); }

}  // namespace vyr::win32
