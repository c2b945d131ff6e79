#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "extract/SystemCalls.h"
#include "extract/mdlTrimFile.h"
#include "support/File.h"
#include "support/Text.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

// A run's copies with --sync are named in batches, after one flush for all of a batch: no copy
// may get its name before its bytes are on the medium, and a failure or a stop in the middle of
// a batch leaves no file it did not name, and names nothing it could not keep.
namespace vyr::extract {
namespace {

using test::Entries;
using test::PatternBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int kTrack = 3000;

// The real calls, watched: when each file was last written, when it was flushed, and whether it
// was named after that. The flushes take `flushDelay`, as a slow medium's do, and may fail.
class WatchedCalls final : public SystemCalls {
public:
    std::chrono::milliseconds flushDelay{0};
    int failFileSystemFlushAt = 0;  // the n-th syncfs fails with EIO, from 1
    int failFolderFlushAt = 0;  // the n-th fsync of a folder fails with EIO, from 1

    ssize_t Splice(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const override
    {
        const ssize_t n = SystemCalls::Splice(in, inOffset, out, outOffset, length);
        if (outOffset != nullptr) Wrote(out);
        return n;
    }
    ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t length) const override
    {
        const ssize_t n = SystemCalls::CopyFileRange(in, inOffset, out, outOffset, length);
        Wrote(out);
        return n;
    }
    ssize_t PWrite(int fd, const void* buffer, std::size_t count, off_t offset) const override
    {
        const ssize_t n = SystemCalls::PWrite(fd, buffer, count, offset);
        Wrote(fd);
        return n;
    }
    int FDataSync(int fd) const override
    {
        std::this_thread::sleep_for(flushDelay);
        const int result = SystemCalls::FDataSync(fd);
        const std::lock_guard lock(m_mutex);
        ++m_fileFlushes;
        if (result == 0) m_flushed[Inode(fd)] = ++m_sequence;
        return result;
    }
    int SyncFs(int fd) const override
    {
        std::this_thread::sleep_for(flushDelay);
        const std::lock_guard lock(m_mutex);
        if (++m_systemFlushes == failFileSystemFlushAt) return Refuse();
        const int result = SystemCalls::SyncFs(fd);
        if (result == 0) m_everything = ++m_sequence;
        return result;
    }
    int FSync(int fd) const override
    {
        const std::lock_guard lock(m_mutex);
        if (++m_folderFlushes == failFolderFlushAt) return Refuse();
        const int result = SystemCalls::FSync(fd);
        m_lastFolderFlush = ++m_sequence;
        return result;
    }
    int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const override
    {
        Naming(fromFolder, from, to);
        return SystemCalls::LinkAt(fromFolder, from, toFolder, to, flags);
    }
    int RenameNoReplace(int fromFolder, const char* from, int toFolder, const char* to) const override
    {
        Naming(fromFolder, from, to);
        return SystemCalls::RenameNoReplace(fromFolder, from, toFolder, to);
    }

    int Flushes() const { return m_fileFlushes + m_systemFlushes; }
    // Names given before the bytes of their file were flushed.
    std::vector<std::string> NamedUnflushed() const { return m_namedUnflushed; }
    // The folder was flushed after the last name was given.
    bool FolderFlushedLast() const { return m_lastFolderFlush > m_lastNaming; }

private:
    static int Refuse()
    {
        errno = EIO;
        return -1;
    }
    // Files are told apart by their inode: a descriptor's number is taken again once closed.
    static ino_t Inode(int fd)
    {
        struct stat info {};
        return ::fstat(fd, &info) == 0 ? info.st_ino : 0;
    }
    void Wrote(int fd) const
    {
        const std::lock_guard lock(m_mutex);
        const ino_t inode = Inode(fd);
        m_written[inode] = ++m_sequence;
        m_flushed.erase(inode);
    }
    void Naming(int folder, const char* from, const std::string& name) const
    {
        struct stat info {};
        ::fstatat(folder, from, &info, 0);
        const std::lock_guard lock(m_mutex);
        const int written = m_written.contains(info.st_ino) ? m_written.at(info.st_ino) : 0;
        const int flushed = std::max(m_flushed.contains(info.st_ino) ? m_flushed.at(info.st_ino) : 0, m_everything);
        if (written == 0 || flushed < written) m_namedUnflushed.push_back(name);
        m_lastNaming = ++m_sequence;
    }

    mutable std::mutex m_mutex;
    mutable int m_sequence = 0;
    mutable std::map<ino_t, int> m_written;  // when last written
    mutable std::map<ino_t, int> m_flushed;  // when flushed on its own
    mutable int m_everything = 0;  // when the file system was last flushed
    mutable int m_fileFlushes = 0;
    mutable int m_systemFlushes = 0;
    mutable int m_folderFlushes = 0;
    mutable int m_lastNaming = 0;
    mutable int m_lastFolderFlush = 0;
    mutable std::vector<std::string> m_namedUnflushed;
};

CopyOptions Options(const WatchedCalls& calls, bool sync, bool unnamed = true)
{
    CopyOptions options;
    options.unnamedTemp = unnamed;
    options.sync = sync;
    options.calls = &calls;
    return options;
}

class CopyQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        album = PatternBytes(kTrack * 300 + 100, 21);
        WriteFile(source / "album.vyr", album);
        ASSERT_TRUE(albumFile.Open(source / "album.vyr").Ok());
        ASSERT_TRUE(folder.Open(target.folder()).Ok());
    }

    // Adds copy i of `count` (name "t<i>.mp3", 3,000 bytes from 100 + 3,000 i), then `after`,
    // runs `end`, and returns every settled result by id.
    std::map<int, CopyResult> Run(CopyQueue& queue, int count, const std::function<void(int)>& after,
                                  const std::function<void()>& end)
    {
        std::map<int, CopyResult> results;
        for (int i = 0; i < count; ++i) {
            const CopyResult added = queue.Add(i, Name(i), 100 + std::int64_t{kTrack} * i, kTrack, albumFile);
            if (!added.Ok()) results[i] = added;
            if (after) after(i);
        }
        end();
        for (SettledCopy& copy : queue.TakeSettled()) results[copy.id] = std::move(copy.result);
        return results;
    }
    static std::string Name(int i) { return "t" + std::to_string(i) + ".mp3"; }

    void EmptyTarget()
    {
        std::filesystem::remove_all(target.path());
        std::filesystem::create_directory(target.path());
        ASSERT_TRUE(folder.Open(target.folder()).Ok());
    }

    // Each copy that was settled well is whole; no other file is there, no temporary either.
    void ExpectOnlyTheWrittenCopies(const std::map<int, CopyResult>& results, int count)
    {
        std::vector<std::string> written;
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(results.contains(i)) << "copy " << i << " was never settled";
            if (!results.at(i).Ok()) continue;
            written.push_back(Name(i));
            EXPECT_EQ(ReadFile(target / Name(i)), album.substr(100 + std::size_t{kTrack} * i, kTrack)) << i;
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(Entries(target.folder()), written);
    }

    TempDir source;
    TempDir target;
    std::string album;
    support::File albumFile;
    support::Folder folder;
};

using copy_queue = CopyQueueTest;

TEST_F(copy_queue, with_sync_copies_are_named_only_once_flushed_and_in_few_flushes)
{
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporaries" : "named temporaries");
        EmptyTarget();
        WatchedCalls calls;
        calls.flushDelay = std::chrono::milliseconds(10);
        CopyQueue queue(folder, Options(calls, true, unnamed));
        const auto results = Run(queue, 300, nullptr, [&] { queue.Finish(); });
        for (const auto& [id, result] : results) EXPECT_TRUE(result.Ok()) << id << ": " << result.reason;
        ExpectOnlyTheWrittenCopies(results, 300);
        EXPECT_EQ(calls.NamedUnflushed(), std::vector<std::string>{});
        EXPECT_TRUE(calls.FolderFlushedLast());
        // A flush for each copy, as a copy of its own makes, would be 300.
        EXPECT_LT(calls.Flushes(), 60);
    }
}

TEST_F(copy_queue, without_sync_nothing_is_flushed)
{
    WatchedCalls calls;
    CopyQueue queue(folder, Options(calls, false));
    const auto results = Run(queue, 40, nullptr, [&] { queue.Finish(); });
    ExpectOnlyTheWrittenCopies(results, 40);
    EXPECT_EQ(results.size(), 40u);
    EXPECT_EQ(calls.Flushes(), 0);
}

TEST_F(copy_queue, a_failure_or_a_stop_in_a_batch_leaves_only_whole_named_copies)
{
    const struct {
        const char* name;
        int failFileSystemFlushAt;
        int failFolderFlushAt;
        bool drop;
        CopyError expected;
    } cases[] = {
        {"the file system's flush fails", 1, 0, false, CopyError::WriteFailed},
        {"the folder's flush fails", 0, 2, false, CopyError::WriteFailed},
        {"a stop drops what waits", 0, 0, true, CopyError::Stopped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool unnamed : {true, false}) {
            SCOPED_TRACE(unnamed ? "unnamed temporaries" : "named temporaries");
            EmptyTarget();
            WatchedCalls calls;
            calls.flushDelay = std::chrono::milliseconds(20);
            calls.failFileSystemFlushAt = c.failFileSystemFlushAt;
            calls.failFolderFlushAt = c.failFolderFlushAt;
            CopyQueue queue(folder, Options(calls, true, unnamed));
            const auto results = Run(queue, 120, nullptr, [&] { c.drop ? queue.Drop() : queue.Finish(); });
            ExpectOnlyTheWrittenCopies(results, 120);
            int failed = 0;
            for (const auto& [id, result] : results) {
                if (result.Ok()) continue;
                ++failed;
                EXPECT_EQ(result.error, c.expected) << id << ": " << result.reason;
            }
            EXPECT_GT(failed, 0);
            EXPECT_EQ(calls.NamedUnflushed(), std::vector<std::string>{});
        }
    }
}

TEST_F(copy_queue, a_name_taken_while_its_copy_waits_is_not_replaced)
{
    WatchedCalls calls;
    calls.flushDelay = std::chrono::milliseconds(50);
    CopyQueue queue(folder, Options(calls, true));
    // The first copy goes to the flush at once; the later ones wait behind it.
    const auto results = Run(
        queue, 3,
        [&](int i) {
            if (i == 2) WriteFile(target / Name(1), "someone else's");
        },
        [&] { queue.Finish(); });
    EXPECT_TRUE(results.at(0).Ok());
    EXPECT_EQ(results.at(1).error, CopyError::TargetExists);
    EXPECT_TRUE(results.at(2).Ok());
    EXPECT_EQ(ReadFile(target / Name(1)), "someone else's");
    EXPECT_EQ(ReadFile(target / Name(2)), album.substr(100 + 2 * kTrack, kTrack));
    EXPECT_EQ(Entries(target.folder()), (std::vector<std::string>{Name(0), Name(1), Name(2)}));
}

}  // namespace
}  // namespace vyr::extract
