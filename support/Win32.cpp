#include "support/Win32.h"

#include <windows.h>

#include <cerrno>

namespace vyr::support {

std::optional<std::wstring> WidePath(std::string_view utf8)
{
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    // A NUL would end the name at the call and open a shorter one.
    if (wide.find(L'\0') != std::wstring::npos) return std::nullopt;
    return wide;
}

std::string Utf8FromWide(std::wstring_view utf16)
{
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

int ErrnoFromWin32(unsigned long error)
{
    switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_READY: return ENODEV;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED: return ENOSYS;
    default: return EIO;
    }
}

}  // namespace vyr::support
