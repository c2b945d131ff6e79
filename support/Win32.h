#pragma once

#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

// Text at the Windows calls: inside, every text is UTF-8; the wide-character API takes UTF-16.
namespace vyr::support {

// Empty when the text is not UTF-8: a lossy conversion could name another file.
std::optional<std::wstring> WidePath(std::string_view utf8);

// Lone surrogates, which a Windows name may hold, become U+FFFD.
std::string Utf8FromWide(std::wstring_view utf16);

// The errno that says the same as a Windows error code (GetLastError()), so reasons read the
// same on every platform; EIO for codes without a counterpart.
int ErrnoFromWin32(unsigned long error);

}  // namespace vyr::support

#endif
