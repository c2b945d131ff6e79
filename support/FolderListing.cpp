#include "support/FolderListing.h"

#include <algorithm>

#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::support {

namespace {

// A path walk costs about as much as reading ten names of a listing.
constexpr std::size_t kListFromNames = 64;
constexpr std::size_t kListedPerName = 10;
constexpr std::size_t kMaxNameBytes = 16u << 20;  // and the listing's memory stays small

// A name a folder's listing settles. A file system that ignores case (FAT, SMB, a case-folding
// ext4 folder) finds "A.mp3" as "a.mp3", hence the folding; the rest it may also find under
// another spelling: letters beyond ASCII, FAT's short "NAME~1" aliases, a trailing dot or space
// that SMB drops, a stream after a colon. Those, and paths, are asked of the kernel.
bool ListingSettles(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x80 || c == '/' || c == '~' || c == ':' || c == '\\';
    });
}

}  // namespace

FolderListing::FolderListing(std::string folder, std::size_t names) : m_folder(std::move(folder))
{
    if (names < kListFromNames) return;
    const std::size_t maxEntries = names * kListedPerName;
    std::size_t bytes = 0;
    m_listed = ReadFolderNames(m_folder, [&](std::string_view name) {
        bytes += name.size();
        if (m_names.size() >= maxEntries || bytes > kMaxNameBytes) return false;
        m_names.insert(FoldAsciiCase(name));
        return true;
    });
    if (!m_listed) m_names = {};
}

bool FolderListing::Holds(std::string_view name) const
{
    if (m_listed && ListingSettles(name) && !m_names.contains(FoldAsciiCase(name))) return false;
    return FileExists(m_folder + std::string(name));
}

}  // namespace vyr::support
