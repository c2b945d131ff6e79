#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "album/AlbumState.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "tests/RecordingWindow.h"
#include "tests/TestFiles.h"

namespace vyr::extract {
namespace {

constexpr std::int64_t k2GiB = 2'147'483'648;  // the first offset past the signed 32-bit range
constexpr std::int64_t k4GiB = 4'294'967'296;  // the first offset past the unsigned 32-bit range

class PlentyOfSpace : public VolumeQuery {
public:
    std::optional<ExtendedFigures> Extended(const std::string&) const override
    {
        return ExtendedFigures{1ULL << 50, 1ULL << 51, 1ULL << 50};
    }
};

// A sparse file: zeros everywhere but a few marks, so 4 GiB take a few KiB of disk.
class SparseFile {
public:
    SparseFile(const std::string& path, std::int64_t size)
        : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644))
    {
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::ftruncate(m_fd, size), 0);
    }
    ~SparseFile() { ::close(m_fd); }
    void Mark(std::int64_t offset, const std::string& bytes)
    {
        EXPECT_EQ(::pwrite(m_fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    }

private:
    int m_fd;
};

std::string ReadAt(const std::string& path, std::int64_t offset, std::size_t count)
{
    std::string bytes(count, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY);
    const ssize_t n = ::pread(fd, bytes.data(), count, offset);
    ::close(fd);
    bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return bytes;
}

std::int64_t SizeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

TEST(extract_large, tracks_beyond_2_and_4_GiB_get_the_right_bytes)
{
    const test::TempDir source;
    const test::TempDir target;
    const std::int64_t header = 1000;
    // Row byte counts stay within 32 bits; their sum carries the offsets past 2 and 4 GiB. The
    // two big rows stay unticked, so the test writes 300 MB, not 4 GB.
    const std::vector<std::int32_t> counts = {2'100'000'000, 100'000'000, 2'000'000'000, 200'000'000, 1000};
    const std::vector<bool> ticked = {false, true, false, true, true};
    std::int64_t size = header;
    for (const std::int32_t c : counts) size += c;
    const std::string album = source / "big.vyr";
    std::vector<std::int64_t> starts;
    {
        SparseFile file(album, size);
        std::int64_t at = header;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            starts.push_back(at);
            file.Mark(at, "start of track " + std::to_string(i));
            file.Mark(at + counts[i] - 16, "end of track " + std::to_string(i) + "!!");
            at += counts[i];
        }
        file.Mark(k2GiB - 4, "straddles 2 GiB");
        file.Mark(k4GiB - 4, "straddles 4 GiB");
    }
    ASSERT_LT(starts[1], k2GiB);
    ASSERT_GT(starts[1] + counts[1], k2GiB);
    ASSERT_LT(starts[3], k4GiB);
    ASSERT_GT(starts[3] + counts[3], k4GiB);
    ASSERT_GT(starts[4], k4GiB);

    album::AlbumState state;
    test::RecordingWindow window;
    state.albumPath = album;
    state.targetFolder = target.folder();
    state.headerLength = state.dataBase = header;
    state.tracks.Reset();
    for (std::size_t i = 0; i < counts.size(); ++i) {
        album::TrackEntry& row = state.tracks.NextRow(i == 0);
        row.fileName = "t" + std::to_string(i) + ".mp3";
        row.byteCount = counts[i];
        row.hasByteCount = true;
        row.ticked = ticked[i];
    }
    state.list.items = state.tracks.Count();

    const ExtractReport report = ExtractTicked(state, window, PlentyOfSpace());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (!ticked[i]) continue;
        SCOPED_TRACE(i);
        const std::string out = target / ("t" + std::to_string(i) + ".mp3");
        EXPECT_EQ(report.rows[i].status, RowStatus::Written) << report.rows[i].reason;
        EXPECT_EQ(SizeOf(out), counts[i]);
        EXPECT_EQ(ReadAt(out, 0, 32), ReadAt(album, starts[i], 32));
        EXPECT_EQ(ReadAt(out, counts[i] - 16, 16), "end of track " + std::to_string(i) + "!!");
        // The marks across the 2 and 4 GiB lines, read back from inside the tracks.
        for (const std::int64_t line : {k2GiB, k4GiB}) {
            if (line > starts[i] && line < starts[i] + counts[i]) {
                EXPECT_EQ(ReadAt(out, line - 4 - starts[i], 15), ReadAt(album, line - 4, 15));
                EXPECT_NE(ReadAt(out, line - 4 - starts[i], 15), std::string(15, '\0'));
            }
        }
    }
    EXPECT_EQ(ReadAt(target / "t1.mp3", 0, 16), "start of track 1");
    EXPECT_EQ(window.progressValues, (std::vector{0, 1, 2, 3, 0}));
}

}  // namespace
}  // namespace vyr::extract
