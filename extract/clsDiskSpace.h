#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/FixedPoint.h"

namespace vyr::extract {

// The extended query's answer, in bytes.
struct ExtendedFigures {
    std::uint64_t bytesFreeToCaller = 0;
    std::uint64_t totalBytes = 0;
    std::uint64_t totalFreeBytes = 0;
};

// The legacy query's answer, before it is squeezed into the class's signed 32-bit members.
struct LegacyFigures {
    std::uint64_t sectorsPerCluster = 0;
    std::uint64_t bytesPerSector = 0;
    std::uint64_t freeClusters = 0;
    std::uint64_t totalClusters = 0;
};

// How the platform answers a free-space question for a folder or drive root. Tests pass their
// own so the arithmetic and the extract command's margin can be checked on any disk.
class VolumeQuery {
public:
    virtual ~VolumeQuery() = default;
    // Whether the 64-bit query exists, found out anew at each call; always so on Linux.
    virtual bool HasExtended() const;
    // Empty when the volume cannot be asked (no such folder, no medium).
    virtual std::optional<ExtendedFigures> Extended(const std::string& root) const;
    virtual std::optional<LegacyFigures> Legacy(const std::string& root) const;
};

// The system's own answers: statvfs, or GetDiskFreeSpaceExW and GetDiskFreeSpaceW on Windows.
const VolumeQuery& PlatformVolumes();

// The free-space figures of one volume, as the last query left them; every member is 0 until
// a query of its kind runs, and a failed query leaves its kind at 0.
class clsDiskSpace {
public:
    explicit clsDiskSpace(const VolumeQuery& volumes = PlatformVolumes()) : m_volumes(&volumes) {}

    bool ExistGetDiskFreeSpaceEx() const;
    void DiskSpaceInfoEx(const std::string& drive);
    // The legacy members are signed 32-bit: larger figures saturate at 2,147,483,647.
    void DiskSpaceInfo(const std::string& drive);

    std::int32_t SectorsPerCluster() const { return m_sectorsPerCluster; }
    std::int32_t BytesPerSector() const { return m_bytesPerSector; }
    std::int32_t numFreeClusters() const { return m_freeClusters; }
    std::int32_t TotalNumClusters() const { return m_totalClusters; }
    std::string freeSpace() const { return std::to_string(m_freeBytes); }
    std::string UsedSpace() const { return std::to_string(m_usedBytes); }
    std::string TotalSpace() const { return std::to_string(m_totalBytes); }
    support::FixedPoint FreeSpaceEx() const { return m_freeBytesEx; }
    support::FixedPoint UsedSpaceEx() const { return m_usedBytesEx; }
    support::FixedPoint TotalSpaceEx() const { return m_totalBytesEx; }
    support::FixedPoint BytesFreeToCaller() const { return m_bytesFreeToCaller; }

private:
    const VolumeQuery* m_volumes;
    std::int32_t m_sectorsPerCluster = 0;
    std::int32_t m_bytesPerSector = 0;
    std::int32_t m_freeClusters = 0;
    std::int32_t m_totalClusters = 0;
    std::int32_t m_freeBytes = 0;
    std::int32_t m_usedBytes = 0;
    std::int32_t m_totalBytes = 0;
    support::FixedPoint m_bytesFreeToCaller;
    support::FixedPoint m_freeBytesEx;
    support::FixedPoint m_usedBytesEx;
    support::FixedPoint m_totalBytesEx;
};

// Free bytes of the volume that holds `drive` (a drive root such as C:, or on Linux the folder
// itself); 0 when nothing could be found out or nothing is free. Counts the volume's free
// bytes, not only those free to the caller.
support::FixedPoint DriveFreeBytes(const std::string& drive, const VolumeQuery& volumes = PlatformVolumes());

// What the extract command asks DriveFreeBytes about for a target folder: its first two
// characters (the drive) on Windows, the folder itself elsewhere.
std::string DriveOfFolder(const std::string& targetFolder);

}  // namespace vyr::extract
