#include <string>
#include <vector>

#include "extract/clsDiskSpace.h"
#include "tests/TestFiles.h"

namespace vyr::extract {
namespace {

using support::FixedPoint;

// Answers every question with fixed figures and remembers which roots it was asked about.
class FakeVolumes : public VolumeQuery {
public:
    bool extended = true;
    std::optional<ExtendedFigures> extendedFigures;
    std::optional<LegacyFigures> legacyFigures;
    mutable std::vector<std::string> asked;

    bool HasExtended() const override { return extended; }
    std::optional<ExtendedFigures> Extended(const std::string& root) const override
    {
        asked.push_back(root);
        return extendedFigures;
    }
    std::optional<LegacyFigures> Legacy(const std::string& root) const override
    {
        asked.push_back(root);
        return legacyFigures;
    }
};

TEST(cls_disk_space, a_fresh_object_reports_zeros)
{
    const FakeVolumes volumes;
    const clsDiskSpace space(volumes);
    EXPECT_EQ(space.SectorsPerCluster(), 0);
    EXPECT_EQ(space.BytesPerSector(), 0);
    EXPECT_EQ(space.numFreeClusters(), 0);
    EXPECT_EQ(space.TotalNumClusters(), 0);
    EXPECT_EQ(space.freeSpace(), "0");
    EXPECT_EQ(space.UsedSpace(), "0");
    EXPECT_EQ(space.TotalSpace(), "0");
    EXPECT_TRUE(space.FreeSpaceEx().IsZero());
    EXPECT_TRUE(space.UsedSpaceEx().IsZero());
    EXPECT_TRUE(space.TotalSpaceEx().IsZero());
    EXPECT_TRUE(space.BytesFreeToCaller().IsZero());
}

TEST(cls_disk_space, legacy_query_multiplies_clusters_sectors_and_bytes)
{
    struct Case {
        const char* name;
        LegacyFigures figures;
        const char* free;
        const char* total;
        const char* used;
    };
    const Case cases[] = {
        {"small drive", {8, 512, 1000, 4000}, "4096000", "16384000", "12288000"},
        {"just fits", {1, 1, 2147483647, 2147483647}, "2147483647", "2147483647", "0"},
        {"free past 2 GiB saturates", {8, 4096, 100000, 1000000}, "2147483647", "2147483647", "0"},
        {"total past 2 GiB saturates", {8, 512, 1000, 1000000}, "4096000", "2147483647", "2143387647"},
        {"counts past 32 bits saturate", {1, 4096, 1ULL << 40, 1ULL << 41}, "2147483647", "2147483647", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeVolumes volumes;
        volumes.legacyFigures = c.figures;
        clsDiskSpace space(volumes);
        space.DiskSpaceInfo("C:\\");
        EXPECT_EQ(space.freeSpace(), c.free);
        EXPECT_EQ(space.TotalSpace(), c.total);
        EXPECT_EQ(space.UsedSpace(), c.used);
        EXPECT_TRUE(space.FreeSpaceEx().IsZero()) << "a legacy query leaves the extended members alone";
    }
    FakeVolumes volumes;
    volumes.legacyFigures = LegacyFigures{8, 512, 1000, 4000};
    clsDiskSpace space(volumes);
    space.DiskSpaceInfo("C:\\");
    EXPECT_EQ(space.SectorsPerCluster(), 8);
    EXPECT_EQ(space.BytesPerSector(), 512);
    EXPECT_EQ(space.numFreeClusters(), 1000);
    EXPECT_EQ(space.TotalNumClusters(), 4000);

    volumes.legacyFigures.reset();  // a failed query sets its kind back to 0
    space.DiskSpaceInfo("Q:\\");
    EXPECT_EQ(space.freeSpace(), "0");
    EXPECT_EQ(space.BytesPerSector(), 0);
}

TEST(cls_disk_space, extended_query_keeps_64_bit_counts_exactly)
{
    FakeVolumes volumes;
    volumes.extendedFigures = ExtendedFigures{3'000'000'000, 20'000'000'000, 5'000'000'001};
    clsDiskSpace space(volumes);
    space.DiskSpaceInfoEx("C:\\");
    EXPECT_EQ(space.FreeSpaceEx(), FixedPoint::FromWhole(5'000'000'001));
    EXPECT_EQ(space.TotalSpaceEx(), FixedPoint::FromWhole(20'000'000'000));
    EXPECT_EQ(space.BytesFreeToCaller(), FixedPoint::FromWhole(3'000'000'000));
    // Used is total minus the drive's free bytes, not minus the caller's share.
    EXPECT_EQ(space.UsedSpaceEx(), FixedPoint::FromWhole(14'999'999'999));
    EXPECT_EQ(space.freeSpace(), "0");
}

// A drive as the extract command names it, and the root form the queries are asked with.
#ifdef _WIN32
constexpr const char* kDrive = "D:";
constexpr const char* kRoot = "D:\\";
#else
constexpr const char* kDrive = "/music";
constexpr const char* kRoot = "/music/";
#endif

TEST(drive_free_bytes, takes_the_drives_free_bytes_not_the_callers_share)
{
    FakeVolumes volumes;
    volumes.extendedFigures = ExtendedFigures{1'000, 9'000'000'000, 4'294'967'296};
    EXPECT_EQ(DriveFreeBytes(kRoot, volumes), FixedPoint::FromWhole(4'294'967'296));
    EXPECT_EQ(DriveFreeBytes(kDrive, volumes), FixedPoint::FromWhole(4'294'967'296));
    EXPECT_EQ(volumes.asked, (std::vector<std::string>{kRoot, kRoot}));

    volumes.extendedFigures.reset();
    EXPECT_TRUE(DriveFreeBytes("/gone/", volumes).IsZero());
    volumes.extendedFigures = ExtendedFigures{0, 100, 0};
    EXPECT_TRUE(DriveFreeBytes("/full/", volumes).IsZero());
}

TEST(drive_free_bytes, falls_back_to_the_legacy_query_without_the_extended_one)
{
    FakeVolumes volumes;
    volumes.extended = false;
    volumes.legacyFigures = LegacyFigures{8, 512, 1000, 4000};
    EXPECT_EQ(DriveFreeBytes("/music/", volumes), FixedPoint::FromWhole(4'096'000));
    volumes.legacyFigures = LegacyFigures{8, 4096, 1'000'000, 2'000'000};
    EXPECT_EQ(DriveFreeBytes("/music/", volumes), FixedPoint::FromWhole(2'147'483'647));
}

TEST(drive_free_bytes, asks_the_real_volume_of_a_folder)
{
    const test::TempDir dir;
    EXPECT_FALSE(DriveFreeBytes(DriveOfFolder(dir.folder())).IsZero());
    EXPECT_TRUE(DriveFreeBytes(dir / "missing").IsZero());
    EXPECT_TRUE(DriveFreeBytes("").IsZero());
#ifdef _WIN32
    EXPECT_EQ(DriveOfFolder("C:\\Users\\me\\Music\\"), "C:");
    // A network folder's first two characters are no drive: the query fails and reports 0.
    EXPECT_EQ(DriveOfFolder("\\\\server\\music\\"), "\\\\");
    EXPECT_TRUE(DriveFreeBytes("\\\\").IsZero());
#else
    EXPECT_EQ(DriveOfFolder("/home/me/Music/"), "/home/me/Music/");
#endif

    clsDiskSpace space;
    EXPECT_TRUE(space.ExistGetDiskFreeSpaceEx());
    space.DiskSpaceInfo(dir.folder());
    space.DiskSpaceInfoEx(dir.folder());
    EXPECT_GT(space.BytesPerSector(), 0);
    EXPECT_GE(space.TotalSpaceEx(), space.FreeSpaceEx());
    EXPECT_GE(space.FreeSpaceEx(), space.BytesFreeToCaller());
}

}  // namespace
}  // namespace vyr::extract
