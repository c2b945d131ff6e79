#include "album/HandOffZip.h"

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "support/Messages.h"
#include "support/PathHelpers.h"

namespace vyr::album {

namespace {

// errno of the failure, or 0. The new name is never taken from someone else's file.
#ifdef _WIN32
int RenameNoReplace(const std::string& from, const std::string& to)
{
    const auto wideFrom = support::WidePath(from);
    const auto wideTo = support::WidePath(to);
    if (!wideFrom || !wideTo) return EILSEQ;
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name, a link included.
    if (::MoveFileExW(wideFrom->c_str(), wideTo->c_str(), 0)) return 0;
    return support::ErrnoFromWin32(::GetLastError());
}
#else
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int number = errno;
        ::unlink(to.c_str());
        return number;
    }
    return 0;
}
#endif

}  // namespace

std::string ZipNameFor(const std::string& path)
{
    // Only the file's own name is cut, so a dot in a folder name cannot move the file.
    const std::string name = support::FileNameFromPath(path);
    const auto dot = name.find('.');
    const std::string zipName = dot == std::string::npos ? name + ".zip" : name.substr(0, dot + 1) + "zip";
    return support::FolderOfPath(path) + zipName;
}

HandOffResult HandOffZip(AlbumWindow& window, const std::string& path)
{
    HandOffResult result;
    result.newPath = ZipNameFor(path);
    if (result.newPath == path) {
        result.outcome = HandOffOutcome::AlreadyZipName;
    } else if (const int number = RenameNoReplace(path, result.newPath); number != 0) {
        result.outcome = HandOffOutcome::RenameFailed;
        result.reason = std::generic_category().message(number);
        window.ShowMessage(Message{support::msg::RenameFailed(path, result.newPath, result.reason),
                                   MessageIcon::Exclamation, MessageButtons::Ok, std::string(support::msg::kAppTitle)});
        return result;
    } else {
        result.outcome = HandOffOutcome::Renamed;
    }
    result.shellOpened = window.OpenDocument(result.newPath);
    return result;
}

}  // namespace vyr::album
