#include "support/PathHelpers.h"

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#else
#include <sys/stat.h>
#endif

#include <cmath>
#include <cstdio>

namespace vyr::support {

#ifdef _WIN32

bool FileExists(const std::string& path)
{
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide || wide->empty()) return false;
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &info)) return false;
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return info.nFileSizeHigh != 0 || info.nFileSizeLow != 0;
    // A link reports its own size; a reader would see the target's.
    HANDLE handle =
        ::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION target{};
    const bool read = ::GetFileInformationByHandle(handle, &target) != 0;
    ::CloseHandle(handle);
    return read && (target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (target.nFileSizeHigh != 0 || target.nFileSizeLow != 0);
}

#else

bool FileExists(const std::string& path)
{
    if (path.empty()) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;  // stat follows links, as a reader would
    return S_ISREG(info.st_mode) && info.st_size > 0;
}

#endif

std::string FileNameFromPath(std::string_view path, char separator)
{
    const auto last = path.rfind(separator);
    if (last == std::string_view::npos) return std::string(path);
    return std::string(path.substr(last + 1));
}

std::string FolderOfPath(std::string_view path, char separator)
{
    const auto last = path.rfind(separator);
    if (last == std::string_view::npos) return {};
    return std::string(path.substr(0, last + 1));
}

std::string StripTrailingBackslash(std::string_view path, char separator)
{
    if (!path.empty() && path.back() == separator) path.remove_suffix(1);
    return std::string(path);
}

std::string AddTrailingBackslash(std::string_view path, char separator)
{
    std::string result(path);
    if (!result.empty() && result.back() != separator) result += separator;
    return result;
}

std::string FormatDuration(FixedPoint seconds)
{
    const double total = seconds.ToDouble();
    const auto minutes = static_cast<long long>(std::floor(total / 60.0));
    const auto wholeSeconds = static_cast<long long>(std::floor(total - 60.0 * static_cast<double>(minutes)));
    const auto hours = static_cast<long long>(std::floor(static_cast<double>(minutes) / 60.0));

    // "%02lld" pads a negative value after its sign, as "00" does: −1 minute is "-01".
    char text[96];
    if (minutes > 59)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes - 60 * hours, wholeSeconds);
    else
        std::snprintf(text, sizeof text, "%s%02lld:%02lld", minutes < 0 ? "-" : "", minutes < 0 ? -minutes : minutes,
                      wholeSeconds);
    return text;
}

}  // namespace vyr::support
