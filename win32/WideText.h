#pragma once

#include <string>
#include <string_view>

// Text at the window's calls: UTF-8 inside, UTF-16 at the wide-character API. Unlike a path, a
// text on the screen is shown even when it is not UTF-8 (an album header from another code page):
// each byte that is not part of a valid sequence shows as U+FFFD, and NULs pass, so a dialog's
// NUL-separated list survives the conversion.
namespace vyr::win32 {

std::wstring Wide(std::string_view utf8);

// Lone surrogates, which a typed name may hold, become U+FFFD.
std::string Utf8(std::wstring_view utf16);

}  // namespace vyr::win32
