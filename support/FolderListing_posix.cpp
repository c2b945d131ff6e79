#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "support/FolderListing.h"

namespace vyr::support {

bool ReadFolderNames(const std::string& folder, const std::function<bool(std::string_view)>& take)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    bool whole = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!take(entry->d_name)) {
            whole = false;
            break;
        }
        errno = 0;
    }
    whole = whole && errno == 0;  // readdir gives null on an error as at the end, with errno set
    ::closedir(dir);
    return whole;
}

}  // namespace vyr::support
