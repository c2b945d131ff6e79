#include "support/PathHelpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vyr::support {

bool FileExists(const std::string& path)
{
    if (path.empty()) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;  // stat follows links, as a reader would
    return S_ISREG(info.st_mode) && info.st_size > 0;
}

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

std::string AbsolutePath(std::string_view path, std::string_view currentFolder)
{
    if (path.empty() || path.front() == kNativeSeparator) return std::string(path);
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
    if (path.empty() || path.front() == kNativeSeparator) return std::string(path);
    std::vector<char> folder(4096);
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE || folder.size() > (1u << 20)) return std::string(path);
        folder.resize(folder.size() * 2);
    }
    return AbsolutePath(path, folder.data());
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
