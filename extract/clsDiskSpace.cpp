#include "extract/clsDiskSpace.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "support/PathHelpers.h"

namespace vyr::extract {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

std::int32_t Saturate(std::int64_t value) { return static_cast<std::int32_t>(std::clamp(value, kInt32Min, kInt32Max)); }

std::int32_t Saturate(std::uint64_t value)
{
    return static_cast<std::int32_t>(std::min<std::uint64_t>(value, static_cast<std::uint64_t>(kInt32Max)));
}

// Products of the 32-bit members (never negative: they come from unsigned figures); a drive of
// 2 GiB or more gives the largest 32-bit value instead of a wrapped, possibly negative one.
std::int32_t Product(std::int32_t a, std::int32_t b, std::int32_t c)
{
    std::int64_t ab = 0;
    std::int64_t abc = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(a), static_cast<std::int64_t>(b), &ab) ||
        __builtin_mul_overflow(ab, static_cast<std::int64_t>(c), &abc))
        return static_cast<std::int32_t>(kInt32Max);
    return Saturate(abc);
}

support::FixedPoint Bytes(std::uint64_t count)
{
    constexpr auto kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return support::FixedPoint::FromWhole(static_cast<std::int64_t>(std::min(count, kLimit)));
}

}  // namespace

bool clsDiskSpace::ExistGetDiskFreeSpaceEx() const { return m_volumes->HasExtended(); }

void clsDiskSpace::DiskSpaceInfoEx(const std::string& drive)
{
    const ExtendedFigures figures = m_volumes->Extended(drive).value_or(ExtendedFigures{});
    m_bytesFreeToCaller = Bytes(figures.bytesFreeToCaller);
    m_totalBytesEx = Bytes(figures.totalBytes);
    m_freeBytesEx = Bytes(figures.totalFreeBytes);
    m_usedBytesEx = m_totalBytesEx - m_freeBytesEx;
}

void clsDiskSpace::DiskSpaceInfo(const std::string& drive)
{
    const LegacyFigures figures = m_volumes->Legacy(drive).value_or(LegacyFigures{});
    m_sectorsPerCluster = Saturate(figures.sectorsPerCluster);
    m_bytesPerSector = Saturate(figures.bytesPerSector);
    m_freeClusters = Saturate(figures.freeClusters);
    m_totalClusters = Saturate(figures.totalClusters);
    m_totalBytes = Product(m_totalClusters, m_sectorsPerCluster, m_bytesPerSector);
    m_freeBytes = Product(m_sectorsPerCluster, m_freeClusters, m_bytesPerSector);
    m_usedBytes = Saturate(static_cast<std::int64_t>(m_totalBytes) - m_freeBytes);
}

support::FixedPoint DriveFreeBytes(const std::string& drive, const VolumeQuery& volumes)
{
    // C: becomes C:\, the root form the queries take; the current folder of drive C: is not it.
    const std::string root = support::AddTrailingBackslash(drive);
    clsDiskSpace space(volumes);
    support::FixedPoint free;
    if (space.ExistGetDiskFreeSpaceEx()) {
        space.DiskSpaceInfoEx(root);
        free = space.FreeSpaceEx();
    } else {
        space.DiskSpaceInfo(root);
        const std::string text = space.freeSpace();
        std::int64_t whole = 0;
        std::from_chars(text.data(), text.data() + text.size(), whole);
        free = support::FixedPoint::FromWhole(whole);
    }
    return free.raw > 0 ? free : support::FixedPoint{};
}

std::string DriveOfFolder(const std::string& targetFolder)
{
#ifdef _WIN32
    return targetFolder.substr(0, 2);
#else
    return targetFolder;
#endif
}

}  // namespace vyr::extract
