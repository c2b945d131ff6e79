#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vyr::support {

// The names in one folder, read once, so that asking whether each of thousands of tracks is
// there already costs a look-up instead of a path walk in the kernel. It answers exactly as
// FileExists(folder + name) does: only names it can vouch for are answered from the listing,
// and a name that is listed is still checked for being a regular file of at least one byte.
class FolderListing {
public:
    // `folder` ends in a separator, or is empty for the current folder. `names`: how many names
    // will be asked about. For a few, or for a folder far larger than their number, a path walk
    // each is cheaper than the listing: the folder is then not read.
    FolderListing(std::string folder, std::size_t names);

    // FileExists(folder + name).
    bool Holds(std::string_view name) const;

private:
    std::string m_folder;
    bool m_listed = false;  // the listing was read whole; else every name is asked of the kernel
    std::unordered_set<std::string> m_names;  // ASCII letters folded to lower case
};

// Hands every name in `folder` (ending in a separator, or empty for the current folder) to
// `take` until it returns false. True when the whole folder was read: not stopped by `take`,
// and no error on the way.
bool ReadFolderNames(const std::string& folder, const std::function<bool(std::string_view)>& take);

}  // namespace vyr::support
