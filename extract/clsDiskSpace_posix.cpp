#include <sys/statvfs.h>

#include "extract/clsDiskSpace.h"

namespace vyr::extract {

namespace {

class StatVfsVolumes final : public VolumeQuery {};

}  // namespace

bool VolumeQuery::HasExtended() const { return true; }

std::optional<ExtendedFigures> VolumeQuery::Extended(const std::string& root) const
{
    struct statvfs info {};
    if (root.empty() || ::statvfs(root.c_str(), &info) != 0) return std::nullopt;
    const std::uint64_t unit = info.f_frsize;
    return ExtendedFigures{info.f_bavail * unit, info.f_blocks * unit, info.f_bfree * unit};
}

std::optional<LegacyFigures> VolumeQuery::Legacy(const std::string& root) const
{
    // One fragment is one "cluster" of one "sector".
    struct statvfs info {};
    if (root.empty() || ::statvfs(root.c_str(), &info) != 0) return std::nullopt;
    return LegacyFigures{1, info.f_frsize, info.f_bfree, info.f_blocks};
}

const VolumeQuery& PlatformVolumes()
{
    static const StatVfsVolumes volumes;
    return volumes;
}

}  // namespace vyr::extract
