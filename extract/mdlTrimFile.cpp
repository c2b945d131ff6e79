#include "extract/mdlTrimFile.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

#include "extract/mdlTrimFilePlatform.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

}  // namespace

CopyResult CopyFailure(CopyError error, std::string_view text, int number)
{
    std::string what(text);
    if (number != 0) what += ": " + std::generic_category().message(number);
    return CopyResult{error, number, std::move(what)};
}

std::string PartName(std::uint32_t pid, unsigned serial)
{
    return std::string(kPartPrefix) + std::to_string(pid) + "-" + std::to_string(serial);
}

std::int32_t PartOwner(std::string_view name)
{
    if (!name.starts_with(kPartPrefix)) return 0;
    name.remove_prefix(kPartPrefix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) return 0;
    const std::string_view serial = name.substr(dash + 1);
    if (!std::all_of(serial.begin(), serial.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
    std::int32_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    return error == std::errc() && end == name.data() + dash && pid > 0 ? pid : 0;
}

CopyResult CopyFileRange(const support::Folder& folder, const std::string& name, std::int64_t start, std::int64_t count,
                         const support::File& source, const CopyOptions& options)
{
    if (start < 0 || count <= 0) return CopyFailure(CopyError::BadRange, msg::kReasonBadRange);
    if (start > source.Length() || count > source.Length() - start)
        return CopyFailure(CopyError::BadRange, msg::kReasonPastEnd);
    if (!support::IsPlainFileName(name)) return CopyFailure(CopyError::BadName, msg::kReasonBadName);
    if (folder.HasEntry(name)) return CopyFailure(CopyError::TargetExists, msg::kReasonTargetExists);
    return CopyThroughTemporary(folder, name, start, count, source, options);
}

CopyResult CopyFileRange(const std::string& targetPath, std::int64_t start, std::int64_t count,
                         const std::string& sourcePath, const CopyOptions& options)
{
    support::File source;
    if (const support::OpenResult opened = source.Open(sourcePath); !opened.Ok()) {
        if (opened.error != support::OpenError::CannotOpen)
            return CopyFailure(CopyError::SourceUnreadable, msg::kReasonNotRegular);
        return CopyFailure(CopyError::SourceUnreadable, msg::kReasonOpenAlbum, opened.systemError);
    }
    // A trailing separator would make the kernel follow a link at the name, so it goes first.
    const std::string name = support::FileNameFromPath(targetPath);
    if (!support::IsPlainFileName(name)) return CopyFailure(CopyError::BadName, msg::kReasonBadName);
#ifdef _WIN32
    // The separator stays: "C:" alone is the working folder of drive C, not its root.
    const std::string folderOfTarget = support::FolderOfPath(targetPath);
    const std::string folderPath = !folderOfTarget.empty() ? folderOfTarget : ".";
#else
    const std::string folderOfTarget = support::StripTrailingBackslash(support::FolderOfPath(targetPath));
    const std::string folderPath = !folderOfTarget.empty() ? folderOfTarget : targetPath.front() == '/' ? "/" : ".";
#endif
    support::Folder folder;
    if (const support::OpenResult opened = folder.Open(folderPath); !opened.Ok())
        return CopyFailure(CopyError::TargetFolderUnusable, msg::kReasonOpenFolder, opened.systemError);
    return CopyFileRange(folder, name, start, count, source, options);
}

}  // namespace vyr::extract
