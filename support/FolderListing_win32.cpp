#include <windows.h>

#include "support/FolderListing.h"
#include "support/Win32.h"

namespace vyr::support {

bool ReadFolderNames(const std::string& folder, const std::function<bool(std::string_view)>& take)
{
    const std::optional<std::wstring> pattern = WidePath((folder.empty() ? std::string(".\\") : folder) + "*");
    if (!pattern) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool whole = true;
    do {
        if (!take(Utf8FromWide(found.cFileName))) {
            whole = false;
            break;
        }
    } while (::FindNextFileW(search, &found));
    // The search ends with ERROR_NO_MORE_FILES; any other error leaves names unread.
    whole = whole && ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(search);
    return whole;
}

}  // namespace vyr::support
