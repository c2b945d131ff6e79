#include "support/PathHelpers.h"

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

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

namespace {

// A path that names its place without the working folder: rooted, or on Windows with a drive.
bool IsRooted(std::string_view path)
{
    if (path.empty() || path.front() == kNativeSeparator) return true;
#ifdef _WIN32
    return path.size() >= 2 && path[1] == ':';
#else
    return false;
#endif
}

std::string CurrentFolder()
{
#ifdef _WIN32
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) return {};
        if (length < folder.size()) return Utf8FromWide(std::wstring_view(folder.data(), length));
        folder.resize(length);
    }
#else
    std::vector<char> folder(4096);
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE || folder.size() > (1u << 20)) return {};
        folder.resize(folder.size() * 2);
    }
    return folder.data();
#endif
}

}  // namespace

std::string AbsolutePath(std::string_view path, std::string_view currentFolder)
{
    if (IsRooted(path)) return std::string(path);
    std::string absolute(currentFolder);
    bool endsInFolder = false;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t cut = std::min(path.find(kNativeSeparator, start), path.size());
        const std::string_view part = path.substr(start, cut - start);
        start = cut + 1;
        endsInFolder = part.empty() || part == ".";
        if (!endsInFolder) absolute = AddTrailingBackslash(absolute) + std::string(part);
    }
    return endsInFolder ? AddTrailingBackslash(absolute) : absolute;
}

std::string AbsolutePath(std::string_view path)
{
    if (IsRooted(path)) return std::string(path);
    const std::string folder = CurrentFolder();
    return folder.empty() ? std::string(path) : AbsolutePath(path, folder);
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
